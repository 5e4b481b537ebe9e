#include "svg_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "recorded_layer.h"

namespace orlix {

namespace {

using drawing_limits::drawable;

// A number as the document writes it: short, and "0" for no number.
std::string num(double v)
{
    if (!std::isfinite(v))
        return "0";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string colorText(Color c)
{
    const auto byte = [](float v) { return std::lround(std::clamp(std::isfinite(v) ? v : 0.0f, 0.0f, 1.0f) * 255); };
    return "rgb(" + std::to_string(byte(c.r)) + "," + std::to_string(byte(c.g)) + "," + std::to_string(byte(c.b)) + ")";
}

float unitAlpha(float a) { return std::isfinite(a) ? std::clamp(a, 0.0f, 1.0f) : 0.0f; }

// Text as XML takes it in content and in quoted attributes; bytes that are
// no character of XML (controls) are left out.
std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            if (static_cast<unsigned char>(ch) >= 0x20 || ch == '\t')
                out += ch;
        }
    }
    return out;
}

} // namespace

SvgCanvas::SvgCanvas(SizeF size, std::string title) : title_(std::move(title))
{
    const bool sized = std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 0 && size.height >= 0;
    size_ = sized ? size : SizeF{0, 0};
}

std::string SvgCanvas::document() const
{
    const std::string w = num(std::ceil(size_.width)), h = num(std::ceil(size_.height));
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + num(size_.width) + " " + num(size_.height) +
                      "\">\n<title>" + escaped(title_) + "</title>\n";
    doc += body_;
    for (int k = 0; k < open_; ++k)
        doc += "</g>\n";
    return doc + "</svg>\n";
}

void SvgCanvas::clear(RectF rect)
{
    const bool whole = rect.x <= 0 && rect.y <= 0 && rect.maxX() >= size_.width && rect.maxY() >= size_.height;
    if (whole && open_ == 0)
        body_.clear();
}

void SvgCanvas::openGroup(const std::string& attributes)
{
    body_ += "<g " + attributes + ">\n";
    ++open_;
    ++state_.groups;
}

void SvgCanvas::save()
{
    saved_.push_back(state_);
    state_.groups = 0;
}

void SvgCanvas::restore()
{
    if (saved_.empty())
        return; // unbalanced: nothing to go back to
    for (; state_.groups > 0; --state_.groups, --open_)
        body_ += "</g>\n";
    state_ = saved_.back();
    saved_.pop_back();
}

void SvgCanvas::translate(float dx, float dy)
{
    if (drawable(dx) && drawable(dy) && (dx != 0 || dy != 0))
        openGroup("transform=\"translate(" + num(dx) + " " + num(dy) + ")\"");
}

void SvgCanvas::rotate(float radians)
{
    if (std::isfinite(radians) && radians != 0)
        openGroup("transform=\"rotate(" + num(radians * 180.0 / M_PI) + ")\"");
}

void SvgCanvas::clip(RectF r)
{
    if (!drawable(r))
        return;
    // In the frame of the group that refers to it, which is the current one.
    const std::string id = "c" + std::to_string(++clips_);
    body_ += "<clipPath id=\"" + id + "\"><rect x=\"" + num(r.x) + "\" y=\"" + num(r.y) + "\" width=\"" +
             num(std::max(0.0f, r.width)) + "\" height=\"" + num(std::max(0.0f, r.height)) + "\"/></clipPath>\n";
    openGroup("clip-path=\"url(#" + id + ")\"");
}

void SvgCanvas::clipOut(RectF r)
{
    if (!drawable(r))
        return;
    // Everything less the rectangle: a frame far larger than any drawing
    // with the rectangle cut out of it.
    const std::string id = "c" + std::to_string(++clips_);
    const double far = drawing_limits::kMaxCoordinate;
    body_ += "<clipPath id=\"" + id + "\"><path clip-rule=\"evenodd\" d=\"M" + num(-far) + " " + num(-far) + "H" +
             num(far) + "V" + num(far) + "H" + num(-far) + "Z" + "M" + num(r.x) + " " + num(r.y) + "h" + num(r.width) +
             "v" + num(r.height) + "h" + num(-r.width) + "Z\"/></clipPath>\n";
    openGroup("clip-path=\"url(#" + id + ")\"");
}

void SvgCanvas::setLineDash(float phase, const float* lengths, int count)
{
    state_.dash.clear();
    state_.dashPhase = std::isfinite(phase) ? phase : 0;
    float total = 0;
    for (int i = 0; lengths && i < count; ++i) {
        if (!(std::isfinite(lengths[i]) && lengths[i] >= 0)) {
            state_.dash.clear(); // a pattern no renderer takes draws solid
            return;
        }
        state_.dash.push_back(lengths[i]);
        total += lengths[i];
    }
    if (!(total > 0))
        state_.dash.clear();
}

std::string SvgCanvas::paint(bool fill) const
{
    if (fill) {
        std::string s = "fill=\"" + colorText(state_.fill) + "\"";
        if (const float a = unitAlpha(state_.fill.a); a < 1)
            s += " fill-opacity=\"" + num(a) + "\"";
        return s;
    }
    // Width 0 is a hairline, which SVG draws one pixel wide whatever the zoom.
    const float width = drawing_limits::drawnLineWidth(state_.width);
    std::string s = "fill=\"none\" stroke=\"" + colorText(state_.stroke) + "\"";
    if (const float a = unitAlpha(state_.stroke.a); a < 1)
        s += " stroke-opacity=\"" + num(a) + "\"";
    s +=
        width > 0 ? " stroke-width=\"" + num(width) + "\"" : " stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"";
    if (state_.join != LineJoin::Miter)
        s += state_.join == LineJoin::Round ? " stroke-linejoin=\"round\"" : " stroke-linejoin=\"bevel\"";
    if (state_.cap != LineCap::Butt)
        s += state_.cap == LineCap::Round ? " stroke-linecap=\"round\"" : " stroke-linecap=\"square\"";
    if (!state_.dash.empty()) {
        s += " stroke-dasharray=\"";
        for (std::size_t i = 0; i < state_.dash.size(); ++i)
            s += (i ? " " : "") + num(state_.dash[i]);
        s += "\"";
        if (state_.dashPhase != 0)
            s += " stroke-dashoffset=\"" + num(state_.dashPhase) + "\"";
    }
    return s;
}

