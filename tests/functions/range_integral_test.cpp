// The range quantities against their exact values, to the seven digits the
// information panel shows, for every kind that has them.
#include <cmath>
#include <limits>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "orlix/format.h"
#include "orlix/function_kind.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

constexpr double Pi = 3.141592653589793;
constexpr double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

class RangeIntegralTest : public orlix::testing::PlaneTest {};

struct RangeCase {
    const char* kind;
    const char* formula;
    double a, b;
    std::map<std::string, double> expected; // NaN: "undefined"
};

void PrintTo(const RangeCase& c, std::ostream* os)
{
    *os << c.kind << ":" << c.formula << " on " << c.a << ", " << c.b;
}

TEST_F(RangeIntegralTest, QuantitiesAreRightInEveryDigitShown)
{
    const RangeCase cases[] = {
        // A cone: y = x turned about the x axis.
        {"yx", "x", 0, 1, {{"s", 0.5}, {"v", Pi / 3}, {"l", std::sqrt(2.0)}, {"p", Pi * std::sqrt(2.0)}}},
        {"yx", "x^2", 0, 1, {{"s", 1.0 / 3}, {"v", Pi / 5}}},
        {"yx", "x^2-2", -1, 1, {{"i", -10.0 / 3}, {"s", 10.0 / 3}}},
        {"yx",
         "x^3-2x+1",
         2,
         -1,
         {{"i", 3.75}, {"s", 3.795084971874737}, {"v", 26.79329734561581}, {"l", 8.363744826292121}}},
        // The arc is steep at both ends, where the samples are not taken.
        {"yx", "sqrt(1-x^2)", -1, 1, {{"s", Pi / 2}, {"l", Pi}, {"v", 4 * Pi / 3}, {"p", 4 * Pi}}},
        {"yx", "sin(x)", 0, 2 * Pi, {{"i", 0}, {"s", 4}, {"v", Pi * Pi}, {"l", 7.640395578055424}}},
        // An odd function over a symmetric range has a ∫ of 0 and an area.
        {"yx", "x", -1, 1, {{"i", 0}, {"s", 1}}},
        {"xy", "y^2", 0, 1, {{"s", 1.0 / 3}, {"v", Pi / 5}}},
        // A sphere by a half circle, run either way.
        {"t", "cos(t);sin(t)", 0, Pi, {{"s", -Pi / 2}, {"v", 4 * Pi / 3}, {"l", Pi}, {"p", 4 * Pi}}},
        {"t", "-cos(t);sin(t)", 0, Pi, {{"s", Pi / 2}, {"v", 4 * Pi / 3}, {"l", Pi}, {"p", 4 * Pi}}},
        {"t", "cos(t);-sin(t)", 0, Pi, {{"v", 4 * Pi / 3}, {"p", 4 * Pi}}},
        // The polar circle's area, and r = θ against high-precision values.
        {"rf", "1", 0, 2 * Pi, {{"is", 2 * Pi}, {"s", Pi}, {"l", 2 * Pi}}},
        {"rf",
         "f",
         1,
         3,
         {{"is", 4}, {"s", 13.0 / 3}, {"v", 25.45486119816577}, {"l", 4.504846145172283}, {"p", 39.33187172382101}}},
        // Divergent: a size is infinite; a ∫ across a pole has no value.
        {"yx", "1/x", 0, 1, {{"s", Inf}}},
        {"yx", "1/x", -1, 2, {{"i", NaN}, {"s", Inf}}},
        {"yx", "1/x^2", -1, 2, {{"s", Inf}}},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c));
        Function::Ptr f = findKindByShortName(c.kind)->fromText(c.formula);
        ASSERT_TRUE(f);
        const auto r = f->rangeInfo(c.a, c.b);
        ASSERT_TRUE(r);
        for (const auto& [key, want] : c.expected) {
            ASSERT_TRUE(r->count(key)) << key;
            const double got = r->at(key);
            if (std::isnan(want) || std::isinf(want)) {
                EXPECT_EQ(tostr(got), tostr(want)) << key;
                continue;
            }
            // Half a unit of the seventh significant digit.
            EXPECT_NEAR(got, want, want == 0 ? 1e-12 : 5e-8 * std::fabs(want)) << key;
            EXPECT_EQ(tostr(got), tostr(want)) << key;
        }
    }
}

TEST_F(RangeIntegralTest, FewerPointsStillGiveAnAnswer)
{
    // The integration setting bounds the work; the answer stays a number.
    Function::Ptr f = attached(findKindByShortName("yx")->fromText("sin(40x)*x"));
    for (int halvings : {1, 4, 10, 20}) {
        model.setMaxIntegral(halvings);
        const auto r = f->rangeInfo(0, 10);
        ASSERT_TRUE(r) << halvings;
        EXPECT_TRUE(std::isfinite(r->at("s"))) << halvings;
    }
    EXPECT_NEAR(f->rangeInfo(0, 10)->at("i"), (std::sin(400.0) - 400 * std::cos(400.0)) / 1600, 1e-9);
    model.setMaxIntegral(10);
}

} // namespace
