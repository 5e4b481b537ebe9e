// Polar r(θ) and parametric x(t), y(t) curves: sampling over their own
// range, the searches, the trace, the range quantities, texts and records.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/math_engine.h"
#include "orlix/rf_function.h"
#include "orlix/special_point.h"
#include "orlix/t_function.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"
#include "../engine/same_value.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

constexpr double Pi = 3.141592653589793;
const double NaN = std::numeric_limits<double>::quiet_NaN();

class CurveKindsTest : public orlix::testing::PlaneTest {
  protected:
    std::shared_ptr<rfFunction> polar(const std::string& r, double lo, double hi)
    {
        auto f = attached(rfFunction::functionFromString(r));
        f->setMinVar(lo, hi);
        f->fillStaticInfo();
        return f;
    }
    std::shared_ptr<tFunction> parametric(const std::string& x, const std::string& y, double lo, double hi)
    {
        auto f = attached(tFunction::functionFromStringForX(x, y));
        f->setMinVar(lo, hi);
        f->fillStaticInfo();
        return f;
    }
    Function::Ptr explicitCurve(Function::Ptr f)
    {
        attached(f);
        f->fillStaticInfo();
        f->updatePoints();
        return f;
    }
    // The device point of a user point on the test plane.
    PointF device(double x, double y) const { return plane.myPointToDevice(myPoint{x, y}); }
};

TEST_F(CurveKindsTest, NewFunctionsTakeTheDefaultRangeOfTheSetting)
{
    struct Case {
        int setting;
        double lo, hi;
        bool isPolar;
    };
    for (const Case c :
         {Case{0, -Pi, Pi, true}, Case{1, 0, 2 * Pi, true}, Case{0, -20, 20, false}, Case{1, 0, 20, false}}) {
        model.setRangeDefaults(RangeDefaults{c.setting != 0, c.setting != 0});
        Function::Ptr f = attached(c.isPolar ? Function::Ptr(rfFunction::functionFromString("1"))
                                             : Function::Ptr(tFunction::functionFromStringForX("t", "1")));
        f->fillStaticInfo();
        EXPECT_DOUBLE_EQ(f->varMin(), c.lo);
        EXPECT_DOUBLE_EQ(f->varMax(), c.hi);
        EXPECT_EQ(f->chosenPointCount(), c.isPolar ? 400 : 500);
        EXPECT_EQ(f->functionInfo().at("maxVarStr"), tostr(c.hi));
    }
    EXPECT_THROW(tFunction::functionFromString("cos(t)"), Error);
    EXPECT_EQ(tFunction::functionFromStringForX("", "t"), nullptr);
}

// The first and the last sample lie on the two bounds, so a closed curve
// closes; a range that is not one leaves the samples as they were.
TEST_F(CurveKindsTest, SamplesRunFromBoundToBound)
{
    auto circle = polar("5", 0, 2 * Pi);
    auto ring = parametric("5cos(t)", "5sin(t)", 0, 2 * Pi);
    for (Function* f : {static_cast<Function*>(circle.get()), static_cast<Function*>(ring.get())}) {
        const auto& p = f->points();
        ASSERT_GE(p.size(), 2u);
        EXPECT_NEAR(p.front().x, p.back().x, 1e-12);
        EXPECT_NEAR(p.front().y, p.back().y, 1e-12);
        const auto before = p;
        for (auto [lo, hi] : {std::pair{NaN, 1.0}, std::pair{0.0, 1.0 / 0.0}, std::pair{2.0, 1.0}}) {
            f->setMinVar(lo, hi);
            EXPECT_EQ(f->points().size(), before.size());
            EXPECT_EQ(f->points().back().x, before.back().x);
        }
    }
}

