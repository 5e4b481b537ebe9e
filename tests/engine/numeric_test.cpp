// Roots, limits and periods of compiled formulas.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "random.h"

namespace orlix {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.141592653589793;

StackMachine compile(const std::string& text) { return StackMachine(*fStack::createWithString(text)); }

class Numeric : public ::testing::Test {
  protected:
    void SetUp() override
    {
        detail::seedEngineRandom(12345);
        StackMachine::setBadRoot(NaN);
        savedX_ = *MathEngine::xAddr();
        savedY_ = *MathEngine::yAddr();
    }
    void TearDown() override
    {
        *MathEngine::xAddr() = savedX_;
        *MathEngine::yAddr() = savedY_;
    }

  private:
    double savedX_ = 0, savedY_ = 0;
};

// Expected values: NaN means "no result"; otherwise within tol.
void expectNear(double expected, double actual, double tol, const std::string& what)
{
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(actual)) << what << " gave " << actual;
    else if (std::isinf(expected) || tol == 0)
        EXPECT_EQ(expected, actual) << what;
    else
        EXPECT_NEAR(expected, actual, tol) << what;
}

TEST_F(Numeric, RootInOneVariable)
{
    struct Case {
        const char* formula;
        const char* variable;
        double a, b;
        double root;
    };
    const Case cases[] = {
        {"x^2-2", "x", 0, 2, std::sqrt(2.0)},
        {"x^2-2", "x", 2, 3, NaN}, // no sign change
        {"sin(x)", "x", 3, 4, kPi},
        {"t^2-2", "t", -2, 0, -std::sqrt(2.0)},
        {"cos(θ)", "θ", 1, 2, kPi / 2},
        {"x", "x", -1, 1, 0}, // the first midpoint is the root
        {"sin(x)", "x", -1, 1, 0},
        {"x-1", "x", 1, 2, 1},          // root at the left end
        {"x-2", "x", 1, 2, 2},          // root at the right end
        {"1e-200*(x-1)", "x", 0, 3, 1}, // products of the values underflow
        {"x^2-2", "x", 2, 2, NaN},
        {"x-2", "x", 2, 2, 2},
    };
    for (const Case& c : cases) {
        StackMachine p = compile(c.formula);
        double* cell = MathEngine::addrForVariable(c.variable);
        *cell = 42;
        const double r = p.findRootBetweenVar1(c.a, c.b, cell);
        const std::string what =
            std::string(c.formula) + " on [" + std::to_string(c.a) + ", " + std::to_string(c.b) + "]";
        expectNear(c.root, r, 1e-12, what);
        EXPECT_EQ(42, *cell) << what << ": the cell is restored";
    }
}

TEST_F(Numeric, RootSearchGivingUp)
{
    double* x = MathEngine::xAddr();
    // The first midpoint is the pole: the search stops there and leaves the cell at it.
    StackMachine inv = compile("1/x");
    *x = 42;
    EXPECT_TRUE(std::isnan(inv.findRootBetweenVar1(-1, 1, x)));
    EXPECT_EQ(0, StackMachine::badRoot());
    EXPECT_EQ(0, *x);

    // A sign change across a pole with finite values: the residual stays large.
    StackMachine tan = compile("tan(x)");
    *x = 42;
    EXPECT_TRUE(std::isnan(tan.findRootBetweenVar1(1, 2, x)));
    EXPECT_NEAR(kPi / 2, StackMachine::badRoot(), 1e-12);
    EXPECT_EQ(42, *x);
}

TEST_F(Numeric, RootWithUnusableBounds)
{
    StackMachine p = compile("x");
    double* x = MathEngine::xAddr();
    const double bounds[][2] = {{NaN, 1}, {-1, NaN}, {-Inf, 1}, {-1, Inf}, {NaN, NaN}};
    for (const auto& b : bounds) {
        *x = 42;
        StackMachine::setBadRoot(7);
        EXPECT_TRUE(std::isnan(p.findRootBetweenVar1(b[0], b[1], x)));
        EXPECT_EQ(42, *x);
        EXPECT_EQ(7, StackMachine::badRoot());
    }
}

