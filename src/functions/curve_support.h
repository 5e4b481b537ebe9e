// What the curves sampled over a range of their own variable (polar and
// parametric) share: the grid of parameter values, the searches on sampled
// values, the range integration and the stored form of an expression.
#pragma once

#include <array>
#include <cmath>
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
        if (!std::isfinite(rm))
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

// The trapezoid rule with step halving on K integrands over [a, b] (a < b):
// at(v, values) fills the integrands at v. The halvings stop once, after
// more than four, the integrands sIndex and lIndex both changed by at most
// 1e-7·max(1, |S|), or after maxHalvings. nullopt when either of those two
// is not a number.
template <std::size_t K, class Integrands>
std::optional<std::array<double, K>> integrate(double a, double b, int maxHalvings, std::size_t sIndex,
                                               std::size_t lIndex, Integrands&& at)
{
    std::array<double, K> est{}, values{}, sums{};
    double H = b - a;
    at(a, est);
    at(b, values);
    for (std::size_t k = 0; k < K; ++k)
        est[k] = H / 2 * (est[k] + values[k]);
    double sPrev = est[sIndex] + 1, lPrev = sPrev, tol = 1e-7;
    for (int m = 0;; ++m) {
        if (m > 4 && std::fabs(sPrev - est[sIndex]) <= tol && std::fabs(lPrev - est[lIndex]) <= tol)
            break;
        if (std::isnan(est[sIndex]) || m >= maxHalvings)
            break;
        sums.fill(0);
        const double count = std::ldexp(1.0, m);
        for (double k = 0; k < count; ++k) {
            const double v = a + H * (k + 0.5);
            if (!(v < b))
                break;
            at(v, values);
            for (std::size_t q = 0; q < K; ++q)
                sums[q] += values[q];
        }
        sPrev = est[sIndex];
        lPrev = est[lIndex];
        for (std::size_t q = 0; q < K; ++q)
            est[q] = est[q] / 2 + sums[q] * H / 2;
        H /= 2;
        tol = 1e-7 * std::max(1.0, std::fabs(est[sIndex]));
    }
    if (std::isnan(est[sIndex]) || std::isnan(est[lIndex]))
        return std::nullopt;
    return est;
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
