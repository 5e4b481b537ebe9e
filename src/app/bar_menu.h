// The menus of the bottom bar open above their buttons, over the plane and
// within the window, not below it or past its edge where a desktop screen
// has room for them.
#pragma once

class QToolButton;

namespace orlix {

// From now on the button's menu (set before this) opens above it where the
// screen has room there, and where Qt puts it otherwise.
void openMenuAboveButton(QToolButton* button);

} // namespace orlix
