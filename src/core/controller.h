// The main screen's logic, without widgets: the formula of the input bar
// and the kind it creates, the register of functions and the current one,
// the searches, move and trace, deleting, and saving after every change.
// The window shows what the controller holds and forwards what the user
// does; the controller reaches the window only through the hooks below.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orlix/curve_model.h"
#include "orlix/function.h"
#include "orlix/function_history.h"
#include "orlix/function_kind.h"
#include "orlix/parameter_strip.h"
#include "orlix/plot_plane.h"
#include "preferences_model.h"
#include "store_session.h"

namespace orlix {

class FunctionSettings;

// The searches of the current curve that the bottom bar switches.
enum class MarkSearch { roots, extrema, inflections };

// Which bars show; Tab or the gesture steps through them in this order.
enum BarsState : int { barsShown = 0, topBarHidden = 1, barsHidden = 2 };

class OrlixViewController : public PlotController, public FunctionShell, private ParameterHost {
  public:
    OrlixViewController(StoreSession& session, plotView& plotter);
    ~OrlixViewController() override;
    OrlixViewController(const OrlixViewController&) = delete;
    OrlixViewController& operator=(const OrlixViewController&) = delete;

    // The launch: hooks the plot view and the function model up to this
    // screen, restores the stored state and picks the current function.
    // The plot view must have its frame.
    void load();
    // Writes a picture of the plot as it is shown with write, which answers
    // the message of a failure (none on success); a failure is shown in the
    // "Error!" alert. Answers whether the picture was written.
    using PictureWriter = std::function<std::optional<std::string>(plotView& view)>;
    bool sharePicture(const PictureWriter& write);

    // ---- hooks to the window ----
    // An alert with one button "Ok".
    std::function<void(const std::string& title, const std::string& message)> onAlert;
    // Asks "Delete function?"; the answer arrives through removeCurFunc.
    // Without it, deleting asks nothing.
    std::function<void()> onConfirmDelete;
    // Something the window shows has changed (texts, toggles, buttons).
    std::function<void()> onChanged;
    // The bars' visibility changed (interfaceState()).
    std::function<void()> onInterfaceChanged;

    // ---- the input bar ----
    // The kind a new formula creates: the current function's, or the one chosen.
    const FunctionKindInfo& kind() const { return *kind_; }
    // The label in front of the field ("y(x)=").
    std::string kindLabel() const { return std::string(kind_->inputLabel); }
    // The example the empty field shows, in the kind's own variables.
    std::string placeholder() const { return std::string(kind_->placeholder); }
    const std::string& formulaText() const { return function1_; }
    void setFormulaText(std::string text);
    // Sets the formula text to a formula the field check accepted: the
    // commit makes the function of it without reading the text again.
    void setCheckedFormula(CheckedFormula formula);
    // Commits the formula text: creates the function of the current kind,
    // replaces the current function (keeping its place, colour, dash and
    // density) or registers a new one with a fresh colour, and makes it
    // current. Failures are shown in the "Error!" alert and change nothing.
    // Returns whether the register changed.
    bool commitFormula();
    // Kinds of two formulas (x(t), y(t)): the second field's text, taken
    // with the first one by commitFormula.
    const std::string& secondFormulaText() const { return function2_; }
    void setSecondFormulaText(std::string text) { function2_ = std::move(text); }
    // Kinds with a range of their own: the texts of the two range fields.
    const std::string& rangeMinText() const { return rangeMinText_; }
    const std::string& rangeMaxText() const { return rangeMaxText_; }
    // Takes a range typed into the range fields (constant expressions such
    // as "2π" or "-pi/2"). Throws Error with the fields' message when a
    // bound is not a number, infinite or on the wrong side of the other,
    // and then changes nothing. With a current function of such a kind
    // whose formulas are unchanged, the range applies to it at once.
    void setRangeTexts(std::string minText, std::string maxText);
    // A new function of kind k will be typed: no current function.
    void chooseKind(FunctionKind k);
    // Whether "Add derivative" is offered.
    bool canAddDerivative() const;
    // Registers the current function's derivative and makes it current.
    void addDerivative();

    // ---- the function model ----
    // The register, the window and the preferences the curves read; the
    // plot view draws it and this controller is its shell.
    CurveModel& model() { return model_; }
    const CurveModel& model() const { return model_; }
    // The part of the plane the marks are shown in changed: they are
    // searched again.
    void findMarks() { plotter_.findMarks(); }

    // ---- the current function ----
    Function* curFunc() const { return plotter_.curFunc().get(); }
    // Makes f current through the plot view.
    void makeCurrent(Function::Ptr f);
    // Deleting: asks first when showPrompt is on and a hook is set.
    void removeCFunction();
    // Deletes at once; the next function becomes current.
    void removeCurFunc();

    // ---- searches, modes ----
    const Preferences& preferences() const { return session_.preferences(); }
    void setSRoots(bool on);
    void setSExtrs(bool on);
    void setSInfls(bool on);
    void setSInters(bool on);
    // Flips one of the searches on or off.
    void setPoints(MarkSearch search);
    void intersectOrNot();
    void setShowPrompt(bool on);
    void setSaveFuncs(bool on);
    // Move mode ↔ trace mode.
    void setMoveOrTrace();
    bool tracing() const { return plotter_.tracing(); }

