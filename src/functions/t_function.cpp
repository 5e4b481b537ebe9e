#include "orlix/t_function.h"

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
// Multiplies the grid step into the level below which the inflection
// finder counts as zero.
constexpr double inflectionTolerance = 2.220446049250313e-13;

double evaluateAt(StackMachine* m, double* cell, double t)
{
    if (!m)
        return kNaN;
    *cell = t;
    return m->evaluate();
}

// x(t), y(t) as the drawing refines them: the point and the enclosures of
// both coordinates over a step of t.
class ParametricCurve : public RefinableCurve {
  public:
    ParametricCurve(StackMachine& xs, StackMachine& ys, double* cell) : xs_(xs), ys_(ys), cell_(cell) {}
    myPoint at(double t) override
    {
        const double x = evaluateAt(&xs_, cell_, t);
        return myPoint{x, evaluateAt(&ys_, cell_, t)};
    }
    Step over(double a, double b) override { return Step::of(xs_, cell_, a, b) | Step::of(ys_, cell_, a, b); }

  private:
    StackMachine& xs_;
    StackMachine& ys_;
    double* cell_;
};

} // namespace

tFunction::tFunction() { variable_ = MathEngine::tAddr(); }

myPoint tFunction::kTracePoint() const { return {kNaN, kNaN}; }

std::shared_ptr<tFunction> tFunction::functionFromStringForX(std::string_view xText, std::string_view yText)
{
    if (xText.empty() || yText.empty())
        return nullptr;
    fStack::Owner xfs = fStack::createWithString(xText);
    fStack::Owner yfs = fStack::createWithString(yText);
    auto f = functionFromXFS(std::move(xfs), std::move(yfs), std::string(xText) + " | " + std::string(yText));
    if (f)
        f->setFunctionInfo({{"f", std::string(xText)},
                            {"g", std::string(yText)},
                            {"minVarStr", tostr(f->varMin())},
                            {"maxVarStr", tostr(f->varMax())}});
    return f;
}

std::shared_ptr<tFunction> tFunction::functionFromXFS(fStack::Owner xfs, fStack::Owner yfs, std::string repr)
{
    if (!xfs || !yfs)
        return nullptr;
    auto f = std::make_shared<tFunction>();
    f->setStringRepresentation(repr.empty() ? record::placeholderText() : std::move(repr));
    f->x_.adopt(fStack::optimize(std::move(xfs)));
    f->y_.adopt(fStack::optimize(std::move(yfs)));
    f->setLineWidth(1.0f);
    return f;
}

std::shared_ptr<tFunction> tFunction::functionFromChecked(CheckedFormula x, CheckedFormula y)
{
    if (!x.expression || !y.expression)
        return nullptr;
    auto f = std::make_shared<tFunction>();
    f->setStringRepresentation(x.text + " | " + y.text);
    f->x_.adopt(std::move(x.expression), std::move(x.program));
    f->y_.adopt(std::move(y.expression), std::move(y.program));
    f->setLineWidth(1.0f);
    f->setFunctionInfo(
        {{"f", x.text}, {"g", y.text}, {"minVarStr", tostr(f->varMin())}, {"maxVarStr", tostr(f->varMax())}});
    return f;
}

std::shared_ptr<tFunction> tFunction::functionFromString(std::string_view text)
{
    const auto semicolon = text.find(';');
    if (semicolon == std::string_view::npos || text.find(';', semicolon + 1) != std::string_view::npos)
        throw Error("Unsupported!", "Invalid initializer!");
    return functionFromStringForX(text.substr(0, semicolon), text.substr(semicolon + 1));
}

std::shared_ptr<tFunction> tFunction::xyDif()
{
    if (xyDif_ || xyDifFailed_ || !x_ || !y_)
        return xyDif_;
    try {
        xyDif_ = functionFromXFS(x_.list()->last()->dif("t"), y_.list()->last()->dif("t"), "xyDif!");
    } catch (const Error&) {
        xyDif_ = nullptr;
    }
    xyDifFailed_ = !xyDif_;
    return xyDif_;
}

