// Implicit curves g(x,y) = 0: the grid pass, the marks on its segments,
// the trace, intersections between curves of every kind, and the record.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/implicit_function.h"
#include "orlix/special_point.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class ImplicitFunctionTest : public orlix::testing::PlaneTest {
  protected:
    void SetUp() override
    {
        PlaneTest::SetUp();
        model.setMinX(-2, 2);
        model.setMinY(-2, 2);
    }
    std::shared_ptr<iFunction> contoured(const std::string& text, int n = 0)
    {
        auto f = attached(iFunction::functionFromString(text));
        f->setN(n);
        f->fillStaticInfo();
        f->updatePoints();
        return f;
    }
    // The marks of one type, sorted by x then y.
    static std::vector<std::shared_ptr<specialPoint>> marksOf(const Function& f, const std::string& type)
    {
        std::vector<std::shared_ptr<specialPoint>> r;
        for (const auto& m : f.info())
            if (m->type() == type)
                r.push_back(m);
        std::sort(r.begin(), r.end(), [](const auto& a, const auto& b) {
            const myPoint p = a->info().point, q = b->info().point;
            return p.x != q.x ? p.x < q.x : p.y < q.y;
        });
        return r;
    }
};

// Every point lies on the curve, inside the window, and every segment
// joins two points of one grid cell.
TEST_F(ImplicitFunctionTest, GridPassPointsLieOnTheCurve)
{
    struct Case {
        const char* g;
        int n;
        double lo, hi;
    };
    const Case cases[] = {{"x^2+y^2-1", 60, -2, 2}, {"sin(x*y)", 150, -15, 15}, {"x^3+y^3-3*x*y", 60, -3, 3}};
    for (const Case& c : cases) {
        model.setMinX(c.lo, c.hi);
        model.setMinY(c.lo, c.hi);
        auto f = contoured(c.g, c.n);
        const double cell = (c.hi - c.lo) / c.n;
        ASSERT_GT(f->pairsNum(), 0) << c.g;
        for (int i = 0; i < f->pointsNum(); ++i) {
            const myPoint p = f->points()[static_cast<size_t>(i)];
            // On screen (the middle third) to rounding, off screen to a
            // twentieth of a device pixel.
            const double third = (c.hi - c.lo) / 3;
            const bool shown = std::fabs(p.x) <= third / 2 && std::fabs(p.y) <= third / 2;
            const double slope = std::hypot(f->xDif()->valueAt(p.x, p.y), f->yDif()->valueAt(p.x, p.y));
            if (shown)
                EXPECT_NEAR(f->valueAt(p.x, p.y), 0, 1e-9) << c.g;
            else
                EXPECT_LE(std::fabs(f->valueAt(p.x, p.y)) / slope, 0.05 / (plane.sx * plane.ratio)) << c.g;
            EXPECT_TRUE(p.x >= c.lo && p.x <= c.hi && p.y >= c.lo && p.y <= c.hi) << c.g;
        }
        for (const auto& [a, b] : f->segmentPairs()) {
            const myPoint p = f->points()[static_cast<size_t>(a)], q = f->points()[static_cast<size_t>(b)];
            EXPECT_LE(std::hypot(p.x - q.x, p.y - q.y), cell * 1.5) << c.g;
        }
    }
}

// A busy curve on the finest grid keeps every crossing: sin(x·y) = 0 over
// ±15 at n = 150 has far more than the few thousand segments a fixed
// store would hold, and every cell the curve crosses is joined.
TEST_F(ImplicitFunctionTest, BusyCurveIsNotCutShort)
{
    model.setMinX(-15, 15);
    model.setMinY(-15, 15);
    auto f = contoured("sin(x*y)", 150);
    EXPECT_GT(f->pairsNum(), 10000);
    EXPECT_GT(f->pointsNum(), 10000);
    // The last crossed cell of the top row is joined, as the first one is.
    double highest = -1e9;
    for (const auto& [a, b] : f->segmentPairs())
        highest = std::max(highest, f->points()[static_cast<size_t>(a)].y);
    EXPECT_GT(highest, 14.5);
}

// A saddle cell is joined by two segments, chosen by g at its centre.
TEST_F(ImplicitFunctionTest, SaddleCellsJoinTwoBranches)
{
    // The origin in the middle of a cell: x·y = 0 draws the two axes, each
    // segment lying on one of them.
    auto axes = contoured("x*y", 61);
    for (const auto& [a, b] : axes->segmentPairs()) {
        const myPoint p = axes->points()[static_cast<size_t>(a)], q = axes->points()[static_cast<size_t>(b)];
        const bool alongX = std::fabs(p.y) < 1e-9 && std::fabs(q.y) < 1e-9;
        const bool alongY = std::fabs(p.x) < 1e-9 && std::fabs(q.x) < 1e-9;
        EXPECT_TRUE(alongX || alongY) << p.x << "," << p.y << " " << q.x << "," << q.y;
    }
    // Two hyperbola branches never joined across the gap between them.
    for (const char* g : {"x^2-y^2-0.01", "y^2-x^2-0.01"}) {
        auto f = contoured(g, 61);
        for (const auto& [a, b] : f->segmentPairs()) {
            const myPoint p = f->points()[static_cast<size_t>(a)], q = f->points()[static_cast<size_t>(b)];
            EXPECT_GT(p.x * q.x + p.y * q.y, 0) << g;
        }
    }
}

