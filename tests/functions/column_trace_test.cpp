// The tracer of one step between two samples, and the pass over all the
// steps of a curve that asks it.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/column_trace.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

using namespace orlix;

namespace {

// A pole is pinned by halving its step until both sides are off the view,
// or until the enclosures can no longer tell the halves apart: a few dozen
// enclosures, wherever the pole lies, and fewer the nearer the view's edge. (Halving on to a fixed
// depth took over a hundred, and far from 0, where the outward rounding
// reaches across both halves, thousands.)
TEST(ColumnTrace, APoleCostsAFewDozenEnclosures)
{
    const double Pi = 3.141592653589793;
    const double farPole = 4 * (Pi / 2 + 1000 * Pi);
    struct Case {
        const char* formula;
        const char* slope;
        double a, b;
        // Off the view beyond ±far, and the enclosures that may take.
        double far;
        int most;
    } cases[] = {
        {"1/(x-1)", "-1/(x-1)^2", 0.99, 1.013, 1e4, 60},
        {"1/(x-1)^2", "-2/(x-1)^3", 0.99, 1.013, 1e4, 60},
        {"tan(x)", "1/cos(x)^2", 1.56, 1.58, 1e4, 60},
        {"tan(x/4)", "1/(4*cos(x/4)^2)", farPole - 0.01, farPole + 0.013, 1e4, 60},
        // A view of ±10 with a window beyond it, as curves draw: a few
        // halvings reach past it.
        {"1/(x-1)", "-1/(x-1)^2", 0.99, 1.013, 30, 15},
        {"tan(x)", "1/cos(x)^2", 1.56, 1.58, 30, 15},
    };
    double* x = MathEngine::xAddr();
    const CellRestore restore(x);
    for (const Case& c : cases) {
        auto f = fStack::createWithString(c.formula)->toStackMachine();
        auto d = fStack::createWithString(c.slope)->toStackMachine();
        int enclosures = 0;
        curve::ColumnTracer tracer;
        tracer.valueAt = [&](double v) {
            *x = v;
            return f->evaluate();
        };
        tracer.enclosure = [&](double lo, double hi) {
            ++enclosures;
            return f->enclose(x, lo, hi);
        };
        tracer.slopeEnclosure = [&](double lo, double hi) {
            ++enclosures;
            return d->enclose(x, lo, hi);
        };
        tracer.tolerance = 0.01;
        tracer.far = c.far;
        const curve::ColumnDetail detail = tracer.trace(c.a, tracer.valueAt(c.a), c.b, tracer.valueAt(c.b));
        EXPECT_LE(enclosures, c.most) << c.formula << " far " << c.far;
        // Each side of the pole is carried off the view.
        bool up = false, down = false;
        for (const curve::TracePoint& p : detail.points) {
            up |= p.value > tracer.far;
            down |= p.value < -tracer.far;
        }
        EXPECT_TRUE(up) << c.formula;
        if (std::string_view(c.formula) != "1/(x-1)^2") {
            EXPECT_TRUE(down) << c.formula;
            EXPECT_TRUE(detail.breakAfter || std::any_of(detail.points.begin(), detail.points.end(),
                                                         [](const curve::TracePoint& p) { return p.breakBefore; }))
                << c.formula;
        }
    }
}

// A curve's pass over its samples, with the formula's derivative for the
// slopes, as the curves of one variable run it.
struct Pass {
    std::unique_ptr<StackMachine> formula, slope;
    std::vector<double> vars, vals;
    std::vector<curve::ColumnDetail> columns;
    curve::CurveSteps steps;
    curve::ColumnTracer alone;

