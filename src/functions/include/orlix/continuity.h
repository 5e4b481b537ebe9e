// Where a sampled curve must not be joined: a pole or a jump between two
// neighbouring samples. Shared by every kind that samples a value along a
// variable, so each draws its breaks the same way.
#pragma once

#include <algorithm>
#include <cmath>

namespace orlix {

// Device points a step between two samples must rise before it is looked at
// more closely: a jump this small would not show as a wrong line.
inline constexpr double kVisibleJumpPoints = 12;

// The cheap test every pair of samples gets, for the step from y1 to y2 with
// y0 before and y3 after them: both values are numbers, the step is taller
// than `visibleJump` (in the values' units) and it is out of line with the
// steps beside it. Across an odd pole the curve runs against the steps on
// both sides; a jump stands taller than both. A steep but smooth curve
// changes its steps gradually and so is passed without a closer look.
inline bool stepIsSuspicious(double y0, double y1, double y2, double y3, double visibleJump)
{
    if (!std::isfinite(y1) || !std::isfinite(y2))
        return false;
    const double step = y2 - y1;
    if (!(std::fabs(step) > visibleJump))
        return false;
    const double before = y1 - y0;
    const double after = y3 - y2;
    if (!std::isfinite(before) || !std::isfinite(after))
        return true; // at an end of the samples or next to a gap
    if (step * before < 0 && step * after < 0)
        return true;
    return std::fabs(step) > 2 * std::max(std::fabs(before), std::fabs(after));
}

// Follows the larger change between (a, fa) and (b, fb) down: the interval
// is split at the fraction `split` of its width and the part with the
// larger change is kept, until `settled` accepts the change left (the curve
// is continuous there). A value that is not a finite number, an interval
// that can no longer be split while the change is still large, or
// `maxSplits` splits without settling mean a jump, a pole or a gap.
template <class ValueAt, class Settled>
bool settlesBetween(double a, double fa, double b, double fb, double split, int maxSplits, ValueAt&& valueAt,
                    Settled&& settled)
{
    for (int k = 0; k < maxSplits; ++k) {
        if (settled(std::fabs(fb - fa)))
            return true;
        const double m = a + split * (b - a);
        if (!(m > std::min(a, b) && m < std::max(a, b)))
            return false;
        const double fm = valueAt(m);
        if (!std::isfinite(fm))
            return false;
        if (std::fabs(fm - fa) >= std::fabs(fb - fm)) {
            b = m;
            fb = fm;
        } else {
            a = m;
            fa = fm;
        }
    }
    return false;
}

// The finer look of the drawing: whether the curve through (v0, y0) and
// (v1, y1) is discontinuous between them. Halving, a continuous curve's
// larger half-step soon falls to a quarter of the first step (a steep one
// just takes a few more halvings), while across a jump it keeps its height
// and across a pole it grows. `valueAt` evaluates the curve at a variable
// value.
template <class ValueAt> bool jumpsBetween(double v0, double y0, double v1, double y1, ValueAt&& valueAt)
{
    // Enough halvings to exhaust the precision of any interval of doubles.
    constexpr int kMaxHalvings = 64;
    const double firstStep = std::fabs(y1 - y0);
    if (!(firstStep > 0))
        return false;
    return !settlesBetween(v0, y0, v1, y1, 0.5, kMaxHalvings, valueAt,
                           [&](double step) { return step <= firstStep / 4; });
}

} // namespace orlix
