// Pictures as facts: what the polyline a y(x) curve hands to the drawing
// shows, measured in device pixels of a 400 × 300 view (one device pixel a
// point, a sample per two).
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

constexpr double Pi = 3.141592653589793;

class CurvePictureTest : public orlix::testing::PlaneTest {
  protected:
    // A 400 × 300 view around (cx, cy) at `scale` points per unit.
    std::shared_ptr<yxFunction> drawn(const std::string& text, double scale, double cx = 0, double cy = 0)
    {
        plane.sx = plane.sy = scale;
        model.setMinX(cx - 200 / scale, cx + 200 / scale);
        model.setMinY(cy - 150 / scale, cy + 150 / scale);
        model.setSampleFloor(200, 150);
        auto f = attached(yxFunction::functionFromString(text));
        f->setChosenPointCount(200);
        f->fillStaticInfo();
        f->updatePoints();
        return f;
    }

    // The unbroken pieces of the drawn polyline, in device pixels of the view.
    std::vector<std::vector<myPoint>> pieces(const yxFunction& f, double scale) const
    {
        const auto points = f.drawPolylinePoints();
        const auto breaks = f.drawPolylineBreaks();
        const double x0 = model.minX(), y1 = model.maxY();
        std::vector<std::vector<myPoint>> r(1);
        for (std::size_t k = 0; k < points.size(); ++k) {
            const myPoint p = points[k];
            const bool broken = k < breaks.size() && breaks[k];
            if (std::isnan(p.x) || std::isnan(p.y) || broken)
                if (!r.back().empty())
                    r.emplace_back();
            if (!std::isnan(p.x) && !std::isnan(p.y))
                r.back().push_back(myPoint{(p.x - x0) * scale, (y1 - p.y) * scale});
        }
        if (r.back().empty())
            r.pop_back();
        return r;
    }

    // Per pixel column of the view, the lowest and highest ink.
    static std::vector<std::pair<double, double>> inkPerColumn(const std::vector<std::vector<myPoint>>& pieces)
    {
        std::vector<std::pair<double, double>> ink(400, {INFINITY, -INFINITY});
        for (const auto& piece : pieces)
            for (std::size_t k = 0; k + 1 < piece.size(); ++k) {
                const myPoint a = piece[k], b = piece[k + 1];
                const double left = std::min(a.x, b.x), right = std::max(a.x, b.x);
                for (int c = std::max(0, static_cast<int>(std::floor(left))); c < 400 && c <= right; ++c) {
                    const auto at = [&](double x) {
                        return b.x == a.x ? a.y : a.y + (b.y - a.y) * (std::clamp(x, left, right) - a.x) / (b.x - a.x);
                    };
                    const double y0 = at(c), y1 = at(c + 1);
                    ink[static_cast<size_t>(c)].first = std::min({ink[static_cast<size_t>(c)].first, y0, y1, a.x == b.x ? std::min(a.y, b.y) : y0});
                    ink[static_cast<size_t>(c)].second = std::max({ink[static_cast<size_t>(c)].second, y0, y1, a.x == b.x ? std::max(a.y, b.y) : y1});
                }
            }
        return ink;
    }
};

// tan(x) with its poles in step with the samples (100 periods in view, a
// sample every π/2) and a little off step, and with 10 periods: every
// branch between two poles crosses the whole view, the two halves at the
// ends reach one edge each.
TEST_F(CurvePictureTest, EveryBranchOfTanReachesBothEdges)
{
    struct Case {
        double scale;
        int whole; // branches from the bottom to the top of the view
    } cases[] = {{400 / (100 * Pi), 99}, {400 / (100 * Pi) * 0.997, 99}, {400 / (10 * Pi), 9}};
    for (const Case& c : cases) {
        auto f = drawn("tan(x)", c.scale);
        int whole = 0;
        for (const auto& piece : pieces(*f, c.scale)) {
            double top = INFINITY, bottom = -INFINITY;
            for (const myPoint& p : piece) {
                top = std::min(top, p.y);
                bottom = std::max(bottom, p.y);
            }
            whole += top <= 0 && bottom >= 300;
        }
        EXPECT_GE(whole, c.whole) << c.scale;
        EXPECT_LE(whole, c.whole + 2) << c.scale;
    }
}

// A fast oscillation is drawn as the band it sweeps: sin(1000x) at 30
// points per unit turns five times within a pixel, sin(50x) once in four,
// sin(1/x) and x·sin(1/x) ever faster towards 0. In every pixel column the
// values the curve takes (sampled densely) have ink within a pixel.
TEST_F(CurvePictureTest, FastOscillationInksEverythingItSweeps)
{
    struct Case {
        const char* formula;
        double scale;
    } cases[] = {{"sin(1000*x)", 30}, {"sin(50*x)", 30}, {"sin(1/x)", 100}, {"x*sin(1/x)", 1000}};
    for (const Case& c : cases) {
        auto f = drawn(c.formula, c.scale);
        const auto ink = inkPerColumn(pieces(*f, c.scale));
        int missing = 0;
        // The samples end a step before the window's right edge.
        for (int col = 1; col < 397; ++col) {
            double lo = INFINITY, hi = -INFINITY;
            for (int k = col - 1; k <= col + 1; ++k) {
                lo = std::min(lo, ink[static_cast<size_t>(k)].first);
                hi = std::max(hi, ink[static_cast<size_t>(k)].second);
            }
            for (int k = 0; k <= 400; ++k) {
                const double x = model.minX() + (col + k / 400.0) / c.scale;
                const double y = (model.maxY() - f->valueAt(x)) * c.scale;
                if (std::isfinite(y) && y >= 0 && y <= 300 && (y < lo - 1 || y > hi + 1)) {
                    ADD_FAILURE() << c.formula << ": column " << col << " has ink from " << lo << " to " << hi
                                  << " but the curve reaches " << y;
                    ++missing;
                    break;
                }
            }
        }
        EXPECT_EQ(missing, 0) << c.formula;
    }
}

// The ends of pieces: a removable hole on a sample leaves a gap of at most a
// device pixel; a jump of floor ends each step within a pixel of the jump;
// √x starts within a pixel of 0.
TEST_F(CurvePictureTest, PiecesEndWithinAPixelOfWhereTheCurveDoes)
{
    struct Case {
        const char* formula;
        double scale, cx;
        double at; // where the gap or the end is, in user units
    } cases[] = {{"(x^2-1)/(x-1)", 100, 1, 1}, {"floor(x)", 100, 0.013, 1}, {"sqrt(x)", 100, 1.3, 0}};
    for (const Case& c : cases) {
        auto f = drawn(c.formula, c.scale, c.cx, 0);
        const double atPixel = (c.at - model.minX()) * c.scale;
        double before = -INFINITY, after = INFINITY;
        for (const auto& piece : pieces(*f, c.scale))
            for (const myPoint& p : piece) {
                if (p.x <= atPixel)
                    before = std::max(before, p.x);
                if (p.x >= atPixel)
                    after = std::min(after, p.x);
            }
        if (c.at > 0) {
            EXPECT_LE(atPixel - before, 1) << c.formula;
        }
        EXPECT_LE(after - atPixel, 1) << c.formula;
    }
}

} // namespace
