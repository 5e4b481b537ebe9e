// The main screen: committing formulas, the field's check, the alerts, the
// derivative, the searches, deleting, and what a restart finds again.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/special_point.h"
#include "orlix/yx_function.h"
#include "qt_environment.h"
#include "store.h"
#include "window_fixture.h"

using namespace orlix;

namespace {

std::vector<std::string> ids(const CurveModel& model)
{
    std::vector<std::string> v;
    for (const auto& [id, f] : model.functionRegister())
        v.push_back(id);
    return v;
}

// Forwards to the window's controller and counts how often the marks are
// found (each search asks for the switched-on searches once).
struct CountingShell : FunctionShell {
    explicit CountingShell(FunctionShell& inner) : inner(inner) {}
    FunctionShell& inner;
    mutable int markSearches = 0;
    SearchSettings searchSettings() const override
    {
        ++markSearches;
        return inner.searchSettings();
    }
    Function* currentFunction() const override { return inner.currentFunction(); }
};

std::string formulaOf(const Function* f) { return f ? f->functionInfo().at("f") : std::string("(none)"); }

class MainWindowTest : public testing_qt::WindowTest {
  protected:
    QString alertText() const { return w->openMessage() ? w->openMessage()->text() : QString(); }
};

TEST_F(MainWindowTest, FirstLaunchStartsEmptyWithTheDefaultSwitches)
{
    EXPECT_TRUE(model().functionRegister().empty());
    EXPECT_EQ(cur(), nullptr);
    EXPECT_EQ(w->kindLabel().text(), "y(x)=");
    EXPECT_TRUE(w->rootsButton().isChecked());
    EXPECT_FALSE(w->extrsButton().isChecked());
    EXPECT_FALSE(w->inflsButton().isChecked());
    EXPECT_FALSE(w->intersButton().isChecked());
    EXPECT_FALSE(w->trashButton().isEnabled());
    EXPECT_EQ(w->size(), QSize(320, 480));
}

TEST_F(MainWindowTest, CommittedFormulasAreRegisteredInCreationOrderAndMadeCurrent)
{
    commit("x^2");
    commit("sin(x)"); // replaces the current one
    w->newKindAction(FunctionKind::yx)->trigger();
    EXPECT_EQ(cur(), nullptr);
    EXPECT_EQ(w->formulaField().text(), "");
    commit("x+1");
    w->newKindAction(FunctionKind::xy)->trigger();
    EXPECT_EQ(w->kindLabel().text(), "x(y)=");
    commit("y^2");

    ASSERT_EQ(ids(model()), (std::vector<std::string>{"f000001", "f000002", "f000003"}));
    const auto& reg = model().functionRegister();
    EXPECT_EQ(formulaOf(reg[0].second.get()), "sin(x)");
    EXPECT_EQ(reg[0].second->typeName(), "yxFunction");
    EXPECT_EQ(formulaOf(reg[1].second.get()), "x+1");
    EXPECT_EQ(reg[2].second->typeName(), "xyFunction");
    EXPECT_EQ(cur(), reg[2].second.get());
    EXPECT_EQ(w->formulaField().text(), "y^2");
    EXPECT_TRUE(w->trashButton().isEnabled());
    EXPECT_EQ(w->openMessage(), nullptr);
}

TEST_F(MainWindowTest, ReplacingKeepsPlaceColourAndDash)
{
    commit("x^2");
    w->newKindAction(FunctionKind::yx)->trigger();
    commit("x^3");
    Function::Ptr first = model().functionRegister()[0].second;
    const float dash[] = {4, 2};
    first->setDashPattern(dash, 2);
    const Color c = first->color();
    w->controller().makeCurrent(first);
    commit("x^2+1");

    ASSERT_EQ(ids(model()), (std::vector<std::string>{"f000001", "f000002"}));
    Function* replaced = model().functionRegister()[0].second.get();
    EXPECT_NE(replaced, first.get());
    EXPECT_EQ(cur(), replaced);
    EXPECT_EQ(formulaOf(replaced), "x^2+1");
    EXPECT_EQ(replaced->color().r, c.r);
    EXPECT_EQ(replaced->color().g, c.g);
    EXPECT_EQ(replaced->color().b, c.b);
    EXPECT_EQ(replaced->dashPattern(), (std::vector<float>{4, 2}));
    // The current function is drawn one point thicker; the widths stay their own.
    EXPECT_EQ(replaced->lineWidth(), 1.0f);
    EXPECT_EQ(model().functionRegister()[1].second->lineWidth(), 1.0f);
}

TEST_F(MainWindowTest, UnchangedAndEmptyCommitsChangeNothing)
{
    commit("x^2");
    Function* f = cur();
    commit("x^2");
    EXPECT_EQ(cur(), f);
    commit("");
    EXPECT_EQ(cur(), f);
    EXPECT_EQ(w->formulaField().text(), "x^2");
    EXPECT_EQ(ids(model()).size(), 1u);
}

TEST_F(MainWindowTest, TheFieldRefusesWhatItsKindCannotUseAndKeepsTheText)
{
    struct Case {
        bool xy;
        QString text;
        QString message; // empty: accepted
    };
    const std::vector<Case> cases = {
        {false, "x+y", "Variable 'y' mustn't be here!"},
        {false, "x+θ", "Variable 'θ' mustn't be here!"},
        {false, "t", "Variable 't' mustn't be here!"},
        {true, "x*y", "Variable 'x' mustn't be here!"},
        {true, "y^2-1", ""},
        {false, "2x(1+x)", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        w->newKindAction(c.xy ? FunctionKind::xy : FunctionKind::yx)->trigger();
        commit(c.text);
        EXPECT_EQ(w->fieldMessage().text(), c.message);
        EXPECT_EQ(w->formulaField().text(), c.text);
        EXPECT_EQ(cur() != nullptr, c.message.isEmpty());
    }
    // Syntax errors are the parser's own message, next to the field too.
    w->newKindAction(FunctionKind::yx)->trigger();
    commit("sin(x");
    EXPECT_FALSE(w->fieldMessage().text().isEmpty());
    EXPECT_EQ(cur(), nullptr);
    EXPECT_EQ(ids(model()).size(), 2u);
}

// Each kind's empty field shows an example in the kind's own variables, and
// the field takes it.
TEST_F(MainWindowTest, EachKindShowsAnExampleItAccepts)
{
    for (const FunctionKindInfo& kind : functionKinds()) {
        SCOPED_TRACE(std::string(kind.typeName));
        w->newKindAction(kind.kind)->trigger();
        EXPECT_EQ(w->kindLabel().text().toStdString(), kind.inputLabel);
        // The whole label shows, and the field starts after it.
        const int textWidth = w->kindLabel().fontMetrics().horizontalAdvance(w->kindLabel().text());
        EXPECT_GE(w->kindLabel().width(), textWidth);
        EXPECT_GE(w->formulaField().x(), w->kindLabel().geometry().right());
        EXPECT_EQ(w->formulaField().placeholderText().toStdString(), kind.placeholder);
        // A kind of two formulas shows its second example beside the first.
        EXPECT_EQ(w->secondFormulaField().isVisibleTo(w.get()), !kind.secondInputLabel.empty());
        EXPECT_EQ(w->secondFormulaField().placeholderText().toStdString(), kind.secondPlaceholder);
        w->secondFormulaField().setText(w->secondFormulaField().placeholderText());
        commit(w->formulaField().placeholderText());
        EXPECT_TRUE(w->fieldMessage().text().isEmpty()) << w->fieldMessage().text().toStdString();
        ASSERT_NE(cur(), nullptr);
        EXPECT_EQ(cur()->kindInfo(), &kind);
    }
}

// An implicit curve takes both x and y, offers no derivative and no
// inflection search, and draws as a contour.
TEST_F(MainWindowTest, ImplicitCurvesFollowTheirAbilities)
{
    w->newKindAction(FunctionKind::implicit)->trigger();
    EXPECT_EQ(w->kindLabel().text(), QString::fromUtf8("0\u200A=\u2005g(x,y)="));
    commit("x*t");
    EXPECT_EQ(w->fieldMessage().text(), "Variable 't' mustn't be here!");
    EXPECT_EQ(cur(), nullptr);
    commit("x*y-1");
    ASSERT_NE(cur(), nullptr);
    EXPECT_TRUE(cur()->isImplicit());
    EXPECT_FALSE(w->controller().canAddDerivative());
    EXPECT_FALSE(w->derivativeAction().isVisible());
    EXPECT_FALSE(w->inflsButton().isEnabled());
    EXPECT_GT(cur()->segmentPairs().size(), 0u);
}

// The intersections switch reaches the model: the current curve marks
// where it meets the others, whatever their kinds.
TEST_F(MainWindowTest, IntersectionsSwitchMarksCrossings)
{
    w->resize(320, 480);
    w->show();
    QCoreApplication::processEvents();
    w->controller().setSInters(true);
    w->newKindAction(FunctionKind::implicit)->trigger();
    commit("x^2+y^2-4");
    w->newKindAction(FunctionKind::yx)->trigger();
    commit("x");
    ASSERT_NE(cur(), nullptr);
    int crossings = 0;
    for (const auto& m : cur()->info()) {
        if (m->type() != "inter")
            continue;
        ++crossings;
        EXPECT_NEAR(std::fabs(m->info().point.x), std::sqrt(2.0), 1e-6);
        EXPECT_EQ(m->info().point.x, m->info().point.y);
    }
    EXPECT_EQ(crossings, 2);
}

// A commit makes the function of the very program the field's check
// compiled, finds the new curve's marks once and refreshes the window once;
// so does making another function current. The current curve is drawn one
// point thicker, but its own width stays what it was.
TEST_F(MainWindowTest, ACommitTakesOneRoad)
{
    w->resize(320, 480);
    w->show();
    QCoreApplication::processEvents();
    w->controller().setSRoots(true);
    commit("x^2-1");
    Function* first = cur();
    ASSERT_NE(first, nullptr);

    std::shared_ptr<StackMachine> checkedProgram;
    w->checkFormula = [&](std::string_view text, const FunctionKindInfo& kind) {
        CheckedFormula c = checkedFormula(text, kind);
        checkedProgram = c.program;
        return c;
    };
    int refreshes = 0;
    const auto refresh = w->controller().onChanged;
    w->controller().onChanged = [&] {
        ++refreshes;
        refresh();
    };
    CountingShell shell(*model().shell());
    model().setShell(&shell);

    w->newKindAction(FunctionKind::yx)->trigger();
    shell.markSearches = refreshes = 0;
    commit("sin(x)");
    auto* made = dynamic_cast<explicitFunction*>(cur());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->functionSM(), checkedProgram.get());
    EXPECT_EQ(shell.markSearches, 1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(made->info().empty());

    shell.markSearches = refreshes = 0;
    w->controller().makeCurrent(model().functionWithID(ids(model()).front()));
    EXPECT_EQ(cur(), first);
    EXPECT_EQ(shell.markSearches, 1);
    EXPECT_EQ(refreshes, 1);

    for (const auto& [id, f] : model().functionRegister())
        EXPECT_EQ(f->lineWidth(), 1.0f) << formulaOf(f.get());
    EXPECT_EQ(model().registerToDict()[ids(model()).front()]["lineWidth"], 1.0);
    model().setShell(&shell.inner);
}

TEST_F(MainWindowTest, ModelFailuresShowTheErrorAlertAndKeepTheCurrentFunction)
{
    commit("x^2");
    Function* before = cur();
    // The field's check passes whatever it is given: the model must refuse.
    w->checkFormula = [](std::string_view text, const FunctionKindInfo&) {
        return CheckedFormula{std::string(text), nullptr, nullptr};
    };
    commit("x+");
    ASSERT_NE(w->openMessage(), nullptr);
    EXPECT_EQ(w->openMessage()->windowTitle(), "Error!");
    EXPECT_FALSE(alertText().isEmpty());
    ASSERT_EQ(w->openMessage()->buttons().size(), 1);
    EXPECT_EQ(w->openMessage()->buttons()[0]->text(), "Ok");
    EXPECT_EQ(cur(), before);
    EXPECT_EQ(ids(model()).size(), 1u);
}

TEST_F(MainWindowTest, DerivativeIsRegisteredCurrentAndDashedWhenAsked)
{
    EXPECT_FALSE(w->controller().canAddDerivative());
    model().setDerAreDashed(true);
    commit("x^3");
    Function* parent = cur();
    ASSERT_TRUE(w->derivativeAction().isVisible());
    w->derivativeAction().trigger();
    ASSERT_EQ(ids(model()).size(), 2u);
    Function* d = cur();
    ASSERT_NE(d, parent);
    EXPECT_EQ(formulaOf(d), "D(x^3,x)");
    EXPECT_EQ(d->dashPattern(), (std::vector<float>{6, 5}));
    const Color a = parent->color(), b = d->color();
    EXPECT_FALSE(a.r == b.r && a.g == b.g && a.b == b.b);
    // The same derivative again is only made current.
    w->controller().makeCurrent(model().functionRegister()[0].second);
    w->derivativeAction().trigger();
    EXPECT_EQ(ids(model()).size(), 2u);
    EXPECT_EQ(cur(), d);
}

TEST_F(MainWindowTest, IntersectionsExcludeTheOtherSearches)
{
    struct Step {
        QToolButton* button;
        bool roots, extrs, infls, inters;
    };
    const std::vector<Step> steps = {
        {&w->extrsButton(), true, true, false, false},   {&w->inflsButton(), true, true, true, false},
        {&w->intersButton(), false, false, false, true}, {&w->rootsButton(), true, false, false, false},
        {&w->intersButton(), false, false, false, true}, {&w->intersButton(), false, false, false, false},
    };
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(i++);
        s.button->click();
        const Preferences& p = w->controller().preferences();
        EXPECT_EQ(p.sRoots, s.roots);
        EXPECT_EQ(p.sExtrs, s.extrs);
        EXPECT_EQ(p.sInfls, s.infls);
        EXPECT_EQ(p.sInters, s.inters);
        EXPECT_EQ(w->rootsButton().isChecked(), s.roots);
        EXPECT_EQ(w->intersButton().isChecked(), s.inters);
    }
}

TEST_F(MainWindowTest, DeletingAsksFirstWhenThePromptIsOn)
{
    commit("x^2");
    w->newKindAction(FunctionKind::yx)->trigger();
    commit("x^3");
    w->trashButton().click();
    ASSERT_NE(w->openMessage(), nullptr);
    EXPECT_EQ(alertText(), "Delete function?");
    EXPECT_EQ(ids(model()).size(), 2u);
    QAbstractButton* del = nullptr;
    for (QAbstractButton* b : w->openMessage()->buttons())
        if (b->text() == "Delete")
            del = b;
    ASSERT_NE(del, nullptr);
    del->click();
    EXPECT_EQ(ids(model()), (std::vector<std::string>{"f000001"}));
    EXPECT_EQ(formulaOf(cur()), "x^2");

    w->controller().setShowPrompt(false);
    w->trashButton().click();
    EXPECT_TRUE(ids(model()).empty());
    EXPECT_EQ(cur(), nullptr);
    EXPECT_FALSE(w->trashButton().isEnabled());
}

TEST_F(MainWindowTest, MoveOrTraceSwitchesTheView)
{
    commit("x^2");
    w->moveOrTraceButton().click();
    EXPECT_EQ(w->plot().view().mode(), PlotMode::Trace);
    w->moveOrTraceButton().click();
    EXPECT_EQ(w->plot().view().mode(), PlotMode::Move);
    // A new kind leaves nothing to trace: back to moving.
    w->moveOrTraceButton().click();
    w->newKindAction(FunctionKind::xy)->trigger();
    EXPECT_EQ(w->plot().view().mode(), PlotMode::Move);
}

TEST_F(MainWindowTest, HidingTheBarsSlidesThemAwayAndGivesThePlotTheirRoom)
{
    w->resize(320, 480);
    w->show();
    struct Step {
        int state;
        float top, height; // the plot's drawable band once the bars rest
        bool topShown, bottomShown;
    };
    const Step steps[] = {
        {1, 0, 480 - MainWindow::kBottomBarHeight, false, true},
        {2, 0, 480, false, false},
        {0, MainWindow::kTopBarHeight, 480 - MainWindow::kTopBarHeight - MainWindow::kBottomBarHeight, true, true}};
    for (const Step& s : steps) {
        w->controller().showHideInterface();
        EXPECT_EQ(w->controller().interfaceState(), s.state);
        EXPECT_TRUE(w->interfaceAnimating());
        QTRY_VERIFY_WITH_TIMEOUT(!w->interfaceAnimating(), 2000);
        const RectF r = w->plot().view().goodRect();
        EXPECT_EQ(r.y, s.top) << "state " << s.state;
        EXPECT_EQ(r.height, s.height) << "state " << s.state;
        EXPECT_EQ(r.width, 320);
        EXPECT_EQ(w->topBar().isVisibleTo(w.get()), s.topShown);
        EXPECT_EQ(w->bottomBar().isVisibleTo(w.get()), s.bottomShown);
    }
    // A new size while the bars slide puts them where they rest at once.
    w->controller().showHideInterface();
    w->resize(480, 320);
    QTRY_COMPARE_WITH_TIMEOUT(w->height(), 320, 1000);
    EXPECT_FALSE(w->interfaceAnimating());
    EXPECT_EQ(w->plot().view().goodRect().height, 320 - MainWindow::kBottomBarHeight);
    EXPECT_EQ(w->bottomBar().geometry().top(), 320 - MainWindow::kBottomBarHeight);
}

TEST_F(MainWindowTest, TheStripOfFunctionsFollowsTheRegisterTheTapsAndTheBars)
{
    w->resize(320, 480);
    w->show();
    FuncSelectorWidget& strip = w->functionSelector();
    const auto shownAt = [&](int width, int y) {
        EXPECT_TRUE(strip.isVisibleTo(w.get()));
        EXPECT_EQ(strip.geometry(), QRect((320 - width) / 2, y, width, 28));
    };
    const int under = MainWindow::kTopBarHeight + MainWindow::kSelectorGap;
    commit("x^2");
    EXPECT_FALSE(strip.isVisibleTo(w.get())); // one function, current
    w->newKindAction(FunctionKind::yx)->trigger();
    shownAt(70, under); // one function, a new one being typed
    commit("x+1");
    w->newKindAction(FunctionKind::polar)->trigger();
    commit("2");
    shownAt(126, under);

    // The last is current: a tap goes round to the first, and the input bar
    // shows it.
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(60, 14));
    EXPECT_EQ(formulaOf(cur()), "x^2");
    EXPECT_EQ(w->formulaField().text(), "x^2");
    EXPECT_EQ(w->kindLabel().text(), "y(x)=");
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(60, 14));
    EXPECT_EQ(formulaOf(cur()), "x+1");

    // Up with the top bar, out with both bars, back with them.
    for (int y : {MainWindow::kSelectorGap, -1, under}) {
        w->controller().showHideInterface();
        QTRY_VERIFY_WITH_TIMEOUT(!w->interfaceAnimating(), 2000);
        if (y < 0)
            EXPECT_FALSE(strip.isVisibleTo(w.get()));
        else
            shownAt(126, y);
    }
}

