// The contour of g(x, y) = 0 as facts in device pixels: how far its pieces
// stray from the true curve, whether closed curves close, whether crossing
// lines cross and whether a curve a few pixels small is found.
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "implicit_contour.h"
#include "orlix/implicit_function.h"

using namespace orlix;
using namespace orlix::implicit;

namespace {

constexpr double Pi = 3.141592653589793;

struct View {
    double scale;          // points per unit
    double cx = 0, cy = 0; // the centre of the view
    double ratio = 1;      // device pixels per point
    int cells = 60;
};

// The contour over three 400 × 300 views around the centre, as the plane
// asks for it.
Contour contourOf(const std::string& g, const View& v)
{
    auto f = iFunction::functionFromString(g);
    ContourRequest r;
    const double halfW = 600 / v.scale, halfH = 450 / v.scale;
    r.minX = v.cx - halfW;
    r.maxX = v.cx + halfW;
    r.minY = v.cy - halfH;
    r.maxY = v.cy + halfH;
    r.focusMinX = v.cx - halfW / 3;
    r.focusMaxX = v.cx + halfW / 3;
    r.focusMinY = v.cy - halfH / 3;
    r.focusMaxY = v.cy + halfH / 3;
    r.cells = v.cells;
    r.pixelsPerUnitX = r.pixelsPerUnitY = v.scale * v.ratio;
    return traceContour(*f->functionSM(), r);
}

// The largest distance, in device pixels, of a piece's middle in view from
// the curve whose distance function is given.
double worstMiddle(const Contour& c, const View& v, const std::function<double(myPoint)>& distance)
{
    double worst = 0;
    for (const auto& [a, b] : c.segments) {
        const myPoint p = c.points[static_cast<std::size_t>(a)], q = c.points[static_cast<std::size_t>(b)];
        const myPoint middle{(p.x + q.x) / 2, (p.y + q.y) / 2};
        if (std::fabs(middle.x - v.cx) * v.scale <= 200 && std::fabs(middle.y - v.cy) * v.scale <= 150)
            worst = std::max(worst, distance(middle) * v.scale * v.ratio);
    }
    return worst;
}

// How many pieces meet at each point.
std::map<int, int> degrees(const Contour& c)
{
    std::map<int, int> d;
    for (const auto& [a, b] : c.segments) {
        ++d[a];
        ++d[b];
    }
    return d;
}

double length(const Contour& c)
{
    double sum = 0;
    for (const auto& [a, b] : c.segments) {
        const myPoint p = c.points[static_cast<std::size_t>(a)], q = c.points[static_cast<std::size_t>(b)];
        sum += std::hypot(p.x - q.x, p.y - q.y);
    }
    return sum;
}

// The unit circle, whole in the window, at the default scale, where a grid
// corner lies on it (scale 100: x = -6 + 35 · 0.2), on a phone's two device
// pixels a point, and on the coarsest and finest grids: round within half a
// pixel and closed, every point the end of exactly two pieces.
TEST(ImplicitContourTest, UnitCircleIsRoundAndClosed)
{
    const auto offCircle = [](myPoint p) { return std::fabs(std::hypot(p.x, p.y) - 1); };
    for (const View v : {View{30}, View{100}, View{30, 0, 0, 2}, View{100, 0, 0, 1, 25}, View{100, 0, 0, 2, 150},
                         View{7.5}, View{400, 0, 0, 1, 150}}) {
        SCOPED_TRACE("scale " + std::to_string(v.scale) + ", ratio " + std::to_string(v.ratio));
        const Contour c = contourOf("x^2+y^2-1", v);
        ASSERT_FALSE(c.segments.empty());
        EXPECT_LE(worstMiddle(c, v, offCircle), 0.5);
        for (const auto& [point, count] : degrees(c))
            EXPECT_EQ(count, 2) << "at (" << c.points[static_cast<std::size_t>(point)].x << ", "
                                << c.points[static_cast<std::size_t>(point)].y << ")";
        EXPECT_NEAR(length(c) * v.scale * v.ratio, 2 * Pi * v.scale * v.ratio, 1.0);
    }
}

// Far in: at scale 1000 an arc of the circle crosses the view.
TEST(ImplicitContourTest, ArcAtDeepZoomStaysWithinHalfAPixel)
{
    const View v{1000, 1, 0, 2};
    const Contour c = contourOf("x^2+y^2-1", v);
    ASSERT_FALSE(c.segments.empty());
    EXPECT_LE(worstMiddle(c, v, [](myPoint p) { return std::fabs(std::hypot(p.x, p.y) - 1); }), 0.5);
}

// sin(x) = cos(y) is two families of straight lines, y = ±(x − π/2) + 2kπ,
// crossing at saddles of g: the pieces follow the lines, not the octagons
// of a coarse grid, and pass through every crossing in view.
TEST(ImplicitContourTest, CrossingLinesCross)
{
    const auto toLines = [](myPoint p) {
        const auto family = [](double u) { return std::fabs(std::remainder(u, 2 * Pi)) / std::sqrt(2.0); };
        return std::min(family(p.y - p.x + Pi / 2), family(p.y + p.x - Pi / 2));
    };
    for (const View v : {View{30}, View{30, 0, 0, 2, 150}, View{80, 1, 1}}) {
        SCOPED_TRACE("scale " + std::to_string(v.scale));
        const Contour c = contourOf("sin(x)-cos(y)", v);
        EXPECT_LE(worstMiddle(c, v, toLines), 0.5);
        // The crossings (π/2 + iπ, jπ), i + j even, inside the view.
        const double halfW = 200 / v.scale, halfH = 150 / v.scale;
        for (int i = -8; i <= 8; ++i)
            for (int j = -8; j <= 8; ++j) {
                const myPoint s{Pi / 2 + i * Pi, j * Pi};
                if ((i + j) % 2 != 0 || std::fabs(s.x - v.cx) > halfW || std::fabs(s.y - v.cy) > halfH)
                    continue;
                double nearest = INFINITY;
                for (const myPoint& p : c.points)
                    nearest = std::min(nearest, std::hypot(p.x - s.x, p.y - s.y));
                EXPECT_LE(nearest * v.scale * v.ratio, 0.75) << "crossing at (" << s.x << ", " << s.y << ")";
            }
    }
}

// Curves that do not change the sign of g at any grid corner: a circle of
// a few pixels inside one coarse cell, and two close circles, are found by
// the enclosures; g with no zero, or no value, draws nothing.
TEST(ImplicitContourTest, SmallComponentsAreFound)
{
    struct Case {
        const char* g;
        double radius; // of the circle around (0.31, 0.27), in units
    };
    const View v{30};
    for (const Case& k : {Case{"(x-0.31)^2+(y-0.27)^2-0.0025", 0.05}, Case{"(x-0.31)^2+(y-0.27)^2-0.0004", 0.02}}) {
        SCOPED_TRACE(k.g);
        const Contour c = contourOf(k.g, v);
        ASSERT_FALSE(c.segments.empty());
        for (const myPoint& p : c.points)
            EXPECT_NEAR(std::hypot(p.x - 0.31, p.y - 0.27), k.radius, 1e-9);
    }
    EXPECT_TRUE(contourOf("x^2+y^2+1", v).segments.empty());
    EXPECT_TRUE(contourOf("sqrt(-1-x^2)", v).segments.empty());
}

// The axes of x·y = 0 lie on the grid lines, every corner on them a zero:
// they are drawn along their whole length, the origin included.
TEST(ImplicitContourTest, ZerosOnTheGridLines)
{
    const View v{30};
    const Contour c = contourOf("x*y", v);
    EXPECT_LE(worstMiddle(c, v, [](myPoint p) { return std::min(std::fabs(p.x), std::fabs(p.y)); }), 0.5);
    // 40 units of the x axis and 30 of the y axis in the window.
    EXPECT_NEAR(length(c), 70, 0.05);
}

} // namespace
