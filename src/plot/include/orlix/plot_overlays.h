// What is drawn over the plane for the point the user looks at: the ring
// round the selected point, the dashed guide lines of a trace point and of
// a range, and the tangent and osculating circle of the selected point.
#pragma once

#include <optional>

#include "orlix/canvas.h"
#include "orlix/function_kind.h"
#include "orlix/special_point.h"
#include "orlix/view_state.h"

namespace orlix {

class PlotOverlays {
  public:
    // Dash of the trace lines.
    static constexpr float kTraceDash[2] = {2, 2};

    bool showTangent() const { return showTangent_; }
    void setShowTangent(bool show) { showTangent_ = show; }
    bool showOsculatingCircle() const { return showOsculatingCircle_; }
    void setShowOsculatingCircle(bool show) { showOsculatingCircle_ = show; }

    // A translucent red ring round the selected point.
    void drawHighlight(Canvas& c, const specialPoint& selected) const;
    // Sets the stroke of the trace lines.
    void beginTraceLines(Canvas& c) const;
    // A range: both ends, their drop lines to the axis of the variable
    // (dropLine scales a point onto it; NaN: none), and a line from
    // the end held by a finger to the finger.
    void drawRange(Canvas& c, const ViewState& view, specialPoint& start, specialPoint& end, myPoint dropLine,
                   const specialPoint* held, std::optional<PointF> finger) const;
    // Guide lines from the finger to the trace point it moves.
    void drawTraceGuides(Canvas& c, const ViewState& view, const specialPoint& trace, myPoint dropLine,
                         PointF finger) const;
    // Tangent and osculating circle at a point inside goodRect, as the
    // options ask; side tells on which side of the curve the circle lies.
    void drawTangentAndCircle(Canvas& c, const ViewState& view, RectF goodRect, const myPointInfo& info,
                              CurvatureSide side) const;

    void setTheme(const Theme& theme) { theme_ = &theme; }

  private:
    bool showTangent_ = true;
    bool showOsculatingCircle_ = true;
    const Theme* theme_ = &themeFor(Appearance::light);
};

} // namespace orlix