TEST_F(MainWindowTest, ARestartFindsFunctionsColoursPositionAndSwitches)
{
    commit("x^2");
    w->newKindAction(FunctionKind::xy)->trigger();
    commit("y^3");
    w->controller().makeCurrent(model().functionRegister()[0].second);
    w->extrsButton().click();
    w->grab(); // shown: the position is the view's own from now on
    plotView& v = w->plot().view();
    v.placeOrigin(myPoint{100, 200}, myPoint{45, 30});
    w->controller().viewChanged();
    std::vector<Color> colours;
    for (const auto& [id, f] : model().functionRegister())
        colours.push_back(f->color());

    restart();
    ASSERT_EQ(ids(model()), (std::vector<std::string>{"f000001", "f000002"}));
    for (size_t i = 0; i < colours.size(); ++i) {
        const Color c = model().functionRegister()[i].second->color();
        EXPECT_EQ(c.r, colours[i].r);
        EXPECT_EQ(c.g, colours[i].g);
        EXPECT_EQ(c.b, colours[i].b);
        EXPECT_EQ(model().functionRegister()[i].second->lineWidth(), 1.0f);
    }
    EXPECT_EQ(formulaOf(cur()), "x^2");
    EXPECT_EQ(w->formulaField().text(), "x^2");
    EXPECT_EQ(model().functionRegister()[1].second->typeName(), "xyFunction");
    EXPECT_TRUE(w->extrsButton().isChecked());
    EXPECT_TRUE(w->controller().preferences().sExtrs);
    EXPECT_DOUBLE_EQ(w->plot().view().viewState().center().x, 100);
    EXPECT_DOUBLE_EQ(w->plot().view().viewState().center().y, 200);
    EXPECT_DOUBLE_EQ(w->plot().view().viewState().scale().x, 45);

    // A new function after the restart does not take an old identifier.
    w->newKindAction(FunctionKind::yx)->trigger();
    commit("x+2");
    EXPECT_EQ(ids(model()).back(), "f000003");
}

