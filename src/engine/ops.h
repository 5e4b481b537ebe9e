// The numeric meaning of every operator and function, from the function
// table. Evaluation, the routine table and constant folding all go through
// these, so they agree bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "function_table.h"

namespace orlix::ops {

enum Op : std::uint8_t {
    Const,
    Var,
    Call, // a routine added directly
#define ORLIX_OP(name, ...) name,
    // two operands: a is the second value from the top, b the top
    ORLIX_BINARY_ROWS(ORLIX_OP)
    // one operand
    ORLIX_UNARY_ROWS(ORLIX_OP)
#undef ORLIX_OP
        OpCount
};

// The first operation of one operand: the rows of two come before it.
inline constexpr Op kFirstUnary = UMinus;

constexpr bool isBinary(Op op) { return op > Call && op < kFirstUnary; }
constexpr bool isUnary(Op op) { return op >= kFirstUnary && op < OpCount; }

inline constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// a³ (cube) or a⁴ as square·a or square·square plus the rounding error of
// a·a = square + low, carried by fused multiply-adds.
inline double fusedCubeOrFourth(double a, double square, bool cube)
{
    const double low = std::fma(a, a, -square);
    return cube ? std::fma(square, a, low * a) : std::fma(square, square, 2 * square * low);
}

// a = high + low, each with half of a's bits (Veltkamp); exact while 2²⁷·a
// is finite.
inline void splitHalves(double a, double& high, double& low)
{
    const double scaled = 134217729.0 * a; // 2^27 + 1
    high = scaled - (scaled - a);
    low = a - high;
}

// a·b − product exactly, product being a·b rounded (Dekker), while neither
// overflows and the error is no subnormal.
inline double productError(double a, double b, double product)
{
    double aHigh, aLow, bHigh, bLow;
    splitHalves(a, aHigh, aLow);
    splitHalves(b, bHigh, bLow);
    return ((aHigh * bHigh - product) + aHigh * bLow + aLow * bHigh) + aLow * bLow;
}

// The same values without a fused multiply-add, which WebAssembly has only
// as a slow library routine: the rounding errors come from splitting, and
// the sum that the last fma rounds once is rounded in two steps, which
// gives the fma's own result save where it lies within 2⁻⁵⁴ of an ulp of a
// rounding boundary. Outside 2^±200 the products or their errors would
// leave the normal numbers: the fma then gives them.
inline double splitCubeOrFourth(double a, double square, bool cube)
{
    const double size = std::fabs(a);
    if (!(size > 0x1p-200 && size < 0x1p200))
        return fusedCubeOrFourth(a, square, cube);
    const double low = productError(a, a, square);
    const double product = cube ? square * a : square * square;
    const double error = cube ? productError(square, a, product) : productError(square, square, product);
    return product + (error + (cube ? low * a : 2 * square * low));
}

// a^b. Squares are a·a (correctly rounded); cubes and fourth powers are
// products compensated for their rounding errors, within one unit in the
// last place of pow and much faster. Every evaluation of the operator (the
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
#if defined(__wasm__)
        return splitCubeOrFourth(a, square, b == 3);
#else
        return fusedCubeOrFourth(a, square, b == 3);
#endif
    }
    return std::pow(a, b);
}

// The smaller and the larger of a and b; no number where either is none.
inline double least(double a, double b) { return std::isnan(a) || std::isnan(b) ? NaN : (b < a ? b : a); }
inline double most(double a, double b) { return std::isnan(a) || std::isnan(b) ? NaN : (b > a ? b : a); }

// a − b·⌊a / b⌋: the remainder with the sign of b (mod(−1, 3) is 2); no
// number for b = 0.
inline double modulo(double a, double b)
{
    if (b == 0)
        return NaN;
    const double r = std::fmod(a, b);
    return r != 0 && (r < 0) != (b < 0) ? r + b : r;
}

// ψ⁽ⁿ⁾(x), the n-th derivative of the digamma function, for whole orders
// n from 0 to 100 (no number otherwise, and at the poles 0, −1, −2, …).
double polygamma(double n, double x);

// One function per row of the table, for code that knows its operation when
// it is compiled: fn::Plus(a, b), fn::Sin(u). binary() and unary() call the
// same functions, so both give the same bits.
namespace fn {
#define ORLIX_FN(name, value, ...)                                                                                     \
    inline double name(double a, double b) { return value; }
ORLIX_BINARY_ROWS(ORLIX_FN)
#undef ORLIX_FN
#define ORLIX_FN(name, value, ...)                                                                                     \
    inline double name(double u) { return value; }
ORLIX_UNARY_ROWS(ORLIX_FN)
#undef ORLIX_FN
} // namespace fn

inline double binary(Op op, double a, double b)
{
    switch (op) {
#define ORLIX_CASE(name, ...)                                                                                          \
    case name: return fn::name(a, b);
        ORLIX_BINARY_ROWS(ORLIX_CASE)
#undef ORLIX_CASE
    default: return NaN;
    }
}

inline double unary(Op op, double u)
{
    switch (op) {
#define ORLIX_CASE(name, ...)                                                                                          \
    case name: return fn::name(u);
        ORLIX_UNARY_ROWS(ORLIX_CASE)
#undef ORLIX_CASE
    default: return NaN;
    }
}

} // namespace orlix::ops
