#include "orlix/tap_counter.h"

#include <cmath>

namespace orlix {

int TapCounter::down(int id, PointF p, double t)
{
    const bool again = lastLift_ >= 0 && t - lastLift_ < kMultiTapTime &&
                       std::hypot(double(p.x) - lastLiftAt_.x, double(p.y) - lastLiftAt_.y) < kMultiTapDistance;
    return taps_[id] = again ? lastTaps_ + 1 : 1;
}

int TapCounter::taps(int id) const
{
    const auto it = taps_.find(id);
    return it == taps_.end() ? 1 : it->second;
}

int TapCounter::up(int id, PointF p, double t)
{
    const int n = taps(id);
    lastLift_ = t;
    lastLiftAt_ = p;
    lastTaps_ = n;
    taps_.erase(id);
    return n;
}

} // namespace orlix
