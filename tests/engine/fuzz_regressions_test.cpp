// Inputs that once broke the engine (found by the fuzzer, fuzz/regressions/engine),
// its seeds and hostile inputs of the same kinds, each replayed through the fuzzer's
// steps: parse, evaluate, differentiate in x and y, simplify, evaluate. Any
// outcome but a finished run or an orlix::Error is a fault; under the
// sanitizer build this also checks memory and undefined behaviour.

#include <gtest/gtest.h>

#include <string>

#include "../../fuzz/engine_steps.h"
#include "../../fuzz/kept_inputs.h"

namespace {

struct Case {
    const char* name;
    std::string input;
    int minSteps; // steps that must complete without an orlix::Error
};

const Case kCases[] = {
    // An ordinary formula gets through every step: parse, evaluate, both
    // derivatives (otherwise the fuzzer would stop early on everything).
    {"ordinary formula", "sin(x)+x^2*y", 4},
    // Not text at all: invalid UTF-8, control bytes, a NUL inside.
    {"invalid utf-8", std::string("\xff\xfe\x80x+1"), 0},
    {"cut multibyte", std::string("sin(\xce"), 0},
    {"nul inside", std::string("x+\0+1", 5), 0},
    {"empty", "", 0},
    {"only operators", "+-*/^", 0},
    {"lone bars", "|||", 0},
    {"unbalanced braces", "((x)", 0},
    {"closing first", ")x(", 0},
    {"derivative without argument", "D(", 0},
    {"derivative of nothing", "dx()", 0},
    {"nested derivatives", "D(D(D(D(x^x,x),x),x),x)", 1},
    {"deep nesting", std::string(200, '(') + "x" + std::string(200, ')'), 0},
    {"long sum",
     [] {
         std::string s = "x";
         for (int k = 0; k < 300; ++k)
             s += "+x";
         return s;
     }(),
     1},
    {"power tower", "x^x^x^x^x^x^x^x", 1},
    {"huge number", "1e999999*x", 0},
    {"tiny number", "1e-999999+x", 0},
    {"many dots", "1.2.3.4", 0},
    {"logn", "logn(x,logn(x,x))", 0},
    {"every function", "sin(cos(tan(asin(acos(atan(sinh(cosh(tanh(asinh(acosh(atanh(x))))))))))))", 1},
    {"steps", "sign(x)*sign_(x)*not_(x)*greater_(x)*greater__(x)*notInt(x)*notInt_(x)*[x]*{x}", 1},
};

void replay(const std::string& label, const std::string& input, int minSteps)
{
    int steps = 0;
    EXPECT_NO_THROW(steps = orlix::fuzzsteps::run(input)) << label;
    EXPECT_GE(steps, minSteps) << label;
}

} // namespace

TEST(FuzzRegressions, TableInputsFinishOrFailCleanly)
{
    for (const Case& c : kCases)
        replay(c.name, c.input, c.minSteps);
}

TEST(FuzzRegressions, KeptInputsFinishOrFailCleanly)
{
    const int replayed = orlix::fuzzsteps::replayKeptInputs(
        "engine", {"corpus", "regressions"},
        [](const std::string& path, const std::string& input) { replay(path, input, 0); });
    EXPECT_GT(replayed, 0);
}
