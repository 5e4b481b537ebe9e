#include "main_window.h"

#include "bar_menu.h"
#include "function_settings_view.h"
#include "help_view.h"
#include "info_view.h"
#include "panel_frame.h"
#include "preferences_view.h"
#include "value_table_view.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDevice>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QParallelAnimationGroup>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "appearance.h"
#include "formula_entry.h"
#include "icons.h"
#include "orlix/error.h"

namespace orlix {

namespace {

// The icon a button shows, kept on the button so that a change of
// appearance can draw it again in the other ink.
constexpr const char* kIconProperty = "orlixIcon";

void setBarIcon(QAbstractButton* b, icons::Icon icon)
{
    b->setProperty(kIconProperty, static_cast<int>(icon));
    b->setIcon(icons::icon(icon, currentAppearance() == Appearance::dark));
}

QToolButton* barButton(QWidget* parent, icons::Icon icon, const QString& tip, bool checkable)
{
    auto* b = new QToolButton(parent);
    setBarIcon(b, icon);
    b->setIconSize(QSize(28, 28));
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

MainWindow::MainWindow(const QString& storeDirectory, InfoPanel* info, QWidget* parent, Store::Access access)
    : QWidget(parent), session_(storeDirectory, access)
{
    setWindowTitle(QStringLiteral("Orlix"));
    build();
    resize(kWidth, kHeight);
    layoutBars();

    plotView& view = plot_->view();
    if (!info) {
        // The information panel lies over the plot, anchored by the view.
        panel_ = new infoView(plot_);
        panel_->setPlotView(&view);
        // A refused value shows in the keyboard's error bar as well.
        panel_->onError = [this](const std::string& message) {
            if (keyboard_->isVisible())
                keyboard_->showErrorMessage(QString::fromStdString(message));
        };
    } else {
        view.setIView(info);
    }
    view.goodRectForPlotter = [this] { return goodRectForPlotter(); };
    controller_ = std::make_unique<ViewController>(session_, view);
    controller_->onAlert = [this](const std::string& title, const std::string& text) {
        showAlert(QString::fromStdString(title), QString::fromStdString(text));
    };
    controller_->onConfirmDelete = [this] { confirmDelete(); };
    controller_->onChanged = [this] { refresh(); };
    controller_->onInterfaceChanged = [this] { animateInterface(); };
    plot_->onViewChanged = [this] { controller_->viewChanged(); };
    plot_->onContextMenu = [this](QPoint globalPos) { plotMenu_->popup(globalPos); };
    // A tap on the strip changes the current function through the plot
    // view; the choice is saved as a change of the view is.
    selector_->onCurrentChanged = [this] { controller_->saveAll(); };
    controller_->load();
    buildParameterStrip();
    buildPanels();
    view.setGoodRect(goodRectForPlotter());
    if (panel_)
        panel_->reanchor();
    refresh();
    // What the launch could not restore as it was stored is said once, in
    // words, when the window is up.
    if (access == Store::Access::ReadWrite) {
        const QString notice = session_.launchNotice();
        if (!notice.isEmpty())
            QTimer::singleShot(0, this, [this, notice] { showAlert(QStringLiteral("Saved functions"), notice); });
    }

    // Desktop keys for what fingers and the system do on a phone.
    auto* toggleBars = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(toggleBars, &QShortcut::activated, this, [this] { controller_->showHideInterface(); });
    auto* quitKey = new QShortcut(QKeySequence::Quit, this);
    connect(quitKey, &QShortcut::activated, this, &MainWindow::quit);
    if (quitKey->key().isEmpty())
        quitKey->setKey(QKeySequence(Qt::CTRL | Qt::Key_Q));
    auto* prefsKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), this);
    connect(prefsKey, &QShortcut::activated, this, &MainWindow::presentSettings);
    auto* shareKey = new QShortcut(QKeySequence::Save, this);
    connect(shareKey, &QShortcut::activated, this, &MainWindow::sharePicture);
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &MainWindow::presentHelp);
    buildHistoryKeys();
    qApp->installEventFilter(this);

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
            if (s == Qt::ApplicationSuspended || s == Qt::ApplicationHidden)
                controller_->saveAll();
        });
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (!terminated_) {
                terminated_ = true;
                controller_->terminate();
            }
        });
    }
}

