#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "view_fakes.h"

using namespace orlix;
using namespace plottest;
using nlohmann::json;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class PlotTouch : public ViewTest {
  protected:
    json stored() const
    {
        return json{{"center.x", 100.0},    {"center.y", 50.0},     {"sx", 10.0},
                    {"sy", 10.0},           {"fState", 1},          {"showHideUI", 0},
                    {"curFuncID", "2"},     {"showTangent", false}, {"showOsculatingCircle", false},
                    {"isLeftAligned", true}};
    }
    void expectDefaultPosition()
    {
        EXPECT_DOUBLE_EQ(view.viewState().center().x, 160);
        EXPECT_DOUBLE_EQ(view.viewState().liveCenter().y, 240);
        for (double s :
             {view.viewState().scale().x, view.viewState().scale().y, view.viewState().liveScale().x,
              view.viewState().liveScale().y, view.viewState().layerScale().x, view.viewState().layerScale().y})
            EXPECT_EQ(s, 30);
    }
    // The view still works: a window to sample, transforms of numbers and
    // a frame of numbers only.
    void expectUsable()
    {
        EXPECT_TRUE(view.samplingWindow().valid());
        const PointF d = view.myPointToDevice(myPoint{1, 1});
        EXPECT_TRUE(std::isfinite(d.x) && std::isfinite(d.y));
        frame();
        EXPECT_TRUE(allFinite(canvas.ops()));
        EXPECT_FALSE(opsOf(canvas.ops(), "drawText").empty());
    }
    // Two fingers put down and lifted: the range between device xs a and b.
    void range(float a, float b)
    {
        began({touch(1, a, 50, kTouchBegan), touch(2, b, 50, kTouchBegan)});
        ended({touch(1, a, 50, kTouchEnded), touch(2, b, 50, kTouchEnded)});
    }
};

} // namespace

// ---- launch and stored settings ---------------------------------------------------------

TEST_F(PlotTouch, LaunchWithoutSettings)
{
    launch();
    expectDefaultPosition();
    EXPECT_EQ(view.showHideUI(), BarsGesture::ThreeFingers);
    EXPECT_TRUE(view.showTangent());
    EXPECT_TRUE(view.showOsculatingCircle());
    EXPECT_FALSE(view.isLeftAligned());
    EXPECT_EQ(view.mode(), PlotMode::Move);
    EXPECT_TRUE(panel.hidden);
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(view.curFunc(), nullptr);
}

TEST_F(PlotTouch, LaunchWithSettingsStartsInMoveMode)
{
    addYx("x", "1");
    auto f2 = addYx("x^2", "2");
    store.stored = stored();
    launch();
    EXPECT_FALSE(store.stored); // taken out of the store
    EXPECT_DOUBLE_EQ(view.viewState().center().x, 100);
    EXPECT_DOUBLE_EQ(view.viewState().liveCenter().y, 50);
    EXPECT_EQ(view.viewState().scale().x, 10);
    EXPECT_EQ(view.viewState().layerScale().y, 10);
    EXPECT_EQ(view.mode(), PlotMode::Move); // a stored trace mode is not restored
    EXPECT_EQ(view.graphicState(), GraphicState::Direct);
    EXPECT_EQ(view.showHideUI(), BarsGesture::DoubleTap);
    EXPECT_FALSE(view.showTangent());
    EXPECT_FALSE(view.showOsculatingCircle());
    EXPECT_TRUE(view.isLeftAligned());
    EXPECT_EQ(view.curFunc(), f2);
    EXPECT_EQ(f2->lineWidth(), 1);
    EXPECT_EQ(controller.func, f2.get());
    EXPECT_EQ(panel.func, f2.get());
}

TEST_F(PlotTouch, ResetPositionOnLaunchIgnoresThePositionOnce)
{
    addYx("x", "2");
    store.stored = stored();
    store.reset = true;
    launch();
    expectDefaultPosition();
    EXPECT_FALSE(store.reset);
    // The options still apply.
    EXPECT_FALSE(view.showTangent());
    EXPECT_TRUE(view.isLeftAligned());
    EXPECT_EQ(view.showHideUI(), BarsGesture::DoubleTap);
    // Once: the next settings are read whole.
    view.applySettings(stored());
    EXPECT_DOUBLE_EQ(view.viewState().center().x, 100);
}

