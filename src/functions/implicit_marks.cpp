// The implicit curve's marks: where it crosses the axes, where its tangent
// is vertical or horizontal, and where it meets another implicit curve.
#include <algorithm>
#include <cmath>
#include <vector>

#include "curve_support.h"
#include "implicit_support.h"
#include "orlix/implicit_function.h"

namespace orlix {

namespace {

using namespace implicit;

// Chords shorter than this (squared) are resolved.
constexpr double kResolved2 = 4.930380657631324e-32;
constexpr int kExtremumSteps = 30;
constexpr int kIntersectionSteps = 21;
// Largest residual an intersection may keep on either curve.
constexpr double kIntersectionResidual = 0.001;

// Marks of one search, without two at the same place: two segments that
// share an end on an axis, or a grid vertex with more than two neighbours,
// would otherwise mark one point twice.
// The search ends when the marks are full or its budget is spent, with
// the marks it has.
class MarkCollector {
  public:
    MarkCollector(Marks& marks, double tolerance, const StepBudget& budget)
        : marks_(marks), tolerance_(tolerance), budget_(budget)
    {
    }
    bool full() const { return static_cast<int>(marks_.size()) >= iFunction::maxMarks; }
    bool done() const { return full() || budget_.spent(); }
    // The new mark, or nullptr when the point is off the view or marked already.
    // A place found less closely may take a wider tolerance.
    specialPoint* add(const myPointInfo& info, std::string_view type, double widerTolerance = 0)
    {
        if (full() || hasNaN(info.point) || !specialPoint::isInside(info.point))
            return nullptr;
        const double tolerance = std::max(tolerance_, widerTolerance);
        for (const myPoint& p : placed_) {
            if (std::fabs(p.x - info.point.x) <= tolerance && std::fabs(p.y - info.point.y) <= tolerance)
                return nullptr;
        }
        placed_.push_back(info.point);
        marks_.push_back(specialPoint::pointWithInfo(info, type));
        return marks_.back().get();
    }

