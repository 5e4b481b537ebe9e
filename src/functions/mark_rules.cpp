#include "orlix/mark_rules.h"

#include "orlix/continuity.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>

namespace orlix::markRules {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Relative size below which a value counts as zero against its neighbours.
constexpr double kZeroRelative = 1e-11;
// A change this small against the values means "no jump" at the finest
// interval the bisection reaches.
constexpr double kSettledRelative = 1e-6;
// Probes around a point may spread over this part of the scale.
constexpr double kPointSpread = 1e-3;
// Splitting intervals off-centre keeps probes off the round places (0, the
// integers) where removable singularities and symmetric poles sit.
constexpr double kSplit = 0.4142135623730951;
constexpr int kMaxSplits = 200;

bool oppositeSigns(double p, double q) { return (p < 0 && q > 0) || (p > 0 && q < 0); }

bool within(double v, double a, double b) { return v >= std::min(a, b) && v <= std::max(a, b); }

// The lowest (or highest) place of f on [a, b] by golden-section search; NaN
// values count as worst. At most `splits` steps.
template <class F> double goldenExtreme(const F& f, double a, double b, bool minimum, int splits = kMaxSplits)
{
    return goldenLeast([&](double v) { return minimum ? f(v) : -f(v); }, a, b, splits).first;
}

} // namespace

bool isZero(double value, double scale) { return value == 0 || std::fabs(value) <= kZeroRelative * scale; }

int turnAfter(std::span<const double> values, int i)
{
    const int n = static_cast<int>(values.size());
    if (i < 1 || i + 1 >= n)
        return 0;
    const double y0 = values[i - 1], y1 = values[i], y2 = values[i + 1];
    if ((y1 - y0) * (y2 - y1) < 0)
        return i + 1;
    if (y2 == y1 && y1 != y0 && i + 2 < n && (y1 - y0) * (values[i + 2] - y2) < 0)
        return i + 2;
    return 0;
}

bool isZeroSample(std::span<const double> values, int i)
{
    const int n = static_cast<int>(values.size());
    if (i < 0 || i >= n || !std::isfinite(values[i]))
        return false;
    // Zero against the smaller neighbour: beside a pole or an exponential
    // climb the larger one dwarfs any value, however far from zero.
    double scale = std::numeric_limits<double>::infinity();
    for (int j : {i - 1, i + 1}) {
        if (j < 0 || j >= n || !std::isfinite(values[j]))
            continue;
        if (values[j] == 0)
            return false;
        scale = std::min(scale, std::fabs(values[j]));
    }
    if (std::isinf(scale))
        return false;
    // A tail on its way to zero (a narrow bump's, far out) is tiny against
    // the sample before it, yet the next one is smaller still: no root.
    if (i > 0 && i + 1 < n) {
        const double before = values[i - 1], value = values[i], after = values[i + 1];
        const bool oneSign = (before > 0 && value > 0 && after > 0) || (before < 0 && value < 0 && after < 0);
        const double b = std::fabs(before), v = std::fabs(value), a = std::fabs(after);
        if (oneSign && ((b > v && v > a) || (b < v && v < a)))
            return false;
    }
    return scale > 0 && isZero(values[i], scale);
}

namespace {

// No jump on [a, b]: the sub-interval with the larger change is followed
// down until the change is small against the values. A pole whose sides
// rise alike (1/x², ln(x²)) can slip out of this path.
bool noJumpOn(const Probe& f, double a, double b)
{
    const double lo = std::min(a, b), hi = std::max(a, b);
    const double flo = f(lo), fhi = f(hi);
    if (!std::isfinite(flo) || !std::isfinite(fhi))
        return false;
    const double settled = kSettledRelative * std::max({std::fabs(flo), std::fabs(fhi), std::fabs(fhi - flo)});
    return settlesBetween(lo, flo, hi, fhi, kSplit, kMaxSplits, f, [&](double change) { return change <= settled; });
}

} // namespace

bool continuousOn(const Probe& f, double a, double b)
{
    if (!noJumpOn(f, a, b))
        return false;
    // Where |f| is largest a pole would be: f must settle there too. Forty
    // golden steps bring the place within a billionth of the interval.
    const double fa = f(a), fb = f(b);
    const double scale = std::max({std::fabs(fa), std::fabs(fb), std::fabs(fb - fa)});
    const double highest = goldenExtreme([&](double v) { return std::fabs(f(v)); }, a, b, false, 45);
    return continuousAt(f, highest, std::fabs(b - a), scale);
}

