#include "orlix/yx_function.h"

#include "curve_support.h"
#include "kind_factories.h"

#include "range_integral.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "orlix/continuity.h"
#include "orlix/error.h"
#include "orlix/expression_record.h"
#include "orlix/format.h"
#include "orlix/mark_rules.h"
#include "orlix/math_engine.h"
#include "orlix/record.h"
#include "orlix/special_point.h"

namespace orlix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.141592653589793;

} // namespace

// ---- construction ----

explicitFunction::explicitFunction(bool mirrored) : mirrored_(mirrored), previousK_(kNaN)
{
    variable_ = mirrored ? MathEngine::yAddr() : MathEngine::xAddr();
}

void explicitFunction::setUp(explicitFunction& f, fStack::Owner fs, std::string repr)
{
    f.setStringRepresentation(repr.empty() ? record::placeholderText() : std::move(repr));
    f.formula_.adopt(fStack::optimize(std::move(fs)));
    f.setLineWidth(1.0f);
    f.previousK_ = kNaN;
}

void explicitFunction::setUpChecked(explicitFunction& f, CheckedFormula formula)
{
    f.setStringRepresentation(formula.text.empty() ? record::placeholderText() : formula.text);
    f.formula_.adopt(std::move(formula.expression), std::move(formula.program));
    f.setLineWidth(1.0f);
    f.previousK_ = kNaN;
}

Function::Ptr explicitFunction::differential()
{
    if (differential_ || differentialFailed_ || !formula_)
        return differential_;
    try {
        fStack::Owner d = formula_.list()->last()->dif(mirrored_ ? "y" : "x");
        const std::string text = "D(" + stringRepresentation_ + (mirrored_ ? ",y)" : ",x)");
        Ptr f = d ? makeSameKind(std::move(d), text) : nullptr;
        if (f) {
            f->setFunctionInfo({{"f", text}, {"d", "d"}});
            f->setModel(model_);
            differential_ = f;
        }
    } catch (const Error&) {
    }
    differentialFailed_ = !differential_;
    return differential_;
}

StackMachine* explicitFunction::derivativeSM()
{
    auto d = std::dynamic_pointer_cast<explicitFunction>(differential());
    return d ? d->functionSM() : nullptr;
}

StackMachine* explicitFunction::secondDerivativeSM()
{
    if (inflFinder_)
        return inflFinder_.get();
    auto d = std::dynamic_pointer_cast<explicitFunction>(differential());
    auto dd = d ? std::dynamic_pointer_cast<explicitFunction>(d->differential()) : nullptr;
    return dd ? dd->functionSM() : nullptr;
}

void explicitFunction::fillStaticInfo()
{
    auto d = std::dynamic_pointer_cast<explicitFunction>(differential());
    auto dd = d ? std::dynamic_pointer_cast<explicitFunction>(d->differential()) : nullptr;
    if (dd && dd->functionSM())
        setInflFinder(dd->formula_.sharedMachine());
    if (chosenPointCount_ == 0)
        chosenPointCount_ = defaultNumOfPoints;
}

double explicitFunction::valueAt(double v)
{
    StackMachine* sm = functionSM();
    if (!sm)
        return kNaN;
    *variable_ = v;
    return sm->evaluate();
}

// ---- sampling ----

double explicitFunction::windowMin() const { return mirrored_ ? minY() : minX(); }
double explicitFunction::windowMax() const { return mirrored_ ? maxY() : maxX(); }
double explicitFunction::scale() const { return mirrored_ ? plotScale().y : plotScale().x; }
double explicitFunction::valueScale() const { return mirrored_ ? plotScale().x : plotScale().y; }

void explicitFunction::computeSamples(int from, int to, double step)
{
    StackMachine* sm = functionSM();
    double* cell = variable_;
    // A block of samples per call of the machine.
    constexpr int kBlock = 256;
    double vars[kBlock], values[kBlock];
    for (int start = from; start < to; start += kBlock) {
        const int n = std::min(kBlock, to - start);
        for (int k = 0; k < n; ++k)
            vars[k] = varMin_ + (start + k) * step;
        if (sm)
            sm->evaluateBlock(cell, vars, values, n);
        else
            std::fill(values, values + n, kNaN);
        for (int k = 0; k < n; ++k) {
            points_[static_cast<size_t>(start + k)] = sample(vars[k], values[k]);
            ++sampledCount_;
        }
        // The variable is left at the last sample, as sampling point by point
        // left it.
        if (sm)
            *cell = vars[n - 1];
    }
}

