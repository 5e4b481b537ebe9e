#include "orlix/func_selector.h"

#include <algorithm>
#include <cmath>

#include "orlix/plot_plane.h"

namespace orlix {

namespace {

// The pill behind the glyphs: a round-capped line this wide.
constexpr float kPillWidth = 26;

void polygon(Canvas& c, std::initializer_list<PointF> corners)
{
    bool first = true;
    for (PointF p : corners) {
        if (first)
            c.moveTo(p.x, p.y);
        else
            c.lineTo(p.x, p.y);
        first = false;
    }
    c.closePath();
}

} // namespace

funcSelector::funcSelector(plotView& sharedPlotView) : plotter_(sharedPlotView) {}

float funcSelector::widthForCount(std::size_t n)
{
    float w = 70;
    if (n >= 12)
        w = 195;
    else if (n >= 7)
        w = 145 + 10 * static_cast<float>(n - 7);
    else if (n >= 2)
        w = 120 + 5 * static_cast<float>(n - 2);
    // An even width keeps the middle of the strip on a whole point.
    return 2 * std::ceil(w / 2);
}

std::size_t funcSelector::functionCount() const { return plotter_.functionRegister().size(); }

void funcSelector::refreshInfo()
{
    refreshed_ = true;
    const std::size_t n = plotter_.functionRegister().size();
    // A single current function needs no choosing.
    hidden_ = n == 0 || (n == 1 && plotter_.curFunc());
    if (!hidden_)
        curWidth_ = widthForCount(n);
}

std::vector<funcSelector::Glyph> funcSelector::glyphs(SizeF bounds) const
{
    std::vector<Glyph> out;
    if (!refreshed_)
        return out;
    const Function::Register& reg = plotter_.functionRegister();
    const std::size_t n = reg.size();
    if (n == 0)
        return out;
    const float w = bounds.width;
    const float step = n > 1 ? 0.7f * w / static_cast<float>(n - 1) : 0;
    float x = n == 1 ? w / 2 : 0.15f * w;
    const Function* current = plotter_.curFunc().get();
    out.reserve(n);
    for (const auto& [id, f] : reg) {
        const FunctionKindInfo* kind = f->kindInfo();
        out.push_back(Glyph{f.get(), kind ? kind->glyph : KindGlyph::hexagon, f->color(), PointF{x, bounds.height / 2},
                            f.get() == current});
        x += step;
    }
    return out;
}

void funcSelector::drawGlyph(Canvas& c, KindGlyph shape, PointF at, bool current)
{
    const float s = current ? kCurrentGlyph : kOtherGlyph;
    const float x = at.x, y = at.y;
    // Filled, then outlined along the same shape.
    const auto fillAndStroke = [&c](auto&& path) {
        path();
        c.fillPath();
        path();
        c.strokePath();
    };
    switch (shape) {
    case KindGlyph::circle: {
        const RectF r{x - s, y - s, 2 * s, 2 * s};
        c.fillEllipse(r);
        c.strokeEllipse(r);
        break;
    }
    case KindGlyph::square: {
        // On whole points, so that the outline falls on the pixels.
        const RectF r = current ? RectF{std::floor(x - 8), std::floor(y - 8), 16, 16}
                                : RectF{std::floor(x - 5) + 0.5f, std::floor(y - 5) + 0.5f, 9, 9};
        c.fillRect(r);
        c.strokeRect(r);
        break;
    }
    case KindGlyph::diamond: {
        const float d = 1.237f * s;
        fillAndStroke([&] { polygon(c, {{x, y - d}, {x + d, y}, {x, y + d}, {x - d, y}}); });
        break;
    }
    case KindGlyph::triangle: {
        // Its weight sits half a point low: the middle of the pill.
        const float cy = y + 0.5f, hw = 1.212f * s, hh = 1.0497f * s;
        fillAndStroke([&] { polygon(c, {{x - hw, cy + hh}, {x, cy - hh}, {x + hw, cy + hh}}); });
        break;
    }
    case KindGlyph::hexagon: {
        const float h = 0.866f * s, v = 0.5f * s;
        fillAndStroke(
            [&] { polygon(c, {{x, y - s}, {x + h, y - v}, {x + h, y + v}, {x, y + s}, {x - h, y + v}, {x - h, y - v}}); });
        break;
    }
    }
}

void funcSelector::drawRect(Canvas& c) const
{
    const SizeF size = c.size();
    const float mid = size.height / 2;
    c.save();
    c.setLineCap(LineCap::Round);
    c.setLineWidth(kPillWidth);
    c.setStrokeColor(plotter_.theme().selectorPill);
    c.moveTo(kPillWidth / 2, mid);
    c.lineTo(size.width - kPillWidth / 2, mid);
    c.strokePath();

    c.setLineCap(LineCap::Butt);
    c.setLineJoin(LineJoin::Miter);
    c.setStrokeColor(plotter_.theme().selectorOutline);
    for (const Glyph& g : glyphs(size)) {
        c.setFillColor(plotter_.theme().legible(g.color));
        c.setLineWidth(g.current ? 2 : 1);
        drawGlyph(c, g.shape, g.center, g.current);
    }
    c.restore();
}

bool funcSelector::touchesEnded()
{
    // A finger on the plot owns the gesture.
    if (plotter_.curTouchNumber() > 0)
        return false;
    const Function::Register& reg = plotter_.functionRegister();
    if (reg.empty())
        return false;
    const Function::Ptr& current = plotter_.curFunc();
    auto it = std::find_if(reg.begin(), reg.end(), [&](const auto& e) { return e.second == current; });
    const Function::Ptr next = it != reg.end() && it + 1 != reg.end() ? (it + 1)->second : reg.front().second;
    if (next == current)
        return false;
    plotter_.setCurFunc(next);
    refreshInfo();
    return true;
}

} // namespace orlix
