#include "store_session.h"

#include <utility>
#include <vector>

#include "orlix/function.h"

namespace orlix {

StoreSession::StoreSession(std::unique_ptr<StoreFile> store) : store_(std::move(store)) {}

void StoreSession::load(CurveModel& model, PlotSettingsOwner* plot)
{
    prefs_ = Preferences{};
    stateWasReset_ = false;
    failedLaunchCopy_.clear();
    functionsRead_ = {};
    damagedFunctionsCopy_.clear();

    const bool failed = store_->boolForKey(launchFailedKey);
    if (store_->boolForKey(resetAllKey) || failed) {
        // A reset asked for by the user forgets; state thrown away because a
        // launch died on it is kept in a copy of the file first.
        const bool holdsState =
            store_->contains(functionsKey) || store_->contains(settingsKey) || store_->contains(plotterSettingsKey);
        if (failed && holdsState)
            failedLaunchCopy_ = store_->keepTaggedCopy("launch-failed");
        store_->set(resetAllKey, false);
        store_->remove(settingsKey);
        store_->remove(functionsKey);
        store_->remove(parametersKey);
        store_->remove(plotterSettingsKey);
        store_->set(defRfKey, 0);
        store_->set(defTKey, 0);
        stateWasReset_ = true;
    }
    // Written at once: a launch that dies from here on is seen next time.
    store_->set(launchFailedKey, true);
    store_->save();

    isLeftAligned_ = StoredState::restore(*store_, prefs_, model, plot, &functionsRead_);
    // The next save writes the list as it was restored: keep the file as it
    // is now, with every record as it was stored, first.
    if (!functionsRead_.refusedIDs.empty() || functionsRead_.rebuilt || functionsRead_.disagreed)
        damagedFunctionsCopy_ = store_->keepTaggedCopy("damaged-functions");

    store_->set(launchFailedKey, false);
    unwritableReason_.clear();
    if (!store_->save() && store_->access() == StoreAccess::ReadWrite) {
        unwritableReason_ = store_->saveError();
        if (unwritableReason_.empty())
            unwritableReason_ = "unknown error";
    }
}

namespace {

std::string functionsCount(std::size_t n)
{
    return n == 1 ? std::string("1 function") : std::to_string(n) + " functions";
}

} // namespace

std::string StoreSession::cannotSaveNotice(const StoreFile& store, std::string_view reason)
{
    return "Orlix cannot save in " + store.location() + " (" + std::string(reason) +
           "): what you change will not be there the next time it starts.";
}

std::string StoreSession::launchNotice() const
{
    std::vector<std::string> lines;
    if (!unwritableReason_.empty())
        lines.push_back(cannotSaveNotice(*store_, unwritableReason_));
    const std::string backup = store_->damagedCopy();
    if (!backup.empty()) {
        lines.push_back(store_->droppedKeys().empty() ? "The saved state could not be read, so Orlix started empty."
                                                      : "Part of the saved state could not be read and was left out.");
        lines.push_back("The file is kept as " + backup + ".");
    }
    if (!failedLaunchCopy_.empty())
        lines.push_back("The last launch did not finish, so Orlix started empty. The saved state is kept as " +
                        failedLaunchCopy_ + ".");
    const FunctionListReading& r = functionsRead_;
    if (!r.refusedIDs.empty())
        lines.push_back(functionsCount(r.refusedIDs.size()) + " could not be read and " +
                        (r.refusedIDs.size() == 1 ? "is" : "are") + " left out.");
    if (r.disagreed)
        lines.push_back(functionsCount(r.disagreed) +
                        " had a formula that did not match the stored curve; the formula was drawn.");
    if (r.rebuilt)
        lines.push_back(functionsCount(r.rebuilt) + " had a damaged record and " + (r.rebuilt == 1 ? "was" : "were") +
                        " rebuilt.");
    if (!r.refusedIDs.empty() || r.disagreed || r.rebuilt) {
        if (damagedFunctionsCopy_.empty())
            lines.push_back("No copy of the saved file could be made: the records stay in it.");
        else
            lines.push_back("The records as they were saved are kept in " + damagedFunctionsCopy_ + ".");
    }
    std::string notice;
    for (const std::string& line : lines) {
        if (!notice.empty())
            notice += ' ';
        notice += line;
    }
    return notice;
}

void StoreSession::applySettingsDict(const nlohmann::json& s, CurveModel& model)
{
    StoredState::applySettingsDict(s, prefs_, model);
}

nlohmann::json StoreSession::settingsDict(const CurveModel& model) const
{
    return StoredState::settingsDict(prefs_, model);
}

bool StoreSession::saveAll(const CurveModel& model, PlotSettingsOwner* plot)
{
    if (prefs_.saveFuncs) {
        // A view that was never shown has no position of its own yet: the
        // stored one stays.
        if (plot && plot->shown())
            store_->set(plotterSettingsKey, plot->settings());
        nlohmann::json functions = model.registerToDict();
        // Records left out at launch live on in the copy beside the store;
        // without a copy they stay in the store, never lost.
        if (damagedFunctionsCopy_.empty())
            for (auto it = functionsRead_.refused.begin(); it != functionsRead_.refused.end(); ++it)
                if (!functions.contains(it.key()))
                    functions[it.key()] = it.value();
        store_->set(functionsKey, std::move(functions));
        store_->set(parametersKey, model.parametersToDict());
    } else {
        store_->remove(plotterSettingsKey);
        store_->remove(functionsKey);
        store_->remove(parametersKey);
    }
    store_->set(settingsKey, settingsDict(model));
    return store_->save();
}

bool StoreSession::terminate(const CurveModel& model, PlotSettingsOwner* plot)
{
    if (plot && plot->shown())
        return saveAll(model, plot);
    return store_->save();
}

} // namespace orlix
