// eval and parse: a formula to its function stack and its value.
#include <iostream>

#include "cli.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

namespace orlix::cli {
namespace {

std::string lastPositional(const Args& args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        if (*it != "--")
            return *it;
    return {};
}

int eval(Args& args)
{
    struct Cell {
        const char* option;
        double* cell;
    };
    const Cell cells[] = {{"--x", MathEngine::xAddr()}, {"--y", MathEngine::yAddr()}, {"--t", MathEngine::tAddr()},
                          {"--r", MathEngine::rAddr()}, {"--f", MathEngine::fAddr()}, {"--a", MathEngine::aAddr()},
                          {"--b", MathEngine::bAddr()}, {"--c", MathEngine::cAddr()}};
    std::vector<std::pair<double*, double>> values;
    for (const Cell& c : cells)
        if (auto v = takeOption(args, c.option))
            values.emplace_back(c.cell, toNumber(*v));
    expectPositional(args, 1);
    fStack::Owner list = fStack::createWithString(lastPositional(args));
    StackMachine program(*list);
    for (auto [cell, v] : values)
        *cell = v;
    std::cout << formatValue(program.evaluate()) << "\n";
    return 0;
}

int parse(Args& args)
{
    const bool raw = takeFlag(args, "--raw");
    expectPositional(args, 1);
    const std::string text = lastPositional(args);
    fStack::Owner list = raw ? fStack::justCreateWithString(text) : fStack::createWithString(text);
    std::string line;
    for (const fStack* n = list->first(); n; n = n->next) {
        if (!line.empty())
            line += ' ';
        line += n->funcName ? "'" + *n->funcName + "'" : formatValue(n->c);
    }
    std::cout << line << "\n";
    return 0;
}

const Registrar evalCommand("eval", "eval [--x V] [--y V] [--t V] [--r V] [--f V] [--a V] [--b V] [--c V] FORMULA",
                            eval);
const Registrar parseCommand("parse", "parse [--raw] FORMULA", parse);

} // namespace
} // namespace orlix::cli
