// Enter in the input bar: the texts of its fields checked and taken into
// the controller, ready for commitFormula. Every shell commits through
// this, so a formula is refused, and its fault placed, the same way in all.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "field_check.h"

namespace orlix {

class OrlixViewController;

// What the input bar's fields hold, each trimmed of white space at its ends.
struct TypedFormula {
    std::string first;
    // The second formula (x(t), y(t)); ignored by kinds of one formula.
    std::string second;
    // The range fields; ignored by kinds without a range of their own.
    std::string rangeMin, rangeMax;
};

// Why the fields were refused: the message to show under them and, when a
// formula is at fault, which field and where.
struct FormulaRefusal {
    enum class Field { none, first, second };
    std::string message;
    Field field = Field::none;
    // The checked text: the field's, less a kind prefix ("y=").
    std::string checked;
    // The fault's place in checked, in code points; none when the engine
    // did not say.
    std::optional<std::size_t> at;
};

using FormulaCheck = std::function<CheckedFormula(std::string_view text, const FunctionKindInfo& kind)>;

// Takes typed into c for the next commitFormula: the range first (a bad
// bound is refused before any formula is looked at), then the formula, or
// both formulas of a parametric curve, checked with check. A kind's own
// prefix in front of a formula is the label's ("y=", "x(t)="). An empty
// formula is taken as it is (committing it changes no function). Answers
// the refusal, having taken no formula, when there is one.
std::optional<FormulaRefusal> takeTypedFormula(OrlixViewController& c, const TypedFormula& typed,
                                               const FormulaCheck& check = checkedFormula);

} // namespace orlix
