#include "vector_canvas.h"

#include <cmath>

namespace orlix {

// ---- the vector canvas ----

std::unique_ptr<Canvas> VectorCanvas::createLayer(SizeF size) { return std::make_unique<RecordedLayer>(size); }

void VectorCanvas::drawLayer(const Canvas& layer, PointF at)
{
    const auto* recorded = dynamic_cast<const RecordedLayer*>(&layer);
    if (!recorded) {
        QPainterCanvas::drawLayer(layer, at);
        return;
    }
    if (!std::isfinite(at.x) || !std::isfinite(at.y))
        return;
    const SizeF s = recorded->size();
    save();
    translate(at.x, at.y);
    clip(RectF{0, 0, s.width, s.height});
    recorded->replay(*this);
    restore();
}

void VectorCanvas::drawLayer(const Canvas& layer, RectF into)
{
    const auto* recorded = dynamic_cast<const RecordedLayer*>(&layer);
    if (!recorded) {
        QPainterCanvas::drawLayer(layer, into);
        return;
    }
    const SizeF s = recorded->size();
    const double kx = into.width / s.width, ky = into.height / s.height;
    if (!std::isfinite(into.x) || !std::isfinite(into.y) || !(kx > 0) || !(ky > 0) || !std::isfinite(kx) ||
        !std::isfinite(ky))
        return;
    save();
    translate(into.x, into.y);
    if (QPainter* p = painter())
        p->scale(kx, ky);
    clip(RectF{0, 0, s.width, s.height});
    recorded->replay(*this);
    restore();
}

} // namespace orlix
