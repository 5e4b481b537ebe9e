// The function model's hot paths: sampling a curve and searching it, and
// drawing six curves into the function layer with the QPainter backend.
#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>

#include "orlix/function.h"
#include "orlix/plot_plane.h"
#include "orlix/rf_function.h"
#include "orlix/special_point.h"
#include "orlix/t_function.h"
#include "orlix/yx_function.h"
#include "qpainter_canvas.h"
#include "six_curves.h"

using namespace orlix;
using orlix::bench::kSix;
using orlix::bench::Searches;

namespace {

// A 320 × 480 view at scale 30 with the origin in the middle: the sampling
// window and the layer are three view sizes.
struct Scene {
    CurveModel model;
    plotView plane;
    Scene()
    {
        plane.setFrame(RectF{0, 0, 320, 480});
        plane.initialize();
        plane.setModel(&model);
        const double halfW = 1.5 * 320 / 30.0, halfH = 1.5 * 480 / 30.0;
        model.setMinX(-halfW, halfW);
        model.setMinY(-halfH, halfH);
    }
};

void SampleAndSearchOneCurve(benchmark::State& state)
{
    Scene scene;
    auto f = yxFunction::functionFromString(kSix[0]);
    scene.model.setFunction(f, "f1");
    f->setNumOfPoints(f->chosenPointCount());
    std::size_t marks = 0;
    for (auto _ : state) {
        f->setPreviousK(NAN); // a full sampling
        f->updatePoints();
        f->setInfo({});
        f->findRoots();
        f->findExtrs();
        f->findInfls();
        marks = f->info().size();
    }
    state.counters["marks"] = static_cast<double>(marks);
}
BENCHMARK(SampleAndSearchOneCurve)->Unit(benchmark::kMicrosecond);

// A curve of its own range at 2 000 samples: sampling, then every search.
void SampleAndSearchOwnRange(benchmark::State& state, Function::Ptr f, double lo, double hi)
{
    Scene scene;
    specialObject::setPlotter(&scene.plane);
    f->setChosenPointCount(2000);
    scene.model.setFunction(f, "f1");
    std::size_t marks = 0;
    for (auto _ : state) {
        f->setMinVar(lo, hi);
        f->setInfo({});
        f->findRoots();
        f->findExtrs();
        f->findInfls();
        marks = f->info().size();
    }
    specialObject::setPlotter(nullptr);
    state.counters["marks"] = static_cast<double>(marks);
}

void SampleAndSearchPolarCurve(benchmark::State& state)
{
    SampleAndSearchOwnRange(state, rfFunction::functionFromString("1+2cos(θ)"), -M_PI, M_PI);
}
BENCHMARK(SampleAndSearchPolarCurve)->Unit(benchmark::kMicrosecond);

void SampleAndSearchParametricCurve(benchmark::State& state)
{
    SampleAndSearchOwnRange(state, tFunction::functionFromStringForX("cos(3t)", "sin(2t)"), 0, 2 * M_PI);
}
BENCHMARK(SampleAndSearchParametricCurve)->Unit(benchmark::kMicrosecond);

void registerSix(CurveModel& model, Searches& shell)
{
    for (int k = 0; k < 6; ++k) {
        auto f = yxFunction::functionFromString(kSix[k]);
        f->setColor(Color{0.2f * k, 0.5f, 1.0f - 0.15f * k, 1});
        model.setFunction(f, "f" + std::to_string(k));
        shell.current = f.get();
    }
}

// Curves already sampled: only the drawing of six polylines.
void DrawSixCurves(benchmark::State& state)
{
    Scene scene;
    Searches shell;
    registerSix(scene.model, shell);
    QPainterCanvas layer(SizeF{960, 1440}, 1.0);
    const myPoint offset{-320 - 160.0, -480 - 240.0}, scale{30, 30};
    scene.model.drawFunctionsOnLayer(layer, offset, scale); // samples once
    for (auto _ : state)
        scene.model.drawFunctionsOnLayer(layer, offset, scale);
}
BENCHMARK(DrawSixCurves)->Unit(benchmark::kMicrosecond);

// What a redraw after a zoom costs: six curves sampled afresh, the current
// curve's marks found, all six drawn.
void ResampleSearchAndDrawSix(benchmark::State& state)
{
    Scene scene;
    Searches shell;
    registerSix(scene.model, shell);
    scene.model.setShell(&shell);
    QPainterCanvas layer(SizeF{960, 1440}, 1.0);
    const myPoint offset{-320 - 160.0, -480 - 240.0}, scale{30, 30};
    for (auto _ : state) {
        for (const auto& [id, f] : scene.model.functionRegister())
            static_cast<yxFunction&>(*f).setPreviousK(NAN);
        scene.model.drawFunctionsOnLayer(layer, offset, scale);
        shell.current->updateInfoIfNeeded();
    }
}
BENCHMARK(ResampleSearchAndDrawSix)->Unit(benchmark::kMicrosecond);

// Two polar and two parametric curves drawn into the layer at two pixels a
// point. Argument 1: the window moves a little before each drawing, so each
// curve refines what it draws between its samples afresh, as after a pan
// or a zoom (its samples stay); 0: the same window, the refinement kept.
void DrawPolarAndParametric(benchmark::State& state)
{
    Scene scene;
    scene.plane.setDevicePixelRatio(2);
    const Function::Ptr curves[] = {
        rfFunction::functionFromString("sin(7θ)"), rfFunction::functionFromString("1/cos(θ)"),
        tFunction::functionFromStringForX("cos(3t)", "sin(5t)"), tFunction::functionFromStringForX("t", "tan(t)")};
    for (std::size_t k = 0; k < std::size(curves); ++k)
        scene.model.setFunction(curves[k], "f" + std::to_string(k));
    QPainterCanvas layer(SizeF{960, 1440}, 2.0);
    const myPoint offset{-320 - 160.0, -480 - 240.0}, scale{30, 30};
    const bool moves = state.range(0) != 0;
    int turn = 0;
    for (auto _ : state) {
        if (moves) {
            const double shift = (++turn % 2) * 1e-3;
            scene.model.setMinX(-16 + shift, 16 + shift);
        }
        scene.model.drawFunctionsOnLayer(layer, offset, scale);
    }
}
BENCHMARK(DrawPolarAndParametric)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return orlix::bench::runOffscreen(argc, argv); }
