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

    // n functions of y(x), "f0" … in register order.
    std::vector<Function::Ptr> addMany(int n)
    {
        std::vector<Function::Ptr> out;
        for (int i = 0; i < n; ++i)
            out.push_back(addYx(("x+" + std::to_string(i)).c_str(), ("f" + std::to_string(i)).c_str()));
        return out;
    }
    int currentIndex() const
    {
        const auto& reg = Function::functionRegister();
        for (std::size_t i = 0; i < reg.size(); ++i)
            if (reg[i].second == view.curFunc())
                return static_cast<int>(i);
        return -1;
    }
};

} // namespace

TEST_F(FuncSelectorTest, WidthGrowsWithTheNumberOfFunctionsToItsLimit)
{
    struct Case {
        int n;
        float width;
    };
    // Odd widths round up to even ones; twelve functions and more share 196.
    const Case cases[] = {{1, 70},  {2, 120},  {3, 126},  {4, 130},  {5, 136},  {6, 140},  {7, 146},
                          {8, 156}, {9, 166},  {10, 176}, {11, 186}, {12, 196}, {13, 196}, {40, 196}};
    for (const Case& c : cases) {
        Function::deleteAll();
        addMany(c.n);
        selector.refreshInfo();
        EXPECT_FALSE(selector.hidden()) << c.n;
        EXPECT_EQ(selector.curWidth(), c.width) << c.n;
    }
}

TEST_F(FuncSelectorTest, GlyphsSpreadOverSeventyPercentOfTheStrip)
{
    struct Case {
        int n;
        std::vector<float> xs; // first, second, last
    };
    const Case cases[] = {
        {1, {35}},
        {2, {18, 102}},
        {3, {18.9f, 63.0f, 107.1f}},
        {12, {29.4f, 29.4f + 137.2f / 11, 166.6f}},
    };
    for (const Case& c : cases) {
        Function::deleteAll();
        addMany(c.n);
        selector.refreshInfo();
        const auto glyphs = selector.glyphs(SizeF{selector.curWidth(), funcSelector::kHeight});
        ASSERT_EQ(glyphs.size(), static_cast<std::size_t>(c.n));
        const std::vector<float> xs = c.n <= 2 ? std::vector<float>{glyphs.front().center.x, glyphs.back().center.x}
                                               : std::vector<float>{glyphs[0].center.x, glyphs[1].center.x,
                                                                    glyphs.back().center.x};
        for (std::size_t i = 0; i < c.xs.size(); ++i)
            EXPECT_NEAR(xs[i], c.xs[i], 1e-3) << c.n << " functions, glyph " << i;
        for (const auto& g : glyphs)
            EXPECT_EQ(g.center.y, funcSelector::kHeight / 2);
    }
}

TEST_F(FuncSelectorTest, EachGlyphShowsItsKindColourAndWhetherItIsCurrent)
{
    addYx("x^2", "a");
    auto polar = rfFunction::functionFromString("1+cos(f)");
    Function::setFunction(polar, "b");
    auto xy = addXy("y^2", "c");
    Function::setFunction(tFunction::functionFromStringForX("cos(t)", "sin(t)"), "d");
    Function::setFunction(iFunction::functionFromString("x^2+y^2-4"), "e");
    Function::setFunction(std::make_shared<KindlessCurve>(), "g");
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

    // Every shape, large or small, stays on the pill.
    for (bool current : {false, true}) {
        for (KindGlyph shape : shapes) {
            Recorder c{SizeF{70, funcSelector::kHeight}};
            funcSelector::drawGlyph(c, shape, PointF{35, 14}, current);
            for (const Op& op : c.ops()) {
                if (op.kind == "moveTo" || op.kind == "lineTo") {
                    EXPECT_NEAR(op.v[0], 35, 11);
                    EXPECT_NEAR(op.v[1], 14, 10.5);
                } else if (op.kind.find("Rect") != std::string::npos || op.kind.find("Ellipse") != std::string::npos) {
                    EXPECT_GE(op.v[0], 35 - 9);
                    EXPECT_GE(op.v[1], 14 - 9);
                    EXPECT_LE(op.v[0] + op.v[2], 35 + 9);
                    EXPECT_LE(op.v[1] + op.v[3], 14 + 9);
                }
            }
        }
    }
}