TEST_F(MainWindowTest, ALaunchThatDidNotCompleteStartsEmpty)
{
    commit("x^2");
    w->extrsButton().click();
    w.reset();
    {
        Store s(dir.path(), Store::defaultFileName(), Session::schema());
        s.set(Session::launchFailedKey, true);
        ASSERT_TRUE(s.save());
    }
    open();
    EXPECT_TRUE(model().functionRegister().empty());
    EXPECT_EQ(cur(), nullptr);
    EXPECT_FALSE(w->controller().preferences().sExtrs);
    EXPECT_TRUE(w->controller().preferences().sRoots);
    EXPECT_FALSE(w->session().store().boolForKey(Session::launchFailedKey));
}

TEST_F(MainWindowTest, ClickingAwayKeepsTypedTextUnappliedUntilEnterOrEscape)
{
    commit("cos(x)");
    w->show();
    QApplication::setActiveWindow(w.get());
    const QPoint middle(w->width() / 2, w->height() / 2);
    QLineEdit& field = w->formulaField();

    // Typed but not confirmed: a click on the plot keeps the text, marked as
    // not applied, and a key typed afterwards goes nowhere near the register.
    field.setFocus();
    field.setText("3");
    QTest::mouseClick(&w->plot(), Qt::LeftButton, Qt::NoModifier, middle);
    EXPECT_EQ(field.text(), "3");
    EXPECT_TRUE(w->editPending());
    EXPECT_TRUE(field.font().italic());
    EXPECT_FALSE(w->fieldMessage().text().isEmpty());
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(formulaOf(cur()), "cos(x)");
    EXPECT_EQ(field.text(), "3");

    // Escape is the one way to throw it away.
    QTest::keyClick(&w->plot(), Qt::Key_Escape);
    EXPECT_FALSE(w->editPending());
    EXPECT_EQ(field.text(), "cos(x)");
    EXPECT_TRUE(w->fieldMessage().text().isEmpty());

    // Enter in the field applies what was kept.
    field.setFocus();
    field.setText("x^3");
    QTest::mouseClick(&w->plot(), Qt::LeftButton, Qt::NoModifier, middle);
    field.setFocus();
    QTest::keyClick(&field, Qt::Key_Return);
    EXPECT_EQ(formulaOf(cur()), "x^3");
    EXPECT_FALSE(w->editPending());
    EXPECT_FALSE(field.font().italic());

    // A rejected formula stays too, until Escape.
    field.setFocus();
    commit("2+*3");
    QTest::mouseClick(&w->plot(), Qt::LeftButton, Qt::NoModifier, middle);
    EXPECT_EQ(field.text(), "2+*3");
    QTest::keyClick(&w->plot(), Qt::Key_Escape);
    EXPECT_EQ(field.text(), "x^3");
    EXPECT_EQ(ids(model()).size(), 1u);
}

