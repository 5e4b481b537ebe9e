// What the screen costs per frame, with six curves on a 320 × 480 view at
// one and at two pixels per point (a phone's density), through the QPainter
// canvas the plot widget paints with:
// - a pan frame: the finger moved, the cached layers are composed again at
//   their new place (no sampling);
// - a redraw: the gesture ended, six curves are sampled afresh, the current
//   curve's marks are found, the six drawn into the part of the function
//   layer on screen, and the next frame is composed;
// - the same with the rest of the layer drawn too, as the widget does
//   right after the frame.
// CPU time is the process's: QPainter hands large fills to its threads.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "orlix/column_trace.h"
#include "orlix/fstack.h"
#include "orlix/function.h"
#include "orlix/math_engine.h"
#include "orlix/parameter_strip.h"
#include "orlix/plot_plane.h"
#include "orlix/stack_machine.h"
#include "orlix/yx_function.h"
#include "qpainter_canvas.h"
#include "six_curves.h"

using namespace orlix;
using orlix::bench::kSix;
using orlix::bench::Searches;

namespace {

const SizeF kView{320, 480};

// The plot view with six curves, the first one current and its roots,
// extrema and inflections marked, as the window shows it.
struct Screen {
    CurveModel model;
    plotView plane;
    Searches shell;
    QImage window;

