// The numeric meaning of every operator and function. Evaluation, the routine
// table and constant folding all go through these, so they agree bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace orlix::ops {

enum Op : std::uint8_t {
    Const,
    Var,
    Call, // a routine added directly
    // two operands: a is the second value from the top, b the top
    Plus,
    Minus,
    Mult,
    Divide,
    Power,
    // one operand
    UMinus,
    Invert,
    Sqrt,
    Abs,
    Log,
    Ln,
    Exp,
    Sin,
    Cos,
    Tan,
    Asin,
    Acos,
    Atan,
    Sinh,
    Cosh,
    Tanh,
    Asinh,
    Acosh,
    Atanh,
    Sign,
    Sign_,
    Not_,
    Greater_,
    Greater__,
    NotInt,
    NotInt_,
    Ceil,
    Floor,
    Fract,
    OpCount
};

constexpr bool isBinary(Op op) { return op >= Plus && op <= Power; }
constexpr bool isUnary(Op op) { return op >= UMinus && op < OpCount; }

inline constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// a^b. Squares are a·a (correctly rounded); cubes and fourth powers are
// products compensated with fused multiply-adds, within one unit in the last
// place of pow and much faster. Every evaluation of the operator (the
// programs, the simplifier's folds, the routine table) comes here, so all of
// them agree bit for bit.
inline double power(double a, double b)
{
    if (b == 2)
        return a * a;
    if (b == 3 || b == 4) {
        const double square = a * a;
        if (!std::isfinite(square))
            return b == 3 ? square * a : square * square;
        // a² = square + low exactly.
        const double low = std::fma(a, a, -square);
        return b == 3 ? std::fma(square, a, low * a) : std::fma(square, square, 2 * square * low);
    }
    return std::pow(a, b);
}

inline double binary(Op op, double a, double b)
{
    switch (op) {
    case Plus: return b + a;
    case Minus: return a - b;
    case Mult: return b * a;
    case Divide: return a / b;
    case Power: return power(a, b);
    default: return NaN;
    }
}

inline double unary(Op op, double u)
{
    switch (op) {
    case UMinus: return -u; // flips the sign bit: -(0) is -0
    case Invert: return 1 / u;
    case Sqrt: return std::sqrt(u);
    case Abs: return std::fabs(u);
    case Log: return std::log10(u);
    case Ln: return std::log(u);
    case Exp: return std::exp(u);
    case Sin: return std::sin(u);
    case Cos: return std::cos(u);
    case Tan: return std::tan(u);
    case Asin: return std::asin(u);
    case Acos: return std::acos(u);
    case Atan: return std::atan(u);
    case Sinh: return std::sinh(u);
    case Cosh: return std::cosh(u);
    case Tanh: return std::tanh(u);
    case Asinh: return std::asinh(u);
    case Acosh: return std::acosh(u);
    case Atanh: return std::atanh(u);
    case Sign: return u > 0 ? 1.0 : (u == 0 ? 0.0 : -1.0);  // NaN gives -1
    case Sign_: return u > 0 ? 1.0 : (u == 0 ? NaN : -1.0); // undefined at 0
    case Not_: return u == 0 ? NaN : 0.0;                   // NaN gives 0
    case Greater_: return u > 0 ? 0.0 : NaN;
    case Greater__: return u > 0 ? u : NaN;
    case NotInt: return u == std::floor(u) ? NaN : 0.0; // integers and infinities
    case NotInt_: return u == std::floor(u) ? NaN : 1.0;
    case Ceil: return std::ceil(u);
    case Floor: return std::floor(u);
    case Fract: return u - std::floor(u);
    default: return NaN;
    }
}

} // namespace orlix::ops
