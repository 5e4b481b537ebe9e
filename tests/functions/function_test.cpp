// The function base: register, records, searches dispatch and the drawing
// of all functions.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/color_gen.h"
#include "orlix/curve_model.h"
#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/function_kind.h"
#include "orlix/record.h"
#include "orlix/special_point.h"
#include "recording_canvas.h"

using namespace orlix;
using orlix::test::RecordingCanvas;
using json = nlohmann::json;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// Entries of kinds that search along their own samples for intersections
// (polar and parametric curves), as their table entries will read.
FunctionKindInfo ownSearchKind(FunctionKind k)
{
    FunctionKindInfo info{};
    info.kind = k;
    info.can.residual = false;
    return info;
}
const FunctionKindInfo polarKind = ownSearchKind(FunctionKind::polar);
const FunctionKindInfo parametricKind = ownSearchKind(FunctionKind::parametric);

// A curve with fixed samples and as many derivatives as asked for.
class TestFunction : public Function {
  public:
    explicit TestFunction(int derivatives = 2, const FunctionKindInfo* kind = nullptr)
        : derivatives_(derivatives), kind_(kind)
    {
    }

    std::vector<myPoint> samples;
    std::vector<std::string>* log = nullptr;
    bool implicit = false;
    bool throwInDifferential = false;
    int claimedCount = -1;
    std::vector<std::pair<int, int>> pairs;
    std::optional<myPointInfo> ownInfo;

    const FunctionKindInfo* kindInfo() const override { return kind_; }
    bool isImplicit() const override { return implicit; }
    Ptr differential() override
    {
        if (throwInDifferential)
            throw Error("Function is too complex!");
        if (derivatives_ <= 0)
            return nullptr;
        if (!differential_)
            differential_ = std::make_shared<TestFunction>(derivatives_ - 1);
        return differential_;
    }
    void updatePoints() override
    {
        note("updatePoints");
        setNumOfPoints(static_cast<int>(samples.size()));
        std::copy(samples.begin(), samples.end(), points_.begin());
    }
    void updateIfNeeded() override { note("updateIfNeeded"); }
    void fillStaticInfo() override { note("fillStaticInfo"); }
    void findRoots() override { note("findRoots"); }
    void findExtrs() override { note("findExtrs"); }
    void findInfls() override { note("findInfls"); }
    void updateInfoIfNeeded() override
    {
        note("updateInfoIfNeeded");
        Function::updateInfoIfNeeded();
    }
    bool canBeIntersected() const override { return kind_ != &polarKind; }
    Marks intersectWith(Function& other) override
    {
        note("intersectWith " + other.stringRepresentation());
        return {specialPoint::pointWithInfo(myPointInfo{{1, 2}, 2, 1, std::nullopt}, "inter")};
    }
    std::optional<myPointInfo> markInfoAt(myPoint p) override
    {
        if (!ownInfo)
            return std::nullopt;
        myPointInfo i = *ownInfo;
        i.variable = p.x;
        return i;
    }
    int drawnPointCount() const override { return claimedCount >= 0 ? claimedCount : Function::drawnPointCount(); }
    std::span<const std::pair<int, int>> segmentPairs() const override { return pairs; }

  private:
    void note(const std::string& s)
    {
        if (log)
            log->push_back(stringRepresentation_ + ": " + s);
    }
    int derivatives_;
    const FunctionKindInfo* kind_;
};

std::shared_ptr<TestFunction> named(const std::string& text, int derivatives = 2,
                                    const FunctionKindInfo* kind = nullptr)
{
    auto f = std::make_shared<TestFunction>(derivatives, kind);
    f->setStringRepresentation(text);
    return f;
}

std::vector<std::string> ids(const CurveModel& model)
{
    std::vector<std::string> out;
    for (const auto& [id, f] : model.functionRegister())
        out.push_back(id);
    return out;
}

struct FakeShell : FunctionShell {
    SearchSettings settings;
    Function* current = nullptr;
    SearchSettings searchSettings() const override { return settings; }
    Function* currentFunction() const override { return current; }
};

