#include "orlix/function_history.h"

#include <algorithm>
#include <exception>

#include "orlix/function_kind.h"

namespace orlix {

namespace {

// What the user set of f: its record, less the sampling window of a kind
// that samples the view (it follows every move of the view).
nlohmann::json settledRecord(const Function& f)
{
    nlohmann::json r = f.toDict();
    const FunctionKindInfo* kind = f.kindInfo();
    if (!kind || !kind->can.ownRange) {
        r.erase("minVar");
        r.erase("maxVar");
    }
    return r;
}

} // namespace

RegisterSnapshot RegisterSnapshot::capture(const CurveModel& model, const Function* current,
                                           std::optional<TraceRange> range)
{
    RegisterSnapshot s;
    s.range_ = current ? range : std::nullopt;
    s.parameters_ = model.parametersToDict();
    for (const auto& [id, f] : model.functionRegister()) {
        if (!f)
            continue;
        s.entries_.push_back(Entry{id, f, settledRecord(*f)});
        if (f.get() == current)
            s.currentID_ = id;
    }
    return s;
}

Function::Ptr RegisterSnapshot::restore(CurveModel& model) const
{
    // The functions are made first: the register changes only once it is
    // known what it will hold.
    std::vector<Function::Ptr> functions;
    functions.reserve(entries_.size());
    for (const Entry& e : entries_) {
        // Changed in place since (colour, density, range): made again as a
        // launch would make it from the store.
        Function::Ptr f = settledRecord(*e.function) == e.record ? e.function : model.fromDict(e.record);
        functions.push_back(f ? f : e.function);
    }
    model.deleteAll();
    Function::Ptr current;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        try {
            model.setFunction(functions[i], entries_[i].id);
        } catch (const std::exception&) {
            // Registered before, so it has its derivatives; a function made
            // again that somehow has not keeps the object that had them.
            if (functions[i] == entries_[i].function)
                continue;
            model.setFunction(entries_[i].function, entries_[i].id);
            functions[i] = entries_[i].function;
        }
        if (entries_[i].id == currentID_)
            current = functions[i];
    }
    // Once the functions are back, so that those reading a changed value
    // are sampled with it.
    if (!parameters_.is_null())
        model.loadParametersFromDict(parameters_);
    return current;
}

bool RegisterSnapshot::sameFunctions(const RegisterSnapshot& other) const
{
    return range_ == other.range_ && parameters_ == other.parameters_ &&
           std::equal(entries_.begin(), entries_.end(), other.entries_.begin(), other.entries_.end(),
                      [](const Entry& a, const Entry& b) { return a.id == b.id && a.record == b.record; });
}

FunctionHistory::FunctionHistory(std::size_t limit) : limit_(std::max<std::size_t>(limit, 1)) {}

bool FunctionHistory::record(FunctionChange change, RegisterSnapshot before, RegisterSnapshot after)
{
    if (before.sameFunctions(after))
        return false;
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    steps_.push_back(HistoryStep{change, std::move(before), std::move(after)});
    if (steps_.size() > limit_)
        steps_.pop_front();
    done_ = steps_.size();
    return true;
}

const RegisterSnapshot* FunctionHistory::undo()
{
    if (!canUndo())
        return nullptr;
    return &steps_[--done_].before;
}

const RegisterSnapshot* FunctionHistory::redo()
{
    if (!canRedo())
        return nullptr;
    return &steps_[done_++].after;
}

} // namespace orlix
