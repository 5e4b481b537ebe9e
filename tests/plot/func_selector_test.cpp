// The strip of functions: its width and visibility for the number of
// functions, where the glyphs go, and the tap that cycles the current one.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "orlix/func_selector.h"
#include "orlix/implicit_function.h"
#include "orlix/rf_function.h"
#include "orlix/t_function.h"
#include "view_fakes.h"

using namespace orlix;
using namespace plottest;

namespace {

// A curve of no kind in the table.
struct KindlessCurve : Function {
    bool isImplicit() const override { return true; }
};

class FuncSelectorTest : public ViewTest {
  protected:
    funcSelector selector{view};

    // Only n functions of y(x), "f0" … in register order; the one at index
    // current is current (none for -1). The strip has read them.
    std::vector<Function::Ptr> addMany(int n, int current = -1)
    {
        view.setCurFunc(nullptr);
        model.deleteAll();
        std::vector<Function::Ptr> out;
        for (int i = 0; i < n; ++i)
            out.push_back(addYx(("x+" + std::to_string(i)).c_str(), ("f" + std::to_string(i)).c_str()));
        if (current >= 0)
            view.setCurFunc(out[current]);
        selector.refreshInfo();
        return out;
    }
};

} // namespace

TEST_F(FuncSelectorTest, WidthGrowsWithTheFunctionsAndTheStripHidesWithNothingToChoose)
{
    struct Case {
        int n, current; // current: index, -1 for none
        float width;    // 0: hidden
    };
    // Odd widths round up to even ones; twelve functions and more share 196.
    const Case cases[] = {{0, -1, 0},   {1, 0, 0},     {1, -1, 70},   {2, 1, 120},   {3, -1, 126},
                          {4, 0, 130},  {5, 0, 136},   {6, 0, 140},   {7, 0, 146},   {8, 0, 156},
                          {11, 0, 186}, {12, 0, 196},  {13, 0, 196},  {40, 3, 196}};
    for (const Case& c : cases) {
        addMany(c.n, c.current);
        EXPECT_EQ(selector.hidden() ? 0 : selector.curWidth(), c.width) << c.n;
    }
}

TEST_F(FuncSelectorTest, GlyphsSpreadOverSeventyPercentOfTheStrip)
{
    struct Case {
        int n;
        float first, second, last;
    };
    const Case cases[] = {{1, 35, 35, 35}, {2, 18, 102, 102}, {3, 18.9f, 63.0f, 107.1f}, {12, 29.4f, 41.873f, 166.6f}};
    for (const Case& c : cases) {
        addMany(c.n);
        const auto g = selector.glyphs(SizeF{selector.curWidth(), funcSelector::kHeight});
        ASSERT_EQ(g.size(), static_cast<std::size_t>(c.n));
        EXPECT_NEAR(g.front().center.x, c.first, 1e-3) << c.n;
        EXPECT_NEAR(g[std::min(1, c.n - 1)].center.x, c.second, 1e-3) << c.n;
        EXPECT_NEAR(g.back().center.x, c.last, 1e-3) << c.n;
        EXPECT_EQ(g.back().center.y, funcSelector::kHeight / 2);
    }
}

TEST_F(FuncSelectorTest, EachGlyphShowsItsKindColourAndWhetherItIsCurrent)
{
    addYx("x^2", "a");
    auto polar = rfFunction::functionFromString("1+cos(f)");
    model.setFunction(polar, "b");
    auto xy = addXy("y^2", "c");
    model.setFunction(tFunction::functionFromStringForX("cos(t)", "sin(t)"), "d");
    model.setFunction(iFunction::functionFromString("x^2+y^2-4"), "e");
    model.setFunction(std::make_shared<KindlessCurve>(), "g");
    polar->setColorWithR(0.25f, 0.5f, 0.75f, 0.5f);
    view.setCurFunc(xy);
    selector.refreshInfo();

    const auto glyphs = selector.glyphs(SizeF{selector.curWidth(), funcSelector::kHeight});
    const KindGlyph shapes[] = {KindGlyph::square,   KindGlyph::circle,  KindGlyph::diamond,
                                KindGlyph::triangle, KindGlyph::hexagon, KindGlyph::hexagon};
    ASSERT_EQ(glyphs.size(), std::size(shapes));
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        EXPECT_EQ(glyphs[i].shape, shapes[i]) << i;
        EXPECT_EQ(glyphs[i].current, i == 2) << i;
    }
    EXPECT_EQ(glyphs[1].color.b, 0.75f);
    EXPECT_EQ(glyphs[1].color.a, 0.5f);
}

TEST_F(FuncSelectorTest, ATapMakesTheNextFunctionCurrent)
{
    struct Case {
        int n, before, after; // indices, -1 for none current
        bool changed;
    };
    const Case cases[] = {
        {3, 1, 2, true},   // the next in register order
        {3, 2, 0, true},   // after the last, the first
        {3, -1, 0, true},  // none current: the first
        {1, -1, 0, true},  // the only one, not yet current
        {1, 0, 0, false},  // the only one and current: nothing to do
        {0, -1, -1, false} // nothing registered
    };
    for (const Case& c : cases) {
        const auto fs = addMany(c.n, c.before);
        EXPECT_EQ(selector.touchesEnded(), c.changed) << c.n << " functions, from " << c.before;
        EXPECT_EQ(view.curFunc(), c.after < 0 ? nullptr : fs[c.after]) << c.n << " functions, from " << c.before;
        EXPECT_EQ(controller.func, view.curFunc().get());
    }

    // Deleted through the view: the next one is current, a tap goes on.
    auto fs = addMany(3, 1);
    view.removeCFunction();
    EXPECT_TRUE(selector.touchesEnded());
    EXPECT_EQ(view.curFunc(), fs[0]);
    // Gone from the register while still current: the first one is next.
    model.removeFunction(fs[0].get());
    EXPECT_TRUE(selector.touchesEnded());
    EXPECT_EQ(view.curFunc(), fs[2]);

    // A finger on the plot owns the gesture: the tap is ignored.
    launch();
    addMany(2, 0);
    began({touch(1, 100, 200, kTouchBegan)});
    EXPECT_FALSE(selector.touchesEnded());
    ended({touch(1, 100, 200, kTouchEnded)});
    EXPECT_TRUE(selector.touchesEnded());
}
