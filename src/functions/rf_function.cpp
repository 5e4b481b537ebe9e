#include "orlix/rf_function.h"
#include "kind_factories.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "curve_support.h"
#include "orlix/continuity.h"
#include "orlix/error.h"
#include "orlix/expression_record.h"
#include "orlix/format.h"
#include "orlix/function_kind.h"
#include "orlix/mark_rules.h"
#include "orlix/math_engine.h"
#include "orlix/record.h"
#include "orlix/special_point.h"
#include "orlix/yx_function.h"
#include "range_integral.h"

namespace orlix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.141592653589793;
// Most candidate angles a touch start weighs: a range of thousands of turns
// would otherwise take one evaluation per half turn.
constexpr int maxTraceCandidates = 4096;
// A candidate farther from the touch than this (in user units) is no match.
constexpr double traceReach = 400;

std::shared_ptr<rfFunction> asPolar(const Function::Ptr& f) { return std::dynamic_pointer_cast<rfFunction>(f); }

// r(θ) as the drawing refines it: the point (r cos θ, r sin θ) and the
// enclosure of r over a step of θ.
class PolarCurve : public RefinableCurve {
  public:
    PolarCurve(StackMachine& sm, double* cell) : sm_(sm), cell_(cell) {}
    myPoint at(double theta) override
    {
        *cell_ = theta;
        const double r = sm_.evaluate();
        return myPoint{r * std::cos(theta), r * std::sin(theta)};
    }
    Step over(double a, double b) override { return Step::of(sm_, cell_, a, b); }

  private:
    StackMachine& sm_;
    double* cell_;
};

} // namespace

rfFunction::rfFunction() { variable_ = MathEngine::fAddr(); }

std::shared_ptr<rfFunction> rfFunction::functionFromString(std::string_view text)
{
    return fromFormulaText<rfFunction>(text);
}

std::shared_ptr<rfFunction> rfFunction::functionFromFS(fStack::Owner fs, std::string repr)
{
    if (!fs)
        return nullptr;
    auto f = std::make_shared<rfFunction>();
    f->setStringRepresentation(repr.empty() ? record::placeholderText() : std::move(repr));
    f->formula_.adopt(fStack::optimize(std::move(fs)));
    f->setLineWidth(1.0f);
    return f;
}

std::shared_ptr<rfFunction> rfFunction::functionFromChecked(CheckedFormula formula)
{
    if (!formula.expression)
        return nullptr;
    auto f = std::make_shared<rfFunction>();
    f->setStringRepresentation(formula.text.empty() ? record::placeholderText() : formula.text);
    f->formula_.adopt(std::move(formula.expression), std::move(formula.program));
    f->setLineWidth(1.0f);
    f->setFunctionInfo(f->formulaInfo(formula.text));
    return f;
}

std::vector<myPointInfo> rfFunction::pointsAt(std::span<const double> places)
{
    const std::vector<double> radii = curve::valuesAt(functionSM(), variable_, places);
    return curve::pointsFromValues(*this, places, [&](std::size_t k, myPointInfo& p) {
        const double theta = places[k], r = radii[k];
        p.point = myPoint{r * std::cos(theta), r * std::sin(theta)};
        p.value = r;
    });
}

double rfFunction::valueAt(double theta)
{
    StackMachine* sm = functionSM();
    if (!sm)
        return kNaN;
    *variable_ = theta;
    return sm->evaluate();
}

Function::Ptr rfFunction::differential()
{
    if (differential_ || differentialFailed_ || !formula_)
        return differential_;
    try {
        fStack::Owner d = formula_.list()->last()->dif("f");
        const std::string text = "D(" + stringRepresentation_ + ",θ)";
        auto f = d ? functionFromFS(std::move(d), text) : nullptr;
        if (f) {
            f->varMin_ = varMin_;
            f->varMax_ = varMax_;
            f->setFunctionInfo({{"f", text}, {"minVarStr", tostr(varMin_)}, {"maxVarStr", tostr(varMax_)}, {"d", "d"}});
            f->setModel(model_);
            differential_ = f;
        }
    } catch (const Error&) {
    }
    differentialFailed_ = !differential_;
    return differential_;
}

StackMachine* rfFunction::derivativeSM()
{
    auto d = asPolar(differential());
    return d ? d->functionSM() : nullptr;
}

StackMachine* rfFunction::secondDerivativeSM()
{
    auto d = asPolar(differential());
    auto dd = d ? asPolar(d->differential()) : nullptr;
    return dd ? dd->functionSM() : nullptr;
}

