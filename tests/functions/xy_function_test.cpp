// x = g(y): the mirror of y(x) — sampling along y, the searches on the
// samples' x, point information, texts and the stored record.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/format.h"
#include "orlix/math_engine.h"
#include "orlix/special_point.h"
#include "orlix/xy_function.h"
#include "plane_fixture.h"

using namespace orlix;
using json = nlohmann::json;

namespace {

constexpr double Pi = 3.141592653589793;

class XyFunctionTest : public orlix::testing::PlaneTest {
  protected:
    std::shared_ptr<xyFunction> sampled(const std::string& text)
    {
        auto f = attached(xyFunction::functionFromString(text));
        f->fillStaticInfo();
        f->updatePoints();
        return f;
    }
};

TEST_F(XyFunctionTest, NewFunction)
{
    auto f = attached(xyFunction::functionFromString("y^2"));
    EXPECT_EQ(f->typeName(), "xyFunction");
    EXPECT_EQ(f->kTracePoint().x, 0);
    EXPECT_EQ(f->kTracePoint().y, 1);
    EXPECT_EQ(f->variable(), MathEngine::yAddr());
    const Color c = f->color();
    EXPECT_EQ(c.r, 0);
    EXPECT_EQ(c.g, 0);
    EXPECT_EQ(c.b, 1);
    EXPECT_EQ(c.a, 1);
    EXPECT_EQ(f->lineWidth(), 1.0f);
    EXPECT_EQ(f->functionInfo(), (std::map<std::string, std::string>{{"f", "y^2"}}));

    auto d = std::dynamic_pointer_cast<xyFunction>(f->differential());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->stringRepresentation(), "D(y^2,y)");
    EXPECT_EQ(d->functionInfo(), (std::map<std::string, std::string>{{"f", "D(y^2,y)"}, {"d", "d"}}));
    EXPECT_EQ(d->valueAt(3), 6);
    EXPECT_EQ(d->color().b, 1);
}

TEST_F(XyFunctionTest, SamplesRunAlongY)
{
    auto f = sampled("y^2");
    ASSERT_EQ(f->points().size(), 301u);
    const double step = 30.0 / 301;
    for (int j = 0; j < 301; j += 25) {
        const myPoint p = f->points()[static_cast<size_t>(j)];
        EXPECT_EQ(p.y, -15 + j * step);
        EXPECT_EQ(p.x, p.y * p.y);
    }
    struct Pan {
        const char* what;
        double dx, dy; // in steps
        int computed;
    } pans[] = {
        {"horizontal", 40.25, 0, 0},
        {"vertical up", 0, 12.25, 12},
        {"vertical down", 0, -6.75, 7},
        {"diagonal", 3.25, 5.25, 5},
    };
    for (const Pan& p : pans) {
        auto g = sampled("y^3");
        model.setMinX(-15 + p.dx * step, 15 + p.dx * step);
        model.setMinY(-15 + p.dy * step, 15 + p.dy * step);
        g->updatePoints();
        EXPECT_EQ(g->sampledCount() - 301, p.computed) << p.what;
        model.setMinX(-15, 15);
        model.setMinY(-15, 15);
    }
    // A change of the y scale resamples; one of the x scale does not.
    auto g = sampled("y^3");
    plane.sx = 20;
    g->updatePoints();
    EXPECT_EQ(g->sampledCount(), 301);
    plane.sy = 20;
    g->updatePoints();
    EXPECT_EQ(g->sampledCount(), 602);
}