void explicitFunction::markBreaks(int from, int to)
{
    const int n = static_cast<int>(points_.size());
    if (breaks_.size() != points_.size()) {
        breaks_.assign(points_.size(), 0);
        from = 1;
        to = n;
    }
    from = std::max(from, 1);
    to = std::min(to, n);
    StackMachine* sm = functionSM();
    const double scaleAlong = std::fabs(valueScale());
    const double visibleJump = kVisibleJumpPoints / (scaleAlong > 0 ? scaleAlong : 1.0);
    double* cell = variable_;
    const CellRestore restoreCell(cell);
    const auto valueOf = [&](int j) { return j >= 0 && j < n ? val(points_[static_cast<size_t>(j)]) : kNaN; };
    for (int j = from; j < to; ++j) {
        const myPoint& p0 = points_[static_cast<size_t>(j - 1)];
        const myPoint& p1 = points_[static_cast<size_t>(j)];
        bool broken = false;
        if (sm && stepIsSuspicious(valueOf(j - 2), val(p0), val(p1), valueOf(j + 1), visibleJump)) {
            broken = jumpsBetween(var(p0), val(p0), var(p1), val(p1), [&](double v) {
                *cell = v;
                return sm->evaluate();
            });
        }
        breaks_[static_cast<size_t>(j)] = broken ? 1 : 0;
    }
}

void explicitFunction::traceColumns(int from, int to)
{
    const int n = static_cast<int>(points_.size());
    if (columns_.size() != points_.size()) {
        columns_.assign(points_.size(), curve::ColumnDetail{});
        from = 0;
        to = n - 1;
    }
    from = std::max(from, 0);
    to = std::min(to, n - 1);
    StackMachine* sm = functionSM();
    if (!sm || from >= to)
        return;
    const PlotContext* plane = plotContext();
    const double pixels = std::fabs(valueScale()) * (plane ? plane->devicePixelRatio() : 1.0);
    curve::CurveSteps steps;
    steps.program = sm;
    if (StackMachine* slope = derivativeSM(); slope && slope->enclosable())
        steps.slope = slope;
    steps.cell = variable_;
    const double valueLow = mirrored_ ? minX() : minY(), valueHigh = mirrored_ ? maxX() : maxY();
    if (std::isfinite(valueHigh - valueLow))
        steps.far = std::max(std::fabs(valueLow), std::fabs(valueHigh)) + (valueHigh - valueLow);
    steps.tolerance = pixels > 0 && std::isfinite(pixels) ? 0.5 / pixels : 0.0;
    // As much work again as the samples may take.
    steps.stepBudget = sampleStepBudget;
    std::vector<double> vars(points_.size()), vals(points_.size());
    for (std::size_t j = 0; j < points_.size(); ++j) {
        vars[j] = var(points_[j]);
        vals[j] = val(points_[j]);
    }
    steps.trace(vars, vals, from, to, columns_);
}

void explicitFunction::assembleDrawn()
{
    drawn_.clear();
    drawnBreaks_.clear();
    const int n = static_cast<int>(points_.size());
    if (n == 0)
        return;
    // The values of the sampling window and a twentieth more beyond each
    // edge: a branch that leaves it is drawn to there (far enough to be
    // out of sight, near enough that the drawing takes it as a point).
    const double lo = mirrored_ ? minX() : minY(), hi = mirrored_ ? maxX() : maxY();
    const double margin = std::isfinite(hi - lo) ? (hi - lo) / 20 : 0.0;
    const auto clamped = [&](double v) {
        return std::isnan(v) || !std::isfinite(margin) ? v : std::clamp(v, lo - margin, hi + margin);
    };
    const bool traced = columns_.size() == points_.size();
    const auto add = [&](double v, double value, bool broken) {
        drawn_.push_back(sample(v, clamped(value)));
        drawnBreaks_.push_back(broken ? 1 : 0);
    };
    add(var(points_[0]), val(points_[0]), false);
    for (int j = 0; j + 1 < n; ++j) {
        const myPoint& next = points_[static_cast<size_t>(j + 1)];
        const bool oldBreak = static_cast<size_t>(j + 1) < breaks_.size() && breaks_[static_cast<size_t>(j + 1)];
        if (!traced || columns_[static_cast<size_t>(j)].unknown) {
            add(var(next), val(next), oldBreak);
            continue;
        }
        const curve::ColumnDetail& c = columns_[static_cast<size_t>(j)];
        for (const curve::TracePoint& p : c.points)
            add(p.variable, p.value, p.breakBefore);
        add(var(next), val(next), c.breakAfter);
    }
}

void explicitFunction::sampleFully(int n, double lo, double hi, double k)
{
    // The buffer follows the count; the stored count stays the function's.
    if (points_.size() != static_cast<size_t>(n))
        points_.assign(static_cast<size_t>(n), myPoint{kNaN, kNaN});
    previousK_ = k;
    varMin_ = lo;
    varMax_ = hi;
    computeSamples(0, n, (hi - lo) / n);
    breaks_.clear();
    markBreaks(1, n);
    // Every step is traced again; the columns keep their storage.
    traceColumns(0, n - 1);
}

