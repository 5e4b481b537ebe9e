// What the store holds between launches and how a launch reads it back:
// the keys, the user's preferences, the function list and the plot view's
// settings. Nothing here touches the file or the toolkit (Session in
// launch.h does), so the reading can be exercised on any document.
#pragma once

#include <nlohmann/json.hpp>

#include "orlix/curve_model.h"
#include "orlix/record_check.h"
#include "store_document.h"

namespace orlix {

// The plot view as the life cycle sees it.
class PlotSettingsOwner {
  public:
    virtual ~PlotSettingsOwner() = default;
    // The view's position and options ("plotterSettings").
    virtual nlohmann::json settings() = 0;
    virtual void applySettings(const nlohmann::json& settings) = 0;
    // The view has been displayed at least once.
    virtual bool shown() const = 0;
};

// The user's switches; maxIntegral and derAreDashed live in the function
// model (CurveModel::maxIntegral, CurveModel::derAreDashed).
struct Preferences {
    bool sRoots = true;
    bool sInfls = false;
    bool sExtrs = false;
    bool sInters = false;
    bool saveFuncs = true;
    bool showPrompt = true;
};

struct StoredState {
    // Keys of the store.
    static constexpr const char* functionsKey = "functions";
    // The values and sliders of the parameters a, b and c, saved with the
    // functions.
    static constexpr const char* parametersKey = "parameters";
    static constexpr const char* plotterSettingsKey = "plotterSettings";
    static constexpr const char* settingsKey = "settings";
    static constexpr const char* launchFailedKey = "launchFailed";
    static constexpr const char* resetAllKey = "resetAllOnLaunch";
    static constexpr const char* resetPositionKey = "resetPositionOnLaunch";
    static constexpr const char* defRfKey = "defRfBoundaries";
    static constexpr const char* defTKey = "defTBoundaries";
    static constexpr const char* infoviewAlignmentKey = "infoviewAlignment";
    // 0 as the system, 1 light, 2 dark.
    static constexpr const char* appearanceKey = "appearance";

    // What each key must hold for the store to read it from its file.
    static StoreDocument::Schema schema();

    // What a launch reads once its guard has passed: the range defaults of
    // new polar and parametric functions, the function register, the
    // preferences and the plot view's settings (plot may be null). Answers
    // "infoviewAlignment" read as a truth value. Damaged function records
    // are rebuilt or refused (record_check.h); functions, when given, says
    // how the list read, with every record that did not come back among
    // refusedIDs.
    static bool restore(const StoreDocument& store, Preferences& prefs, CurveModel& model, PlotSettingsOwner* plot,
                        FunctionListReading* functions = nullptr);

    // The "settings" dictionary of the live values.
    static nlohmann::json settingsDict(const Preferences& prefs, const CurveModel& model);
    // Applies a "settings" dictionary the way a launch does.
    static void applySettingsDict(const nlohmann::json& settings, Preferences& prefs, CurveModel& model);
};

} // namespace orlix
