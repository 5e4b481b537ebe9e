// A whole session on the main screen, driven as a person would: typing a
// formula, tapping a root, panning and pinching with fingers, tracing the
// curve and a range, hiding the bars with three fingers, adding the
// derivative, deleting, and finding it all again after a restart.
//
// With ORLIX_SESSION_SHOTS naming a directory, every step leaves a picture
// of the window there (for a person to look at).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPointingDevice>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "info_view.h"
#include "main_window.h"
#include "orlix/function.h"
#include "orlix/special_point.h"
#include "qt_environment.h"

using namespace orlix;

namespace {

// Taps closer than this in time (ms) at one place would count as a double tap.
constexpr int kTapPause = 400;

// The numbers of an information text, by label: "y=\u2005-1.75" gives
// {"y", -1.75}. Lines without a readable number are left out.
std::map<std::string, double> numbersOf(const QString& text)
{
    std::map<std::string, double> r;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const int eq = line.lastIndexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        bool ok = false;
        const double v = line.mid(eq + 1).trimmed().toDouble(&ok);
        if (ok)
            r[line.left(eq).trimmed().toStdString()] = v;
    }
    return r;
}

// What seven significant digits can tell apart.
::testing::AssertionResult shownAs(const std::map<std::string, double>& shown, const std::string& key, double want)
{
    auto it = shown.find(key);
    if (it == shown.end())
        return ::testing::AssertionFailure() << "no \"" << key << "\" in the panel";
    const double tol = 1e-6 * std::fabs(want) + 2e-7;
    if (std::fabs(it->second - want) > tol)
        return ::testing::AssertionFailure() << key << " shows " << it->second << ", want " << want;
    return ::testing::AssertionSuccess();
}

// x^2-2 and what the panel says about it.
double f(double x) { return x * x - 2; }
double df(double x) { return 2 * x; }
double curvature(double x) { return 2 / std::pow(1 + 4 * x * x, 1.5); }

std::string formulaOf(const Function* fn) { return fn ? fn->functionInfo().at("f") : std::string("(none)"); }

class SessionTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> w;
    // Qt registers the simulated device and leaves it to its creator.
    std::unique_ptr<QPointingDevice> device{QTest::createTouchDevice()};

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        open();
    }
    void TearDown() override { w.reset(); }
    void open()
    {
        w = std::make_unique<MainWindow>(dir.path());
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        paint();
    }
    void restart()
    {
        w.reset();
        open();
    }

    plotView& view() { return w->plot().view(); }
    CurveModel& model() { return w->controller().model(); }
    infoView* panel() { return w->plot().findChild<infoView*>(); }
    Function* cur() { return w->controller().curFunc(); }
    // Draws a frame: marks get their places and the panel its texts.
    void paint() { (void)w->grab(); }

    void type(const QString& formula)
    {
        QLineEdit& field = w->formulaField();
        field.setFocus();
        field.clear();
        QTest::keyClicks(&field, formula);
        QTest::keyClick(&field, Qt::Key_Return);
        paint();
    }

    // The device point (rounded to a whole point, as a finger lands) of
    // the user point (x, y).
    QPoint at(double x, double y)
    {
        const PointF d = view().coordsToDevice(PointF{static_cast<float>(x), static_cast<float>(y)});
        return QPoint(qRound(d.x), qRound(d.y));
    }
    // The user x of a device point at the committed position.
    double userX(QPoint p) { return (p.x() - view().viewState().center().x) / view().viewState().scale().x; }

    QTest::QTouchEventWidgetSequence touch() { return QTest::touchEvent(&w->plot(), device.get()); }
    void tap(QPoint p)
    {
        QTest::qWait(kTapPause);
        touch().press(0, p);
        touch().release(0, p);
        paint();
    }

    // A finger on a widget of the window (a bar button, a field).
    void tapOn(QWidget& target)
    {
        const QPoint c = target.mapTo(w.get(), target.rect().center());
        QTest::qWait(kTapPause);
        QTest::touchEvent(w.get(), device.get()).press(0, c);
        QTest::touchEvent(w.get(), device.get()).release(0, c);
        QApplication::processEvents();
        paint();
    }

    void shot(const char* name)
    {
        const QString d = qEnvironmentVariable("ORLIX_SESSION_SHOTS");
        if (d.isEmpty())
            return;
        QDir().mkpath(d);
        if (panel())
            panel()->finishAnimation();
        EXPECT_TRUE(w->grab().save(QDir(d).filePath(QString::fromLatin1(name)), "PNG")) << name;
    }

    QAbstractButton* messageButton(const QString& text)
    {
        if (!w->openMessage())
            return nullptr;
        for (QAbstractButton* b : w->openMessage()->buttons())
            if (b->text() == text)
                return b;
        return nullptr;
    }

    // The panel shows the point form for x^2-2 at x.
    void expectPointPanel(double x)
    {
        SCOPED_TRACE(x);
        infoView* p = panel();
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(p->isVisible());
        EXPECT_EQ(p->valueLabel()->text(), "x=");
        bool ok = false;
        const double shownX = p->valueField()->text().toDouble(&ok);
        EXPECT_TRUE(ok) << p->valueField()->text().toStdString();
        EXPECT_NEAR(shownX, x, 1e-6 * std::fabs(x) + 2e-7);
        const auto n = numbersOf(p->textView()->text());
        EXPECT_TRUE(shownAs(n, "y", f(x)));
        EXPECT_TRUE(shownAs(n, "∂y/∂x", df(x)));
        EXPECT_TRUE(shownAs(n, "∂²y/∂x²", 2));
        EXPECT_TRUE(shownAs(n, "k", curvature(x)));
    }
};

