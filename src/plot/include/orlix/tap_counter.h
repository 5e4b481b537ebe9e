// Counts the taps of fingers on a touch screen, which reports each finger's
// going down and up but not double taps: a finger put down again soon, near
// where the last one left, continues that finger's taps. The shells count
// with it and hand the count to the plot view in each Touch.
#pragma once

#include <map>

#include "orlix/canvas.h"

namespace orlix {

class TapCounter {
  public:
    // Two taps this close in time (seconds) and place (points) make a double tap.
    static constexpr double kMultiTapTime = 0.35;
    static constexpr double kMultiTapDistance = 25;

    // Finger id went down at p at time t (seconds): its tap count.
    int down(int id, PointF p, double t);
    // The tap count of a finger that is down; 1 for one not seen going down.
    int taps(int id) const;
    // Finger id left at p at time t (lifted or cancelled): its tap count.
    int up(int id, PointF p, double t);

  private:
    double lastLift_ = -1;
    PointF lastLiftAt_{};
    int lastTaps_ = 0;
    std::map<int, int> taps_;
};

} // namespace orlix
