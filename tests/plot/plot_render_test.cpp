#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "view_fakes.h"

using namespace orlix;
using namespace plottest;

namespace {

constexpr float kTol = 0.01f;

bool sameDash(const Op& op, float a, float b) { return op.dash.size() == 2 && op.dash[0] == a && op.dash[1] == b; }

// Strokes of one straight segment in the given dash.
std::vector<const Op*> segments(const std::vector<Op>& ops, float a, float b)
{
    std::vector<const Op*> out;
    for (const Op* op : opsOf(ops, "strokePath"))
        if (op->v.size() == 4 && sameDash(*op, a, b))
            out.push_back(op);
    return out;
}

bool hasSegment(const std::vector<const Op*>& segs, float x0, float y0, float x1, float y1, float tol = 0.05f)
{
    for (const Op* op : segs)
        if (std::fabs(op->v[0] - x0) < tol && std::fabs(op->v[1] - y0) < tol && std::fabs(op->v[2] - x1) < tol &&
            std::fabs(op->v[3] - y1) < tol)
            return true;
    return false;
}

// Whether the curve's marks lie at exactly the given places along x.
testing::AssertionResult marksAt(const Function& f, std::vector<double> expected)
{
    std::vector<double> found;
    for (const auto& mark : f.info())
        if (mark)
            found.push_back(mark->info().point.x);
    std::sort(found.begin(), found.end());
    auto message = [&] {
        auto m = testing::AssertionFailure() << "marks at";
        for (double x : found)
            m << " " << x;
        return m << " (" << expected.size() << " expected)";
    };
    if (found.size() != expected.size())
        return message();
    for (size_t i = 0; i < found.size(); ++i)
        if (std::fabs(found[i] - expected[i]) > 1e-9)
            return message();
    return testing::AssertionSuccess();
}

class PlotRender : public ViewTest {};

} // namespace

TEST_F(PlotRender, RedrawHandsTheWindowAndDrawsTheCurvesAtTheLiveScale)
{
    launch();
    auto f = addYx("x", "1");
    view.setCurFunc(f);
    EXPECT_DOUBLE_EQ(model.minX(), -16);
    EXPECT_DOUBLE_EQ(model.maxX(), 16);
    EXPECT_DOUBLE_EQ(model.minY(), -24);
    EXPECT_DOUBLE_EQ(model.maxY(), 24);
    // The first frame makes the function layer from its canvas.
    frame();
    ASSERT_NE(view.functionLayer(), nullptr);
    EXPECT_EQ(view.functionLayer()->size().width, 960);
    EXPECT_EQ(view.functionLayer()->size().height, 1440);
    // y = x through the user origin, which lies at the layer's centre
    // (480, 720): every point drawn has X + Y = 1200.
    int points = 0;
    bool onLine = true;
    for (const Op* op : opsOf(canvas.ops(), "strokePath", -1)) {
        if (op->canvas == 0 || op->v.size() < 4)
            continue;
        for (size_t i = 0; i + 1 < op->v.size(); i += 2, ++points)
            onLine = onLine && std::fabs(op->v[i] + op->v[i + 1] - 1200) < 0.5f;
    }
    EXPECT_GT(points, 10);
    EXPECT_TRUE(onLine);

    // A position of no number does not move the window.
    EXPECT_FALSE(view.placeOrigin(myPoint{NAN, 240}, myPoint{30, 30}));
    view.redraw();
    EXPECT_DOUBLE_EQ(model.minX(), -16);
}

TEST_F(PlotRender, FrameOrderBackgroundCurvesLabelsThenMarks)
{
    launch();
    auto f = addYx("x", "1");
    view.setCurFunc(f);
    myPointInfo root;
    root.point = myPoint{1, 1};
    f->setInfo({specialPoint::pointWithInfo(root, "root")});
    frame();
    const auto& ops = canvas.ops();
    int lastText = -1, layerAt = -1, markAt = -1;
    for (int i = 0; i < static_cast<int>(ops.size()); ++i) {
        if (ops[i].canvas != 0)
            continue;
        if (ops[i].kind == "drawText")
            lastText = i;
        if (ops[i].kind == "drawLayerIn")
            layerAt = i;
        if (ops[i].kind == "translate" && markAt < 0 && layerAt >= 0)
            markAt = i;
    }
    ASSERT_GE(layerAt, 0);
    // The axis labels go over the curves, so that none hides them; the
    // marks over both.
    EXPECT_GT(lastText, layerAt);
    EXPECT_GT(markAt, lastText);
    EXPECT_EQ(f->info()[0]->devicePoint().x, 190);

    // With an empty register there is no function layer in the frame.
    model.deleteAll();
    frame();
    EXPECT_TRUE(opsOf(canvas.ops(), "drawLayerIn").empty());
    EXPECT_FALSE(opsOf(canvas.ops(), "drawText").empty());
}