    explicit Screen(int density) : window(320 * density, 480 * density, QImage::Format_ARGB32_Premultiplied)
    {
        window.setDevicePixelRatio(density);
        // As the plot widget does: the curves are sampled for the pixels.
        plane.setDevicePixelRatio(density);
        plane.setFrame(RectF{0, 0, kView.width, kView.height});
        plane.initialize();
        plane.setModel(&model);
        model.setShell(&shell);
        Function::Ptr first;
        for (int k = 0; k < 6; ++k) {
            auto f = yxFunction::functionFromString(kSix[k]);
            f->setColor(Color{0.15f * k, 0.4f, 1.0f - 0.15f * k, 1});
            model.setFunction(f, "f" + std::to_string(k));
            if (!first)
                first = f;
        }
        shell.current = first.get();
        plane.setCurFunc(first);
        plane.redraw();
        paint();
    }
    // What the plot widget's paint event does.
    void paint()
    {
        window.fill(Qt::white);
        QPainterCanvas canvas(window, kView);
        plane.drawRect(canvas);
    }
    static Touch finger(float x, float y, TouchPhase phase, double time)
    {
        return Touch{1, PointF{x, y}, phase, 1, time};
    }
};

void PanFrame(benchmark::State& state)
{
    Screen s(static_cast<int>(state.range(0)));
    double time = 0;
    s.plane.touchesBegan({Screen::finger(160, 240, kTouchBegan, time)});
    int step = 0;
    for (auto _ : state) {
        // To and fro over 40 points, one point a frame.
        const int d = step % 80 < 40 ? step % 40 : 40 - step % 40;
        ++step;
        time += 1.0 / 60;
        s.plane.touchesMoved({Screen::finger(160.0f + d, 240.0f + d / 2.0f, kTouchMoved, time)});
        s.paint();
    }
    s.plane.touchesEnded({Screen::finger(160, 240, kTouchEnded, time)});
}
BENCHMARK(PanFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// Arguments: pixels a point, and whether the rest of the function layer is
// drawn too (1), as the widget does right after the frame: what a pan
// right after a zoom waits for.
void RedrawSixCurves(benchmark::State& state)
{
    Screen s(static_cast<int>(state.range(0)));
    const bool wholeLayer = state.range(1) != 0;
    for (auto _ : state) {
        // A zoom: every curve samples afresh.
        for (const auto& [id, f] : s.model.functionRegister())
            static_cast<yxFunction&>(*f).setPreviousK(NAN);
        s.plane.redraw();
        s.paint();
        if (wholeLayer)
            s.plane.completeFunctionLayer();
    }
}
BENCHMARK(RedrawSixCurves)
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

// A finger drags the slider of a that all six curves read: each move
// samples the six anew, finds the current curve's marks and paints the next
// frame (two pixels a point). Against RedrawSixCurves/2/0 this is what
// reading a parameter adds to a redraw.
const char* const kSixWithA[] = {"a*sin(x)*x^2-3",      "x^3-2*a*x+1",   "sqrt(abs(x))*cos(a*x)",
                                 "exp(-x^2/(2*a^2))/a", "(x^2+a)/(x-1)", "ln(abs(x)+a)*tan(x/4)"};

struct DragHost : ParameterHost {
    CurveModel& model;
    plotView& plane;
    DragHost(CurveModel& m, plotView& p) : model(m), plane(p) {}
    CurveModel& parameterModel() override { return model; }
    void parameterChangeBegins() override {}
    void parameterMoved() override { plane.functionsChanged(); }
    void parameterChangeEnds() override {}
};

void DragParameterSixCurves(benchmark::State& state)
{
    Screen s(2);
    s.model.deleteAll();
    Function::Ptr first;
    for (int k = 0; k < 6; ++k) {
        auto f = yxFunction::functionFromString(kSixWithA[k]);
        s.model.setFunction(f, "f" + std::to_string(k));
        if (!first)
            first = f;
    }
    s.shell.current = first.get();
    s.plane.setCurFunc(first);
    DragHost host(s.model, s.plane);
    ParameterStrip strip(host);
    s.model.setParameterBounds(Parameter::a, {1, 3, 0.01});
    strip.press(Parameter::a);
    int step = 0;
    for (auto _ : state) {
        // To and fro over the slider, a step of the value each frame.
        const int d = step % 400 < 200 ? step % 200 : 200 - step % 200;
        ++step;
        strip.dragTo((d + 0.5) / 200.0);
        s.paint();
    }
    strip.release();
    *MathEngine::aAddr() = 0;
}
BENCHMARK(DragParameterSixCurves)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// Every step between two samples enclosed, for the six curves over the
// sampling window of the two-pixel screen (960 steps across): one
// enclosure a call, and a block of steps a call. What knowing (instead of
// guessing) would cost if every step had to be asked; the curves ask far
// fewer (IntervalPassSixCurves).
// Argument: the curve (0 to 5), or 6 for all six.
bool takes(const benchmark::State& state, std::size_t k)
{
    return state.range(0) == 6 || state.range(0) == static_cast<long>(k);
}

struct SixPrograms {
    std::vector<std::unique_ptr<StackMachine>> programs;
    explicit SixPrograms(const benchmark::State& state)
    {
        for (std::size_t k = 0; k < std::size(kSix); ++k)
            if (takes(state, k))
                programs.push_back(fStack::createWithString(kSix[k])->toStackMachine());
    }
};
constexpr int kSteps = 960;
constexpr double kFrom = -24, kTo = 24;

void StepEnclosuresSixCurves(benchmark::State& state)
{
    SixPrograms six(state);
    double* x = MathEngine::xAddr();
    for (auto _ : state)
        for (auto& m : six.programs)
            for (int j = 0; j < kSteps; ++j) {
                const Interval e =
                    m->enclose(x, kFrom + (kTo - kFrom) * j / kSteps, kFrom + (kTo - kFrom) * (j + 1) / kSteps);
                benchmark::DoNotOptimize(e.lo);
            }
}
BENCHMARK(StepEnclosuresSixCurves)->Arg(6)->Unit(benchmark::kMicrosecond);

void StepEnclosureBlocksSixCurves(benchmark::State& state)
{
    SixPrograms six(state);
    std::vector<double> ends(kSteps + 1);
    for (int j = 0; j <= kSteps; ++j)
        ends[j] = kFrom + (kTo - kFrom) * j / kSteps;
    std::vector<Interval> out(kSteps);
    for (auto _ : state)
        for (auto& m : six.programs) {
            m->encloseSteps(MathEngine::xAddr(), ends.data(), out.data(), kSteps);
            benchmark::DoNotOptimize(out.data());
        }
}
BENCHMARK(StepEnclosureBlocksSixCurves)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

// The interval pass as the curves run it, against plain sampling of the
// same samples: the six curves of the two-pixel screen, their samples as a
// redraw takes them. Plain sampling evaluates the formula at every sample,
// one call a point or a block of points a call; the interval pass traces
// every step between two samples (the slopes over runs of steps, then what
// the turning steps hide) with the samples given.
struct SixCurves {
    Screen screen{2};
    struct Curve {
        explicitFunction* function;
        StackMachine* slope;
        std::vector<double> vars, vals;
    };
    std::vector<Curve> curves;
    explicit SixCurves(const benchmark::State& state)
    {
        std::size_t k = 0;
        for (const auto& [id, f] : screen.model.functionRegister()) {
            if (takes(state, k++)) {
                auto* e = dynamic_cast<explicitFunction*>(f.get());
                auto d = std::dynamic_pointer_cast<explicitFunction>(e->differential());
                Curve c{e, d ? d->functionSM() : nullptr, {}, {}};
                for (const myPoint& p : f->points()) {
                    c.vars.push_back(p.x);
                    c.vals.push_back(p.y);
                }
                curves.push_back(std::move(c));
            }
        }
    }
};

void PlainSamplingSixCurves(benchmark::State& state)
{
    SixCurves six(state);
    double* x = MathEngine::xAddr();
    for (auto _ : state)
        for (auto& c : six.curves)
            for (double v : c.vars) {
                *x = v;
                benchmark::DoNotOptimize(c.function->functionSM()->evaluate());
            }
}
BENCHMARK(PlainSamplingSixCurves)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

void BlockSamplingSixCurves(benchmark::State& state)
{
    SixCurves six(state);
    std::vector<double> values;
    for (auto _ : state)
        for (auto& c : six.curves) {
            values.resize(c.vars.size());
            c.function->functionSM()->evaluateBlock(MathEngine::xAddr(), c.vars.data(), values.data(),
                                                    static_cast<int>(c.vars.size()));
            benchmark::DoNotOptimize(values.data());
        }
}
BENCHMARK(BlockSamplingSixCurves)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

void IntervalPassSixCurves(benchmark::State& state)
{
    SixCurves six(state);
    // A curve keeps its columns from one redraw to the next.
    std::vector<std::vector<curve::ColumnDetail>> columns(six.curves.size());
    for (auto _ : state)
        for (std::size_t k = 0; k < six.curves.size(); ++k) {
            const auto& c = six.curves[k];
            curve::CurveSteps steps;
            steps.program = c.function->functionSM();
            steps.slope = c.slope;
            steps.cell = MathEngine::xAddr();
            // Half a device pixel at the screen's scale.
            steps.tolerance = 0.5 / (2 * std::fabs(six.screen.plane.plotScale().y));
            // Off the view as the curves take it: a window beyond its edges.
            const double lo = six.screen.model.minY(), hi = six.screen.model.maxY();
            steps.far = std::max(std::fabs(lo), std::fabs(hi)) + (hi - lo);
            steps.stepBudget = 1e12;
            columns[k].resize(c.vars.size());
            steps.trace(c.vars, c.vals, 0, static_cast<int>(c.vars.size()) - 1, columns[k]);
            benchmark::DoNotOptimize(columns[k].data());
        }
}
BENCHMARK(IntervalPassSixCurves)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

// A whole resample of the six curves (samples, breaks, the interval pass and
// the polyline to draw).
void TracedSamplingSixCurves(benchmark::State& state)
{
    SixCurves six(state);
    for (auto _ : state)
        for (auto& c : six.curves)
            c.function->resample();
}
BENCHMARK(TracedSamplingSixCurves)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return orlix::bench::runOffscreen(argc, argv); }
