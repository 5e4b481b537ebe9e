#include "plot_widget.h"

#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTouchEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

#include "qpainter_canvas.h"

namespace orlix {

namespace {

PointF toPoint(const QPointF& p) { return PointF{static_cast<float>(p.x()), static_cast<float>(p.y())}; }

double seconds(const QInputEvent* e) { return static_cast<double>(e->timestamp()) / 1000.0; }

// Two taps this close in time (seconds) and place (points) make a double tap.
constexpr double kMultiTapTime = 0.35;
constexpr double kMultiTapDistance = 25;

} // namespace

bool zoomAbout(plotView& view, PointF p, double k) { return view.zoomAbout(p, k); }

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    view_.onNeedsDisplay = [this] { update(); };
    view_.layerFactory = [this](SizeF s) -> std::unique_ptr<Canvas> {
        return std::make_unique<QPainterCanvas>(s, devicePixelRatioF());
    };
    view_.setFrame(RectF{0, 0, static_cast<float>(width()), static_cast<float>(height())});
}

PlotWidget::~PlotWidget() = default;

void PlotWidget::paintEvent(QPaintEvent*)
{
    {
        QPainter paper(this);
        paper.fillRect(rect(), Qt::white);
    }
    // Straight onto the widget: no frame-sized image to fill and copy.
    QPainterCanvas canvas(*this, SizeF{static_cast<float>(width()), static_cast<float>(height())});
    view_.drawRect(canvas);
}

void PlotWidget::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // A new size samples the curves over the new window by itself.
    view_.setFrame(RectF{0, 0, static_cast<float>(width()), static_cast<float>(height())});
}

// ---- mouse: one finger ----------------------------------------------------------------

void PlotWidget::mouseTouch(QMouseEvent* e, int phase, int tapCount)
{
    const Touch t{kMouseID, toPoint(e->position()), phase, tapCount, seconds(e)};
    switch (phase) {
    case kTouchBegan: view_.touchesBegan({t}); break;
    case kTouchMoved: view_.touchesMoved({t}); break;
    default: view_.touchesEnded({t}); break;
    }
}

void PlotWidget::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || mouseDown_)
        return;
    mouseDown_ = true;
    mouseTouch(e, kTouchBegan, 1);
}

void PlotWidget::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || mouseDown_)
        return;
    mouseDown_ = true;
    mouseTouch(e, kTouchBegan, 2);
}

void PlotWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (!mouseDown_)
        return;
    mouseTouch(e, kTouchMoved, 1);
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !mouseDown_)
        return;
    mouseDown_ = false;
    mouseTouch(e, kTouchEnded, 1);
    gestureEnded();
}

// ---- wheel and pinch: zoom about the pointer ---------------------------------------------------

void PlotWidget::wheelEvent(QWheelEvent* e)
{
    const QPoint steps = e->angleDelta();
    const double delta = steps.y() != 0 ? steps.y() : steps.x();
    // One notch (120) zooms by 1.2.
    if (delta != 0 && zoomAbout(view_, toPoint(e->position()), std::pow(1.2, delta / 120.0)))
        gestureEnded();
    e->accept();
}

bool PlotWidget::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: return touchEvent(static_cast<QTouchEvent*>(e));
    case QEvent::NativeGesture: {
        auto* g = static_cast<QNativeGestureEvent*>(e);
        if (g->gestureType() == Qt::ZoomNativeGesture) {
            if (zoomAbout(view_, toPoint(g->position()), 1.0 + g->value()))
                gestureEnded();
            return true;
        }
        break;
    }
    default: break;
    }
    return QWidget::event(e);
}

// ---- touch: every finger ----------------------------------------------------------------

bool PlotWidget::touchEvent(QTouchEvent* e)
{
    // A touch that starts on a widget lying over the plot (the information
    // panel and its fields) is that widget's: left alone, Qt hands it over
    // as a mouse press, which is what the panel understands.
    if (e->type() == QEvent::TouchBegin && !e->points().isEmpty() &&
        childAt(e->points().first().position().toPoint())) {
        e->ignore();
        return false;
    }
    const double now = seconds(e);
    std::vector<Touch> all;
    bool anyLifted = false;
    for (const QEventPoint& p : e->points()) {
        Touch t;
        t.id = p.id();
        t.location = toPoint(p.position());
        t.timestamp = now;
        if (e->type() == QEvent::TouchCancel) {
            t.phase = kTouchCancelled;
        } else {
            switch (p.state()) {
            case QEventPoint::Pressed: t.phase = kTouchBegan; break;
            case QEventPoint::Updated: t.phase = kTouchMoved; break;
            case QEventPoint::Released: t.phase = kTouchEnded; break;
            default: t.phase = kTouchStationary; break;
            }
        }
        if (t.phase == kTouchBegan) {
            // A finger put down again soon, near where the last one left,
            // continues its taps.
            const bool again = lastLift_ >= 0 && now - lastLift_ < kMultiTapTime &&
                               QLineF(lastLiftAt_, p.position()).length() < kMultiTapDistance;
            taps_[t.id] = again ? lastTaps_ + 1 : 1;
        }
        t.tapCount = taps_.count(t.id) ? taps_[t.id] : 1;
        if (t.phase == kTouchEnded || t.phase == kTouchCancelled) {
            anyLifted = true;
            lastLift_ = now;
            lastLiftAt_ = p.position();
            lastTaps_ = t.tapCount;
            taps_.erase(t.id);
        }
        all.push_back(t);
    }
    view_.handleTouches(all);
    if (anyLifted && view_.curTouchNumber() == 0)
        gestureEnded();
    e->accept();
    return true;
}

void PlotWidget::gestureEnded()
{
    if (onViewChanged)
        onViewChanged();
}

} // namespace orlix
