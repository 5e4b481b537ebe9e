#include "field_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "orlix/error.h"

using namespace orlix;

namespace {

struct FormulaCase {
    const char* text;
    const char* goodVar;
    const char* message; // empty: accepted
};

TEST(FormulaFieldCheck, VariablesByKind)
{
    const std::vector<FormulaCase> cases = {
        // y(x)
        {"x", "x", ""},
        {"sin(x)", "x", ""},
        {"pi", "x", ""},
        {"2x^2-3", "x", ""},
        {"e^x", "x", ""},
        {"y", "x", "Variable 'y' mustn't be here!"},
        {"x+y", "x", "Variable 'y' mustn't be here!"},
        {"a*x", "x", "Variable 'a' mustn't be here!"},
        {"sin(t)", "x", "Variable 't' mustn't be here!"},
        {"θ+x", "x", "Variable 'θ' mustn't be here!"},
        // x(y)
        {"y", "y", ""},
        {"cos(y)+1", "y", ""},
        {"x", "y", "Variable 'x' mustn't be here!"},
        {"y*x", "y", "Variable 'x' mustn't be here!"},
        // a field taking two variables (implicit curves)
        {"x^2+y^2-1", "xy", ""},
        {"x+t", "xy", "Variable 't' mustn't be here!"},
        // polar
        {"2sin(θ)", "θ", ""},
        // empty: left to the owner
        {"", "x", ""},
    };
    for (const auto& c : cases) {
        const FieldResult r = formulaResult(c.text, c.goodVar);
        EXPECT_EQ(r.message, c.message) << c.text << " in " << c.goodVar;
        EXPECT_EQ(r.ok(), std::string(c.message).empty()) << c.text;
        EXPECT_FALSE(r.value) << c.text;
    }
}

TEST(FormulaFieldCheck, TheVariableErrorNamesTheVariable)
{
    try {
        checkFormula("x+b", "x");
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.reason(), "Variable 'b' mustn't be here!");
        ASSERT_TRUE(e.userInfo().count("name"));
        EXPECT_EQ(std::get<std::string>(e.userInfo().at("name")), "b");
    }
}

// Whatever the engine says about a text that does not parse or compile
// reaches the user unchanged.
TEST(FormulaFieldCheck, EngineMessagesPassThrough)
{
    for (const char* text : {"sin(", "x+*2", "((x)", "x)", "foo(x)", "sin()"}) {
        std::string engine;
        try {
            checkFormula(text, "x");
        } catch (const Error& e) {
            engine = e.reason();
        }
        ASSERT_FALSE(engine.empty()) << text << " was accepted";
        EXPECT_EQ(formulaResult(text, "x").message, engine) << text;
    }
}

struct NumberCase {
    const char* text;
    double value;
};

TEST(NumberFieldCheck, ConstantExpressions)
{
    const std::vector<NumberCase> cases = {
        {"2pi", 6.283185307179586},
        {"-sqrt(2)", -std::sqrt(2.0)},
        {"1e3", 1000},
        {"1e-9", 1e-9},
        {"0", 0},
        {"3/4", 0.75},
        {"2^10", 1024},
        {"e", std::exp(1.0)},
        {"sin(pi/2)", 1},
    };
    for (const auto& c : cases) {
        const FieldResult r = numberResult(c.text);
        ASSERT_TRUE(r.ok()) << c.text << ": " << r.message;
        ASSERT_TRUE(r.value) << c.text;
        EXPECT_DOUBLE_EQ(*r.value, c.value) << c.text;
        EXPECT_EQ(numberFieldValue(c.text), *r.value) << c.text;
    }
    EXPECT_EQ(*numberResult("2pi").value, 6.283185307179586); // bit for bit
}

TEST(NumberFieldCheck, Refusals)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"x+1", "Variable 'x' mustn't be here!"}, {"x", "Variable 'x' mustn't be here!"},
        {"2y", "Variable 'y' mustn't be here!"},  {"a", "Variable 'a' mustn't be here!"},
        {"θ", "Variable 'θ' mustn't be here!"},
    };
    for (const auto& [text, message] : cases) {
        const FieldResult r = numberResult(text);
        EXPECT_EQ(r.message, message) << text;
        EXPECT_FALSE(r.value) << text;
        EXPECT_THROW(numberFieldValue(text), Error) << text;
    }
    for (const char* text : {"", "2+", "sin(", "foo(1)"}) {
        const FieldResult r = numberResult(text);
        EXPECT_FALSE(r.ok()) << "'" << text << "' accepted";
        EXPECT_FALSE(r.value) << text;
    }
    EXPECT_EQ(numberResult("").message, "Wrong Syntax!");
}

TEST(NumberFieldCheck, NonFiniteValuesAreValuesHere)
{
    // The owner of the field decides about NaN and infinity.
    const FieldResult r = numberResult("sqrt(-1)");
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_TRUE(std::isnan(*r.value));
}

} // namespace
