// The application's life cycle around the store: what a launch reads back,
// what saveAll writes, and the launch guard that throws away stored state
// after a launch that did not complete.
//
// Stored state stays in the store after it has been read: it is replaced
// only by saveAll. A launch that dies halfway is caught by "launchFailed"
// on the next launch; an application killed after a good launch still
// finds its functions.
#pragma once

#include <QString>
#include <nlohmann/json.hpp>

#include "store.h"

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
// model (Function::maxIntegral, Function::derAreDashed).
struct Preferences {
    bool sRoots = true;
    bool sInfls = false;
    bool sExtrs = false;
    bool sInters = false;
    bool saveFuncs = true;
    bool showPrompt = true;
};

class Session {
  public:
    // Keys of the store.
    static constexpr const char* functionsKey = "functions";
    static constexpr const char* plotterSettingsKey = "plotterSettings";
    static constexpr const char* settingsKey = "settings";
    static constexpr const char* launchFailedKey = "launchFailed";
    static constexpr const char* resetAllKey = "resetAllOnLaunch";
    static constexpr const char* resetPositionKey = "resetPositionOnLaunch";
    static constexpr const char* defRfKey = "defRfBoundaries";
    static constexpr const char* defTKey = "defTBoundaries";
    static constexpr const char* infoviewAlignmentKey = "infoviewAlignment";

    // What each key must hold for the store to read it from its file.
    static Store::Schema schema();

    // Opens the store file in directory (the platform's application data
    // directory when empty). A read-only session writes nothing.
    explicit Session(const QString& directory = {}, Store::Access access = Store::Access::ReadWrite);

    Store& store() { return store_; }
    const Store& store() const { return store_; }
    Preferences& preferences() { return prefs_; }
    const Preferences& preferences() const { return prefs_; }

    // The launch: the guard, the range defaults of new polar and parametric
    // functions, the function register, the preferences, the plot view's
    // settings and the side of the information panel. plot may be null.
    // An exception leaves "launchFailed" set, so the next launch starts
    // from empty state.
    void load(PlotSettingsOwner* plot);
    // The previous launch did not complete, or a reset was asked for: the
    // stored state was thrown away.
    bool stateWasReset() const { return stateWasReset_; }
    // Where the state thrown away after a failed launch was kept; empty
    // when nothing was thrown away.
    const QString& failedLaunchCopy() const { return failedLaunchCopy_; }
    // "infoviewAlignment" read as a truth value.
    bool isLeftAligned() const { return isLeftAligned_; }

    // Writes the function list, the plot view's settings (when saveFuncs is
    // on) and the preferences, and the file. Call it after every committed
    // change and when the application is suspended or closed. Returns
    // whether the file was written.
    bool saveAll(PlotSettingsOwner* plot);
    // Termination: saveAll when the plot view was shown. A view that was
    // never shown has nothing new to say, and what the store holds is the
    // user's state from the last launch: it stays.
    bool terminate(PlotSettingsOwner* plot);

    // The "settings" dictionary of the live values.
    nlohmann::json settingsDict() const;
    // Applies a "settings" dictionary the way a launch does.
    void applySettingsDict(const nlohmann::json& settings);

  private:
    Store store_;
    Preferences prefs_;
    bool stateWasReset_ = false;
    bool isLeftAligned_ = false;
    QString failedLaunchCopy_;
};

} // namespace orlix
