// Numeric services of a compiled program: roots by bisection, limits
// estimated from probes, and randomised periodicity tests. Each drives the
// program by writing a variable cell and evaluating.
#include <array>
#include <cmath>
#include <limits>
#include <random>

#include "orlix/stack_machine.h"
#include "random.h"

namespace orlix {

namespace detail {

namespace {
std::mt19937& generator()
{
    static std::mt19937 g;
    return g;
}
} // namespace

int engineRandom() { return static_cast<int>(generator()() >> 1); }

void seedEngineRandom(unsigned seed) { generator().seed(seed); }

} // namespace detail

namespace {

using detail::engineRandom;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMachineEps = 2.220446049250313e-16;
constexpr double kTwoPi = 6.283185307179586;
// Bisection on doubles halves a finite interval at most about 2100 times
// before its ends are neighbours; the bound only stops runs on points with
// a NaN coordinate, whose midpoints never settle.
constexpr int kMaxHalvings = 4096;

// The sign test of the bisections. Unlike p * q < 0 it holds when the
// product underflows to zero.
bool oppositeSigns(double p, double q) { return (p < 0 && q > 0) || (p > 0 && q < 0); }

// The last ten usable probe values of a limit estimate.
class Ring {
  public:
    void add(double v)
    {
        values_[next_] = v;
        next_ = (next_ + 1) % size;
        if (count_ < size)
            ++count_;
    }

    // The mean of the stored values when they all agree with it to within
    // a relative 2.220446049250313e-13 (absolute floor `floor`); NaN when
    // they do not or nothing was stored; an infinite mean as it is.
    double estimate(double floor, bool floorIsMinimum) const
    {
        if (count_ == 0)
            return NaN;
        const double m = mean();
        if (std::isnan(m) || std::isinf(m))
            return m;
        double tol = std::fabs(m) * 2.220446049250313e-13;
        if (floorIsMinimum ? tol < floor : tol == 0)
            tol = floor;
        for (int i = 0; i < count_; ++i)
            if (std::fabs(values_[i] - m) > tol)
                return NaN;
        return m;
    }

  private:
    double mean() const
    {
        double sum = 0;
        bool allFinite = true;
        bool allEqual = true;
        for (int i = 0; i < count_; ++i) {
            sum += values_[i];
            allFinite = allFinite && std::isfinite(values_[i]);
            allEqual = allEqual && values_[i] == values_[0];
        }
        if (!allFinite)
            return sum / count_; // infinities decide, opposite ones give NaN
        // A constant is its own mean (a summed 0.1 comes back as 0.09999999999999999),
        // and large finite values must not overflow into an infinite mean.
        if (allEqual)
            return values_[0];
        if (std::isinf(sum)) {
            double m = 0;
            for (int i = 0; i < count_; ++i)
                m += values_[i] / count_;
            return m;
        }
        return sum / count_;
    }

