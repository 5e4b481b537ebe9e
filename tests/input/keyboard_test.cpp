#include "keyboard.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "orlix/function_kind.h"
#include "orlix/utf8.h"

using namespace orlix;

namespace {

// A field as the keyboard sees it; the cursor stays at the end unless a
// test moves it.
struct FakeField : KeyboardTarget {
    TextEdit edit;
    std::string vars = "x";
    int confirms = 0;
    std::vector<bool> systemKeyboard;

    TextEdit textEdit() const override { return edit; }
    void replace(const TextChange& change) override { apply(edit, change); }
    void confirm() override { ++confirms; }
    std::string variables() const override { return vars; }
    void useSystemKeyboard(bool on) override { systemKeyboard.push_back(on); }
    std::string text() const { return utf8::encode(edit.text); }
};

const std::vector<PadSlot> kAllSlots = {PadSlot::leftPad1,  PadSlot::leftPad2, PadSlot::variables,
                                        PadSlot::operators, PadSlot::numbers,  PadSlot::controls,
                                        PadSlot::topBar};

std::vector<std::string> textsOf(const myKBPad& pad)
{
    std::vector<std::string> v;
    for (const KeyRecord& k : pad.keyMap())
        v.push_back(k.text);
    return v;
}

PointF centre(const RectF& r) { return PointF{r.x + r.width / 2, r.y + r.height / 2}; }

class KeyboardTest : public ::testing::Test {
  protected:
    myKeyboard kb;
    FakeField field;
    std::int64_t clock = 0;
    std::vector<ErrorBarChange> bar;

    void SetUp() override
    {
        kb.setTarget(&field);
        kb.onErrorBar = [this](ErrorBarChange c) { bar.push_back(c); };
    }
    // The centre of the shown key labelled text: a pad's key before a top
    // bar control of the same label, unless the top bar is asked for.
    PointF keyCentre(const std::string& text, bool topBar = false) const
    {
        std::vector<PadSlot> shown = {PadSlot::variables, PadSlot::operators, PadSlot::controls};
        if (kb.funcsNotNums())
            shown.insert(shown.begin(), {PadSlot::leftPad1, PadSlot::leftPad2});
        else
            shown.push_back(PadSlot::numbers);
        if (topBar)
            shown.clear();
        shown.push_back(PadSlot::topBar);
        for (PadSlot slot : shown)
            for (const KeyRecord& k : kb.pad(slot).keyMap())
                if (k.text == text)
                    return centre(k.rect);
        ADD_FAILURE() << "no key " << text;
        return {};
    }
    void tap(const std::string& text, bool topBar = false)
    {
        const PointF p = keyCentre(text, topBar);
        kb.touchBegan(0, p, clock);
        kb.touchEnded(0, p);
    }
    void tapSegment(const std::string& text) { tap(text, true); }
};

TEST_F(KeyboardTest, TypingOnTheKeys)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"sin", "(", "x", ")", "+", "x", "^2"}, "sin(x)+x^2"},
        {{"x", "x", "*", "ln", "x"}, "x x*ln x"},
        {{"x", "sin", "⌫", "⌫"}, ""},
        {{"sqrt", "(", "x", ",", "cosh", "x", ")"}, "sqrt(x,cosh x)"},
        {{"abs", "(", "x", ")", "space", "x"}, "abs(x) x"},
    };
    for (const auto& [keys, typed] : cases) {
        field.edit = {};
        for (const std::string& key : keys) {
            if (key == "cosh" || key == "abs")
                kb.cycleToPad(key == "cosh" ? PadId::hyperbolic : PadId::other);
            tap(key);
        }
        EXPECT_EQ(field.text(), typed);
    }
    tap("done");
    EXPECT_EQ(field.confirms, 1);
}

TEST_F(KeyboardTest, TheNumberPadIsBehindTheToggle)
{
    tap("123.π");
    EXPECT_FALSE(kb.funcsNotNums());
    EXPECT_FALSE(kb.selectorEnabled());
    for (const char* key : {"2", ".", "5", "π", "+", "e"})
        tap(key);
    EXPECT_EQ(field.text(), "2.5π+e");
    // The selector takes no touch while the numbers show.
    tapSegment("sinh");
    EXPECT_EQ(kb.secondPadType(), PadId::expLog);
    tap("funcs");
    EXPECT_TRUE(kb.funcsNotNums());
    EXPECT_EQ(textsOf(kb.pad(PadSlot::numbers)),
              (std::vector<std::string>{"1", "2", "3", "π", "4", "5", "6", "e", "7", "8", "9", "0", "."}));
}