TEST_F(PlotTouch, UnknownCurrentFunctionFallsBackToTheFirst)
{
    auto f1 = addYx("x", "1");
    addYx("x^2", "2");
    json d = stored();
    d["curFuncID"] = "nope";
    store.stored = d;
    launch();
    EXPECT_EQ(view.curFunc(), f1);
}

TEST_F(PlotTouch, SettingsRoundTrip)
{
    launch();
    auto f = addYx("x", "a");
    view.setCurFunc(f);
    view.setShowTangent(false);
    view.setShowHideUI(BarsGesture::TripleTap);
    view.setIsLeftAligned(true);
    view.placeOrigin(myPoint{12.5, -7}, myPoint{42, 42});
    view.setFState(PlotMode::Trace);
    const json d = view.settings();
    EXPECT_EQ(f->lineWidth(), 1); // the highlight is taken back
    // The user point in the middle of the view.
    EXPECT_DOUBLE_EQ(d["view.x"], (160 - 12.5) / 42);
    EXPECT_DOUBLE_EQ(d["view.y"], (-7 - 240) / 42.0);
    EXPECT_EQ(d["sx"], 42);
    EXPECT_EQ(d["sy"], 42);
    EXPECT_EQ(d["fState"], 1);
    EXPECT_EQ(d["showHideUI"], 1);
    EXPECT_EQ(d["curFuncID"], "a");
    EXPECT_EQ(d["showTangent"], false);
    EXPECT_EQ(d["showOsculatingCircle"], true);
    EXPECT_EQ(d["isLeftAligned"], true);

    plotView other;
    other.setModel(&model);
    other.setFrame(RectF{0, 0, 320, 480});
    other.initialize();
    other.applySettings(d);
    EXPECT_DOUBLE_EQ(other.viewState().center().x, 12.5);
    EXPECT_EQ(other.viewState().liveScale().y, 42);
    EXPECT_EQ(other.curFunc(), f);
    EXPECT_FALSE(other.showTangent());

    // No current function: no "curFuncID".
    view.setCurFunc(nullptr);
    EXPECT_FALSE(view.settings().contains("curFuncID"));
}

TEST_F(PlotTouch, StoredPositionsThatWouldBreakTheViewAreRefused)
{
    struct Case {
        const char* name;
        const char* key;
        json value;
    };
    const Case cases[] = {
        {"sx NaN", "sx", kNaN},
        {"center.x infinite", "center.x", kInf},
        {"center.y -infinite", "center.y", -kInf},
        {"sy zero", "sy", 0.0},
        {"sx negative", "sx", -30.0},
        {"sx beyond the zoom limit", "sx", 1e300},
        {"sy below the zoom limit", "sy", 1e-300},
        {"sx a text", "sx", "30"},
        {"center.x missing", "center.x", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        json d = stored();
        if (c.value.is_null())
            d.erase(c.key);
        else
            d[c.key] = c.value;
        store.stored = d;
        launch();
        expectDefaultPosition();
        // The rest of the dictionary still applies.
        EXPECT_FALSE(view.showTangent());
        expectUsable();
    }
    // Not a dictionary at all: as if nothing was stored.
    store.stored = json::array({1, 2});
    launch();
    expectDefaultPosition();
    EXPECT_EQ(view.showHideUI(), BarsGesture::ThreeFingers);
}

// ---- move mode ---------------------------------------------------------------------------------

TEST_F(PlotTouch, PanSamplesAgainOnlyWhenTheFingerLifts)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    redraws = 0;
    began({touch(1, 100, 100, kTouchBegan, 0)});
    for (float x = 105; x <= 150; x += 5)
        moved({touch(1, x, 100, kTouchMoved)});
    EXPECT_EQ(redraws, 0);
    EXPECT_DOUBLE_EQ(view.viewState().liveCenter().x, 210);
    EXPECT_DOUBLE_EQ(view.viewState().center().x, 160);
    ended({touch(1, 150, 100, kTouchEnded, 1)});
    EXPECT_EQ(redraws, 1);
    EXPECT_DOUBLE_EQ(view.viewState().center().x, 210);
    EXPECT_DOUBLE_EQ(view.viewState().liveOffset().x, -320);
    EXPECT_EQ(view.curTouchNumber(), 0);
}

