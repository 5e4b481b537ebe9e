#include "panel_frame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "appearance.h"

namespace orlix {

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
