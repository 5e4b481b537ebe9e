#include "number_field.h"

#include <exception>

#include "field_check.h"
#include "orlix/error.h"
#include "orlix/format.h"

namespace orlix {

void NumberField::setXVal(double v)
{
    if (v == xVal && !rightString.empty())
        return;
    xVal = v;
    rightString = tostr(v);
}

std::optional<std::string> NumberField::confirm(std::string_view text, const Check& isBadValue, const Reader& read)
{
    if (text.empty()) {
        isEditing = false;
        return std::nullopt;
    }
    double v = 0;
    try {
        v = read ? read(text) : numberFieldValue(text);
        if (isBadValue)
            isBadValue(v);
    } catch (const Error& e) {
        return e.reason();
    } catch (const std::exception& e) {
        return std::string(*e.what() ? e.what() : "Wrong Syntax!");
    }
    isEditing = false;
    setXVal(v);
    theString = std::string(text);
    return std::nullopt;
}

} // namespace orlix
