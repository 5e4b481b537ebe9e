// enclose: what a formula does over a whole range, as its interval
// enclosure and the flags that say it may be undefined or jump inside.
#include <algorithm>
#include <iostream>
#include <set>

#include "cli.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

namespace orlix::cli {
namespace {

// "A,B" as the pair of its numbers, in order.
std::pair<double, double> rangeOf(const std::string& text)
{
    const auto comma = text.find(',');
    if (comma == std::string::npos)
        throw Error("Bad range", "'" + text + "' is not two numbers with a comma between them");
    const double lo = toNumber(text.substr(0, comma)), hi = toNumber(text.substr(comma + 1));
    if (std::isnan(lo) || std::isnan(hi) || lo > hi)
        throw Error("Bad range", "'" + text + "' is not a range from a lower number to a higher one");
    return {lo, hi};
}

// The variables of a formula's program, among x, y, t, θ and r.
std::set<double*> variablesOf(const fStack& list)
{
    const std::pair<const char*, double*> names[] = {{"x", MathEngine::xAddr()},
                                                     {"y", MathEngine::yAddr()},
                                                     {"t", MathEngine::tAddr()},
                                                     {"f", MathEngine::fAddr()},
                                                     {"θ", MathEngine::fAddr()},
                                                     {"r", MathEngine::rAddr()}};
    std::set<double*> used;
    for (const fStack* n = list.first(); n; n = n->next)
        for (const auto& [name, cell] : names)
            if (n->funcName && *n->funcName == name)
                used.insert(cell);
    return used;
}

int enclose(Args& args)
{
    // "--" lets a range start with a minus sign.
    args.erase(std::remove(args.begin(), args.end(), "--"), args.end());
    if (args.size() != 3 && args.size() != 4)
        expectPositional(args, 3);
    fStack::Owner list = fStack::createWithString(args[0]);
    StackMachine program(*list);
    Interval e;
    if (args.size() == 3) {
        // One range: for the formula's one variable (x when it has none).
        const double lo = toNumber(args[1]), hi = toNumber(args[2]);
        if (std::isnan(lo) || std::isnan(hi) || lo > hi)
            throw Error("Bad range", "A B must be numbers with A ≤ B");
        const std::set<double*> used = variablesOf(*list);
        if (used.size() > 1)
            throw Error("Bad range", "the formula has more than one variable: give X1,X2 Y1,Y2");
        e = program.enclose(used.empty() ? MathEngine::xAddr() : *used.begin(), lo, hi);
    } else {
        const auto [x1, x2] = rangeOf(args[1]);
        const auto [y1, y2] = rangeOf(args[2]);
        e = program.enclose({MathEngine::xAddr(), x1, x2}, {MathEngine::yAddr(), y1, y2});
    }
    nlohmann::json out = {{"lo", jsonNumber(e.lo)},
                          {"hi", jsonNumber(e.hi)},
                          {"maybeUndefined", e.maybeUndefined},
                          {"maybeDiscontinuous", e.maybeDiscontinuous}};
    std::cout << out.dump() << "\n";
    return 0;
}

const Registrar encloseCommand("enclose", "enclose FORMULA A B | enclose FORMULA X1,X2 Y1,Y2", enclose);

} // namespace
} // namespace orlix::cli
