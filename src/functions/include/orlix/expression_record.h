// The stored form of a compiled expression: the array of its elements, as
// every kind's record keeps it under "functionSM".
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "orlix/fstack.h"

namespace orlix::record {

// The elements of fs; numbers JSON cannot hold are written as text. An
// empty array for a null fs.
nlohmann::json writeExpression(const fStack* fs);
// The expression of a stored array; nullptr when it is not one.
fStack::Owner readExpression(const nlohmann::json& items);
// The string representation of a function whose text is lost: "abrakadabra"
// with the time and a counter, a text no formula has.
std::string placeholderText();

} // namespace orlix::record
