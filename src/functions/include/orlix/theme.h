// The colours of the plane in a light and a dark appearance: the
// background, grid, axes and labels, the marks and the trace, and the rule
// that keeps a curve's colour visible on either background.
#pragma once

#include "orlix/canvas.h"

namespace orlix {

enum class Appearance { light, dark };

struct Theme {
    Appearance appearance;
    Color background;
    // Labels of the grid.
    Color text;
    Color axis;
    // Each pass of grid lines adds this over the last.
    Color grid;
    // The ticks on the axes.
    Color stripe;
    // The trace's guide lines and circles.
    Color traceLine;
    // The touched point, the range ends, arrows to marks off the view.
    Color highlight;
    Color highlightFill;
    // The arrow to a mark at infinity.
    Color infiniteArrow;
    Color rootMark;
    Color extremumMark;
    Color inflectionMark;
    Color traceMark;
    Color currentTraceMark;
    // The function strip: its pill and the outline of each glyph.
    Color selectorPill;
    Color selectorOutline;

    // A curve's colour as drawn: its own colour, or, where that is too close
    // to the background to be seen, the same hue moved towards the opposite
    // end of the scale until it stands out. The stored colour never changes.
    Color legible(Color c) const;
};

const Theme& themeFor(Appearance appearance);

// Contrast of two opaque colours as the WCAG defines it: 1 (same
// luminance) to 21 (black on white).
double contrastRatio(Color a, Color b);

// The least contrast a curve keeps against the background (the WCAG's
// figure for graphics).
inline constexpr double kCurveContrast = 3.0;

} // namespace orlix