// ---- 1: a formula, its roots, a tap on one --------------------------------------------

TEST_F(SessionTest, TypedFormulaIsCurrentAndATapOnItsRootSelectsIt)
{
    type("x^2-2");
    shot("01-typed.png");
    ASSERT_EQ(model().functionRegister().size(), 1u);
    EXPECT_EQ(model().functionRegister()[0].first, "f000001");
    EXPECT_EQ(formulaOf(cur()), "x^2-2");
    EXPECT_EQ(cur(), model().functionRegister()[0].second.get());
    EXPECT_EQ(w->formulaField().text(), "x^2-2");
    EXPECT_TRUE(w->fieldMessage().text().isEmpty());
    EXPECT_TRUE(w->trashButton().isEnabled());

    const QPoint root = at(std::numbers::sqrt2, 0);
    // Roots off: nothing is marked there, a tap selects nothing.
    ASSERT_TRUE(w->rootsButton().isChecked());
    tapOn(w->rootsButton());
    EXPECT_FALSE(w->rootsButton().isChecked());
    EXPECT_FALSE(w->controller().preferences().sRoots);
    tap(root);
    EXPECT_EQ(view().selectedPoint(), nullptr);
    EXPECT_FALSE(panel()->isVisible());

    // Roots on: the tap selects the root and the panel tells about it.
    tapOn(w->rootsButton());
    EXPECT_TRUE(w->rootsButton().isChecked());
    tap(root);
    const auto sel = view().selectedPoint();
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->type(), "root");
    EXPECT_NEAR(sel->info().variable, std::numbers::sqrt2, 1e-9);
    EXPECT_NEAR(sel->info().value, 0, 1e-9);
    expectPointPanel(std::numbers::sqrt2);
    // In move mode a typed value would put the trace point there.
    EXPECT_FALSE(panel()->valueField()->isReadOnly());
    EXPECT_EQ(panel()->valueField()->text(), "1.414214");
    shot("02-root-tapped.png");

    // The other root is a separate mark.
    tap(at(-std::numbers::sqrt2, 0));
    ASSERT_NE(view().selectedPoint(), nullptr);
    EXPECT_NEAR(view().selectedPoint()->info().variable, -std::numbers::sqrt2, 1e-9);
    expectPointPanel(-std::numbers::sqrt2);

    // A tap far from every mark lets go of the selection.
    tap(at(3, 4));
    EXPECT_EQ(view().selectedPoint(), nullptr);
    EXPECT_FALSE(panel()->isVisible());
}

