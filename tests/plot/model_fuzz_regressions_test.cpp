// The curve model as the model fuzzer drives it (fuzz/model_steps.h): a
// curve of each kind, and hostile formulas, views and ranges, registered,
// drawn, searched, asked for information and traced; then every input the
// fuzzer kept as a seed or a finding (fuzz/corpus/model, fuzz/regressions/
// model). Each must finish with no path point that is no number; under the
// sanitizer build this also checks memory and undefined behaviour.

#include <gtest/gtest.h>

#include <string>

#include "../../fuzz/kept_inputs.h"
#include "../../fuzz/model_steps.h"

namespace {

using orlix::fuzzsteps::ModelOutcome;

ModelOutcome run(const std::string& text)
{
    const auto input = orlix::fuzzsteps::readModelInput(text);
    EXPECT_TRUE(input) << text;
    return input ? orlix::fuzzsteps::runModel(*input) : ModelOutcome{};
}

TEST(ModelFuzzSteps, EveryKindGetsThroughEveryStep)
{
    // An ordinary curve of each kind must reach the end, or the fuzzer
    // would stop early on everything.
    const char* inputs[] = {
        "yx\nsin(x)*2+1\nyx\nx\n0 0 30 0.5 -1 2", "xy\ny^2-1\nyx\nx\n0 0 30 0.5 -1 2",
        "rf\n1+2cos(θ)\nyx\nx\n0 0 30 1 -3 3",    "t\ncos(t);sin(2t)\nyx\nx\n0 0 60 1 0 6",
        "i\nx^2+y^2-4\nyx\nx\n0 0 30 1 -1 1",
    };
    for (const char* text : inputs) {
        const ModelOutcome out = run(text);
        EXPECT_TRUE(out.registered && out.drawn) << text;
        EXPECT_GT(out.pathPoints, 0) << text;
        EXPECT_GT(out.marks, 0u) << text;
        EXPECT_GT(out.panelTexts, 0) << text;
        EXPECT_EQ(out.nonFinitePoints, 0) << text;
    }
}

TEST(ModelFuzzSteps, InputFormat)
{
    EXPECT_FALSE(orlix::fuzzsteps::readModelInput("zz\nx"));
    EXPECT_FALSE(orlix::fuzzsteps::readModelInput(""));
    // Numbers that are missing keep their defaults; the other curve is
    // optional.
    const auto in = orlix::fuzzsteps::readModelInput("t\nt;t\n\n\n1 2 3");
    ASSERT_TRUE(in);
    EXPECT_EQ(in->formula, "t;t");
    EXPECT_EQ(in->otherKind, nullptr);
    EXPECT_EQ(in->numbers[2], 3);
    EXPECT_EQ(in->numbers[3], 0.5);
}

TEST(ModelFuzzSteps, HostileViewsFormulasAndRangesFinish)
{
    const char* inputs[] = {
        // Views at the ends of the scale and of the doubles.
        "yx\nx\n\n\n1e308 -1e308 2e7 1e308 -1e308 1e308",
        "yx\n1/x\n\n\n0 0 5e-8 0 -1e300 1e300",
        "i\nx*y\nyx\nx\n1e15 1e15 2e7 0 0 1",
        // Ranges of no width, reversed, not numbers.
        "rf\nθ\n\n\nnan inf 30 nan 5 5",
        "t\nt;t^2\n\n\n0 0 30 0 3 -3",
        // Curves that are nowhere defined, constant, or everywhere poles.
        "yx\nsqrt(-1-x^2)\nyx\nsqrt(-1-x^2)\n0 0 30 0 -1 1",
        "xy\n0\nxy\n0\n0 0 30 0 -1 1",
        "yx\ntan(1000x)\n\n\n0 0 30 0.1 -50 50",
        "rf\n1/sin(θ)\nrf\n1/cos(θ)\n0 0 30 0 -3 3",
        "i\nsin(1/x)-y\nt\ncos(t);sin(t)\n0 0 30 0 -1 1",
        "t\n1e300t;1e-300t\nrf\n1e300\n0 0 30 1 -1e10 1e10",
    };
    for (const char* text : inputs) {
        const ModelOutcome out = run(text);
        EXPECT_EQ(out.nonFinitePoints, 0) << text;
    }
}

TEST(ModelFuzzSteps, KeptInputsFinish)
{
    const int replayed = orlix::fuzzsteps::replayKeptInputs(
        "model", {"corpus", "regressions"}, [](const std::string& path, const std::string& text) {
            if (const auto input = orlix::fuzzsteps::readModelInput(text)) {
                EXPECT_EQ(orlix::fuzzsteps::runModel(*input).nonFinitePoints, 0) << path;
            }
        });
    EXPECT_GT(replayed, 0);
}

} // namespace
