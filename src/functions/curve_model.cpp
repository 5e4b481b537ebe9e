#include "orlix/curve_model.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "orlix/error.h"
#include "orlix/function_kind.h"
#include "orlix/math_engine.h"
#include "orlix/record.h"

namespace orlix {

namespace {

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

// A point so far beyond the w × h layer (5000 points past an edge) that it
// ends the stroke instead of being drawn to: a branch running off to
// infinity, which the painter would take in coordinates it cannot hold.
// Measured from the layer's edges, not its corner, so that the far side
// of a large layer is drawn like the near one.
bool farBeyond(float X, float Y, float w, float h)
{
    constexpr float kFar = 5000;
    return std::isnan(X) || std::isnan(Y) || X < -kFar || Y < -kFar || X > w + kFar || Y > h + kFar;
}

void drawPolyline(Canvas& layer, std::span<const myPoint> points, std::span<const unsigned char> breaks, myPoint o,
                  myPoint s, float w, float h)
{
    const int n = static_cast<int>(points.size());
    // Converted in passes of at most maxDrawPoints, the state of the
    // polyline carried from one pass to the next.
    static std::vector<PointF> buffer(Function::maxDrawPoints);
    bool previousBreak = true;
    // The edges of the layer a point lies beyond, a bit each: a segment
    // between two points beyond the same edge cannot cross the layer and is
    // left out; one from beyond the top to beyond the bottom (a fast
    // oscillation far taller than the view) crosses it and is drawn.
    unsigned previousBeyond = 0;
    for (int start = 0; start < n; start += Function::maxDrawPoints) {
        const int count = std::min(Function::maxDrawPoints, n - start);
        for (int i = 0; i < count; ++i)
            buffer[static_cast<size_t>(i)] = deviceOf(points[static_cast<size_t>(start + i)], o, s);
        for (int i = 0; i < count; ++i) {
            const float X = buffer[static_cast<size_t>(i)].x;
            const float Y = buffer[static_cast<size_t>(i)].y;
            const bool isBreak = farBeyond(X, Y, w, h);
            const unsigned beyond = (Y < 0 ? 1u : 0u) | (Y > h ? 2u : 0u) | (X < 0 ? 4u : 0u) | (X > w ? 8u : 0u);
            const size_t index = static_cast<size_t>(start + i);
            const bool brokenBefore = index < breaks.size() && breaks[index] != 0;
            if (!isBreak) {
                if (previousBreak || brokenBefore || (beyond & previousBeyond) != 0)
                    layer.moveTo(X, Y);
                else
                    layer.lineTo(X, Y);
            }
            previousBeyond = beyond;
            previousBreak = isBreak;
        }
    }
}

void drawSegments(Canvas& layer, const Function& f, int n, myPoint o, myPoint s, float w, float h)
{
    const auto& points = f.points();
    for (const auto& [i, j] : f.segmentPairs()) {
        if (i < 0 || j < 0 || i >= n || j >= n)
            continue;
        const PointF a = deviceOf(points[static_cast<size_t>(i)], o, s);
        const PointF b = deviceOf(points[static_cast<size_t>(j)], o, s);
        if (farBeyond(a.x, a.y, w, h) || farBeyond(b.x, b.y, w, h))
            continue;
        layer.moveTo(a.x, a.y);
        layer.lineTo(b.x, b.y);
    }
}

} // namespace

CurveModel::CurveModel()
{
    for (const FunctionKindInfo& k : functionKinds())
        kinds_[std::string(k.typeName)] = k.fromRecord;
}

CurveModel::~CurveModel()
{
    for (const auto& [id, f] : functions_)
        if (f && f->model() == this)
            f->setModel(nullptr);
}

// ---- the register ----

CurveModel::Ptr CurveModel::functionWithID(const std::string& id) const
{
    auto it = std::find_if(functions_.begin(), functions_.end(), [&](const auto& e) { return e.first == id; });
    return it == functions_.end() ? nullptr : it->second;
}

void CurveModel::removeFunctionWithID(const std::string& id)
{
    auto it = std::find_if(functions_.begin(), functions_.end(), [&](const auto& e) { return e.first == id; });
    if (it != functions_.end())
        functions_.erase(it);
}

void CurveModel::removeFunction(const Function* f)
{
    auto it = std::find_if(functions_.begin(), functions_.end(), [&](const auto& e) { return e.second.get() == f; });
    if (f && it != functions_.end())
        functions_.erase(it);
}

void CurveModel::setFunction(Ptr f, const std::string& id)
{
    if (!f)
        return;
    // Attached first: making the derivatives may read the window.
    f->setModel(this);
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
    auto it = std::find_if(functions_.begin(), functions_.end(), [&](const auto& e) { return e.first == id; });
    if (it != functions_.end())
        it->second = f;
    else
        functions_.emplace_back(id, f);
    f->fillStaticInfo();
}

// ---- the sampling window ----

void CurveModel::setMinX(double lo, double hi)
{
    minX_ = lo;
    maxX_ = hi;
}

void CurveModel::setMinY(double lo, double hi)
{
    minY_ = lo;
    maxY_ = hi;
}

void CurveModel::setSampleFloor(int alongX, int alongY)
{
    sampleFloorX_ = std::clamp(alongX, 0, Function::maxDrawPoints);
    sampleFloorY_ = std::clamp(alongY, 0, Function::maxDrawPoints);
}

myPoint CurveModel::plotScale() const { return plot_ ? plot_->plotScale() : defaultScale; }

// ---- records ----

CurveModel::json CurveModel::registerToDict() const
{
    json d = json::object();
    for (const auto& [id, f] : functions_)
        if (f)
            d[id] = f->toDict();
    return d;
}

CurveModel::Ptr CurveModel::fromDict(const json& r) const
{
    if (!r.is_object())
        return nullptr;
    const std::string type = record::readString(r, "type");
    auto it = kinds_.find(type);
    if (type.empty() || it == kinds_.end() || !it->second)
        return nullptr;
    try {
        return it->second(r);
    } catch (const std::exception&) {
        return nullptr;
    }
}

void CurveModel::loadAllFromDict(const json& d)
{
    if (d.is_null())
        return;
    if (willLoadAll_)
        willLoadAll_();
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

void CurveModel::registerKind(const std::string& type, FromDict fromDict) { kinds_[type] = std::move(fromDict); }

// ---- drawing ----

Canvas& CurveModel::drawFunctionsOnLayer(Canvas& layer, myPoint o, myPoint s, LayerPart part) const
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

void CurveModel::drawFunctions(Canvas& c, myPoint o, myPoint s, SizeF area) const
{
    const Register functions = functions_;
    Function* current = shell_ ? shell_->currentFunction() : nullptr;
    const PlotContext* plot = plot_;
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
            f->setNumOfPoints(f->chosenPointCount());
            f->updatePoints();
        } else {
            f->updateIfNeeded();
        }
        if (f->isImplicit())
            drawSegments(c, *f, std::clamp(f->drawnPointCount(), 0, static_cast<int>(f->points().size())), o, s,
                         area.width, area.height);
        else
            drawPolyline(c, f->drawPolylinePoints(), f->drawPolylineBreaks(), o, s, area.width, area.height);
        c.strokePath();
        c.restore();
    }
}

