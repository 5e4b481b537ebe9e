#include "orlix/format.h"

#include <cmath>
#include <cstdio>

namespace orlix {

std::string tostr(double v)
{
    // No value is not a zero: a reader would take "0" for one.
    if (std::isnan(v))
        return std::string(undefinedText);
    if (std::isinf(v))
        return std::string(v > 0 ? infinityText : minusInfinityText);
    if (std::fabs(v) <= 1.0000000116860974e-07)
        return "0";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.7G", v);
    return buf;
}

std::string infoLines(std::initializer_list<InfoLine> lines)
{
    std::string text;
    for (const InfoLine& line : lines) {
        if (!text.empty())
            text += '\n';
        text += infoLabel(line.label);
        text += tostr(line.value);
    }
    return text;
}

} // namespace orlix
