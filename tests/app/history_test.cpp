// Undo and redo of the changes made to the functions, through the screen's
// controller as the window makes them: each kind of change taken back and
// made again, with the register, the current function and the store as
// they were; failed changes are no steps; the keys and the buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <string>

#include "controller.h"
#include "info_view.h"
#include "main_window.h"
#include "orlix/error.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/function_settings.h"
#include "orlix/implicit_function.h"
#include "orlix/null_canvas.h"
#include "orlix/plot_plane.h"
#include "store.h"
#include "window_fixture.h"

using namespace orlix;
using json = nlohmann::json;

namespace {

class HistoryTest : public testing_qt::WindowTest {
  public:
    // For the cases of the table.
    using WindowTest::commit;
    using WindowTest::cur;
    using WindowTest::w;
    OrlixViewController& c() { return w->controller(); }
    // A new window on an empty store: no functions, no history.
    void fresh()
    {
        w.reset();
        QFile::remove(dir.filePath(Store::defaultFileName()));
        open();
        // A shown window saves the view, and with it the current function.
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    void kind(FunctionKind k) { w->newKindAction(k)->trigger(); }
    std::string currentID()
    {
        for (const auto& [id, f] : model().functionRegister())
            if (f.get() == cur())
                return id;
        return {};
    }
    // What the screen shows of the functions: every record and the current one.
    json shown() { return json{{"functions", model().registerToDict()}, {"current", currentID()}}; }
    // The same, as the store file holds it.
    json stored()
    {
        Store s(dir.path(), Store::defaultFileName(), Session::schema());
        const auto plotter = s.dictionaryForKey(Session::plotterSettingsKey);
        return json{{"functions", s.dictionaryForKey(Session::functionsKey).value_or(json::object())},
                    {"current", plotter ? plotter->value("curFuncID", "") : ""}};
    }
};

struct ChangeCase {
    const char* name;
    std::function<void(HistoryTest&)> setUp;
    std::function<void(HistoryTest&)> change;
};

} // namespace

TEST_F(HistoryTest, EachChangeIsUndoneAndRedoneWithTheCurrentFunctionAndTheStore)
{
    const auto three = [](HistoryTest& t) {
        t.commit("x^2");
        t.kind(FunctionKind::yx);
        t.commit("sin(x)");
        t.kind(FunctionKind::implicit);
        t.commit("x^2+y^2-4");
        t.c().makeCurrent(t.c().model().functionRegister()[1].second);
    };
    const auto polar = [](HistoryTest& t) {
        t.kind(FunctionKind::polar);
        t.commit("1+cos(θ)");
    };
    const ChangeCase cases[] = {
        {"the first function added", [](HistoryTest&) {}, [](HistoryTest& t) { t.commit("x^2"); }},
        {"a function added to others",
         [&](HistoryTest& t) {
             three(t);
             t.kind(FunctionKind::xy);
         },
         [](HistoryTest& t) { t.commit("y^3"); }},
        // A refused change after the real one is no step: one undo goes back.
        {"a formula replaced, then one refused", three,
         [](HistoryTest& t) {
             t.commit("cos(x)");
             t.commit("x+*");
             t.commit("cos(x)");
         }},
        {"the middle function deleted", three, [](HistoryTest& t) { t.c().removeCurFunc(); }},
        {"all functions deleted", three, [](HistoryTest& t) { t.c().dismissSettings(true, false); }},
        {"a derivative added", three, [](HistoryTest& t) { t.c().addDerivative(); }},
        {"colour, dash and density", three,
         [](HistoryTest& t) {
             FunctionSettings s;
             s.loadFromFunc(t.cur());
             s.setColor(0.9f, 0.1f, 0.2f);
             s.nextStandardDash();
             s.setDensity(900);
             t.c().applyFunctionSettings(s);
             t.c().applyFunctionSettings(s); // the same again
             iFunction circle;
             s.loadFromFunc(&circle);
             s.setDensity(30); // a grid size, too few samples for y(x)
             EXPECT_THROW(t.c().applyFunctionSettings(s), Error);
         }},
        {"an implicit curve's grid",
         [&](HistoryTest& t) {
             three(t);
             t.c().makeCurrent(model().functionRegister()[2].second);
         },
         [](HistoryTest& t) {
             FunctionSettings s;
             s.loadFromFunc(t.cur());
             s.setDensity(40);
             t.c().applyFunctionSettings(s);
         }},
        {"a range of its own, then refused ones", polar,
         [](HistoryTest& t) {
             t.c().setRangeTexts("0", "π");
             EXPECT_THROW(t.c().setRangeTexts("3", "1"), Error);
             EXPECT_THROW(t.c().setRangeTexts("0", "1/0"), Error);
         }},
        {"a range and a formula with one Enter", polar,
         [](HistoryTest& t) {
             t.w->rangeMinField().setText("0");
             t.w->rangeMaxField().setText("π/2");
             t.commit("2+sin(θ)");
             // Both taken: the range's refresh kept the typed formula.
             EXPECT_EQ(t.cur()->functionInfo().at("f"), "2+sin(θ)");
         }},
    };
    for (const ChangeCase& k : cases) {
        SCOPED_TRACE(k.name);
        fresh();
        k.setUp(*this);
        const json before = shown();
        k.change(*this);
        const json after = shown();
        ASSERT_NE(before, after);
        ASSERT_EQ(stored(), after);

        EXPECT_TRUE(c().undo());
        EXPECT_EQ(shown(), before);
        EXPECT_EQ(stored(), before);
        EXPECT_TRUE(c().redo());
        EXPECT_EQ(shown(), after);
        EXPECT_EQ(stored(), after);
        EXPECT_FALSE(c().canRedo());
        // Back and forth once more: the objects the steps hold stay good.
        c().undo();
        c().redo();
        EXPECT_EQ(shown(), after);
    }
}

TEST_F(HistoryTest, KeysAndButtonsUndoAndRedoButAFieldKeepsItsOwnUndo)
{
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    EXPECT_FALSE(w->undoButton().isEnabled());
    commit("x^2");
    commit("x^3");
    const auto formula = [this] { return cur() ? cur()->functionInfo().at("f") : std::string(); };
    const auto press = [](QWidget& at, Qt::Key key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QTest::keyClick(&at, key, mods);
    };
    QWidget& plot = w->plot();
    plot.setFocus();
    press(plot, Qt::Key_Z);
    EXPECT_EQ(formula(), "x^2");
    press(plot, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(formula(), "x^3");
    press(plot, Qt::Key_Z);
    press(plot, Qt::Key_Y);
    EXPECT_EQ(formula(), "x^3");
    EXPECT_FALSE(w->redoButton().isEnabled());

    // In the field being edited the keys undo the typing, not the function.
    QLineEdit& field = w->formulaField();
    field.setFocus();
    field.end(false);
    QTest::keyClicks(&field, "+1");
    press(field, Qt::Key_Z);
    EXPECT_EQ(field.text(), "x^3");
    press(field, Qt::Key_Y);
    EXPECT_EQ(field.text(), "x^3+1");
    EXPECT_EQ(formula(), "x^3");
    // Committed, the field has nothing of its own to undo: the keys take
    // the commit back.
    press(field, Qt::Key_Return, Qt::NoModifier);
    ASSERT_TRUE(field.hasFocus());
    press(field, Qt::Key_Z);
    EXPECT_EQ(field.text(), "x^3");

    w->undoButton().click();
    w->undoButton().click();
    EXPECT_EQ(cur(), nullptr);
    EXPECT_FALSE(w->undoButton().isEnabled());
    w->redoButton().click();
    EXPECT_EQ(formula(), "x^2");
    EXPECT_TRUE(w->redoButton().isEnabled());
}

// With two functions in trace mode a range is a step of its own, whether a
// mouse drag, two fingers or typed ends set it: undo takes back the range
// and nothing else, redo brings it back.
TEST_F(HistoryTest, ARangeOfTraceModeIsOneStepWhateverSetsIt)
{
    struct Way {
        const char* name;
        std::function<void(HistoryTest&)> set;
        std::function<void(HistoryTest&)> prepare = [](HistoryTest&) {};
    };
    const auto drag = [](HistoryTest& t, Qt::MouseButton b, Qt::KeyboardModifiers m, int from, int to) {
        QWidget& p = t.w->plot();
        const int y = p.height() / 2;
        const auto send = [&](QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(x, y), p.mapToGlobal(QPointF(x, y)), button, buttons, m);
            QApplication::sendEvent(&p, &e);
        };
        send(QEvent::MouseButtonPress, from, b, b);
        send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, b);
        send(QEvent::MouseMove, to, Qt::NoButton, b);
        send(QEvent::MouseButtonRelease, to, b, Qt::NoButton);
    };
    const Way ways[] = {
        {"a right-drag", [&](HistoryTest& t) { drag(t, Qt::RightButton, Qt::NoModifier, 100, 220); }},
        {"a Shift+drag", [&](HistoryTest& t) { drag(t, Qt::LeftButton, Qt::ShiftModifier, 220, 100); }},
        {"two fingers",
         [](HistoryTest& t) {
             plotView& v = t.w->plot().view();
             // As a touch screen reports them: every finger in each event,
             // the second going down while the first stays.
             v.handleTouches({Touch{1, {90, 200}, kTouchBegan, 1, 0}});
             v.handleTouches({Touch{1, {90, 200}, kTouchStationary, 1, 0}, Touch{2, {200, 200}, kTouchBegan, 1, 0}});
             v.handleTouches(
                 {Touch{1, {90, 200}, kTouchEnded, 1, 0.1}, Touch{2, {200, 200}, kTouchStationary, 1, 0.1}});
             v.handleTouches({Touch{2, {200, 200}, kTouchEnded, 1, 0.1}});
         }},
        {"a typed end",
         [](HistoryTest& t) {
             plotView& v = t.w->plot().view();
             auto* panel = dynamic_cast<infoView*>(v.iView());
             ASSERT_NE(panel, nullptr);
             NullCanvas frame(v.viewSize());
             v.additionalDrawings(frame); // the panel shows the range
             ASSERT_EQ(panel->model().confirm(InfoModel::kValue, "2"), std::nullopt);
         },
         [](HistoryTest& t) {
             t.w->plot().view().setTraceRange(TraceRange{-1, 1});
             t.c().traceRangeChanged(std::nullopt); // as the gesture that set it would
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        fresh();
        commit("x^2");
        kind(FunctionKind::yx);
        commit("sin(x)");
        c().setMoveOrTrace();
        plotView& v = w->plot().view();
        way.prepare(*this);
        const std::optional<TraceRange> before = v.traceRange();
        const json functions = shown();
        way.set(*this);
        const std::optional<TraceRange> after = v.traceRange();
        ASSERT_TRUE(after);
        ASSERT_NE(after, before);

        ASSERT_TRUE(c().undo());
        EXPECT_EQ(shown(), functions);
        EXPECT_EQ(v.traceRange(), before);
        ASSERT_TRUE(c().redo());
        EXPECT_EQ(shown(), functions);
        EXPECT_EQ(v.traceRange(), after);
    }
}
