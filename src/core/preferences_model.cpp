#include "preferences_model.h"

#include "controller.h"

namespace orlix {

Appearance resolveAppearance(AppearanceChoice choice, bool systemIsDark)
{
    switch (choice) {
    case AppearanceChoice::light: return Appearance::light;
    case AppearanceChoice::dark: return Appearance::dark;
    case AppearanceChoice::system: break;
    }
    return systemIsDark ? Appearance::dark : Appearance::light;
}

namespace {

constexpr std::array<std::string_view, 5> kIntegralSteps{"256", "1024", "4096", "16384", "65536"};
constexpr std::array<std::string_view, 3> kBarsGestures{"Double tap", "Triple tap", "Three fingers"};
constexpr std::array<std::string_view, 3> kAppearances{"As the system", "Light", "Dark"};
constexpr std::array<std::string_view, 2> kPolarRanges{"−π … π", "0 … 2π"};
constexpr std::array<std::string_view, 2> kParametricRanges{"−20 … 20", "0 … 20"};

constexpr std::array<PrefSwitchInfo, 8> kSwitches{{
    {PrefSwitch::saveFuncs, PrefGroup::app, "Keep functions between sessions"},
    {PrefSwitch::showPrompt, PrefGroup::app, "Ask before deleting a function"},
    {PrefSwitch::derAreDashed, PrefGroup::app, "Dashed derivatives"},
    {PrefSwitch::showTangent, PrefGroup::app, "Tangent while tracing"},
    {PrefSwitch::showOsculatingCircle, PrefGroup::app, "Osculating circle while tracing"},
    {PrefSwitch::resetAllOnLaunch, PrefGroup::launch, "Start empty next time"},
    {PrefSwitch::resetPositionOnLaunch, PrefGroup::launch, "Centre the view next time"},
    {PrefSwitch::infoPanelLeft, PrefGroup::launch, "Information panel on the left"},
}};

constexpr std::array<PrefChoiceInfo, 5> kChoices{{
    {PrefChoice::maxIntegral, PrefGroup::app, "Integration steps, at most", kIntegralSteps},
    {PrefChoice::showHideUI, PrefGroup::app, "Bars hide and show with", kBarsGestures},
    {PrefChoice::appearance, PrefGroup::app, "Appearance", kAppearances},
    {PrefChoice::polarRange, PrefGroup::launch, "New r(θ) curves over θ", kPolarRanges},
    {PrefChoice::parametricRange, PrefGroup::launch, "New x(t), y(t) curves over t", kParametricRanges},
}};

int segmentCount(PrefChoice c)
{
    for (const PrefChoiceInfo& info : kChoices)
        if (info.which == c)
            return static_cast<int>(info.segments.size());
    return 0;
}

} // namespace

std::span<const PrefSwitchInfo> PreferencesModel::switches() { return kSwitches; }

std::span<const PrefChoiceInfo> PreferencesModel::choices() { return kChoices; }

int PreferencesModel::segmentForMaxIntegral(int maxIntegral)
{
    const int i = (maxIntegral - 8) / 2;
    const bool exact = maxIntegral >= 8 && maxIntegral % 2 == 0;
    return exact && i < segmentCount(PrefChoice::maxIntegral) ? i : -1;
}

void PreferencesModel::loadFromVC(const OrlixViewController& vc)
{
    values_ = vc.currentPreferences();
    shallDeleteAllFuncs_ = false;
    shallResetPos_ = false;
}

bool PreferencesModel::isOn(PrefSwitch s) const
{
    const PreferenceValues& v = values_;
    switch (s) {
    case PrefSwitch::saveFuncs: return v.saveFuncs;
    case PrefSwitch::showPrompt: return v.showPrompt;
    case PrefSwitch::derAreDashed: return v.derAreDashed;
    case PrefSwitch::showTangent: return v.showTangent;
    case PrefSwitch::showOsculatingCircle: return v.showOsculatingCircle;
    case PrefSwitch::resetAllOnLaunch: return v.resetAllOnLaunch;
    case PrefSwitch::resetPositionOnLaunch: return v.resetPositionOnLaunch;
    case PrefSwitch::infoPanelLeft: return v.infoPanelLeft;
    }
    return false;
}

void PreferencesModel::setOn(PrefSwitch s, bool on)
{
    PreferenceValues& v = values_;
    switch (s) {
    case PrefSwitch::saveFuncs: v.saveFuncs = on; break;
    case PrefSwitch::showPrompt: v.showPrompt = on; break;
    case PrefSwitch::derAreDashed: v.derAreDashed = on; break;
    case PrefSwitch::showTangent: v.showTangent = on; break;
    case PrefSwitch::showOsculatingCircle: v.showOsculatingCircle = on; break;
    case PrefSwitch::resetAllOnLaunch: v.resetAllOnLaunch = on; break;
    case PrefSwitch::resetPositionOnLaunch: v.resetPositionOnLaunch = on; break;
    case PrefSwitch::infoPanelLeft: v.infoPanelLeft = on; break;
    }
}

int PreferencesModel::choice(PrefChoice c) const
{
    const PreferenceValues& v = values_;
    switch (c) {
    case PrefChoice::maxIntegral: return segmentForMaxIntegral(v.maxIntegral);
    case PrefChoice::showHideUI: {
        const int g = static_cast<int>(v.showHideUI);
        return g < segmentCount(c) ? g : -1;
    }
    case PrefChoice::appearance: return static_cast<int>(v.appearance);
    case PrefChoice::polarRange: return v.polarFromZero ? 1 : 0;
    case PrefChoice::parametricRange: return v.parametricFromZero ? 1 : 0;
    }
    return -1;
}

void PreferencesModel::setChoice(PrefChoice c, int segment)
{
    if (segment < 0 || segment >= segmentCount(c))
        return;
    PreferenceValues& v = values_;
    switch (c) {
    case PrefChoice::maxIntegral: v.maxIntegral = maxIntegralForSegment(segment); break;
    case PrefChoice::showHideUI: v.showHideUI = static_cast<BarsGesture>(segment); break;
    case PrefChoice::appearance: v.appearance = static_cast<AppearanceChoice>(segment); break;
    case PrefChoice::polarRange: v.polarFromZero = segment == 1; break;
    case PrefChoice::parametricRange: v.parametricFromZero = segment == 1; break;
    }
}

void PreferencesModel::resetSettings()
{
    values_.saveFuncs = true;
    values_.showPrompt = true;
    values_.derAreDashed = true;
    values_.showTangent = true;
    values_.showOsculatingCircle = false;
    values_.maxIntegral = maxIntegralForSegment(1);
}

void PreferencesModel::donePressed(OrlixViewController& vc) const
{
    vc.applyPreferences(values_);
    vc.dismissSettings(shallDeleteAllFuncs_, shallResetPos_);
}

} // namespace orlix