class FunctionTest : public ::testing::Test {
  protected:
    CurveModel model;
};

} // namespace

// ---- register ----

TEST_F(FunctionTest, RegisterKeepsInsertionOrderAndReplacingKeepsThePlace)
{
    auto a = named("a"), b = named("b"), c = named("c"), b2 = named("b2");
    model.setFunction(a, "f3");
    model.setFunction(b, "f1");
    model.setFunction(c, "f2");
    EXPECT_EQ(ids(model), (std::vector<std::string>{"f3", "f1", "f2"}));
    model.setFunction(b2, "f1");
    EXPECT_EQ(ids(model), (std::vector<std::string>{"f3", "f1", "f2"}));
    EXPECT_EQ(model.functionWithID("f1"), b2);
    EXPECT_EQ(model.functionWithID("nope"), nullptr);

    model.removeFunctionWithID("f3");
    model.removeFunctionWithID("nope");
    EXPECT_EQ(ids(model), (std::vector<std::string>{"f1", "f2"}));
    model.deleteAll();
    EXPECT_TRUE(model.functionRegister().empty());
}

TEST_F(FunctionTest, RemoveFunctionGoesByIdentity)
{
    auto a = named("same"), twin = named("same");
    model.setFunction(a, "x1");
    model.setFunction(a, "x2");
    model.removeFunction(twin.get()); // equal text, other object
    model.removeFunction(nullptr);
    EXPECT_EQ(ids(model), (std::vector<std::string>{"x1", "x2"}));
    model.removeFunction(a.get()); // only the first entry
    EXPECT_EQ(ids(model), (std::vector<std::string>{"x2"}));
}

TEST_F(FunctionTest, SetFunctionNeedsASecondDerivativeUnlessImplicit)
{
    std::vector<std::string> log;
    auto good = named("good");
    good->log = &log;
    model.setFunction(good, "g");
    EXPECT_EQ(log, (std::vector<std::string>{"good: fillStaticInfo"}));

    struct Case {
        int derivatives;
        bool throws;
    };
    for (Case c : {Case{0, false}, Case{1, false}, Case{2, true}}) {
        auto f = named("bad", c.derivatives);
        f->throwInDifferential = c.throws;
        try {
            model.setFunction(f, "g");
            ADD_FAILURE() << "accepted with " << c.derivatives << " derivatives";
        } catch (const Error& e) {
            EXPECT_EQ(e.name(), "Function is too complex!");
            EXPECT_STREQ(e.what(), "Function is too complex!");
        }
        EXPECT_EQ(model.functionWithID("g"), good);
        EXPECT_EQ(model.functionRegister().size(), 1u);
    }
    auto implicit = named("implicit", 0);
    implicit->implicit = true;
    model.setFunction(implicit, "i");
    EXPECT_EQ(model.functionWithID("i"), implicit);
}

TEST_F(FunctionTest, ClassSettings)
{
    struct Case {
        int set, expect;
    };
    for (Case c : {Case{0, 10}, Case{3, 3}, Case{1, 1}, Case{0, 10}}) {
        model.setMaxIntegral(c.set);
        EXPECT_EQ(model.maxIntegral(), c.expect) << c.set;
    }

    model.setMinX(-3, 4);
    model.setMinY(-5, 6);
    EXPECT_EQ(model.minX(), -3);
    EXPECT_EQ(model.maxX(), 4);
    EXPECT_EQ(model.minY(), -5);
    EXPECT_EQ(model.maxY(), 6);
    EXPECT_EQ(Function::numOfPoints(), 500);
    EXPECT_EQ(model.plotScale().x, 30);
    EXPECT_EQ(model.plotScale().y, 30);

    TestFunction f;
    EXPECT_TRUE(std::isnan(f.varMin()) && std::isnan(f.varMax()));
    EXPECT_EQ(f.kTracePoint().x, 1);
    EXPECT_EQ(f.kTracePoint().y, 0);
    EXPECT_TRUE(std::isnan(f.positionAt(1).x));
    const myPointInfo i = f.pointAt(1);
    EXPECT_TRUE(std::isnan(i.point.x) && std::isnan(i.point.y));
    EXPECT_EQ(i.value, 0);
    EXPECT_FALSE(i.info.has_value());
}

