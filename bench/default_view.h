// The default view of the benchmarks without a plot view: 320 × 480
// points, 30 points per unit, origin in the middle.
#pragma once

#include "orlix/plot_context.h"

namespace orlix::bench {

class DefaultView : public PlotContext {
  public:
    myPoint curSs() const override { return {30, 30}; }
    myPoint myPointToUser(myPoint d) const override { return {(d.x - 160) / 30, (240 - d.y) / 30}; }
    PointF myPointToDevice(myPoint u) const override
    {
        return {static_cast<float>(160 + 30 * u.x), static_cast<float>(240 - 30 * u.y)};
    }
    RectF goodRect() const override { return {0, 64, 320, 371}; }
};

} // namespace orlix::bench
