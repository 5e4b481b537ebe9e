// The contour of g(x, y) = 0 over a window: a coarse grid of sign tests,
// refined where the curve is until the pieces are a few device pixels long,
// with interval enclosures to tell which cells can hold the curve at all.
#pragma once

#include <utility>
#include <vector>

#include "orlix/stack_machine.h"

namespace orlix::implicit {

struct ContourRequest {
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    // Coarse cells per side of the window.
    int cells = 60;
    // Device pixels per user unit along x and y; the leaves of the
    // refinement are at most leafPixels on a side. Not positive or not
    // finite: no refinement below the coarse grid.
    double pixelsPerUnitX = 0, pixelsPerUnitY = 0;
    // The part of the window refined first (the part on screen); the rest
    // gets what the budget leaves.
    double focusMinX = 0, focusMaxX = 0, focusMinY = 0, focusMaxY = 0;
    // Program steps the pass may run (evaluations and enclosures), and
    // those of them the refinement may take (at most half): a curve that
    // fills a large view is refined as far as these go, evenly.
    double stepBudget = 1.5e7;
    double refineStepBudget = 2.5e6;

    // The side of a leaf, the cell a piece of the curve is drawn across
    // unless its chord strays from the curve, when the cell is split.
    static constexpr double leafPixels = 8;
};

struct Contour {
    std::vector<myPoint> points;
    // Index pairs into points, one per drawn piece.
    std::vector<std::pair<int, int>> segments;
    // g had a finite value somewhere on the coarse grid.
    bool anyFinite = false;
};

// Contours g = 0 through the engine's x and y cells, which it leaves as it
// found them.
Contour traceContour(StackMachine& g, const ContourRequest& request);

// The crossing of g along one line from a to b (the cell moves, the other
// variable stays), where fa and fb have opposite signs; NaN where g has no
// finite value on the way or the change of sign is a pole. It stops once
// the bracket is width wide, or a few units in the last place.
double edgeCrossing(StackMachine& g, double* cell, double a, double b, double fa, double fb, int maxSteps = 200,
                    double width = 0);

} // namespace orlix::implicit
