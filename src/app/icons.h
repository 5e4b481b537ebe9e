// The bar buttons' icons, drawn with QPainter at any size.
#pragma once

#include <QIcon>

namespace orlix::icons {

enum class Icon { add, trash, roots, extrs, infls, inters, move, trace, funcSettings, preferences, keyboard };

// Dark ink for a light bar, or light ink for a dark one.
QIcon icon(Icon which, bool dark = false);

} // namespace orlix::icons
