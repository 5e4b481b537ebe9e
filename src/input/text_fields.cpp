#include "text_fields.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>

#include "orlix/utf8.h"

namespace orlix {

namespace {

// The line edit's position (UTF-16 units) of a code point index.
int unitsOf(const std::u32string& text, std::size_t codePoints)
{
    int units = 0;
    for (std::size_t i = 0; i < codePoints && i < text.size(); ++i)
        units += text[i] > 0xFFFF ? 2 : 1;
    return units;
}

// The code point index of a line edit's position.
std::size_t codePointsOf(const QString& text, int units)
{
    std::size_t n = 0;
    for (int i = 0; i < units && i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

} // namespace

myTextField::myTextField(QWidget* parent) : QLineEdit(parent) {}

TextEdit myTextField::textEdit() const
{
    TextEdit e;
    const QString t = text();
    e.text = t.toStdU32String();
    if (hasSelectedText()) {
        const int start = selectionStart();
        e.selectionStart = codePointsOf(t, start);
        e.selectionLength = codePointsOf(t, start + selectedText().size()) - e.selectionStart;
    } else {
        e.selectionStart = codePointsOf(t, cursorPosition());
    }
    return e;
}

void myTextField::replace(const TextChange& change)
{
    const std::u32string now = text().toStdU32String();
    const int from = unitsOf(now, change.from), to = unitsOf(now, change.to);
    if (to > from)
        setSelection(from, to - from);
    else
        setCursorPosition(from);
    if (change.insert.empty() && to > from)
        del();
    else
        insert(QString::fromStdU32String(change.insert));
}

void myTextField::confirm()
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(this, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(this, &release);
}

void myTextField::useSystemKeyboard(bool on)
{
    // While these keys type, a phone must not bring its own keyboard up
    // over them; physical keys reach the field either way.
    setAttribute(Qt::WA_InputMethodEnabled, on);
    if (!hasFocus())
        return;
    if (QInputMethod* im = QGuiApplication::inputMethod()) {
        im->update(Qt::ImEnabled);
        if (on)
            im->show();
        else
            im->hide();
    }
}

varTextField::varTextField(QWidget* parent) : myTextField(parent) {}

void varTextField::showNumber(const NumberField& f)
{
    const QString shown = QString::fromStdString(f.isEditing ? f.theString : f.rightString);
    if (text() != shown)
        setText(shown);
    setAlignment((f.isEditing ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
}

} // namespace orlix
