// Derivatives: the lists the rules build, their values against known
// derivatives and against finite differences, the domain gaps they carry,
// derivatives written inside formulas, and every way differentiation fails.
#include <gtest/gtest.h>

#include <pthread.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "postfix_text.h"

namespace orlix {
namespace {

using Owner = fStack::Owner;
using Items = std::vector<fStack::Item>;

const double NaN = std::numeric_limits<double>::quiet_NaN();


std::string postfix(const fStack& list) { return orlix::testing::postfixText(list, 10); }

// The derivative, not simplified, of a parsed formula.
Owner derive(const std::string& formula, const char* variable = "x")
{
    // Bars need the full parse; everything else is taken as typed, before any
    // simplification.
    Owner list = formula.find('|') == std::string::npos ? fStack::justCreateWithString(formula)
                                                        : fStack::createWithString(formula);
    return list->last()->dif(variable);
}

Owner deriveItems(const Items& items, const char* variable = "x")
{
    Owner list = fStack::fromArray(items);
    if (!list)
        throw std::logic_error("unbalanced test list");
    return list->last()->dif(variable);
}

double valueAt(const fStack& list, double x)
{
    StackMachine program(list);
    MathEngine::setX(x);
    return program.evaluate();
}

void expectValue(double actual, double expected, const std::string& what)
{
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << what << " gave " << actual;
        return;
    }
    EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << what;
}

void expectFailure(const std::function<void()>& run, const std::string& reason, const std::string& name,
                   const std::string& what)
{
    try {
        run();
        ADD_FAILURE() << what << ": no failure, expected " << reason;
    } catch (const Error& e) {
        EXPECT_EQ(e.reason(), reason) << what;
        EXPECT_EQ(e.name(), name) << what;
    }
}

// 'x+x+…+x' with `terms` terms, as a list: 2·terms - 1 nodes.
Items sumOfX(int terms)
{
    Items items{std::string("x")};
    for (int k = 1; k < terms; ++k) {
        items.emplace_back(std::string("x"));
        items.emplace_back(std::string("+"));
    }
    return items;
}

std::string tower(int height)
{
    std::string s = "x";
    for (int k = 1; k < height; ++k)
        s += "^x";
    return s;
}

// x^(x^(…^x)) with `height` x's, as a list.
Items rightTower(int height)
{
    Items items;
    for (int k = 0; k < height; ++k)
        items.emplace_back(std::string("x"));
    for (int k = 1; k < height; ++k)
        items.emplace_back(std::string("^"));
    return items;
}

// --- the lists the rules build ----------------------------------------------

TEST(DerivativeForm, RulesBuildTheirPostfixForms)
{
    const struct {
        const char* formula;
        const char* variable;
        const char* expected;
    } cases[] = {
        {"x^3", "x", "x 2 ^ 1 * 3 *"},
        {"x", "x", "1"},
        {"y", "x", "0"},
        {"5", "x", "0"},
        {"t", "t", "1"},
        {"φ", "θ", "1"},
        {"x", "f", "0"},
        {"x+y", "y", "0 1 +"},
        {"x-y", "x", "1 0 -"},
        {"-x", "x", "1 --"},
        {"x*y", "y", "x 1 * y 0 * +"},
        {"1/x", "x", "x 0 * 1 1 * - x 2 ^ /"},
        {"inv(x)", "x", "1 x 2 ^ / --"},
        {"x^x", "x", "x x ^ x 1 x greater__ / * x ln 1 * + *"},
        {"x^(1/3)", "x", "x 1 3 / 1 - ^ 1 * 1 3 / *"},
        {"x^y", "x", "x y 1 - ^ 1 * y *"},
        {"x^y", "y", "x y ^ y 0 x greater__ / * x ln 1 * + *"},
        {"pow(x,3)", "x", "x 2 ^ 1 * 3 *"},
        {"exp(x)", "x", "x exp 1 *"},
        {"ln(x)", "x", "1 x greater__ /"},
        {"log(x)", "x", "1 x greater__ 2.302585093 * /"},
        {"sqrt(x)", "x", "1 2 x sqrt * /"},
        {"sin(x)", "x", "x cos 1 *"},
        {"cos(x)", "x", "x sin 1 -- *"},
        {"tan(x)", "x", "1 x cos 2 ^ /"},
        {"asin(x)", "x", "1 1 x 2 ^ - sqrt /"},
        {"acos(x)", "x", "1 1 x 2 ^ - sqrt / --"},
        {"atan(x)", "x", "1 1 x 2 ^ + /"},
        {"tanh(x)", "x", "1 x cosh 2 ^ /"},
        {"asinh(x)", "x", "1 1 x 2 ^ + sqrt /"},
        {"acosh(x)", "x", "1 x 2 ^ 1 - sqrt /"},
        {"atanh(x)", "x", "1 1 x 2 ^ - /"},
        {"abs(x)", "x", "x sign_ 1 *"},
        {"sign(x)", "x", "x not_ 1 *"},
        {"greater__(x)", "x", "1 x greater_ 1 + *"},
        {"floor(x)", "x", "x notInt 1 *"},
        {"fract(x)", "x", "x notInt_ 1 *"},
        {"sin(2*x)", "x", "2 x * cos 2 1 * x 0 * + *"},
    };
    for (const auto& c : cases) {
        Owner d = derive(c.formula, c.variable);
        EXPECT_EQ(postfix(*d), c.expected) << c.formula << " by " << c.variable;
        EXPECT_EQ(d.get(), d->last()) << c.formula << ": the result points at its root";
        EXPECT_TRUE(d->isOK()) << c.formula;
    }
}

TEST(DerivativeForm, ReceiverListIsLeftAlone)
{
    for (const char* formula : {"x^x", "sin(x)*ln(x)/x", "x^2+3"}) {
        Owner list = fStack::createWithString(formula);
        const Items before = list->toArray();
        Owner d = list->last()->dif("x");
        EXPECT_EQ(list->toArray(), before) << formula;
    }
}

// --- values of every rule -----------------------------------------------------

// Every name with a rule, applied to u = 0.5·x + 0.25 (so the inner
// derivative 0.5 shows), against the derivative worked out by hand.
TEST(DerivativeValue, EveryFunctionOfTheTable)
{
    const struct {
        std::vector<const char*> names;
        double x;
        std::function<double(double)> fprime; // f'(u)
    } cases[] = {
        {{"exp"}, 0.7, [](double u) { return std::exp(u); }},
        {{"ln"}, 0.7, [](double u) { return 1 / u; }},
        {{"log"}, 0.7, [](double u) { return 1 / (u * std::log(10.0)); }},
        {{"sqrt"}, 0.7, [](double u) { return 0.5 / std::sqrt(u); }},
        {{"sin"}, 0.7, [](double u) { return std::cos(u); }},
        {{"cos"}, 0.7, [](double u) { return -std::sin(u); }},
        {{"tan", "tg"}, 0.7, [](double u) { return 1 / (std::cos(u) * std::cos(u)); }},
        {{"asin", "arcsin"}, 0.7, [](double u) { return 1 / std::sqrt(1 - u * u); }},
        {{"acos", "arccos"}, 0.7, [](double u) { return -1 / std::sqrt(1 - u * u); }},
        {{"atan", "arctan", "arctg"}, 0.7, [](double u) { return 1 / (1 + u * u); }},
        {{"sinh", "sh"}, 0.7, [](double u) { return std::cosh(u); }},
        {{"cosh", "ch"}, 0.7, [](double u) { return std::sinh(u); }},
        {{"tanh", "th"}, 0.7, [](double u) { return 1 / (std::cosh(u) * std::cosh(u)); }},
        {{"asinh", "arsinh", "arsh"}, 0.7, [](double u) { return 1 / std::sqrt(1 + u * u); }},
        {{"acosh", "arcosh", "arch"}, 3.0, [](double u) { return 1 / std::sqrt(u * u - 1); }},
        {{"atanh", "artanh", "arth"}, 0.7, [](double u) { return 1 / (1 - u * u); }},
        {{"abs", "||"}, -1.5, [](double) { return -1.0; }},
        {{"abs", "||"}, 0.7, [](double) { return 1.0; }},
        {{"sign", "sgn", "sign_", "not_"}, 0.7, [](double) { return 0.0; }},
        {{"greater_"}, 0.7, [](double) { return 0.0; }},
        {{"greater__"}, 0.7, [](double) { return 1.0; }},
        {{"notInt", "notInt_", "ceil", "floor", "[]"}, 0.7, [](double) { return 0.0; }},
        {{"{}", "fract", "fpart"}, 0.7, [](double) { return 1.0; }},
        {{"inv"}, 0.7, [](double u) { return -1 / (u * u); }},
        {{"--"}, 0.7, [](double) { return -1.0; }},
    };
    for (const auto& c : cases) {
        for (const char* name : c.names) {
            Owner d = deriveItems({std::string("x"), 0.5, std::string("*"), 0.25, std::string("+"), std::string(name)});
            const double u = 0.5 * c.x + 0.25;
            expectValue(valueAt(*d, c.x), 0.5 * c.fprime(u), std::string(name) + " at " + std::to_string(c.x));
        }
    }
}

TEST(DerivativeValue, OperatorsAndVariables)
{
    const double x = 1.3;
    const struct {
        Items items;
        double expected;
    } cases[] = {
        {{std::string("x"), std::string("x"), std::string("*"), 3.0, std::string("+")}, 2 * x},
        {{std::string("x"), std::string("x"), std::string("sin"), std::string("-")}, 1 - std::cos(x)},
        {{std::string("x"), std::string("x"), std::string("sin"), std::string("/")},
         (std::sin(x) - x * std::cos(x)) / (std::sin(x) * std::sin(x))},
        {{std::string("x"), 3.0, std::string("^")}, 3 * x * x},
        {{std::string("x"), 3.0, std::string("power")}, 3 * x * x},
        {{std::string("x"), 3.0, std::string("pow")}, 3 * x * x},
        {{std::string("x"), -2.0, std::string("^")}, -2 / (x * x * x)},
        {{std::string("x"), std::string("x"), std::string("pow")}, std::pow(x, x) * (std::log(x) + 1)},
        {{2.0, std::string("x"), std::string("power")}, std::pow(2, x) * std::log(2.0)},
        {{std::string("x"), 1.0, 2.0, std::string("/"), std::string("^")}, 0.5 / std::sqrt(x)},
    };
    for (const auto& c : cases) {
        Owner d = deriveItems(c.items);
        expectValue(valueAt(*d, x), c.expected, postfix(*fStack::fromArray(c.items)));
    }

    // Each variable differentiates to 1 by itself and to 0 by the others.
    const char* variables[] = {"x", "y", "t", "r", "f", "θ", "i", "φ"};
    auto sameCell = [](std::string a, std::string b) {
        auto angle = [](const std::string& v) { return v == "f" || v == "θ" || v == "i" || v == "φ"; };
        return a == b || (angle(a) && angle(b));
    };
    for (const char* v : variables) {
        for (const char* base : variables) {
            Owner d = deriveItems({std::string(v)}, base);
            EXPECT_EQ(d->c, sameCell(v, base) ? 1.0 : 0.0) << v << " by " << base;
        }
    }
}

// The parameters are constants to the variable: their values at the time
// of evaluation go into the derivative as they do into the formula.
TEST(DerivativeValue, ParametersAreConstants)
{
    const struct {
        const char* formula;
        const char* variable;
        double x, y, a, b, c;
        double expected;
    } cases[] = {
        {"a*x^2", "x", 3, 0, 2, 0, 0, 12},
        {"D(sin(b*x),x)", "x", 0.5, 0, 0, 3, 0, -9 * std::sin(1.5)}, // the second derivative
        {"x^a", "x", 2, 0, 3, 0, 0, 12},
        {"a^x", "x", 1, 0, 2, 0, 0, 2 * std::log(2.0)},
        {"x^2+y^2-a", "y", 1, 2, 5, 0, 0, 4},
        {"a*b*c", "x", 1, 0, 2, 3, 4, 0},
        {"exp(c*t)", "t", 0, 0, 0, 0, -1, -1},
    };
    for (const auto& c : cases) {
        *MathEngine::aAddr() = c.a;
        *MathEngine::bAddr() = c.b;
        *MathEngine::cAddr() = c.c;
        *MathEngine::yAddr() = c.y;
        *MathEngine::tAddr() = c.x;
        Owner d = fStack::createWithString(c.formula)->last()->dif(c.variable);
        expectValue(valueAt(*d, c.x), c.expected, std::string("D(") + c.formula + ", " + c.variable + ")");
    }
    *MathEngine::aAddr() = *MathEngine::bAddr() = *MathEngine::cAddr() = *MathEngine::yAddr() = 0;
}

// --- domain gaps -----------------------------------------------------------

TEST(DerivativeValue, DomainGapsAreCarried)
{
    const struct {
        const char* formula;
        double x;
        double expected;
    } cases[] = {
        {"ln(x)", -1, NaN},     {"ln(x)", 0, NaN},      {"ln(x)", 2, 0.5},   {"log(x)", -1, NaN},
        {"|x|", 0, NaN},        {"|x|", 2, 1},          {"|x|", -2, -1},     {"floor(x)", 2, NaN},
        {"floor(x)", -3, NaN},  {"floor(x)", 2.5, 0},   {"[x]", 1, NaN},     {"ceil(x)", 0.5, 0},
        {"ceil(x)", 0, NaN},    {"sign(x)", 0, NaN},    {"sign(x)", 3, 0},   {"sign(x)", -3, 0},
        {"fract(x)", 1, NaN},   {"fract(x)", 1.25, 1},  {"{x}", -0.5, 1},    {"{x}", -1, NaN},
        {"sqrt(x)", -1, NaN},   {"x^x", -1, NaN},       {"x^x", 1, 1},       {"greater__(x)", -1, NaN},
        {"floor(x)*x", 3, NaN}, {"floor(x)*x", 3.5, 3}, {"ln(x^2)", 0, NaN},
    };
    for (const auto& c : cases) {
        Owner d = derive(c.formula);
        expectValue(valueAt(*d, c.x), c.expected, std::string(c.formula) + " at " + std::to_string(c.x));
    }
}

// --- derivatives written inside formulas -------------------------------

TEST(DerivativeInFormula, ResolvedWhileParsing)
{
    const struct {
        const char* formula;
        double x, y, angle;
        double expected;
    } cases[] = {
        {"D(x^2,x)", 3, 0, 0, 6},
        {"dx(x^2)", 3, 0, 0, 6},
        {"ddx(x^2)", 3, 0, 0, 6},
        {"D(D(x^3,x),x)", 2, 0, 0, 12},
        {"D(D(D(x^4,x),x),x)", 2, 0, 0, 48},
        {"D(sin(θ),θ)", 0, 0, 0.3, std::cos(0.3)},
        {"D(sin(φ),φ)", 0, 0, 0.3, std::cos(0.3)},
        {"df(sin(f))", 0, 0, 0.3, std::cos(0.3)},
        {"ddf(θ^2)", 0, 0, 0.3, 0.6},
        {"dy(x*y^2)", 2, 3, 0, 12},
        {"D(x*y^2,x)", 2, 3, 0, 9},
        {"2+D(x^2,x)*3", 3, 0, 0, 20},
        {"D(x^2,x)+D(x^3,x)", 2, 0, 0, 16},
        {"sin(D(x^2,x))", 0.5, 0, 0, std::sin(1.0)},
        {"D(x^2+D(y^2,y),x)", 3, 5, 0, 6},
    };
    for (const auto& c : cases) {
        Owner list = fStack::createWithString(c.formula);
        EXPECT_TRUE(list->isOK()) << c.formula;
        for (const fStack* n = list->first(); n; n = n->next)
            EXPECT_FALSE(n->is("d")) << c.formula;
        StackMachine program(*list);
        MathEngine::setX(c.x);
        *MathEngine::yAddr() = c.y;
        *MathEngine::fAddr() = c.angle;
        expectValue(program.evaluate(), c.expected, c.formula);
    }
    // The written form and the short forms give the same list.
    const Items written = fStack::justCreateWithString("D(x^2,x)")->toArray();
    EXPECT_EQ(fStack::justCreateWithString("dx(x^2)")->toArray(), written);
    EXPECT_EQ(fStack::justCreateWithString("ddx(x^2)")->toArray(), written);
}

// An exponent free of the variable, however it is written, takes the
// constant-exponent rule: a negative base stays defined.
TEST(DerivativeInFormula, ConstantExponentsWrittenAsExpressions)
{
    const double ln05 = std::log(0.5);
    const struct {
        const char* formula;
        double x;
        double expected;
    } cases[] = {
        {"x^-1", -2, -0.25},
        {"x^(-1)", -2, -0.25},
        {"x^(1+1)", -2, -4},
        {"x^(3-1)", -2, -4},
        {"x^(2*ln(exp(1)))", -2, -4},
        {"(ln(x))^-1", 0.5, -1 / (ln05 * ln05 * 0.5)},
        {"(sin(3.5))^-1", -2, 0},
        {"(sin(3.5))^-1*x", -2, 1 / std::sin(3.5)},
        {"(x-3)^(1+2)", 1, 12},
        {"x^(1/3)", -8, NaN}, // (-8)^(-2/3) is not a real power here
        {"x^x", -1, NaN},     // the exponent moves with x: still the general rule
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.formula) + " at " + std::to_string(c.x);
        // Differentiated as typed, after simplification, and written as D(f, x).
        Owner typed = derive(c.formula);
        expectValue(valueAt(*typed, c.x), c.expected, "as typed: " + what);
        Owner simplified = fStack::optimize(fStack::createWithString(c.formula));
        Owner fromSimplified = simplified->last()->dif("x");
        expectValue(valueAt(*fromSimplified, c.x), c.expected, "simplified: " + what);
        Owner written = fStack::createWithString("D(" + std::string(c.formula) + ",x)");
        expectValue(valueAt(*written, c.x), c.expected, "D(f,x): " + what);
    }
    // Another variable in the exponent is a constant for this derivative.
    Owner byX = fStack::createWithString("D(x^y,x)");
    *MathEngine::yAddr() = 3;
    expectValue(valueAt(*byX, -2), 12, "D(x^y,x) at x=-2, y=3");
}