// The pass runs again only when the window or the grid changes; a window
// it cannot grid, or a formula with no value in it, keeps the curve.
TEST_F(ImplicitFunctionTest, RecomputesOnlyForANewGrid)
{
    auto f = contoured("x^2+y^2-1", 60);
    const int points = f->pointsNum();
    const long long passes = f->passCount();
    f->updatePoints();
    EXPECT_EQ(f->passCount(), passes);
    f->setN(61);
    f->updatePoints();
    EXPECT_EQ(f->passCount(), passes + 1);

    struct Window {
        double x0, x1, y0, y1;
    };
    const Window kept[] = {{1, 1, -2, 2}, {-2, 2, 0, 0}, {kNaN, 2, -2, 2}, {-2, 2, -2, kNaN}};
    for (const Window& w : kept) {
        f->setN(60);
        model.setMinX(-2, 2);
        model.setMinY(-2, 2);
        f->updatePoints();
        model.setMinX(w.x0, w.x1);
        model.setMinY(w.y0, w.y1);
        f->updatePoints();
        EXPECT_EQ(f->pointsNum(), points);
        EXPECT_NEAR(f->valueAt(f->points()[0].x, f->points()[0].y), 0, 1e-9);
    }
    model.setMinX(-2, 2);
    model.setMinY(-2, 2);
    auto nowhere = contoured("x^2+y^2-1+sqrt(-1-x^2)", 60);
    EXPECT_EQ(nowhere->pointsNum(), 0);
    EXPECT_EQ(nowhere->pairsNum(), 0);
}

// The unit circle: four axis crossings and four tangent marks, turned to
// face the curve.
TEST_F(ImplicitFunctionTest, CircleMarks)
{
    auto f = contoured("x^2+y^2-1", 60);
    f->findRoots();
    f->findExtrs();
    const auto roots = marksOf(*f, "root");
    const auto extrs = marksOf(*f, "minmax");
    const myPoint expected[] = {{-1, 0}, {0, -1}, {0, 1}, {1, 0}};
    ASSERT_EQ(roots.size(), 4u);
    ASSERT_EQ(extrs.size(), 4u);
    const float bettas[] = {4.712389f, 3.1415927f, 0.0f, 1.5707964f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(roots[i]->info().point.x, expected[i].x, 1e-9);
        EXPECT_NEAR(roots[i]->info().point.y, expected[i].y, 1e-9);
        EXPECT_NEAR(extrs[i]->info().point.x, expected[i].x, 1e-6);
        EXPECT_NEAR(extrs[i]->info().point.y, expected[i].y, 1e-6);
        EXPECT_EQ(extrs[i]->betta(), bettas[i]) << i;
    }
}

// Slope, second derivative and signed curvature from the partial derivatives.
TEST_F(ImplicitFunctionTest, PointInformation)
{
    auto f = iFunction::functionFromString("x^2+y^2-25");
    const myPointInfo top = f->myPointInfoForXY(3, 4);
    EXPECT_NEAR(top.info->at("dy/dx"), -0.75, 1e-12);
    EXPECT_NEAR(top.info->at("k"), -0.2, 1e-12);
    EXPECT_EQ(top.value, 4);
    EXPECT_NEAR(f->myPointInfoForXY(3, -4).info->at("k"), 0.2, 1e-12);
    EXPECT_FALSE(f->myPointInfoForXY(kNaN, 1).info.has_value());
    EXPECT_FALSE(f->differential());
    // A sample index past the points gives no point rather than reading beyond them.
    EXPECT_TRUE(std::isnan(f->positionAt(7).x));
}

// The trace snaps a touch onto the curve; with no points it answers 0.
TEST_F(ImplicitFunctionTest, Trace)
{
    auto empty = contoured("x^2+y^2+1", 60);
    EXPECT_EQ(empty->varValueForPoint(PointF{170, 240}, kTouchBegan), 0);

    auto f = contoured("x^2+y^2-1", 60);
    // Device (172, 238) is user (1.2, 0.2).
    const double v = f->varValueForPoint(PointF{172, 238}, kTouchBegan);
    const myPoint p = f->positionAt(v);
    EXPECT_NEAR(p.x * p.x + p.y * p.y, 1, 1e-9);
    EXPECT_NEAR(p.x, 0.98, 0.05);
    EXPECT_NEAR(f->pointAt(v).point.y, p.y, 0);
}

