// The compiled evaluator folds constants and fuses pushes into operations;
// whatever it does, its results must be bit for bit those of the plain
// routines run step by step (the scratch machine's path).

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ops.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "same_value.h"

using orlix::fStack;
using orlix::CellRestore;
using orlix::MathEngine;
using orlix::StackMachine;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using orlix::test::same;

const char* const kBinary[] = {"+", "-", "*", "/", "^", "pow", "power"};
const char* const kUnary[] = {"--",      "inv",   "sqrt",  "abs",  "||",    "log",  "ln",       "exp",       "sin",
                              "cos",     "tan",   "tg",    "asin", "acos",  "atan", "sinh",     "cosh",      "tanh",
                              "asinh",   "acosh", "atanh", "sign", "sign_", "not_", "greater_", "greater__", "notInt",
                              "notInt_", "ceil",  "floor", "[]",   "{}",    "fract"};
const char* const kVariables[] = {"x", "y", "t", "a", "θ"};
const double kSpecial[] = {0.0,
                           -0.0,
                           1.0,
                           -1.0,
                           2.0,
                           3.0,
                           -2.0,
                           0.5,
                           -0.5,
                           1e308,
                           -1e308,
                           5e-324,
                           2.2250738585072014e-308,
                           kInf,
                           -kInf,
                           kNaN,
                           3.141592653589793,
                           1e-300};

class ProgramMaker {
  public:
    explicit ProgramMaker(std::uint64_t seed) : rng_(seed) {}

    double value()
    {
        if (pick(3) == 0)
            return std::uniform_real_distribution<double>(-10, 10)(rng_);
        return kSpecial[pick(std::size(kSpecial))];
    }

    // A random expression in postfix order.
    void expression(std::vector<fStack::Item>& out, int depth)
    {
        const unsigned kind = depth <= 0 ? 0 : pick(5);
        if (kind <= 1) {
            if (pick(2) == 0)
                out.emplace_back(std::string(kVariables[pick(std::size(kVariables))]));
            else
                out.emplace_back(value());
        } else if (kind == 2) {
            expression(out, depth - 1);
            out.emplace_back(std::string(kUnary[pick(std::size(kUnary))]));
        } else {
            expression(out, depth - 1);
            expression(out, depth - 1);
            out.emplace_back(std::string(kBinary[pick(std::size(kBinary))]));
        }
    }

    unsigned pick(std::size_t n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }

  private:
    std::mt19937_64 rng_;
};

// The scratch machine runs the plain routines step by step.
double generic(const std::vector<fStack::Item>& items)
{
    StackMachine m;
    for (const fStack::Item& item : items) {
        if (const std::string* name = std::get_if<std::string>(&item))
            m.addFunc(*name);
        else
            m.addConst(std::get<double>(item));
    }
    return m.evaluate();
}

std::string describe(const std::vector<fStack::Item>& items)
{
    std::string s;
    for (const fStack::Item& item : items) {
        if (const std::string* name = std::get_if<std::string>(&item))
            s += *name;
        else
            s += std::to_string(std::get<double>(item));
        s += ' ';
    }
    return s;
}

struct CellGuard {
    CellRestore xy{MathEngine::xAddr(), MathEngine::yAddr()};
    CellRestore ta{MathEngine::tAddr(), MathEngine::aAddr()};
    CellRestore f{MathEngine::fAddr()};
};

} // namespace