// --- failures ---------------------------------------------------------------

TEST(DerivativeFailure, MessagesForEachFailure)
{
    const struct {
        std::function<void()> run;
        const char* reason;
        const char* name;
        const char* what;
    } cases[] = {
        {[] { fStack::createWithString("D(x^2,2)"); }, "Invalid usage of D(,)!", "Invalid usage of D(,)!", "D(x^2,2)"},
        {[] { fStack::createWithString("D(x^2,x+1)"); }, "Invalid usage of D(,)!", "Invalid usage of D(,)!",
         "D(x^2,x+1)"},
        {[] { fStack::createWithString("D(x^2)"); }, "Invalid usage of D(,)!", "Invalid usage of D(,)!", "D(x^2)"},
        {[] { fStack::createWithString("dx"); }, "Invalid usage of D(,)!", "Invalid usage of D(,)!", "dx alone"},
        {[] { fStack::createWithString("D(D(x,x),D(x,x))"); }, "Invalid usage of D(,)!", "Invalid usage of D(,)!",
         "D(D(x,x),D(x,x))"},
        {[] { fStack::createWithString("D(a*x,a)"); }, "Invalid usage of D(,)!", "Invalid usage of D(,)!",
         "D(a*x,a): by a parameter"},
        {[] {
             deriveItems({std::string("x"), std::string("x"), std::string("logn")});
         },
         "Krivie Ruki!", "FunctionNotFound", "logn node"},
        {[] {
             deriveItems({std::string("x"), std::string("x"), std::string("d")});
         },
         "Krivie Ruki!", "FunctionNotFound", "d node"},
        {[] { deriveItems(sumOfX(773)); }, "Function is too difficult!", "Function is too difficult!", "1545 nodes"},
        {[] {
             deriveItems({std::string("x"), std::string("x"), 1.0, std::string("+"), std::string("*")});
         },
         "", "", "(control: a small list passes)"},
        {[] { fStack::createWithString("D(D(" + tower(12) + ",x),x)"); }, "Function is too complex!", "Error!",
         "second derivative of a tower of 12"},
        {[] { deriveItems(rightTower(700)); }, "Function is too complex!", "Error!", "tower of 700"},
    };
    for (const auto& c : cases) {
        if (c.reason[0] == '\0') {
            EXPECT_NO_THROW(c.run()) << c.what;
            continue;
        }
        expectFailure(c.run, c.reason, c.name, c.what);
    }
}

