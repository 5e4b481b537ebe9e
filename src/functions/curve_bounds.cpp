// What each kind shows of itself when the view zooms to fit it.
#include "orlix/curve_bounds.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "curve_support.h"
#include "orlix/implicit_function.h"
#include "orlix/rf_function.h"
#include "orlix/t_function.h"
#include "orlix/yx_function.h"

namespace orlix {

namespace {

// Samples taken along a variable to find what to show.
constexpr int fitSamples = 1001;
// The marks of an explicit curve shown at most: those nearest the middle
// of the window. A periodic curve has marks all across the window; all of
// them would zoom out further at every fit.
constexpr std::size_t fitMarks = 12;
// Along an axis the farthest hundredth of the points on either side is
// left out when it lies this many times as far out as the rest.
constexpr double outlierRatio = 10;

// The low and high ends of xs and of xs without its farthest hundredth on
// each side. xs is reordered.
struct Span {
    double lo, hi;
};
Span fullSpan(std::vector<double>& xs)
{
    const auto [lo, hi] = std::minmax_element(xs.begin(), xs.end());
    return {*lo, *hi};
}
Span innerSpan(std::vector<double>& xs)
{
    const std::size_t cut = xs.size() / 100;
    std::nth_element(xs.begin(), xs.begin() + static_cast<std::ptrdiff_t>(cut), xs.end());
    const double lo = xs[cut];
    std::nth_element(xs.begin(), xs.end() - 1 - static_cast<std::ptrdiff_t>(cut), xs.end());
    return {lo, xs[xs.size() - 1 - cut]};
}
Span robustSpan(std::vector<double>& xs)
{
    const Span all = fullSpan(xs);
    const Span inner = innerSpan(xs);
    const double innerWidth = inner.hi - inner.lo;
    // A curve of a few points, or one that reaches out evenly, keeps all.
    if (!(all.hi - all.lo > outlierRatio * innerWidth) || innerWidth == 0)
        return all;
    return inner;
}

// Samples of an own-range curve's points over its range.
std::optional<CurveBounds> boundsOverRange(Function& f)
{
    const double lo = f.varMin(), hi = f.varMax();
    if (!curve::isUsableRange(lo, hi))
        return std::nullopt;
    double* cell = f.variable();
    const CellRestore restoreCell(cell);
    const curve::Grid grid{lo, hi, fitSamples};
    std::vector<myPoint> points(static_cast<std::size_t>(grid.n));
    for (int i = 0; i < grid.n; ++i)
        points[static_cast<std::size_t>(i)] = f.positionAt(grid.at(i));
    return boundsOfPoints(points);
}

} // namespace

bool CurveBounds::valid() const
{
    return std::isfinite(minX) && std::isfinite(maxX) && std::isfinite(minY) && std::isfinite(maxY) && minX <= maxX &&
           minY <= maxY;
}

std::optional<CurveBounds> boundsOfPoints(std::span<const myPoint> points)
{
    std::vector<double> xs, ys;
    xs.reserve(points.size());
    ys.reserve(points.size());
    for (const myPoint& p : points) {
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            xs.push_back(p.x);
            ys.push_back(p.y);
        }
    }
    if (xs.empty())
        return std::nullopt;
    const Span x = robustSpan(xs), y = robustSpan(ys);
    return CurveBounds{x.lo, x.hi, y.lo, y.hi};
}

