// Drawing for files that keep shapes rather than pixels (SVG): layers
// that are recordings of drawing calls, played back onto the file's canvas
// as shapes, so that the grid, the ticks and the marks stay lines and
// curves as sharp as the rest at any zoom.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orlix/canvas.h"

namespace orlix {

// A layer that keeps the calls made on it and plays them back onto another
// canvas. A clear of the whole layer forgets what was drawn; a clear of a
// part keeps the earlier drawing outside that part (in the layer's own
// coordinates: a transform set outside save() does not carry past it).
class RecordedLayer final : public Canvas {
  public:
    explicit RecordedLayer(SizeF size);

    // Plays the calls onto target in its current state, which is left as
    // it was: unbalanced saves are restored.
    void replay(Canvas& target) const;
    bool empty() const { return steps_.empty(); }

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
    // Only recorded layers can be kept; a layer of another kind is left out.
    void drawLayer(const Canvas& layer, PointF at) override;
    void drawLayer(const Canvas& layer, RectF into) override;
    void drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align) override;

  private:
    using Step = std::function<void(Canvas&)>;
    void add(Step step) { steps_.push_back(std::move(step)); }

    SizeF size_;
    std::vector<Step> steps_;
    // Saves not yet restored, and whether a transform or clip was set
    // outside any save.
    int depth_ = 0;
    bool stateChanged_ = false;
};

} // namespace orlix
