#include "orlix/mouse_fingers.h"

#include <gtest/gtest.h>

#include <cmath>

#include "view_fakes.h"

using namespace orlix;
using namespace plottest;

namespace {

using Button = MouseFingers::Button;
using Outcome = MouseFingers::Outcome;

class MouseFingersTest : public ViewTest {
  protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        launch();
        view.setCurFunc(addYx("x^2", "1"));
    }
    bool hasRange() const { return view.traceRange().has_value(); }
};

} // namespace

// What a press, a move to `to` and a release do, by button, Shift and mode:
// the primary button pans or traces as a finger; the secondary one (or
// Shift in trace mode) drags a range from the press to the pointer, or asks
// for the menu when it does not move farther than a click.
TEST_F(MouseFingersTest, ButtonsAreAFingerARangeOrTheMenu)
{
    struct Case {
        const char* name;
        bool trace;
        Button button;
        bool shift;
        float fromX, toX;
        Outcome outcome;
        bool range;   // a range from fromX to toX, one step for the history
        bool panned;  // the view followed the pointer
        bool clicked; // the trace point went to toX
    };
    const Case cases[] = {
        {"left drag moves the plane", false, Button::primary, false, dx(0), dx(1), Outcome::gestureEnded, false, true,
         false},
        {"right drag in trace mode is a range", true, Button::secondary, false, dx(-1), dx(2), Outcome::gestureEnded,
         true, false, false},
        {"Shift+drag in trace mode is a range", true, Button::primary, true, dx(2), dx(-1), Outcome::gestureEnded, true,
         false, false},
        {"right drag in move mode does nothing", false, Button::secondary, false, dx(0), dx(1), Outcome::none, false,
         false, false},
        {"a right click asks for the menu", true, Button::secondary, false, dx(0), dx(0) + 3, Outcome::menu, false,
         false, false},
        {"a Shift+click traces like a click", true, Button::primary, true, dx(1), dx(1) + 3, Outcome::none, false,
         false, true},
        {"the middle button does nothing", false, Button::other, false, dx(0), dx(1), Outcome::none, false, false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        view.setFState(c.trace ? PlotMode::Trace : PlotMode::Move);
        const double centre = view.viewState().center().x;
        const int steps = controller.rangeSteps;
        MouseFingers mouse(view);
        mouse.press(c.button, c.shift, PointF{c.fromX, dy(1)}, 0);
        for (int k = 1; k <= 4; ++k)
            mouse.move(PointF{c.fromX + (c.toX - c.fromX) * k / 4, dy(1)}, 0.01 * k);
        EXPECT_EQ(mouse.release(c.button, PointF{c.toX, dy(1)}, 0.05), c.outcome);
        EXPECT_FALSE(mouse.active());
        EXPECT_EQ(view.curTouchNumber(), 0);
        EXPECT_EQ(hasRange(), c.range);
        EXPECT_EQ(controller.rangeSteps - steps, c.range ? 1 : 0);
        if (c.range) {
            EXPECT_NEAR(view.traceRange()->a, -1, 1e-6);
            EXPECT_NEAR(view.traceRange()->b, 2, 1e-6);
        }
        EXPECT_EQ(view.viewState().center().x != centre, c.panned);
        if (c.clicked) {
            EXPECT_NEAR(view.tracePoint()->info().variable, 1.1, 1e-6);
        }
    }
}

// Two fingers of a touch screen come as every finger in each event, through
// handleTouches: the range they leave is a step for the history, once, as
// the mouse's is.
TEST_F(MouseFingersTest, ARangeOfTouchScreenFingersIsOneStep)
{
    view.setFState(PlotMode::Trace);
    view.handleTouches({touch(1, dx(-1), dy(1), kTouchBegan)});
    view.handleTouches({touch(1, dx(-1), dy(1), kTouchStationary), touch(2, dx(2), dy(1), kTouchBegan)});
    view.handleTouches({touch(1, dx(-1), dy(1), kTouchStationary), touch(2, dx(1), dy(1), kTouchMoved)});
    EXPECT_EQ(controller.rangeSteps, 0) << "not while a finger is down";
    view.handleTouches({touch(1, dx(-1), dy(1), kTouchEnded), touch(2, dx(1), dy(1), kTouchStationary)});
    view.handleTouches({touch(2, dx(1), dy(1), kTouchEnded)});
    EXPECT_EQ(controller.rangeSteps, 1);
    ASSERT_TRUE(hasRange());
    EXPECT_NEAR(view.traceRange()->b, 1, 1e-6);
    // Both fingers down and up in one event each, as some screens report.
    view.handleTouches({touch(3, dx(0), dy(1), kTouchBegan), touch(4, dx(2), dy(1), kTouchBegan)});
    view.handleTouches({touch(3, dx(0), dy(1), kTouchEnded), touch(4, dx(2), dy(1), kTouchEnded)});
    EXPECT_EQ(controller.rangeSteps, 2);
}
