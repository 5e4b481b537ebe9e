#include "orlix/function.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "curve_support.h"
#include "orlix/color_gen.h"
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

struct ModelState {
    Function::Register functions;
    int maxIntegral = 10;
    bool derAreDashed = false;
    PlotContext* plot = nullptr;
    FunctionShell* shell = nullptr;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    int sampleFloorX = 0, sampleFloorY = 0;
    std::map<std::string, Function::FromDict> kinds;
    std::function<void()> willLoadAll;
};

ModelState& state()
{
    // The kinds of the table are known from the start; registerKind adds
    // others (and registerBuiltInKinds puts the table's back).
    static ModelState s = [] {
        ModelState m;
        for (const FunctionKindInfo& k : functionKinds())
            m.kinds[std::string(k.typeName)] = k.fromRecord;
        return m;
    }();
    return s;
}

Function::Register::iterator findID(const std::string& id)
{
    auto& r = state().functions;
    return std::find_if(r.begin(), r.end(), [&](const auto& e) { return e.first == id; });
}

// A device coordinate in single precision. Values far beyond any layer become
// NaN before the conversion: such a point breaks the curve either way, and
// a double beyond the range of float has no float value.
float toDevice(double v)
{
    return std::fabs(v) <= 1e7 ? static_cast<float>(v) : std::numeric_limits<float>::quiet_NaN();
}

PointF deviceOf(myPoint p, myPoint o, myPoint s)
{
    return PointF{toDevice(s.x * p.x - o.x), toDevice(-o.y - s.y * p.y)};
}

void drawPolyline(Canvas& layer, const std::vector<myPoint>& points, std::span<const unsigned char> breaks, int n,
                  myPoint o, myPoint s, float w, float h)
{
    // Converted in passes of at most maxDrawPoints, the state of the
    // polyline carried from one pass to the next.
    static std::vector<PointF> buffer(Function::maxDrawPoints);
    bool previousBreak = true;
    bool previousOutside = true;
    for (int start = 0; start < n; start += Function::maxDrawPoints) {
        const int count = std::min(Function::maxDrawPoints, n - start);
        for (int i = 0; i < count; ++i)
            buffer[static_cast<size_t>(i)] = deviceOf(points[static_cast<size_t>(start + i)], o, s);
        for (int i = 0; i < count; ++i) {
            const float X = buffer[static_cast<size_t>(i)].x;
            const float Y = buffer[static_cast<size_t>(i)].y;
            const bool isBreak = std::isnan(Y) || std::isnan(X) || std::fabs(X) + std::fabs(Y) > 5000;
            const bool outside = Y < 0 || Y > h || X < 0 || X > w;
            const size_t index = static_cast<size_t>(start + i);
            const bool brokenBefore = index < breaks.size() && breaks[index] != 0;
            if (!isBreak) {
                if (previousBreak || brokenBefore || (outside && previousOutside))
                    layer.moveTo(X, Y);
                else
                    layer.lineTo(X, Y);
            }
            previousOutside = outside;
            previousBreak = isBreak;
        }
    }
}

void drawSegments(Canvas& layer, const Function& f, int n, myPoint o, myPoint s)
{
    const auto& points = f.points();
    for (const auto& [i, j] : f.segmentPairs()) {
        if (i < 0 || j < 0 || i >= n || j >= n)
            continue;
        const PointF a = deviceOf(points[static_cast<size_t>(i)], o, s);
        const PointF b = deviceOf(points[static_cast<size_t>(j)], o, s);
        if (std::isnan(a.x) || std::isnan(a.y) || std::isnan(b.x) || std::isnan(b.y))
            continue;
        if (std::fabs(a.x) + std::fabs(a.y) + std::fabs(b.x) + std::fabs(b.y) < 10000) {
            layer.moveTo(a.x, a.y);
            layer.lineTo(b.x, b.y);
        }
    }
}

} // namespace

Function::Function() : cMinVar_(kNaN), cMaxVar_(kNaN) {}

Function::~Function() = default;

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
    const SearchSettings s = state().shell ? state().shell->searchSettings() : SearchSettings{};
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
    const Register others = state().functions;
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
                const myPointInfo at = myPointInfoFVV(v);
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

