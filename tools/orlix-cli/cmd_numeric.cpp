// root, rootseg, limit, period2pi and period: the numeric services of a
// compiled formula.
#include <iostream>

#include "cli.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

namespace orlix::cli {
namespace {

// The arguments left after the options, without "--" separators. Negative
// numbers are ordinary positionals: the options are matched by full name.
Args positionals(const Args& args, std::size_t count)
{
    expectPositional(args, count);
    Args out;
    for (const std::string& a : args)
        if (a != "--")
            out.push_back(a);
    return out;
}

double* variableCell(const std::string& name)
{
    double* cell = MathEngine::addrForVariable(name);
    if (!cell)
        throw UsageError("unknown variable '" + name + "' (x, y, t, r, f, θ, φ, i, a, b or c)");
    return cell;
}

StackMachine compile(const std::string& text) { return StackMachine(*fStack::createWithString(text)); }

int root(Args& args)
{
    const Args p = positionals(args, 4);
    double* cell = variableCell(p[0]);
    const double a = toNumber(p[1]);
    const double b = toNumber(p[2]);
    StackMachine program = compile(p[3]);
    const double r = program.findRootBetweenVar1(a, b, cell);
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    out["root"] = jsonNumber(r);
    out["badRoot"] = jsonNumber(StackMachine::badRoot());
    std::cout << out.dump() << "\n";
    return 0;
}

int rootseg(Args& args)
{
    const Args p = positionals(args, 5);
    const myPoint p1{toNumber(p[0]), toNumber(p[1])};
    const myPoint p2{toNumber(p[2]), toNumber(p[3])};
    StackMachine program = compile(p[4]);
    const myPoint r = program.findRootBetweenP1(p1, p2);
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    out["x"] = jsonNumber(r.x);
    out["y"] = jsonNumber(r.y);
    out["badRoot"] = jsonNumber(StackMachine::badRoot());
    std::cout << out.dump() << "\n";
    return 0;
}

int limit(Args& args)
{
    const bool fromLeft = takeFlag(args, "--left");
    const Args p = positionals(args, 3);
    double* cell = variableCell(p[0]);
    const double a = toNumber(p[1]);
    StackMachine program = compile(p[2]);
    std::cout << formatValue(program.findLimitAtPoint(a, cell, fromLeft)) << "\n";
    return 0;
}

int period2pi(Args& args)
{
    const Args p = positionals(args, 2);
    double* cell = variableCell(p[0]);
    StackMachine program = compile(p[1]);
    std::cout << (program.is2piodicForVariable(cell) ? "yes" : "no") << "\n";
    return 0;
}

int period(Args& args)
{
    const Args p = positionals(args, 2);
    const double T = toNumber(p[0]);
    StackMachine program = compile(p[1]);
    std::cout << (program.isPeriodicWithPeriod(T) ? "yes" : "no") << "\n";
    return 0;
}

const Registrar rootCommand("root", "root VAR A B FORMULA", root);
const Registrar rootsegCommand("rootseg", "rootseg X1 Y1 X2 Y2 FORMULA", rootseg);
const Registrar limitCommand("limit", "limit [--left] VAR A FORMULA", limit);
const Registrar period2piCommand("period2pi", "period2pi VAR FORMULA", period2pi);
const Registrar periodCommand("period", "period T FORMULA", period);

} // namespace
} // namespace orlix::cli
