// The one window of Orlix: the plot under an input bar at the top (the
// formula of the current kind) and a button bar at the bottom (add, delete,
// the four searches, move or trace).
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "field_check.h"
#include "func_selector_widget.h"
#include "keyboard_widget.h"
#include "launch.h"
#include "panel_frame.h"
#include "parameter_strip_widget.h"
#include "plot_widget.h"
#include "text_fields.h"
#include "view_controller.h"

class QAction;
class QFileDialog;
class QGraphicsOpacityEffect;
class QParallelAnimationGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QToolButton;

namespace orlix {

class functionSettings;
class helpView;
class preferencesView;
class valueTableView;

// The panels the window can open over itself.
enum class Panel { none, functionSettings, preferences, help, table };

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    // The default size, in points: a phone held upright.
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 480;
    static constexpr int kTopBarHeight = 64;
    static constexpr int kBottomBarHeight = 45;
    // The strip of functions sits this far under the top bar.
    static constexpr int kSelectorGap = 4;
    // Hiding or showing the bars slides them for this long.
    static constexpr int kInterfaceAnimationMs = 200;

    // Opens the store in storeDirectory (the platform's application data
    // directory when empty) and restores the stored state. info: the
    // information panel over the plot, or nullptr. A read-only window
    // shows the stored state and never writes the store.
    explicit MainWindow(const QString& storeDirectory = {}, InfoPanel* info = nullptr, QWidget* parent = nullptr,
                        Store::Access access = Store::Access::ReadWrite);
    ~MainWindow() override;

    ViewController& controller() { return *controller_; }
    Session& session() { return session_; }
    PlotWidget& plot() { return *plot_; }
    QLineEdit& formulaField() { return *field_; }
    QLabel& kindLabel() { return *kindLabel_; }
    // Kinds of two formulas: the second field; kinds with a range of their
    // own: the two range fields.
    QLineEdit& secondFormulaField() { return *secondField_; }
    QLineEdit& rangeMinField() { return *rangeMinField_; }
    QLineEdit& rangeMaxField() { return *rangeMaxField_; }
    // The plot's context menu (a right click on the plot).
    QMenu& plotMenu() { return *plotMenu_; }
    // The formula field's check message; empty when the text is fine.
    QLabel& fieldMessage() { return *fieldMessage_; }
    QToolButton& addButton() { return *addButton_; }
    QToolButton& trashButton() { return *trashButton_; }
    QToolButton& rootsButton() { return *rootsButton_; }
    QToolButton& extrsButton() { return *extrsButton_; }
    QToolButton& inflsButton() { return *inflsButton_; }
    QToolButton& intersButton() { return *intersButton_; }
    QToolButton& moveOrTraceButton() { return *moveButton_; }
    QToolButton& funcSettingsButton() { return *funcSettingsButton_; }
    QToolButton& preferencesButton() { return *prefsButton_; }
    // The formula keyboard, shown at the bottom while a field is edited
    // and it is wanted; the button in the input bar that wants it or not.
    KeyboardWidget& keyboard() { return *keyboard_; }
    QToolButton& keyboardButton() { return *keyboardButton_; }
    // Whether fields are edited on the formula keyboard. At first: when
    // the machine has a touch screen.
    bool keyboardWanted() const { return keyboardWanted_; }
    void setKeyboardWanted(bool on);
    // Starts editing field (one of the input bar's or the information
    // panel's) as a tap on it does.
    void editField(QLineEdit& field);
    QAction& derivativeAction() { return *derivativeAction_; }
    // The add menu's entry of a kind ("New y(x)"); nullptr for a kind it
    // does not offer.
    QAction* newKindAction(FunctionKind kind);
    // The strip of functions under the top bar.
    FuncSelectorWidget& functionSelector() { return *selector_; }
    QWidget& topBar() { return *topBar_; }
    QWidget& bottomBar() { return *bottomBar_; }
    // Whether the bars are sliding in or out.
    bool interfaceAnimating() const;
    // The alert or question shown last, while it is open.
    QMessageBox* openMessage() const { return message_; }

