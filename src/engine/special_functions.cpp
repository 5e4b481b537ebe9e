// The special functions of the formula language that the standard library
// lacks.
#include "ops.h"

namespace orlix::ops {

double polygamma(double n, double x)
{
    if (!(n >= 0 && n <= 100) || n != std::floor(n) || std::isnan(x))
        return NaN;
    if (x == std::floor(x) && x <= 0)
        return NaN; // the poles
    if (std::isinf(x))
        return x > 0 ? (n == 0 ? x : 0.0) : NaN;
    const int order = static_cast<int>(n);
    // n! and the sign (−1)^(n+1).
    double factorial = 1;
    for (int k = 2; k <= order; ++k)
        factorial *= k;
    const double sign = order % 2 == 0 ? -1.0 : 1.0;
    // ψ⁽ⁿ⁾(x) = ψ⁽ⁿ⁾(x + 1) + (−1)^(n+1)·n! / x^(n+1): move x up to where
    // the asymptotic series is exact to the last digits. A place too far
    // below zero would take too many steps.
    if (x < -1e5)
        return NaN;
    double shifted = 0;
    const double start = 16 + order;
    while (x < start) {
        shifted += sign * factorial / std::pow(x, order + 1);
        x += 1;
    }
    // The series in 1/x with the Bernoulli numbers B₂ … B₁₄.
    static constexpr double kBernoulli[] = {1.0 / 6,     -1.0 / 30,   1.0 / 42, -1.0 / 30,
                                            5.0 / 66,    -691.0 / 2730, 7.0 / 6};
    double sum;
    if (order == 0) {
        // ψ(x) ≈ ln x − 1/(2x) − Σ B₂ₖ / (2k·x²ᵏ)
        sum = std::log(x) - 0.5 / x;
        double power = 1;
        for (int k = 1; k <= 7; ++k) {
            power /= x * x;
            sum -= kBernoulli[k - 1] / (2 * k) * power;
        }
        return sum + shifted;
    }
    // ψ⁽ⁿ⁾(x) ≈ (−1)^(n+1)·[(n−1)!/xⁿ + n!/(2xⁿ⁺¹) + Σ B₂ₖ·(2k+n−1)!/((2k)!·x²ᵏ⁺ⁿ)]
    const double xn = std::pow(x, order);
    sum = factorial / order / xn + factorial / (2 * xn * x);
    // (2k+n−1)!/(2k)! built up term by term.
    double ratio = factorial / order; // (n−1)!
    double power = 1 / xn;
    for (int k = 1; k <= 7; ++k) {
        // from (2k+n−3)!/(2k−2)! to (2k+n−1)!/(2k)!
        ratio *= static_cast<double>(2 * k + order - 2) * (2 * k + order - 1) / ((2.0 * k - 1) * (2.0 * k));
        power /= x * x;
        sum += kBernoulli[k - 1] * ratio * power;
    }
    return sign * sum + shifted;
}

} // namespace orlix::ops
