#include "orlix/function_kind.h"

#include <algorithm>
#include <array>

#include "orlix/xy_function.h"
#include "orlix/yx_function.h"

namespace orlix {

namespace {

template <class Kind> Function::Ptr fromText(std::string_view text) { return Kind::functionFromString(text); }

template <class Kind> Function::Ptr fromChecked(CheckedFormula formula)
{
    return Kind::functionFromChecked(std::move(formula));
}

FunctionKindInfo yxEntry()
{
    FunctionKindInfo k{};
    k.kind = FunctionKind::yx;
    k.typeName = "yxFunction";
    k.shortName = "yx";
    k.inputLabel = "y(x)=";
    k.variables = "x";
    k.variableLabel = "x=";
    k.startLabel = "x₁=";
    k.endLabel = "x₂=";
    k.placeholder = "sin(x)";
    k.menuText = "New y(x)";
    k.fromText = &fromText<yxFunction>;
    k.fromChecked = &fromChecked<yxFunction>;
    k.fromRecord = &yxFunction::fromDict;
    return k;
}

FunctionKindInfo xyEntry()
{
    FunctionKindInfo k{};
    k.kind = FunctionKind::xy;
    k.typeName = "xyFunction";
    k.shortName = "xy";
    k.inputLabel = "x(y)=";
    k.variables = "y";
    k.variableLabel = "y=";
    k.startLabel = "y₁=";
    k.endLabel = "y₂=";
    k.placeholder = "sin(y)";
    k.menuText = "New x(y)";
    k.can.ownColor = true; // drawn in blue
    k.curvatureSide = CurvatureSide::mirroredSlope;
    k.fromText = &fromText<xyFunction>;
    k.fromChecked = &fromChecked<xyFunction>;
    k.fromRecord = &xyFunction::fromDict;
    return k;
}

const std::array<FunctionKindInfo, 2>& table()
{
    static const std::array<FunctionKindInfo, 2> kinds{yxEntry(), xyEntry()};
    return kinds;
}

template <class Pred> const FunctionKindInfo* findIf(Pred pred)
{
    const auto& kinds = table();
    auto it = std::find_if(kinds.begin(), kinds.end(), pred);
    return it == kinds.end() ? nullptr : &*it;
}

} // namespace

std::span<const FunctionKindInfo> functionKinds() { return table(); }

const FunctionKindInfo* findKind(FunctionKind kind)
{
    return findIf([&](const FunctionKindInfo& k) { return k.kind == kind; });
}

const FunctionKindInfo* findKindByType(std::string_view typeName)
{
    return findIf([&](const FunctionKindInfo& k) { return k.typeName == typeName; });
}

const FunctionKindInfo* findKindByShortName(std::string_view shortName)
{
    return findIf([&](const FunctionKindInfo& k) { return k.shortName == shortName; });
}

const FunctionKindInfo& defaultKind() { return table().front(); }

void registerBuiltInKinds()
{
    for (const FunctionKindInfo& k : functionKinds())
        Function::registerKind(std::string(k.typeName), k.fromRecord);
}

} // namespace orlix
