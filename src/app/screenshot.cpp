// Rendering the main screen to a picture without a display, with one of
// the states a screenshot can show.
#include "main_window.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QToolButton>

namespace orlix {

namespace {

constexpr ShowOption kShowOptions[] = {
    {"settings",
     [](MainWindow& w, QString& problem) {
         if (w.presentFunctionSettings())
             return true;
         problem = QStringLiteral("there is no current function to show the settings of");
         return false;
     }},
    {"preferences", [](MainWindow& w, QString&) { return w.present(Panel::preferences); }},
    {"help", [](MainWindow& w, QString&) { return w.present(Panel::help); }},
    {"table",
     [](MainWindow& w, QString& problem) {
         if (w.present(Panel::table))
             return true;
         problem = QStringLiteral("the current function has no table of values");
         return false;
     }},
    // The strip of functions, even for a single current function.
    {"selector",
     [](MainWindow& w, QString&) {
         w.functionSelector().setAlwaysShown(true);
         w.refresh();
         return true;
     }},
    // The formula field edited on the formula keyboard.
    {"keyboard",
     [](MainWindow& w, QString&) {
         w.setKeyboardWanted(true);
         w.keyboard().keyboard().setCustomKeys(true);
         w.editField(w.formulaField());
         return true;
     }},
    // The sliders of the parameters the formulas read, with the bounds of
    // the first one open.
    {"sliders",
     [](MainWindow& w, QString& problem) {
         const std::vector<Parameter> rows = w.controller().parameterStrip().rows();
         if (rows.empty()) {
             problem = QStringLiteral("no formula reads a parameter a, b or c");
             return false;
         }
         w.parameterStrip().nameButton(rows.front())->click();
         return true;
     }},
    // Every function deleted at once, with the strip that brings them back
    // and the bottom bar's undo (the store is not written).
    {"undo",
     [](MainWindow& w, QString& problem) {
         if (w.controller().model().functionRegister().empty()) {
             problem = QStringLiteral("there are no functions to delete");
             return false;
         }
         w.controller().dismissSettings(true, false);
         return true;
     }},
};

} // namespace

std::span<const ShowOption> showOptions() { return kShowOptions; }

const ShowOption* parseShow(const QString& name)
{
    for (const ShowOption& option : kShowOptions)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}

bool renderScreenshot(const QString& file, QSize size, const QString& storeDirectory, const ShowOption* show,
                      QString* problem)
{
    MainWindow w(storeDirectory, nullptr, nullptr, Store::Access::ReadOnly);
    w.resize(size);
    w.show();
    QCoreApplication::processEvents();
    QString why;
    if (show && !show->prepare(w, why)) {
        if (problem)
            *problem = why;
        return false;
    }
    QCoreApplication::processEvents();
    const QPixmap picture = w.grab();
    const bool written = !picture.isNull() && picture.save(file, "PNG");
    if (!written && problem)
        *problem = QStringLiteral("could not write %1").arg(file);
    return written;
}

std::optional<QSize> parseSize(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        return std::nullopt;
    bool okW = false, okH = false;
    const int w = parts[0].trimmed().toInt(&okW);
    const int h = parts[1].trimmed().toInt(&okH);
    if (!okW || !okH || w < 1 || h < 1 || w > 8192 || h > 8192)
        return std::nullopt;
    return QSize(w, h);
}

} // namespace orlix
