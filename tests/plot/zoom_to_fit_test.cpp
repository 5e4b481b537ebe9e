// Zoom to fit: each kind's interesting part ends up inside the band between
// the bars at a usable scale, whatever the curve (flat, nowhere defined,
// tiny, huge, a single point).
#include "orlix/zoom_to_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "orlix/function_kind.h"
#include "view_fakes.h"

using namespace orlix;
using namespace plottest;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Pi = 3.141592653589793;

class ZoomToFit : public ViewTest {
  protected:
    Function::Ptr show(const char* kind, const char* text, double lo, double hi)
    {
        Function::Ptr f = findKindByShortName(kind)->fromText(text);
        if (f->kindInfo()->can.ownRange)
            f->setMinVar(lo, hi);
        model.setFunction(f, "1");
        view.setCurFunc(f);
        return f;
    }
    // The band between the bars, in user units.
    CurveBounds shown() const
    {
        const RectF g = view.goodRect();
        const myPoint a = view.viewState().toUser(myPoint{g.x, g.y});
        const myPoint b = view.viewState().toUser(myPoint{g.maxX(), g.maxY()});
        return CurveBounds{std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y)};
    }
};

TEST_F(ZoomToFit, TheInterestingPartOfEachKindFitsTheBand)
{
    struct Case {
        const char* kind;
        const char* text;
        double lo, hi;
        std::vector<myPoint> mustShow;
        // The points span at least a third of the band one way: the view
        // closed in on them rather than showing everything from afar.
        bool closeIn;
        // When set, the band spans at most this much either way.
        double maxSpan = 0;
    };
    const double r3 = std::sqrt(3.0);
    const Case cases[] = {
        // Roots and extrema.
        {"yx", "x^3-3x", 0, 0, {{-r3, 0}, {r3, 0}, {-1, 2}, {1, -2}}, true},
        {"yx", "x^2", 0, 0, {{0, 0}, {-2, 4}, {2, 4}}, false},
        {"xy", "y^2-4", 0, 0, {{0, 2}, {0, -2}, {-4, 0}}, true},
        // Periodic: the waves round the middle, not the whole window.
        {"yx", "sin(x)", 0, 0, {{-3 * Pi / 2, 1}, {3 * Pi / 2, -1}, {0, 0}}, true},
        // No roots and no extrema: the standard window's part of the curve.
        {"yx", "exp(x)", 0, 0, {{0, 1}, {-5, std::exp(-5)}, {2, std::exp(2)}}, false},
        // Flat.
        {"yx", "5", 0, 0, {{-9, 5}, {9, 5}}, false},
        {"yx", "0", 0, 0, {{-9, 0}, {9, 0}}, false},
        // Defined nowhere: the standard window.
        {"yx", "sqrt(-1-x^2)", 0, 0, {{-10, -10}, {10, 10}}, false},
        // The whole sampled curve.
        {"rf", "1", 0, 2 * Pi, {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}, true},
        {"rf", "1+cos(θ)", 0, 2 * Pi, {{2, 0}, {0, 1}, {0, -1}}, true},
        {"t", "3cos(t);sin(t)", 0, 2 * Pi, {{3, 0}, {-3, 0}, {0, 1}, {0, -1}}, true},
        // A pole does not blow the view up: the rest of the curve fills it.
        {"t", "t;tan(t)", -3, 3, {{-3, std::tan(-3.0)}, {3, std::tan(3.0)}, {1, std::tan(1.0)}}, false, 200},
        {"t", "1e-6cos(t);1e-6sin(t)", 0, 2 * Pi, {{1e-6, 0}, {-1e-6, 0}}, false},
        {"rf", "1e6", 0, 2 * Pi, {{1e6, 0}, {-1e6, 0}, {0, 1e6}, {0, -1e6}}, true},
        // A single point.
        {"t", "2;3", 0, 1, {{2, 3}}, false},
        // The contour.
        {"i", "x^2+y^2-4", 0, 0, {{2, 0}, {-2, 0}, {0, 2}, {0, -2}}, true},
        {"i", "(x-3)^2+(y-1)^2-0.25", 0, 0, {{3.5, 1}, {2.5, 1}, {3, 1.5}, {3, 0.5}}, true},
        {"i", "sqrt(-1-x^2)+y", 0, 0, {{-10, -10}, {10, 10}}, false},
    };
    for (const Case& c : cases) {
        launch();
        show(c.kind, c.text, c.lo, c.hi);
        ASSERT_TRUE(zoomToFit(view)) << c.text;
        const myPoint s = view.viewState().scale();
        EXPECT_EQ(s.x, s.y) << c.text;
        EXPECT_TRUE(std::isfinite(s.x) && s.x >= plotView::kMinScale && s.x <= plotView::kMaxScale) << c.text;
        const CurveBounds band = shown();
        double minX = c.mustShow[0].x, maxX = minX, minY = c.mustShow[0].y, maxY = minY;
        for (const myPoint& p : c.mustShow) {
            EXPECT_TRUE(band.contains(p)) << c.text << ": (" << p.x << ", " << p.y << ") outside [" << band.minX
                                          << ", " << band.maxX << "] × [" << band.minY << ", " << band.maxY << "]";
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        if (c.maxSpan > 0) {
            EXPECT_TRUE(band.width() <= c.maxSpan && band.height() <= c.maxSpan) << c.text << " " << band.height();
        }
        if (c.closeIn) {
            EXPECT_TRUE(maxX - minX > band.width() / 3 || maxY - minY > band.height() / 3) << c.text;
        }
        model.deleteAll();
        view.setCurFunc(nullptr);
    }
}

TEST_F(ZoomToFit, FittingAgainChangesNothing)
{
    for (const char* text : {"sin(x)", "x^3-3x", "exp(x)", "tan(x)"}) {
        launch();
        show("yx", text, 0, 0);
        ASSERT_TRUE(zoomToFit(view));
        const myPoint center = view.viewState().userCenter();
        const double scale = view.viewState().scale().x;
        ASSERT_TRUE(zoomToFit(view));
        EXPECT_NEAR(view.viewState().scale().x / scale, 1, 0.02) << text;
        EXPECT_NEAR(view.viewState().userCenter().x, center.x, 0.02 * view.viewSize().width / scale) << text;
        model.deleteAll();
        view.setCurFunc(nullptr);
    }
}

TEST_F(ZoomToFit, NothingToFitWithoutACurrentCurve)
{
    launch();
    const myPoint center = view.viewState().center();
    EXPECT_FALSE(zoomToFit(view));
    EXPECT_EQ(view.viewState().center().x, center.x);
}

TEST(FitBounds, ScaleStaysFiniteAndWithinTheLimits)
{
    const RectF area{0, 64, 320, 371};
    const SizeF size{320, 480};
    struct Case {
        CurveBounds bounds;
        double current;
        double scale; // NaN: refused
    };
    const double wide = 320 * (1 - 2 * fitMargin);
    const Case cases[] = {
        {{-1, 1, -1, 1}, 30, wide / 2},
        // A point, or a flat line along one axis, fits at any scale.
        {{2, 2, 3, 3}, 30, 30},
        {{2, 2, 3, 3}, 1e9, 2e7},
        {{-5, 5, 1, 1}, 30, wide / 10},
        {{1e-12, 2e-12, 0, 1e-12}, 30, 2e7},
        {{-1e12, 1e12, 0, 1}, 30, 5e-8},
        {{NaN, 1, 0, 1}, 30, NaN},
        {{0, std::numeric_limits<double>::infinity(), 0, 1}, 30, NaN},
        {{1, 0, 0, 1}, 30, NaN},
    };
    for (const Case& c : cases) {
        const auto fit = fitBounds(c.bounds, area, size, c.current, plotView::kMinScale, plotView::kMaxScale);
        if (std::isnan(c.scale)) {
            EXPECT_FALSE(fit) << c.bounds.minX;
            continue;
        }
        ASSERT_TRUE(fit);
        EXPECT_DOUBLE_EQ(fit->scale, c.scale);
        // The rectangle's middle lands on the band's middle.
        const double midX = (c.bounds.minX + c.bounds.maxX) / 2, midY = (c.bounds.minY + c.bounds.maxY) / 2;
        const double deviceX = 160 + (midX - fit->userCenter.x) * fit->scale;
        const double deviceY = 240 - (midY - fit->userCenter.y) * fit->scale;
        EXPECT_NEAR(deviceX, area.x + area.width / 2, 1e-3);
        EXPECT_NEAR(deviceY, area.y + area.height / 2, 1e-3);
    }
    EXPECT_FALSE(fitBounds({0, 1, 0, 1}, RectF{0, 0, 0, 10}, size, 30, plotView::kMinScale, plotView::kMaxScale));
}

} // namespace