TEST_F(Numeric, RootOnSegment)
{
    struct Case {
        const char* formula;
        myPoint p1, p2;
        myPoint root;
    };
    const double h = std::sqrt(0.5);
    const Case cases[] = {
        {"x^2+y^2-1", {0, 0}, {2, 0}, {1, 0}},
        {"x^2+y^2-1", {0, 0}, {1, 1}, {h, h}},
        {"x^2+y^2-1", {-2, 0.5}, {0, 0.5}, {-std::sqrt(0.75), 0.5}},
        {"x^2+y^2-1", {1, 0}, {2, 0}, {1, 0}}, // at an end
        {"x^2+y^2-1", {2, 2}, {3, 3}, {NaN, NaN}},
        {"x+y", {-1, -1}, {1, 1}, {0, 0}}, // the first midpoint is the root
        {"x^2+y^2-1", {NaN, NaN}, {1, 1}, {NaN, NaN}},
    };
    double* x = MathEngine::xAddr();
    double* y = MathEngine::yAddr();
    for (const Case& c : cases) {
        StackMachine p = compile(c.formula);
        *x = 42;
        *y = 43;
        const myPoint r = p.findRootBetweenP1(c.p1, c.p2);
        const std::string what = std::string(c.formula) + " from (" + std::to_string(c.p1.x) + ", " +
                                 std::to_string(c.p1.y) + ") to (" + std::to_string(c.p2.x) + ", " +
                                 std::to_string(c.p2.y) + ")";
        expectNear(c.root.x, r.x, 1e-12, what + " x");
        expectNear(c.root.y, r.y, 1e-12, what + " y");
        EXPECT_EQ(42, *x) << what;
        EXPECT_EQ(43, *y) << what;
    }
}

TEST_F(Numeric, SegmentRootGivingUp)
{
    StackMachine p = compile("1/x");
    const myPoint r = p.findRootBetweenP1({-1, 5}, {1, 5});
    EXPECT_TRUE(std::isnan(r.x) && std::isnan(r.y));
    EXPECT_EQ(0, StackMachine::badRoot());
    EXPECT_EQ(0, *MathEngine::xAddr());
}

TEST_F(Numeric, SegmentRootEndsWithNaNCoordinate)
{
    // The x coordinates never settle; the search must still end.
    StackMachine p = compile("(y-1000000.3)^3+1e-30"); // never exactly 0
    const myPoint r = p.findRootBetweenP1({NaN, 1000000}, {NaN, 1000001});
    EXPECT_TRUE(std::isnan(r.x));
    EXPECT_NEAR(1000000.3, r.y, 1e-9);
}

TEST_F(Numeric, Limits)
{
    struct Case {
        const char* formula;
        double a;
        bool fromLeft;
        double limit;
        double tol;
    };
    const Case cases[] = {
        {"sin(x)/x", 0, false, 1, 0},
        {"sin(x)/x", 0, true, 1, 0},
        {"1/x", 0, false, Inf, 0},
        {"1/x", 0, true, -Inf, 0}, // the last probe is at -0
        {"abs(x)/x", 0, false, 1, 0},
        {"abs(x)/x", 0, true, -1, 0},
        {"sqrt(x)", 0, true, 0, 0}, // only the probe at 0 itself counts
        {"x^x", 0, false, 1, 0},
        {"(x^2-1)/(x-1)", 1, false, 2, 1e-12},
        {"(x^2-1)/(x-1)", 1, true, 2, 1e-12},
        {"0.1", 3, false, 0.1, 0}, // a constant is its own limit, to the bit
        {"0.1", Inf, false, 0.1, 0},
        {"7", -Inf, false, 7, 0},
        {"1e300*x", 1e8, false, 1e308, 1e295}, // the sum of the probes overflows
        {"x+1", 1e300, false, 1e300, 0},       // a + h is a at once
        {"exp(-x)", Inf, false, 0, 0},
        {"exp(x)", -Inf, false, 0, 0},
        {"exp(x)", Inf, false, Inf, 0},
        {"x", NaN, false, NaN, 0},
        {"sqrt(-1-x^2)", 2, false, NaN, 0},
        {"sin(1/x)", 0, false, NaN, 0},
    };
    for (const Case& c : cases) {
        StackMachine p = compile(c.formula);
        for (unsigned seed = 0; seed < 5; ++seed) {
            detail::seedEngineRandom(seed);
            const double l = p.findLimitAtPoint(c.a, MathEngine::xAddr(), c.fromLeft);
            expectNear(c.limit, l, c.tol,
                       std::string(c.formula) + " at " + std::to_string(c.a) + (c.fromLeft ? " from the left" : ""));
        }
    }
}

