#include "orlix/yx_function.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
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
// 2^-52: scales the threshold below which two neighbouring second
// differences change sign.
constexpr double kEps52 = 2.220446049250313e-16;
// Residuals of intersections: below the first a sample lies on the other
// curve; a refined crossing is kept below the second.
constexpr double kTinyResidual = 1e-8;
constexpr double kAcceptedResidual = 3e-6;

// One element of a stored expression. Numbers that JSON cannot hold come as
// "nan", "inf" and "-inf", unless the engine knows such a name.
bool readItem(const nlohmann::json& j, fStack::Item& out)
{
    if (j.is_number()) {
        out = j.get<double>();
        return true;
    }
    if (j.is_null()) {
        out = kNaN;
        return true;
    }
    if (!j.is_string())
        return false;
    const auto& s = j.get_ref<const std::string&>();
    const MathEngine& e = MathEngine::sharedEngine();
    const bool known = e.NameToNumOfArgs_.count(s) != 0 || e.NameToIMP_.count(s) != 0 || e.hasConst(s);
    if (!known && (s == "nan" || s == "inf" || s == "-inf")) {
        out = record::readDouble(j, kNaN);
        return true;
    }
    out = s;
    return true;
}

} // namespace

namespace record {

std::string placeholderText()
{
    static std::atomic<unsigned long> counter{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return "abrakadabra" + std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "." +
           std::to_string(++counter);
}

nlohmann::json writeExpression(const fStack* fs)
{
    nlohmann::json items = nlohmann::json::array();
    if (!fs)
        return items;
    for (const auto& item : fs->toArray()) {
        if (const std::string* name = std::get_if<std::string>(&item))
            items.push_back(*name);
        else
            items.push_back(jsonDouble(std::get<double>(item)));
    }
    return items;
}

fStack::Owner readExpression(const nlohmann::json& items)
{
    if (!items.is_array())
        return nullptr;
    std::vector<fStack::Item> read;
    read.reserve(items.size());
    for (const auto& j : items) {
        fStack::Item item;
        if (!readItem(j, item))
            return nullptr;
        read.push_back(std::move(item));
    }
    return fStack::fromArray(read);
}

} // namespace record

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
        MathEngine::sharedEngine().setDifBase(mirrored_ ? "y" : "x");
        fStack::Owner d = formula_.list()->last()->dif();
        const std::string text = "D(" + stringRepresentation_ + (mirrored_ ? ",y)" : ",x)");
        Ptr f = d ? makeSameKind(std::move(d), text) : nullptr;
        if (f) {
            f->setFunctionInfo({{"f", text}, {"d", "d"}});
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
    if (cNumOfPoints_ == 0)
        cNumOfPoints_ = defaultNumOfPoints;
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
double explicitFunction::scale() const { return mirrored_ ? curSs().y : curSs().x; }
double explicitFunction::valueScale() const { return mirrored_ ? curSs().x : curSs().y; }

void explicitFunction::computeSamples(int from, int to, double step)
{
    StackMachine* sm = functionSM();
    double* cell = variable_;
    for (int j = from; j < to; ++j) {
        const double v = cMinVar_ + j * step;
        double value = kNaN;
        if (sm) {
            *cell = v;
            value = sm->evaluate();
        }
        points_[static_cast<size_t>(j)] = sample(v, value);
        ++sampledCount_;
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
    const double saved = *cell;
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
    *cell = saved;
}

void explicitFunction::sampleFully(int n, double lo, double hi, double k)
{
    // The buffer follows the count; the stored count stays the function's.
    if (points_.size() != static_cast<size_t>(n))
        points_.assign(static_cast<size_t>(n), myPoint{kNaN, kNaN});
    previousK_ = k;
    cMinVar_ = lo;
    cMaxVar_ = hi;
    computeSamples(0, n, (hi - lo) / n);
    breaks_.clear();
    markBreaks(1, n);
}

int explicitFunction::sampleCount() const
{
    const int wanted = std::max(cNumOfPoints_, mirrored_ ? sampleFloorY() : sampleFloorX());
    // The searches run the second derivative, usually the longest program,
    // at every sample.
    long long steps = formula_.compiled() ? formula_.compiled()->funcNumber() : 0;
    if (inflFinder_)
        steps = std::max<long long>(steps, inflFinder_->funcNumber());
    return boundedSampleCount(wanted, steps);
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
    const bool sameWidth = std::fabs((hi - lo) - (cMaxVar_ - cMinVar_)) <= 1e-9 * std::fabs(hi - lo);
    if (points_.size() == static_cast<size_t>(n) && previousK_ == k && sameWidth && lo <= cMaxVar_ && hi >= cMinVar_) {
        const double step = (cMaxVar_ - cMinVar_) / n;
        const double shift = std::floor((lo - cMinVar_) / step);
        // A shift of n samples or more keeps nothing (the window changed its
        // width at the same scale): such a window is sampled anew.
        if (std::isfinite(step) && step > 0 && std::isfinite(shift) && std::fabs(shift) < n) {
            const int s = static_cast<int>(shift);
            if (s == 0)
                return;
            cMinVar_ += s * step;
            cMaxVar_ += s * step;
            const bool breaksKept = breaks_.size() == points_.size();
            if (s < 0) {
                std::move_backward(points_.begin(), points_.begin() + (n + s), points_.end());
                if (breaksKept)
                    std::move_backward(breaks_.begin(), breaks_.begin() + (n + s), breaks_.end());
                computeSamples(0, -s, step);
                markBreaks(1, -s + 2); // the pairs whose test reads a new sample
            } else {
                std::move(points_.begin() + s, points_.end(), points_.begin());
                if (breaksKept)
                    std::move(breaks_.begin() + s, breaks_.end(), breaks_.begin());
                computeSamples(n - s, n, step);
                markBreaks(n - s - 1, n);
            }
            return;
        }
    }
    sampleFully(n, lo, hi, k);
}

// ---- searches ----

namespace {

// The samples that cover what the plane shows along the variable: the first
// lies at or before its start, the last at or after its end. Without a
// plane, the middle third of the window, which is what it shows.
std::pair<int, int> visibleSamples(int n, double minVar, double maxVar, bool mirrored)
{
    const double step = (maxVar - minVar) / n;
    double lo = minVar + (maxVar - minVar) / 3, hi = minVar + 2 * (maxVar - minVar) / 3;
    if (PlotContext* plane = Function::plotContext()) {
        const RectF r = plane->goodRect();
        const myPoint a = plane->myPointToUser(myPoint{r.x, r.y});
        const myPoint b = plane->myPointToUser(myPoint{r.maxX(), r.maxY()});
        lo = mirrored ? std::min(a.y, b.y) : std::min(a.x, b.x);
        hi = mirrored ? std::max(a.y, b.y) : std::max(a.x, b.x);
    }
    const double first = std::floor((lo - minVar) / step), last = std::ceil((hi - minVar) / step);
    // A window that is no number (or no width) keeps to the middle third.
    if (!(step > 0) || !std::isfinite(first) || !std::isfinite(last))
        return {n / 3, 2 * n / 3 - 1};
    return {static_cast<int>(std::clamp(first, 0.0, n - 1.0)), static_cast<int>(std::clamp(last, 0.0, n - 1.0))};
}

// A mark's place already taken: the same root reached from a sample and by
// a bisection lands a few rounding steps apart.
bool alreadyMarked(const std::vector<double>& places, double v, double step)
{
    return std::any_of(places.begin(), places.end(), [&](double p) { return std::fabs(p - v) <= 1e-6 * step; });
}

} // namespace

void explicitFunction::samplesAlongVariable(std::vector<double>& vars, std::vector<double>& vals) const
{
    vars.resize(points_.size());
    vals.resize(points_.size());
    for (size_t j = 0; j < points_.size(); ++j) {
        vars[j] = var(points_[j]);
        vals[j] = val(points_[j]);
    }
}

void explicitFunction::findRoots()
{
    StackMachine* sm = functionSM();
    const int n = static_cast<int>(points_.size());
    if (!sm || n < 3)
        return;
    const Probe f{sm, variable_};
    const Probe df{derivativeSM(), variable_};
    std::vector<double> vars, vals;
    samplesAlongVariable(vars, vals);
    const double step = (cMaxVar_ - cMinVar_) / n;
    const auto [first, last] = visibleSamples(n, cMinVar_, cMaxVar_, mirrored_);
    Marks found;
    std::vector<double> places;
    auto mark = [&](double r) {
        if (std::isnan(r) || alreadyMarked(places, r, step))
            return;
        places.push_back(r);
        const myPointInfo info = myPointInfoFVV(r);
        if (specialPoint::isInside(info.point))
            found.push_back(specialPoint::pointWithInfo(info, "root"));
    };
    const StepBudget budget(searchStepBudget);
    for (int i = first; i <= last && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        // A change of sign between two samples that are not zero themselves.
        const bool signChange = i > first && ((vals[i - 1] < 0 && vals[i] > 0) || (vals[i - 1] > 0 && vals[i] < 0));
        if (signChange && !markRules::isZeroSample(vals, i - 1) && !markRules::isZeroSample(vals, i)) {
            if (auto r = markRules::crossingRoot(f, vars[i - 1], vars[i]))
                mark(*r);
        }
        // A sample on the axis.
        if (markRules::isZeroSample(vals, i))
            mark(vars[i]);
        // A turn towards the axis that touches it (a minimum or maximum
        // whose value is zero) or crosses it twice between two samples.
        const int end = markRules::turnAfter(vals, i);
        if (!end)
            continue;
        for (double r : markRules::rootsAtTurn(f, df, vars, vals, i, end))
            mark(r);
    }
    addMarks(found);
}

void explicitFunction::findExtrs()
{
    StackMachine* sm = functionSM();
    StackMachine* dsm = derivativeSM();
    const int n = static_cast<int>(points_.size());
    if (!sm || !dsm || n < 3)
        return;
    const Probe f{sm, variable_};
    const Probe df{dsm, variable_};
    std::vector<double> vars, vals;
    samplesAlongVariable(vars, vals);
    const auto [first, last] = visibleSamples(n, cMinVar_, cMaxVar_, mirrored_);
    const double step = (cMaxVar_ - cMinVar_) / n;
    Marks found;
    std::vector<double> places;
    auto addExtremum = [&](const myPointInfo& info, bool lower) {
        auto mark = specialPoint::pointWithInfo(info, "minmax");
        if (mirrored_)
            mark->setBetta(static_cast<float>(lower ? kPi / 2 + kPi : kPi / 2));
        else if (lower)
            mark->setBetta(static_cast<float>(kPi));
        found.push_back(std::move(mark));
    };
    const StepBudget budget(searchStepBudget);
    for (int i = std::max(first, 1); i <= last && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        const int end = markRules::turnAfter(vals, i);
        if (!end)
            continue;
        const bool minimum = vals[i] < vals[i - 1];
        const auto e = markRules::extremumBetween(f, df, vars[i - 1], vars[i], vars[end], minimum);
        if (!e || alreadyMarked(places, e->at, step))
            continue;
        myPointInfo info;
        if (e->smooth) {
            info = myPointInfoFVV(e->at);
        } else {
            // A corner or a cusp: no derivatives to tell.
            info.point = sample(e->at, e->value);
            info.value = e->value;
            info.variable = e->at;
        }
        if (std::isnan(info.point.x) || std::isnan(info.point.y))
            continue;
        places.push_back(e->at);
        addExtremum(info, info.value < vals[end]);
    }

    // Two extrema between two samples (a small wave on a slope) leave the
    // samples monotone; the derivative's samples show them as a turn that
    // crosses zero between two of them.
    StackMachine* ddsm = secondDerivativeSM();
    if (!ddsm) {
        addMarks(found);
        return;
    }
    const Probe ddf{ddsm, variable_};
    const int lo = std::max(first - 1, 0), hi = std::min(last + 1, n - 1);
    // Slopes past the place where the budget ran out stay NaN: no turn there.
    std::vector<double> slopes(vals.size(), kNaN);
    for (int j = lo; j <= hi && !((j - lo) % 64 == 0 && budget.spent()); ++j)
        slopes[j] = df(vars[j]);
    for (int i = lo + 1; i < hi && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        const int end = markRules::turnAfter(slopes, i);
        if (!end || end > hi)
            continue;
        const bool minimum = slopes[i] < slopes[i - 1];
        if (minimum ? !(slopes[i] > 0) : !(slopes[i] < 0))
            continue;
        const double change = std::max(std::fabs(slopes[i] - slopes[i - 1]), std::fabs(slopes[end] - slopes[i]));
        if (!(std::fabs(slopes[i]) <= 2 * change))
            continue;
        const auto e = markRules::extremumBetween(df, ddf, vars[i - 1], vars[i], vars[end], minimum);
        const double scale = std::max({std::fabs(slopes[i - 1]), std::fabs(slopes[i]), std::fabs(slopes[end])});
        if (!e || (e->value < 0) == (slopes[i] < 0) || markRules::isZero(e->value, scale))
            continue;
        if (!markRules::continuousOn(f, vars[i - 1], vars[end]))
            continue;
        // f' leaves the samples' sign at the first crossing and returns at
        // the second: rising samples give a maximum, then a minimum.
        const bool rising = slopes[i] > 0;
        const std::pair<double, double> halves[] = {{vars[i - 1], e->at}, {e->at, vars[end]}};
        for (int k = 0; k < 2; ++k) {
            const auto r = markRules::crossingRoot(df, halves[k].first, halves[k].second);
            if (!r || alreadyMarked(places, *r, step))
                continue;
            const myPointInfo info = myPointInfoFVV(*r);
            if (std::isnan(info.point.x) || std::isnan(info.point.y))
                continue;
            places.push_back(*r);
            addExtremum(info, rising == (k == 1));
        }
    }
    addMarks(found);
}

void explicitFunction::findInfls()
{
    StackMachine* ddsm = secondDerivativeSM();
    StackMachine* dsm = derivativeSM();
    StackMachine* sm = functionSM();
    const int n = static_cast<int>(points_.size());
    if (!ddsm || !dsm || !sm || n < 4)
        return;
    const Probe f{sm, variable_}, df{dsm, variable_}, ddf{ddsm, variable_};
    std::vector<double> vars, vals;
    samplesAlongVariable(vars, vals);
    const auto [first, last] = visibleSamples(n, cMinVar_, cMaxVar_, mirrored_);
    const double h = vars[2] - vars[1];
    const double t = -kEps52 * h * h * h * h;
    Marks found;
    std::vector<double> places;
    const StepBudget budget(searchStepBudget);
    for (int i = std::max(first - 1, 0);
         i < last && i + 3 < n && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        const double a = vals[i] - 2 * vals[i + 1] + vals[i + 2];
        const double b = vals[i + 1] - 2 * vals[i + 2] + vals[i + 3];
        if (!(a * b < t))
            continue;
        const auto r = markRules::inflectionBetween(f, df, ddf, vars[i], vars[i + 3]);
        if (!r || alreadyMarked(places, *r, h))
            continue;
        const myPointInfo info = myPointInfoFVV(*r);
        if (!specialPoint::isInside(info.point))
            continue;
        places.push_back(*r);
        const double angle =
            mirrored_ ? std::atan(-1 / infoValue(info, "dx/dy")) : -std::atan(infoValue(info, "dy/dx"));
        auto mark = specialPoint::pointWithInfo(info, "infl");
        mark->setBetta(std::isnan(angle) ? 0.0f : static_cast<float>(angle));
        found.push_back(std::move(mark));
    }
    addMarks(found);
}

// ---- intersections ----

Marks explicitFunction::intersectWith(Function& residualCurve)
{
    StackMachine* sm = functionSM();
    if (points_.empty() || !sm)
        return {};
    // As many samples as the last pass took (the density floor may have
    // raised them above the function's own count), over the visible ones.
    const int n = static_cast<int>(points_.size());
    const auto [firstVisible, lastVisible] = visibleSamples(n, cMinVar_, cMaxVar_, mirrored_);
    double* cell = variable_;
    const double saved = *cell;
    // The other curve's residual at the point of this curve at v.
    const auto residualAt = [&](double v) {
        *cell = v;
        const double value = sm->evaluate();
        return residualCurve.valueForPoint(sample(v, value));
    };
    const auto tiny = [](double r) { return std::fabs(r) < kTinyResidual; };
    Marks found;
    double previous = kNaN;
    const StepBudget budget(searchStepBudget);
    for (int i = firstVisible; i <= lastVisible && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        const double r = residualCurve.valueForPoint(points_[static_cast<size_t>(i)]);
        if (tiny(r)) {
            // A run of tiny residuals (the curves coincide) marks nothing.
            const double next = i + 1 < n ? residualCurve.valueForPoint(points_[static_cast<size_t>(i + 1)]) : kNaN;
            if (!tiny(previous) && !tiny(next))
                found.push_back(
                    specialPoint::pointWithInfo(myPointInfoFVV(var(points_[static_cast<size_t>(i)])), "inter"));
        } else if (previous * r < 0) {
            double lo = var(points_[static_cast<size_t>(i - 1)]);
            double hi = var(points_[static_cast<size_t>(i)]);
            double rLo = residualAt(lo);
            const double rHi = residualAt(hi);
            if (rLo * rHi < kTinyResidual) {
                double last = rHi;
                double at = hi;
                while (std::fabs(hi - lo) > kEps52) {
                    const double mid = (lo + hi) * 0.5;
                    if (mid == lo || mid == hi)
                        break;
                    last = residualAt(mid);
                    at = mid;
                    // An exact crossing ends the search: halving on from a
                    // zero would walk away from it.
                    if (!std::isfinite(last) || last == 0)
                        break;
                    if (rLo * last < 0) {
                        hi = mid;
                    } else {
                        lo = mid;
                        rLo = last;
                    }
                }
                *cell = saved;
                if (std::fabs(last) < kAcceptedResidual && !std::isnan(at)) {
                    const myPointInfo info = myPointInfoFVV(at);
                    if (specialPoint::isInside(info.point))
                        found.push_back(specialPoint::pointWithInfo(info, "inter"));
                }
            }
        }
        previous = r;
    }
    *cell = saved;
    return found;
}

// ---- point information ----

double explicitFunction::valueForPoint(myPoint p) { return valueAt(var(p)) - val(p); }

myPoint explicitFunction::myPointFVV(double v) { return sample(v, valueAt(v)); }

std::optional<myPointInfo> explicitFunction::markInfoAt(myPoint p) { return myPointInfoFVV(var(p)); }

myPointInfo explicitFunction::myPointInfoFVV(double v)
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

double explicitFunction::varValueForPoint(PointF device, int)
{
    PlotContext* plane = plotContext();
    if (!plane)
        return kNaN;
    return var(plane->myPointToUser(myPoint{device.x, device.y}));
}

// ---- range information ----

int explicitFunction::integralHalvings(long long steps)
{
    // Halving m evaluates 2^m points: n halvings cost about 2^(n+1) points.
    int n = std::clamp(maxIntegral(), 0, integralHalvingsCap);
    const double perPoint = static_cast<double>(std::max(steps, 1LL));
    while (n > 0 && std::ldexp(perPoint, n + 1) > integralStepBudget)
        --n;
    return n;
}

std::optional<InfoMap> explicitFunction::infoForRangeA(double a, double b)
{
    if (a > b)
        std::swap(a, b);
    if (!std::isfinite(a) || !std::isfinite(b))
        return std::nullopt;
    if (a == b)
        return InfoMap{{"s", 0}, {"l", 0}, {"p", 0}, {"v", 0}};
    StackMachine* sm = functionSM();
    StackMachine* dsm = derivativeSM();
    if (!sm || !dsm)
        return std::nullopt;
    const int N = integralHalvings(sm->funcNumber() + dsm->funcNumber());

    double* cell = variable_;
    const double saved = *cell;
    // Adds the five integrands at v to the sums.
    struct Sums {
        double i = 0, s = 0, v = 0, l = 0, p = 0;
    };
    auto add = [&](Sums& sums, double x) {
        *cell = x;
        const double f = sm->evaluate();
        *cell = x;
        const double root = std::hypot(1.0, dsm->evaluate());
        sums.i += f;
        sums.s += std::fabs(f);
        sums.v += f * f;
        sums.l += root;
        sums.p += std::fabs(f) * root;
    };

    double h = b - a;
    Sums est;
    add(est, a);
    add(est, b);
    est.i *= h / 2;
    est.s *= h / 2;
    est.v *= h / 2;
    est.l *= h / 2;
    est.p *= h / 2;
    double tau = 1e-7;
    double iPrev = kNaN;
    double lPrev = kNaN;
    for (int m = 0;; ++m) {
        if (m > 4 && std::fabs(est.i - iPrev) <= tau && std::fabs(est.l - lPrev) <= tau)
            break;
        if (std::isnan(est.i) || m >= N)
            break;
        Sums mid;
        const double count = std::ldexp(1.0, m);
        for (double k = 0; k < count; ++k) {
            const double x = a + h * (k + 0.5);
            if (!(x < b))
                break;
            add(mid, x);
        }
        iPrev = est.i;
        lPrev = est.l;
        est.i = est.i / 2 + mid.i * h / 2;
        est.s = est.s / 2 + mid.s * h / 2;
        est.v = est.v / 2 + mid.v * h / 2;
        est.l = est.l / 2 + mid.l * h / 2;
        est.p = est.p / 2 + mid.p * h / 2;
        tau = 1e-7 * std::max(1.0, std::fabs(est.i));
        h /= 2;
    }
    *cell = saved;

    if (std::isnan(est.i / iPrev) || !std::isfinite(est.i))
        return std::nullopt;
    InfoMap r{{"s", est.s}, {"v", kPi * est.v}, {"l", est.l}, {"p", 2 * kPi * est.p}, {"a", a}, {"b", b}};
    if (est.i != est.s)
        r["i"] = est.i;
    return r;
}

std::optional<std::string> explicitFunction::rangeInfoToStr(const InfoMap& d) const
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

Function::Ptr explicitFunction::restore(const json& r, Ptr (*make)(fStack::Owner, std::string))
{
    if (!r.is_object())
        return nullptr;
    auto it = r.find("functionSM");
    if (it == r.end() || !it->is_array())
        return nullptr;
    std::vector<fStack::Item> items;
    items.reserve(it->size());
    for (const auto& j : *it) {
        fStack::Item item;
        if (!readItem(j, item))
            return nullptr;
        items.push_back(std::move(item));
    }
    fStack::Owner fs = fStack::fromArray(items);
    if (!fs)
        return nullptr;
    Ptr f = make(std::move(fs), record::readString(r, "strRepr"));
    if (!f)
        return nullptr;
    f->applyRecord(r);
    return f;
}

// ---- y(x) ----

yxFunction::yxFunction() : explicitFunction(false)
{
    // The colour generator draws from the C library's generator.
    static const bool seeded = (std::srand(static_cast<unsigned>(std::time(nullptr))), true);
    (void)seeded;
}

std::shared_ptr<yxFunction> yxFunction::functionFromString(std::string_view text)
{
    auto f = functionFromFS(fStack::createWithString(text), std::string(text));
    if (f)
        f->setFunctionInfo({{"f", std::string(text)}});
    return f;
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

Function::Ptr yxFunction::fromDict(const json& record)
{
    return restore(record, [](fStack::Owner fs, std::string repr) -> Ptr {
        return functionFromFS(std::move(fs), std::move(repr));
    });
}

std::optional<std::string> yxFunction::myInfoToStr(const myPointInfo& info) const
{
    return infoLines({{"y=", info.value},
                      {"∂y/∂x=", infoValue(info, "dy/dx")},
                      {"∂²y/∂x²=", infoValue(info, "ddy/dxx")},
                      {"k=", infoValue(info, "k")}});
}

} // namespace orlix
