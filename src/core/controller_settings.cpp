#include "controller.h"
#include "controller_internal.h"

#include "orlix/function_settings.h"
#include "orlix/math_engine.h"
#include "orlix/zoom_to_fit.h"

namespace orlix {

// ---- searches and modes ----------------------------------------------------------------

void OrlixViewController::searchesChanged()
{
    ChangeBatch batch(*this);
    plotter_.findMarks();
    plotter_.backgroundChanged();
    if (plotter_.onNeedsDisplay)
        plotter_.onNeedsDisplay();
    saveAll();
    changed();
}

void OrlixViewController::setSRoots(bool on)
{
    Preferences& p = session_.preferences();
    p.sRoots = on;
    if (on)
        p.sInters = false;
    searchesChanged();
}

void OrlixViewController::setSExtrs(bool on)
{
    Preferences& p = session_.preferences();
    p.sExtrs = on;
    if (on)
        p.sInters = false;
    searchesChanged();
}

void OrlixViewController::setSInfls(bool on)
{
    Preferences& p = session_.preferences();
    p.sInfls = on;
    if (on)
        p.sInters = false;
    searchesChanged();
}

void OrlixViewController::setSInters(bool on)
{
    Preferences& p = session_.preferences();
    p.sInters = on;
    if (on)
        p.sRoots = p.sExtrs = p.sInfls = false;
    searchesChanged();
}

void OrlixViewController::setPoints(MarkSearch search)
{
    const Preferences& p = session_.preferences();
    switch (search) {
    case MarkSearch::roots: setSRoots(!p.sRoots); break;
    case MarkSearch::extrema: setSExtrs(!p.sExtrs); break;
    case MarkSearch::inflections: setSInfls(!p.sInfls); break;
    }
}

void OrlixViewController::intersectOrNot() { setSInters(!session_.preferences().sInters); }

void OrlixViewController::setShowPrompt(bool on)
{
    session_.preferences().showPrompt = on;
    saveAll();
    changed();
}

void OrlixViewController::setSaveFuncs(bool on)
{
    session_.preferences().saveFuncs = on;
    saveAll();
    changed();
}

void OrlixViewController::setMoveOrTrace()
{
    plotter_.setFState(plotter_.tracing() ? PlotMode::Move : PlotMode::Trace);
    changed();
}

SearchSettings OrlixViewController::searchSettings() const
{
    const Preferences& p = session_.preferences();
    return SearchSettings{p.sRoots, p.sExtrs, p.sInfls, p.sInters};
}

void OrlixViewController::showHideInterface()
{
    barsState_ = barsState_ == barsShown ? topBarHidden : (barsState_ == topBarHidden ? barsHidden : barsShown);
    if (onInterfaceChanged)
        onInterfaceChanged();
}

// ---- the settings panels ----------------------------------------------------------------

bool OrlixViewController::zoomToFit()
{
    // The view moves and redraws: the marks are searched there, once.
    if (!orlix::zoomToFit(plotter_))
        return false;
    saveAll();
    return true;
}

void OrlixViewController::plotChanged()
{
    plotter_.redraw();
    plotter_.backgroundChanged();
}

bool OrlixViewController::applyFunctionSettings(const FunctionSettings& settings)
{
    Function* f = curFunc();
    if (!f)
        return false;
    ChangeBatch batch(*this);
    RegisterSnapshot before = snapshot();
    settings.apply(*f); // a refused density throws before anything changes
    recordStep(FunctionChange::looks, std::move(before));
    plotChanged();
    saveAll();
    changed();
    return true;
}

AppearanceChoice OrlixViewController::appearanceChoice() const
{
    switch (session_.store().integerForKey(StoreSession::appearanceKey)) {
    case 1: return AppearanceChoice::light;
    case 2: return AppearanceChoice::dark;
    default: return AppearanceChoice::system;
    }
}

PreferenceValues OrlixViewController::currentPreferences() const
{
    const Preferences& p = session_.preferences();
    const StoreFile& store = session_.store();
    PreferenceValues v;
    v.saveFuncs = p.saveFuncs;
    v.showPrompt = p.showPrompt;
    v.derAreDashed = model_.derAreDashed();
    v.showTangent = plotter_.showTangent();
    v.showOsculatingCircle = plotter_.showOsculatingCircle();
    v.maxIntegral = model_.maxIntegral();
    v.showHideUI = plotter_.showHideUI();
    v.resetAllOnLaunch = store.boolForKey(StoreSession::resetAllKey);
    v.resetPositionOnLaunch = store.boolForKey(StoreSession::resetPositionKey);
    v.polarFromZero = model_.rangeDefaults().polarFromZero;
    v.parametricFromZero = model_.rangeDefaults().parametricFromZero;
    v.infoPanelLeft = plotter_.isLeftAligned();
    v.appearance = appearanceChoice();
    return v;
}

void OrlixViewController::applyPreferences(const PreferenceValues& v)
{
    ChangeBatch batch(*this);
    Preferences& p = session_.preferences();
    p.saveFuncs = v.saveFuncs;
    p.showPrompt = v.showPrompt;
    model_.setDerAreDashed(v.derAreDashed);
    model_.setMaxIntegral(v.maxIntegral);
    plotter_.setShowTangent(v.showTangent);
    plotter_.setShowOsculatingCircle(v.showOsculatingCircle);
    plotter_.setShowHideUI(v.showHideUI);
    // The keys a launch reads; the range defaults and the panel's side
    // also take effect now.
    StoreFile& store = session_.store();
    store.set(StoreSession::resetAllKey, v.resetAllOnLaunch);
    store.set(StoreSession::resetPositionKey, v.resetPositionOnLaunch);
    store.set(StoreSession::defRfKey, v.polarFromZero ? 1 : 0);
    store.set(StoreSession::defTKey, v.parametricFromZero ? 1 : 0);
    store.set(StoreSession::infoviewAlignmentKey, v.infoPanelLeft ? 1 : 0);
    store.set(StoreSession::appearanceKey, static_cast<int>(v.appearance));
    model_.setRangeDefaults(RangeDefaults{v.polarFromZero, v.parametricFromZero});
    plotter_.setIsLeftAligned(v.infoPanelLeft);
    // A new curve being typed starts from the new default range.
    if (!curFunc())
        takeDefaultRange();
    plotter_.backgroundChanged();
    if (plotter_.onNeedsDisplay)
        plotter_.onNeedsDisplay();
    saveAll();
    changed();
}

void OrlixViewController::dismissSettings(bool deleteAllFuncs, bool resetPosition)
{
    ChangeBatch batch(*this);
    if (deleteAllFuncs && !model_.functionRegister().empty()) {
        RegisterSnapshot before = snapshot();
        model_.deleteAll();
        recordStep(FunctionChange::removeAll, std::move(before));
        plotter_.setCurFunc(nullptr);
        kind_ = &defaultKind();
        function1_.clear();
        function2_.clear();
        checked_.reset();
    }
    // One redraw, and one search of the marks, whichever was asked.
    if (resetPosition)
        plotter_.centerize();
    else
        plotChanged();
    saveAll();
    changed();
}

} // namespace orlix
