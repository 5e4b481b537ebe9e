// Rendering of the plot view: the function layer drawn by the function model
// and re-used while panning and zooming, the cached background of trace
// mode, the order of a frame, and which overlays go on top of it, with the
// information panel's updates.
#include "orlix/plot_plane.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <typeinfo>

#include "orlix/special_point.h"

namespace orlix {

namespace {

constexpr double kPi = std::numbers::pi;

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
    const SizeF want = viewState_.layerSize();
    return typeid(*nextFreeLayer_) == typeid(c) && s.width == want.width && s.height == want.height;
}

void plotView::resample(Canvas* maker)
{
    const SizeF before = viewState_.layerSize();
    curvesDrawn_ = false;
    layerPending_ = false;
    viewState_.layerSampled();
    const SizeF layerSize = viewState_.layerSize();
    const bool sizeChanged = before.width != layerSize.width || before.height != layerSize.height;
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
    if (!model_)
        return;
    model_->setMinX(window.minX, window.maxX);
    model_->setMinY(window.minY, window.maxY);
    // A sample per two device pixels of the layer, so that no segment of a
    // curve is seen as one.
    const auto floorAlong = [&](float points) {
        return static_cast<int>(std::min<double>(std::ceil(points * devicePixelRatio_ / 2), Function::maxDrawPoints));
    };
    model_->setSampleFloor(floorAlong(layerSize.width), floorAlong(layerSize.height));
    if (!model_->functionRegister().empty() && nextFreeLayer_) {
        layerOrigin_ =
            myPoint{viewState_.offset().x - viewState_.center().x, viewState_.offset().y - viewState_.center().y};
        layerScale_ = viewState_.liveScale();
        // What is on screen now; the other eight ninths of the layer only
        // once the frame is out.
        const std::optional<RectF> shown = shownLayerArea();
        model_->drawFunctionsOnLayer(*nextFreeLayer_, layerOrigin_, layerScale_,
                                     shown ? LayerPart{LayerPart::Side::Inside, *shown} : LayerPart{});
        if (shown) {
            layerDrawnArea_ = *shown;
            layerPending_ = true;
        }
        curvesDrawn_ = true;
    }
}

std::optional<RectF> plotView::shownLayerArea() const
{
    if (!nextFreeLayer_)
        return std::nullopt;
    const SizeF s = nextFreeLayer_->size();
    const RectF r = functionLayerRect();
    if (!(r.width > 0) || !(r.height > 0) || !std::isfinite(r.x) || !std::isfinite(r.y))
        return std::nullopt;
    const double kx = s.width / r.width, ky = s.height / r.height;
    const double d = devicePixelRatio_;
    // Outwards to whole device pixels, so that no pixel is drawn in two
    // parts, and within the layer.
    const double x0 = std::max(0.0, std::floor(-r.x * kx * d) / d);
    const double y0 = std::max(0.0, std::floor(-r.y * ky * d) / d);
    const double x1 = std::min<double>(s.width, std::ceil((frame_.width - r.x) * kx * d) / d);
    const double y1 = std::min<double>(s.height, std::ceil((frame_.height - r.y) * ky * d) / d);
    if (!(x1 > x0) || !(y1 > y0) || (x0 <= 0 && y0 <= 0 && x1 >= s.width && y1 >= s.height))
        return std::nullopt;
    return RectF{static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1 - x0),
                 static_cast<float>(y1 - y0)};
}

void plotView::completeFunctionLayer()
{
    if (!layerPending_ || !nextFreeLayer_ || !model_)
        return;
    layerPending_ = false;
    model_->drawFunctionsOnLayer(*nextFreeLayer_, layerOrigin_, layerScale_,
                                 LayerPart{LayerPart::Side::Outside, layerDrawnArea_});
}

void plotView::setDevicePixelRatio(double ratio)
{
    if (!(ratio > 0) || !std::isfinite(ratio) || ratio == devicePixelRatio_)
        return;
    devicePixelRatio_ = ratio;
    if (initialized_)
        redraw();
}

void plotView::setAppearance(Appearance appearance)
{
    const Theme& theme = themeFor(appearance);
    if (&theme == theme_)
        return;
    theme_ = &theme;
    grid_.setTheme(theme);
    overlays_.setTheme(theme);
    backgroundChanged();
    // The curves' colours as drawn depend on the background.
    if (initialized_)
        redrawCurves();
    else
        needsDisplay();
}

void plotView::redraw()
{
    resample(nullptr);
    findMarks();
    if (onRedraw)
        onRedraw();
    needsDisplay();
}

void plotView::functionsChanged()
{
    redraw();
    if (selectedPoint_ && selectedPoint_ != tracePoint_ && selectedPoint_ != tracePoint1_ &&
        selectedPoint_ != tracePoint2_)
        selectedPoint_.reset();
    for (const auto& p : {tracePoint_, tracePoint1_, tracePoint2_}) {
        if (!active(*p))
            continue;
        p->setInfo(curFunc_ && !curFunc_->isImplicit() ? curFunc_->pointAt(p->info().variable) : myPointInfo{});
    }
    backgroundChanged();
}

void plotView::redrawCurves()
{
    resample(nullptr);
    if (onRedraw)
        onRedraw();
    needsDisplay();
}

