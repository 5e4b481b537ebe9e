// Gestures of the plot view: panning and pinching in move mode, tracing a
// point and a range in trace mode, taps on marked points and the bars'
// toggle gesture.
#include "orlix/gesture_tracker.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "orlix/special_point.h"
#include "orlix/view_state.h"

namespace orlix {

namespace {

double distance(PointF a, PointF b)
{
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

bool lifted(TouchPhase phase) { return phase == kTouchEnded || phase == kTouchCancelled; }

bool active(const specialPoint& p) { return !std::isnan(p.info().point.x); }

// The tap count that toggles the bars, or 0 when no tap does.
int tapsToToggleBars(BarsGesture g)
{
    switch (g) {
    case BarsGesture::DoubleTap: return 2;
    case BarsGesture::TripleTap: return 3;
    default: return 0;
    }
}

} // namespace

GestureTracker::GestureTracker(GestureHost& view) : view_(view), traceStartTime_(std::nan("")) {}

void GestureTracker::letGo()
{
    firstTouch_.reset();
    secondTouch_.reset();
    fingerCount_ = 0;
}

void GestureTracker::forgetRange()
{
    rangeStart_.f.f = 0;
    rangeStart_.f.inv = false;
    rangeEnd_.f.f = 0;
    rangeEnd_.f.inv = false;
}

// ---- fingers ---------------------------------------------------------------------------

void GestureTracker::remember(const std::vector<Touch>& t)
{
    for (const Touch& touch : t)
        fingers_[touch.id] = touch;
}

void GestureTracker::forgetEnded(const std::vector<Touch>& t)
{
    for (const Touch& touch : t)
        if (lifted(touch.phase))
            fingers_.erase(touch.id);
}

bool GestureTracker::tracked(const std::vector<Touch>& t, std::optional<int> id) const
{
    return id && std::any_of(t.begin(), t.end(), [&](const Touch& touch) { return touch.id == *id; });
}

const Touch* GestureTracker::fingerOf(std::optional<int> id) const
{
    if (!id)
        return nullptr;
    auto it = fingers_.find(*id);
    return it == fingers_.end() ? nullptr : &it->second;
}

PointF GestureTracker::positionOf(std::optional<int> id) const
{
    const Touch* t = fingerOf(id);
    return t ? t->location : stepStart_;
}

TouchPhase GestureTracker::phaseOf(std::optional<int> id) const
{
    const Touch* t = fingerOf(id);
    return t ? t->phase : kTouchEnded;
}

void GestureTracker::handleTouches(const std::vector<Touch>& all)
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

double GestureTracker::pinchFactor(PointF p, PointF q) const
{
    // Fingers put down on one point give no distance to compare with: the
    // pinch keeps the scale until they are put down again.
    double kl =
        pinchStartDistance_ > 0 && std::isfinite(pinchStartDistance_) ? distance(p, q) / pinchStartDistance_ : 1.0;
    if (!std::isfinite(kl))
        kl = 1.0;
    // Fingers brought together give 0; the lower limit keeps it positive.
    return view_.viewStateToChange().limitFactor(kl);
}

void GestureTracker::applyPinch(PointF p, double factor) { view_.viewStateToChange().pinch(stepStart_, p, factor); }

// ---- touches ---------------------------------------------------------------------------------

void GestureTracker::touchesBegan(const std::vector<Touch>& changed)
{
    std::vector<Touch> T;
    for (const Touch& t : changed)
        if (!(firstTouch_ && t.id == *firstTouch_) && !(secondTouch_ && t.id == *secondTouch_))
            T.push_back(t);
    if (T.empty())
        return;
    remember(T);
    if (view_.showHideUI() == BarsGesture::ThreeFingers && fingerCount_ + static_cast<int>(T.size()) > 2)
        view_.showHideInterface();
    if (fingerCount_ > 1)
        return;
    traceStartTime_ = std::nan("");

    if (view_.tracing()) {
        if (!view_.currentFunction())
            return;
        if (fingerCount_ == 1) {
            // A second finger: the range between the two.
            if (view_.currentFunction()->isImplicit())
                return;
            secondTouch_ = T[0].id;
            fingerCount_ = 2;
            stepRange();
            return;
        }
        if (T.size() == 1) {
            const Touch& t = T[0];
            firstTouch_ = t.id;
            // A finger on a range end picks that end up.
            for (const auto& end : {view_.tracePoint1(), view_.tracePoint2()}) {
                if (active(*end) && distance(t.location, end->devicePoint()) < kGrabDistance) {
                    view_.setSelectedPoint(end);
                    fingerCount_ = 1;
                    view_.needsDisplay();
                    return;
                }
            }
            traceStartTime_ = t.timestamp;
            fingerCount_ = 1;
            view_.tracePoint1()->setInfo(myPointInfo{});
            view_.tracePoint2()->setInfo(myPointInfo{});
            const double x = view_.currentFunction()->varValueForPoint(t.location, t.phase);
            view_.tracePoint()->setInfo(view_.currentFunction()->pointAt(x));
            view_.setSelectedPoint(view_.tracePoint());
            view_.needsDisplay();
            return;
        }
        if (view_.currentFunction()->isImplicit())
            return;
        fingerCount_ = 2;
        firstTouch_ = T[0].id;
        secondTouch_ = T[1].id;
        stepRange();
        return;
    }

    if (fingerCount_ == 1) {
        // A second finger joins a pan: the pan so far is committed and the
        // pinch starts from here.
        const PointF p = positionOf(firstTouch_);
        const double dx = p.x - stepStart_.x, dy = p.y - stepStart_.y;
        view_.viewStateToChange().panBy(dx, dy);
        view_.viewStateToChange().commit();
        secondTouch_ = T[0].id;
        pinchStartDistance_ = distance(p, T[0].location);
        fingerCount_ = 2;
        stepStart_ = p;
    } else {
        firstTouch_ = T[0].id;
        if (T.size() == 1) {
            fingerCount_ = 1;
        } else {
            secondTouch_ = T[1].id;
            pinchStartDistance_ = distance(T[0].location, T[1].location);
            fingerCount_ = 2;
        }
        stepStart_ = T[0].location;
    }
    view_.needsDisplay();
}

void GestureTracker::stepRange()
{
    Function& f = *view_.currentFunction();
    f.setPreviousI(rangeStart_);
    double v1 = f.varValueForPoint(positionOf(firstTouch_), phaseOf(firstTouch_));
    rangeStart_ = f.previousI();
    f.setPreviousI(rangeEnd_);
    double v2 = f.varValueForPoint(positionOf(secondTouch_), phaseOf(secondTouch_));
    rangeEnd_ = f.previousI();
    rangeSwapped_ = false;
    if (v1 > v2) {
        std::swap(v1, v2);
        rangeSwapped_ = true;
    }
    view_.tracePoint1()->setInfo(f.pointAt(v1));
    view_.tracePoint2()->setInfo(f.pointAt(v2));
    view_.tracePoint()->setInfo(myPointInfo{});
    view_.setSelectedPoint(nullptr);
    view_.needsDisplay();
}

void GestureTracker::touchesMoved(const std::vector<Touch>& T)
{
    if (T.empty())
        return;
    remember(T);
    const bool hasFirst = tracked(T, firstTouch_), hasSecond = tracked(T, secondTouch_);
    if (!hasFirst && !hasSecond)
        return;

    if (!view_.tracing()) {
        const PointF p = positionOf(firstTouch_);
        double kl = 1;
        if (fingerCount_ == 1) {
            const double dx = p.x - stepStart_.x, dy = p.y - stepStart_.y;
            view_.viewStateToChange().panBy(dx, dy);
            if (view_.viewStateToChange().panCovers()) {
                view_.needsDisplay();
                return;
            }
        } else if (fingerCount_ == 2) {
            kl = pinchFactor(p, positionOf(secondTouch_));
            applyPinch(p, kl);
            if (view_.viewStateToChange().pinchCovers()) {
                view_.needsDisplay();
                return;
            }
        } else {
            return;
        }
        // The layer no longer covers the view (or is stretched too far):
        // commit and sample again.
        view_.viewStateToChange().commit();
        pinchStartDistance_ *= kl;
        stepStart_ = p;
        view_.viewStateToChange().resetLayer();
        view_.redraw();
        return;
    }

    if (!view_.currentFunction())
        return;
    Function& f = *view_.currentFunction();
    if (fingerCount_ == 1 && hasFirst) {
        specialPoint* sel = view_.selectedPoint().get();
        specialPoint* tp1 = view_.tracePoint1().get();
        specialPoint* tp2 = view_.tracePoint2().get();
        if (sel == tp1)
            f.setPreviousI(rangeStart_);
        else if (sel == tp2)
            f.setPreviousI(rangeEnd_);
        const double value = f.varValueForPoint(positionOf(firstTouch_), kTouchMoved);
        // Dragging one range end past the other swaps the ends, so that
        // tracePoint1 keeps the smaller value; the end left behind takes its
        // continuation state along.
        if (sel == tp1 && value > tp2->info().variable) {
            tp1->copyFrom(*tp2);
            rangeStart_ = rangeEnd_;
            view_.setSelectedPoint(view_.tracePoint2());
        } else if (sel == tp2 && value < tp1->info().variable) {
            tp2->copyFrom(*tp1);
            rangeEnd_ = rangeStart_;
            view_.setSelectedPoint(view_.tracePoint1());
        }
        if (view_.selectedPoint() == view_.tracePoint1())
            rangeStart_ = f.previousI();
        else if (view_.selectedPoint() == view_.tracePoint2())
            rangeEnd_ = f.previousI();
        if (view_.selectedPoint())
            view_.selectedPoint()->setInfo(f.pointAt(value));
    } else if (fingerCount_ == 2) {
        stepRange();
    }
    view_.needsDisplay();
}

void GestureTracker::touchesEnded(const std::vector<Touch>& changed)
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

