// The sliders of the parameters: the values a position picks, typed values
// and their refusals, and which changes make one step of the history.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "orlix/error.h"
#include "orlix/parameter_strip.h"
#include "orlix/yx_function.h"

using namespace orlix;

namespace {

class ParameterStripTest : public ::testing::Test, public ParameterHost {
  protected:
    CurveModel model;
    ParameterStrip strip{*this};
    int begun = 0, moved = 0, ended = 0;

    CurveModel& parameterModel() override { return model; }
    void parameterChangeBegins() override { ++begun; }
    void parameterMoved() override { ++moved; }
    void parameterChangeEnds() override { ++ended; }

    void SetUp() override
    {
        model.setMinX(-5, 5);
        model.setMinY(-5, 5);
        model.setFunction(yxFunction::functionFromString("a*x^2+c"), "1");
    }
    void TearDown() override
    {
        // The engine's cells are shared by every model of the thread.
        CurveModel fresh;
        fresh.applyParameters();
    }
    void setBounds(Parameter p, double min, double max, double step)
    {
        ASSERT_TRUE(model.setParameterBounds(p, {min, max, step}));
    }
};

TEST_F(ParameterStripTest, RowsAreTheParametersTheFormulasRead)
{
    EXPECT_EQ(strip.rows(), (std::vector<Parameter>{Parameter::a, Parameter::c}));
    model.setFunction(yxFunction::functionFromString("b*x"), "1");
    EXPECT_EQ(strip.rows(), (std::vector<Parameter>{Parameter::b}));
    model.deleteAll();
    EXPECT_TRUE(strip.rows().empty());
}

// A position picks the minimum and whole steps from it, clamped to the
// bounds and without the binary fractions the steps add up to.
TEST_F(ParameterStripTest, APositionPicksAWholeStep)
{
    struct Case {
        double min, max, step, position;
        const char* text; // as the value field shows it
        double value;
    } const cases[] = {
        {-10, 10, 0.1, 0.615, "2.3", 2.3},  {-10, 10, 0.1, 0.5, "0", 0},      {-10, 10, 0.1, 0.0, "-10", -10},
        {-10, 10, 0.1, 1.2, "10", 10},      {0, 1, 0.3, 1.0, "1", 1},         {0, 1, 0.3, 0.93, "0.9", 0.9},
        {-1, 1, 0.25, 0.6, "0.25", 0.25},   {1, 2, 1e-4, 0.12345, "1.1235", 1.1235},
        {0, 1000, 5, 0.5031, "505", 505},   {-3.14159, 3.14159, 0.5, 0.5, "-0.14159", -0.14159},
    };
    for (const Case& c : cases) {
        model.setParameter(Parameter::a, c.min); // inside the new bounds
        setBounds(Parameter::a, c.min, c.max, c.step);
        const double v = strip.valueAt(Parameter::a, c.position);
        EXPECT_EQ(v, c.value) << c.min << " " << c.max << " " << c.step << " at " << c.position;
        strip.setField(Parameter::a, ParameterField::value, v);
        EXPECT_EQ(strip.fieldText(Parameter::a, ParameterField::value), c.text);
    }
}

TEST_F(ParameterStripTest, RefusedFieldsChangeNothing)
{
    setBounds(Parameter::a, -2, 2, 0.5);
    strip.setField(Parameter::a, ParameterField::value, 1);
    const int begunBefore = begun;
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Case {
        ParameterField field;
        double typed;
        const char* message;
    } const cases[] = {
        {ParameterField::value, nan, "Value is NAN!"},
        {ParameterField::value, -inf, "Infinity value!"},
        {ParameterField::min, 2, "MinVal shouldn't be greater than MaxVal!"},
        {ParameterField::min, 7, "MinVal shouldn't be greater than MaxVal!"},
        {ParameterField::max, -2, "MaxVal shouldn't be less than MinVal!"},
        {ParameterField::max, inf, "Infinity value!"},
        {ParameterField::step, 0, "Step should be greater than 0!"},
        {ParameterField::step, -0.1, "Step should be greater than 0!"},
        {ParameterField::step, nan, "Value is NAN!"},
    };
    for (const Case& c : cases) {
        try {
            strip.setField(Parameter::a, c.field, c.typed);
            ADD_FAILURE() << "accepted " << c.typed;
        } catch (const Error& e) {
            EXPECT_EQ(e.reason(), c.message) << c.typed;
        }
        EXPECT_EQ(strip.value(Parameter::a), 1);
        EXPECT_EQ(strip.bounds(Parameter::a), (ParameterBounds{-2, 2, 0.5}));
    }
    EXPECT_EQ(begun, begunBefore);
}

// A typed value is taken exactly and widens the bounds; a typed bound holds
// and the value moves inside it.
TEST_F(ParameterStripTest, TypedValuesAndBounds)
{
    setBounds(Parameter::a, -10, 10, 0.1);
    strip.setField(Parameter::a, ParameterField::value, 12.345678);
    EXPECT_EQ(strip.value(Parameter::a), 12.345678);
    EXPECT_EQ(strip.bounds(Parameter::a), (ParameterBounds{-10, 12.345678, 0.1}));
    strip.setField(Parameter::a, ParameterField::max, 5);
    EXPECT_EQ(strip.value(Parameter::a), 5);
    EXPECT_EQ(strip.bounds(Parameter::a), (ParameterBounds{-10, 5, 0.1}));
    strip.setField(Parameter::a, ParameterField::min, 2);
    EXPECT_EQ(strip.value(Parameter::a), 5);
    EXPECT_EQ(strip.position(Parameter::a), 1);
    strip.setField(Parameter::a, ParameterField::step, 0.5);
    EXPECT_EQ(strip.bounds(Parameter::a), (ParameterBounds{2, 5, 0.5}));
    // Every typed change was a change of its own.
    EXPECT_EQ(begun, 4);
    EXPECT_EQ(ended, 4);
}

// A drag from press to release is one change, however many moves; a move
// that picks the value already set tells nobody.
TEST_F(ParameterStripTest, ADragIsOneChange)
{
    setBounds(Parameter::a, 0, 4, 1);
    strip.press(Parameter::a);
    for (double at : {0.1, 0.26, 0.3, 0.5, 0.74, 1.0})
        strip.dragTo(at);
    EXPECT_TRUE(strip.dragging());
    EXPECT_EQ(ended, 0);
    strip.release();
    EXPECT_EQ(strip.value(Parameter::a), 4);
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(moved, 4); // 0 → 1 → 2 → 3 → 4
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(strip.dragging());
}

// Play runs the value up to the maximum, back down to the minimum and up
// again, one sweep in sweepSeconds; from start to stop it is one change.
TEST_F(ParameterStripTest, PlayGoesBackAndForthBetweenTheBounds)
{
    setBounds(Parameter::c, 0, 1, 0.01);
    strip.setField(Parameter::c, ParameterField::value, 0.5);
    begun = ended = 0;
    strip.togglePlay(Parameter::c);
    const double sweep = ParameterStrip::sweepSeconds;
    struct Step {
        double seconds, value;
    } const steps[] = {{sweep / 4, 0.75}, {sweep / 2, 0.75}, {sweep / 2, 0.25}, {sweep * 2, 0.25}, {sweep, 0.75}};
    for (const Step& s : steps) {
        strip.advance(s.seconds);
        EXPECT_NEAR(strip.value(Parameter::c), s.value, 1e-12) << s.seconds;
    }
    EXPECT_EQ(ended, 0);
    // A finger on the slider stops the play and takes over in the same change.
    strip.press(Parameter::c);
    EXPECT_FALSE(strip.playing(Parameter::c));
    strip.dragTo(0);
    strip.release();
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(ended, 1);
    // From the maximum, play heads down.
    strip.setField(Parameter::c, ParameterField::value, 1);
    strip.togglePlay(Parameter::c);
    strip.advance(sweep / 10);
    EXPECT_NEAR(strip.value(Parameter::c), 0.9, 1e-12);
    // Play stops when no formula reads the parameter any more.
    model.setFunction(yxFunction::functionFromString("a*x"), "1");
    strip.advance(sweep / 10);
    EXPECT_FALSE(strip.anyPlaying());
    EXPECT_EQ(ended, 3);
}

} // namespace
