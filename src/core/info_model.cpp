#include "info_model.h"

#include <cmath>
#include <limits>
#include <optional>

#include "field_check.h"
#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/function_kind.h"
#include "orlix/plot_plane.h"
#include "orlix/special_point.h"

namespace orlix {

namespace {

// A field shows "undefined" or an infinity for a value that is not a finite
// number; confirmed as it stands, such a text is refused with the message of
// that value rather than read as a formula.
std::optional<double> shownNonNumber(std::string_view text)
{
    if (text == undefinedText)
        return std::numeric_limits<double>::quiet_NaN();
    if (text == infinityText)
        return std::numeric_limits<double>::infinity();
    if (text == minusInfinityText)
        return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

// A value the plot view hands over: the field shows it, and the next edit
// starts from it unless the user is typing right now.
void showValue(NumberField& f, double v)
{
    if (v == f.xVal && !f.rightString.empty())
        return; // keeps the expression that gave this very value
    f.setXVal(v);
    if (!f.isEditing)
        f.theString = f.rightString;
}

} // namespace

void InfoModel::setCurFunc(Function* f)
{
    curFunc_ = f;
    const FunctionKindInfo* found = f ? f->kindInfo() : nullptr;
    const FunctionKindInfo& kind = found ? *found : defaultKind();
    v_ = kind.variableLabel, v0_ = kind.startLabel, v1_ = kind.endLabel;
    valueFieldEnabled_ = !(f && (f->isImplicit() || !kind.can.variableField));
}

void InfoModel::setContent(const myPointInfo& info)
{
    hidden_ = false;
    minimize();
    if (info.variable != field_.xVal || info.variable == 0)
        showValue(field_, info.variable);
    std::optional<std::string> s = curFunc_ ? curFunc_->pointInfoText(info) : std::nullopt;
    text_ = s ? *s : std::string();
}

void InfoModel::setContent2(const std::optional<InfoMap>& range)
{
    hidden_ = false;
    maximize();
    if (!range) {
        // No information for this range: nothing stale is left on show.
        text_.clear();
        return;
    }
    if (auto a = range->find("a"); a != range->end())
        showValue(field0_, a->second);
    if (auto b = range->find("b"); b != range->end())
        showValue(field_, b->second);
    std::optional<std::string> s = curFunc_ ? curFunc_->rangeInfoText(*range) : std::nullopt;
    text_ = s ? *s : std::string();
}

bool InfoModel::beginEditing(FieldId id)
{
    if (id == kStart ? !startFieldEditable() : !valueFieldEditable())
        return false;
    mutableField(id).isEditing = true;
    return true;
}

void InfoModel::cancelEditing(FieldId id) { mutableField(id).isEditing = false; }

void InfoModel::isBadValue(FieldId id, double v) const
{
    if (std::isnan(v))
        throw Error("Value is NAN!");
    if (std::isinf(v))
        throw Error("Infinity value!");
    if (maxed_) {
        if (id == kStart && v > field_.xVal)
            throw Error("MinVal shouldn't be greater than MaxVal!");
        if (id == kValue && v < field0_.xVal)
            throw Error("MaxVal shouldn't be less than MinVal!");
    }
    if (validator)
        validator(id, v);
}

std::optional<std::string> InfoModel::confirm(FieldId id, std::string_view text)
{
    const auto read = [](std::string_view t) {
        const std::optional<double> shown = shownNonNumber(t);
        return shown ? *shown : numberFieldValue(t);
    };
    std::optional<std::string> refusal = mutableField(id).confirm(
        text, [&](double v) { isBadValue(id, v); }, read);
    if (!refusal && !text.empty())
        boundsAreModified();
    return refusal;
}

void InfoModel::boundsAreModified()
{
    if (!interactive_ && !maxed_ && onTraceAt) {
        // The point shown is a mark, not the trace point: leave it be.
        onTraceAt(field_.xVal);
        return;
    }
    if (onWillModifyBounds)
        onWillModifyBounds();
    if (curFunc_) {
        if (maxed_) {
            const double a = field0_.xVal, b = field_.xVal;
            if (p0_)
                p0_->setInfo(curFunc_->pointAt(a));
            if (p1_)
                p1_->setInfo(curFunc_->pointAt(b));
            setContent2(curFunc_->rangeInfo(a, b));
        } else {
            const myPointInfo info = curFunc_->pointAt(field_.xVal);
            if (p1_)
                p1_->setInfo(info);
            std::optional<std::string> s = curFunc_->pointInfoText(p1_ ? p1_->info() : info);
            text_ = s ? *s : std::string();
        }
    }
    if (onBoundsModified)
        onBoundsModified();
}

void InfoModel::linkTo(plotView* view)
{
    if (!view) {
        onBoundsModified = nullptr;
        onWillModifyBounds = nullptr;
        onTraceAt = nullptr;
        return;
    }
    // The range before the typing, for the step of undo.
    auto before = std::make_shared<std::optional<TraceRange>>();
    onWillModifyBounds = [before, view] { *before = view->traceRange(); };
    onTraceAt = [view](double v) { view->traceAt(v); };
    onBoundsModified = [before, view] {
        view->rangeTyped(*before);
        view->backgroundChanged();
        if (view->onNeedsDisplay)
            view->onNeedsDisplay();
    };
}

} // namespace orlix
