// The marks a person expects on common shapes, for y(x) and for the same
// formulas as x(y): touching zeros, corners, cusps, decaying tails, poles,
// jumps and the edges of the view.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/mark_rules.h"
#include "orlix/math_engine.h"
#include "orlix/special_point.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"
#include "plane_fixture.h"

using namespace orlix;

namespace {

constexpr double Pi = 3.141592653589793;

void expectPlaces(const std::vector<double>& found, const std::vector<double>& expected, const std::string& what);

// The default view: 320 × 480 points at 30 points a unit around the
// origin, the sampling window three views wide and high.
class MarksTest : public orlix::testing::PlaneTest {
  protected:
    void SetUp() override
    {
        PlaneTest::SetUp();
        plane.sx = plane.sy = 30;
        model.setMinX(-16, 16);
        model.setMinY(-24, 24);
    }

    // The places of the marks of one type, sorted; only those within
    // |v| ≤ 5.3, which both kinds show.
    static std::vector<double> places(const explicitFunction& f, const std::string& type)
    {
        std::vector<double> r;
        for (const auto& m : f.info())
            if (m->type() == type && std::fabs(m->info().variable) <= 5.3)
                r.push_back(m->info().variable);
        std::sort(r.begin(), r.end());
        return r;
    }

    // The formula with its variable x renamed y.
    static std::string inY(std::string text)
    {
        for (size_t k = 0; k < text.size(); ++k) {
            const bool before = k > 0 && std::isalpha(static_cast<unsigned char>(text[k - 1]));
            const bool after = k + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[k + 1]));
            if (text[k] == 'x' && !before && !after)
                text[k] = 'y';
        }
        return text;
    }

    // The curve of text as y(x), or as x(y) when mirrored, with n samples
    // (0: the default), after the three searches; its marks checked
    // against the expected places.
    std::shared_ptr<explicitFunction> searched(const std::string& text, bool mirrored, int n,
                                               const std::vector<double>& roots, const std::vector<double>& extrs,
                                               const std::vector<double>& infls)
    {
        std::shared_ptr<explicitFunction> f;
        if (mirrored)
            f = xyFunction::functionFromString(text);
        else
            f = yxFunction::functionFromString(text);
        f->setModel(&model);
        if (n > 0)
            f->setNumOfPoints(n);
        f->fillStaticInfo();
        f->updatePoints();
        f->findRoots();
        f->findExtrs();
        f->findInfls();
        expectPlaces(places(*f, "root"), roots, text + " roots");
        expectPlaces(places(*f, "minmax"), extrs, text + " extrema");
        expectPlaces(places(*f, "infl"), infls, text + " inflections");
        return f;
    }
};

void expectPlaces(const std::vector<double>& found, const std::vector<double>& expected, const std::string& what)
{
    ASSERT_EQ(found.size(), expected.size()) << what << " found " << ::testing::PrintToString(found);
    for (size_t k = 0; k < found.size(); ++k)
        EXPECT_NEAR(found[k], expected[k], 1e-7) << what;
}

