// The worst single operations on one function: one redraw (a full
// sampling), one search, one range computation, for each kind, with the
// largest formula a kind accepts (up to 4 KiB of text), the most samples a
// stored record may ask for, and the integration's own cap of halvings.
// Each must stay within 100 ms and 64 MB; the counters give the time per
// operation, the most heap it held at once ("peak_bytes") and the program
// steps it ran ("steps", steadier than the time on a busy machine).
#include <benchmark/benchmark.h>

#include "default_view.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "orlix/error.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/implicit_function.h"
#include "orlix/special_point.h"
#include "orlix/stack_machine.h"
#include "orlix/yx_function.h"

// ---- the heap the operations hold ----------------------------------------------

namespace {
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
} // namespace

void* operator new(std::size_t n)
{
    void* p = std::malloc(n + 16);
    if (!p)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = n;
    const long long now = liveBytes += static_cast<long long>(n);
    long long peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(p) + 16;
}
// The size sits in front of the block, so the block is freed from there.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept
{
    if (!p)
        return;
    char* base = static_cast<char*>(p) - 16;
    liveBytes -= static_cast<long long>(*reinterpret_cast<std::size_t*>(base));
    std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

using namespace orlix;

namespace {

// The default scene at the model's own limits: as many samples as a curve
// may draw, integrals at the most halvings a setting allows.
struct Scene : bench::DefaultScene {
    Scene()
    {
        model.setSampleFloor(Function::maxDrawPoints, Function::maxDrawPoints);
        model.setMaxIntegral(explicitFunction::integralHalvingsCap);
    }
};

// f registered under id and sampled in full at 20 000 points.
void registerSampled(CurveModel& model, const Function::Ptr& f, const char* id)
{
    model.setFunction(f, id);
    f->setChosenPointCount(20000);
    f->setNumOfPoints(f->chosenPointCount());
    f->updatePoints();
}

// Terms in the kind's variables that the simplifier cannot merge, and
// whose sum never settles (so that every search and integration runs to
// its end).
std::string term(FunctionKind kind, int k)
{
    const std::string c = std::to_string(1 + k % 97) + "." + std::to_string(k);
    switch (kind) {
    case FunctionKind::yx: return "sin(" + c + "x)";
    case FunctionKind::xy: return "sin(" + c + "y)";
    case FunctionKind::polar: return "sin(" + c + "θ)";
    case FunctionKind::parametric: return "sin(" + c + "t)";
    case FunctionKind::implicit: return "sin(" + c + "x)*cos(y)";
    }
    return "x";
}

// The longest sum of terms, within 4 KiB, that the kind still accepts.
Function::Ptr largest(CurveModel& model, const FunctionKindInfo& kind)
{
    std::string text, accepted;
    Function::Ptr best;
    for (int k = 0;; ++k) {
        std::string next = text.empty() ? term(kind.kind, k) : text + "+" + term(kind.kind, k);
        if (kind.kind == FunctionKind::parametric && next.size() * 2 + 1 > 4096)
            break;
        if (next.size() > 4096)
            break;
        text = next;
        if (k % 8 != 7)
            continue;
        try {
            const std::string formula = kind.kind == FunctionKind::parametric ? text + ";" + text : text;
            Function::Ptr f = kind.fromText(formula);
            model.setFunction(f, "probe");
            model.removeFunctionWithID("probe");
            best = f;
        } catch (const Error&) {
            break;
        }
    }
    return best;
}

const FunctionKindInfo& kindAt(const benchmark::State& state)
{
    return functionKinds()[static_cast<std::size_t>(state.range(0))];
}

template <class Op> void measure(benchmark::State& state, Op op)
{
    long long peak = 0;
    std::uint64_t steps = 0;
    for (auto _ : state) {
        const long long before = liveBytes.load();
        peakBytes = before;
        const std::uint64_t stepsBefore = StackMachine::stepsRun();
        op();
        steps = std::max(steps, StackMachine::stepsRun() - stepsBefore);
        peak = std::max(peak, peakBytes.load() - before);
    }
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["steps"] = static_cast<double>(steps);
}

void Redraw(benchmark::State& state)
{
    Scene scene;
    const FunctionKindInfo& kind = kindAt(state);
    Function::Ptr f = largest(scene.model, kind);
    if (!f)
        return state.SkipWithError("no formula accepted");
    scene.model.setFunction(f, "f1");
    f->setChosenPointCount(20000);
    state.SetLabel(std::string(kind.shortName) + ", " + std::to_string(f->stringRepresentation().size()) + " chars");
    auto* explicitCurve = dynamic_cast<explicitFunction*>(f.get());
    int turn = 0;
    measure(state, [&] {
        // A window moved by a third of a unit each time: a full sampling.
        scene.window((++turn % 2) / 3.0);
        if (explicitCurve)
            explicitCurve->setPreviousK(NAN);
        f->setNumOfPoints(f->chosenPointCount());
        f->updatePoints();
        // A curve of its own range is sampled once; a redraw refines what
        // it draws between the samples for the window.
        if (kind.can.ownRange)
            f->updateIfNeeded();
    });
}
BENCHMARK(Redraw)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void Search(benchmark::State& state, void (Function::*search)())
{
    Scene scene;
    const FunctionKindInfo& kind = kindAt(state);
    Function::Ptr f = largest(scene.model, kind);
    if (!f)
        return state.SkipWithError("no formula accepted");
    registerSampled(scene.model, f, "f1");
    state.SetLabel(std::string(kind.shortName));
    measure(state, [&] {
        f->setInfo({});
        (f.get()->*search)();
    });
}
void Roots(benchmark::State& state) { Search(state, &Function::findRoots); }
void Extrema(benchmark::State& state) { Search(state, &Function::findExtrs); }
void Inflections(benchmark::State& state) { Search(state, &Function::findInfls); }
BENCHMARK(Roots)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(Extrema)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(Inflections)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The intersections of the largest curve of a kind with the largest y(x).
void Intersections(benchmark::State& state)
{
    Scene scene;
    const FunctionKindInfo& kind = kindAt(state);
    Function::Ptr f = largest(scene.model, kind);
    Function::Ptr g = largest(scene.model, defaultKind());
    if (!f || !g)
        return state.SkipWithError("no formula accepted");
    registerSampled(scene.model, f, "f1");
    registerSampled(scene.model, g, "f2");
    state.SetLabel(std::string(kind.shortName));
    measure(state, [&] {
        f->setInfo({});
        f->findIntersections();
    });
}
BENCHMARK(Intersections)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// Range quantities over a wide range at the most halvings a setting allows.
void RangeQuantities(benchmark::State& state)
{
    Scene scene;
    const FunctionKindInfo& kind = kindAt(state);
    if (!kind.can.rangeQuantities)
        return state.SkipWithError("no range quantities");
    Function::Ptr f = largest(scene.model, kind);
    if (!f)
        return state.SkipWithError("no formula accepted");
    scene.model.setFunction(f, "f1");
    state.SetLabel(std::string(kind.shortName));
    measure(state, [&] { benchmark::DoNotOptimize(f->rangeInfo(-1000, 1000)); });
}
BENCHMARK(RangeQuantities)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
