// A store whose function records are damaged, or that cannot be read at
// all: what can be rebuilt is, what cannot is kept in a copy beside the
// store, and the person is told once, in words.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <string>

#include "launch.h"
#include "main_window.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/record_check.h"
#include "qt_environment.h"

using namespace orlix;
using json = nlohmann::json;

namespace {

json recordOf(FunctionKind kind, const std::string& text) { return findKind(kind)->fromText(text)->toDict(); }

double yAt(const json& record, double v)
{
    const Function::Ptr f = CurveModel().fromDict(record);
    return f ? f->positionAt(v).y : std::nan("");
}

struct DamageCase {
    const char* name;
    std::function<json()> record;
    RecordState state;
    double yAt2; // the restored curve's y at a variable of 2 (NaN: not looked at)
};

} // namespace

TEST(DamagedRecords, RebuiltFromWhatStillReadsOrRefused)
{
    const auto yx = [](const char* t) { return recordOf(FunctionKind::yx, t); };
    const DamageCase cases[] = {
        {"intact", [&] { return yx("x^2"); }, RecordState::intact, 4},
        {"program damaged, text reads",
         [&] {
             json r = yx("x^2");
             r["functionSM"] = "not a program";
             return r;
         },
         RecordState::rebuiltFromText, 4},
        {"text lost, program reads",
         [&] {
             json r = yx("x^2");
             r.erase("strRepr");
             r.erase("funcInfo");
             return r;
         },
         RecordState::rebuiltFromProgram, 4},
        {"text of another curve: the text wins",
         [&] {
             json r = yx("x^2");
             r["strRepr"] = "x^3";
             return r;
         },
         RecordState::textDisagreed, 8},
        {"text damaged beside a good program",
         [&] {
             json r = recordOf(FunctionKind::polar, "θ");
             r["strRepr"] = "sin(((";
             return r;
         },
         RecordState::refused, std::nan("")},
        {"neither reads",
         [&] {
             json r = yx("x^2");
             r["functionSM"] = json::array({"+"});
             r["strRepr"] = "x+*";
             return r;
         },
         RecordState::refused, std::nan("")},
        {"parametric program damaged",
         [&] {
             json r = recordOf(FunctionKind::parametric, "t;t^2");
             r["ySM"] = 7;
             return r;
         },
         RecordState::rebuiltFromText, 4},
        // Every kind's own records, and their derivatives, read as stored.
        {"a derivative reads as stored", [&] { return CurveModel().fromDict(yx("x^3"))->differential()->toDict(); },
         RecordState::intact, 12},
        {"x(y)", [] { return recordOf(FunctionKind::xy, "y^2"); }, RecordState::intact, 2},
        {"r(θ) and its derivative",
         [] { return CurveModel().fromDict(recordOf(FunctionKind::polar, "1+θ"))->differential()->toDict(); },
         RecordState::intact, std::sin(2.0)},
        {"x(t), y(t) and its derivative",
         [] { return CurveModel().fromDict(recordOf(FunctionKind::parametric, "t^2;t^3"))->differential()->toDict(); },
         RecordState::intact, 3},
        {"g(x,y)=0", [] { return recordOf(FunctionKind::implicit, "x^2+y^2-4"); }, RecordState::intact, NAN},
    };
    for (const DamageCase& k : cases) {
        SCOPED_TRACE(k.name);
        const RecordCheck c = checkRecord(k.record());
        EXPECT_EQ(c.state, k.state);
        if (k.state == RecordState::refused) {
            EXPECT_TRUE(c.record.is_null());
        } else if (!std::isnan(k.yAt2)) {
            EXPECT_NEAR(yAt(c.record, 2), k.yAt2, 1e-9);
        }
    }
}

namespace {

class DamagedStore : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString storeFile() const { return dir.filePath(Store::defaultFileName()); }
};

} // namespace

