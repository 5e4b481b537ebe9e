// The function-settings panel without its widgets: the colour, the dash
// pattern and the point density of one function, loaded from it, edited,
// checked and applied back. The panel widget mirrors this state.
#pragma once

#include "orlix/canvas.h"

namespace orlix {

class Function;

class FunctionSettings {
  public:
    // Densities the panel accepts: samples of a curve, or grid cells per
    // side of an implicit curve.
    static constexpr int kMinPoints = 100;
    static constexpr int kMaxPoints = 2000;
    static constexpr int kMinGridSize = 25;
    static constexpr int kMaxGridSize = 150;

    // Fills the panel from f: its colour, its own dash pattern and its
    // density. Nothing happens for no function; answers whether it loaded.
    bool loadFromFunc(const Function* f);

    // ---- colour ----
    Color color() const { return Color{r_, g_, b_, 1}; }
    // Components are kept within 0 … 1; a NaN component keeps its value.
    void setColor(float r, float g, float b);
    // The next colour of the shared colour generator.
    void nextStandardColor();

    // ---- dash pattern ----
    // The index of the selected pattern in the colour generator's table.
    int dashN() const { return dashN_; }
    int maxDashN() const;
    // The next pattern of the table, after the last the first.
    void nextStandardDash();

    // ---- density ----
    // Whether the density is a grid size (implicit curves) rather than a
    // sample count.
    bool densityIsGridSize() const { return gridSize_; }
    double density() const { return density_; }
    // Takes a typed density; throws orlix::Error (as isBadValue) and keeps
    // the old one when it is refused.
    void setDensity(double value);
    // Throws orlix::Error with the message the field shows when value is no
    // density this panel accepts: not an integer (NaN and infinities
    // included), or outside the limits of a sample count (gridSize false) or
    // of a grid size.
    static void isBadValue(double value, bool gridSize);

    // Gives f the panel's dash pattern, colour (with f's own alpha) and
    // density. A curve sampled over the view follows the view again; a
    // curve with a range of its own is sampled anew over it. The density is
    // checked first: a refused one throws and f is left as it was.
    void apply(Function& f) const;

    // The picture of dash pattern i: a black line one point wide across the
    // middle of a rectangle of the given size, 10 points in from each side.
    static void drawDash(Canvas& canvas, int i, SizeF size);

  private:
    float r_ = 0, g_ = 0, b_ = 0;
    int dashN_ = 0;
    double density_ = 0;
    bool gridSize_ = false;
};

} // namespace orlix