    if (fingerCount_ == 1 && hasFirst) {
        const Touch t = fingers_[*firstTouch_];
        if (t.tapCount == 1) {
            tapEnded(t);
            forgetEnded(T);
            return;
        }
        if (t.tapCount == tapsToToggleBars(view_.showHideUI()))
            view_.showHideInterface();
    }

    if (view_.tracing()) {
        if (view_.currentFunction() && fingerCount_ == 1 && hasFirst) {
            if (view_.selectedPoint() == view_.tracePoint1() || view_.selectedPoint() == view_.tracePoint2()) {
                view_.setSelectedPoint(nullptr);
            } else {
                const double value = view_.currentFunction()->varValueForPoint(positionOf(firstTouch_), kTouchEnded);
                if (view_.selectedPoint())
                    view_.selectedPoint()->setInfo(view_.currentFunction()->pointAt(value));
            }
            firstTouch_.reset();
            fingerCount_ = 0;
            view_.needsDisplay();
        } else if (view_.currentFunction() && fingerCount_ == 2) {
            stepRange();
            if (hasFirst && hasSecond) {
                firstTouch_.reset();
                secondTouch_.reset();
                fingerCount_ = 0;
            } else {
                // The finger left down keeps the range end that carries its
                // value, with its continuation state.
                const bool remainingIsFirst = !hasFirst;
                const bool inTp1 = remainingIsFirst != rangeSwapped_;
                if (inTp1 && !remainingIsFirst)
                    rangeStart_ = rangeEnd_;
                else if (!inTp1 && remainingIsFirst)
                    rangeEnd_ = rangeStart_;
                view_.setSelectedPoint(inTp1 ? view_.tracePoint1() : view_.tracePoint2());
                firstTouch_ = remainingIsFirst ? firstTouch_ : secondTouch_;
                secondTouch_.reset();
                fingerCount_ = 1;
            }
            view_.needsDisplay();
        } else {
            firstTouch_.reset();
            secondTouch_.reset();
            fingerCount_ = 0;
        }
        forgetEnded(T);
        return;
    }