TEST_F(PlotRender, TraceModeCachesTheBackground)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    // Move mode renders straight into the view on every frame.
    frame();
    EXPECT_EQ(view.graphicState(), GraphicState::Direct);
    EXPECT_FALSE(opsOf(canvas.ops(), "drawText").empty());

    view.setFState(PlotMode::Trace);
    EXPECT_EQ(view.graphicState(), GraphicState::RebuildCache);
    frame();
    EXPECT_EQ(view.graphicState(), GraphicState::CachedBackground);
    // Rendered into the cache, which the view then copies.
    const auto made = opsOf(canvas.ops(), "createLayer", 0);
    int cache = -1;
    for (const Op* op : made)
        if (op->v[0] == 320 && op->v[1] == 480)
            cache = op->layer;
    ASSERT_GT(cache, 0);
    EXPECT_FALSE(opsOf(canvas.ops(), "drawText", cache).empty());
    EXPECT_TRUE(opsOf(canvas.ops(), "drawText", 0).empty());
    const auto copies = opsOf(canvas.ops(), "drawLayerAt", 0);
    ASSERT_FALSE(copies.empty());
    EXPECT_EQ(copies.back()->layer, cache);

    // The next frame only copies it.
    frame();
    EXPECT_TRUE(opsOf(canvas.ops(), "drawText", -1).empty());
    EXPECT_EQ(opsOf(canvas.ops(), "drawLayerAt", 0).size(), 1u);
    EXPECT_TRUE(view.shown());
}

TEST_F(PlotRender, PanMovesTheLayerWithoutResampling)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    frame();
    // The frame needed only the part of the layer on screen; the rest waits.
    frame();
    EXPECT_FALSE(view.functionLayerComplete());
    redraws = 0;
    began({touch(1, 100, 100, kTouchBegan)});
    moved({touch(1, 200, 100, kTouchMoved)});
    EXPECT_EQ(redraws, 0);
    frame();
    // A pan shows more of the layer: it is drawn whole first.
    EXPECT_TRUE(view.functionLayerComplete());
    const auto layer = opsOf(canvas.ops(), "drawLayerIn");
    ASSERT_EQ(layer.size(), 1u);
    EXPECT_EQ(layer[0]->v, (std::vector<float>{-220, -480, 960, 1440}));
    // Lifting commits the pan and samples again around the new centre.
    ended({touch(1, 200, 100, kTouchEnded, 0.5)});
    EXPECT_EQ(redraws, 1);
    EXPECT_DOUBLE_EQ(view.viewState().center().x, 260);
    frame();
    EXPECT_EQ(opsOf(canvas.ops(), "drawLayerIn")[0]->v, (std::vector<float>{-320, -480, 960, 1440}));
}

TEST_F(PlotRender, PinchStretchesTheLayer)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    redraws = 0;
    began({touch(1, 110, 240, kTouchBegan), touch(2, 210, 240, kTouchBegan)});
    // The second finger moves, the first stays: 1.5 times the distance.
    view.handleTouches({touch(1, 110, 240, kTouchStationary), touch(2, 260, 240, kTouchMoved)});
    EXPECT_EQ(redraws, 0);
    EXPECT_DOUBLE_EQ(view.viewState().liveScale().x, 45);
    const RectF r = view.functionLayerRect();
    EXPECT_FLOAT_EQ(r.width, 1440);
    EXPECT_FLOAT_EQ(r.height, 2160);
    // The first finger keeps its user point.
    EXPECT_FLOAT_EQ(r.x, 110 + 1.5f * (-320 - 110));
    EXPECT_NEAR(view.myPointToUser(myPoint{110, 240}).x, -50.0 / 30, 1e-12);
}

