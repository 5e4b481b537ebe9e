// libFuzzer entry: arbitrary bytes, taken as UTF-8 text, through the parser,
// the derivative, the simplifier and the evaluator.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine_steps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orlix::fuzzsteps::run(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
