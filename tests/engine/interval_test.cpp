// Enclosures of compiled programs: every value the program gives at a point
// of the range lies inside, a NaN only where the enclosure says it may be
// undefined; and the flags and widths a plot relies on.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../../fuzz/kept_inputs.h"
#include "engine_tables.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/stack_machine.h"

namespace {

using orlix::Interval;
using orlix::MathEngine;
using orlix::StackMachine;

std::unique_ptr<StackMachine> compile(const std::string& text)
{
    try {
        auto list = orlix::fStack::createWithString(text);
        return list ? list->toStackMachine() : nullptr;
    } catch (const orlix::Error&) {
        return nullptr;
    }
}

// Evaluates at the ends and at random points of the box and reports the
// first point whose value the enclosure misses.
std::string firstEscape(StackMachine& m, double xlo, double xhi, double ylo, double yhi, std::mt19937_64& rng)
{
    double* x = MathEngine::xAddr();
    double* y = MathEngine::yAddr();
    const Interval e = m.enclose({x, xlo, xhi}, {y, ylo, yhi});
    std::uniform_real_distribution<double> unit(0, 1);
    for (int k = 0; k < 40; ++k) {
        const double u = k == 0 ? 0 : (k == 1 ? 1 : unit(rng)), w = k < 2 ? 0.5 : unit(rng);
        *x = k == 0 ? xlo : (k == 1 ? xhi : xlo + u * (xhi - xlo));
        *y = ylo + w * (yhi - ylo);
        if (!(*x >= xlo && *x <= xhi))
            *x = xlo;
        const double v = m.evaluate();
        const bool ok = std::isnan(v) ? (e.maybeUndefined || e.empty()) : e.contains(v);
        if (!ok)
            return "at x=" + std::to_string(*x) + " y=" + std::to_string(*y) + " value " + std::to_string(v) +
                   " outside [" + std::to_string(e.lo) + ", " + std::to_string(e.hi) + "]" +
                   (e.maybeUndefined ? " undefined?" : "");
    }
    return {};
}

// Boxes at the places where the rules have edges: poles, ends of domains,
// integers, zero, huge and tiny arguments, and wide spans.
const std::vector<std::pair<double, double>> kEdgeRanges = {
    {-1, 1},       {0, 1},           {-1, 0},      {0, 0},           {0.5, 1.5},      {1, 1},
    {1.5, 1.6},    {1.57, 1.58},     {-1.6, -1.5}, {3.1, 3.2},       {2, 3},          {0.99, 1.01},
    {-0.01, 0.01}, {1e-300, 1e-290}, {-1e-300, 0}, {1e15, 1e15 + 8}, {-1e300, 1e300}, {100, 1000},
    {-5.5, -4.5},  {-3, -2},         {1.4, 1.5},   {-0.5, 0.5},      {-200, -100},    {700, 720},
    {170, 172},    {0.25, 0.75},     {-2.5, 2.5},  {4.7, 4.8},       {1e-8, 2e-8},    {-1e18, 1e18},
};

TEST(Intervals, EveryFunctionHoldsItsPointValuesAtItsEdges)
{
    std::mt19937_64 rng(29);
    for (const auto& row : orlix::detail::functionRows()) {
        const std::string name = row.names[0];
        const bool binary = orlix::ops::isBinary(row.op);
        std::vector<std::string> formulas;
        // The name a formula can call the operation by (−u has none but
        // its sign).
        std::string callable;
        for (const char* n : row.names)
            if (n && callable.empty() && compile(std::string(n) + "(x)"))
                callable = n;
        const auto call = [&](const std::string& arg) {
            return callable.empty() ? "-(" + arg + ")" : callable + "(" + arg + ")";
        };
        if (!binary)
            formulas = {call("x"), call("x^2-2"), call("1/x")};
        else if (std::string("+-*/^").find(name) != std::string::npos)
            formulas = {"x" + name + "y", "(x-1)" + name + "(y+x)", "2" + name + "x",
                        "x" + name + "3", "x" + name + "0.5",       "x" + name + "(-2)"};
        else
            formulas = {name + "(x,y)", name + "(x,3)", name + "(2,x)", name + "(1,x)"};
        for (const std::string& f : formulas) {
            auto m = compile(f);
            ASSERT_TRUE(m) << f;
            for (const auto& [xlo, xhi] : kEdgeRanges)
                for (const auto& [ylo, yhi] : {std::pair{-1.0, 2.0}, std::pair{0.5, 0.5}, std::pair{-3.0, -3.0}}) {
                    const std::string escape = firstEscape(*m, xlo, xhi, ylo, yhi, rng);
                    EXPECT_EQ(escape, "")
                        << f << " over [" << xlo << ", " << xhi << "] × [" << ylo << ", " << yhi << "]";
                }
        }
    }
}

TEST(Intervals, FuzzCorpusFormulasHoldTheirPointValues)
{
    std::mt19937_64 rng(2029);
    std::uniform_real_distribution<double> centre(-10, 10), scale(-6, 2);
    int checked = 0;
    orlix::fuzzsteps::replayKeptInputs("engine", {"corpus"}, [&](const std::string& path, const std::string& text) {
        auto m = compile(text);
        if (!m)
            return;
        ++checked;
        for (int k = 0; k < 6; ++k) {
            const double cx = centre(rng), wx = std::pow(10.0, scale(rng)), cy = centre(rng),
                         wy = std::pow(10.0, scale(rng));
            const std::string escape = firstEscape(*m, cx - wx, cx + wx, cy - wy, cy + wy, rng);
            EXPECT_EQ(escape, "") << path << ": " << text;
        }
    });
    EXPECT_GT(checked, 400);
}

// A curve is enclosed step after step, and a step may take its low end's
// value from the step before. Sweeps through the places where that could go
// wrong: a pole's neighbourhood, huge values, arguments a rounding apart,
// and a power whose exponent changes between two steps over the same x.
TEST(Intervals, StepsSharingTheirEndsHoldTheirPointValues)
{
    std::mt19937_64 rng(31);
    struct Sweep {
        const char* formula;
        double from, to;
        int steps;
        double yA, yB; // y alternates between the two, step by step
    };
    const Sweep sweeps[] = {
        {"sin(x)", -7, 7, 400, 0, 0},
        {"cos(3*x)", -7, 7, 400, 0, 0},
        {"sin(x*1e10)", 1, 1 + 1e-8, 300, 0, 0},
        {"tan(x)", 1.5, 1.65, 600, 0, 0},
        {"tan(x/4)", -24, 24, 960, 0, 0},
        {"exp(-x^2/2)", -5, 5, 300, 0, 0},
        {"exp(3*x)", 230, 237, 300, 0, 0},
        {"ln(abs(x)+1)", -3, 3, 300, 0, 0},
        {"x^y", -2, 2, 200, 2, 3},
        {"x^y", 0.5, 3, 200, 0.5, -1.5},
        {"cosh(x)*sqrt(x+5)", -5, 5, 300, 0, 0},
        {"sin(x+y)", -3, 3, 300, 0, 1e-15},
    };
    for (const Sweep& w : sweeps) {
        auto m = compile(w.formula);
        ASSERT_TRUE(m) << w.formula;
        for (int j = 0; j < w.steps; ++j) {
            const double lo = w.from + (w.to - w.from) * j / w.steps, hi = w.from + (w.to - w.from) * (j + 1) / w.steps;
            const double y = j % 2 == 0 ? w.yA : w.yB;
            const std::string escape = firstEscape(*m, lo, hi, y, y, rng);
            ASSERT_EQ(escape, "") << w.formula << " over [" << lo << ", " << hi << "], y = " << y;
        }
    }
}

// A run of steps enclosed in one block is the run enclosed step by step,
// bit for bit: on the corpus's formulas and on steps of every width, with
// ends that repeat, run backwards and reach huge values.
TEST(Intervals, BlocksOfStepsAreTheStepsOneByOne)
{
    std::mt19937_64 rng(33);
    std::uniform_real_distribution<double> centre(-10, 10), scale(-9, 3), unit(0, 1);
    const auto same = [](const Interval& a, const Interval& b) {
        return std::memcmp(&a.lo, &b.lo, sizeof a.lo) == 0 && std::memcmp(&a.hi, &b.hi, sizeof a.hi) == 0 &&
               a.maybeUndefined == b.maybeUndefined && a.maybeDiscontinuous == b.maybeDiscontinuous;
    };
    int checked = 0;
    orlix::fuzzsteps::replayKeptInputs("engine", {"corpus"}, [&](const std::string& path, const std::string& text) {
        auto stepwise = compile(text), blockwise = compile(text);
        if (!stepwise)
            return;
        ++checked;
        *MathEngine::yAddr() = centre(rng);
        std::vector<double> ends(64);
        const double width = std::pow(10.0, scale(rng));
        ends[0] = centre(rng);
        for (std::size_t k = 1; k < ends.size(); ++k) {
            const double r = unit(rng);
            // Mostly even steps, some repeated ends, a few back steps and
            // jumps far out.
            ends[k] = r < 0.05 ? ends[k - 1]
                               : (r < 0.08 ? -ends[k - 1] : (r < 0.1 ? 1e300 * (r - 0.09) : ends[k - 1] + width));
        }
        double* x = MathEngine::xAddr();
        std::vector<Interval> block(ends.size() - 1);
        blockwise->encloseSteps(x, ends.data(), block.data(), static_cast<int>(block.size()));
        for (std::size_t k = 0; k + 1 < ends.size(); ++k) {
            const Interval one = stepwise->enclose(x, ends[k], ends[k + 1]);
            ASSERT_TRUE(same(one, block[k]))
                << path << ": " << text << " step " << k << " [" << ends[k] << ", " << ends[k + 1] << "]: [" << one.lo
                << ", " << one.hi << "] against [" << block[k].lo << ", " << block[k].hi << "]";
        }
        // Ranges apart from each other, as the parts of a curve that turn:
        // every third step, then every third back to front.
        auto alone = compile(text), ranged = compile(text);
        std::vector<double> lows, highs;
        for (std::size_t k = 0; k + 1 < ends.size(); k += 3) {
            lows.push_back(ends[k]);
            highs.push_back(ends[k + 1]);
        }
        for (std::size_t k = ends.size() - 2; k >= 3; k -= 3) {
            lows.push_back(ends[k]);
            highs.push_back(ends[k + 1]);
        }
        std::vector<Interval> parts(lows.size());
        ranged->encloseRanges(x, lows.data(), highs.data(), parts.data(), static_cast<int>(parts.size()));
        for (std::size_t k = 0; k < lows.size(); ++k)
            ASSERT_TRUE(same(alone->enclose(x, lows[k], highs[k]), parts[k])) << path << ": " << text << " range " << k;
    });
    EXPECT_GT(checked, 400);
}

struct Case {
    const char* formula;
    double lo, hi;
    double encloseLo, encloseHi; // NaN: not checked
    bool undefined, discontinuous;
};

constexpr double kAny = std::numeric_limits<double>::quiet_NaN();

// What a plot reads from an enclosure: tight bounds where the formula is
// tame, the flags where it jumps or has no value.
const Case kCases[] = {
    {"x^2", -1, 2, 0, 4, false, false},
    {"sin(x)", 0, 0.1, 0, 0.0998334, false, false},
    {"sin(1000*x)", 0, 1.0 / 30, -1, 1, false, false},
    {"cos(x)", -0.1, 0.1, 0.995004, 1, false, false},
    {"exp(x)", 0, 1, 1, 2.7182818, false, false},
    {"tan(x)", 1.5, 1.6, kAny, kAny, false, true},
    {"tan(x)", 1, 1.5, 1.5574077, 14.1014199, false, false},
    {"1/x", -1, 1, kAny, kAny, false, true},
    {"1/x", 1, 2, 0.5, 1, false, false},
    {"(x^2-1)/(x-1)", 0.9, 1.1, kAny, kAny, true, true},
    {"sqrt(x)", -1, 4, 0, 2, true, false},
    {"sqrt(x)", -2, -1, kAny, kAny, true, false},
    {"ln(x)", 0, 1, -INFINITY, 0, true, false},
    {"floor(x)", 0.5, 1.5, 0, 1, false, true},
    {"floor(x)", 0.25, 0.75, 0, 0, false, false},
    {"sign(x)", -1, 1, -1, 1, false, true},
    {"mod(x,3)", 2, 4, 0, 3, false, true},
    {"mod(x,3)", 3.5, 4, 0.5, 1, false, false},
    {"round(x)", 0.25, 0.75, 0, 1, false, true},
    {"gamma(x)", 1, 2, 0.8856031, 1, false, false},
    {"gamma(x)", -0.5, 0.5, kAny, kAny, true, true},
    {"x*sin(1/x)", 0.001, 0.01, -0.01, 0.01, false, false},
    {"abs(x)", -2, 1, 0, 2, false, false},
    {"asin(x)", 0.5, 2, 0.5235987, 1.5707963, true, false},
};

TEST(Intervals, BoundsAndFlagsOfTheCases)
{
    double* x = MathEngine::xAddr();
    for (const Case& c : kCases) {
        auto m = compile(c.formula);
        ASSERT_TRUE(m) << c.formula;
        const Interval e = m->enclose(x, c.lo, c.hi);
        const std::string where =
            std::string(c.formula) + " over [" + std::to_string(c.lo) + ", " + std::to_string(c.hi) + "]";
        EXPECT_EQ(e.maybeUndefined, c.undefined) << where;
        EXPECT_EQ(e.maybeDiscontinuous, c.discontinuous) << where;
        if (std::isinf(c.encloseLo)) {
            EXPECT_EQ(e.lo, c.encloseLo) << where;
        } else if (!std::isnan(c.encloseLo)) {
            EXPECT_NEAR(e.lo, c.encloseLo, 1e-6) << where;
        }
        if (!std::isnan(c.encloseHi)) {
            EXPECT_NEAR(e.hi, c.encloseHi, 1e-6) << where;
        }
    }
}

// A program with a routine added directly has no interval rule: nothing is
// known of it, and a plot falls back to its samples.
TEST(Intervals, RoutinesAddedDirectlyAreUnknown)
{
    StackMachine m;
    m.addConst(1);
    m.addFuncByIMP([](StackMachine& s) { s.push(s.pop() + 1); });
    EXPECT_TRUE(m.enclose(MathEngine::xAddr(), 0, 1).isEverything());
}

} // namespace