bool continuousAt(const Probe& f, double p, double width, double scale)
{
    if (!std::isfinite(p) || !(width > 0))
        return false;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    int probes = 0;
    double h = std::fabs(width) * 1e-8;
    for (int level = 0; level < 8; ++level, h *= 0.1) {
        const double left = p - h, right = p + h;
        if (left == p || right == p)
            break;
        for (double v : {f(left), f(right)}) {
            if (!std::isfinite(v))
                return false;
            low = std::min(low, v);
            high = std::max(high, v);
            ++probes;
        }
    }
    return probes > 0 && high - low <= kPointSpread * scale;
}

void fillRemovableHoles(const Probe& f, std::span<const double> vars, std::span<double> vals)
{
    const std::size_t n = vals.size();
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (!std::isnan(vals[i]) || !std::isfinite(vals[i - 1]) || !std::isfinite(vals[i + 1]))
            continue;
        const double left = f.program->findLimitAtPoint(vars[i], f.cell, true);
        const double right = f.program->findLimitAtPoint(vars[i], f.cell, false);
        const double scale = std::max({std::fabs(vals[i - 1]), std::fabs(vals[i + 1]), std::fabs(left), 1e-300});
        if (std::isfinite(left) && std::isfinite(right) && std::fabs(left - right) <= kSettledRelative * scale)
            vals[i] = (left + right) / 2;
    }
}

std::optional<double> rootAtDomainEnd(const Probe& f, double inside, double outside, double scale)
{
    // Wherever f is undefined the bisection keeps that side: it ends on the
    // last place that is defined.
    double in = inside, out = outside;
    double value = f(in);
    if (!std::isfinite(value) || !std::isnan(f(out)))
        return std::nullopt;
    for (int k = 0; k < 200; ++k) {
        const double mid = in + (out - in) / 2;
        if (mid == in || mid == out)
            break;
        const double v = f(mid);
        if (std::isnan(v)) {
            out = mid;
        } else {
            in = mid;
            value = v;
        }
    }
    // A square root's end is zero to about half the digits of the place.
    if (std::isfinite(value) && std::fabs(value) <= 1e-6 * scale)
        return in;
    return std::nullopt;
}

std::optional<double> crossingRoot(const Probe& f, double a, double b)
{
    StackMachine::setBadRoot(kNaN);
    double r = f.program->findRootBetweenVar1(a, b, f.cell);
    if (std::isnan(r)) {
        // The engine wants |f| < 0.001 where the sign changes; a function of
        // large values never gets there, yet changes sign continuously.
        const double bad = StackMachine::badRoot();
        if (std::isnan(bad) || !within(bad, a, b))
            return std::nullopt;
        r = bad;
    }
    if (!continuousOn(f, a, b))
        return std::nullopt;
    return r;
}

namespace {

// f at x, or its limit there where f is undefined (0/0) and both sides agree.
double valueOrLimit(const Probe& f, double x)
{
    const double v = f(x);
    if (std::isfinite(v))
        return v;
    const double left = f.program->findLimitAtPoint(x, f.cell, true);
    const double right = f.program->findLimitAtPoint(x, f.cell, false);
    const double scale = std::max(std::fabs(left), std::fabs(right));
    return std::fabs(left - right) <= kSettledRelative * scale ? left : kNaN;
}

} // namespace

