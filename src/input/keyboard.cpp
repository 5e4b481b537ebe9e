#include "keyboard.h"

#include <algorithm>
#include <cmath>

#include "orlix/function_kind.h"
#include "orlix/utf8.h"

namespace orlix {

namespace {

// Portrait keeps every key at least 44 points each way; landscape trades
// height for the one long row.
constexpr float kPortraitTopBar = 44;
constexpr float kPortraitRow = 44;
constexpr float kLandscapeTopBar = 34;
constexpr float kLandscapeRow = 38;
// The top bar: its margin, the toggle's and the switch's widths.
constexpr float kBarMargin = 4;
constexpr float kToggleWidth = 66;
constexpr float kSwitchWidth = 54;

struct GridSpec {
    int columns;
    int rows;
};

std::vector<std::string> keysOf(PadId id)
{
    switch (id) {
    case PadId::operators:
        return {"+", "-", "^", "*", "/", "sqrt", "(", ")", ","};
    case PadId::trig:
        return {"sin", "cos", "tan", "asin", "acos", "atan"};
    case PadId::hyperbolic:
        return {"sinh", "cosh", "tanh", "asinh", "acosh", "atanh", "gamma"};
    case PadId::expLog:
        return {"ln", "log", "logn", "exp", "^2", "^-1", "mod", "min", "max"};
    case PadId::other:
        return {"|", "abs", "floor", "round", "D", "[", "]", "{", "}"};
    case PadId::numbers:
        return {"1", "2", "3", "π", "4", "5", "6", "e", "7", "8", "9", "0", "."};
    default:
        return {};
    }
}

GridSpec gridOf(PadId id, KeyboardOrientation orientation, std::size_t keys)
{
    switch (id) {
    case PadId::operators:
    case PadId::other:
    case PadId::expLog:
    case PadId::hyperbolic:
        // Three columns stay 44 points wide on a 320-point phone.
        return {3, 3};
    case PadId::trig:
        return {3, 2};
    case PadId::variables:
        // The kind's variables and the parameters: two columns once the
        // parameters come in, so that no key gets too short.
        if (keys > 3)
            return {2, static_cast<int>((keys + 1) / 2)};
        return {1, static_cast<int>(std::max<std::size_t>(keys, 1))};
    case PadId::numbers:
        // Upright, four rows of numbers would make the keys too short.
        return orientation == KeyboardOrientation::portrait ? GridSpec{5, 3} : GridSpec{4, 4};
    default:
        return {1, static_cast<int>(std::max<std::size_t>(keys, 1))};
    }
}

// A cell of a grid in frame, on whole points: the edges are floored, so
// neighbouring keys meet without a gap.
RectF cell(const RectF& frame, GridSpec g, int column, int row)
{
    const auto edge = [](float origin, float size, int parts, int i) {
        return std::floor(origin + size * static_cast<float>(i) / static_cast<float>(parts));
    };
    const float x0 = edge(frame.x, frame.width, g.columns, column);
    const float x1 = edge(frame.x, frame.width, g.columns, column + 1);
    const float y0 = edge(frame.y, frame.height, g.rows, row);
    const float y1 = edge(frame.y, frame.height, g.rows, row + 1);
    return RectF{x0, y0, x1 - x0, y1 - y0};
}

// Where the magnifier of a key sits: above the key, its lower edge at the
// key's middle, centred, or opening to the left for the right-hand keys.
void placeMagnifier(KeyRecord& key, KeyboardOrientation orientation)
{
    const bool portrait = orientation == KeyboardOrientation::portrait;
    float w = 0, h = 0;
    switch (key.magnifier) {
    case MagnifierKind::variable:
        w = std::clamp(key.rect.width * 1.2f, 64.f, 112.f);
        h = portrait ? 84 : 70;
        break;
    case MagnifierKind::number:
        w = std::max(key.rect.width * 1.3f, 56.f);
        h = portrait ? 66 : 56;
        break;
    default:
        w = std::clamp(key.rect.width * 1.5f, 60.f, 104.f);
        h = portrait ? 66 : 56;
        break;
    }
    const float dx = key.magnifier == MagnifierKind::rightEdgeKey ? key.rect.width - w : (key.rect.width - w) / 2;
    key.magnifierOffset = PointF{std::floor(dx), std::floor(key.rect.height / 2 - h)};
    key.magnifierSize = SizeF{w, h};
}

KeyRecord controlKey(RectF rect, std::string label, KeyAction action, PadId group = PadId::trig)
{
    KeyRecord k;
    k.rect = rect;
    k.text = std::move(label);
    k.action = action;
    k.group = group;
    return k;
}

bool isFunctionGroup(PadId id)
{
    return id == PadId::trig || id == PadId::hyperbolic || id == PadId::expLog || id == PadId::other;
}

} // namespace

// ---- myKBPad ----------------------------------------------------------------------

void myKBPad::setPad(PadId id, RectF frame, KeyboardOrientation orientation, const std::vector<std::string>& variables)
{
    id_ = id;
    frame_ = frame;
    keyMap_.clear();
    if (id == PadId::controls) {
        const GridSpec g{1, 3};
        keyMap_.push_back(controlKey(cell(frame, g, 0, 0), "⌫", KeyAction::backspace));
        keyMap_.push_back(controlKey(cell(frame, g, 0, 1), "space", KeyAction::space));
        keyMap_.push_back(controlKey(cell(frame, g, 0, 2), "done", KeyAction::enter));
        return;
    }
    if (id == PadId::topBar) {
        // The group selector's four segments, the numbers toggle and the
        // switch to the system keyboard.
        const float y = frame.y, h = frame.height;
        const float switchX = std::floor(frame.maxX() - kBarMargin - kSwitchWidth);
        const float toggleX = std::floor(switchX - kBarMargin - kToggleWidth);
        const RectF selector{frame.x + kBarMargin, y, std::max(toggleX - kBarMargin - frame.x - kBarMargin, 0.f), h};
        const struct {
            const char* label;
            PadId group;
        } segments[] = {{"sin", PadId::trig}, {"exp", PadId::expLog}, {"sinh", PadId::hyperbolic}, {"etc", PadId::other}};
        for (int i = 0; i < 4; ++i)
            keyMap_.push_back(controlKey(cell(selector, {4, 1}, i, 0), segments[i].label, KeyAction::group,
                                         segments[i].group));
        keyMap_.push_back(
            controlKey(RectF{toggleX, y, kToggleWidth, h}, std::string(kNumbersToggleText), KeyAction::numbersToggle));
        keyMap_.push_back(controlKey(RectF{switchX, y, kSwitchWidth, h}, std::string(kSystemKeyboardText),
                                     KeyAction::systemKeyboard));
        return;
    }
    const std::vector<std::string> texts = id == PadId::variables ? variables : keysOf(id);
    const GridSpec g = gridOf(id, orientation, texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const int column = static_cast<int>(i) % g.columns, row = static_cast<int>(i) / g.columns;
        KeyRecord k;
        k.rect = cell(frame, g, column, row);
        k.text = texts[i];
        if (id == PadId::variables)
            k.magnifier = MagnifierKind::variable;
        else if (id == PadId::numbers)
            k.magnifier = MagnifierKind::number;
        else if (column == g.columns - 1)
            k.magnifier = MagnifierKind::rightEdgeKey;
        placeMagnifier(k, orientation);
        keyMap_.push_back(std::move(k));
    }
}

void myKBPad::moveTo(float x)
{
    const float dx = x - frame_.x;
    frame_.x = x;
    for (KeyRecord& k : keyMap_)
        k.rect.x += dx;
}

void myKBPad::relabel(KeyAction action, const std::string& text)
{
    for (KeyRecord& k : keyMap_)
        if (k.action == action)
            k.text = text;
}

int myKBPad::keyAt(PointF p) const
{
    for (int i = static_cast<int>(keyMap_.size()) - 1; i >= 0; --i)
        if (keyMap_[i].rect.contains(p))
            return i;
    return -1;
}

// ---- myKeyboard: layout --------------------------------------------------------------

myKeyboard::myKeyboard()
{
    pads_[static_cast<int>(PadSlot::leftPad1)].setPad(PadId::trig, {}, orientation_);
    pads_[static_cast<int>(PadSlot::leftPad2)].setPad(PadId::expLog, {}, orientation_);
    pads_[static_cast<int>(PadSlot::spare)].setPad(PadId::hyperbolic, {}, orientation_);
    setLayout(width_, orientation_);
}

float myKeyboard::topBarHeight() const
{
    return orientation_ == KeyboardOrientation::portrait ? kPortraitTopBar : kLandscapeTopBar;
}

SizeF myKeyboard::size() const
{
    if (!customKeys_)
        return SizeF{width_, topBarHeight()};
    const float row = orientation_ == KeyboardOrientation::portrait ? kPortraitRow : kLandscapeRow;
    const float rows = orientation_ == KeyboardOrientation::portrait ? 6 : 3;
    return SizeF{width_, topBarHeight() + rows * row};
}

void myKeyboard::setLayout(float width, KeyboardOrientation orientation)
{
    stopTouches();
    if (sliding_)
        slideFinished();
    width_ = std::max(width, 1.f);
    orientation_ = orientation;
    layOutPads();
}

void myKeyboard::layOutFunctionPad(PadSlot slot, PadId id, float x)
{
    pads_[static_cast<int>(slot)].setPad(id, RectF{x, functionRow_.y, padWidth(), functionRow_.height},
                                         orientation_);
}

void myKeyboard::layOutPads()
{
    const float top = topBarHeight();
    const auto place = [this](PadSlot slot, PadId id, RectF frame) {
        pads_[static_cast<int>(slot)].setPad(id, frame, orientation_, variables_);
    };
    place(PadSlot::topBar, PadId::topBar, RectF{0, 0, width_, top});
    labelToggle();
    if (orientation_ == KeyboardOrientation::portrait) {
        // The function row above; operators, variables and the control keys
        // below, on a grid of seven columns.
        const float row = 3 * kPortraitRow, column = width_ / 7;
        functionRow_ = RectF{0, top, width_, row};
        const float y = top + row;
        place(PadSlot::operators, PadId::operators, RectF{0, y, std::floor(3 * column), row});
        place(PadSlot::variables, PadId::variables,
              RectF{std::floor(3 * column), y, std::floor(5 * column) - std::floor(3 * column), row});
        place(PadSlot::controls, PadId::controls, RectF{std::floor(5 * column), y, width_ - std::floor(5 * column), row});
    } else {
        // One row: two function pads, the variables, the operators and the
        // control keys, on twelve columns.
        const float row = 3 * kLandscapeRow, column = width_ / 12;
        functionRow_ = RectF{0, top, std::floor(6 * column), row};
        const float vx = std::floor(6 * column), ox = std::floor(7.5f * column), cx = std::floor(10.5f * column);
        place(PadSlot::variables, PadId::variables, RectF{vx, top, ox - vx, row});
        place(PadSlot::operators, PadId::operators, RectF{ox, top, cx - ox, row});
        place(PadSlot::controls, PadId::controls, RectF{cx, top, width_ - cx, row});
    }
    place(PadSlot::numbers, PadId::numbers, functionRow_);
    layOutFunctionPad(PadSlot::leftPad1, firstPadType(), functionRow_.x);
    layOutFunctionPad(PadSlot::leftPad2, secondPadType(), functionRow_.x + padWidth());
    layOutFunctionPad(PadSlot::spare, pad(PadSlot::spare).id(), functionRow_.x + 2 * padWidth());
}

// ---- the edited field -------------------------------------------------------------------

void myKeyboard::setTarget(KeyboardTarget* target)
{
    if (target == target_)
        return;
    stopTouches();
    hideErrorMessage();
    // A field left goes back to the system's keyboard; a new one takes
    // these keys unless the system's were asked for.
    if (target_)
        target_->useSystemKeyboard(true);
    target_ = target;
    if (target_) {
        setVariables(target_->variables());
        target_->useSystemKeyboard(!customKeys_);
    }
}

void myKeyboard::setVariables(std::string_view letters)
{
    variables_.clear();
    for (char32_t c : utf8::decode(letters))
        variables_.push_back(utf8::encode(c));
    // Every formula may read the parameters; a number field takes none.
    if (!variables_.empty())
        for (const char* p : {"a", "b", "c"})
            if (std::find(variables_.begin(), variables_.end(), p) == variables_.end())
                variables_.push_back(p);
    myKBPad& pad = pads_[static_cast<int>(PadSlot::variables)];
    pad.setPad(PadId::variables, pad.frame(), orientation_, variables_);
    if (highlighted_ && highlighted_->slot == PadSlot::variables)
        stopTouches();
}

void myKeyboard::setVariablesForFunction(const FunctionKindInfo* kind)
{
    setVariables(kind ? kind->keyVariables : std::string_view());
}

// ---- keys ------------------------------------------------------------------------------------

void myKeyboard::inputText(std::string_view text)
{
    if (text.empty()) {
        pressReturn();
        return;
    }
    if (!target_)
        return;
    hideErrorMessage();
    if (const auto change = keyInsertion(target_->textEdit(), utf8::decode(text)))
        target_->replace(*change);
}

void myKeyboard::pressBS()
{
    if (!target_)
        return;
    hideErrorMessage();
    if (const auto change = backspaceChange(target_->textEdit()))
        target_->replace(*change);
}

void myKeyboard::pressReturn()
{
    if (target_)
        target_->confirm();
}

void myKeyboard::press(const KeyRecord& key)
{
    switch (key.action) {
    case KeyAction::insert:
        inputText(key.text);
        break;
    case KeyAction::backspace:
        pressBS();
        break;
    case KeyAction::space:
        inputText(" ");
        break;
    case KeyAction::enter:
        pressReturn();
        break;
    case KeyAction::group:
        cycleToPad(key.group);
        break;
    case KeyAction::numbersToggle:
        switchFuncsNums();
        break;
    case KeyAction::systemKeyboard:
        switchCustomStandardKB();
        break;
    }
}

// ---- touches ------------------------------------------------------------------------------------

bool myKeyboard::padVisible(PadSlot slot) const
{
    if (slot == PadSlot::topBar)
        return true;
    if (!customKeys_)
        return false;
    switch (slot) {
    case PadSlot::leftPad1:
    case PadSlot::leftPad2:
        return funcsNotNums_;
    case PadSlot::spare:
        return false; // only ever on its way out
    case PadSlot::numbers:
        return !funcsNotNums_;
    default:
        return true;
    }
}

std::optional<myKeyboard::KeyRef> myKeyboard::keyAt(PointF p) const
{
    for (int s = 0; s < 8; ++s) {
        const auto slot = static_cast<PadSlot>(s);
        const myKBPad& pad = pads_[s];
        if (!padVisible(slot) || !pad.frame().contains(p))
            continue;
        const int i = pad.keyAt(p);
        if (i < 0)
            return std::nullopt;
        if (pad.keyMap()[i].action == KeyAction::group && !selectorEnabled())
            return std::nullopt;
        return KeyRef{slot, i};
    }
    return std::nullopt;
}

bool myKeyboard::insideKeyboard(PointF p, float inset) const
{
    const SizeF s = size();
    return RectF{inset, inset, s.width - 2 * inset, s.height - 2 * inset}.contains(p);
}

void myKeyboard::updateHighlight(PointF p) { highlighted_ = trackedTouch_ ? keyAt(p) : std::nullopt; }

const KeyRecord* myKeyboard::highlightedKey() const
{
    if (!highlighted_)
        return nullptr;
    const auto& keys = pad(highlighted_->slot).keyMap();
    return highlighted_->index < static_cast<int>(keys.size()) ? &keys[highlighted_->index] : nullptr;
}

void myKeyboard::touchBegan(int id, PointF p, std::int64_t nowMs)
{
    // A finger still on a key when the next one lands: that key is typed
    // first, as fast typing expects (a held backspace just stops).
    if (const KeyRecord* earlier = highlightedKey()) {
        const KeyRecord key = *earlier;
        stopTouches();
        if (key.action != KeyAction::backspace)
            press(key);
    }
    stopTouches();
    if (!insideKeyboard(p, 0))
        return;
    trackedTouch_ = id;
    updateHighlight(p);
    if (const KeyRecord* key = highlightedKey(); key && key->action == KeyAction::backspace) {
        pressBS();
        repeatDue_ = nowMs + kRepeatDelayMs;
    }
}

void myKeyboard::touchMoved(int id, PointF p)
{
    if (trackedTouch_ != id)
        return;
    if (!insideKeyboard(p, 0)) {
        stopTouches(); // slid off: no key
        return;
    }
    updateHighlight(p);
    const KeyRecord* key = highlightedKey();
    if (!key || key->action != KeyAction::backspace)
        stopRepeat();
}

void myKeyboard::touchEnded(int id, PointF p)
{
    if (trackedTouch_ != id)
        return;
    const KeyRecord* key = highlightedKey();
    const std::optional<KeyRecord> lifted = key ? std::optional<KeyRecord>(*key) : std::nullopt;
    stopTouches();
    if (lifted && lifted->action != KeyAction::backspace && insideKeyboard(p, kEdgeInset))
        press(*lifted);
}

void myKeyboard::touchCancelled(int id)
{
    if (trackedTouch_ == id)
        stopTouches();
}

void myKeyboard::stopTouches()
{
    trackedTouch_.reset();
    highlighted_.reset();
    stopRepeat();
}

void myKeyboard::repeatTick(std::int64_t nowMs)
{
    if (!repeatDue_ || nowMs < *repeatDue_)
        return;
    if (!trackedTouch_) {
        stopRepeat();
        return;
    }
    pressBS();
    // A late tick does not bring a burst of presses to catch up.
    repeatDue_ = std::max(*repeatDue_ + kRepeatIntervalMs, nowMs + 1);
}

std::optional<RectF> myKeyboard::magnifierRect() const
{
    const KeyRecord* key = highlightedKey();
    if (!key || key->action != KeyAction::insert)
        return std::nullopt;
    RectF r{key->rect.x + key->magnifierOffset.x, key->rect.y + key->magnifierOffset.y, key->magnifierSize.width,
            key->magnifierSize.height};
    // Kept on the keyboard.
    r.x = std::clamp(r.x, 0.f, std::max(width_ - r.width, 0.f));
    r.y = std::max(r.y, 0.f);
    return r;
}

// ---- pads -------------------------------------------------------------------------------------------

bool myKeyboard::cycleToPad(PadId id)
{
    hideErrorMessage();
    if (!isFunctionGroup(id) || id == secondPadType())
        return false;
    if (sliding_)
        slideFinished();
    const myKBPad leaving = pad(PadSlot::leftPad1);
    myKBPad first = pad(PadSlot::leftPad2);
    first.moveTo(functionRow_.x);
    pads_[static_cast<int>(PadSlot::leftPad1)] = first;
    layOutFunctionPad(PadSlot::leftPad2, id, functionRow_.x + padWidth());
    myKBPad spare = leaving;
    spare.moveTo(functionRow_.x - padWidth());
    pads_[static_cast<int>(PadSlot::spare)] = spare;
    if (highlighted_ && (highlighted_->slot == PadSlot::leftPad1 || highlighted_->slot == PadSlot::leftPad2))
        stopTouches();
    sliding_ = true;
    if (onSlide)
        onSlide();
    return true;
}

void myKeyboard::slideFinished()
{
    sliding_ = false;
    pads_[static_cast<int>(PadSlot::spare)].moveTo(functionRow_.x + 2 * padWidth());
}

void myKeyboard::switchFuncsNums()
{
    hideErrorMessage();
    funcsNotNums_ = !funcsNotNums_;
    labelToggle();
}

void myKeyboard::labelToggle()
{
    myKBPad& bar = pads_[static_cast<int>(PadSlot::topBar)];
    bar.relabel(KeyAction::numbersToggle, std::string(funcsNotNums_ ? kNumbersToggleText : kFunctionsToggleText));
    bar.relabel(KeyAction::systemKeyboard, std::string(customKeys_ ? kSystemKeyboardText : kCustomKeysText));
}

void myKeyboard::switchCustomStandardKB() { setCustomKeys(!customKeys_); }

void myKeyboard::setCustomKeys(bool on)
{
    hideErrorMessage();
    if (on == customKeys_)
        return;
    stopTouches();
    customKeys_ = on;
    labelToggle();
    if (target_)
        target_->useSystemKeyboard(!on);
}

float myKeyboard::selectorAlpha() const
{
    if (!customKeys_)
        return 0.6f;
    return funcsNotNums_ ? 1.f : 0.5f;
}

// ---- error bar ------------------------------------------------------------------------------------------

void myKeyboard::showErrorMessage(std::string text)
{
    errorText_ = std::move(text);
    const bool wasShown = errorBarShown_;
    errorBarShown_ = true;
    if (onErrorBar)
        onErrorBar(wasShown ? ErrorBarChange::shake : ErrorBarChange::appear);
}

void myKeyboard::hideErrorMessage()
{
    if (!errorBarShown_)
        return;
    errorBarShown_ = false;
    if (onErrorBar)
        onErrorBar(ErrorBarChange::disappear);
}

RectF myKeyboard::errorBarRect() const
{
    const float h = topBarHeight();
    return RectF{kBarMargin, 2, std::max(width_ - 2 * kBarMargin, 0.f), h - 4};
}

} // namespace orlix