TEST_F(MainWindowTest, DesktopKeysToggleTheBarsAndQuitSaving)
{
    w->show();
    QApplication::setActiveWindow(w.get());
    w->plot().setFocus();
    QTest::keyClick(&w->plot(), Qt::Key_Tab);
    EXPECT_EQ(w->controller().interfaceState(), 1);
    QTest::keyClick(&w->plot(), Qt::Key_F11);
    EXPECT_EQ(w->controller().interfaceState(), 2);
    // Tab in the field stays the field's.
    QTest::keyClick(&w->formulaField(), Qt::Key_Tab);
    EXPECT_EQ(w->controller().interfaceState(), 2);

    w->formulaField().setText("x^3");
    w->commitFormula();
    w->formulaField().setText("x^4"); // not confirmed: must not be saved
    QTest::keyClick(&w->plot(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w->isVisible());
    restart();
    EXPECT_EQ(formulaOf(cur()), "x^3");
}

// A right click on the plot opens a menu whose entry toggles the bars.
TEST_F(MainWindowTest, ThePlotsContextMenuTogglesTheBars)
{
    w->show();
    QTest::mouseClick(&w->plot(), Qt::RightButton, {}, QPoint(100, 200));
    ASSERT_TRUE(w->plotMenu().isVisible());
    QAction* bars = w->plotMenu().actions().value(0);
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->text(), QStringLiteral("Hide bars"));
    bars->trigger();
    w->plotMenu().close();
    EXPECT_EQ(w->controller().interfaceState(), 1);
    w->controller().showHideInterface();
    QTest::mouseClick(&w->plot(), Qt::RightButton, {}, QPoint(100, 200));
    EXPECT_EQ(bars->text(), QStringLiteral("Show bars"));
    w->plotMenu().close();
}