    // The check a formula passes before it is committed; replaceable.
    // Throws orlix::Error with the message shown next to the field.
    std::function<CheckedFormula(std::string_view text, const FunctionKindInfo& kind)> checkFormula = checkedFormula;

    // Commits the formula field (what the return key does).
    void commitFormula();
    // Ends editing without committing: the field shows the current
    // function's formula again and gives up the keyboard (Escape).
    void endFormulaEditing();
    // Leaves the fields (a click elsewhere): text that differs from what is
    // applied stays in them, marked as not applied, until Enter or Escape.
    void leaveFormulaEditing();
    bool editPending() const { return editPending_; }
    // Saves, as closing does, and closes the window.
    void quit();
    // Opens the save dialog for a picture of the plot (PNG 1×, 2×, 3× or
    // SVG); a failure to write it shows the alert.
    QFileDialog* sharePicture();

    // ---- panels ----
    // The current function's settings; false without a current function.
    bool presentFunctionSettings();
    void presentSettings();
    void presentHelp();
    // Opens panel p (none closes every panel); false when it cannot open.
    bool present(Panel p);
    // The panel on top, or none.
    Panel openPanel() const;
    // Closes the panel on top without applying it (Escape).
    void cancelPanel();
    functionSettings& funcSettingsPanel() { return *fsettings_; }
    preferencesView& preferencesPanel() { return *prefs_; }
    helpView& helpPanel() { return *help_; }
    // The current function's table of values (Ctrl+T); present(Panel::table)
    // opens it, false for no function or one without a table.
    valueTableView& tablePanel() { return *table_; }
    // Zoom to fit (Ctrl+F): the view fits the current curve; also in the
    // plot's menu.
    QAction& zoomToFitAction() { return *zoomToFitAction_; }
    QAction& tableAction() { return *tableAction_; }
    // The sliders of the parameters the formulas read, above the bottom bar.
    ParameterStripWidget& parameterStrip() { return *parameterStrip_; }
    // The strip offering to bring back functions deleted all at once.
    QWidget& undoBar() { return *undoBar_; }
    QToolButton& undoButton() { return *undoButton_; }
    QToolButton& redoButton() { return *redoButton_; }

    // Brings the bars, buttons and the strip of functions up to date with
    // the controller.
    void refresh();

  protected:
    void resizeEvent(QResizeEvent* e) override;
    // A press or touch anywhere in the window but the formula field ends the
    // field's editing; Tab outside the field toggles the bars.
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    void build();
    // Gives the window, the plane and the keyboard the stored appearance.
    void updateAppearance();
    std::optional<AppearanceChoice> appliedAppearance_;
    void layoutBars();
    // Where the bars rest in interface state s: their top edges.
    int topBarY(BarsState s) const;
    int bottomBarY(BarsState s) const;
    // Where the strip of functions rests in interface state s.
    QPoint selectorPos(BarsState s) const;
    // Slides and fades the bars to the controller's interface state; the
    // plot gets its new drawable band when they arrive.
    void animateInterface();
    void interfaceSettled();
    RectF goodRectForPlotter() const;
    void showAlert(const QString& title, const QString& text);
    // The message of a refused text: beside the field, and in the
    // keyboard's error bar while the keyboard is up. Empty clears both.
    void showFieldMessage(const QString& text);
    // Shows the keyboard for the field being edited, or hides it.
    void updateKeyboard();
    void closeKeyboardOnCommit();
    // Selects the character of field at which the engine found the fault in
    // checked (the text the check read); nothing for no place.
    void markError(QLineEdit& field, const std::string& checked, std::optional<std::size_t> at);
    void layOutKeyboard();
    void confirmDelete();