    if (fingerCount_ == 1 && hasFirst) {
        commitPan();
        fingerCount_ = 0;
        view_.redraw();
    } else if (fingerCount_ == 2) {
        const PointF p = positionOf(firstTouch_);
        applyPinch(p, pinchFactor(p, positionOf(secondTouch_)));
        view_.viewStateToChange().commit();
        if (hasFirst && hasSecond) {
            firstTouch_.reset();
            secondTouch_.reset();
            fingerCount_ = 0;
            view_.viewStateToChange().resetLayer();
            view_.redraw();
        } else {
            if (hasFirst)
                firstTouch_ = secondTouch_;
            secondTouch_.reset();
            fingerCount_ = 1;
            stepStart_ = positionOf(firstTouch_);
            if (view_.viewStateToChange().pinchCovers()) {
                view_.needsDisplay();
            } else {
                view_.viewStateToChange().resetLayer();
                view_.redraw();
            }
        }
    }
    forgetEnded(T);
}

void GestureTracker::tapEnded(const Touch& t)
{
    const PointF p = t.location;
    // The marked points near the tap: those in the 10-unit bucket of squared
    // distance nearest to it, within about 28 points.
    std::vector<std::shared_ptr<specialPoint>> candidates;
    if (view_.currentFunction()) {
        double m = 800;
        for (const auto& obj : view_.currentFunction()->info()) {
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
    const bool rangeEnd = view_.selectedPoint() && (view_.selectedPoint() == view_.tracePoint1() ||
                                                    view_.selectedPoint() == view_.tracePoint2());
    if (!candidates.empty()) {
        // Repeated taps cycle through points at the same distance.
        const auto& c = candidates[markTaps_ % candidates.size()];
        if (rangeEnd) {
            view_.selectedPoint()->setInfo(c->info());
            ++markTaps_;
            finishTap();
            return;
        }
        if (view_.tracing()) {
            view_.tracePoint()->setInfo(c->info());
            view_.setSelectedPoint(view_.tracePoint());
        } else {
            view_.setSelectedPoint(c);
        }
        ++markTaps_;
    } else {
        if (rangeEnd) {
            finishTap();
            return;
        }
        if (t.timestamp - traceStartTime_ < kQuickTap || view_.selectedPoint() != view_.tracePoint())
            view_.setSelectedPoint(nullptr);
    }
    view_.tracePoint1()->setInfo(myPointInfo{});
    view_.tracePoint2()->setInfo(myPointInfo{});
    finishTap();
}

// The view moved by the first finger (and scaled by the pinch before it)
// becomes the committed one; the finger is let go.
void GestureTracker::commitPan()
{
    const PointF p = positionOf(firstTouch_);
    view_.viewStateToChange().panBy(p.x - stepStart_.x, p.y - stepStart_.y);
    view_.viewStateToChange().commit();
    view_.viewStateToChange().resetLayer();
    firstTouch_.reset();
}

void GestureTracker::finishTap()
{
    if (view_.viewStateToChange().movedSinceSampling() && !view_.tracing()) {
        commitPan();
        view_.redraw();
    } else {
        firstTouch_.reset();
        view_.needsDisplay();
    }
    fingerCount_ = 0;
}

} // namespace orlix
