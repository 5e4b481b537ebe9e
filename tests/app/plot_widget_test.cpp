// The plot on screen: a drag pans, the wheel and pinches zoom about the
// pointer, touches reach the view as fingers, and the plane is painted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <limits>
#include <memory>

#include "orlix/function.h"
#include "orlix/yx_function.h"
#include "plot_widget.h"
#include "qt_environment.h"

using namespace orlix;

namespace {

class PlotWidgetTest : public ::testing::Test {
  protected:
    CurveModel model;
    std::unique_ptr<PlotWidget> w;

    void SetUp() override
    {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        w = std::make_unique<PlotWidget>();
        w->resize(320, 480);
        w->view().setFrame(RectF{0, 0, 320, 480});
        w->view().initialize();
    }
    void TearDown() override { w.reset(); }
    plotView& view() { return w->view(); }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent e(type, at, w->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(w.get(), &e);
    }
    void wheel(QPointF at, int delta)
    {
        QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.get(), &e);
    }
};

TEST_F(PlotWidgetTest, AMouseDragPansAndEndsTheGesture)
{
    int ended = 0;
    w->onViewChanged = [&] { ++ended; };
    const myPoint c0 = view().viewState().center();
    mouse(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, {130, 110}, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, {150, 130}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(ended, 0);
    mouse(QEvent::MouseButtonRelease, {150, 130}, Qt::LeftButton, Qt::NoButton);
    EXPECT_DOUBLE_EQ(view().viewState().center().x, c0.x + 50);
    EXPECT_DOUBLE_EQ(view().viewState().center().y, c0.y + 30);
    EXPECT_EQ(view().curTouchNumber(), 0);
    EXPECT_EQ(ended, 1);
    // Moves without a button, and other buttons, are not fingers.
    mouse(QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton);
    mouse(QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, {50, 50}, Qt::NoButton, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::RightButton, Qt::NoButton);
    EXPECT_DOUBLE_EQ(view().viewState().center().x, c0.x + 50);
}

TEST_F(PlotWidgetTest, TheWheelZoomsAboutThePointer)
{
    struct Case {
        QPointF at;
        int delta;
        double factor;
    };
    const Case cases[] = {{{100, 200}, 120, 1.2}, {{300, 50}, -240, 1 / 1.44}, {{160, 240}, 60, std::sqrt(1.2)}};
    for (const Case& c : cases) {
        const double sx = view().viewState().scale().x;
        const PointF p{static_cast<float>(c.at.x()), static_cast<float>(c.at.y())};
        const PointF before = view().coordsToUser(p);
        wheel(c.at, c.delta);
        EXPECT_NEAR(view().viewState().scale().x, sx * c.factor, 1e-9 * sx);
        EXPECT_NEAR(view().viewState().scale().y, view().viewState().scale().x, 1e-12);
        const PointF after = view().coordsToUser(p);
        EXPECT_NEAR(after.x, before.x, 1e-3);
        EXPECT_NEAR(after.y, before.y, 1e-3);
    }
}

TEST_F(PlotWidgetTest, ZoomStopsAtThePinchLimitsAndRefusesNonsense)
{
    EXPECT_FALSE(zoomAbout(view(), PointF{10, 10}, 0));
    EXPECT_FALSE(zoomAbout(view(), PointF{10, 10}, -2));
    EXPECT_FALSE(zoomAbout(view(), PointF{10, 10}, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(zoomAbout(view(), PointF{10, 10}, 1));
    EXPECT_TRUE(zoomAbout(view(), PointF{10, 10}, 1e30));
    EXPECT_DOUBLE_EQ(view().viewState().scale().x, plotView::kMaxScale);
    EXPECT_FALSE(zoomAbout(view(), PointF{10, 10}, 2)); // already at the limit
    EXPECT_TRUE(zoomAbout(view(), PointF{10, 10}, 1e-40));
    EXPECT_DOUBLE_EQ(view().viewState().scale().x, plotView::kMinScale);
    EXPECT_TRUE(std::isfinite(view().viewState().center().x));
}

TEST_F(PlotWidgetTest, TwoTouchFingersPinchAndOnePans)
{
    w->show();
    // The test owns the simulated device (Qt registers it and leaves it to us).
    std::unique_ptr<QPointingDevice> owned(QTest::createTouchDevice());
    QPointingDevice* device = owned.get();
    const double sx = view().viewState().scale().x;
    QTest::touchEvent(w.get(), device).press(0, QPoint(100, 200)).press(1, QPoint(200, 200));
    QTest::touchEvent(w.get(), device).stationary(0).move(1, QPoint(300, 200));
    EXPECT_EQ(view().curTouchNumber(), 2);
    QTest::touchEvent(w.get(), device).release(0, QPoint(100, 200)).release(1, QPoint(300, 200));
    EXPECT_EQ(view().curTouchNumber(), 0);
    EXPECT_NEAR(view().viewState().scale().x, 2 * sx, 1e-9);

    const myPoint c0 = view().viewState().center();
    QTest::touchEvent(w.get(), device).press(5, QPoint(50, 50));
    QTest::touchEvent(w.get(), device).move(5, QPoint(70, 90));
    QTest::touchEvent(w.get(), device).release(5, QPoint(70, 90));
    EXPECT_NEAR(view().viewState().center().x, c0.x + 20, 1e-9);
    EXPECT_NEAR(view().viewState().center().y, c0.y + 40, 1e-9);
}

TEST_F(PlotWidgetTest, ThePlaneIsPaintedAtTheWidgetsSize)
{
    const QImage img = w->grab().toImage();
    ASSERT_EQ(img.size(), QSize(320, 480));
    EXPECT_TRUE(view().shown());
    // The axes cross at the centre of a fresh view; far corners are paper.
    const QColor axis = img.pixelColor(160, 100);
    const QColor corner = img.pixelColor(3, 477);
    EXPECT_NE(axis, corner);
    EXPECT_EQ(corner.alpha(), 255);
}

TEST_F(PlotWidgetTest, ResizingKeepsThePictureCentred)
{
    const myPoint c0 = view().viewState().center();
    w->resize(400, 600);
    QResizeEvent e(QSize(400, 600), QSize(320, 480));
    QApplication::sendEvent(w.get(), &e);
    EXPECT_DOUBLE_EQ(view().viewState().center().x, c0.x + 40);
    EXPECT_DOUBLE_EQ(view().viewState().center().y, c0.y + 60);
    EXPECT_EQ(view().frame().width, 400);
}

} // namespace

// In trace mode a right drag, or a Shift+left one, sets a range with its
// ends where the button went down and where it came up, as two fingers do.
TEST_F(PlotWidgetTest, AMouseRangeInTraceModeHasItsEndsAtPressAndRelease)
{
    auto f = yxFunction::functionFromString("x");
    model.setFunction(f, "1");
    view().setModel(&model);
    view().setCurFunc(f);
    const struct {
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
    } ways[] = {{Qt::RightButton, Qt::NoModifier}, {Qt::LeftButton, Qt::ShiftModifier}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.button);
        view().setFState(PlotMode::Trace);
        mouse(QEvent::MouseButtonPress, {220, 200}, way.button, way.button, way.modifiers);
        mouse(QEvent::MouseMove, {160, 220}, Qt::NoButton, way.button, way.modifiers);
        mouse(QEvent::MouseMove, {100, 240}, Qt::NoButton, way.button, way.modifiers);
        mouse(QEvent::MouseButtonRelease, {100, 240}, way.button, Qt::NoButton, way.modifiers);
        EXPECT_NEAR(view().tracePoint1()->info().variable, view().coordsToUser(PointF{100, 0}).x, 1e-3);
        EXPECT_NEAR(view().tracePoint2()->info().variable, view().coordsToUser(PointF{220, 0}).x, 1e-3);
        EXPECT_EQ(view().curTouchNumber(), 0);
        view().setFState(PlotMode::Move);
    }
}

// A right click without a drag asks for the context menu and sets nothing.
TEST_F(PlotWidgetTest, ARightClickAsksForTheContextMenu)
{
    std::vector<QPoint> asked;
    w->onContextMenu = [&](QPoint at) { asked.push_back(at); };
    for (const PlotMode mode : {PlotMode::Move, PlotMode::Trace}) {
        view().setFState(mode);
        mouse(QEvent::MouseButtonPress, {50, 60}, Qt::RightButton, Qt::RightButton);
        mouse(QEvent::MouseMove, {52, 63}, Qt::NoButton, Qt::RightButton);
        mouse(QEvent::MouseButtonRelease, {52, 63}, Qt::RightButton, Qt::NoButton);
    }
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], w->mapToGlobal(QPoint(52, 63)));
    EXPECT_TRUE(std::isnan(view().tracePoint1()->info().point.x));
    // A drag is no click.
    mouse(QEvent::MouseButtonPress, {50, 60}, Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, {80, 60}, Qt::NoButton, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, {80, 60}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(asked.size(), 2u);
}

// A double-click reaches the plot as a double tap from press to release,
// whether its second press comes with a double-click event or as one.
TEST_F(PlotWidgetTest, ADoubleClickIsADoubleTap)
{
    struct Bars : PlotController {
        int toggles = 0;
        void showHideInterface() override { ++toggles; }
        void setCurFunc(Function*) override {}
    } bars;
    view().setController(&bars);
    view().setShowHideUI(BarsGesture::DoubleTap);
    using T = QEvent::Type;
    const std::vector<std::vector<T>> sequences = {
        {T::MouseButtonPress, T::MouseButtonRelease, T::MouseButtonPress, T::MouseButtonDblClick,
         T::MouseButtonRelease},
        {T::MouseButtonPress, T::MouseButtonRelease, T::MouseButtonDblClick, T::MouseButtonRelease},
    };
    int expected = 0;
    for (const auto& sequence : sequences) {
        for (const T type : sequence)
            mouse(type, {150, 150}, Qt::LeftButton, type == T::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton);
        EXPECT_EQ(bars.toggles, ++expected);
    }
    view().setController(nullptr);
}