    Session session_;
    PlotWidget* plot_ = nullptr;
    QMenu* plotMenu_ = nullptr;
    std::unique_ptr<ViewController> controller_;
    QWidget* topBar_ = nullptr;
    QWidget* bottomBar_ = nullptr;
    QGraphicsOpacityEffect* topFade_ = nullptr;
    QGraphicsOpacityEffect* bottomFade_ = nullptr;
    FuncSelectorWidget* selector_ = nullptr;
    QGraphicsOpacityEffect* selectorFade_ = nullptr;
    QParallelAnimationGroup* interfaceAnimation_ = nullptr;
    QLabel* kindLabel_ = nullptr;
    myTextField* field_ = nullptr;
    QLabel* secondLabel_ = nullptr;
    myTextField* secondField_ = nullptr;
    QLabel* rangeMinLabel_ = nullptr;
    myTextField* rangeMinField_ = nullptr;
    QLabel* rangeMaxLabel_ = nullptr;
    myTextField* rangeMaxField_ = nullptr;
    KeyboardWidget* keyboard_ = nullptr;
    QToolButton* keyboardButton_ = nullptr;
    bool keyboardWanted_ = false;
    bool editPending_ = false;
    void setEditPending(bool on);
    QMetaObject::Connection typingHidesError_;
    QMetaObject::Connection focusFollower_;
    // Places the input bar's labels and fields for the kind being typed.
    void layOutInputBar();
    // Whether w is one of the input bar's fields (or inside one).
    bool isInputField(const QWidget* w) const;
    QLabel* fieldMessage_ = nullptr;
    QToolButton* addButton_ = nullptr;
    QToolButton* trashButton_ = nullptr;
    QToolButton* undoButton_ = nullptr;
    QToolButton* redoButton_ = nullptr;
    // Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y: the history's undo and redo, or the
    // focused field's own.
    void buildHistoryKeys();
    void historyKey(bool redo);
    // The undo and redo buttons and the strip.
    void refreshHistory();
    QToolButton* rootsButton_ = nullptr;
    QToolButton* extrsButton_ = nullptr;
    QToolButton* inflsButton_ = nullptr;
    QToolButton* intersButton_ = nullptr;
    QToolButton* moveButton_ = nullptr;
    QAction* derivativeAction_ = nullptr;
    std::vector<std::pair<FunctionKind, QAction*>> newKindActions_;
    QPointer<QMessageBox> message_; // clears itself when the box goes
    class infoView* panel_ = nullptr;
    bool terminated_ = false;
    QToolButton* funcSettingsButton_ = nullptr;
    QToolButton* prefsButton_ = nullptr;
    functionSettings* fsettings_ = nullptr;
    preferencesView* prefs_ = nullptr;
    helpView* help_ = nullptr;
    valueTableView* table_ = nullptr;
    // Every panel, the one that lies on top of the others first.
    std::vector<std::pair<Panel, WindowPanel*>> panels_;
    QAction* tableAction_ = nullptr;
    QAction* zoomToFitAction_ = nullptr;
    QAction* escapeAction_ = nullptr;
    QWidget* undoBar_ = nullptr;
    QLabel* undoLabel_ = nullptr;
    // The user closed the undo strip (it comes back with the next deletion).
    bool undoBarClosed_ = false;
    void buildPanels();
    ParameterStripWidget* parameterStrip_ = nullptr;
    void buildParameterStrip();
    // Above the keyboard, or the bottom bar; hidden with the bars, under a
    // panel, or with no parameter in use.
    void layOutParameterStrip();
    void layOutUndoBar();
    // A panel opened or closed.
    void panelsChanged();
};

// What `--show NAME` of a screenshot opens before the picture is taken:
// a name and what it does to the window (false when it cannot, with the
// reason in problem). A new view to show is one more entry of showOptions().
struct ShowOption {
    const char* name;
    bool (*prepare)(MainWindow& w, QString& problem);
};
std::span<const ShowOption> showOptions();
// The entry named name; nullptr for a name it does not know.
const ShowOption* parseShow(const QString& name);

// What `orlix --screenshot FILE [--size W,H] [--show NAME]` does: opens
// the window with the stored state (store in storeDirectory, the default
// one when empty), prepares it as show says (nullptr: as it opens),
// renders it at size points into file (PNG) and answers whether the file
// was written. The store is only read. problem, when given, says why
// nothing was written.
bool renderScreenshot(const QString& file, QSize size, const QString& storeDirectory = {},
                      const ShowOption* show = nullptr, QString* problem = nullptr);

// "W,H" → a size of at least 1 × 1 point each way; nullopt when unreadable.
std::optional<QSize> parseSize(const QString& text);

} // namespace orlix