std::optional<Extremum> extremumBetween(const Probe& f, const Probe& df, double a, double m, double b, bool minimum)
{
    // A sample on a removable hole (sin(x)/x at 0) stands for its limit.
    const double fa = valueOrLimit(f, a), fm = valueOrLimit(f, m), fb = valueOrLimit(f, b);
    if (!std::isfinite(fa) || !std::isfinite(fm) || !std::isfinite(fb))
        return std::nullopt;
    const double scale =
        std::max({std::fabs(fa), std::fabs(fm), std::fabs(fb), std::fabs(fm - fa), std::fabs(fb - fm)});
    // The place found must be at least as extreme as the middle sample.
    const double slack = 1e-12 * scale;
    auto extreme = [&](double value) {
        return std::isfinite(value) && (minimum ? value <= fm + slack : value >= fm - slack);
    };
    // The value at a place where f itself is undefined (0/0) is its limit,
    // when both sides agree.
    auto valueAt = [&](double x) {
        const double v = f(x);
        if (std::isfinite(v))
            return v;
        const double left = f.program->findLimitAtPoint(x, f.cell, true);
        const double right = f.program->findLimitAtPoint(x, f.cell, false);
        return std::fabs(left - right) <= kSettledRelative * scale ? left : kNaN;
    };

    std::optional<Extremum> found;
    if (df) {
        StackMachine::setBadRoot(kNaN);
        const double r = df.program->findRootBetweenVar1(a, b, df.cell);
        if (!std::isnan(r)) {
            found = Extremum{r, valueAt(r), true};
        } else {
            // Where the derivative's bisection stopped without a root, it
            // jumps: a corner, a cusp, or a pole.
            const double bad = StackMachine::badRoot();
            if (!std::isnan(bad) && within(bad, a, b))
                found = Extremum{bad, valueAt(bad), false};
        }
    }
    if (!found || !extreme(found->value)) {
        const double x = goldenExtreme(f, a, b, minimum);
        found = Extremum{x, valueAt(x), false};
        if (!extreme(found->value))
            return std::nullopt;
    }
    // A pole or a jump turns the samples too, but it is no extremum.
    if (!continuousOn(f, a, b) || !continuousAt(f, found->at, b - a, scale))
        return std::nullopt;
    return found;
}

std::optional<double> inflectionBetween(const Probe& f, const Probe& df, const Probe& ddf, double a, double b)
{
    StackMachine::setBadRoot(kNaN);
    double r = ddf.program->findRootBetweenVar1(a, b, ddf.cell);
    const double width = std::fabs(b - a);
    if (std::isnan(r)) {
        // f'' may change sign without passing through small values (x·|x|)
        // or through infinity (x·√|x|): its bisection stops at the change.
        const double bad = StackMachine::badRoot();
        if (std::isnan(bad) || !within(bad, a, b))
            return std::nullopt;
        const double h = width * 1e-9;
        if (!oppositeSigns(ddf(bad - h), ddf(bad + h)))
            return std::nullopt;
        r = bad;
    }
    // The second derivative must be clearly non-zero at both ends: on a
    // straight line it is rounding noise of either sign.
    if (!(std::fabs(ddf(a)) >= 1e-13 && std::fabs(ddf(b)) >= 1e-13))
        return std::nullopt;
    // Across a jump of f (or a corner, a jump of f') the bend changes
    // without an inflection.
    if (!continuousOn(f, a, b) || !continuousOn(df, a, b))
        return std::nullopt;
    const double fa = f(a), fb = f(b);
    if (!continuousAt(f, r, width, std::max({std::fabs(fa), std::fabs(fb), std::fabs(fb - fa)})))
        return std::nullopt;
    return r;
}

namespace {

// A cusp on the axis (√|x| at 0) is found only to the ulps of its place, where
// f is far from zero against its neighbours (√(10⁻¹⁶) is 10⁻⁸). It touches the
// axis when f's enclosure around the place found, a 2⁻⁴⁰th of the turn's
// width each way (far more than the bisection leaves), holds 0; the root is
// where |f| is least there.
std::optional<double> cuspOnAxis(const Probe& f, double at, double width)
{
    const double reach = std::ldexp(width, -40);
    const Interval e = f.program->enclose(f.cell, at - reach, at + reach);
    if (!e.contains(0) || !e.bounded())
        return std::nullopt;
    const double r = goldenLeast([&](double v) { return std::fabs(f(v)); }, at - reach, at + reach, 80).first;
    return std::isfinite(f(r)) ? std::optional<double>(r) : std::nullopt;
}

} // namespace

std::vector<double> rootsAtTurn(const Probe& f, const Probe& df, std::span<const double> vars,
                                std::span<const double> vals, int i, int end)
{
    std::vector<double> roots;
    const bool minimum = vals[i] < vals[i - 1];
    if (minimum ? !(vals[i] > 0) : !(vals[i] < 0))
        return roots;
    // Between samples a curve dips below its lowest sample by about the
    // changes it shows there; a turn higher up cannot reach the axis.
    const double change = std::max(std::fabs(vals[i] - vals[i - 1]), std::fabs(vals[end] - vals[i]));
    if (!(std::fabs(vals[i]) <= 2 * change))
        return roots;
    const auto e = extremumBetween(f, df, vars[i - 1], vars[i], vars[end], minimum);
    if (!e)
        return roots;
    // A turn that touches the axis is zero against both sides of it (the
    // larger may be an exponential's climb, which says nothing).
    const double scale = std::min(std::fabs(vals[i - 1]), std::fabs(vals[end]));
    if (isZero(e->value, scale)) {
        roots.push_back(e->at);
    } else if (auto r = !e->smooth ? cuspOnAxis(f, e->at, vars[end] - vars[i - 1]) : std::nullopt) {
        roots.push_back(*r);
    } else if ((e->value < 0) != (vals[i] < 0)) {
        if (auto r = crossingRoot(f, vars[i - 1], e->at))
            roots.push_back(*r);
        if (auto r = crossingRoot(f, e->at, vars[end]))
            roots.push_back(*r);
    }
    return roots;
}

