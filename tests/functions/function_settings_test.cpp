// The function-settings panel's rules: which dash pattern it opens with,
// which densities it refuses, and what applying does to each kind.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "orlix/color_gen.h"
#include "orlix/error.h"
#include "orlix/function_settings.h"
#include "orlix/implicit_function.h"
#include "orlix/rf_function.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

class FunctionSettingsTest : public orlix::testing::PlaneTest {};

std::string messageOf(double value, bool gridSize)
{
    try {
        FunctionSettings::isBadValue(value, gridSize);
    } catch (const Error& e) {
        return e.reason();
    }
    return "accepted";
}

} // namespace

TEST_F(FunctionSettingsTest, OpensWithTheFunctionsOwnDashPattern)
{
    const colorGen& gen = colorGen::sharedColorGen();
    struct Case {
        std::vector<float> dash;
        int dashN;
    };
    // Solid wraps round to the last pattern and forward to the first.
    const Case cases[] = {{{}, 0}, {{6, 5}, 1}, {{8, 3, 2, 3}, 2}, {{8, 3, 3, 3, 3, 3}, 3}, {{1}, 0}};
    auto f = yxFunction::functionFromString("x");
    f->fillStaticInfo();
    for (const Case& c : cases) {
        f->setDashPattern(c.dash.data(), static_cast<int>(c.dash.size()));
        FunctionSettings s;
        ASSERT_TRUE(s.loadFromFunc(f.get()));
        EXPECT_EQ(s.dashN(), c.dashN) << "dash size " << c.dash.size();
        // Applied unchanged, the pattern stays the function's own.
        s.apply(*f);
        EXPECT_EQ(f->dashPatternSize(), gen.dashSizes(c.dashN));
    }
    FunctionSettings none;
    EXPECT_FALSE(none.loadFromFunc(nullptr));
    // Four steps go round the table once.
    FunctionSettings s;
    s.loadFromFunc(f.get());
    const int first = s.dashN();
    for (int i = 0; i < s.maxDashN(); ++i)
        s.nextStandardDash();
    EXPECT_EQ(s.dashN(), first);
}

TEST_F(FunctionSettingsTest, RefusesDensitiesOutsideTheLimits)
{
    struct Case {
        double value;
        bool gridSize;
        const char* message;
    };
    const Case cases[] = {
        {99, false, "Number of points can't be less than 100!"},
        {2001, false, "Number of points can't be greater than 2000!"},
        {150.5, false, "Number of points must be integer!"},
        {24, true, "Number of points can't be less than 25!"},
        {151, true, "Number of points can't be greater than 150!"},
        {NAN, false, "Number of points must be integer!"},
        {INFINITY, true, "Number of points must be integer!"},
        {-1e300, false, "Number of points can't be less than 100!"},
        {100, false, "accepted"},
        {2000, false, "accepted"},
        {25, true, "accepted"},
        {150, true, "accepted"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(messageOf(c.value, c.gridSize), c.message) << c.value << (c.gridSize ? " grid" : "");

    // A refused value leaves the panel's density as it was.
    auto f = yxFunction::functionFromString("x");
    f->setNumOfPoints(400);
    FunctionSettings s;
    s.loadFromFunc(f.get());
    EXPECT_THROW(s.setDensity(99), Error);
    EXPECT_THROW(s.setDensity(NAN), Error);
    EXPECT_EQ(s.density(), 400);
}

TEST_F(FunctionSettingsTest, ApplyingGivesColourDashAndDensity)
{
    const colorGen& gen = colorGen::sharedColorGen();
    // y(x): follows the view again.
    auto yx = attached(yxFunction::functionFromString("x^2"));
    yx->setColorWithR(0, 0, 0, 0.5f);
    yx->setNumOfPoints(301);
    yx->setMinVar(-1, 1);
    FunctionSettings s;
    s.loadFromFunc(yx.get());
    s.setColor(0.25f, 0.5f, 2.0f); // beyond 1 is 1
    s.nextStandardDash();
    s.setDensity(800);
    s.apply(*yx);
    const Color c = yx->color();
    EXPECT_EQ(c.r, 0.25f);
    EXPECT_EQ(c.g, 0.5f);
    EXPECT_EQ(c.b, 1.0f);
    EXPECT_EQ(c.a, 0.5f); // the function's own alpha
    EXPECT_EQ(yx->dashPatternSize(), gen.dashSizes(1));
    EXPECT_EQ(yx->chosenPointCount(), 800);
    EXPECT_NE(yx->varMin(), -1); // sampled over the view, not over [-1, 1]
    EXPECT_LT(yx->varMin(), -14);

    // r(θ): its own range, sampled anew at the new density.
    auto rf = rfFunction::functionFromString("1");
    rf->fillStaticInfo();
    rf->setMinVar(0, 1);
    s.loadFromFunc(rf.get());
    EXPECT_EQ(s.density(), rfFunction::defaultNumOfPoints);
    s.setDensity(1000);
    s.apply(*rf);
    EXPECT_EQ(rf->varMin(), 0);
    EXPECT_EQ(rf->varMax(), 1);
    EXPECT_EQ(rf->chosenPointCount(), 1000);

    // g(x,y)=0: the density is the grid size; the default one shows as 60.
    auto i = attached(iFunction::functionFromString("x^2+y^2-4"));
    s.loadFromFunc(i.get());
    EXPECT_TRUE(s.densityIsGridSize());
    EXPECT_EQ(s.density(), iFunction::defaultGridSize);
    s.setDensity(120);
    s.apply(*i);
    EXPECT_EQ(i->n(), 120);
    EXPECT_GT(i->pointsNum(), 0);

    // A density meant for the other kind reaches no function: the grid
    // size 50 is too few points for a y(x) curve, which stays as it was.
    i->setN(50);
    s.loadFromFunc(i.get());
    const Color before = yx->color();
    EXPECT_THROW(s.apply(*yx), Error);
    EXPECT_EQ(yx->chosenPointCount(), 800);
    EXPECT_EQ(yx->color().r, before.r);
    EXPECT_EQ(yx->dashPatternSize(), gen.dashSizes(1));
}
