// Marked points: types, visibility, markers and the arrows to points off
// the view.
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/special_point.h"
#include "recording_canvas.h"

using namespace orlix;
using orlix::test::RecordingCanvas;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// Good rectangle (10, 20, 200, 300); device = (100 + 10·x, 200 − 10·y).
struct FakePlot : PlotContext {
    myPoint plotScale() const override { return {10, 10}; }
    myPoint myPointToUser(myPoint d) const override { return {(d.x - 100) / 10, (200 - d.y) / 10}; }
    PointF myPointToDevice(myPoint u) const override
    {
        return PointF{static_cast<float>(100 + 10 * u.x), static_cast<float>(200 - 10 * u.y)};
    }
    RectF goodRect() const override { return RectF{10, 20, 200, 300}; }
};

class SpecialPointTest : public ::testing::Test {
  protected:
    void SetUp() override { specialObject::setPlotter(&plot); }
    void TearDown() override { specialObject::setPlotter(nullptr); }
    FakePlot plot;
};

myPointInfo at(double x, double y) { return myPointInfo{{x, y}, 7, 3, std::nullopt}; }

std::vector<float> numbers(const std::string& call)
{
    std::vector<float> out;
    const char* s = call.c_str();
    while (*s) {
        char* end;
        float v = std::strtof(s, &end);
        if (end != s) {
            out.push_back(v);
            s = end;
        } else {
            ++s;
        }
    }
    return out;
}

std::string layerId(RecordingCanvas& c, specialPoint::Marker m)
{
    auto* layer = dynamic_cast<const RecordingCanvas*>(specialPoint::markerLayer(c, m));
    return layer ? std::to_string(layer->id()) : "none";
}

struct Arrow {
    PointF head, tail;
    float width = 0;
    std::string color;
    std::vector<std::string> path;
};

Arrow arrowOf(const RecordingCanvas& c)
{
    Arrow a;
    a.path = c.only({"moveTo", "lineTo", "stroke"});
    for (const auto& call : c.calls) {
        if (call.rfind("lineWidth", 0) == 0)
            a.width = numbers(call)[0];
        if (call.rfind("strokeColor", 0) == 0)
            a.color = call;
    }
    if (a.path.size() >= 2) {
        auto t = numbers(a.path[0]), h = numbers(a.path[1]);
        a.tail = {t[0], t[1]};
        a.head = {h[0], h[1]};
    }
    return a;
}

} // namespace

TEST_F(SpecialPointTest, TypesAndRootCleaning)
{
    struct Case {
        const char* type;
        myPoint in, out;
        double value;
        specialPoint::Marker marker;
        float betta;
    };
    using M = specialPoint::Marker;
    const float quarter = static_cast<float>(std::numbers::pi / 4);
    const Case cases[] = {
        {"root", {2, 1e-9}, {2, 0}, 0, M::Root, 0},
        {"root", {1e-9, 5}, {0, 5}, 0, M::Root, 0},
        {"root", {1, 1}, {1, 1}, 0, M::Root, 0},
        {"root", {-3000, 2}, {-3000, 0}, 0, M::Root, 0},
        {"root", {1, 1000.5}, {0, 1000.5}, 0, M::Root, 0},
        {"root", {1, 999}, {1, 999}, 0, M::Root, 0},
        {"inter", {2, 1e-9}, {2, 1e-9}, 7, M::Root, quarter},
        {"minmax", {1e-9, 5}, {1e-9, 5}, 7, M::MinMax, 0},
        {"infl", {1, 2}, {1, 2}, 7, M::Infl, 0},
        {"trace", {1, 2}, {1, 2}, 7, M::Trace, 0},
        {"trace2", {1, 2}, {1, 2}, 7, M::Trace2, 0},
        {"Root", {1, 2}, {1, 2}, 7, M::None, 0},
        {"", {1, 2}, {1, 2}, 7, M::None, 0},
    };
    for (const Case& c : cases) {
        auto p = specialPoint::pointWithInfo(at(c.in.x, c.in.y), c.type);
        EXPECT_EQ(p->info().point.x, c.out.x) << c.type << " " << c.in.x;
        EXPECT_EQ(p->info().point.y, c.out.y) << c.type << " " << c.in.y;
        EXPECT_EQ(p->info().value, c.value) << c.type;
        EXPECT_EQ(p->info().variable, 3) << c.type;
        EXPECT_EQ(p->image(), c.marker) << c.type;
        EXPECT_EQ(p->betta(), c.betta) << c.type;
        EXPECT_TRUE(std::isnan(p->devicePoint().x));
        EXPECT_TRUE(std::isnan(p->thetta()));
    }
    auto nan = specialPoint::pointWithInfo(at(NaN, 1), "root");
    EXPECT_TRUE(std::isnan(nan->info().point.x));
}

