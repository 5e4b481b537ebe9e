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
#include "stored_state.h"

namespace orlix {

class Session : public StoredState {
  public:
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
    void load(CurveModel& model, PlotSettingsOwner* plot);
    // The previous launch did not complete, or a reset was asked for: the
    // stored state was thrown away.
    bool stateWasReset() const { return stateWasReset_; }
    // Where the state thrown away after a failed launch was kept; empty
    // when nothing was thrown away.
    const QString& failedLaunchCopy() const { return failedLaunchCopy_; }
    // "infoviewAlignment" read as a truth value.
    bool isLeftAligned() const { return isLeftAligned_; }
    // How the stored function list read at the last load.
    const FunctionListReading& functionsRead() const { return functionsRead_; }
    // Where the store was copied before damaged or refused function records
    // were left out of it; empty when every record read as it was.
    const QString& damagedFunctionsCopy() const { return damagedFunctionsCopy_; }
    // Why the launch could not write the store (a read-only home, a full
    // disk); empty when it could, or when the store is only read.
    const QString& unwritableReason() const { return unwritableReason_; }
    // What the person must be told about the last load, in words: a store
    // that cannot be written, a store that could not be read, functions rebuilt or left out, and where the
    // copy of what was left out is. Empty when all went well.
    QString launchNotice() const;

    // Writes the function list, the plot view's settings (when saveFuncs is
    // on) and the preferences, and the file. Call it after every committed
    // change and when the application is suspended or closed. Returns
    // whether the file was written.
    bool saveAll(const CurveModel& model, PlotSettingsOwner* plot);
    // Termination: saveAll when the plot view was shown. A view that was
    // never shown has nothing new to say, and what the store holds is the
    // user's state from the last launch: it stays.
    bool terminate(const CurveModel& model, PlotSettingsOwner* plot);

    // The "settings" dictionary of the live values.
    nlohmann::json settingsDict(const CurveModel& model) const;
    // Applies a "settings" dictionary the way a launch does.
    void applySettingsDict(const nlohmann::json& settings, CurveModel& model);

  private:
    Store store_;
    Preferences prefs_;
    bool stateWasReset_ = false;
    bool isLeftAligned_ = false;
    QString failedLaunchCopy_;
    FunctionListReading functionsRead_;
    QString damagedFunctionsCopy_;
    QString unwritableReason_;
};

} // namespace orlix
