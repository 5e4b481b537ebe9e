// The fingers on the plot view and what they do: panning and pinching in
// move mode, tracing a point and a range in trace mode, taps on marked
// points and the bars' toggle gesture.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "orlix/function.h"
#include "orlix/plot_links.h"

namespace orlix {

class ViewState;
class specialPoint;

// Which gesture toggles the bars (stored as its number).
enum class BarsGesture {
    DoubleTap = 0,
    TripleTap = 1,
    ThreeFingers = 2,
    None = 3,
};

// What the gestures need of the view they act on.
class GestureHost {
  public:
    virtual ViewState& viewStateToChange() = 0;
    // Null when there is none.
    virtual Function* currentFunction() const = 0;
    virtual bool tracing() const = 0;
    virtual BarsGesture showHideUI() const = 0;
    // Shows or hides the bars.
    virtual void showHideInterface() = 0;
    virtual const std::shared_ptr<specialPoint>& tracePoint() const = 0;
    virtual const std::shared_ptr<specialPoint>& tracePoint1() const = 0;
    virtual const std::shared_ptr<specialPoint>& tracePoint2() const = 0;
    virtual const std::shared_ptr<specialPoint>& selectedPoint() const = 0;
    virtual void setSelectedPoint(std::shared_ptr<specialPoint> p) = 0;
    // A new frame from the function layer as it is.
    virtual void needsDisplay() = 0;
    // The curves sampled again for the window now.
    virtual void redraw() = 0;

  protected:
    ~GestureHost() = default;
};

class GestureTracker {
  public:
    // A trace-mode tap shorter than this (seconds) on empty space hides the
    // trace point.
    static constexpr double kQuickTap = 0.3;
    // A finger this close (points) to a range end picks that end up.
    static constexpr float kGrabDistance = 25;

    explicit GestureTracker(GestureHost& view);

    // The fingers that changed; cancelled fingers end like lifted ones.
    void touchesBegan(const std::vector<Touch>& changed);
    void touchesMoved(const std::vector<Touch>& changed);
    void touchesEnded(const std::vector<Touch>& changed);
    // Every finger of one toolkit event, whatever its phase: dispatched as
    // began, moved, ended in that order (stationary fingers only update
    // their position).
    void handleTouches(const std::vector<Touch>& all);

    // 0, 1 or 2 fingers being tracked.
    int fingerCount() const { return fingerCount_; }
    // Whether the first finger is down, and where it is (where the gesture
    // step began once it is gone).
    bool fingerDown() const { return fingerCount_ > 0 && firstTouch_.has_value(); }
    PointF firstFingerPosition() const { return positionOf(firstTouch_); }

    // Ends a tap: commits a pending move and redraws, or only redisplays.
    void finishTap();
    // Lets every finger go (their gesture belongs to another mode or
    // function).
    void letGo();
    // Forgets the range fingers' continuation state too.
    void forgetRange();

  private:
    void stepRange();
    double pinchFactor(PointF p, PointF q) const;
    void applyPinch(PointF p, double factor);
    void commitPan();
    bool tracked(const std::vector<Touch>& t, std::optional<int> id) const;
    const Touch* fingerOf(std::optional<int> id) const; // null when not tracked
    PointF positionOf(std::optional<int> id) const;
    TouchPhase phaseOf(std::optional<int> id) const;
    void remember(const std::vector<Touch>& t);
    void forgetEnded(const std::vector<Touch>& t);
    void tapEnded(const Touch& t);

    GestureHost& view_;
    int fingerCount_ = 0;
    std::optional<int> firstTouch_, secondTouch_;
    // Latest record of every finger on the view.
    std::map<int, Touch> fingers_;
    // Device position of the first finger when the gesture step began.
    PointF stepStart_{};
    // Finger distance at the start of a pinch step.
    double pinchStartDistance_ = 0;
    // Time stamp of the touch that started a single-finger trace; NaN
    // otherwise.
    double traceStartTime_;
    // Continuation state of the two range fingers, and whether the last
    // range step swapped the fingers' values.
    previousInfo_ rangeStart_{}, rangeEnd_{};
    bool rangeSwapped_ = false;
    // Counts taps on marks, to cycle through marks at the same distance.
    unsigned markTaps_ = 0;
};

} // namespace orlix