TEST(Evaluator, CompiledProgramsMatchThePlainRoutinesBitForBit)
{
    CellGuard guard;
    ProgramMaker maker(0x0172'2026);
    int compared = 0;
    for (int program = 0; program < 3000; ++program) {
        std::vector<fStack::Item> items;
        maker.expression(items, 1 + maker.pick(6));
        fStack::Owner list = fStack::fromArray(items);
        ASSERT_TRUE(list) << describe(items);
        StackMachine fast(*list);
        for (int point = 0; point < 12; ++point) {
            *MathEngine::xAddr() = maker.value(), *MathEngine::yAddr() = maker.value(), *MathEngine::tAddr() = maker.value();
            *MathEngine::aAddr() = maker.value(), *MathEngine::fAddr() = maker.value();
            const double want = generic(items);
            const double got = fast.evaluate();
            ASSERT_TRUE(same(got, want)) << describe(items) << "x=" << *MathEngine::xAddr() << " y=" << *MathEngine::yAddr() << " t=" << *MathEngine::tAddr()
                                         << " a=" << *MathEngine::aAddr() << " θ=" << *MathEngine::fAddr() << ": fast " << got << ", plain " << want;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 36000);
}

// Patterns the compiler rewrites (constant operands, a variable next to a
// constant, constants only), each checked against the plain routines.
TEST(Evaluator, FoldedAndFusedStepsKeepOperandOrder)
{
    CellGuard guard;
    using I = fStack::Item;
    using S = std::string;
    const std::vector<std::vector<I>> programs = {
        {S("x"), 3.0, S("-")},              // cell op constant
        {3.0, S("x"), S("-")},              // constant op cell
        {S("x"), S("y"), S("-")},           // both from cells
        {S("x"), S("sin"), 2.0, S("/")},    // top op constant
        {S("x"), S("sin"), S("y"), S("/")}, // top op cell
        {2.0, 0.5, S("^")},                 // folded
        {-8.0, 1.0, 3.0, S("/"), S("^")},   // folded to NaN
        {0.0, S("--")},                     // folded to -0
        {1.0, 0.0, S("/"), S("x"), S("-")}, // folded, then fused
        {S("x"), S("--"), S("y"), S("^")},  // unary on a cell, then a cell operand
        {S("x"), S("y"), S("t"), S("*"), S("+")},
        {S("x"), S("x"), S("x"), S("x"), S("+"), S("+"), S("+")},
        {S("x"), S("sign_"), S("notInt"), S("x"), S("{}"), S("-")},
    };
    const double points[] = {0.0, -0.0, 1.0, -1.0, 2.5, -3.0, kInf, -kInf, kNaN, 1e-310};
    for (const auto& items : programs) {
        fStack::Owner list = fStack::fromArray(items);
        ASSERT_TRUE(list) << describe(items);
        StackMachine fast(*list);
        for (double x : points) {
            for (double y : points) {
                *MathEngine::xAddr() = x, *MathEngine::yAddr() = y, *MathEngine::tAddr() = -y;
                EXPECT_TRUE(same(fast.evaluate(), generic(items))) << describe(items) << "x=" << x << " y=" << y;
            }
        }
    }
}

TEST(Evaluator, EdgeValuesOfFormulas)
{
    CellGuard guard;
    struct Case {
        const char* formula;
        double x;
        double expected;
    };
    const Case cases[] = {
        {"2*x", 3, 6},           {"2*x", kNaN, kNaN},    {"1/0", 0, kInf},
        {"0/0", 0, kNaN},        {"-(0)", 0, -0.0},      {"-x", 0, -0.0},
        {"(-8)^(1/3)", 0, kNaN}, {"x^(1/3)", -8, kNaN},  {"sign(0)", 0, 0},
        {"sign_(0)", 0, kNaN},   {"sign(x)", kNaN, -1},  {"not_(0)", 0, kNaN},
        {"not_(2)", 0, 0},       {"not_(x)", kNaN, 0},   {"notInt(2)", 0, kNaN},
        {"notInt(2.5)", 0, 0},   {"notInt_(2.5)", 0, 1}, {"notInt(x)", kInf, kNaN},
        {"{-0.25}", 0, 0.75},    {"[-0.5]", 0, -1},      {"greater__(-1)", 0, kNaN},
        {"greater__(2)", 0, 2},  {"greater_(2)", 0, 0},  {"g", 0, 0},
        {"|x|", -0.0, 0.0},      {"x^0", kNaN, 1},
        // rounding halves away from zero; the remainder takes the divisor's sign
        {"round(x)", 2.5, 3},     {"round(x)", -2.5, -3}, {"mod(x,3)", -1, 2},
        {"mod(7,x)", -3, -2},     {"mod(x,0)", 5, kNaN},  {"min(x,2)", 3, 2},
        {"max(x,2)", 3, 3},       {"min(x,2)", kNaN, kNaN}, {"gamma(x)", 5, 24},
        {"gamma(x)", 0, kInf},    {"gamma(x)", -1, kNaN}, {"polygamma(0,x)", 0, kNaN},
        {"polygamma(x,2)", 0.5, kNaN},
    };
    for (const Case& c : cases) {
        fStack::Owner list = fStack::createWithString(c.formula);
        ASSERT_TRUE(list) << c.formula;
        StackMachine m(*list);
        MathEngine::setX(c.x);
        EXPECT_TRUE(same(m.evaluate(), c.expected)) << c.formula << " at x=" << c.x << " gave " << m.evaluate();
    }
}

TEST(Evaluator, MachineStaysCorrectWhenStepsAreAddedAfterCompiling)
{
    CellGuard guard;
    fStack::Owner list = fStack::createWithString("x+1");
    StackMachine m(*list);
    MathEngine::setX(2);
    EXPECT_EQ(m.evaluate(), 3);
    // Appending turns the program into x+1, 10, * (balanced again).
    m.addConst(10);
    m.addFunc("*");
    EXPECT_EQ(m.evaluate(), 30);
}

TEST(Evaluator, CompileRejectsWhatTheFastPathCannotRun)
{
    // Node count limit: 4048 nodes compile, 4049 do not.
    auto chain = [](int leaves) {
        std::vector<fStack::Item> items{std::string("x")};
        for (int k = 1; k < leaves; ++k) {
            items.emplace_back(1.0);
            items.emplace_back(std::string("+"));
        }
        return items;
    };
    fStack::Owner ok = fStack::fromArray(chain(2024)); // 4047 nodes
    ok->last()->addFunc("sin");                        // 4048
    ASSERT_EQ(ok->length(), 4048);
    EXPECT_NO_THROW(StackMachine{*ok});
    ok->last()->addFunc("cos"); // 4049
    try {
        StackMachine m(*ok);
        FAIL() << "compiled a 4049-node list";
    } catch (const orlix::Error& err) {
        EXPECT_EQ(err.reason(), "Function is too complex!");
    }

    fStack::Owner unknown = fStack::fromArray({std::string("x"), std::string("sinx")});
    if (unknown) {
        EXPECT_THROW(StackMachine{*unknown}, orlix::Error);
    }
}

// Squares, cubes and fourth powers take the fast route: a² is a·a, a³ and
// a⁴ stay within one unit in the last place of pow, special values come out
// as pow gives them, and a constant folded by the simplifier equals the
// same power evaluated at run time.
TEST(Evaluator, SmallIntegerPowers)
{
    CellGuard guard;
    std::mt19937_64 random(0x0172'2026);
    std::uniform_real_distribution<double> exponent(-300, 300), mantissa(1, 2);
    for (int k = 0; k < 20000; ++k) {
        const double a = (k % 2 ? -1 : 1) * mantissa(random) * std::pow(2.0, std::floor(exponent(random) / 4));
        EXPECT_TRUE(same(orlix::ops::power(a, 2), a * a)) << a;
        for (double b : {3.0, 4.0}) {
            const double want = std::pow(a, b), got = orlix::ops::power(a, b);
            const double ulp = std::nextafter(std::fabs(want), kInf) - std::fabs(want);
            EXPECT_LE(std::fabs(got - want), ulp) << a << "^" << b;
        }
    }
    const double specials[] = {0.0, -0.0, kInf, -kInf, kNaN, 1e200, -1e200, 1e-200, -1e-310, 1.0, -1.0};
    for (double a : specials)
        for (double b : {2.0, 3.0, 4.0})
            EXPECT_TRUE(same(orlix::ops::power(a, b), std::pow(a, b))) << a << "^" << b;

    for (const char* formula : {"x^2", "x^3", "x^4"}) {
        std::string folded = formula;
        folded.replace(0, 1, "1.1");
        StackMachine atRunTime(*fStack::createWithString(formula));
        StackMachine constant(*fStack::optimize(fStack::createWithString(folded)));
        MathEngine::setX(1.1);
        EXPECT_TRUE(same(atRunTime.evaluate(), constant.evaluate())) << formula;
    }
}

// The browser's build has no fused multiply-add but a slow routine for it,
// and takes cubes and fourth powers through split products instead: the
// same bits as the fused route, on random numbers of every size, whole
// numbers and the edges where it hands over to the fused route.
TEST(Evaluator, SplitPowersGiveTheFusedBits)
{
    std::mt19937_64 random(0x0172'2032);
    std::uniform_int_distribution<std::uint64_t> bits(0, (std::uint64_t{1} << 52) - 1);
    std::uniform_int_distribution<int> exponent(-260, 260);
    std::vector<double> values = {
        0x1p-200, 0x1p200, std::nextafter(0x1p-200, 1.0), std::nextafter(0x1p200, 0.0), 0.1, 1.1, 3, 1e15 + 1,
        94906267, 208063,  0x1.fffffffffffffp-1};
    for (int k = 0; k < 2'000'000; ++k) {
        const double m = std::bit_cast<double>((std::uint64_t{1023} << 52) | bits(random));
        values.push_back((k % 2 ? -1 : 1) * std::ldexp(m, exponent(random)));
    }
    for (int n = 1; n < 100000; ++n)
        values.push_back(n), values.push_back(n / 7.0), values.push_back(-n * 0.001);
    int differ = 0;
    for (double a : values)
        for (bool cube : {true, false}) {
            const double square = a * a;
            if (!std::isfinite(square))
                continue;
            const double fused = orlix::ops::fusedCubeOrFourth(a, square, cube);
            if (!same(orlix::ops::splitCubeOrFourth(a, square, cube), fused) && ++differ <= 5)
                ADD_FAILURE() << a << (cube ? "^3" : "^4");
        }
    EXPECT_EQ(differ, 0);
}

// A row evaluated at once is bit for bit the same values one at a time,
// across chunk boundaries, for compiled programs and for those that run
// on the plain path.
TEST(Evaluator, BlockEvaluationMatchesOneAtATime)
{
    CellGuard guard;
    ProgramMaker maker(0x0172'2027);
    std::vector<double> xs(150), got(150);
    for (int program = 0; program < 1500; ++program) {
        std::vector<fStack::Item> items;
        maker.expression(items, 1 + maker.pick(6));
        fStack::Owner list = fStack::fromArray(items);
        ASSERT_TRUE(list) << describe(items);
        StackMachine fast(*list);
        if (program % 10 == 0)
            fast.addConst(2), fast.addFunc("*"); // the plain path
        *MathEngine::yAddr() = maker.value(), *MathEngine::tAddr() = maker.value(), *MathEngine::aAddr() = maker.value(), *MathEngine::fAddr() = maker.value();
        for (double& x : xs)
            x = maker.value();
        *MathEngine::xAddr() = 0.25;
        fast.evaluateBlock(&*MathEngine::xAddr(), xs.data(), got.data(), static_cast<int>(xs.size()));
        ASSERT_EQ(*MathEngine::xAddr(), 0.25);
        for (std::size_t k = 0; k < xs.size(); ++k) {
            *MathEngine::xAddr() = xs[k];
            ASSERT_TRUE(same(got[k], fast.evaluate())) << describe(items) << "x=" << xs[k];
        }
    }
}