void rfFunction::fillStaticInfo()
{
    auto d = asPolar(differential());
    auto dd = d ? asPolar(d->differential()) : nullptr;
    if (dd && formula_ && d->formula_ && dd->formula_ && !inflFinder_) {
        // r·r″ − (2·r′² + r²): minus the numerator of the curvature.
        try {
            const fStack* r = formula_.list()->last();
            const fStack* r1 = d->formula_.list()->last();
            const fStack* r2 = dd->formula_.list()->last();
            fStack::Owner F = r->copyAll();
            F->addNext(r2->copyAll());
            F->addFunc("*");
            F->addConst(2);
            F->addNext(r1->copyAll());
            F->addNext(r1->copyAll());
            F->addFunc("*");
            F->addFunc("*");
            F->addNext(r->copyAll());
            F->addNext(r->copyAll());
            F->addFunc("*");
            F->addFunc("+");
            F->addFunc("-");
            F = fStack::optimize(std::move(F));
            setInflFinder(std::shared_ptr<StackMachine>(F->toStackMachine()));
        } catch (const Error&) {
        }
    }
    if (chosenPointCount_ == 0)
        chosenPointCount_ = defaultNumOfPoints;
    if (filled_)
        return;
    if (curve::isUsableRange(varMin_, varMax_)) {
        updatePoints();
        return;
    }
    if (const FunctionKindInfo* kind = kindInfo()) {
        const RangeChoice& range = defaultRange(*kind, rangeDefaults());
        useDefaultRange(range.low, range.high);
    }
}

// ---- sampling ----

void rfFunction::updatePoints()
{
    // A range that is not one (typed wrong or stored wrong) leaves the
    // samples as they are.
    if (!curve::isUsableRange(varMin_, varMax_) || chosenPointCount_ < 2)
        return;
    setNumOfPoints(chosenPointCount_);
    const curve::Grid grid{varMin_, varMax_, chosenPointCount_};
    const size_t n = static_cast<size_t>(grid.n);
    StackMachine* sm = functionSM();
    rads_ = curve::valuesOnGrid(sm, variable_, grid);
    for (int i = 0; i < grid.n; ++i) {
        const double theta = grid.at(i), r = rads_[static_cast<size_t>(i)];
        points_[static_cast<size_t>(i)] = myPoint{r * std::cos(theta), r * std::sin(theta)};
    }
    // Breaks where r jumps or has a pole between two samples.
    breaks_.assign(n, 0);
    const double scale = std::fabs(plotScale().x);
    const double visibleJump = kVisibleJumpPoints / (scale > 0 ? scale : 1.0);
    auto radius = [&](int i) { return i >= 0 && i < grid.n ? rads_[static_cast<size_t>(i)] : kNaN; };
    for (int j = 1; j < grid.n && sm; ++j) {
        if (stepIsSuspicious(radius(j - 2), radius(j - 1), radius(j), radius(j + 1), visibleJump))
            breaks_[static_cast<size_t>(j)] =
                jumpsBetween(grid.at(j - 1), radius(j - 1), grid.at(j), radius(j), [&](double v) { return valueAt(v); })
                    ? 1
                    : 0;
    }
    drawn_.sampled(grid.lo, grid.hi, grid.n);
    filled_ = true;
}

void rfFunction::updateIfNeeded()
{
    StackMachine* sm = functionSM();
    if (!sm)
        return;
    const CellRestore restoreCell(variable_);
    PolarCurve curve(*sm, variable_);
    drawn_.update(DrawView::of(minX(), maxX(), minY(), maxY(), plotScale(), plotContext()), points_, breaks_, curve);
}

// ---- searches ----