MainWindow::~MainWindow()
{
    // The widgets' own teardown moves the focus: nothing of this window may
    // answer it then.
    disconnect(focusFollower_);
    disconnect(typingHidesError_);
    keyboard_->onSizeChanged = nullptr;
    // A value field losing the focus would commit into the controller.
    delete parameterStrip_;
    parameterStrip_ = nullptr;
    if (panel_)
        panel_->setPlotView(nullptr); // the view goes before the panel, a child of its widget
    if (!terminated_) {
        terminated_ = true;
        controller_->terminate();
    }
    // The plot view (a child widget) outlives the controller: unhook it.
    controller_.reset();
}

void MainWindow::build()
{
    plot_ = new PlotWidget(this);
    // A click on the plot takes the keyboard from the formula field.
    plot_->setFocusPolicy(Qt::ClickFocus);
    selector_ = new FuncSelectorWidget(plot_->view(), this);
    selectorFade_ = new QGraphicsOpacityEffect(selector_);
    selectorFade_->setOpacity(1);
    selector_->setGraphicsEffect(selectorFade_);

    topBar_ = new QWidget(this);
    topBar_->setObjectName(QStringLiteral("topBar"));
    topBar_->setAttribute(Qt::WA_StyledBackground);
    setThemedStyleSheet(topBar_, QStringLiteral("#topBar { background: {bar}; }"));
    kindLabel_ = new QLabel(topBar_);
    setThemedStyleSheet(kindLabel_, QStringLiteral("color: {accent}; font-size: 15px;"));
    field_ = new myTextField(topBar_);
    field_->setClearButtonEnabled(true);
    fieldMessage_ = new QLabel(topBar_);
    setThemedStyleSheet(fieldMessage_, QStringLiteral("color: {error}; font-size: 12px;"));
    // Two lines under the field: every message fits a phone's width.
    fieldMessage_->setWordWrap(true);
    fieldMessage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(field_, &QLineEdit::returnPressed, this, &MainWindow::commitFormula);
    connect(field_, &QLineEdit::textEdited, this, [this] { showFieldMessage({}); });
    // The second formula and the range, for the kinds that have them.
    const auto addLabel = [this] {
        auto* label = new QLabel(topBar_);
        setThemedStyleSheet(label, QStringLiteral("color: {accent}; font-size: 15px;"));
        label->hide();
        return label;
    };
    const auto addField = [this] {
        auto* field = new myTextField(topBar_);
        field->hide();
        connect(field, &QLineEdit::returnPressed, this, &MainWindow::commitFormula);
        connect(field, &QLineEdit::textEdited, this, [this] { showFieldMessage({}); });
        return field;
    };
    keyboardButton_ = new QToolButton(topBar_);
    setBarIcon(keyboardButton_, icons::Icon::keyboard);
    keyboardButton_->setIconSize(QSize(22, 22));
    keyboardButton_->setToolTip(tr("Formula keyboard"));
    keyboardButton_->setAccessibleName(tr("Formula keyboard"));
    keyboardButton_->setCheckable(true);
    keyboardButton_->setAutoRaise(true);
    keyboardButton_->setFocusPolicy(Qt::NoFocus);
    connect(keyboardButton_, &QToolButton::clicked, this, [this](bool on) {
        setKeyboardWanted(on);
        // Asked for with nothing edited: the formula is.
        if (on && !keyboard_->isVisible() && topBar_->isVisible())
            editField(*field_);
    });
    secondLabel_ = addLabel();
    secondField_ = addField();
    rangeMinLabel_ = addLabel();
    rangeMinField_ = addField();
    rangeMaxLabel_ = addLabel();
    rangeMaxField_ = addField();

    bottomBar_ = new QWidget(this);
    bottomBar_->setObjectName(QStringLiteral("bottomBar"));
    bottomBar_->setAttribute(Qt::WA_StyledBackground);
    setThemedStyleSheet(bottomBar_, QStringLiteral("#bottomBar { background: {bar}; }"));
    auto* row = new QHBoxLayout(bottomBar_);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(0);

    addButton_ = barButton(bottomBar_, icons::Icon::add, tr("Add function"), false);
    auto* menu = new QMenu(addButton_);
    // The kinds keep their places whether the derivative is offered or not:
    // it comes after them.
    for (const FunctionKindInfo& kind : functionKinds())
        newKindActions_.emplace_back(kind.kind, menu->addAction(QString::fromUtf8(kind.menuText)));
    derivativeAction_ = menu->addAction(QStringLiteral("Add derivative"));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Cancel"));
    addButton_->setMenu(menu);
    addButton_->setPopupMode(QToolButton::InstantPopup);
    openMenuAboveButton(addButton_);
    connect(derivativeAction_, &QAction::triggered, this, [this] { controller_->addDerivative(); });
    for (const auto& [kind, action] : newKindActions_) {
        connect(action, &QAction::triggered, this, [this, kind = kind] {
            controller_->chooseKind(kind);
            field_->setFocus();
        });
    }

    trashButton_ = barButton(bottomBar_, icons::Icon::trash, tr("Delete function"), false);
    undoButton_ = barButton(bottomBar_, icons::Icon::undo, tr("Undo (Ctrl+Z)"), false);
    redoButton_ = barButton(bottomBar_, icons::Icon::redo, tr("Redo (Ctrl+Shift+Z)"), false);
    connect(undoButton_, &QToolButton::clicked, this, [this] { controller_->undo(); });
    connect(redoButton_, &QToolButton::clicked, this, [this] { controller_->redo(); });
    rootsButton_ = barButton(bottomBar_, icons::Icon::roots, tr("Roots"), true);
    extrsButton_ = barButton(bottomBar_, icons::Icon::extrs, tr("Extrema"), true);
    inflsButton_ = barButton(bottomBar_, icons::Icon::infls, tr("Inflections"), true);
    intersButton_ = barButton(bottomBar_, icons::Icon::inters, tr("Intersections"), true);
    moveButton_ = barButton(bottomBar_, icons::Icon::move, tr("Move or trace"), false);
    funcSettingsButton_ = barButton(bottomBar_, icons::Icon::funcSettings, tr("Function settings"), false);
    prefsButton_ = barButton(bottomBar_, icons::Icon::preferences,
                             tr("Table of values, zoom to fit, picture, preferences (Ctrl+,), help"), false);
    connect(trashButton_, &QToolButton::clicked, this, [this] { controller_->removeCFunction(); });
    connect(rootsButton_, &QToolButton::clicked, this, [this] { controller_->setPoints(MarkSearch::roots); });
    connect(extrsButton_, &QToolButton::clicked, this, [this] { controller_->setPoints(MarkSearch::extrema); });
    connect(inflsButton_, &QToolButton::clicked, this, [this] { controller_->setPoints(MarkSearch::inflections); });
    connect(intersButton_, &QToolButton::clicked, this, [this] { controller_->intersectOrNot(); });
    connect(moveButton_, &QToolButton::clicked, this, [this] { controller_->setMoveOrTrace(); });
    connect(funcSettingsButton_, &QToolButton::clicked, this, &MainWindow::presentFunctionSettings);
    for (QToolButton* b : {addButton_, trashButton_, undoButton_, redoButton_, funcSettingsButton_, rootsButton_,
                           extrsButton_, inflsButton_, intersButton_, moveButton_, prefsButton_})
        row->addWidget(b, 1);

    topFade_ = new QGraphicsOpacityEffect(topBar_);
    topFade_->setOpacity(1);
    topBar_->setGraphicsEffect(topFade_);
    bottomFade_ = new QGraphicsOpacityEffect(bottomBar_);
    bottomFade_->setOpacity(1);
    bottomBar_->setGraphicsEffect(bottomFade_);
    interfaceAnimation_ = new QParallelAnimationGroup(this);
    connect(interfaceAnimation_, &QAbstractAnimation::finished, this, &MainWindow::interfaceSettled);

    // The plot's context menu: the bars, as the toggle gesture and the keys.
    plotMenu_ = new QMenu(this);
    QAction* bars = plotMenu_->addAction(QString());
    connect(plotMenu_, &QMenu::aboutToShow, this, [this, bars] {
        const bool allHidden = controller_ && controller_->interfaceState() == barsHidden;
        bars->setText(allHidden ? QStringLiteral("Show bars") : QStringLiteral("Hide bars"));
    });
    connect(bars, &QAction::triggered, this, [this] { controller_->showHideInterface(); });
    plotMenu_->addSeparator();
    QAction* settings = plotMenu_->addAction(QStringLiteral("Function settings…"));
    connect(plotMenu_, &QMenu::aboutToShow, this,
            [this, settings] { settings->setEnabled(controller_ && controller_->curFunc()); });
    connect(settings, &QAction::triggered, this, &MainWindow::presentFunctionSettings);
    connect(plotMenu_->addAction(QStringLiteral("Share picture…")), &QAction::triggered, this,
            &MainWindow::sharePicture);
    connect(plotMenu_->addAction(QStringLiteral("Preferences…")), &QAction::triggered, this,
            &MainWindow::presentSettings);
    connect(plotMenu_->addAction(QStringLiteral("Help")), &QAction::triggered, this, &MainWindow::presentHelp);

    // The formula keyboard over the bottom of the window, while a field is
    // edited. A touch screen wants it from the start.
    keyboard_ = new KeyboardWidget(this);
    keyboard_->hide();
    keyboard_->onSizeChanged = [this] { layOutKeyboard(); };
    for (const QInputDevice* device : QInputDevice::devices())
        if (device->type() == QInputDevice::DeviceType::TouchScreen)
            keyboardWanted_ = true;
    keyboardButton_->setChecked(keyboardWanted_);
    focusFollower_ = connect(qApp, &QApplication::focusChanged, this, [this] { updateKeyboard(); });
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    endFormulaEditing();
    controller_->saveAll();
    QWidget::closeEvent(e);
}

