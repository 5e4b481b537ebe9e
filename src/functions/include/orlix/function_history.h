// The history of committed changes to the functions, for undo and redo:
// each step holds the register as it was before the change and after it
// (every function's identifier, object and record, the current function
// and the parameters), so that going back and forth puts back exactly what was
// there, a deleted function in its place with its looks and its range.
// Kept in memory for the session only.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orlix/curve_model.h"

namespace orlix {

// A range of trace mode over the current function: the values of its
// variable at the two ends.
struct TraceRange {
    double a = 0, b = 0;
    bool operator==(const TraceRange&) const = default;
};

// The register at one moment.
class RegisterSnapshot {
  public:
    // The register of model as it is now; current is the function the
    // user works on (or nullptr), range the range shown over it in trace
    // mode.
    static RegisterSnapshot capture(const CurveModel& model, const Function* current,
                                    std::optional<TraceRange> range = std::nullopt);

    // Makes the register of model hold what was captured, in its order. A function
    // whose record has changed since is made again from the captured
    // record, so that the register shows what it showed then. Returns the
    // function that was current, or nullptr.
    Function::Ptr restore(CurveModel& model) const;

    // Same functions in the same order with the same records, the same
    // parameters and the same range; which one is current does not count.
    bool sameFunctions(const RegisterSnapshot& other) const;
    const std::optional<TraceRange>& range() const { return range_; }
    std::size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        std::string id;
        Function::Ptr function;
        // The record less the sampling window of a curve sampled over
        // the view, which follows every move of the view.
        nlohmann::json record;
    };
    std::vector<Entry> entries_;
    nlohmann::json parameters_;
    std::string currentID_;
    std::optional<TraceRange> range_;
};

// What a step changed; the window names the step by it.
// range: a function's own range, or the range of trace mode over it;
// parameter: a value or the bounds of a, b or c.
enum class FunctionChange { add, replace, remove, removeAll, derivative, looks, range, parameter };

struct HistoryStep {
    FunctionChange change;
    RegisterSnapshot before;
    RegisterSnapshot after;
};

class FunctionHistory {
  public:
    static constexpr std::size_t defaultLimit = 100;
    explicit FunctionHistory(std::size_t limit = defaultLimit);

    // Records a change made; drops the steps that were undone. A change
    // that left the functions as they were is no step: returns false.
    // Beyond the limit the oldest step is forgotten.
    bool record(FunctionChange change, RegisterSnapshot before, RegisterSnapshot after);

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < steps_.size(); }
    // The step the next undo (redo) takes back (again); nullptr when none.
    const HistoryStep* nextUndo() const { return canUndo() ? &steps_[done_ - 1] : nullptr; }
    const HistoryStep* nextRedo() const { return canRedo() ? &steps_[done_] : nullptr; }
    // Moves one step back (forward) and returns the register to restore;
    // nullptr when there is none.
    const RegisterSnapshot* undo();
    const RegisterSnapshot* redo();

    std::size_t size() const { return steps_.size(); }

  private:
    std::size_t limit_;
    std::deque<HistoryStep> steps_;
    std::size_t done_ = 0; // steps_[0, done_) are in effect
};

} // namespace orlix
