#include "web_canvas.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace orlix {

namespace {

// Larger surfaces are not made: browsers refuse canvases past about 32767
// pixels a side or 2²⁸ pixels in all, and the memory would be out of all
// proportion long before.
constexpr double kMaxPixelSide = 16384;
constexpr double kMaxPixels = 64.0 * 1024 * 1024;
using drawing_limits::drawable;
float unit(float c) { return std::isfinite(c) ? std::clamp(c, 0.0f, 1.0f) : 0.0f; }

enum PathOp { opMove = 0, opLine = 1, opArc = 2, opClose = 3 };

} // namespace

// ---- the context's side --------------------------------------------------------------------
// Module.orlixSurfaces holds {canvas, ctx} by number; the shell puts the
// page's canvas at 0 before the module draws.

// clang-format off
EM_JS(int, orlix_surface_new, (int width, int height), {
    const list = Module.orlixSurfaces || (Module.orlixSurfaces = []);
    let canvas;
    try {
        canvas = document.createElement('canvas');
        canvas.width = width;
        canvas.height = height;
    } catch (e) {
        return -1;
    }
    const ctx = canvas.getContext('2d');
    if (!ctx) return -1;
    let i = 1;
    while (list[i]) ++i;
    list[i] = {canvas, ctx};
    return i;
});

EM_JS(void, orlix_surface_free, (int s), {
    const e = Module.orlixSurfaces[s];
    if (!e) return;
    // Gives the pixels back at once rather than at the next collection.
    e.canvas.width = 0;
    e.canvas.height = 0;
    Module.orlixSurfaces[s] = undefined;
});

EM_JS(void, orlix_surface_begin, (int s, double ratio), {
    const e = Module.orlixSurfaces[s];
    if (!e) return;
    const c = e.ctx;
    c.setTransform(ratio, 0, 0, ratio, 0, 0);
    c.lineWidth = 1;
    c.strokeStyle = '#000';
    c.fillStyle = '#000';
    c.setLineDash([]);
    c.lineDashOffset = 0;
    c.lineJoin = 'miter';
    c.miterLimit = 10;
    c.lineCap = 'butt';
    c.imageSmoothingEnabled = false;
});

EM_JS(void, orlix_ctx_clear, (int s, double x, double y, double w, double h), {
    Module.orlixSurfaces[s].ctx.clearRect(x, y, w, h);
});

EM_JS(void, orlix_ctx_save, (int s), { Module.orlixSurfaces[s].ctx.save(); });
EM_JS(void, orlix_ctx_restore, (int s), { Module.orlixSurfaces[s].ctx.restore(); });
EM_JS(void, orlix_ctx_translate, (int s, double dx, double dy), { Module.orlixSurfaces[s].ctx.translate(dx, dy); });
EM_JS(void, orlix_ctx_rotate, (int s, double a), { Module.orlixSurfaces[s].ctx.rotate(a); });

EM_JS(void, orlix_ctx_clip, (int s, double x, double y, double w, double h, int out), {
    const c = Module.orlixSurfaces[s].ctx;
    const p = new Path2D();
    if (out) {
        // All the surface (in the current user space) less the rectangle.
        const m = c.getTransform().inverse();
        const cw = c.canvas.width, ch = c.canvas.height;
        const corners = [[0, 0], [cw, 0], [0, ch], [cw, ch]].map(([u, v]) => m.transformPoint({x: u, y: v}));
        const xs = corners.map(q => q.x).concat([x, x + w]);
        const ys = corners.map(q => q.y).concat([y, y + h]);
        const x0 = Math.min(...xs) - 1, y0 = Math.min(...ys) - 1;
        p.rect(x0, y0, Math.max(...xs) + 1 - x0, Math.max(...ys) + 1 - y0);
        p.rect(x, y, w, h);
        c.clip(p, 'evenodd');
    } else {
        p.rect(x, y, w, h);
        c.clip(p);
    }
});

EM_JS(void, orlix_ctx_line_width, (int s, double w), { Module.orlixSurfaces[s].ctx.lineWidth = w; });

