// y = f(x): sampling and scrolling, the searches, point and range
// information, the texts and the stored record.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/math_engine.h"
#include "orlix/special_point.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;
using json = nlohmann::json;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double Pi = 3.141592653589793;

class YxFunctionTest : public orlix::testing::PlaneTest {
  protected:
    // A function of text, prepared as registering does, sampled once.
    std::shared_ptr<yxFunction> sampled(const std::string& text, int n = 301)
    {
        auto f = attached(yxFunction::functionFromString(text));
        f->setChosenPointCount(n);
        f->fillStaticInfo();
        f->updatePoints();
        return f;
    }

    static std::vector<myPointInfo> marks(const Function& f)
    {
        std::vector<myPointInfo> r;
        for (const auto& m : f.info())
            r.push_back(m->info());
        return r;
    }
};

// ---- sampling ----

TEST_F(YxFunctionTest, FullSamplingPutsSampleJOnTheGrid)
{
    auto f = sampled("x^2");
    ASSERT_EQ(f->chosenPointCount(), 301);
    ASSERT_EQ(f->points().size(), 301u);
    EXPECT_EQ(f->sampledCount(), 301);
    EXPECT_EQ(f->varMin(), -15);
    EXPECT_EQ(f->varMax(), 15);
    const double step = 30.0 / 301;
    for (int j = 0; j < 301; ++j) {
        const myPoint p = f->points()[static_cast<size_t>(j)];
        EXPECT_EQ(p.x, -15 + j * step) << j;
        EXPECT_EQ(p.y, p.x * p.x) << j;
    }
    EXPECT_EQ(f->previousK(), 10);
}

TEST_F(YxFunctionTest, PanningComputesOnlyTheSamplesThatScrollIn)
{
    const double step = 30.0 / 301;
    struct Case {
        double by; // window shift in steps (floored)
        int computed;
        int shift; // samples the kept ones move by
    } cases[] = {
        {10.25, 10, 10}, {-9.75, 10, -10},   {1.25, 1, 1},         {0.5, 0, 0},
        {-0.5, 1, -1},   {300.25, 300, 300}, {-299.75, 300, -300},
    };
    for (const Case& c : cases) {
        auto f = sampled("x^3-x");
        const std::vector<myPoint> before = f->points();
        const double oldMin = f->varMin();
        model.setMinX(-15 + c.by * step, 15 + c.by * step);
        f->updatePoints();
        EXPECT_EQ(f->sampledCount() - 301, c.computed) << c.by;
        EXPECT_NEAR(f->varMin(), oldMin + c.shift * step, 1e-12) << c.by;
        for (int j = 0; j < 301; ++j) {
            const myPoint p = f->points()[static_cast<size_t>(j)];
            const int from = j + c.shift;
            if (from >= 0 && from < 301) {
                // a kept sample keeps its value
                EXPECT_EQ(p.x, before[static_cast<size_t>(from)].x) << c.by << " " << j;
                EXPECT_EQ(p.y, before[static_cast<size_t>(from)].y) << c.by << " " << j;
            } else {
                // a new one continues the grid
                EXPECT_NEAR(p.x, f->varMin() + j * step, 1e-12) << c.by << " " << j;
                EXPECT_EQ(p.y, f->valueAt(p.x)) << c.by << " " << j;
            }
        }
        model.setMinX(-15, 15);
    }
}

