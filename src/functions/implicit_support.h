// What the implicit curve's drawing and its searches share.
#pragma once

#include <cmath>
#include <limits>

#include "orlix/math_engine.h"
#include "orlix/special_point.h"
#include "orlix/stack_machine.h"

namespace orlix::implicit {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// 2^-52.
inline constexpr double kEps52 = 2.220446049250313e-16;
// Below this a value counts as zero on the curve or on an axis.
inline constexpr double kTiny = 2.220446049250313e-12;

inline bool hasNaN(myPoint p) { return std::isnan(p.x) || std::isnan(p.y); }

// Evaluates a program of x and y at p.
inline double evaluateAt(StackMachine& sm, myPoint p)
{
    *MathEngine::xAddr() = p.x;
    *MathEngine::yAddr() = p.y;
    return sm.evaluate();
}

// Saves the engine's x and y cells and puts them back on leaving.
class CellGuard : public CellRestore {
  public:
    CellGuard() : CellRestore(MathEngine::xAddr(), MathEngine::yAddr()) {}
};

} // namespace orlix::implicit
