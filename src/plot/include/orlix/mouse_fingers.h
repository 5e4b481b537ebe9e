// The mouse as fingers on the plane, for every shell. The primary button is
// one finger. The secondary button, or Shift with the primary button in trace
// mode, is a click or, once dragged farther than a click, a range: two
// fingers, one held where the button went down and one at the pointer. In
// move mode such a drag does nothing; a secondary click asks for the menu.
#pragma once

#include "orlix/canvas.h"
#include "orlix/function.h"

namespace orlix {

class plotView;

class MouseFingers {
  public:
    // The finger id a mouse is handed along as.
    static constexpr int kMouseID = -1;
    // The second finger of a range set with the mouse.
    static constexpr int kMouseRangeID = -2;
    // A press and release closer than this (points) is a click.
    static constexpr double kClickSlop = 4;

    enum class Button { primary, secondary, other };
    // What a release asks of the shell.
    enum class Outcome {
        none,
        gestureEnded, // a drag or a range ended: the view may have moved
        menu,         // a secondary click: the plot's menu
    };

    explicit MouseFingers(plotView& view) : view_(view) {}

    // A button went down at `at` (points), time t in seconds; taps is the
    // primary finger's tap count. A press while another button is held is
    // ignored.
    void press(Button button, bool shift, PointF at, double t, int taps = 1);
    // The second press of a double-click, as a toolkit reports it: after a
    // press, or alone. The primary finger's tap is a double tap.
    void doubleClick(Button button, bool shift, PointF at, double t);
    void move(PointF at, double t);
    Outcome release(Button button, PointF at, double t);
    // A button is held.
    bool active() const { return gesture_ != Gesture::none; }

  private:
    enum class Gesture {
        none,         // no button down
        finger,       // the primary button: one finger
        rangePending, // a click or a range, not yet moved
        range,        // dragged in trace mode: two fingers
        ignored,      // a range's drag in move mode: nothing
    };

    void finger(PointF at, TouchPhase phase, double t);
    void rangeFingers(PointF pointer, TouchPhase phase, double t);

    plotView& view_;
    Gesture gesture_ = Gesture::none;
    Button button_ = Button::other;
    int taps_ = 1;
    PointF pressAt_{};
};

} // namespace orlix
