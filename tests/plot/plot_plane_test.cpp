#include "orlix/plot_plane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <set>

#include "recording_canvas.h"

using namespace orlix;
using orlix::test::Op;
using Recorder = orlix::test::RecordingCanvas;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A 320 × 480 plane in its launch state, below bars of 64 and 45 points.
// Positions the view refuses (no number, scales beyond the limits) are
// still drawn by the grid, to see it cope.
struct Plane {
    plotView view;
    PlotGrid grid;
    std::optional<myPoint> center, scale;
    explicit Plane(float w = 320, float h = 480)
    {
        view.goodRectForPlotter = [this] { return RectF{0, 64, view.viewSize().width, view.viewSize().height - 109}; };
        view.setFrame(RectF{0, 0, w, h});
        view.initialize();
    }
    void setCenter(double x, double y)
    {
        center = myPoint{x, y};
        view.placeOrigin(*center, view.viewState().scale());
    }
    void setScale(double s)
    {
        scale = myPoint{s, s};
        view.placeOrigin(view.viewState().center(), *scale);
    }
    PlotGrid::Frame frame() const
    {
        PlotGrid::Frame f = PlotGrid::Frame::of(view.viewState(), view.goodRect(), view.tracing() ? 1.0f : 0.0f);
        f.center = center.value_or(f.center);
        f.scale = scale.value_or(f.scale);
        return f;
    }
    // Through the view's own grid unless a refused position is to be drawn.
    void drawPlane(Canvas& c)
    {
        if (center || scale)
            grid.drawPlane(c, frame());
        else
            view.drawPlane(c);
    }
    myPoint drawGridForSx(double sx, double sy, Canvas& c)
    {
        return center || scale ? grid.drawGridForSx(sx, sy, c, frame()) : view.drawGridForSx(sx, sy, c);
    }
};

// One darkening pass of a grid line layer: the positions it was drawn at.
struct Pass {
    std::vector<float> at;
    float step() const { return at.size() > 1 ? at[1] - at[0] : 0; }
};

int layerOfSize(const std::vector<Op>& ops, float w, float h)
{
    for (const Op& op : ops)
        if (op.kind == "createLayer" && op.v[0] == w && op.v[1] == h)
            return op.layer;
    return -1;
}

// Splits the draws of a grid layer into passes: each fill of the layer
// starts one.
std::vector<Pass> passesOf(const std::vector<Op>& ops, int layer, bool vertical)
{
    std::vector<Pass> passes;
    for (const Op& op : ops) {
        if (op.canvas == layer && op.kind == "fillRect")
            passes.emplace_back();
        else if (op.canvas == 0 && op.kind == "drawLayerAt" && op.layer == layer && !passes.empty())
            passes.back().at.push_back(vertical ? op.v[0] : op.v[1]);
    }
    return passes;
}

std::vector<const Op*> texts(const std::vector<Op>& ops)
{
    std::vector<const Op*> out;
    for (const Op& op : ops)
        if (op.kind == "drawText")
            out.push_back(&op);
    return out;
}

std::vector<const Op*> strokes(const std::vector<Op>& ops)
{
    std::vector<const Op*> out;
    for (const Op& op : ops)
        if (op.kind == "strokePath")
            out.push_back(&op);
    return out;
}

bool allFinite(const std::vector<Op>& ops)
{
    for (const Op& op : ops)
        for (float v : op.v)
            if (!std::isfinite(v))
                return false;
    return true;
}

bool near(float a, float b) { return std::fabs(a - b) < 1e-3f; }

} // namespace

// ---- coordinates ------------------------------------------------------------------

