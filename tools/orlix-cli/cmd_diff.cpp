// diff: the derivative of a formula by one variable, as a function stack.
#include <iostream>

#include "cli.h"
#include "view_options.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"

namespace orlix::cli {
namespace {

int diff(Args& args)
{
    const bool raw = takeFlag(args, "--raw");
    // The parameters are constants: their values change no derivative,
    // and are taken as the other commands take them.
    CurveModel values;
    ParameterOptions::take(args).applyTo(values);
    expectPositional(args, 2);
    std::vector<std::string> positional;
    for (const std::string& a : args)
        if (a != "--")
            positional.push_back(a);
    const std::string& variable = positional[0];
    static const char* const kVariables[] = {"x", "y", "t", "r", "f", "θ", "φ", "i"};
    bool known = false;
    for (const char* v : kVariables)
        known = known || variable == v;
    if (!known)
        throw UsageError("not a variable: '" + variable + "' (one of x y t r f θ φ i)");

    fStack::Owner list = fStack::createWithString(positional[1]);
    fStack::Owner derivative = list->last()->dif(variable);
    if (!raw)
        derivative = fStack::optimize(std::move(derivative));

    std::string line;
    for (const fStack* n = derivative->first(); n; n = n->next) {
        if (!line.empty())
            line += ' ';
        line += n->funcName ? "'" + *n->funcName + "'" : formatValue(n->c);
    }
    std::cout << line << "\n";
    return 0;
}

const Registrar diffCommand("diff", "diff [--raw] [--a V] [--b V] [--c V] VAR FORMULA", diff);

} // namespace
} // namespace orlix::cli