// ---- 2: pan and pinch -----------------------------------------------------------------

TEST_F(SessionTest, OneFingerPansTwoFingersPinchAndTheViewIsKeptOverARestart)
{
    type("x^2-2");
    const myPoint c0 = view().viewState().center();
    const double s0 = view().viewState().scale().x;

    touch().press(0, QPoint(100, 150));
    touch().move(0, QPoint(120, 170));
    touch().move(0, QPoint(140, 190));
    // Live: the picture follows the finger before it lifts.
    EXPECT_DOUBLE_EQ(view().viewState().liveCenter().x, c0.x + 40);
    EXPECT_DOUBLE_EQ(view().viewState().liveCenter().y, c0.y + 40);
    touch().release(0, QPoint(140, 190));
    paint();
    EXPECT_DOUBLE_EQ(view().viewState().center().x, c0.x + 40);
    EXPECT_DOUBLE_EQ(view().viewState().center().y, c0.y + 40);
    EXPECT_DOUBLE_EQ(view().viewState().scale().x, s0);
    EXPECT_EQ(view().curTouchNumber(), 0);
    shot("03-panned.png");

    // Spreading two fingers from 50 to 100 points apart doubles the scale
    // about the finger that stays.
    const myPoint c1 = view().viewState().center();
    const QPoint still(100, 250);
    const PointF under = view().coordsToUser(PointF{100, 250});
    QTest::qWait(kTapPause);
    touch().press(0, still).press(1, QPoint(150, 250));
    // The finger that stays is reported where it is: QTest's stationary()
    // loses its place between sequences.
    touch().move(0, still).move(1, QPoint(175, 250));
    EXPECT_EQ(view().curTouchNumber(), 2);
    EXPECT_NEAR(view().viewState().liveScale().x, 1.5 * s0, 1e-9);
    touch().move(0, still).move(1, QPoint(200, 250));
    touch().release(0, still).release(1, QPoint(200, 250));
    paint();
    EXPECT_EQ(view().curTouchNumber(), 0);
    EXPECT_NEAR(view().viewState().scale().x, 2 * s0, 1e-9);
    EXPECT_NEAR(view().viewState().scale().y, 2 * s0, 1e-9);
    EXPECT_NEAR(view().viewState().center().x, still.x() + 2 * (c1.x - still.x()), 1e-9);
    EXPECT_NEAR(view().viewState().center().y, still.y() + 2 * (c1.y - still.y()), 1e-9);
    const PointF after = view().coordsToUser(PointF{100, 250});
    EXPECT_NEAR(after.x, under.x, 1e-5);
    EXPECT_NEAR(after.y, under.y, 1e-5);
    shot("03b-pinched.png");

    const myPoint c2 = view().viewState().center();
    const double s2 = view().viewState().scale().x;
    restart();
    EXPECT_DOUBLE_EQ(view().viewState().center().x, c2.x);
    EXPECT_DOUBLE_EQ(view().viewState().center().y, c2.y);
    EXPECT_DOUBLE_EQ(view().viewState().scale().x, s2);
    EXPECT_DOUBLE_EQ(view().viewState().scale().y, s2);
    EXPECT_EQ(formulaOf(cur()), "x^2-2");
}

// ---- 3: tracing with one finger ---------------------------------------------------------