TEST_F(XyFunctionTest, Searches)
{
    // roots: where the curve crosses x = 0
    auto f = sampled("y^2-2");
    f->findRoots();
    std::vector<myPoint> roots;
    for (const auto& m : f->info())
        roots.push_back(m->info().point);
    std::sort(roots.begin(), roots.end(), [](myPoint a, myPoint b) { return a.y < b.y; });
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_NEAR(roots[0].y, -std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(roots[1].y, std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(roots[0].x, 0, 1e-9);

    // extrema of g along y, with the marker turned to the y axis
    struct Case {
        const char* text;
        double y, x;
        float betta;
    } cases[] = {
        {"y^2", 0, 0, static_cast<float>(Pi / 2 + Pi)},
        {"-y^2+1", 0, 1, 1.5707964f},
        {"(y-2)^2-1", 2, -1, static_cast<float>(Pi / 2 + Pi)},
    };
    for (const Case& c : cases) {
        auto g = sampled(c.text);
        g->findExtrs();
        ASSERT_EQ(g->info().size(), 1u) << c.text;
        const auto& m = g->info()[0];
        EXPECT_NEAR(m->info().point.y, c.y, 1e-6) << c.text;
        EXPECT_NEAR(m->info().point.x, c.x, 1e-9) << c.text;
        EXPECT_EQ(m->info().variable, m->info().point.y) << c.text;
        EXPECT_EQ(m->betta(), c.betta) << c.text;
    }
    EXPECT_EQ(static_cast<float>(Pi / 2 + Pi), 4.712389f);

    // x = y²: touches x = 0 without crossing, a root all the same
    auto touch = sampled("y^2");
    touch->findRoots();
    ASSERT_EQ(touch->info().size(), 1u);
    EXPECT_NEAR(touch->info()[0]->info().point.y, 0, 1e-9);

    // inflection of y³ − y at y = 0, the marker along the tangent
    auto infl = sampled("y^3-y");
    infl->findInfls();
    ASSERT_EQ(infl->info().size(), 1u);
    EXPECT_NEAR(infl->info()[0]->info().point.y, 0, 1e-7);
    EXPECT_FLOAT_EQ(infl->info()[0]->betta(), static_cast<float>(std::atan(-1 / -1.0)));
}

TEST_F(XyFunctionTest, PointInformation)
{
    auto f = attached(xyFunction::functionFromString("y^3"));
    const myPointInfo p = f->pointAt(1);
    EXPECT_EQ(p.point.x, 1);
    EXPECT_EQ(p.point.y, 1);
    EXPECT_EQ(p.value, 1);
    EXPECT_EQ(p.variable, 1);
    ASSERT_TRUE(p.info);
    EXPECT_EQ(p.info->at("dx/dy"), 3);
    EXPECT_EQ(p.info->at("ddx/dyy"), 6);
    EXPECT_DOUBLE_EQ(p.info->at("dy/dx"), 1.0 / 3);
    EXPECT_DOUBLE_EQ(p.info->at("k"), 6 / std::pow(10, 1.5));
    EXPECT_EQ(tostr(p.info->at("dy/dx")), "0.3333333");

    EXPECT_EQ(*f->pointInfoText(p),
              "x=\u20051\n∂y/∂x=\u20050.3333333\n∂x/∂y=\u20053\n∂²x/∂y²=\u20056\nk=\u20050.1897367");
    EXPECT_EQ(*f->rangeInfoText({{"s", 2}, {"l", 3}, {"v", 1}, {"p", 4}}),
              "S= ∫=\u20052\nl=\u20053\nVox=\u20051\nSox=\u20054");

    EXPECT_EQ(f->positionAt(2).x, 8);
    EXPECT_EQ(f->positionAt(2).y, 2);
    EXPECT_EQ(f->valueForPoint({5, 2}), 3);
    // Device (200, 100) is user (4, 14): trace follows y.
    EXPECT_EQ(f->varValueForPoint({200, 100}, kTouchBegan), 14);
    EXPECT_EQ(f->markInfoAt({7.9, 2})->point.x, 8);
}

TEST_F(XyFunctionTest, RangeInformationIntegratesOverY)
{
    auto f = attached(xyFunction::functionFromString("y^2"));
    *MathEngine::yAddr() = 7;
    const auto r = f->rangeInfo(1, 0);
    EXPECT_EQ(*MathEngine::yAddr(), 7);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->count("i"));
    EXPECT_NEAR(r->at("s"), 1.0 / 3, 1e-6);
    EXPECT_NEAR(r->at("v"), Pi / 5, 1e-6);
    EXPECT_NEAR(r->at("l"), 1.4789428575445975, 1e-6);
    EXPECT_EQ(r->at("a"), 0);
    EXPECT_EQ(r->at("b"), 1);
}

TEST_F(XyFunctionTest, RecordRoundTrip)
{
    auto f = attached(xyFunction::functionFromString("cos(y)"));
    f->setLineWidth(2);
    const json d = json::parse(f->toDict().dump());
    EXPECT_EQ(d["type"], "xyFunction");
    auto back = std::dynamic_pointer_cast<xyFunction>(model.fromDict(d));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->stringRepresentation(), "cos(y)");
    EXPECT_EQ(back->lineWidth(), 2);
    EXPECT_EQ(back->color().b, 1);
    EXPECT_EQ(back->variable(), MathEngine::yAddr());
    EXPECT_EQ(back->valueAt(0.25), std::cos(0.25));
}

} // namespace
