// A number field's state and rules, without its widget: the value, the
// text shown when not editing, and the expression last accepted (shown
// while editing, kept for the next edit).
#pragma once

#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace orlix {

struct NumberField {
    double xVal = std::numeric_limits<double>::quiet_NaN();
    std::string theString;
    std::string rightString;
    bool isEditing = false;

    // Stores v and its display text (tostr); nothing when v is the stored
    // value and the text is already made.
    void setXVal(double v);

    // Reads a typed text into a value; throws orlix::Error to refuse it.
    using Reader = std::function<double(std::string_view text)>;
    // The owner's check of a value; throws orlix::Error with its message to
    // refuse it.
    using Check = std::function<void(double value)>;

    // The user confirms text. Empty: the field shows its expression again
    // and editing ends. Otherwise the text is read (a constant expression;
    // no variable), the owner checks the value, and on success the value
    // and the text are stored and editing ends (nullopt). A refusal
    // returns its message and changes nothing: editing goes on.
    std::optional<std::string> confirm(std::string_view text, const Check& isBadValue, const Reader& read = {});
};

} // namespace orlix
