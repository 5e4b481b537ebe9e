// The bar buttons' icons, drawn with QPainter at any size.
#pragma once

#include <QIcon>

namespace orlix::icons {

enum class Icon { add, trash, undo, redo, roots, extrs, infls, inters, move, trace, funcSettings, preferences, keyboard };

QIcon icon(Icon which);

} // namespace orlix::icons
