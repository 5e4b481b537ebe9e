// The history of changes to the functions: a redo branch is dropped by a
// new change, a change of nothing is no step, the oldest steps go beyond
// the limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orlix/function_history.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

class FunctionHistoryTest : public orlix::testing::PlaneTest {
  protected:
    FunctionHistory history;
    Function::Ptr current;
    // Registers formula under a fresh identifier as one step.
    bool add(const std::string& formula)
    {
        RegisterSnapshot before = RegisterSnapshot::capture(model, current.get());
        current = yxFunction::functionFromString(formula);
        model.setFunction(current, "f" + std::to_string(model.functionRegister().size() + 1) + formula);
        return history.record(FunctionChange::add, std::move(before), RegisterSnapshot::capture(model, current.get()));
    }
    void go(const RegisterSnapshot* s)
    {
        if (s)
            current = s->restore(model);
    }
    std::string formulas()
    {
        std::string all;
        for (const auto& [id, f] : model.functionRegister())
            all += (all.empty() ? "" : " ") + f->stringRepresentation();
        return all;
    }
};

} // namespace

TEST_F(FunctionHistoryTest, UndoRedoAndANewChangeDroppingWhatWasUndone)
{
    struct Step {
        const char* action; // "+formula", "undo", "redo", "same"
        const char* formulas;
        bool canUndo, canRedo;
    };
    const Step steps[] = {
        {"undo", "", false, false},        {"+x", "x", true, false},
        {"+x^2", "x x^2", true, false},    {"undo", "x", true, true},
        {"undo", "", false, true},         {"undo", "", false, true},
        {"redo", "x", true, true},         {"+sin(x)", "x sin(x)", true, false}, // x^2 is gone
        {"redo", "x sin(x)", true, false}, {"same", "x sin(x)", true, false},
        {"undo", "x", true, true},         {"redo", "x sin(x)", true, false},
    };
    for (const Step& s : steps) {
        const std::string action = s.action;
        if (action == "undo")
            go(history.undo());
        else if (action == "redo")
            go(history.redo());
        else if (action == "same")
            EXPECT_FALSE(history.record(FunctionChange::looks, RegisterSnapshot::capture(model, current.get()),
                                        RegisterSnapshot::capture(model, current.get())));
        else
            EXPECT_TRUE(add(action.substr(1)));
        SCOPED_TRACE(action);
        EXPECT_EQ(formulas(), s.formulas);
        EXPECT_EQ(history.canUndo(), s.canUndo);
        EXPECT_EQ(history.canRedo(), s.canRedo);
    }
}

TEST_F(FunctionHistoryTest, TheOldestStepsGoBeyondTheLimit)
{
    ASSERT_GE(FunctionHistory::defaultLimit, 50u);
    const int made = static_cast<int>(FunctionHistory::defaultLimit) + 20;
    for (int k = 0; k < made; ++k)
        add("x+" + std::to_string(k));
    int undone = 0;
    while (history.canUndo()) {
        go(history.undo());
        ++undone;
    }
    EXPECT_EQ(undone, static_cast<int>(FunctionHistory::defaultLimit));
    // The register as it was before the oldest step kept.
    EXPECT_EQ(model.functionRegister().size(), 20u);
}