TEST_F(PlotRender, DropLinesFollowTheVariableAxis)
{
    struct Case {
        const char* name;
        bool xy;
    };
    for (const Case c : {Case{"y(x)", false}, Case{"x(y)", true}}) {
        SCOPED_TRACE(c.name);
        model.deleteAll();
        view.setCurFunc(nullptr);
        launch();
        Function::Ptr f = c.xy ? Function::Ptr(addXy("0.5y+1", "1")) : Function::Ptr(addYx("0.5x+1", "1"));
        view.setCurFunc(f);
        view.setFState(PlotMode::Trace);
        // Two fingers: the range from variable -2 to 2.
        if (c.xy) {
            began({touch(1, 50, dy(-2), kTouchBegan), touch(2, 50, dy(2), kTouchBegan)});
            ended({touch(1, 50, dy(-2), kTouchEnded), touch(2, 50, dy(2), kTouchEnded)});
        } else {
            began({touch(1, dx(-2), 50, kTouchBegan), touch(2, dx(2), 50, kTouchBegan)});
            ended({touch(1, dx(-2), 50, kTouchEnded), touch(2, dx(2), 50, kTouchEnded)});
        }
        EXPECT_DOUBLE_EQ(view.tracePoint1()->info().variable, -2);
        EXPECT_DOUBLE_EQ(view.tracePoint2()->info().variable, 2);
        frame();
        const auto drops = segments(canvas.ops(), 4, 3);
        ASSERT_EQ(drops.size(), 2u);
        if (c.xy) {
            // x = 0.5y + 1: ends at (0, -2) and (2, 2); horizontal lines
            // from the y axis.
            EXPECT_TRUE(hasSegment(drops, 160, dy(-2), dx(0), dy(-2)));
            EXPECT_TRUE(hasSegment(drops, 160, dy(2), dx(2), dy(2)));
        } else {
            EXPECT_TRUE(hasSegment(drops, dx(-2), 240, dx(-2), dy(0)));
            EXPECT_TRUE(hasSegment(drops, dx(2), 240, dx(2), dy(2)));
        }
        // The panel shows the range.
        EXPECT_EQ(panel.p0, view.tracePoint1());
        EXPECT_EQ(panel.p1, view.tracePoint2());
        EXPECT_TRUE(panel.interactive);
        ASSERT_TRUE(panel.content2 && *panel.content2);
        EXPECT_EQ((*panel.content2)->count("s"), 1u);
    }
}

TEST_F(PlotRender, TangentAcrossTheView)
{
    struct Case {
        double m;
        float x0, y0, x1, y1;
    };
    launch();
    auto f = addYx("x", "1");
    view.setCurFunc(f);
    view.setFState(PlotMode::Trace);
    view.setShowOsculatingCircle(false);
    for (const Case c : {Case{1, 320, -20, 0, 300}, Case{5, 140, 0, 44, 480}, Case{-1, 320, 420, 0, 100}}) {
        SCOPED_TRACE(c.m);
        myPointInfo info;
        info.point = view.myPointToUser(myPoint{100, 200});
        info.info = InfoMap{{"dy/dx", c.m}};
        view.tracePoint()->setInfo(info);
        view.setSelectedPoint(view.tracePoint());
        frame();
        const auto lines = segments(canvas.ops(), 2, 2);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(hasSegment(lines, c.x0, c.y0, c.x1, c.y1));
        EXPECT_FLOAT_EQ(lines[0]->lineWidth, 1.2f);
    }
    // The same point outside the good rectangle: highlight, no tangent.
    myPointInfo info;
    info.point = view.myPointToUser(myPoint{100, 30});
    info.info = InfoMap{{"dy/dx", 1.0}};
    view.tracePoint()->setInfo(info);
    frame();
    EXPECT_FALSE(hasSegment(segments(canvas.ops(), 2, 2), 320, -190, 0, 130));
    EXPECT_FALSE(opsOf(canvas.ops(), "strokeEllipse").empty());
}