TEST_F(FunctionTest, NumberOfPointsReusesTheBuffer)
{
    TestFunction f;
    f.setNumOfPoints(5);
    ASSERT_EQ(f.points().size(), 5u);
    f.points()[0] = {7, 8};
    f.setNumOfPoints(5);
    EXPECT_EQ(f.points()[0].x, 7);
    f.setNumOfPoints(3);
    EXPECT_EQ(f.points().size(), 3u);
    EXPECT_EQ(f.chosenPointCount(), 3);
    f.setNumOfPoints(-4);
    EXPECT_EQ(f.points().size(), 0u);
    EXPECT_EQ(f.chosenPointCount(), 0);
}

// ---- searches ----

TEST_F(FunctionTest, UpdateInfoRunsTheSwitchedOnSearchesInOrder)
{
    std::vector<std::string> log;
    FakeShell shell;
    model.setShell(&shell);
    auto f = named("f");
    f->setModel(&model);
    f->log = &log;
    shell.settings = {true, true, true, false};
    f->updateInfo(); // never sampled
    EXPECT_TRUE(log.empty());

    f->samples = {{0, 0}};
    f->updatePoints();
    log.clear();
    f->info().push_back(specialPoint::pointWithInfo({}, "root"));
    f->updateInfo();
    EXPECT_EQ(log, (std::vector<std::string>{"f: findRoots", "f: findExtrs", "f: findInfls"}));
    EXPECT_TRUE(f->info().empty());

    log.clear();
    shell.settings = {false, true, false, false};
    f->updateInfo();
    EXPECT_EQ(log, (std::vector<std::string>{"f: findExtrs"}));
}

// A mark at infinity marks nothing: the random session met a crossing read
// back on the current curve at its pole (y = ∞), and the extremum of y = 1/0.
TEST_F(FunctionTest, ACrossingReadBackAtAPoleIsDropped)
{
    auto current = named("yx", 2, findKind(FunctionKind::yx));
    current->ownInfo = myPointInfo{{0, std::numeric_limits<double>::infinity()}, 0, 0, InfoMap{}};
    auto other = named("im", 2, nullptr);
    other->implicit = true;
    model.setFunction(current, "yx");
    model.setFunction(other, "im");
    current->findIntersections();
    EXPECT_TRUE(current->info().empty());
    current->ownInfo = myPointInfo{{0, 1}, 0, 0, InfoMap{}};
    current->findIntersections();
    EXPECT_FALSE(current->info().empty());
}

TEST_F(FunctionTest, IntersectionRolesFollowTheKinds)
{
    std::vector<std::string> log;
    auto make = [&](const std::string& name, const FunctionKindInfo* kind, bool implicit) {
        auto f = named(name, 2, kind);
        f->implicit = implicit;
        f->log = &log;
        f->ownInfo = myPointInfo{{5, 6}, 6, 0, InfoMap{{"dy/dx", 1}}};
        model.setFunction(f, name);
        return f;
    };
    auto yx = make("yx", findKind(FunctionKind::yx), false);
    auto im = make("im", nullptr, true);
    auto rf = make("rf", &polarKind, false);
    auto t = make("t", &parametricKind, false);
    log.clear();

    struct Case {
        std::shared_ptr<TestFunction> f;
        std::vector<std::string> calls;
        bool ownInfo;
    };
    const Case cases[] = {
        {yx, {"yx: intersectWith im", "rf: intersectWith yx", "t: intersectWith yx"}, true},
        {im, {"yx: intersectWith im", "rf: intersectWith im", "t: intersectWith im"}, true},
        {rf, {"rf: intersectWith yx", "rf: intersectWith im", "rf: intersectWith t"}, false},
    };
    // An explicit or implicit current curve takes its own information for
    // every mark, whoever searched.
    for (const auto& c : cases) {
        log.clear();
        c.f->info().clear();
        c.f->findIntersections();
        EXPECT_EQ(log, c.calls) << c.f->stringRepresentation();
        ASSERT_FALSE(c.f->info().empty());
        for (const auto& m : c.f->info()) {
            EXPECT_EQ(m->info().point.x, c.ownInfo ? 5 : 1) << c.f->stringRepresentation();
            EXPECT_EQ(m->info().info.has_value(), c.ownInfo);
        }
    }
    // Two implicit curves: the current one samples and keeps the marks.
    auto im2 = make("im2", nullptr, true);
    log.clear();
    im->info().clear();
    im->findIntersections();
    EXPECT_EQ(log[3], "im: intersectWith im2");
    EXPECT_EQ(im->info().back()->info().point.x, 1);
}