    // ---- the settings panels ----
    // Gives the current function the panel's colour, dash and density,
    // redraws and saves. Throws orlix::Error, changing nothing, for a
    // density the panel refuses. False without a current function.
    bool applyFunctionSettings(const FunctionSettings& settings);
    // The options of the preferences screen as they are now.
    PreferenceValues currentPreferences() const;
    // Light, dark or as the system, as stored; an unknown number follows
    // the system.
    AppearanceChoice appearanceChoice() const;
    // Takes the screen's options: the switches and the view's options at
    // once, the range defaults for the next new curve, the launch keys for
    // the next launch; then saves.
    void applyPreferences(const PreferenceValues& v);
    // The preferences screen was closed with its two requests: delete all
    // functions (a step of the history, so undo brings them back), and put
    // the view back at the origin.
    void dismissSettings(bool deleteAllFuncs, bool resetPosition);

    // ---- undo and redo ----
    // Every committed change to the functions (adding, replacing, deleting
    // one or all, a derivative, colour/dash/density, a range) is a step;
    // a change that failed or changed nothing is none. Undo and redo put
    // the functions and the current one back as they were, redraw, find
    // the marks and save.
    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    // What the next undo (redo) takes back (again); none when there is none.
    std::optional<FunctionChange> changeToUndo() const;
    std::optional<FunctionChange> changeToRedo() const;
    // When the next undo takes back a delete-all: the functions it brings
    // back; 0 otherwise.
    std::size_t deletedCount() const;
    // False when there was nothing to undo (redo).
    bool undo();
    bool redo();
    // While one lives, the changes made are one step: a range and a
    // formula committed with one Enter are undone together.
    class StepGroup {
      public:
        explicit StepGroup(OrlixViewController& c);
        ~StepGroup();
        StepGroup(const StepGroup&) = delete;
        StepGroup& operator=(const StepGroup&) = delete;

      private:
        OrlixViewController& c_;
    };

    // ---- the parameters a, b and c ----
    // The sliders of the parameters the functions read. A finished drag,
    // typed value or play is one step of the history and is saved; every
    // move draws the curves again and searches the current one's marks.
    ParameterStrip& parameterStrip() { return parameterStrip_; }
    const ParameterStrip& parameterStrip() const { return parameterStrip_; }

    // Centres and scales the view on the current curve's interesting part,
    // finds its marks again and saves the view. False without a current curve.
    bool zoomToFit();

    BarsState interfaceState() const { return barsState_; }

    // ---- persistence ----
    // Writes the functions, the view and the preferences.
    bool saveAll();
    // The application quits.
    bool terminate();
    // Called after the user changed the view (a pan or a zoom ended).
    void viewChanged() { saveAll(); }

    // ---- PlotController ----
    void showHideInterface() override;
    void setCurFunc(Function* f) override;
    // A range of trace mode set, moved or taken away is a step of its own.
    void traceRangeChanged(std::optional<TraceRange> before) override;

    // ---- FunctionShell ----
    SearchSettings searchSettings() const override;
    Function* currentFunction() const override { return curFunc(); }

  private:
    // ---- ParameterHost ----
    CurveModel& parameterModel() override { return model_; }
    void parameterChangeBegins() override;
    void parameterMoved() override;
    void parameterChangeEnds() override;
    ParameterStrip parameterStrip_{*this};
    std::optional<RegisterSnapshot> parameterBefore_;

    // The view's settings as the session reads and writes them.
    class PlotOwner;
    // The view's store: only the position reset request.
    class ViewStore;

    std::string newID();
    // The colours of the registered functions, which a new one avoids.
    std::vector<Color> registeredColors() const;
    std::string idOf(const Function* f) const;
    void searchesChanged();
    // Tells the window that what it shows changed; inside a ChangeBatch,
    // once when the outermost batch ends.
    void changed();
    class ChangeBatch;
    template <class F> bool guarded(F&& body);

    StoreSession& session_;
    plotView& plotter_;
    CurveModel model_;
    std::unique_ptr<PlotOwner> owner_;
    std::unique_ptr<ViewStore> viewStore_;
    const FunctionKindInfo* kind_ = &defaultKind();
    std::string function1_;
    std::string function2_;
    std::string rangeMinText_, rangeMaxText_;
    double rangeMin_ = 0, rangeMax_ = 0;
    // The range fields show the default range of kind_.
    void takeDefaultRange();
    // Gives f the range of the fields, redraws and searches it again.
    void applyRange(Function& f);
    // The checked formula of function1_, while the text is unchanged.
    std::optional<CheckedFormula> checked_;
    int batchDepth_ = 0;
    // The person was told that the store cannot be written.
    bool saveFailureTold_ = false;
    bool changePending_ = false;
    BarsState barsState_ = barsShown;
    long long lastID_ = 0;
    FunctionHistory history_;
    int stepGroupDepth_ = 0;
    std::optional<RegisterSnapshot> groupBefore_;
    std::optional<FunctionChange> groupChange_; // the group's last change
    // The register before a change, for the history.
    RegisterSnapshot snapshot() const { return RegisterSnapshot::capture(model_, curFunc(), plotter_.traceRange()); }
    // Records the change made since before, when it changed the functions.
    void recordStep(FunctionChange change, RegisterSnapshot before);
    // Puts the functions back as s holds them (nothing for nullptr).
    bool restoreFunctions(const RegisterSnapshot* s);
    // The plane changed under the current function: redraw, find its
    // marks again, rebuild a tracing view's cache.
    void plotChanged();
};

} // namespace orlix
