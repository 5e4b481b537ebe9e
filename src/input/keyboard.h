// The formula keyboard without its widget: the pads and their key records,
// which key a finger is on, what a key does to the edited field, the two
// function pads chosen by the group selector, the numbers toggle, the
// switch to the system keyboard, the held backspace's repeat and the error
// bar. The widget paints this state and forwards touches and timer ticks;
// tests drive it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "key_text.h"
#include "orlix/canvas.h"

namespace orlix {

struct FunctionKindInfo;

enum class KeyboardOrientation { portrait, landscape };

// The pads. The function groups are the ones the selector shows.
enum class PadId { operators, variables, trig, hyperbolic, expLog, other, numbers, controls, topBar };

// What pressing a key does.
enum class KeyAction {
    insert,         // its text goes in at the cursor
    backspace,      // on touch-down, then repeated while held
    space,          // a space
    enter,          // confirms the field
    group,          // slides its function group in
    numbersToggle,  // function pads ↔ number pad
    systemKeyboard, // these keys ↔ the system keyboard
};

// The magnifier's look: over a key, over a key at the right edge (it opens
// to the left), over a variable key (large), over a number.
enum class MagnifierKind { key, rightEdgeKey, variable, number };

// One key. Rectangles are in keyboard coordinates, on whole points.
struct KeyRecord {
    RectF rect;
    // Where the magnifier sits, from the key's origin, and its size.
    PointF magnifierOffset;
    SizeF magnifierSize;
    std::string text; // what the key inserts, or its label
    MagnifierKind magnifier = MagnifierKind::key;
    KeyAction action = KeyAction::insert;
    PadId group = PadId::trig; // the group a group key slides in
};

// One pad: its frame and its keys.
class myKBPad {
  public:
    // The keys of id in their reading order, laid out in frame. variables:
    // the keys of the variable pad.
    void setPad(PadId id, RectF frame, KeyboardOrientation orientation, const std::vector<std::string>& variables = {});
    // Moves the pad and its keys.
    void moveTo(float x);
    // Gives the keys of action a new label.
    void relabel(KeyAction action, const std::string& text);

    PadId id() const { return id_; }
    const RectF& frame() const { return frame_; }
    const std::vector<KeyRecord>& keyMap() const { return keyMap_; }
    // The last key whose rectangle holds p; -1 for none.
    int keyAt(PointF p) const;

  private:
    PadId id_ = PadId::operators;
    RectF frame_;
    std::vector<KeyRecord> keyMap_;
};

// The field the keyboard types into.
class KeyboardTarget {
  public:
    virtual ~KeyboardTarget() = default;
    virtual TextEdit textEdit() const = 0;
    virtual void replace(const TextChange& change) = 0;
    // The return key.
    virtual void confirm() = 0;
    // The variables this field takes (UTF-8, one code point each): the
    // variable pad's keys. Empty for a number field.
    virtual std::string variables() const = 0;
    // Whether the field takes the system's keyboard (on) or these keys
    // (off): told when the keyboard takes the field, leaves it, and when
    // the user switches.
    virtual void useSystemKeyboard(bool) {}
};

// The keyboard's pads by where they sit.
enum class PadSlot { leftPad1, leftPad2, spare, variables, operators, numbers, controls, topBar };

// How the error bar changes, for the widget to animate.
enum class ErrorBarChange { appear, shake, disappear };

class myKeyboard {
  public:
    // Held backspace: once at touch-down, again after the delay, then at
    // every interval until the touch ends.
    static constexpr std::int64_t kRepeatDelayMs = 900;
    static constexpr std::int64_t kRepeatIntervalMs = 300;
    // A touch ends inside the keyboard when it is this far inside its edge.
    static constexpr float kEdgeInset = 2;

    myKeyboard();

    // ---- layout ------------------------------------------------------------
    // Lays the pads out for a keyboard this wide.
    void setLayout(float width, KeyboardOrientation orientation);
    KeyboardOrientation orientation() const { return orientation_; }
    // The whole keyboard; only the top bar while the system keyboard is used.
    SizeF size() const;
    float topBarHeight() const;
    // The row the function pads slide in (and the number pad covers).
    const RectF& functionRow() const { return functionRow_; }
    const myKBPad& pad(PadSlot slot) const { return pads_[static_cast<int>(slot)]; }

    // ---- the edited field ------------------------------------------------------
    // nullptr: nothing is edited. A new field stops a held backspace.
    void setTarget(KeyboardTarget* target);
    KeyboardTarget* target() const { return target_; }
    // The variable pad for the edited field's variables.
    void setVariables(std::string_view letters);
    // The kind's variables; none (nullptr) for a number field.
    void setVariablesForFunction(const FunctionKindInfo* kind);

