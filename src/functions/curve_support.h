// What the curves sampled over a range of their own variable (polar and
// parametric) share: the grid of parameter values, the searches on sampled
// values, the range integration and the stored form of an expression.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orlix/fstack.h"
#include "orlix/function.h"
#include "orlix/mark_rules.h"

namespace orlix::curve {

// Both bounds are finite and the lower one is below the upper one.
inline bool isUsableRange(double lo, double hi) { return std::isfinite(lo) && std::isfinite(hi) && lo < hi; }

// The parameter grid: n values from lo to hi, both included, each computed
// from its index so that the last one is hi exactly.
struct Grid {
    double lo = 0;
    double hi = 0;
    int n = 0;

    double step() const { return n > 1 ? (hi - lo) / (n - 1) : 0.0; }
    double at(int i) const { return i >= n - 1 ? hi : lo + i * step(); }
    // The grid value at i clamped into the grid.
    double clampedAt(int i) const { return at(i < 0 ? 0 : (i > n - 1 ? n - 1 : i)); }
};

// The program's values at every point of the grid, a block of points per
// call of the machine: bit for bit what evaluating them one at a time
// gives, NaN everywhere without a program. The cell is left at the grid's
// last point, as that walk would leave it.
std::vector<double> valuesOnGrid(StackMachine* sm, double* cell, const Grid& grid);
// The same at any places, NaN at those that are not finite. The cell keeps
// its value.
std::vector<double> valuesAt(StackMachine* sm, double* cell, std::span<const double> places);
// What Function::pointsAt gives at the places: fill(k, point) sets the
// point and the value at places[k] from the values sampled there. A place
// that is not finite takes pointAt's own answer.
template <class Fill> std::vector<myPointInfo> pointsFromValues(Function& f, std::span<const double> places, Fill fill)
{
    std::vector<myPointInfo> points(places.size());
    for (std::size_t k = 0; k < places.size(); ++k) {
        if (std::isfinite(places[k])) {
            points[k].variable = places[k];
            fill(k, points[k]);
        } else {
            points[k] = f.pointAt(places[k]);
            points[k].info.reset();
        }
    }
    return points;
}

// The places where the sampled values reach zero: a change of sign between
// two samples (refined, and only where f is continuous), a sample that is
// zero by itself, and a turn that touches zero between samples. At most
// maxCount places, in order of the samples; those found before the budget
// ran out.
std::vector<double> sampledRoots(const Probe& f, const Probe& df, std::span<const double> vars,
                                 std::span<const double> vals, std::size_t maxCount, const StepBudget& budget);

struct SampledTurn {
    markRules::Extremum extremum;
    bool minimum = false;
};

// The extrema of f where its samples turn; at most maxCount, those found
// before the budget ran out.
std::vector<SampledTurn> sampledTurns(const Probe& f, const Probe& df, std::span<const double> vars,
                                      std::span<const double> vals, std::size_t maxCount, const StepBudget& budget);

// The roots of F where its values at the grid change sign, kept only where
// |F| one step before and after the pair is at least tol (a curve that is
// straight there keeps F near zero and its signs mean nothing); at most
// maxCount, those found before the budget ran out.
std::vector<double> signChangeRoots(const Probe& F, const Grid& grid, double tol, std::size_t maxCount,
                                    const StepBudget& budget);

// Bisection for a zero of residual along the parameter between t1 and t2
// whose residuals differ in sign; the place when the residual found there is
// below 3e-6, nullopt otherwise (a pole or a jump of the other curve).
template <class Residual> std::optional<double> bisectResidual(double t1, double t2, Residual&& residual)
{
    double r1 = residual(t1);
    double r2 = residual(t2);
    if (!(r1 * r2 < 0))
        return std::nullopt;
    double last = r2;
    double t = t2;
    while (std::fabs(t2 - t1) > 2.220446049250313e-16) {
        const double tm = t1 + (t2 - t1) / 2;
        if (tm == t1 || tm == t2)
            break;
        const double rm = residual(tm);
        t = tm;
        last = rm;
        // An exact crossing ends the search: halving on from a zero would
        // walk away from it.
        if (!std::isfinite(rm) || rm == 0)
            break;
        if (r1 * rm < 0) {
            t2 = tm;
        } else {
            t1 = tm;
            r1 = rm;
        }
    }
    if (!(std::fabs(last) < 3e-6) || std::isnan(t))
        return std::nullopt;
    return t;
}

// Three residuals in a row whose middle one is the smallest in magnitude
// (or shares that with the last),
// all of one sign, and near enough to zero that the curve between them may
// reach it (the middle no larger than twice the change beside it); tiny
// ones are hits of their own.
inline bool turnsTowardsZero(double r0, double r1, double r2)
{
    if (!(std::isfinite(r0) && std::isfinite(r1) && std::isfinite(r2)))
        return false;
    if (!((r0 > 0 && r1 > 0 && r2 > 0) || (r0 < 0 && r1 < 0 && r2 < 0)))
        return false;
    const double m = std::fabs(r1);
    // The right-hand neighbour may be equal: a curve symmetric about the
    // middle of two samples has its least there.
    if (!(m < std::fabs(r0) && m <= std::fabs(r2)) || m < 1e-8)
        return false;
    return m <= 2 * std::max(std::fabs(r0) - m, std::fabs(r2) - m);
}

// Where the residual along a curve touches zero between t1 and t2 without
// changing sign (the samples there have their smallest magnitude inside):
// the place of its smallest magnitude, when that is zero to the precision
// the formulas allow there (the spread of the residual a few rounding steps
// away, or a ten-billionth of `scale`); nullopt otherwise.
template <class Residual>
std::optional<double> touchingResidual(double t1, double t2, double scale, Residual&& residual)
{
    auto size = [&](double t) {
        const double r = std::fabs(residual(t));
        return std::isnan(r) ? std::numeric_limits<double>::infinity() : r;
    };
    const auto [at, least] = markRules::goldenLeast(size, t1, t2, 120);
    if (!std::isfinite(least))
        return std::nullopt;
    double noise = 0;
    const double unit = 1e-13 * std::max({std::fabs(at), std::fabs(t2 - t1), 1e-300});
    for (int k = 1; k <= 3; ++k)
        for (double sign : {-1.0, 1.0})
            noise = std::max(noise, std::fabs(size(at + sign * k * unit) - least));
    if (least <= 4 * noise || least <= 1e-10 * scale)
        return at;
    return std::nullopt;
}

// Where two curves sampled over parameters of their own cross (polar and
// parametric curves have no residual to offer each other): the crossings of
// their polylines, each refined by Newton's method on both parameters. The
// places are a's parameter values, in the order of a's samples; tangent or
// coinciding stretches give none. At most maxCount, those found before the
// budget ran out.
std::vector<double> polylineCrossings(Function& a, Function& b, std::size_t maxCount, const StepBudget& budget);

// Where a curve of its own parameter meets a curve that answers a residual
// (y(x), x(y), implicit): a sample on the other curve between two that are
// not, and the sign changes of the residual along the samples, refined by
// bisection. The marks are the curve's own; at most maxCount, those found
// before the budget ran out.
Marks crossingsWithResidual(Function& curve, Function& other, int maxCount, const StepBudget& budget);

} // namespace orlix::curve