TEST_F(PlotRender, OsculatingCircleOfAParabolaAtItsVertex)
{
    launch();
    view.setCurFunc(addYx("x^2", "1"));
    view.setFState(PlotMode::Trace);
    // A long press at x = 0 leaves the trace point there.
    began({touch(1, 160, 100, kTouchBegan, 0)});
    ended({touch(1, 160, 100, kTouchEnded, 1)});
    ASSERT_EQ(view.selectedPoint(), view.tracePoint());
    EXPECT_DOUBLE_EQ(view.tracePoint()->info().info->at("k"), 2);
    frame();
    // Highlight (24 across) and the circle (30 across, 15 points above P).
    std::vector<std::vector<float>> circles;
    for (const Op* op : opsOf(canvas.ops(), "strokeEllipse"))
        circles.push_back(op->v);
    ASSERT_EQ(circles.size(), 2u);
    EXPECT_EQ(circles[0], (std::vector<float>{148, 228, 24, 24}));
    EXPECT_EQ(circles[1], (std::vector<float>{145, 210, 30, 30}));
    bool dot = false;
    for (const Op* op : opsOf(canvas.ops(), "fillEllipse"))
        dot = dot || op->v == std::vector<float>{158, 223, 4, 4};
    EXPECT_TRUE(dot);
    const auto lines = segments(canvas.ops(), 2, 2);
    EXPECT_TRUE(hasSegment(lines, 320, 240, 0, 240));   // the tangent
    EXPECT_TRUE(hasSegment(lines, 160, 240, 160, 225)); // P to the centre
    // The panel shows the point and lets the value be typed.
    ASSERT_TRUE(panel.content);
    EXPECT_EQ(panel.p1, view.tracePoint());
    EXPECT_TRUE(panel.interactive);
    EXPECT_FALSE(panel.hidden);
}

