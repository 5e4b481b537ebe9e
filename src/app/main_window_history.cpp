// The main window's undo and redo: the desktop keys, the bottom bar's two
// buttons and the strip that offers to bring back functions deleted all
// at once.
#include "main_window.h"

#include <QKeyEvent>
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
    case FunctionChange::parameter: return QStringLiteral("changing a parameter");
    }
    return {};
}

// Lets the history's keys past a field that has nothing of its own to
// undo (redo): after a formula is committed the field keeps the focus with
// an empty undo of its own, and Ctrl+Z then takes the commit back.
class FieldHistoryKeys : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        auto* field = qobject_cast<QLineEdit*>(watched);
        if (!field || e->type() != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(e);
        const bool undo = key->matches(QKeySequence::Undo);
        const bool redo = key->matches(QKeySequence::Redo);
        // Not handled here: the shortcut of the window gets the key.
        return (undo && !field->isUndoAvailable()) || (redo && !field->isRedoAvailable());
    }
};

} // namespace

void MainWindow::buildHistoryKeys()
{
    auto* fieldKeys = new FieldHistoryKeys(this);
    for (QLineEdit* f : {field_, secondField_, rangeMinField_, rangeMaxField_})
        f->installEventFilter(fieldKeys);
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
    // A field being edited has its own undo: the keys are its while it
    // has something to undo (redo). A line edit takes its own keys before
    // any shortcut; Ctrl+Y is handed to it here.
    if (auto* edited = qobject_cast<QLineEdit*>(focusWidget()); edited && edited->hasFocus()) {
        if (redo && edited->isRedoAvailable()) {
            edited->redo();
            return;
        }
        if (!redo && edited->isUndoAvailable()) {
            edited->undo();
            return;
        }
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