TEST(DerivativeFailure, LengthLimitIs1543Nodes)
{
    Items at = sumOfX(772); // 1543 nodes
    ASSERT_EQ(at.size(), 1543u);
    Owner d = deriveItems(at);
    expectValue(valueAt(*d, 0.0), 772, "1543 nodes");

    Items over = at;
    over.emplace_back(1.0);
    over.emplace_back(std::string("+")); // 1545 nodes
    expectFailure([&] { deriveItems(over); }, "Function is too difficult!", "Function is too difficult!", "1545");

    Items exactlyOver{std::string("x"), std::string("sin")};
    for (int k = 0; k < 1542; ++k)
        exactlyOver.emplace_back(std::string("--")); // 1544 nodes
    expectFailure([&] { deriveItems(exactlyOver); }, "Function is too difficult!", "Function is too difficult!",
                  "1544");
}

// A record restored from storage can hold a far longer list than a typed
// formula; differentiating it must fail at once, not recurse through it.
TEST(DerivativeFailure, LongStoredListsFailWithoutRecursing)
{
    const auto start = std::chrono::steady_clock::now();
    expectFailure([] { deriveItems(sumOfX(10000)); }, "Function is too difficult!", "Function is too difficult!",
                  "19999-node sum");
    Items chain{std::string("x")};
    for (int k = 0; k < 20000; ++k)
        chain.emplace_back(std::string("sin"));
    expectFailure([&] { deriveItems(chain); }, "Function is too difficult!", "Function is too difficult!",
                  "20001-node chain");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// The deepest lists the length limit lets through: one level of recursion
// per node, up to three for each general power. These run on the test's own
// stack, which under the sanitizers has much bigger frames.
TEST(DerivativeFailure, DeepestAcceptedListsDoNotOverflow)
{
    Items negations{std::string("x")};
    for (int k = 0; k < 1542; ++k)
        negations.emplace_back(std::string("--"));
    Owner d = deriveItems(negations);
    EXPECT_EQ(d->length(), 1543);
    EXPECT_EQ(valueAt(*d, 0.1), 1.0);

    Owner sum = deriveItems(sumOfX(772));
    EXPECT_EQ(valueAt(*sum, 0.0), 772);

    // These recurse all the way down before their results grow past the
    // bound on the way back.
    Items sines{std::string("x")};
    for (int k = 0; k < 1542; ++k)
        sines.emplace_back(std::string(k % 2 ? "--" : "sin"));
    expectFailure([&] { deriveItems(sines); }, "Function is too complex!", "Error!", "1543-node chain");

    // (((x^x)^x)^x)…: 1541 nodes (the temporary list for b·ln a has 1542).
    Items powers{std::string("x")};
    for (int k = 0; k < 770; ++k) {
        powers.emplace_back(std::string("x"));
        powers.emplace_back(std::string("^"));
    }
    expectFailure([&] { deriveItems(powers); }, "Function is too complex!", "Error!", "1541-node tower");
}

// The same deepest list on a thread with a 2 MiB stack (a quarter of the
// main thread's): the recursion must fit with room to spare, sanitizers
// included.
TEST(DerivativeFailure, DeepestListFitsASmallThreadStack)
{
    struct Job {
        bool done = false;
        int length = 0;
    } job;
    auto run = [](void* arg) -> void* {
        auto* j = static_cast<Job*>(arg);
        Items negations{std::string("x")};
        for (int k = 0; k < 1542; ++k)
            negations.emplace_back(std::string(k % 3 ? "--" : "sin"));
        try {
            deriveItems(negations);
        } catch (const Error& e) {
            j->done = e.reason() == "Function is too complex!";
        }
        Owner d = deriveItems(sumOfX(772));
        j->length = d->length();
        return nullptr;
    };
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 2 << 20), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, +run, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_TRUE(job.done);
    EXPECT_EQ(job.length, 1543);
}

