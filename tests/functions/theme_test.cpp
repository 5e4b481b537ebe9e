#include <gtest/gtest.h>

#include "orlix/color_gen.h"
#include "orlix/theme.h"

namespace orlix {
namespace {

constexpr Appearance kBoth[] = {Appearance::light, Appearance::dark};

// Over an opaque background, what a translucent colour looks like.
Color over(Color c, Color background)
{
    const auto blend = [&](float a, float b) { return a * c.a + b * (1 - c.a); };
    return Color{blend(c.r, background.r), blend(c.g, background.g), blend(c.b, background.b), 1};
}

TEST(Theme, EveryStandardCurveColourStandsOutOnBothPlanes)
{
    for (Appearance a : kBoth) {
        const Theme& theme = themeFor(a);
        for (const Color& c : colorGen::sharedColorGen().standardColors())
            EXPECT_GE(contrastRatio(theme.legible(c), theme.background), kCurveContrast)
                << "appearance " << static_cast<int>(a) << " colour " << c.r << "," << c.g << "," << c.b;
    }
}

TEST(Theme, ColoursThatStandOutAreDrawnAsStoredAndTheOthersKeepTheirHue)
{
    struct Case {
        Appearance appearance;
        Color stored;
        bool unchanged;
    };
    const Case cases[] = {
        {Appearance::light, {1, 0, 0, 1}, true},       // red on white
        {Appearance::light, {0, 0, 1, 1}, true},       // blue on white
        {Appearance::light, {0, 0, 0, 1}, true},       // black on white
        {Appearance::light, {1, 1, 0, 1}, false},      // yellow on white: darker yellow
        {Appearance::light, {0, 1, 0, 1}, false},      // green on white
        {Appearance::dark, {1, 1, 0, 1}, true},        // yellow on black
        {Appearance::dark, {1, 0, 0, 1}, true},        // red on black
        {Appearance::dark, {0, 0, 0, 1}, false},       // black on black: grey
        {Appearance::dark, {0, 0, 1, 1}, false},       // blue on black: lighter blue
        {Appearance::dark, {0.5f, 0, 0.5f, 0.4f}, false}, // purple, translucent
    };
    for (const Case& c : cases) {
        const Color drawn = themeFor(c.appearance).legible(c.stored);
        const bool same = drawn.r == c.stored.r && drawn.g == c.stored.g && drawn.b == c.stored.b;
        EXPECT_EQ(same, c.unchanged) << c.stored.r << "," << c.stored.g << "," << c.stored.b;
        // The hue survives: the channels keep their order, and the alpha.
        EXPECT_EQ(drawn.r >= drawn.g, c.stored.r >= c.stored.g);
        EXPECT_EQ(drawn.g >= drawn.b, c.stored.g >= c.stored.b);
        EXPECT_EQ(drawn.a, c.stored.a);
    }
}

TEST(Theme, LabelsAxesAndMarksAreReadableOnTheirPlane)
{
    for (Appearance a : kBoth) {
        const Theme& t = themeFor(a);
        EXPECT_GE(contrastRatio(t.text, t.background), 7.0);
        for (Color c : {t.axis, t.traceLine, t.highlight, t.infiniteArrow, t.currentTraceMark})
            EXPECT_GE(contrastRatio(over(c, t.background), t.background), kCurveContrast);
        // The marks are bold shapes in translucent colours.
        for (Color c : {t.rootMark, t.extremumMark, t.inflectionMark, t.traceMark})
            EXPECT_GE(contrastRatio(over(c, t.background), t.background), 2.0);
    }
}

} // namespace
} // namespace orlix