TEST_F(PlotTouch, PanBeyondTheLayerSamplesAgainWhileMoving)
{
    launch();
    redraws = 0;
    began({touch(1, 10, 100, kTouchBegan)});
    moved({touch(1, 300, 100, kTouchMoved)});
    EXPECT_EQ(redraws, 0); // 290 points: still covered
    moved({touch(1, 340, 100, kTouchMoved)});
    EXPECT_EQ(redraws, 1); // 330 points: the layer's edge shows
    EXPECT_DOUBLE_EQ(view.viewState().center().x, 490);
    EXPECT_DOUBLE_EQ(view.viewState().liveOffset().x, -320);
    // The pan goes on from the new place.
    moved({touch(1, 350, 100, kTouchMoved)});
    EXPECT_DOUBLE_EQ(view.viewState().liveCenter().x, 500);
    EXPECT_EQ(redraws, 1);
}

TEST_F(PlotTouch, PinchKeepsTheUserPointUnderTheFirstFinger)
{
    launch();
    began({touch(1, 100, 200, kTouchBegan), touch(2, 200, 200, kTouchBegan)});
    const myPoint under = view.myPointToUser(myPoint{100, 200});
    moved({touch(1, 90, 210, kTouchMoved), touch(2, 250, 210, kTouchMoved)}); // 1.6 times
    EXPECT_NEAR(view.viewState().liveScale().x, 48, 1e-9);
    EXPECT_EQ(view.viewState().liveScale().x, view.viewState().liveScale().y);
    const myPoint now = view.myPointToUser(myPoint{90, 210});
    EXPECT_NEAR(now.x, under.x, 1e-12);
    EXPECT_NEAR(now.y, under.y, 1e-12);
    // Beyond 1.7 the curves are sampled again at the new scale.
    redraws = 0;
    moved({touch(2, 300, 210, kTouchMoved)}); // 2.1 times
    EXPECT_EQ(redraws, 1);
    EXPECT_NEAR(view.viewState().layerScale().x, 63, 1e-9);
    EXPECT_EQ(view.viewState().scale().x, view.viewState().layerScale().x);
    ended({touch(1, 90, 210, kTouchEnded), touch(2, 300, 210, kTouchEnded)});
    EXPECT_NEAR(view.viewState().scale().x, 63, 1e-9);
    EXPECT_EQ(view.curTouchNumber(), 0);
}

TEST_F(PlotTouch, PinchStopsAtTheScaleLimits)
{
    struct Case {
        double start;
        float to; // second finger's x; the first stays at 100, the second starts at 200
        double limit;
    };
    launch();
    for (const Case c : {Case{1e7, 500, 2e7}, Case{3e6, 1000, 2e7}, Case{1e-7, 110, 5e-8}, Case{6e-8, 101, 5e-8}}) {
        SCOPED_TRACE(c.start);
        view.applySettings(json{{"center.x", 160.0}, {"center.y", 240.0}, {"sx", c.start}, {"sy", c.start}});
        began({touch(1, 100, 240, kTouchBegan), touch(2, 200, 240, kTouchBegan)});
        moved({touch(2, c.to, 240, kTouchMoved)});
        ended({touch(1, 100, 240, kTouchEnded), touch(2, c.to, 240, kTouchEnded)});
        EXPECT_EQ(view.viewState().scale().x, c.limit);
        EXPECT_EQ(view.viewState().scale().y, c.limit);
        expectUsable();
    }
}