// The bottom bar's menus open over the plane, above their buttons and
// within the window, not below it or past its right edge where a desktop
// screen has room for them.
TEST_F(MainWindowTest, TheBottomBarsMenusOpenAboveTheirButtons)
{
    w->resize(400, 500);
    w->move(0, 0);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    for (QToolButton* button : {&w->addButton(), &w->preferencesButton()}) {
        QRect opened;
        QTimer::singleShot(0, button->menu(), [&] {
            opened = button->menu()->geometry();
            button->menu()->close();
        });
        button->showMenu();
        const QPoint top = button->mapToGlobal(QPoint(0, 0));
        ASSERT_FALSE(opened.isEmpty()) << button->toolTip().toStdString();
        EXPECT_LE(opened.bottom(), top.y()) << button->toolTip().toStdString();
        EXPECT_GE(opened.top(), 0) << button->toolTip().toStdString();
        const QRect window(w->mapToGlobal(QPoint(0, 0)), w->size());
        EXPECT_TRUE(window.contains(opened)) << button->toolTip().toStdString();
    }
}

TEST_F(MainWindowTest, ScreenshotIsWrittenWithTheStoredState)
{
    commit("sin(x)");
    w.reset();
    const QString file = dir.filePath("shot.png");
    ASSERT_TRUE(renderScreenshot(file, QSize(200, 300), dir.path()));
    QImage img(file);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(200, 300));
    // The picture's window read the store and left it as it was.
    open();
    EXPECT_EQ(formulaOf(model().functionRegister().empty() ? nullptr : model().functionRegister()[0].second.get()),
              "sin(x)");
    w.reset();
    EXPECT_FALSE(renderScreenshot(dir.filePath("no/such/dir/shot.png"), QSize(200, 300), dir.path()));
    EXPECT_EQ(parseShow("no such view"), nullptr);
    // The strip shown for a single function: its pill darkens the plot's white under the top bar.
    ASSERT_TRUE(renderScreenshot(file, QSize(200, 300), dir.path(), parseShow("selector")));
    EXPECT_LT(qGray(QImage(file).pixel(100 - 30, MainWindow::kTopBarHeight + MainWindow::kSelectorGap + 14)), 160);
}

