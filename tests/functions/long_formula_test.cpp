// Formulas near the longest a kind accepts: they take fewer samples, a
// coarser grid and fewer integration halvings than ordinary ones (so that
// one redraw, search or range stays bounded), and what they show must
// still be right: the roots where they are, the integral to its value,
// the implicit curve on its circle.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "orlix/implicit_function.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

// sin(c₁x)+sin(c₂x)+…: zero at x = 0, integral over [0, 1] Σ (1 − cos cₖ)/cₖ.
struct SineSum {
    std::string text;
    double integral01 = 0;
};

SineSum sineSum(int terms)
{
    SineSum s;
    for (int k = 0; k < terms; ++k) {
        const double c = 1 + k / 64.0;
        char term[48];
        std::snprintf(term, sizeof term, "%ssin(%.17g*x)", k ? "+" : "", c);
        s.text += term;
        s.integral01 += (1 - std::cos(c)) / c;
    }
    return s;
}

class LongFormulaTest : public orlix::testing::PlaneTest {};

TEST_F(LongFormulaTest, FewerSamplesOnlyForLongFormulasAndTheRootsStay)
{
    // The most samples a stored record may ask for.
    constexpr int stored = 20000;
    for (int terms : {2, 200}) {
        const SineSum s = sineSum(terms);
        auto f = attached(yxFunction::functionFromString(s.text));
        model.setFunction(f, "f1");
        f->setNumOfPoints(stored);
        f->updatePoints();
        if (terms == 2)
            EXPECT_EQ(f->sampleCount(), stored);
        else
            EXPECT_LT(f->sampleCount(), stored);
        EXPECT_GE(f->sampleCount(), Function::minBoundedSamples);
        // Samples across the whole window, and the root at 0 found.
        EXPECT_DOUBLE_EQ(f->points().front().x, model.minX()) << terms;
        EXPECT_NEAR(f->points().back().x, model.maxX(), 2 * 30.0 / f->sampleCount()) << terms;
        f->setInfo({});
        f->findRoots();
        bool rootAtZero = false;
        for (const auto& m : f->info())
            rootAtZero = rootAtZero || std::fabs(m->info().point.x) < 1e-9;
        EXPECT_TRUE(rootAtZero) << terms;
        model.deleteAll();
    }
}

TEST_F(LongFormulaTest, FewerHalvingsStillGiveTheIntegral)
{
    model.setMaxIntegral(explicitFunction::integralHalvingsCap);
    EXPECT_EQ(explicitFunction::integralHalvings(explicitFunction::integralHalvingsCap, 16),
              explicitFunction::integralHalvingsCap);
    EXPECT_LT(explicitFunction::integralHalvings(explicitFunction::integralHalvingsCap, 4000),
              explicitFunction::integralHalvingsCap);
    const SineSum s = sineSum(120);
    auto f = attached(yxFunction::functionFromString(s.text));
    const auto range = f->rangeInfo(0, 1);
    ASSERT_TRUE(range);
    EXPECT_NEAR(range->count("i") ? range->at("i") : range->at("s"), s.integral01, 1e-6 * s.integral01);
}

TEST_F(LongFormulaTest, CoarserGridKeepsTheCurveOnItsPlace)
{
    // x²+y²−4 plus terms that are zero to rounding: the circle of radius 2.
    std::string g = "x^2+y^2-4";
    for (int k = 0; k < 150; ++k)
        g += "+(sin(" + std::to_string(k + 1) + "*x)^2+cos(" + std::to_string(k + 1) + "*x)^2-1)";
    auto grid = [this](const std::string& text) {
        auto f = attached(iFunction::functionFromString(text));
        f->setN(iFunction::maxGridSize);
        f->fillStaticInfo();
        f->updatePoints();
        return f;
    };
    auto f = grid(g);
    // Fewer grid cells cross the circle than for the plain formula.
    EXPECT_LT(f->pointsNum(), grid("x^2+y^2-4")->pointsNum());
    ASSERT_GT(f->pointsNum(), 8);
    for (int i = 0; i < f->pointsNum(); ++i) {
        const myPoint p = f->points()[static_cast<size_t>(i)];
        EXPECT_NEAR(std::hypot(p.x, p.y), 2, 1e-6);
    }
}

} // namespace
