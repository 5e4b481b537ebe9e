// The plot view on screen: paints the plane through a QPainter canvas and
// hands mouse, wheel, pinch and touch input to the plot view as fingers.
#pragma once

#include <QTouchEvent>
#include <QWidget>

#include <functional>
#include <map>

#include "orlix/plot_plane.h"

namespace orlix {

// Zooms the view by k about the device point p, within the pinch's scale
// limits, and draws the curves again. Answers whether the view changed.
bool zoomAbout(plotView& view, PointF p, double k);

class PlotWidget : public QWidget {
    Q_OBJECT
  public:
    // The finger id a mouse is forwarded as.
    static constexpr int kMouseID = -1;

    explicit PlotWidget(QWidget* parent = nullptr);
    ~PlotWidget() override;

    plotView& view() { return view_; }

    // Told when a gesture that moved the view has ended.
    std::function<void()> onViewChanged;

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
    void mouseTouch(QMouseEvent* e, int phase, int tapCount);
    bool touchEvent(QTouchEvent* e);
    void gestureEnded();

    plotView view_;
    bool mouseDown_ = false;
    // Taps of touch fingers: the time and place of the last lift, and the
    // tap count of each finger down.
    double lastLift_ = -1;
    QPointF lastLiftAt_;
    int lastTaps_ = 0;
    std::map<int, int> taps_;
};

} // namespace orlix
