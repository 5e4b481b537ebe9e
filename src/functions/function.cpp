#include "orlix/function.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "curve_support.h"
#include "orlix/color_gen.h"
#include "orlix/curve_model.h"
#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/function_kind.h"
#include "orlix/record.h"
#include "orlix/special_point.h"

namespace orlix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Marks one search may add, as every search keeps.
constexpr std::size_t kMaxIntersections = 200;

// Largest NoP a stored record may carry; anything else restores as 0 and
// the kind's default count applies.
constexpr int maxRecordPoints = 20000;
// The stroke widths a stored record may carry: the app draws curves one or
// two points wide; anything far outside would flood the plot or vanish.
constexpr float minRecordLineWidth = 0.25f;
constexpr float maxRecordLineWidth = 16.0f;

} // namespace

Function::Function() : varMin_(kNaN), varMax_(kNaN) {}

Function::~Function() = default;

// ---- the model ----

void Function::setModel(CurveModel* m)
{
    // A derivative made before its parent was registered follows it; the
    // chain of derivatives ends (each is made once, from a shorter formula).
    for (Function* f = this; f; f = f->differential_.get()) {
        f->model_ = m;
        if (f->differential_.get() == f)
            break;
    }
}

double Function::minX() const { return model_ ? model_->minX() : 0; }
double Function::maxX() const { return model_ ? model_->maxX() : 0; }
double Function::minY() const { return model_ ? model_->minY() : 0; }
double Function::maxY() const { return model_ ? model_->maxY() : 0; }
int Function::sampleFloorX() const { return model_ ? model_->sampleFloorX() : 0; }
int Function::sampleFloorY() const { return model_ ? model_->sampleFloorY() : 0; }
myPoint Function::plotScale() const { return model_ ? model_->plotScale() : CurveModel::defaultScale; }
int Function::maxIntegral() const { return model_ ? model_->maxIntegral() : CurveModel::defaultMaxIntegral; }
RangeDefaults Function::rangeDefaults() const { return model_ ? model_->rangeDefaults() : RangeDefaults{}; }
PlotContext* Function::plotContext() const { return model_ ? model_->plotContext() : nullptr; }
FunctionShell* Function::shell() const { return model_ ? model_->shell() : nullptr; }

// ---- the kind ----

std::string Function::typeName() const
{
    const FunctionKindInfo* k = kindInfo();
    return k ? std::string(k->typeName) : std::string();
}

bool Function::isImplicit() const
{
    const FunctionKindInfo* k = kindInfo();
    return k && k->can.implicitDrawing;
}

// ---- instance operations ----

void Function::updateInfo()
{
    if (points_.empty())
        return;
    info_.clear();
    if (model_)
        model_->countMarkSearch();
    const SearchSettings s = shell() ? shell()->searchSettings() : SearchSettings{};
    if (s.sRoots)
        findRoots();
    if (s.sExtrs)
        findExtrs();
    if (s.sInfls)
        findInfls();
    if (s.sInters)
        findIntersections();
}

void Function::findIntersections()
{
    if (!model_)
        return;
    const Register others = model_->functionRegister();
    // Explicit and implicit curves answer a residual: the others search
    // along their own samples for its change of sign.
    const bool implicitKind = isImplicit();
    const FunctionKindInfo* kind = kindInfo();
    const bool explicitKind = !implicitKind && kind && kind->can.residual;
    for (const auto& [id, g] : others) {
        if (!g || g.get() == this)
            continue;
        Marks found;
        bool takeOwnInfo = false;
        if (explicitKind || implicitKind) {
            if (g->isImplicit() && (explicitKind || implicitKind)) {
                found = intersectWith(*g);
                takeOwnInfo = explicitKind;
            } else {
                found = g->intersectWith(*this);
                takeOwnInfo = true;
            }
        } else if (g->canBeIntersected()) {
            found = intersectWith(*g);
        } else if (!g->isImplicit() && g->kindInfo() && !g->kindInfo()->can.residual) {
            // Two curves of their own parameters (polar, parametric) have
            // no residual for each other: their sampled polylines cross.
            for (double v : curve::polylineCrossings(*this, *g, kMaxIntersections, StepBudget(searchStepBudget))) {
                const myPointInfo at = pointAt(v);
                if (specialPoint::isInside(at.point))
                    found.push_back(specialPoint::pointWithInfo(at, "inter"));
            }
        }
        if (takeOwnInfo) {
            for (auto& m : found) {
                if (!m)
                    continue;
                if (auto own = markInfoAt(m->info().point))
                    m->setInfo(*own);
            }
        }
        // One mark a place: a curve that runs round more than once meets
        // the other at the same place on every turn.
        Marks fresh;
        for (auto& m : found) {
            if (!m)
                continue;
            const myPoint p = m->info().point;
            const double size = std::max({1.0, std::fabs(p.x), std::fabs(p.y)});
            const auto samePlace = [&](const std::shared_ptr<specialPoint>& o) {
                return o && o->type() == m->type() &&
                       std::hypot(o->info().point.x - p.x, o->info().point.y - p.y) <= 1e-9 * size;
            };
            if (std::none_of(info_.begin(), info_.end(), samePlace) &&
                std::none_of(fresh.begin(), fresh.end(), samePlace))
                fresh.push_back(std::move(m));
        }
        addMarks(fresh);
    }
}

