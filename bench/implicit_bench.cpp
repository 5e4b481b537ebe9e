// Implicit curves: the grid pass, the marks of a curve and the crossings of
// two busy curves, over the default window (three views of 320 × 480
// points at scale 30 around the origin).
#include <benchmark/benchmark.h>

#include "default_view.h"

#include "orlix/implicit_function.h"
#include "orlix/special_point.h"

using namespace orlix;

namespace {

using Scene = bench::DefaultScene;

std::shared_ptr<iFunction> curve(CurveModel& model, const char* g, int n)
{
    auto f = iFunction::functionFromString(g);
    f->setModel(&model);
    f->setN(n);
    f->fillStaticInfo();
    f->updatePoints();
    return f;
}

void gridPass(benchmark::State& state, const char* g)
{
    Scene scene;
    auto f = curve(scene.model, g, static_cast<int>(state.range(0)));
    long long k = 0;
    for (auto _ : state) {
        scene.window((++k % 2) * 1e-9);
        f->updatePoints();
        benchmark::DoNotOptimize(f->pairsNum());
    }
    state.counters["segments"] = f->pairsNum();
}

void BM_GridPassCircle(benchmark::State& state) { gridPass(state, "x^2+y^2-1"); }
void BM_GridPassSinXY(benchmark::State& state) { gridPass(state, "sin(x*y)"); }
BENCHMARK(BM_GridPassCircle)->Arg(60)->Arg(150)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridPassSinXY)->Arg(60)->Arg(150)->Unit(benchmark::kMillisecond);

// A desktop window of 1280 × 800 points on a screen of two device pixels a
// point, where the busy curve fills the view and every cell is refined.
class LargeView : public PlotContext {
  public:
    myPoint plotScale() const override { return {30, 30}; }
    myPoint myPointToUser(myPoint d) const override { return {(d.x - 640) / 30, (400 - d.y) / 30}; }
    PointF myPointToDevice(myPoint u) const override
    {
        return {static_cast<float>(640 + 30 * u.x), static_cast<float>(400 - 30 * u.y)};
    }
    RectF goodRect() const override { return {0, 64, 1280, 691}; }
    double devicePixelRatio() const override { return 2; }
};

void BM_GridPassLargeWindow(benchmark::State& state)
{
    LargeView view;
    CurveModel model;
    model.setPlotContext(&view);
    auto f = curve(model, "sin(x*y)-0.5", 0);
    long long k = 0;
    for (auto _ : state) {
        const double shift = (++k % 2) * 1e-9;
        model.setMinX(-64 + shift, 64 + shift);
        model.setMinY(-40 + shift, 40 + shift);
        f->updatePoints();
        benchmark::DoNotOptimize(f->pairsNum());
    }
    state.counters["segments"] = f->pairsNum();
}
BENCHMARK(BM_GridPassLargeWindow)->Unit(benchmark::kMillisecond);

void BM_CircleMarks(benchmark::State& state)
{
    Scene scene;
    auto f = curve(scene.model, "x^2+y^2-1", 60);
    for (auto _ : state) {
        f->info().clear();
        f->findRoots();
        f->findExtrs();
        benchmark::DoNotOptimize(f->info().size());
    }
    state.counters["marks"] = static_cast<double>(f->info().size());
}
BENCHMARK(BM_CircleMarks)->Unit(benchmark::kMillisecond);

void BM_BusyIntersections(benchmark::State& state)
{
    Scene scene;
    auto a = curve(scene.model, "sin(x*y)", 150);
    auto b = curve(scene.model, "sin(x)-cos(y)", 150);
    std::size_t found = 0;
    for (auto _ : state) {
        found = a->intersectWith(*b).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["marks"] = static_cast<double>(found);
    state.counters["segments"] = a->pairsNum() + b->pairsNum();
}
BENCHMARK(BM_BusyIntersections)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