// The curve is broken exactly where it has a pole or a jump, for both
// explicit kinds, after sampling anew and after scrolling; steep continuous
// curves stay joined.
TEST_F(YxFunctionTest, CurvesBreakAtPolesAndJumpsOnly)
{
    const double h = Pi / 2;
    struct Case {
        bool mirrored;
        const char* formula;
        double valueScale; // points per unit along the values
        std::vector<double> gaps;
    } cases[] = {
        {false, "tan(x)", 10, {-9 * h, -7 * h, -5 * h, -3 * h, -h, h, 3 * h, 5 * h, 7 * h, 9 * h}},
        {false, "1/x", 10, {0}},
        {false, "1/(x-1)", 10, {1}},
        {false, "-1/(x+2)^3", 10, {-2}},
        {false, "floor(x/4)", 30, {-12, -8, -4, 0, 4, 8, 12}},
        {false, "x^9", 10, {}},
        {false, "atan(1000x)", 10, {}},
        {false, "atan(1000x)", 1000, {}},
        {false, "sqrt(x)", 10, {}},
        {false, "sin(x)*100", 10, {}},
        {false, "exp(x)", 10, {}},
        {true, "tan(y)", 10, {-9 * h, -7 * h, -5 * h, -3 * h, -h, h, 3 * h, 5 * h, 7 * h, 9 * h}},
        {true, "y^9", 10, {}},
    };
    const double step = 30.0 / 301;
    for (const Case& c : cases) {
        Function::Ptr f = c.mirrored ? Function::Ptr(xyFunction::functionFromString(c.formula))
                                     : Function::Ptr(yxFunction::functionFromString(c.formula));
        f->setModel(&model);
        (c.mirrored ? plane.sx : plane.sy) = c.valueScale;
        f->setChosenPointCount(301);
        f->fillStaticInfo();
        f->updatePoints();
        for (double by : {0.0, 7.5, -3.25}) { // sampled, then scrolled both ways
            if (by != 0) {
                if (c.mirrored)
                    model.setMinY(-15 + by * step, 15 + by * step);
                else
                    model.setMinX(-15 + by * step, 15 + by * step);
                f->updatePoints();
            }
            const auto breaks = f->curveBreaks();
            ASSERT_EQ(breaks.size(), f->points().size()) << c.formula;
            std::vector<double> found;
            for (size_t j = 1; j < breaks.size(); ++j) {
                if (!breaks[j])
                    continue;
                const myPoint a = f->points()[j - 1], b = f->points()[j];
                found.push_back(c.mirrored ? (a.y + b.y) / 2 : (a.x + b.x) / 2);
            }
            const double lo = f->varMin(), hi = f->varMin() + 300 * step;
            std::vector<double> expected;
            for (double g : c.gaps)
                if (g > lo && g < hi)
                    expected.push_back(g);
            ASSERT_EQ(found.size(), expected.size()) << c.formula << " scrolled by " << by;
            for (size_t k = 0; k < found.size(); ++k)
                EXPECT_NEAR(found[k], expected[k], step / 2) << c.formula << " scrolled by " << by;
        }
        plane.sx = plane.sy = 10;
        model.setMinX(-15, 15);
        model.setMinY(-15, 15);
    }
}

TEST_F(YxFunctionTest, WindowsThatCannotScrollAreSampledAnew)
{
    struct Case {
        const char* what;
        double lo, hi;
        double scale;
    } cases[] = {
        {"jump beyond the right end", 16, 46, 10},
        {"jump beyond the left end", -50, -20, 10},
        {"zoom", -15, 15, 20},
        // Same scale, wider window: the shift reaches past the buffer.
        {"wider to the left", -50, 0, 10},
        {"wider from the right end", 15, 100, 10},
    };
    for (const Case& c : cases) {
        auto f = sampled("x^2");
        plane.sx = c.scale;
        model.setMinX(c.lo, c.hi);
        f->updatePoints();
        EXPECT_EQ(f->sampledCount(), 2 * 301) << c.what;
        EXPECT_EQ(f->varMin(), c.lo) << c.what;
        EXPECT_EQ(f->varMax(), c.hi) << c.what;
        ASSERT_EQ(f->points().size(), 301u);
        for (int j = 0; j < 301; ++j) {
            const myPoint p = f->points()[static_cast<size_t>(j)];
            EXPECT_EQ(p.x, c.lo + j * ((c.hi - c.lo) / 301)) << c.what << " " << j;
            EXPECT_EQ(p.y, p.x * p.x) << c.what << " " << j;
        }
        plane.sx = 10;
        model.setMinX(-15, 15);
    }
}