StackMachine* tFunction::minRoFinder()
{
    if (minRoFinder_)
        return minRoFinder_.get();
    auto d = xyDif();
    if (!d)
        return nullptr;
    try {
        fStack::Owner F = x_.list()->last()->copyAll();
        F->addFunc("a");
        F->addFunc("-");
        F->addNext(d->x_.list()->last()->copyAll());
        F->addFunc("*");
        F->addNext(y_.list()->last()->copyAll());
        F->addFunc("b");
        F->addFunc("-");
        F->addNext(d->y_.list()->last()->copyAll());
        F->addFunc("*");
        F->addFunc("+");
        minRoFinder_ = fStack::optimize(std::move(F))->toStackMachine();
    } catch (const Error&) {
        return nullptr;
    }
    return minRoFinder_.get();
}

Function::Ptr tFunction::differential()
{
    if (differential_ || differentialFailed_ || !x_)
        return differential_;
    try {
        auto d = xyDif();
        if (d) {
            // (x, y′/x′): the slope of the curve along the same x.
            fStack::Owner slope = d->y_.list()->last()->copyAll();
            slope->addNext(d->x_.list()->last()->copyAll());
            slope->addFunc("/");
            auto f =
                functionFromXFS(x_.list()->last()->copyAll(), std::move(slope), "D(" + stringRepresentation_ + ")");
            if (f) {
                f->varMin_ = varMin_;
                f->varMax_ = varMax_;
                const auto entry = [&](const char* key) {
                    auto it = functionInfo_.find(key);
                    return it == functionInfo_.end() ? std::string() : it->second;
                };
                f->setFunctionInfo({{"g", "D(" + entry("g") + ",t)/D(" + entry("f") + ",t)"},
                                    {"f", entry("f")},
                                    {"minVarStr", tostr(varMin_)},
                                    {"maxVarStr", tostr(varMax_)},
                                    {"d", "d"}});
                f->setModel(model_);
                differential_ = f;
            }
        }
    } catch (const Error&) {
    }
    differentialFailed_ = !differential_;
    return differential_;
}

