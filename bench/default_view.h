// The default view of the benchmarks without a plot view: 320 × 480
// points, 30 points per unit, origin in the middle.
#pragma once

#include "orlix/curve_model.h"
#include "orlix/plot_context.h"
#include "orlix/special_point.h"

namespace orlix::bench {

class DefaultView : public PlotContext {
  public:
    myPoint plotScale() const override { return {30, 30}; }
    myPoint myPointToUser(myPoint d) const override { return {(d.x - 160) / 30, (240 - d.y) / 30}; }
    PointF myPointToDevice(myPoint u) const override
    {
        return {static_cast<float>(160 + 30 * u.x), static_cast<float>(240 - 30 * u.y)};
    }
    RectF goodRect() const override { return {0, 64, 320, 371}; }
};

// The curves' model and the marks' plotter for one benchmark: the default
// view over the default window (three views wide), an empty register.
struct DefaultScene {
    DefaultView view;
    CurveModel model;
    DefaultScene()
    {
        model.setPlotContext(&view);
        specialObject::setPlotter(&view);
        window(0);
    }
    ~DefaultScene() { specialObject::setPlotter(nullptr); }
    DefaultScene(const DefaultScene&) = delete;
    DefaultScene& operator=(const DefaultScene&) = delete;
    // The default window moved by shift on both axes; a changed window
    // makes the next pass a full one.
    void window(double shift)
    {
        model.setMinX(-16 + shift, 16 + shift);
        model.setMinY(-24 + shift, 24 + shift);
    }
};

} // namespace orlix::bench
