#include "number_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "orlix/error.h"

using namespace orlix;

namespace {

// A field that holds "1" (its value 1) and is being edited.
NumberField editedField()
{
    NumberField f;
    f.setXVal(1);
    f.theString = "1";
    f.isEditing = true;
    return f;
}

struct ConfirmCase {
    const char* text;
    const char* refusal; // empty: accepted; "*": the parser's message
    double value;        // the value afterwards
    const char* shown;   // rightString afterwards
    const char* expression;
};

TEST(NumberField, ConfirmingATypedExpression)
{
    const std::vector<ConfirmCase> cases = {
        {"2pi", "", 6.283185307179586, "6.283185", "2pi"},
        {"1e-9", "", 1e-9, "0", "1e-9"},
        {"-sqrt(2)", "", -std::sqrt(2.0), "-1.414214", "-sqrt(2)"},
        {"x", "Variable 'x' mustn't be here!", 1, "1", "1"},
        {"2t", "Variable 't' mustn't be here!", 1, "1", "1"},
        {"2+", "*", 1, "1", "1"},
        // the owner refuses
        {"-30", "Value is below!", 1, "1", "1"},
        // empty: the expression comes back
        {"", "", 1, "1", "1"},
    };
    const NumberField::Check owner = [](double v) {
        if (v < -10)
            throw Error("Value is below!");
    };
    for (const ConfirmCase& c : cases) {
        NumberField f = editedField();
        const auto refusal = f.confirm(c.text, owner);
        if (std::string(c.refusal) == "*")
            EXPECT_TRUE(refusal.has_value()) << c.text;
        else
            EXPECT_EQ(refusal.value_or(""), c.refusal) << c.text;
        EXPECT_DOUBLE_EQ(f.xVal, c.value) << c.text;
        EXPECT_EQ(f.rightString, c.shown) << c.text;
        EXPECT_EQ(f.theString, c.expression) << c.text;
        EXPECT_EQ(f.isEditing, refusal.has_value()) << c.text;
    }
}

} // namespace
