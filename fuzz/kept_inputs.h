// The inputs the fuzzers keep in the repository, for the tests that replay
// them: the seeds (corpus/<name>) and the findings (regressions/<name>).
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace orlix::fuzzsteps {

// Calls replay(path, bytes) for every file kept for the named fuzzer under
// each of the folders; answers how many there were.
inline int replayKeptInputs(const std::string& name, std::initializer_list<const char*> folders,
                            const std::function<void(const std::string&, const std::string&)>& replay)
{
    namespace fs = std::filesystem;
#ifdef ORLIX_FUZZ_DIR
    const fs::path fuzz = ORLIX_FUZZ_DIR;
#else
    // Relative to the folder the compiler ran in, when that is how it
    // names this file.
    const fs::path fuzz = fs::path(__FILE__).parent_path();
#endif
    int replayed = 0;
    for (const char* folder : folders) {
        const fs::path dir = fuzz / folder / name;
        if (!fs::is_directory(dir))
            continue;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file() || entry.path().filename().string().front() == '.')
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            replay(entry.path().string(), bytes);
            ++replayed;
        }
    }
    return replayed;
}

} // namespace orlix::fuzzsteps