void rfFunction::findRoots()
{
    const int n = static_cast<int>(rads_.size());
    if (n < 3 || !curve::isUsableRange(varMin_, varMax_))
        return;
    const curve::Grid grid{varMin_, varMax_, n};
    std::vector<double> vars(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        vars[static_cast<size_t>(i)] = grid.at(i);
    const CellRestore restoreCell(variable_);
    const StepBudget budget(searchStepBudget);
    const auto places = curve::sampledRoots(Probe{functionSM(), variable_}, Probe{derivativeSM(), variable_}, vars,
                                            rads_, maxMarks, budget);
    Marks found;
    for (double theta : places) {
        const myPointInfo info = pointAt(theta);
        if (specialPoint::isInside(info.point))
            found.push_back(specialPoint::pointWithInfo(info, "root"));
    }
    addMarks(found);
}

void rfFunction::findExtrs()
{
    const int n = static_cast<int>(rads_.size());
    StackMachine* dsm = derivativeSM();
    if (n < 3 || !dsm || !curve::isUsableRange(varMin_, varMax_))
        return;
    const curve::Grid grid{varMin_, varMax_, n};
    std::vector<double> vars(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        vars[static_cast<size_t>(i)] = grid.at(i);
    const CellRestore restoreCell(variable_);
    const StepBudget budget(searchStepBudget);
    const auto turns =
        curve::sampledTurns(Probe{functionSM(), variable_}, Probe{dsm, variable_}, vars, rads_, maxMarks, budget);
    Marks found;
    for (const auto& turn : turns) {
        myPointInfo info;
        if (turn.extremum.smooth) {
            info = pointAt(turn.extremum.at);
        } else {
            // A corner of r: no derivatives to tell.
            const double r = turn.extremum.value, theta = turn.extremum.at;
            info.point = myPoint{r * std::cos(theta), r * std::sin(theta)};
            info.value = r;
            info.variable = theta;
        }
        if (std::isnan(info.point.x) || std::isnan(info.point.y))
            continue;
        // The marker points away from the pole at a maximum of r and
        // towards it at a minimum.
        auto mark = specialPoint::pointWithInfo(info, "minmax");
        const float x = static_cast<float>(info.point.x), y = static_cast<float>(info.point.y);
        float betta = std::atan(x / y);
        if (y < 0)
            betta += static_cast<float>(kPi);
        if (turn.minimum)
            betta += static_cast<float>(kPi);
        mark->setBetta(std::isnan(betta) ? 0.0f : betta);
        found.push_back(std::move(mark));
    }
    addMarks(found);
}

void rfFunction::findInfls()
{
    const int n = static_cast<int>(rads_.size());
    if (n < 4 || !inflFinder_ || !curve::isUsableRange(varMin_, varMax_))
        return;
    const CellRestore restoreCell(variable_);
    const StepBudget budget(searchStepBudget);
    const auto places = curve::signChangeRoots(Probe{inflFinder_.get(), variable_}, curve::Grid{varMin_, varMax_, n},
                                               1e-13, maxMarks, budget);
    Marks found;
    for (double theta : places) {
        const myPointInfo info = pointAt(theta);
        if (!specialPoint::isInside(info.point))
            continue;
        auto mark = specialPoint::pointWithInfo(info, "infl");
        mark->rotate();
        found.push_back(std::move(mark));
    }
    addMarks(found);
}

Marks rfFunction::intersectWith(Function& other)
{
    return curve::crossingsWithResidual(*this, other, maxMarks, StepBudget(searchStepBudget));
}

myPoint rfFunction::positionAt(double theta)
{
    const double r = valueAt(theta);
    return myPoint{r * std::cos(theta), r * std::sin(theta)};
}

myPointInfo rfFunction::pointAt(double theta)
{
    if (!std::isfinite(theta))
        return myPointInfo{};
    StackMachine* dsm = derivativeSM();
    StackMachine* ddsm = secondDerivativeSM();
    double* cell = variable_;
    auto at = [&](StackMachine* m) {
        if (!m)
            return kNaN;
        *cell = theta;
        return m->evaluate();
    };
    const double r = valueAt(theta);
    const double r1 = at(dsm);
    const double r2 = at(ddsm);
    *cell = theta;
    const double c = std::cos(theta), s = std::sin(theta);
    // The tangent (dx/dθ, dy/dθ) = (r′cos θ − r sin θ, r′sin θ + r cos θ);
    // written without r′/r it holds at the pole too.
    const double dx = r1 * c - r * s;
    const double dy = r1 * s + r * c;
    const double slope = dy / dx;
    // The direction of travel; a vertical tangent (dx of either sign of
    // zero) points the way dy goes.
    double angle = dx == 0 ? (dy < 0 ? -kPi / 2 : kPi / 2) : std::atan(slope);
    if (dx < 0)
        angle += kPi;
    const double k = (r * r + 2 * r1 * r1 - r * r2) / std::pow(r * r + r1 * r1, 1.5);

    myPointInfo info;
    info.point = myPoint{r * c, r * s};
    info.value = r;
    info.variable = theta;
    info.info = InfoMap{{"dr/df", r1}, {"ddr/dff", r2}, {"dy/dx", slope}, {"f", angle}, {"k", k}};
    return info;
}

double rfFunction::varValueForPoint(PointF device, TouchPhase phase)
{
    PlotContext* plane = plotContext();
    if (!plane)
        return kNaN;
    const myPoint u = plane->myPointToUser(myPoint{device.x, device.y});
    double phi = std::atan(u.y / u.x);
    if (u.x < 0)
        phi += kPi;
    else if (u.y < 0)
        phi += 2 * kPi;
    if (std::isnan(phi))
        phi = 0; // the touch is on the pole itself
    previousInfo_& prev = previousI_;
    if (phase != kTouchBegan) {
        // A moving finger: the branch of the angle nearest the last one, on
        // the ray of the sign the trace began with.
        if (prev.f.inv)
            phi += kPi;
        phi += 2 * kPi * std::ceil((prev.f.f - phi) / (2 * kPi) - 0.5);
    } else if (curve::isUsableRange(varMin_, varMax_)) {
        // A touch start: of the angles on the touch's ray (r > 0) or on the
        // opposite one (r < 0) within the range, the one whose point is
        // nearest the touch along the ray.
        const double distance = std::hypot(u.x, u.y);
        const double first = std::floor(varMin_ / (2 * kPi)) * 2 * kPi + phi;
        double best = kNaN, bestD = traceReach;
        bool bestInv = false;
        for (int k = 0; k < maxTraceCandidates; ++k) {
            const double candidate = first + k * kPi;
            if (candidate > varMax_)
                break;
            if (candidate < varMin_)
                continue;
            const double sign = k % 2 == 0 ? 1.0 : -1.0;
            const double d = std::fabs(distance - sign * valueAt(candidate));
            if (d < bestD) {
                bestD = d;
                best = candidate;
                bestInv = sign < 0;
            }
        }
        if (std::isnan(best)) {
            // No angle of the range matches: the ray's own angle in it.
            best = first < varMin_ ? first + 2 * kPi * std::ceil((varMin_ - first) / (2 * kPi)) : first;
            bestInv = false;
        }
        phi = best;
        prev.f.inv = bestInv;
    }
    *variable_ = phi;
    prev.f.f = phi;
    return phi;
}

// ---- range information ----

std::optional<InfoMap> rfFunction::rangeInfo(double a, double b)
{
    StackMachine* sm = functionSM();
    StackMachine* dsm = derivativeSM();
    if (!sm || !dsm)
        return std::nullopt;
    const int halvings = explicitFunction::integralHalvings(maxIntegral(), sm->funcNumber() + dsm->funcNumber());
    double* cell = variable_;
    // is: r; s: r²/2; v: y²·dx/dθ; l: the arc element; p: |y|·(arc element).
    return curve::rangeQuantities<5>(
        a, b, cell, curve::integrationPoints(halvings), InfoMap{{"s", 0}, {"l", 0}, {"p", 0}, {"v", 0}, {"is", 0}},
        {1, 3},
        [&](double theta, std::array<double, 5>& out) {
            *cell = theta;
            const double r = sm->evaluate();
            *cell = theta;
            const double r1 = dsm->evaluate();
            const double c = std::cos(theta), s = std::sin(theta);
            const double arc = std::hypot(r, r1);
            out = {r, r * r / 2, (r * s) * (r * s) * (r1 * c - r * s), arc, std::fabs(r * s) * arc};
        },
        [](double a, double b, const std::array<double, 5>& e) {
            // The volume and the surface are sizes, whichever way the curve runs.
            return InfoMap{
                {"is", e[0]}, {"s", e[1]}, {"v", kPi * std::fabs(e[2])}, {"l", e[3]}, {"p", 2 * kPi * std::fabs(e[4])},
                {"a", a},     {"b", b}};
        });
}

std::optional<std::string> rfFunction::pointInfoText(const myPointInfo& info) const
{
    return infoLines({{"r=", info.value},
                      {"x=", info.point.x},
                      {"y=", info.point.y},
                      {"∂r/∂θ=", infoValue(info, "dr/df")},
                      {"∂²r/∂θ²=", infoValue(info, "ddr/dff")},
                      {"∂y/∂x=", infoValue(info, "dy/dx")},
                      {"k=", infoValue(info, "k")}});
}

std::optional<std::string> rfFunction::rangeInfoText(const InfoMap& d) const
{
    return infoLines({{"∫=", infoValue(d, "is")},
                      {"S=", infoValue(d, "s")},
                      {"l=", infoValue(d, "l")},
                      {"Vox=", infoValue(d, "v")},
                      {"Sox=", infoValue(d, "p")}});
}

// ---- persistence ----

Function::json rfFunction::toDict() const
{
    json d = Function::toDict();
    d["type"] = typeName();
    d["functionSM"] = record::writeExpression(formula_.list());
    return d;
}

Function::Ptr rfFunction::fromDict(const json& r)
{
    auto f = fromRecordExpression<rfFunction>(r);
    if (f)
        f->applyStoredRange(r);
    return f;
}

} // namespace orlix