TEST_F(PlotTouch, PinchFromOnePointLeavesTheViewAsItWas)
{
    launch();
    began({touch(1, 100, 100, kTouchBegan), touch(2, 100, 100, kTouchBegan)});
    moved({touch(2, 220, 300, kTouchMoved)});
    EXPECT_EQ(view.viewState().liveScale().x, 30);
    EXPECT_DOUBLE_EQ(view.viewState().liveCenter().x, 160);
    moved({touch(1, 120, 100, kTouchMoved)});
    ended({touch(1, 120, 100, kTouchEnded), touch(2, 220, 300, kTouchEnded)});
    EXPECT_EQ(view.viewState().scale().x, 30);
    EXPECT_EQ(view.viewState().scale().y, 30);
    expectUsable();
    // Fingers brought onto one point: the scale stops at its limit, finite.
    began({touch(3, 100, 100, kTouchBegan), touch(4, 200, 100, kTouchBegan)});
    moved({touch(4, 100, 100, kTouchMoved)});
    EXPECT_GT(view.viewState().liveScale().x, 0);
    ended({touch(3, 100, 100, kTouchEnded), touch(4, 100, 100, kTouchEnded)});
    EXPECT_EQ(view.viewState().scale().x, plotView::kMinScale);
    expectUsable();
}

TEST_F(PlotTouch, OneFingerLeftAfterAPinchPans)
{
    launch();
    began({touch(1, 100, 200, kTouchBegan), touch(2, 200, 200, kTouchBegan)});
    moved({touch(2, 220, 200, kTouchMoved)}); // 1.2 times
    ended({touch(2, 220, 200, kTouchEnded)});
    EXPECT_EQ(view.curTouchNumber(), 1);
    EXPECT_NEAR(view.viewState().scale().x, 36, 1e-9);
    const double cx = view.viewState().center().x;
    moved({touch(1, 130, 200, kTouchMoved)});
    EXPECT_NEAR(view.viewState().liveCenter().x, cx + 30, 1e-9);
    ended({touch(1, 130, 200, kTouchEnded, 5)});
    EXPECT_NEAR(view.viewState().center().x, cx + 30, 1e-9);
    EXPECT_EQ(view.viewState().layerScale().x, view.viewState().scale().x);
    EXPECT_EQ(view.curTouchNumber(), 0);
}

TEST_F(PlotTouch, FingersThatAreNotTrackedAreIgnored)
{
    launch();
    began({touch(1, 100, 100, kTouchBegan)});
    moved({touch(7, 300, 300, kTouchMoved)});
    EXPECT_DOUBLE_EQ(view.viewState().liveCenter().x, 160);
    ended({touch(7, 300, 300, kTouchEnded)});
    EXPECT_EQ(view.curTouchNumber(), 1);
}

// ---- taps --------------------------------------------------------------------------------------

TEST_F(PlotTouch, TapsCycleThroughMarksAtTheSameDistance)
{
    launch();
    auto f = addYx("x", "1");
    view.setCurFunc(f);
    auto mark = [&](float x, float y) {
        myPointInfo i;
        i.point = view.myPointToUser(myPoint{x, y});
        return specialPoint::pointWithInfo(i, "minmax");
    };
    // Squared distances 9, 9 and 400 from the tap at (100, 100).
    auto a = mark(103, 100), b = mark(100, 103), far = mark(120, 100);
    f->setInfo({far, a, b});
    frame(); // the marks learn where they are drawn
    std::vector<std::shared_ptr<specialPoint>> picked;
    for (int i = 0; i < 4; ++i) {
        began({touch(1, 100, 100, kTouchBegan, 10.0 * i)});
        ended({touch(1, 100, 100, kTouchEnded, 10.0 * i + 0.1)});
        picked.push_back(view.selectedPoint());
    }
    EXPECT_TRUE(picked[0] == a || picked[0] == b);
    EXPECT_NE(picked[1], picked[0]);
    EXPECT_TRUE(picked[1] == a || picked[1] == b);
    EXPECT_EQ(picked[2], picked[0]);
    EXPECT_EQ(picked[3], picked[1]);
    // A tap on empty space selects nothing.
    began({touch(1, 250, 400, kTouchBegan, 100)});
    ended({touch(1, 250, 400, kTouchEnded, 100.1)});
    EXPECT_EQ(view.selectedPoint(), nullptr);
    // In trace mode the trace point takes the mark's place.
    view.setFState(PlotMode::Trace);
    frame();
    began({touch(1, 100, 100, kTouchBegan, 200)});
    ended({touch(1, 100, 100, kTouchEnded, 200.1)});
    EXPECT_EQ(view.selectedPoint(), view.tracePoint());
    const myPoint p = view.tracePoint()->info().point;
    EXPECT_TRUE((p.x == a->info().point.x && p.y == a->info().point.y) ||
                (p.x == b->info().point.x && p.y == b->info().point.y));
}

