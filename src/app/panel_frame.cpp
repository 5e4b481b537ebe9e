#include "panel_frame.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

#include "appearance.h"

namespace orlix {

void fitIntoWindow(QWidget* dialog, const QWidget* window)
{
    const QSize room = window->size();
    // A message box sizes itself from its text: its words wrap within the
    // room left beside its icon.
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        if (auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name))) {
            label->setWordWrap(true);
            label->setMaximumWidth(std::max(120, room.width() - 110));
        }
    }
    if (auto* places = dialog->findChild<QWidget*>(QStringLiteral("sidebar")))
        places->hide();
    if (QLayout* layout = dialog->layout(); layout && !dialog->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        layout->setSizeConstraint(QLayout::SetNoConstraint);
        dialog->setMinimumSize(0, 0);
        dialog->setMaximumSize(room);
        dialog->resize(dialog->sizeHint().boundedTo(room));
    }
}

QWidget* panelBar(QWidget* parent, const QString& title, QPushButton*& done)
{
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("panelBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    setThemedStyleSheet(bar, QStringLiteral("#panelBar { background: {bar}; }"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(10, 6, 10, 6);
    auto* label = new QLabel(title, bar);
    label->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 16px;"));
    done = new QPushButton(QStringLiteral("Done"), bar);
    row->addWidget(label, 1);
    row->addWidget(done);
    return bar;
}

QVBoxLayout* panelColumn(QWidget* panel, const QString& title, QPushButton*& done)
{
    panel->hide();
    panel->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(panelBar(panel, title, done));
    return column;
}

void showOverParent(QWidget* panel, QWidget* focus)
{
    if (QWidget* parent = panel->parentWidget())
        panel->setGeometry(parent->rect());
    panel->show();
    panel->raise();
    if (focus)
        focus->setFocus();
}

} // namespace orlix