TEST_F(SpecialPointTest, IsInsideTheGoodRectangle)
{
    struct Case {
        myPoint p;
        bool inside;
    };
    const Case cases[] = {
        {{0, 0}, true},    {{-9, 0}, true},    {{-9.1, 0}, false}, {{11, 0}, true},     {{11.1, 0}, false},
        {{0, 18}, true},   {{0, 18.1}, false}, {{0, -12}, true},   {{0, -12.1}, false}, {{NaN, 0}, false},
        {{0, NaN}, false}, {{Inf, 0}, false},  {{0, -Inf}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(specialPoint::isInside(c.p), c.inside) << c.p.x << ", " << c.p.y;
    EXPECT_FALSE(specialObject::isInside({0, 0}));
    specialObject::setPlotter(nullptr);
    EXPECT_FALSE(specialPoint::isInside({0, 0}));
    RecordingCanvas c;
    auto p = specialPoint::pointWithInfo(at(0, 0), "root");
    EXPECT_FALSE(p->drawToContext(c));
    p->drawAnyway(c);
    EXPECT_TRUE(c.only({"moveTo", "drawLayer", "translate"}).empty());
}

TEST_F(SpecialPointTest, DrawsTheMarkerWhereThePointIs)
{
    RecordingCanvas c;
    auto root = specialPoint::pointWithInfo(at(0, 0), "root");
    EXPECT_TRUE(root->drawToContext(c));
    const std::string id = layerId(c, specialPoint::Marker::Root);
    EXPECT_EQ(c.only({"translate", "rotate", "drawLayer"}),
              (std::vector<std::string>{"translate 100 200", "rotate 0", "drawLayer #" + id + " at -12 -12",
                                        "rotate -0", "translate -100 -200"}));
    EXPECT_EQ(root->devicePoint().x, 100);
    EXPECT_EQ(root->devicePoint().y, 200);

    struct Ro {
        PointF p;
        float ro;
    };
    for (Ro r : {Ro{{100, 200}, 0}, Ro{{103, 204}, 25}, Ro{{70, 200}, 900}})
        EXPECT_EQ(root->roFromPoint(r.p), r.ro);

    // An intersection shows the root marker turned by 45°.
    RecordingCanvas c2;
    auto inter = specialPoint::pointWithInfo(at(1, 1), "inter");
    EXPECT_TRUE(inter->drawToContext(c2));
    EXPECT_EQ(c2.only({"rotate", "drawLayer"}),
              (std::vector<std::string>{"rotate 0.785398",
                                        "drawLayer #" + layerId(c2, specialPoint::Marker::Root) + " at -12 -12",
                                        "rotate -0.785398"}));

    // Outside: nothing drawn, not found by a tap.
    RecordingCanvas c3;
    auto away = specialPoint::pointWithInfo(at(50, 0), "minmax");
    EXPECT_FALSE(away->drawToContext(c3));
    EXPECT_TRUE(std::isnan(away->devicePoint().x));
    EXPECT_TRUE(std::isnan(away->roFromPoint({100, 200})));
    EXPECT_TRUE(c3.only({"translate", "drawLayer"}).empty());

    // Without a marker: visible, but nothing drawn.
    RecordingCanvas c4;
    auto plain = specialPoint::pointWithInfo(at(0, 0), "other");
    EXPECT_TRUE(plain->drawToContext(c4));
    EXPECT_TRUE(c4.calls.empty());
}

TEST_F(SpecialPointTest, MarkerImages)
{
    using M = specialPoint::Marker;
    struct Case {
        M marker;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {M::MinMax,
         {"save", "lineWidth 2", "strokeColor 0 0 1 0.6", "join bevel", "strokeEllipse 6 6 12 12", "moveTo 1.2 12",
          "lineTo 22.8 12", "moveTo 9 23.4", "lineTo 12 12", "lineTo 15 23.4", "stroke", "restore"}},
        {M::Infl,
         {"save", "lineWidth 2", "strokeColor 0 0.6 0 0.6", "join bevel", "strokeEllipse 6 6 12 12", "moveTo 9 6.80385",
          "lineTo 0 12", "lineTo 24 12", "lineTo 15 17.1962", "stroke", "restore"}},
        {M::Trace,
         {"save", "lineWidth 1.5", "strokeColor 1 0 0 0.6", "join bevel", "strokeRect 8.48528 8.48528 7.02944 7.02944",
          "moveTo 0 12", "arcTo 12 12 12 0 12", "arcTo 12 12 24 12 12", "arcTo 12 12 12 24 12", "arcTo 12 12 0 12 12",
          "closePath", "stroke", "restore"}},
        {M::Trace2,
         {"save", "lineWidth 1.5", "strokeColor 1 0 0 1", "join bevel", "strokeEllipse 1 1 22 22",
          "strokeRect 8.48528 8.48528 7.02944 7.02944", "moveTo 12 0", "arcTo 12 12 24 12 12", "arcTo 12 12 12 24 12",
          "closePath", "stroke", "restore"}},
        {M::Arrow, {"save", "lineWidth 2", "strokeColor 1 0 0 1", "strokeEllipse 6 6 12 12", "restore"}},
        {M::None, {"save", "restore"}},
    };
    for (const Case& c : cases) {
        RecordingCanvas layer({24, 24});
        specialPoint::drawMarker(layer, c.marker);
        EXPECT_EQ(layer.calls, c.calls) << static_cast<int>(c.marker);
    }

    // Root: circle and four diagonal spokes from radius 6 to radius 12.
    RecordingCanvas layer({24, 24});
    specialPoint::drawMarker(layer, M::Root);
    EXPECT_EQ(layer.only({"lineWidth", "strokeColor", "strokeEllipse"}),
              (std::vector<std::string>{"lineWidth 2", "strokeColor 1 0.1 0.3 0.6", "strokeEllipse 6 6 12 12"}));
    const auto moves = layer.only({"moveTo"}), lines = layer.only({"lineTo"});
    ASSERT_EQ(moves.size(), 4u);
    ASSERT_EQ(lines.size(), 4u);
    int quadrants = 0;
    for (size_t i = 0; i < 4; ++i) {
        const auto a = numbers(moves[i]), b = numbers(lines[i]);
        EXPECT_NEAR(std::hypot(a[0] - 12, a[1] - 12), 6, 1e-4);
        EXPECT_NEAR(std::hypot(b[0] - 12, b[1] - 12), 12, 1e-4);
        EXPECT_NEAR(std::fabs(b[0] - 12), std::fabs(b[1] - 12), 1e-4);
        quadrants |= 1 << ((b[0] > 12 ? 1 : 0) + (b[1] > 12 ? 2 : 0));
    }
    EXPECT_EQ(quadrants, 15);
}

TEST_F(SpecialPointTest, MarkerLayersAreMadeOncePerCanvasKind)
{
    struct OtherCanvas : RecordingCanvas {};
    RecordingCanvas a, b;
    OtherCanvas other;
    using M = specialPoint::Marker;
    const Canvas* first = specialPoint::markerLayer(a, M::Infl);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(specialPoint::markerLayer(b, M::Infl), first);
    EXPECT_NE(specialPoint::markerLayer(a, M::Trace), first);
    const Canvas* mine = specialPoint::markerLayer(other, M::Infl);
    EXPECT_NE(mine, first);
    EXPECT_EQ(other.only({"createLayer"}).size(), 1u);
    EXPECT_EQ(specialPoint::markerLayer(other, M::Infl), mine);
    EXPECT_EQ(other.only({"createLayer"}).size(), 1u);
    EXPECT_EQ(specialPoint::markerLayer(a, M::None), nullptr);
}

TEST_F(SpecialPointTest, ArrowsToFinitePointsOffTheView)
{
    struct Case {
        const char* name;
        myPoint p;
        PointF head, tail;
    };
    const Case cases[] = {
        {"left", {-20, 0}, {10, 200}, {34, 200}},
        {"right", {20, 3}, {210, 170}, {186, 170}},
        {"top", {1, 100}, {110, 20}, {110, 44}},
        {"bottom", {-1, -100}, {90, 320}, {90, 296}},
        // Corners: 24 points along the line to the centre (110, 170).
        {"top right", {100, 100}, {210, 20}, {210 - 24 * 100 / 180.27756f, 20 + 24 * 150 / 180.27756f}},
        {"bottom left", {-100, -100}, {10, 320}, {10 + 24 * 100 / 180.27756f, 320 - 24 * 150 / 180.27756f}},
        {"top left", {-100, 100}, {10, 20}, {10 + 24 * 100 / 180.27756f, 20 + 24 * 150 / 180.27756f}},
    };
    for (const Case& c : cases) {
        RecordingCanvas canvas;
        auto p = specialPoint::pointWithInfo(at(c.p.x, c.p.y), "root");
        p->drawAnyway(canvas);
        const Arrow a = arrowOf(canvas);
        ASSERT_EQ(a.path.size(), 8u) << c.name;
        EXPECT_NEAR(a.head.x, c.head.x, 1e-3) << c.name;
        EXPECT_NEAR(a.head.y, c.head.y, 1e-3) << c.name;
        EXPECT_NEAR(a.tail.x, c.tail.x, 1e-3) << c.name;
        EXPECT_NEAR(a.tail.y, c.tail.y, 1e-3) << c.name;
        EXPECT_EQ(a.width, 2) << c.name;
        EXPECT_EQ(a.color, "strokeColor 1 0 0 1") << c.name;
        EXPECT_EQ(p->devicePoint().x, a.head.x) << c.name;
        EXPECT_EQ(p->devicePoint().y, a.head.y) << c.name;
        // The red circle centred on the head.
        const auto dot = canvas.only({"drawLayer"});
        ASSERT_EQ(dot.size(), 1u);
        const auto at = numbers(dot[0].substr(dot[0].find(" at ")));
        EXPECT_NEAR(at[0], a.head.x - 12, 1e-3);
        EXPECT_NEAR(at[1], a.head.y - 12, 1e-3);
        EXPECT_EQ(dot[0], "drawLayer #" + layerId(canvas, specialPoint::Marker::Arrow) + " at " +
                              RecordingCanvas::num(at[0]) + " " + RecordingCanvas::num(at[1]));
    }

    // The whole left-edge arrow, barbs included.
    RecordingCanvas canvas;
    auto p = specialPoint::pointWithInfo(at(-20, 0), "root");
    p->drawAnyway(canvas);
    EXPECT_EQ(arrowOf(canvas).path,
              (std::vector<std::string>{"moveTo 34 200", "lineTo 10 200", "stroke", "moveTo 10 200", "lineTo 22 195.2",
                                        "moveTo 10 200", "lineTo 22 204.8", "stroke"}));
    EXPECT_LT(p->roFromPoint({12, 203}), 810);
    EXPECT_EQ(canvas.calls.front(), "save");
    EXPECT_EQ(canvas.calls.back(), "restore");
}

TEST_F(SpecialPointTest, ArrowsToPointsAtInfinity)
{
    struct Case {
        myPoint p;
        PointF head, tail;
    };
    const Case cases[] = {
        {{1, Inf}, {110, 20}, {110, 44}},
        {{1, -Inf}, {110, 320}, {110, 296}},
        {{Inf, 2}, {210, 180}, {186, 180}},
        {{-Inf, 2}, {10, 180}, {34, 180}},
    };
    for (const Case& c : cases) {
        RecordingCanvas canvas;
        auto p = specialPoint::pointWithInfo(at(c.p.x, c.p.y), "minmax");
        p->drawAnyway(canvas);
        const Arrow a = arrowOf(canvas);
        EXPECT_EQ(a.head.x, c.head.x);
        EXPECT_EQ(a.head.y, c.head.y);
        EXPECT_EQ(a.tail.x, c.tail.x);
        EXPECT_EQ(a.tail.y, c.tail.y);
        EXPECT_EQ(a.width, 1);
        EXPECT_EQ(a.color, "strokeColor 0 0 0 1");
    }

    // Both infinite: from the corner, along the diagonal turned by a small
    // jitter that is kept for the next draws.
    const double m = std::atan(300.0 / 200.0);
    struct Corner {
        myPoint p;
        PointF head;
        double theta;
    };
    const Corner corners[] = {
        {{Inf, Inf}, {210, 20}, std::numbers::pi + m},
        {{Inf, -Inf}, {210, 320}, std::numbers::pi - m},
        {{-Inf, Inf}, {10, 20}, -m},
        {{-Inf, -Inf}, {10, 320}, m},
    };
    for (const Corner& c : corners) {
        auto p = specialPoint::pointWithInfo(at(c.p.x, c.p.y), "root");
        RecordingCanvas first, second;
        p->drawAnyway(first);
        const float thetta = p->thetta();
        EXPECT_GE(thetta, c.theta + 0.25 - 0.4995 - 1e-6);
        EXPECT_LE(thetta, c.theta + 0.25 + 1e-6);
        const Arrow a = arrowOf(first);
        EXPECT_EQ(a.head.x, c.head.x);
        EXPECT_EQ(a.head.y, c.head.y);
        EXPECT_NEAR(a.tail.x, c.head.x + 24 * std::cos(thetta), 1e-3);
        EXPECT_NEAR(a.tail.y, c.head.y - 24 * std::sin(thetta), 1e-3);
        EXPECT_TRUE(plot.goodRect().contains(a.tail)) << a.tail.x << ", " << a.tail.y;
        p->drawAnyway(second);
        EXPECT_EQ(p->thetta(), thetta);
        EXPECT_EQ(arrowOf(second).path, a.path);
    }
}

TEST_F(SpecialPointTest, NothingForUndefinedPointsAndNoArrowWhenVisible)
{
    for (myPoint q : {myPoint{NaN, 1}, myPoint{1, NaN}, myPoint{NaN, Inf}, myPoint{Inf, NaN}}) {
        RecordingCanvas canvas;
        auto p = specialPoint::pointWithInfo(at(q.x, q.y), "root");
        p->drawAnyway(canvas);
        EXPECT_TRUE(canvas.only({"moveTo", "lineTo", "drawLayer", "translate"}).empty());
        EXPECT_TRUE(std::isnan(p->devicePoint().x));
        EXPECT_TRUE(std::isnan(p->roFromPoint({0, 0})));
    }
    RecordingCanvas canvas;
    auto p = specialPoint::pointWithInfo(at(1, 1), "trace");
    p->drawAnyway(canvas);
    EXPECT_TRUE(canvas.only({"moveTo", "lineTo"}).empty());
    EXPECT_EQ(canvas.only({"drawLayer"}).size(), 1u);
    EXPECT_EQ(p->devicePoint().x, 110);
}

TEST_F(SpecialPointTest, CopyAndRotate)
{
    RecordingCanvas canvas;
    auto a = specialPoint::pointWithInfo(myPointInfo{{0, 0}, 1, 2, InfoMap{{"f", 0.5}, {"k", 3}}}, "trace");
    a->drawToContext(canvas);
    auto b = specialPoint::pointWithInfo(at(5, 5), "inter");
    b->copyFrom(*a);
    EXPECT_EQ(b->devicePoint().x, 100);
    EXPECT_EQ(b->info().variable, 2);
    EXPECT_EQ(b->info().info->at("k"), 3);
    EXPECT_EQ(b->image(), specialPoint::Marker::Root);
    EXPECT_EQ(b->betta(), static_cast<float>(std::numbers::pi / 4));

    a->setBetta(1);
    a->rotate();
    EXPECT_FLOAT_EQ(a->betta(), 0.5f);
    auto plain = specialPoint::pointWithInfo(at(0, 0), "root");
    plain->setBetta(1);
    plain->rotate();
    EXPECT_EQ(plain->betta(), 1);
}
