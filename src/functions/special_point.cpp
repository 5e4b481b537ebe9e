#include "orlix/special_point.h"

#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <typeindex>

#include "orlix/color_gen.h"

namespace orlix {

namespace {

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float arrowLength = 24;

PlotContext*& plotterRef()
{
    static PlotContext* p = nullptr;
    return p;
}

constexpr size_t markerCount = 7;

// Marker layers per kind of canvas: a layer is only ever drawn on a canvas
// of the kind that made it.
// One set of marker pictures per kind of canvas and appearance.
using MarkerKey = std::pair<std::type_index, Appearance>;

std::map<MarkerKey, std::array<std::unique_ptr<Canvas>, markerCount>>& markerCache()
{
    static std::map<MarkerKey, std::array<std::unique_ptr<Canvas>, markerCount>> cache;
    return cache;
}

const RectF circle{6, 6, 12, 12};
const RectF traceSquare{8.485281f, 8.485281f, 7.029437f, 7.029437f};

const Theme& themeOf(const PlotContext* plot) { return plot ? plot->theme() : themeFor(Appearance::light); }

void stroke(Canvas& c, float width, Color color, bool bevel)
{
    c.setLineWidth(width);
    c.setStrokeColor(color);
    if (bevel)
        c.setLineJoin(LineJoin::Bevel);
}

} // namespace

void specialObject::setPlotter(PlotContext* p) { plotterRef() = p; }

PlotContext* specialObject::plotter() { return plotterRef(); }

specialPoint::specialPoint() : devicePoint_{kNaNf, kNaNf}, thetta_(kNaNf) {}

specialPoint::specialPoint(const myPointInfo& info) : specialPoint() { info_ = info; }

specialPoint::specialPoint(const myPointInfo& info, std::string_view type) : specialPoint(info)
{
    type_ = type;
    if (type == "root") {
        myPoint& p = info_.point;
        if (1000 * std::fabs(p.x) < std::fabs(p.y))
            p.x = 0;
        else if (std::fabs(p.x) > 1000 * std::fabs(p.y))
            p.y = 0;
        info_.value = 0;
        image_ = Marker::Root;
    } else if (type == "minmax") {
        image_ = Marker::MinMax;
    } else if (type == "infl") {
        image_ = Marker::Infl;
    } else if (type == "inter") {
        image_ = Marker::Root;
        betta_ = static_cast<float>(std::numbers::pi / 4);
    } else if (type == "trace") {
        image_ = Marker::Trace;
    } else if (type == "trace2") {
        image_ = Marker::Trace2;
    }
}

std::shared_ptr<specialPoint> specialPoint::pointWithInfo(const myPointInfo& info, std::string_view type)
{
    return std::make_shared<specialPoint>(info, type);
}

bool specialPoint::isInside(myPoint p)
{
    PlotContext* plot = plotter();
    return plot && plot->goodRect().contains(plot->myPointToDevice(p));
}

bool specialPoint::drawToContext(Canvas& c)
{
    PlotContext* plot = plotter();
    const PointF d = plot ? plot->myPointToDevice(info_.point) : PointF{kNaNf, kNaNf};
    if (!plot || !plot->goodRect().contains(d)) {
        devicePoint_ = PointF{kNaNf, kNaNf};
        return false;
    }
    devicePoint_ = d;
    if (image_ == Marker::None)
        return true;
    c.translate(d.x, d.y);
    drawImage(c);
    c.translate(-d.x, -d.y);
    return true;
}

void specialPoint::drawImage(Canvas& c)
{
    const Canvas* layer = markerLayer(c, image_, themeOf(plotter()));
    if (!layer)
        return;
    c.rotate(betta_);
    c.drawLayer(*layer, PointF{-12, -12});
    c.rotate(-betta_);
}

void specialPoint::drawAnyway(Canvas& c)
{
    if (drawToContext(c))
        return;
    PlotContext* plot = plotter();
    if (!plot)
        return;
    const double x = info_.point.x;
    const double y = info_.point.y;
    if (std::isnan(x) || std::isnan(y))
        return;
    const RectF G = plot->goodRect();
    const float x0 = G.x, y0 = G.y, w = G.width, h = G.height;
    PointF head, tail;
    float width;
    Color color;
    if (!std::isfinite(x) || !std::isfinite(y)) {
        if (std::isfinite(x)) {
            head = PointF{plot->myPointToDevice(myPoint{x, 0}).x, y < 0 ? y0 + h : y0};
            tail = PointF{head.x, y < 0 ? head.y - arrowLength : head.y + arrowLength};
        } else if (std::isfinite(y)) {
            head = PointF{x > 0 ? x0 + w : x0, plot->myPointToDevice(myPoint{0, y}).y};
            tail = PointF{x > 0 ? head.x - arrowLength : head.x + arrowLength, head.y};
        } else {
            head = PointF{x > 0 ? x0 + w : x0, y < 0 ? y0 + h : y0};
            const double m = std::atan(static_cast<double>(h) / w);
            const double base = x > 0 ? std::numbers::pi : 0.0;
            const double theta = (x > 0) == (y > 0) ? base + m : base - m;
            if (std::isnan(thetta_))
                thetta_ = static_cast<float>(theta + 0.25 - (colorGen::randomInt() % 1000) / 2000.0);
            tail = PointF{head.x + arrowLength * std::cos(thetta_), head.y - arrowLength * std::sin(thetta_)};
        }
        width = 1;
        color = plot->theme().infiniteArrow;
    } else {
        const PointF d = plot->myPointToDevice(info_.point);
        const float px = d.x, py = d.y;
        if (std::isnan(px) || std::isnan(py))
            return;
        if (x0 <= px && px <= x0 + w) {
            head = PointF{px, py < y0 ? y0 : y0 + h};
            tail = PointF{px, py < y0 ? head.y + arrowLength : head.y - arrowLength};
        } else if (y0 <= py && py <= y0 + h) {
            head = PointF{px < x0 ? x0 : x0 + w, py};
            tail = PointF{px < x0 ? head.x + arrowLength : head.x - arrowLength, py};
        } else {
            head = PointF{px < x0 ? x0 : x0 + w, py < y0 ? y0 : y0 + h};
            const float cx = x0 + w / 2, cy = y0 + h / 2;
            const float vx = head.x - cx, vy = head.y - cy;
            const float len = std::hypot(vx, vy);
            if (len > 0)
                tail = PointF{head.x - arrowLength * vx / len, head.y - arrowLength * vy / len};
            else
                tail = head;
        }
        width = 2;
        color = plot->theme().highlight;
    }
    if (!std::isfinite(head.x) || !std::isfinite(head.y) || !std::isfinite(tail.x) || !std::isfinite(tail.y))
        return;
    // The two wings from the middle of the shaft: taken from the tail, since
    // the sum of two coordinates near the float limit is no number.
    const float dx = head.x - tail.x, dy = head.y - tail.y;
    const float mx = tail.x + dx / 2, my = tail.y + dy / 2;
    const PointF wing1{mx + 0.2f * -dy, my + 0.2f * dx}, wing2{mx + 0.2f * dy, my + 0.2f * -dx};
    if (!std::isfinite(wing1.x) || !std::isfinite(wing1.y) || !std::isfinite(wing2.x) || !std::isfinite(wing2.y))
        return;
    devicePoint_ = head;
    c.save();
    if (const Canvas* dot = markerLayer(c, Marker::Arrow, plot->theme()))
        c.drawLayer(*dot, PointF{head.x - 12, head.y - 12});
    c.setLineWidth(width);
    c.setStrokeColor(color);
    c.moveTo(tail.x, tail.y);
    c.lineTo(head.x, head.y);
    c.strokePath();
    c.moveTo(head.x, head.y);
    c.lineTo(wing1.x, wing1.y);
    c.moveTo(head.x, head.y);
    c.lineTo(wing2.x, wing2.y);
    c.strokePath();
    c.restore();
}

float specialPoint::roFromPoint(PointF p) const
{
    const float dx = p.x - devicePoint_.x;
    const float dy = p.y - devicePoint_.y;
    return dx * dx + dy * dy;
}

void specialPoint::copyFrom(const specialPoint& other)
{
    devicePoint_ = other.devicePoint_;
    info_ = other.info_;
}

void specialPoint::rotate()
{
    if (!info_.info)
        return;
    auto it = info_.info->find("f");
    if (it != info_.info->end())
        betta_ = static_cast<float>(betta_ - it->second);
}

const Canvas* specialPoint::markerLayer(Canvas& c, Marker m, const Theme& theme)
{
    if (m == Marker::None)
        return nullptr;
    auto& layers = markerCache()[MarkerKey{std::type_index(typeid(c)), theme.appearance}];
    auto& slot = layers[static_cast<size_t>(m)];
    if (!slot) {
        slot = c.createLayer(SizeF{24, 24});
        if (!slot)
            return nullptr;
        drawMarker(*slot, m, theme);
    }
    return slot.get();
}

void specialPoint::drawMarker(Canvas& c, Marker m, const Theme& theme)
{
    c.save();
    switch (m) {
    case Marker::None: break;
    case Marker::Root: {
        stroke(c, 2, theme.rootMark, false);
        c.strokeEllipse(circle);
        for (int k = 0; k < 4; ++k) {
            const double a = std::numbers::pi / 4 + k * std::numbers::pi / 2;
            const float cs = static_cast<float>(std::cos(a)), sn = static_cast<float>(std::sin(a));
            c.moveTo(12 + 6 * cs, 12 - 6 * sn);
            c.lineTo(12 + 12 * cs, 12 - 12 * sn);
        }
        c.strokePath();
        break;
    }
    case Marker::MinMax:
        stroke(c, 2, theme.extremumMark, true);
        c.strokeEllipse(circle);
        c.moveTo(1.2f, 12);
        c.lineTo(22.8f, 12);
        c.moveTo(9, 23.4f);
        c.lineTo(12, 12);
        c.lineTo(15, 23.4f);
        c.strokePath();
        break;
    case Marker::Infl:
        stroke(c, 2, theme.inflectionMark, true);
        c.strokeEllipse(circle);
        c.moveTo(9, 6.803848f);
        c.lineTo(0, 12);
        c.lineTo(24, 12);
        c.lineTo(15, 17.196152f);
        c.strokePath();
        break;
    case Marker::Trace:
        stroke(c, 1.5f, theme.traceMark, true);
        c.strokeRect(traceSquare);
        // Four quarter circles of radius 12, each centred on the nearer
        // corner: a concave star.
        c.moveTo(0, 12);
        c.arcTo(12, 12, 12, 0, 12);
        c.arcTo(12, 12, 24, 12, 12);
        c.arcTo(12, 12, 12, 24, 12);
        c.arcTo(12, 12, 0, 12, 12);
        c.closePath();
        c.strokePath();
        break;
    case Marker::Trace2:
        stroke(c, 1.5f, theme.currentTraceMark, true);
        c.strokeEllipse(RectF{1, 1, 22, 22});
        c.strokeRect(traceSquare);
        c.moveTo(12, 0);
        c.arcTo(12, 12, 24, 12, 12);
        c.arcTo(12, 12, 12, 24, 12);
        c.closePath();
        c.strokePath();
        break;
    case Marker::Arrow:
        stroke(c, 2, theme.highlight, false);
        c.strokeEllipse(circle);
        break;
    }
    c.restore();
}

} // namespace orlix