Marks Function::intersectWith(Function&) { return {}; }

std::optional<InfoMap> Function::rangeInfo(double, double) { return std::nullopt; }

myPoint Function::positionAt(double) { return myPoint{kNaN, kNaN}; }

myPointInfo Function::pointAt(double) { return myPointInfo{}; }

std::vector<myPointInfo> Function::pointsAt(std::span<const double> places)
{
    std::vector<myPointInfo> points;
    points.reserve(places.size());
    for (double v : places) {
        myPointInfo p = pointAt(v);
        p.info.reset();
        points.push_back(std::move(p));
    }
    return points;
}

double Function::varValueForPoint(PointF, TouchPhase) { return 0.0; }

void Function::setMinVar(double lo, double hi)
{
    varMin_ = lo;
    varMax_ = hi;
    updatePoints();
}

void Function::useDefaultRange(double lo, double hi)
{
    setMinVar(lo, hi);
    functionInfo_["minVarStr"] = tostr(varMin_);
    functionInfo_["maxVarStr"] = tostr(varMax_);
}

int Function::boundedSampleCount(int wanted, long long steps)
{
    const double most = sampleStepBudget / static_cast<double>(std::max(steps, 1LL));
    if (wanted <= minBoundedSamples || wanted <= most)
        return wanted;
    return std::max(minBoundedSamples, static_cast<int>(most));
}

void Function::setNumOfPoints(int n)
{
    n = std::max(n, 0);
    if (!points_.empty() && n == chosenPointCount_ && points_.size() == static_cast<size_t>(n))
        return;
    points_.assign(static_cast<size_t>(n), myPoint{kNaN, kNaN});
    chosenPointCount_ = n;
}

void Function::addMarks(const Marks& m)
{
    for (const auto& p : m) {
        // A mark at infinity (a crossing read back at a pole, the
        // "extremum" of a formula that is ∞ everywhere) marks nothing.
        if (!p || !std::isfinite(p->info().point.x) || !std::isfinite(p->info().point.y))
            continue;
        if (std::find(info_.begin(), info_.end(), p) == info_.end())
            info_.push_back(p);
    }
}

void Function::setDashPattern(const float* lengths, int n)
{
    if (!lengths || n <= 0) {
        dashPattern_.clear();
        return;
    }
    dashPattern_.assign(lengths, lengths + n);
}

// ---- persistence ----

Function::json Function::toDict() const
{
    using record::jsonDouble;
    json d = json::object();
    d["invisible"] = invisible_;
    d["strRepr"] = stringRepresentation_;
    d["lineWidth"] = jsonDouble(lineWidth_);
    d["dash"] = dashPatternSize() / 2;
    d["rColor"] = jsonDouble(color_.r);
    d["gColor"] = jsonDouble(color_.g);
    d["bColor"] = jsonDouble(color_.b);
    d["aColor"] = jsonDouble(color_.a);
    d["minVar"] = jsonDouble(varMin_);
    d["maxVar"] = jsonDouble(varMax_);
    d["NoP"] = chosenPointCount_;
    json fi = json::object();
    for (const auto& [k, v] : functionInfo_)
        fi[k] = v;
    d["funcInfo"] = std::move(fi);
    return d;
}

void Function::applyStoredRange(const json& r)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double lo = record::readDouble(r, "minVar", nan), hi = record::readDouble(r, "maxVar", nan);
    if (curve::isUsableRange(lo, hi)) {
        varMin_ = lo;
        varMax_ = hi;
    }
}

void Function::applyRecord(const json& r)
{
    using namespace record;
    invisible_ = readBool(r, "invisible", false);
    // Each value out of its range falls back to its own default; the rest of
    // the record still loads.
    const float w = readFloat(r, "lineWidth", 1.0f);
    lineWidth_ = w >= minRecordLineWidth && w <= maxRecordLineWidth ? w : 1.0f;
    const colorGen& cg = colorGen::sharedColorGen();
    setDashPattern(cg.dashes(readInt(r, "dash", 0)));
    const auto component = [&](const char* key, float fallback) {
        const float c = readFloat(r, key, fallback);
        return c >= 0 && c <= 1 ? c : fallback;
    };
    setColorWithR(component("rColor", color_.r), component("gColor", color_.g), component("bColor", color_.b),
                  component("aColor", color_.a));
    const int nop = readInt(r, "NoP", 0);
    setChosenPointCount(nop >= 0 && nop <= maxRecordPoints ? nop : 0);
    setFunctionInfo(readStringMap(r, "funcInfo"));
}

} // namespace orlix
