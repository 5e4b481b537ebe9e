// Whether two results of the engine are the same value: identical bits, or
// both NaN (a NaN's payload is not part of any result the engine promises).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace orlix::test {

inline bool same(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

} // namespace orlix::test
