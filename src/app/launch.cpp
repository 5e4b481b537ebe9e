#include "launch.h"

#include <QDir>

#include <QStringList>

#include "orlix/function.h"

namespace orlix {

Session::Session(const QString& directory, Store::Access access)
    : store_(directory.isEmpty() ? Store::defaultDirectory() : directory, Store::defaultFileName(), schema(), access)
{
}

void Session::load(CurveModel& model, PlotSettingsOwner* plot)
{
    prefs_ = Preferences{};
    stateWasReset_ = false;
    failedLaunchCopy_.clear();
    functionsRead_ = {};
    damagedFunctionsCopy_.clear();

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
        store_.remove(parametersKey);
        store_.remove(plotterSettingsKey);
        store_.set(defRfKey, 0);
        store_.set(defTKey, 0);
        stateWasReset_ = true;
    }
    // Written at once: a launch that dies from here on is seen next time.
    store_.set(launchFailedKey, true);
    store_.save();

    isLeftAligned_ = StoredState::restore(store_, prefs_, model, plot, &functionsRead_);
    // The next save writes the list as it was restored: keep the file as it
    // is now, with every record as it was stored, first.
    if (!functionsRead_.refusedIDs.empty() || functionsRead_.rebuilt || functionsRead_.disagreed)
        damagedFunctionsCopy_ = store_.keepCopy(QStringLiteral("damaged-functions"));

    store_.set(launchFailedKey, false);
    unwritableReason_.clear();
    if (!store_.save() && store_.access() == Store::Access::ReadWrite)
        unwritableReason_ = store_.lastError().isEmpty() ? QStringLiteral("unknown error") : store_.lastError();
}

namespace {

QString functionsCount(std::size_t n)
{
    return n == 1 ? QStringLiteral("1 function") : QStringLiteral("%1 functions").arg(n);
}

} // namespace

QString Session::launchNotice() const
{
    QStringList lines;
    if (!unwritableReason_.isEmpty())
        lines << QStringLiteral("Orlix cannot save in %1 (%2): what you change will not be there the next time it "
                                "starts.")
                     .arg(QDir::toNativeSeparators(store_.filePath()), unwritableReason_);
    if (!store_.backupPath().isEmpty()) {
        lines << (store_.droppedKeys().empty()
                      ? QStringLiteral("The saved state could not be read, so Orlix started empty.")
                      : QStringLiteral("Part of the saved state could not be read and was left out."))
              << QStringLiteral("The file is kept as %1.").arg(store_.backupPath());
    }
    if (!failedLaunchCopy_.isEmpty())
        lines << QStringLiteral("The last launch did not finish, so Orlix started empty. The saved state is kept "
                                "as %1.")
                     .arg(failedLaunchCopy_);
    const FunctionListReading& r = functionsRead_;
    if (!r.refusedIDs.empty())
        lines << QStringLiteral("%1 could not be read and %2 left out.")
                     .arg(functionsCount(r.refusedIDs.size()), r.refusedIDs.size() == 1 ? "is" : "are");
    if (r.disagreed)
        lines << QStringLiteral("%1 had a formula that did not match the stored curve; the formula was drawn.")
                     .arg(functionsCount(r.disagreed));
    if (r.rebuilt)
        lines << QStringLiteral("%1 had a damaged record and %2 rebuilt.")
                     .arg(functionsCount(r.rebuilt), r.rebuilt == 1 ? "was" : "were");
    if (!r.refusedIDs.empty() || r.disagreed || r.rebuilt) {
        if (damagedFunctionsCopy_.isEmpty())
            lines << QStringLiteral("No copy of the saved file could be made: the records stay in it.");
        else
            lines << QStringLiteral("The records as they were saved are kept in %1.").arg(damagedFunctionsCopy_);
    }
    return lines.join(QLatin1Char(' '));
}

void Session::applySettingsDict(const nlohmann::json& s, CurveModel& model)
{
    StoredState::applySettingsDict(s, prefs_, model);
}

nlohmann::json Session::settingsDict(const CurveModel& model) const { return StoredState::settingsDict(prefs_, model); }

bool Session::saveAll(const CurveModel& model, PlotSettingsOwner* plot)
{
    if (prefs_.saveFuncs) {
        // A view that was never shown has no position of its own yet: the
        // stored one stays.
        if (plot && plot->shown())
            store_.set(plotterSettingsKey, plot->settings());
        nlohmann::json functions = model.registerToDict();
        // Records left out at launch live on in the copy beside the store;
        // without a copy they stay in the store, never lost.
        if (damagedFunctionsCopy_.isEmpty())
            for (auto it = functionsRead_.refused.begin(); it != functionsRead_.refused.end(); ++it)
                if (!functions.contains(it.key()))
                    functions[it.key()] = it.value();
        store_.set(functionsKey, std::move(functions));
        store_.set(parametersKey, model.parametersToDict());
    } else {
        store_.remove(plotterSettingsKey);
        store_.remove(functionsKey);
        store_.remove(parametersKey);
    }
    store_.set(settingsKey, settingsDict(model));
    return store_.save();
}

bool Session::terminate(const CurveModel& model, PlotSettingsOwner* plot)
{
    if (plot && plot->shown())
        return saveAll(model, plot);
    return store_.save();
}

} // namespace orlix