TEST(PlotPlane, LaunchStateOf320x480)
{
    Plane p;
    EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().x, 160);
    EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().y, 240);
    EXPECT_DOUBLE_EQ(p.view.viewState().liveOffset().x, -320);
    EXPECT_DOUBLE_EQ(p.view.viewState().liveOffset().y, -480);
    EXPECT_EQ(p.view.viewState().layerSize().width, 960);
    EXPECT_EQ(p.view.viewState().layerSize().height, 1440);
    const RectF g = p.view.goodRect();
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 64);
    EXPECT_EQ(g.width, 320);
    EXPECT_EQ(g.height, 371);
    EXPECT_EQ(p.view.graphicState(), GraphicState::Direct);
    EXPECT_FALSE(p.view.isLeftAligned());
    EXPECT_EQ(p.view.plotScale().x, 30);
}

TEST(PlotPlane, TransformsAndRoundTrips)
{
    struct Case {
        double cx, cy, s;
        myPoint user;
        float dx, dy;
    };
    const Case cases[] = {
        {160, 240, 30, {1, 1}, 190, 210},    {160, 240, 30, {0, 0}, 160, 240}, {160, 240, 30, {-2, 3}, 100, 150},
        {0, 0, 1000, {0.1, -0.2}, 100, 200}, {-50, 600, 7, {10, 10}, 20, 530}, {160, 240, 5e-8, {1e9, -1e9}, 210, 290},
    };
    for (const Case& c : cases) {
        Plane p;
        p.setCenter(c.cx, c.cy);
        p.setScale(c.s);
        const PointF d = p.view.myPointToDevice(c.user);
        EXPECT_NEAR(d.x, c.dx, 1e-3) << c.s;
        EXPECT_NEAR(d.y, c.dy, 1e-3) << c.s;
        const PointF df = p.view.coordsToDevice(toCGPoint(c.user));
        EXPECT_NEAR(df.x, c.dx, 1e-2);
        EXPECT_NEAR(df.y, c.dy, 1e-2);
        const myPoint back = p.view.myPointToUser(myPoint{c.dx, c.dy});
        EXPECT_NEAR(back.x, c.user.x, 1e-9 * (1 + std::fabs(c.user.x)));
        EXPECT_NEAR(back.y, c.user.y, 1e-9 * (1 + std::fabs(c.user.y)));
        const PointF backf = p.view.coordsToUser(PointF{c.dx, c.dy});
        EXPECT_NEAR(backf.x, c.user.x, 1e-5 * (1 + std::fabs(c.user.x)));
        EXPECT_NEAR(backf.y, c.user.y, 1e-5 * (1 + std::fabs(c.user.y)));
    }
}

TEST(PlotPlane, TransformsUseTheLiveScaleAndCurSsTheCommittedOne)
{
    Plane p;
    // A pinch under way: 1.5 times the scale about the centre.
    p.view.touchesBegan({Touch{1, {110, 240}, kTouchBegan, 1, 0}, Touch{2, {210, 240}, kTouchBegan, 1, 0}});
    p.view.touchesMoved({Touch{1, {85, 240}, kTouchMoved, 1, 0}, Touch{2, {235, 240}, kTouchMoved, 1, 0}});
    const PointF d = p.view.myPointToDevice(myPoint{1, 1});
    EXPECT_FLOAT_EQ(d.x, 205);
    EXPECT_FLOAT_EQ(d.y, 195);
    EXPECT_EQ(p.view.plotScale().x, 30);
    EXPECT_EQ(p.view.plotScale().y, 30);
}

