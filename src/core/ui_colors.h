// The colours around the plane, light and dark: the bars and the page behind
// them, cards and fields, the information panel, the keys. The desktop app's
// style sheets name them {name}, the browser page var(--name); both take them
// from this one table, so the two look alike.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "orlix/theme.h"

namespace orlix {

// Channels and opacity from 0 to 255.
struct UiRgba {
    int r, g, b, a = 255;
};

struct UiColor {
    std::string_view name;
    UiRgba light;
    UiRgba dark;

    UiRgba in(Appearance a) const { return a == Appearance::dark ? dark : light; }
};

std::span<const UiColor> uiColors();

// "rgb(r,g,b)", or "rgba(r,g,b,a)" with a from 0 to 255, as Qt's style sheets
// read it.
std::string qtSheetColor(UiRgba c);
// "rgb(r,g,b)", or "rgba(r,g,b,a)" with a from 0 to 1, as CSS reads it.
std::string cssColor(UiRgba c);

} // namespace orlix
