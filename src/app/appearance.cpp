#include "appearance.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QWidget>

#include "ui_colors.h"

namespace orlix {

namespace {

constexpr const char* kSheetProperty = "orlixThemedSheet";

Appearance current = Appearance::light;
// The system's palette, kept while the application shows one of its own.
std::optional<QPalette> systemPalette;

QString filled(QString sheet, Appearance a)
{
    for (const UiColor& c : uiColors())
        sheet.replace(QLatin1Char('{') + QLatin1String(c.name.data(), qsizetype(c.name.size())) + QLatin1Char('}'),
                      QString::fromStdString(qtSheetColor(c.in(a))));
    return sheet;
}

} // namespace

QPalette darkPalette()
{
    QPalette p;
    const QColor window(43, 44, 48), base(30, 31, 34), text(232, 234, 238), button(58, 60, 66);
    const QColor dim(128, 130, 138);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, button);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, dim);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 120, 120));
    p.setColor(QPalette::Light, QColor(80, 82, 90));
    p.setColor(QPalette::Midlight, QColor(68, 70, 76));
    p.setColor(QPalette::Mid, QColor(50, 51, 56));
    p.setColor(QPalette::Dark, QColor(24, 24, 27));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, QColor(61, 123, 217));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(120, 170, 255));
    p.setColor(QPalette::LinkVisited, QColor(180, 150, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dim);
    return p;
}

bool isDarkPalette(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

Appearance applyAppearance(AppearanceChoice choice)
{
    const QPalette system = systemPalette ? *systemPalette : QApplication::palette();
    const bool systemIsDark = isDarkPalette(system);
    const Appearance a = resolveAppearance(choice, systemIsDark);
    if ((a == Appearance::dark) == systemIsDark) {
        if (systemPalette) {
            QApplication::setPalette(*systemPalette);
            systemPalette.reset();
        }
    } else {
        if (!systemPalette)
            systemPalette = system;
        QApplication::setPalette(a == Appearance::dark ? darkPalette() : QApplication::style()->standardPalette());
    }
    current = a;
    for (QWidget* w : QApplication::allWidgets()) {
        const QVariant sheet = w->property(kSheetProperty);
        if (sheet.isValid()) {
            w->setStyleSheet(filled(sheet.toString(), a));
            // A widget not shown yet keeps the palette its first sheet gave
            // it through the change of the application's palette: polished
            // again, it takes the new sheet's colours.
            w->style()->unpolish(w);
            w->style()->polish(w);
        }
    }
    return a;
}

Appearance currentAppearance() { return current; }

void setThemedStyleSheet(QWidget* widget, const QString& sheet)
{
    widget->setProperty(kSheetProperty, sheet);
    widget->setStyleSheet(filled(sheet, current));
}

} // namespace orlix
