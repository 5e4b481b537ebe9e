#include "field_check.h"

#include <exception>
#include <memory>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "orlix/utf8.h"

namespace orlix {

namespace {

// Whether the one-letter name occurs in the list of accepted letters.
bool accepted(std::string_view name, std::string_view goodVar) { return goodVar.find(name) != std::string_view::npos; }

// Parses text and refuses every engine variable not in goodVar.
fStack::Owner parseChecked(std::string_view text, std::string_view goodVar)
{
    fStack::Owner list = fStack::createWithString(text);
    if (!list)
        throw Error("Wrong Syntax!");
    for (const fStack* node = list->last(); node; node = node->previous) {
        if (node->funcName && isEngineVariable(*node->funcName) && !accepted(*node->funcName, goodVar)) {
            const std::string message = formatMessage("Variable '%@' mustn't be here!", {*node->funcName});
            throw Error(message, message, UserInfo{{"name", *node->funcName}});
        }
    }
    return list;
}

} // namespace

bool isEngineVariable(std::string_view name)
{
    for (char32_t c : MathEngine::sharedEngine().variables)
        if (name == utf8::encode(c))
            return true;
    return false;
}

CheckedFormula checkedFormula(std::string_view text, const FunctionKindInfo& kind)
{
    if (text.empty())
        throw Error("Wrong Syntax!");
    CheckedFormula checked;
    checked.text = std::string(text);
    checked.expression = fStack::optimize(parseChecked(text, kind.variables));
    checked.program = checked.expression->toStackMachine();
    return checked;
}

double numberFieldValue(std::string_view text)
{
    if (text.empty())
        throw Error("Wrong Syntax!");
    fStack::Owner list = parseChecked(text, "");
    return list->toStackMachine()->evaluate();
}

} // namespace orlix
