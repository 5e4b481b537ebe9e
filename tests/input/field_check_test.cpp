#include "field_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "orlix/error.h"

using namespace orlix;

namespace {

// The message a check throws; empty when it accepts.
std::string messageOf(const std::function<void()>& check)
{
    try {
        check();
    } catch (const Error& e) {
        return e.reason();
    }
    return {};
}

// A kind taking the variables listed, as a table entry does.
FunctionKindInfo taking(const char* variables)
{
    FunctionKindInfo k{};
    k.variables = variables;
    return k;
}

struct FormulaCase {
    const char* text;
    const char* variables;
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
        // the parameters, in every formula
        {"a*x", "x", ""},
        {"a*x^2+b*x+c", "x", ""},
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
        // empty: nothing to make a function of
        {"", "x", "Wrong Syntax!"},
    };
    for (const auto& c : cases) {
        const FunctionKindInfo kind = taking(c.variables);
        EXPECT_EQ(messageOf([&] { checkedFormula(c.text, kind); }), c.message) << c.text << " in " << c.variables;
    }
}

// Every kind of the table takes its own example and refuses the variables
// of the others; what the check hands over computes the formula.
TEST(FormulaFieldCheck, TheKindTableDrivesTheCheck)
{
    for (const FunctionKindInfo& kind : functionKinds()) {
        SCOPED_TRACE(std::string(kind.typeName));
        const CheckedFormula checked = checkedFormula(kind.placeholder, kind);
        EXPECT_EQ(checked.text, kind.placeholder);
        ASSERT_TRUE(checked.expression && checked.program);
        for (const FunctionKindInfo& other : functionKinds()) {
            if (other.variables == kind.variables)
                continue;
            // Refused for a variable of the other kind that this one lacks;
            // taken when this kind has all of the other's (x and y for g(x,y)).
            const std::string message = messageOf([&] { checkedFormula(other.placeholder, kind); });
            if (kind.variables.find(other.variables) != std::string_view::npos) {
                EXPECT_EQ(message, "") << other.typeName;
                continue;
            }
            const std::string prefix = "Variable '", suffix = "' mustn't be here!";
            ASSERT_TRUE(message.starts_with(prefix) && message.ends_with(suffix)) << message;
            const std::string name = message.substr(prefix.size(), message.size() - prefix.size() - suffix.size());
            EXPECT_NE(other.variables.find(name), std::string_view::npos) << message;
            EXPECT_EQ(kind.variables.find(name), std::string_view::npos) << message;
        }
    }
    const FunctionKindInfo& yx = defaultKind();
    const CheckedFormula checked = checkedFormula("x^(1+1)+0*x", yx);
    const Function::Ptr f = yx.fromChecked(checkedFormula("x^(1+1)+0*x", yx));
    ASSERT_TRUE(f);
    EXPECT_DOUBLE_EQ(f->positionAt(3).y, 9);
    EXPECT_EQ(f->functionInfo().at("f"), checked.text);
}

TEST(FormulaFieldCheck, TheVariableErrorNamesTheVariable)
{
    try {
        checkedFormula("x+t", defaultKind());
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.reason(), "Variable 't' mustn't be here!");
        ASSERT_TRUE(e.userInfo().count("name"));
        EXPECT_EQ(std::get<std::string>(e.userInfo().at("name")), "t");
    }
}

// Whatever the engine says about a text that does not parse or compile
// reaches the user unchanged.
TEST(FormulaFieldCheck, EngineMessagesPassThrough)
{
    for (const char* text : {"sin(", "x+*2", "((x)", "x)", "foo(x)", "sin()"}) {
        std::string engine;
        try {
            fStack::Owner list = fStack::createWithString(text);
            if (list)
                list->toStackMachine();
        } catch (const Error& e) {
            engine = e.reason();
        }
        ASSERT_FALSE(engine.empty()) << text << " was accepted";
        EXPECT_EQ(messageOf([&] { checkedFormula(text, defaultKind()); }), engine) << text;
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
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(numberFieldValue(c.text), c.value) << c.text;
    EXPECT_EQ(numberFieldValue("2pi"), 6.283185307179586); // bit for bit
}

TEST(NumberFieldCheck, Refusals)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"x+1", "Variable 'x' mustn't be here!"}, {"x", "Variable 'x' mustn't be here!"},
        {"2y", "Variable 'y' mustn't be here!"},  {"a", "Variable 'a' mustn't be here!"},
        {"θ", "Variable 'θ' mustn't be here!"},   {"", "Wrong Syntax!"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_EQ(messageOf([&] { numberFieldValue(text); }), message) << text;
    for (const char* text : {"2+", "sin(", "foo(1)"})
        EXPECT_FALSE(messageOf([&] { numberFieldValue(text); }).empty()) << "'" << text << "' accepted";
}

TEST(NumberFieldCheck, NonFiniteValuesAreValuesHere)
{
    // The owner of the field decides about NaN and infinity.
    EXPECT_TRUE(std::isnan(numberFieldValue("sqrt(-1)")));
}

} // namespace