    // ---- keys ------------------------------------------------------------------
    // Inserts text at the cursor by the spacing rule; empty text is the
    // return key.
    void inputText(std::string_view text);
    void pressBS();
    void pressReturn();

    // ---- touches: one finger at a time is followed ------------------------------
    void touchBegan(int id, PointF p, std::int64_t nowMs);
    void touchMoved(int id, PointF p);
    void touchEnded(int id, PointF p);
    void touchCancelled(int id);
    // The keyboard was hidden or its field left: whatever a finger was doing
    // ends without a key, and a held backspace stops.
    void stopTouches();
    bool tracking() const { return trackedTouch_.has_value(); }

    // ---- held backspace ------------------------------------------------------------
    // When the next repeat is due; nullopt while backspace is not held.
    std::optional<std::int64_t> repeatDueMs() const { return repeatDue_; }
    // The widget's timer: presses backspace when a repeat is due.
    void repeatTick(std::int64_t nowMs);

    // ---- the highlighted key and its magnifier -------------------------------------------
    struct KeyRef {
        PadSlot slot;
        int index;
        bool operator==(const KeyRef&) const = default;
    };
    const std::optional<KeyRef>& highlighted() const { return highlighted_; }
    const KeyRecord* highlightedKey() const;
    // The magnifier over the highlighted key, when it is a key that inserts.
    std::optional<RectF> magnifierRect() const;

    // ---- pads ------------------------------------------------------------------------
    // Slides group id in as the second function pad; the old second becomes
    // the first. Nothing (false) when id already is the second pad or is
    // not a function group.
    bool cycleToPad(PadId id);
    // The slide ended: the pad that left is put away.
    void slideFinished();
    bool sliding() const { return sliding_; }
    PadId firstPadType() const { return pad(PadSlot::leftPad1).id(); }
    PadId secondPadType() const { return pad(PadSlot::leftPad2).id(); }
    // Function pads ↔ number pad.
    void switchFuncsNums();
    bool funcsNotNums() const { return funcsNotNums_; }
    // These keys ↔ the system keyboard (the top bar stays).
    void switchCustomStandardKB();
    bool customKeys() const { return customKeys_; }
    void setCustomKeys(bool on);
    // Whether the group selector takes touches (with the function pads and
    // these keys showing), and how opaque it is drawn.
    bool selectorEnabled() const { return funcsNotNums_ && customKeys_; }
    float selectorAlpha() const;

    // ---- error bar ---------------------------------------------------------------------
    void showErrorMessage(std::string text);
    void hideErrorMessage();
    bool errorBarShown() const { return errorBarShown_; }
    const std::string& errorText() const { return errorText_; }
    RectF errorBarRect() const;

    // ---- hooks to the widget -------------------------------------------------------------
    std::function<void(ErrorBarChange)> onErrorBar;
    // The function pads started sliding.
    std::function<void()> onSlide;

  private:
    void layOutPads();
    void layOutFunctionPad(PadSlot slot, PadId id, float x);
    std::optional<KeyRef> keyAt(PointF p) const;
    bool padVisible(PadSlot slot) const;
    bool insideKeyboard(PointF p, float inset) const;
    void updateHighlight(PointF p);
    void press(const KeyRecord& key);
    void stopRepeat() { repeatDue_.reset(); }
    void labelToggle();
    float padWidth() const { return functionRow_.width / 2; }

    KeyboardOrientation orientation_ = KeyboardOrientation::portrait;
    float width_ = 320;
    RectF functionRow_;
    myKBPad pads_[8];
    std::vector<std::string> variables_;
    KeyboardTarget* target_ = nullptr;
    std::optional<int> trackedTouch_;
    std::optional<KeyRef> highlighted_;
    std::optional<std::int64_t> repeatDue_;
    bool sliding_ = false;
    bool funcsNotNums_ = true;
    bool customKeys_ = true;
    bool errorBarShown_ = false;
    std::string errorText_;
};

// The texts of the top bar's toggle: while the function pads show, and
// while the number pad shows.
inline constexpr std::string_view kNumbersToggleText = "123.π";
inline constexpr std::string_view kFunctionsToggleText = "funcs";
// The switch's texts: to the system keyboard, and back to these keys.
inline constexpr std::string_view kSystemKeyboardText = "ABC";
inline constexpr std::string_view kCustomKeysText = "f(x)";

} // namespace orlix
