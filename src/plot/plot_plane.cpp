// The plot view's set-up, its size and good rectangle, the modes, the
// current function, and the "plotterSettings" dictionary the view's state
// survives a restart in.
#include "orlix/plot_plane.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "orlix/record.h"
#include "orlix/special_point.h"

namespace orlix {

namespace {

constexpr double kPi = std::numbers::pi;

bool finite(float v) { return std::isfinite(v); }

using record::readNumber;

// A flag stored as a boolean or as a number (non-zero is set).
std::optional<bool> flag(const nlohmann::json& d, const char* key)
{
    if (!d.is_object())
        return std::nullopt;
    auto it = d.find(key);
    if (it == d.end())
        return std::nullopt;
    if (it->is_boolean())
        return it->get<bool>();
    if (it->is_number()) {
        const double v = it->get<double>();
        if (std::isnan(v))
            return std::nullopt;
        return v != 0;
    }
    return std::nullopt;
}

} // namespace

plotView::plotView()
{
    tracePoint_ = specialPoint::pointWithInfo(myPointInfo{}, "trace");
    tracePoint1_ = specialPoint::pointWithInfo(myPointInfo{}, "trace2");
    tracePoint2_ = specialPoint::pointWithInfo(myPointInfo{}, "trace2");
    tracePoint2_->setBetta(tracePoint2_->betta() + static_cast<float>(std::numbers::pi));
}

plotView::~plotView()
{
    // The marks and the function model must not keep reaching a view that
    // is gone.
    if (specialObject::plotter() == this)
        specialObject::setPlotter(nullptr);
    if (model_ && model_->plotContext() == this)
        model_->setPlotContext(nullptr);
}

void plotView::setModel(CurveModel* model)
{
    if (model_ && model_->plotContext() == this)
        model_->setPlotContext(nullptr);
    model_ = model;
    if (model_)
        model_->setPlotContext(this);
}

const Function::Register& plotView::functionRegister() const
{
    static const Function::Register none;
    return model_ ? model_->functionRegister() : none;
}

// ---- set-up -------------------------------------------------------------------

void plotView::initialize()
{
    viewState_.resetLayer();
    gestures_.letGo();
    specialObject::setPlotter(this);
    goodRect_ = goodRectForPlotter ? goodRectForPlotter() : RectF{0, 0, frame_.width, frame_.height};
    initialized_ = true;
    clearTracePoints();
    overlays_.setShowTangent(true);
    overlays_.setShowOsculatingCircle(true);
    isLeftAligned_ = false;
    graphicState_ = GraphicState::Direct;
    std::optional<nlohmann::json> stored = store_ ? store_->takePlotterSettings() : std::nullopt;
    if (stored && stored->is_object()) {
        applySettings(*stored);
    } else {
        showHideUI_ = BarsGesture::ThreeFingers;
        viewState_.reset();
        redraw();
    }
    if (iView_) {
        iView_->setCurFunc(curFunc_.get());
        iView_->setHidden(true);
    }
}

void plotView::setFrame(RectF f)
{
    // A size that is no number would poison the centre and the offsets for
    // good; such a frame is refused.
    if (!finite(f.x) || !finite(f.y) || !finite(f.width) || !finite(f.height) || f.width < 0 || f.height < 0)
        return;
    if (graphicState_ == GraphicState::CachedBackground)
        graphicState_ = GraphicState::RebuildCache;
    if (!initialized_) {
        frame_ = f;
        viewState_.setSize(SizeF{f.width, f.height});
        return;
    }
    const bool resized = f.width != frame_.width || f.height != frame_.height;
    frame_ = f;
    viewState_.resize(SizeF{f.width, f.height});
    refresh();
    setGoodRect(goodRectForPlotter ? goodRectForPlotter() : RectF{0, 0, f.width, f.height});
    if (!resized)
        return;
    // The sampling window follows the size: every curve is sampled over
    // it again, and the current curve's marks are found again for it.
    gestures_.letGo();
    redraw();
}

void plotView::refresh() { grid_.refresh(viewSize()); }

void plotView::releaseLayers() { grid_.releaseLayers(); }

void plotView::centerize()
{
    viewState_.reset();
    backgroundChanged();
    redraw();
}

bool plotView::zoomAbout(PointF at, double factor)
{
    if (curTouchNumber() != 0 || !viewState_.zoomAbout(at, factor))
        return false;
    backgroundChanged();
    redraw();
    return true;
}

bool plotView::lookAt(myPoint user, myPoint scale)
{
    if (!viewState_.lookAt(user, scale))
        return false;
    viewState_.resetLayer();
    backgroundChanged();
    redraw();
    return true;
}

PlotGrid::Frame plotView::gridFrame() const
{
    // Labels sit a point lower in trace mode.
    return PlotGrid::Frame::of(viewState_, goodRect_, mode_ == PlotMode::Trace ? 1.0f : 0.0f);
}

void plotView::backgroundChanged()
{
    if (mode_ != PlotMode::Move)
        graphicState_ = GraphicState::RebuildCache;
}

void plotView::showHideInterface()
{
    if (controller_)
        controller_->showHideInterface();
}

// ---- good rectangle and information panel -------------------------------------

void plotView::setGoodRect(RectF r)
{
    goodRect_ = r;
    anchorInfoPanel();
}

void plotView::setIsLeftAligned(bool left)
{
    isLeftAligned_ = left;
    anchorInfoPanel();
}

void plotView::anchorInfoPanel()
{
    if (!panelSize_)
        return;
    const float w = panelSize_->width, h = panelSize_->height;
    const float x = isLeftAligned_ ? 0.5f * w : goodRect_.maxX() - 0.5f * w;
    panelCenter_ = PointF{x, goodRect_.maxY() - 0.5f * h};
}

// ---- coordinates -------------------------------------------------------------------

PointF plotView::coordsToUser(PointF p) const { return toCGPoint(myPointToUser(toMyPoint(p))); }

PointF plotView::coordsToDevice(PointF u) const { return myPointToDevice(toMyPoint(u)); }

myPoint plotView::myPointToUser(myPoint p) const { return viewState_.toUser(p); }

PointF plotView::myPointToDevice(myPoint u) const { return viewState_.toDevice(u); }

// ---- modes and the current function ------------------------------------------------------

void plotView::clearTracePoints()
{
    tracePoint_->setInfo(myPointInfo{});
    tracePoint1_->setInfo(myPointInfo{});
    tracePoint2_->setInfo(myPointInfo{});
    tracePoint_->setBetta(0);
    tracePoint1_->setBetta(0);
    tracePoint2_->setBetta(static_cast<float>(kPi));
}

void plotView::setFState(PlotMode s)
{
    if (s != PlotMode::Move) {
        // The selected mark becomes the trace point.
        if (selectedPoint_) {
            tracePoint_->setInfo(selectedPoint_->info());
            selectedPoint_ = tracePoint_;
        } else {
            tracePoint_->setInfo(myPointInfo{});
        }
        graphicState_ = GraphicState::RebuildCache;
    } else {
        graphicState_ = GraphicState::Direct;
        if (selectedPoint_ == tracePoint_)
            selectedPoint_.reset();
        tracePoint_->setInfo(myPointInfo{});
    }
    mode_ = s;
    // Fingers still down belong to the other mode: they are let go.
    gestures_.letGo();
    tracePoint1_->setInfo(myPointInfo{});
    tracePoint2_->setInfo(myPointInfo{});
    needsDisplay();
}

std::optional<TraceRange> plotView::traceRange() const
{
    if (!tracing() || !curFunc_ || std::isnan(tracePoint1_->info().point.x))
        return std::nullopt;
    return TraceRange{tracePoint1_->info().variable, tracePoint2_->info().variable};
}

void plotView::setTraceRange(std::optional<TraceRange> r)
{
    if (!curFunc_ || curFunc_->isImplicit() || traceRange() == r)
        return;
    if (r && !tracing())
        setFState(PlotMode::Trace);
    gestures_.forgetRange();
    tracePoint1_->setInfo(r ? curFunc_->pointAt(r->a) : myPointInfo{});
    tracePoint2_->setInfo(r ? curFunc_->pointAt(r->b) : myPointInfo{});
    tracePoint_->setInfo(myPointInfo{});
    selectedPoint_.reset();
    if (!r && iView_)
        iView_->setHidden(true);
    backgroundChanged();
    needsDisplay();
}

void plotView::traceAt(double v)
{
    if (!curFunc_ || curFunc_->isImplicit() || !std::isfinite(v))
        return;
    if (!tracing())
        setFState(PlotMode::Trace);
    tracePoint1_->setInfo(myPointInfo{});
    tracePoint2_->setInfo(myPointInfo{});
    tracePoint_->setInfo(curFunc_->pointAt(v));
    selectedPoint_ = tracePoint_;
    backgroundChanged();
    needsDisplay();
}

void plotView::rangeTyped(std::optional<TraceRange> before)
{
    if (traceRange() != before && controller_)
        controller_->traceRangeChanged(before);
}

void plotView::gestureMayBegin()
{
    if (curTouchNumber() == 0)
        rangeAtGestureStart_ = traceRange();
}

void plotView::gestureMayHaveEnded(bool wasDown)
{
    if (wasDown && curTouchNumber() == 0 && tracing() && traceRange() != rangeAtGestureStart_ && controller_)
        controller_->traceRangeChanged(rangeAtGestureStart_);
}

void plotView::touchesBegan(const std::vector<Touch>& changed)
{
    gestureMayBegin();
    gestures_.touchesBegan(changed);
}

void plotView::touchesEnded(const std::vector<Touch>& changed)
{
    const bool wasDown = curTouchNumber() > 0;
    gestures_.touchesEnded(changed);
    gestureMayHaveEnded(wasDown);
}

void plotView::handleTouches(const std::vector<Touch>& all)
{
    gestureMayBegin();
    const bool wasDown = curTouchNumber() > 0;
    gestures_.handleTouches(all);
    // Fingers that went down and up in one event make a gesture too.
    const bool anyBegan = std::any_of(all.begin(), all.end(), [](const Touch& t) { return t.phase == kTouchBegan; });
    gestureMayHaveEnded(wasDown || anyBegan);
}

void plotView::setCurFunc(Function::Ptr f)
{
    if (iView_)
        iView_->setHidden(true);
    if (f == curFunc_)
        return;
    gestures_.forgetRange();
    gestures_.letGo();
    curFunc_ = std::move(f);
    const FunctionKindInfo* kind = curFunc_ ? curFunc_->kindInfo() : nullptr;
    curFuncIsRF_ = kind && kind->rangeEnds == RangeEndFacing::alongRadius;
    curFuncIsT_ = kind && kind->rangeEnds == RangeEndFacing::alongChord;
    curFuncSide_ = kind ? kind->curvatureSide : CurvatureSide::slope;
    if (controller_)
        controller_->setCurFunc(curFunc_.get());
    clearTracePoints();
    selectedPoint_.reset();
    if (iView_)
        iView_->setCurFunc(curFunc_.get());
    redraw();
    backgroundChanged();
    needsDisplay();
}

void plotView::removeCFunction()
{
    const Function::Register reg = functionRegister();
    Function::Ptr next;
    auto it = std::find_if(reg.begin(), reg.end(), [&](const auto& e) { return e.second == curFunc_; });
    if (it != reg.end() && it + 1 != reg.end())
        next = (it + 1)->second;
    else if (!reg.empty() && reg.front().second != curFunc_)
        next = reg.front().second;
    if (model_)
        model_->removeFunction(curFunc_.get());
    setCurFunc(next);
}

// ---- stored state ------------------------------------------------------------------------------

nlohmann::json plotView::settings()
{
    nlohmann::json d = nlohmann::json::object();
    viewState_.store(d);
    d["fState"] = static_cast<int>(mode_);
    d["showHideUI"] = static_cast<int>(showHideUI_);
    if (curFunc_) {
        for (const auto& [id, f] : functionRegister()) {
            if (f == curFunc_) {
                d["curFuncID"] = id;
                break;
            }
        }
    }
    d["showTangent"] = overlays_.showTangent();
    d["showOsculatingCircle"] = overlays_.showOsculatingCircle();
    d["isLeftAligned"] = isLeftAligned_;
    return d;
}

void plotView::applySettings(const nlohmann::json& d)
{
    if (store_ && store_->resetPositionOnLaunch()) {
        store_->clearResetPositionOnLaunch();
        viewState_.reset();
    } else if (!viewState_.restore(d)) {
        // A position with a hole in it would leave the view unusable for
        // good; it is not taken.
        viewState_.reset();
    }
    overlays_.setShowTangent(flag(d, "showTangent").value_or(overlays_.showTangent()));
    overlays_.setShowOsculatingCircle(flag(d, "showOsculatingCircle").value_or(overlays_.showOsculatingCircle()));
    setIsLeftAligned(flag(d, "isLeftAligned").value_or(isLeftAligned_));
    if (const auto ui = readNumber(d, "showHideUI"); ui && std::isfinite(*ui)) {
        // 0, 1, 2 name a gesture; any other number none.
        showHideUI_ = *ui == 0   ? BarsGesture::DoubleTap
                      : *ui == 1 ? BarsGesture::TripleTap
                      : *ui == 2 ? BarsGesture::ThreeFingers
                                 : BarsGesture::None;
    }
    setFState(PlotMode::Move);

    Function::Ptr f;
    if (d.is_object()) {
        auto it = d.find("curFuncID");
        if (it != d.end() && it->is_string())
            f = model_ ? model_->functionWithID(it->get<std::string>()) : nullptr;
    }
    if (!f && !functionRegister().empty())
        f = functionRegister().front().second;
    // A new current function is drawn at the new position, and its marks
    // found, by setCurFunc; the same one is drawn again here.
    if (f == curFunc_)
        redraw();
    setCurFunc(f);
}

} // namespace orlix
