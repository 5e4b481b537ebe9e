// The Canvas of Orlix on an HTML canvas, through its 2D context.
//
// Coordinates are device points (CSS pixels); the canvas holds
// devicePixelRatio pixels per point. The page's own canvas is a surface the
// shell registers (attach); layers made by createLayer are canvases of the
// same ratio that never join the page. A path is built in the module and
// handed to the context in one call when it is stroked or filled.
#pragma once

#include <vector>

#include "orlix/canvas.h"

namespace orlix {

class WebCanvas : public Canvas {
  public:
    // The surface `surface` of the page (see web_surfaces in shell.js),
    // `size` points of `ratio` pixels each. The drawing starts from an
    // untransformed, unclipped state.
    static WebCanvas attach(int surface, SizeF size, double ratio);
    // A new surface of its own, transparent. A size that is no number,
    // negative, or too large for the browser gives an empty surface on which
    // drawing does nothing.
    WebCanvas(SizeF size, double ratio);
    ~WebCanvas() override;
    WebCanvas(WebCanvas&& other) noexcept;
    WebCanvas& operator=(WebCanvas&&) = delete;
    WebCanvas(const WebCanvas&) = delete;
    WebCanvas& operator=(const WebCanvas&) = delete;

    int surface() const { return surface_; }
    double devicePixelRatio() const { return ratio_; }

    SizeF size() const override { return size_; }
    void clear(RectF rect) override;

    void save() override;
    void restore() override;
    void translate(float dx, float dy) override;
    void rotate(float radians) override;
    void clip(RectF rect) override;
    void clipOut(RectF rect) override;

    void setLineWidth(float width) override;
    void setStrokeColor(Color color) override;
    void setFillColor(Color color) override;
    void setLineDash(float phase, const float* lengths, int count) override;
    void setLineJoin(LineJoin join) override;
    void setLineCap(LineCap cap) override;

    void moveTo(float x, float y) override;
    void lineTo(float x, float y) override;
    void arcTo(float x1, float y1, float x2, float y2, float radius) override;
    void closePath() override;
    void strokePath() override;
    void fillPath() override;

    void strokeRect(RectF rect) override;
    void fillRect(RectF rect) override;
    void strokeEllipse(RectF rect) override;
    void fillEllipse(RectF rect) override;

    std::unique_ptr<Canvas> createLayer(SizeF size) override;
    void drawLayer(const Canvas& layer, PointF at) override;
    void drawLayer(const Canvas& layer, RectF into) override;

    void drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align) override;

  private:
    WebCanvas(int surface, SizeF size, double ratio, bool owned);
    bool live() const { return surface_ >= 0; }
    // A rectangle or an ellipse (draw) in r, stroked or filled.
    using ShapeCall = void (*)(int surface, double x, double y, double w, double h, int fill);
    void shape(ShapeCall draw, RectF r, bool fill);
    // Hands the built path to the context and forgets it.
    void flushPath(bool fill);

    int surface_ = -1;
    SizeF size_{};
    double ratio_ = 1;
    bool owned_ = false;
    bool based_ = false; // attach saved the context's state
    int depth_ = 0;      // saves not yet restored
    // The path: an operation code followed by its numbers.
    std::vector<float> path_;
};

} // namespace orlix