TEST_F(YxFunctionTest, BrokenWindowsAndScalesNeitherHangNorCrash)
{
    struct Case {
        double lo, hi, scale;
    } cases[] = {
        {NaN, NaN, 10}, {-Inf, Inf, 10}, {-Inf, 0, 10}, {-1e308, 1e308, 10}, {0, 0, 10},
        {5, -5, 10},    {-15, 15, NaN},  {-15, 15, 0},  {-15, 15, Inf},      {1e300, 1e301, 1e-300},
    };
    for (const Case& c : cases) {
        auto f = sampled("sin(x)");
        plane.sx = c.scale;
        model.setMinX(c.lo, c.hi);
        f->updatePoints();
        f->updatePoints(); // a second round may try to scroll
        ASSERT_EQ(f->points().size(), 301u);
        f->findRoots();
        f->findExtrs();
        f->findInfls();
        plane.sx = 10;
        model.setMinX(-15, 15);
        f->updatePoints();
        EXPECT_EQ(f->varMin(), -15);
        EXPECT_EQ(f->points()[10].y, std::sin(f->points()[10].x));
    }
}

// ---- searches ----

TEST_F(YxFunctionTest, RootsOnlyInTheVisibleArea)
{
    struct Case {
        const char* text;
        double originX; // device x of the user origin
        std::vector<double> roots;
    } cases[] = {
        {"x^2-2", 160, {-1.4142135623730951, 1.4142135623730951}},
        {"x^2-2", 0, {1.4142135623730951}},    // only x ≥ 0 visible
        {"x^2-2", 320, {-1.4142135623730951}}, // only x ≤ 0 visible
        {"1/x", 160, {}},
        {"x^2+1", 160, {}},
        // the plane shows x in [-16, 16], more than the window [-15, 15]
        {"sin(x)", 160, {-4 * Pi, -3 * Pi, -2 * Pi, -Pi, 0, Pi, 2 * Pi, 3 * Pi, 4 * Pi}},
    };
    for (const Case& c : cases) {
        plane.ox = c.originX;
        auto f = sampled(c.text);
        f->findRoots();
        auto found = marks(*f);
        ASSERT_EQ(found.size(), c.roots.size()) << c.text << " " << c.originX;
        std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.point.x < b.point.x; });
        for (size_t k = 0; k < found.size(); ++k) {
            EXPECT_NEAR(found[k].point.x, c.roots[k], 1e-9) << c.text;
            EXPECT_NEAR(found[k].point.y, 0, 1e-9) << c.text;
        }
    }
}

TEST_F(YxFunctionTest, RootOnASampleIsMarkedOnce)
{
    // 256 samples over [-16, 16]: sample 128 lies on 0.
    model.setMinX(-16, 16);
    for (const char* text : {"x", "x^2", "x^3"}) {
        auto f = sampled(text, 256);
        ASSERT_EQ(f->points()[128].x, 0);
        f->findRoots();
        const auto found = marks(*f);
        ASSERT_EQ(found.size(), 1u) << text;
        EXPECT_EQ(found[0].point.x, 0) << text;
    }
}