EM_JS(void, orlix_ctx_color, (int s, int fill, double r, double g, double b, double a), {
    const css = 'rgba(' + Math.round(r * 255) + ',' + Math.round(g * 255) + ',' + Math.round(b * 255) + ',' + a + ')';
    const c = Module.orlixSurfaces[s].ctx;
    if (fill) c.fillStyle = css; else c.strokeStyle = css;
});

EM_JS(void, orlix_ctx_dash, (int s, double phase, const float* lengths, int count), {
    const c = Module.orlixSurfaces[s].ctx;
    const d = [];
    for (let i = 0; i < count; ++i) d.push(HEAPF32[(lengths >> 2) + i]);
    c.setLineDash(d);
    c.lineDashOffset = phase;
});

EM_JS(void, orlix_ctx_join_cap, (int s, int join, int cap), {
    const c = Module.orlixSurfaces[s].ctx;
    if (join >= 0) c.lineJoin = ['miter', 'round', 'bevel'][join];
    if (cap >= 0) c.lineCap = ['butt', 'round', 'square'][cap];
});

// The path: op codes and numbers, as web_canvas.cpp builds them.
EM_JS(void, orlix_ctx_path, (int s, const float* data, int count, int fill), {
    const c = Module.orlixSurfaces[s].ctx;
    const f = HEAPF32;
    let i = data >> 2;
    const end = i + count;
    c.beginPath();
    while (i < end) {
        switch (f[i]) {
        case 0: c.moveTo(f[i + 1], f[i + 2]); i += 3; break;
        case 1: c.lineTo(f[i + 1], f[i + 2]); i += 3; break;
        case 2: c.arcTo(f[i + 1], f[i + 2], f[i + 3], f[i + 4], f[i + 5]); i += 6; break;
        default: c.closePath(); i += 1; break;
        }
    }
    if (fill) c.fill('nonzero'); else c.stroke();
});

EM_JS(void, orlix_ctx_rect, (int s, double x, double y, double w, double h, int fill), {
    const c = Module.orlixSurfaces[s].ctx;
    if (fill) c.fillRect(x, y, w, h); else c.strokeRect(x, y, w, h);
});

EM_JS(void, orlix_ctx_ellipse, (int s, double x, double y, double w, double h, int fill), {
    const c = Module.orlixSurfaces[s].ctx;
    c.beginPath();
    c.ellipse(x + w / 2, y + h / 2, Math.abs(w) / 2, Math.abs(h) / 2, 0, 0, 2 * Math.PI);
    if (fill) c.fill(); else c.stroke();
});

EM_JS(void, orlix_ctx_draw_layer, (int s, int layer, double x, double y, double w, double h), {
    const c = Module.orlixSurfaces[s].ctx;
    const l = Module.orlixSurfaces[layer];
    if (!l || l.canvas.width === 0 || l.canvas.height === 0) return;
    c.save();
    c.imageSmoothingEnabled = false;
    c.drawImage(l.canvas, x, y, w, h);
    c.restore();
});

// Text wrapped at the box's width, from its top, cut off at its edges.
EM_JS(void, orlix_ctx_text, (int s, const char* utf8, int bytes, double x, double y, double w, double h,
                             double size, int align), {
    const c = Module.orlixSurfaces[s].ctx;
    const text = UTF8ToString(utf8, bytes);
    c.save();
    c.font = size + 'px "DejaVu Sans", system-ui, sans-serif';
    c.textBaseline = 'top';
    const lines = [];
    for (const para of text.split('\n')) {
        let line = "";
        for (const word of para.split(' ')) {
            const next = line ? line + ' ' + word : word;
            if (line && c.measureText(next).width > w) {
                lines.push(line);
                line = word;
            } else {
                line = next;
            }
        }
        lines.push(line);
    }
    const lineHeight = size * 1.17;
    if (lines.length * lineHeight > h || lines.some(l => c.measureText(l).width > w)) {
        c.beginPath();
        c.rect(x, y, w, h);
        c.clip();
    }
    c.textAlign = ['left', 'center', 'right'][align];
    const tx = align === 1 ? x + w / 2 : align === 2 ? x + w : x;
    lines.forEach((l, k) => c.fillText(l, tx, y + k * lineHeight));
    c.restore();
});
// clang-format on

