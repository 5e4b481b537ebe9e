// What the web shell's files share: the JSON the page reads, colours as
// CSS writes them, numbers JSON can carry.
#pragma once

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "orlix/canvas.h"

namespace orlix {

using json = nlohmann::json;

// A colour as CSS reads it.
inline std::string css(Color c)
{
    const auto byte = [](float v) { return std::lround(std::clamp(std::isfinite(v) ? v : 0.0f, 0.0f, 1.0f) * 255); };
    return "rgb(" + std::to_string(byte(c.r)) + "," + std::to_string(byte(c.g)) + "," + std::to_string(byte(c.b)) + ")";
}

// A number JSON can carry: non-finite ones as null.
inline json number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

} // namespace orlix
