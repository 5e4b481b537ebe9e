// Colours for new functions and the dash table.
#include <array>
#include <vector>

#include <gtest/gtest.h>

#include "orlix/color_gen.h"

using namespace orlix;

namespace {

int indexOf(const colorGen& cg, Color c)
{
    for (int i = 0; i < cg.maxN(); ++i) {
        const Color s = cg.standardColors()[static_cast<size_t>(i)];
        if (s.r == c.r && s.g == c.g && s.b == c.b && s.a == c.a)
            return i;
    }
    return -1;
}

} // namespace

TEST(ColorGen, NeverTheSameColourTwiceAndEveryColourReached)
{
    colorGen& cg = colorGen::sharedColorGen();
    for (unsigned seed : {0u, 1u, 42u, 2147483647u}) {
        colorGen::seed(seed);
        std::array<int, 9> seen{};
        int previous = cg.prev();
        for (int i = 0; i < 10000; ++i) {
            const int k = indexOf(cg, cg.genColor());
            ASSERT_GE(k, 0);
            ASSERT_NE(k, previous) << "draw " << i << " seed " << seed;
            EXPECT_EQ(k, cg.prev());
            previous = k;
            ++seen[static_cast<size_t>(k)];
        }
        for (int k = 0; k < 9; ++k)
            EXPECT_GT(seen[static_cast<size_t>(k)], 800) << k;
    }
}

TEST(ColorGen, SeedMakesRunsRepeatable)
{
    colorGen& cg = colorGen::sharedColorGen();
    auto run = [&] {
        std::vector<int> v;
        for (int i = 0; i < 50; ++i)
            v.push_back(indexOf(cg, cg.genColor()));
        return v;
    };
    colorGen::seed(7);
    const auto a = run();
    colorGen::seed(7);
    const auto b = run();
    // The first draw may differ (it avoids the colour handed out last).
    EXPECT_EQ(std::vector<int>(a.begin() + 1, a.end()), std::vector<int>(b.begin() + 1, b.end()));
}

TEST(ColorGen, ColourTable)
{
    const colorGen& cg = colorGen::sharedColorGen();
    struct Case {
        int i;
        float r, g, b;
    };
    for (Case c : {Case{0, 0.5f, 0, 0.5f},
                   {1, 1, 0, 0},
                   {2, 1, 1, 0},
                   {3, 1, 0.5f, 0},
                   {4, 1, 0, 1},
                   {5, 0, 1, 0},
                   {6, 0.6f, 0.4f, 0.2f},
                   {7, 0, 0, 1},
                   {8, 0, 0, 0}}) {
        const Color k = cg.standardColors()[static_cast<size_t>(c.i)];
        EXPECT_EQ(k.r, c.r) << c.i;
        EXPECT_EQ(k.g, c.g) << c.i;
        EXPECT_EQ(k.b, c.b) << c.i;
        EXPECT_EQ(k.a, 1) << c.i;
    }
    EXPECT_EQ(cg.maxN(), 9);
}

TEST(ColorGen, DashTable)
{
    const colorGen& cg = colorGen::sharedColorGen();
    struct Case {
        int i;
        std::vector<float> lengths;
    };
    const Case cases[] = {
        {0, {}},
        {1, {6, 5}},
        {2, {8, 3, 2, 3}},
        {3, {8, 3, 3, 3, 3, 3}},
        // Outside the table: solid.
        {-1, {}},
        {4, {}},
        {1000, {}},
    };
    for (const Case& c : cases) {
        const auto d = cg.dashes(c.i);
        EXPECT_EQ(std::vector<float>(d.begin(), d.end()), c.lengths) << c.i;
        EXPECT_EQ(cg.dashSizes(c.i), static_cast<int>(c.lengths.size())) << c.i;
    }
    EXPECT_EQ(cg.maxDashN(), 4);
}
