// Drawing for files that keep shapes rather than pixels (SVG): the QPainter
// canvas over a vector device, whose layers are recorded (recorded_layer.h)
// and played back onto it as shapes.
#pragma once

#include <memory>

#include "qpainter_canvas.h"
#include "recorded_layer.h"

namespace orlix {

// The QPainter canvas over a vector device (a QSvgGenerator): layers are
// recorded and played back as shapes.
class VectorCanvas final : public QPainterCanvas {
  public:
    VectorCanvas(QPaintDevice& device, SizeF size) : QPainterCanvas(device, size) {}

    std::unique_ptr<Canvas> createLayer(SizeF size) override;
    void drawLayer(const Canvas& layer, PointF at) override;
    void drawLayer(const Canvas& layer, RectF into) override;
};

} // namespace orlix
