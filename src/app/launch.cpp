#include "launch.h"

#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/math_engine.h"
#include "orlix/record.h"
#include "orlix/yx_function.h"

namespace orlix {

namespace {

// The range defaults are a switch on the settings screen: 0 or 1. Any other
// stored number is not one the app wrote and reads as the default, 0.
int rangeDefault(long long v) { return v == 1 ? 1 : 0; }

} // namespace

Store::Schema Session::schema()
{
    using E = Store::Expect;
    return {
        {functionsKey, E::Record},
        {plotterSettingsKey, E::Object},
        {settingsKey, E::Object},
        {launchFailedKey, E::Number},
        {resetAllKey, E::Number},
        {resetPositionKey, E::Number},
        {defRfKey, E::Number},
        {defTKey, E::Number},
        {infoviewAlignmentKey, E::Number},
    };
}

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

    MathEngine& engine = MathEngine::sharedEngine();
    engine.defRfB = rangeDefault(store_.integerForKey(defRfKey));
    engine.defTB = rangeDefault(store_.integerForKey(defTKey));

    // A kind unknown here would drop its records silently, and the next
    // saveAll would erase them: make sure every kind is known, whatever
    // the linker kept.
    registerBuiltInKinds();
    if (auto functions = store_.objectForKey(functionsKey))
        Function::loadAllFromDict(*functions);

    if (auto settings = store_.dictionaryForKey(settingsKey))
        applySettingsDict(*settings);

    if (plot) {
        if (auto plotter = store_.dictionaryForKey(plotterSettingsKey))
            plot->applySettings(*plotter);
    }
    isLeftAligned_ = store_.boolForKey(infoviewAlignmentKey);

    store_.set(launchFailedKey, false);
    store_.save();
}

void Session::applySettingsDict(const nlohmann::json& s)
{
    // A stored dictionary is taken as it is: an entry it lacks reads as off.
    prefs_.sRoots = record::readBool(s, "sRoots", false);
    prefs_.sInfls = record::readBool(s, "sInfls", false);
    prefs_.sExtrs = record::readBool(s, "sExtrs", false);
    prefs_.sInters = record::readBool(s, "sInters", false);
    prefs_.showPrompt = record::readBool(s, "showPrompt", false);
    prefs_.saveFuncs = record::readBool(s, "saveFuncs", false);
    // Halvings beyond the integration's own cap, or negative ones, were not
    // written by the app: 0 gives the default.
    const int halvings = record::readInt(s, "maxIntegral", 0);
    Function::setMaxIntegral(halvings >= 0 && halvings <= explicitFunction::integralHalvingsCap ? halvings : 0);
    Function::setDerAreDashed(record::readBool(s, "derAreDashed", false));
}

nlohmann::json Session::settingsDict() const
{
    return nlohmann::json{
        {"sRoots", prefs_.sRoots},
        {"sInfls", prefs_.sInfls},
        {"sExtrs", prefs_.sExtrs},
        {"sInters", prefs_.sInters},
        {"saveFuncs", prefs_.saveFuncs},
        {"showPrompt", prefs_.showPrompt},
        {"maxIntegral", Function::maxIntegral()},
        {"derAreDashed", Function::derAreDashed()},
    };
}

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
