// The plot view on screen: paints the plane through a QPainter canvas and
// hands mouse, wheel, pinch and touch input to the plot view as fingers.
#pragma once

#include <QTouchEvent>
#include <QWidget>

#include <functional>

#include "orlix/mouse_fingers.h"
#include "orlix/plot_plane.h"
#include "orlix/tap_counter.h"

namespace orlix {

// Zooms the view by k about the device point p, within the pinch's scale
// limits, and draws the curves again. Answers whether the view changed.
bool zoomAbout(plotView& view, PointF p, double k);

class PlotWidget : public QWidget {
    Q_OBJECT
  public:
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
    bool touchEvent(QTouchEvent* e);
    void gestureEnded();

    plotView view_;
    // The left button is a finger; the right one (or Shift+left in trace
    // mode) a click or a range.
    MouseFingers mouse_{view_};
    // Taps of touch fingers.
    TapCounter taps_;
};

} // namespace orlix
