// A long formula with hundreds of turns in view: each search (and the
// implicit grid pass) stops once it has run its share of program steps,
// and what it found by then is right. The formulas are sin(40v) plus terms
// that are zero to rounding, so that every mark can be checked against the
// plain sine: its roots at kπ/40, its extrema at (k + ½)π/40.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "orlix/function_kind.h"
#include "orlix/implicit_function.h"
#include "orlix/rf_function.h"
#include "orlix/stack_machine.h"
#include "orlix/t_function.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

// sin(kv) − cos(kv − π/2) for k = 1 … count: zero to rounding, as are its
// derivatives, yet nothing the simplifier can fold away.
std::string zeros(const std::string& v, int count)
{
    std::string z;
    for (int k = 1; k <= count; ++k) {
        const std::string kv = std::to_string(k) + "*" + v;
        z += "+(sin(" + kv + ")-cos(" + kv + "-1.5707963267948966))";
    }
    return z;
}

std::string wave(const std::string& v, int frequency = 40)
{
    return "sin(" + std::to_string(frequency) + "*" + v + ")" + zeros(v, 75);
}

// How far v is from the nearest multiple of π/frequency (shifted by
// `offset` of a step), in steps.
double offGrid(double v, double offset, int frequency)
{
    const double steps = v / (M_PI / frequency) - offset;
    return std::fabs(steps - std::round(steps));
}

bool onRoot(double v, int frequency = 40) { return offGrid(v, 0, frequency) < 1e-6; }
bool onCrest(double v) { return offGrid(v, 0.5, 40) < 1e-6; }

struct Case {
    const char* name;
    std::function<Function::Ptr()> make;
    // A second function to intersect with, or null.
    std::function<Function::Ptr()> other;
    void (Function::*search)();
    // Whether a mark's point information is a true point of the search.
    std::function<bool(const myPointInfo&)> isTrue;
};

class SearchBudgetTest : public orlix::testing::PlaneTest {};

TEST_F(SearchBudgetTest, SearchesOfLongFormulasStopWithTruePointsOnly)
{
    const auto explicitRoot = [](const myPointInfo& p) { return onRoot(p.point.x) && std::fabs(p.point.y) < 1e-9; };
    const Case cases[] = {
        {"y(x) roots", [] { return yxFunction::functionFromString(wave("x")); }, nullptr, &Function::findRoots,
         explicitRoot},
        {"y(x) extrema", [] { return yxFunction::functionFromString(wave("x")); }, nullptr, &Function::findExtrs,
         [](const myPointInfo& p) { return onCrest(p.point.x) && std::fabs(std::fabs(p.point.y) - 1) < 1e-9; }},
        {"y(x) inflections", [] { return yxFunction::functionFromString(wave("x")); }, nullptr, &Function::findInfls,
         explicitRoot},
        {"polar roots", [] { return rfFunction::functionFromString(wave("θ")); }, nullptr, &Function::findRoots,
         [](const myPointInfo& p) { return std::hypot(p.point.x, p.point.y) < 1e-9 && onRoot(p.variable); }},
        {"parametric extrema", [] { return tFunction::functionFromString("t;" + wave("t")); }, nullptr,
         &Function::findExtrs,
         [](const myPointInfo& p) { return onCrest(p.point.x) && std::fabs(std::fabs(p.point.y) - 1) < 1e-9; }},
        {"y(x) with y(x)", [] { return yxFunction::functionFromString(wave("x")); },
         [] { return yxFunction::functionFromString("-(" + wave("x") + ")"); }, &Function::findIntersections,
         explicitRoot},
        {"parametric with y(x)", [] { return tFunction::functionFromString("t;" + wave("t")); },
         [] { return yxFunction::functionFromString("-(" + wave("x") + ")"); }, &Function::findIntersections,
         explicitRoot},
        {"implicit with implicit", [] { return iFunction::functionFromString("y-(" + wave("x", 12) + ")"); },
         [] { return iFunction::functionFromString("y" + zeros("x", 75)); }, &Function::findIntersections,
         [](const myPointInfo& p) { return onRoot(p.point.x, 12) && std::fabs(p.point.y) < 1e-9; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Function::Ptr f = c.make();
        ASSERT_TRUE(f);
        model.setFunction(f, "f1");
        if (auto* polar = dynamic_cast<rfFunction*>(f.get()))
            polar->setMinVar(0, 30);
        if (auto* curve = dynamic_cast<tFunction*>(f.get()))
            curve->setMinVar(-15, 15);
        if (auto* implicit = dynamic_cast<iFunction*>(f.get()))
            implicit->setN(iFunction::maxGridSize);
        f->setNumOfPoints(3000);
        f->updatePoints();
        if (c.other) {
            Function::Ptr g = c.other();
            model.setFunction(g, "f2");
            if (auto* implicit = dynamic_cast<iFunction*>(g.get()))
                implicit->setN(iFunction::maxGridSize);
            g->setNumOfPoints(3000);
            g->updatePoints();
        }
        f->setInfo({});
        const std::uint64_t before = StackMachine::stepsRun();
        (f.get()->*c.search)();
        const double ran = static_cast<double>(StackMachine::stepsRun() - before);
        // The budget, overrun by at most the candidate that spent it.
        EXPECT_LE(ran, 1.25 * Function::searchStepBudget);
        // The budget ended the search, not the most marks it keeps (the
        // sine has hundreds of true points in view); some were found, and
        // every one is true.
        EXPECT_GT(ran, Function::searchStepBudget);
        EXPECT_FALSE(f->info().empty());
        EXPECT_LT(f->info().size(), 200u);
        for (const auto& m : f->info())
            EXPECT_TRUE(c.isTrue(m->info())) << m->info().point.x << ", " << m->info().point.y;
        model.deleteAll();
    }
}

TEST_F(SearchBudgetTest, ImplicitGridPassOfLongFormulaStopsRefining)
{
    // sin x · sin y = 0: the lines x = kπ and y = kπ, crossing hundreds of
    // edges. Past the budget a crossing keeps the chord's point on its
    // edge: still on the line to well within a cell.
    auto f = attached(iFunction::functionFromString("sin(x)*sin(y)" + zeros("x", 30) + zeros("y", 30)));
    f->setN(iFunction::maxGridSize);
    f->fillStaticInfo();
    const std::uint64_t before = StackMachine::stepsRun();
    f->updatePoints();
    const double ran = static_cast<double>(StackMachine::stepsRun() - before);
    EXPECT_GT(ran, iFunction::redrawStepBudget);
    EXPECT_LE(ran, 1.5 * iFunction::redrawStepBudget);
    // Eleven lines each way, each crossing every row or column of cells.
    ASSERT_GT(f->pointsNum(), 22 * iFunction::minGridSize);
    const auto offLine = [](double v) { return std::fabs(v - M_PI * std::round(v / M_PI)); };
    for (int i = 0; i < f->pointsNum(); ++i) {
        const myPoint p = f->points()[static_cast<size_t>(i)];
        EXPECT_LT(std::min(offLine(p.x), offLine(p.y)), 0.01) << p.x << ", " << p.y;
    }
}

} // namespace
