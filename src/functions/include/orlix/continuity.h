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

// The finer look: whether the curve through (v0, y0) and (v1, y1) is
// discontinuous between them. The interval is halved, keeping the half with
// the larger step; on a continuous curve that step soon falls to a fraction
// of the first one (a steep one just takes a few more halvings), while across
// a jump it keeps its height and across a pole it grows, until the halves can
// no longer be split. A value that is not a finite number between them is a
// gap of its own. `valueAt` evaluates the curve at a variable value.
template <class ValueAt> bool jumpsBetween(double v0, double y0, double v1, double y1, ValueAt&& valueAt)
{
    // Enough halvings to exhaust the precision of any interval of doubles.
    constexpr int kMaxHalvings = 64;
    const double firstStep = std::fabs(y1 - y0);
    if (!(firstStep > 0))
        return false;
    double a = v0, fa = y0, b = v1, fb = y1;
    for (int k = 0; k < kMaxHalvings; ++k) {
        const double m = a + (b - a) / 2;
        if (m == a || m == b)
            return true; // nothing left between them and still a step
        const double fm = valueAt(m);
        if (!std::isfinite(fm))
            return true;
        const double left = std::fabs(fm - fa);
        const double right = std::fabs(fb - fm);
        double step;
        if (left >= right) {
            b = m;
            fb = fm;
            step = left;
        } else {
            a = m;
            fa = fm;
            step = right;
        }
        if (step <= firstStep / 4)
            return false;
    }
    return true;
}

} // namespace orlix