// Intersections between curves of every kind the dispatch pairs, each
// mark carrying the current function's own information.
TEST_F(ImplicitFunctionTest, IntersectionsBetweenKinds)
{
    model.setMinX(-15, 15);
    model.setMinY(-15, 15);
    const double c8 = 2 * std::cos(3.141592653589793 / 8), s8 = 2 * std::sin(3.141592653589793 / 8);
    struct Case {
        std::vector<std::pair<const char*, std::string>> curves; // kind, formula; the first is current
        std::vector<myPoint> expected;
    };
    const Case cases[] = {
        {{{"yx", "x^2"}, {"xy", "y^2"}}, {{0, 0}, {1, 1}}},
        {{{"xy", "y^2"}, {"yx", "x^2"}}, {{0, 0}, {1, 1}}},
        {{{"yx", "x"}, {"yx", "-x"}}, {{0, 0}}},
        {{{"yx", "sin(x)"}, {"yx", "sin(x)"}}, {}},
        {{{"yx", "x"}, {"i", "x^2+y^2-8"}}, {{-2, -2}, {2, 2}}},
        {{{"i", "x^2+y^2-8"}, {"xy", "y"}}, {{-2, -2}, {2, 2}}},
        {{{"i", "x^2+y^2-4"}, {"i", "(x-2)^2+y^2-4"}}, {{1, -std::sqrt(3.0)}, {1, std::sqrt(3.0)}}},
        {{{"i", "x^2+y^2-1"}, {"i", "(x-5)^2+y^2-1"}}, {}},
        // The same curve twice, in any form, has no crossings.
        {{{"i", "x^2+y^2-4"}, {"i", "x^2+y^2-4"}}, {}},
        {{{"i", "x^2+y^2-4"}, {"i", "4-x^2-y^2"}}, {}},
        // Curves that touch.
        {{{"yx", "x^2"}, {"yx", "0"}}, {{0, 0}}},
        {{{"yx", "2"}, {"i", "x^2+y^2-4"}}, {{0, 2}}},
        {{{"yx", "x+2*sqrt(2)"}, {"i", "x^2+y^2-4"}}, {{-std::sqrt(2.0), std::sqrt(2.0)}}},
        {{{"yx", "x^2+1"}, {"yx", "2x"}}, {{1, 2}}},
        {{{"i", "x^2+y^2-4"}, {"i", "x+y-2sqrt(2)"}}, {{std::sqrt(2.0), std::sqrt(2.0)}}},
        {{{"i", "x^2+y^2-4"}, {"i", "(x-1)^2+y^2-1"}}, {{2, 0}}},
        {{{"rf", "1+sin(4f)"}, {"rf", "2"}}, {{-c8, -s8}, {-s8, c8}, {s8, -c8}, {c8, s8}}},
        // Crossings right in the middle of a symmetric range of the parameter.
        {{{"t", "t;t^2"}, {"yx", "x"}}, {{0, 0}, {1, 1}}},
        {{{"yx", "x"}, {"rf", "f"}},
         {{0, 0}, {0.5553603672697958, 0.5553603672697958}, {1.6660811018093873, 1.6660811018093873}}},
    };
    for (const Case& c : cases) {
        model.deleteAll();
        std::vector<Function::Ptr> made;
        for (const auto& [kind, text] : c.curves) {
            Function::Ptr f = findKindByShortName(kind)->fromText(text);
            model.setFunction(f, kind + text + std::to_string(made.size()));
            f->setNumOfPoints(f->chosenPointCount());
            f->updatePoints();
            made.push_back(f);
        }
        Function& current = *made.front();
        current.findIntersections();
        const auto marks = marksOf(current, "inter");
        const std::string name = c.curves[0].second + " with " + c.curves[1].second;
        ASSERT_EQ(marks.size(), c.expected.size()) << name;
        for (size_t i = 0; i < marks.size(); ++i) {
            const myPointInfo& info = marks[i]->info();
            EXPECT_NEAR(info.point.x, c.expected[i].x, 1e-6) << name;
            EXPECT_NEAR(info.point.y, c.expected[i].y, 1e-6) << name;
            // Explicit and implicit current curves give their own information.
            const auto own = current.markInfoAt(info.point);
            if (own && own->info) {
                EXPECT_EQ(info.info->at("dy/dx"), own->info->at("dy/dx")) << name;
            }
        }
    }
}

TEST_F(ImplicitFunctionTest, RecordRoundTrip)
{
    auto f = iFunction::functionFromString("x*y-1");
    f->setN(120);
    const Function::json record = f->toDict();
    EXPECT_EQ(record["type"], "iFunction");
    EXPECT_EQ(record["n"], 120);
    auto back = std::dynamic_pointer_cast<iFunction>(model.fromDict(record));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->n(), 120);
    EXPECT_EQ(back->stringRepresentation(), "x*y-1");
    EXPECT_EQ(back->valueAt(2, 3), 5);
    // A grid size out of the settings' range comes back within it.
    Function::json big = record;
    big["n"] = 100000;
    EXPECT_EQ(std::dynamic_pointer_cast<iFunction>(model.fromDict(big))->n(), iFunction::maxGridSize);
}

} // namespace
