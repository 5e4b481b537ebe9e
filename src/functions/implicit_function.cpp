#include "orlix/implicit_function.h"
#include "kind_factories.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

#include "implicit_contour.h"
#include "implicit_support.h"
#include "orlix/error.h"
#include "orlix/expression_record.h"
#include "orlix/format.h"
#include "orlix/math_engine.h"
#include "orlix/record.h"
#include "orlix/special_point.h"

namespace orlix {

using namespace implicit;

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

    ContourRequest request;
    request.minX = lx;
    request.maxX = hx;
    request.minY = ly;
    request.maxY = hy;
    request.cells = side;
    // The window is three views a side around the one on screen.
    request.focusMinX = lx + (hx - lx) / 3;
    request.focusMaxX = hx - (hx - lx) / 3;
    request.focusMinY = ly + (hy - ly) / 3;
    request.focusMaxY = hy - (hy - ly) / 3;
    const PlotContext* plane = plotContext();
    const double pixelRatio = plane ? plane->devicePixelRatio() : 1.0;
    const myPoint scale = plotScale();
    request.pixelsPerUnitX = std::fabs(scale.x) * pixelRatio;
    request.pixelsPerUnitY = std::fabs(scale.y) * pixelRatio;
    request.stepBudget = redrawStepBudget;
    request.refineStepBudget = refineStepBudget;
    Contour contour = traceContour(*sm, request);
    ++passCount_;
    // A formula that is NaN over the whole window keeps the previous curve.
    if (!contour.anyFinite)
        return;
    points_ = std::move(contour.points);
    pairs_ = std::move(contour.segments);
    pointCount_ = static_cast<int>(points_.size());
}

void iFunction::resample()
{
    tN_ = 0;
    updatePoints();
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
