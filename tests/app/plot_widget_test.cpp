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
#include "plot_widget.h"
#include "qt_environment.h"

using namespace orlix;

namespace {

class PlotWidgetTest : public ::testing::Test {
  protected:
    std::unique_ptr<PlotWidget> w;

    void SetUp() override
    {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        Function::deleteAll();
        w = std::make_unique<PlotWidget>();
        w->resize(320, 480);
        w->view().setFrame(RectF{0, 0, 320, 480});
        w->view().initialize();
    }
    void TearDown() override
    {
        w.reset();
        Function::deleteAll();
    }
    plotView& view() { return w->view(); }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, at, w->mapToGlobal(at), button, buttons, Qt::NoModifier);
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