TEST_F(MarksTest, CommonShapes)
{
    const double r2 = std::sqrt(2.0), e = std::exp(1.0);
    struct Case {
        const char* text;
        std::vector<double> roots, extrs, infls;
    } cases[] = {
        // touching zeros are roots
        {"(x-1)^2", {1}, {1}, {}},
        {"x^2", {0}, {0}, {}},
        {"sin(x)^2",
         {-Pi, 0, Pi},
         {-3 * Pi / 2, -Pi, -Pi / 2, 0, Pi / 2, Pi, 3 * Pi / 2},
         {-5 * Pi / 4, -3 * Pi / 4, -Pi / 4, Pi / 4, 3 * Pi / 4, 5 * Pi / 4}},
        {"(x^2-1)^2", {-1, 1}, {-1, 0, 1}, {-1 / std::sqrt(3.0), 1 / std::sqrt(3.0)}},
        {"x^4", {0}, {0}, {}},
        // corners and cusps are extrema, and roots where they touch
        {"abs(x^2-4)", {-2, 2}, {-2, 0, 2}, {}},
        {"abs(x-1)", {1}, {1}, {}},
        {"abs(sin(x))", {-Pi, 0, Pi}, {-3 * Pi / 2, -Pi, -Pi / 2, 0, Pi / 2, Pi, 3 * Pi / 2}, {}},
        {"abs(cos(x))-0.5",
         {-5 * Pi / 3, -4 * Pi / 3, -2 * Pi / 3, -Pi / 3, Pi / 3, 2 * Pi / 3, 4 * Pi / 3, 5 * Pi / 3},
         {-3 * Pi / 2, -Pi, -Pi / 2, 0, Pi / 2, Pi, 3 * Pi / 2},
         {}},
        {"abs(x-4)-0.3", {3.7, 4.3}, {4}, {}},
        {"sqrt(abs(x))-1", {-1, 1}, {0}, {}},
        {"sqrt(abs(x))", {0}, {0}, {}},
        {"sqrt(abs(sin(x)))", {-Pi, 0, Pi}, {-3 * Pi / 2, -Pi, -Pi / 2, 0, Pi / 2, Pi, 3 * Pi / 2}, {}},
        {"sqrt(abs(x))+1e-7", {}, {0}, {}},
        // tails that only approach zero have no roots
        {"x*exp(-x^2)", {0}, {-1 / r2, 1 / r2}, {-std::sqrt(1.5), 0, std::sqrt(1.5)}},
        {"exp(-x^2)", {}, {0}, {-1 / r2, 1 / r2}},
        {"x^2+0.001", {}, {0}, {}},
        // poles are no extrema, jumps no roots or inflections
        {"1/x^2", {}, {}, {}},
        {"ln(x^2)", {-1, 1}, {}, {}},
        {"ln(abs(x))-1", {-e, e}, {}, {}},
        {"atan(1/x)", {}, {}, {}},
        {"1/x", {}, {}, {}},
        {"tan(x)", {-Pi, 0, Pi}, {}, {-Pi, 0, Pi}},
        // a removable gap does not hide an extremum
        {"sin(x)/x", {-Pi, Pi}, {-4.493409457909064, 0, 4.493409457909064}, {-2.0815759778181, 2.0815759778181}},
        // f'' changes sign without getting small
        {"x*abs(x)", {0}, {}, {0}},
        {"(x-1)*abs(x-1)+1", {0}, {}, {1}},
        {"x*sqrt(abs(x))", {0}, {}, {0}},
        // at the right edge of the view
        {"x-5.2", {5.2}, {}, {}},
    };
    for (bool mirrored : {false, true}) {
        for (const Case& c : cases) {
            const std::string text = mirrored ? inY(c.text) : c.text;
            const auto f = searched(text, mirrored, 0, c.roots, c.extrs, c.infls);
            // Every mark lies on the curve, and a root on the axis. (At a
            // cusp on the axis the curve is zero to half the digits of the
            // place: √|sin x| is 10⁻⁸ at the double nearest π.)
            for (const auto& m : f->info()) {
                const myPointInfo& info = m->info();
                const double value = f->valueAt(info.variable);
                const double near = m->type() == "root" ? 1e-7 : 1e-9;
                if (std::isfinite(value)) {
                    EXPECT_NEAR(info.value, value, near * std::max(1.0, std::fabs(value))) << text << " " << m->type();
                }
                if (m->type() == "root") {
                    EXPECT_NEAR(info.value, 0, 1e-12) << text;
                }
            }
        }
    }
}