void MainWindow::quit() { close(); }

bool MainWindow::eventFilter(QObject* watched, QEvent* e)
{
    const QEvent::Type type = e->type();
    if (watched == field_ && type == QEvent::FocusOut) {
        // Leaving the field with the keyboard ends editing too; a menu or
        // another window taking the focus for a while does not.
        const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
        if (why == Qt::TabFocusReason || why == Qt::BacktabFocusReason)
            leaveFormulaEditing();
        return QWidget::eventFilter(watched, e);
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::TouchBegin && type != QEvent::KeyPress)
        return QWidget::eventFilter(watched, e);
    // An open panel has the keys (Tab moves between its controls).
    if (openPanel() != Panel::none)
        return QWidget::eventFilter(watched, e);
    auto* target = qobject_cast<QWidget*>(watched);
    // Events reach the filter once per widget object; only widgets of this
    // window count (an alert is a window of its own).
    if (!target || target->window() != this)
        return QWidget::eventFilter(watched, e);
    const bool inField = isInputField(target);
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Escape && (inField || editPending_)) {
            // The one way to throw an edit away.
            endFormulaEditing();
            return true;
        }
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && !inField &&
            !(parameterStrip_ && parameterStrip_->isAncestorOf(target))) {
            controller_->showHideInterface();
            return true;
        }
    } else if (!inField) {
        leaveFormulaEditing();
    }
    return QWidget::eventFilter(watched, e);
}