TEST_F(MainWindowTest, ScreenshotLeavesTheStoreAsItWas)
{
    commit("x^2-2");
    w.reset();
    const QString storeFile = QDir(dir.path()).filePath(Store::defaultFileName());
    const auto bytes = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes(storeFile);
    ASSERT_FALSE(before.isEmpty());
    // Another size than the stored view's, twice: nothing may drift.
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(renderScreenshot(dir.filePath("shot.png"), QSize(800, 480), dir.path()));
    }
    EXPECT_EQ(bytes(storeFile), before);

    // An unreadable store is shown with defaults and neither backed up nor
    // replaced.
    QFile bad(storeFile);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("{ not json");
    bad.close();
    ASSERT_TRUE(renderScreenshot(dir.filePath("shot.png"), QSize(320, 480), dir.path()));
    EXPECT_EQ(bytes(storeFile), QByteArray("{ not json"));
    EXPECT_EQ(QDir(dir.path()).entryList({"*.corrupt-*"}, QDir::Files).size(), 0);
}

TEST(ParseSize, Table)
{
    const std::vector<std::pair<QString, std::optional<QSize>>> cases = {
        {"320,480", QSize(320, 480)}, {" 640 , 960 ", QSize(640, 960)},
        {"0,480", std::nullopt},      {"320", std::nullopt},
        {"a,b", std::nullopt},        {"-1,2", std::nullopt},
        {"1,2,3", std::nullopt},      {"99999,2", std::nullopt},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(parseSize(text), want) << text.toStdString();
}

} // namespace
