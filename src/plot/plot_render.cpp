// Rendering of the plot view: the function layer drawn by the function model
// and re-used while panning and zooming, the cached background of trace
// mode, the order of a frame, and the overlays drawn on top of it (highlight,
// trace guide lines, tangent, osculating circle) with the information
// panel's updates.
#include "orlix/plot_plane.h"

#include <cmath>
#include <numbers>
#include <typeinfo>

#include "orlix/special_point.h"

namespace orlix {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr Color kRed{1, 0, 0, 1};
constexpr Color kHighlightFill{1, 0, 0, 0.3f};
constexpr Color kTraceColor{0, 0, 0, 0.8f};
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

double infoValue(const myPointInfo& info, const char* key)
{
    if (!info.info)
        return std::nan("");
    auto it = info.info->find(key);
    return it == info.info->end() ? std::nan("") : it->second;
}

bool hasInfo(const myPointInfo& info, const char* key) { return info.info && info.info->count(key) != 0; }

bool active(const specialPoint& p) { return !std::isnan(p.info().point.x); }

} // namespace

void plotView::needsDisplay()
{
    if (onNeedsDisplay)
        onNeedsDisplay();
}

// ---- the function layer ----------------------------------------------------------

bool plotView::functionLayerUsable(const Canvas& c) const
{
    if (!nextFreeLayer_)
        return false;
    const SizeF s = nextFreeLayer_->size();
    return typeid(*nextFreeLayer_) == typeid(c) && s.width == layerSize.width && s.height == layerSize.height;
}

void plotView::resample(Canvas* maker)
{
    bSx = tSx;
    bSy = tSy;
    curvesDrawn_ = false;
    const SizeF three{3 * frame_.width, 3 * frame_.height};
    const bool sizeChanged = layerSize.width != three.width || layerSize.height != three.height;
    layerSize = three;
    const bool otherKind = maker && nextFreeLayer_ && typeid(*nextFreeLayer_) != typeid(*maker);
    if (sizeChanged || !nextFreeLayer_ || otherKind) {
        // The new layer is made like the one it replaces; the first one by
        // the factory or by the canvas of the first frame.
        std::unique_ptr<Canvas> layer1;
        if (drawable()) {
            if (maker)
                layer1 = maker->createLayer(layerSize);
            else if (nextFreeLayer_)
                layer1 = nextFreeLayer_->createLayer(layerSize);
            else if (layerFactory)
                layer1 = layerFactory(layerSize);
        }
        nextFreeLayer_ = std::move(layer1);
    }
    const SamplingWindow window = samplingWindow();
    if (!window.valid()) {
        // No position to sample at: better no curves than stale ones.
        if (nextFreeLayer_) {
            const SizeF s = nextFreeLayer_->size();
            nextFreeLayer_->clear(RectF{0, 0, s.width, s.height});
        }
        return;
    }
    Function::setMinX(window.minX, window.maxX);
    Function::setMinY(window.minY, window.maxY);
    if (!Function::functionRegister().empty() && nextFreeLayer_) {
        Function::drawFunctionsOnLayer(*nextFreeLayer_, myPoint{curOffset.x - curCenter.x, curOffset.y - curCenter.y},
                                       myPoint{tSx, tSy});
        curvesDrawn_ = true;
    }
}

void plotView::redraw()
{
    resample(nullptr);
    if (onRedraw)
        onRedraw();
    needsDisplay();
}

RectF plotView::functionLayerRect() const
{
    return RectF{static_cast<float>(tOffset.x), static_cast<float>(tOffset.y),
                 static_cast<float>(layerSize.width * tSx / bSx), static_cast<float>(layerSize.height * tSy / bSy)};
}

// ---- frames ------------------------------------------------------------------------------

