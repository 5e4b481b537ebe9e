#include "controller.h"
#include "controller_internal.h"

namespace orlix {

// ---- undo and redo ----------------------------------------------------------------------

void OrlixViewController::recordStep(FunctionChange change, RegisterSnapshot before)
{
    if (stepGroupDepth_ > 0) {
        groupChange_ = change;
        return;
    }
    history_.record(change, std::move(before), snapshot());
}

// A group is also a batch: the window refreshes once, when all of it is
// done (a refresh in between would show the fields' texts of the middle).
OrlixViewController::StepGroup::StepGroup(OrlixViewController& c) : c_(c)
{
    ++c_.batchDepth_;
    if (c_.stepGroupDepth_++ == 0) {
        c_.groupBefore_ = c_.snapshot();
        c_.groupChange_.reset();
    }
}

OrlixViewController::StepGroup::~StepGroup()
{
    if (--c_.stepGroupDepth_ == 0) {
        std::optional<RegisterSnapshot> before = std::move(c_.groupBefore_);
        c_.groupBefore_.reset();
        if (c_.groupChange_ && before && c_.history_.record(*c_.groupChange_, std::move(*before), c_.snapshot()))
            c_.changed();
        c_.groupChange_.reset();
    }
    ChangeBatch end(c_); // takes the group's place in the count
    --c_.batchDepth_;
}

void OrlixViewController::traceRangeChanged(std::optional<TraceRange> before)
{
    recordStep(FunctionChange::range, RegisterSnapshot::capture(model_, curFunc(), before));
    changed();
}

std::optional<FunctionChange> OrlixViewController::changeToUndo() const
{
    const HistoryStep* step = history_.nextUndo();
    return step ? std::optional(step->change) : std::nullopt;
}

std::optional<FunctionChange> OrlixViewController::changeToRedo() const
{
    const HistoryStep* step = history_.nextRedo();
    return step ? std::optional(step->change) : std::nullopt;
}

std::size_t OrlixViewController::deletedCount() const
{
    const HistoryStep* step = history_.nextUndo();
    return step && step->change == FunctionChange::removeAll ? step->before.size() : 0;
}

// A play still running is a change not yet made: it ends (a step of its
// own) before the history moves.
bool OrlixViewController::undo()
{
    parameterStrip_.stopPlaying();
    return restoreFunctions(history_.undo());
}

bool OrlixViewController::redo()
{
    parameterStrip_.stopPlaying();
    return restoreFunctions(history_.redo());
}

// ---- the parameters ----------------------------------------------------------------------

void OrlixViewController::parameterChangeBegins() { parameterBefore_ = snapshot(); }

void OrlixViewController::parameterMoved()
{
    // The strip shows its own values; the rest of the window is as it was.
    plotter_.functionsChanged();
}

void OrlixViewController::parameterChangeEnds()
{
    if (!parameterBefore_)
        return;
    RegisterSnapshot before = std::move(*parameterBefore_);
    parameterBefore_.reset();
    recordStep(FunctionChange::parameter, std::move(before));
    saveAll();
    changed();
}

bool OrlixViewController::restoreFunctions(const RegisterSnapshot* s)
{
    if (!s)
        return false;
    ChangeBatch batch(*this);
    guarded([&] {
        const Function::Ptr current = s->restore(model_);
        if (current && current == plotter_.curFunc()) {
            // The same object: the input bar still takes its texts again.
            setCurFunc(current.get());
            plotChanged();
        } else {
            makeCurrent(current);
        }
        if (!current) {
            function1_.clear();
            function2_.clear();
            checked_.reset();
            plotChanged();
        }
        plotter_.setTraceRange(s->range());
    });
    saveAll();
    changed();
    return true;
}

} // namespace orlix