void MainWindow::endFormulaEditing()
{
    if (editPending_)
        setEditPending(false);
    if (field_->hasFocus())
        field_->clearFocus();
    for (QLineEdit* f : {secondField_, rangeMinField_, rangeMaxField_})
        if (f->hasFocus())
            f->clearFocus();
    showFieldMessage({});
    field_->setText(QString::fromStdString(controller_->formulaText()));
    secondField_->setText(QString::fromStdString(controller_->secondFormulaText()));
    rangeMinField_->setText(QString::fromStdString(controller_->rangeMinText()));
    rangeMaxField_->setText(QString::fromStdString(controller_->rangeMaxText()));
}

bool MainWindow::isInputField(const QWidget* w) const
{
    // Keys typed into a field keep it edited, and so does asking for them.
    if (w == keyboard_ || keyboard_->isAncestorOf(w) || w == keyboardButton_)
        return true;
    for (const QLineEdit* f : {field_, secondField_, rangeMinField_, rangeMaxField_})
        if (w == f || f->isAncestorOf(w))
            return true;
    return false;
}

void MainWindow::updateAppearance()
{
    const AppearanceChoice choice = controller_->appearanceChoice();
    const Appearance a = applyAppearance(choice);
    appliedAppearance_ = choice;
    plot_->view().setAppearance(a);
    keyboard_->setDarkAppearance(a == Appearance::dark);
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        const QVariant icon = b->property(kIconProperty);
        if (icon.isValid())
            setBarIcon(b, static_cast<icons::Icon>(icon.toInt()));
    }
    selector_->update();
}

