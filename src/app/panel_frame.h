// What the full-window panels share: the bar across their top with a title
// and "Done", and how a panel comes up over the window.
#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace orlix {

// A bar with title on the left and a "Done" button (returned in done) on
// the right, a child of parent.
QWidget* panelBar(QWidget* parent, const QString& title, QPushButton*& done);

// Covers panel's parent with panel, shows it on top and gives focus to focus.
void showOverParent(QWidget* panel, QWidget* focus);

} // namespace orlix
