#include "plot_widget.h"

#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
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
    view_.setDevicePixelRatio(devicePixelRatioF());
    view_.setFrame(RectF{0, 0, static_cast<float>(width()), static_cast<float>(height())});
}

PlotWidget::~PlotWidget() = default;

void PlotWidget::paintEvent(QPaintEvent*)
{
    // On another screen the curves are sampled for its pixels.
    view_.setDevicePixelRatio(devicePixelRatioF());
    // Straight onto the widget: no frame-sized image to fill and copy.
    QPainterCanvas canvas(*this, SizeF{static_cast<float>(width()), static_cast<float>(height())});
    view_.drawRect(canvas);
    // The curves beyond the window, which a pan will show, once this frame
    // is out and before the next finger moves.
    if (!view_.functionLayerComplete())
        QTimer::singleShot(0, this, [this] { view_.completeFunctionLayer(); });
}

void PlotWidget::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // A new size samples the curves over the new window by itself.
    view_.setDevicePixelRatio(devicePixelRatioF());
    view_.setFrame(RectF{0, 0, static_cast<float>(width()), static_cast<float>(height())});
}

// ---- mouse: one finger, or two for a range ---------------------------------------------

namespace {

MouseFingers::Button buttonOf(const QMouseEvent* e)
{
    switch (e->button()) {
    case Qt::LeftButton: return MouseFingers::Button::primary;
    case Qt::RightButton: return MouseFingers::Button::secondary;
    default: return MouseFingers::Button::other;
    }
}

bool shiftHeld(const QMouseEvent* e) { return e->modifiers() & Qt::ShiftModifier; }

} // namespace

void PlotWidget::mousePressEvent(QMouseEvent* e)
{
    mouse_.press(buttonOf(e), shiftHeld(e), toPoint(e->position()), seconds(e));
}

void PlotWidget::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double-click comes as a press and then this
    // event, or as this event alone: either way the finger's tap, up to its
    // release, is a double tap.
    mouse_.doubleClick(buttonOf(e), shiftHeld(e), toPoint(e->position()), seconds(e));
}

void PlotWidget::mouseMoveEvent(QMouseEvent* e) { mouse_.move(toPoint(e->position()), seconds(e)); }

void PlotWidget::mouseReleaseEvent(QMouseEvent* e)
{
    switch (mouse_.release(buttonOf(e), toPoint(e->position()), seconds(e))) {
    case MouseFingers::Outcome::gestureEnded: gestureEnded(); break;
    case MouseFingers::Outcome::menu:
        if (onContextMenu)
            onContextMenu(e->globalPosition().toPoint());
        break;
    case MouseFingers::Outcome::none: break;
    }
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
            t.tapCount = taps_.down(t.id, t.location, now);
        } else if (t.phase == kTouchEnded || t.phase == kTouchCancelled) {
            anyLifted = true;
            t.tapCount = taps_.up(t.id, t.location, now);
        } else {
            t.tapCount = taps_.taps(t.id);
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