TEST_F(PlotRender, CirclesThatAreNotDrawn)
{
    struct Case {
        const char* name;
        InfoMap info;
    };
    launch();
    view.setCurFunc(addYx("x", "1"));
    view.setFState(PlotMode::Trace);
    const Case cases[] = {
        {"straight line: k 0", {{"dy/dx", 1}, {"k", 0}}},
        {"radius too large", {{"dy/dx", 0}, {"k", 0.001}}},
        {"no slope", {{"k", 2}}},
        {"curvature of no number", {{"dy/dx", 0}, {"k", NAN}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        myPointInfo info;
        info.point = myPoint{0, 0};
        info.info = c.info;
        view.tracePoint()->setInfo(info);
        view.setSelectedPoint(view.tracePoint());
        frame();
        EXPECT_EQ(opsOf(canvas.ops(), "strokeEllipse").size(), 1u); // the highlight only
        EXPECT_TRUE(allFinite(canvas.ops()));
    }
}

TEST_F(PlotRender, CurvatureBelowTheCurveIsDrawnBelow)
{
    // y = -x²: k = -2, the centre lies 15 points below P.
    launch();
    view.setCurFunc(addYx("x", "1"));
    view.setFState(PlotMode::Trace);
    myPointInfo info;
    info.point = myPoint{0, 0};
    info.info = InfoMap{{"dy/dx", 0}, {"k", -2}};
    view.tracePoint()->setInfo(info);
    view.setSelectedPoint(view.tracePoint());
    frame();
    const auto circles = opsOf(canvas.ops(), "strokeEllipse");
    ASSERT_EQ(circles.size(), 2u);
    EXPECT_EQ(circles[1]->v, (std::vector<float>{145, 240, 30, 30}));
}

TEST_F(PlotRender, MoveModeShowsASelectedMarkWithoutTangent)
{
    launch();
    auto f = addYx("x^2-1", "1");
    view.setCurFunc(f);
    myPointInfo root = f->pointAt(1);
    f->setInfo({specialPoint::pointWithInfo(root, "root")});
    view.setSelectedPoint(f->info()[0]);
    frame();
    EXPECT_EQ(opsOf(canvas.ops(), "strokeEllipse").size(), 1u);
    EXPECT_TRUE(segments(canvas.ops(), 2, 2).empty());
    ASSERT_TRUE(panel.content);
    EXPECT_DOUBLE_EQ(panel.content->variable, 1);
    EXPECT_EQ(panel.p1, f->info()[0]);
    EXPECT_EQ(panel.p0, nullptr);
    EXPECT_FALSE(panel.interactive);
    EXPECT_FALSE(panel.hidden);

    // Nothing selected: the panel goes away.
    view.setSelectedPoint(nullptr);
    frame();
    EXPECT_TRUE(panel.hidden);
}

TEST_F(PlotRender, SingleTraceGuideLinesToTheFinger)
{
    launch();
    view.setCurFunc(addYx("x", "1"));
    view.setFState(PlotMode::Trace);
    began({touch(1, dx(2), 100, kTouchBegan)});
    frame();
    // From the foot on the x axis up to the point and over to the finger.
    const auto guides = segments(canvas.ops(), 4, 3);
    EXPECT_TRUE(hasSegment(guides, dx(2), 240, dx(2), dy(2)));
    EXPECT_TRUE(hasSegment(guides, dx(2), 240, dx(2), 100));
}

// A new size samples every curve over the new window at once: widening, a
// tall window, a large one and back to a phone.
TEST_F(PlotRender, ResizeSamplesTheNewWindow)
{
    struct RootsShell : FunctionShell {
        Function* current = nullptr;
        SearchSettings searchSettings() const override { return SearchSettings{true, false, false, false}; }
        Function* currentFunction() const override { return current; }
    } shell;
    model.setShell(&shell);
    launch();
    auto f = addYx("x^2-2", "1");
    shell.current = f.get();
    view.setCurFunc(f);
    frame(); // the first frame makes the function layer
    const SizeF sizes[] = {{800, 480}, {600, 700}, {1200, 900}, {320, 480}};
    for (const SizeF s : sizes) {
        SCOPED_TRACE(testing::Message() << s.width << " x " << s.height);
        view.setFrame(RectF{0, 0, s.width, s.height});
        const SamplingWindow w = view.samplingWindow();
        // Three view widths around the origin, which stays in the middle.
        EXPECT_NEAR(w.minX, -1.5 * s.width / 30, 1e-9);
        EXPECT_NEAR(w.maxX, 1.5 * s.width / 30, 1e-9);
        EXPECT_DOUBLE_EQ(model.minX(), w.minX);
        EXPECT_DOUBLE_EQ(model.maxX(), w.maxX);
        EXPECT_DOUBLE_EQ(view.functionLayerRect().x, -s.width);
        // The samples span the new window and the roots are found in it.
        EXPECT_NEAR(f->varMin(), w.minX, 1e-9);
        EXPECT_NEAR(f->varMax(), w.maxX, 1e-9);
        EXPECT_TRUE(marksAt(*f, {-std::sqrt(2.0), std::sqrt(2.0)}));
    }

    // sin(x) at 1200 x 900: a root every π across the whole visible width.
    auto g = addYx("sin(x)", "2");
    shell.current = g.get();
    view.setCurFunc(g);
    view.setFrame(RectF{0, 0, 1200, 900});
    const RectF good = view.goodRect();
    const double left = view.coordsToUser(PointF{good.x, 0}).x, right = view.coordsToUser(PointF{good.maxX(), 0}).x;
    std::vector<double> expected;
    for (double k = std::ceil(left / std::numbers::pi); k * std::numbers::pi <= right; ++k)
        expected.push_back(k * std::numbers::pi);
    EXPECT_GE(expected.size(), 12u);
    EXPECT_TRUE(marksAt(*g, expected));
    model.setShell(nullptr);
}

// A large window is sampled at a point per two device pixels or closer, at
// one and at two pixels a point; the function's own count is left as it is.
TEST_F(PlotRender, LargeWindowsSampleEveryTwoDevicePixels)
{
    launch();
    auto f = addYx("sin(x)", "1");
    view.setCurFunc(f);
    frame(); // the first frame makes the function layer
    view.setFrame(RectF{0, 0, 1200, 900});
    for (const double ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        view.setDevicePixelRatio(ratio);
        const double spacing = (f->varMax() - f->varMin()) / static_cast<double>(f->points().size());
        EXPECT_LE(spacing * view.viewState().scale().x * ratio, 2.0);
        EXPECT_EQ(f->toDict()["NoP"], explicitFunction::defaultNumOfPoints);
    }
    // A count of the function's own above the floor is kept.
    f->setChosenPointCount(5000);
    view.redraw();
    EXPECT_EQ(f->points().size(), 5000u);
}
