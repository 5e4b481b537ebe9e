#include "ui_colors.h"

#include <array>
#include <cstdio>

namespace orlix {

namespace {

constexpr std::array kColors{
    // The bars, and the page behind everything in the browser.
    UiColor{"bar", {236, 238, 242, 235}, {44, 45, 50, 235}},
    // Panels, menus and the keys' faces.
    UiColor{"card", {244, 245, 248}, {48, 49, 54}},
    // The current function, links, a lit key.
    UiColor{"accent", {0, 0, 128}, {150, 185, 255}},
    // Error bars and refused input.
    UiColor{"error", {200, 0, 0}, {255, 120, 120}},
    // The information panel over the plane.
    UiColor{"info", {255, 255, 255, 230}, {36, 37, 41, 235}},
    // Borders and separators.
    UiColor{"line", {200, 200, 200}, {84, 86, 94}},
    UiColor{"field", {255, 255, 255}, {30, 31, 34}},
    UiColor{"text", {0, 0, 0}, {232, 234, 238}},
    // A button held down or switched on.
    UiColor{"pressed", {220, 230, 248}, {58, 66, 86}},
    // Behind the keys of the keyboard, and their borders.
    UiColor{"keys", {227, 231, 238}, {36, 37, 41}},
    UiColor{"keyLine", {184, 192, 205}, {84, 86, 94}},
    // Text on the accent colour.
    UiColor{"onAccent", {255, 255, 255}, {20, 22, 28}},
};

std::string format(UiRgba c, bool alphaAsFraction)
{
    char text[48];
    if (c.a >= 255)
        std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", c.r, c.g, c.b);
    else if (alphaAsFraction)
        std::snprintf(text, sizeof text, "rgba(%d,%d,%d,%.3g)", c.r, c.g, c.b, c.a / 255.0);
    else
        std::snprintf(text, sizeof text, "rgba(%d,%d,%d,%d)", c.r, c.g, c.b, c.a);
    return text;
}

} // namespace

std::span<const UiColor> uiColors() { return kColors; }

std::string qtSheetColor(UiRgba c) { return format(c, false); }

std::string cssColor(UiRgba c) { return format(c, true); }

} // namespace orlix