namespace {

// A step is split a little before its middle: sub-samples stay off the
// round places (0, the integers, the step's own grid) where removable
// holes and exact zeros sit.
constexpr double kStepSplit = 0.4603;

// No zero of g over a part: the enclosure keeps clear of it, or lies within
// the noise around it (where signs mean nothing), or has no value at all.
bool clearOfZero(const Interval& e, double noise)
{
    return e.empty() || e.lo > 0 || e.hi < 0 || (e.lo >= -noise && e.hi <= noise);
}

} // namespace

std::vector<std::pair<int, int>> StepSamples::signChanges() const
{
    std::vector<std::pair<int, int>> changes;
    const int n = static_cast<int>(vals.size());
    for (int j = 1; j < n; ++j) {
        if (oppositeSigns(vals[j - 1], vals[j]))
            changes.emplace_back(j - 1, j);
        else if (vals[j] == 0 && j + 1 < n && oppositeSigns(vals[j - 1], vals[j + 1]))
            changes.emplace_back(j - 1, j + 1);
    }
    return changes;
}

std::optional<StepSamples> refineStep(const Probe& g, const Probe& dg, double a, double ga, double b, double gb,
                                      double noise)
{
    if (!g || !(a < b))
        return std::nullopt;
    const Interval whole = g.program->enclose(g.cell, a, b);
    if (clearOfZero(whole, noise))
        return std::nullopt;
    if (std::isnan(ga))
        ga = g(a);
    if (std::isnan(gb))
        gb = g(b);
    // A step with an end where g has no value is left to the samples.
    if (!std::isfinite(ga) || !std::isfinite(gb))
        return std::nullopt;
    // Everything over the step is what a pole inside gives, or what a
    // program with no enclosure gives anywhere: only the former tells.
    if (whole.isEverything() && !g.program->enclosable())
        return std::nullopt;
    StepSamples s;
    s.vars = {a, b};
    s.vals = {ga, gb};
    // g is monotone over [lo, hi]: a zero there shows as a change of sign
    // between its ends, and there is at most one.
    auto monotone = [&](const Interval& e, double lo, double hi) {
        if (!dg || !e.clean())
            return false;
        const Interval d = dg.program->enclose(dg.cell, lo, hi);
        return d.clean() && !d.empty() && !d.contains(0);
    };
    // Parts that may hold a zero, split level by level so that the splits
    // are shared out over the whole step.
    struct Part {
        double lo, hi;
        Interval e;
        int level;
    };
    std::deque<Part> parts{Part{a, b, whole, 0}};
    int splits = 0;
    while (!parts.empty() && splits < kMaxStepSplits) {
        const Part p = parts.front();
        parts.pop_front();
        if (p.level >= kMaxStepDepth || monotone(p.e, p.lo, p.hi))
            continue;
        const double mid = p.lo + kStepSplit * (p.hi - p.lo);
        if (!(mid > p.lo && mid < p.hi))
            continue;
        ++splits;
        s.vars.push_back(mid);
        s.vals.push_back(g(mid));
        for (const auto& [lo, hi] : {std::pair{p.lo, mid}, std::pair{mid, p.hi}}) {
            const Interval e = g.program->enclose(g.cell, lo, hi);
            if (!clearOfZero(e, noise))
                parts.push_back(Part{lo, hi, e, p.level + 1});
        }
    }
    // In order of the variable.
    std::vector<int> order(s.vars.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = static_cast<int>(k);
    std::sort(order.begin(), order.end(), [&](int p, int q) { return s.vars[p] < s.vars[q]; });
    StepSamples sorted;
    for (int k : order) {
        sorted.vars.push_back(s.vars[k]);
        sorted.vals.push_back(s.vals[k]);
    }
    return sorted;
}

} // namespace orlix::markRules