  private:
    Marks& marks_;
    double tolerance_;
    const StepBudget& budget_;
    std::vector<myPoint> placed_;
};

} // namespace

// ---- axis crossings ----

void iFunction::findRoots()
{
    StackMachine* sm = functionSM();
    if (!sm || pairs_.empty() || tN_ <= 0)
        return;
    double* xc = MathEngine::xAddr();
    double* yc = MathEngine::yAddr();
    const double halfX = (cMaxX_ - cMinX_) / (2.0 * tN_);
    const double halfY = (cMaxY_ - cMinY_) / (2.0 * tN_);
    Marks found;
    const StepBudget budget(searchStepBudget);
    MarkCollector marks(found, 1e-7 * std::max(std::fabs(halfX), std::fabs(halfY)), budget);
    for (const auto& [ia, ib] : pairs_) {
        if (marks.done())
            break;
        const myPoint a = points_[static_cast<size_t>(ia)];
        const myPoint b = points_[static_cast<size_t>(ib)];
        // x axis, then y axis: the same rule with the roles exchanged.
        bool skip = false;
        for (int axis = 0; axis < 2 && !skip; ++axis) {
            const double ua = axis == 0 ? a.y : a.x, ub = axis == 0 ? b.y : b.x;
            const double va = axis == 0 ? a.x : a.y, vb = axis == 0 ? b.x : b.y;
            const double product = ua * ub;
            if (!(product < kEps52))
                continue;
            double at = kNaN;
            if (product < -kEps52) {
                const double mid = (va + vb) / 2;
                const double half = axis == 0 ? halfX : halfY;
                CellGuard guard;
                *(axis == 0 ? yc : xc) = 0;
                at = sm->findRootBetweenVar1(mid - half, mid + half, axis == 0 ? xc : yc);
            } else if (std::fabs(ua) < kTiny && std::fabs(ub) < kTiny) {
                // The segment lies along the axis: no single crossing.
                skip = true;
                continue;
            } else {
                at = std::fabs(ua) < std::fabs(ub) ? va : vb;
            }
            if (std::isnan(at))
                continue;
            marks.add(axis == 0 ? myPointInfoForXY(at, 0) : myPointInfoForXY(0, at), "root");
        }
    }
    addMarks(found);
}

// ---- vertical and horizontal tangents ----

myPoint iFunction::interOfTangents(myPoint p1, double k1, myPoint p2, double k2)
{
    const double x = (k1 * p1.x - k2 * p2.x - p1.y + p2.y) / (k1 - k2);
    return {x, k1 * (x - p1.x) + p1.y};
}

myPoint iFunction::findExtremum(StackMachine& g, StackMachine& gx, StackMachine& gy, StackMachine& d, myPoint p1,
                                myPoint p2)
{
    CellGuard guard;
    double s1 = evaluateAt(d, p1);
    double s2 = evaluateAt(d, p2);
    if (s1 * s2 > 0)
        return {kNaN, kNaN};
    myPoint c = p1;
    for (int step = 0; step < kExtremumSteps; ++step) {
        if (hasNaN(c))
            break;
        const double k1 = -evaluateAt(gx, p1) / evaluateAt(gy, p1);
        const double k2 = -evaluateAt(gx, p2) / evaluateAt(gy, p2);
        const myPoint r = d.findRootBetweenP1(p1, p2);
        const myPoint t = interOfTangents(p1, k1, p2, k2);
        c = g.findRootBetweenP1(r, t);
        const double w = evaluateAt(d, c);
        if (s1 * w < 0) {
            p2 = c;
            s2 = w;
        } else if (s2 * w < 0) {
            p1 = c;
            s1 = w;
        } else {
            break;
        }
        if (std::fabs(w) <= kTiny || std::isnan(w))
            break;
    }
    return c;
}

void iFunction::tangentPass(bool byX, StackMachine& g, StackMachine& gx, StackMachine& gy, StackMachine& d,
                            Marks& found, const StepBudget& budget)
{
    // Two neighbours per point: slot 0 the one below (left of) it, slot 1 above.
    std::vector<std::array<int, 2>> neighbours(static_cast<size_t>(pointCount_), {-1, -1});
    const auto key = [&](int i) {
        const myPoint& p = points_[static_cast<size_t>(i)];
        return byX ? p.x : p.y;
    };
    const double halfCell = std::max(std::fabs(cMaxX_ - cMinX_), std::fabs(cMaxY_ - cMinY_)) / (2.0 * tN_);
    MarkCollector marks(found, 1e-7 * halfCell, budget);
    for (const auto& [a, b] : pairs_) {
        if (marks.done())
            break;
        const int w = key(a) > key(b) ? a : b;
        const int A = w == a ? b : a;
        int other;
        bool lowEnd; // A is the lowest (leftmost) point rather than w the highest
        if (neighbours[w][0] < 0) {
            neighbours[w][0] = A;
            if (neighbours[A][1] < 0) {
                neighbours[A][1] = w;
                continue;
            }
            other = neighbours[A][1];
            lowEnd = true;
        } else {
            other = neighbours[w][0];
            lowEnd = false;
        }
        const myPoint pw = points_[static_cast<size_t>(w)];
        const myPoint pA = points_[static_cast<size_t>(A)];
        const myPoint pO = points_[static_cast<size_t>(other)];
        const double dw = evaluateAt(d, pw), dA = evaluateAt(d, pA), dO = evaluateAt(d, pO);
        myPoint at;
        if (std::fabs(dw * dA * dO) < kEps52) {
            const bool zw = std::fabs(dw) < kTiny, zA = std::fabs(dA) < kTiny, zO = std::fabs(dO) < kTiny;
            if (zw + zA + zO != 1)
                continue;
            at = zw ? pw : zA ? pA : pO;
        } else if (dw * dO < 0) {
            at = findExtremum(g, gx, gy, d, pw, pO);
        } else if (dw * dA > 0) {
            continue;
        } else {
            at = findExtremum(g, gx, gy, d, pw, pA);
        }
        if (hasNaN(at))
            continue;
        specialPoint* mark = marks.add(myPointInfoForXY(at.x, at.y), "minmax");
        if (!mark)
            continue;
        if (byX)
            mark->setBetta(lowEnd ? 4.712389f : 1.5707964f);
        else if (lowEnd)
            mark->setBetta(3.1415927f);
    }
}

void iFunction::findExtrs()
{
    StackMachine* g = functionSM();
    iFunction* gxF = xDif();
    iFunction* gyF = yDif();
    StackMachine* gx = gxF ? gxF->functionSM() : nullptr;
    StackMachine* gy = gyF ? gyF->functionSM() : nullptr;
    if (!g || !gx || !gy || pairs_.empty() || tN_ <= 0)
        return;
    CellGuard guard;
    Marks found;
    // One budget for both passes.
    const StepBudget budget(searchStepBudget);
    tangentPass(true, *g, *gx, *gy, *gy, found, budget);
    Marks second;
    tangentPass(false, *g, *gx, *gy, *gx, second, budget);
    for (auto& m : second) {
        if (static_cast<int>(found.size()) >= maxMarks)
            break;
        found.push_back(std::move(m));
    }
    addMarks(found);
}

// ---- intersections with another implicit curve ----

myPoint iFunction::intersectionPoint(myPoint a1, myPoint a2, myPoint b1, myPoint b2, StackMachine& gA, StackMachine& gB)
{
    const myPoint none{kNaN, kNaN};
    CellGuard guard;
    double gBa2 = evaluateAt(gB, a2);
    double gAb2 = evaluateAt(gA, b2);
    const double gBa1 = evaluateAt(gB, a1);
    const double gAb1 = evaluateAt(gA, b1);
    if (gBa1 * gBa2 > 0 || gAb1 * gAb2 > 0)
        return none;
    if (std::fabs(gBa1) < kEps52)
        return a1;
    if (std::fabs(gBa2) < kEps52)
        return a2;
    if (std::fabs(gAb1) < kEps52)
        return b1;
    if (std::fabs(gAb2) < kEps52)
        return b2;
    const auto dist2 = [](myPoint p, myPoint q) { return (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y); };
    const auto same = [](myPoint p, myPoint q) { return p.x == q.x && p.y == q.y; };
    // The line through p and q, evaluated at r.
    const auto line = [](myPoint p, myPoint q, myPoint r) {
        return (p.y - q.y) * r.x + (q.x - p.x) * r.y + (p.x * q.y - p.y * q.x);
    };
    myPoint rA = none, rB = none;
    double eA = kNaN, eB = kNaN;
    for (int step = 0; step < kIntersectionSteps; ++step) {
        if (dist2(a1, a2) <= kResolved2 && dist2(b1, b2) <= kResolved2)
            break;
        rA = gB.findRootBetweenP1(a1, a2);
        rB = gA.findRootBetweenP1(b1, b2);
        if (hasNaN(rA) || hasNaN(rB))
            return none;
        eB = evaluateAt(gB, rB);
        eA = evaluateAt(gA, rA);
        if (!std::isfinite(eA) || !std::isfinite(eB))
            return none;
        if (same(rB, a1) || same(rB, a2) || same(rA, b1) || same(rA, b2))
            break;
        if (gBa2 * eB <= 0)
            a1 = a2;
        if (gAb2 * eA <= 0)
            b1 = b2;
        if (line(a1, rB, b1) * line(a1, rB, rA) > 0 || line(b1, rA, a1) * line(b1, rA, rB) > 0)
            break;
        a2 = rB;
        gBa2 = eB;
        b2 = rA;
        gAb2 = eA;
    }
    if (std::fabs(eA) > kIntersectionResidual && std::fabs(eB) > kIntersectionResidual)
        return none;
    if (std::isnan(eA) && std::isnan(eB))
        return none;
    return std::fabs(eB) > std::fabs(eA) ? rA : rB;
}

namespace {

// The gradient of g at p by central differences of step h.
myPoint gradientAt(StackMachine& g, myPoint p, double h)
{
    return {(evaluateAt(g, {p.x + h, p.y}) - evaluateAt(g, {p.x - h, p.y})) / (2 * h),
            (evaluateAt(g, {p.x, p.y + h}) - evaluateAt(g, {p.x, p.y - h})) / (2 * h)};
}

// p brought onto g = 0 by Newton's steps along the gradient.
myPoint ontoCurve(StackMachine& g, myPoint p, double h)
{
    for (int k = 0; k < 4; ++k) {
        const myPoint d = gradientAt(g, p, h);
        const double d2 = d.x * d.x + d.y * d.y;
        const double value = evaluateAt(g, p);
        if (!(d2 > 0) || !std::isfinite(value))
            return {kNaN, kNaN};
        p = {p.x - value * d.x / d2, p.y - value * d.y / d2};
    }
    return p;
}

// How far p lies from g = 0, to first order, with the sign of g.
double signedDistance(StackMachine& g, myPoint p, double h)
{
    const myPoint d = gradientAt(g, p, h);
    return evaluateAt(g, p) / std::hypot(d.x, d.y);
}

// The unit tangent of g = 0 at p.
myPoint tangentAt(StackMachine& g, myPoint p, double h)
{
    const myPoint n = gradientAt(g, p, h);
    const double length = std::hypot(n.x, n.y);
    return length > 0 && std::isfinite(length) ? myPoint{-n.y / length, n.x / length} : myPoint{kNaN, kNaN};
}

// The two curves run together through p: points of the first a cell's width
// along it on either side, brought back onto it, lie on the second as well.
// Crossing curves part there by about the cell times the angle between them,
// touching ones by the cell squared times their difference in bending.
bool runTogetherAt(myPoint p, StackMachine& gA, StackMachine& gB, double cell)
{
    if (!(cell > 0))
        return false;
    CellGuard guard;
    const double h = 1e-7 * cell;
    const myPoint t = tangentAt(gA, p, h);
    if (hasNaN(t))
        return false;
    for (double s : {-cell, cell}) {
        const myPoint q = ontoCurve(gA, {p.x + s * t.x, p.y + s * t.y}, h);
        if (hasNaN(q) || !(std::fabs(signedDistance(gB, q, h)) <= 1e-6 * cell))
            return false;
    }
    return true;
}

// Adds the places where the curve of `points` and `pairs` (on gA = 0)
// touches gB = 0 without crossing it.
template <class InfoAt>
void addTouches(const std::vector<myPoint>& points, const std::vector<std::pair<int, int>>& pairs, StackMachine& gA,
                StackMachine& gB, double cell, MarkCollector& marks, InfoAt&& infoAt)
{
    // Curves that touch: along this curve the distance to the other comes
    // down to nothing at a point and rises again on every side.
    if (!(cell > 0))
        return;
    CellGuard guard;
    const double h = 1e-7 * cell;
    const std::size_t count = points.size();
    std::vector<double> apart(count, kNaN);
    std::vector<std::vector<int>> neighbours(count);
    for (const auto& [u, v] : pairs) {
        neighbours[static_cast<std::size_t>(u)].push_back(v);
        neighbours[static_cast<std::size_t>(v)].push_back(u);
    }
    for (std::size_t k = 0; k < count && !(k % 64 == 0 && marks.done()); ++k)
        if (!neighbours[k].empty())
            apart[k] = std::fabs(signedDistance(gB, points[k], h));
    for (std::size_t k = 0; k < count && !marks.done(); ++k) {
        const double d = apart[k];
        if (!(d <= cell))
            continue;
        bool least = true, below = false;
        double reach = 0, scale = 0;
        for (int n : neighbours[k]) {
            const double other = apart[static_cast<std::size_t>(n)];
            least = least && !(other < d);
            below = below || other > d;
            scale = std::max(scale, std::isfinite(other) ? other : 0.0);
            const myPoint q = points[static_cast<std::size_t>(n)];
            reach = std::max(reach, std::hypot(q.x - points[k].x, q.y - points[k].y));
        }
        if (!least || !below)
            continue;
        const myPoint p = points[k];
        const myPoint t = tangentAt(gA, p, h);
        if (hasNaN(t))
            continue;
        auto along = [&](double s) { return ontoCurve(gA, {p.x + s * t.x, p.y + s * t.y}, h); };
        const auto s = curve::touchingResidual(-reach, reach, scale, [&](double s) {
            const myPoint q = along(s);
            return hasNaN(q) ? kNaN : signedDistance(gB, q, h);
        });
        if (!s)
            continue;
        const myPoint at = along(*s);
        if (!hasNaN(at) && !runTogetherAt(at, gA, gB, cell))
            marks.add(infoAt(at), "inter", 1e-6 * cell);
    }
}

} // namespace

Marks iFunction::intersectWith(Function& other)
{
    auto* curve = dynamic_cast<iFunction*>(&other);
    if (!curve || curve == this)
        return {};
    StackMachine* gA = functionSM();
    StackMachine* gB = curve->functionSM();
    if (!gA || !gB || pairs_.empty() || curve->pairs_.empty())
        return {};
    const auto& ownPoints = points_;
    const auto& otherPoints = curve->points_;
    const auto& ownPairs = pairs_;
    const auto& otherPairs = curve->pairs_;

    // Candidate pairs come from a grid of buckets over both curves: each of
    // the other curve's segments sits in the buckets its bounding box
    // covers, and each own segment is tested against those of its buckets.
    double lx = std::numeric_limits<double>::infinity(), ly = lx, hx = -lx, hy = -lx;
    for (const auto* pts : {&ownPoints, &otherPoints}) {
        for (const myPoint& p : *pts) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                continue;
            lx = std::min(lx, p.x);
            hx = std::max(hx, p.x);
            ly = std::min(ly, p.y);
            hy = std::max(hy, p.y);
        }
    }
    if (!(lx <= hx && ly <= hy))
        return {};
    const int side = std::clamp(std::max(tN_, curve->tN_), 1, maxGridSize);
    const double cellW = (hx - lx) / side, cellH = (hy - ly) / side;
    const auto column = [&](double x) {
        return cellW > 0 ? std::clamp(static_cast<int>((x - lx) / cellW), 0, side - 1) : 0;
    };
    const auto row = [&](double y) {
        return cellH > 0 ? std::clamp(static_cast<int>((y - ly) / cellH), 0, side - 1) : 0;
    };
    struct Box {
        int c0, c1, r0, r1;
    };
    const auto boxOf = [&](const myPoint& p, const myPoint& q) -> std::optional<Box> {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(q.x) || !std::isfinite(q.y))
            return std::nullopt;
        return Box{column(std::min(p.x, q.x)), column(std::max(p.x, q.x)), row(std::min(p.y, q.y)),
                   row(std::max(p.y, q.y))};
    };
    // Bucket lists in one array: start[c] .. start[c + 1].
    std::vector<int> start(static_cast<size_t>(side * side + 1), 0);
    std::vector<Box> otherBoxes(otherPairs.size(), Box{0, -1, 0, -1});
    for (size_t j = 0; j < otherPairs.size(); ++j) {
        const auto box = boxOf(otherPoints[static_cast<size_t>(otherPairs[j].first)],
                               otherPoints[static_cast<size_t>(otherPairs[j].second)]);
        if (!box)
            continue;
        otherBoxes[j] = *box;
        for (int r = box->r0; r <= box->r1; ++r)
            for (int c = box->c0; c <= box->c1; ++c)
                ++start[static_cast<size_t>(r * side + c + 1)];
    }
    for (size_t c = 1; c < start.size(); ++c)
        start[c] += start[c - 1];
    std::vector<int> bucket(static_cast<size_t>(start.back()));
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (size_t j = 0; j < otherPairs.size(); ++j) {
        const Box& box = otherBoxes[j];
        for (int r = box.r0; r <= box.r1; ++r)
            for (int c = box.c0; c <= box.c1; ++c)
                bucket[static_cast<size_t>(fill[static_cast<size_t>(r * side + c)]++)] = static_cast<int>(j);
    }

    const auto line = [](myPoint p, myPoint q, myPoint r) {
        return (p.y - q.y) * r.x + (q.x - p.x) * r.y + (p.x * q.y - p.y * q.x);
    };
    // The side of the line pq that r lies on: 0 within rounding of the line.
    const double onLine = 1e-9 * std::max(cellW, cellH);
    const auto sideOf = [&](myPoint p, myPoint q, myPoint r) {
        const double distance = line(p, q, r) / std::hypot(q.x - p.x, q.y - p.y);
        return std::fabs(distance) <= onLine ? 0.0 : distance;
    };
    std::vector<int> seenBy(otherPairs.size(), -1);
    Marks found;
    const StepBudget budget(searchStepBudget);
    MarkCollector marks(found, 1e-9 * std::max(hx - lx, hy - ly), budget);
    for (size_t i = 0; i < ownPairs.size() && !marks.done(); ++i) {
        const myPoint a1 = ownPoints[static_cast<size_t>(ownPairs[i].first)];
        const myPoint a2 = ownPoints[static_cast<size_t>(ownPairs[i].second)];
        const auto box = boxOf(a1, a2);
        if (!box)
            continue;
        for (int r = box->r0; r <= box->r1; ++r) {
            for (int c = box->c0; c <= box->c1; ++c) {
                const size_t cell = static_cast<size_t>(r * side + c);
                for (int k = start[cell]; k < start[cell + 1]; ++k) {
                    const int j = bucket[static_cast<size_t>(k)];
                    if (seenBy[static_cast<size_t>(j)] == static_cast<int>(i))
                        continue;
                    seenBy[static_cast<size_t>(j)] = static_cast<int>(i);
                    const myPoint b1 = otherPoints[static_cast<size_t>(otherPairs[static_cast<size_t>(j)].first)];
                    const myPoint b2 = otherPoints[static_cast<size_t>(otherPairs[static_cast<size_t>(j)].second)];
                    // Segments that cross, or meet where one ends on the
                    // other: curves on grids over one window often share the
                    // point where they cross an edge. Collinear ones do not count.
                    const double b1Side = sideOf(a1, a2, b1), b2Side = sideOf(a1, a2, b2);
                    const double sideB = sideOf(b1, b2, a1) * sideOf(b1, b2, a2);
                    if (!(b1Side * b2Side <= 0 && sideB <= 0) || (b1Side == 0 && b2Side == 0))
                        continue;
                    if (marks.done())
                        return found;
                    const myPoint at = intersectionPoint(a1, a2, b1, b2, *gA, *gB);
                    if (hasNaN(at) || runTogetherAt(at, *gA, *gB, std::max(cellW, cellH)))
                        continue;
                    marks.add(myPointInfoForXY(at.x, at.y), "inter");
                }
            }
        }
    }
    addTouches(ownPoints, ownPairs, *gA, *gB, std::max(cellW, cellH), marks,
               [&](myPoint at) { return myPointInfoForXY(at.x, at.y); });
    return found;
}

} // namespace orlix
