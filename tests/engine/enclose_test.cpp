// Enclosures of a compiled program: never narrower than the values the
// program gives inside, and flagged where it may jump or have no value.
#include <cmath>
#include <gtest/gtest.h>

#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

using namespace orlix;

namespace {

Interval enclosure(const char* formula, double lo, double hi)
{
    StackMachine program(*fStack::justCreateWithString(formula));
    return program.enclose(MathEngine::xAddr(), lo, hi);
}

TEST(Enclose, HoldsEveryValueTheProgramGivesInside)
{
    const char* formulas[] = {"sin(7x)",    "1/cos(x)", "x^3-2x",    "exp(-x^2)", "sqrt(abs(x))*cos(3x)",
                              "floor(x)*x", "tan(x)",   "ln(x^2+1)", "x^0.5",     "mod(x,0.7)+atan(x)/x"};
    for (const char* f : formulas) {
        StackMachine program(*fStack::justCreateWithString(f));
        for (double lo = -3; lo < 3; lo += 0.37) {
            const double hi = lo + 0.29;
            const Interval e = program.enclose(MathEngine::xAddr(), lo, hi);
            for (int k = 0; k <= 64; ++k) {
                MathEngine::setX(lo + (hi - lo) * k / 64);
                const double v = program.evaluate();
                if (std::isnan(v)) {
                    EXPECT_TRUE(e.maybeUndefined) << f << " over " << lo;
                } else if (std::isfinite(v)) {
                    EXPECT_TRUE(e.contains(v))
                        << f << " over " << lo << ": " << v << " not in " << e.lo << ".." << e.hi;
                }
            }
        }
    }
}

TEST(Enclose, FlagsPolesAndJumpsOnly)
{
    EXPECT_TRUE(enclosure("1/cos(x)", 1.5, 1.6).maybeDiscontinuous);
    EXPECT_FALSE(enclosure("1/cos(x)", 1.4, 1.5).maybeDiscontinuous);
    EXPECT_FALSE(enclosure("1/cos(x)", 1.5, 1.6).isEverything()); // a pole is known, not nothing
    EXPECT_TRUE(enclosure("floor(x)", 0.9, 1.1).maybeDiscontinuous);
    EXPECT_TRUE(enclosure("floor(x)", 0.1, 0.9).clean());
    EXPECT_TRUE(enclosure("sqrt(x)", -1, 1).maybeUndefined);
    EXPECT_TRUE(enclosure("sqrt(x)", -2, -1).empty());
}

} // namespace