void plotView::drawRect(Canvas& view)
{
    const RectF bounds{0, 0, frame_.width, frame_.height};
    // The first frame, or a canvas of another kind than the one the layer
    // was made for: the curves are drawn again into a layer it can show.
    if (drawable() && !functionLayerUsable(view))
        resample(&view);

    if (graphicState_ == 2) {
        const SizeF size{bounds.width, bounds.height};
        if (!layer2_ || typeid(*layer2_) != typeid(view) || layer2_->size().width != size.width ||
            layer2_->size().height != size.height)
            layer2_ = drawable() ? view.createLayer(size) : nullptr;
        else
            layer2_->clear(bounds);
        if (layer2_)
            renderToContext(*layer2_);
        graphicState_ = 0;
    }

    view.save();
    view.clip(bounds);
    if (graphicState_ != 0 || !layer2_)
        renderToContext(view);
    else
        view.drawLayer(*layer2_, PointF{0, 0});
    if (curFunc_)
        additionalDrawings(view);
    view.restore();
    shown_ = true;
}

void plotView::renderToContext(Canvas& c)
{
    if (!drawable())
        return;
    drawPlane(c);
    if (!Function::functionRegister().empty() && nextFreeLayer_) {
        const RectF r = functionLayerRect();
        if (std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height))
            c.drawLayer(*nextFreeLayer_, r);
    }
    if (curFunc_)
        for (const auto& mark : curFunc_->info())
            if (mark)
                mark->drawToContext(c);
}

// ---- overlays --------------------------------------------------------------------------------

