#include "orlix/plot_overlays.h"

#include <cmath>
#include <numbers>

namespace orlix {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr float kTraceWidth = 1.2f;
constexpr float kHighlightWidth = 1.5f;
constexpr float kHighlightDiameter = 24;
// Dash of the guide lines from the trace points.
constexpr float kGuideDash[2] = {4, 3};

bool finitePoint(PointF p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// A straight stroke; nothing when either end is not a point.
void strokeLine(Canvas& c, PointF a, PointF b)
{
    if (!finitePoint(a) || !finitePoint(b))
        return;
    c.moveTo(a.x, a.y);
    c.lineTo(b.x, b.y);
    c.strokePath();
}

// The same rectangle with a non-negative width and height.
RectF standardized(RectF r)
{
    if (r.width < 0) {
        r.x += r.width;
        r.width = -r.width;
    }
    if (r.height < 0) {
        r.y += r.height;
        r.height = -r.height;
    }
    return r;
}

bool intersects(RectF a, RectF b) { return a.x < b.maxX() && b.x < a.maxX() && a.y < b.maxY() && b.y < a.maxY(); }

bool hasInfo(const myPointInfo& info, const char* key) { return info.info && info.info->count(key) != 0; }

bool hasDropLines(myPoint k) { return !std::isnan(k.x) && !std::isnan(k.y); }

// Where a point's drop line meets the axis of the variable.
PointF dropFoot(const ViewState& view, myPoint k, myPoint p) { return view.toDevice(myPoint{k.x * p.x, k.y * p.y}); }

} // namespace

void PlotOverlays::drawHighlight(Canvas& c, const specialPoint& selected) const
{
    const PointF d = selected.devicePoint();
    if (!finitePoint(d))
        return;
    const RectF circle{d.x - kHighlightDiameter / 2, d.y - kHighlightDiameter / 2, kHighlightDiameter,
                       kHighlightDiameter};
    c.setLineWidth(kHighlightWidth);
    c.setStrokeColor(theme_->highlight);
    c.strokeEllipse(circle);
    c.setFillColor(theme_->highlightFill);
    c.fillEllipse(circle);
}

void PlotOverlays::beginTraceLines(Canvas& c) const
{
    c.setLineWidth(kTraceWidth);
    c.setStrokeColor(theme_->traceLine);
    c.setLineDash(0, kTraceDash, 2);
}

void PlotOverlays::drawRange(Canvas& c, const ViewState& view, specialPoint& start, specialPoint& end, myPoint dropLine,
                             const specialPoint* held, std::optional<PointF> finger) const
{
    start.drawAnyway(c);
    end.drawAnyway(c);
    c.setLineDash(0, kGuideDash, 2);
    const PointF a = dropFoot(view, dropLine, start.info().point);
    const PointF b = dropFoot(view, dropLine, end.info().point);
    if (hasDropLines(dropLine)) {
        strokeLine(c, a, start.devicePoint());
        strokeLine(c, b, end.devicePoint());
    }
    if (finger) {
        if (held == &start)
            strokeLine(c, a, *finger);
        else if (held == &end)
            strokeLine(c, b, *finger);
    }
    c.setLineDash(0, kTraceDash, 2);
}

void PlotOverlays::drawTraceGuides(Canvas& c, const ViewState& view, const specialPoint& trace, myPoint dropLine,
                                   PointF finger) const
{
    const PointF a = dropFoot(view, dropLine, trace.info().point);
    c.setLineDash(0, kGuideDash, 2);
    if (!hasDropLines(dropLine)) {
        strokeLine(c, finger, trace.devicePoint());
    } else {
        strokeLine(c, a, trace.devicePoint());
        strokeLine(c, a, finger);
    }
    c.setLineDash(0, kTraceDash, 2);
}

void PlotOverlays::drawTangentAndCircle(Canvas& c, const ViewState& view, RectF goodRect, const myPointInfo& info,
                                        CurvatureSide side) const
{
    const PointF P = view.toDevice(info.point);
    const double px = P.x, py = P.y;
    const double W = view.size().width, H = view.size().height;
    const double tSx = view.liveScale().x, tSy = view.liveScale().y, curSx = view.scale().x;
    if (!finitePoint(P) || !goodRect.contains(P))
        return;
    const double m = infoValue(info, "dy/dx");
    if (showTangent_ && !std::isnan(m)) {
        if (std::fabs(m) < 2)
            strokeLine(c, PointF{static_cast<float>(W), static_cast<float>(py - m * (W - px))},
                       PointF{0, static_cast<float>(py + m * px)});
        else
            strokeLine(c, PointF{static_cast<float>(px + py / m), 0},
                       PointF{static_cast<float>(px - (H - py) / m), static_cast<float>(H)});
    }
    if (showOsculatingCircle_ && hasInfo(info, "k")) {
        const double R = 1 / infoValue(info, "k");
        double phi = hasInfo(info, "f") ? infoValue(info, "f") : std::atan(m);
        if (side == CurvatureSide::mirroredSlope && phi > 0)
            phi += kPi;
        if (side == CurvatureSide::parameter && infoValue(info, "dx/dt") < 0)
            phi += kPi;
        if (R != 0 && std::fabs(R) < 500 / curSx && !std::isnan(m)) {
            const double s = std::sin(phi), co = std::cos(phi);
            const PointF centre{static_cast<float>(px - R * s * tSx), static_cast<float>(py - R * co * tSy)};
            const RectF circle = standardized(RectF{static_cast<float>(px - (s + 1) * R * tSx),
                                                    static_cast<float>(py - (co + 1) * R * tSy),
                                                    static_cast<float>(2 * R * tSx), static_cast<float>(2 * R * tSy)});
            if (!finitePoint(centre) || !intersects(circle, RectF{0, 0, view.size().width, view.size().height}))
                return;
            c.setFillColor(theme_->highlight);
            c.fillEllipse(RectF{centre.x - 2, centre.y - 2, 4, 4});
            strokeLine(c, P, centre);
            c.strokeEllipse(circle);
        }
    }
}

} // namespace orlix
