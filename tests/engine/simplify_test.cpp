#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "postfix_text.h"

using orlix::fStack;
using orlix::MathEngine;
using orlix::StackMachine;

namespace {

// The list as `orlix-cli parse` prints it.
std::string show(const fStack* list) { return orlix::testing::postfixText(*list, 17, true); }

std::string simplified(const std::string& formula) { return show(fStack::createWithString(formula).get()); }

struct Cells {
    double x, y;
};

double evaluate(StackMachine& m, Cells at)
{
    MathEngine::setX(at.x);
    *MathEngine::yAddr() = at.y;
    return m.evaluate();
}

bool same(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b))
        return a == b;
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

std::vector<Cells> samplePoints()
{
    std::vector<Cells> points;
    // Not -0: x^0.5 becomes sqrt(x), and the two differ at -0 and -inf.
    for (double x : {-3.5, -2.0, -1.0, -0.5, 0.0, 0.25, 0.5, 1.0, 1.5, 2.0, 3.0, 7.25, 100.0, -1e6, 1e-7})
        for (double y : {-1.25, 0.0, 2.0})
            points.push_back({x, y});
    return points;
}

} // namespace

TEST(Simplify, FormulasToLists)
{
    const struct {
        const char* formula;
        const char* list;
    } cases[] = {
        // folding
        {"2*3+x", "'x' 6 '+'"},
        {"2^3", "8"},
        {"sin(0)", "0"},
        {"2*3*4", "24"},
        {"sqrt(-1)", "nan"},
        {"1/0", "inf"},
        {"ln(0)+x", "'x' -inf '+'"},
        // identities
        {"x*1", "'x'"},
        {"1*x", "'x'"},
        {"x+0", "'x'"},
        {"0+x", "'x'"},
        {"x-0", "'x'"},
        {"x^1", "'x'"},
        {"0-x", "'x' '--'"},
        {"0-sin(x)", "'x' 'sin' '--'"},
        {"x*0", "0"},
        {"sin(x)*0+y", "'y'"},
        {"x^-1", "'x' 'inv'"},
        {"x^0.5", "'x' 'sqrt'"},
        {"x^(1/2)", "'x' 'sqrt'"},
        // subtraction and division by numbers
        {"x-3", "'x' -3 '+'"},
        {"x/4", "'x' 0.25 '*'"},
        {"x/0", "'x' inf '*'"},
        {"3-x", "3 'x' '-'"},
        // negations and inversions
        {"-(-x)", "'x'"},
        {"-(-(-x))", "'x' '--'"},
        {"(x^-1)^-1", "'x'"},
        {"1/(1/x)", "1 1 'x' '/' '/'"},
        {"(-x)+(-y)", "'x' 'y' '+' '--'"},
        {"(-x)+y", "'y' 'x' '-'"},
        {"x+(-y)", "'x' 'y' '-'"},
        {"1/x*1/y", "1 'x' '/' 'y' '/'"},
        {"x^-1*y^-1", "'x' 'inv' 'y' '/'"}, // the -1 are folded one per cycle
        {"x^-1*y", "'y' 'x' '/'"},
        {"y*x^-1", "'y' 'x' '/'"},
        // chains
        {"2*x*3*y", "'x' 'y' 6 '*' '*'"},
        {"x+1+y+2", "'x' 'y' 3 '+' '+'"},
        {"(x*y)*(y*x)", "'x' 'y' 'y' 'x' '*' '*' '*'"},
        {"3+x", "'x' 3 '+'"},
        {"x*y", "'x' 'y' '*'"},
        {"sin(x)", "'x' 'sin'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(simplified(c.formula), c.list) << c.formula;
}

// Lists built directly, for the rewrites the parser never produces as such.
TEST(Simplify, ListsToLists)
{
    using Items = std::vector<fStack::Item>;
    const struct {
        Items in;
        const char* out;
    } cases[] = {
        {{"x", "inv", "y", "inv", "*"}, "'x' 'y' '*' 'inv'"},
        {{"x", "inv", "y", "inv", "*", "t", "*"}, "'t' 'y' '/' 'x' '/'"},
        {{"x", "--", "y", "--", "+", "sin"}, "'x' 'y' '+' '--' 'sin'"},
        {{"x", "inv", "inv", "inv"}, "'x' 'inv'"},
        {{"x", "--", "inv", "inv", "--"}, "'x'"},
        {{"x", -1.0, "^"}, "'x' 'inv'"},
        {{"x", 3.0, "/"}, "'x' 0.33333333333333331 '*'"},
        {{"x", 2.0, "*", "y", 5.0, "*", "*"}, "'x' 'y' 10 '*' '*'"},
        {{"x", "y", 2.0, "+", "+"}, "'x' 'y' 2 '+' '+'"},
        {{2.0, "x", 3.0, "+", "+"}, "'x' 5 '+'"},
        {{"x", "y", "-", 0.0, "*"}, "0"},
        {{"x", "y", "*", 1.0, "^"}, "'x' 'y' '*'"},
    };
    for (const auto& c : cases) {
        fStack::Owner list = fStack::fromArray(c.in);
        ASSERT_TRUE(list);
        fStack::Owner out = fStack::optimize(std::move(list));
        EXPECT_EQ(show(out.get()), c.out) << show(fStack::fromArray(c.in).get());
    }
}

TEST(Simplify, OwnerStaysInTheList)
{
    // Whatever node the caller's owner points at, the result is a node of
    // the simplified list, and the list's nodes all belong to it.
    for (const char* formula : {"x*1", "2*3", "-(-x)", "x*0", "(-x)+(-y)", "sin(0)"}) {
        fStack::Owner raw = fStack::justCreateWithString(formula);
        fStack* head = raw->first();
        raw.release();
        fStack::Owner out = fStack::optimize(fStack::Owner(head));
        ASSERT_TRUE(out);
        EXPECT_TRUE(out->isOK()) << formula;
        EXPECT_EQ(out->first()->previous, nullptr);
    }
    EXPECT_EQ(fStack::optimize(nullptr), nullptr);
}

TEST(Simplify, TooLongListFails)
{
    // x 1 + 1 + ... : 2n+1 nodes
    auto chain = [](int terms) {
        fStack::Owner list = fStack::initWithName("x");
        fStack* tail = list.get();
        for (int k = 0; k < terms; ++k) {
            tail = tail->addConst(1);
            tail = tail->addFunc("+");
        }
        return list;
    };
    fStack::Owner ok = fStack::optimize(chain(2499)); // 4999 nodes
    EXPECT_EQ(show(ok.get()), "'x' 2499 '+'");
    fStack::Owner limit = chain(2499);
    limit->addFunc("sin"); // 5000 nodes: still accepted
    EXPECT_NO_THROW(fStack::optimize(std::move(limit)));
    fStack::Owner over = chain(2500); // 5001 nodes
    try {
        fStack::optimize(std::move(over));
        FAIL() << "no exception";
    } catch (const orlix::Error& e) {
        EXPECT_EQ(e.name(), "Error!");
        EXPECT_EQ(e.reason(), "Function is too complex!");
    }
}

TEST(Simplify, UnbalancedListIsLeftAlone)
{
    fStack::Owner list = fStack::initWithConst(2);
    list->addFunc("x");
    fStack::Owner out = fStack::optimize(std::move(list));
    EXPECT_EQ(show(out.get()), "2 'x'");
}

// The simplified program gives the value of the parsed one.
TEST(Simplify, KeepsValues)
{
    const char* formulas[] = {
        "2*3+x",
        "x*1+y*0.5",
        "x-3",
        "3-x",
        "x/4",
        "4/x",
        "-(-x)",
        "(-x)+(-y)",
        "(-x)*(-y)",
        "1/(1/x)",
        "2*x*3*y",
        "x+1+y+2+x",
        "(x+1)*(x-1)*2",
        "x^2-2*x+1",
        "x^-1",
        "x^0.5",
        "x^(1/2)+x^(-1/2)",
        "sqrt(x)-sqrt(x)",
        "ln(x)+ln(-x)",
        "sin(x)/x",
        "1/x+1/y",
        "x/y/2/3",
        "x-y-3-4",
        "0-x-y",
        "sign_(x)*x",
        "not_(x)+1",
        "greater_(x)+x",
        "sign(x)*3",
        "abs(x-1)*3",
        "exp(-x^2)",
        "asin(x)+acos(x)",
        "atanh(x)*2",
        "(x+y)*(x-y)/(x+y)",
        "1/(x^-1*y^-1)",
        "-(x*-(y*-2))",
        "2^x*3^x",
        "x^y^0.5",
        "sin(x)^2+cos(x)^2",
        "tan(x)*(-1)",
        "-x*-x*-x",
        "((x+1)+(y+2))+((x+3)+4)",
        "(x*2)*(y*3)*(4*x)",
        "1-(1-(1-x))",
        "0/x",
        "x*0+1",
        "log(x)*2+ln(2)*0+1",
        "fract(x)+floor(x)-x",
        "x^(-1)^(-1)",
        "1/(-x)",
        "-(1/x)",
        "(-x)^-1",
    };
    const std::vector<Cells> points = samplePoints();
    for (const char* formula : formulas) {
        fStack::Owner raw = fStack::justCreateWithString(formula);
        fStack::Owner simple = fStack::createWithString(formula);
        ASSERT_TRUE(simple->isOK()) << formula;
        StackMachine before(*raw);
        StackMachine after(*simple);
        for (Cells at : points) {
            const double want = evaluate(before, at);
            const double got = evaluate(after, at);
            EXPECT_TRUE(same(want, got)) << formula << " at x=" << at.x << " y=" << at.y << ": " << want << " became "
                                         << got << " (" << show(simple.get()) << ")";
        }
    }
}

// A product with 0 is 0 even where the other factor is undefined.
TEST(Simplify, ProductWithZeroDropsTheOtherFactor)
{
    for (const char* formula : {"ln(x)*0", "0*sqrt(x)", "x*(1-1)"}) {
        fStack::Owner simple = fStack::createWithString(formula);
        EXPECT_EQ(show(simple.get()), "0") << formula;
    }
}

namespace {

// Random formulas over x and y with small numbers, functions and every
// operator.
class FormulaMaker {
  public:
    explicit FormulaMaker(unsigned seed) : rng_(seed) {}

    std::string make(int depth)
    {
        const int pick = depth <= 0 ? roll(3) : roll(12);
        switch (pick) {
        case 0: return "x";
        case 1: return "y";
        case 2: return number();
        case 3: return "-(" + make(depth - 1) + ")";
        case 4: {
            static const char* fns[] = {"sin", "sqrt", "ln", "abs", "exp", "atan", "sign_", "greater_"};
            return std::string(fns[roll(8)]) + "(" + make(depth - 1) + ")";
        }
        default: {
            static const char* opsText[] = {"+", "-", "*", "/", "^", "+", "*"};
            const char* op = opsText[roll(7)];
            std::string right = *op == '^' ? number() : make(depth - 1);
            return "(" + make(depth - 1) + ")" + op + "(" + right + ")";
        }
        }
    }

  private:
    int roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    std::string number()
    {
        static const char* nums[] = {"2", "3", "0.5", "1.5", "1", "7", "-1", "0.25"};
        return nums[roll(8)];
    }
    std::mt19937 rng_;
};

} // namespace

TEST(Simplify, RandomFormulasKeepValues)
{
    FormulaMaker maker(20261207);
    const std::vector<Cells> points = samplePoints();
    int compared = 0;
    int excused = 0;
    for (int k = 0; k < 600; ++k) {
        const std::string formula = maker.make(1 + k % 5);
        fStack::Owner raw = fStack::justCreateWithString(formula);
        fStack::Owner simple = fStack::createWithString(formula);
        ASSERT_TRUE(simple->isOK()) << formula;
        StackMachine before(*raw);
        StackMachine after(*simple);
        for (Cells at : points) {
            const double want = evaluate(before, at);
            const double got = evaluate(after, at);
            ++compared;
            if (same(want, got))
                continue;
            // A factor 0 takes away an undefined or infinite factor.
            if (!std::isfinite(want) && got == 0) {
                ++excused;
                continue;
            }
            ADD_FAILURE() << formula << " at x=" << at.x << " y=" << at.y << ": " << want << " became " << got
                          << "\n  raw:    " << show(raw.get()) << "\n  simple: " << show(simple.get());
        }
    }
    EXPECT_LT(excused, compared / 50);
}

TEST(Simplify, LongSumAndItsDerivatives)
{
    std::string formula;
    for (int k = 0; formula.size() < 1300; ++k)
        formula += (k ? "+" : "") + std::string("(x+") + std::to_string(k) + ")/(x-" + std::to_string(k + 1) + ")";
    fStack::Owner f = fStack::createWithString(formula);
    fStack::Owner d1 = fStack::optimize(f->last()->dif("x"));
    fStack::Owner d2 = fStack::optimize(d1->last()->dif("x"));
    StackMachine m(*f), m1(*d1), m2(*d2);
    EXPECT_TRUE(d2->isOK());
    // d/dx (x+k)/(x-k-1) = -(2k+1)/(x-k-1)^2, summed
    double want = 0;
    const double x = 0.5;
    for (int k = 0; k < 95; ++k)
        want += -(2.0 * k + 1) / ((x - k - 1) * (x - k - 1));
    MathEngine::setX(x);
    EXPECT_NEAR(m1.evaluate(), want, 1e-9 * std::fabs(want));
}

TEST(Simplify, LongFormulasKeepValues)
{
    // About 4 KiB each: long sums, nested functions, many foldable pieces.
    std::string sum, folds, negs, nest;
    for (int k = 0; sum.size() < 4000; ++k)
        sum += (k ? "+" : "") + std::to_string(k % 7) + "*x^" + std::to_string(k % 3);
    for (int k = 0; folds.size() < 4000; ++k)
        folds += (k ? "+" : "") + std::string("sin(") + std::to_string(k % 9 + 1) + ")*x";
    for (int k = 0; negs.size() < 4000; ++k)
        negs += (k ? "+" : "") + std::string("(-x)*(1/y)");
    for (int k = 0; k < 30; ++k)
        nest = "sin(" + (nest.empty() ? std::string("x") : nest) + "+1)*2";
    for (const std::string& formula : {sum, folds, negs, nest}) {
        fStack::Owner simple = fStack::createWithString(formula);
        EXPECT_TRUE(simple->isOK());
        fStack::Owner raw = fStack::justCreateWithString(formula);
        StackMachine before(*raw);
        StackMachine after(*simple);
        for (Cells at : {Cells{0.5, 2.0}, Cells{-1.5, 3.0}})
            EXPECT_TRUE(same(evaluate(before, at), evaluate(after, at))) << formula.substr(0, 40);
    }
}