TEST(DerivativeFailure, ResultBoundStopsQuickly)
{
    // A product of many factors: its derivative grows with the square of its
    // length, far past anything that could be simplified or compiled.
    std::string product = "x";
    for (int k = 1; k < 700; ++k)
        product += "*x";
    const auto start = std::chrono::steady_clock::now();
    expectFailure([&] { derive(product); }, "Function is too complex!", "Error!", "700 factors");
    expectFailure([&] { fStack::createWithString("D(D(D(" + tower(12) + ",x),x),x)"); }, "Function is too complex!",
                  "Error!", "third derivative of a tower");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    // Below the bound the same shapes still differentiate.
    Owner d = derive("x*x*x*x*x*x*x*x*x*x");
    expectValue(valueAt(*d, 2.0), 10 * 512, "10 factors");
    Owner t = derive(tower(12));
    EXPECT_TRUE(t->isOK());
}

// --- against finite differences ----------------------------------------------

TEST(DerivativeProperty, MatchesCentralDifferences)
{
    const char* formulas[] = {
        "x^3-2*x",
        "sin(x)*cos(x)",
        "exp(-x^2)",
        "ln(x^2+1)",
        "sqrt(x^2+1)",
        "x^x",
        "1/(1+x^2)",
        "atan(x)*x",
        "asin(x/4)",
        "acos(x/4)",
        "sinh(x)/cosh(x)",
        "tanh(2*x)",
        "asinh(x)",
        "acosh(x^2+1.5)",
        "atanh(x/4)",
        "log(x^2+2)",
        "sin(x)^2",
        "2^x",
        "x^(1/3)",
        "pow(x,4)",
        "power(x,x^2)",
        "abs(x)*x",
        "sign(x)*x^2",
        "floor(x)+x^2",
        "{x}*x",
        "[x]*x",
        "sqrt(abs(x))",
        "exp(sin(x))",
        "ln(abs(x))",
        "x*exp(x)/(1+x^2)",
        "cos(x^2)",
        "sin(sin(sin(x)))",
        "(x+4)^(x^2)",
        "e^x*pi",
        "-x^2+3",
        "inv(x^2+1)",
        "tg(x/2)",
        "arctg(x^3)",
        "sh(x)*ch(x)",
        "th(x)^3",
        "arsh(x^2)",
        "arch(x+3)",
        "arth(x/5)",
        "arcsin(x/3)",
        "arccos(x/3)^2",
        "sgn(x)+x",
        "fract(x)*x",
        "fpart(x^2)",
        "ceil(x)*x",
        "logn(x^2+1,3)",
        "x^2.5",
        "(x^2+1)^0.5",
        "x/(x^2+1)^2",
        "exp(x)*sin(3*x)",
        "ln(x)/x",
        "sqrt(x)*x^x",
        "cosh(x)-sinh(x)^2",
        "greater__(x)*x",
        "x^(-2)+x",
        "log(sqrt(x^2+1))",
        // one line a function of the table
        "round(x)*x^2",
        "mod(x^2,3)",
        "mod(5,x+4)",
        "min(x,x^2)",
        "max(sin(x),x/3)",
        "gamma(x+3.5)",
        "gamma(x/2)",
        "polygamma(1,x+4)",
    };
    std::mt19937 random(20261207);
    std::uniform_real_distribution<double> point(-3.0, 3.0);
    for (const char* formula : formulas) {
        Owner f = fStack::createWithString(formula);
        Owner d = f->last()->dif("x");
        StackMachine fp(*f);
        StackMachine dp(*d);
        auto F = [&](double x) {
            MathEngine::setX(x);
            return fp.evaluate();
        };
        int checked = 0;
        for (int k = 0; k < 40; ++k) {
            const double x = point(random);
            MathEngine::setX(x);
            const double symbolic = dp.evaluate();
            const double h = 1e-5 * std::max(1.0, std::fabs(x));
            const double wide = (F(x + 2 * h) - F(x - 2 * h)) / (4 * h);
            const double narrow = (F(x + h) - F(x - h)) / (2 * h);
            if (!std::isfinite(symbolic) || !std::isfinite(wide) || !std::isfinite(narrow))
                continue;
            const double scale = std::max({1.0, std::fabs(symbolic), std::fabs(F(x))});
            if (std::fabs(wide - narrow) > 1e-6 * scale)
                continue; // not smooth near x (a jump or a kink)
            ++checked;
            EXPECT_NEAR(symbolic, narrow, 1e-5 * scale) << formula << " at x = " << x;
        }
        EXPECT_GE(checked, 10) << formula << ": too few points to compare";
    }
}

} // namespace
} // namespace orlix