TEST_F(SessionTest, OneFingerTracesTheCurveAndThePanelFollowsIt)
{
    type("x^2-2");
    w->moveOrTraceButton().click();
    ASSERT_EQ(view().mode(), PlotMode::Trace);
    ASSERT_TRUE(w->controller().tracing());

    // The finger need not be on the curve: the trace point takes its x.
    std::vector<QPoint> path = {at(0.5, 2), at(1, 2), at(1.5, 1), at(-0.7, 1), at(2.2, 3)};
    touch().press(0, path[0]);
    paint();
    for (size_t i = 0; i < path.size(); ++i) {
        SCOPED_TRACE(i);
        if (i > 0) {
            touch().move(0, path[i]);
            paint();
        }
        const double x = userX(path[i]);
        ASSERT_NE(view().tracePoint(), nullptr);
        EXPECT_DOUBLE_EQ(view().tracePoint()->info().variable, x);
        EXPECT_EQ(view().selectedPoint(), view().tracePoint());
        expectPointPanel(x);
        // In trace mode the value may be typed.
        EXPECT_FALSE(panel()->valueField()->isReadOnly());
    }
    shot("04-trace.png");
    // A drag that lasted lets go of the finger but keeps the point.
    QTest::qWait(kTapPause);
    touch().release(0, path.back());
    paint();
    EXPECT_EQ(view().curTouchNumber(), 0);
    ASSERT_EQ(view().selectedPoint(), view().tracePoint());
    EXPECT_DOUBLE_EQ(view().tracePoint()->info().variable, userX(path.back()));
    expectPointPanel(userX(path.back()));

    // A value typed into the panel moves the point there.
    QTest::mouseClick(panel()->valueField(), Qt::LeftButton);
    ASSERT_TRUE(panel()->valueField()->hasFocus());
    panel()->valueField()->selectAll();
    QTest::keyClicks(panel()->valueField(), "sqrt(3)");
    QTest::keyClick(panel()->valueField(), Qt::Key_Return);
    paint();
    EXPECT_DOUBLE_EQ(view().tracePoint()->info().variable, std::sqrt(3.0));
    EXPECT_NEAR(view().tracePoint()->info().value, 1, 1e-12);
    EXPECT_TRUE(panel()->errorLabel()->isHidden());
    expectPointPanel(std::sqrt(3.0));

    // Back to move mode: the trace point and its panel go.
    w->moveOrTraceButton().click();
    paint();
    EXPECT_EQ(view().mode(), PlotMode::Move);
    EXPECT_EQ(view().selectedPoint(), nullptr);
    EXPECT_FALSE(panel()->isVisible());
}

// ---- 4: a range with two fingers -----------------------------------------------------

