#include "orlix/mouse_fingers.h"

#include <cmath>

#include "orlix/plot_plane.h"

namespace orlix {

void MouseFingers::finger(PointF at, TouchPhase phase, double t)
{
    const Touch touch{kMouseID, at, phase, taps_, t};
    switch (phase) {
    case kTouchBegan: view_.touchesBegan({touch}); break;
    case kTouchMoved: view_.touchesMoved({touch}); break;
    default: view_.touchesEnded({touch}); break;
    }
}

void MouseFingers::rangeFingers(PointF pointer, TouchPhase phase, double t)
{
    const Touch anchor{kMouseID, pressAt_, phase == kTouchMoved ? kTouchStationary : phase, 1, t};
    const Touch end{kMouseRangeID, pointer, phase, 1, t};
    switch (phase) {
    case kTouchBegan: view_.touchesBegan({anchor, end}); break;
    case kTouchMoved: view_.handleTouches({anchor, end}); break;
    default: view_.touchesEnded({anchor, end}); break;
    }
}

void MouseFingers::press(Button button, bool shift, PointF at, double t, int taps)
{
    if (gesture_ != Gesture::none || button == Button::other)
        return;
    if (button == Button::secondary || (shift && view_.tracing())) {
        // A click or a range: the first move farther than a click tells.
        gesture_ = Gesture::rangePending;
    } else {
        gesture_ = Gesture::finger;
        taps_ = taps;
        finger(at, kTouchBegan, t);
    }
    button_ = button;
    pressAt_ = at;
}

void MouseFingers::doubleClick(Button button, bool shift, PointF at, double t)
{
    if (gesture_ == Gesture::finger && button == Button::primary) {
        taps_ = 2;
        return;
    }
    if (gesture_ != Gesture::none)
        return;
    press(button, shift, at, t);
    // Begun as a single tap: the release carries the count that counts.
    if (gesture_ == Gesture::finger)
        taps_ = 2;
}

void MouseFingers::move(PointF at, double t)
{
    switch (gesture_) {
    case Gesture::finger: finger(at, kTouchMoved, t); break;
    case Gesture::rangePending:
        if (std::hypot(double(at.x) - pressAt_.x, double(at.y) - pressAt_.y) <= kClickSlop)
            break;
        // Only trace mode has ranges.
        if (!view_.tracing()) {
            gesture_ = Gesture::ignored;
            break;
        }
        gesture_ = Gesture::range;
        rangeFingers(at, kTouchBegan, t);
        break;
    case Gesture::range: rangeFingers(at, kTouchMoved, t); break;
    default: break;
    }
}

MouseFingers::Outcome MouseFingers::release(Button button, PointF at, double t)
{
    if (gesture_ == Gesture::none || button != button_)
        return Outcome::none;
    const Gesture gesture = gesture_;
    gesture_ = Gesture::none;
    button_ = Button::other;
    switch (gesture) {
    case Gesture::finger: finger(at, kTouchEnded, t); return Outcome::gestureEnded;
    case Gesture::rangePending:
        if (button == Button::secondary)
            return Outcome::menu;
        // A Shift+click is a click.
        taps_ = 1;
        finger(at, kTouchBegan, t);
        finger(at, kTouchEnded, t);
        return Outcome::none;
    case Gesture::range: rangeFingers(at, kTouchEnded, t); return Outcome::gestureEnded;
    default: return Outcome::none;
    }
}

} // namespace orlix
