// Gestures and view state of the plot view: panning and pinching in move
// mode, tracing a point and a range in trace mode, taps on marked points,
// the bars' toggle gesture, the current function, and the
// "plotterSettings" dictionary the view's state survives a restart in.
#include "orlix/plot_plane.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "orlix/special_point.h"

namespace orlix {

unsigned plotView::dd = 0;

namespace {

constexpr double kPi = std::numbers::pi;

double distance(PointF a, PointF b)
{
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

myPoint plus(myPoint a, double dx, double dy) { return myPoint{a.x + dx, a.y + dy}; }

bool lifted(int phase) { return phase == kTouchEnded || phase == kTouchCancelled; }

bool active(const specialPoint& p) { return !std::isnan(p.info().point.x); }

// A number stored under key; none when absent or not a number.
std::optional<double> number(const nlohmann::json& d, const char* key)
{
    if (!d.is_object())
        return std::nullopt;
    auto it = d.find(key);
    if (it == d.end() || !it->is_number())
        return std::nullopt;
    return it->get<double>();
}

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

// ---- fingers ---------------------------------------------------------------------------

void plotView::remember(const std::vector<Touch>& t)
{
    for (const Touch& touch : t)
        fingers_[touch.id] = touch;
}

void plotView::forgetEnded(const std::vector<Touch>& t)
{
    for (const Touch& touch : t)
        if (lifted(touch.phase))
            fingers_.erase(touch.id);
}

bool plotView::tracked(const std::vector<Touch>& t, std::optional<int> id) const
{
    return id && std::any_of(t.begin(), t.end(), [&](const Touch& touch) { return touch.id == *id; });
}

const Touch* plotView::fingerOf(std::optional<int> id) const
{
    if (!id)
        return nullptr;
    auto it = fingers_.find(*id);
    return it == fingers_.end() ? nullptr : &it->second;
}

PointF plotView::positionOf(std::optional<int> id) const
{
    const Touch* t = fingerOf(id);
    return t ? t->location : curFirstTap;
}

int plotView::phaseOf(std::optional<int> id) const
{
    const Touch* t = fingerOf(id);
    return t ? t->phase : kTouchEnded;
}

void plotView::handleTouches(const std::vector<Touch>& all)
{
    std::vector<Touch> began, moved, ended, still;
    for (const Touch& t : all) {
        if (t.phase == kTouchBegan)
            began.push_back(t);
        else if (t.phase == kTouchMoved)
            moved.push_back(t);
        else if (lifted(t.phase))
            ended.push_back(t);
        else
            still.push_back(t);
    }
    // A finger that did not move is only known at its place (a pinch reads
    // both fingers, whichever moved).
    for (const Touch& t : still)
        if (fingers_.count(t.id))
            fingers_[t.id].location = t.location;
    if (!began.empty())
        touchesBegan(began);
    if (!moved.empty())
        touchesMoved(moved);
    if (!ended.empty())
        touchesEnded(ended);
}

// ---- view geometry of gestures -------------------------------------------------------

void plotView::resetOffsets()
{
    tOffset = curOffset = myPoint{-static_cast<double>(frame_.width), -static_cast<double>(frame_.height)};
}

bool plotView::panCovers() const
{
    const double w = frame_.width, h = frame_.height;
    return tOffset.x <= 0 && tOffset.y <= 0 && tOffset.x >= w - layerSize.width * tSx / bSx &&
           tOffset.y >= h - layerSize.height * tSy / bSy;
}

bool plotView::pinchCovers() const
{
    const double w = frame_.width, h = frame_.height;
    return tSx / bSx < kMaxStretch && tSy / bSy < kMaxStretch && tOffset.x < 0 && tOffset.y < 0 &&
           tOffset.x > w - layerSize.width * tSx / bSx && tOffset.y > h - layerSize.height * tSy / bSy;
}

double plotView::pinchFactor(PointF p, PointF q) const
{
    // Fingers put down on one point give no distance to compare with: the
    // pinch keeps the scale until they are put down again.
    double kl = l0 > 0 && std::isfinite(l0) ? distance(p, q) / l0 : 1.0;
    if (!std::isfinite(kl))
        kl = 1.0;
    // Fingers brought together give 0; the lower limit keeps it positive.
    for (double s : {curSx, curSy}) {
        if (!(s > 0) || !std::isfinite(s))
            continue;
        if (s * kl > kMaxScale)
            kl = kMaxScale / s;
        if (s * kl < kMinScale)
            kl = kMinScale / s;
    }
    return kl;
}

void plotView::applyPinch(PointF p, double kl)
{
    kl_ = kl;
    tCenter = myPoint{p.x + kl * (curCenter.x - curFirstTap.x), p.y + kl * (curCenter.y - curFirstTap.y)};
    tOffset = myPoint{p.x + kl * (curOffset.x - curFirstTap.x), p.y + kl * (curOffset.y - curFirstTap.y)};
    // Clamped as well: kl · s need not give the limit back exactly.
    tSx = std::clamp(kl * curSx, kMinScale, kMaxScale);
    tSy = std::clamp(kl * curSy, kMinScale, kMaxScale);
}

// ---- touches ---------------------------------------------------------------------------------

void plotView::touchesBegan(const std::vector<Touch>& changed)
{
    std::vector<Touch> T;
    for (const Touch& t : changed)
        if (!(firstTouch_ && t.id == *firstTouch_) && !(secondTouch_ && t.id == *secondTouch_))
            T.push_back(t);
    if (T.empty())
        return;
    remember(T);
    if (showHideUI == 2 && curTouchNumber_ + static_cast<int>(T.size()) > 2 && controller_)
        controller_->showHideInterface();
    if (curTouchNumber_ > 1)
        return;
    ti_ = std::nan("");

    if (fState_ != 0) {
        if (!curFunc_)
            return;
        if (curTouchNumber_ == 1) {
            // A second finger: the range between the two.
            if (curFunc_->isImplicit())
                return;
            secondTouch_ = T[0].id;
            curTouchNumber_ = 2;
            stepR();
            return;
        }
        if (T.size() == 1) {
            const Touch& t = T[0];
            firstTouch_ = t.id;
            // A finger on a range end picks that end up.
            for (const auto& end : {tracePoint1_, tracePoint2_}) {
                if (active(*end) && distance(t.location, end->devicePoint()) < kGrabDistance) {
                    selectedPoint_ = end;
                    curTouchNumber_ = 1;
                    needsDisplay();
                    return;
                }
            }
            ti_ = t.timestamp;
            curTouchNumber_ = 1;
            tracePoint1_->setInfo(myPointInfo{});
            tracePoint2_->setInfo(myPointInfo{});
            const double x = curFunc_->varValueForPoint(t.location, t.phase);
            tracePoint_->setInfo(curFunc_->myPointInfoFVV(x));
            selectedPoint_ = tracePoint_;
            needsDisplay();
            return;
        }
        if (curFunc_->isImplicit())
            return;
        curTouchNumber_ = 2;
        firstTouch_ = T[0].id;
        secondTouch_ = T[1].id;
        stepR();
        return;
    }

    if (curTouchNumber_ == 1) {
        // A second finger joins a pan: the pan so far is committed and the
        // pinch starts from here.
        const PointF p = positionOf(firstTouch_);
        const double dx = p.x - curFirstTap.x, dy = p.y - curFirstTap.y;
        tCenter = plus(curCenter, dx, dy);
        tOffset = plus(curOffset, dx, dy);
        curCenter = tCenter;
        curOffset = tOffset;
        secondTouch_ = T[0].id;
        l0 = distance(p, T[0].location);
        curTouchNumber_ = 2;
        curFirstTap = p;
    } else {
        firstTouch_ = T[0].id;
        if (T.size() == 1) {
            curTouchNumber_ = 1;
        } else {
            secondTouch_ = T[1].id;
            l0 = distance(T[0].location, T[1].location);
            curTouchNumber_ = 2;
        }
        curFirstTap = T[0].location;
    }
    kl_ = 1;
    needsDisplay();
}

void plotView::stepR()
{
    Function& f = *curFunc_;
    f.setPreviousI(prevI1);
    v1_ = f.varValueForPoint(positionOf(firstTouch_), phaseOf(firstTouch_));
    prevI1 = f.previousI();
    f.setPreviousI(prevI2);
    v2_ = f.varValueForPoint(positionOf(secondTouch_), phaseOf(secondTouch_));
    prevI2 = f.previousI();
    rangeSwapped_ = false;
    if (v1_ > v2_) {
        tv_ = v1_;
        v1_ = v2_;
        v2_ = tv_;
        rangeSwapped_ = true;
    }
    tracePoint1_->setInfo(f.myPointInfoFVV(v1_));
    tracePoint2_->setInfo(f.myPointInfoFVV(v2_));
    tracePoint_->setInfo(myPointInfo{});
    selectedPoint_.reset();
    needsDisplay();
}

void plotView::touchesMoved(const std::vector<Touch>& T)
{
    if (T.empty())
        return;
    remember(T);
    const bool hasFirst = tracked(T, firstTouch_), hasSecond = tracked(T, secondTouch_);
    if (!hasFirst && !hasSecond)
        return;

    if (fState_ == 0) {
        const PointF p = positionOf(firstTouch_);
        double kl = 1;
        if (curTouchNumber_ == 1) {
            const double dx = p.x - curFirstTap.x, dy = p.y - curFirstTap.y;
            tCenter = plus(curCenter, dx, dy);
            tOffset = plus(curOffset, dx, dy);
            if (panCovers()) {
                needsDisplay();
                return;
            }
        } else if (curTouchNumber_ == 2) {
            kl = pinchFactor(p, positionOf(secondTouch_));
            applyPinch(p, kl);
            if (pinchCovers()) {
                needsDisplay();
                return;
            }
        } else {
            return;
        }
        // The layer no longer covers the view (or is stretched too far):
        // commit and sample again.
        curSx = bSx = tSx;
        curSy = bSy = tSy;
        curCenter = tCenter;
        l0 *= kl;
        curFirstTap = p;
        resetOffsets();
        redraw();
        return;
    }

    if (!curFunc_)
        return;
    Function& f = *curFunc_;
    if (curTouchNumber_ == 1 && hasFirst) {
        specialPoint* sel = selectedPoint_.get();
        specialPoint* tp1 = tracePoint1_.get();
        specialPoint* tp2 = tracePoint2_.get();
        if (sel == tp1)
            f.setPreviousI(prevI1);
        else if (sel == tp2)
            f.setPreviousI(prevI2);
        tv_ = f.varValueForPoint(positionOf(firstTouch_), kTouchMoved);
        // Dragging one range end past the other swaps the ends, so that
        // tracePoint1 keeps the smaller value; the end left behind takes its
        // continuation state along.
        if (sel == tp1 && tv_ > tp2->info().variable) {
            tp1->copyFrom(*tp2);
            prevI1 = prevI2;
            selectedPoint_ = tracePoint2_;
        } else if (sel == tp2 && tv_ < tp1->info().variable) {
            tp2->copyFrom(*tp1);
            prevI2 = prevI1;
            selectedPoint_ = tracePoint1_;
        }
        if (selectedPoint_ == tracePoint1_)
            prevI1 = f.previousI();
        else if (selectedPoint_ == tracePoint2_)
            prevI2 = f.previousI();
        if (selectedPoint_)
            selectedPoint_->setInfo(f.myPointInfoFVV(tv_));
    } else if (curTouchNumber_ == 2) {
        stepR();
    }
    needsDisplay();
}

void plotView::touchesEnded(const std::vector<Touch>& changed)
{
    if (changed.empty())
        return;
    // Whatever phase they report, these fingers are gone.
    std::vector<Touch> T = changed;
    for (Touch& t : T)
        if (!lifted(t.phase))
            t.phase = kTouchEnded;
    remember(T);
    const bool hasFirst = tracked(T, firstTouch_), hasSecond = tracked(T, secondTouch_);
    if (!hasFirst && !hasSecond) {
        forgetEnded(T);
        return;
    }

    if (curTouchNumber_ == 1 && hasFirst) {
        const Touch t = fingers_[*firstTouch_];
        if (t.tapCount == 1) {
            tapEnded(t);
            forgetEnded(T);
            return;
        }
        if (showHideUI <= 1 && t.tapCount == showHideUI + 2 && controller_)
            controller_->showHideInterface();
    }

    if (fState_ != 0) {
        if (curFunc_ && curTouchNumber_ == 1 && hasFirst) {
            if (selectedPoint_ == tracePoint1_ || selectedPoint_ == tracePoint2_) {
                selectedPoint_.reset();
            } else {
                tv_ = curFunc_->varValueForPoint(positionOf(firstTouch_), kTouchEnded);
                if (selectedPoint_)
                    selectedPoint_->setInfo(curFunc_->myPointInfoFVV(tv_));
            }
            firstTouch_.reset();
            curTouchNumber_ = 0;
            needsDisplay();
        } else if (curFunc_ && curTouchNumber_ == 2) {
            stepR();
            if (hasFirst && hasSecond) {
                firstTouch_.reset();
                secondTouch_.reset();
                curTouchNumber_ = 0;
            } else {
                // The finger left down keeps the range end that carries its
                // value, with its continuation state.
                const bool remainingIsFirst = !hasFirst;
                const bool inTp1 = remainingIsFirst != rangeSwapped_;
                if (inTp1 && !remainingIsFirst)
                    prevI1 = prevI2;
                else if (!inTp1 && remainingIsFirst)
                    prevI2 = prevI1;
                selectedPoint_ = inTp1 ? tracePoint1_ : tracePoint2_;
                firstTouch_ = remainingIsFirst ? firstTouch_ : secondTouch_;
                secondTouch_.reset();
                curTouchNumber_ = 1;
            }
            needsDisplay();
        } else {
            firstTouch_.reset();
            secondTouch_.reset();
            curTouchNumber_ = 0;
        }
        forgetEnded(T);
        return;
    }

    if (curTouchNumber_ == 1 && hasFirst) {
        commitPan();
        curTouchNumber_ = 0;
        redraw();
    } else if (curTouchNumber_ == 2) {
        const PointF p = positionOf(firstTouch_);
        applyPinch(p, pinchFactor(p, positionOf(secondTouch_)));
        curCenter = tCenter;
        curOffset = tOffset;
        curSx = tSx;
        curSy = tSy;
        if (hasFirst && hasSecond) {
            firstTouch_.reset();
            secondTouch_.reset();
            curTouchNumber_ = 0;
            resetOffsets();
            redraw();
        } else {
            if (hasFirst)
                firstTouch_ = secondTouch_;
            secondTouch_.reset();
            curTouchNumber_ = 1;
            curFirstTap = positionOf(firstTouch_);
            if (pinchCovers()) {
                needsDisplay();
            } else {
                resetOffsets();
                redraw();
            }
        }
    }
    forgetEnded(T);
}

void plotView::tapEnded(const Touch& t)
{
    const PointF p = t.location;
    // The marked points near the tap: those in the 10-unit bucket of squared
    // distance nearest to it, within about 28 points.
    std::vector<std::shared_ptr<specialPoint>> candidates;
    if (curFunc_) {
        double m = 800;
        for (const auto& obj : curFunc_->info()) {
            if (!obj)
                continue;
            const double r = obj->roFromPoint(p);
            if (std::isnan(r) || r > m + 10)
                continue;
            if (std::trunc(r / 10) == std::trunc(m / 10)) {
                candidates.push_back(obj);
            } else {
                candidates.assign(1, obj);
                m = r;
            }
        }
    }
    const bool rangeEnd = selectedPoint_ && (selectedPoint_ == tracePoint1_ || selectedPoint_ == tracePoint2_);
    if (!candidates.empty()) {
        // Repeated taps cycle through points at the same distance.
        const auto& c = candidates[dd % candidates.size()];
        if (rangeEnd) {
            selectedPoint_->setInfo(c->info());
            ++dd;
            doRedraw();
            return;
        }
        if (fState_ != 0) {
            tracePoint_->setInfo(c->info());
            selectedPoint_ = tracePoint_;
        } else {
            selectedPoint_ = c;
        }
        ++dd;
    } else {
        if (rangeEnd) {
            doRedraw();
            return;
        }
        if (t.timestamp - ti_ < kQuickTap || selectedPoint_ != tracePoint_)
            selectedPoint_.reset();
    }
    tracePoint1_->setInfo(myPointInfo{});
    tracePoint2_->setInfo(myPointInfo{});
    doRedraw();
}

// The view moved by the first finger (and scaled by the pinch before it)
// becomes the committed one; the finger is let go.
void plotView::commitPan()
{
    const PointF p = positionOf(firstTouch_);
    tCenter = plus(curCenter, p.x - curFirstTap.x, p.y - curFirstTap.y);
    curCenter = tCenter;
    resetOffsets();
    curSx = tSx;
    curSy = tSy;
    firstTouch_.reset();
}

void plotView::doRedraw()
{
    const bool moved = tOffset.x != curOffset.x || tOffset.y != curOffset.y || tSx != bSx || tSy != bSy;
    if (moved && fState_ != 1) {
        commitPan();
        redraw();
    } else {
        firstTouch_.reset();
        needsDisplay();
    }
    curTouchNumber_ = 0;
}

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

void plotView::setFState(int s)
{
    if (s != 0) {
        // The selected mark becomes the trace point.
        if (selectedPoint_) {
            tracePoint_->setInfo(selectedPoint_->info());
            selectedPoint_ = tracePoint_;
        } else {
            tracePoint_->setInfo(myPointInfo{});
        }
        graphicState_ = 2;
    } else {
        graphicState_ = 1;
        if (selectedPoint_ == tracePoint_)
            selectedPoint_.reset();
        tracePoint_->setInfo(myPointInfo{});
    }
    fState_ = s;
    // Fingers still down belong to the other mode: they are let go.
    firstTouch_.reset();
    secondTouch_.reset();
    curTouchNumber_ = 0;
    tracePoint1_->setInfo(myPointInfo{});
    tracePoint2_->setInfo(myPointInfo{});
    needsDisplay();
}

void plotView::setCurFunc(Function::Ptr f)
{
    if (iView_)
        iView_->setHidden(true);
    if (f == curFunc_)
        return;
    prevI1.f.f = 0;
    prevI1.f.inv = false;
    prevI2.f.f = 0;
    prevI2.f.inv = false;
    firstTouch_.reset();
    secondTouch_.reset();
    curTouchNumber_ = 0;
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
    // Drawing the curves found the current one's marks.
    if (curFunc_ && !curvesDrawn_)
        curFunc_->updateInfo();
    if (fState_ != 0)
        graphicState_ = 2;
    needsDisplay();
}

void plotView::removeCFunction()
{
    const Function::Register reg = Function::functionRegister();
    Function::Ptr next;
    auto it = std::find_if(reg.begin(), reg.end(), [&](const auto& e) { return e.second == curFunc_; });
    if (it != reg.end() && it + 1 != reg.end())
        next = (it + 1)->second;
    else if (!reg.empty() && reg.front().second != curFunc_)
        next = reg.front().second;
    Function::removeFunction(curFunc_.get());
    setCurFunc(next);
}

// ---- stored state ------------------------------------------------------------------------------

nlohmann::json plotView::settings()
{
    nlohmann::json d = nlohmann::json::object();
    d["center.x"] = curCenter.x;
    d["center.y"] = curCenter.y;
    d["sx"] = curSx;
    d["sy"] = curSy;
    d["fState"] = fState_;
    d["showHideUI"] = showHideUI;
    if (curFunc_) {
        for (const auto& [id, f] : Function::functionRegister()) {
            if (f == curFunc_) {
                d["curFuncID"] = id;
                break;
            }
        }
    }
    d["showTangent"] = showTangent;
    d["showOsculatingCircle"] = showOsculatingCircle;
    d["isLeftAligned"] = isLeftAligned_;
    return d;
}

void plotView::applySettings(const nlohmann::json& d)
{
    if (store_ && store_->resetPositionOnLaunch()) {
        store_->clearResetPositionOnLaunch();
        setDefaultPosition();
    } else {
        const auto cx = number(d, "center.x"), cy = number(d, "center.y");
        const auto sx = number(d, "sx"), sy = number(d, "sy");
        auto usableScale = [](const std::optional<double>& s) { return s && *s >= kMinScale && *s <= kMaxScale; };
        // A position with a hole in it would leave the view unusable for
        // good; it is not taken.
        if (cx && cy && std::isfinite(*cx) && std::isfinite(*cy) && usableScale(sx) && usableScale(sy)) {
            curCenter = tCenter = myPoint{*cx, *cy};
            curSx = tSx = bSx = *sx;
            curSy = tSy = bSy = *sy;
        } else {
            setDefaultPosition();
        }
    }
    showTangent = flag(d, "showTangent").value_or(showTangent);
    showOsculatingCircle = flag(d, "showOsculatingCircle").value_or(showOsculatingCircle);
    setIsLeftAligned(flag(d, "isLeftAligned").value_or(isLeftAligned_));
    if (const auto ui = number(d, "showHideUI"); ui && std::isfinite(*ui) && std::fabs(*ui) < 1e9)
        showHideUI = static_cast<int>(*ui);
    setFState(0);

    Function::Ptr f;
    if (d.is_object()) {
        auto it = d.find("curFuncID");
        if (it != d.end() && it->is_string())
            f = Function::functionWithID(it->get<std::string>());
    }
    if (!f && !Function::functionRegister().empty())
        f = Function::functionRegister().front().second;
    // A new current function is drawn at the new position, and its marks
    // found, by setCurFunc; the same one is drawn again here.
    if (f == curFunc_) {
        redraw();
        if (curFunc_ && !curvesDrawn_)
            curFunc_->updateInfo();
    }
    setCurFunc(f);
}

} // namespace orlix
