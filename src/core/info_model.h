// The information panel without its widgets: what the panel shows (labels,
// the two number fields, the text block), whether it is hidden, expanded or
// open to typing, and what happens when the user types a value or a range
// end. The widget (infoView) mirrors this state; tests drive it directly.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "number_field.h"
#include "orlix/function.h"
#include "orlix/plot_links.h"

namespace orlix {

class plotView;
class specialPoint;

class InfoModel : public InfoPanel {
  public:
    // Which field a typed value belongs to.
    enum FieldId { kStart = 0, kValue = 1 };

    // Extra check of a typed value by the panel's owner: throws orlix::Error
    // with the message to refuse it.
    using Validator = std::function<void(FieldId field, double value)>;

    InfoModel() = default;

    // ---- InfoPanel -------------------------------------------------------
    void setP0(std::shared_ptr<specialPoint> p) override { p0_ = std::move(p); }
    void setP1(std::shared_ptr<specialPoint> p) override { p1_ = std::move(p); }
    void setContent(const myPointInfo& info) override;
    void setContent2(const std::optional<InfoMap>& range) override;
    void setInteractive(bool interactive) override { interactive_ = interactive; }
    void setHidden(bool hidden) override { hidden_ = hidden; }
    void setCurFunc(Function* f) override;

    // ---- state ------------------------------------------------------------
    Function* curFunc() const { return curFunc_; }
    const std::shared_ptr<specialPoint>& p0() const { return p0_; }
    const std::shared_ptr<specialPoint>& p1() const { return p1_; }
    bool hidden() const { return hidden_; }
    // Expanded: the range form with both fields.
    bool maxed() const { return maxed_; }
    // The plot view lets the user type (trace mode).
    bool interactive() const { return interactive_; }
    // The value field can take a typed value: interactive, and the current
    // function is not implicit (one variable does not choose its point).
    // Outside trace mode a typed value moves the trace point there
    // (onTraceAt), when the owner offers that.
    bool valueFieldEditable() const { return valueFieldEnabled_ && (interactive_ || onTraceAt); }
    // The start field (only shown when expanded) follows the value field.
    bool startFieldEditable() const { return maxed_ && valueFieldEditable(); }

    // The text block.
    const std::string& text() const { return text_; }
    // The fields: textField0 (range start) and textField (value, range end).
    const NumberField& startField() const { return field0_; }
    const NumberField& valueField() const { return field_; }
    const NumberField& field(FieldId id) const { return id == kStart ? field0_ : field_; }
    // Labels of the fields as shown now.
    const std::string& startLabel() const { return v0_; }
    const std::string& valueLabel() const { return maxed_ ? v1_ : v_; }
    // The three labels of the current kind: v, v0, v1.
    const std::string& v() const { return v_; }
    const std::string& v0() const { return v0_; }
    const std::string& v1() const { return v1_; }

    // ---- forms ------------------------------------------------------------
    // Expand to the range form / collapse to the point form; nothing when
    // already there.
    void maximize() { maxed_ = true; }
    void minimize() { maxed_ = false; }

    // ---- typing -------------------------------------------------------------
    // The user starts editing a field: it shows the expression last
    // accepted. Refused (false) when the field cannot be edited now.
    bool beginEditing(FieldId id);
    // The user confirms text in a field. On success (nullopt) the value is
    // stored, editing ends and the points and texts follow it; otherwise
    // the message to show, nothing is changed and editing goes on. An empty
    // text brings back the last accepted expression and ends editing.
    std::optional<std::string> confirm(FieldId id, std::string_view text);
    // Editing ended without confirmation: the field shows its value again.
    void cancelEditing(FieldId id);
    // Throws orlix::Error when v cannot go into the field: "Value is NAN!",
    // "Infinity value!", a start above the end or an end below the start
    // while expanded, or the owner's refusal.
    void isBadValue(FieldId id, double v) const;
    // A field's value changed: the trace points and the text follow it,
    // then the owner is told (onBoundsModified).
    void boundsAreModified();

    // ---- owner hooks --------------------------------------------------------
    Validator validator;
    // After a typed value moved the points: a tracing plot view rebuilds its
    // cached background and redisplays.
    std::function<void()> onBoundsModified;
    // Before a typed value moves anything.
    std::function<void()> onWillModifyBounds;
    // A value typed outside trace mode: the trace point goes there.
    std::function<void(double value)> onTraceAt;

    // Hooks the panel up to the plot view it is shown over: a typed value
    // outside trace mode puts the trace point there; typed range ends are a
    // step of undo, and the view draws them. nullptr lets go of it.
    void linkTo(plotView* view);

  private:
    NumberField& mutableField(FieldId id) { return id == kStart ? field0_ : field_; }

    Function* curFunc_ = nullptr;
    std::shared_ptr<specialPoint> p0_, p1_;
    bool hidden_ = true;
    bool maxed_ = false;
    bool interactive_ = false;
    bool valueFieldEnabled_ = true;
    std::string text_;
    NumberField field0_, field_;
    std::string v_ = "x=", v0_ = "x₁=", v1_ = "x₂=";
};

} // namespace orlix