void tFunction::fillStaticInfo()
{
    auto d = xyDif();
    auto dd = d ? d->xyDif() : nullptr;
    if (dd && !inflFinder_) {
        // x′·y″ − y′·x″: the numerator of the curvature.
        try {
            fStack::Owner F = d->x_.list()->last()->copyAll();
            F->addNext(dd->y_.list()->last()->copyAll());
            F->addFunc("*");
            F->addNext(d->y_.list()->last()->copyAll());
            F->addNext(dd->x_.list()->last()->copyAll());
            F->addFunc("*");
            F->addFunc("-");
            setInflFinder(fStack::optimize(std::move(F))->toStackMachine());
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

void tFunction::updatePoints()
{
    if (!curve::isUsableRange(varMin_, varMax_) || chosenPointCount_ < 2)
        return;
    setNumOfPoints(chosenPointCount_);
    const curve::Grid grid{varMin_, varMax_, chosenPointCount_};
    StackMachine* xs = xSM();
    StackMachine* ys = ySM();
    double* cell = variable_;
    const std::vector<double> xValues = curve::valuesOnGrid(xs, cell, grid);
    const std::vector<double> yValues = curve::valuesOnGrid(ys, cell, grid);
    for (int i = 0; i < grid.n; ++i)
        points_[static_cast<size_t>(i)] = myPoint{xValues[static_cast<size_t>(i)], yValues[static_cast<size_t>(i)]};
    // Breaks where x or y jumps or has a pole between two samples.
    const size_t n = static_cast<size_t>(grid.n);
    breaks_.assign(n, 0);
    const myPoint scale = plotScale();
    const double jumpX = kVisibleJumpPoints / (std::fabs(scale.x) > 0 ? std::fabs(scale.x) : 1.0);
    const double jumpY = kVisibleJumpPoints / (std::fabs(scale.y) > 0 ? std::fabs(scale.y) : 1.0);
    auto coordinate = [&](int i, bool isX) {
        if (i < 0 || i >= grid.n)
            return kNaN;
        const myPoint& p = points_[static_cast<size_t>(i)];
        return isX ? p.x : p.y;
    };
    for (int j = 1; j < grid.n; ++j) {
        for (const bool isX : {true, false}) {
            StackMachine* m = isX ? xs : ys;
            if (!m || !stepIsSuspicious(coordinate(j - 2, isX), coordinate(j - 1, isX), coordinate(j, isX),
                                        coordinate(j + 1, isX), isX ? jumpX : jumpY))
                continue;
            if (jumpsBetween(grid.at(j - 1), coordinate(j - 1, isX), grid.at(j), coordinate(j, isX),
                             [&](double t) { return evaluateAt(m, cell, t); })) {
                breaks_[static_cast<size_t>(j)] = 1;
                break;
            }
        }
    }
    drawn_.sampled(grid.lo, grid.hi, grid.n);
    filled_ = true;
}

void tFunction::updateIfNeeded()
{
    StackMachine* xs = xSM();
    StackMachine* ys = ySM();
    if (!xs || !ys)
        return;
    const CellRestore restoreCell(variable_);
    ParametricCurve curve(*xs, *ys, variable_);
    drawn_.update(DrawView::of(minX(), maxX(), minY(), maxY(), plotScale(), plotContext()), points_, breaks_, curve);
}

// ---- searches ----

void tFunction::findRoots()
{
    const int n = static_cast<int>(points_.size());
    if (n < 3 || !curve::isUsableRange(varMin_, varMax_))
        return;
    const curve::Grid grid{varMin_, varMax_, n};
    auto d = xyDif();
    std::vector<double> vars(static_cast<size_t>(n)), xs(vars.size()), ys(vars.size());
    for (int i = 0; i < n; ++i) {
        vars[static_cast<size_t>(i)] = grid.at(i);
        xs[static_cast<size_t>(i)] = points_[static_cast<size_t>(i)].x;
        ys[static_cast<size_t>(i)] = points_[static_cast<size_t>(i)].y;
    }
    const CellRestore restoreCell(variable_);
    const myPoint& first = points_.front();
    const myPoint& last = points_.back();
    const bool closed = std::hypot(first.x - last.x, first.y - last.y) <=
                        1e-9 * std::max({std::fabs(first.x), std::fabs(first.y), 1.0});
    Marks found;
    const StepBudget budget(searchStepBudget);
    // Crossings of the x axis (y = 0), then of the y axis (x = 0).
    for (const bool ofY : {true, false}) {
        const Probe f{ofY ? ySM() : xSM(), variable_};
        const Probe df{d ? (ofY ? d->ySM() : d->xSM()) : nullptr, variable_};
        const auto places = curve::sampledRoots(f, df, vars, ofY ? ys : xs, maxMarks, budget);
        const double nearEnd = 1e-9 * (varMax_ - varMin_);
        const bool startMarked =
            std::any_of(places.begin(), places.end(), [&](double t) { return t - varMin_ <= nearEnd; });
        for (double t : places) {
            if (static_cast<int>(found.size()) >= maxMarks)
                break;
            // A closed curve ends where it starts: one mark for that place.
            if (closed && startMarked && varMax_ - t <= nearEnd)
                continue;
            const myPointInfo info = pointAt(t);
            if (specialPoint::isInside(info.point))
                found.push_back(specialPoint::pointWithInfo(info, "root"));
        }
    }
    addMarks(found);
}

void tFunction::findExtrs()
{
    const int n = static_cast<int>(points_.size());
    auto d = xyDif();
    if (n < 3 || !d || !curve::isUsableRange(varMin_, varMax_))
        return;
    const curve::Grid grid{varMin_, varMax_, n};
    // A closed curve turns at its seam as anywhere else: the sample before
    // the last one is put in front of the first so that a turn there shows.
    const myPoint& first = points_.front();
    const myPoint& last = points_.back();
    const double size = std::max({std::fabs(first.x), std::fabs(first.y), 1.0});
    const bool closed = std::hypot(first.x - last.x, first.y - last.y) <= 1e-9 * size;
    std::vector<double> vars, xs, ys;
    if (closed) {
        vars.push_back(varMin_ - grid.step());
        xs.push_back(points_[static_cast<size_t>(n - 2)].x);
        ys.push_back(points_[static_cast<size_t>(n - 2)].y);
    }
    for (int i = 0; i < n; ++i) {
        vars.push_back(grid.at(i));
        xs.push_back(points_[static_cast<size_t>(i)].x);
        ys.push_back(points_[static_cast<size_t>(i)].y);
    }
    const CellRestore restoreCell(variable_);
    Marks found;
    const StepBudget budget(searchStepBudget);
    // Where y turns the marker stands upright (turned over at a minimum);
    // where x turns it lies on its side, facing right at a maximum.
    for (const bool ofY : {true, false}) {
        const Probe f{ofY ? ySM() : xSM(), variable_};
        const Probe df{ofY ? d->ySM() : d->xSM(), variable_};
        const auto turns = curve::sampledTurns(f, df, vars, ofY ? ys : xs, maxMarks, budget);
        for (const auto& turn : turns) {
            if (static_cast<int>(found.size()) >= maxMarks)
                break;
            const double t = turn.extremum.at;
            myPointInfo info;
            if (turn.extremum.smooth) {
                info = pointAt(t);
            } else {
                // A corner: no derivatives to tell.
                const double other = evaluateAt(ofY ? xSM() : ySM(), variable_, t);
                info.point = ofY ? myPoint{other, turn.extremum.value} : myPoint{turn.extremum.value, other};
                info.value = info.point.y;
                info.variable = t;
            }
            if (std::isnan(info.point.x) || std::isnan(info.point.y))
                continue;
            auto mark = specialPoint::pointWithInfo(info, "minmax");
            float betta = ofY ? mark->betta() : 1.5707964f;
            if (turn.minimum)
                betta += static_cast<float>(kPi);
            mark->setBetta(betta);
            found.push_back(std::move(mark));
        }
    }
    addMarks(found);
}

void tFunction::findInfls()
{
    const int n = static_cast<int>(points_.size());
    if (n < 4 || !inflFinder_ || !curve::isUsableRange(varMin_, varMax_))
        return;
    const curve::Grid grid{varMin_, varMax_, n};
    const CellRestore restoreCell(variable_);
    const auto places =
        curve::signChangeRoots(Probe{inflFinder_.get(), variable_}, grid, inflectionTolerance * grid.step(), maxMarks,
                               StepBudget(searchStepBudget));
    Marks found;
    for (double t : places) {
        const myPointInfo info = pointAt(t);
        if (!specialPoint::isInside(info.point))
            continue;
        auto mark = specialPoint::pointWithInfo(info, "infl");
        const double slope = infoValue(info, "dy/dx");
        if (!std::isnan(slope))
            mark->setBetta(mark->betta() - static_cast<float>(std::atan(slope)));
        found.push_back(std::move(mark));
    }
    addMarks(found);
}

Marks tFunction::intersectWith(Function& other)
{
    return curve::crossingsWithResidual(*this, other, maxMarks, StepBudget(searchStepBudget));
}

// ---- point information ----

myPoint tFunction::positionAt(double t)
{
    const double x = evaluateAt(xSM(), variable_, t);
    return myPoint{x, evaluateAt(ySM(), variable_, t)};
}

std::vector<myPointInfo> tFunction::pointsAt(std::span<const double> places)
{
    const std::vector<double> xs = curve::valuesAt(xSM(), variable_, places);
    const std::vector<double> ys = curve::valuesAt(ySM(), variable_, places);
    return curve::pointsFromValues(*this, places, [&](std::size_t k, myPointInfo& p) {
        p.point = myPoint{xs[k], ys[k]};
        p.value = ys[k];
    });
}

myPointInfo tFunction::pointAt(double t)
{
    if (!std::isfinite(t))
        return myPointInfo{};
    auto d = xyDif();
    auto dd = d ? d->xyDif() : nullptr;
    double* cell = variable_;
    const myPoint p = positionAt(t);
    const double x1 = d ? evaluateAt(d->xSM(), cell, t) : kNaN;
    const double y1 = d ? evaluateAt(d->ySM(), cell, t) : kNaN;
    const double x2 = dd ? evaluateAt(dd->xSM(), cell, t) : kNaN;
    const double y2 = dd ? evaluateAt(dd->ySM(), cell, t) : kNaN;
    *cell = t;
    const double k = (x1 * y2 - x2 * y1) / std::pow(x1 * x1 + y1 * y1, 1.5);

    myPointInfo info;
    info.point = p;
    info.value = p.y;
    info.variable = t;
    info.info = InfoMap{{"dx/dt", x1}, {"dy/dt", y1}, {"dy/dx", y1 / x1}, {"k", k}};
    return info;
}

double tFunction::varValueForPoint(PointF device, TouchPhase phase)
{
    PlotContext* plane = plotContext();
    const int n = static_cast<int>(points_.size());
    if (!plane || n == 0 || !curve::isUsableRange(varMin_, varMax_))
        return kNaN;
    const myPoint u = plane->myPointToUser(myPoint{device.x, device.y});
    auto distance = [&](int i) {
        const myPoint& p = points_[static_cast<size_t>(i)];
        const double d = (p.x - u.x) * (p.x - u.x) + (p.y - u.y) * (p.y - u.y);
        return std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
    };
    int m = std::clamp(previousI_.minI, 0, n - 1);
    if (phase == kTouchBegan) {
        m = 0;
        for (int i = 1; i < n; ++i)
            if (distance(i) < distance(m))
                m = i;
    } else if (phase != kTouchStationary) {
        // A moving finger: walk from the last sample along the curve while
        // it comes no farther from the finger, forward and then backward,
        // round a closed curve's end at most once each way.
        auto walk = [&](int from, int direction) {
            int at = from;
            bool wrapped = false;
            for (int steps = 0; steps < n; ++steps) {
                int next = at + direction;
                if (next < 0 || next >= n) {
                    if (wrapped)
                        break;
                    wrapped = true;
                    next = next < 0 ? n - 1 : 0;
                }
                if (!(distance(next) <= distance(at)))
                    break;
                at = next;
            }
            return at;
        };
        m = walk(walk(m, 1), -1);
    }
    previousI_.minI = m;
    *MathEngine::aAddr() = u.x;
    *MathEngine::bAddr() = u.y;
    const curve::Grid grid{varMin_, varMax_, n};
    double t = kNaN;
    if (StackMachine* finder = minRoFinder())
        t = finder->findRootBetweenVar1(grid.clampedAt(m - 1), grid.clampedAt(m + 1), variable_);
    if (std::isnan(t))
        t = grid.at(m);
    *variable_ = t;
    return t;
}

// ---- range information ----

std::optional<InfoMap> tFunction::rangeInfo(double a, double b)
{
    auto d = xyDif();
    StackMachine* xs = xSM();
    StackMachine* ys = ySM();
    StackMachine* dxs = d ? d->xSM() : nullptr;
    StackMachine* dys = d ? d->ySM() : nullptr;
    if (!xs || !ys || !dxs || !dys)
        return std::nullopt;
    const int halvings =
        explicitFunction::integralHalvings(maxIntegral(), ys->funcNumber() + dxs->funcNumber() + dys->funcNumber());
    double* cell = variable_;
    // s: y·x′; v: y²·x′; l: the arc element; p: |y|·(arc element).
    return curve::rangeQuantities<4>(
        a, b, cell, curve::integrationPoints(halvings), InfoMap{{"s", 0}, {"l", 0}, {"p", 0}, {"v", 0}}, {0, 2},
        [&](double t, std::array<double, 4>& out) {
            const double y = evaluateAt(ys, cell, t);
            const double x1 = evaluateAt(dxs, cell, t);
            const double y1 = evaluateAt(dys, cell, t);
            const double arc = std::hypot(x1, y1);
            out = {y * x1, y * y * x1, arc, std::fabs(y) * arc};
        },
        [](double a, double b, const std::array<double, 4>& e) {
            // The volume and the surface are sizes, whichever way the curve runs.
            return InfoMap{{"s", e[0]}, {"v", kPi * std::fabs(e[1])},
                           {"l", e[2]}, {"p", 2 * kPi * std::fabs(e[3])},
                           {"a", a},    {"b", b}};
        });
}

std::optional<std::string> tFunction::pointInfoText(const myPointInfo& info) const
{
    return infoLines({{"x=", info.point.x},
                      {"y=", info.point.y},
                      {"∂x/∂t=", infoValue(info, "dx/dt")},
                      {"∂y/∂t=", infoValue(info, "dy/dt")},
                      {"∂y/∂x=", infoValue(info, "dy/dx")},
                      {"k=", infoValue(info, "k")}});
}

std::optional<std::string> tFunction::rangeInfoText(const InfoMap& d) const
{
    return infoLines({{"S=", infoValue(d, "s")},
                      {"l=", infoValue(d, "l")},
                      {"Vox=", infoValue(d, "v")},
                      {"Sox=", infoValue(d, "p")}});
}

// ---- persistence ----

Function::json tFunction::toDict() const
{
    json d = Function::toDict();
    d["type"] = typeName();
    d["xSM"] = record::writeExpression(x_.list());
    d["ySM"] = record::writeExpression(y_.list());
    return d;
}

Function::Ptr tFunction::fromDict(const json& r)
{
    if (!r.is_object() || !r.contains("xSM") || !r.contains("ySM"))
        return nullptr;
    fStack::Owner xfs = record::readExpression(r["xSM"]);
    fStack::Owner yfs = record::readExpression(r["ySM"]);
    if (!xfs || !yfs)
        return nullptr;
    auto f = functionFromXFS(std::move(xfs), std::move(yfs), record::readString(r, "strRepr"));
    if (!f)
        return nullptr;
    f->applyRecord(r);
    f->applyStoredRange(r);
    return f;
}

} // namespace orlix
