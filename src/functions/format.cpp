#include "orlix/format.h"

#include <cmath>
#include <cstdio>

namespace orlix {

std::string tostr(double v)
{
    if (std::isnan(v) || std::fabs(v) <= 1.0000000116860974e-07)
        return "0";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.7G", v);
    return buf;
}

} // namespace orlix
