// libFuzzer entry: a curve of any kind from the input, drawn, searched,
// asked for point and range information and traced (model_steps.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "model_steps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto input = orlix::fuzzsteps::readModelInput(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!input)
        return -1; // not kept in the corpus
    const orlix::fuzzsteps::ModelOutcome out = orlix::fuzzsteps::runModel(*input);
    if (out.nonFinitePoints > 0) {
        std::fprintf(stderr, "a drawing was handed %d points that are no number\n", out.nonFinitePoints);
        std::abort();
    }
    return 0;
}