TEST_F(SessionTest, TwoFingersInTraceModeSetARangeAndThePanelShowsItsIntegrals)
{
    type("x^2-2");
    w->moveOrTraceButton().click();
    ASSERT_EQ(view().mode(), PlotMode::Trace);
    // The ends given in either order: the range runs from the smaller.
    const QPoint right = at(2, 3), left = at(-1, 1);
    touch().press(0, right).press(1, left);
    paint();
    EXPECT_EQ(view().curTouchNumber(), 2);
    touch().release(0, right).release(1, left);
    paint();
    panel()->finishAnimation();
    const double a = userX(left), b = userX(right);
    ASSERT_DOUBLE_EQ(a, -1);
    ASSERT_DOUBLE_EQ(b, 2);
    EXPECT_DOUBLE_EQ(view().tracePoint1()->info().variable, a);
    EXPECT_DOUBLE_EQ(view().tracePoint2()->info().variable, b);

    infoView* p = panel();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->startLabel()->text(), "x₁=");
    EXPECT_EQ(p->valueLabel()->text(), "x₂=");
    EXPECT_EQ(p->startField()->text(), "-1");
    EXPECT_EQ(p->valueField()->text(), "2");
    EXPECT_TRUE(p->startField()->isVisible());
    EXPECT_EQ(p->height(), infoView::kCollapsedHeight + infoView::kGrowth);

    // F = x³/3 − 2x: ∫ = F(2) − F(−1) = −3; |f| changes sign at √2.
    const auto F = [](double x) { return x * x * x / 3 - 2 * x; };
    const double r2 = std::numbers::sqrt2;
    const double integral = F(b) - F(a);
    const double area = (F(a) - F(r2)) + (F(b) - F(r2));
    // ∫√(1+4x²) = x√(1+4x²)/2 + asinh(2x)/4.
    const auto L = [](double x) { return x * std::sqrt(1 + 4 * x * x) / 2 + std::asinh(2 * x) / 4; };
    const double length = L(b) - L(a);
    // π∫(x²−2)² = π[x⁵/5 − 4x³/3 + 4x].
    const auto V = [](double x) { return std::pow(x, 5) / 5 - 4 * x * x * x / 3 + 4 * x; };
    const double volume = std::numbers::pi * (V(b) - V(a));
    // 2π∫|f|√(1+f'²), by Simpson's rule on either side of the root.
    const auto simpson = [](auto g, double lo, double hi) {
        const int n = 20000;
        const double h = (hi - lo) / n;
        double s = g(lo) + g(hi);
        for (int i = 1; i < n; ++i)
            s += g(lo + i * h) * (i % 2 ? 4 : 2);
        return s * h / 3;
    };
    const auto g = [](double x) { return std::fabs(x * x - 2) * std::sqrt(1 + 4 * x * x); };
    const double surface = 2 * std::numbers::pi * (simpson(g, a, r2) + simpson(g, r2, b));

    const auto n = numbersOf(p->textView()->text());
    SCOPED_TRACE(p->textView()->text().toStdString());
    ASSERT_TRUE(n.count("∫"));
    EXPECT_NEAR(n.at("∫"), integral, 1e-5);
    ASSERT_TRUE(n.count("S"));
    EXPECT_NEAR(n.at("S"), area, 1e-4);
    ASSERT_TRUE(n.count("l"));
    EXPECT_NEAR(n.at("l"), length, 1e-5);
    ASSERT_TRUE(n.count("Vox"));
    EXPECT_NEAR(n.at("Vox"), volume, 1e-4);
    ASSERT_TRUE(n.count("Sox"));
    EXPECT_NEAR(n.at("Sox"), surface, 1e-3);
    shot("05-range.png");

    // Picking up the right end and dragging it to x = 1 narrows the range.
    QTest::qWait(kTapPause);
    const PointF e = view().tracePoint2()->devicePoint();
    const QPoint end(qRound(e.x), qRound(e.y));
    EXPECT_EQ(end, at(2, f(2)));
    const QPoint to = at(1, 3);
    touch().press(3, end);
    touch().move(3, to);
    paint();
    EXPECT_EQ(view().selectedPoint(), view().tracePoint2());
    EXPECT_DOUBLE_EQ(view().tracePoint2()->info().variable, userX(to));
    const auto n2 = numbersOf(p->textView()->text());
    ASSERT_TRUE(n2.count("∫"));
    EXPECT_NEAR(n2.at("∫"), F(userX(to)) - F(a), 1e-5);
    EXPECT_EQ(p->valueField()->text(), "1");
    touch().release(3, to);
    paint();
}

// ---- 5: three fingers hide and show the bars ------------------------------------------

