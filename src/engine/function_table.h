// Every operator and function of the formula language, one row each, with
// all its facts:
//
//   X(Op, value, derivative, interval, names...)
//
// - Op: the operation's name in the programs (ops::Op, the stack machine's
//   opcodes and its fast forms are made from these rows);
// - value: what it computes, of u for one operand, of a and b for two (a is
//   the left operand, written first; b the right one);
// - derivative: the derivative of the node in postfix, built with the
//   chain rule applied once: U is a copy of the operand and U' its
//   derivative; A, B, A', B' the same for the two operands; numbers and
//   names stand for themselves. nullptr where a rule of its own decides
//   (the power, whose exponent may or may not depend on the variable);
// - interval: its enclosure over operand intervals (interval_ops.h) of u,
//   or of a and b;
// - names: as typed (case-insensitive), the first one the name that lists
//   and stored programs use.
//
// Adding a function is one row here (and one line in the engine's table
// test); the keyboard offers it with a key of its own. Row order is opcode
// order: new rows go at the end of their list.
#pragma once

// clang-format off
#define ORLIX_BINARY_ROWS(X)                                                                                                                              \
    /* a + b */                                                                                                                                           \
    X(Plus, b + a, "A' B' +", iv::plus(a, b), "+")                                                                                                        \
    /* a − b */                                                                                                                                           \
    X(Minus, a - b, "A' B' -", iv::minus(a, b), "-")                                                                                                      \
    /* (a·b)' = a·b' + b·a' */                                                                                                                            \
    X(Mult, b * a, "A B' * B A' * +", iv::mult(a, b), "*")                                                                                                \
    /* (a / b)' = (b·a' − a·b') / b² */                                                                                                                   \
    X(Divide, a / b, "B A' * A B' * - B 2 ^ /", iv::divide(a, b), "/")                                                                                    \
    /* a^b: its own rule */                                                                                                                               \
    X(Power, power(a, b), nullptr, iv::power(a, b), "^", "power", "pow")                                                                                  \
    /* min(a, b)' = (a'·(1 + sign(b − a)) + b'·(1 − sign(b − a))) / 2 */                                                                                  \
    X(Min, least(a, b), "A' 1 B A - sign + * B' 1 B A - sign - * + 2 /", iv::least(a, b), "min")                                                          \
    /* max(a, b)' = (a'·(1 + sign(a − b)) + b'·(1 − sign(a − b))) / 2 */                                                                                  \
    X(Max, most(a, b), "A' 1 A B - sign + * B' 1 A B - sign - * + 2 /", iv::most(a, b), "max")                                                            \
    /* mod(a, b) = a − b·floor(a / b); (a' − b'·floor(a / b)), none across its jumps */                                                                   \
    X(Mod, modulo(a, b), "A' B' A B / floor * - A B / notInt_ *", iv::modulo(a, b), "mod")                                                                \
    /* ψ⁽ⁿ⁾(x)' = ψ⁽ⁿ⁺¹⁾(x)·x'; undefined where the order changes (not_(not_(v)) is 0 for v = 0 only) */                                                  \
    X(Polygamma, polygamma(a, b), "A 1 + B polygamma B' * A' not_ not_ +", iv::polygamma(a, b), "polygamma")

