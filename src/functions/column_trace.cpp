#include "orlix/column_trace.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

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
// Halvings after which a step that may hold a pole is left as it is once
// both its ends are off the view (beyond ±far): a sixteenth of the step, an
// eighth of a device pixel at most between the two pieces, and each piece
// already reaches past the view's edge.
constexpr int kOffViewDepth = 4;
// A step this narrow beside its ends (64 ulps) is not halved: the outward
// rounding of the enclosures reaches across both halves, so both would
// seem to hold what the whole does.
constexpr double kNarrowest = 0x1p-46;

bool defined(double v) { return !std::isnan(v); }

} // namespace

struct ColumnTracer::Work {
    std::vector<TracePoint> points;
    int splits = 0;
    bool breakNext = false;
    // The values and the slope over the whole step, when the caller knew
    // them.
    const Interval* stepValues = nullptr;
    const Interval* stepSlope = nullptr;

    void add(double v, double value)
    {
        points.push_back(TracePoint{v, value, breakNext});
        breakNext = false;
    }
};

ColumnDetail ColumnTracer::trace(double a, double fa, double b, double fb, const Interval* slope,
                                 const Interval* values) const
{
    ColumnDetail detail;
    if (!(a < b) || !enclosable)
        return detail;
    Work w;
    w.stepValues = values;
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

bool ColumnTracer::chordHolds(const Interval& values, double fa, double fb) const
{
    // The chord between the ends sweeps every value between them, and the
    // curve, continuous here, reaches each of them: it needs no more points
    // unless the curve goes beyond the ends' values.
    return values.clean() && defined(fa) && defined(fb) && values.lo >= std::min(fa, fb) - tolerance &&
           values.hi <= std::max(fa, fb) + tolerance;
}

bool ColumnTracer::offView(double v) const { return v > far || v < -far; }

void ColumnTracer::refine(Work& w, double a, double fa, double b, double fb, int depth) const
{
    const Interval e = depth == 0 && w.stepValues ? *w.stepValues : enclosure(a, b);
    // No value anywhere inside: nothing to draw, and the stroke breaks.
    if (e.empty()) {
        w.breakNext = true;
        return;
    }
    const double m = a + (b - a) / 2;
    const bool pinned =
        depth >= kPinDepth || m <= a || m >= b || b - a <= kNarrowest * std::max(std::fabs(a), std::fabs(b));
    if (e.clean() && defined(fa) && defined(fb)) {
        if (chordHolds(e, fa, fb))
            return;
        // Wholly beyond one edge of the view, and continuous: the drawing
        // takes the chord to the edge, and nothing of the curve shows.
        if (e.lo > far || e.hi < -far)
            return;
        const double lo = std::min(fa, fb) - tolerance, hi = std::max(fa, fb) + tolerance;
        if (slopeEnclosure &&
            holdsChord(depth == 0 && w.stepSlope ? *w.stepSlope : slopeEnclosure(a, b), a, fa, b, fb, lo, hi))
            return;
        if (depth >= kBandDepth || w.splits >= kSplitBudget || pinned)
            return;
    } else if (pinned || w.splits >= kSplitBudget || (depth >= kOffViewDepth && offView(fa) && offView(fb))) {
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

bool ColumnTracer::nearlyMonotone(const Interval& d, double width) const
{
    // With the slope at least d.lo < 0 over [a, b], f(x) ≥ f(a) + d.lo·(x − a)
    // and f(x) ≤ f(b) − d.lo·(b − x): the curve leaves its ends' values by
    // at most −d.lo·(b − a). Likewise with d.hi > 0 the other way.
    if (!d.clean() || !d.bounded())
        return false;
    return d.lo > 0 || d.hi < 0 || std::min(-d.lo, d.hi) * width <= tolerance;
}

// Whether the curve stays within [lo, hi] over [a, b] by its slope: a
// slope of one sign (or nearly) makes it monotone (its values those
// between the ends); otherwise the mean value form,
// f(m) + f′([a, b])·([a, b] − m), bounds it.
bool ColumnTracer::holdsChord(const Interval& d, double a, double fa, double b, double fb, double lo, double hi) const
{
    if (!d.clean() || !d.bounded())
        return false;
    if (nearlyMonotone(d, b - a))
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

void CurveSteps::trace(std::span<const double> vars, std::span<const double> vals, int from, int to,
                       std::span<ColumnDetail> columns) const
{
    const int n = static_cast<int>(std::min({vars.size(), vals.size(), columns.size()}));
    from = std::max(from, 0);
    to = std::min(to, n - 1);
    if (!program || !cell || from >= to)
        return;
    const CellRestore restoreCell(cell);
    ColumnTracer tracer;
    tracer.valueAt = [this](double v) {
        *cell = v;
        return program->evaluate();
    };
    tracer.enclosure = [this](double lo, double hi) { return program->enclose(cell, lo, hi); };
    if (slope)
        tracer.slopeEnclosure = [this](double lo, double hi) { return slope->enclose(cell, lo, hi); };
    tracer.enclosable = program->enclosable();
    tracer.far = far;
    tracer.tolerance = tolerance;
    // Past the budget the remaining steps keep their samples as they are.
    const StepBudget budget(stepBudget);
    const auto clear = [&](int j) {
        // Nothing between the samples; a column keeps its storage.
        ColumnDetail& c = columns[static_cast<size_t>(j)];
        c.unknown = c.breakAfter = false;
        c.points.clear();
    };
    const auto traceStep = [&](int j, const Interval* stepSlope, const Interval* stepValues = nullptr) {
        const auto at = static_cast<size_t>(j);
        if (budget.spent())
            columns[at] = ColumnDetail{};
        else
            columns[at] = tracer.trace(vars[at], vals[at], vars[at + 1], vals[at + 1], stepSlope, stepValues);
    };
    // What one pass works with, kept from pass to pass on its thread: a
    // redraw traces every curve, and allocating these anew cost a tenth of
    // a pass.
    thread_local std::vector<char> turns;
    thread_local std::vector<int> firsts, ends, nextFirsts, nextEnds, turning, traced;
    thread_local std::vector<double> lows, highs;
    thread_local std::vector<Interval> slopes, values, tracedValues;
    firsts.clear();
    ends.clear();
    turning.clear();
    traced.clear();
    values.clear();
    tracedValues.clear();
    // The enclosures of m over the runs of steps [firsts[k], ends[k]), or
    // over the single steps firsts[k] where there are no ends.
    const auto encloseBlock = [&](StackMachine* m, std::span<const int> firsts, std::span<const int> ends,
                                  std::vector<Interval>& out) {
        lows.clear();
        highs.clear();
        for (std::size_t k = 0; k < firsts.size(); ++k) {
            lows.push_back(vars[static_cast<size_t>(firsts[k])]);
            highs.push_back(vars[static_cast<size_t>(ends.empty() ? firsts[k] + 1 : ends[k])]);
        }
        out.resize(firsts.size());
        m->encloseRanges(cell, lows.data(), highs.data(), out.data(), static_cast<int>(firsts.size()));
    };

    // Where the samples turn (a sample beyond both its neighbours, or level
    // with one), the curve turns within the two steps beside it. Its slope
    // is near 0 there, too near for an enclosure over a run of steps to
    // keep one sign, so those steps are asked on their own; so are the
    // steps beside a sample without a value. A sample turns where the
    // rises before and after it are not of one sign (their product is not
    // positive, or NaN beside a gap); the curve's first and last samples
    // count as turns only without a value. So every run between turns has
    // its values.
    turns.resize(static_cast<size_t>(to - from + 1));
    const double* v = vals.data();
    char* turn = turns.data() - from;
    turn[from] = std::isnan(v[from]);
    turn[to] = std::isnan(v[to]);
    const int inFirst = std::max(from, 1), inLast = std::min(to, n - 2);
    if (inFirst <= inLast) {
        // Each rise is taken once, as the rise after one sample and then
        // before the next.
        double before = v[inFirst] - v[inFirst - 1];
        for (int i = inFirst; i <= inLast; ++i) {
            const double after = v[i + 1] - v[i];
            turn[i] = !(before * after > 0);
            before = after;
        }
    }

    // Between the turns a run of steps over which the slope keeps one sign
    // is monotone: every chord holds its step, and one enclosure of the
    // slope tells for all. Runs of at most kRun steps; a run that does not
    // hold (a turn hidden between two samples, a pole, a gap) is asked
    // again in quarters, and those down to single steps, which are traced.
    // The slopes over all the runs of one round are enclosed in one block.
    // Step j lies between samples j and j + 1.
    constexpr int kRun = 32;
    for (int j = from; j < to;) {
        if (turn[j] | turn[j + 1]) {
            turning.push_back(j++);
            continue;
        }
        // The steps up to the one before the next sample that turns.
        const auto* next =
            static_cast<const char*>(std::memchr(turn + j + 2, 1, static_cast<std::size_t>(std::max(to - j - 1, 0))));
        const int end = next ? static_cast<int>(next - turn) - 1 : to;
        for (; j < end; j = std::min(j + kRun, end)) {
            firsts.push_back(j);
            ends.push_back(std::min(j + kRun, end));
        }
    }
    // The widest of the steps [j, end).
    const auto widest = [&](int j, int end) {
        double width = 0;
        for (int s = j; s < end; ++s)
            width = std::max(width, vars[static_cast<size_t>(s + 1)] - vars[static_cast<size_t>(s)]);
        return width;
    };
    while (!firsts.empty()) {
        const bool enclosed = slope && !budget.spent();
        if (enclosed)
            encloseBlock(slope, firsts, ends, slopes);
        nextFirsts.clear();
        nextEnds.clear();
        for (std::size_t k = 0; k < firsts.size(); ++k) {
            const int j = firsts[k], end = ends[k];
            // The widths matter only where the slope's sign does not hold.
            const auto holds = [&](const Interval& d) {
                return tracer.nearlyMonotone(d, d.lo > 0 || d.hi < 0 ? 0.0 : widest(j, end));
            };
            if (enclosed && !budget.spent() && holds(slopes[k])) {
                for (int s = j; s < end; ++s)
                    clear(s);
            } else if (end - j > 1) {
                const int quarter = std::max((end - j + 3) / 4, 1);
                for (int first = j; first < end; first += quarter) {
                    nextFirsts.push_back(first);
                    nextEnds.push_back(std::min(first + quarter, end));
                }
            } else {
                traceStep(j, enclosed ? &slopes[k] : nullptr);
            }
        }
        firsts.swap(nextFirsts);
        ends.swap(nextEnds);
    }

    // The steps beside the turns: most stay within their ends' values and
    // half a pixel, which the formula's own enclosures tell in one block;
    // the others are traced, their slopes enclosed in one block too.
    if (turning.empty())
        return;
    if (!budget.spent())
        encloseBlock(program, turning, {}, values);
    for (std::size_t k = 0; k < turning.size(); ++k) {
        const auto at = static_cast<size_t>(turning[k]);
        if (values.empty()) {
            traced.push_back(turning[k]);
        } else if (tracer.chordHolds(values[k], vals[at], vals[at + 1])) {
            clear(turning[k]);
        } else {
            traced.push_back(turning[k]);
            tracedValues.push_back(values[k]);
        }
    }
    const bool enclosed = slope && !traced.empty() && !budget.spent();
    if (enclosed)
        encloseBlock(slope, traced, {}, slopes);
    for (std::size_t k = 0; k < traced.size(); ++k)
        traceStep(traced[k], enclosed ? &slopes[k] : nullptr, tracedValues.empty() ? nullptr : &tracedValues[k]);
}

} // namespace orlix::curve