TEST_F(SessionTest, ThreeFingersCycleTheBarsAndThePlotTakesTheirRoom)
{
    type("x^2-2");
    tap(at(std::numbers::sqrt2, 0)); // a selected root: the panel is shown
    ASSERT_NE(view().selectedPoint(), nullptr);
    ASSERT_TRUE(panel()->isVisible());
    const RectF full = view().goodRect();
    EXPECT_FLOAT_EQ(full.y, MainWindow::kTopBarHeight);
    EXPECT_FLOAT_EQ(full.height, MainWindow::kHeight - MainWindow::kTopBarHeight - MainWindow::kBottomBarHeight);

    struct Step {
        int state;
        float top, bottom;
        bool topBar, bottomBar;
        const char* shot;
    };
    const float H = MainWindow::kHeight;
    const std::vector<Step> steps = {
        {1, 0, H - MainWindow::kBottomBarHeight, false, true, "08-interface-hidden.png"},
        {2, 0, H, false, false, "09-interface-all-hidden.png"},
        {0, MainWindow::kTopBarHeight, H - MainWindow::kBottomBarHeight, true, true, "10-interface-shown.png"},
    };
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(i);
        QTest::qWait(kTapPause);
        const myPoint c = view().viewState().center();
        const double sx = view().viewState().scale().x;
        if (i == 1) {
            // Two fingers down, then a third.
            touch().press(0, QPoint(80, 150)).press(1, QPoint(160, 150));
            touch().move(0, QPoint(80, 150)).move(1, QPoint(160, 150)).press(2, QPoint(240, 150));
        } else {
            touch().press(0, QPoint(80, 150)).press(1, QPoint(160, 150)).press(2, QPoint(240, 150));
        }
        EXPECT_EQ(w->controller().interfaceState(), s.state);
        touch().release(0, QPoint(80, 150)).release(1, QPoint(160, 150)).release(2, QPoint(240, 150));
        EXPECT_EQ(w->controller().interfaceState(), s.state);
        QTest::qWait(400);
        paint();
        const RectF g = view().goodRect();
        EXPECT_FLOAT_EQ(g.y, s.top);
        EXPECT_FLOAT_EQ(g.y + g.height, s.bottom);
        EXPECT_FLOAT_EQ(g.width, MainWindow::kWidth);
        EXPECT_EQ(w->formulaField().isVisible(), s.topBar);
        EXPECT_EQ(w->trashButton().isVisible(), s.bottomBar);
        // The fingers neither moved nor zoomed the plane.
        EXPECT_DOUBLE_EQ(view().viewState().center().x, c.x);
        EXPECT_DOUBLE_EQ(view().viewState().center().y, c.y);
        EXPECT_DOUBLE_EQ(view().viewState().scale().x, sx);
        // The panel sits in the plot's free band, in its bottom corner.
        const QRect pr = panel()->geometry();
        EXPECT_TRUE(panel()->isVisible());
        EXPECT_GE(pr.top(), qRound(g.y));
        EXPECT_EQ(pr.bottom() + 1, qRound(g.y + g.height));
        EXPECT_EQ(pr.right() + 1, MainWindow::kWidth);
        shot(s.shot);
        ++i;
    }
}

// ---- 6: derivative, deleting, restart -------------------------------------------------