int explicitFunction::sampleCount() const
{
    const int wanted = std::max(chosenPointCount_, mirrored_ ? sampleFloorY() : sampleFloorX());
    // The searches run the second derivative, usually the longest program,
    // at every sample.
    long long steps = formula_.compiled() ? formula_.compiled()->funcNumber() : 0;
    if (inflFinder_)
        steps = std::max<long long>(steps, inflFinder_->funcNumber());
    return boundedSampleCount(wanted, steps);
}

void explicitFunction::resample()
{
    // No scale matches NaN: nothing of the last samples is kept.
    previousK_ = std::numeric_limits<double>::quiet_NaN();
    updatePoints();
}

void explicitFunction::updatePoints()
{
    const int n = sampleCount();
    if (n <= 0)
        return;
    const double k = scale();
    const double lo = windowMin();
    const double hi = windowMax();
    // Only a window of the same width at the same scale and sample count
    // (a pan) keeps the samples it shares with the last one; any other is
    // sampled anew.
    const bool sameWidth = std::fabs((hi - lo) - (varMax_ - varMin_)) <= 1e-9 * std::fabs(hi - lo);
    if (points_.size() == static_cast<size_t>(n) && previousK_ == k && sameWidth && lo <= varMax_ && hi >= varMin_) {
        const double step = (varMax_ - varMin_) / n;
        const double shift = std::floor((lo - varMin_) / step);
        // A shift of n samples or more keeps nothing (the window changed its
        // width at the same scale): such a window is sampled anew.
        if (std::isfinite(step) && step > 0 && std::isfinite(shift) && std::fabs(shift) < n) {
            const int s = static_cast<int>(shift);
            if (s == 0) {
                // The values' window may have moved.
                assembleDrawn();
                return;
            }
            varMin_ += s * step;
            varMax_ += s * step;
            const bool breaksKept = breaks_.size() == points_.size();
            const bool columnsKept = columns_.size() == points_.size();
            if (s < 0) {
                std::move_backward(points_.begin(), points_.begin() + (n + s), points_.end());
                if (breaksKept)
                    std::move_backward(breaks_.begin(), breaks_.begin() + (n + s), breaks_.end());
                if (columnsKept)
                    std::move_backward(columns_.begin(), columns_.begin() + (n + s), columns_.end());
                computeSamples(0, -s, step);
                markBreaks(1, -s + 2); // the pairs whose test reads a new sample
                traceColumns(0, -s);
            } else {
                std::move(points_.begin() + s, points_.end(), points_.begin());
                if (breaksKept)
                    std::move(breaks_.begin() + s, breaks_.end(), breaks_.begin());
                if (columnsKept)
                    std::move(columns_.begin() + s, columns_.end(), columns_.begin());
                computeSamples(n - s, n, step);
                markBreaks(n - s - 1, n);
                traceColumns(n - s - 1, n - 1);
            }
            assembleDrawn();
            return;
        }
    }
    sampleFully(n, lo, hi, k);
    assembleDrawn();
}

// ---- point information ----

double explicitFunction::valueForPoint(myPoint p) { return valueAt(var(p)) - val(p); }

myPoint explicitFunction::positionAt(double v) { return sample(v, valueAt(v)); }

std::optional<myPointInfo> explicitFunction::markInfoAt(myPoint p) { return pointAt(var(p)); }

std::vector<myPointInfo> explicitFunction::pointsAt(std::span<const double> places)
{
    const std::vector<double> values = curve::valuesAt(functionSM(), variable_, places);
    return curve::pointsFromValues(*this, places, [&](std::size_t k, myPointInfo& p) {
        p.point = sample(places[k], values[k]);
        p.value = values[k];
    });
}

myPointInfo explicitFunction::pointAt(double v)
{
    if (std::isnan(v))
        return myPointInfo{};
    StackMachine* sm = functionSM();
    StackMachine* dsm = derivativeSM();
    StackMachine* ddsm = secondDerivativeSM();
    double* cell = variable_;
    // At an infinite place the values are limits; otherwise plain values.
    auto at = [&](StackMachine* m) {
        if (!m)
            return kNaN;
        if (std::isinf(v))
            return m->findLimitAtPoint(v, cell);
        *cell = v;
        return m->evaluate();
    };
    *cell = v;
    const double value = at(sm);
    const double d1 = at(dsm);
    const double d2 = at(ddsm);
    const double k = d2 / std::pow(1 + d1 * d1, 1.5);

    myPointInfo r;
    r.point = sample(v, value);
    r.value = value;
    r.variable = v;
    if (mirrored_)
        r.info = InfoMap{{"dy/dx", 1 / d1}, {"dx/dy", d1}, {"ddx/dyy", d2}, {"k", k}};
    else
        r.info = InfoMap{{"dy/dx", d1}, {"ddy/dxx", d2}, {"k", k}};
    return r;
}