TEST(PlotPlane, SamplingWindowIsThreeViewSizesAroundTheCentre)
{
    Plane p;
    SamplingWindow w = p.view.samplingWindow();
    EXPECT_DOUBLE_EQ(w.minX, -16);
    EXPECT_DOUBLE_EQ(w.maxX, 16);
    EXPECT_DOUBLE_EQ(w.minY, -24);
    EXPECT_DOUBLE_EQ(w.maxY, 24);
    EXPECT_TRUE(w.valid());

    // One unit to the right and twice the vertical scale: the view centre
    // is now x = -1.
    p.view.placeOrigin(myPoint{190, 240}, myPoint{30, 60});
    w = p.view.samplingWindow();
    EXPECT_DOUBLE_EQ(w.minX, -17);
    EXPECT_DOUBLE_EQ(w.maxX, 15);
    EXPECT_DOUBLE_EQ(w.minY, -12);
    EXPECT_DOUBLE_EQ(w.maxY, 12);

    // Positions that would give no window are refused.
    for (double s : {kNaN, kInf, 0.0, 1e-310})
        EXPECT_FALSE(p.view.placeOrigin(myPoint{160, 240}, myPoint{s, s})) << s;
    EXPECT_FALSE(p.view.placeOrigin(myPoint{kNaN, 240}, myPoint{30, 30}));
    EXPECT_TRUE(p.view.samplingWindow().valid());
}

// ---- frame, centring, good rectangle ------------------------------------------------

TEST(PlotPlane, SetFrameKeepsThePictureCentred)
{
    Plane p;
    p.view.setFrame(RectF{0, 0, 360, 480});
    EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().x, 180);
    EXPECT_DOUBLE_EQ(p.view.viewState().center().x, 180);
    EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().y, 240);
    // The layer is sampled again for the new size, from its rest position.
    EXPECT_DOUBLE_EQ(p.view.viewState().liveOffset().x, -360);
    EXPECT_DOUBLE_EQ(p.view.viewState().offset().x, -360);
    const myPoint mid = p.view.myPointToUser(myPoint{180, 240});
    EXPECT_DOUBLE_EQ(mid.x, 0);
    // Without a controller the good rectangle follows the new size.
    EXPECT_EQ(p.view.goodRect().width, 360);

    // Rotating to landscape: both centres move by half the change.
    p.view.goodRectForPlotter = [] { return RectF{0, 32, 480, 200}; };
    p.view.setFrame(RectF{0, 0, 480, 320});
    EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().x, 240);
    EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().y, 160);
    EXPECT_EQ(p.view.goodRect().y, 32);
}

TEST(PlotPlane, SetFrameBeforeInitialisationOnlyAppliesTheFrame)
{
    plotView v;
    v.setFrame(RectF{0, 0, 320, 480});
    v.setFrame(RectF{0, 0, 360, 480});
    EXPECT_EQ(v.viewSize().width, 360);
    EXPECT_DOUBLE_EQ(v.viewState().liveCenter().x, 0);
    v.initialize();
    EXPECT_DOUBLE_EQ(v.viewState().liveCenter().x, 180);
}

TEST(PlotPlane, SetFrameInvalidatesTheCachedBackground)
{
    Plane p;
    p.view.setGraphicState(GraphicState::CachedBackground);
    p.view.setFrame(RectF{0, 0, 320, 400});
    EXPECT_EQ(p.view.graphicState(), GraphicState::RebuildCache);
    p.view.setGraphicState(GraphicState::Direct);
    p.view.setFrame(RectF{0, 0, 320, 420});
    EXPECT_EQ(p.view.graphicState(), GraphicState::Direct);
}

TEST(PlotPlane, FramesOfNoSizeAreRefused)
{
    const float bad[] = {NAN, INFINITY, -INFINITY, -10};
    for (float b : bad) {
        Plane p;
        p.view.setFrame(RectF{0, 0, b, 480});
        p.view.setFrame(RectF{0, 0, 320, b});
        EXPECT_EQ(p.view.viewSize().width, 320) << b;
        EXPECT_EQ(p.view.viewSize().height, 480) << b;
        EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().x, 160) << b;
        EXPECT_DOUBLE_EQ(p.view.viewState().offset().y, -480) << b;
    }
}

