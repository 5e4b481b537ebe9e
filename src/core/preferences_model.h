// The preferences screen without its widgets: the application-wide options
// (switches and choices), the keys a launch reads, and the two one-shot
// requests (delete all functions, reset the view position) that the screen
// hands to the main screen when it is closed with "Done". The widget
// (preferencesView) builds its controls from the tables below and forwards
// what the user does; tests drive this class directly.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "orlix/plot_plane.h"
#include "orlix/theme.h"

namespace orlix {

class OrlixViewController;

// Light or dark: as the system is, or always one of them. Stored as its
// number.
enum class AppearanceChoice { system = 0, light = 1, dark = 2 };

// The appearance a choice gives when the system's own look is dark or not.
Appearance resolveAppearance(AppearanceChoice choice, bool systemIsDark);

// Every value the screen edits, as the application holds it.
struct PreferenceValues {
    bool saveFuncs = true;
    bool showPrompt = true;
    bool derAreDashed = false;
    bool showTangent = true;
    bool showOsculatingCircle = true;
    int maxIntegral = 10; // most step halvings of a range's integration
    BarsGesture showHideUI = BarsGesture::ThreeFingers;
    AppearanceChoice appearance = AppearanceChoice::system;
    // Read at launch.
    bool resetAllOnLaunch = false;
    bool resetPositionOnLaunch = false;
    bool polarFromZero = false;      // new r(θ) curves over 0 … 2π rather than −π … π
    bool parametricFromZero = false; // new x(t), y(t) curves over 0 … 20 rather than −20 … 20
    bool infoPanelLeft = false;
};

enum class PrefSwitch {
    saveFuncs,
    showPrompt,
    derAreDashed,
    showTangent,
    showOsculatingCircle,
    resetAllOnLaunch,
    resetPositionOnLaunch,
    infoPanelLeft,
};

enum class PrefChoice { maxIntegral, showHideUI, appearance, polarRange, parametricRange };

// Which group of the screen a control sits in.
enum class PrefGroup { app, launch };

struct PrefSwitchInfo {
    PrefSwitch which;
    PrefGroup group;
    std::string_view label;
};

struct PrefChoiceInfo {
    PrefChoice which;
    PrefGroup group;
    std::string_view label;
    std::span<const std::string_view> segments;
};

class PreferencesModel {
  public:
    // The controls, in the order the screen shows them.
    static std::span<const PrefSwitchInfo> switches();
    static std::span<const PrefChoiceInfo> choices();

    // maxIntegral of segment i of its choice, and back; -1 for a value no
    // segment stands for.
    static int maxIntegralForSegment(int i) { return 2 * i + 8; }
    static int segmentForMaxIntegral(int maxIntegral);

    // Fills the screen from the live values and clears both requests.
    void loadFromVC(const OrlixViewController& vc);
    const PreferenceValues& values() const { return values_; }

    bool isOn(PrefSwitch s) const;
    void setOn(PrefSwitch s, bool on);
    // The selected segment; -1 when the live value is none of them.
    int choice(PrefChoice c) const;
    // An index outside the choice's segments changes nothing.
    void setChoice(PrefChoice c, int segment);

    // Tangent, dashed derivatives, the deleting prompt and saving on, the
    // osculating circle off, and 1024 integration steps.
    void resetSettings();

    // One-shot requests, carried out when the screen is closed with Done.
    bool shallDeleteAllFuncs() const { return shallDeleteAllFuncs_; }
    bool shallResetPos() const { return shallResetPos_; }
    // The user confirmed "delete all functions".
    void deleteAllConfirmed() { shallDeleteAllFuncs_ = true; }
    void resetPosition() { shallResetPos_ = true; }

    // "Done": writes every value back and hands both requests to vc.
    void donePressed(OrlixViewController& vc) const;

  private:
    PreferenceValues values_;
    bool shallDeleteAllFuncs_ = false;
    bool shallResetPos_ = false;
};

} // namespace orlix
