// The number format of every information text and field, and the special
// spaces those texts carry.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orlix {

// The texts of a value that is not a number and of the two infinities.
inline constexpr std::string_view undefinedText = "undefined";
inline constexpr std::string_view infinityText = "\xE2\x88\x9E";                  // ∞
inline constexpr std::string_view minusInfinityText = "\xE2\x88\x92\xE2\x88\x9E"; // −∞ (U+2212)

// undefinedText for NaN, infinityText / minusInfinityText for the
// infinities, "0" for magnitudes up to 1.0000000116860974e-07, otherwise
// printf's "%.7G".
std::string tostr(double v);

// U+2005, after each "=" of the information texts.
inline constexpr std::string_view fourPerEmSpace = "\xE2\x80\x85";
// U+2006, in the range labels "θ ≥", "t ≤" and kin.
inline constexpr std::string_view sixPerEmSpace = "\xE2\x80\x86";
// "text" followed by the four-per-em space, as each "=" of the
// information texts is.
inline std::string infoLabel(std::string_view text)
{
    std::string s(text);
    s += fourPerEmSpace;
    return s;
}

// One line of an information text: the label ("k=") and its value.
struct InfoLine {
    std::string_view label;
    double value;
};
// The lines, each as infoLabel(label) + tostr(value), one below the other.
std::string infoLines(std::initializer_list<InfoLine> lines);

// U+200A, before "=" of the implicit label.
inline constexpr std::string_view hairSpace = "\xE2\x80\x8A";

} // namespace orlix
