// The marks of y(x) and x(y) curves: roots, extrema, inflections, and
// the intersections with another curve.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "orlix/continuity.h"
#include "orlix/mark_rules.h"
#include "orlix/math_engine.h"
#include "orlix/special_point.h"
#include "orlix/yx_function.h"

#include "curve_support.h"

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
// Enclosures within this part of the values nearby count as zero when a
// step is refined (as markRules::isZero does), and no enclosure counts as
// holding a zero below the smallest normal number: underflow is no zero.
constexpr double kStepNoise = 1e-11;
constexpr double kUnderflow = 2.2250738585072014e-308;
// f'' below this is rounding noise (markRules::inflectionBetween).
constexpr double kBendNoise = 1e-13;

} // namespace

// ---- searches ----

namespace {

// The samples that cover what the plane shows along the variable: the first
// lies at or before its start, the last at or after its end. Without a
// plane, the middle third of the window, which is what it shows.
std::pair<int, int> visibleSamples(const PlotContext* plane, int n, double minVar, double maxVar, bool mirrored)
{
    const double step = (maxVar - minVar) / n;
    double lo = minVar + (maxVar - minVar) / 3, hi = minVar + 2 * (maxVar - minVar) / 3;
    if (plane) {
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

// A mark already lies between lo and hi: a bracket found again between
// finer samples adds nothing.
bool holdsPlace(const std::vector<double>& places, double lo, double hi, double step)
{
    const double slack = 1e-6 * step;
    return std::any_of(places.begin(), places.end(), [&](double p) { return p >= lo - slack && p <= hi + slack; });
}

// The sample step (i - 1, i) refined where g may have a zero between the
// samples. gv holds g's values at the samples, or is null when they are
// yet to be taken; the noise below which g's values count as zero is a
// part of the largest nearby, and at least `floor`.
std::optional<markRules::StepSamples> refinedStep(const Probe& g, const Probe& dg, const std::vector<double>& vars,
                                                  const std::vector<double>* gv, int i, double floor)
{
    const int n = static_cast<int>(vars.size());
    if (i < 1 || i >= n)
        return std::nullopt;
    if (!gv)
        return markRules::refineStep(g, dg, vars[i - 1], kNaN, vars[i], kNaN, floor);
    const std::vector<double>& v = *gv;
    if (!std::isfinite(v[i - 1]) || !std::isfinite(v[i]))
        return std::nullopt;
    double scale = 0;
    for (int j = std::max(i - 2, 0); j <= std::min(i + 1, n - 1); ++j)
        if (std::isfinite(v[j]))
            scale = std::max(scale, std::fabs(v[j]));
    return markRules::refineStep(g, dg, vars[i - 1], v[i - 1], vars[i], v[i], std::max(floor, kStepNoise * scale));
}

// Runs of sample steps over which g keeps one sign, so that one enclosure
// spares the steps' own: skips(i) tells whether step (i - 1, i) lies in one.
class ClearRuns {
  public:
    ClearRuns(const Probe& g, const std::vector<double>& vars, int last) : g_(g), vars_(vars), last_(last) {}

    bool skips(int i)
    {
        if (i <= clearTo_)
            return true;
        if (i <= checkedTo_ || !g_ || !g_.program->enclosable())
            return false;
        const int end = std::min(i + kRun - 1, last_);
        checkedTo_ = end;
        const Interval e = g_.program->enclose(g_.cell, vars_[static_cast<std::size_t>(i - 1)],
                                               vars_[static_cast<std::size_t>(end)]);
        if (!e.empty() && !(e.lo > 0 || e.hi < 0))
            return false;
        clearTo_ = end;
        return true;
    }

  private:
    static constexpr int kRun = 16;
    const Probe& g_;
    const std::vector<double>& vars_;
    int last_;
    int clearTo_ = -1, checkedTo_ = -1;
};

} // namespace

void explicitFunction::samplesAlongVariable(std::vector<double>& vars, std::vector<double>& vals)
{
    vars.resize(points_.size());
    vals.resize(points_.size());
    for (size_t j = 0; j < points_.size(); ++j) {
        vars[j] = var(points_[j]);
        vals[j] = val(points_[j]);
    }
    if (StackMachine* sm = functionSM())
        markRules::fillRemovableHoles(Probe{sm, variable_}, vars, vals);
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
    const double step = (varMax_ - varMin_) / n;
    const auto [first, last] = visibleSamples(plotContext(), n, varMin_, varMax_, mirrored_);
    Marks found;
    std::vector<double> places;
    auto mark = [&](double r) {
        if (std::isnan(r) || alreadyMarked(places, r, step))
            return;
        places.push_back(r);
        myPointInfo info = pointAt(r);
        // The curve crosses the axis here. The formula's value at r is 0
        // only to its rounding, which a steep climb magnifies: e^x·sin 10x
        // is about ±10 at its roots near x = 34.
        (mirrored_ ? info.point.x : info.point.y) = 0;
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
        // The curve ends on the axis between two samples.
        for (int side : {i - 1, i + 1}) {
            if (side < 0 || side >= n || !std::isfinite(vals[i]) || !std::isnan(vals[side]))
                continue;
            const int other = 2 * i - side;
            const bool known = other >= 0 && other < n && std::isfinite(vals[other]);
            const double scale = std::max(std::fabs(vals[i]), known ? std::fabs(vals[other] - vals[i]) : 0.0);
            if (auto r = markRules::rootAtDomainEnd(f, vars[i], vars[side], scale))
                mark(*r);
        }
        // A turn towards the axis that touches it (a minimum or maximum
        // whose value is zero) or crosses it twice between two samples.
        const int end = markRules::turnAfter(vals, i);
        if (!end)
            continue;
        for (double r : markRules::rootsAtTurn(f, df, vars, vals, i, end))
            mark(r);
    }
    // What the samples step over: close crossings, and dips to the axis
    // between samples of one sign, found between samples taken where the
    // enclosures of f may hold a zero.
    ClearRuns clearOfF(f, vars, std::min(last, n - 1));
    for (int i = first + 1; i <= last && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        if (clearOfF.skips(i))
            continue;
        const auto s = refinedStep(f, df, vars, &vals, i, kUnderflow);
        if (!s)
            continue;
        const int whole = static_cast<int>(s->vals.size()) - 1;
        for (const auto& [j, k] : s->signChanges()) {
            // The step's own change of sign was tried above.
            if ((j == 0 && k == whole) || holdsPlace(places, s->vars[j], s->vars[k], step))
                continue;
            if (auto r = markRules::crossingRoot(f, s->vars[j], s->vars[k]))
                mark(*r);
        }
        for (int j = 1; j + 1 < static_cast<int>(s->vals.size()); ++j) {
            if (markRules::isZeroSample(s->vals, j))
                mark(s->vars[j]);
            const int end = markRules::turnAfter(s->vals, j);
            if (!end || holdsPlace(places, s->vars[j - 1], s->vars[end], step))
                continue;
            for (double r : markRules::rootsAtTurn(f, df, s->vars, s->vals, j, end))
                mark(r);
        }
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
    const auto [first, last] = visibleSamples(plotContext(), n, varMin_, varMax_, mirrored_);
    const double step = (varMax_ - varMin_) / n;
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
            info = pointAt(e->at);
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
    const Probe ddf{ddsm, variable_};
    const int lo = std::max(first - 1, 0), hi = std::min(last + 1, n - 1);
    // Slopes past the place where the budget ran out stay NaN: no turn there.
    std::vector<double> slopes(vals.size(), kNaN);
    for (int j = lo; j <= hi && !((j - lo) % 64 == 0 && budget.spent()); ++j)
        slopes[j] = df(vars[j]);
    for (int i = lo + 1; ddsm && i < hi && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
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
            const myPointInfo info = pointAt(*r);
            if (std::isnan(info.point.x) || std::isnan(info.point.y))
                continue;
            places.push_back(*r);
            addExtremum(info, rising == (k == 1));
        }
    }

    // Extrema the samples step over altogether (a narrow bump, a wave
    // between two samples): f' changes sign between samples taken where
    // its enclosures may hold a zero.
    ClearRuns clearOfSlope(df, vars, std::min(last, n - 1));
    for (int i = first + 1; i <= last && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        if (clearOfSlope.skips(i))
            continue;
        const auto s = refinedStep(df, ddf, vars, &slopes, i, kUnderflow);
        if (!s)
            continue;
        for (const auto& [j, k] : s->signChanges()) {
            const double a = s->vars[j], b = s->vars[k];
            if (holdsPlace(places, a, b, step))
                continue;
            const auto r = markRules::crossingRoot(df, a, b);
            if (!r || !markRules::continuousOn(f, a, b))
                continue;
            const myPointInfo info = pointAt(*r);
            if (std::isnan(info.point.x) || std::isnan(info.point.y))
                continue;
            places.push_back(*r);
            // f' rises through zero at a minimum.
            addExtremum(info, s->vals[j] < 0);
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
    const auto [first, last] = visibleSamples(plotContext(), n, varMin_, varMax_, mirrored_);
    const double h = vars[2] - vars[1];
    const double t = -kEps52 * h * h * h * h;
    Marks found;
    std::vector<double> places;
    // An inflection off the view is kept among the places all the same, so
    // that the finer search below does not find it again.
    auto addInflection = [&](double r) {
        places.push_back(r);
        const myPointInfo info = pointAt(r);
        if (!specialPoint::isInside(info.point))
            return;
        const double angle =
            mirrored_ ? std::atan(-1 / infoValue(info, "dx/dy")) : -std::atan(infoValue(info, "dy/dx"));
        auto mark = specialPoint::pointWithInfo(info, "infl");
        mark->setBetta(std::isnan(angle) ? 0.0f : static_cast<float>(angle));
        found.push_back(std::move(mark));
    };
    const StepBudget budget(searchStepBudget);
    for (int i = std::max(first - 1, 0);
         i < last && i + 3 < n && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        const double a = vals[i] - 2 * vals[i + 1] + vals[i + 2];
        const double b = vals[i + 1] - 2 * vals[i + 2] + vals[i + 3];
        int end = i + 3;
        if (!(a * b < t)) {
            // A sample right on the inflection (the middle of a symmetric
            // curve) makes its second difference zero: look past it.
            const double c = i + 4 < n ? vals[i + 2] - 2 * vals[i + 3] + vals[i + 4] : kNaN;
            if (!(a * c < t && markRules::isZero(b, std::max(std::fabs(a), std::fabs(c)))))
                continue;
            end = i + 4;
        }
        const auto r = markRules::inflectionBetween(f, df, ddf, vars[i], vars[end]);
        if (r && !alreadyMarked(places, *r, h))
            addInflection(*r);
    }
    // Inflections whose bend is too slight, or too close to another, for
    // the second differences: f'' changes sign between samples taken where
    // its enclosures may hold a zero.
    ClearRuns clearOfBend(ddf, vars, std::min(last, n - 1));
    for (int i = first + 1; i <= last && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        if (clearOfBend.skips(i))
            continue;
        const auto s = refinedStep(ddf, Probe{}, vars, nullptr, i, kBendNoise);
        if (!s)
            continue;
        const int count = static_cast<int>(s->vals.size());
        for (auto [j, k] : s->signChanges()) {
            if (holdsPlace(places, s->vars[j], s->vars[k], h))
                continue;
            // Right beside the zero f'' is too small to tell from rounding
            // (inflectionBetween asks more of the ends): ends further out
            // on the same sides will do.
            while (j > 0 && std::fabs(s->vals[j]) < 10 * kBendNoise && s->vals[j - 1] * s->vals[j] > 0)
                --j;
            while (k + 1 < count && std::fabs(s->vals[k]) < 10 * kBendNoise && s->vals[k + 1] * s->vals[k] > 0)
                ++k;
            if (const auto r = markRules::inflectionBetween(f, df, ddf, s->vars[j], s->vars[k]))
                addInflection(*r);
        }
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
    const auto [firstVisible, lastVisible] = visibleSamples(plotContext(), n, varMin_, varMax_, mirrored_);
    double* cell = variable_;
    const CellRestore restoreCell(cell);
    // The other curve's residual at the point of this curve at v.
    const auto residualAt = [&](double v) {
        *cell = v;
        const double value = sm->evaluate();
        return residualCurve.valueForPoint(sample(v, value));
    };
    const auto tiny = [](double r) { return std::fabs(r) < kTinyResidual; };
    Marks found;
    double previous = kNaN, beforePrevious = kNaN;
    const StepBudget budget(searchStepBudget);
    for (int i = firstVisible; i <= lastVisible && static_cast<int>(found.size()) < maxMarks && !budget.spent(); ++i) {
        const double r = residualCurve.valueForPoint(points_[static_cast<size_t>(i)]);
        // The curves touch between samples: the residual turns towards zero
        // and back without changing sign.
        if (i >= 2 && curve::turnsTowardsZero(beforePrevious, previous, r)) {
            const double scale = std::max(std::fabs(beforePrevious), std::fabs(r));
            const double lo = var(points_[static_cast<size_t>(i - 2)]), hi = var(points_[static_cast<size_t>(i)]);
            if (auto at = curve::touchingResidual(lo, hi, scale, residualAt)) {
                const myPointInfo info = pointAt(*at);
                if (specialPoint::isInside(info.point))
                    found.push_back(specialPoint::pointWithInfo(info, "inter"));
            }
        }
        beforePrevious = previous;
        if (tiny(r)) {
            // A run of tiny residuals (the curves coincide) marks nothing.
            const double next = i + 1 < n ? residualCurve.valueForPoint(points_[static_cast<size_t>(i + 1)]) : kNaN;
            if (!tiny(previous) && !tiny(next)) {
                // As for the crossings below: a sample at a pole (y = ∞)
                // is no place two curves meet.
                const myPointInfo info = pointAt(var(points_[static_cast<size_t>(i)]));
                if (specialPoint::isInside(info.point))
                    found.push_back(specialPoint::pointWithInfo(info, "inter"));
            }
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
                if (std::fabs(last) < kAcceptedResidual && !std::isnan(at)) {
                    const myPointInfo info = pointAt(at);
                    if (specialPoint::isInside(info.point))
                        found.push_back(specialPoint::pointWithInfo(info, "inter"));
                }
            }
        }
        previous = r;
    }
    return found;
}

} // namespace orlix
