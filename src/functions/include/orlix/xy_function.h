// x = g(y): the mirror image of y = f(x). The variable is y, the samples
// run along the y axis, and a sample is (g(y), y).
#pragma once

#include "orlix/yx_function.h"

namespace orlix {

class xyFunction : public explicitFunction {
  public:
    xyFunction();

    // Parses, simplifies and compiles text; the parser's Error propagates.
    static std::shared_ptr<xyFunction> functionFromString(std::string_view text);
    // A new x(y) function of an expression, drawn in blue; nullptr for a
    // null fs.
    static std::shared_ptr<xyFunction> functionFromFS(fStack::Owner fs, std::string repr);
    // The function of a formula the field check accepted, drawn in blue;
    // nullptr when it has no expression.
    static std::shared_ptr<xyFunction> functionFromChecked(CheckedFormula formula);
    static Ptr fromDict(const json& record);

    const FunctionKindInfo* kindInfo() const override { return findKind(FunctionKind::xy); }
    myPoint kTracePoint() const override { return {0, 1}; }
    std::optional<std::string> pointInfoText(const myPointInfo& info) const override;

  protected:
    Ptr makeSameKind(fStack::Owner fs, std::string repr) const override;
};

} // namespace orlix
