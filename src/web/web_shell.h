// The browser shell on the core: the page's plot canvas driven by the
// core's controller and plot view, pointer and wheel input as fingers, the
// store in localStorage, and the formula field typed with Orlix's own
// keyboard logic. The page (shell.js) owns the elements; it calls these
// methods through the module's bindings and reads what to show as JSON.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "controller.h"
#include "info_model.h"
#include "keyboard.h"
#include "orlix/function_settings.h"
#include "orlix/mouse_fingers.h"
#include "orlix/plot_plane.h"
#include "orlix/tap_counter.h"
#include "orlix/value_table.h"
#include "preferences_model.h"
#include "store_session.h"

namespace orlix {

class WebShell : private KeyboardTarget {
  public:
    // Opens the store under storageKey and restores what it holds.
    explicit WebShell(std::string storageKey);
    ~WebShell() override;
    WebShell(const WebShell&) = delete;
    WebShell& operator=(const WebShell&) = delete;

    // ---- the plot ----
    // The plot canvas is width × height CSS pixels at ratio device pixels each.
    void resize(double width, double height, double ratio);
    // Draws a frame on the page's canvas (surface 0). Answers whether the
    // curves beyond the view are still to be drawn (completeLayer, soon).
    bool drawFrame();
    void completeLayer();
    // Every curve sampled afresh at the view as it is, as after a zoom, and
    // the current curve's marks searched: the redraw the browser benchmark
    // times (bench/web/page_bench.cjs).
    void resampleAll();
    // A pointer (a finger, the mouse or a pen) went down (phase 0), moved
    // (1), went up (2) or was cancelled (3), at (x, y) in the canvas's CSS
    // pixels; time in milliseconds. Fingers already down are handed along
    // as stationary, as a touch screen reports them.
    void pointer(int id, double x, double y, int phase, double timeMs);
    // The mouse: a button (0 the primary, 2 the secondary, as the page
    // numbers them) went down (phase 0), the pointer moved (1), the button
    // went up (2) or the gesture was cancelled (3); shift held. The primary
    // button is a finger; the secondary one (or Shift in trace mode) drags
    // a range, and its click opens the menu.
    void mouse(int phase, int button, bool shift, double x, double y, double timeMs);
    // The wheel: deltaY in pixels (positive away from the screen's top)
    // zooms about (x, y).
    void wheel(double x, double y, double deltaY);

    // ---- the input bar and the bottom bar ----
    // The input bar's fields: the formula, the second formula (x(t), y(t))
    // and the two ends of a range of the curve's own (r(θ), x(t), y(t)).
    enum Field { formulaField = 0, secondField = 1, rangeMinField = 2, rangeMaxField = 3, fieldCount = 4 };
    // A field's text and selection (code points) as the page has them.
    void setField(int field, const std::string& text, int selectionStart, int selectionLength);
    // The field Orlix's keyboard types into (the one with the focus).
    void focusField(int field);
    // Enter: checks and commits the field's formula. Answers whether the
    // functions changed.
    bool commit();
    // The keyboard laid out for a page of that size: its own width, and
    // the long landscape rows where the page is wider than tall.
    void keyboardSize(double width, double height);
    // A finger on the keyboard, in its own coordinates: phase as pointer().
    void keyboardTouch(int id, double x, double y, int phase, double timeMs);
    void keyboardTick(double timeMs);
    // The bottom bar's buttons, by name ("roots", "extrema", "inflections",
    // "intersections", "trace", "undo", "redo", "delete", "fit"). Answers
    // whether the name is known.
    bool action(const std::string& name);
    // The system's colour scheme is dark (prefers-color-scheme): with the
    // appearance "as the system", the page and the plane follow it.
    void setSystemDark(bool dark);
    // "Share picture": the plot as it is shown, as a PNG of scale pixels a
    // point ("png") or as an SVG drawing ("svg"), handed to the page to
    // download. A picture that cannot be made is said in the alert.
    // Answers whether one was handed over.
    bool sharePicture(const std::string& format, double scale);
    // The add menu: a new function of this kind (its number in the table
    // of kinds) will be typed, or the current one's derivative is added.
    bool newFunction(int kind);
    bool addDerivative();
    // ---- the table of values of the current function ----
    // Opens it: {headers, start, step} (the fields' texts), or null for a
    // curve without a table.
    std::string openTable();
    // Starts it anew at the fields' texts: "" when taken, else the reason.
    std::string setTableStart(const std::string& start, const std::string& step);
    // Rows from `from` on, at most count, worked out as they are asked
    // for: {rows: [[cell texts]], total}.
    std::string tableRows(int from, int count);
    // The header and the rows worked out so far, tab-separated.
    std::string tableText() const;
    void closeTable() { table_.reset(); }
    // ---- the preferences (the core's PreferencesModel) ----
    // Opens them with the live values: {switches: [{id, group, label,
    // on}], choices: [{id, group, label, segments, selected}], requests}.
    std::string openPreferences();
    // A switch (kind "switch") turned on (value 1) or off, a choice's
    // segment picked ("choice"), "reset" to the usual options, or the
    // requests "deleteAll" (asked first by the page) and "resetPosition",
    // carried out by Done. Answers the state as openPreferences does.
    std::string setPreference(const std::string& kind, int id, int value);
    // Done: every value and both requests go to the controller.
    void preferencesDone();
    // ---- the current function's settings (the core's FunctionSettings) ----
    // Opens them: the state as settingsState answers, or null without a
    // current function.
    std::string openSettings();
    // {color: [r, g, b] 0…1, dash, maxDash, density, gridSize}; the
    // preview of the dash pattern is drawn on the page's surface 1.
    std::string settingsState();
    // Edits: a colour (components 0…1), the next standard colour, the next
    // dash pattern. Answer the state.
    std::string setSettingsColor(double r, double g, double b);
    std::string nextSettingsColor();
    std::string nextSettingsDash();
    // Done with the density as typed: "" when applied (one step of undo),
    // else the reason, and nothing changes.
    std::string settingsDone(const std::string& density);
    // ---- the sliders of the parameters a, b and c (the core's ParameterStrip) ----
    // A finger on p's slider (0 a, 1 b, 2 c), moved to a position (0 at
    // the minimum, 1 at the maximum), lifted: the drag is one step of undo.
    void sliderPress(int p);
    void sliderDrag(double position);
    void sliderRelease();
    // A value typed into a field of p's row (0 the value, 1 the minimum,
    // 2 the maximum, 3 the step): "" when taken, else the reason.
    std::string sliderField(int p, int field, const std::string& text);
    void togglePlay(int p);
    // Moves the playing values on by seconds of play.
    void advancePlay(double seconds);
    // ---- typing into the information panel (0 the start field, 1 the value) ----
    // Editing begins: false when the field takes nothing now.
    bool infoEdit(int field);
    // Enter: "" when the value is taken (the trace point or the range
    // follows it), else the reason, and editing goes on.
    std::string infoConfirm(int field, const std::string& text);
    void infoCancel(int field);
    // Makes the function with this identifier current.
    bool select(const std::string& id);
    // Saves now (the page is being hidden or closed).
    bool save();

