#include "field_check.h"

#include <exception>
#include <algorithm>
#include <memory>
#include <variant>

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
    for (char32_t c : MathEngine::sharedEngine().characters(CharClass::variable))
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
    // The parameters a, b and c are every formula's.
    checked.expression = fStack::optimize(parseChecked(text, std::string(kind.variables) + "abc"));
    checked.program = checked.expression->toStackMachine();
    return checked;
}

std::optional<std::size_t> errorPosition(const Error& e, std::string_view text)
{
    const UserInfo& info = e.userInfo();
    const auto pos = info.find("position");
    const auto str = info.find("string");
    if (pos == info.end() || !std::holds_alternative<long long>(pos->second))
        return std::nullopt;
    // The engine stands just past the character that did not fit.
    const long long at = std::get<long long>(pos->second) - 1;
    if (at < 0)
        return at == -1 ? std::optional<std::size_t>(0) : std::nullopt;
    // The engine counts in its own reading of the text, with the "*" of
    // implicit products written out: take those away again.
    const std::u32string typed = utf8::decode(text);
    const std::u32string read = str != info.end() && std::holds_alternative<std::string>(str->second)
                                    ? utf8::decode(std::get<std::string>(str->second))
                                    : typed;
    std::size_t i = 0, j = 0;
    while (i < read.size() && i < static_cast<std::size_t>(at)) {
        if (j < typed.size() && read[i] == typed[j])
            ++j;
        ++i;
    }
    return std::min(j, typed.size());
}

std::string refusalMessage(const Error& e, std::string_view text)
{
    std::string message = e.reason();
    if (text.find("theta") != std::string_view::npos)
        message += " θ is typed with the θ key, or as f.";
    return message;
}

double numberFieldValue(std::string_view text)
{
    if (text.empty())
        throw Error("Wrong Syntax!");
    fStack::Owner list = parseChecked(text, "");
    return list->toStackMachine()->evaluate();
}

} // namespace orlix