TEST(PlotPlane, CenterizeRestoresOriginAndScaleAndRedraws)
{
    Plane p;
    int redraws = 0;
    p.view.onRedraw = [&] { ++redraws; };
    p.setCenter(-500, 20);
    p.setScale(123);
    p.view.centerize();
    EXPECT_EQ(redraws, 1);
    EXPECT_DOUBLE_EQ(p.view.viewState().center().x, 160);
    EXPECT_DOUBLE_EQ(p.view.viewState().liveCenter().y, 240);
    EXPECT_EQ(p.view.viewState().scale().x, 30);
    EXPECT_EQ(p.view.viewState().liveScale().y, 30);
    // The redraw draws the function layer at the new scale.
    EXPECT_EQ(p.view.viewState().layerScale().x, 30);
    EXPECT_EQ(p.view.graphicState(), GraphicState::Direct);

    p.view.setFState(PlotMode::Trace);
    EXPECT_EQ(p.view.graphicState(), GraphicState::RebuildCache);
    p.view.setGraphicState(GraphicState::CachedBackground);
    p.view.centerize();
    EXPECT_EQ(p.view.graphicState(), GraphicState::RebuildCache);
}

TEST(PlotPlane, InfoPanelAnchorsToTheGoodRectangle)
{
    struct Case {
        bool left;
        RectF good;
        float x, y;
    };
    const Case cases[] = {
        {false, {0, 64, 320, 371}, 250, 370},
        {true, {0, 64, 320, 371}, 70, 370},
        {false, {10, 20, 200, 100}, 140, 55},
        {true, {10, 20, 200, 100}, 70, 55}, // x ignores the rectangle's left edge
    };
    for (const Case& c : cases) {
        Plane p;
        EXPECT_FALSE(p.view.infoPanelCenter());
        p.view.setInfoPanelSize(SizeF{140, 130});
        p.view.setIsLeftAligned(c.left);
        p.view.setGoodRect(c.good);
        ASSERT_TRUE(p.view.infoPanelCenter());
        EXPECT_EQ(p.view.infoPanelCenter()->x, c.x);
        EXPECT_EQ(p.view.infoPanelCenter()->y, c.y);
    }
    // Flipping the alignment alone re-anchors.
    Plane p;
    p.view.setInfoPanelSize(SizeF{140, 130});
    p.view.setGoodRect(RectF{0, 64, 320, 371});
    p.view.setIsLeftAligned(true);
    EXPECT_EQ(p.view.infoPanelCenter()->x, 70);
    p.view.setIsLeftAligned(false);
    EXPECT_EQ(p.view.infoPanelCenter()->x, 250);
}

// ---- grid ---------------------------------------------------------------------------------

TEST(PlotPlane, GridStepsPassesAndLabelSteps)
{
    struct Case {
        double scale;
        std::vector<float> steps; // one per darkening pass
        double labelStep;
    };
    const Case cases[] = {
        {30, {30, 60}, 60},          {7, {35, 70, 140}, 70},  {1000, {20, 100, 200}, 100}, {50, {50, 100}, 100},
        {51, {25.5f, 51, 102}, 102}, {5, {25, 50, 100}, 100}, {0.25, {25, 50}, 50},        {12, {24, 120, 240}, 120},
        {15, {30, 150}, 60},         {2e7, {40, 200}, 80},
    };
    for (const Case& c : cases) {
        Plane p;
        p.setScale(c.scale);
        Recorder r(SizeF{320, 480});
        const myPoint labels = p.drawGridForSx(c.scale, c.scale, r);
        EXPECT_DOUBLE_EQ(labels.x, c.labelStep) << c.scale;
        EXPECT_DOUBLE_EQ(labels.y, c.labelStep) << c.scale;
        const int ver = layerOfSize(r.ops(), 1, 480), hor = layerOfSize(r.ops(), 320, 1);
        ASSERT_GT(ver, 0);
        ASSERT_GT(hor, 0);
        for (bool vertical : {true, false}) {
            const auto passes = passesOf(r.ops(), vertical ? ver : hor, vertical);
            ASSERT_EQ(passes.size(), c.steps.size()) << c.scale;
            for (size_t k = 0; k < passes.size(); ++k) {
                const float step = c.steps[k];
                EXPECT_NEAR(passes[k].step(), step, 1e-3) << c.scale << " pass " << k;
                const float length = vertical ? 320 : 480;
                EXPECT_EQ(passes[k].at.size(), size_t(std::trunc(length / step + 3.0))) << c.scale;
            }
        }
    }
}

