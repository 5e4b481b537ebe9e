// What a curve of one variable does inside one step between two samples,
// found with enclosures instead of guessed from the samples: the points to
// draw there so that the stroke stays within half a device pixel of the
// curve. A hidden crest or trough (a fast oscillation) adds the extremes
// the curve truly reaches in the step, so a band is drawn filled; a pole or
// a jump breaks the stroke where it is, each side carried to its end (to
// the edge of the view for a branch that grows without bound); the end of
// a domain (√x at 0, a hole of (x² − 1)/(x − 1)) is reached within a
// fraction of a pixel.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "orlix/interval.h"

namespace orlix {
class StackMachine;
}

namespace orlix::curve {

// A point of the curve in (variable, value), and whether the stroke breaks
// before it.
struct TracePoint {
    double variable = 0;
    double value = 0;
    bool breakBefore = false;
};

// The points drawn between sample j and sample j + 1 (neither included).
struct ColumnDetail {
    static constexpr int maxPoints = 8;
    // The enclosures knew nothing (a routine without an interval rule): the
    // samples stand as they are, with the breaks the samples suggest.
    bool unknown = true;
    // The stroke breaks before sample j + 1.
    bool breakAfter = false;
    // At most maxPoints; most steps have none, and then nothing is held
    // on the heap.
    std::vector<TracePoint> points;
};

struct ColumnTracer {
    // The formula at one value of the variable, and its enclosure over a range.
    std::function<double(double)> valueAt;
    std::function<Interval(double, double)> enclosure;
    // The enclosure of the derivative, when there is one: it tells a step
    // where the curve is monotone (the chord holds it) or nearly flat
    // without the overestimate of enclosing the formula itself.
    std::function<Interval(double, double)> slopeEnclosure;
    // The enclosures say something (false: the samples stand as they are).
    bool enclosable = true;
    // Half a device pixel along the values, in value units.
    double tolerance = 0;
    // Values beyond ±far are off the view, well past its edge: the drawing
    // takes them as leaving it, so two of one sign need no break between
    // them (the flags cannot tell the two sides of a pole apart so close to
    // it).
    double far = 1e300;

    // The step [a, b] with the sampled values fa and fb (NaN: none there);
    // the slope's and the formula's enclosures over the whole step when
    // the caller has them.
    ColumnDetail trace(double a, double fa, double b, double fb, const Interval* slope = nullptr,
                       const Interval* values = nullptr) const;
    // Whether the chord between the sampled ends holds a step over which
    // the formula's values lie in `values`: nothing more to draw there.
    bool chordHolds(const Interval& values, double fa, double fb) const;
    // Whether every step no wider than `width` over which the slope lies in
    // `slope` keeps within its ends' values and `tolerance`: the slope keeps
    // one sign, or goes against it so little that no such step turns back
    // by more than `tolerance`.
    bool nearlyMonotone(const Interval& slope, double width) const;

  private:
    struct Work;
    void refine(Work& w, double a, double fa, double b, double fb, int depth) const;
    bool holdsChord(const Interval& slope, double a, double fa, double b, double fb, double lo, double hi) const;
    void breakBetween(Work& w, double fa, double fb) const;
    // Beyond ±far: off the view.
    bool offView(double v) const;
};

// The interval pass of a curve of one variable: what its formula does
// between each two of its samples.
struct CurveSteps {
    // The formula, and its derivative when one can be enclosed (nullptr:
    // every step is traced with the formula's own enclosures).
    StackMachine* program = nullptr;
    StackMachine* slope = nullptr;
    // The variable's cell; it is left as it was found.
    double* cell = nullptr;
    // As ColumnTracer's.
    double tolerance = 0;
    double far = 1e300;
    // Program steps the pass may run before the steps left keep their
    // samples as they are.
    double stepBudget = 0;

    // Traces the steps j to j + 1, j in [from, to), of the samples (vars,
    // vals) into columns[j].
    void trace(std::span<const double> vars, std::span<const double> vals, int from, int to,
               std::span<ColumnDetail> columns) const;
};

} // namespace orlix::curve