void SvgCanvas::shape(const char* element, RectF r, bool fill)
{
    if (!drawable(r))
        return;
    // Negative sizes as a canvas takes them: the rectangle from the other side.
    const float x = std::min(r.x, r.maxX()), y = std::min(r.y, r.maxY());
    const float w = std::fabs(r.width), h = std::fabs(r.height);
    if (std::string_view(element) == "rect")
        body_ += "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" + num(h) + "\" ";
    else
        body_ += "<ellipse cx=\"" + num(x + w / 2.0) + "\" cy=\"" + num(y + h / 2.0) + "\" rx=\"" + num(w / 2.0) +
                 "\" ry=\"" + num(h / 2.0) + "\" ";
    body_ += paint(fill) + "/>\n";
}

void SvgCanvas::moveTo(float x, float y)
{
    if (!drawable(x) || !drawable(y))
        return;
    path_ += "M" + num(x) + " " + num(y);
    hasPoint_ = true;
    last_ = {x, y};
}

void SvgCanvas::lineTo(float x, float y)
{
    if (!drawable(x) || !drawable(y))
        return;
    path_ += (hasPoint_ ? "L" : "M") + num(x) + " " + num(y);
    hasPoint_ = true;
    last_ = {x, y};
}

void SvgCanvas::arcTo(float x1, float y1, float x2, float y2, float radius)
{
    if (!drawable(x1) || !drawable(y1) || !drawable(x2) || !drawable(y2) || !std::isfinite(radius))
        return;
    // The arc tangent to (current, p1) and (p1, p2): a line to where it
    // touches the first, then the arc to where it touches the second.
    const double ax = last_.x - x1, ay = last_.y - y1, bx = x2 - x1, by = y2 - y1;
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    const double cross = ax * by - ay * bx;
    if (!hasPoint_ || radius <= 0 || la == 0 || lb == 0 || std::fabs(cross) < 1e-9 * la * lb) {
        lineTo(x1, y1);
        return;
    }
    const double angle = std::acos(std::clamp((ax * bx + ay * by) / (la * lb), -1.0, 1.0));
    const double d = radius / std::tan(angle / 2);
    const double t1x = x1 + ax / la * d, t1y = y1 + ay / la * d;
    const double t2x = x1 + bx / lb * d, t2y = y1 + by / lb * d;
    path_ += "L" + num(t1x) + " " + num(t1y) + "A" + num(radius) + " " + num(radius) + " 0 0 " +
             (cross < 0 ? "1 " : "0 ") + num(t2x) + " " + num(t2y);
    last_ = {static_cast<float>(t2x), static_cast<float>(t2y)};
}

void SvgCanvas::closePath()
{
    if (hasPoint_)
        path_ += "Z";
}

void SvgCanvas::flushPath(bool fill)
{
    if (!path_.empty())
        body_ += "<path d=\"" + path_ + "\" " + paint(fill) + "/>\n";
    path_.clear();
    hasPoint_ = false;
}

std::unique_ptr<Canvas> SvgCanvas::createLayer(SizeF size) { return std::make_unique<RecordedLayer>(size); }

void SvgCanvas::drawLayer(const Canvas& layer, PointF at)
{
    if (auto* recorded = dynamic_cast<const RecordedLayer*>(&layer); recorded && drawable(at.x) && drawable(at.y)) {
        save();
        translate(at.x, at.y);
        recorded->replay(*this);
        restore();
    }
}

void SvgCanvas::drawLayer(const Canvas& layer, RectF into)
{
    auto* recorded = dynamic_cast<const RecordedLayer*>(&layer);
    const SizeF s = layer.size();
    if (!recorded || !drawable(into) || !(s.width > 0 && s.height > 0))
        return;
    save();
    translate(into.x, into.y);
    openGroup("transform=\"scale(" + num(into.width / s.width) + " " + num(into.height / s.height) + ")\"");
    recorded->replay(*this);
    restore();
}

void SvgCanvas::drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align)
{
    if (!drawable(rect) || !drawing_limits::drawableFontSize(fontSize) || utf8.empty())
        return;
    // From the box's top, a line for each line of the text; the first
    // baseline is the font's ascent (about 0.93 em for DejaVu Sans) down.
    const double x = align == TextAlign::Center  ? rect.x + rect.width / 2.0
                     : align == TextAlign::Right ? rect.x + rect.width
                                                 : rect.x;
    const char* anchor = align == TextAlign::Center ? "middle" : align == TextAlign::Right ? "end" : "start";
    body_ += "<text font-family=\"DejaVu Sans, sans-serif\" font-size=\"" + num(fontSize) + "\" text-anchor=\"" +
             anchor + "\" " + paint(true) + ">";
    std::size_t from = 0;
    for (int line = 0; from <= utf8.size(); ++line) {
        const std::size_t end = std::min(utf8.find('\n', from), utf8.size());
        body_ += "<tspan x=\"" + num(x) + "\" y=\"" + num(rect.y + fontSize * (0.93 + 1.17 * line)) + "\">" +
                 escaped(utf8.substr(from, end - from)) + "</tspan>";
        from = end + 1;
    }
    body_ += "</text>\n";
}

} // namespace orlix
