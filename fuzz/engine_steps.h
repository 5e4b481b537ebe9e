// What the engine fuzzer does with one input, shared with the regression
// test that replays every input the fuzzer ever crashed on: parse the text,
// compile and evaluate, run the numeric services (roots on an interval and
// on a segment, limits from both sides, the period tests), differentiate in
// x and in y, simplify and evaluate. An orlix::Error at any step ends that
// step; anything else (a crash, a sanitizer report, another exception) is a
// fault.
#pragma once

#include <string_view>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "random.h"

namespace orlix::fuzzsteps {

inline void evaluateAtFewPoints(const fStack& list)
{
    StackMachine machine(list);
    for (double v : {-2.5, 0.0, 1.0, 3.75}) {
        *MathEngine::xAddr() = v;
        *MathEngine::yAddr() = -v;
        volatile double result = machine.evaluate();
        (void)result;
    }
}

// The services the curves search with, on what the text compiled to. Each
// writes the cells it drives; the periods draw random numbers, seeded so
// that an input replays the same way.
inline void runNumericServices(const fStack& list)
{
    StackMachine machine(list);
    double* x = MathEngine::xAddr();
    detail::seedEngineRandom(1);
    volatile double sink = machine.findRootBetweenVar1(-2.5, 3.75, x);
    const myPoint p = machine.findRootBetweenP1(myPoint{-2.5, -1}, myPoint{3.75, 2});
    sink = p.x + p.y;
    sink = machine.findLimitAtPoint(1, x, true);
    sink = machine.findLimitAtPoint(1, x, false);
    sink = machine.is2piodicForVariable(x);
    sink = machine.isPeriodicWithPeriod(3.141592653589793);
    (void)sink;
}

// Returns how many steps completed without an orlix::Error (for tests).
inline int run(std::string_view text)
{
    int done = 0;
    fStack::Owner list;
    try {
        list = fStack::createWithString(text);
        ++done;
    } catch (const Error&) {
        return done;
    }
    if (!list)
        return done;
    try {
        evaluateAtFewPoints(*list);
        ++done;
        runNumericServices(*list);
    } catch (const Error&) {
    }
    for (const char* variable : {"x", "y"}) {
        try {
            fStack::Owner derivative = list->last()->dif(variable);
            if (!derivative)
                continue;
            derivative = fStack::optimize(std::move(derivative));
            if (!derivative)
                continue;
            evaluateAtFewPoints(*derivative);
            ++done;
        } catch (const Error&) {
        }
    }
    *MathEngine::xAddr() = *MathEngine::yAddr() = 0;
    return done;
}

} // namespace orlix::fuzzsteps
