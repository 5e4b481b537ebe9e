// A function stack as one line of text, for tables of expected lists.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "orlix/fstack.h"

namespace orlix::testing {

// Nodes first to last, one space between; numbers with `digits`
// significant digits (NaN as "nan"); names in single quotes when `quoted`,
// as `orlix-cli parse` prints them.
inline std::string postfixText(const fStack& list, int digits = 17, bool quoted = false)
{
    std::string out;
    char buf[64];
    for (const fStack* n = list.first(); n; n = n->next) {
        if (!out.empty())
            out += ' ';
        if (n->funcName) {
            out += quoted ? "'" + *n->funcName + "'" : *n->funcName;
        } else if (std::isnan(n->c)) {
            out += "nan";
        } else {
            std::snprintf(buf, sizeof buf, "%.*g", digits, n->c);
            out += buf;
        }
    }
    return out;
}

} // namespace orlix::testing
