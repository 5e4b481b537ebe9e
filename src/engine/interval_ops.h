// The interval meaning of every operator and function: for operands that
// range over intervals, an interval that holds every value the point
// routines of ops.h give for operands inside them. Rounding is outward:
// each bound computed in floating point is pushed out by a few units in the
// last place, more than the libm routines' own error, so the point values
// the programs compute lie inside even where libm is not correctly rounded.
#pragma once

#include <algorithm>
#include <cmath>

#include "ops.h"
#include "orlix/interval.h"

// The rules are small and run once a step: inlined into the evaluator they
// keep their operands in registers.
#define ORLIX_IV_INLINE inline __attribute__((always_inline))
// A lambda that wraps a rule, inlined where it is called.
#define ORLIX_IV_LAMBDA __attribute__((always_inline))

namespace orlix::iv {

inline constexpr double kInf = Interval::kInf;
inline constexpr double kPi = 3.141592653589793;

// Pushes a bound computed by a correctly rounded operation out by an ulp,
// or by a libm routine out by a few.
// An infinity or NaN stays as it is; a select, not a branch, since the
// rules run it on every bound.
ORLIX_IV_INLINE double down(double v, double ulps = 1)
{
    const double pushed = v - (std::fabs(v) * (ulps * 0x1p-52) + 0x1p-1074);
    return std::isfinite(v) ? pushed : v;
}
ORLIX_IV_INLINE double up(double v, double ulps = 1)
{
    const double pushed = v + (std::fabs(v) * (ulps * 0x1p-52) + 0x1p-1074);
    return std::isfinite(v) ? pushed : v;
}

// libm's routines are within one or two ulps; four covers them.
inline constexpr double kLibm = 4;

// The flags both operands carry into a result.
ORLIX_IV_INLINE Interval flagged(Interval r, const Interval& a)
{
    r.maybeUndefined |= a.maybeUndefined;
    r.maybeDiscontinuous |= a.maybeDiscontinuous;
    return r;
}
ORLIX_IV_INLINE Interval flagged(Interval r, const Interval& a, const Interval& b) { return flagged(flagged(r, a), b); }

// [lo, hi] pushed out; a NaN bound (∞ − ∞, 0·∞) becomes the whole side and
// marks the result as possibly undefined.
ORLIX_IV_INLINE Interval make(double lo, double hi, double ulps = 1)
{
    Interval r{down(lo, ulps), up(hi, ulps)};
    if (std::isnan(r.lo)) {
        r.lo = -kInf;
        r.maybeUndefined = true;
    }
    if (std::isnan(r.hi)) {
        r.hi = kInf;
        r.maybeUndefined = true;
    }
    return r;
}

// ---- ends shared with the step before ----
// A curve is enclosed step after step, so one step's low end is mostly the
// high end of the step before, or a rounding away from it. Each step of a
// program keeps the value of its function at its last high end (the
// evaluator points `activeMemo` at it), and the next low end takes it
// instead of calling libm again. A step has one function, so a memo never
// answers for another; a power's memo also holds its exponent.
using detail::EndMemo;
inline thread_local EndMemo* activeMemo = nullptr;

// f at a low end: the memo's value where it was taken at that very point.
template <class F> ORLIX_IV_INLINE double lowEnd(double v, F f, double tag = 0)
{
    if (activeMemo && activeMemo->arg == v && activeMemo->tag == tag)
        return activeMemo->value;
    return f(v);
}

// f at a high end, kept for the next step.
template <class F> ORLIX_IV_INLINE double highEnd(double v, F f, double tag = 0)
{
    const double value = f(v);
    if (activeMemo)
        *activeMemo = EndMemo{v, value, tag};
    return value;
}

// f at a low end, taken from the memo also where the memo's point lies a few
// ulps away: f moves by at most slope(value)·distance there, which `widen`
// is set to. slope bounds |f′| near a point from f's value there.
template <class F, class S> ORLIX_IV_INLINE double lowEndNear(double v, F f, S slope, double& widen)
{
    widen = 0;
    if (activeMemo && activeMemo->tag == 0) {
        const double distance = std::fabs(v - activeMemo->arg);
        if (distance <= 0x1p-50 * std::fabs(v) && std::isfinite(v) && std::isfinite(activeMemo->value)) {
            widen = distance == 0 ? 0.0 : distance * slope(activeMemo->value);
            return activeMemo->value;
        }
    }
    return f(v);
}

// A function increasing on the whole operand.
template <class F> ORLIX_IV_INLINE Interval increasing(const Interval& u, F f, double ulps = kLibm)
{
    const double fl = lowEnd(u.lo, f);
    return flagged(make(fl, highEnd(u.hi, f), ulps), u);
}
template <class F> ORLIX_IV_INLINE Interval decreasing(const Interval& u, F f, double ulps = kLibm)
{
    const double fl = lowEnd(u.lo, f);
    return flagged(make(highEnd(u.hi, f), fl, ulps), u);
}
// An increasing function whose slope near a point its value bounds: a low
// end near the last high end takes that end's value.
template <class F, class S> ORLIX_IV_INLINE Interval increasingNear(const Interval& u, F f, S slope)
{
    double widen = 0;
    const double fl = lowEndNear(u.lo, f, slope, widen);
    const double fh = highEnd(u.hi, f);
    return flagged(make(fl - widen, fh + widen, kLibm), u);
}

// The operand cut to [lo, hi] of a function's domain: the part outside has
// no value, so the result may be undefined; nothing is left when none of it
// is inside.
ORLIX_IV_INLINE bool clipTo(Interval& u, double lo, double hi, bool openLo = false, bool openHi = false)
{
    const bool outside = u.lo < lo || u.hi > hi || (openLo && u.lo <= lo) || (openHi && u.hi >= hi);
    if (u.hi < lo || u.lo > hi || (openLo && u.hi <= lo) || (openHi && u.lo >= hi))
        return false;
    if (outside)
        u.maybeUndefined = true;
    u.lo = std::max(u.lo, lo);
    u.hi = std::min(u.hi, hi);
    return true;
}

// A pole inside: any value, jumping from one side to the other.
ORLIX_IV_INLINE Interval pole() { return Interval{-kInf, kInf, false, true}; }

// ---- arithmetic ----

ORLIX_IV_INLINE Interval plus(const Interval& a, const Interval& b)
{
    return flagged(make(a.lo + b.lo, a.hi + b.hi), a, b);
}
ORLIX_IV_INLINE Interval minus(const Interval& a, const Interval& b)
{
    return flagged(make(a.lo - b.hi, a.hi - b.lo), a, b);
}
ORLIX_IV_INLINE Interval negate(const Interval& u) { return flagged(Interval{-u.hi, -u.lo}, u); }

// A product of bounds where 0·∞ is 0 (the limit of the products inside);
// a point value 0·∞ itself is NaN, which the caller flags.
ORLIX_IV_INLINE double times(double x, double y) { return x == 0 || y == 0 ? 0.0 : x * y; }

ORLIX_IV_INLINE Interval mult(const Interval& a, const Interval& b)
{
    // Finite operands of known signs: two products decide.
    if (a.bounded() && b.bounded()) {
        if (a.lo >= 0 && b.lo >= 0)
            return flagged(make(a.lo * b.lo, a.hi * b.hi), a, b);
        if (a.hi <= 0 && b.hi <= 0)
            return flagged(make(a.hi * b.hi, a.lo * b.lo), a, b);
        if (a.lo >= 0 && b.hi <= 0)
            return flagged(make(a.hi * b.lo, a.lo * b.hi), a, b);
        if (a.hi <= 0 && b.lo >= 0)
            return flagged(make(a.lo * b.hi, a.hi * b.lo), a, b);
        const double p1 = a.lo * b.lo, p2 = a.lo * b.hi, p3 = a.hi * b.lo, p4 = a.hi * b.hi;
        return flagged(make(std::min(std::min(p1, p2), std::min(p3, p4)), std::max(std::max(p1, p2), std::max(p3, p4))),
                       a, b);
    }
    const double p[] = {times(a.lo, b.lo), times(a.lo, b.hi), times(a.hi, b.lo), times(a.hi, b.hi)};
    Interval r = flagged(make(*std::min_element(p, p + 4), *std::max_element(p, p + 4)), a, b);
    const bool aInf = std::isinf(a.lo) || std::isinf(a.hi), bInf = std::isinf(b.lo) || std::isinf(b.hi);
    if ((aInf && b.contains(0)) || (bInf && a.contains(0)))
        r.maybeUndefined = true;
    return r;
}

// 1/u: a pole where u holds 0.
ORLIX_IV_INLINE Interval invert(const Interval& u)
{
    if (u.lo > 0 || u.hi < 0)
        return flagged(make(1 / u.hi, 1 / u.lo), u);
    // A pole: the values on each side of 0 grow without bound, and 1/(±0)
    // is ±∞ with either sign of a zero.
    return flagged(pole(), u);
}

ORLIX_IV_INLINE Interval divide(const Interval& a, const Interval& b)
{
    if (b.lo > 0 || b.hi < 0) {
        const double q[] = {a.lo / b.lo, a.lo / b.hi, a.hi / b.lo, a.hi / b.hi};
        Interval r = flagged(make(*std::min_element(q, q + 4), *std::max_element(q, q + 4)), a, b);
        for (double v : q)
            if (std::isnan(v)) { // ∞/∞
                r = flagged(Interval{-kInf, kInf, true, false}, a, b);
                break;
            }
        return r;
    }
    // Division by an interval holding 0: a pole, or a hole (0/0) where a
    // holds 0 too.
    Interval r = pole();
    r.maybeUndefined = a.contains(0) || !a.bounded();
    return flagged(r, a, b);
}

// x^n for a whole n > 0.
ORLIX_IV_INLINE Interval positivePower(const Interval& a, double n)
{
    // n / 2 is exact for the whole n below 2^53 this is called with.
    const bool odd = std::floor(n * 0.5) != n * 0.5;
    const auto raise = [n](double v) { return ops::power(v, n); };
    const double pl = lowEnd(a.lo, raise, n), ph = highEnd(a.hi, raise, n);
    if (odd || a.lo >= 0)
        return flagged(make(pl, ph, kLibm), a);
    if (a.hi <= 0)
        return flagged(make(ph, pl, kLibm), a);
    return flagged(make(0, std::max(pl, ph), kLibm), a);
}

// x^n for a whole n.
ORLIX_IV_INLINE Interval wholePower(const Interval& a, double n)
{
    if (n == 0)
        return flagged(Interval::point(1), a);
    if (n < 0)
        return invert(positivePower(a, -n));
    return positivePower(a, n);
}

ORLIX_IV_INLINE Interval power(const Interval& a, const Interval& b)
{
    if (b.lo == b.hi && std::isfinite(b.lo)) {
        const double n = b.lo;
        if (n == std::floor(n) && std::fabs(n) < 0x1p53)
            return flagged(wholePower(a, n), b);
        // A fractional power: no value below 0; at 0 a pole for n < 0.
        Interval u = a;
        if (!clipTo(u, 0, kInf))
            return flagged(Interval::none(), a, b);
        Interval r = n > 0 ? make(ops::power(u.lo, n), ops::power(u.hi, n), kLibm)
                           : (u.lo > 0 ? make(ops::power(u.hi, n), ops::power(u.lo, n), kLibm)
                                       : make(ops::power(u.hi, n), kInf, kLibm));
        if (n < 0 && u.lo == 0)
            r.maybeDiscontinuous = true;
        return flagged(r, u, b);
    }
    // A varying exponent over a positive base: pow is monotone in each
    // operand there, so its extremes lie at the corners.
    if (a.lo > 0 && a.hi < kInf) {
        const double c[] = {ops::power(a.lo, b.lo), ops::power(a.lo, b.hi), ops::power(a.hi, b.lo),
                            ops::power(a.hi, b.hi)};
        Interval r = make(*std::min_element(c, c + 4), *std::max_element(c, c + 4), kLibm);
        for (double v : c)
            if (std::isnan(v))
                return flagged(Interval{0, kInf, true, false}, a, b);
        return flagged(r, a, b);
    }
    return flagged(Interval::everything(), a, b);
}

ORLIX_IV_INLINE Interval least(const Interval& a, const Interval& b)
{
    return flagged(Interval{std::min(a.lo, b.lo), std::min(a.hi, b.hi)}, a, b);
}
ORLIX_IV_INLINE Interval most(const Interval& a, const Interval& b)
{
    return flagged(Interval{std::max(a.lo, b.lo), std::max(a.hi, b.hi)}, a, b);
}

// a − b·⌊a/b⌋: continuous where the quotient's floor is one number; a jump
// at each multiple of b otherwise, the values then anywhere between 0 and b.
ORLIX_IV_INLINE Interval modulo(const Interval& a, const Interval& b)
{
    if (b.contains(0)) {
        Interval r = b.lo == 0 && b.hi == 0 ? Interval::none() : Interval::everything();
        return flagged(r, a, b);
    }
    const Interval q = divide(a, b);
    if (q.bounded() && std::floor(q.lo) == std::floor(q.hi) && std::fabs(q.lo) < 0x1p52) {
        const Interval r = minus(a, mult(b, Interval::point(std::floor(q.lo))));
        // The remainder never leaves [0, b) (or (b, 0]).
        Interval cut{std::max(r.lo, b.lo > 0 ? 0.0 : b.lo), std::min(r.hi, b.lo > 0 ? b.hi : 0.0)};
        return flagged(cut.lo <= cut.hi ? cut : make(0, 0), r);
    }
    Interval r = b.lo > 0 ? make(0, b.hi) : make(b.lo, 0);
    r.maybeDiscontinuous = true;
    return flagged(r, a, b);
}

// ψ⁽ⁿ⁾ for a whole order over positive numbers: ψ increases, its odd
// derivatives are positive and decrease, its even ones negative and
// increase. Elsewhere (poles at 0, −1, …) nothing is claimed.
ORLIX_IV_INLINE Interval polygamma(const Interval& n, const Interval& x)
{
    const bool order = n.lo == n.hi && n.lo == std::floor(n.lo) && n.lo >= 0 && n.lo <= 100;
    if (!order || !(x.lo > 0))
        return flagged(Interval::everything(), n, x);
    const double k = n.lo;
    const double a = ops::polygamma(k, x.lo), b = ops::polygamma(k, x.hi);
    // The series behind the routine is accurate to far fewer digits than
    // libm: a relative margin of 1e-12 covers it.
    const double ulps = 1e4;
    Interval r = std::fmod(k, 2) == 1 ? make(b, a, ulps) : make(a, b, ulps);
    return flagged(r, n, x);
}

// ---- functions of one operand ----

ORLIX_IV_INLINE Interval sqrtOf(const Interval& u)
{
    Interval c = u;
    if (!clipTo(c, 0, kInf))
        return flagged(Interval::none(), u);
    return increasing(
        c, [](double v) { return std::sqrt(v); }, 1);
}

ORLIX_IV_INLINE Interval absOf(const Interval& u)
{
    if (u.lo >= 0)
        return u;
    if (u.hi <= 0)
        return negate(u);
    return flagged(Interval{0, std::max(-u.lo, u.hi)}, u);
}

// ln and log: −∞ at 0, no value below.
template <class F> ORLIX_IV_INLINE Interval logarithm(const Interval& u, F f)
{
    Interval c = u;
    if (!clipTo(c, 0, kInf))
        return flagged(Interval::none(), u);
    // At 0 the value is −∞: no number either.
    c.maybeUndefined |= c.lo == 0;
    return increasing(c, f);
}

// Whether an interval may hold a point at + k·period for a whole k, the
// period given as its reciprocal (a product is cheaper than a quotient);
// the slack allows for the rounding of the quotient (and for the
// difference of the double π from π), so the answer errs towards yes.
ORLIX_IV_INLINE bool mayHoldPhase(const Interval& u, double at, double perPeriod)
{
    const double ql = (u.lo - at) * perPeriod, qh = (u.hi - at) * perPeriod;
    const double slack = 1e-12 + 1e-14 * std::max(std::fabs(ql), std::fabs(qh));
    return std::floor(qh + slack) > std::floor(ql - slack);
}

// sin or cos (f, whose crests lie at crest + 2kπ): an interval of a period's
// worth or more holds [−1, 1]; otherwise the ends' values, widened to ±1
// where a crest or a trough may lie inside.
template <class F> ORLIX_IV_INLINE Interval wave(const Interval& u, F f, double crest)
{
    if (!u.bounded() || u.hi - u.lo >= 2 * kPi || std::fabs(u.lo) > 1e15 || std::fabs(u.hi) > 1e15)
        return flagged(Interval{-1, 1, !u.bounded(), false}, u);
    // |sin′| and |cos′| are at most 1.
    double widen = 0;
    const double fl = lowEndNear(
        u.lo, f, [](double) { return 1.0; }, widen);
    const double fh = highEnd(u.hi, f);
    Interval r = make(std::min(fl, fh) - widen, std::max(fl, fh) + widen, kLibm);
    // Where a crest (or a trough, half a period on) may lie inside.
    if (mayHoldPhase(u, crest, 0.5 / kPi))
        r.hi = 1;
    if (mayHoldPhase(u, crest + kPi, 0.5 / kPi))
        r.lo = -1;
    r.lo = std::max(r.lo, -1.0);
    r.hi = std::min(r.hi, 1.0);
    return flagged(r, u);
}

// tan: increasing between its poles at π/2 + kπ; over a pole nothing is
// known and the values jump.
ORLIX_IV_INLINE Interval tangent(const Interval& u)
{
    if (!u.bounded() || u.hi - u.lo >= kPi || std::fabs(u.lo) > 1e15 || std::fabs(u.hi) > 1e15 ||
        mayHoldPhase(u, kPi / 2, 1 / kPi))
        return flagged(Interval{-kInf, kInf, !u.bounded(), true}, u);
    // Away from a pole, |tan′| = 1 + tan² and tan moves little over a few
    // ulps: twice that bounds it.
    return increasingNear(
        u, [](double v) { return std::tan(v); }, [](double t) { return 2 * (1 + t * t); });
}

// Γ: poles at 0, −1, −2, …; between two of them |Γ| is log-convex (ψ′ > 0),
// so its largest value over an interval is at an end. Over the positive
// numbers its least is 0.8856… at 1.4616….
ORLIX_IV_INLINE Interval gammaOf(const Interval& u)
{
    if (!u.bounded())
        return flagged(Interval::everything(), u);
    if (u.hi >= std::ceil(u.lo) && std::ceil(u.lo) <= 0)
        return flagged(Interval::everything(), u);
    const double gl = std::tgamma(u.lo), gh = std::tgamma(u.hi);
    const double ulps = 16; // tgamma is less accurate than the rest of libm
    if (u.lo > 0) {
        constexpr double kMinAt = 1.4616321449683623, kMin = 0.88560319441088870;
        if (u.hi <= kMinAt)
            return flagged(make(gh, gl, ulps), u);
        if (u.lo >= kMinAt)
            return flagged(make(gl, gh, ulps), u);
        return flagged(make(kMin, std::max(gl, gh), ulps), u);
    }
    return flagged(gl > 0 ? make(0, std::max(gl, gh), ulps) : make(std::min(gl, gh), 0, ulps), u);
}

// A step function of u (floor, ceil, round): increasing, constant between
// its steps; a jump inside where the ends' values differ.
template <class F> ORLIX_IV_INLINE Interval steps(const Interval& u, F f)
{
    // f takes an infinite end to itself.
    Interval r{f(u.lo), f(u.hi)};
    if (r.lo != r.hi)
        r.maybeDiscontinuous = true;
    return flagged(r, u);
}

ORLIX_IV_INLINE Interval fract(const Interval& u)
{
    if (u.bounded() && std::floor(u.lo) == std::floor(u.hi))
        return flagged(make(u.lo - std::floor(u.lo), u.hi - std::floor(u.hi)), u);
    Interval r{0, 1};
    r.maybeDiscontinuous = true;
    r.maybeUndefined = !u.bounded(); // ∞ − ∞
    return flagged(r, u);
}

// sign: −1, 0 or 1; a jump inside where the ends differ. The NaN of an
// undefined operand gives −1 (in sign_ too), so a possibly undefined one
// may give −1.
ORLIX_IV_INLINE Interval signOf(const Interval& u, bool undefinedAtZero)
{
    const auto s = [](double v) { return v > 0 ? 1.0 : (v == 0 ? 0.0 : -1.0); };
    Interval r{s(u.lo), s(u.hi)};
    if (u.maybeUndefined)
        r.lo = -1;
    if (r.lo != r.hi)
        r.maybeDiscontinuous = true;
    if (undefinedAtZero && u.contains(0)) {
        if (u.lo == 0 && u.hi == 0)
            return flagged(Interval::none(), u);
        r.maybeUndefined = true;
    }
    return flagged(r, u);
}

// A constant value where a condition holds and no value elsewhere: `none`
// where the condition fails all over, `maybe` where it may fail somewhere.
ORLIX_IV_INLINE Interval constantWhere(double value, bool none, bool maybe, const Interval& u)
{
    if (none)
        return flagged(Interval::none(), u);
    Interval r = Interval::point(value);
    r.maybeUndefined = maybe;
    // A NaN operand gives the value in some of these, none in others: the
    // operand's own flag is carried.
    return flagged(r, u);
}

// u holds a whole number or an infinity.
ORLIX_IV_INLINE bool holdsWhole(const Interval& u)
{
    return !u.bounded() || std::floor(u.lo) != std::floor(u.hi) || u.lo == std::floor(u.lo);
}

// ---- the rows' rules, by name ----

// exp′ = exp, and over a few ulps exp grows by far less than twice.
ORLIX_IV_INLINE Interval exp(const Interval& u)
{
    return increasingNear(
        u, [](double v) { return std::exp(v); }, [](double e) { return 2 * e; });
}
ORLIX_IV_INLINE Interval ln(const Interval& u)
{
    return logarithm(u, [](double v) { return std::log(v); });
}
ORLIX_IV_INLINE Interval log10(const Interval& u)
{
    return logarithm(u, [](double v) { return std::log10(v); });
}
ORLIX_IV_INLINE Interval sin(const Interval& u)
{
    return wave(
        u, [](double v) { return std::sin(v); }, kPi / 2);
}
ORLIX_IV_INLINE Interval cos(const Interval& u)
{
    return wave(
        u, [](double v) { return std::cos(v); }, 0);
}
ORLIX_IV_INLINE Interval atan(const Interval& u)
{
    return increasing(u, [](double v) { return std::atan(v); });
}
ORLIX_IV_INLINE Interval sinh(const Interval& u)
{
    return increasing(u, [](double v) { return std::sinh(v); });
}
ORLIX_IV_INLINE Interval cosh(const Interval& u)
{
    return increasing(absOf(u), [](double v) { return std::cosh(v); });
}
ORLIX_IV_INLINE Interval tanh(const Interval& u)
{
    return increasing(u, [](double v) { return std::tanh(v); });
}
ORLIX_IV_INLINE Interval asinh(const Interval& u)
{
    return increasing(u, [](double v) { return std::asinh(v); });
}

// A function of a domain [lo, hi]: cut the operand to it first.
template <class F> ORLIX_IV_INLINE Interval onDomain(const Interval& u, double lo, double hi, bool increasingOn, F f)
{
    Interval c = u;
    if (!clipTo(c, lo, hi))
        return flagged(Interval::none(), u);
    return increasingOn ? increasing(c, f) : decreasing(c, f);
}
ORLIX_IV_INLINE Interval asin(const Interval& u)
{
    return onDomain(u, -1, 1, true, [](double v) { return std::asin(v); });
}
ORLIX_IV_INLINE Interval acos(const Interval& u)
{
    return onDomain(u, -1, 1, false, [](double v) { return std::acos(v); });
}
ORLIX_IV_INLINE Interval acosh(const Interval& u)
{
    return onDomain(u, 1, kInf, true, [](double v) { return std::acosh(v); });
}
ORLIX_IV_INLINE Interval atanh(const Interval& u)
{
    return onDomain(u, -1, 1, true, [](double v) { return std::atanh(v); });
}

// u where u > 0, no value elsewhere.
ORLIX_IV_INLINE Interval positivePart(const Interval& u)
{
    Interval c = u;
    if (!clipTo(c, 0, kInf, true))
        return flagged(Interval::none(), u);
    return c;
}

} // namespace orlix::iv
