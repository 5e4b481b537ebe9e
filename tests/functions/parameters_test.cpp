// The parameters a, b and c as the document's values: the curves of every
// kind, their marks and their numbers follow a new value at once.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/function_history.h"
#include "orlix/implicit_function.h"
#include "orlix/rf_function.h"
#include "orlix/t_function.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

class ParametersTest : public orlix::testing::PlaneTest {
  protected:
    void TearDown() override
    {
        // The engine's cells are shared by every model of the thread.
        CurveModel fresh;
        fresh.applyParameters();
        PlaneTest::TearDown();
    }

    template <class F> std::shared_ptr<F> registered(std::shared_ptr<F> f, const std::string& id)
    {
        model.setFunction(f, id);
        f->setNumOfPoints(f->chosenPointCount());
        f->updatePoints();
        return f;
    }

    // The places of the root marks after a fresh search, sorted.
    static std::vector<myPoint> roots(Function& f)
    {
        f.info().clear();
        f.findRoots();
        std::vector<myPoint> r;
        for (const auto& m : f.info())
            if (m->type() == "root")
                r.push_back(m->info().point);
        std::sort(r.begin(), r.end(), [](myPoint p, myPoint q) { return p.x != q.x ? p.x < q.x : p.y < q.y; });
        return r;
    }
};

// a·x² − 1 has its roots at ±1/√a and none for a ≤ 0; x² + y² = a crosses
// the axes at ±√a. Each value is set on the model, the curves sampled anew.
TEST_F(ParametersTest, MarksFollowTheValue)
{
    auto parabola = registered(yxFunction::functionFromString("a*x^2-1"), "1");
    auto circle = registered(iFunction::functionFromString("x^2+y^2-a"), "2");
    for (const double a : {4.0, 1.0, 0.25, 9.0, -1.0}) {
        SCOPED_TRACE("a = " + std::to_string(a));
        ASSERT_TRUE(model.setParameter(Parameter::a, a));
        const auto onParabola = roots(*parabola);
        const auto onCircle = roots(*circle);
        if (a <= 0) {
            EXPECT_TRUE(onParabola.empty());
            EXPECT_TRUE(onCircle.empty());
            continue;
        }
        ASSERT_EQ(onParabola.size(), 2u);
        EXPECT_NEAR(onParabola[0].x, -1 / std::sqrt(a), 1e-9);
        EXPECT_NEAR(onParabola[1].x, 1 / std::sqrt(a), 1e-9);
        ASSERT_EQ(onCircle.size(), 4u);
        for (const myPoint p : onCircle)
            EXPECT_NEAR(std::hypot(p.x, p.y), std::sqrt(a), 1e-9);
    }
}

// The values at a point and over a range of the other kinds, and the
// derivative's, read the parameters as they are now.
TEST_F(ParametersTest, PointsAndRangesOfEveryKind)
{
    auto line = registered(yxFunction::functionFromString("a*x+b"), "1");
    auto polar = registered(rfFunction::functionFromString("c"), "2");
    auto ellipse = registered(tFunction::functionFromStringForX("a*cos(t)", "b*sin(t)"), "3");
    model.setParameter(Parameter::a, 3);
    model.setParameter(Parameter::b, 2);
    model.setParameter(Parameter::c, 1.5);
    EXPECT_NEAR(line->pointAt(1).value, 5, 1e-12);
    EXPECT_NEAR(line->pointAt(1).info->at("dy/dx"), 3, 1e-12);
    EXPECT_NEAR(line->rangeInfo(0, 2)->at("s"), 10, 1e-9); // ∫₀² 3x + 2 dx, all above the axis
    EXPECT_NEAR(polar->pointAt(0).point.x, 1.5, 1e-12);
    EXPECT_NEAR(ellipse->pointAt(0).point.x, 3, 1e-12);
    EXPECT_NEAR(ellipse->pointAt(std::acos(0.0)).point.y, 2, 1e-12);
    // The samples follow too, not only the values asked for.
    const auto& samples = line->points();
    ASSERT_FALSE(samples.empty());
    EXPECT_NEAR(samples[samples.size() / 2].y, 3 * samples[samples.size() / 2].x + 2, 1e-9);
}