TEST(PlotPlane, GridLinesKeepThePhaseOfTheOrigin)
{
    Plane p;
    p.setCenter(160, 240);
    Recorder r(SizeF{320, 480});
    p.drawGridForSx(30, 30, r);
    const int verLayer = layerOfSize(r.ops(), 1, 480), horLayer = layerOfSize(r.ops(), 320, 1);
    auto ver = passesOf(r.ops(), verLayer, true);
    ASSERT_EQ(ver.size(), 2u);
    EXPECT_FLOAT_EQ(ver[0].at[0], -20); // 160 - 5·30 - 30
    EXPECT_FLOAT_EQ(ver[1].at[0], -20); // 160 - 2·60 - 60

    // Origin to the left of the view: the first line is still one step before
    // the view's edge and a line passes through the origin.
    p.setCenter(-100, 1e6 + 10);
    r.forget();
    p.drawGridForSx(30, 30, r);
    ver = passesOf(r.ops(), verLayer, true);
    ASSERT_EQ(ver.size(), 2u);
    EXPECT_FLOAT_EQ(ver[0].at[0], -40);
    auto hor = passesOf(r.ops(), horLayer, false);
    ASSERT_EQ(hor.size(), 2u);
    EXPECT_FLOAT_EQ(hor[0].at[0], -10);

    // The layer is cleared before the first pass and the passes use black at
    // alpha 0.06 each time.
    int clears = 0;
    for (const Op& op : r.ops())
        if (op.canvas != 0 && op.kind == "fillRect") {
            EXPECT_FLOAT_EQ(op.color.a, 0.06f);
            EXPECT_EQ(op.color.r, 0);
        } else if (op.canvas != 0 && op.kind == "clear") {
            ++clears;
        }
    EXPECT_EQ(clears, 2);
}

TEST(PlotPlane, GridOfAZeroScaleDrawsNothing)
{
    Plane p;
    Recorder r(SizeF{320, 480});
    for (auto [sx, sy] : {std::pair{0.0, 30.0}, std::pair{30.0, 0.0}}) {
        const myPoint l = p.drawGridForSx(sx, sy, r);
        EXPECT_EQ(l.x, 0);
        EXPECT_EQ(l.y, 0);
    }
    EXPECT_TRUE(r.ops().empty());
}

TEST(PlotPlane, RefreshMakesLayersOfTheNewSize)
{
    Plane p;
    Recorder r(SizeF{320, 480});
    p.view.drawPlane(r);
    r.forget();
    p.view.setFrame(RectF{0, 0, 480, 320}); // refresh
    // The new layers are made by the old one, before any drawing.
    const int ver = layerOfSize(r.ops(), 1, 320), hor = layerOfSize(r.ops(), 480, 1);
    ASSERT_GT(ver, 0);
    ASSERT_GT(hor, 0);
    for (const Op& op : r.ops()) {
        if (op.kind == "createLayer") {
            EXPECT_NE(op.canvas, 0);
        }
    }
    p.drawPlane(r);
    EXPECT_EQ(passesOf(r.ops(), ver, true).size(), 2u);
    EXPECT_EQ(passesOf(r.ops(), hor, false).size(), 2u);
}

