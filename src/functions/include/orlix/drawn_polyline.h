// The polyline a curve sampled over its own parameter (polar, parametric) is
// drawn as: its samples, with points put between two of them where the
// chord would stand off the curve by more than half a device pixel, and
// the stroke broken where the curve has a pole or a jump between them: a
// piece that runs off to infinity is carried to the edge of the view, a
// piece at a jump ends within a device pixel of it. It is made for one view
// and kept until the view or the samples change; the samples themselves
// (what the marks, the trace and the range quantities read) are never
// touched.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "orlix/interval.h"
#include "orlix/plot_context.h"
#include "orlix/stack_machine.h"

namespace orlix {

// What the drawing is for: the sampling window (user units), the scale
// (device points per unit) and the size of a device pixel (in points).
struct DrawView {
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    double scaleX = 0, scaleY = 0;
    double pixel = 1;

    // The window, the scale and the ratio of a plane (1 without one).
    static DrawView of(double minX, double maxX, double minY, double maxY, myPoint scale, const PlotContext* plane);
    // A window of some size and a scale and pixel that are numbers above
    // zero: a view that can be refined for.
    bool usable() const;
    bool operator==(const DrawView&) const = default;
};

// What the refinement asks of a curve.
class RefinableCurve {
  public:
    // The curve over one step of the parameter, from its enclosure.
    struct Step {
        // Nothing is known (the enclosure is everything): the samples'
        // own breaks apply.
        bool unknown = false;
        // The curve may jump or run off to infinity inside.
        bool maybeBroken = false;

        // The step [a, b] of a coordinate (or the radius) that program
        // gives of cell. Everything over the step is what a pole inside
        // gives, and what a program with no enclosure gives anywhere: at
        // the step's start only the latter.
        static Step of(StackMachine& program, const double* cell, double a, double b)
        {
            const Interval e = program.enclose(cell, a, b);
            if (e.isEverything() && program.enclose(cell, a, a).isEverything())
                return Step{true, true};
            return Step{false, e.maybeDiscontinuous};
        }
        Step operator|(const Step& other) const
        {
            return Step{unknown || other.unknown, maybeBroken || other.maybeBroken};
        }
    };
    virtual ~RefinableCurve() = default;
    // The point of the curve at parameter v.
    virtual myPoint at(double v) = 0;
    // The enclosure of the curve over [a, b].
    virtual Step over(double a, double b) = 0;
};

class DrawnPolyline {
  public:
    // Evaluations and enclosures one refinement may make beyond the two
    // each sample step takes (its enclosure and the point at its middle),
    // whatever the view: a bound on the points it adds.
    static constexpr int maxExtraWork = 16384;
    // The samples were taken afresh, n of them from lo to hi as
    // curve::Grid spaces them: the next update refines them.
    void sampled(double lo, double hi, int n)
    {
        lo_ = lo;
        hi_ = hi;
        n_ = n;
        view_.reset();
    }
    // Refines the samples (with their breaks) for view, unless that was
    // done already. A view that is not usable, or samples that are not
    // those of the grid, give no polyline. Runs at most
    // Function::sampleStepBudget program steps.
    void update(const DrawView& view, std::span<const myPoint> samples, std::span<const unsigned char> sampleBreaks,
                RefinableCurve& curve);
    // Whether there is a refined polyline (else the samples are drawn).
    bool active() const { return !points_.empty(); }
    std::span<const myPoint> points() const { return points_; }
    // Non-zero at i where the stroke is broken between points i-1 and i.
    std::span<const unsigned char> breaks() const { return breaks_; }

  private:
    double lo_ = 0, hi_ = 0;
    int n_ = 0;
    std::optional<DrawView> view_;
    std::size_t sampleCount_ = 0;
    std::vector<myPoint> points_;
    std::vector<unsigned char> breaks_;
};

} // namespace orlix
