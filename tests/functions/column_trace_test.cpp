// The tracer of one step between two samples, on its own.
#include <algorithm>
#include <cmath>
#include <string_view>

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

} // namespace