TEST(PlotPlane, LayersAreMadeAgainForAnotherKindOfCanvas)
{
    struct OtherCanvas : Recorder {
        using orlix::test::RecordingCanvas::RecordingCanvas;
    };
    auto creations = [](const Recorder& r) {
        int n = 0;
        for (const Op& op : r.ops())
            n += op.kind == "createLayer";
        return n;
    };
    Plane p;
    Recorder a(SizeF{320, 480});
    p.view.drawPlane(a);
    EXPECT_EQ(creations(a), 4); // two line layers, two tick marks
    OtherCanvas b(SizeF{320, 480});
    p.view.drawPlane(b);
    EXPECT_EQ(creations(b), 4);
    b.forget();
    p.view.drawPlane(b);
    EXPECT_EQ(creations(b), 0);
    p.view.releaseLayers();
    p.view.drawPlane(b);
    EXPECT_EQ(creations(b), 4);
}

// ---- axes, ticks and labels --------------------------------------------------------------

TEST(PlotPlane, AxesAreClampedIntoTheGoodRectangleAndDashed)
{
    struct Case {
        double cx, cy;
        float ox, oy;
        bool yDashed, xDashed;
    };
    const Case cases[] = {
        {160, 240, 160, 240, false, false}, {-100, 240, 0, 240, true, false},    {1000, 240, 320, 240, true, false},
        {160, 10, 160, 64, false, true},    {160, 1e300, 160, 435, false, true}, {-kInf, kInf, 0, 435, true, true},
    };
    for (const Case& c : cases) {
        Plane p;
        p.setCenter(c.cx, c.cy);
        Recorder r(SizeF{320, 480});
        const PointF o = p.grid.drawAxes(r, p.frame());
        EXPECT_EQ(o.x, c.ox) << c.cx;
        EXPECT_EQ(o.y, c.oy) << c.cy;
        const auto s = strokes(r.ops());
        ASSERT_EQ(s.size(), 2u);
        // The y axis, then the x axis, both across the whole view.
        EXPECT_EQ(s[0]->v, (std::vector<float>{c.ox, 480, c.ox, 0}));
        EXPECT_EQ(s[1]->v, (std::vector<float>{0, c.oy, 320, c.oy}));
        const bool dashed[] = {c.yDashed, c.xDashed};
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(s[k]->lineWidth, dashed[k] ? 3 : 2);
            EXPECT_EQ(s[k]->dash, dashed[k] ? (std::vector<float>{2, 2}) : std::vector<float>{});
            EXPECT_EQ(s[k]->color.b, 1);
            EXPECT_FLOAT_EQ(s[k]->color.a, 0.8f);
        }
    }
}

TEST(PlotPlane, LabelsAtTheDefaultView)
{
    Plane p;
    Recorder r(SizeF{320, 480});
    p.drawPlane(r);
    std::set<std::string> xs, ys;
    for (const Op* t : texts(r.ops())) {
        EXPECT_NE(t->text, "0");
        EXPECT_EQ(t->fontSize, 15);
        EXPECT_EQ(t->v[2], 70);
        EXPECT_EQ(t->v[3], 30);
        EXPECT_EQ(t->color.a, 1); // black
        EXPECT_EQ(t->color.r + t->color.g + t->color.b, 0);
        if (t->align == TextAlign::Center) {
            // x labels: anchored at oy - 6 = 234, above the axis (-18).
            EXPECT_EQ(t->v[1], 234 - 18);
            xs.insert(t->text);
        } else {
            // y labels: the axis is not in the left half, so right-aligned
            // left of it.
            EXPECT_EQ(t->align, TextAlign::Right);
            EXPECT_EQ(t->v[0], 154 - 75);
            ys.insert(t->text);
        }
    }
    EXPECT_EQ(xs, (std::set<std::string>{"-6", "-4", "-2", "2", "4", "6", "8", "10"}));
    EXPECT_TRUE(ys.count("2") && ys.count("-2") && ys.count("8") && ys.count("-8"));
    // The label at x = 2 is centred on its tick: rectangle from 220 - 35.
    bool found = false;
    for (const Op* t : texts(r.ops()))
        if (t->text == "2" && t->align == TextAlign::Center)
            found = near(t->v[0], 185);
    EXPECT_TRUE(found);

    // Ticks: vertical ones on the x axis at oy - 6, none at the origin.
    const int verStripe = layerOfSize(r.ops(), 2, 12);
    int ticks = 0;
    for (const Op& op : r.ops())
        if (op.kind == "drawLayerAt" && op.layer == verStripe) {
            ++ticks;
            EXPECT_EQ(op.v[1], 234);
            EXPECT_NE(op.v[0], 160);
        }
    EXPECT_EQ(ticks, 7); // nx = trunc(320/60 + 3) = 8, less the origin
}