// Beside an exponential climb the next sample dwarfs every value: a value
// is zero only against both its neighbours, and a turn only touches the
// axis when it is zero against both its sides.
TEST_F(MarksTest, RootsBesideAnExponentialClimb)
{
    struct Case {
        const char* text;
        std::vector<double> roots;
    } cases[] = {
        {"x*exp(1000x)", {0}},
        {"x*exp(1000x)+9.7", {}},
        {"x*exp(1000x)+0.5", {}},
        {"exp(1000x)-1", {0}},
    };
    for (const Case& c : cases) {
        auto f = attached(yxFunction::functionFromString(c.text));
        f->fillStaticInfo();
        f->updatePoints();
        f->findRoots();
        expectPlaces(places(*f, "root"), c.roots, c.text);
    }
}

// Where a steep climb magnifies the rounding, the formula's value at a root
// is far from 0 (about ±10 for e^x·sin 10x near x = 34); the mark still
// lies on the axis.
TEST_F(MarksTest, RootsLieOnTheAxis)
{
    for (bool mirrored : {false, true}) {
        // The view around 34 along the variable, and the axis.
        (mirrored ? plane.oy : plane.ox) += (mirrored ? 30 : -30) * 34;
        model.setMinX(mirrored ? -12 : 28, mirrored ? 12 : 40);
        model.setMinY(mirrored ? 28 : -12, mirrored ? 40 : 12);
        const std::string text = mirrored ? "e^y*sin(10y)" : "e^x*sin(10x)";
        std::shared_ptr<explicitFunction> f =
            mirrored ? std::shared_ptr<explicitFunction>(xyFunction::functionFromString(text))
                     : yxFunction::functionFromString(text);
        f->setModel(&model);
        f->fillStaticInfo();
        f->updatePoints();
        f->findRoots();
        int roots = 0;
        for (const auto& m : f->info()) {
            if (m->type() != "root")
                continue;
            ++roots;
            const myPoint p = m->info().point;
            EXPECT_EQ(mirrored ? p.x : p.y, 0) << text << " at " << m->info().variable;
        }
        EXPECT_GT(roots, 20) << text;
        plane = {};
        plane.sx = plane.sy = 30;
    }
}

TEST_F(MarksTest, NarrowPeakIsNoPole)
{
    // Far higher than its neighbouring samples, but finite.
    auto f = attached(yxFunction::functionFromString("1/(x^2+0.0001)"));
    f->fillStaticInfo();
    f->updatePoints();
    f->findExtrs();
    ASSERT_EQ(f->info().size(), 1u);
    EXPECT_NEAR(f->info()[0]->info().point.x, 0, 1e-7);
    EXPECT_NEAR(f->info()[0]->info().value, 10000, 1e-6);
}

TEST_F(MarksTest, TwoFeaturesBetweenTwoSamples)
{
    // Samples 0.107 apart: both roots and both extrema lie between two.
    struct Case {
        const char* text;
        std::vector<double> roots, extrs;
    } cases[] = {
        {"(x-1)*(x-1.001)", {1, 1.001}, {1.0005}},
        {"(x-1)*(x-1.00001)", {1, 1.00001}, {1.000005}},
        {"x^2-1e-6", {-0.001, 0.001}, {0}},
    };
    for (const Case& c : cases) {
        auto f = attached(yxFunction::functionFromString(c.text));
        f->fillStaticInfo();
        f->updatePoints();
        f->findRoots();
        f->findExtrs();
        expectPlaces(places(*f, "root"), c.roots, std::string(c.text) + " roots");
        expectPlaces(places(*f, "minmax"), c.extrs, std::string(c.text) + " extrema");
    }
    // A wave on a rising curve, its maximum first, then its minimum.
    auto f = attached(yxFunction::functionFromString("x^3-0.0003*x"));
    f->fillStaticInfo();
    f->updatePoints();
    f->findExtrs();
    expectPlaces(places(*f, "minmax"), {-0.01, 0.01}, "x^3-0.0003*x extrema");
    for (const auto& m : f->info())
        EXPECT_EQ(m->betta(), m->info().variable > 0 ? 3.1415927f : 0.0f);
}