// What reads a parameter, and a value that is no number.
TEST_F(ParametersTest, InUseAndRefusedValues)
{
    auto f = registered(yxFunction::functionFromString("b*sin(x)"), "1");
    EXPECT_FALSE(model.parameterInUse(Parameter::a));
    EXPECT_TRUE(model.parameterInUse(Parameter::b));
    ASSERT_TRUE(model.setParameter(Parameter::b, 2));
    const std::vector<myPoint> before(f->points().begin(), f->points().end());
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(model.setParameter(Parameter::b, bad));
        EXPECT_EQ(model.parameter(Parameter::b), 2);
    }
    f->updatePoints();
    ASSERT_EQ(f->points().size(), before.size());
    for (std::size_t k = 0; k < before.size(); ++k)
        EXPECT_EQ(f->points()[k].y, before[k].y);
}

// A value beyond the bounds widens them; bounds that are no range are
// refused and change nothing.
TEST_F(ParametersTest, Bounds)
{
    EXPECT_EQ(model.parameterBounds(Parameter::c), (ParameterBounds{-10, 10, 0.1}));
    ASSERT_TRUE(model.setParameter(Parameter::c, 25));
    EXPECT_EQ(model.parameterBounds(Parameter::c), (ParameterBounds{-10, 25, 0.1}));
    ASSERT_TRUE(model.setParameterBounds(Parameter::c, {0, 5, 0.5}));
    EXPECT_EQ(model.parameterBounds(Parameter::c), (ParameterBounds{0, 25, 0.5})); // still holds 25
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const ParameterBounds bad : {ParameterBounds{3, 1, 0.1}, ParameterBounds{1, 1, 0.1}, ParameterBounds{nan, 1, 0.1},
                                      ParameterBounds{0, 1, 0}, ParameterBounds{0, 1, -1}})
        EXPECT_FALSE(model.setParameterBounds(Parameter::c, bad));
    EXPECT_EQ(model.parameterBounds(Parameter::c), (ParameterBounds{0, 25, 0.5}));
}

// The stored form comes back as it was, into a model whose curves then read
// it; a damaged or missing entry reads as the default.
TEST_F(ParametersTest, StoredAndRestored)
{
    model.setParameter(Parameter::a, 4);
    model.setParameterBounds(Parameter::a, {-1, 8, 0.25});
    model.setParameter(Parameter::b, -3.5);
    const CurveModel::json stored = model.parametersToDict();

    CurveModel other;
    other.setMinX(-15, 15);
    other.setMinY(-15, 15);
    auto f = yxFunction::functionFromString("a*x+b");
    other.setFunction(f, "1");
    f->setNumOfPoints(f->chosenPointCount());
    f->updatePoints();
    other.loadParametersFromDict(CurveModel::json::parse(stored.dump()));
    EXPECT_EQ(other.parametersToDict(), stored);
    EXPECT_NEAR(f->points()[0].y, 4 * f->points()[0].x - 3.5, 1e-9);

    other.loadParametersFromDict(CurveModel::json::parse(
        R"({"a": {"value": "x", "min": 5, "max": 1}, "b": 3, "c": {"value": 2, "step": -1}})"));
    EXPECT_EQ(other.parameter(Parameter::a), 0);
    EXPECT_EQ(other.parameterBounds(Parameter::a), ParameterBounds{});
    EXPECT_EQ(other.parameter(Parameter::b), 0);
    EXPECT_EQ(other.parameter(Parameter::c), 2);
    EXPECT_EQ(other.parameterBounds(Parameter::c), ParameterBounds{});
    other.loadParametersFromDict(CurveModel::json());
    EXPECT_EQ(other.parametersToDict(), CurveModel().parametersToDict());
}

// A new value is one step of the history: undo puts the old one back and
// the curve follows.
TEST_F(ParametersTest, UndoAndRedo)
{
    auto f = registered(yxFunction::functionFromString("a*x^2-1"), "1");
    FunctionHistory history;
    model.setParameter(Parameter::a, 1);
    const RegisterSnapshot before = RegisterSnapshot::capture(model, f.get());
    model.setParameter(Parameter::a, 4);
    ASSERT_TRUE(history.record(FunctionChange::parameter, before, RegisterSnapshot::capture(model, f.get())));
    // Setting the same value again is no step.
    EXPECT_FALSE(history.record(FunctionChange::parameter, RegisterSnapshot::capture(model, f.get()),
                                RegisterSnapshot::capture(model, f.get())));
    history.undo()->restore(model);
    EXPECT_EQ(model.parameter(Parameter::a), 1);
    EXPECT_NEAR(roots(*f).back().x, 1, 1e-9);
    history.redo()->restore(model);
    EXPECT_EQ(model.parameter(Parameter::a), 4);
    EXPECT_NEAR(roots(*f).back().x, 0.5, 1e-9);
}

} // namespace
