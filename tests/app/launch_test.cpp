#include "launch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>
#include <string>

#include "orlix/function.h"
#include "orlix/math_engine.h"
#include "orlix/yx_function.h"

using namespace orlix;
using json = nlohmann::json;

namespace {

// A kind of the tests' own: restores what every kind shares.
class TestFunction : public Function {
  public:
    bool isImplicit() const override { return true; }
    json toDict() const override
    {
        json d = Function::toDict();
        d["type"] = "testKind";
        return d;
    }
    static Ptr fromDict(const json& r)
    {
        auto f = std::make_shared<TestFunction>();
        f->applyRecord(r);
        return f;
    }
};

std::shared_ptr<TestFunction> testFunction(float lineWidth)
{
    auto f = std::make_shared<TestFunction>();
    f->setLineWidth(lineWidth);
    return f;
}

class FakePlot : public PlotSettingsOwner {
  public:
    json current = json{{"center.x", 1.5}, {"center.y", -2.0}, {"sx", 30.0}, {"sy", 30.0}};
    bool wasShown = true;
    int applied = 0;
    json lastApplied;
    bool throwOnApply = false;

    json settings() override { return current; }
    void applySettings(const json& s) override
    {
        if (throwOnApply)
            throw std::runtime_error("broken view state");
        ++applied;
        lastApplied = s;
    }
    bool shown() const override { return wasShown; }
};

class Launch : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    FakePlot plot;
    CurveModel model;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        model.registerKind("testKind", &TestFunction::fromDict);
        resetModel();
    }
    void TearDown() override { resetModel(); }

    // As a new process starts.
    void resetModel()
    {
        model.deleteAll();
        model.setMaxIntegral(10);
        model.setDerAreDashed(false);
        model.setRangeDefaults({});
        model.loadParametersFromDict(json());
    }

    // A store as a previous run left it: two functions, preferences that
    // differ from the defaults, a view position and both ranges set.
    void seedStore(bool launchFailed = false, bool resetAll = false)
    {
        seedStoreIn(dir.path(), launchFailed, resetAll);
    }
    void seedStoreIn(const QString& path, bool launchFailed, bool resetAll)
    {
        Store s(path);
        model.setFunction(testFunction(2.0f), "f1");
        model.setFunction(testFunction(3.0f), "f2");
        s.set("functions", model.registerToDict());
        model.deleteAll();
        s.set("settings", json{{"sRoots", false},
                               {"sInfls", true},
                               {"sExtrs", true},
                               {"sInters", true},
                               {"saveFuncs", true},
                               {"showPrompt", false},
                               {"maxIntegral", 7},
                               {"derAreDashed", true}});
        s.set("plotterSettings", json{{"center.x", 4.0}, {"sx", 12.0}});
        s.set("defRfBoundaries", 1);
        s.set("defTBoundaries", 1);
        s.set("infoviewAlignment", 1);
        s.set("launchFailed", launchFailed);
        s.set("resetAllOnLaunch", resetAll);
        ASSERT_TRUE(s.save());
    }

    std::vector<std::string> registeredIDs() const
    {
        std::vector<std::string> ids;
        for (const auto& [id, f] : model.functionRegister())
            ids.push_back(id);
        return ids;
    }

    static void expectDefaults(const Preferences& p)
    {
        EXPECT_TRUE(p.sRoots);
        EXPECT_FALSE(p.sInfls);
        EXPECT_FALSE(p.sExtrs);
        EXPECT_FALSE(p.sInters);
        EXPECT_TRUE(p.saveFuncs);
        EXPECT_TRUE(p.showPrompt);
    }
};

} // namespace

TEST_F(Launch, FirstLaunchStartsWithTheDefaults)
{
    Session session(dir.path());
    session.load(model, &plot);
    expectDefaults(session.preferences());
    EXPECT_EQ(int(model.rangeDefaults().polarFromZero), 0);
    EXPECT_EQ(int(model.rangeDefaults().parametricFromZero), 0);
    EXPECT_EQ(model.maxIntegral(), 10);
    EXPECT_TRUE(model.functionRegister().empty());
    EXPECT_EQ(plot.applied, 0);
    EXPECT_FALSE(session.isLeftAligned());
    EXPECT_FALSE(session.stateWasReset());

    Store after(dir.path());
    EXPECT_TRUE(after.contains("launchFailed"));
    EXPECT_FALSE(after.boolForKey("launchFailed"));
}