// ---- the canvas ------------------------------------------------------------------------------

WebCanvas::WebCanvas(int surface, SizeF size, double ratio, bool owned)
    : surface_(surface), size_(size), ratio_(ratio), owned_(owned)
{
    if (live())
        orlix_surface_begin(surface_, ratio_);
}

WebCanvas WebCanvas::attach(int surface, SizeF size, double ratio)
{
    const bool sized = std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 0 && size.height >= 0;
    const double r = std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
    WebCanvas c(surface, sized ? size : SizeF{0, 0}, r, false);
    // A base state the destructor goes back to: a clip left behind by a
    // drawing never reaches the next frame.
    if (c.live()) {
        orlix_ctx_save(surface);
        c.based_ = true;
    }
    return c;
}

WebCanvas::WebCanvas(SizeF size, double ratio)
{
    ratio_ = std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
    const bool sized = std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 0 && size.height >= 0;
    size_ = sized ? size : SizeF{0, 0};
    const double pw = std::ceil(size_.width * ratio_), ph = std::ceil(size_.height * ratio_);
    if (pw < 1 || ph < 1 || pw > kMaxPixelSide || ph > kMaxPixelSide || pw * ph > kMaxPixels)
        return; // an empty surface: nothing is drawn on it
    surface_ = orlix_surface_new(static_cast<int>(pw), static_cast<int>(ph));
    owned_ = live();
    if (live())
        orlix_surface_begin(surface_, ratio_);
}

WebCanvas::WebCanvas(WebCanvas&& other) noexcept
    : surface_(std::exchange(other.surface_, -1)), size_(other.size_), ratio_(other.ratio_),
      owned_(std::exchange(other.owned_, false)), based_(std::exchange(other.based_, false)),
      depth_(std::exchange(other.depth_, 0)), path_(std::move(other.path_))
{
}

WebCanvas::~WebCanvas()
{
    if (!live())
        return;
    // The page's canvas keeps no state of this drawing for the next one.
    for (; depth_ > 0; --depth_)
        orlix_ctx_restore(surface_);
    if (based_)
        orlix_ctx_restore(surface_);
    if (owned_)
        orlix_surface_free(surface_);
}

void WebCanvas::clear(RectF rect)
{
    if (live() && drawable(rect))
        orlix_ctx_clear(surface_, rect.x, rect.y, rect.width, rect.height);
}

void WebCanvas::save()
{
    if (!live())
        return;
    ++depth_;
    orlix_ctx_save(surface_);
}

void WebCanvas::restore()
{
    if (!live() || depth_ == 0)
        return; // unbalanced: nothing to go back to
    --depth_;
    orlix_ctx_restore(surface_);
}

void WebCanvas::translate(float dx, float dy)
{
    if (live() && drawable(dx) && drawable(dy))
        orlix_ctx_translate(surface_, dx, dy);
}

void WebCanvas::rotate(float radians)
{
    if (live() && std::isfinite(radians))
        orlix_ctx_rotate(surface_, radians);
}

void WebCanvas::clip(RectF rect)
{
    if (live() && drawable(rect))
        orlix_ctx_clip(surface_, rect.x, rect.y, rect.width, rect.height, 0);
}

void WebCanvas::clipOut(RectF rect)
{
    if (live() && drawable(rect))
        orlix_ctx_clip(surface_, rect.x, rect.y, rect.width, rect.height, 1);
}

void WebCanvas::setLineWidth(float width)
{
    if (!live())
        return;
    // Width 0 is a hairline: one device pixel, as on the desktop.
    const float w = drawing_limits::drawnLineWidth(width);
    orlix_ctx_line_width(surface_, w > 0 ? w : 1.0 / ratio_);
}

void WebCanvas::setStrokeColor(Color c)
{
    if (live())
        orlix_ctx_color(surface_, 0, unit(c.r), unit(c.g), unit(c.b), unit(c.a));
}

void WebCanvas::setFillColor(Color c)
{
    if (live())
        orlix_ctx_color(surface_, 1, unit(c.r), unit(c.g), unit(c.b), unit(c.a));
}

