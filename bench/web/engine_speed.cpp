// How fast the engine evaluates the six curves' formulas, in plain C++ that
// both compilers take: built for this machine beside the other benchmarks,
// and by emscripten for node with the browser build's flags, so that the
// two figures compare the same code.
//
// Each formula is compiled as a y(x) curve compiles it (parsed, optimised,
// turned into a program) and run at the same points of [-5, 5), two ways:
// - point: the ordinary evaluate(), the cell set before each run;
// - block: evaluateBlock() on blocks of 256 places, as the plot samples.
// A figure is the best of several runs, in nanoseconds a point; the
// formulas take turns run by run. The output is JSON; with --dump FILE the
// block values are written there too (the formulas' values one after the
// other, as doubles), so that two builds' results can be compared bit for
// bit.
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
    int points = 200000;
    int repeats = 15;
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

// Nanoseconds a point that one run of `run` takes.
template <class Run> double nsPerPoint(int points, Run run)
{
    const auto start = Clock::now();
    run();
    const std::chrono::duration<double, std::nano> took = Clock::now() - start;
    return took.count() / points;
}

// One formula's program, its values both ways and its best times so far.
struct Formula {
    const char* text = nullptr;
    std::unique_ptr<orlix::StackMachine> sm;
    std::string error;
    std::vector<double> single, block;
    double pointNs = std::numeric_limits<double>::infinity();
    double blockNs = std::numeric_limits<double>::infinity();
};

// One run of each way, the best times kept.
void measure(Formula& f, const std::vector<double>& xs)
{
    double* cell = orlix::MathEngine::xAddr();
    const int n = static_cast<int>(xs.size());
    f.single.resize(xs.size());
    f.block.resize(xs.size());
    f.pointNs = std::min(f.pointNs, nsPerPoint(n, [&] {
                             for (int k = 0; k < n; ++k) {
                                 *cell = xs[static_cast<std::size_t>(k)];
                                 f.single[static_cast<std::size_t>(k)] = f.sm->evaluate();
                             }
                         }));
    f.blockNs = std::min(f.blockNs, nsPerPoint(n, [&] {
                             for (int start = 0; start < n; start += kBlock)
                                 f.sm->evaluateBlock(cell, xs.data() + start, f.block.data() + start,
                                                     std::min(kBlock, n - start));
                         }));
}

int mismatches(const Formula& f)
{
    int count = 0;
    for (std::size_t k = 0; k < f.single.size(); ++k)
        if (!sameValue(f.single[k], f.block[k]))
            ++count;
    return count;
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
    std::vector<Formula> formulas(std::size(orlix::bench::kSix));
    for (std::size_t i = 0; i < formulas.size(); ++i) {
        Formula& f = formulas[i];
        f.text = orlix::bench::kSix[i];
        try {
            // As a y(x) curve compiles its formula (yx_function.cpp).
            f.sm = orlix::fStack::optimize(orlix::fStack::createWithString(f.text))->toStackMachine();
        } catch (const orlix::Error& e) {
            f.error = e.what();
        }
    }
    // The formulas take turns, so that a moment when the machine is busy
    // costs each of them one run rather than one formula all of its runs.
    for (int r = 0; r < o.repeats; ++r)
        for (Formula& f : formulas)
            if (f.sm)
                measure(f, xs);

    bool ok = true;
    std::printf("{\"build\": \"%s\", \"points\": %d, \"repeats\": %d, \"block\": %d, \"formulas\": [", kBuild, o.points,
                o.repeats, kBlock);
    for (std::size_t i = 0; i < formulas.size(); ++i) {
        const Formula& f = formulas[i];
        std::printf("%s\n  {\"formula\": %s, ", i ? "," : "", quoted(f.text).c_str());
        if (!f.sm) {
            std::printf("\"error\": %s}", quoted(f.error).c_str());
            ok = false;
            continue;
        }
        const int differ = mismatches(f);
        std::printf("\"point_ns\": %.3f, \"block_ns\": %.3f, \"mismatches\": %d, \"digest\": \"%016llx\"}", f.pointNs,
                    f.blockNs, differ, static_cast<unsigned long long>(digest(f.block)));
        if (differ)
            ok = false;
        if (dump && std::fwrite(f.block.data(), sizeof(double), f.block.size(), dump) != f.block.size())
            ok = false;
    }
    std::printf("\n]}\n");
    if (dump && std::fclose(dump) != 0)
        ok = false;
    return ok ? 0 : 1;
}
