#include "launch.h"

#include "orlix/function.h"

namespace orlix {

Session::Session(const QString& directory, Store::Access access)
    : store_(directory.isEmpty() ? Store::defaultDirectory() : directory, Store::defaultFileName(), schema(), access)
{
}

void Session::load(PlotSettingsOwner* plot)
{
    prefs_ = Preferences{};
    stateWasReset_ = false;
    failedLaunchCopy_.clear();

    const bool failed = store_.boolForKey(launchFailedKey);
    if (store_.boolForKey(resetAllKey) || failed) {
        // A reset asked for by the user forgets; state thrown away because a
        // launch died on it is kept in a copy of the file first.
        const bool holdsState =
            store_.contains(functionsKey) || store_.contains(settingsKey) || store_.contains(plotterSettingsKey);
        if (failed && holdsState)
            failedLaunchCopy_ = store_.keepCopy(QStringLiteral("launch-failed"));
        store_.set(resetAllKey, false);
        store_.remove(settingsKey);
        store_.remove(functionsKey);
        store_.remove(plotterSettingsKey);
        store_.set(defRfKey, 0);
        store_.set(defTKey, 0);
        stateWasReset_ = true;
    }
    // Written at once: a launch that dies from here on is seen next time.
    store_.set(launchFailedKey, true);
    store_.save();

    isLeftAligned_ = StoredState::restore(store_, prefs_, plot);

    store_.set(launchFailedKey, false);
    store_.save();
}

void Session::applySettingsDict(const nlohmann::json& s) { StoredState::applySettingsDict(s, prefs_); }

nlohmann::json Session::settingsDict() const { return StoredState::settingsDict(prefs_); }

bool Session::saveAll(PlotSettingsOwner* plot)
{
    if (prefs_.saveFuncs) {
        // A view that was never shown has no position of its own yet: the
        // stored one stays.
        if (plot && plot->shown())
            store_.set(plotterSettingsKey, plot->settings());
        store_.set(functionsKey, Function::registerToDict());
    } else {
        store_.remove(plotterSettingsKey);
        store_.remove(functionsKey);
    }
    store_.set(settingsKey, settingsDict());
    return store_.save();
}

bool Session::terminate(PlotSettingsOwner* plot)
{
    if (plot && plot->shown())
        return saveAll(plot);
    return store_.save();
}

} // namespace orlix