// ---- records ----

TEST_F(FunctionTest, RecordHasTheSharedKeys)
{
    TestFunction f;
    f.setStringRepresentation("sin(x)");
    f.setInvisible(true);
    f.setLineWidth(2.5f);
    const float dash[] = {8, 3, 2, 3};
    f.setDashPattern(dash, 4);
    f.setColorWithR(0.5f, 0.25f, 1, 0.75f);
    f.setChosenPointCount(301);
    f.setFunctionInfo({{"f", "sin(x)"}, {"d", "d"}});
    const json d = f.toDict();
    std::vector<std::string> keys;
    for (auto it = d.begin(); it != d.end(); ++it)
        keys.push_back(it.key());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"NoP", "aColor", "bColor", "dash", "funcInfo", "gColor", "invisible",
                                              "lineWidth", "maxVar", "minVar", "rColor", "strRepr"}));
    EXPECT_EQ(d["dash"], 2);
    EXPECT_EQ(d["NoP"], 301);
    EXPECT_EQ(d["invisible"], true);
    EXPECT_EQ(d["strRepr"], "sin(x)");
    EXPECT_EQ(d["minVar"], "nan");
    EXPECT_EQ(d["funcInfo"]["d"], "d");
    EXPECT_EQ(d["lineWidth"], 2.5);
}

namespace {

void registerTestKinds(CurveModel& model)
{
    // Rebuilds only when "strRepr" is text, as a kind that needs its
    // expression; "throwingKind" reads strictly and throws on a bad record.
    model.registerKind("testFunction", [](const json& r) -> Function::Ptr {
        if (!r.contains("strRepr") || !r["strRepr"].is_string())
            return nullptr;
        auto f = std::make_shared<TestFunction>();
        f->setStringRepresentation(r["strRepr"].get<std::string>());
        f->applyRecord(r);
        return f;
    });
    model.registerKind("throwingKind", [](const json& r) -> Function::Ptr {
        auto f = std::make_shared<TestFunction>();
        f->setStringRepresentation(r.at("strRepr").get<std::string>());
        f->setLineWidth(r.at("lineWidth").get<float>());
        return f;
    });
    model.registerKind("tooComplex", [](const json&) -> Function::Ptr { return std::make_shared<TestFunction>(1); });
}

json withType(const std::string& type, json r)
{
    r["type"] = type;
    return r;
}

} // namespace

TEST_F(FunctionTest, RecordsRoundTripThroughText)
{
    registerTestKinds(model);
    auto a = named("x^2"), b = named("sin(x)");
    a->setLineWidth(3);
    const float dash[] = {8, 3, 2, 3};
    a->setDashPattern(dash, 4);
    a->setColorWithR(0.5f, 0, 1, 1);
    a->setMinVar(NaN, Inf);
    a->setChosenPointCount(400);
    a->setFunctionInfo({{"f", "x^2"}});
    model.setFunction(a, "1");
    model.setFunction(b, "2");

    json all = model.registerToDict();
    for (auto it = all.begin(); it != all.end(); ++it)
        it.value()["type"] = "testFunction";
    const std::string text = all.dump();
    model.deleteAll();
    model.loadAllFromDict(json::parse(text));

    ASSERT_EQ(ids(model), (std::vector<std::string>{"1", "2"}));
    auto back = model.functionWithID("1");
    EXPECT_EQ(back->stringRepresentation(), "x^2");
    EXPECT_EQ(back->lineWidth(), 3);
    EXPECT_EQ(back->dashPattern(), (std::vector<float>{8, 3, 2, 3}));
    EXPECT_EQ(back->color().r, 0.5f);
    EXPECT_EQ(back->color().b, 1);
    EXPECT_EQ(back->chosenPointCount(), 400);
    EXPECT_TRUE(back->points().empty());
    EXPECT_EQ(back->functionInfo().at("f"), "x^2");
    EXPECT_EQ(back->toDict()["dash"], 2);

    // The range is written so that NaN and the infinities come back.
    const json r = json::parse(text)["1"];
    EXPECT_TRUE(std::isnan(record::readDouble(r, "minVar", 0)));
    EXPECT_EQ(record::readDouble(r, "maxVar", 0), Inf);
}