TEST_F(SessionTest, DerivativeAndDeletionThroughTheBarsSurviveARestart)
{
    type("x^2-2");
    w->extrsButton().click();
    ASSERT_TRUE(w->extrsButton().isChecked());
    // The add button's menu offers the derivative.
    ASSERT_NE(w->addButton().menu(), nullptr);
    EXPECT_TRUE(w->addButton().menu()->actions().contains(&w->derivativeAction()));
    ASSERT_TRUE(w->derivativeAction().isVisible());
    w->derivativeAction().trigger();
    paint();
    shot("06-derivative.png");
    ASSERT_EQ(model().functionRegister().size(), 2u);
    EXPECT_EQ(formulaOf(cur()), "D(x^2-2,x)");
    EXPECT_EQ(w->formulaField().text(), "D(x^2-2,x)");
    const Color c1 = model().functionRegister()[0].second->color();
    const Color c2 = model().functionRegister()[1].second->color();
    EXPECT_FALSE(c1.r == c2.r && c1.g == c2.g && c1.b == c2.b);
    // The derivative, 2x, is traced as such.
    w->moveOrTraceButton().click();
    const QPoint p = at(1.5, 1);
    touch().press(0, p);
    paint();
    ASSERT_NE(view().tracePoint(), nullptr);
    EXPECT_NEAR(view().tracePoint()->info().value, 2 * userX(p), 1e-9);
    touch().release(0, p);
    w->moveOrTraceButton().click();

    // A third function, then the trash: "Cancel" keeps it, "Delete" does not.
    w->newKindAction(FunctionKind::yx)->trigger();
    EXPECT_EQ(cur(), nullptr);
    type("sin(x)");
    ASSERT_EQ(model().functionRegister().size(), 3u);
    w->trashButton().click();
    ASSERT_NE(w->openMessage(), nullptr);
    EXPECT_EQ(w->openMessage()->text(), "Delete function?");
    QAbstractButton* cancel = messageButton("Cancel");
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    QApplication::processEvents();
    EXPECT_EQ(model().functionRegister().size(), 3u);
    EXPECT_EQ(formulaOf(cur()), "sin(x)");

    w->trashButton().click();
    QAbstractButton* del = messageButton("Delete");
    ASSERT_NE(del, nullptr);
    del->click();
    QApplication::processEvents();
    paint();
    shot("07-deleted.png");
    ASSERT_EQ(model().functionRegister().size(), 2u);
    // The last one went: the first is current again.
    EXPECT_EQ(formulaOf(cur()), "x^2-2");
    EXPECT_EQ(w->formulaField().text(), "x^2-2");

    // Move the view a little, then quit and come back.
    QTest::qWait(kTapPause);
    touch().press(0, QPoint(60, 120));
    touch().move(0, QPoint(90, 100));
    touch().release(0, QPoint(90, 100));
    paint();
    const myPoint center = view().viewState().center();
    const double sx = view().viewState().scale().x;

    restart();
    shot("07b-restarted.png");
    const auto& reg = model().functionRegister();
    ASSERT_EQ(reg.size(), 2u);
    EXPECT_EQ(reg[0].first, "f000001");
    EXPECT_EQ(reg[1].first, "f000002");
    EXPECT_EQ(formulaOf(reg[0].second.get()), "x^2-2");
    EXPECT_EQ(formulaOf(reg[1].second.get()), "D(x^2-2,x)");
    for (const auto& [color, fn] : {std::pair{c1, reg[0].second.get()}, std::pair{c2, reg[1].second.get()}}) {
        EXPECT_EQ(fn->color().r, color.r);
        EXPECT_EQ(fn->color().g, color.g);
        EXPECT_EQ(fn->color().b, color.b);
    }
    EXPECT_EQ(formulaOf(cur()), "x^2-2");
    EXPECT_EQ(w->formulaField().text(), "x^2-2");
    EXPECT_EQ(w->kindLabel().text(), "y(x)=");
    EXPECT_TRUE(w->rootsButton().isChecked());
    EXPECT_TRUE(w->extrsButton().isChecked());
    EXPECT_FALSE(w->inflsButton().isChecked());
    EXPECT_FALSE(w->intersButton().isChecked());
    EXPECT_EQ(view().mode(), PlotMode::Move);
    EXPECT_DOUBLE_EQ(view().viewState().center().x, center.x);
    EXPECT_DOUBLE_EQ(view().viewState().center().y, center.y);
    EXPECT_DOUBLE_EQ(view().viewState().scale().x, sx);
}

// A finger on the panel's value field belongs to the field, not to the plot
// under it.
TEST_F(SessionTest, AFingerOnThePanelsFieldOpensItForTyping)
{
    type("x^2-2");
    w->moveOrTraceButton().click();
    const QPoint p = at(1, 2);
    touch().press(0, p);
    QTest::qWait(kTapPause);
    touch().release(0, p);
    paint();
    ASSERT_TRUE(panel()->isVisible());
    tapOn(*panel()->valueField());
    EXPECT_DOUBLE_EQ(view().tracePoint()->info().variable, 1);
    EXPECT_EQ(view().selectedPoint(), view().tracePoint());
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_TRUE(panel()->valueField()->hasFocus());
    EXPECT_TRUE(panel()->model().valueField().isEditing);
}

} // namespace

// ---- 7: curves of a range of their own ------------------------------------------------

