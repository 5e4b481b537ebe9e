#include "curve_support.h"

#include "orlix/special_point.h"

#include <algorithm>
#include <limits>

namespace orlix::curve {

std::vector<double> valuesOnGrid(StackMachine* sm, double* cell, const Grid& grid)
{
    const int n = std::max(grid.n, 0);
    std::vector<double> values(static_cast<std::size_t>(n), std::numeric_limits<double>::quiet_NaN());
    if (!sm || n == 0)
        return values;
    constexpr int kBlock = 256;
    double places[kBlock];
    for (int start = 0; start < n; start += kBlock) {
        const int count = std::min(kBlock, n - start);
        for (int k = 0; k < count; ++k)
            places[k] = grid.at(start + k);
        sm->evaluateBlock(cell, places, &values[static_cast<std::size_t>(start)], count);
    }
    *cell = grid.at(n - 1);
    return values;
}

std::vector<double> valuesAt(StackMachine* sm, double* cell, std::span<const double> places)
{
    std::vector<double> values(places.size(), std::numeric_limits<double>::quiet_NaN());
    if (!sm)
        return values;
    for (std::size_t start = 0; start < places.size(); start += 256) {
        const int count = static_cast<int>(std::min<std::size_t>(256, places.size() - start));
        sm->evaluateBlock(cell, places.data() + start, values.data() + start, count);
    }
    for (std::size_t k = 0; k < places.size(); ++k)
        if (!std::isfinite(places[k]))
            values[k] = std::numeric_limits<double>::quiet_NaN();
    return values;
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The same place reached from a sample and by a refinement lands a few
// rounding steps apart.
bool alreadyFound(const std::vector<double>& places, double v, double step)
{
    return std::any_of(places.begin(), places.end(), [&](double p) { return std::fabs(p - v) <= 1e-6 * step; });
}

} // namespace

std::vector<double> sampledRoots(const Probe& f, const Probe& df, std::span<const double> vars,
                                 std::span<const double> vals, std::size_t maxCount, const StepBudget& budget)
{
    std::vector<double> places;
    const int n = static_cast<int>(vals.size());
    if (!f || n < 3)
        return places;
    const double step = std::fabs(vars[1] - vars[0]);
    auto add = [&](double r) {
        if (!std::isnan(r) && !alreadyFound(places, r, step))
            places.push_back(r);
    };
    for (int i = 0; i < n && places.size() < maxCount && !budget.spent(); ++i) {
        const bool signChange = i > 0 && ((vals[i - 1] < 0 && vals[i] > 0) || (vals[i - 1] > 0 && vals[i] < 0));
        if (signChange && !markRules::isZeroSample(vals, i - 1) && !markRules::isZeroSample(vals, i)) {
            if (auto r = markRules::crossingRoot(f, vars[i - 1], vars[i]))
                add(*r);
        }
        if (markRules::isZeroSample(vals, i))
            add(vars[i]);
        // A turn towards zero that touches it, or crosses it twice between
        // two samples.
        const int end = i > 0 && df ? markRules::turnAfter(vals, i) : 0;
        if (!end)
            continue;
        for (double r : markRules::rootsAtTurn(f, df, vars, vals, i, end))
            add(r);
    }
    if (places.size() > maxCount)
        places.resize(maxCount);
    return places;
}

std::vector<SampledTurn> sampledTurns(const Probe& f, const Probe& df, std::span<const double> vars,
                                      std::span<const double> vals, std::size_t maxCount, const StepBudget& budget)
{
    std::vector<SampledTurn> turns;
    std::vector<double> places;
    const int n = static_cast<int>(vals.size());
    if (!f || !df || n < 3)
        return turns;
    const double step = std::fabs(vars[1] - vars[0]);
    for (int i = 1; i < n && turns.size() < maxCount && !budget.spent(); ++i) {
        const int end = markRules::turnAfter(vals, i);
        if (!end)
            continue;
        const bool minimum = vals[i] < vals[i - 1];
        const auto e = markRules::extremumBetween(f, df, vars[i - 1], vars[i], vars[end], minimum);
        if (!e || alreadyFound(places, e->at, step))
            continue;
        places.push_back(e->at);
        turns.push_back(SampledTurn{*e, minimum});
    }
    return turns;
}

std::vector<double> signChangeRoots(const Probe& F, const Grid& grid, double tol, std::size_t maxCount,
                                    const StepBudget& budget)
{
    std::vector<double> places;
    if (!F || grid.n < 2)
        return places;
    // The values are taken as the search moves along the grid, so that a
    // search that spends its budget keeps the places before that point.
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(grid.n));
    auto valueAt = [&](int i) {
        if (i < 0 || i >= grid.n)
            return kNaN;
        while (static_cast<int>(values.size()) <= i)
            values.push_back(F(grid.at(static_cast<int>(values.size()))));
        return values[static_cast<std::size_t>(i)];
    };
    for (int j = 0; j + 1 < grid.n && places.size() < maxCount && !budget.spent(); ++j) {
        int end = j + 1;
        if (!(valueAt(j) * valueAt(j + 1) < 0)) {
            // A grid value right on the zero, between values of opposite
            // signs (the middle of a symmetric range).
            if (!(valueAt(j + 1) == 0 && valueAt(j) * valueAt(j + 2) < 0))
                continue;
            end = j + 2;
        }
        // A missing neighbour at either end counts as large enough.
        const double before = j > 0 ? valueAt(j - 1) : valueAt(j);
        const double after = end + 1 < grid.n ? valueAt(end + 1) : valueAt(end);
        if (!(std::fabs(before) >= tol) || !(std::fabs(after) >= tol))
            continue;
        if (auto r = markRules::crossingRoot(F, grid.at(j), grid.at(end)))
            if (!alreadyFound(places, *r, grid.step()))
                places.push_back(*r);
    }
    return places;
}

