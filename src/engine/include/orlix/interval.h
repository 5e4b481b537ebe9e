// Interval arithmetic: what a formula does over a whole range of its
// variables, not at one point. An enclosure is guaranteed to hold every
// value the compiled program gives at any point of the range (outward
// rounding covers the rounding of the point evaluation), and says whether
// the formula may be undefined or may jump somewhere inside.
#pragma once

#include <cmath>
#include <limits>

namespace orlix {

struct Interval {
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
    // Some point inside may have no value (sqrt of a negative part, ln at 0).
    bool maybeUndefined = false;
    // The values may jump somewhere inside (a pole of tan or 1/u, a step of
    // floor, sign or mod).
    bool maybeDiscontinuous = false;

    static Interval point(double v) { return Interval{v, v}; }
    static Interval of(double lo, double hi) { return Interval{lo, hi}; }
    // The whole line, possibly undefined and discontinuous: what is said
    // of a range nothing is known about.
    static Interval everything() { return Interval{-kInf, kInf, true, true}; }
    // No value anywhere inside (sqrt over negative numbers only).
    static Interval none() { return Interval{kNaN, kNaN, true, false}; }

    // No point inside has a value.
    bool empty() const { return !(lo <= hi); }
    bool contains(double v) const { return lo <= v && v <= hi; }
    double width() const { return empty() ? 0.0 : hi - lo; }
    // Both ends finite.
    bool bounded() const { return std::isfinite(lo) && std::isfinite(hi); }
    // Defined everywhere inside and without a jump.
    bool clean() const { return !maybeUndefined && !maybeDiscontinuous; }
    // Nothing is known: the whole line, with both flags.
    bool isEverything() const { return lo == -kInf && hi == kInf && maybeUndefined && maybeDiscontinuous; }

    static constexpr double kInf = std::numeric_limits<double>::infinity();
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
};

// One cell of the engine (x, y, t, θ, …) taken over [lo, hi] by an
// enclosure; cells not named keep their current value as a point.
struct CellRange {
    const double* cell = nullptr;
    double lo = 0;
    double hi = 0;
};

namespace detail {
// The last high end one step of a program was enclosed at, and the value of
// the step's function there (for a power, `tag` is the exponent).
struct EndMemo {
    double arg = Interval::kNaN;
    double value = Interval::kNaN;
    double tag = Interval::kNaN;
};
} // namespace detail

} // namespace orlix