TEST_F(FuncSelectorTest, HiddenWithNothingToChoose)
{
    struct Case {
        const char* what;
        int n;
        int current; // index, -1 for none
        bool hidden;
    };
    const Case cases[] = {
        {"no functions", 0, -1, true},        {"one, current", 1, 0, true},  {"one, none current", 1, -1, false},
        {"two, one current", 2, 1, false},    {"three, none current", 3, -1, false},
    };
    for (const Case& c : cases) {
        view.setCurFunc(nullptr);
        Function::deleteAll();
        auto fs = addMany(c.n);
        if (c.current >= 0)
            view.setCurFunc(fs[c.current]);
        selector.refreshInfo();
        EXPECT_EQ(selector.hidden(), c.hidden) << c.what;
    }

    // Deleting down to one, then to none, hides the strip.
    view.setCurFunc(nullptr);
    Function::deleteAll();
    auto fs = addMany(2);
    view.setCurFunc(fs[0]);
    view.removeCFunction();
    selector.refreshInfo();
    EXPECT_TRUE(selector.hidden());
    view.removeCFunction();
    selector.refreshInfo();
    EXPECT_TRUE(selector.hidden());
    EXPECT_TRUE(selector.glyphs(SizeF{70, 28}).empty());
}

TEST_F(FuncSelectorTest, ATapMakesTheNextFunctionCurrent)
{
    struct Case {
        int n;
        int before; // -1: none current
        int after;
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
        view.setCurFunc(nullptr);
        Function::deleteAll();
        auto fs = addMany(c.n);
        if (c.before >= 0)
            view.setCurFunc(fs[c.before]);
        selector.refreshInfo();
        EXPECT_EQ(selector.touchesEnded(), c.changed) << c.n << " functions, from " << c.before;
        EXPECT_EQ(currentIndex(), c.after) << c.n << " functions, from " << c.before;
        EXPECT_EQ(controller.func, view.curFunc().get());
    }
    // With one function now current the strip has hidden itself.
    Function::deleteAll();
    view.setCurFunc(nullptr);
    addMany(1);
    selector.refreshInfo();
    ASSERT_FALSE(selector.hidden());
    selector.touchesEnded();
    EXPECT_TRUE(selector.hidden());
}

TEST_F(FuncSelectorTest, TapsAfterTheCurrentFunctionWasDeleted)
{
    auto fs = addMany(3);
    // Deleted through the view: the next one is current, a tap goes on.
    view.setCurFunc(fs[1]);
    view.removeCFunction();
    ASSERT_EQ(view.curFunc(), fs[2]);
    selector.refreshInfo();
    EXPECT_TRUE(selector.touchesEnded());
    EXPECT_EQ(view.curFunc(), fs[0]);

    // Gone from the register while still current: the first one is next.
    Function::removeFunction(fs[0].get());
    EXPECT_TRUE(selector.touchesEnded());
    EXPECT_EQ(view.curFunc(), fs[2]);
}

TEST_F(FuncSelectorTest, ATapIsIgnoredWhileAFingerIsOnThePlot)
{
    launch();
    auto fs = addMany(2);
    view.setCurFunc(fs[0]);
    selector.refreshInfo();
    began({touch(1, 100, 200, kTouchBegan)});
    EXPECT_FALSE(selector.touchesEnded());
    EXPECT_EQ(view.curFunc(), fs[0]);
    ended({touch(1, 100, 200, kTouchEnded)});
    EXPECT_TRUE(selector.touchesEnded());
    EXPECT_EQ(view.curFunc(), fs[1]);
}
