// The application's look: light or dark, following the system's palette or
// the user's choice. The plane takes its colours from orlix::Theme; the
// widgets from the application palette and from style sheets written with
// colour names that are filled in for the appearance in use.
#pragma once

#include <QString>

#include "orlix/theme.h"
#include "preferences_model.h"

class QPalette;
class QWidget;

namespace orlix {

// A palette is dark when its window colour is darker than mid grey (Qt 6.4
// has no colour-scheme hint).
bool isDarkPalette(const QPalette& palette);

// Light text on dark windows, for an application or a system in dark mode.
QPalette darkPalette();

// Gives the application the look of choice: the palette (the system's own
// where it already has that look) and every themed style sheet. Returns
// the appearance now in use.
Appearance applyAppearance(AppearanceChoice choice);
// The appearance last applied; light until then.
Appearance currentAppearance();

// Sets a style sheet in which {bar}, {card}, {accent}, {text} and the other
// names of uiColors() stand for the colours of the current appearance; it is
// set again whenever the appearance changes.
void setThemedStyleSheet(QWidget* widget, const QString& sheet);

} // namespace orlix
