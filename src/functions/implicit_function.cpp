#include "orlix/implicit_function.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

#include "orlix/error.h"
#include "orlix/expression_record.h"
#include "orlix/format.h"
#include "orlix/math_engine.h"
#include "orlix/record.h"
#include "orlix/special_point.h"

namespace orlix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// 2^-52.
constexpr double kEps52 = 2.220446049250313e-16;
// Below this a value counts as zero on the curve or on an axis.
constexpr double kTiny = 2.220446049250313e-12;
// Chords shorter than this (squared) are resolved.
constexpr double kResolved2 = 4.930380657631324e-32;
constexpr int kExtremumSteps = 30;
constexpr int kIntersectionSteps = 21;
// Largest residual an intersection may keep on either curve.
constexpr double kIntersectionResidual = 0.001;

bool hasNaN(myPoint p) { return std::isnan(p.x) || std::isnan(p.y); }

// Evaluates a program of x and y at p.
double evaluateAt(StackMachine& sm, myPoint p)
{
    *MathEngine::xAddr() = p.x;
    *MathEngine::yAddr() = p.y;
    return sm.evaluate();
}

// The crossing of g along one grid edge from a to b, where the values fa
// and fb have opposite signs: regula falsi with the Illinois step, which
// needs a handful of evaluations where halving needs fifty, closed to a few
// units in the last place. NaN where g has no finite value on the way or the
// sign change is a pole (the values grow instead of shrinking). At most
// maxSteps evaluations: one gives the chord's crossing, still tested for a
// pole.
double edgeCrossing(StackMachine& sm, double* cell, double a, double b, double fa, double fb, int maxSteps = 200)
{
    const double startSize = std::min(std::fabs(fa), std::fabs(fb));
    int lastMoved = 0; // -1: a moved last, +1: b moved last
    double c = a, fc = fa;
    for (int step = 0; step < maxSteps; ++step) {
        c = (a * fb - b * fa) / (fb - fa);
        const double lo = std::min(a, b), hi = std::max(a, b);
        if (!(c > lo && c < hi))
            c = 0.5 * (a + b);
        if (c <= lo || c >= hi)
            break; // no double lies strictly between a and b
        *cell = c;
        fc = sm.evaluate();
        if (!std::isfinite(fc))
            return std::numeric_limits<double>::quiet_NaN();
        if (fc == 0)
            return c;
        if ((fc < 0) == (fb < 0)) {
            b = c;
            fb = fc;
            if (lastMoved == 1)
                fa *= 0.5;
            lastMoved = 1;
        } else {
            a = c;
            fa = fc;
            if (lastMoved == -1)
                fb *= 0.5;
            lastMoved = -1;
        }
        if (std::fabs(b - a) <= 4 * kEps52 * std::max(std::fabs(a), std::fabs(b)))
            break;
    }
    if (std::fabs(fc) > startSize)
        return std::numeric_limits<double>::quiet_NaN();
    return c;
}

// Saves the engine's x and y cells and puts them back on leaving.
class CellGuard {
  public:
    CellGuard() : x_(*MathEngine::xAddr()), y_(*MathEngine::yAddr()) {}
    ~CellGuard()
    {
        *MathEngine::xAddr() = x_;
        *MathEngine::yAddr() = y_;
    }
    CellGuard(const CellGuard&) = delete;
    CellGuard& operator=(const CellGuard&) = delete;