double explicitFunction::varValueForPoint(PointF device, TouchPhase)
{
    PlotContext* plane = plotContext();
    if (!plane)
        return kNaN;
    return var(plane->myPointToUser(myPoint{device.x, device.y}));
}

// ---- range information ----

int explicitFunction::integralHalvings(int setting, long long steps)
{
    // Halving m evaluates 2^m points: n halvings cost about 2^(n+1) points.
    int n = std::clamp(setting, 0, integralHalvingsCap);
    const double perPoint = static_cast<double>(std::max(steps, 1LL));
    while (n > 0 && std::ldexp(perPoint, n + 1) > integralStepBudget)
        --n;
    return n;
}

std::optional<InfoMap> explicitFunction::rangeInfo(double a, double b)
{
    StackMachine* sm = functionSM();
    StackMachine* dsm = derivativeSM();
    if (!sm || !dsm)
        return std::nullopt;
    const long long points =
        curve::integrationPoints(integralHalvings(maxIntegral(), sm->funcNumber() + dsm->funcNumber()));
    double* cell = variable_;
    // ∫: f; S: |f|; V: f²; l: the arc element; P: |f|·(arc element).
    return curve::rangeQuantities<5>(
        a, b, cell, points, InfoMap{{"s", 0}, {"l", 0}, {"p", 0}, {"v", 0}}, {1, 3},
        [&](double x, std::array<double, 5>& out) {
            *cell = x;
            const double f = sm->evaluate();
            *cell = x;
            const double arc = std::hypot(1.0, dsm->evaluate());
            out = {f, std::fabs(f), f * f, arc, std::fabs(f) * arc};
        },
        [](double a, double b, const std::array<double, 5>& e) {
            InfoMap r{{"s", e[1]}, {"v", kPi * e[2]}, {"l", e[3]}, {"p", 2 * kPi * e[4]}, {"a", a}, {"b", b}};
            if (e[0] != e[1])
                r["i"] = e[0];
            return r;
        });
}

std::optional<std::string> explicitFunction::rangeInfoText(const InfoMap& d) const
{
    const auto v = [&](const char* key) { return tostr(infoValue(d, key)); };
    std::string s;
    if (d.count("i"))
        s = " " + infoLabel("∫=") + v("i") + "\n" + infoLabel("S=") + v("s");
    else
        s = "S= " + infoLabel("∫=") + v("s");
    s += "\n" + infoLines({{"l=", infoValue(d, "l")}, {"Vox=", infoValue(d, "v")}, {"Sox=", infoValue(d, "p")}});
    return s;
}

// ---- persistence ----

Function::json explicitFunction::toDict() const
{
    json d = Function::toDict();
    d["type"] = typeName();
    json items = json::array();
    if (formula_) {
        for (const auto& item : formula_.list()->toArray()) {
            if (const std::string* name = std::get_if<std::string>(&item))
                items.push_back(*name);
            else
                items.push_back(record::jsonDouble(std::get<double>(item)));
        }
    }
    d["functionSM"] = std::move(items);
    return d;
}

// ---- y(x) ----

yxFunction::yxFunction() : explicitFunction(false) {}

std::shared_ptr<yxFunction> yxFunction::functionFromString(std::string_view text)
{
    return fromFormulaText<yxFunction>(text);
}

std::shared_ptr<yxFunction> yxFunction::functionFromFS(fStack::Owner fs, std::string repr)
{
    if (!fs)
        return nullptr;
    auto f = std::make_shared<yxFunction>();
    setUp(*f, std::move(fs), std::move(repr));
    return f;
}

std::shared_ptr<yxFunction> yxFunction::functionFromChecked(CheckedFormula formula)
{
    if (!formula.expression)
        return nullptr;
    auto f = std::make_shared<yxFunction>();
    f->setFunctionInfo({{"f", formula.text}});
    setUpChecked(*f, std::move(formula));
    return f;
}

Function::Ptr yxFunction::makeSameKind(fStack::Owner fs, std::string repr) const
{
    return functionFromFS(std::move(fs), std::move(repr));
}

Function::Ptr yxFunction::fromDict(const json& record) { return fromRecordExpression<yxFunction>(record); }

std::optional<std::string> yxFunction::pointInfoText(const myPointInfo& info) const
{
    return infoLines({{"y=", info.value},
                      {"∂y/∂x=", infoValue(info, "dy/dx")},
                      {"∂²y/∂x²=", infoValue(info, "ddy/dxx")},
                      {"k=", infoValue(info, "k")}});
}

} // namespace orlix
