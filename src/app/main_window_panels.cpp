// The main window's panels: function settings, preferences, help and the
// table of values, shown one at a time over the plot, and the strip that
// offers to undo a deletion.
#include "main_window.h"

#include "bar_menu.h"
#include "function_settings_view.h"
#include "help_view.h"
#include "preferences_view.h"
#include "value_table_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

#include "icons.h"

namespace orlix {

void MainWindow::buildPanels()
{
    // Functions deleted all at once can be brought back from this strip
    // while that deletion is the change the next undo takes back.
    undoBar_ = new QWidget(this);
    undoBar_->setObjectName(QStringLiteral("undoBar"));
    undoBar_->setAttribute(Qt::WA_StyledBackground);
    undoBar_->setStyleSheet(QStringLiteral("#undoBar { background: rgba(40,40,40,220); border-radius: 8px; }"
                                           "#undoBar QLabel { color: white; }"));
    auto* row = new QHBoxLayout(undoBar_);
    row->setContentsMargins(10, 2, 4, 2);
    undoLabel_ = new QLabel(undoBar_);
    auto* undo = new QPushButton(QStringLiteral("Undo"), undoBar_);
    undo->setFocusPolicy(Qt::NoFocus);
    auto* close = new QToolButton(undoBar_);
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    close->setStyleSheet(QStringLiteral("color: white;"));
    close->setToolTip(QStringLiteral("Hide (Undo stays in Preferences)"));
    row->addWidget(undoLabel_, 1);
    row->addWidget(undo);
    row->addWidget(close);
    connect(undo, &QPushButton::clicked, this, [this] { controller_->undo(); });
    connect(close, &QToolButton::clicked, this, [this] {
        undoBarClosed_ = true;
        refresh();
    });
    undoBar_->hide();

    fsettings_ = new functionSettings(*controller_, this);
    prefs_ = new preferencesView(*controller_, this);
    help_ = new helpView(this);
    connect(fsettings_, &functionSettings::closed, this, &MainWindow::panelsChanged);
    connect(prefs_, &preferencesView::closed, this, [this] {
        if (prefs_->model().shallDeleteAllFuncs())
            undoBarClosed_ = false;
        panelsChanged();
    });
    connect(prefs_, &preferencesView::helpRequested, this, &MainWindow::presentHelp);
    connect(help_, &helpView::closed, this, &MainWindow::panelsChanged);
    table_ = new valueTableView(this);
    table_->setGeometry(rect());
    connect(table_, &valueTableView::closed, this, &MainWindow::panelsChanged);
    panels_ = {{Panel::help, help_},
               {Panel::table, table_},
               {Panel::preferences, prefs_},
               {Panel::functionSettings, fsettings_}};

    // The table and zoom to fit: in the plot's menu and on keys.
    plotMenu_->addSeparator();
    tableAction_ = plotMenu_->addAction(QStringLiteral("Table of values…"));
    tableAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    zoomToFitAction_ = plotMenu_->addAction(QStringLiteral("Zoom to fit"));
    zoomToFitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    for (QAction* a : {tableAction_, zoomToFitAction_}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
    // Where there is no mouse, the list button of the bottom bar offers
    // what the plot's menu offers a right click.
    auto* more = new QMenu(prefsButton_);
    more->addAction(tableAction_);
    more->addAction(zoomToFitAction_);
    connect(more->addAction(QStringLiteral("Share picture…")), &QAction::triggered, this, &MainWindow::sharePicture);
    more->addSeparator();
    connect(more->addAction(QStringLiteral("Preferences…")), &QAction::triggered, this, &MainWindow::presentSettings);
    connect(more->addAction(QStringLiteral("Help")), &QAction::triggered, this, &MainWindow::presentHelp);
    prefsButton_->setMenu(more);
    prefsButton_->setPopupMode(QToolButton::InstantPopup);
    openMenuAboveButton(prefsButton_);
    for (QMenu* menu : {plotMenu_, more}) {
        connect(menu, &QMenu::aboutToShow, this, [this] {
            const Function* f = controller_->curFunc();
            const FunctionKindInfo* kind = f ? f->kindInfo() : nullptr;
            tableAction_->setEnabled(kind && kind->can.valueTable);
            zoomToFitAction_->setEnabled(f != nullptr);
        });
        // The keys stay live; they check for themselves.
        connect(menu, &QMenu::aboutToHide, this, [this] {
            tableAction_->setEnabled(true);
            zoomToFitAction_->setEnabled(true);
        });
    }
    connect(tableAction_, &QAction::triggered, this, [this] {
        if (openPanel() == Panel::none)
            present(Panel::table);
    });
    connect(zoomToFitAction_, &QAction::triggered, this, [this] {
        if (openPanel() == Panel::none)
            controller_->zoomToFit();
    });
    escapeAction_ = new QAction(this);
    escapeAction_->setShortcut(QKeySequence(Qt::Key_Escape));
    escapeAction_->setEnabled(false);
    connect(escapeAction_, &QAction::triggered, this, &MainWindow::cancelPanel);
    addAction(escapeAction_);
}

bool MainWindow::present(Panel p)
{
    leaveFormulaEditing();
    if (p == Panel::none) {
        while (openPanel() != Panel::none)
            cancelPanel();
        return true;
    }
    for (const auto& [id, panel] : panels_)
        if (id == p) {
            if (!panel->open(plot_->view().curFunc()))
                return false;
            panelsChanged();
            return true;
        }
    return false;
}

bool MainWindow::presentFunctionSettings() { return present(Panel::functionSettings); }

void MainWindow::presentSettings() { present(Panel::preferences); }

void MainWindow::presentHelp() { present(Panel::help); }

Panel MainWindow::openPanel() const
{
    for (const auto& [id, panel] : panels_)
        if (!panel->widget().isHidden())
            return id;
    return Panel::none;
}

void MainWindow::cancelPanel()
{
    const Panel open = openPanel();
    for (const auto& [id, panel] : panels_)
        if (id == open)
            panel->cancel();
}

void MainWindow::panelsChanged()
{
    const bool open = openPanel() != Panel::none;
    escapeAction_->setEnabled(open);
    interfaceSettled();
    // A function-settings panel over the bottom bar keeps its place.
    if (!open)
        plot_->setFocus();
    refresh();
}

void MainWindow::layOutUndoBar()
{
    if (!undoBar_)
        return;
    const BarsState state = controller_ ? controller_->interfaceState() : barsShown;
    const int w = std::min(width() - 16, 360);
    int bottom = std::min(bottomBarY(state), height());
    if (parameterStrip_ && !parameterStrip_->isHidden())
        bottom = parameterStrip_->geometry().top();
    undoBar_->setGeometry((width() - w) / 2, bottom - 42, w, 36);
}

} // namespace orlix