void MainWindow::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    // The system's look changed under a window that follows it.
    if (e->type() == QEvent::ThemeChange && controller_ && appliedAppearance_ == AppearanceChoice::system)
        updateAppearance();
}

void MainWindow::refresh()
{
    const OrlixViewController& c = *controller_;
    if (c.appearanceChoice() != appliedAppearance_)
        updateAppearance();
    kindLabel_->setText(QString::fromStdString(c.kindLabel()));
    field_->setPlaceholderText(QString::fromStdString(c.placeholder()));
    const bool editing =
        field_->hasFocus() || secondField_->hasFocus() || rangeMinField_->hasFocus() || rangeMaxField_->hasFocus();
    if (!editPending_ && (!editing || fieldMessage_->text().isEmpty())) {
        field_->setText(QString::fromStdString(c.formulaText()));
        secondField_->setText(QString::fromStdString(c.secondFormulaText()));
        rangeMinField_->setText(QString::fromStdString(c.rangeMinText()));
        rangeMaxField_->setText(QString::fromStdString(c.rangeMaxText()));
    }
    if (parameterStrip_)
        parameterStrip_->refresh();
    const FunctionKindInfo& typed = c.kind();
    field_->setGoodVar(std::string(typed.keyVariables));
    secondField_->setGoodVar(std::string(typed.keyVariables));
    if (KeyboardTarget* edited = keyboard_->keyboard().target())
        keyboard_->keyboard().setVariables(edited->variables());
    const bool twoFormulas = !typed.secondInputLabel.empty();
    const bool ownRange = typed.can.ownRange;
    secondLabel_->setText(QString::fromUtf8(typed.secondInputLabel));
    secondField_->setPlaceholderText(QString::fromUtf8(typed.secondPlaceholder));
    rangeMinLabel_->setText(QString::fromUtf8(typed.rangeMinLabel));
    rangeMaxLabel_->setText(QString::fromUtf8(typed.rangeMaxLabel));
    secondLabel_->setVisible(twoFormulas);
    secondField_->setVisible(twoFormulas);
    for (QWidget* r : std::initializer_list<QWidget*>{rangeMinLabel_, rangeMinField_, rangeMaxLabel_, rangeMaxField_})
        r->setVisible(ownRange);
    // The labels' texts set the fields' room.
    layOutInputBar();
    const Preferences& p = c.preferences();
    rootsButton_->setChecked(p.sRoots);
    extrsButton_->setChecked(p.sExtrs);
    inflsButton_->setChecked(p.sInfls);
    intersButton_->setChecked(p.sInters);
    const bool hasFunc = c.curFunc() != nullptr;
    trashButton_->setEnabled(hasFunc);
    const FunctionKindInfo* kind = hasFunc ? c.curFunc()->kindInfo() : nullptr;
    inflsButton_->setEnabled(!hasFunc || (!c.curFunc()->isImplicit() && (!kind || kind->can.inflections)));
    derivativeAction_->setVisible(c.canAddDerivative());
    funcSettingsButton_->setEnabled(hasFunc);
    refreshHistory();
    setBarIcon(moveButton_, c.tracing() ? icons::Icon::trace : icons::Icon::move);
    // The strip follows the functions, their looks and the current one;
    // a new width keeps it centred.
    selector_->refresh();
    selector_->move((width() - selector_->width()) / 2, selector_->y());
}

