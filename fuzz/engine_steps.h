// What the engine fuzzer does with one input, shared with the regression
// test that replays every input the fuzzer ever crashed on: parse the text,
// differentiate in x and in y, simplify, compile and evaluate. An
// orlix::Error at any step ends that step; anything else (a crash, a
// sanitizer report, another exception) is a fault.
#pragma once

#include <string_view>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

namespace orlix::fuzzsteps {

inline void evaluateAtFewPoints(const fStack& list)
{
    StackMachine machine(list);
    MathEngine& engine = MathEngine::sharedEngine();
    for (double v : {-2.5, 0.0, 1.0, 3.75}) {
        engine.x_ = v;
        engine.y_ = -v;
        volatile double result = machine.evaluate();
        (void)result;
    }
}

// Returns how many steps completed without an orlix::Error (for tests).
inline int run(std::string_view text)
{
    MathEngine& engine = MathEngine::sharedEngine();
    engine.setDifBase("x");
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
    } catch (const Error&) {
    }
    for (const char* variable : {"x", "y"}) {
        try {
            engine.setDifBase(variable);
            fStack::Owner derivative = list->last()->dif();
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
    engine.setDifBase("x");
    engine.x_ = engine.y_ = 0;
    return done;
}

} // namespace orlix::fuzzsteps
