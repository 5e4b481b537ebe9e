// Code points in and out of UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace orlix::utf8 {

// Invalid bytes become U+FFFD, one per byte.
std::u32string decode(std::string_view text);
std::string encode(std::u32string_view text);
std::string encode(char32_t ch);
// Lower case for ASCII and Greek letters.
char32_t toLower(char32_t ch);

} // namespace orlix::utf8
