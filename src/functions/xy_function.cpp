#include "orlix/xy_function.h"
#include "kind_factories.h"

#include <cmath>
#include <limits>

#include "orlix/format.h"

namespace orlix {

namespace {

} // namespace

xyFunction::xyFunction() : explicitFunction(true) {}

std::shared_ptr<xyFunction> xyFunction::functionFromString(std::string_view text)
{
    return fromFormulaText<xyFunction>(text);
}

std::shared_ptr<xyFunction> xyFunction::functionFromFS(fStack::Owner fs, std::string repr)
{
    if (!fs)
        return nullptr;
    auto f = std::make_shared<xyFunction>();
    setUp(*f, std::move(fs), std::move(repr));
    f->setColor(Color{0, 0, 1, 1});
    return f;
}

std::shared_ptr<xyFunction> xyFunction::functionFromChecked(CheckedFormula formula)
{
    if (!formula.expression)
        return nullptr;
    auto f = std::make_shared<xyFunction>();
    f->setFunctionInfo({{"f", formula.text}});
    setUpChecked(*f, std::move(formula));
    f->setColor(Color{0, 0, 1, 1});
    return f;
}

Function::Ptr xyFunction::makeSameKind(fStack::Owner fs, std::string repr) const
{
    return functionFromFS(std::move(fs), std::move(repr));
}

Function::Ptr xyFunction::fromDict(const json& record) { return fromRecordExpression<xyFunction>(record); }

std::optional<std::string> xyFunction::pointInfoText(const myPointInfo& info) const
{
    return infoLines({{"x=", info.value},
                      {"∂y/∂x=", infoValue(info, "dy/dx")},
                      {"∂x/∂y=", infoValue(info, "dx/dy")},
                      {"∂²x/∂y²=", infoValue(info, "ddx/dyy")},
                      {"k=", infoValue(info, "k")}});
}

} // namespace orlix