TEST(PlotPlane, LabelsBelowAndRightOfAClampedAxis)
{
    // Origin off to the top-left: the x axis runs along the top of the good
    // rectangle with its labels below, the y axis along its left edge with
    // left-aligned labels to its right.
    Plane p;
    p.setCenter(-100, -100);
    Recorder r(SizeF{320, 480});
    p.drawPlane(r);
    int xl = 0, yl = 0;
    for (const Op* t : texts(r.ops())) {
        if (t->align == TextAlign::Center) {
            ++xl;
            EXPECT_EQ(t->v[1], 64 - 6 + 12);
        } else {
            ++yl;
            EXPECT_EQ(t->align, TextAlign::Left);
            EXPECT_EQ(t->v[0], 0 - 6 + 17);
        }
    }
    EXPECT_GT(xl, 3);
    EXPECT_GT(yl, 5);
}

TEST(PlotPlane, TraceModeLowersLabelsByOnePoint)
{
    Plane p;
    Recorder moving(SizeF{320, 480}), tracing(SizeF{320, 480});
    p.view.drawPlane(moving);
    p.view.setFState(PlotMode::Trace);
    p.view.drawPlane(tracing);
    const auto a = texts(moving.ops()), b = texts(tracing.ops());
    ASSERT_EQ(a.size(), b.size());
    ASSERT_FALSE(a.empty());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(b[i]->v[0], a[i]->v[0]);
        EXPECT_EQ(b[i]->v[1], a[i]->v[1] + 1);
    }
}

TEST(PlotPlane, LabelsNextToTheOriginGiveWay)
{
    // Origin below the view: the x axis is clamped to the bottom of the good
    // rectangle (435) and the y label at y = 440 would overlap the x labels,
    // but only when an x label stands near the y axis.
    auto yLabelAt440 = [](double cx) {
        Plane p;
        p.setCenter(cx, 500);
        Recorder r(SizeF{320, 480});
        p.drawPlane(r);
        bool label = false, tick = false;
        for (const Op& op : r.ops()) {
            if (op.kind == "drawText" && op.align != TextAlign::Center && near(op.v[1], 430))
                label = true;
            if (op.kind == "drawLayerAt" && op.v.size() == 2 && near(op.v[1], 440))
                tick = true;
        }
        EXPECT_TRUE(tick);
        return label;
    };
    EXPECT_FALSE(yLabelAt440(-100)); // y axis clamped at 0, x labels at -40 and 20
    EXPECT_TRUE(yLabelAt440(0));     // nearest x labels at ±60
}