TEST_F(MarksTest, SamplesRightOnTheFeature)
{
    // Sample counts that put a sample exactly on 0 or ±1 in some windows and
    // between two in others: the marks must not depend on which.
    struct Case {
        const char* text;
        const char* type;
        std::vector<double> places;
    } cases[] = {
        {"sin(x)", "infl", {-Pi, 0, Pi}},
        {"x^3-3x", "infl", {0}},
        {"sin(x)/x", "minmax", {-4.493409457909064, 0, 4.493409457909064}},
        {"sqrt(1-x^2)", "root", {-1, 1}},
        {"sqrt(4-x^2)-1", "root", {-std::sqrt(3.0), std::sqrt(3.0)}},
    };
    int exactHits = 0;
    for (const Case& c : cases) {
        for (auto [lo, hi, n] : {std::tuple{-16.0, 16.0, 300}, std::tuple{-16.0, 16.0, 301}, std::tuple{-15.0, 15.0, 600},
                                 std::tuple{-12.0, 12.0, 480}, std::tuple{-10.0, 10.0, 400}}) {
            model.setMinX(lo, hi);
            auto f = attached(yxFunction::functionFromString(c.text));
            f->setNumOfPoints(n);
            f->fillStaticInfo();
            f->updatePoints();
            for (const myPoint& p : f->points())
                exactHits += p.x == 0 || ((p.x == 1 || p.x == -1) && p.y == 0);
            f->findRoots();
            f->findExtrs();
            f->findInfls();
            expectPlaces(places(*f, c.type), c.places, std::string(c.text) + " n=" + std::to_string(n));
        }
    }
    EXPECT_GT(exactHits, 0); // some samples do land on the features
}

TEST_F(MarksTest, FeaturesNarrowerThanAStep)
{
    // Samples 0.106 apart along x (301 samples over 32 units) and 0.16
    // along y, or 0.52 and 0.79 at 61 samples: every feature below lies
    // within a step or two, and the samples alone show none or only some.
    const double bumpBend = 0.01 / std::sqrt(2.0), wave = std::sqrt(1e-4 / 3);
    struct Case {
        const char* text;
        int n;
        std::vector<double> roots, extrs, infls;
    } cases[] = {
        // three crossings in one step, and the turns and the bend between them
        {"x^3-1e-4*x", 301, {-0.01, 0, 0.01}, {-wave, wave}, {0}},
        // a bump whose samples all underflow to zero; at 301 samples its
        // tails are tiny, and smaller still further out, but never zero
        {"exp(-(x/0.01)^2)", 61, {}, {0}, {-bumpBend, bumpBend}},
        {"exp(-(x/0.01)^2)", 301, {}, {0}, {-bumpBend, bumpBend}},
        // the same bump hanging from the axis touches it
        {"exp(-(x/0.01)^2)-1", 61, {0}, {0}, {-bumpBend, bumpBend}},
        // a dip through the axis beside a pole
        {"1/x^2-1e4", 301, {-0.01, 0.01}, {}, {}},
        // three bends in one step
        {"x^5-1e-4*x^3", 301, {-0.01, 0, 0.01}, {-0.007745966692414834, 0.007745966692414834},
         {-0.005477225575051661, 0, 0.005477225575051661}},
        // nearly straight: the second differences are too slight to count
        {"2+x/10+1e-9*(x-0.3)^3", 301, {}, {}, {0.3}},
    };
    for (bool mirrored : {false, true}) {
        for (const Case& c : cases) {
            const std::string text = mirrored ? inY(c.text) : c.text;
            const auto f = searched(text, mirrored, c.n, c.roots, c.extrs, c.infls);
            // A minimum's mark points down.
            for (const auto& m : f->info()) {
                if (m->type() != "minmax" || mirrored)
                    continue;
                const bool minimum = f->valueAt(m->info().variable - 1e-4) > m->info().value;
                EXPECT_EQ(m->betta(), minimum ? 3.1415927f : 0.0f) << text << " at " << m->info().variable;
            }
        }
    }
}