TEST_F(YxFunctionTest, Extrema)
{
    struct Case {
        const char* text;
        int count;
        double x, y;
        float betta;
    } cases[] = {
        {"x^2", 1, 0, 0, 3.1415927f}, {"-x^2", 1, 0, 0, 0.0f}, {"(x-1)^2+3", 1, 1, 3, 3.1415927f},
        {"1/x", 0, 0, 0, 0},          {"x", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        auto f = sampled(c.text);
        f->findExtrs();
        ASSERT_EQ(static_cast<int>(f->info().size()), c.count) << c.text;
        if (c.count == 0)
            continue;
        const auto& m = f->info()[0];
        EXPECT_NEAR(m->info().point.x, c.x, 1e-6) << c.text;
        EXPECT_NEAR(m->info().point.y, c.y, 1e-9) << c.text;
        EXPECT_EQ(m->betta(), c.betta) << c.text;
    }
}

TEST_F(YxFunctionTest, ExtremumWithoutDerivativeRootComesFromTheLimits)
{
    // The derivative of |x| has no root, only a jump at 0.
    auto f = sampled("abs(x)+1");
    f->findExtrs();
    ASSERT_EQ(f->info().size(), 1u);
    for (const auto& m : f->info()) {
        EXPECT_FALSE(m->info().info.has_value());
        EXPECT_NEAR(m->info().point.x, 0, 1e-9);
        EXPECT_NEAR(m->info().point.y, 1, 1e-9);
        EXPECT_EQ(m->betta(), 3.1415927f);
    }
}

TEST_F(YxFunctionTest, Inflections)
{
    struct Case {
        const char* text;
        std::vector<double> at;
    } cases[] = {
        {"x^3", {0}},
        {"x^3-3*x^2", {1}},
        {"2*x+1", {}},
        {"x^2", {}},
    };
    for (const Case& c : cases) {
        auto f = sampled(c.text);
        f->findInfls();
        const auto found = marks(*f);
        ASSERT_EQ(found.size(), c.at.size()) << c.text;
        for (size_t k = 0; k < found.size(); ++k)
            EXPECT_NEAR(found[k].point.x, c.at[k], 1e-7) << c.text;
    }
    // The mark lies along the tangent: −atan(f′) at the place.
    auto f = sampled("x^3-3*x^2");
    f->findInfls();
    ASSERT_EQ(f->info().size(), 1u);
    EXPECT_FLOAT_EQ(f->info()[0]->betta(), static_cast<float>(-std::atan(-3.0)));
}

// ---- point information ----

TEST_F(YxFunctionTest, PointInformation)
{
    struct Case {
        const char* text;
        double x, y, d1, d2;
    } cases[] = {
        {"x^3", 1, 1, 3, 6},
        {"x^3", -2, -8, 12, -12},
        {"sin(x)", 0, 0, 1, 0},
        // at an infinite place: the limits
        {"exp(x)", -Inf, 0, 0, 0},
        {"2+exp(-x^2)", Inf, 2, 0, 0},
    };
    for (const Case& c : cases) {
        auto f = attached(yxFunction::functionFromString(c.text));
        const myPointInfo p = f->pointAt(c.x);
        EXPECT_EQ(p.point.x, c.x) << c.text;
        EXPECT_NEAR(p.point.y, c.y, 1e-12) << c.text;
        EXPECT_NEAR(p.value, c.y, 1e-12) << c.text;
        EXPECT_EQ(p.variable, c.x) << c.text;
        ASSERT_TRUE(p.info) << c.text;
        EXPECT_NEAR(p.info->at("dy/dx"), c.d1, 1e-12) << c.text;
        EXPECT_NEAR(p.info->at("ddy/dxx"), c.d2, 1e-12) << c.text;
        EXPECT_NEAR(p.info->at("k"), c.d2 / std::pow(1 + c.d1 * c.d1, 1.5), 1e-12) << c.text;
    }
    auto f = attached(yxFunction::functionFromString("x^3"));
    EXPECT_DOUBLE_EQ(f->pointAt(1).info->at("k"), 6 / std::pow(10, 1.5));

    const myPointInfo none = f->pointAt(NaN);
    EXPECT_TRUE(std::isnan(none.point.x) && std::isnan(none.point.y));
    EXPECT_EQ(none.value, 0);
    EXPECT_EQ(none.variable, 0);
    EXPECT_FALSE(none.info);

    EXPECT_EQ(f->positionAt(2).x, 2);
    EXPECT_EQ(f->positionAt(2).y, 8);
    EXPECT_EQ(f->valueForPoint({2, 5}), 3);
    // Device (200, 100) is user (4, 14) on the fake plane.
    EXPECT_EQ(f->varValueForPoint({200, 100}, kTouchBegan), 4);
    // Intersections found by another curve take this curve's information.
    const auto own = f->markInfoAt({2, 7.9});
    ASSERT_TRUE(own);
    EXPECT_EQ(own->point.y, 8);
}

TEST_F(YxFunctionTest, Texts)
{
    yxFunction f;
    EXPECT_EQ(f.typeName(), "yxFunction");
    EXPECT_EQ(f.kTracePoint().x, 1);
    EXPECT_EQ(f.kTracePoint().y, 0);
    EXPECT_TRUE(f.canBeIntersected());

    myPointInfo p;
    p.value = 1;
    p.info = InfoMap{{"dy/dx", 3}, {"ddy/dxx", 6}, {"k", 6 / std::pow(10, 1.5)}};
    EXPECT_EQ(*f.pointInfoText(p), "y=\u20051\n∂y/∂x=\u20053\n∂²y/∂x²=\u20056\nk=\u20050.1897367");
    p.value = NaN;
    p.info.reset();
    EXPECT_EQ(*f.pointInfoText(p),
              "y=\u2005undefined\n∂y/∂x=\u2005undefined\n∂²y/∂x²=\u2005undefined\nk=\u2005undefined");

    EXPECT_EQ(*f.rangeInfoText({{"i", -2}, {"s", 2}, {"l", 3.5}, {"v", 1e-9}, {"p", 12345678}}),
              " ∫=\u2005-2\nS=\u20052\nl=\u20053.5\nVox=\u20050\nSox=\u20051.234568E+07");
    EXPECT_EQ(*f.rangeInfoText({{"s", 2}, {"l", 3.5}, {"v", 1}, {"p", 4}}),
              "S= ∫=\u20052\nl=\u20053.5\nVox=\u20051\nSox=\u20054");
}

// Undefined and infinite values read as such in the trace of both explicit
// kinds; only magnitudes the format rounds away still read 0.
TEST_F(YxFunctionTest, TraceTextsOfValuesThatAreNotNumbers)
{
    const struct {
        bool mirrored;
        const char* formula;
        double v;
        const char* firstLine;  // the value
        const char* secondLine; // the first derivative
    } cases[] = {
        {false, "sqrt(x)", -1.93, "y=\u2005undefined", "∂y/∂x=\u2005undefined"},
        {false, "x^(1/3)", -8, "y=\u2005undefined", "∂y/∂x=\u2005undefined"},
        {false, "ln(x)", 0, "y=\u2005\u2212\u221E", "∂y/∂x=\u2005undefined"},
        {false, "x^2", 1e-9, "y=\u20050", "∂y/∂x=\u20050"},
        {true, "sqrt(y)", -4, "x=\u2005undefined", "∂y/∂x=\u2005undefined"},
        {true, "y^2-1", 0, "x=\u2005-1", "∂y/∂x=\u2005\u221E"},
    };
    for (const auto& c : cases) {
        Function::Ptr f;
        if (c.mirrored)
            f = xyFunction::functionFromString(c.formula);
        else
            f = yxFunction::functionFromString(c.formula);
        ASSERT_TRUE(f) << c.formula;
        f->setModel(&model);
        f->fillStaticInfo();
        const std::string text = *f->pointInfoText(f->pointAt(c.v));
        const size_t firstEnd = text.find('\n');
        const size_t secondEnd = text.find('\n', firstEnd + 1);
        EXPECT_EQ(text.substr(0, firstEnd), c.firstLine) << c.formula << " at " << c.v;
        EXPECT_EQ(text.substr(firstEnd + 1, secondEnd - firstEnd - 1), c.secondLine) << c.formula << " at " << c.v;
    }
    yxFunction f;
    EXPECT_EQ(*f.rangeInfoText({{"s", NaN}, {"l", Inf}, {"v", 1}, {"p", -Inf}}),
              "S= ∫=\u2005undefined\nl=\u2005\u221E\nVox=\u20051\nSox=\u2005\u2212\u221E");
}

// ---- range information ----

TEST_F(YxFunctionTest, RangeInformation)
{
    struct Case {
        const char* text;
        double a, b;
        bool hasI;
        double i, s, v, l, p, tol, sTol, vTol;
    } cases[] = {
        {"x^2", 0, 1, false, 0, 1.0 / 3, Pi / 5, 1.4789428575445975, NaN, 1e-6, 1e-6, 1e-6},
        {"x^2", 1, 0, false, 0, 1.0 / 3, Pi / 5, 1.4789428575445975, NaN, 1e-6, 1e-6, 1e-6},
        // ∫ and l settle after five halvings; S (with kinks) is then still
        // coarse
        {"sin(x)", 0, 2 * Pi, true, 0, 4, Pi * Pi, 7.640395578055424, NaN, 1e-9, 5e-3, 1e-9},
        {"2", -1, 2, false, 0, 6, 12 * Pi, 3, 2 * Pi * 6, 1e-9, 1e-9, 1e-9},
        {"x-3", 0, 1, true, -2.5, 2.5, Pi * 19 / 3, std::sqrt(2.0), 2 * Pi * 2.5 * std::sqrt(2.0), 1e-9, 1e-9, 1e-3},
    };
    for (const Case& c : cases) {
        auto f = attached(yxFunction::functionFromString(c.text));
        MathEngine::setX(42);
        const auto r = f->rangeInfo(c.a, c.b);
        EXPECT_EQ(MathEngine::x(), 42) << c.text; // the cell is restored
        ASSERT_TRUE(r) << c.text;
        EXPECT_EQ(r->count("i") != 0, c.hasI) << c.text;
        if (c.hasI) {
            EXPECT_NEAR(r->at("i"), c.i, c.tol) << c.text;
        }
        EXPECT_NEAR(r->at("s"), c.s, c.sTol) << c.text;
        EXPECT_NEAR(r->at("v"), c.v, c.vTol) << c.text;
        EXPECT_NEAR(r->at("l"), c.l, c.tol) << c.text;
        if (!std::isnan(c.p)) {
            EXPECT_NEAR(r->at("p"), c.p, c.tol) << c.text;
        }
        EXPECT_EQ(r->at("a"), std::min(c.a, c.b)) << c.text;
        EXPECT_EQ(r->at("b"), std::max(c.a, c.b)) << c.text;
    }
}

TEST_F(YxFunctionTest, RangeInformationWithoutAnswer)
{
    auto f = attached(yxFunction::functionFromString("x^2"));
    for (auto [a, b] : std::vector<std::pair<double, double>>{{NaN, 1}, {0, NaN}, {-Inf, 1}, {0, Inf}})
        EXPECT_FALSE(f->rangeInfo(a, b)) << a << " " << b;
    // a function undefined over part of the range
    EXPECT_FALSE(yxFunction::functionFromString("sqrt(x)")->rangeInfo(-1, 1));

    const auto zero = f->rangeInfo(2, 2);
    ASSERT_TRUE(zero);
    EXPECT_EQ(*zero, (InfoMap{{"s", 0}, {"l", 0}, {"p", 0}, {"v", 0}}));
}

TEST_F(YxFunctionTest, RangeIntegrationStopsAtTheHalvingLimit)
{
    // sqrt(x) converges slowly at 0: the limit decides how far it goes.
    auto f = attached(yxFunction::functionFromString("sqrt(x)"));
    model.setMaxIntegral(3);
    const double coarse = f->rangeInfo(0, 1)->at("s");
    model.setMaxIntegral(10);
    const double fine = f->rangeInfo(0, 1)->at("s");
    EXPECT_GT(std::fabs(coarse - 2.0 / 3), std::fabs(fine - 2.0 / 3));
    // A stored limit far beyond any setting still ends in time.
    model.setMaxIntegral(1000000);
    EXPECT_NEAR(f->rangeInfo(0, 1)->at("s"), 2.0 / 3, 1e-6);
    model.setMaxIntegral(10);
}

// ---- derivative and record ----

TEST_F(YxFunctionTest, Differential)
{
    auto f = attached(yxFunction::functionFromString("x^3"));
    EXPECT_EQ(f->functionInfo(), (std::map<std::string, std::string>{{"f", "x^3"}}));
    EXPECT_EQ(f->lineWidth(), 1.0f);
    EXPECT_TRUE(std::isnan(f->previousK()));
    EXPECT_EQ(f->variable(), MathEngine::xAddr());
    auto d = std::dynamic_pointer_cast<yxFunction>(f->differential());
    ASSERT_TRUE(d);
    EXPECT_EQ(f->differential(), d); // made once
    EXPECT_EQ(d->stringRepresentation(), "D(x^3,x)");
    EXPECT_EQ(d->functionInfo(), (std::map<std::string, std::string>{{"f", "D(x^3,x)"}, {"d", "d"}}));
    EXPECT_EQ(d->valueAt(2), 12);

    f->fillStaticInfo();
    ASSERT_TRUE(f->inflFinder());
    MathEngine::setX(2);
    EXPECT_EQ(f->inflFinder()->evaluate(), 12);
    EXPECT_EQ(f->chosenPointCount(), 301);

    // Too long to differentiate: no derivative, no searches that need it.
    auto deep = fStack::initWithName("x");
    for (int k = 0; k < 1600; ++k)
        deep->addFunc("sin");
    auto g = yxFunction::functionFromFS(std::move(deep), "deep");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->differential(), nullptr);
    g->fillStaticInfo();
    EXPECT_FALSE(g->inflFinder());
    EXPECT_FALSE(g->rangeInfo(0, 1));
    g->updatePoints();
    g->findExtrs();
    g->findInfls();
    EXPECT_TRUE(g->info().empty());
    EXPECT_THROW(model.setFunction(g, "deep"), Error);
}

