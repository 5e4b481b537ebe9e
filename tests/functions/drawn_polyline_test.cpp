// Polar and parametric curves as drawn: refined between their samples to
// within half a device pixel, broken at a pole with both branches carried
// to the view's edge, broken at a jump with the pieces ending at it.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/yx_function.h"
#include "orlix/rf_function.h"
#include "orlix/t_function.h"
#include "plane_fixture.h"
#include "recording_canvas.h"

using namespace orlix;

namespace {

constexpr double Pi = 3.141592653589793;

// The strokes drawn on it: each a run of points joined by lines.
class PieceCanvas : public test::RecordingCanvas {
  public:
    using RecordingCanvas::RecordingCanvas;
    std::vector<std::vector<PointF>> pieces;
    void moveTo(float x, float y) override { pieces.push_back({PointF{x, y}}); }
    void lineTo(float x, float y) override { pieces.back().push_back(PointF{x, y}); }
};

double distance(PointF a, PointF b) { return std::hypot(a.x - b.x, a.y - b.y); }

double distanceToSegment(PointF p, PointF a, PointF b)
{
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    const double u = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(p.x - a.x - u * dx, p.y - a.y - u * dy);
}

class DrawnPolylineTest : public orlix::testing::PlaneTest {
  protected:
    // A window of [lo, hi] on both axes at scale points per unit and ratio
    // pixels per point, as the plane hands it to the model.
    void view(double lo, double hi, double scale, double ratio)
    {
        lo_ = lo;
        hi_ = hi;
        plane.sx = plane.sy = scale;
        plane.ratio = ratio;
        model.setMinX(lo, hi);
        model.setMinY(lo, hi);
    }
    // The curves of the model drawn over the window.
    PieceCanvas draw()
    {
        const double scale = plane.sx;
        const float size = static_cast<float>((hi_ - lo_) * scale);
        PieceCanvas layer(SizeF{size, size});
        model.drawFunctionsOnLayer(layer, myPoint{scale * lo_, -scale * hi_}, myPoint{scale, scale});
        return layer;
    }
    PointF device(myPoint p) const
    {
        return PointF{static_cast<float>(plane.sx * (p.x - lo_)), static_cast<float>(plane.sy * (hi_ - p.y))};
    }
    template <class F> std::shared_ptr<F> registered(std::shared_ptr<F> f, int samples, double lo, double hi)
    {
        model.setFunction(f, "f");
        f->setNumOfPoints(samples);
        f->setMinVar(lo, hi);
        return f;
    }

    double lo_ = 0, hi_ = 0;
};

TEST_F(DrawnPolylineTest, APoleBreaksTheStrokeAndBothBranchesReachTheEdge)
{
    // The samples nearest θ = π/2 stand at |y| ≈ 254, short of the edge.
    view(-300, 300, 1, 1);
    registered(rfFunction::functionFromString("1/cos(θ)"), 400, 0, Pi);
    const PieceCanvas layer = draw();
    bool top = false, bottom = false;
    for (const auto& piece : layer.pieces) {
        for (std::size_t i = 1; i < piece.size(); ++i) {
            // Device y: the axis at 300, the edges at 0 and 600.
            const float y0 = piece[i - 1].y - 300, y1 = piece[i].y - 300;
            EXPECT_FALSE(y0 * y1 < 0 && std::fabs(y0) > 50 && std::fabs(y1) > 50)
                << "joins " << y0 << " and " << y1 << " across the pole";
        }
        for (const PointF& p : piece) {
            top = top || (piece.size() > 1 && p.y <= 0);
            bottom = bottom || (piece.size() > 1 && p.y >= 600);
        }
    }
    EXPECT_TRUE(top);
    EXPECT_TRUE(bottom);
}

TEST_F(DrawnPolylineTest, FewSamplesOfARoseAreDrawnWithinHalfADevicePixel)
{
    view(-1.2, 1.2, 100, 2);
    auto f = registered(rfFunction::functionFromString("sin(7θ)"), 60, 0, 2 * Pi);
    const PieceCanvas layer = draw();
    EXPECT_EQ(f->points().size(), 60u); // the samples stay as they are
    std::vector<PointF> dense;
    for (int k = 0; k <= 20000; ++k)
        dense.push_back(device(f->positionAt(2 * Pi * k / 20000)));
    int segments = 0;
    for (const auto& piece : layer.pieces) {
        for (std::size_t i = 1; i < piece.size(); ++i, ++segments) {
            const PointF mid{(piece[i - 1].x + piece[i].x) / 2, (piece[i - 1].y + piece[i].y) / 2};
            double nearest = INFINITY;
            for (std::size_t k = 1; k < dense.size(); ++k)
                nearest = std::min(nearest, distanceToSegment(mid, dense[k - 1], dense[k]));
            ASSERT_LE(nearest, 0.25 + 1e-3) << "segment " << segments;
        }
    }
    EXPECT_GT(segments, 59);
}

TEST_F(DrawnPolylineTest, AJumpBreaksTheStrokeWithThePiecesEndingAtIt)
{
    view(-0.5, 3.5, 100, 1);
    // A sample every 0.103: none at the jumps at 1 and 2.
    registered(tFunction::functionFromStringForX("t", "floor(t)"), 30, 0, 3);
    const PieceCanvas layer = draw();
    for (const auto& piece : layer.pieces)
        for (std::size_t i = 1; i < piece.size(); ++i)
            EXPECT_LT(std::fabs(piece[i].y - piece[i - 1].y), 1) << "a stroke across the jump";
    for (int k = 1; k <= 2; ++k) {
        SCOPED_TRACE(k);
        const PointF before = device(myPoint{double(k), k - 1.0}), after = device(myPoint{double(k), double(k)});
        EXPECT_TRUE(std::any_of(layer.pieces.begin(), layer.pieces.end(),
                                [&](const auto& p) { return p.size() > 1 && distance(p.back(), before) <= 1; }));
        EXPECT_TRUE(std::any_of(layer.pieces.begin(), layer.pieces.end(),
                                [&](const auto& p) { return p.size() > 1 && distance(p.front(), after) <= 1; }));
    }
}

} // namespace

namespace {

// y(x) as drawn on a layer as tall as the app's (three screens): every
// branch of tan between two poles is stroked from the top edge to the
// bottom one, on the right of the layer as on the left.
TEST_F(DrawnPolylineTest, EveryBranchOfTanIsStrokedFromEdgeToEdgeOfALargeLayer)
{
    view(-1000, 1000, 1, 1);
    auto f = registered(yxFunction::functionFromString("tan(x/50)"), 1000, -1000, 1000);
    const PieceCanvas layer = draw();
    int whole = 0;
    for (const auto& piece : layer.pieces) {
        float top = INFINITY, bottom = -INFINITY;
        for (const PointF& p : piece) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        whole += piece.size() > 1 && top <= 0 && bottom >= 2000;
    }
    // Poles at 50·(π/2 + kπ): 11 whole branches between the 12 in view.
    EXPECT_EQ(whole, 11);
}

} // namespace