std::optional<InfoMap> Function::infoForRangeA(double, double) { return std::nullopt; }

myPoint Function::myPointFVV(double) { return myPoint{kNaN, kNaN}; }

myPointInfo Function::myPointInfoFVV(double) { return myPointInfo{}; }

double Function::varValueForPoint(PointF, TouchPhase) { return 0.0; }

void Function::setMinVar(double lo, double hi)
{
    cMinVar_ = lo;
    cMaxVar_ = hi;
    updatePoints();
}

void Function::useDefaultRange(double lo, double hi)
{
    setMinVar(lo, hi);
    functionInfo_["minVarStr"] = tostr(cMinVar_);
    functionInfo_["maxVarStr"] = tostr(cMaxVar_);
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
    if (!points_.empty() && n == cNumOfPoints_ && points_.size() == static_cast<size_t>(n))
        return;
    points_.assign(static_cast<size_t>(n), myPoint{kNaN, kNaN});
    cNumOfPoints_ = n;
}

void Function::addMarks(const Marks& m)
{
    for (const auto& p : m) {
        if (p && std::find(info_.begin(), info_.end(), p) == info_.end())
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
    d["minVar"] = jsonDouble(cMinVar_);
    d["maxVar"] = jsonDouble(cMaxVar_);
    d["NoP"] = cNumOfPoints_;
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
        cMinVar_ = lo;
        cMaxVar_ = hi;
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
    setCNumOfPoints(nop >= 0 && nop <= maxRecordPoints ? nop : 0);
    setFunctionInfo(readStringMap(r, "funcInfo"));
}

// ---- class-level state ----

const Function::Register& Function::functionRegister() { return state().functions; }

Function::Ptr Function::functionWithID(const std::string& id)
{
    auto it = findID(id);
    return it == state().functions.end() ? nullptr : it->second;
}

void Function::removeFunctionWithID(const std::string& id)
{
    auto it = findID(id);
    if (it != state().functions.end())
        state().functions.erase(it);
}

void Function::removeFunction(const Function* f)
{
    auto& r = state().functions;
    auto it = std::find_if(r.begin(), r.end(), [&](const auto& e) { return e.second.get() == f; });
    if (f && it != r.end())
        r.erase(it);
}

void Function::setFunction(Ptr f, const std::string& id)
{
    if (!f)
        return;
    if (!f->isImplicit()) {
        Ptr second;
        try {
            if (Ptr first = f->differential())
                second = first->differential();
        } catch (const std::exception&) {
            second = nullptr;
        }
        if (!second)
            throw Error("Function is too complex!");
    }
    auto it = findID(id);
    if (it != state().functions.end())
        it->second = f;
    else
        state().functions.emplace_back(id, f);
    f->fillStaticInfo();
}

void Function::deleteAll() { state().functions.clear(); }

int Function::maxIntegral() { return state().maxIntegral; }

void Function::setMaxIntegral(int n) { state().maxIntegral = n == 0 ? 10 : n; }

bool Function::derAreDashed() { return state().derAreDashed; }

void Function::setDerAreDashed(bool v) { state().derAreDashed = v; }

PlotContext* Function::plotContext() { return state().plot; }

void Function::setPlotContext(PlotContext* p) { state().plot = p; }

FunctionShell* Function::shell() { return state().shell; }

void Function::setShell(FunctionShell* s) { state().shell = s; }

void Function::setMinX(double lo, double hi)
{
    state().minX = lo;
    state().maxX = hi;
}

void Function::setMinY(double lo, double hi)
{
    state().minY = lo;
    state().maxY = hi;
}

void Function::setSampleFloor(int alongX, int alongY)
{
    state().sampleFloorX = std::clamp(alongX, 0, maxDrawPoints);
    state().sampleFloorY = std::clamp(alongY, 0, maxDrawPoints);
}

int Function::sampleFloorX() { return state().sampleFloorX; }
int Function::sampleFloorY() { return state().sampleFloorY; }

double Function::minX() { return state().minX; }
double Function::maxX() { return state().maxX; }
double Function::minY() { return state().minY; }
double Function::maxY() { return state().maxY; }

myPoint Function::curSs()
{
    if (state().plot)
        return state().plot->curSs();
    return myPoint{30, 30};
}

Function::json Function::registerToDict()
{
    json d = json::object();
    for (const auto& [id, f] : state().functions)
        if (f)
            d[id] = f->toDict();
    return d;
}

Function::Ptr Function::fromDict(const json& r)
{
    if (!r.is_object())
        return nullptr;
    const std::string type = record::readString(r, "type");
    auto it = state().kinds.find(type);
    if (type.empty() || it == state().kinds.end() || !it->second)
        return nullptr;
    try {
        return it->second(r);
    } catch (const std::exception&) {
        return nullptr;
    }
}

void Function::loadAllFromDict(const json& d)
{
    if (d.is_null())
        return;
    if (state().willLoadAll)
        state().willLoadAll();
    if (!d.is_object())
        return;
    for (auto it = d.begin(); it != d.end(); ++it) {
        Ptr f = fromDict(it.value());
        if (!f)
            continue;
        try {
            setFunction(f, it.key());
        } catch (const std::exception&) {
            removeFunction(f.get());
        }
    }
}

void Function::registerKind(const std::string& type, FromDict fromDict) { state().kinds[type] = std::move(fromDict); }

void Function::setWillLoadAll(std::function<void()> hook) { state().willLoadAll = std::move(hook); }

Canvas& Function::drawFunctionsOnLayer(Canvas& layer, myPoint o, myPoint s, LayerPart part)
{
    const SizeF size = layer.size();
    const RectF& r = part.rect;
    switch (part.side) {
    case LayerPart::Side::Whole: layer.clear(RectF{0, 0, size.width, size.height}); break;
    case LayerPart::Side::Inside: layer.clear(r); break;
    case LayerPart::Side::Outside:
        // The bands above, below, left and right of the rectangle.
        for (const RectF band :
             {RectF{0, 0, size.width, r.y}, RectF{0, r.y + r.height, size.width, size.height - r.y - r.height},
              RectF{0, r.y, r.x, r.height}, RectF{r.x + r.width, r.y, size.width - r.x - r.width, r.height}})
            if (band.width > 0 && band.height > 0)
                layer.clear(band);
        break;
    }
    // One clip for all the functions: a clip other than a rectangle is
    // costly to set up.
    const bool clipped = part.side != LayerPart::Side::Whole;
    if (clipped) {
        layer.save();
        if (part.side == LayerPart::Side::Inside)
            layer.clip(r);
        else
            layer.clipOut(r);
    }
    drawFunctions(layer, o, s, size);
    if (clipped)
        layer.restore();
    return layer;
}

void Function::drawFunctions(Canvas& c, myPoint o, myPoint s, SizeF area)
{
    const Register functions = state().functions;
    Function* current = state().shell ? state().shell->currentFunction() : nullptr;
    const PlotContext* plot = plotContext();
    const Theme& theme = plot ? plot->theme() : themeFor(Appearance::light);
    for (const auto& [id, f] : functions) {
        if (!f)
            continue;
        c.save();
        // The current function stands out by one point; its own width stays.
        c.setLineWidth(f.get() == current ? f->lineWidth() + 1 : f->lineWidth());
        c.setStrokeColor(theme.legible(f->color()));
        if (f->dashPatternSize() != 0)
            c.setLineDash(0, f->dashPattern().data(), f->dashPatternSize());
        else
            c.setLineDash(0, nullptr, 0);
        if (!f->hasPoints()) {
            f->setNumOfPoints(f->cNumOfPoints());
            f->updatePoints();
        } else {
            f->updateIfNeeded();
        }
        const int n = std::clamp(f->drawnPointCount(), 0, static_cast<int>(f->points().size()));
        if (f->isImplicit())
            drawSegments(c, *f, n, o, s);
        else
            drawPolyline(c, f->points(), f->curveBreaks(), n, o, s, area.width, area.height);
        c.strokePath();
        c.restore();
    }
    if (current)
        current->updateInfoIfNeeded();
}

} // namespace orlix
