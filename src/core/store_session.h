// The application's life cycle around the store: what a launch reads back,
// what saveAll writes, and the launch guard that throws away stored state
// after a launch that did not complete.
//
// Stored state stays in the store after it has been read: it is replaced
// only by saveAll. A launch that dies halfway is caught by "launchFailed"
// on the next launch; an application killed after a good launch still
// finds its functions.
//
// The texts (places, reasons, the launch notice) are UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "store_file.h"
#include "stored_state.h"

namespace orlix {

class StoreSession : public StoredState {
  public:
    // The session of a store that the shell has opened (and read).
    explicit StoreSession(std::unique_ptr<StoreFile> store);
    virtual ~StoreSession() = default;
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    StoreFile& store() { return *store_; }
    const StoreFile& store() const { return *store_; }
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
    const std::string& failedLaunchCopy() const { return failedLaunchCopy_; }
    // "infoviewAlignment" read as a truth value.
    bool isLeftAligned() const { return isLeftAligned_; }
    // How the stored function list read at the last load.
    const FunctionListReading& functionsRead() const { return functionsRead_; }
    // Where the store was copied before damaged or refused function records
    // were left out of it; empty when every record read as it was.
    const std::string& damagedFunctionsCopy() const { return damagedFunctionsCopy_; }
    // Why the launch could not write the store (a read-only home, a full
    // disk); empty when it could, or when the store is only read.
    const std::string& unwritableReason() const { return unwritableReason_; }
    // What the person must be told about the last load, in words: a store
    // that cannot be written, a store that could not be read, functions rebuilt or left out, and where the
    // copy of what was left out is. Empty when all went well.
    std::string launchNotice() const;
    // The words for a store that cannot be written, for the reason given.
    static std::string cannotSaveNotice(const StoreFile& store, std::string_view reason);

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
    std::unique_ptr<StoreFile> store_;
    Preferences prefs_;
    bool stateWasReset_ = false;
    bool isLeftAligned_ = false;
    std::string failedLaunchCopy_;
    FunctionListReading functionsRead_;
    std::string damagedFunctionsCopy_;
    std::string unwritableReason_;
};

} // namespace orlix