    Pass(const char* text, double from, double to, int count)
    {
        auto list = fStack::createWithString(text);
        formula = list->toStackMachine();
        slope = fStack::optimize(list->last()->dif("x"))->toStackMachine();
        double* x = MathEngine::xAddr();
        const CellRestore restore(x);
        for (int j = 0; j <= count; ++j) {
            vars.push_back(from + (to - from) * j / count);
            *x = vars.back();
            vals.push_back(formula->evaluate());
        }
        columns.assign(vars.size(), curve::ColumnDetail{});
        steps.program = formula.get();
        steps.slope = slope.get();
        steps.cell = x;
        steps.tolerance = 0.01;
        steps.far = 30;
        steps.stepBudget = 1e12;
        alone.valueAt = [this, x](double v) {
            *x = v;
            return formula->evaluate();
        };
        alone.enclosure = [this, x](double lo, double hi) { return formula->enclose(x, lo, hi); };
        alone.slopeEnclosure = [this, x](double lo, double hi) { return slope->enclose(x, lo, hi); };
        alone.tolerance = steps.tolerance;
        alone.far = steps.far;
    }
    // The program steps the pass over the steps [from, to) ran.
    std::uint64_t run(int from = 0, int to = -1)
    {
        const std::uint64_t before = StackMachine::stepsRun();
        columns.assign(vars.size(), curve::ColumnDetail{});
        steps.trace(vars, vals, from, to < 0 ? static_cast<int>(vars.size()) - 1 : to, columns);
        return StackMachine::stepsRun() - before;
    }
};

// The pass asks runs of steps first and traces only the steps it cannot
// tell about; whatever it asks, each step ends as the tracer, asked about
// that step alone, leaves it, over all the samples or the part a pan
// brings in. Curves that turn every few samples, at a pole, a gap, jumps
// and level stretches.
TEST(ColumnTrace, ThePassLeavesEachStepAsTracingItAloneWould)
{
    const struct {
        const char* formula;
        double from, to;
    } cases[] = {
        {"sqrt(abs(x))*cos(3*x)", -24, 24},
        {"sin(50*x)", -3, 3},
        {"(x^2+1)/(x-1)", -5, 7},
        {"tan(x)", -10, 10},
        {"sqrt(x)", -2, 2},
        {"floor(x)+x/100", -4, 4},
        {"x^3-2*x+1", -3, 3},
        {"3", -1, 1},
        {"exp(-x^2)", -40, 40},
        {"sin(1/x)", -1, 1},
    };
    for (const auto& c : cases) {
        Pass pass(c.formula, c.from, c.to, 960);
        for (const auto& [from, to] : {std::pair{0, 960}, std::pair{301, 650}}) {
            pass.run(from, to);
            for (auto j = static_cast<std::size_t>(from); j < static_cast<std::size_t>(to); ++j) {
                const curve::ColumnDetail want =
                    pass.alone.trace(pass.vars[j], pass.vals[j], pass.vars[j + 1], pass.vals[j + 1]);
                const curve::ColumnDetail& got = pass.columns[j];
                const auto where = [&] { return std::string(c.formula) + " step " + std::to_string(j); };
                ASSERT_EQ(got.unknown, want.unknown) << where();
                ASSERT_EQ(got.breakAfter, want.breakAfter) << where();
                ASSERT_EQ(got.points.size(), want.points.size()) << where();
                for (std::size_t k = 0; k < got.points.size(); ++k) {
                    EXPECT_EQ(got.points[k].variable, want.points[k].variable) << where();
                    EXPECT_EQ(got.points[k].value, want.points[k].value) << where();
                    EXPECT_EQ(got.points[k].breakBefore, want.points[k].breakBefore) << where();
                }
            }
        }
    }
}

// What the pass leaves as it is holds: where it adds no point and no break
// to a step, the curve keeps within the step's ends' values and half a
// pixel (or, off the view, beyond it), at 64 places across the step.
TEST(ColumnTrace, WhatThePassLeavesAloneKeepsToItsChord)
{
    for (const char* formula : {"sqrt(abs(x))*cos(3*x)", "(x^2+1)/(x-1)", "x^2*sin(x)-3", "sin(50*x)", "x^3-2*x+1",
                                "ln(abs(x)+1)*tan(x/4)"}) {
        Pass pass(formula, -7, 7, 960);
        pass.run();
        double* x = MathEngine::xAddr();
        const CellRestore restore(x);
        for (std::size_t j = 0; j + 1 < pass.vars.size(); ++j) {
            const curve::ColumnDetail& c = pass.columns[j];
            if (c.unknown || c.breakAfter || !c.points.empty())
                continue;
            const double fa = pass.vals[j], fb = pass.vals[j + 1];
            const double slack = pass.steps.tolerance + 1e-12 * std::max({1.0, std::fabs(fa), std::fabs(fb)});
            bool offView = true, inside = true;
            for (int k = 1; k < 64; ++k) {
                *x = pass.vars[j] + (pass.vars[j + 1] - pass.vars[j]) * k / 64;
                const double v = pass.formula->evaluate();
                offView = offView && std::fabs(v) > pass.steps.far;
                inside = inside && v >= std::min(fa, fb) - slack && v <= std::max(fa, fb) + slack;
            }
            EXPECT_TRUE(inside || offView) << formula << " step " << j << " at " << pass.vars[j];
        }
    }
}

// Where the samples turn, the curve's slope is near 0 and no run of steps
// around it keeps one sign; the steps beside the turn are asked alone. A
// curve that turns every twenty samples costs less than a quarter of
// enclosing its slope over every step (about a seventh, against a half
// when the runs that turn were quartered down to single steps).
TEST(ColumnTrace, TurnsCostTheStepsBesideThem)
{
    Pass pass("sqrt(abs(x))*cos(3*x)", -24, 24, 960);
    const std::uint64_t everyStep = 960 * 2 * static_cast<std::uint64_t>(pass.slope->funcNumber());
    EXPECT_LT(pass.run(), everyStep / 4);
}

} // namespace
