#include "orlix/column_trace.h"

#include <algorithm>
#include <cmath>

namespace orlix::curve {

namespace {

// Point evaluations one step may spend on its hidden extremes.
constexpr int kSplitBudget = 64;
// Halvings that look for a hidden extreme: a step of two device pixels is
// looked at in sixty-fourths of a pixel at most.
constexpr int kBandDepth = 7;
// Halvings that pin a jump, a pole or the end of a domain down: far below
// a pixel at any zoom the view allows.
constexpr int kPinDepth = 48;

bool defined(double v) { return !std::isnan(v); }

} // namespace

struct ColumnTracer::Work {
    std::vector<TracePoint> points;
    int splits = 0;
    bool breakNext = false;
    // The slope over the whole step, when the caller knew it.
    const Interval* stepSlope = nullptr;

    void add(double v, double value)
    {
        points.push_back(TracePoint{v, value, breakNext});
        breakNext = false;
    }
};

ColumnDetail ColumnTracer::trace(double a, double fa, double b, double fb, const Interval* slope) const
{
    ColumnDetail detail;
    if (!(a < b) || !enclosable)
        return detail;
    Work w;
    w.stepSlope = slope;
    refine(w, a, fa, b, fb, 0);
    detail.unknown = false;
    detail.breakAfter = w.breakNext;
    // Within one step a run between two breaks needs no more than its ends,
    // its lowest point and its highest: together they ink all it sweeps.
    std::vector<TracePoint> kept;
    for (std::size_t start = 0; start < w.points.size();) {
        std::size_t end = start + 1;
        while (end < w.points.size() && !w.points[end].breakBefore)
            ++end;
        if (end - start <= 4) {
            kept.insert(kept.end(), w.points.begin() + static_cast<long>(start),
                        w.points.begin() + static_cast<long>(end));
        } else {
            std::size_t low = start, high = start;
            for (std::size_t k = start; k < end; ++k) {
                if (w.points[k].value < w.points[low].value)
                    low = k;
                if (w.points[k].value > w.points[high].value)
                    high = k;
            }
            std::size_t picks[] = {start, std::min(low, high), std::max(low, high), end - 1};
            std::sort(std::begin(picks), std::end(picks));
            for (std::size_t k = 0; k < 4; ++k)
                if (k == 0 || picks[k] != picks[k - 1])
                    kept.push_back(w.points[picks[k]]);
        }
        start = end;
    }
    if (kept.size() > static_cast<std::size_t>(ColumnDetail::maxPoints)) {
        // More breaks in one step than a pixel can show: the pieces found
        // first stand, and the stroke breaks after them.
        kept.resize(ColumnDetail::maxPoints);
        detail.breakAfter = true;
    }
    detail.points = std::move(kept);
    return detail;
}

void ColumnTracer::refine(Work& w, double a, double fa, double b, double fb, int depth) const
{
    const Interval e = enclosure(a, b);
    // No value anywhere inside: nothing to draw, and the stroke breaks.
    if (e.empty()) {
        w.breakNext = true;
        return;
    }
    const double m = a + (b - a) / 2;
    const bool pinned = depth >= kPinDepth || m <= a || m >= b;
    if (e.clean() && defined(fa) && defined(fb)) {
        // The chord between the ends sweeps every value between them, and
        // the curve, continuous here, reaches each of them: it needs no
        // more points unless the curve goes beyond the ends' values.
        const double lo = std::min(fa, fb) - tolerance, hi = std::max(fa, fb) + tolerance;
        if (e.lo >= lo && e.hi <= hi)
            return;
        if (slopeEnclosure &&
            holdsChord(depth == 0 && w.stepSlope ? *w.stepSlope : slopeEnclosure(a, b), a, fa, b, fb, lo, hi))
            return;
        if (depth >= kBandDepth || w.splits >= kSplitBudget || pinned)
            return;
    } else if (pinned || w.splits >= kSplitBudget) {
        breakBetween(w, fa, fb);
        return;
    }
    ++w.splits;
    const double fm = valueAt(m);
    refine(w, a, fa, m, fm, depth + 1);
    if (defined(fm))
        w.add(m, fm);
    else
        w.breakNext = true;
    refine(w, m, fm, b, fb, depth + 1);
}

// Whether the curve stays within [lo, hi] over [a, b] by its slope: a
// slope of one sign makes it monotone (its values those between the ends);
// otherwise the mean value form, f(m) + f′([a, b])·([a, b] − m), bounds it.
bool ColumnTracer::holdsChord(const Interval& d, double a, double fa, double b, double fb, double lo, double hi) const
{
    if (!d.clean() || !d.bounded())
        return false;
    if (d.lo > 0 || d.hi < 0)
        return true;
    const double half = (b - a) / 2;
    const double spread = std::max(std::fabs(d.lo), std::fabs(d.hi)) * half * (1 + 1e-12);
    const double mid = (fa + fb) / 2;
    // The chord's middle stands for f(m) within the same spread.
    return mid - 2 * spread >= lo && mid + 2 * spread <= hi;
}

// A step too narrow to halve that may hold a jump, a pole or the end of a
// domain: the stroke breaks here unless the values on its two sides meet.
// Both ends are points of the trace already (the one before drawn, the one
// after to come), so each side's piece ends within the step.
void ColumnTracer::breakBetween(Work& w, double fa, double fb) const
{
    if (defined(fa) && defined(fb) &&
        (std::fabs(fb - fa) <= tolerance || (fa > far && fb > far) || (fa < -far && fb < -far)))
        return;
    w.breakNext = true;
}

} // namespace orlix::curve
