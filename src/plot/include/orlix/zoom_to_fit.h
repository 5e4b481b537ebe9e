// Zoom to fit: the view centred on the current curve's interesting part
// (Function::interestingBounds) and scaled so that it fits the unobstructed
// part of the view with a margin.
#pragma once

#include <optional>

#include "orlix/canvas.h"
#include "orlix/curve_bounds.h"
#include "orlix/stack_machine.h" // myPoint

namespace orlix {

class plotView;

// Where a fit puts the view: the user point at the middle of the view and
// the scale, the same along both axes.
struct ViewFit {
    myPoint userCenter;
    double scale = 0;
};

// The share of the area's width and height left free on each side.
inline constexpr double fitMargin = 0.08;

// The view of size viewSize that shows bounds centred in area (a part of
// the view, in device points) with fitMargin on each side, at the largest
// scale that fits within minScale..maxScale. A rectangle of no width and
// no height keeps currentScale (brought within the limits). nullopt for
// bounds that are not valid, an empty area or a view of no size.
std::optional<ViewFit> fitBounds(const CurveBounds& bounds, RectF area, SizeF viewSize, double currentScale,
                                 double minScale, double maxScale);

// Fits the view's current curve (the standard window when it offers
// nothing to show) into the view's unobstructed rectangle and redraws.
// False, changing nothing, without a current curve or a view to fit into.
bool zoomToFit(plotView& view);

} // namespace orlix
