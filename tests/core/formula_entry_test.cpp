// Enter in the input bar on the core alone: what is taken, what is refused
// and where its fault lies, for each sort of kind.
#include "formula_entry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "controller.h"
#include "memory_store.h"
#include "orlix/null_canvas.h"

using namespace orlix;
using Field = FormulaRefusal::Field;

namespace {

struct Screen {
    MemoryStore::Place place;
    StoreSession session{std::make_unique<MemoryStore>(place, StoreAccess::ReadWrite)};
    plotView view;
    OrlixViewController c{session, view};

    Screen()
    {
        view.layerFactory = [](SizeF size) { return std::make_unique<NullCanvas>(size); };
        view.setFrame(RectF{0, 0, 320, 480});
        c.load();
    }
    // Enter with these texts: the refusal, or the commit's answer.
    std::optional<FormulaRefusal> enter(TypedFormula typed, bool* committed = nullptr)
    {
        auto refused = takeTypedFormula(c, typed);
        if (!refused && committed)
            *committed = c.commitFormula();
        return refused;
    }
    std::size_t count() const { return c.model().functionRegister().size(); }
};

// The formula field alone.
TypedFormula one(std::string text)
{
    TypedFormula t;
    t.first = std::move(text);
    return t;
}

} // namespace

TEST(FormulaEntry, OneFormulaIsTakenWithoutItsPrefixOrRefusedWithItsFaultPlaced)
{
    Screen s;
    bool committed = false;
    ASSERT_FALSE(s.enter(one("y=x^2-2"), &committed));
    EXPECT_TRUE(committed);
    EXPECT_EQ(s.c.curFunc()->stringRepresentation(), "x^2-2");

    // The place is in the text less its prefix, in code points.
    auto refused = s.enter(one("y=θ·2+)"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->field, Field::first);
    EXPECT_EQ(refused->checked, "θ·2+)");
    ASSERT_TRUE(refused->at);
    EXPECT_EQ(*refused->at, 4u);
    // A variable the kind does not take is named; the engine gives no place.
    refused = s.enter(one("x+t"));
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->message.find("'t'"), std::string::npos) << refused->message;
    EXPECT_FALSE(refused->at);
    EXPECT_EQ(s.count(), 1u);
    EXPECT_EQ(s.c.curFunc()->stringRepresentation(), "x^2-2");

    // Nothing typed is taken and changes no function.
    ASSERT_FALSE(s.enter(one(""), &committed));
    EXPECT_FALSE(committed);
    EXPECT_EQ(s.count(), 1u);
}

TEST(FormulaEntry, ARangeIsCheckedBeforeTheFormulaAndTwoFormulasAreCheckedEach)
{
    Screen s;
    s.c.chooseKind(FunctionKind::parametric);
    bool committed = false;
    // A bound on the wrong side refuses before the faulty formula is read.
    auto refused = s.enter({"cos(t", "sin(t)", "3", "1"});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->field, Field::none);
    EXPECT_EQ(s.count(), 0u);

    // The fault of the second formula is placed in the second field.
    refused = s.enter({"x(t)=cos(t)", "y(t)=sin(t", "0", "2pi"});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->field, Field::second);
    EXPECT_EQ(refused->checked, "sin(t");
    // Both at fault (or the same text): the first field shows it.
    refused = s.enter({"cos(", "cos(", "0", "2pi"});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->field, Field::first);
    EXPECT_EQ(s.count(), 0u);

    ASSERT_FALSE(s.enter({"x(t)=cos(t)", "y(t)=sin(t)", "0", "2pi"}, &committed));
    EXPECT_TRUE(committed);
    EXPECT_EQ(s.count(), 1u);
    EXPECT_EQ(s.c.formulaText(), "cos(t)");
    EXPECT_EQ(s.c.secondFormulaText(), "sin(t)");
}

TEST(FormulaEntry, ACheckThatFailsOtherwiseIsRefusedWithItsOwnWords)
{
    Screen s;
    const FormulaCheck failing = [](std::string_view, const FunctionKindInfo&) -> CheckedFormula {
        throw std::runtime_error("");
    };
    const auto refused = takeTypedFormula(s.c, one("x"), failing);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, "Wrong Syntax!");
    EXPECT_EQ(refused->field, Field::none);
    EXPECT_EQ(s.count(), 0u);
}