TEST_F(KeyboardTest, ATouchInsertsOnlyTheKeyWhereItIsLifted)
{
    const PointF x = keyCentre("x"), plus = keyCentre("+");
    // Slid off the keyboard and lifted outside: nothing.
    kb.touchBegan(0, x, 0);
    kb.touchMoved(0, PointF{x.x, -30});
    kb.touchMoved(0, x); // coming back does not pick it up again
    kb.touchEnded(0, x);
    EXPECT_EQ(field.text(), "");
    EXPECT_FALSE(kb.highlighted());
    // From one key to another: the second.
    kb.touchBegan(0, x, 0);
    kb.touchMoved(0, plus);
    EXPECT_EQ(kb.highlightedKey()->text, "+");
    kb.touchEnded(0, plus);
    EXPECT_EQ(field.text(), "+");
    // Lifted on the keyboard's very edge: nothing.
    const float w = kb.size().width, spaceRow = keyCentre("space").y;
    kb.touchBegan(0, PointF{w - 1, spaceRow}, 0);
    kb.touchEnded(0, PointF{w - 1, spaceRow});
    EXPECT_EQ(field.text(), "+");
    // A cancelled touch: nothing.
    kb.touchBegan(0, x, 0);
    kb.touchCancelled(0);
    kb.touchEnded(0, x);
    EXPECT_EQ(field.text(), "+");
    // A second finger lands while the first is on a key: the first key
    // goes in, then the second; the first finger's lift adds nothing.
    kb.touchBegan(1, x, 0);
    kb.touchBegan(2, plus, 0);
    kb.touchEnded(1, x);
    kb.touchEnded(2, plus);
    EXPECT_EQ(field.text(), "+x+");
}

TEST_F(KeyboardTest, TheMagnifierShowsTheKeyUnderTheFingerOnTheKeyboard)
{
    for (KeyboardOrientation o : {KeyboardOrientation::portrait, KeyboardOrientation::landscape}) {
        kb.setLayout(o == KeyboardOrientation::portrait ? 320 : 480, o);
        for (PadSlot slot : {PadSlot::leftPad1, PadSlot::leftPad2, PadSlot::variables, PadSlot::operators}) {
            for (const KeyRecord& k : kb.pad(slot).keyMap()) {
                kb.touchBegan(0, centre(k.rect), 0);
                const auto m = kb.magnifierRect();
                ASSERT_TRUE(m) << k.text;
                EXPECT_GE(m->x, 0) << k.text;
                EXPECT_LE(m->maxX(), kb.size().width) << k.text;
                EXPECT_GE(m->y, 0) << k.text;
                EXPECT_LT(m->y, centre(k.rect).y) << k.text; // above the finger
                kb.touchCancelled(0);
            }
        }
        // Control keys have none.
        kb.touchBegan(0, keyCentre("done"), 0);
        EXPECT_FALSE(kb.magnifierRect());
        kb.touchCancelled(0);
    }
}

