// What the full-window panels share: the bar across their top with a title
// and "Done", and how a panel comes up over the window.
#pragma once

#include <QString>

#include "orlix/function.h"

class QPushButton;
class QVBoxLayout;
class QWidget;

namespace orlix {

// A panel that comes up over the whole window, one at a time: what the
// window needs of it.
class WindowPanel {
  public:
    // Loads what the panel shows (for the current function, null when there
    // is none) and comes up; false when it cannot open.
    virtual bool open(const Function::Ptr& current) = 0;
    // Goes away without applying what it holds.
    virtual void cancel() = 0;
    virtual QWidget& widget() = 0;

  protected:
    ~WindowPanel() = default;
};

// A bar with title on the left and a "Done" button (returned in done) on
// the right, a child of parent.
QWidget* panelBar(QWidget* parent, const QString& title, QPushButton*& done);

// Sets a full-window panel up, hidden: its background, and a column with
// the bar of title and "Done" (returned in done) at its top, for the rest
// of the panel to go under.
QVBoxLayout* panelColumn(QWidget* panel, const QString& title, QPushButton*& done);

// Makes a dialog fit the window it opens over, down to a phone's 320 × 480:
// a message wraps its words within the window's width, a file dialog drops
// its side list of places and may shrink as far as the window.
void fitIntoWindow(QWidget* dialog, const QWidget* window);

// Covers panel's parent with panel, shows it on top and gives focus to focus.
void showOverParent(QWidget* panel, QWidget* focus);

} // namespace orlix