TEST_F(DamagedStore, RefusedRecordsAreKeptInACopyAndTheWindowSaysSoOnce)
{
    json bad = recordOf(FunctionKind::yx, "x^2");
    bad["functionSM"] = "broken";
    bad["strRepr"] = "x+*";
    {
        Store s(dir.path());
        s.set("functions", json{{"f000001", recordOf(FunctionKind::yx, "x^2")}, {"f000002", bad}});
        ASSERT_TRUE(s.save());
    }
    auto w = std::make_unique<MainWindow>(dir.path());
    QApplication::processEvents();
    ASSERT_NE(w->openMessage(), nullptr);
    // Broken into lines that fit the window.
    const QString shown = w->openMessage()->text();
    EXPECT_TRUE(QString(shown).replace('\n', ' ').contains("1 function could not be read")) << shown.toStdString();
    const QString copy = w->session().damagedFunctionsCopy();
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_TRUE(w->session().launchNotice().contains(copy));
    EXPECT_EQ(QString(shown).remove('\n').remove(' '), w->session().launchNotice().remove(' '));
    EXPECT_EQ(w->controller().model().functionRegister().size(), 1u);

    // The next save leaves the record out of the store, never out of the copy.
    w->controller().saveAll();
    Store kept(QFileInfo(copy).path(), QFileInfo(copy).fileName());
    EXPECT_EQ(kept.objectForKey("functions")->at("f000002"), bad);

    // Said once: the next launch finds nothing to say.
    w.reset();
    w = std::make_unique<MainWindow>(dir.path());
    QApplication::processEvents();
    EXPECT_EQ(w->openMessage(), nullptr);
}

TEST_F(DamagedStore, AStoreThatCannotBeReadIsSaidAndKept)
{
    {
        QFile f(storeFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"functions\": {\"f1\": ");
    }
    Session session(dir.path());
    CurveModel model;
    session.load(model, nullptr);
    const QString notice = session.launchNotice();
    EXPECT_TRUE(notice.contains("could not be read")) << notice.toStdString();
    EXPECT_TRUE(notice.contains(session.store().backupPath()));
    EXPECT_FALSE(session.store().backupPath().isEmpty());
}

// A store that cannot be written (its folder lies under a file: even root
// cannot make it) is said at the launch, and a session that once could
// save and then cannot says so once, in an alert; the functions stay.
TEST_F(DamagedStore, AStoreThatCannotBeWrittenIsSaidOnce)
{
    {
        QFile f(dir.filePath("a-file"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString unwritable = dir.filePath("a-file/Orlix");
    Session session(unwritable);
    CurveModel model;
    session.load(model, nullptr);
    EXPECT_TRUE(session.launchNotice().startsWith("Orlix cannot save in")) << session.launchNotice().toStdString();

    // Read-only on purpose (a screenshot's window) is no failure to tell.
    Session reading(unwritable, Store::Access::ReadOnly);
    reading.load(model, nullptr);
    EXPECT_TRUE(reading.launchNotice().isEmpty()) << reading.launchNotice().toStdString();

    int alerts = 0;
    MainWindow w{dir.path()};
    w.controller().onAlert = [&](const std::string& title, const std::string&) { alerts += title == "Saving failed"; };
    w.formulaField().setText("x^2");
    w.commitFormula();
    EXPECT_EQ(alerts, 0);
    // The folder goes and a file takes its place: the next saves fail.
    ASSERT_TRUE(QDir(dir.path()).removeRecursively() && QDir().mkpath(QFileInfo(dir.path()).path()));
    {
        QFile f(dir.path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (const char* text : {"x^3", "x^4"}) {
        w.formulaField().setText(text);
        w.commitFormula();
    }
    EXPECT_EQ(alerts, 1);
    ASSERT_NE(w.controller().curFunc(), nullptr);
    EXPECT_EQ(w.controller().curFunc()->functionInfo().at("f"), "x^4");
    QFile::remove(dir.path());
}