TEST_F(PlotTouch, QuickTapHidesTheTracePointLongPressKeepsIt)
{
    struct Case {
        double duration;
        bool kept;
    };
    launch();
    view.setCurFunc(addYx("x", "1"));
    view.setFState(PlotMode::Trace);
    for (const Case c : {Case{0.1, false}, Case{0.29, false}, Case{0.3, true}, Case{2, true}}) {
        SCOPED_TRACE(c.duration);
        began({touch(1, dx(1), 300, kTouchBegan, 0)});
        EXPECT_EQ(view.selectedPoint(), view.tracePoint());
        EXPECT_DOUBLE_EQ(view.tracePoint()->info().variable, 1);
        ended({touch(1, dx(1), 300, kTouchEnded, c.duration)});
        EXPECT_EQ(view.selectedPoint() == view.tracePoint(), c.kept);
        EXPECT_EQ(view.curTouchNumber(), 0);
    }
}

TEST_F(PlotTouch, TraceDragFollowsTheFinger)
{
    launch();
    view.setCurFunc(addYx("x^2", "1"));
    view.setFState(PlotMode::Trace);
    began({touch(1, dx(-1), 100, kTouchBegan, 0)});
    moved({touch(1, dx(1.5), 100, kTouchMoved)});
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().variable, 1.5);
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().value, 2.25);
    ended({touch(1, dx(1.5), 100, kTouchEnded, 3)});
    EXPECT_EQ(view.selectedPoint(), view.tracePoint());
}

TEST_F(PlotTouch, BarsToggleByTheChosenGesture)
{
    struct Case {
        BarsGesture showHideUI;
        int taps; // tap count of a one-finger tap; 0: three fingers instead
        int toggles;
    };
    const Case cases[] = {
        {BarsGesture::DoubleTap, 2, 1}, {BarsGesture::DoubleTap, 3, 0},    {BarsGesture::TripleTap, 3, 1},
        {BarsGesture::TripleTap, 2, 0}, {BarsGesture::ThreeFingers, 2, 0}, {BarsGesture::ThreeFingers, 0, 1},
        {BarsGesture::DoubleTap, 0, 0}, {BarsGesture::None, 2, 0},         {BarsGesture::None, 0, 0},
    };
    launch();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.showHideUI) << " / " << c.taps);
        controller.toggles = 0;
        view.setShowHideUI(c.showHideUI);
        if (c.taps) {
            began({touch(1, 100, 100, kTouchBegan, 0, c.taps)});
            ended({touch(1, 100, 100, kTouchEnded, 0.1, c.taps)});
        } else {
            began({touch(1, 100, 100, kTouchBegan), touch(2, 200, 100, kTouchBegan)});
            began({touch(3, 150, 300, kTouchBegan)});
            ended({touch(1, 100, 100, kTouchEnded), touch(2, 200, 100, kTouchEnded), touch(3, 150, 300, kTouchEnded)});
        }
        EXPECT_EQ(controller.toggles, c.toggles);
        EXPECT_EQ(view.curTouchNumber(), 0);
    }
}

// ---- ranges ------------------------------------------------------------------------------------

TEST_F(PlotTouch, RangeIsOrderedWhicheverFingerIsLeft)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    view.setFState(PlotMode::Trace);
    range(dx(2), dx(-2));
    EXPECT_DOUBLE_EQ(view.tracePoint1()->info().variable, -2);
    EXPECT_DOUBLE_EQ(view.tracePoint2()->info().variable, 2);
    EXPECT_TRUE(std::isnan(view.tracePoint()->info().point.x));
    EXPECT_EQ(view.selectedPoint(), nullptr);
}