TEST_F(YxFunctionTest, EmptyRepresentationGetsAUniquePlaceholder)
{
    auto a = yxFunction::functionFromFS(fStack::createWithString("x"), "");
    auto b = yxFunction::functionFromFS(fStack::createWithString("x"), "");
    EXPECT_EQ(a->stringRepresentation().rfind("abrakadabra", 0), 0u);
    EXPECT_NE(a->stringRepresentation(), b->stringRepresentation());
    EXPECT_EQ(yxFunction::functionFromFS(nullptr, "x"), nullptr);
    EXPECT_THROW(yxFunction::functionFromString("sin("), Error);
}

TEST_F(YxFunctionTest, RecordRoundTrip)
{
    auto f = attached(yxFunction::functionFromString("sin(x)*2+1"));
    f->setColorWithR(0.25f, 0.5f, 0.75f, 1);
    f->setLineWidth(3);
    f->fillStaticInfo();
    f->updatePoints();
    const json d = f->toDict();
    EXPECT_EQ(d["type"], "yxFunction");
    EXPECT_EQ(d["strRepr"], "sin(x)*2+1");
    ASSERT_TRUE(d["functionSM"].is_array());
    for (const auto& item : d["functionSM"])
        EXPECT_TRUE(item.is_string() || item.is_number());

    // through text, as the store keeps it
    const Function::Ptr g = model.fromDict(json::parse(d.dump()));
    auto back = std::dynamic_pointer_cast<yxFunction>(g);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->stringRepresentation(), "sin(x)*2+1");
    EXPECT_EQ(back->lineWidth(), 3);
    EXPECT_EQ(back->color().g, 0.5f);
    EXPECT_EQ(back->chosenPointCount(), 301);
    EXPECT_EQ(back->functionInfo(), f->functionInfo());
    EXPECT_EQ(back->toDict()["functionSM"], d["functionSM"]);
    EXPECT_EQ(back->valueAt(0.5), f->valueAt(0.5));

    // Numbers JSON cannot hold travel as text.
    auto nan = yxFunction::functionFromFS(fStack::initWithConst(NaN), "nan");
    const json nd = json::parse(nan->toDict().dump());
    EXPECT_EQ(nd["functionSM"], json::array({"nan"}));
    auto nanBack = std::dynamic_pointer_cast<yxFunction>(model.fromDict(nd));
    ASSERT_TRUE(nanBack);
    EXPECT_TRUE(std::isnan(nanBack->valueAt(1)));

    // Records that cannot be rebuilt.
    json bad = d;
    bad["functionSM"] = json::array({"x", "+"});
    EXPECT_EQ(model.fromDict(bad), nullptr);
    bad["functionSM"] = "x";
    EXPECT_EQ(model.fromDict(bad), nullptr);
    bad.erase("functionSM");
    EXPECT_EQ(model.fromDict(bad), nullptr);
    bad = d;
    bad["functionSM"] = json::array({json::object()});
    EXPECT_EQ(model.fromDict(bad), nullptr);
}

} // namespace