// Each stored value out of what the app writes falls back to its own
// default; the other values of the record are kept.
TEST_F(FunctionTest, OutOfRangeRecordValuesFallBackOneByOne)
{
    registerTestKinds(model);
    const json good = {{"type", "testFunction"}, {"strRepr", "x"}, {"lineWidth", 2}, {"dash", 1}, {"rColor", 0.5},
                       {"gColor", 0.25},         {"bColor", 0.75}, {"aColor", 1},    {"NoP", 400}};
    struct Shown {
        float lineWidth;
        int dashSize;
        float r, g, b, a;
        int points;
        bool operator==(const Shown&) const = default;
    };
    const auto shown = [](const Function& f) {
        return Shown{f.lineWidth(), f.dashPatternSize(), f.color().r,         f.color().g,
                     f.color().b,   f.color().a,         f.chosenPointCount()};
    };
    auto reference = model.fromDict(good);
    ASSERT_TRUE(reference);
    const Shown kept = shown(*reference);
    ASSERT_EQ(kept.lineWidth, 2);
    ASSERT_GT(kept.dashSize, 0);

    const struct {
        const char* key;
        json value;
    } cases[] = {
        {"lineWidth", 1e6}, {"lineWidth", -1}, {"lineWidth", 0},  {"lineWidth", "nan"}, {"lineWidth", "inf"},
        {"rColor", 5},      {"gColor", -0.5},  {"bColor", "nan"}, {"aColor", 1e9},      {"dash", -3},
        {"dash", 1e12},     {"NoP", -1},       {"NoP", 1e7},      {"NoP", "nan"},
    };
    for (const auto& c : cases) {
        json r = good;
        r[c.key] = c.value;
        auto f = model.fromDict(r);
        ASSERT_TRUE(f) << c.key << " " << c.value;
        Shown expected = kept;
        const std::string key = c.key;
        if (key == "lineWidth")
            expected.lineWidth = 1;
        else if (key == "dash")
            expected.dashSize = 0;
        else if (key == "rColor")
            expected.r = 0;
        else if (key == "gColor")
            expected.g = 0;
        else if (key == "bColor")
            expected.b = 0;
        else if (key == "aColor")
            expected.a = 1;
        else if (key == "NoP")
            expected.points = 0;
        EXPECT_TRUE(shown(*f) == expected) << c.key << " " << c.value;
    }
}

