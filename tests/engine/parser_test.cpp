// Formula text → function stack: readings, values and every failure.
#include <cmath>
#include <gtest/gtest.h>

#include "../support/param_names.h"
#include <random>
#include <set>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "postfix_text.h"

using orlix::Error;
using orlix::fStack;
using orlix::MathEngine;
using orlix::StackMachine;

namespace {

std::string dump(const fStack& list) { return orlix::testing::postfixText(list); }

double valueAt(const std::string& formula, double x)
{
    fStack::Owner list = fStack::createWithString(formula);
    StackMachine program(*list);
    MathEngine::setX(x);
    return program.evaluate();
}

struct Failure {
    std::string reason;
    std::string name;
    bool hasInfo;
};

Failure failureOf(const std::string& formula, bool raw = false)
{
    try {
        fStack::Owner list = raw ? fStack::justCreateWithString(formula) : fStack::createWithString(formula);
        StackMachine program(*list);
    } catch (const Error& e) {
        return {e.what(), e.name(), !e.userInfo().empty()};
    }
    return {"(accepted)", "", false};
}

// --- readings -------------------------------------------------------------

struct Reading {
    const char* formula;
    const char* postfix;
};
void PrintTo(const Reading& c, std::ostream* os) { *os << c.formula; }

class RawReading : public testing::TestWithParam<Reading> {};

TEST_P(RawReading, BuildsThePostfixList)
{
    fStack::Owner list = fStack::justCreateWithString(GetParam().formula);
    EXPECT_EQ(dump(*list), GetParam().postfix) << GetParam().formula;
}

INSTANTIATE_TEST_SUITE_P(Parser, RawReading,
                         testing::Values(
                             // implicit multiplication
                             Reading{"2x", "2 x *"}, Reading{"x(1+x)", "x 1 x + *"}, Reading{"(x)(y)", "x y *"},
                             Reading{"x y", "x y *"}, Reading{"2sin x", "2 x sin *"}, Reading{"x2", "x 2 *"},
                             // function arguments without brackets
                             Reading{"sin x^2", "x 2 ^ sin"}, Reading{"sin x*2", "x sin 2 *"},
                             Reading{"sin(x)^2", "x sin 2 ^"}, Reading{"pow(2,3)^2", "2 3 pow 2 ^"},
                             Reading{"-ln(x)^2", "x ln 2 ^ --"}, Reading{"sin(x)(y)", "x sin y *"},
                             Reading{"sin 2x", "2 sin x *"},
                             // priorities and associativity
                             Reading{"-x^2", "x 2 ^ --"}, Reading{"2^-x", "2 x -- ^"}, Reading{"x^y^t", "x y t ^ ^"},
                             Reading{"a-b-c", "a b - c -"}, Reading{"1+2*3", "1 2 3 * +"},
                             Reading{"8/4/2", "8 4 / 2 /"}, Reading{"2*-x", "2 x -- *"},
                             // brackets of every kind
                             Reading{"[x]", "x []"}, Reading{"{x}", "x {}"}, Reading{"@x$", "x ||"},
                             Reading{"pow(2,x)", "2 x pow"}, Reading{"power(x,3)", "x 3 power"},
                             // the exponent mode
                             Reading{"sin^2(x)", "x sin 2 ^"}, Reading{"sin^(1+1)(x)", "x sin 1 1 + ^"},
                             Reading{"sin^2-x", "x -- sin 2 ^"}, Reading{"ln^3 x", "x ln 3 ^"},
                             // logarithm to a base
                             Reading{"logn(x,2)", "x ln 2 ln /"}, Reading{"logn(logn(x,2),3)", "x ln 2 ln / ln 3 ln /"},
                             // names, aliases and case
                             Reading{"SIN(x)", "x sin"}, Reading{"Tg x", "x tg"}, Reading{"θ+φ", "θ φ +"},
                             Reading{"i*f", "i f *"}, Reading{"notInt(x)", "x notInt"},
                             Reading{"NOTINT_(x)", "x notInt_"}, Reading{"X", "x"}, Reading{"sinθ(x)", "x sinθ"}),
                         orlix::testing::ByFormula());

struct Value {
    const char* formula;
    double x;
    double expected;
};
void PrintTo(const Value& c, std::ostream* os) { *os << c.formula; }

class Evaluates : public testing::TestWithParam<Value> {};

TEST_P(Evaluates, ToTheExpectedValue)
{
    const Value& v = GetParam();
    double got = valueAt(v.formula, v.x);
    if (std::isnan(v.expected))
        EXPECT_TRUE(std::isnan(got)) << v.formula << " gave " << got;
    else
        EXPECT_DOUBLE_EQ(got, v.expected) << v.formula;
}

const double NaN = std::nan("");
const double Inf = INFINITY;

INSTANTIATE_TEST_SUITE_P(
    Parser, Evaluates,
    testing::Values(
        // numbers are decimal literals
        Value{"5.", 0, 5}, Value{".5", 0, 0.5}, Value{"2E3", 0, 2000}, Value{"2e3", 0, 2000}, Value{"1.5e-2", 0, 0.015},
        Value{"1e999", 0, Inf}, Value{"2e", 0, 2 * 2.718281828459046}, Value{"1.2.5", 0, 1.2 * 0.5},
        // constants
        Value{"pi", 0, 3.141592653589793}, Value{"Pi", 0, 3.141592653589793}, Value{"π", 0, 3.141592653589793},
        Value{"p", 0, 3.141592653589793}, Value{"e", 0, 2.718281828459046}, Value{"inf", 0, Inf}, Value{"g", 0, 0},
        // bars
        Value{"|x|", -3, 3}, Value{"|x|+|x-1|", -1, 3}, Value{"||x|-2|", 1, 1}, Value{"2|x|", -2, 4},
        Value{"|x|(x)", -2, -4},
        // the readings of the examples, by value
        Value{"sin^2(x)+cos^2(x)", 0.7, std::pow(std::sin(0.7), 2) + std::pow(std::cos(0.7), 2)},
        Value{"{x}", -0.25, 0.75}, Value{"[x]", -0.5, -1}, Value{"pow(2,x)", 3, 8}, Value{"logn(8,2)", 0, 3},
        Value{"x^x^x", 2, 16}, Value{"-x^2", 3, -9}, Value{"-(0)", 0, -0.0}),
    orlix::testing::ByFormula());

TEST(Parser, NegationGivesNegativeZero)
{
    EXPECT_TRUE(std::signbit(valueAt("-(0)", 0)));
    EXPECT_TRUE(std::signbit(valueAt("-x", 0)));
}

// --- failures -------------------------------------------------------------

struct Refusal {
    const char* formula;
    const char* reason;
    const char* name;
    bool hasInfo;
};
void PrintTo(const Refusal& c, std::ostream* os) { *os << c.formula; }

class Refuses : public testing::TestWithParam<Refusal> {};

TEST_P(Refuses, WithItsMessage)
{
    const Refusal& r = GetParam();
    Failure f = failureOf(r.formula);
    EXPECT_EQ(f.reason, r.reason) << r.formula;
    EXPECT_EQ(f.name, r.name) << r.formula;
    EXPECT_EQ(f.hasInfo, r.hasInfo) << r.formula;
}

INSTANTIATE_TEST_SUITE_P(
    Parser, Refuses,
    testing::Values(
        Refusal{"", "Wrong Syntax!", "Syntax Error!", false}, Refusal{"   ", "Wrong Syntax!", "Syntax Error!", false},
        Refusal{"x+", "Wrong Syntax!", "Syntax Error!", false}, Refusal{"+x", "Wronggg Syntax!", "Syntax Error!", true},
        Refusal{"--x", "Wronggg Syntax!", "Syntax Error!", true},
        Refusal{"()", "Wronggg Syntax!", "Syntax Error!", true},
        Refusal{"X+1", "Wronggg Syntax!", "Syntax Error!", true},
        Refusal{"sin*x", "Wronggg Syntax!", "Syntax Error!", true},
        Refusal{"(x", "Too many opening braces!", "Syntax Error!", false},
        Refusal{"x)", "Too many closing braces!", "Syntax Error!", false},
        Refusal{"x,y", "Too many closing braces!", "Syntax Error!", false},
        Refusal{"x+1)", "Too many closing braces:')' at the end!", "Syntax Error!", true},
        Refusal{"(x]", "Wrong braces order! ']' after '('!", "Syntax Error!", true},
        Refusal{"[x,1]", "Wrong braces order! ',' after '['!", "Syntax Error!", true},
        Refusal{"|x", "Bad braces order!", "Bad braces order!", false},
        Refusal{"|x|y|", "Bad braces order!", "Bad braces order!", false},
        Refusal{"|+|", "Bad braces order!", "Bad braces order!", false},
        Refusal{"|x|y|c|", "Function is ambiguous!", "Function is ambiguous!", false},
        Refusal{"x E2", "Symbol 'E' is used in wrong context!", "Symbol 'E' is used in wrong context!", false},
        Refusal{"2*E", "Symbol 'E' is used in wrong context!", "Symbol 'E' is used in wrong context!", false},
        Refusal{"sin^2^3(x)", "Too complicated syntax!", "Too complicated syntax!", false},
        Refusal{"sin^(cos^2(x))(x)", "Too complicated syntax!", "Too complicated syntax!", false},
        Refusal{"sin^2+1(x)", "Wrong Syntax!", "Wrong Syntax!", false},
        Refusal{"(sin^2)", "Wrong Syntax!", "Wrong Syntax!", false},
        Refusal{"sin^(2)", "Wrong Syntax!", "Syntax Error!", false},
        Refusal{".", "Wrong Syntax!", "Wrong Syntax!", false}, Refusal{"xy", "Wrong Syntax!", "Syntax Error!", false},
        Refusal{"sinx(2)", "Unknown function 'sinx'!", "Unknown function 'sinx'!", false},
        Refusal{"n(x)", "Unknown function 'n'!", "Unknown function 'n'!", false},
        Refusal{"logn(x)", "Wrong Syntax!", "Wrong Syntax!", false}),
    orlix::testing::ByFormula());

TEST(Parser, ClosingBarOutOfPlaceNamesTheBar)
{
    try {
        fStack::justCreateWithString("(x$");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'$' in wrong position!");
        EXPECT_EQ(std::get<std::string>(e.userInfo().at("string")), "(x$");
        EXPECT_EQ(std::get<long long>(e.userInfo().at("position")), 3);
    }
}

TEST(Parser, PositionsCountInsertedMultiplications)
{
    // '2x+' becomes '2*x+' ... the failure is reported in the text as changed.
    try {
        fStack::justCreateWithString("2x(+1)");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Wronggg Syntax!");
        EXPECT_EQ(std::get<std::string>(e.userInfo().at("string")), "2*x*(+1)");
        EXPECT_EQ(std::get<long long>(e.userInfo().at("position")), 6);
    }
}

TEST(Parser, PositionsCountCodePoints)
{
    try {
        fStack::justCreateWithString("θφ(θ*)");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::get<std::string>(e.userInfo().at("string")), "θφ(θ*)");
        EXPECT_EQ(std::get<long long>(e.userInfo().at("position")), 6);
    }
}

