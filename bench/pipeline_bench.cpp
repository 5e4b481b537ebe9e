// The whole road of a typed formula of about 4 KiB: parse with bars,
// simplify, two derivatives (each simplified) and compile. Reports the time
// and the peak of heap memory per input family; the worst case is what
// matters for a phone.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <string>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

namespace {
std::size_t g_live = 0, g_peak = 0;
} // namespace

// Heap use is counted by replacing the global allocation functions.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    g_live += malloc_usable_size(p);
    if (g_live > g_peak)
        g_peak = g_live;
    return p;
}
void operator delete(void* p) noexcept
{
    if (!p)
        return;
    g_live -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop

namespace {

using orlix::fStack;

std::string upTo4k(const std::string& first, const std::string& term)
{
    std::string f = first;
    while (f.size() + term.size() <= 4096)
        f += term;
    return f;
}

std::string family(int k)
{
    switch (k) {
    case 0: return upTo4k("x", "+(x+3)/(x-4)");                          // quotients: derivatives grow
    case 1: return upTo4k("1", "+exp(-x^2/7)*sin(7*x)");                 // products of compositions
    case 2: return upTo4k("x", "*y+x");                                  // long chains
    case 3: return upTo4k("0", "+2*3-4/5+sin(0)+x^1*1+0*x");             // many folds and identities
    case 4: return "|x|+|x-1|*|y|-|x|+|y-2|-|x+1|" + upTo4k("", "+x^2"); // bars, then a long tail
    case 5: {
        std::string nest = "x";
        for (int d = 0; d < 120; ++d)
            nest = "sin(" + nest + "+1)";
        return nest;
    }
    case 6: return upTo4k("x", "^x"); // a tower, refused at once
    case 7: return upTo4k("1", "+x^7-3*x^5+x^3/11");
    case 8: { // the longest sum whose derivatives still form
        std::string f = "x";
        for (int k = 1; k < 95; ++k)
            f += "+(x+" + std::to_string(k) + ")/(x-" + std::to_string(k + 1) + ")";
        return f;
    }
    case 9: {
        std::string f = "1";
        for (int k = 1; k < 60; ++k)
            f += "+sin(" + std::to_string(k) + "*x)*cos(x/" + std::to_string(k) + ")";
        return f;
    }
    default: return "x";
    }
}

const char* const kNames[] = {"quotients", "exp*sin", "chains",     "folds",        "bars",
                              "nested",    "tower",   "polynomial", "quotient sum", "trigonometric"};

void Pipeline(benchmark::State& state)
{
    const std::string text = family(static_cast<int>(state.range(0)));
    std::size_t peak = 0;
    int steps = 0;
    for (auto _ : state) {
        g_peak = g_live;
        const std::size_t base = g_live;
        steps = 0;
        try {
            fStack::Owner f = fStack::createWithString(text);
            ++steps;
            fStack::Owner d1 = fStack::optimize(f->last()->dif("x"));
            ++steps;
            fStack::Owner d2 = fStack::optimize(d1->last()->dif("x"));
            ++steps;
            orlix::StackMachine m(*f), m1(*d1), m2(*d2);
            ++steps;
        } catch (const orlix::Error&) {
        }
        peak = std::max(peak, g_peak - base);
    }
    state.SetLabel(std::string(kNames[state.range(0)]) + ", " + std::to_string(text.size()) + " bytes, " +
                   std::to_string(steps) + "/4 steps");
    state.counters["peak_MB"] = static_cast<double>(peak) / (1 << 20);
}
BENCHMARK(Pipeline)->DenseRange(0, 9)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