TEST_F(FunctionTest, LoadingDropsWhatCannotBeRebuilt)
{
    registerTestKinds(model);
    const json good = {{"type", "testFunction"}, {"strRepr", "x"}, {"lineWidth", 2}};
    json d = json::object();
    d["good"] = good;
    d["unknownType"] = withType("cubicFunction", good);
    d["noType"] = {{"strRepr", "x"}};
    d["typeNotText"] = withType("x", good);
    d["typeNotText"]["type"] = 7;
    d["notAnObject"] = 42;
    d["array"] = json::array({1, 2});
    d["nullRecord"] = nullptr;
    d["exprMissing"] = {{"type", "testFunction"}, {"strRepr", 12}};
    d["strictThrows"] = {{"type", "throwingKind"}, {"strRepr", "x"}, {"lineWidth", "wide"}};
    d["strictGood"] = {{"type", "throwingKind"}, {"strRepr", "y"}, {"lineWidth", 4}};
    d["tooComplex"] = {{"type", "tooComplex"}};
    // Wrong value types in the shared keys: rebuilt with the defaults.
    d["wrongTypes"] = {{"type", "testFunction"},  {"strRepr", "w"}, {"lineWidth", "thick"}, {"dash", "2"},
                       {"rColor", json::array()}, {"NoP", -5},      {"funcInfo", 3},        {"invisible", "yes"},
                       {"aColor", {{"a", 1}}}};
    d["hugeValues"] = {{"type", "testFunction"}, {"strRepr", "h"}, {"dash", 99}, {"NoP", 1e300}, {"lineWidth", -1}};

    int hookCalls = 0;
    model.setWillLoadAll([&] { ++hookCalls; });
    ASSERT_NO_THROW(model.loadAllFromDict(d));
    EXPECT_EQ(hookCalls, 1);
    std::vector<std::string> got = ids(model);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"good", "hugeValues", "strictGood", "wrongTypes"}));

    auto w = model.functionWithID("wrongTypes");
    EXPECT_EQ(w->lineWidth(), 1);
    EXPECT_EQ(w->dashPatternSize(), 0);
    EXPECT_EQ(w->color().r, 0);
    EXPECT_EQ(w->color().a, 1);
    EXPECT_EQ(w->chosenPointCount(), 0);
    EXPECT_TRUE(w->functionInfo().empty());
    EXPECT_FALSE(w->invisible());
    auto h = model.functionWithID("hugeValues");
    EXPECT_EQ(h->dashPatternSize(), 0);
    EXPECT_EQ(h->chosenPointCount(), 0);
    EXPECT_EQ(h->lineWidth(), 1);

    // Null loads nothing and leaves the store alone; other garbage loads
    // nothing.
    model.deleteAll();
    model.loadAllFromDict(nullptr);
    EXPECT_EQ(hookCalls, 1);
    for (const json& bad : {json(3), json("functions"), json::array({good})})
        EXPECT_NO_THROW(model.loadAllFromDict(bad));
    EXPECT_TRUE(model.functionRegister().empty());
    EXPECT_EQ(model.fromDict(nullptr), nullptr);
}

TEST_F(FunctionTest, RecordReaders)
{
    const json r = json::parse(R"({"d": 1.5, "n": "nan", "i": "inf", "m": "-inf", "s": "1.5", "b": true,
                                   "k": 7, "big": 1e20, "neg": -3.9, "u": 4000000000})");
    struct DoubleCase {
        const char* key;
        double expect;
    };
    for (DoubleCase c : {DoubleCase{"d", 1.5}, {"i", Inf}, {"m", -Inf}, {"s", -1}, {"b", -1}, {"missing", -1}})
        EXPECT_EQ(record::readDouble(r, c.key, -1), c.expect) << c.key;
    EXPECT_TRUE(std::isnan(record::readDouble(r, "n", 0)));
    EXPECT_EQ(record::readDouble(json(3), "d", 9), 9);
    struct IntCase {
        const char* key;
        int expect;
    };
    for (IntCase c : {IntCase{"k", 7}, {"neg", -3}, {"big", -1}, {"u", -1}, {"s", -1}, {"b", 1}, {"n", -1}})
        EXPECT_EQ(record::readInt(r, c.key, -1), c.expect) << c.key;
    EXPECT_EQ(record::readFloat(json{{"x", 1e300}}, "x", 0), std::numeric_limits<float>::infinity());
    for (double v : {0.0, -2.5, 1e300})
        EXPECT_EQ(record::readDouble(record::jsonDouble(v), 0), v);
}