    // ---- what the page shows ----
    // {field, selection, label, placeholder, message, alert, functions,
    //  current, toggles, keyboard, …}: see web_shell.cpp.
    std::string uiState();
    // The core's state for tests: the view, the current curve's marks, the
    // register and the stored text.
    std::string testState() const;
    // Device point of a user point, and back, for tests that touch a spot.
    std::string userToDevice(double x, double y) const;

  private:
    // ---- KeyboardTarget ----
    TextEdit textEdit() const override { return edits_[active_]; }
    void replace(const TextChange& change) override;
    void confirm() override { commit(); }
    std::string variables() const override;
    void useSystemKeyboard(bool on) override
    {
        systemKeyboard_ = on;
        requestFrame();
    }

    void requestFrame();
    // The appearance the stored choice and the system's scheme give, on
    // the plane from the next frame.
    void updateAppearance();
    // The field shows the controller's formula (after a commit, undo, a
    // new current function).
    void fieldFromController();
    void gestureEnded() { controller_->viewChanged(); }

    std::unique_ptr<StoreSession> session_;
    plotView view_;
    std::unique_ptr<OrlixViewController> controller_;
    myKeyboard keyboard_;
    // The information panel: shown while tracing, not yet open to typing.
    InfoModel info_;
    double ratio_ = 1;
    std::array<TextEdit, fieldCount> edits_;
    int active_ = formulaField;
    // A field's text changed in the module (a key, a new current
    // function): the page takes them all.
    bool fieldChanged_ = false;
    // Which field a refusal is about.
    int errorField_ = formulaField;
    // The field takes the system's keyboard ("ABC"), not these keys.
    bool systemKeyboard_ = false;
    // A formula was committed: the page closes the keyboard, as the desktop
    // window does, so that the curve has the whole band.
    bool editingDone_ = false;
    std::string message_;
    std::optional<std::size_t> errorAt_;
    std::string alertTitle_, alertText_;
    // The fingers down, where they are last seen.
    std::map<int, PointF> fingers_;
    TapCounter taps_;
    MouseFingers mouse_{view_};
    std::unique_ptr<ValueTable> table_;
    PreferencesModel preferences_;
    FunctionSettings settings_;
    std::string preferencesState() const;
    // A secondary click asked for the menu: the page opens it.
    bool menuAsked_ = false;
    bool framePending_ = false;
    bool systemDark_ = false;
    Appearance appearance_ = Appearance::light;
    // The appearance whose colours the page was last given.
    std::optional<Appearance> colorsSent_;
};

} // namespace orlix