// ---- parameters ----

const char* parameterName(Parameter p)
{
    switch (p) {
    case Parameter::a: return "a";
    case Parameter::b: return "b";
    case Parameter::c: return "c";
    }
    return "";
}

namespace {

double* parameterCell(Parameter p)
{
    switch (p) {
    case Parameter::a: return MathEngine::aAddr();
    case Parameter::b: return MathEngine::bAddr();
    case Parameter::c: return MathEngine::cAddr();
    }
    return nullptr;
}

} // namespace

bool ParameterBounds::usable() const
{
    return std::isfinite(min) && std::isfinite(max) && min < max && std::isfinite(step) && step > 0;
}

bool CurveModel::setParameter(Parameter p, double value)
{
    if (!std::isfinite(value))
        return false;
    ParameterBounds& b = bounds_[static_cast<std::size_t>(p)];
    b.min = std::min(b.min, value);
    b.max = std::max(b.max, value);
    parameters_[static_cast<std::size_t>(p)] = value;
    applyParameters();
    for (const auto& [id, f] : functions_)
        if (f && f->readsName(parameterName(p)))
            f->resample();
    return true;
}

bool CurveModel::setParameterBounds(Parameter p, ParameterBounds bounds)
{
    if (!bounds.usable())
        return false;
    const double value = parameter(p);
    bounds.min = std::min(bounds.min, value);
    bounds.max = std::max(bounds.max, value);
    bounds_[static_cast<std::size_t>(p)] = bounds;
    return true;
}

CurveModel::json CurveModel::parametersToDict() const
{
    json d = json::object();
    for (Parameter p : allParameters) {
        const ParameterBounds& b = parameterBounds(p);
        d[parameterName(p)] = {{"value", parameter(p)}, {"min", b.min}, {"max", b.max}, {"step", b.step}};
    }
    return d;
}

void CurveModel::loadParametersFromDict(const json& d)
{
    for (Parameter p : allParameters) {
        double value = 0;
        ParameterBounds bounds;
        if (d.is_object() && d.contains(parameterName(p)) && d[parameterName(p)].is_object()) {
            const json& e = d[parameterName(p)];
            const auto number = [&](const char* key, double fallback) {
                return e.contains(key) && e[key].is_number() && std::isfinite(e[key].get<double>()) ? e[key].get<double>()
                                                                                                     : fallback;
            };
            const ParameterBounds read{number("min", bounds.min), number("max", bounds.max), number("step", bounds.step)};
            if (read.usable())
                bounds = read;
            value = number("value", 0);
        }
        bounds_[static_cast<std::size_t>(p)] = bounds;
        if (value != parameter(p))
            setParameter(p, value);
        else
            setParameterBounds(p, bounds);
    }
    applyParameters();
}

void CurveModel::applyParameters() const
{
    for (Parameter p : allParameters)
        *parameterCell(p) = parameter(p);
}

bool CurveModel::parameterInUse(Parameter p) const
{
    return std::any_of(functions_.begin(), functions_.end(),
                       [&](const auto& entry) { return entry.second && entry.second->readsName(parameterName(p)); });
}

} // namespace orlix