TEST_F(PlotTouch, TheRemainingFingerKeepsItsRangeEnd)
{
    struct Case {
        float first, second;
        bool liftFirst;
        bool tp1; // the end selected afterwards
    };
    const Case cases[] = {
        {dx(-2), dx(2), false, true},
        {dx(-2), dx(2), true, false},
        {dx(2), dx(-2), false, false},
        {dx(2), dx(-2), true, true},
    };
    launch();
    view.setCurFunc(addYx("x", "1"));
    view.setFState(PlotMode::Trace);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " " << c.second << " " << c.liftFirst);
        began({touch(1, c.first, 50, kTouchBegan), touch(2, c.second, 50, kTouchBegan)});
        if (c.liftFirst)
            ended({touch(1, c.first, 50, kTouchEnded)});
        else
            ended({touch(2, c.second, 50, kTouchEnded)});
        EXPECT_EQ(view.curTouchNumber(), 1);
        EXPECT_EQ(view.selectedPoint(), c.tp1 ? view.tracePoint1() : view.tracePoint2());
        // The remaining finger moves the end it holds.
        const float at = c.liftFirst ? c.second : c.first;
        const double held = (at - 160) / 30.0;
        EXPECT_DOUBLE_EQ(view.selectedPoint()->info().variable, held);
        moved({touch(c.liftFirst ? 2 : 1, at + 3, 50, kTouchMoved)});
        EXPECT_DOUBLE_EQ(view.selectedPoint()->info().variable, held + 0.1);
        ended({touch(c.liftFirst ? 2 : 1, at + 3, 50, kTouchEnded, 1)});
        EXPECT_EQ(view.curTouchNumber(), 0);
    }
}

TEST_F(PlotTouch, DraggingTheLeftEndPastTheRightSwapsThem)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    view.setFState(PlotMode::Trace);
    range(dx(-2), dx(2));
    frame(); // the ends learn where they are drawn
    // Picked up within 25 points of the left end.
    began({touch(5, dx(-2) + 10, dy(-2) + 10, kTouchBegan, 0)});
    EXPECT_EQ(view.selectedPoint(), view.tracePoint1());
    moved({touch(5, dx(1), 100, kTouchMoved)});
    EXPECT_DOUBLE_EQ(view.tracePoint1()->info().variable, 1);
    moved({touch(5, dx(4), 100, kTouchMoved)});
    EXPECT_EQ(view.selectedPoint(), view.tracePoint2());
    EXPECT_DOUBLE_EQ(view.tracePoint1()->info().variable, 2);
    EXPECT_DOUBLE_EQ(view.tracePoint2()->info().variable, 4);
    // And back past it again.
    moved({touch(5, dx(-3), 100, kTouchMoved)});
    EXPECT_EQ(view.selectedPoint(), view.tracePoint1());
    EXPECT_DOUBLE_EQ(view.tracePoint1()->info().variable, -3);
    EXPECT_DOUBLE_EQ(view.tracePoint2()->info().variable, 2);
    // Lifting keeps the range.
    ended({touch(5, dx(-3), 100, kTouchEnded, 4)});
    EXPECT_FALSE(std::isnan(view.tracePoint1()->info().point.x));
    EXPECT_EQ(view.curTouchNumber(), 0);
}

TEST_F(PlotTouch, ImplicitCurvesTakeNoRange)
{
    struct Implicit : Function {
        bool isImplicit() const override { return true; }
        myPointInfo pointAt(double v) override
        {
            myPointInfo i;
            i.point = myPoint{v, 0};
            i.variable = v;
            return i;
        }
    };
    launch();
    auto f = std::make_shared<Implicit>();
    model.setFunction(f, "i");
    view.setCurFunc(f);
    view.setFState(PlotMode::Trace);
    range(100, 200);
    EXPECT_TRUE(std::isnan(view.tracePoint1()->info().point.x));
    began({touch(1, 100, 100, kTouchBegan)});
    began({touch(2, 200, 100, kTouchBegan)});
    EXPECT_EQ(view.curTouchNumber(), 1);
    EXPECT_TRUE(std::isnan(view.tracePoint1()->info().point.x));
}

// ---- modes and the current function -------------------------------------------------------------