TEST(PlotPlane, LabelTextsAndSizes)
{
    struct Case {
        double v;
        const char* text;
    };
    const Case cases[] = {
        {0.30000000000000004, "0.3"}, {-2, "-2"},         {1e-5, "1E-05"},     {1234567.8, "1234568"},
        {12345678, "1.234568E+07"},   {0.1 + 0.7, "0.8"}, {-1e300, "-1E+300"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(labelText(c.v), c.text);

    const std::pair<int, int> sizes[] = {{-1, 15}, {0, 15},  {7, 15}, {8, 14}, {9, 13},
                                         {10, 12}, {15, 11}, {34, 6}, {100, 5}};
    for (auto [n, size] : sizes)
        EXPECT_EQ(sizeForLength(n), size) << n;
}

TEST(PlotPlane, FractionalLabelsPrintShort)
{
    // Scale 1000: labels every 0.1, summed from the first one; the sums
    // carry binary noise that the format drops.
    Plane p;
    p.setScale(1000);
    Recorder r(SizeF{320, 480});
    p.drawPlane(r);
    std::set<std::string> xs;
    for (const Op* t : texts(r.ops()))
        if (t->align == TextAlign::Center)
            xs.insert(t->text);
    EXPECT_EQ(xs, (std::set<std::string>{"-0.2", "-0.1", "0.1", "0.2", "0.3", "0.4"}));
}

TEST(PlotPlane, ZeroScaleKeepsTheAxesOnly)
{
    Plane p;
    p.scale = myPoint{0, 30};
    Recorder r(SizeF{320, 480});
    p.drawPlane(r);
    for (const Op& op : r.ops())
        EXPECT_TRUE(op.kind == "strokePath" || op.kind == "save" || op.kind == "restore") << op.kind;
    EXPECT_EQ(strokes(r.ops()).size(), 2u);
}

// ---- values of no size ----------------------------------------------------------------------

TEST(PlotPlane, BadCentresScalesAndSizesDrawNothingWrong)
{
    struct Case {
        const char* what;
        double cx, cy, s;
        float w, h;
        bool grid; // the grid can still be drawn
    };
    const Case cases[] = {
        {"NaN scale", 160, 240, kNaN, 320, 480, false},
        {"infinite scale", 160, 240, kInf, 320, 480, false},
        {"negative scale", 160, 240, -30, 320, 480, false},
        {"huge scale", 160, 240, 1e300, 320, 480, true},
        {"largest scale", 160, 240, 1.7976931348623157e308, 320, 480, true},
        {"tiny scale", 160, 240, 1e-300, 320, 480, true},
        {"subnormal scale", 160, 240, 4.9e-324, 320, 480, true},
        {"NaN centre", kNaN, kNaN, 30, 320, 480, true},
        {"infinite centre", kInf, -kInf, 30, 320, 480, true},
        {"huge centre", 1e300, -1e300, 30, 320, 480, true},
        {"huge centre and tiny scale", 1e300, 1e300, 1e-300, 320, 480, true},
        {"huge view", 160, 240, 30, 1e30f, 1e30f, false},
        {"infinite view", 160, 240, 30, INFINITY, 480, true}, // refused: stays 320 × 480
        {"empty view", 0, 0, 30, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Plane p;
        p.view.setFrame(RectF{0, 0, c.w, c.h});
        p.setCenter(c.cx, c.cy);
        p.setScale(c.s);
        Recorder r(SizeF{320, 480});
        p.drawPlane(r);
        EXPECT_TRUE(allFinite(r.ops()));
        bool anyGrid = false;
        for (const Op& op : r.ops()) {
            anyGrid |= op.kind == "drawLayerAt" && op.v.size() == 2 && op.layer > 0;
            if (op.kind == "drawText") {
                EXPECT_EQ(op.text.find("NAN"), std::string::npos);
                EXPECT_EQ(op.text.find("INF"), std::string::npos);
            }
        }
        if (!c.grid) {
            EXPECT_FALSE(anyGrid);
        }
        // The grid always stops: at most four passes of at most 16 + 3
        // lines per axis here, plus ticks.
        EXPECT_LT(r.ops().size(), 800u);
    }
}

TEST(PlotPlane, NaNCentreDrawsNoAxisAndNoLabel)
{
    Plane p;
    p.setCenter(kNaN, 240);
    Recorder r(SizeF{320, 480});
    p.drawPlane(r);
    EXPECT_TRUE(texts(r.ops()).empty());
    // Only the x axis, whose position is known.
    const auto s = strokes(r.ops());
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0]->v[1], 240);
}