// Sampled a block at a time, each sample is bit for bit the point of its
// own parameter, and so is each of many points asked for at once (the
// table's rows): gaps where the formula has no value stay gaps.
TEST_F(CurveKindsTest, SamplesAreThePointsOfTheirParameters)
{
    const std::vector<Function::Ptr> curves = {polar("sqrt(cos(2θ))", -Pi, Pi), polar("2+cos(3θ)", 0, 2 * Pi),
                                               parametric("t^2-1", "sin(3t)/t", -20, 20),
                                               parametric("ln(t)", "t*t*t-2t+1", -3, 7),
                                               explicitCurve(yxFunction::functionFromString("1/x+sqrt(x+2)")),
                                               explicitCurve(xyFunction::functionFromString("exp(-y^2)"))};
    const double Inf = std::numeric_limits<double>::infinity();
    for (const Function::Ptr& f : curves) {
        const std::string name = f->functionInfo().begin()->second;
        const auto& p = f->points();
        const int n = static_cast<int>(p.size());
        ASSERT_GT(n, 300);
        std::vector<double> places{NaN, Inf, -Inf, 0};
        for (int i = 0; i < n; ++i) {
            const double v = i == n - 1 ? f->varMax() : f->varMin() + i * ((f->varMax() - f->varMin()) / (n - 1));
            places.push_back(v);
            if (f->kindInfo()->can.ownRange) {
                const myPoint expected = f->pointAt(v).point;
                EXPECT_TRUE(test::same(p[i].x, expected.x) && test::same(p[i].y, expected.y)) << name << " at " << v;
            }
        }
        const std::vector<myPointInfo> many = f->pointsAt(places);
        ASSERT_EQ(many.size(), places.size());
        int gaps = 0;
        for (std::size_t k = 0; k < places.size(); ++k) {
            const myPointInfo one = f->pointAt(places[k]);
            gaps += std::isnan(many[k].point.x) ? 1 : 0;
            EXPECT_TRUE(test::same(many[k].point.x, one.point.x) && test::same(many[k].point.y, one.point.y) &&
                        test::same(many[k].value, one.value) && test::same(many[k].variable, one.variable))
                << name << " at " << places[k];
        }
        EXPECT_LT(gaps, static_cast<int>(places.size())) << name;
    }
}

TEST_F(CurveKindsTest, RangeQuantities)
{
    auto circle = polar("1", 0, 2 * Pi);
    auto q = circle->rangeInfo(2 * Pi, 0);
    ASSERT_TRUE(q);
    EXPECT_NEAR(q->at("s"), Pi, 1e-6); // the area, ½∫r²dθ
    EXPECT_NEAR(q->at("l"), 2 * Pi, 1e-6);
    EXPECT_NEAR(q->at("is"), 2 * Pi, 1e-6);
    EXPECT_EQ(q->at("a"), 0);

    auto ring = parametric("cos(t)", "sin(t)", 0, 2 * Pi);
    q = ring->rangeInfo(0, Pi);
    ASSERT_TRUE(q);
    EXPECT_NEAR(q->at("s"), -Pi / 2, 1e-6); // ∫y dx, x running from 1 to −1
    EXPECT_NEAR(q->at("l"), Pi, 1e-6);
    // The unit sphere, x running backwards: sizes all the same.
    EXPECT_NEAR(q->at("v"), 4 * Pi / 3, 1e-9);
    EXPECT_NEAR(q->at("p"), 4 * Pi, 1e-9);

    // S stays 0 through every halving: still an answer.
    auto flat = parametric("t", "0", -1, 1);
    q = flat->rangeInfo(-1, 1);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->at("s"), 0);
    EXPECT_NEAR(q->at("l"), 2, 1e-9);
    auto pole = polar("0", 0, 1);
    ASSERT_TRUE(pole->rangeInfo(0, 1));

    // No range and a point as range.
    EXPECT_FALSE(circle->rangeInfo(0, NaN));
    EXPECT_FALSE(ring->rangeInfo(-INFINITY, 0));
    for (Function* f : {static_cast<Function*>(circle.get()), static_cast<Function*>(ring.get())}) {
        const auto zero = f->rangeInfo(1, 1);
        ASSERT_TRUE(zero);
        for (const auto& [key, value] : *zero)
            EXPECT_EQ(value, 0) << key;
    }
}

TEST_F(CurveKindsTest, ParametricCircleCrossesTheAxesAtFourPoints)
{
    // Once each, the seam of the closed curve included.
    auto ring = parametric("cos(t)", "sin(t)", 0, 2 * Pi);
    ring->findRoots();
    EXPECT_EQ(ring->info().size(), 4u);
}

TEST_F(CurveKindsTest, ParametricCircleTurnsAtItsFourExtremePoints)
{
    auto ring = parametric("cos(t)", "sin(t)", 0, 2 * Pi);
    ring->findExtrs();
    ASSERT_EQ(ring->info().size(), 4u);
    struct Expected {
        double x, y;
        float betta;
    };
    const float upright = specialPoint::pointWithInfo(myPointInfo{}, "minmax")->betta();
    const Expected expected[] = {{0, 1, upright},
                                 {0, -1, upright + static_cast<float>(Pi)},
                                 {1, 0, 1.5707964f},
                                 {-1, 0, 1.5707964f + static_cast<float>(Pi)}};
    for (const Expected& e : expected) {
        const auto it = std::find_if(ring->info().begin(), ring->info().end(), [&](const auto& m) {
            return std::hypot(m->info().point.x - e.x, m->info().point.y - e.y) < 1e-6;
        });
        ASSERT_NE(it, ring->info().end()) << e.x << "," << e.y;
        EXPECT_FLOAT_EQ((*it)->betta(), e.betta);
    }
}

