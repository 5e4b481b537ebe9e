#include "orlix/theme.h"

#include <algorithm>
#include <cmath>

namespace orlix {

namespace {

double linear(float channel)
{
    const double c = std::clamp(static_cast<double>(channel), 0.0, 1.0);
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(Color c) { return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b); }

Color mix(Color from, Color to, float t)
{
    return Color{from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t, from.a};
}

constexpr Theme kLight{
    .appearance = Appearance::light,
    .background = {1, 1, 1, 1},
    .text = {0, 0, 0, 1},
    .axis = {0, 0, 1, 0.8f},
    .grid = {0, 0, 0, 0.06f},
    .stripe = {0, 0, 1, 1},
    .traceLine = {0, 0, 0, 0.8f},
    .highlight = {1, 0, 0, 1},
    .highlightFill = {1, 0, 0, 0.3f},
    .infiniteArrow = {0, 0, 0, 1},
    .rootMark = {1.0f, 0.1f, 0.3f, 0.6f},
    .extremumMark = {0, 0, 1, 0.6f},
    .inflectionMark = {0, 0.6f, 0, 0.6f},
    .traceMark = {1, 0, 0, 0.6f},
    .currentTraceMark = {1, 0, 0, 1},
    .selectorPill = {0, 0, 0, 0.5f},
    .selectorOutline = {1, 1, 1, 1},
};

// The same roles on a near-black plane: light text and lines, the blues
// and greens lifted so they read at the same weight as on white.
constexpr Theme kDark{
    .appearance = Appearance::dark,
    .background = {0.11f, 0.11f, 0.12f, 1},
    .text = {0.88f, 0.88f, 0.9f, 1},
    .axis = {0.45f, 0.65f, 1, 0.9f},
    .grid = {1, 1, 1, 0.07f},
    .stripe = {0.45f, 0.65f, 1, 1},
    .traceLine = {1, 1, 1, 0.75f},
    .highlight = {1, 0.3f, 0.3f, 1},
    .highlightFill = {1, 0.3f, 0.3f, 0.35f},
    .infiniteArrow = {0.9f, 0.9f, 0.9f, 1},
    .rootMark = {1.0f, 0.35f, 0.5f, 0.8f},
    .extremumMark = {0.45f, 0.65f, 1, 0.8f},
    .inflectionMark = {0.3f, 0.85f, 0.3f, 0.8f},
    .traceMark = {1, 0.35f, 0.35f, 0.7f},
    .currentTraceMark = {1, 0.35f, 0.35f, 1},
    .selectorPill = {1, 1, 1, 0.25f},
    .selectorOutline = {0.11f, 0.11f, 0.12f, 1},
};

} // namespace

double contrastRatio(Color a, Color b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Color Theme::legible(Color c) const
{
    if (contrastRatio(c, background) >= kCurveContrast)
        return c;
    // Towards white on a dark plane and towards black on a light one, in
    // steps small enough that the hue stays recognisable.
    const Color pole = luminance(background) < 0.5 ? Color{1, 1, 1, c.a} : Color{0, 0, 0, c.a};
    for (int step = 1; step <= 20; ++step) {
        const Color moved = mix(c, pole, static_cast<float>(step) / 20);
        if (contrastRatio(moved, background) >= kCurveContrast)
            return moved;
    }
    return pole;
}

const Theme& themeFor(Appearance appearance) { return appearance == Appearance::dark ? kDark : kLight; }

} // namespace orlix