namespace {

bool finitePoint(myPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

double cross(myPoint p, myPoint q) { return p.x * q.y - p.y * q.x; }

// The velocity of f at v, by central differences.
myPoint velocity(Function& f, double v, double h)
{
    const myPoint p = f.positionAt(v + h), q = f.positionAt(v - h);
    return myPoint{(p.x - q.x) / (2 * h), (p.y - q.y) / (2 * h)};
}

// Newton's method for a(ta) = b(tb) from the polylines' crossing; the pair
// of parameters when it settles within the two segments (widened by a step
// each) where the curves really cross, nullopt otherwise.
std::optional<std::pair<double, double>> refineCrossing(Function& a, Function& b, double ta, double tb, double aLo,
                                                        double aHi, double bLo, double bHi)
{
    const double widenA = aHi - aLo, widenB = bHi - bLo;
    aLo -= widenA;
    aHi += widenA;
    bLo -= widenB;
    bHi += widenB;
    for (int k = 0; k < 40; ++k) {
        const myPoint pa = a.positionAt(ta), pb = b.positionAt(tb);
        if (!finitePoint(pa) || !finitePoint(pb))
            return std::nullopt;
        const myPoint d{pa.x - pb.x, pa.y - pb.y};
        const double size = std::max({1.0, std::fabs(pa.x), std::fabs(pa.y)});
        const myPoint va = velocity(a, ta, 1e-7 * std::max(1.0, std::fabs(ta)));
        const myPoint vb = velocity(b, tb, 1e-7 * std::max(1.0, std::fabs(tb)));
        const double det = cross(vb, va);
        const double speeds = std::hypot(va.x, va.y) * std::hypot(vb.x, vb.y);
        // Curves that touch or run together have no crossing to refine.
        if (!std::isfinite(det) || !(std::fabs(det) > 1e-6 * speeds))
            return std::nullopt;
        if (std::hypot(d.x, d.y) <= 1e-13 * size)
            return std::pair{ta, tb};
        // va·δa − vb·δb = −d
        const double da = cross(d, vb) / det;
        const double db = -cross(va, d) / det;
        ta += da;
        tb += db;
        if (!(ta >= aLo && ta <= aHi && tb >= bLo && tb <= bHi))
            return std::nullopt;
    }
    const myPoint pa = a.positionAt(ta), pb = b.positionAt(tb);
    const double size = std::max({1.0, std::fabs(pa.x), std::fabs(pa.y)});
    if (std::hypot(pa.x - pb.x, pa.y - pb.y) <= 1e-9 * size)
        return std::pair{ta, tb};
    return std::nullopt;
}

using markRules::goldenLeast;

double distance2(myPoint p, myPoint q) { return (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y); }

// The distance from p to the segment qr.
double segmentDistance(myPoint p, myPoint q, myPoint r)
{
    const double dx = r.x - q.x, dy = r.y - q.y, length2 = dx * dx + dy * dy;
    const double s = length2 > 0 ? std::clamp(((p.x - q.x) * dx + (p.y - q.y) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::sqrt(distance2(p, myPoint{q.x + s * dx, q.y + s * dy}));
}

} // namespace

std::vector<double> polylineCrossings(Function& a, Function& b, std::size_t maxCount, const StepBudget& budget)
{
    std::vector<double> places;
    const std::vector<myPoint>& pa = a.points();
    const std::vector<myPoint>& pb = b.points();
    const int na = static_cast<int>(pa.size()), nb = static_cast<int>(pb.size());
    if (&a == &b || na < 2 || nb < 2 || !isUsableRange(a.varMin(), a.varMax()) ||
        !isUsableRange(b.varMin(), b.varMax()) || !a.variable() || !b.variable())
        return places;
    const Grid ga{a.varMin(), a.varMax(), na}, gb{b.varMin(), b.varMax(), nb};
    const CellRestore restoreCells(a.variable(), b.variable());

    // b's segments with their boxes; a's segments are tried against them.
    struct Box {
        double minX, maxX, minY, maxY;
        int j;
    };
    std::vector<Box> boxes;
    boxes.reserve(static_cast<std::size_t>(nb));
    for (int j = 0; j + 1 < nb; ++j) {
        const myPoint p = pb[static_cast<std::size_t>(j)], q = pb[static_cast<std::size_t>(j + 1)];
        if (finitePoint(p) && finitePoint(q))
            boxes.push_back(Box{std::min(p.x, q.x), std::max(p.x, q.x), std::min(p.y, q.y), std::max(p.y, q.y), j});
    }
    // One mark a place: a curve that runs round more than once (r = 2cos θ
    // over 2π, a parametric circle over many turns) crosses at the same
    // place again.
    std::vector<myPoint> seen;
    bool spent = false;
    for (int i = 0; i + 1 < na && places.size() < maxCount && !spent; ++i) {
        const myPoint p = pa[static_cast<std::size_t>(i)], p2 = pa[static_cast<std::size_t>(i + 1)];
        if (!finitePoint(p) || !finitePoint(p2))
            continue;
        const myPoint r{p2.x - p.x, p2.y - p.y};
        const double minX = std::min(p.x, p2.x), maxX = std::max(p.x, p2.x);
        const double minY = std::min(p.y, p2.y), maxY = std::max(p.y, p2.y);
        for (const Box& box : boxes) {
            if (box.maxX < minX || box.minX > maxX || box.maxY < minY || box.minY > maxY)
                continue;
            const myPoint q = pb[static_cast<std::size_t>(box.j)], q2 = pb[static_cast<std::size_t>(box.j + 1)];
            const myPoint w{q2.x - q.x, q2.y - q.y};
            const double denom = cross(r, w);
            if (!std::isfinite(denom) || denom == 0)
                continue;
            const myPoint qp{q.x - p.x, q.y - p.y};
            const double s = cross(qp, w) / denom, u = cross(qp, r) / denom;
            // Half-open segments, so that a crossing at a shared vertex is
            // seen once; the last segment keeps its far end.
            const bool inA = s >= 0 && (s < 1 || (s == 1 && i + 2 == na));
            const bool inB = u >= 0 && (u < 1 || (u == 1 && box.j + 2 == nb));
            if (!inA || !inB)
                continue;
            if ((spent = budget.spent()))
                break;
            const double a0 = ga.at(i), a1 = ga.at(i + 1), b0 = gb.at(box.j), b1 = gb.at(box.j + 1);
            const auto refined = refineCrossing(a, b, a0 + s * (a1 - a0), b0 + u * (b1 - b0), a0, a1, b0, b1);
            if (!refined || refined->first < ga.lo || refined->first > ga.hi || refined->second < gb.lo ||
                refined->second > gb.hi)
                continue;
            const myPoint at = a.positionAt(refined->first);
            const double size = std::max({1.0, std::fabs(at.x), std::fabs(at.y)});
            const bool known = std::any_of(
                seen.begin(), seen.end(), [&](myPoint o) { return std::hypot(o.x - at.x, o.y - at.y) <= 1e-9 * size; });
            if (known)
                continue;
            seen.push_back(at);
            places.push_back(refined->first);
            if (places.size() >= maxCount)
                break;
        }
    }

    // Where they touch without crossing: the distance from a's samples to
    // b's polyline is least at a sample, small against the segments there,
    // and the distance between the curves around it comes down to nothing.
    std::vector<double> gap(static_cast<std::size_t>(na), std::numeric_limits<double>::infinity());
    std::vector<int> nearest(static_cast<std::size_t>(na), -1);
    for (int i = 0; i < na && !spent; ++i) {
        const myPoint p = pa[static_cast<std::size_t>(i)];
        if (!finitePoint(p))
            continue;
        const double margin =
            2 * std::sqrt(std::max(distance2(p, pa[static_cast<std::size_t>(std::max(i - 1, 0))]),
                                   distance2(p, pa[static_cast<std::size_t>(std::min(i + 1, na - 1))])));
        if (!std::isfinite(margin))
            continue;
        for (const Box& box : boxes) {
            if (p.x < box.minX - margin || p.x > box.maxX + margin || p.y < box.minY - margin ||
                p.y > box.maxY + margin)
                continue;
            const double d =
                segmentDistance(p, pb[static_cast<std::size_t>(box.j)], pb[static_cast<std::size_t>(box.j + 1)]);
            if (d <= margin && d < gap[static_cast<std::size_t>(i)]) {
                gap[static_cast<std::size_t>(i)] = d;
                nearest[static_cast<std::size_t>(i)] = box.j;
            }
        }
    }
    const double far = std::numeric_limits<double>::infinity();
    for (int i = 0; i < na && places.size() < maxCount && !(spent = spent || budget.spent()); ++i) {
        // At an end of the range the curve may touch where it stops.
        const double d = gap[static_cast<std::size_t>(i)];
        const double before = i > 0 ? gap[static_cast<std::size_t>(i - 1)] : far;
        const double after = i + 1 < na ? gap[static_cast<std::size_t>(i + 1)] : far;
        if (!std::isfinite(d) || !(d <= before && d < after) || (i == 0 && !std::isfinite(after)))
            continue;
        const int j = nearest[static_cast<std::size_t>(i)];
        const double sLo = gb.clampedAt(j - 1), sHi = gb.clampedAt(j + 2);
        // The squared distance from a(t) to b, near its nearest segment.
        auto apart = [&](double t) {
            const myPoint p = a.positionAt(t);
            if (!finitePoint(p))
                return std::numeric_limits<double>::infinity();
            return goldenLeast([&](double s) { return distance2(p, b.positionAt(s)); }, sLo, sHi, 64).second;
        };
        const auto [t, least] = goldenLeast(apart, ga.clampedAt(i - 1), ga.clampedAt(i + 1), 64);
        const myPoint at = a.positionAt(t);
        const double size = std::max({1.0, std::fabs(at.x), std::fabs(at.y)});
        if (!(std::sqrt(least) <= 1e-9 * size))
            continue;
        // Curves that run together touch everywhere: no mark.
        auto onB = [&](double v) {
            const myPoint p = a.positionAt(v);
            const double d = goldenLeast([&](double s) { return distance2(p, b.positionAt(s)); }, gb.clampedAt(j - 3),
                                         gb.clampedAt(j + 4), 64)
                                 .second;
            return std::sqrt(d) <= 1e-9 * size;
        };
        if (onB(t - ga.step() / 2) && onB(t + ga.step() / 2))
            continue;
        const bool known = std::any_of(seen.begin(), seen.end(),
                                       [&](myPoint o) { return std::hypot(o.x - at.x, o.y - at.y) <= 1e-6 * size; });
        if (known)
            continue;
        seen.push_back(at);
        places.push_back(t);
    }
    return places;
}

Marks crossingsWithResidual(Function& curve, Function& other, int maxCount, const StepBudget& budget)
{
    Marks found;
    const std::vector<myPoint>& points = curve.points();
    const int n = static_cast<int>(points.size());
    if (n < 2 || !isUsableRange(curve.varMin(), curve.varMax()) || &other == &curve || !curve.variable())
        return found;
    const Grid grid{curve.varMin(), curve.varMax(), n};
    double* cell = curve.variable();
    const CellRestore restoreCell(cell);
    // The residuals at the samples are taken as the search moves along, so
    // that a search that spends its budget keeps the marks before that point.
    std::vector<double> residuals;
    residuals.reserve(static_cast<size_t>(n));
    auto residual = [&](int j) {
        while (static_cast<int>(residuals.size()) <= j)
            residuals.push_back(other.valueForPoint(points[residuals.size()]));
        return residuals[static_cast<size_t>(j)];
    };
    auto small = [&](int j) { return j >= 0 && j < n && std::fabs(residual(j)) < 1e-8; };
    auto residualAt = [&](double v) { return other.valueForPoint(curve.positionAt(v)); };
    for (int j = 0; j < n && static_cast<int>(found.size()) < maxCount && !budget.spent(); ++j) {
        // The curves touch between samples.
        if (j >= 2 && turnsTowardsZero(residual(j - 2), residual(j - 1), residual(j))) {
            const double scale = std::max(std::fabs(residual(j - 2)), std::fabs(residual(j)));
            if (auto v = touchingResidual(grid.at(j - 2), grid.at(j), scale, residualAt)) {
                const myPointInfo info = curve.pointAt(*v);
                if (specialPoint::isInside(info.point))
                    found.push_back(specialPoint::pointWithInfo(info, "inter"));
            }
        }
        if (small(j)) {
            // A sample on the other curve, between two that are not.
            if (!small(j - 1) && !small(j + 1)) {
                const myPointInfo info = curve.pointAt(grid.at(j));
                if (specialPoint::isInside(info.point))
                    found.push_back(specialPoint::pointWithInfo(info, "inter"));
            }
            continue;
        }
        if (j == 0 || small(j - 1) || !(residual(j - 1) * residual(j) < 0))
            continue;
        if (auto v = bisectResidual(grid.at(j - 1), grid.at(j), residualAt)) {
            const myPointInfo info = curve.pointAt(*v);
            if (specialPoint::isInside(info.point))
                found.push_back(specialPoint::pointWithInfo(info, "inter"));
        }
    }
    return found;
}

} // namespace orlix::curve