TEST_F(KeyboardTest, HeldBackspaceRepeatsUntilTheTouchEndsHowever)
{
    const std::u32string text = U"1+2+3+4+5+6+7+8";
    struct Case {
        const char* how;
        std::function<void(myKeyboard&)> end;
    };
    const std::vector<Case> cases = {
        {"lifted", [](myKeyboard& k) { k.touchEnded(0, PointF{}); }},
        {"cancelled", [](myKeyboard& k) { k.touchCancelled(0); }},
        {"keyboard hidden", [](myKeyboard& k) { k.stopTouches(); }},
        {"another field", [](myKeyboard& k) { k.setTarget(nullptr); }},
        {"slid off", [](myKeyboard& k) { k.touchMoved(0, PointF{-5, -5}); }},
    };
    for (const Case& c : cases) {
        kb.setTarget(&field);
        field.edit.text = text;
        field.edit.selectionStart = text.size();
        const PointF bs = keyCentre("⌫");
        kb.touchBegan(0, bs, 1000);
        EXPECT_EQ(field.edit.text.size(), text.size() - 1) << c.how; // at once
        const std::vector<std::pair<std::int64_t, std::size_t>> ticks = {
            {1100, 1}, {1899, 1}, {1900, 2}, {2000, 2}, {2200, 3}, {2500, 4}};
        for (const auto& [at, deleted] : ticks) {
            kb.repeatTick(at);
            EXPECT_EQ(field.edit.text.size(), text.size() - deleted) << c.how << " at " << at;
        }
        c.end(kb);
        EXPECT_FALSE(kb.repeatDueMs()) << c.how;
        for (std::int64_t at = 2800; at < 5000; at += 100)
            kb.repeatTick(at);
        EXPECT_EQ(field.edit.text.size(), text.size() - 4) << c.how;
        kb.touchEnded(0, bs); // a late lift deletes nothing more
        EXPECT_EQ(field.edit.text.size(), text.size() - 4) << c.how;
    }
}

TEST_F(KeyboardTest, TheGroupSelectorSlidesAPadIn)
{
    EXPECT_EQ(kb.firstPadType(), PadId::trig);
    EXPECT_EQ(kb.secondPadType(), PadId::expLog);
    int slides = 0;
    kb.onSlide = [&] { ++slides; };
    // Already the second pad: nothing.
    tapSegment("exp");
    EXPECT_EQ(slides, 0);
    EXPECT_EQ(kb.firstPadType(), PadId::trig);
    // Another: it comes in second, the old second becomes the first.
    const std::vector<std::tuple<const char*, PadId, PadId>> steps = {
        {"etc", PadId::expLog, PadId::other},
        {"sinh", PadId::other, PadId::hyperbolic},
        {"sin", PadId::hyperbolic, PadId::trig},
        {"sinh", PadId::trig, PadId::hyperbolic}, // the first pad again
    };
    for (const auto& [segment, first, second] : steps) {
        tapSegment(segment);
        EXPECT_EQ(kb.firstPadType(), first) << segment;
        EXPECT_EQ(kb.secondPadType(), second) << segment;
        EXPECT_TRUE(kb.sliding());
        kb.slideFinished();
    }
    EXPECT_EQ(slides, 4);
    // The keys follow their pads: the left half now types trig, the right hyperbolic.
    EXPECT_LT(keyCentre("sin").x, kb.functionRow().width / 2);
    EXPECT_GT(keyCentre("sinh").y, kb.topBarHeight()); // the key, not the segment
    tap("tan");
    field.edit = {};
    const PointF secondPadsFirstKey{kb.functionRow().width / 2 + 10, kb.functionRow().y + 10};
    kb.touchBegan(0, secondPadsFirstKey, 0);
    kb.touchEnded(0, secondPadsFirstKey);
    EXPECT_EQ(field.text(), "sinh");
    EXPECT_FALSE(kb.cycleToPad(PadId::numbers)); // not a group
}

TEST_F(KeyboardTest, TheVariablePadOffersTheEditedKindsVariablesAndTheParameters)
{
    const std::map<FunctionKind, std::vector<std::string>> expected = {
        {FunctionKind::yx, {"x", "a", "b", "c"}},
        {FunctionKind::xy, {"y", "a", "b", "c"}},
        {FunctionKind::polar, {"θ", "a", "b", "c"}},
        {FunctionKind::parametric, {"t", "a", "b", "c"}},
        {FunctionKind::implicit, {"x", "y", "a", "b", "c"}},
    };
    for (const FunctionKindInfo& kind : functionKinds()) {
        kb.setVariablesForFunction(&kind);
        EXPECT_EQ(textsOf(kb.pad(PadSlot::variables)), expected.at(kind.kind)) << kind.typeName;
    }
    kb.setVariablesForFunction(nullptr); // a number field
    EXPECT_TRUE(kb.pad(PadSlot::variables).keyMap().empty());
    // The edited field says which.
    FakeField number;
    number.vars = "";
    kb.setTarget(&number);
    EXPECT_TRUE(kb.pad(PadSlot::variables).keyMap().empty());
    FakeField implicit;
    implicit.vars = "xy";
    kb.setTarget(&implicit);
    tap("x");
    tap("y");
    tap("a");
    EXPECT_EQ(implicit.text(), "x y a");
}

