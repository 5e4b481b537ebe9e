#include "orlix/implicit_function.h"
#include "kind_factories.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

#include "implicit_support.h"
#include "orlix/error.h"
#include "orlix/expression_record.h"
#include "orlix/format.h"
#include "orlix/math_engine.h"
#include "orlix/record.h"
#include "orlix/special_point.h"

namespace orlix {

namespace {

using namespace implicit;

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

} // namespace

// ---- construction ----

iFunction::iFunction() : cMinX_(kNaN), cMaxX_(kNaN), cMinY_(kNaN), cMaxY_(kNaN) {}

std::shared_ptr<iFunction> iFunction::functionFromString(std::string_view text)
{
    return fromFormulaText<iFunction>(text);
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
    std::shared_ptr<iFunction> f;
    try {
        f = fromRecordExpression<iFunction>(r);
    } catch (const Error&) {
        return nullptr;
    }
    if (f)
        f->setN(record::readInt(r, "n", 0));
    return f;
}

iFunction* iFunction::derivative(std::shared_ptr<iFunction>& slot, bool& failed, const char* base)
{
    if (slot || failed || !formula_)
        return slot.get();
    try {
        fStack::Owner d = formula_.list()->last()->dif(base);
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
    if (chosenPointCount_ == 0)
        chosenPointCount_ = defaultNumOfPoints;
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

myPoint iFunction::positionAt(double v)
{
    if (std::isnan(v))
        return previousI_.xy;
    if (!(v >= 0 && v < pointCount_))
        return {kNaN, kNaN};
    return points_[static_cast<size_t>(v)];
}

myPointInfo iFunction::pointAt(double v)
{
    const myPoint p = positionAt(v);
    return myPointInfoForXY(p.x, p.y);
}

myPoint iFunction::kTracePoint() const { return {kNaN, kNaN}; }

std::optional<std::string> iFunction::pointInfoText(const myPointInfo& info) const
{
    return infoLines({{"y=", info.point.y},
                      {"∂y/∂x=", infoValue(info, "dy/dx")},
                      {"∂²y/∂x²=", infoValue(info, "ddy/dxx")},
                      {"k=", infoValue(info, "k")}});
}

// ---- trace ----

double iFunction::varValueForPoint(PointF device, TouchPhase)
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
