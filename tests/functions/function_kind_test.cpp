#include "orlix/curve_model.h"
#include "orlix/function_kind.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace orlix;

namespace {

class FunctionKindTest : public ::testing::Test {
  protected:
    CurveModel model;
    void SetUp() override
    {
        model.setMinX(-15, 15);
        model.setMinY(-15, 15);
    }
};

// Each entry makes functions that know their entry, keep it through their
// record, and can do what the entry says.
TEST_F(FunctionKindTest, EveryKindMakesAndRestoresItself)
{
    std::set<std::string> types, shortNames;
    for (const FunctionKindInfo& kind : functionKinds()) {
        const std::string name(kind.typeName);
        EXPECT_TRUE(types.insert(name).second) << name;
        EXPECT_TRUE(shortNames.insert(std::string(kind.shortName)).second) << name;
        EXPECT_EQ(findKind(kind.kind), &kind) << name;
        EXPECT_EQ(findKindByType(kind.typeName), &kind) << name;
        EXPECT_EQ(findKindByShortName(kind.shortName), &kind) << name;

        // A kind of two formulas takes them in one text, "first;second".
        std::string text(kind.placeholder);
        if (!kind.secondPlaceholder.empty())
            text += ";" + std::string(kind.secondPlaceholder);
        const Function::Ptr made = kind.fromText(text);
        ASSERT_TRUE(made) << name;
        EXPECT_EQ(made->kindInfo(), &kind) << name;
        EXPECT_EQ(made->functionInfo().at("f"), kind.placeholder) << name;
        EXPECT_EQ(made->isImplicit(), kind.can.implicitDrawing) << name;
        EXPECT_EQ(made->differential() != nullptr, kind.can.derivative) << name;

        const Function::json record = made->toDict();
        EXPECT_EQ(record["type"], name);
        const Function::Ptr back = model.fromDict(record);
        ASSERT_TRUE(back) << name;
        EXPECT_EQ(back->kindInfo(), &kind) << name;
    }
    EXPECT_EQ(findKindByType("iFunctionOfNoKind"), nullptr);
    EXPECT_EQ(findKindByShortName(""), nullptr);
    EXPECT_EQ(&defaultKind(), findKind(FunctionKind::yx));
}

// A test kind registered under a built-in type name stays in its model:
// another model restores the built-in kind's records.
TEST_F(FunctionKindTest, AKindRegisteredInOneModelStaysThere)
{
    const FunctionKindInfo& yx = *findKind(FunctionKind::yx);
    const Function::json record = yx.fromText("x^2")->toDict();
    model.registerKind(std::string(yx.typeName), [](const Function::json&) { return Function::Ptr(); });
    EXPECT_EQ(model.fromDict(record), nullptr);
    const Function::Ptr back = CurveModel().fromDict(record);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kindInfo(), &yx);
}

} // namespace