// Keys a finger can hit: in portrait every key is at least 44 points each
// way, keys of a pad do not overlap and lie on the keyboard, whatever the
// phone's width.
TEST_F(KeyboardTest, KeysAreLargeEnoughAndApart)
{
    field.vars = "xy";
    kb.setTarget(nullptr);
    kb.setTarget(&field);
    for (float width : {320.f, 375.f, 414.f, 480.f, 844.f}) {
        for (KeyboardOrientation o : {KeyboardOrientation::portrait, KeyboardOrientation::landscape}) {
            kb.setLayout(width, o);
            const SizeF size = kb.size();
            for (PadSlot slot : kAllSlots) {
                const auto& keys = kb.pad(slot).keyMap();
                EXPECT_FALSE(keys.empty());
                for (std::size_t i = 0; i < keys.size(); ++i) {
                    const RectF& r = keys[i].rect;
                    if (o == KeyboardOrientation::portrait) {
                        EXPECT_GE(r.width, 44) << keys[i].text << " at " << width;
                        EXPECT_GE(r.height, 44) << keys[i].text << " at " << width;
                    }
                    EXPECT_GE(r.x, 0);
                    EXPECT_LE(r.maxX(), size.width);
                    EXPECT_LE(r.maxY(), size.height);
                    for (std::size_t j = 0; j < i; ++j) {
                        const RectF& q = keys[j].rect;
                        const bool apart =
                            r.x >= q.maxX() || q.x >= r.maxX() || r.y >= q.maxY() || q.y >= r.maxY();
                        EXPECT_TRUE(apart) << keys[i].text << " on " << keys[j].text;
                    }
                }
            }
        }
    }
}

TEST_F(KeyboardTest, TheErrorBarShowsShakesAndGoesOnTheNextEdit)
{
    kb.showErrorMessage("Wrong Syntax!");
    kb.showErrorMessage("Wrong Syntax!");
    EXPECT_TRUE(kb.errorBarShown());
    EXPECT_EQ(kb.errorText(), "Wrong Syntax!");
    tap("x"); // typing hides it
    EXPECT_FALSE(kb.errorBarShown());
    kb.hideErrorMessage(); // already hidden
    EXPECT_EQ(bar, (std::vector<ErrorBarChange>{ErrorBarChange::appear, ErrorBarChange::shake,
                                                ErrorBarChange::disappear}));
    // So do backspace, a pad switch, the toggle and leaving the field.
    const std::vector<std::function<void()>> hides = {
        [&] { tap("⌫"); },          [&] { kb.cycleToPad(PadId::other); },
        [&] { kb.switchFuncsNums(); }, [&] { kb.setTarget(nullptr); },
    };
    for (const auto& hide : hides) {
        kb.setTarget(&field);
        kb.showErrorMessage("Variable 'y' mustn't be here!");
        hide();
        EXPECT_FALSE(kb.errorBarShown());
    }
}

TEST_F(KeyboardTest, TheSystemKeyboardLeavesOnlyTheTopBar)
{
    const float full = kb.size().height;
    tap("ABC");
    EXPECT_FALSE(kb.customKeys());
    EXPECT_EQ(field.systemKeyboard, (std::vector<bool>{false, true})); // taken with these keys, then switched
    EXPECT_EQ(kb.size().height, kb.topBarHeight());
    EXPECT_FALSE(kb.selectorEnabled());
    EXPECT_FLOAT_EQ(kb.selectorAlpha(), 0.6f);
    const PointF x = keyCentre("x");
    kb.touchBegan(0, x, 0);
    kb.touchEnded(0, x);
    EXPECT_EQ(field.text(), "");
    tap("f(x)");
    EXPECT_TRUE(kb.customKeys());
    EXPECT_EQ(kb.size().height, full);
    EXPECT_EQ(field.systemKeyboard, (std::vector<bool>{false, true, false}));
    kb.setTarget(nullptr); // left: the system's again
    EXPECT_EQ(field.systemKeyboard, (std::vector<bool>{false, true, false, true}));
}

} // namespace
