// The part of a curve worth looking at, as a rectangle in user units: what
// "zoom to fit" shows. Each kind finds its own (Function::interestingBounds).
#pragma once

#include <optional>
#include <span>

#include "orlix/stack_machine.h" // myPoint

namespace orlix {

struct CurveBounds {
    double minX = 0;
    double maxX = 0;
    double minY = 0;
    double maxY = 0;

    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
    // All four bounds finite and none the wrong way round (a point or a
    // line of no width is a valid rectangle).
    bool valid() const;
    bool contains(myPoint p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
};

// Half the side of the square around the origin looked at when a curve
// offers nothing better.
inline constexpr double standardHalfWidth = 10;
inline constexpr CurveBounds standardBounds{-standardHalfWidth, standardHalfWidth, -standardHalfWidth,
                                            standardHalfWidth};

// The rectangle around the finite points; nullopt when there are none.
// Along an axis where the farthest hundredth of the points on either side
// lies more than ten times as far out as the rest (a pole shooting off),
// those are left out.
std::optional<CurveBounds> boundsOfPoints(std::span<const myPoint> points);

} // namespace orlix