TEST_F(Numeric, LimitsThatTheProbesCannotSettle)
{
    // (1+1/x)^x: the last probe is where 1 + 1/x rounds to 1, so it gives 1,
    // while the probe before it is far from 1 by rounding: no agreement.
    StackMachine p = compile("(1+1/x)^x");
    for (unsigned seed = 0; seed < 20; ++seed) {
        detail::seedEngineRandom(seed);
        EXPECT_TRUE(std::isnan(p.findLimitAtPoint(Inf, MathEngine::xAddr()))) << seed;
    }
}

TEST_F(Numeric, FiniteEstimatorOnNaNPointEnds)
{
    StackMachine p = compile("x");
    EXPECT_TRUE(std::isnan(p.limitAtFinitePoint(NaN, MathEngine::xAddr(), false)));
    EXPECT_TRUE(std::isnan(p.limitAtFinitePoint(NaN, MathEngine::xAddr(), true)));
    StackMachine decay = compile("exp(-x)");
    EXPECT_EQ(0, decay.limitAtFinitePoint(Inf, MathEngine::xAddr(), false));
}

TEST_F(Numeric, PeriodTwoPi)
{
    struct Case {
        const char* formula;
        const char* variable;
        bool periodic;
    };
    const Case cases[] = {
        {"sin(x)", "x", true},
        {"cos(x)", "x", true},
        {"sin(3*x)+cos(x)", "x", true},
        {"exp(sin(x))*100", "x", true},
        {"sin(50*x)", "x", true},
        {"(cos(θ))^2", "θ", true},
        {"7", "x", true},
        {"sqrt(-1-x^2)", "x", true}, // NaN everywhere never fails
        {"sin(x/2)", "x", false},
        {"sin(x)+x*1e-9", "x", false},
        {"sin(x)+sin(x*sqrt(2))", "x", false},
        {"sin(θ)", "x", true}, // probes the wrong cell: constant in x
    };
    for (const Case& c : cases) {
        StackMachine p = compile(c.formula);
        for (unsigned seed = 0; seed < 10; ++seed) {
            detail::seedEngineRandom(seed);
            EXPECT_EQ(c.periodic, p.is2piodicForVariable(MathEngine::addrForVariable(c.variable)))
                << c.formula << " seed " << seed;
        }
    }
}

TEST_F(Numeric, PeriodT)
{
    struct Case {
        const char* formula;
        double T;
        bool periodic;
    };
    const Case cases[] = {
        {"sin(x)", 6.283185307179586, true},
        {"sin(x)", 1, false},
        {"sin(x)", 2 * 6.283185307179586, true},
        {"sin(x)", kPi, false},
        {"abs(sin(x))", kPi, true},
        {"x-floor(x)", 1, true},
        {"sin(x)", NaN, false},
        {"sin(x)", Inf, false},
    };
    for (const Case& c : cases) {
        StackMachine p = compile(c.formula);
        for (unsigned seed = 0; seed < 10; ++seed) {
            detail::seedEngineRandom(seed);
            EXPECT_EQ(c.periodic, p.isPeriodicWithPeriod(c.T)) << c.formula << " T " << c.T << " seed " << seed;
        }
    }
}

TEST_F(Numeric, RandomSourceRepeatsAfterSeeding)
{
    detail::seedEngineRandom(99);
    int first[5];
    for (int& v : first) {
        v = detail::engineRandom();
        EXPECT_GE(v, 0);
        EXPECT_LE(v, detail::engineRandomMax);
    }
    detail::seedEngineRandom(99);
    for (int v : first)
        EXPECT_EQ(v, detail::engineRandom());
}

} // namespace
} // namespace orlix
