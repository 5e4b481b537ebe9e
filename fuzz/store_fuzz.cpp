// libFuzzer entry: arbitrary bytes as the store file, read as a launch
// reads it, drawn, saved and read again (store_steps.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "store_steps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const orlix::fuzzsteps::StoreOutcome out =
        orlix::fuzzsteps::runStore(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!out.sameRecords || !out.sameSettings || !out.sameView) {
        std::fprintf(stderr, "the saved state loads differently: records %d, settings %d, view %d\n", out.sameRecords,
                     out.sameSettings, out.sameView);
        std::abort();
    }
    return 0;
}
