// Enclosures of a compiled program: interval arithmetic over the program as
// built (code_), each result rounded outwards, each flag of an operand
// passed on to what is made of it.
#include "orlix/stack_machine.h"

#include <cmath>
#include <numbers>

#include "ops.h"

namespace orlix {

namespace {

using I = Interval;
constexpr double kInf = Interval::kInf;

// One unit in the last place outwards; the library's functions are within
// one of the true value, the program's fused forms within one more.
double down(double v, int ulps = 1)
{
    for (int k = 0; k < ulps && std::isfinite(v); ++k)
        v = std::nextafter(v, -kInf);
    return v;
}
double up(double v, int ulps = 1)
{
    for (int k = 0; k < ulps && std::isfinite(v); ++k)
        v = std::nextafter(v, kInf);
    return v;
}

// [lo, hi] widened by ulps, with the flags of the operands; an end that is
// no number (∞ − ∞, 0·∞) widens to the whole line and may be undefined.
I make(double lo, double hi, const I& a, const I& b, int ulps = 1)
{
    I r{down(lo, ulps), up(hi, ulps), a.maybeUndefined || b.maybeUndefined,
        a.maybeDiscontinuous || b.maybeDiscontinuous};
    if (std::isnan(r.lo) || std::isnan(r.hi)) {
        r.lo = -kInf;
        r.hi = kInf;
        r.maybeUndefined = true;
    }
    return r;
}
I make(double lo, double hi, const I& a, int ulps = 1) { return make(lo, hi, a, a, ulps); }

I none(const I& a) { return I{I::kNaN, I::kNaN, true, a.maybeDiscontinuous}; }

// A pole inside: the values run off to infinity (the program gives ±∞ at
// the pole itself, a value), so any value may be taken and the curve jumps.
I pole(const I& a) { return I{-kInf, kInf, a.maybeUndefined, true}; }

// A function that does not decrease, defined on [from, to] (the ends
// included when closed), undefined outside.
template <class F> I monotone(const I& a, F f, double from = -kInf, double to = kInf, int ulps = 2)
{
    if (a.hi < from || a.lo > to)
        return none(a);
    I r = make(f(std::max(a.lo, from)), f(std::min(a.hi, to)), a, ulps);
    r.maybeUndefined = r.maybeUndefined || a.lo < from || a.hi > to;
    return r;
}

I mult(const I& a, const I& b)
{
    const double p[] = {a.lo * b.lo, a.lo * b.hi, a.hi * b.lo, a.hi * b.hi};
    double lo = p[0], hi = p[0];
    for (double v : p) {
        if (std::isnan(v))
            return make(I::kNaN, I::kNaN, a, b);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return make(lo, hi, a, b);
}

I invert(const I& b)
{
    if (b.contains(0))
        return pole(b);
    return make(1 / b.hi, 1 / b.lo, b);
}

// |a| as an interval.
I magnitude(const I& a)
{
    if (a.lo >= 0)
        return a;
    if (a.hi <= 0)
        return I{-a.hi, -a.lo, a.maybeUndefined, a.maybeDiscontinuous};
    return I{0, std::max(-a.lo, a.hi), a.maybeUndefined, a.maybeDiscontinuous};
}

I power(const I& a, const I& b)
{
    if (b.lo == b.hi && b.lo == std::floor(b.lo) && std::fabs(b.lo) <= 64) {
        const int n = static_cast<int>(b.lo);
        if (n == 0)
            return make(1, 1, a, b);
        const I base = n % 2 == 0 ? magnitude(a) : a;
        const I r = make(std::pow(base.lo, std::abs(n)), std::pow(base.hi, std::abs(n)), a, b, 2);
        return n > 0 ? r : invert(r);
    }
    // A fixed exponent: a^b does not decrease in a ≥ 0 for b > 0 and does
    // not increase for b < 0 (a pole at 0).
    if (b.lo == b.hi && a.lo >= 0 && (b.lo > 0 || a.lo > 0))
        return b.lo > 0 ? make(std::pow(a.lo, b.lo), std::pow(a.hi, b.lo), a, b, 2)
                        : make(std::pow(a.hi, b.lo), std::pow(a.lo, b.lo), a, b, 2);
    if (b.lo == b.hi && a.lo >= 0)
        return pole(a); // b < 0 and a reaches 0
    // a^b = exp(b·ln a) for a > 0; a negative base has values only at
    // whole exponents, which this does not follow.
    if (a.lo > 0) {
        const I ln = monotone(a, [](double v) { return std::log(v); });
        return monotone(mult(b, ln), [](double v) { return std::exp(v); });
    }
    return I::everything();
}

// Whether some x + k·period (k whole) may lie in [lo, hi].
bool hits(double lo, double hi, double x, double period)
{
    // The slack covers the rounding of the quotients.
    const double slack = 1e-12;
    return std::floor((lo - x) / period - slack) != std::floor((hi - x) / period + slack);
}

// sin or cos: the values at the ends, and ±1 where a crest or a trough may
// lie inside (searched with slack, the period being rounded).
I wave(const I& a, bool cosine)
{
    constexpr double kPi = std::numbers::pi;
    if (!a.bounded() || a.hi - a.lo >= 2 * kPi)
        return make(-1, 1, a, 0);
    const auto f = [&](double v) { return cosine ? std::cos(v) : std::sin(v); };
    double lo = std::min(f(a.lo), f(a.hi));
    double hi = std::max(f(a.lo), f(a.hi));
    const double crest = cosine ? 0 : kPi / 2;
    if (hits(a.lo, a.hi, crest, 2 * kPi))
        hi = 1;
    if (hits(a.lo, a.hi, crest + kPi, 2 * kPi))
        lo = -1;
    I r = make(lo, hi, a, 2);
    r.lo = std::max(r.lo, -1.0);
    r.hi = std::min(r.hi, 1.0);
    return r;
}

I tangent(const I& a)
{
    constexpr double kPi = std::numbers::pi;
    if (!a.bounded() || a.hi - a.lo >= kPi || hits(a.lo, a.hi, kPi / 2, kPi))
        return pole(a);
    return make(std::tan(a.lo), std::tan(a.hi), a, 2);
}

// A step function (floor, ceil, round): constant where both ends agree.
template <class F> I step(const I& a, F f)
{
    if (!a.bounded())
        return make(f(a.lo), f(a.hi), I{0, 0, a.maybeUndefined, true}, 0);
    const double lo = f(a.lo), hi = f(a.hi);
    return make(lo, hi, I{0, 0, a.maybeUndefined, a.maybeDiscontinuous || lo != hi}, 0);
}

I binaryOf(ops::Op op, const I& a, const I& b)
{
    if (a.empty() || b.empty())
        return I{I::kNaN, I::kNaN, true, a.maybeDiscontinuous || b.maybeDiscontinuous};
    switch (op) {
    case ops::Plus: return make(a.lo + b.lo, a.hi + b.hi, a, b);
    case ops::Minus: return make(a.lo - b.hi, a.hi - b.lo, a, b);
    case ops::Mult: return mult(a, b);
    case ops::Divide: {
        const I inv = invert(b);
        I r = mult(a, inv);
        r.maybeUndefined = r.maybeUndefined || a.maybeUndefined;
        r.maybeDiscontinuous = r.maybeDiscontinuous || a.maybeDiscontinuous;
        return r;
    }
    case ops::Power: return power(a, b);
    case ops::Min: return make(std::min(a.lo, b.lo), std::min(a.hi, b.hi), a, b, 0);
    case ops::Max: return make(std::max(a.lo, b.lo), std::max(a.hi, b.hi), a, b, 0);
    case ops::Mod: {
        // a − b·⌊a/b⌋ lies between 0 and b; it jumps where a/b passes a
        // whole number.
        const I q = binaryOf(ops::Divide, a, b);
        const bool jumps = !q.bounded() || std::floor(q.lo) != std::floor(q.hi) || q.maybeDiscontinuous;
        if (!jumps)
            return binaryOf(ops::Minus, a, mult(b, I::point(std::floor(q.lo))));
        return make(std::min(0.0, b.lo), std::max(0.0, b.hi), I{0, 0, q.maybeUndefined || b.contains(0), true}, b, 1);
    }
    default: return I::everything();
    }
}

I unaryOf(ops::Op op, const I& a)
{
    if (a.empty())
        return none(a);
    switch (op) {
    case ops::UMinus: return I{-a.hi, -a.lo, a.maybeUndefined, a.maybeDiscontinuous};
    case ops::Invert: return invert(a);
    case ops::Sqrt:
        return monotone(
            a, [](double v) { return std::sqrt(v); }, 0);
    case ops::Abs: return magnitude(a);
    case ops::Log:
    case ops::Ln: {
        if (a.hi < 0)
            return none(a);
        I r = monotone(
            a, [&](double v) { return op == ops::Ln ? std::log(v) : std::log10(v); }, 0);
        // ln runs off to −∞ at 0.
        if (a.lo <= 0)
            r.maybeDiscontinuous = true;
        return r;
    }
    case ops::Exp: return monotone(a, [](double v) { return std::exp(v); });
    case ops::Sin: return wave(a, false);
    case ops::Cos: return wave(a, true);
    case ops::Tan: return tangent(a);
    case ops::Asin:
        return monotone(
            a, [](double v) { return std::asin(v); }, -1, 1);
    case ops::Acos: {
        const I r = monotone(
            a, [](double v) { return -std::acos(v); }, -1, 1);
        return r.empty() ? r : I{-r.hi, -r.lo, r.maybeUndefined, r.maybeDiscontinuous};
    }
    case ops::Atan: return monotone(a, [](double v) { return std::atan(v); });
    case ops::Sinh: return monotone(a, [](double v) { return std::sinh(v); });
    case ops::Cosh: {
        const I m = magnitude(a);
        return monotone(m, [](double v) { return std::cosh(v); });
    }
    case ops::Tanh: return monotone(a, [](double v) { return std::tanh(v); });
    case ops::Asinh: return monotone(a, [](double v) { return std::asinh(v); });
    case ops::Acosh:
        return monotone(
            a, [](double v) { return std::acosh(v); }, 1);
    case ops::Atanh: {
        I r = monotone(
            a, [](double v) { return std::atanh(v); }, -1, 1);
        if (a.contains(1) || a.contains(-1))
            r.maybeDiscontinuous = true;
        return r;
    }
    case ops::Sign:
    case ops::Sign_: {
        if (a.lo > 0)
            return make(1, 1, a, 0);
        if (a.hi < 0)
            return make(-1, -1, a, 0);
        // 0 at 0 itself (sign_: no value there).
        return make(-1, 1, I{0, 0, a.maybeUndefined || op == ops::Sign_, !(a.lo == 0 && a.hi == 0)}, 0);
    }
    case ops::Not_: return make(0, 0, I{0, 0, a.maybeUndefined || !(a.lo == 0 && a.hi == 0), a.maybeDiscontinuous}, 0);
    case ops::Greater_:
    case ops::Greater__: {
        if (a.hi <= 0)
            return none(a);
        const bool undefined = a.maybeUndefined || a.lo <= 0;
        if (op == ops::Greater_)
            return make(0, 0, I{0, 0, undefined, a.maybeDiscontinuous}, 0);
        return make(std::max(a.lo, 0.0), a.hi, I{0, 0, undefined, a.maybeDiscontinuous}, 0);
    }
    case ops::NotInt:
    case ops::NotInt_: {
        const double v = op == ops::NotInt ? 0 : 1;
        const bool whole = !a.bounded() || std::floor(a.lo) != std::floor(a.hi) || a.lo == std::floor(a.lo);
        return make(v, v, I{0, 0, a.maybeUndefined || whole, a.maybeDiscontinuous}, 0);
    }
    case ops::Ceil: return step(a, [](double v) { return std::ceil(v); });
    case ops::Floor: return step(a, [](double v) { return std::floor(v); });
    case ops::Round: return step(a, [](double v) { return std::round(v); });
    case ops::Fract: {
        const I f = step(a, [](double v) { return std::floor(v); });
        if (!f.bounded() || f.lo != f.hi)
            return make(0, 1, I{0, 0, a.maybeUndefined, true}, 0);
        return make(a.lo - f.lo, a.hi - f.lo, a);
    }
    default: return I::everything();
    }
}

} // namespace

Interval StackMachine::enclose(const double* cell, double lo, double hi)
{
    const CellRange range{cell, lo, hi};
    return encloseOver(&range, 1);
}

Interval StackMachine::enclose(CellRange first, CellRange second)
{
    const CellRange ranges[] = {first, second};
    return encloseOver(ranges, 2);
}

Interval StackMachine::encloseOver(const CellRange* ranges, int count)
{
    stepsRun_ += 2 * static_cast<std::uint64_t>(code_.size());
    if (code_.empty())
        return Interval::everything();
    intervalStack_.clear();
    for (const Step& s : code_) {
        switch (s.op) {
        case ops::Const: intervalStack_.push_back(Interval::point(s.k)); break;
        case ops::Var: {
            Interval v = Interval::point(*s.cell);
            for (int k = 0; k < count; ++k)
                if (ranges[k].cell == s.cell)
                    v = Interval::of(std::min(ranges[k].lo, ranges[k].hi), std::max(ranges[k].lo, ranges[k].hi));
            intervalStack_.push_back(v);
            break;
        }
        case ops::Call: return Interval::everything();
        default: {
            const auto op = static_cast<ops::Op>(s.op);
            if (ops::isBinary(op)) {
                if (intervalStack_.size() < 2)
                    return Interval::everything();
                const Interval b = intervalStack_.back();
                intervalStack_.pop_back();
                intervalStack_.back() = binaryOf(op, intervalStack_.back(), b);
            } else {
                if (intervalStack_.empty())
                    return Interval::everything();
                intervalStack_.back() = unaryOf(op, intervalStack_.back());
            }
        }
        }
    }
    return intervalStack_.size() == 1 ? intervalStack_.back() : Interval::everything();
}

} // namespace orlix