TEST_F(CurveKindsTest, PolarSearches)
{
    // The limaçon passes the pole at ±2π/3 and is farthest out at 0.
    auto limacon = polar("1+2cos(θ)", -Pi, Pi);
    limacon->findRoots();
    limacon->findExtrs();
    std::vector<double> roots;
    int maxima = 0;
    for (const auto& m : limacon->info()) {
        if (m->type() == "root")
            roots.push_back(m->info().variable);
        if (m->type() == "minmax" && std::fabs(m->info().value - 3) < 1e-9) {
            ++maxima;
            EXPECT_FLOAT_EQ(m->betta(), static_cast<float>(Pi / 2)); // facing away from the pole
        }
    }
    std::sort(roots.begin(), roots.end());
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_NEAR(roots[0], -2 * Pi / 3, 1e-9);
    EXPECT_NEAR(roots[1], 2 * Pi / 3, 1e-9);
    EXPECT_EQ(maxima, 1);

    // A circle has no inflection; the limaçon's inner loop neither, but its
    // outer part turns twice where it narrows at a dimple: r = 1.5 + cos θ.
    auto circle = polar("2", 0, 2 * Pi);
    circle->findInfls();
    EXPECT_TRUE(circle->info().empty());
    auto dimpled = polar("1.5+cos(θ)", -Pi, Pi);
    dimpled->findInfls();
    EXPECT_EQ(dimpled->info().size(), 2u);
}

TEST_F(CurveKindsTest, IntersectionsWithExplicitCurves)
{
    auto diagonal = yxFunction::functionFromString("x");
    auto vertical = xyFunction::functionFromString("0.5");
    auto circle = polar("1", 0, 2 * Pi);
    auto ring = parametric("cos(t)", "sin(t)", 0, 2 * Pi);
    for (Function* curve : {static_cast<Function*>(circle.get()), static_cast<Function*>(ring.get())}) {
        for (Function* other : {static_cast<Function*>(diagonal.get()), static_cast<Function*>(vertical.get())}) {
            const Marks found = curve->intersectWith(*other);
            ASSERT_EQ(found.size(), 2u);
            for (const auto& m : found) {
                const myPoint p = m->info().point;
                EXPECT_NEAR(std::hypot(p.x, p.y), 1, 1e-9);
                EXPECT_NEAR(other->valueForPoint(p), 0, 1e-7);
            }
        }
    }
}

// Dragging across the negative x axis continues past π; a drag started on
// a negative r stays on that branch.
TEST_F(CurveKindsTest, PolarTraceFollowsTheRay)
{
    auto circle = polar("1", 0, 2 * Pi);
    const double start = circle->varValueForPoint(device(-1, 0.1), kTouchBegan);
    EXPECT_NEAR(start, Pi - std::atan(0.1), 1e-6);
    const double moved = circle->varValueForPoint(device(-1, -0.1), kTouchMoved);
    EXPECT_NEAR(moved, Pi + std::atan(0.1), 1e-6);

    // r = cos θ on π/2 … 3π/2 is the circle through the pole drawn with
    // r < 0: a touch at 45° finds θ = 225°, and the drag stays on that side.
    auto lobe = polar("cos(θ)", Pi / 2, 3 * Pi / 2);
    const double back = lobe->varValueForPoint(device(0.5, 0.5), kTouchBegan);
    EXPECT_NEAR(back, 5 * Pi / 4, 1e-9);
    EXPECT_TRUE(lobe->previousI().f.inv);
    const double next = lobe->varValueForPoint(device(0.5, 0.6), kTouchMoved);
    EXPECT_NEAR(next, Pi + std::atan(0.6 / 0.5), 1e-9);
}

TEST_F(CurveKindsTest, ParametricTraceWrapsRoundAClosedCurve)
{
    auto ring = parametric("cos(t)", "sin(t)", 0, 2 * Pi);
    const double start = ring->varValueForPoint(device(std::cos(-0.05), std::sin(-0.05)), kTouchBegan);
    EXPECT_NEAR(std::remainder(start, 2 * Pi), -0.05, 1e-6);
    const double moved = ring->varValueForPoint(device(std::cos(0.1), std::sin(0.1)), kTouchMoved);
    EXPECT_NEAR(moved, 0.1, 1e-6);
    EXPECT_NEAR(ring->varValueForPoint(device(5, 5), kTouchStationary), moved,
                0.05); // a finger at rest keeps its sample

    // Nothing sampled: no sample is read.
    auto unsampled = attached(tFunction::functionFromStringForX("t", "t"));
    EXPECT_TRUE(std::isnan(unsampled->varValueForPoint(device(1, 1), kTouchMoved)));
}