std::optional<CurveBounds> explicitFunction::interestingBounds()
{
    StackMachine* sm = functionSM();
    if (!sm)
        return std::nullopt;
    double* cell = variable_;
    const CellRestore restoreCell(cell);
    const Probe f{sm, cell};
    const Probe df{derivativeSM(), cell};
    // As densely as the curve is drawn: coarser samples take a pole for a
    // root or a turn.
    const int n = std::max(fitSamples, sampleCount());
    auto sampleOver = [&](double lo, double hi, std::vector<double>& vars, std::vector<double>& vals) {
        const curve::Grid grid{lo, hi, n};
        vars.resize(static_cast<std::size_t>(grid.n));
        vals.resize(vars.size());
        for (int i = 0; i < grid.n; ++i) {
            vars[static_cast<std::size_t>(i)] = grid.at(i);
            vals[static_cast<std::size_t>(i)] = f(grid.at(i));
        }
    };

    // The roots and extrema over the sampling window, as (variable, value).
    double lo = windowMin(), hi = windowMax();
    if (!curve::isUsableRange(lo, hi)) {
        lo = -standardHalfWidth;
        hi = standardHalfWidth;
    }
    std::vector<double> vars, vals;
    sampleOver(lo, hi, vars, vals);
    std::vector<std::pair<double, double>> marks;
    // Each search within the budget of one search of the curve.
    for (double r : curve::sampledRoots(f, df, vars, vals, maxMarks, StepBudget(searchStepBudget))) {
        // Whatever the sampling, a root is where the curve is at zero.
        if (std::fabs(f(r)) < 1e-6)
            marks.emplace_back(r, 0.0);
    }
    for (const curve::SampledTurn& t : curve::sampledTurns(f, df, vars, vals, maxMarks, StepBudget(searchStepBudget)))
        marks.emplace_back(t.extremum.at, t.extremum.value);
    std::erase_if(marks, [](const auto& m) { return !std::isfinite(m.first) || !std::isfinite(m.second); });
    const double middle = lo + (hi - lo) / 2;
    if (marks.size() > fitMarks) {
        // The nearest ones; of marks as far out on either side, both or
        // neither, so that fitting again finds the same.
        auto distance = [&](const std::pair<double, double>& m) { return std::fabs(m.first - middle); };
        std::sort(marks.begin(), marks.end(), [&](const auto& a, const auto& b) { return distance(a) < distance(b); });
        const double cut = distance(marks[fitMarks]) - 1e-9 * (hi - lo);
        std::erase_if(marks, [&](const auto& m) { return distance(m) >= cut; });
    }

    // Along the variable: the marks with some room either side; one mark,
    // or none, gets the standard window's width.
    double varLo = -standardHalfWidth, varHi = standardHalfWidth;
    double valLo = 0, valHi = 0;
    bool haveValues = false;
    if (!marks.empty()) {
        const auto [first, last] = std::minmax_element(marks.begin(), marks.end());
        const auto [low, high] = std::minmax_element(marks.begin(), marks.end(),
                                                     [](const auto& a, const auto& b) { return a.second < b.second; });
        varLo = first->first;
        varHi = last->first;
        const double room = varHi > varLo ? (varHi - varLo) / 5 : standardHalfWidth;
        varLo -= room;
        varHi += room;
        valLo = low->second;
        valHi = high->second;
        haveValues = true;
    }
    // Along the value: the marks and the curve between those ends, as far
    // as it stays within about the variable's span of them (a pole or a
    // steep rise would make all else a flat line).
    sampleOver(varLo, varHi, vars, vals);
    std::vector<double> finite;
    for (double v : vals)
        if (std::isfinite(v))
            finite.push_back(v);
    if (finite.empty() && !haveValues)
        return std::nullopt;
    double centre = 0;
    if (haveValues) {
        centre = valLo + (valHi - valLo) / 2;
    } else {
        // The middle value of the curve: a few large values do not move it.
        std::nth_element(finite.begin(), finite.begin() + static_cast<std::ptrdiff_t>(finite.size() / 2), finite.end());
        centre = finite[finite.size() / 2];
        valLo = valHi = centre;
    }
    const double reach = std::max(varHi - varLo, valHi - valLo) / 2;
    for (double v : finite) {
        if (std::fabs(v - centre) <= reach) {
            valLo = std::min(valLo, v);
            valHi = std::max(valHi, v);
        }
    }
    const myPoint a = sample(varLo, valLo), b = sample(varHi, valHi);
    CurveBounds bounds{std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y)};
    if (!bounds.valid())
        return std::nullopt;
    return bounds;
}

std::optional<CurveBounds> rfFunction::interestingBounds() { return boundsOverRange(*this); }

std::optional<CurveBounds> tFunction::interestingBounds() { return boundsOverRange(*this); }

std::optional<CurveBounds> iFunction::interestingBounds()
{
    if (pointCount_ == 0)
        updatePoints();
    const auto n = std::min(static_cast<std::size_t>(std::max(pointCount_, 0)), points_.size());
    return boundsOfPoints(std::span<const myPoint>(points_.data(), n));
}

} // namespace orlix
