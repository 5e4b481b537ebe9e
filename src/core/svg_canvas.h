// An SVG document drawn through the Canvas interface, with no toolkit: the
// browser's "Share picture" writes the plot with it. Every drawing call
// becomes a shape (paths, rectangles, ellipses, text); saves, transforms
// and clips become nested groups, so a clip set in a rotated frame stays
// in it. Layers are recorded (RecordedLayer) and played back as shapes.
#pragma once

#include <string>
#include <vector>

#include "orlix/canvas.h"

namespace orlix {

class SvgCanvas final : public Canvas {
  public:
    // A drawing of size points, at 96 to the inch as browsers take them.
    // A size that is no number or negative is an empty drawing.
    explicit SvgCanvas(SizeF size, std::string title = "Orlix plot");

    // The whole document: the groups still open are closed in it.
    std::string document() const;

    SizeF size() const override { return size_; }
    // Nothing to make transparent: a drawing starts empty, and a clear of
    // all of it forgets what was drawn.
    void clear(RectF rect) override;
    void save() override;
    void restore() override;
    void translate(float dx, float dy) override;
    void rotate(float radians) override;
    void clip(RectF rect) override;
    void clipOut(RectF rect) override;
    void setLineWidth(float width) override { state_.width = width; }
    void setStrokeColor(Color color) override { state_.stroke = color; }
    void setFillColor(Color color) override { state_.fill = color; }
    void setLineDash(float phase, const float* lengths, int count) override;
    void setLineJoin(LineJoin join) override { state_.join = join; }
    void setLineCap(LineCap cap) override { state_.cap = cap; }
    void moveTo(float x, float y) override;
    void lineTo(float x, float y) override;
    void arcTo(float x1, float y1, float x2, float y2, float radius) override;
    void closePath() override;
    void strokePath() override { flushPath(false); }
    void fillPath() override { flushPath(true); }
    void strokeRect(RectF rect) override { shape("rect", rect, false); }
    void fillRect(RectF rect) override { shape("rect", rect, true); }
    void strokeEllipse(RectF rect) override { shape("ellipse", rect, false); }
    void fillEllipse(RectF rect) override { shape("ellipse", rect, true); }
    std::unique_ptr<Canvas> createLayer(SizeF size) override;
    // Only recorded layers (createLayer's) are drawn.
    void drawLayer(const Canvas& layer, PointF at) override;
    void drawLayer(const Canvas& layer, RectF into) override;
    void drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align) override;

  private:
    struct State {
        float width = 1;
        Color stroke{0, 0, 0, 1};
        Color fill{0, 0, 0, 1};
        std::vector<float> dash;
        float dashPhase = 0;
        LineJoin join = LineJoin::Miter;
        LineCap cap = LineCap::Butt;
        // Groups opened since the save that began this state.
        int groups = 0;
    };

    void openGroup(const std::string& attributes);
    // The style attributes of a stroked or filled shape.
    std::string paint(bool fill) const;
    void shape(const char* element, RectF r, bool fill);
    void flushPath(bool fill);

    SizeF size_;
    std::string title_;
    std::string body_;
    State state_;
    std::vector<State> saved_;
    int clips_ = 0;
    // The path: its "d" text, and whether it has a current point.
    std::string path_;
    bool hasPoint_ = false;
    PointF last_{};
    // Groups open in all.
    int open_ = 0;
};

} // namespace orlix
