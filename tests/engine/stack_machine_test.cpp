// Compilation and the numeric meaning of every routine at the edges of its
// domain.
#include <cmath>
#include <gtest/gtest.h>

#include "../support/param_names.h"

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

using orlix::Error;
using orlix::fStack;
using orlix::MathEngine;
using orlix::StackMachine;

namespace {

double rawValue(const std::string& formula, double x = 0)
{
    fStack::Owner list = fStack::justCreateWithString(formula);
    StackMachine program(*list);
    MathEngine::setX(x);
    return program.evaluate();
}

struct Routine {
    const char* formula;
    double x;
    double expected;
};
void PrintTo(const Routine& c, std::ostream* os) { *os << c.formula; }

class RoutineEdges : public testing::TestWithParam<Routine> {};

TEST_P(RoutineEdges, GiveTheirValue)
{
    const Routine& r = GetParam();
    const double got = rawValue(r.formula, r.x);
    if (std::isnan(r.expected)) {
        EXPECT_TRUE(std::isnan(got)) << r.formula << " at " << r.x << " gave " << got;
    } else {
        EXPECT_EQ(got, r.expected) << r.formula << " at " << r.x;
        EXPECT_EQ(std::signbit(got), std::signbit(r.expected)) << r.formula << " at " << r.x;
    }
}

const double NaN = std::nan("");
const double Inf = INFINITY;

INSTANTIATE_TEST_SUITE_P(
    Evaluation, RoutineEdges,
    testing::Values(Routine{"1/x", 0, Inf}, Routine{"-1/x", 0, -Inf}, Routine{"x/x", 0, NaN}, Routine{"-x", 0, -0.0},
                    Routine{"(-8)^(1/3)", 0, NaN}, Routine{"x^0.5", -1, NaN}, Routine{"sign(x)", 0, 0},
                    Routine{"sign(x)", -0.0, 0}, Routine{"sign(x)", 2, 1}, Routine{"sign(x/x)", 0, -1},
                    Routine{"sign_(x)", 0, NaN}, Routine{"sign_(x)", -3, -1}, Routine{"sign_(x/x)", 0, -1},
                    Routine{"not_(x)", 0, NaN}, Routine{"not_(x)", 2, 0}, Routine{"not_(x/x)", 0, 0},
                    Routine{"notInt(x)", 2, NaN}, Routine{"notInt(x)", 2.5, 0}, Routine{"notInt(1/x)", 0, NaN},
                    Routine{"notInt_(x)", 2.5, 1}, Routine{"notInt_(x)", -3, NaN}, Routine{"greater_(x)", 2, 0},
                    Routine{"greater_(x)", 0, NaN}, Routine{"greater__(x)", -1, NaN}, Routine{"greater__(x)", 2, 2},
                    Routine{"{x}", -0.25, 0.75}, Routine{"fract(x)", 2.75, 0.75}, Routine{"[x]", -0.5, -1},
                    Routine{"ceil(x)", -0.5, -0.0}, Routine{"abs(x)", -0.0, 0}, Routine{"inv(x)", 4, 0.25},
                    Routine{"log(x)", 1000, 3}, Routine{"ln(x)", 0, -Inf}, Routine{"ln(x)", -1, NaN},
                    Routine{"sqrt(x)", -1, NaN}, Routine{"acosh(x)", 0.5, NaN}, Routine{"atanh(x)", 1, Inf},
                    Routine{"g", 0, 0}, Routine{"x", NaN, NaN}, Routine{"2*x", 3, 6}),
    orlix::testing::ByFormula());

TEST(Evaluation, DoubleNegationIsRefusedWhereWritten)
{
    // '--x' is a syntax error, not a double negation.
    EXPECT_THROW(fStack::justCreateWithString("--x"), Error);
}

TEST(Compilation, NodeLimit)
{
    auto chain = [](int nodes) {
        fStack::Owner list = fStack::initWithName("x");
        fStack* tail = list.get();
        for (int k = 1; k < nodes; ++k)
            tail = tail->addFunc("sin");
        return list;
    };
    EXPECT_NO_THROW(StackMachine(*chain(4048)));
    try {
        StackMachine program(*chain(4049));
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Function is too complex!");
        EXPECT_EQ(e.name(), "Function is too complex!");
    }
}

TEST(Compilation, UnknownNamesAndUnbalancedLists)
{
    try {
        StackMachine program(*fStack::justCreateWithString("sinx(2)"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Unknown function 'sinx'!");
    }
    // A list that does not balance is never run.
    fStack::Owner bad = fStack::initWithName("x");
    bad->addFunc("+");
    EXPECT_THROW(StackMachine program(*bad), Error);
}

TEST(Engine, TablesAndCells)
{
    MathEngine& e = MathEngine::sharedEngine();
    EXPECT_EQ(e.stackEffect("logn"), -1);
    EXPECT_EQ(e.stackEffect("φ"), 1);
    EXPECT_EQ(e.stackEffect("sin"), 0);
    EXPECT_EQ(e.stackEffect("nonsense"), 0);
    EXPECT_EQ(e.constantValue("e"), 2.718281828459046);
    EXPECT_EQ(e.constantValue("π"), 3.141592653589793);
    EXPECT_EQ(e.constantValue("n"), 10.0);
    EXPECT_THROW(e.routineFor("d"), Error);
    EXPECT_EQ(MathEngine::addrForVariable("θ"), MathEngine::fAddr());
    EXPECT_EQ(MathEngine::addrForVariable("i"), MathEngine::fAddr());
    EXPECT_EQ(MathEngine::addrForVariable("q"), nullptr);
    // The angle's names differentiate alike; any other name means x.
    const fStack::Owner list = fStack::createWithString("x*θ");
    EXPECT_EQ(list->last()->dif("φ")->toSTR(), list->last()->dif("f")->toSTR());
    EXPECT_EQ(list->last()->dif("anything")->toSTR(), list->last()->dif("x")->toSTR());
    EXPECT_NE(list->last()->dif("x")->toSTR(), list->last()->dif("θ")->toSTR());
}

TEST(Engine, ScratchMachineRunsStepByStep)
{
    StackMachine m;
    m.addConst(7);
    m.addConst(2);
    m.addFunc("-");
    EXPECT_EQ(m.evaluate(), 5);
    StackMachine lonely;
    lonely.addFunc("+"); // nothing to add: NaN, not a crash
    EXPECT_TRUE(std::isnan(lonely.evaluate()));
}

} // namespace