void plotView::findMarks()
{
    if (curFunc_)
        curFunc_->updateInfoIfNeeded();
}

// ---- frames ------------------------------------------------------------------------------

void plotView::drawRect(Canvas& view)
{
    const RectF bounds{0, 0, frame_.width, frame_.height};
    // The first frame, or a canvas of another kind than the one the layer
    // was made for: the curves are drawn again into a layer it can show.
    if (drawable() && !functionLayerUsable(view)) {
        resample(&view);
        // The first layer: the curves were sampled for the first time, and
        // the marks the shell asks for could be searched only now.
        if (curvesDrawn_ && model_->shell())
            findMarks();
    }

    if (graphicState_ == GraphicState::RebuildCache) {
        const SizeF size{bounds.width, bounds.height};
        if (!traceBackground_ || typeid(*traceBackground_) != typeid(view) ||
            traceBackground_->size().width != size.width || traceBackground_->size().height != size.height)
            traceBackground_ = drawable() ? view.createLayer(size) : nullptr;
        else
            traceBackground_->clear(bounds);
        if (traceBackground_)
            renderToContext(*traceBackground_);
        graphicState_ = GraphicState::CachedBackground;
    }

    view.save();
    view.clip(bounds);
    if (graphicState_ != GraphicState::CachedBackground || !traceBackground_)
        renderToContext(view);
    else
        view.drawLayer(*traceBackground_, PointF{0, 0});
    if (curFunc_)
        additionalDrawings(view);
    view.restore();
    shown_ = true;
}

void plotView::renderToContext(Canvas& c)
{
    if (!drawable())
        return;
    c.setFillColor(theme_->background);
    c.fillRect(RectF{0, 0, frame_.width, frame_.height});
    // The axis labels go over the curves, so that no curve hides them.
    grid_.drawPlaneUnderLabels(c, gridFrame());
    if (!functionRegister().empty() && nextFreeLayer_) {
        if (layerPending_) {
            const std::optional<RectF> need = shownLayerArea();
            const RectF& a = layerDrawnArea_;
            if (!need || need->x < a.x || need->y < a.y || need->x + need->width > a.x + a.width ||
                need->y + need->height > a.y + a.height)
                completeFunctionLayer();
        }
        const RectF r = functionLayerRect();
        if (std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height))
            c.drawLayer(*nextFreeLayer_, r);
    }
    grid_.drawLabels(c);
    if (curFunc_)
        for (const auto& mark : curFunc_->info())
            if (mark)
                mark->drawToContext(c);
}

void plotView::drawScene(Canvas& c)
{
    if (!drawable())
        return;
    c.save();
    c.clip(RectF{0, 0, frame_.width, frame_.height});
    c.setFillColor(theme_->background);
    c.fillRect(RectF{0, 0, frame_.width, frame_.height});
    grid_.drawPlaneUnderLabels(c, gridFrame());
    // The curves as the function layer holds them, where it lies now: the
    // same cuts at its edges, its stretch while a pinch is under way.
    const RectF r = functionLayerRect();
    const myPoint centre = viewState_.liveCenter();
    if (model_ && !model_->functionRegister().empty() && std::isfinite(r.x) && std::isfinite(r.y) &&
        std::isfinite(r.width) && std::isfinite(r.height) && r.width > 0 && r.height > 0) {
        c.save();
        c.translate(r.x, r.y);
        model_->drawFunctions(c, myPoint{r.x - centre.x, r.y - centre.y}, viewState_.liveScale(),
                              SizeF{r.width, r.height});
        c.restore();
    }
    grid_.drawLabels(c);
    if (curFunc_) {
        for (const auto& mark : curFunc_->info())
            if (mark)
                mark->drawToContext(c);
        additionalDrawings(c);
    }
    c.restore();
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
    if (sel) {
        sel->drawAnyway(c);
        overlays_.drawHighlight(c, *sel);
    }

    if (mode_ == PlotMode::Move) {
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

    overlays_.beginTraceLines(c);
    const myPoint k = curFunc_->kTracePoint();

    if (active(tp1)) {
        // A range: its two ends, their drop lines to the axis of the
        // variable (radii for a polar curve), and a line to the finger that
        // holds one of them.
        std::optional<PointF> finger;
        if (curTouchNumber() == 1 && gestures_.fingerDown())
            finger = gestures_.firstFingerPosition();
        overlays_.drawRange(c, viewState_, tp1, tp2, k, sel, finger);
        if (iView_) {
            iView_->setP0(tracePoint1_);
            iView_->setP1(tracePoint2_);
            iView_->setInteractive(true);
            iView_->setContent2(curFunc_->rangeInfo(tp1.info().variable, tp2.info().variable));
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
        if (gestures_.fingerDown() && active(tp))
            overlays_.drawTraceGuides(c, viewState_, tp, k, gestures_.firstFingerPosition());
        if (!sel && iView_)
            iView_->setHidden(true);
    }

    if (!sel || sel == &tp1 || sel == &tp2)
        return;

    // Tangent and osculating circle of the selected point.
    sel->drawAnyway(c);
    overlays_.drawTangentAndCircle(c, viewState_, goodRect_, sel->info(), curFuncSide_);
}

} // namespace orlix
