#include "orlix/drawn_polyline.h"

#include <algorithm>
#include <cmath>

#include "curve_support.h"
#include "orlix/function.h"

namespace orlix {

namespace {

// Halvings of one step for the chord test (a step in 65 536 at most).
constexpr int kMaxChordDepth = 16;
// Halvings towards a pole or a jump: past the precision of a step.
constexpr int kMaxBisections = 60;

bool finite(myPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// One refinement: the steps of the samples in order, each emitted as the
// points after its start up to its end.
class Refiner {
  public:
    Refiner(const DrawView& view, const curve::Grid& grid, RefinableCurve& curve, std::vector<myPoint>& out,
            std::vector<unsigned char>& breaks)
        : view_(view), grid_(grid), curve_(curve), out_(out), breaks_(breaks), budget_(Function::sampleStepBudget),
          tolerance_(view.pixel / 2), maxWork_(2 * (grid.n - 1) + DrawnPolyline::maxExtraWork)
    {
        // Beyond this box a point is far: a stroke from the window to it is
        // carried nearer, so that what is drawn reaches the window's edge
        // and no farther than the drawing takes.
        const double mx = (view.maxX - view.minX) / 4, my = (view.maxY - view.minY) / 4;
        near_ = DrawView{view.minX - mx, view.maxX + mx, view.minY - my, view.maxY + my,
                         view.scaleX,    view.scaleY,    view.pixel};
    }

    void run(std::span<const myPoint> samples, std::span<const unsigned char> sampleBreaks)
    {
        const int steps = grid_.n - 1;
        kinds_.assign(static_cast<std::size_t>(steps), Kind::unknown);
        classify(0, steps);
        emit(samples[0], true);
        for (int j = 0; j < steps; ++j) {
            const std::size_t i = static_cast<std::size_t>(j) + 1;
            step(kinds_[i - 1], grid_.at(j), samples[i - 1], grid_.at(j + 1), samples[i],
                 i < sampleBreaks.size() && sampleBreaks[i]);
        }
    }

  private:
    static constexpr double kInf = std::numeric_limits<double>::infinity();
    enum class Kind : unsigned char { clean, maybeBroken, unknown };

    // What the enclosures say of the steps from sample `from` to sample
    // `to`: one over all of them, and only where it flags a break (or
    // knows nothing) over each half, down to single steps. A smooth curve
    // takes one enclosure, a curve with k poles about 2k·log₂(steps).
    void classify(int from, int to)
    {
        if (to <= from || exhausted())
            return; // left unknown
        const RefinableCurve::Step s = over(grid_.at(from), grid_.at(to));
        if (!s.unknown && !s.maybeBroken) {
            std::fill(kinds_.begin() + from, kinds_.begin() + to, Kind::clean);
        } else if (to - from == 1) {
            kinds_[static_cast<std::size_t>(from)] = s.unknown ? Kind::unknown : Kind::maybeBroken;
        } else {
            const int middle = from + (to - from) / 2;
            classify(from, middle);
            classify(middle, to);
        }
    }

    // The sample step from (a, pa) to (b, pb), broken in the samples or not.
    void step(Kind kind, double a, myPoint pa, double b, myPoint pb, bool brokenInSamples)
    {
        if (!finite(pa) || !finite(pb) || exhausted()) {
            emit(pb, brokenInSamples);
            return;
        }
        if (kind == Kind::unknown) {
            // Nothing known of the step: the samples say where it breaks.
            if (brokenInSamples)
                emit(pb, true);
            else
                chord(a, pa, b, pb, 0);
        } else if (kind == Kind::maybeBroken) {
            towardsBreak(a, pa, b, pb, 0, kInf, kInf);
        } else {
            chord(a, pa, b, pb, 0);
        }
    }

    bool exhausted() const { return work_ >= maxWork_ || budget_.spent(); }
    myPoint at(double v)
    {
        ++work_;
        return curve_.at(v);
    }
    RefinableCurve::Step over(double a, double b)
    {
        ++work_;
        return curve_.over(a, b);
    }
    void emit(myPoint p, bool broken)
    {
        out_.push_back(p);
        breaks_.push_back(broken ? 1 : 0);
    }

    // Apart on the device, in points.
    double apart(myPoint p, myPoint q) const
    {
        const double dx = (p.x - q.x) * view_.scaleX, dy = (p.y - q.y) * view_.scaleY;
        return std::sqrt(dx * dx + dy * dy);
    }
    // How far m stands off the chord from a to b on the device, in points.
    double offChord(myPoint a, myPoint m, myPoint b) const
    {
        const double ax = a.x * view_.scaleX, ay = a.y * view_.scaleY;
        const double dx = b.x * view_.scaleX - ax, dy = b.y * view_.scaleY - ay;
        const double mx = m.x * view_.scaleX - ax, my = m.y * view_.scaleY - ay;
        const double length2 = dx * dx + dy * dy;
        const double u = length2 > 0 ? std::clamp((mx * dx + my * dy) / length2, 0.0, 1.0) : 0.0;
        const double ox = mx - u * dx, oy = my - u * dy;
        return std::sqrt(ox * ox + oy * oy);
    }
    static bool inside(myPoint p, const DrawView& box)
    {
        return p.x >= box.minX && p.x <= box.maxX && p.y >= box.minY && p.y <= box.maxY;
    }
    // All three beyond one edge of the window: the piece is taken not to
    // show.
    bool hidden(myPoint a, myPoint m, myPoint b) const
    {
        const DrawView& w = view_;
        return (a.x < w.minX && m.x < w.minX && b.x < w.minX) || (a.x > w.maxX && m.x > w.maxX && b.x > w.maxX) ||
               (a.y < w.minY && m.y < w.minY && b.y < w.minY) || (a.y > w.maxY && m.y > w.maxY && b.y > w.maxY);
    }
    // The chord may cross the window and one end is far beyond it.
    bool reachesFar(myPoint a, myPoint b) const
    {
        const DrawView& w = view_;
        const bool meets = std::min(a.x, b.x) <= w.maxX && std::max(a.x, b.x) >= w.minX &&
                           std::min(a.y, b.y) <= w.maxY && std::max(a.y, b.y) >= w.minY;
        return meets && (!inside(a, near_) || !inside(b, near_));
    }

    // A step without a break: halved while the curve at its middle stands
    // off the chord by more than half a device pixel, or while the chord
    // runs from the window to far beyond it.
    void chord(double a, myPoint pa, double b, myPoint pb, int depth)
    {
        const double m = a + (b - a) / 2;
        if (depth >= kMaxChordDepth || !finite(pa) || !finite(pb) || !(m > std::min(a, b) && m < std::max(a, b)) ||
            exhausted()) {
            emit(pb, false);
            return;
        }
        const myPoint pm = at(m);
        if (!finite(pm)) {
            // A hole the enclosure allowed for: the stroke breaks there.
            emit(pm, false);
            emit(pb, false);
            return;
        }
        if (!hidden(pa, pm, pb) && (offChord(pa, pm, pb) > tolerance_ || reachesFar(pa, pb))) {
            chord(a, pa, m, pm, depth + 1);
            chord(m, pm, b, pb, depth + 1);
        } else {
            emit(pb, false);
        }
    }

    // A step whose enclosure allows a pole or a jump: halved towards the
    // parts it still flags until both ends have settled, the parts it
    // clears drawn as chords. An end has settled when it moved less than
    // half a device pixel at its last halving, or has no value, or has
    // left the window while the curve at the middle is not in it (a branch
    // running off to infinity, not a curve crossing the window). The stroke
    // breaks between the ends unless they came within a device pixel of
    // each other (a flag that meant nothing).
    void towardsBreak(double a, myPoint pa, double b, myPoint pb, int depth, double moveA, double moveB)
    {
        const double m = a + (b - a) / 2;
        const bool splits = depth < kMaxBisections && m > std::min(a, b) && m < std::max(a, b) && !exhausted();
        const myPoint pm = splits ? at(m) : pb;
        const auto settled = [&](myPoint p, double move) {
            return !finite(p) || move <= tolerance_ || (!inside(p, view_) && !inside(pm, view_));
        };
        if (!splits || (settled(pa, moveA) && settled(pb, moveB))) {
            emit(pb, !finite(pa) || !finite(pb) || apart(pa, pb) > view_.pixel);
            return;
        }
        const RefinableCurve::Step left = over(a, m);
        const RefinableCurve::Step right = over(m, b);
        if (left.maybeBroken || left.unknown)
            towardsBreak(a, pa, m, pm, depth + 1, moveA, apart(pm, pb));
        else
            chord(a, pa, m, pm, 0);
        if (right.maybeBroken || right.unknown)
            towardsBreak(m, pm, b, pb, depth + 1, apart(pm, pa), moveB);
        else
            chord(m, pm, b, pb, 0);
    }

    const DrawView& view_;
    const curve::Grid& grid_;
    std::vector<Kind> kinds_;
    DrawView near_;
    RefinableCurve& curve_;
    std::vector<myPoint>& out_;
    std::vector<unsigned char>& breaks_;
    const StepBudget budget_;
    const double tolerance_;
    const int maxWork_;
    int work_ = 0;
};

} // namespace

DrawView DrawView::of(double minX, double maxX, double minY, double maxY, myPoint scale, const PlotContext* plane)
{
    const double ratio = plane ? plane->devicePixelRatio() : 1.0;
    return DrawView{minX, maxX, minY, maxY, std::fabs(scale.x), std::fabs(scale.y), 1 / ratio};
}

bool DrawView::usable() const
{
    const auto positive = [](double v) { return std::isfinite(v) && v > 0; };
    return std::isfinite(minX) && std::isfinite(minY) && positive(maxX - minX) && positive(maxY - minY) &&
           positive(scaleX) && positive(scaleY) && positive(pixel);
}

void DrawnPolyline::update(const DrawView& view, std::span<const myPoint> samples,
                           std::span<const unsigned char> sampleBreaks, RefinableCurve& curve)
{
    if (view_ && *view_ == view && sampleCount_ == samples.size())
        return;
    const curve::Grid grid{lo_, hi_, n_};
    view_ = view;
    sampleCount_ = samples.size();
    points_.clear();
    breaks_.clear();
    if (!view.usable() || grid.n < 2 || static_cast<std::size_t>(grid.n) != samples.size())
        return;
    Refiner(view, grid, curve, points_, breaks_).run(samples, sampleBreaks);
}

} // namespace orlix