// --- limits of size and nesting ---------------------------------------------

TEST(Parser, DeepNestingIsRefusedNotOverflowed)
{
    for (int depth : {127, 129, 100000}) {
        std::string f = std::string(depth, '(') + "x" + std::string(depth, ')');
        Failure got = failureOf(f, true);
        if (depth < 128)
            EXPECT_EQ(got.reason, "(accepted)");
        else
            EXPECT_EQ(got.reason, "Function is too complex!") << depth;
    }
    std::string powers;
    for (int k = 0; k < 200; ++k)
        powers += "x^";
    EXPECT_EQ(failureOf(powers + "x", true).reason, "Function is too complex!");
}

TEST(Parser, LongFormulasAreAnswered)
{
    std::string xs;
    for (int k = 0; k < 25000; ++k)
        xs += "x ";
    // 25 000 implicit multiplications: parsed, then too long to compile.
    EXPECT_EQ(fStack::justCreateWithString(xs)->length(), 49999);
    std::string sum = "1";
    for (int k = 0; k < 20000; ++k)
        sum += "+1";
    EXPECT_EQ(failureOf(sum, true).reason, "Function is too complex!");
}

TEST(Parser, ManyBarsAreResolvedQuickly)
{
    std::string unique = "|x|";
    for (int k = 0; k < 19; ++k)
        unique += "+|x|";
    EXPECT_EQ(valueAt(unique, -1), 20);
    std::string many;
    for (int k = 0; k < 39; ++k)
        many += "|x";
    many += "|"; // 40 bars, read many ways
    EXPECT_EQ(failureOf(many).reason, "Function is ambiguous!");
    EXPECT_EQ(failureOf(std::string(300, '|')).reason, "Function is too complex!");
}