namespace {

class OwnRangeSessionTest : public SessionTest {
  protected:
    // Chooses the kind, types the range and the formulas and commits them.
    void commit(FunctionKind kind, const QString& lo, const QString& hi, const QString& first,
                const QString& second = {})
    {
        w->controller().chooseKind(kind);
        paint();
        w->rangeMinField().setText(lo);
        w->rangeMaxField().setText(hi);
        w->secondFormulaField().setText(second);
        type(first);
    }
    // One finger down at the first point, moved through the others; the
    // traced variable at each.
    std::vector<double> trace(const std::vector<std::pair<double, double>>& path)
    {
        std::vector<double> traced;
        touch().press(0, at(path[0].first, path[0].second));
        paint();
        traced.push_back(view().tracePoint() ? view().tracePoint()->info().variable : NAN);
        for (size_t i = 1; i < path.size(); ++i) {
            touch().move(0, at(path[i].first, path[i].second));
            paint();
            traced.push_back(view().tracePoint() ? view().tracePoint()->info().variable : NAN);
        }
        QTest::qWait(kTapPause);
        touch().release(0, at(path.back().first, path.back().second));
        paint();
        return traced;
    }
};

TEST_F(OwnRangeSessionTest, PolarAndParametricCurvesAreTracedAndComeBackAfterARestart)
{
    const double pi = std::numbers::pi;
    commit(FunctionKind::polar, "0", "2π", "2");
    Function* polar = cur();
    ASSERT_NE(polar, nullptr);
    EXPECT_EQ(polar->typeName(), "rfFunction");
    EXPECT_DOUBLE_EQ(polar->varMax(), 2 * pi);
    EXPECT_EQ(w->kindLabel().text(), "r(θ)=");
    shot("08-polar.png");

    // Across the negative x axis the angle runs on past π.
    w->moveOrTraceButton().click();
    const auto angles = trace({{-2, 0.3}, {-2, -0.3}});
    EXPECT_NEAR(angles[0], pi - std::atan(0.15), 0.02);
    EXPECT_NEAR(angles[1], pi + std::atan(0.15), 0.02);
    w->moveOrTraceButton().click();

    // A crossed range is refused where it is typed and changes nothing.
    w->rangeMinField().setText("7");
    QTest::keyClick(&w->rangeMinField(), Qt::Key_Return);
    EXPECT_EQ(w->fieldMessage().text(), "MinVal shouldn't be greater than MaxVal!");
    EXPECT_DOUBLE_EQ(polar->varMin(), 0);
    w->rangeMinField().setText("-pi/2");
    QTest::keyClick(&w->rangeMinField(), Qt::Key_Return);
    EXPECT_DOUBLE_EQ(polar->varMin(), -pi / 2);
    EXPECT_EQ(cur(), polar);

    commit(FunctionKind::parametric, "0", "pi", "cos(t)", "sin(t)");
    Function* ring = cur();
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->typeName(), "tFunction");
    EXPECT_EQ(ring->stringRepresentation(), "cos(t) | sin(t)");
    shot("09-parametric.png");
    w->moveOrTraceButton().click();
    const auto params = trace({{0.05, 1.3}, {-0.6, 0.9}});
    EXPECT_NEAR(params[0], pi / 2 - std::atan(0.05 / 1.3), 0.02);
    EXPECT_NEAR(params[1], pi - std::atan2(0.9, 0.6), 0.02);
    w->moveOrTraceButton().click();

    // The derivative is a curve of the same kind over the same range.
    ASSERT_TRUE(w->controller().canAddDerivative());
    w->controller().addDerivative();
    ASSERT_NE(cur(), ring);
    EXPECT_EQ(cur()->typeName(), "tFunction");
    EXPECT_EQ(cur()->functionInfo().at("g"), "D(sin(t),t)/D(cos(t),t)");
    EXPECT_DOUBLE_EQ(cur()->varMax(), pi);
    EXPECT_EQ(w->secondFormulaField().text(), "D(sin(t),t)/D(cos(t),t)");

    restart();
    int polars = 0, rings = 0;
    for (const auto& [id, f] : model().functionRegister()) {
        if (f->typeName() == "rfFunction" && f->functionInfo().at("f") == "2") {
            ++polars;
            EXPECT_DOUBLE_EQ(f->varMin(), -pi / 2);
            EXPECT_DOUBLE_EQ(f->varMax(), 2 * pi);
        }
        if (f->typeName() == "tFunction" && f->functionInfo().at("g") == "sin(t)") {
            ++rings;
            EXPECT_DOUBLE_EQ(f->varMax(), pi);
            EXPECT_NEAR(f->points().back().x, -1, 1e-12);
        }
    }
    EXPECT_EQ(polars, 1);
    EXPECT_EQ(rings, 1);
}

} // namespace
