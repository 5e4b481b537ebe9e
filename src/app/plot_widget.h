// The plot view on screen: paints the plane through a QPainter canvas and
// hands mouse, wheel, pinch and touch input to the plot view as fingers.
#pragma once

#include <QTouchEvent>
#include <QWidget>

#include <functional>

#include "orlix/plot_plane.h"
#include "orlix/tap_counter.h"

namespace orlix {

// Zooms the view by k about the device point p, within the pinch's scale
// limits, and draws the curves again. Answers whether the view changed.
bool zoomAbout(plotView& view, PointF p, double k);

class PlotWidget : public QWidget {
    Q_OBJECT
  public:
    // The finger id a mouse is forwarded as.
    static constexpr int kMouseID = -1;
    // The second finger of a range set with the mouse.
    static constexpr int kMouseRangeID = -2;
    // A right press and release closer than this (points) is a click.
    static constexpr double kClickSlop = 4;

    explicit PlotWidget(QWidget* parent = nullptr);
    ~PlotWidget() override;

    plotView& view() { return view_; }

    // Told when a gesture that moved the view has ended.
    std::function<void()> onViewChanged;
    // A right click (no drag) asks for the window's context menu, at this
    // global position.
    std::function<void(QPoint globalPos)> onContextMenu;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    bool event(QEvent* e) override;

  private:
    // What the mouse button held down does.
    enum class MouseGesture {
        None,         // no button down
        Finger,       // the left button: one finger
        RangePending, // right (or Shift+left in trace mode): a click or a range, not yet moved
        Range,        // dragged in trace mode: two fingers, at the press and at the pointer
        Ignored,      // a right drag in move mode: nothing
    };

    void mouseTouch(QMouseEvent* e, TouchPhase phase);
    // The two fingers of a mouse range: the press point and the pointer.
    void rangeFingers(QPointF pointer, TouchPhase phase, double time);
    bool touchEvent(QTouchEvent* e);
    void gestureEnded();

    plotView view_;
    MouseGesture mouseGesture_ = MouseGesture::None;
    Qt::MouseButton mouseButton_ = Qt::NoButton;
    // The taps of the mouse finger (2 from the press of a double-click to
    // its release), and where the button went down.
    int mouseTaps_ = 1;
    QPointF mousePressAt_;
    // Taps of touch fingers.
    TapCounter taps_;
};

} // namespace orlix
