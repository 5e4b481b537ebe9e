// What the function model needs from the plane and the shell, handed down
// to it so that it depends on neither.
#pragma once

#include "orlix/canvas.h"
#include "orlix/stack_machine.h" // myPoint
#include "orlix/theme.h"

namespace orlix {

// The plane: scale and coordinate transforms.
class PlotContext {
  public:
    virtual ~PlotContext() = default;
    // Committed scale, device points per user unit along x and y.
    virtual myPoint plotScale() const = 0;
    // Device point → user point, in double precision.
    virtual myPoint myPointToUser(myPoint device) const = 0;
    // User point → device point.
    virtual PointF myPointToDevice(myPoint user) const = 0;
    // The part of the view not covered by the bars.
    virtual RectF goodRect() const = 0;
    // The colours the plane is drawn in.
    virtual const Theme& theme() const { return themeFor(Appearance::light); }
    // Device pixels per point of the screen the plane is shown on.
    virtual double devicePixelRatio() const { return 1; }
};

// The user's choice of searches for the current function.
struct SearchSettings {
    bool sRoots = false;
    bool sExtrs = false;
    bool sInfls = false;
    bool sInters = false;
};

} // namespace orlix