TEST_F(PlotTouch, ModeSwitchHandsTheSelectionOver)
{
    launch();
    auto f = addYx("x^2-1", "1");
    view.setCurFunc(f);
    auto root = specialPoint::pointWithInfo(f->pointAt(1), "root");
    view.setSelectedPoint(root);
    view.setFState(PlotMode::Trace);
    EXPECT_EQ(view.selectedPoint(), view.tracePoint());
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().variable, 1);
    EXPECT_EQ(view.graphicState(), GraphicState::RebuildCache);
    view.setFState(PlotMode::Move);
    EXPECT_EQ(view.selectedPoint(), nullptr);
    EXPECT_TRUE(std::isnan(view.tracePoint()->info().point.x));
    EXPECT_EQ(view.graphicState(), GraphicState::Direct);
}

TEST_F(PlotTouch, ModeSwitchLetsTheFingersGo)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    began({touch(1, 100, 100, kTouchBegan)});
    view.setFState(PlotMode::Trace);
    EXPECT_EQ(view.curTouchNumber(), 0);
    // A new finger starts a trace of its own instead of joining the old one.
    began({touch(2, dx(1), 100, kTouchBegan)});
    EXPECT_EQ(view.curTouchNumber(), 1);
    EXPECT_EQ(view.selectedPoint(), view.tracePoint());
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().variable, 1);
    // The old finger's events are ignored.
    moved({touch(1, 300, 300, kTouchMoved)});
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().variable, 1);
}

// The current function is drawn thicker; its own width is not touched.
TEST_F(PlotTouch, MakingAFunctionCurrentKeepsItsWidth)
{
    launch();
    auto a = addYx("x", "a");
    auto b = addYx("x^2", "b");
    view.setCurFunc(a);
    EXPECT_EQ(a->lineWidth(), 1);
    view.setCurFunc(b);
    EXPECT_EQ(a->lineWidth(), 1);
    EXPECT_EQ(b->lineWidth(), 1);
    EXPECT_EQ(controller.func, b.get());
    EXPECT_EQ(panel.func, b.get());
    EXPECT_TRUE(panel.hidden);
    view.setCurFunc(b); // already current: nothing changes
    EXPECT_EQ(b->lineWidth(), 1);
}

TEST_F(PlotTouch, RemovingTheCurrentFunctionPicksTheNextInRegisterOrder)
{
    launch();
    auto a = addYx("x", "a");
    auto b = addYx("x^2", "b");
    auto c = addYx("x^3", "c");
    view.setCurFunc(b);
    view.removeCFunction();
    EXPECT_EQ(view.curFunc(), c);
    view.removeCFunction(); // the last: wraps round to the first
    EXPECT_EQ(view.curFunc(), a);
    view.removeCFunction(); // the only one
    EXPECT_EQ(view.curFunc(), nullptr);
    EXPECT_TRUE(model.functionRegister().empty());
}

// The stored position means the same at any window size: a view moved in a
// 700 × 500 window opens on the same user point in a 320 × 480 one; a file
// of older versions (the origin's device position) still loads.
TEST_F(PlotTouch, StoredViewIsKeptInUserCoordinates)
{
    view.setFrame(RectF{0, 0, 700, 500});
    launch();
    addYx("x", "1");
    ASSERT_TRUE(view.lookAt(myPoint{2, -1}, myPoint{40, 40}));
    const json d = view.settings();

    plotView phone;
    phone.setModel(&model);
    phone.setFrame(RectF{0, 0, 320, 480});
    phone.initialize();
    phone.applySettings(d);
    const myPoint middle = phone.viewState().userCenter();
    EXPECT_NEAR(middle.x, 2, 1e-12);
    EXPECT_NEAR(middle.y, -1, 1e-12);
    EXPECT_EQ(phone.viewState().scale().x, 40);

    const json old{{"center.x", 100.0}, {"center.y", 50.0}, {"sx", 10.0}, {"sy", 10.0}, {"curFuncID", "1"}};
    phone.applySettings(old);
    EXPECT_DOUBLE_EQ(phone.viewState().center().x, 100);
    EXPECT_DOUBLE_EQ(phone.viewState().center().y, 50);
    EXPECT_NE(phone.curFunc(), nullptr);
}
