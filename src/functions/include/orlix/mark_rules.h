// When a place between two samples earns a mark. The searches of every
// curve kind see their curve as a real function of one variable, sampled
// on a grid: these rules say whether a root, an extremum or an inflection
// lies between samples, refine it, and turn away what only looks like one
// (a decaying tail, a pole, a jump).
#pragma once

#include <cmath>
#include <optional>
#include <utility>
#include <span>
#include <vector>

#include "orlix/stack_machine.h"

namespace orlix {

// A compiled formula and the variable cell it reads.
struct Probe {
    StackMachine* program = nullptr;
    double* cell = nullptr;

    explicit operator bool() const { return program && cell; }
    // Evaluates at v (the cell is left at v).
    double operator()(double v) const
    {
        *cell = v;
        return program->evaluate();
    }
};

namespace markRules {

// The place in [lo, hi] where f is least, by golden-section search of at
// most `steps` steps, with f there; a value that is no number counts as
// the worst.
template <class F> std::pair<double, double> goldenLeast(F&& f, double lo, double hi, int steps)
{
    constexpr double golden = 0.6180339887498949;
    auto worse = [](double p, double q) { return std::isnan(p) || (!std::isnan(q) && p > q); };
    double x1 = hi - golden * (hi - lo), x2 = lo + golden * (hi - lo);
    double f1 = f(x1), f2 = f(x2);
    for (int k = 0; k < steps && x1 < x2 && lo < x1 && x2 < hi; ++k) {
        if (worse(f1, f2)) {
            lo = x1;
            x1 = x2;
            f1 = f2;
            x2 = lo + golden * (hi - lo);
            f2 = f(x2);
        } else {
            hi = x2;
            x2 = x1;
            f2 = f1;
            x1 = hi - golden * (hi - lo);
            f1 = f(x1);
        }
    }
    return worse(f1, f2) ? std::pair{x2, f2} : std::pair{x1, f1};
}

// Whether the samples turn at i: the index of the sample after the turn
// (i + 1, or i + 2 when values[i] and values[i + 1] are equal at the top or
// bottom, as a curve symmetric about the middle of two samples gives), or
// 0 when they do not.
int turnAfter(std::span<const double> values, int i);

// A sample that is a root by itself: zero against its neighbours, at least
// one of which is a finite non-zero value and none exactly zero (a run of
// zeros, a line along the axis, has no single root), and not a step of a
// tail that keeps one sign and keeps shrinking past it.
bool isZeroSample(std::span<const double> values, int i);

// A value that is zero to the precision the function allows where its
// samples are of size `scale` (the largest magnitude nearby).
bool isZero(double value, double scale);

// f has no jump, pole or gap on [a, b]: the sub-interval with the larger
// change is followed down until the change is small against the values
// (continuous) or stays large or turns non-finite (not).
bool continuousOn(const Probe& f, double a, double b);

// f settles to one finite value at p from both sides: probes at distances
// from `width`·1e-8 down to a few rounding steps of p must all lie within a
// thousandth of `scale`. A pole (even a logarithmic one) or a jump fails.
bool continuousAt(const Probe& f, double p, double width, double scale);

// The roots where the samples turn towards the axis at i (the sample after
// the turn at end): the place of the turn when it touches the axis (a
// minimum or maximum whose value is zero), or the two crossings when it
// dips through it between samples. None, one or two places.
std::vector<double> rootsAtTurn(const Probe& f, const Probe& df, std::span<const double> vars,
                                std::span<const double> vals, int i, int end);

// A root between the samples (a, fa) and (b, fb) whose signs differ: the
// engine's bisection, accepted only where f is continuous between them.
std::optional<double> crossingRoot(const Probe& f, double a, double b);

// Samples that are no number between two finite ones where f has a finite
// limit from both sides (a removable hole, sin(x)/x at 0) take that limit:
// the curve passes there, and so may its marks.
void fillRemovableHoles(const Probe& f, std::span<const double> vars, std::span<double> vals);

// Where f ends between a sample that is finite (at `inside`) and one that is
// no number (at `outside`): the last place where f is defined, when its
// value there is zero against the samples nearby (`scale`): a curve that
// ends on the axis has a root there.
std::optional<double> rootAtDomainEnd(const Probe& f, double inside, double outside, double scale);

struct Extremum {
    double at = 0;
    double value = 0;
    // Found as a root of the derivative (false: a corner or cusp).
    bool smooth = false;
};

// The extremum of f between a and b, where the samples a < m < b turn
// (`minimum` when the middle one is the lowest). Smooth extrema come from
// the derivative's root; where that fails, from the place where the
// derivative changes sign abruptly, or from a golden-section search. None
// when f is not continuous there (a pole or a jump only looks like a turn)
// or the place found is not the turn's extreme.
std::optional<Extremum> extremumBetween(const Probe& f, const Probe& df, double a, double m, double b, bool minimum);

// An inflection between a and b, where the second differences of the
// samples change sign: the root of the second derivative, or where it
// changes sign without passing through small values. None unless f and f'
// are continuous there (a jump of f is no inflection).
std::optional<double> inflectionBetween(const Probe& f, const Probe& df, const Probe& ddf, double a, double b);

// Samples of g inside one sample step, taken where a zero of g may hide:
// parts of the step over which g's enclosure keeps clear of zero (or
// within `noise` of it) are left alone, and so are parts over which dg's
// enclosure shows g monotone (dg may be empty); the others are split, at
// most kMaxStepSplits times and kMaxStepDepth levels deep. A zero between
// the step's ends then shows between two neighbouring samples, as a change
// of sign or as a turn towards zero. The samples are in order of the
// variable, the step's own ends included.
struct StepSamples {
    std::vector<double> vars;
    std::vector<double> vals;
    // The pairs (j, k), j < k, of samples between which g changes sign:
    // neighbours of opposite signs, or two around a sample that is exactly
    // zero.
    std::vector<std::pair<int, int>> signChanges() const;
};
constexpr int kMaxStepSplits = 16;
constexpr int kMaxStepDepth = 10;

// The step a < b with g's values ga and gb at its ends (NaN for a value
// not taken yet: it is taken once the enclosure leaves room for a zero),
// refined as above; none when g's enclosure over the step clears zero (no
// zero inside), when g has no value at an end, or when the program has no
// enclosure (it is everything even at a point where g has a value): the
// samples are then all there is.
// The enclosures count towards the program steps run, twice the program's
// length each.
std::optional<StepSamples> refineStep(const Probe& g, const Probe& dg, double a, double ga, double b, double gb,
                                      double noise);

} // namespace markRules

} // namespace orlix