void WebCanvas::setLineDash(float phase, const float* lengths, int count)
{
    if (!live())
        return;
    // A pattern the context would refuse (a negative or no number) or that
    // is all gaps draws solid.
    bool valid = lengths && count > 0;
    float total = 0;
    for (int i = 0; valid && i < count; ++i) {
        valid = std::isfinite(lengths[i]) && lengths[i] >= 0;
        total += valid ? lengths[i] : 0;
    }
    if (!valid || !(total > 0))
        count = 0;
    orlix_ctx_dash(surface_, std::isfinite(phase) ? phase : 0, lengths, count);
}

void WebCanvas::setLineJoin(LineJoin join)
{
    if (live())
        orlix_ctx_join_cap(surface_, static_cast<int>(join), -1);
}

void WebCanvas::setLineCap(LineCap cap)
{
    if (live())
        orlix_ctx_join_cap(surface_, -1, static_cast<int>(cap));
}

void WebCanvas::moveTo(float x, float y)
{
    if (drawable(x) && drawable(y))
        path_.insert(path_.end(), {float(opMove), x, y});
}

void WebCanvas::lineTo(float x, float y)
{
    if (drawable(x) && drawable(y))
        path_.insert(path_.end(), {float(path_.empty() ? opMove : opLine), x, y});
}

void WebCanvas::arcTo(float x1, float y1, float x2, float y2, float radius)
{
    if (!drawable(x1) || !drawable(y1) || !drawable(x2) || !drawable(y2) || !std::isfinite(radius))
        return;
    // The context throws on a negative radius; none is a corner.
    if (radius <= 0 || path_.empty())
        lineTo(x1, y1);
    else
        path_.insert(path_.end(), {float(opArc), x1, y1, x2, y2, radius});
}

void WebCanvas::closePath()
{
    if (!path_.empty())
        path_.push_back(float(opClose));
}

void WebCanvas::flushPath(bool fill)
{
    if (live() && !path_.empty())
        orlix_ctx_path(surface_, path_.data(), static_cast<int>(path_.size()), fill ? 1 : 0);
    path_.clear();
}

void WebCanvas::strokePath() { flushPath(false); }
void WebCanvas::fillPath() { flushPath(true); }

void WebCanvas::shape(ShapeCall draw, RectF r, bool fill)
{
    if (live() && drawable(r))
        draw(surface_, r.x, r.y, r.width, r.height, fill ? 1 : 0);
}

void WebCanvas::strokeRect(RectF r) { shape(orlix_ctx_rect, r, false); }
void WebCanvas::fillRect(RectF r) { shape(orlix_ctx_rect, r, true); }
void WebCanvas::strokeEllipse(RectF r) { shape(orlix_ctx_ellipse, r, false); }
void WebCanvas::fillEllipse(RectF r) { shape(orlix_ctx_ellipse, r, true); }

std::unique_ptr<Canvas> WebCanvas::createLayer(SizeF size) { return std::make_unique<WebCanvas>(size, ratio_); }

// Layers are copied pixel for pixel: no smoothing.
void WebCanvas::drawLayer(const Canvas& layer, PointF at)
{
    auto* l = dynamic_cast<const WebCanvas*>(&layer);
    if (live() && l && l != this && l->live() && drawable(at.x) && drawable(at.y))
        orlix_ctx_draw_layer(surface_, l->surface_, at.x, at.y, l->size_.width, l->size_.height);
}

void WebCanvas::drawLayer(const Canvas& layer, RectF into)
{
    auto* l = dynamic_cast<const WebCanvas*>(&layer);
    if (live() && l && l != this && l->live() && drawable(into))
        orlix_ctx_draw_layer(surface_, l->surface_, into.x, into.y, into.width, into.height);
}

void WebCanvas::drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align)
{
    if (!live() || !drawable(rect) || !drawing_limits::drawableFontSize(fontSize))
        return;
    orlix_ctx_text(surface_, utf8.data(), static_cast<int>(utf8.size()), rect.x, rect.y, rect.width, rect.height,
                   std::max(1.0f, std::round(fontSize)), static_cast<int>(align));
}

} // namespace orlix