    static constexpr int size = 10;
    std::array<double, size> values_{};
    int count_ = 0;
    int next_ = 0;
};

} // namespace

double StackMachine::findRootBetweenVar1(double a, double b, double* v)
{
    if (!std::isfinite(a) || !std::isfinite(b))
        return NaN;
    const double saved = *v;
    *v = a;
    double fa = evaluate();
    *v = b;
    const double fb = evaluate();
    // Also tries two values of one sign whose product is small: a zero the
    // curve only touches.
    if (!(fa * fb < 0.001)) {
        *v = saved;
        return NaN;
    }
    if (fa == 0) {
        // Bisection would walk away from a root at a.
        *v = saved;
        return a;
    }
    double f = fb;
    while (std::fabs(b - a) > kMachineEps) {
        const double m = (a + b) * 0.5;
        if (m == a || m == b)
            break;
        *v = m;
        const double fm = evaluate();
        if (!std::isfinite(fm)) {
            // The caller looks at this place (a pole, a gap); the cell stays there.
            setBadRoot(m);
            return NaN;
        }
        f = fm;
        if (fm == 0)
            break; // an exact root; going on would leave it
        if (oppositeSigns(fa, fm)) {
            b = m;
        } else {
            a = m;
            fa = fm;
        }
    }
    const double root = *v;
    *v = saved;
    if (std::fabs(f) < 0.001)
        return root;
    setBadRoot(root);
    return NaN;
}

myPoint StackMachine::findRootBetweenP1(myPoint p1, myPoint p2)
{
    const myPoint none{NaN, NaN};
    auto usable = [](myPoint p) { return std::isfinite(p.x) || std::isfinite(p.y); };
    if (!usable(p1) || !usable(p2))
        return none;
    double* x = MathEngine::xAddr();
    double* y = MathEngine::yAddr();
    const double savedX = *x;
    const double savedY = *y;
    auto restore = [&] {
        *x = savedX;
        *y = savedY;
    };
    *x = p1.x;
    *y = p1.y;
    double g1 = evaluate();
    *x = p2.x;
    *y = p2.y;
    const double g2 = evaluate();
    if (std::fabs(g1) < kMachineEps) {
        restore();
        return p1;
    }
    if (std::fabs(g2) < kMachineEps) {
        restore();
        return p2;
    }
    if (!(g1 * g2 < 0.01)) {
        restore();
        return none;
    }
    double g = g2;
    for (int i = 0; i < kMaxHalvings && (std::fabs(p2.x - p1.x) > kMachineEps || std::fabs(p2.y - p1.y) > kMachineEps);
         ++i) {
        const myPoint m{(p1.x + p2.x) * 0.5, (p1.y + p2.y) * 0.5};
        if ((m.x == p1.x && m.y == p1.y) || (m.x == p2.x && m.y == p2.y))
            break;
        *x = m.x;
        *y = m.y;
        const double gm = evaluate();
        if (!std::isfinite(gm)) {
            setBadRoot(m.x);
            return none;
        }
        g = gm;
        if (gm == 0)
            break;
        if (oppositeSigns(g1, gm)) {
            p2 = m;
        } else {
            p1 = m;
            g1 = gm;
        }
    }
    const myPoint found{*x, *y};
    restore();
    if (std::fabs(g) < 0.01)
        return found;
    setBadRoot(found.x);
    return none;
}

double StackMachine::findLimitAtPoint(double a, double* v, bool fromLeft)
{
    if (std::isnan(a))
        return NaN;
    if (std::isnan(a - a))
        return limitAtInfinitePoint(a, v);
    return limitAtFinitePoint(a, v, fromLeft);
}

double StackMachine::limitAtFinitePoint(double a, double* v, bool fromLeft)
{
    // a + h would never equal a.
    if (!std::isfinite(a))
        return std::isnan(a) ? NaN : limitAtInfinitePoint(a, v);
    Ring ring;
    double h = fromLeft ? -10 : 10;
    for (;;) {
        const int r = engineRandom() % 1000;
        double next = h * (r / 5000.0 + 0.4);
        if (next == h)
            next = h * 0.5; // the smallest subnormals round back to themselves
        h = next;
        // At 0 the last probe is h itself, a zero with the sign of the side
        // approached (0 + -0 would be +0).
        *v = (a == 0) ? h : a + h;
        const double value = evaluate();
        if (!std::isnan(value))
            ring.add(value);
        if (a + h == a)
            break;
    }
    return ring.estimate(2.220446049250313e-14, false);
}

double StackMachine::limitAtInfinitePoint(double a, double* v)
{
    Ring ring;
    double x = a < 0 ? -100 : 100;
    while (1 + 1 / x != 1) {
        const int r = engineRandom() % 1000;
        x *= r / 500.0 + 1.9;
        *v = x;
        const double value = evaluate();
        if (!std::isnan(value))
            ring.add(value);
    }
    return ring.estimate(2.220446049250313e-16, true);
}

bool StackMachine::is2piodicForVariable(double* v)
{
    for (int trial = 0; trial < 256; ++trial) {
        const int fraction = engineRandom() % 1000;
        const int turns = engineRandom() % 256;
        const double x = (fraction * 1e-4 * kTwoPi + turns) * kTwoPi;
        *v = x;
        const double z1 = evaluate();
        const int more = engineRandom() % 256;
        const double x2 = x + more * kTwoPi;
        *v = x2;
        const double z2 = evaluate();
        // x2 is x plus whole turns only up to its own rounding (an ulp of a few
        // thousand is 4.5e-13), so the values may differ by that much times the
        // slope: the tolerance grows with the argument as well as with the values.
        const double scale = std::fmax(std::fabs(z1), std::fabs(z2)) + std::fabs(x2);
        if (std::fabs(z1 - z2) > scale * 2.220446049250313e-13)
            return false;
    }
    return true;
}

bool StackMachine::isPeriodicWithPeriod(double T)
{
    // Every probe would be NaN and pass.
    if (!std::isfinite(T))
        return false;
    double* x = MathEngine::xAddr();
    for (int trial = 0; trial < 100; ++trial) {
        const int fraction = engineRandom() % 1000;
        const int periods = engineRandom() % 100;
        const double at = (fraction * 1e-4 + periods) * T;
        *x = at;
        const double z1 = evaluate();
        *x = at + T;
        const double z2 = evaluate();
        const double d = z1 - z2;
        if (d * d > 1e-16)
            return false;
    }
    return true;
}

} // namespace orlix