TEST_F(CurveKindsTest, InformationTexts)
{
    const std::string sp(fourPerEmSpace);
    auto circle = polar("2", 0, 2 * Pi);
    EXPECT_EQ(*circle->pointInfoText(circle->pointAt(0)), "r=" + sp + "2\nx=" + sp + "2\ny=" + sp + "0\n∂r/∂θ=" + sp +
                                                              "0\n∂²r/∂θ²=" + sp + "0\n∂y/∂x=" + sp + "∞\nk=" + sp +
                                                              "0.5");
    EXPECT_EQ(*circle->rangeInfoText(*circle->rangeInfo(0, 0)),
              "∫=" + sp + "0\nS=" + sp + "0\nl=" + sp + "0\nVox=" + sp + "0\nSox=" + sp + "0");
    auto ring = parametric("t", "t^2", -1, 1);
    EXPECT_EQ(*ring->pointInfoText(ring->pointAt(1)), "x=" + sp + "1\ny=" + sp + "1\n∂x/∂t=" + sp + "1\n∂y/∂t=" + sp +
                                                          "2\n∂y/∂x=" + sp + "2\nk=" + sp +
                                                          tostr(2 / std::pow(5, 1.5)));
    EXPECT_EQ(*ring->rangeInfoText(*ring->rangeInfo(0, 0)),
              "S=" + sp + "0\nl=" + sp + "0\nVox=" + sp + "0\nSox=" + sp + "0");
}

TEST_F(CurveKindsTest, DerivativesAndRecords)
{
    auto rose = polar("cos(3θ)", 0, Pi);
    auto d = std::dynamic_pointer_cast<rfFunction>(rose->differential());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->stringRepresentation(), "D(cos(3θ),θ)");
    EXPECT_EQ(d->varMax(), Pi);
    EXPECT_NEAR(d->valueAt(0.1), -3 * std::sin(0.3), 1e-12);

    auto cycloid = parametric("t-sin(t)", "1-cos(t)", -20, 20);
    auto slope = std::dynamic_pointer_cast<tFunction>(cycloid->differential());
    ASSERT_TRUE(slope);
    EXPECT_EQ(slope->functionInfo().at("g"), "D(1-cos(t),t)/D(t-sin(t),t)");
    EXPECT_NEAR(slope->positionAt(1).y, std::sin(1) / (1 - std::cos(1)), 1e-12);

    for (Function* f : {static_cast<Function*>(rose.get()), static_cast<Function*>(cycloid.get())}) {
        const Function::json record = f->toDict();
        Function::Ptr back = model.fromDict(record);
        ASSERT_TRUE(back) << record.dump();
        back->fillStaticInfo();
        EXPECT_EQ(back->toDict(), record);
        EXPECT_EQ(back->points().back().x, f->points().back().x);

        // A stored range that is not one gives the kind's default.
        Function::json crossed = record;
        crossed["minVar"] = 5;
        crossed["maxVar"] = 1;
        back = model.fromDict(crossed);
        ASSERT_TRUE(back);
        back->fillStaticInfo();
        EXPECT_LT(back->varMin(), back->varMax());
    }
}

// The range fields' four refusals, and what they let through.
TEST_F(CurveKindsTest, RangeBoundsAreCheckedWithTheFieldsMessages)
{
    struct Case {
        double value;
        RangeBound which;
        double other;
        const char* message; // nullptr: accepted
    };
    const Case cases[] = {
        {NaN, RangeBound::min, 1, "Value is NAN!"},
        {1 / 0.0, RangeBound::max, 1, "Infinity value!"},
        {-1 / 0.0, RangeBound::min, 1, "Infinity value!"},
        {2, RangeBound::min, 1, "MinVal shouldn't be greater than MaxVal!"},
        {1, RangeBound::min, 1, "MinVal shouldn't be greater than MaxVal!"},
        {0, RangeBound::max, 1, "MaxVal shouldn't be less than MinVal!"},
        {-Pi / 2, RangeBound::min, 2 * Pi, nullptr},
        {2 * Pi, RangeBound::max, -Pi / 2, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        if (!c.message) {
            EXPECT_NO_THROW(checkRangeBound(c.value, c.which, c.other));
            continue;
        }
        try {
            checkRangeBound(c.value, c.which, c.other);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

// A pole of r or of a coordinate breaks the drawn curve there and nowhere
// else; a closed curve has no break at its seam.
TEST_F(CurveKindsTest, PolesBreakTheCurve)
{
    auto countBreaks = [](const Function& f) {
        const auto b = f.curveBreaks();
        return std::count(b.begin(), b.end(), 1);
    };
    EXPECT_EQ(countBreaks(*polar("1/cos(θ)", 0, Pi)), 1);
    EXPECT_EQ(countBreaks(*polar("1+2cos(θ)", -Pi, Pi)), 0);
    EXPECT_EQ(countBreaks(*parametric("t", "1/t", -1, 2)), 1);
    EXPECT_EQ(countBreaks(*parametric("cos(t)", "sin(t)", 0, 2 * Pi)), 0);
}

} // namespace