#define ORLIX_UNARY_ROWS(X)                                                                                                                               \
    /* −u (flips the sign bit: −(0) is −0) */                                                                                                             \
    X(UMinus, -u, "U' --", iv::negate(u), "--")                                                                                                           \
    /* (1/u)' = −(u' / u²) */                                                                                                                             \
    X(Invert, 1 / u, "U' U 2 ^ / --", iv::invert(u), "inv")                                                                                               \
    /* (√u)' = u' / (2·√u) */                                                                                                                             \
    X(Sqrt, std::sqrt(u), "U' 2 U sqrt * /", iv::sqrtOf(u), "sqrt")                                                                                       \
    /* |u|' = sign_(u)·u' (NaN where u = 0) */                                                                                                            \
    X(Abs, std::fabs(u), "U sign_ U' *", iv::absOf(u), "abs", "||")                                                                                       \
    /* (log u)' = u' / (greater__(u)·ln 10) */                                                                                                            \
    X(Log, std::log10(u), "U' U greater__ 2.302585092994046 * /", iv::log10(u), "log")                                                                    \
    /* (ln u)' = u' / greater__(u) (NaN where u ≤ 0) */                                                                                                   \
    X(Ln, std::log(u), "U' U greater__ /", iv::ln(u), "ln")                                                                                               \
    X(Exp, std::exp(u), "U exp U' *", iv::exp(u), "exp")                                                                                                  \
    X(Sin, std::sin(u), "U cos U' *", iv::sin(u), "sin")                                                                                                  \
    X(Cos, std::cos(u), "U sin U' -- *", iv::cos(u), "cos")                                                                                               \
    /* (tan u)' = u' / cos(u)² */                                                                                                                         \
    X(Tan, std::tan(u), "U' U cos 2 ^ /", iv::tangent(u), "tan", "tg")                                                                                    \
    /* (asin u)' = u' / √(1 − u²) */                                                                                                                      \
    X(Asin, std::asin(u), "U' 1 U 2 ^ - sqrt /", iv::asin(u), "asin", "arcsin")                                                                           \
    X(Acos, std::acos(u), "U' 1 U 2 ^ - sqrt / --", iv::acos(u), "acos", "arccos")                                                                        \
    /* (atan u)' = u' / (1 + u²) */                                                                                                                       \
    X(Atan, std::atan(u), "U' 1 U 2 ^ + /", iv::atan(u), "atan", "arctan", "arctg")                                                                       \
    X(Sinh, std::sinh(u), "U cosh U' *", iv::sinh(u), "sinh", "sh")                                                                                       \
    X(Cosh, std::cosh(u), "U sinh U' *", iv::cosh(u), "cosh", "ch")                                                                                       \
    X(Tanh, std::tanh(u), "U' U cosh 2 ^ /", iv::tanh(u), "tanh", "th")                                                                                   \
    X(Asinh, std::asinh(u), "U' 1 U 2 ^ + sqrt /", iv::asinh(u), "asinh", "arsinh", "arsh")                                                               \
    X(Acosh, std::acosh(u), "U' U 2 ^ 1 - sqrt /", iv::acosh(u), "acosh", "arcosh", "arch")                                                               \
    X(Atanh, std::atanh(u), "U' 1 U 2 ^ - /", iv::atanh(u), "atanh", "artanh", "arth")                                                                    \
    /* NaN gives −1; (sign u)' = not_(u)·u' (0, NaN where u = 0) */                                                                                       \
    X(Sign, u > 0 ? 1.0 : (u == 0 ? 0.0 : -1.0), "U not_ U' *", iv::signOf(u, false), "sign", "sgn")                                                      \
    /* the sign, undefined at 0 (the derivative of |u|) */                                                                                                \
    X(Sign_, u > 0 ? 1.0 : (u == 0 ? NaN : -1.0), "U not_ U' *", iv::signOf(u, true), "sign_")                                                            \
    /* 0 but undefined where u ≠ 0 (NaN gives 0) */                                                                                                       \
    X(Not_, u == 0 ? NaN : 0.0, "U not_ U' *", iv::constantWhere(0, u.lo == 0 && u.hi == 0, u.contains(0), u), "not_")                                    \
    /* 0 where u > 0, undefined elsewhere */                                                                                                              \
    X(Greater_, u > 0 ? 0.0 : NaN, "U greater_ U' *", iv::constantWhere(0, !(u.hi > 0), !(u.lo > 0), u), "greater_")                                      \
    /* u where u > 0, undefined elsewhere; its derivative u'·(greater_(u) + 1) */                                                                         \
    X(Greater__, u > 0 ? u : NaN, "U' U greater_ 1 + *", iv::positivePart(u), "greater__")                                                                \
    /* 0 but undefined at integers and infinities: the derivative of a step */                                                                            \
    X(NotInt, u == std::floor(u) ? NaN : 0.0, "U notInt U' *", iv::constantWhere(0, u.lo == u.hi && iv::holdsWhole(u), iv::holdsWhole(u), u), "notInt")   \
    /* 1 but undefined at integers: the derivative of the fractional part */                                                                              \
    X(NotInt_, u == std::floor(u) ? NaN : 1.0, "U notInt U' *", iv::constantWhere(1, u.lo == u.hi && iv::holdsWhole(u), iv::holdsWhole(u), u), "notInt_") \
    X(Ceil, std::ceil(u), "U notInt U' *", iv::steps(u, [](double v) { return std::ceil(v); }), "ceil")                                                   \
    X(Floor, std::floor(u), "U notInt U' *", iv::steps(u, [](double v) { return std::floor(v); }), "floor", "[]")                                         \
    X(Fract, u - std::floor(u), "U notInt_ U' *", iv::fract(u), "{}", "fract", "fpart")                                                                   \
    /* halves away from zero; no derivative across its jumps at the halves */                                                                             \
    X(Round, std::round(u), "U 0.5 + notInt U' *", iv::steps(u, [](double v) { return std::round(v); }), "round")                                         \
    /* Γ(u); Γ'(u) = Γ(u)·ψ(u) */                                                                                                                         \
    X(Gamma, std::tgamma(u), "U gamma 0 U polygamma * U' *", iv::gammaOf(u), "gamma")
