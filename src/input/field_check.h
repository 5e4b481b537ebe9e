// What the formula and number fields check when the user confirms a text.
// No toolkit here: the fields call these and show the message in the
// keyboard's error bar.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "orlix/error.h"
#include "orlix/function_kind.h"

namespace orlix {

// The one-letter names the engine treats as variables (its own list).
bool isEngineVariable(std::string_view name);

// Checks a formula for a function of kind: it must parse, use no engine
// variable the kind does not take, simplify and compile. The result is what
// the function is made of. Throws orlix::Error with the message the user
// sees: the parser's or compiler's own, or "Variable '<name>' mustn't be
// here!"; an empty text is a syntax error.
CheckedFormula checkedFormula(std::string_view text, const FunctionKindInfo& kind);

// The character of text, in code points, at which the engine found the
// fault e reports; none when e says nothing of a place.
std::optional<std::size_t> errorPosition(const Error& e, std::string_view text);

// What a field shows for a refused text: the engine's message, and for the
// word "theta", how θ is typed.
std::string refusalMessage(const Error& e, std::string_view text);

// The value of a constant expression typed into a number field ('2pi',
// '-sqrt(2)', '1e3'). No variable is allowed. Throws orlix::Error as
// checkedFormula does; an empty text is a syntax error here.
double numberFieldValue(std::string_view text);

} // namespace orlix
