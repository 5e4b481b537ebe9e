#include "panel_frame.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

#include "appearance.h"

namespace orlix {

namespace {

// text with line breaks where its words (or, for a word too long, such as a
// file's path, its pieces after each '/') no longer fit width.
QString linesWithin(const QString& text, const QFontMetrics& fm, int width)
{
    QStringList pieces;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        QString rest = word;
        while (fm.horizontalAdvance(rest) > width) {
            int cut = static_cast<int>(rest.size()) - 1;
            while (cut > 1 && (fm.horizontalAdvance(rest.left(cut)) > width || rest[cut - 1] != QLatin1Char('/')))
                --cut;
            if (cut <= 1) // no '/' to break after: break where it fills the line
                for (cut = 1; cut < rest.size() && fm.horizontalAdvance(rest.left(cut + 1)) <= width; ++cut) {
                }
            pieces << rest.left(cut) + QLatin1Char('\n');
            rest = rest.mid(cut);
        }
        pieces << rest;
    }
    QString out, line;
    for (const QString& piece : pieces) {
        const bool ends = piece.endsWith(QLatin1Char('\n'));
        const QString p = ends ? piece.chopped(1) : piece;
        const QString joined = line.isEmpty() ? p : line + QLatin1Char(' ') + p;
        if (!line.isEmpty() && fm.horizontalAdvance(joined) > width) {
            out += line + QLatin1Char('\n');
            line = p;
        } else {
            line = joined;
        }
        if (ends) {
            out += line + QLatin1Char('\n');
            line.clear();
        }
    }
    return out + line;
}

} // namespace

void fitIntoWindow(QWidget* dialog, const QWidget* window)
{
    const QSize room = window->size();
    // A message box sizes itself from its text, up to half the screen: its
    // text is broken into lines that fit the room beside its icon.
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"})
        if (auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name)))
            label->setText(linesWithin(label->text(), label->fontMetrics(), std::max(120, room.width() - 110)));
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
