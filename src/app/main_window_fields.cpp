// The input bar's fields between typing and applying: text left unapplied
// by a click elsewhere, and the place of a refused formula's fault.
#include <QFont>
#include <QLineEdit>
#include <QString>

#include <algorithm>

#include "main_window.h"
#include "orlix/utf8.h"

namespace orlix {

void MainWindow::leaveFormulaEditing()
{
    const auto differs = [](const QLineEdit* f, const std::string& text) {
        return f->text() != QString::fromStdString(text);
    };
    const OrlixViewController& c = *controller_;
    if (!differs(field_, c.formulaText()) && !differs(secondField_, c.secondFormulaText()) &&
        !differs(rangeMinField_, c.rangeMinText()) && !differs(rangeMaxField_, c.rangeMaxText())) {
        endFormulaEditing();
        return;
    }
    // Typed but not applied: the text stays, marked, until Enter applies it
    // or Escape throws it away.
    for (QLineEdit* f : {field_, secondField_, rangeMinField_, rangeMaxField_})
        if (f->hasFocus())
            f->clearFocus();
    setEditPending(true);
}

void MainWindow::setEditPending(bool on)
{
    editPending_ = on;
    for (QLineEdit* f : {field_, secondField_, rangeMinField_, rangeMaxField_}) {
        QFont font = f->font();
        font.setItalic(on);
        f->setFont(font);
    }
    showFieldMessage(on ? tr("Not applied: Enter applies, Escape discards.") : QString());
}

void MainWindow::markError(QLineEdit& field, const std::string& checked, std::optional<std::size_t> at)
{
    if (!at)
        return;
    // checked is the field's text less a prefix and spaces in front.
    const QString text = QString::fromStdString(checked);
    const int base = std::max<qsizetype>(0, field.text().lastIndexOf(text));
    const int pos = base + static_cast<int>(QString::fromStdU32String(utf8::decode(checked).substr(0, *at)).size());
    if (pos < field.text().size())
        field.setSelection(pos, 1);
    else
        field.setCursorPosition(pos);
}

} // namespace orlix
