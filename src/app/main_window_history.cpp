// The main window's undo and redo: the desktop keys, the bottom bar's two
// buttons and the strip that offers to bring back functions deleted all
// at once.
#include "main_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>

namespace orlix {

namespace {

// A change as the buttons' tips name it.
QString changeName(FunctionChange change)
{
    switch (change) {
    case FunctionChange::add: return QStringLiteral("adding a function");
    case FunctionChange::replace: return QStringLiteral("changing a formula");
    case FunctionChange::remove: return QStringLiteral("deleting a function");
    case FunctionChange::removeAll: return QStringLiteral("deleting all functions");
    case FunctionChange::derivative: return QStringLiteral("adding a derivative");
    case FunctionChange::looks: return QStringLiteral("colour, dash or density");
    case FunctionChange::range: return QStringLiteral("changing a range");
    }
    return {};
}

} // namespace

void MainWindow::buildHistoryKeys()
{
    const auto key = [this](QKeySequence seq, bool redo) {
        auto* k = new QShortcut(seq, this);
        connect(k, &QShortcut::activated, this, [this, redo] { historyKey(redo); });
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_Z), false);
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), true);
    key(QKeySequence(Qt::CTRL | Qt::Key_Y), true);
}

void MainWindow::historyKey(bool redo)
{
    // A field being edited has its own undo: the keys are its. (A line
    // edit takes Ctrl+Z and Ctrl+Shift+Z before any shortcut; Ctrl+Y is
    // handed to it here.)
    if (auto* edited = qobject_cast<QLineEdit*>(focusWidget()); edited && edited->hasFocus()) {
        if (redo)
            edited->redo();
        else
            edited->undo();
        return;
    }
    // An open panel has the keys; the preferences offer their own Undo.
    if (openPanel() != Panel::none)
        return;
    if (redo)
        controller_->redo();
    else
        controller_->undo();
}

void MainWindow::refreshHistory()
{
    const OrlixViewController& c = *controller_;
    const std::optional<FunctionChange> back = c.changeToUndo();
    const std::optional<FunctionChange> again = c.changeToRedo();
    undoButton_->setEnabled(back.has_value());
    redoButton_->setEnabled(again.has_value());
    undoButton_->setToolTip(back ? QStringLiteral("Undo %1 (Ctrl+Z)").arg(changeName(*back))
                                 : QStringLiteral("Undo (Ctrl+Z)"));
    redoButton_->setToolTip(again ? QStringLiteral("Redo %1 (Ctrl+Shift+Z)").arg(changeName(*again))
                                  : QStringLiteral("Redo (Ctrl+Shift+Z)"));
    if (!undoBar_)
        return;
    const std::size_t n = c.deletedCount();
    undoLabel_->setText(n == 1 ? QStringLiteral("1 function deleted") : QStringLiteral("%1 functions deleted").arg(n));
    undoBar_->setVisible(n > 0 && !undoBarClosed_ && openPanel() == Panel::none);
    undoBar_->raise();
}

} // namespace orlix