TEST_F(FunctionTest, NumberFormat)
{
    struct Case {
        double v;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {1e-7, "0"},
        {1.0000000116860974e-07, "0"},
        {-1.0000000116860974e-07, "0"},
        {1.5e-7, "1.5E-07"},
        {0.30000000000000004, "0.3"},
        {1e10, "1E+10"},
        {NaN, "undefined"},
        {-2.5, "-2.5"},
        {1234567.8, "1234568"},
        {Inf, "\u221E"},
        {-Inf, "\u2212\u221E"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tostr(c.v), c.text) << c.v;
    EXPECT_EQ(fourPerEmSpace, "\u2005");
    EXPECT_EQ(sixPerEmSpace, "\u2006");
    EXPECT_EQ(hairSpace, "\u200A");
}

// ---- drawing ----

namespace {

// Device X = x, Y = 100 − y on a 100 × 100 layer.
const myPoint offset{0, -100};
const myPoint unit{1, 1};

std::vector<std::string> path(const RecordingCanvas& c) { return c.only({"moveTo", "lineTo", "stroke"}); }

} // namespace

TEST_F(FunctionTest, DrawingBreaksAndSkipsSegmentsOutside)
{
    auto f = named("f");
    f->samples = {
        {10, 10},  {20, 20},   // a piece
        {NaN, 5},              // ends it
        {30, 30},  {40, 40},   // next piece
        {5200, 0},             // far away (5000 past the edge): ends it
        {50, 50},  {200, 50},  // to a point outside: drawn
        {300, 50},             // outside to outside: not drawn
        {60, 60},              // back inside from outside: drawn
        {70, Inf}, {80, 20},   // infinite: a break
        {-10, 50}, {-20, 150}, // both beyond the left edge: not drawn
        {50, 150}, {55, -50},  // beyond the top to beyond the bottom: crosses, drawn
    };
    f->setChosenPointCount(static_cast<int>(f->samples.size()));
    model.setFunction(f, "f");
    RecordingCanvas layer({100, 100});
    model.drawFunctionsOnLayer(layer, offset, unit);
    EXPECT_EQ(path(layer), (std::vector<std::string>{"moveTo 10 90", "lineTo 20 80", "moveTo 30 70", "lineTo 40 60",
                                                     "moveTo 50 50", "lineTo 200 50", "moveTo 300 50", "lineTo 60 40",
                                                     "moveTo 80 80", "lineTo -10 50", "moveTo -20 -50", "moveTo 50 -50",
                                                     "lineTo 55 150", "stroke"}));
    EXPECT_EQ(layer.calls.front(), "clear 0 0 100 100");
    EXPECT_EQ(layer.calls[1], "save");
    EXPECT_EQ(layer.calls.back(), "restore");
}

// A large layer (three views of a large window) is drawn to its far
// corner like its near one: how far a point is is measured from the edges.
TEST_F(FunctionTest, DrawingReachesTheFarCornerOfALargeLayer)
{
    auto f = named("f");
    f->samples = {{5000, 100}, {5700, 50}, {5740, 10}, {20000, 10}};
    f->setChosenPointCount(4);
    model.setFunction(f, "f");
    RecordingCanvas layer({5760, 3240});
    model.drawFunctionsOnLayer(layer, myPoint{0, -3240}, unit);
    EXPECT_EQ(path(layer),
              (std::vector<std::string>{"moveTo 5000 3140", "lineTo 5700 3190", "lineTo 5740 3230", "stroke"}));
}

TEST_F(FunctionTest, DrawingStylesEachFunctionAndSamplesOnlyWhenNeeded)
{
    std::vector<std::string> log;
    FakeShell shell;
    model.setShell(&shell);
    auto a = named("a"), b = named("b");
    a->log = b->log = &log;
    a->samples = {{1, 1}};
    b->samples = {{2, 2}};
    a->setChosenPointCount(1);
    b->setChosenPointCount(1);
    b->setLineWidth(2);
    b->setColorWithR(1, 0, 0, 0.5f);
    const float dash[] = {6, 5};
    b->setDashPattern(dash, 2);
    model.setFunction(b, "2");
    model.setFunction(a, "1");
    shell.current = a.get();
    log.clear();

    // The current function, a, is drawn one point thicker than its own width.
    RecordingCanvas layer({100, 100});
    model.drawFunctionsOnLayer(layer, offset, unit);
    EXPECT_EQ(layer.calls,
              (std::vector<std::string>{"clear 0 0 100 100", "save", "lineWidth 2", "strokeColor 1 0 0 0.5",
                                        "dash 0 6 5", "moveTo 2 98", "stroke", "restore", "save", "lineWidth 2",
                                        "strokeColor 0 0 0 1", "dash none", "moveTo 1 99", "stroke", "restore"}));
    // Drawing samples; it never searches the marks.
    EXPECT_EQ(log, (std::vector<std::string>{"b: updatePoints", "a: updatePoints"}));
    EXPECT_EQ(a->lineWidth(), 1);
    EXPECT_EQ(b->lineWidth(), 2);

    log.clear();
    shell.current = nullptr;
    model.drawFunctionsOnLayer(layer, offset, unit);
    EXPECT_EQ(log, (std::vector<std::string>{"b: updateIfNeeded", "a: updateIfNeeded"}));
}

TEST_F(FunctionTest, DrawingHandlesAnyNumberOfPoints)
{
    // More points than one conversion pass holds: drawn whole, as one piece.
    auto f = named("long");
    const int n = 3 * Function::maxDrawPoints + 17;
    for (int i = 0; i < n; ++i)
        f->samples.push_back({10 + 80.0 * i / n, 50});
    f->setChosenPointCount(n);
    model.setFunction(f, "1");
    RecordingCanvas layer({100, 100});
    model.drawFunctionsOnLayer(layer, offset, unit);
    EXPECT_EQ(layer.only({"moveTo"}).size(), 1u);
    EXPECT_EQ(layer.only({"lineTo"}).size(), static_cast<size_t>(n - 1));

    // A count beyond the buffer reads only what is there.
    auto g = named("short");
    g->samples = {{1, 1}, {2, 2}};
    g->setChosenPointCount(2);
    g->claimedCount = 1000000;
    model.deleteAll();
    model.setFunction(g, "1");
    RecordingCanvas layer2({100, 100});
    model.drawFunctionsOnLayer(layer2, offset, unit);
    EXPECT_EQ(path(layer2), (std::vector<std::string>{"moveTo 1 99", "lineTo 2 98", "stroke"}));
}

TEST_F(FunctionTest, DrawingSurvivesHugeAndUndefinedValues)
{
    auto f = named("f");
    f->samples = {{1e300, 1}, {1, -1e300}, {Inf, -Inf}, {NaN, NaN}, {3e38, 3e38}, {-1e10, 0}};
    f->setChosenPointCount(static_cast<int>(f->samples.size()));
    model.setFunction(f, "f");
    struct Case {
        myPoint o, s;
    };
    for (Case c :
         {Case{offset, unit}, Case{offset, {1e300, 1e300}}, Case{{1e308, -1e308}, unit}, Case{{NaN, 0}, {Inf, NaN}}}) {
        RecordingCanvas layer({100, 100});
        model.drawFunctionsOnLayer(layer, c.o, c.s);
        EXPECT_EQ(path(layer), (std::vector<std::string>{"stroke"}));
    }
}

TEST_F(FunctionTest, ImplicitCurvesDrawTheirSegments)
{
    auto f = named("g", 0);
    f->implicit = true;
    f->samples = {{10, 10}, {20, 20}, {NaN, 0}, {30, 30}, {12000, 0}, {40, 40}};
    f->setChosenPointCount(6);
    f->claimedCount = 6;
    f->pairs = {{0, 1}, {1, 2}, {3, 4}, {3, 5}, {0, 6}, {-1, 0}, {5, 0}};
    model.setFunction(f, "g");
    RecordingCanvas layer({100, 100});
    model.drawFunctionsOnLayer(layer, offset, unit);
    EXPECT_EQ(path(layer), (std::vector<std::string>{"moveTo 10 90", "lineTo 20 80", "moveTo 30 70", "lineTo 40 60",
                                                     "moveTo 40 60", "lineTo 10 90", "stroke"}));

    // Only the points in use are joined.
    f->claimedCount = 2;
    RecordingCanvas layer2({100, 100});
    model.drawFunctionsOnLayer(layer2, offset, unit);
    EXPECT_EQ(path(layer2), (std::vector<std::string>{"moveTo 10 90", "lineTo 20 80", "stroke"}));
}