// clang-format on

// Powers with a small whole constant exponent, X(Name, exponent): the
// compiled program runs u^exponent as an operation of one operand (of the
// top, or of a variable) that calls power() with the exponent written in,
// so the value is the power's own, bit for bit.
#define ORLIX_POWER_ROWS(X)                                                                                            \
    X(Square, 2.0)                                                                                                     \
    X(Cube, 3.0)                                                                                                       \
    X(Fourth, 4.0)

// Superinstructions: two instructions of the compiled program that follow
// each other and run as one, X(first op, first form, second op, second form).
// The forms are those of the stack machine's fast form (fast_form.h):
// S both operands from the stack, K a constant right operand, V a variable
// right operand, VK variable op constant, KV constant op variable; U a
// function of the top, UV a function of a variable. The fused instruction
// runs exactly the two instructions' code one after the other, so it gives
// their values bit for bit; adding a fusion is one row here.
// clang-format off
#define ORLIX_FUSION_ROWS(X)                                                                                           \
    /* a function of a variable combined with what is below it: … + x², … · cos(x) */                                  \
    X(Square, UV, Plus, S)                                                                                             \
    X(Sin, UV, Mult, S)                                                                                                \
    X(Cos, UV, Mult, S)                                                                                                \
    X(Tan, UV, Mult, S)                                                                                                \
    /* multiply-add: … − k·x, k·x + …, u·k + c */                                                                      \
    X(Mult, KV, Minus, S)                                                                                              \
    X(Mult, KV, Plus, S)                                                                                               \
    X(Mult, K, Plus, K)                                                                                                \
    /* a function of an operation with a constant: cos(3x), exp(u/2), x² + 1 */                                        \
    X(Mult, KV, Cos, U)                                                                                                \
    X(Mult, KV, Sin, U)                                                                                                \
    X(Divide, K, Exp, U)                                                                                               \
    X(Square, UV, Plus, K)                                                                                             \
    X(Square, UV, UMinus, U)                                                                                           \
    X(Abs, UV, Plus, K)                                                                                                \
    X(Abs, UV, Sqrt, U)                                                                                                \
    /* … / (x − k), … + ln(u) */                                                                                       \
    X(Minus, VK, Divide, S)                                                                                            \
    X(Ln, U, Plus, S)
// clang-format on