void plotView::additionalDrawings(Canvas& c)
{
    if (!curFunc_)
        return;
    specialPoint& tp = *tracePoint_;
    specialPoint& tp1 = *tracePoint1_;
    specialPoint& tp2 = *tracePoint2_;

    // Range markers face each other: along the radius of a polar curve,
    // along the chord of a parametric one.
    if (curFuncIsRF_) {
        tp.setBetta(0);
        tp1.setBetta(0);
        tp2.setBetta(static_cast<float>(kPi));
        tp.rotate();
        tp1.rotate();
        tp2.rotate();
    } else if (curFuncIsT_) {
        const myPoint a = tp1.info().point, b = tp2.info().point;
        if (std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y)) {
            double betta = -std::atan((a.y - b.y) / (a.x - b.x));
            if (a.x > b.x)
                betta += kPi;
            if (!std::isnan(betta)) {
                tp1.setBetta(static_cast<float>(betta));
                tp2.setBetta(static_cast<float>(betta + kPi));
            }
        }
    }

    specialPoint* sel = selectedPoint_.get();
    if (sel)
        sel->drawAnyway(c);
    if (sel) {
        const PointF d = sel->devicePoint();
        if (finitePoint(d)) {
            const RectF circle{d.x - kHighlightDiameter / 2, d.y - kHighlightDiameter / 2, kHighlightDiameter,
                               kHighlightDiameter};
            c.setLineWidth(kHighlightWidth);
            c.setStrokeColor(kRed);
            c.strokeEllipse(circle);
            c.setFillColor(kHighlightFill);
            c.fillEllipse(circle);
        }
    }

    if (fState_ == 0) {
        if (sel) {
            if (iView_) {
                iView_->setP1(selectedPoint_);
                iView_->setP0(nullptr);
                iView_->setInteractive(false);
                iView_->setContent(sel->info());
            }
        } else if (iView_) {
            iView_->setHidden(true);
        }
        return;
    }

    c.setLineWidth(kTraceWidth);
    c.setStrokeColor(kTraceColor);
    c.setLineDash(0, simpleDash, 2);

    const myPoint k = curFunc_->kTracePoint();
    const bool dropLines = !std::isnan(k.x) && !std::isnan(k.y);
    const bool fingerDown = curTouchNumber_ > 0 && firstTouch_;
    const PointF finger = positionOf(firstTouch_);

    if (active(tp1)) {
        // A range: its two ends, their drop lines to the axis of the
        // variable (radii for a polar curve), and a line to the finger that
        // holds one of them.
        tp1.drawAnyway(c);
        tp2.drawAnyway(c);
        const myPoint p1 = tp1.info().point, p2 = tp2.info().point;
        c.setLineDash(0, kGuideDash, 2);
        const PointF a = myPointToDevice(myPoint{k.x * p1.x, k.y * p1.y});
        const PointF b = myPointToDevice(myPoint{k.x * p2.x, k.y * p2.y});
        if (dropLines) {
            strokeLine(c, a, tp1.devicePoint());
            strokeLine(c, b, tp2.devicePoint());
        }
        if (curTouchNumber_ == 1 && firstTouch_) {
            if (sel == &tp1)
                strokeLine(c, a, finger);
            else if (sel == &tp2)
                strokeLine(c, b, finger);
        }
        c.setLineDash(0, simpleDash, 2);
        if (iView_) {
            iView_->setP0(tracePoint1_);
            iView_->setP1(tracePoint2_);
            iView_->setInteractive(true);
            iView_->setContent2(curFunc_->infoForRangeA(tp1.info().variable, tp2.info().variable));
        }
    } else {
        if (sel) {
            if (iView_) {
                iView_->setP1(selectedPoint_);
                iView_->setInteractive(true);
                iView_->setContent(sel->info());
            }
        }
        // Guide lines from the finger to the trace point it moves (only for
        // a trace point that is on the curve: an inactive one has no place).
        if (fingerDown && active(tp)) {
            const myPoint p = tp.info().point;
            const PointF a = myPointToDevice(myPoint{k.x * p.x, k.y * p.y});
            c.setLineDash(0, kGuideDash, 2);
            if (!dropLines) {
                strokeLine(c, finger, tp.devicePoint());
            } else {
                strokeLine(c, a, tp.devicePoint());
                strokeLine(c, a, finger);
            }
            c.setLineDash(0, simpleDash, 2);
        }
        if (!sel && iView_)
            iView_->setHidden(true);
    }

    if (!sel || sel == &tp1 || sel == &tp2)
        return;

    // Tangent and osculating circle of the selected point.
    sel->drawAnyway(c);
    const myPointInfo& info = sel->info();
    const PointF P = myPointToDevice(info.point);
    const double px = P.x, py = P.y;
    const double W = frame_.width, H = frame_.height;
    if (!finitePoint(P) || !goodRect_.contains(P))
        return;
    const double m = infoValue(info, "dy/dx");
    if (showTangent && !std::isnan(m)) {
        if (std::fabs(m) < 2)
            strokeLine(c, PointF{static_cast<float>(W), static_cast<float>(py - m * (W - px))},
                       PointF{0, static_cast<float>(py + m * px)});
        else
            strokeLine(c, PointF{static_cast<float>(px + py / m), 0},
                       PointF{static_cast<float>(px - (H - py) / m), static_cast<float>(H)});
    }
    if (showOsculatingCircle && hasInfo(info, "k")) {
        const double R = 1 / infoValue(info, "k");
        double phi = hasInfo(info, "f") ? infoValue(info, "f") : std::atan(m);
        if (curFuncSide_ == CurvatureSide::mirroredSlope && phi > 0)
            phi += kPi;
        if (curFuncSide_ == CurvatureSide::parameter && infoValue(info, "dx/dt") < 0)
            phi += kPi;
        if (R != 0 && std::fabs(R) < 500 / curSx && !std::isnan(m)) {
            const double s = std::sin(phi), co = std::cos(phi);
            const PointF centre{static_cast<float>(px - R * s * tSx), static_cast<float>(py - R * co * tSy)};
            const RectF circle = standardized(RectF{static_cast<float>(px - (s + 1) * R * tSx),
                                                    static_cast<float>(py - (co + 1) * R * tSy),
                                                    static_cast<float>(2 * R * tSx), static_cast<float>(2 * R * tSy)});
            if (!finitePoint(centre) || !intersects(circle, RectF{0, 0, frame_.width, frame_.height}))
                return;
            c.setFillColor(kRed);
            c.fillEllipse(RectF{centre.x - 2, centre.y - 2, 4, 4});
            strokeLine(c, P, centre);
            c.strokeEllipse(circle);
        }
    }
}

} // namespace orlix