void MainWindow::commitFormula()
{
    const OrlixViewController::StepGroup oneStep(*controller_);
    const auto text = [](const QLineEdit* f) { return f->text().trimmed().toStdString(); };
    const TypedFormula typed{text(field_), text(secondField_), text(rangeMinField_), text(rangeMaxField_)};
    if (const std::optional<FormulaRefusal> refused = takeTypedFormula(*controller_, typed, checkFormula)) {
        // The text stays for the user to mend, the fault selected.
        if (refused->field != FormulaRefusal::Field::none)
            markError(refused->field == FormulaRefusal::Field::second ? *secondField_ : *field_, refused->checked,
                      refused->at);
        showFieldMessage(QString::fromStdString(refused->message));
        return;
    }
    showFieldMessage({});
    closeKeyboardOnCommit();
    if (editPending_)
        setEditPending(false);
    // The controller refreshes the window once it is done.
    controller_->commitFormula();
}

void MainWindow::closeKeyboardOnCommit()
{
    // Done on the formula keyboard: editing ends and the keyboard goes
    // before the curve is made, so its marks are found over the whole band.
    if (keyboard_->isVisible())
        endFormulaEditing();
}

void MainWindow::showAlert(const QString& title, const QString& text)
{
    if (message_)
        message_->close();
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::NoButton, this);
    box->addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    fitIntoWindow(box, this);
    message_ = box;
    box->open();
}

void MainWindow::confirmDelete()
{
    if (message_)
        message_->close();
    auto* box = new QMessageBox(QMessageBox::Question, QString(), QStringLiteral("Delete function?"),
                                QMessageBox::NoButton, this);
    QPushButton* del = box->addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
    box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    fitIntoWindow(box, this);
    message_ = box;
    connect(box, &QMessageBox::buttonClicked, this, [this, del](QAbstractButton* b) {
        if (b == del)
            controller_->removeCurFunc();
    });
    box->open();
}

QAction* MainWindow::newKindAction(FunctionKind kind)
{
    for (const auto& [k, action] : newKindActions_)
        if (k == kind)
            return action;
    return nullptr;
}

void MainWindow::showFieldMessage(const QString& text)
{
    fieldMessage_->setText(text);
    if (text.isEmpty())
        keyboard_->hideErrorMessage();
    else if (keyboard_->isVisible())
        keyboard_->showErrorMessage(text);
}

void MainWindow::setKeyboardWanted(bool on)
{
    keyboardWanted_ = on;
    if (keyboardButton_->isChecked() != on)
        keyboardButton_->setChecked(on);
    updateKeyboard();
}

void MainWindow::editField(QLineEdit& field)
{
    activateWindow();
    field.setFocus(Qt::MouseFocusReason);
    updateKeyboard();
}

void MainWindow::updateKeyboard()
{
    if (!controller_)
        return;
    // The field being edited, when it is one of this window's.
    auto* edited = qobject_cast<myTextField*>(QApplication::focusWidget());
    if (edited && (edited->window() != this || edited->isReadOnly()))
        edited = nullptr;
    const bool show = edited && keyboardWanted_;
    if (show && keyboard_->keyboard().target() != edited) {
        // Typing on a physical keyboard hides the error bar as the keys do.
        disconnect(typingHidesError_);
        typingHidesError_ =
            connect(edited, &QLineEdit::textEdited, keyboard_, [this] { keyboard_->hideErrorMessage(); });
    }
    keyboard_->setTarget(show ? edited : nullptr);
    if (show == keyboard_->isVisible())
        return;
    keyboard_->setVisible(show);
    layOutKeyboard();
    // The marks were found for the band above the keyboard; the whole band
    // is back.
    if (!show && controller_->curFunc()) {
        controller_->findMarks();
        plot_->update();
    }
}

} // namespace orlix