TEST_F(MarksTest, OrdinaryCurvesGainNoMarks)
{
    struct Case {
        const char* text;
        std::vector<double> roots, extrs, infls;
    } cases[] = {
        {"sin(x)", {-Pi, 0, Pi}, {-3 * Pi / 2, -Pi / 2, Pi / 2, 3 * Pi / 2}, {-Pi, 0, Pi}},
        {"x^2", {0}, {0}, {}},
        {"tan(x)", {-Pi, 0, Pi}, {}, {-Pi, 0, Pi}},
        {"1/x", {}, {}, {}},
        {"floor(x)", {}, {}, {}},
    };
    for (int n : {61, 301, 1000}) {
        SCOPED_TRACE("n=" + std::to_string(n));
        for (const Case& c : cases)
            searched(c.text, false, n, c.roots, c.extrs, c.infls);
    }
}

TEST(MarkRules, StepsRefinedOnlyWhereTheEnclosureAllows)
{
    // Three zeros between the ends of one step, found as changes of sign
    // between its new samples; none where the enclosure clears zero, and
    // none for a program with no enclosure (the samples are all there is).
    auto g = yxFunction::functionFromString("x^3-1e-4*x");
    const Probe probe{g->functionSM(), MathEngine::xAddr()};
    const auto s = markRules::refineStep(probe, Probe{}, -0.05, probe(-0.05), 0.06, probe(0.06), 0);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->signChanges().size(), 3u);
    EXPECT_TRUE(std::is_sorted(s->vars.begin(), s->vars.end()));
    EXPECT_FALSE(markRules::refineStep(probe, Probe{}, 0.2, probe(0.2), 0.3, probe(0.3), 0).has_value());

    StackMachine routine;
    routine.addFuncByIMP([](StackMachine& m) {
        const double x = *MathEngine::xAddr();
        m.push(x * x * x - 1e-4 * x);
    });
    const Probe opaque{&routine, MathEngine::xAddr()};
    EXPECT_FALSE(markRules::refineStep(opaque, Probe{}, -0.05, opaque(-0.05), 0.06, opaque(0.06), 0).has_value());
}

// The rules on their own, where a search would hide a wrong answer behind
// another mark.
TEST(MarkRules, ContinuityBetweenAndAtAPlace)
{
    auto f = yxFunction::functionFromString("1");
    struct Case {
        const char* text;
        double a, b; // an interval around the place
        double at;   // the place itself
        bool between, atPlace;
    } cases[] = {
        {"x^2", -0.1, 0.13, 0, true, true},
        {"abs(x-4)", 3.9, 4.2, 4, true, true},
        {"sqrt(abs(x))", -0.1, 0.13, 0, true, true},
        {"atan(1/x)", -0.1, 0.13, 1e-8, false, true}, // the jump sits beside the place
        {"1/x", -0.1, 0.13, 0, false, false},
        {"1/x^2", -0.1, 0.13, 7.7e-17, false, false},
        {"ln(x^2)", -0.1, 0.13, 7.7e-17, false, false},
        {"sqrt(x)", -0.1, 0.13, -0.05, false, false}, // a gap
    };
    for (const Case& c : cases) {
        auto g = yxFunction::functionFromString(c.text);
        const Probe probe{g->functionSM(), MathEngine::xAddr()};
        EXPECT_EQ(markRules::continuousOn(probe, c.a, c.b), c.between) << c.text;
        EXPECT_EQ(markRules::continuousAt(probe, c.at, c.b - c.a, 1.0), c.atPlace) << c.text;
    }
    // A sample on the axis is a root only against non-zero neighbours.
    const std::vector<double> alone{0.5, 1e-17, -0.5}, run{0.5, 0, 0}, tail{1.5e-8, 1e-8, 0.6e-8};
    EXPECT_TRUE(markRules::isZeroSample(alone, 1));
    EXPECT_FALSE(markRules::isZeroSample(run, 1));
    EXPECT_FALSE(markRules::isZeroSample(tail, 1));
}

} // namespace