TEST_F(Launch, StoredStateComesBack)
{
    seedStore();
    Session session(dir.path());
    session.load(model, &plot);
    const Preferences& p = session.preferences();
    EXPECT_FALSE(p.sRoots);
    EXPECT_TRUE(p.sInfls);
    EXPECT_TRUE(p.sExtrs);
    EXPECT_TRUE(p.sInters);
    EXPECT_TRUE(p.saveFuncs);
    EXPECT_FALSE(p.showPrompt);
    EXPECT_EQ(model.maxIntegral(), 7);
    EXPECT_TRUE(model.derAreDashed());
    EXPECT_EQ(int(model.rangeDefaults().polarFromZero), 1);
    EXPECT_EQ(int(model.rangeDefaults().parametricFromZero), 1);
    EXPECT_TRUE(session.isLeftAligned());
    EXPECT_EQ(registeredIDs(), (std::vector<std::string>{"f1", "f2"}));
    EXPECT_EQ(model.functionWithID("f2")->lineWidth(), 3.0f);
    EXPECT_EQ(plot.applied, 1);
    EXPECT_EQ(plot.lastApplied["center.x"], 4.0);
}

TEST_F(Launch, FailedOrResetLaunchThrowsTheStoredStateAway)
{
    const struct {
        const char* name;
        bool launchFailed, resetAll;
    } rows[] = {
        {"the previous launch died", true, false},
        {"reset asked for", false, true},
        {"both", true, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        QTemporaryDir rowDir;
        resetModel();
        plot = FakePlot{};
        seedStoreIn(rowDir.path(), r.launchFailed, r.resetAll);

        Session session(rowDir.path());
        session.load(model, &plot);
        EXPECT_TRUE(session.stateWasReset());
        expectDefaults(session.preferences());
        EXPECT_TRUE(model.functionRegister().empty());
        EXPECT_EQ(plot.applied, 0);
        EXPECT_EQ(int(model.rangeDefaults().polarFromZero), 0);
        EXPECT_EQ(int(model.rangeDefaults().parametricFromZero), 0);

        Store after(rowDir.path());
        for (const char* key : {"functions", "settings", "plotterSettings"})
            EXPECT_FALSE(after.contains(key)) << key;
        EXPECT_FALSE(after.boolForKey("resetAllOnLaunch"));
        EXPECT_FALSE(after.boolForKey("launchFailed"));
        EXPECT_EQ(after.integerForKey("defRfBoundaries"), 0);
        EXPECT_EQ(after.integerForKey("defTBoundaries"), 0);

        // What a dying launch leaves is thrown away, but not destroyed.
        EXPECT_EQ(session.failedLaunchCopy().isEmpty(), !r.launchFailed);
        if (r.launchFailed) {
            Store copy(QFileInfo(session.failedLaunchCopy()).path(), QFileInfo(session.failedLaunchCopy()).fileName());
            EXPECT_TRUE(copy.dictionaryForKey("functions"));
        }
    }
}

TEST_F(Launch, LaunchGuardIsOnTheDiskWhileTheLaunchRuns)
{
    seedStore();
    plot.throwOnApply = true; // the launch dies halfway
    {
        Session session(dir.path());
        EXPECT_THROW(session.load(model, &plot), std::runtime_error);
    }
    EXPECT_TRUE(Store(dir.path()).boolForKey("launchFailed"));

    resetModel();
    plot.throwOnApply = false;
    Session next(dir.path());
    next.load(model, &plot);
    EXPECT_TRUE(next.stateWasReset());
    EXPECT_TRUE(model.functionRegister().empty());
    EXPECT_EQ(plot.applied, 0);
}

TEST_F(Launch, KilledAfterLaunchStillFindsTheFunctions)
{
    seedStore();
    {
        Session session(dir.path());
        session.load(model, &plot);
        ASSERT_EQ(registeredIDs().size(), 2u);
        // killed: neither saveAll nor terminate runs
    }
    resetModel();
    plot = FakePlot{};
    Session next(dir.path());
    next.load(model, &plot);
    EXPECT_FALSE(next.stateWasReset());
    EXPECT_EQ(registeredIDs(), (std::vector<std::string>{"f1", "f2"}));
    EXPECT_FALSE(next.preferences().sRoots);
    EXPECT_EQ(plot.applied, 1);
}

TEST_F(Launch, SaveAllWritesTheLiveState)
{
    {
        Session session(dir.path());
        session.load(model, &plot);
        model.setFunction(testFunction(5.0f), "g");
        session.preferences().sInters = true;
        model.setMaxIntegral(12);
        plot.current["center.x"] = -9.0;
        ASSERT_TRUE(session.saveAll(model, &plot));
    }
    resetModel();
    FakePlot again;
    Session session(dir.path());
    session.load(model, &again);
    EXPECT_EQ(registeredIDs(), std::vector<std::string>{"g"});
    EXPECT_EQ(model.functionWithID("g")->lineWidth(), 5.0f);
    EXPECT_TRUE(session.preferences().sInters);
    EXPECT_TRUE(session.preferences().sRoots);
    EXPECT_EQ(model.maxIntegral(), 12);
    EXPECT_EQ(again.lastApplied["center.x"], -9.0);

    const json s = *Store(dir.path()).dictionaryForKey("settings");
    for (const char* key : {"sRoots", "sInfls", "sExtrs", "sInters", "saveFuncs", "showPrompt", "derAreDashed"})
        EXPECT_TRUE(s[key].is_boolean()) << key;
    EXPECT_TRUE(s["maxIntegral"].is_number_integer());
}

TEST_F(Launch, SaveFuncsOffKeepsOnlyThePreferences)
{
    seedStore();
    {
        Session session(dir.path());
        session.load(model, &plot);
        session.preferences().saveFuncs = false;
        ASSERT_TRUE(session.saveAll(model, &plot));
        Store after(dir.path());
        EXPECT_FALSE(after.contains("functions"));
        EXPECT_FALSE(after.contains("plotterSettings"));
        ASSERT_TRUE(after.dictionaryForKey("settings"));
    }
    resetModel();
    plot = FakePlot{};
    Session next(dir.path());
    next.load(model, &plot);
    EXPECT_TRUE(model.functionRegister().empty());
    EXPECT_EQ(plot.applied, 0);
    EXPECT_FALSE(next.preferences().saveFuncs);
    EXPECT_TRUE(next.preferences().sInfls);
}

TEST_F(Launch, TerminationBeforeTheViewWasShownKeepsTheStoredState)
{
    seedStore();
    const QByteArray before = [&] {
        QFile f(Store(dir.path()).filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    {
        Session session(dir.path());
        session.load(model, &plot);
        plot.wasShown = false;
        model.deleteAll(); // whatever the model holds now is not written
        EXPECT_TRUE(session.terminate(model, &plot));
    }
    Store after(dir.path());
    EXPECT_TRUE(after.dictionaryForKey("functions"));
    EXPECT_TRUE(after.dictionaryForKey("settings"));
    EXPECT_EQ(after.dictionaryForKey("plotterSettings")->value("sx", 0.0), 12.0);

    // Shown, termination writes the live state.
    resetModel();
    Session session(dir.path());
    plot.wasShown = true;
    session.load(model, &plot);
    model.removeFunctionWithID("f1");
    EXPECT_TRUE(session.terminate(model, &plot));
    EXPECT_EQ(Store(dir.path()).dictionaryForKey("functions")->size(), 1u);
    EXPECT_EQ(Store(dir.path()).dictionaryForKey("plotterSettings")->value("sx", 0.0), 30.0);
}

TEST_F(Launch, CorruptStoreKeepsTheUsersFunctionsInABackup)
{
    seedStore();
    const QString path = Store(dir.path()).filePath();
    QByteArray bytes;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    bytes.chop(bytes.size() / 3); // a write cut short
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    Session session(dir.path());
    session.load(model, &plot);
    expectDefaults(session.preferences());
    EXPECT_TRUE(model.functionRegister().empty());
    const QString backup = session.store().backupPath();
    ASSERT_FALSE(backup.isEmpty());

    ASSERT_TRUE(session.saveAll(model, &plot));
    ASSERT_TRUE(session.terminate(model, &plot));
    QFile kept(backup);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), bytes);
    EXPECT_TRUE(bytes.contains("\"f2\""));
}

TEST_F(Launch, WrongTypesInTheStoreReadAsMissing)
{
    {
        Store s(dir.path());
        s.set("functions", "not a record");
        s.set("settings", json::array({true}));
        s.set("plotterSettings", 3);
        s.set("defRfBoundaries", "1");
        s.set("launchFailed", "YES");
        ASSERT_TRUE(s.save());
    }
    Session session(dir.path());
    session.load(model, &plot);
    EXPECT_FALSE(session.stateWasReset());
    expectDefaults(session.preferences());
    EXPECT_EQ(int(model.rangeDefaults().polarFromZero), 0);
    EXPECT_EQ(plot.applied, 0);
    EXPECT_FALSE(session.store().backupPath().isEmpty());
}

// A hand-edited store: each value the app could not have written falls back
// to its own default, and everything next to it still loads.
TEST_F(Launch, OutOfRangeStoredValuesFallBackOneByOne)
{
    const struct {
        json lineWidth, maxIntegral, defRf, defT;
        float lineWidthBack;
        int maxIntegralBack, defRfBack, defTBack;
    } cases[] = {
        {1e6, 7, 1, 1, 1.0f, 7, 1, 1},
        {-2, 25, 1, 0, 1.0f, 10, 1, 0},
        {"nan", -3, 7, -1, 1.0f, 10, 0, 0},
        {2, 0, 1, 2, 2.0f, 10, 1, 0},
    };
    for (const auto& c : cases) {
        {
            Store s(dir.path());
            s.set("functions", json{{"f1", {{"type", "testKind"}, {"lineWidth", c.lineWidth}, {"rColor", 0.5}}}});
            s.set("settings", json{{"sInfls", true}, {"saveFuncs", true}, {"maxIntegral", c.maxIntegral}});
            s.set("defRfBoundaries", c.defRf);
            s.set("defTBoundaries", c.defT);
            ASSERT_TRUE(s.save());
        }
        Session session(dir.path());
        session.load(model, &plot);
        const std::string what = c.lineWidth.dump() + " " + c.maxIntegral.dump();
        ASSERT_EQ(registeredIDs(), std::vector<std::string>{"f1"}) << what;
        EXPECT_EQ(model.functionWithID("f1")->lineWidth(), c.lineWidthBack) << what;
        EXPECT_EQ(model.functionWithID("f1")->color().r, 0.5f) << what;
        EXPECT_EQ(model.maxIntegral(), c.maxIntegralBack) << what;
        EXPECT_EQ(int(model.rangeDefaults().polarFromZero), c.defRfBack) << what;
        EXPECT_EQ(int(model.rangeDefaults().parametricFromZero), c.defTBack) << what;
        EXPECT_TRUE(session.preferences().sInfls) << what;
        resetModel();
    }
}

TEST_F(Launch, RealCurvesRoundTrip)
{
    auto f = yxFunction::functionFromString("sin(x)*x^2");
    ASSERT_TRUE(f);
    f->setLineWidth(2.5f);
    model.setFunction(f, "curve");
    {
        Session session(dir.path());
        session.load(model, &plot); // the model already holds the curve
        ASSERT_TRUE(session.saveAll(model, &plot));
    }
    resetModel();
    Session session(dir.path());
    session.load(model, &plot);
    auto back = model.functionWithID("curve");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->typeName(), "yxFunction");
    EXPECT_EQ(back->stringRepresentation(), f->stringRepresentation());
    EXPECT_EQ(back->lineWidth(), 2.5f);
}

// The parameters' values and sliders are saved with the functions and come
// back before them, so that the curves are sampled with them; a store from
// before parameters reads 0 for each.
TEST_F(Launch, ParametersSurviveARestart)
{
    seedStore();
    {
        Session session(dir.path());
        session.load(model, &plot);
        EXPECT_EQ(model.parametersToDict(), CurveModel().parametersToDict());
        auto f = yxFunction::functionFromString("a*x+1");
        model.setFunction(f, "line");
        model.setParameter(Parameter::a, 4);
        model.setParameterBounds(Parameter::b, {-2, 2, 0.5});
        ASSERT_TRUE(session.saveAll(model, &plot));
    }
    const json saved = model.parametersToDict();
    resetModel();
    Session session(dir.path());
    session.load(model, &plot);
    EXPECT_EQ(model.parametersToDict(), saved);
    auto back = model.functionWithID("line");
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->pointAt(2).value, 9, 1e-12);
}