// --- bar resolution agrees with trying every reading ------------------------

// Every reading of the bars after the first, parsed on its own.
int countReadings(std::string text, std::string* only)
{
    std::vector<std::size_t> bars;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '|')
            bars.push_back(i);
    if (bars.empty() || bars.size() % 2)
        return 0;
    text[bars[0]] = '@';
    int count = 0;
    const std::size_t free = bars.size() - 1;
    for (std::size_t mask = 0; mask < (std::size_t{1} << free); ++mask) {
        for (std::size_t k = 0; k < free; ++k)
            text[bars[k + 1]] = (mask >> k) & 1 ? '$' : '@';
        try {
            fStack::Owner list = fStack::optimize(fStack::justCreateWithString(text));
            if (++count == 1 && only)
                *only = dump(*list);
        } catch (const Error&) {
        }
    }
    return count;
}

TEST(Parser, BarResolutionMatchesExhaustiveSearch)
{
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {"|", "|", "|", "x", "y", "2", "+", "-", "*", "(", ")", "sin", " ", "^"};
    int checked = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::string f;
        int bars = 0;
        const int len = 2 + static_cast<int>(rng() % 14);
        for (int k = 0; k < len; ++k) {
            const std::string& p = pieces[rng() % pieces.size()];
            if (p == "|" && bars == 12)
                continue;
            bars += p == "|";
            f += p;
        }
        if (bars == 0 || bars % 2)
            continue;
        std::string only;
        const int readings = countReadings(f, &only);
        Failure got = failureOf(f);
        if (got.reason == "Unknown function 'sin'!")
            continue;
        ++checked;
        if (readings == 0) {
            EXPECT_EQ(got.reason, "Bad braces order!") << f;
        } else if (readings > 1) {
            EXPECT_EQ(got.reason, "Function is ambiguous!") << f;
        } else {
            fStack::Owner list = fStack::createWithString(f);
            EXPECT_EQ(dump(*list), only) << f;
        }
    }
    EXPECT_GT(checked, 300);
}

// --- the array form ---------------------------------------------------------

TEST(Parser, TextIsReadAsCodePoints)
{
    EXPECT_EQ(dump(*fStack::justCreateWithString("2θ")), "2 θ *");
    // Invalid UTF-8 is a word like any other, never a crash.
    EXPECT_EQ(failureOf(std::string("\xff\xfe(x)", 5)).reason.find("Unknown function"), 0u);
}

} // namespace
