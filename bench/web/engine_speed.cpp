// How fast the engine evaluates the six curves' formulas, in plain C++ that
// both compilers take: built for this machine beside the other benchmarks,
// and by emscripten for node with the browser build's flags, so that the
// two figures compare the same code.
//
// Each formula is compiled as a y(x) curve compiles it (parsed, optimised,
// turned into a program) and run at the same points of [-5, 5), two ways:
// - point: the ordinary evaluate(), the cell set before each run;
// - block: evaluateBlock() on blocks of 256 places, as the plot samples.
// A figure is the best of several repeats, in nanoseconds a point. The
// output is JSON; with --dump FILE the block values are written there too
// (the formulas' values one after the other, as doubles), so that two
// builds' results can be compared bit for bit.
//
// The two ways must agree bit for bit (NaN with NaN): a formula where they
// do not, or that does not compile, makes the exit status 1.
//
//   engine_speed [--points N] [--repeats R] [--dump FILE]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"
#include "six_formulas.h"

namespace {

using Clock = std::chrono::steady_clock;

#ifdef __EMSCRIPTEN__
constexpr const char* kBuild = "wasm";
#else
constexpr const char* kBuild = "native";
#endif

// The plot's block length (curve_support.cpp, yx_function.cpp).
constexpr int kBlock = 256;

struct Options {
    int points = 400000;
    int repeats = 9;
    const char* dump = nullptr;
};

bool parse(int argc, char** argv, Options& o)
{
    for (int k = 1; k < argc; ++k) {
        const bool hasValue = k + 1 < argc;
        if (!std::strcmp(argv[k], "--points") && hasValue)
            o.points = std::atoi(argv[++k]);
        else if (!std::strcmp(argv[k], "--repeats") && hasValue)
            o.repeats = std::atoi(argv[++k]);
        else if (!std::strcmp(argv[k], "--dump") && hasValue)
            o.dump = argv[++k];
        else
            return false;
    }
    return o.points > 0 && o.repeats > 0;
}

// The same bits, or both NaN (a NaN's payload is the machine's business).
bool sameValue(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// FNV-1a over the values' bits, every NaN counted as one.
std::uint64_t digest(const std::vector<double>& values)
{
    std::uint64_t h = 1469598103934665603ull;
    for (double v : values) {
        std::uint64_t bits;
        if (std::isnan(v))
            bits = 0x7ff8000000000000ull;
        else
            std::memcpy(&bits, &v, sizeof bits);
        for (int byte = 0; byte < 8; ++byte) {
            h ^= (bits >> (8 * byte)) & 0xff;
            h *= 1099511628211ull;
        }
    }
    return h;
}

// The best of `repeats` runs of `run`, in nanoseconds a point.
template <class Run> double bestNsPerPoint(int repeats, int points, Run run)
{
    double best = std::numeric_limits<double>::infinity();
    for (int r = 0; r < repeats; ++r) {
        const auto start = Clock::now();
        run();
        const std::chrono::duration<double, std::nano> took = Clock::now() - start;
        best = std::min(best, took.count() / points);
    }
    return best;
}

struct Figures {
    double pointNs = 0;
    double blockNs = 0;
    int mismatches = 0; // places where the two ways differ
    std::uint64_t digest = 0;
};

Figures measure(orlix::StackMachine& sm, const std::vector<double>& xs, int repeats, std::vector<double>& block)
{
    double* cell = orlix::MathEngine::xAddr();
    const int n = static_cast<int>(xs.size());
    std::vector<double> single(xs.size());
    block.assign(xs.size(), 0.0);
    Figures f;
    f.pointNs = bestNsPerPoint(repeats, n, [&] {
        for (int k = 0; k < n; ++k) {
            *cell = xs[static_cast<std::size_t>(k)];
            single[static_cast<std::size_t>(k)] = sm.evaluate();
        }
    });
    f.blockNs = bestNsPerPoint(repeats, n, [&] {
        for (int start = 0; start < n; start += kBlock)
            sm.evaluateBlock(cell, xs.data() + start, block.data() + start, std::min(kBlock, n - start));
    });
    for (std::size_t k = 0; k < xs.size(); ++k)
        if (!sameValue(single[k], block[k]))
            ++f.mismatches;
    f.digest = digest(block);
    return f;
}

// JSON string contents: the formulas hold no quotes or backslashes, but a
// message might.
std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: engine_speed [--points N] [--repeats R] [--dump FILE]\n");
        return 2;
    }
    std::vector<double> xs(static_cast<std::size_t>(o.points));
    for (int k = 0; k < o.points; ++k)
        xs[static_cast<std::size_t>(k)] = -5.0 + 10.0 * k / o.points;

    std::FILE* dump = o.dump ? std::fopen(o.dump, "wb") : nullptr;
    if (o.dump && !dump) {
        std::fprintf(stderr, "engine_speed: cannot write %s\n", o.dump);
        return 2;
    }
    bool ok = true;
    std::printf("{\"build\": \"%s\", \"points\": %d, \"repeats\": %d, \"block\": %d, \"formulas\": [", kBuild, o.points,
                o.repeats, kBlock);
    std::vector<double> values;
    for (std::size_t i = 0; i < std::size(orlix::bench::kSix); ++i) {
        const char* text = orlix::bench::kSix[i];
        std::printf("%s\n  {\"formula\": %s, ", i ? "," : "", quoted(text).c_str());
        try {
            // As a y(x) curve compiles its formula (yx_function.cpp).
            std::unique_ptr<orlix::StackMachine> sm =
                orlix::fStack::optimize(orlix::fStack::createWithString(text))->toStackMachine();
            const Figures f = measure(*sm, xs, o.repeats, values);
            std::printf("\"point_ns\": %.3f, \"block_ns\": %.3f, \"mismatches\": %d, \"digest\": \"%016llx\"}",
                        f.pointNs, f.blockNs, f.mismatches, static_cast<unsigned long long>(f.digest));
            if (f.mismatches)
                ok = false;
            if (dump && std::fwrite(values.data(), sizeof(double), values.size(), dump) != values.size())
                ok = false;
        } catch (const orlix::Error& e) {
            std::printf("\"error\": %s}", quoted(e.what()).c_str());
            ok = false;
        }
    }
    std::printf("\n]}\n");
    if (dump && std::fclose(dump) != 0)
        ok = false;
    return ok ? 0 : 1;
}