  private:
    double x_, y_;
};

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
    specialPoint* add(const myPointInfo& info, std::string_view type)
    {
        if (full() || hasNaN(info.point) || !specialPoint::isInside(info.point))
            return nullptr;
        for (const myPoint& p : placed_) {
            if (std::fabs(p.x - info.point.x) <= tolerance_ && std::fabs(p.y - info.point.y) <= tolerance_)
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

// ---- construction ----

iFunction::iFunction() : cMinX_(kNaN), cMaxX_(kNaN), cMinY_(kNaN), cMaxY_(kNaN) {}

std::shared_ptr<iFunction> iFunction::functionFromString(std::string_view text)
{
    auto f = functionFromFS(fStack::createWithString(text), std::string(text));
    if (f)
        f->setFunctionInfo({{"f", std::string(text)}});
    return f;
}

std::shared_ptr<iFunction> iFunction::functionFromFS(fStack::Owner fs, std::string repr)
{
    if (!fs)
        return nullptr;
    auto f = std::make_shared<iFunction>();
    f->setStringRepresentation(repr.empty() ? record::placeholderText() : std::move(repr));
    f->formula_.adopt(fStack::optimize(std::move(fs)));
    f->setLineWidth(1.0f);
    f->setColor(Color{1, 0, 0, 1});
    return f;
}

std::shared_ptr<iFunction> iFunction::functionFromChecked(CheckedFormula formula)
{
    if (!formula.expression)
        return nullptr;
    auto f = std::make_shared<iFunction>();
    f->setFunctionInfo({{"f", formula.text}});
    f->setStringRepresentation(formula.text.empty() ? record::placeholderText() : formula.text);
    f->formula_.adopt(std::move(formula.expression), std::move(formula.program));
    f->setLineWidth(1.0f);
    f->setColor(Color{1, 0, 0, 1});
    return f;
}

Function::Ptr iFunction::fromDict(const json& r)
{
    if (!r.is_object())
        return nullptr;
    auto it = r.find("functionSM");
    if (it == r.end())
        return nullptr;
    std::shared_ptr<iFunction> f;
    try {
        fStack::Owner fs = record::readExpression(*it);
        if (!fs)
            return nullptr;
        f = functionFromFS(std::move(fs), record::readString(r, "strRepr"));
    } catch (const Error&) {
        return nullptr;
    }
    if (!f)
        return nullptr;
    f->applyRecord(r);
    f->setN(record::readInt(r, "n", 0));
    return f;
}

iFunction* iFunction::derivative(std::shared_ptr<iFunction>& slot, bool& failed, const char* base)
{
    if (slot || failed || !formula_)
        return slot.get();
    try {
        MathEngine::sharedEngine().setDifBase(base);
        fStack::Owner d = formula_.list()->last()->dif();
        const std::string text = "D(" + stringRepresentation_ + ", " + base + ")";
        auto made = d ? functionFromFS(std::move(d), text) : nullptr;
        if (made && made->functionSM()) {
            made->setFunctionInfo({{"f", text}, {"d", "d"}});
            slot = std::move(made);
        }
    } catch (const Error&) {
        slot.reset();
    }
    failed = !slot;
    return slot.get();
}

iFunction* iFunction::xDif() { return derivative(xDif_, xDifFailed_, "x"); }

iFunction* iFunction::yDif() { return derivative(yDif_, yDifFailed_, "y"); }

void iFunction::setN(int n) { n_ = n == 0 ? 0 : std::clamp(n, minGridSize, maxGridSize); }

void iFunction::fillStaticInfo()
{
    if (cNumOfPoints_ == 0)
        cNumOfPoints_ = defaultNumOfPoints;
}

double iFunction::valueAt(double x, double y)
{
    StackMachine* sm = functionSM();
    if (!sm)
        return kNaN;
    *MathEngine::xAddr() = x;
    *MathEngine::yAddr() = y;
    return sm->evaluate();
}

// ---- the grid pass ----

void iFunction::updatePoints()
{
    // The drawing may have sized the point buffer to the nominal count while
    // the curve had no points; the pass decides how many there are.
    if (points_.size() != static_cast<size_t>(pointCount_))
        points_.resize(static_cast<size_t>(pointCount_));
    if (n_ == 0)
        n_ = defaultGridSize;
    // A grid of n cells a side runs the program at (n+1)² points: a long
    // formula gets a coarser grid, within the sample budget.
    StackMachine* program = functionSM();
    const int points = boundedSampleCount((n_ + 1) * (n_ + 1), program ? program->funcNumber() : 0);
    const int side =
        std::clamp(static_cast<int>(std::sqrt(static_cast<double>(points))) - 1, std::min(n_, minGridSize), n_);
    const double lx = minX(), hx = maxX(), ly = minY(), hy = maxY();
    if (side == tN_ && lx == cMinX_ && hx == cMaxX_ && ly == cMinY_ && hy == cMaxY_)
        return;
    // A window of NaN or infinite bounds has no grid: the previous curve stays.
    if (!std::isfinite(lx) || !std::isfinite(hx) || !std::isfinite(ly) || !std::isfinite(hy))
        return;
    tN_ = side;
    cMinX_ = lx;
    cMaxX_ = hx;
    cMinY_ = ly;
    cMaxY_ = hy;
    if ((hx - lx) * (hy - ly) == 0)
        return;
    StackMachine* sm = functionSM();
    if (!sm)
        return;

    const int n = side;
    const double dx = (hx - lx) / n;
    const double dy = (hy - ly) / n;
    double* xc = MathEngine::xAddr();
    double* yc = MathEngine::yAddr();
    CellGuard guard;
    // Once the pass has spent its budget (a long formula crossing nearly
    // every edge), each remaining crossing takes the chord's point on its
    // edge instead of closing in on the curve.
    const StepBudget budget(redrawStepBudget);
    const auto crossingSteps = [&] { return budget.spent() ? 1 : 200; };

    // The storage follows the pass: a grid of n cells per side has at most
    // 2n² crossed edges and two segments per cell.
    std::vector<myPoint> pts;
    std::vector<std::pair<int, int>> segs;
    pts.reserve(static_cast<size_t>(8 * n));
    segs.reserve(static_cast<size_t>(8 * n));
    std::vector<double> gPrev(n), gCur(n);
    std::vector<int> hPrev(n, -1), hCur(n, -1), vert(n, -1);
    // Points at grid vertices where g is exactly zero, one per vertex: the
    // edges meeting there all cross at that one point.
    std::vector<int> zeroPrev(n, -1), zeroCur(n, -1);
    bool anyFinite = false;

    std::vector<double> columns(n);
    for (int m = 0; m < n; ++m)
        columns[m] = lx + m * dx;
    const auto evalRow = [&](double y, std::vector<double>& out) {
        *yc = y;
        sm->evaluateBlock(xc, columns.data(), out.data(), n);
        for (int m = 0; m < n; ++m)
            anyFinite = anyFinite || std::isfinite(out[m]);
    };
    const auto vertex = [&](std::vector<int>& zeros, int m, double y) {
        if (zeros[m] < 0) {
            zeros[m] = static_cast<int>(pts.size());
            pts.push_back({lx + m * dx, y});
        }
        return zeros[m];
    };
    const auto horizontal = [&](double y, const std::vector<double>& g, std::vector<int>& idx,
                                std::vector<int>& zeros) {
        idx[0] = -1;
        for (int i = 1; i < n; ++i) {
            idx[i] = -1;
            if (!(g[i - 1] * g[i] <= 0))
                continue;
            if (g[i - 1] == 0 || g[i] == 0) {
                idx[i] = vertex(zeros, g[i - 1] == 0 ? i - 1 : i, y);
                continue;
            }
            const double a = lx + (i - 1) * dx;
            *yc = y;
            const double r = edgeCrossing(*sm, xc, a, a + dx, g[i - 1], g[i], crossingSteps());
            if (std::isnan(r))
                continue;
            idx[i] = static_cast<int>(pts.size());
            pts.push_back({r, y});
        }
    };

    evalRow(ly, gPrev);
    horizontal(ly, gPrev, hPrev, zeroPrev);
    for (int l = 1; l < n; ++l) {
        const double y = ly + l * dy;
        std::fill(zeroCur.begin(), zeroCur.end(), -1);
        evalRow(y, gCur);
        for (int m = 0; m < n; ++m) {
            vert[m] = -1;
            if (!(gCur[m] * gPrev[m] <= 0))
                continue;
            if (gCur[m] == 0 || gPrev[m] == 0) {
                vert[m] = gCur[m] == 0 ? vertex(zeroCur, m, y) : vertex(zeroPrev, m, y - dy);
                continue;
            }
            *xc = lx + m * dx;
            const double r = edgeCrossing(*sm, yc, y, y - dy, gCur[m], gPrev[m], crossingSteps());
            *yc = y;
            if (std::isnan(r))
                continue;
            vert[m] = static_cast<int>(pts.size());
            pts.push_back({lx + m * dx, r});
        }
        horizontal(y, gCur, hCur, zeroCur);
        for (int i = 1; i < n; ++i) {
            const int L = vert[i - 1], R = vert[i], B = hPrev[i], T = hCur[i];
            const bool saddle = L >= 0 && R >= 0 && B >= 0 && T >= 0 && L != B && L != T && R != B && R != T;
            if (saddle) {
                // Which opposite corners the region around the centre joins
                // decides the two branches.
                const double centre = evaluateAt(*sm, {lx + (i - 0.5) * dx, y - 0.5 * dy});
                if (centre == 0) {
                    segs.emplace_back(L, R);
                    segs.emplace_back(B, T);
                } else if (centre * gPrev[i - 1] > 0 || centre * gCur[i] > 0) {
                    segs.emplace_back(R, B);
                    segs.emplace_back(L, T);
                } else {
                    segs.emplace_back(L, B);
                    segs.emplace_back(R, T);
                }
                continue;
            }
            const std::array<std::pair<int, int>, 6> order{{{L, B}, {L, T}, {L, R}, {R, B}, {R, T}, {B, T}}};
            const size_t cellStart = segs.size();
            // Zeros at two opposite corners are joined across the cell only
            // when g vanishes at its centre too (a line through both); x·y = 0
            // has zeros at every vertex of the axes and no diagonal.
            const int lowerLeft = zeroPrev[i - 1], lowerRight = zeroPrev[i];
            const int upperLeft = zeroCur[i - 1], upperRight = zeroCur[i];
            const auto opposite = [&](int a, int b) {
                const auto is = [&](int p, int q) {
                    return p >= 0 && q >= 0 && ((a == p && b == q) || (a == q && b == p));
                };
                return is(lowerLeft, upperRight) || is(lowerRight, upperLeft);
            };
            for (const auto& [a, b] : order) {
                if (a < 0 || b < 0 || a == b)
                    continue;
                if (opposite(a, b)) {
                    const double centre = evaluateAt(*sm, {lx + (i - 0.5) * dx, y - 0.5 * dy});
                    const double size = std::max({std::fabs(gPrev[i - 1]), std::fabs(gPrev[i]), std::fabs(gCur[i - 1]),
                                                  std::fabs(gCur[i]), 1.0});
                    if (!(std::fabs(centre) <= kTiny * size))
                        continue;
                }
                // Two edges ending at one zero vertex name the same point.
                const bool joined = std::any_of(
                    segs.begin() + static_cast<std::ptrdiff_t>(cellStart), segs.end(), [a = a, b = b](const auto& s) {
                        return (s.first == a && s.second == b) || (s.first == b && s.second == a);
                    });
                if (!joined)
                    segs.emplace_back(a, b);
            }
        }
        std::swap(gPrev, gCur);
        std::swap(hPrev, hCur);
        std::swap(zeroPrev, zeroCur);
    }
    ++passCount_;
    // A formula that is NaN over the whole window keeps the previous curve.
    if (!anyFinite)
        return;
    points_ = std::move(pts);
    pairs_ = std::move(segs);
    pointCount_ = static_cast<int>(points_.size());
}

// ---- point information ----

myPointInfo iFunction::myPointInfoForXY(double x, double y)
{
    myPointInfo r;
    if (std::isnan(x) || std::isnan(y))
        return r;
    iFunction* gxF = xDif();
    iFunction* gyF = yDif();
    iFunction* gxxF = gxF ? gxF->xDif() : nullptr;
    iFunction* gxyF = gxF ? gxF->yDif() : nullptr;
    iFunction* gyyF = gyF ? gyF->yDif() : nullptr;
    const auto at = [&](iFunction* f) { return f ? f->valueAt(x, y) : kNaN; };
    const double gx = at(gxF), gy = at(gyF), gxx = at(gxxF), gxy = at(gxyF), gyy = at(gyyF);
    const double d1 = -gx / gy;
    const double d2 = (-gy * gy * gxx + 2 * gx * gy * gxy - gx * gx * gyy) / (gy * gy * gy);
    const double k = d2 / std::pow(1 + d1 * d1, 1.5);
    r.point = {x, y};
    r.value = y;
    r.variable = x;
    r.info = InfoMap{{"dy/dx", d1}, {"ddy/dxx", d2}, {"k", k}};
    return r;
}

myPoint iFunction::myPointFVV(double v)
{
    if (std::isnan(v))
        return previousI_.xy;
    if (!(v >= 0 && v < pointCount_))
        return {kNaN, kNaN};
    return points_[static_cast<size_t>(v)];
}

myPointInfo iFunction::myPointInfoFVV(double v)
{
    const myPoint p = myPointFVV(v);
    return myPointInfoForXY(p.x, p.y);
}

myPoint iFunction::kTracePoint() const { return {kNaN, kNaN}; }

std::optional<std::string> iFunction::myInfoToStr(const myPointInfo& info) const
{
    return infoLines({{"y=", info.point.y},
                      {"∂y/∂x=", infoValue(info, "dy/dx")},
                      {"∂²y/∂x²=", infoValue(info, "ddy/dxx")},
                      {"k=", infoValue(info, "k")}});
}

// ---- trace ----

double iFunction::varValueForPoint(PointF device, int)
{
    PlotContext* plane = plotContext();
    if (!plane || pointCount_ == 0)
        return 0;
    const myPoint U = plane->myPointToUser(myPoint{device.x, device.y});
    int nearest = 0;
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < pointCount_; ++i) {
        const myPoint& p = points_[static_cast<size_t>(i)];
        const double d = (p.x - U.x) * (p.x - U.x) + (p.y - U.y) * (p.y - U.y);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    const double nearestIndex = nearest;
    std::array<int, 2> neighbours{-1, -1};
    int found = 0;
    for (const auto& [a, b] : pairs_) {
        if (found == 2)
            break;
        if (a == nearest)
            neighbours[found++] = b;
        else if (b == nearest)
            neighbours[found++] = a;
    }
    if (found == 0)
        return nearestIndex;

    iFunction* gxF = xDif();
    iFunction* gyF = yDif();
    if (!gxF || !gyF)
        return nearestIndex;
    const auto slope = [&](myPoint p) { return -gxF->valueAt(p.x, p.y) / gyF->valueAt(p.x, p.y); };
    CellGuard guard;
    const myPoint P = points_[static_cast<size_t>(nearest)];
    const double kP = slope(P);
    myPoint Q = points_[static_cast<size_t>(neighbours[0])];
    if (found == 2) {
        const myPoint Q2 = points_[static_cast<size_t>(neighbours[1])];
        const double m = -1 / kP;
        const auto side = [&](myPoint p) { return (p.y - P.y) - m * (p.x - P.x) > 0; };
        if (side(U) != side(Q) && side(U) == side(Q2))
            Q = Q2;
    }
    const double kQ = slope(Q);
    if (std::isnan(kP) || std::isnan(kQ))
        return nearestIndex;

    myPoint F;
    if (std::fabs(std::atan(kQ) - std::atan(kP)) < kEps52) {
        const double UP = std::hypot(U.x - P.x, U.y - P.y);
        const double UQ = std::hypot(U.x - Q.x, U.y - Q.y);
        const double PQ = std::hypot(P.x - Q.x, P.y - Q.y);
        const double tanP = std::tan(std::acos((PQ * PQ + UP * UP - UQ * UQ) / (2 * UP * PQ)));
        const double tanQ = std::tan(std::acos((PQ * PQ + UQ * UQ - UP * UP) / (2 * UQ * PQ)));
        const double ratio = tanP / tanQ;
        const double t = ratio == -1 ? 1 : 1 / (1 + ratio);
        F = {P.x + t * (Q.x - P.x), P.y + t * (Q.y - P.y)};
    } else if (std::isinf(kP) && !std::isinf(kQ)) {
        F = {kQ * Q.y + Q.x, P.y};
    } else if (std::isinf(kQ) && !std::isinf(kP)) {
        F = {kP * P.y + P.x, Q.y};
    } else {
        const double A = kQ * Q.y + Q.x;
        const double B = kP * P.y + P.x;
        const myPoint T{(kP * A - kQ * B) / (kP - kQ), (B - A) / (kP - kQ)};
        // Line PQ: a1·x + b1·y = c1; line UT: a2·x + b2·y = c2.
        const double a1 = Q.y - P.y, b1 = P.x - Q.x, c1 = Q.y * P.x - Q.x * P.y;
        const double a2 = U.y - T.y, b2 = T.x - U.x, c2 = U.y * T.x - U.x * T.y;
        const double det = a1 * b2 - a2 * b1;
        F = {(c1 * b2 - c2 * b1) / det, (a1 * c2 - a2 * c1) / det};
    }
    StackMachine* sm = functionSM();
    if (!sm)
        return nearestIndex;
    myPoint S = U;
    if (evaluateAt(*sm, U) * evaluateAt(*sm, F) > 0.01) {
        const double m = (U.y - F.y) / (U.x - F.x);
        S.x = (m * F.x - kP * P.x + P.y - F.y) / (m - kP);
        S.y = kP * (S.x - P.x) + P.y;
    }
    const myPoint R = sm->findRootBetweenP1(S, F);
    if (hasNaN(R))
        return nearestIndex;
    previousI_.xy = R;
    return kNaN;
}

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
                    if (hasNaN(at))
                        continue;
                    marks.add(myPointInfoForXY(at.x, at.y), "inter");
                }
            }
        }
    }
    return found;
}

// ---- persistence ----

Function::json iFunction::toDict() const
{
    json d = Function::toDict();
    d["type"] = typeName();
    d["n"] = n_;
    d["functionSM"] = record::writeExpression(formula_.list());
    return d;
}

} // namespace orlix
