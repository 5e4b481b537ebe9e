// A canvas that draws nothing, for sampling and searching without a
// picture (the command line, the fuzzers): it only counts the path points
// it is handed and those that are no finite number (which no drawing
// should ever hand a real canvas).
#pragma once

#include <cmath>
#include <memory>

#include "orlix/canvas.h"

namespace orlix {

class NullCanvas : public Canvas {
  public:
    explicit NullCanvas(SizeF size) : size_(size) {}

    int pathPoints = 0;
    int nonFinitePoints = 0;

    SizeF size() const override { return size_; }
    void clear(RectF) override {}
    void save() override {}
    void restore() override {}
    void translate(float, float) override {}
    void rotate(float) override {}
    void clip(RectF) override {}
    void clipOut(RectF) override {}
    void setLineWidth(float) override {}
    void setStrokeColor(Color) override {}
    void setFillColor(Color) override {}
    void setLineDash(float, const float*, int) override {}
    void setLineJoin(LineJoin) override {}
    void setLineCap(LineCap) override {}
    void moveTo(float x, float y) override { point(x, y); }
    void lineTo(float x, float y) override { point(x, y); }
    void arcTo(float x1, float y1, float x2, float y2, float) override
    {
        point(x1, y1);
        point(x2, y2);
    }
    void closePath() override {}
    void strokePath() override {}
    void fillPath() override {}
    void strokeRect(RectF) override {}
    void fillRect(RectF) override {}
    void strokeEllipse(RectF) override {}
    void fillEllipse(RectF) override {}
    std::unique_ptr<Canvas> createLayer(SizeF size) override { return std::make_unique<NullCanvas>(size); }
    void drawLayer(const Canvas&, PointF) override {}
    void drawLayer(const Canvas&, RectF) override {}
    void drawText(std::string_view, RectF, float, TextAlign) override {}

  private:
    void point(float x, float y)
    {
        ++pathPoints;
        if (!std::isfinite(x) || !std::isfinite(y))
            ++nonFinitePoints;
    }

    SizeF size_;
};

} // namespace orlix
