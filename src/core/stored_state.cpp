#include "stored_state.h"

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

StoreDocument::Schema StoredState::schema()
{
    using E = StoreDocument::Expect;
    return {
        {functionsKey, E::Record},
        {parametersKey, E::Object},
        {plotterSettingsKey, E::Object},
        {settingsKey, E::Object},
        {launchFailedKey, E::Number},
        {resetAllKey, E::Number},
        {resetPositionKey, E::Number},
        {defRfKey, E::Number},
        {defTKey, E::Number},
        {infoviewAlignmentKey, E::Number},
        {appearanceKey, E::Number},
    };
}

bool StoredState::restore(const StoreDocument& store, Preferences& prefs, CurveModel& model, PlotSettingsOwner* plot,
                          FunctionListReading* functionsRead)
{
    model.setRangeDefaults(RangeDefaults{rangeDefault(store.integerForKey(defRfKey)) != 0,
                                         rangeDefault(store.integerForKey(defTKey)) != 0});

    // The values first, so that the functions are sampled with them; a
    // store from before parameters has none and reads 0 for each.
    model.loadParametersFromDict(store.dictionaryForKey(parametersKey).value_or(nlohmann::json()));
    if (auto functions = store.objectForKey(functionsKey)) {
        FunctionListReading reading = checkFunctionList(*functions);
        model.loadAllFromDict(reading.functions);
        // A record the kind could still not restore (one too complex, say).
        for (auto it = reading.functions.begin(); it != reading.functions.end(); ++it)
            if (!model.functionWithID(it.key())) {
                reading.refusedIDs.push_back(it.key());
                reading.refused[it.key()] = functions->at(it.key());
            }
        if (functionsRead)
            *functionsRead = std::move(reading);
    }

    if (auto settings = store.dictionaryForKey(settingsKey))
        applySettingsDict(*settings, prefs, model);

    if (plot) {
        if (auto plotter = store.dictionaryForKey(plotterSettingsKey))
            plot->applySettings(*plotter);
    }
    return store.boolForKey(infoviewAlignmentKey);
}

void StoredState::applySettingsDict(const nlohmann::json& s, Preferences& prefs, CurveModel& model)
{
    // A stored dictionary is taken as it is: an entry it lacks reads as off.
    prefs.sRoots = record::readBool(s, "sRoots", false);
    prefs.sInfls = record::readBool(s, "sInfls", false);
    prefs.sExtrs = record::readBool(s, "sExtrs", false);
    prefs.sInters = record::readBool(s, "sInters", false);
    prefs.showPrompt = record::readBool(s, "showPrompt", false);
    prefs.saveFuncs = record::readBool(s, "saveFuncs", false);
    // Halvings beyond the integration's own cap, or negative ones, were not
    // written by the app: 0 gives the default.
    const int halvings = record::readInt(s, "maxIntegral", 0);
    model.setMaxIntegral(halvings >= 0 && halvings <= explicitFunction::integralHalvingsCap ? halvings : 0);
    model.setDerAreDashed(record::readBool(s, "derAreDashed", false));
}

nlohmann::json StoredState::settingsDict(const Preferences& prefs, const CurveModel& model)
{
    return nlohmann::json{
        {"sRoots", prefs.sRoots},
        {"sInfls", prefs.sInfls},
        {"sExtrs", prefs.sExtrs},
        {"sInters", prefs.sInters},
        {"saveFuncs", prefs.saveFuncs},
        {"showPrompt", prefs.showPrompt},
        {"maxIntegral", model.maxIntegral()},
        {"derAreDashed", model.derAreDashed()},
    };
}

} // namespace orlix
