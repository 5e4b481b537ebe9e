#include "recorded_layer.h"

#include <cmath>

namespace orlix {

RecordedLayer::RecordedLayer(SizeF size) : size_(size) {}

void RecordedLayer::replay(Canvas& target) const
{
    target.save();
    for (const Step& step : steps_)
        step(target);
    // What the recording left saved is restored here, so that the target
    // comes back in the state it had.
    for (int open = depth_; open > 0; --open)
        target.restore();
    target.restore();
}

void RecordedLayer::clear(RectF rect)
{
    const bool whole = rect.x <= 0 && rect.y <= 0 && rect.maxX() >= size_.width && rect.maxY() >= size_.height;
    if (whole && depth_ == 0 && !stateChanged_) {
        steps_.clear();
        return;
    }
    if (steps_.empty())
        return;
    // The earlier drawing, played back with the cleared part left out.
    auto before = std::make_shared<std::vector<Step>>(std::move(steps_));
    steps_.clear();
    const int depth = depth_;
    depth_ = 0;
    stateChanged_ = false;
    add([before, rect, depth](Canvas& c) {
        c.save();
        c.clipOut(rect);
        for (const Step& step : *before)
            step(c);
        for (int open = depth; open > 0; --open)
            c.restore();
        c.restore();
    });
}

void RecordedLayer::save()
{
    ++depth_;
    add([](Canvas& c) { c.save(); });
}

void RecordedLayer::restore()
{
    // Unbalanced: nothing to go back to, as on any canvas (and the replay's
    // own save stays in place).
    if (depth_ == 0)
        return;
    --depth_;
    add([](Canvas& c) { c.restore(); });
}

void RecordedLayer::translate(float dx, float dy)
{
    stateChanged_ = stateChanged_ || depth_ == 0;
    add([=](Canvas& c) { c.translate(dx, dy); });
}

void RecordedLayer::rotate(float radians)
{
    stateChanged_ = stateChanged_ || depth_ == 0;
    add([=](Canvas& c) { c.rotate(radians); });
}

void RecordedLayer::clip(RectF rect)
{
    stateChanged_ = stateChanged_ || depth_ == 0;
    add([=](Canvas& c) { c.clip(rect); });
}

void RecordedLayer::clipOut(RectF rect)
{
    stateChanged_ = stateChanged_ || depth_ == 0;
    add([=](Canvas& c) { c.clipOut(rect); });
}

void RecordedLayer::setLineWidth(float width)
{
    add([=](Canvas& c) { c.setLineWidth(width); });
}
void RecordedLayer::setStrokeColor(Color color)
{
    add([=](Canvas& c) { c.setStrokeColor(color); });
}
void RecordedLayer::setFillColor(Color color)
{
    add([=](Canvas& c) { c.setFillColor(color); });
}

void RecordedLayer::setLineDash(float phase, const float* lengths, int count)
{
    std::vector<float> dash;
    if (lengths && count > 0)
        dash.assign(lengths, lengths + count);
    add([phase, dash = std::move(dash)](Canvas& c) {
        c.setLineDash(phase, dash.empty() ? nullptr : dash.data(), static_cast<int>(dash.size()));
    });
}

void RecordedLayer::setLineJoin(LineJoin join)
{
    add([=](Canvas& c) { c.setLineJoin(join); });
}
void RecordedLayer::setLineCap(LineCap cap)
{
    add([=](Canvas& c) { c.setLineCap(cap); });
}
void RecordedLayer::moveTo(float x, float y)
{
    add([=](Canvas& c) { c.moveTo(x, y); });
}
void RecordedLayer::lineTo(float x, float y)
{
    add([=](Canvas& c) { c.lineTo(x, y); });
}
void RecordedLayer::arcTo(float x1, float y1, float x2, float y2, float radius)
{
    add([=](Canvas& c) { c.arcTo(x1, y1, x2, y2, radius); });
}
void RecordedLayer::closePath()
{
    add([](Canvas& c) { c.closePath(); });
}
void RecordedLayer::strokePath()
{
    add([](Canvas& c) { c.strokePath(); });
}
void RecordedLayer::fillPath()
{
    add([](Canvas& c) { c.fillPath(); });
}
void RecordedLayer::strokeRect(RectF rect)
{
    add([=](Canvas& c) { c.strokeRect(rect); });
}
void RecordedLayer::fillRect(RectF rect)
{
    add([=](Canvas& c) { c.fillRect(rect); });
}
void RecordedLayer::strokeEllipse(RectF rect)
{
    add([=](Canvas& c) { c.strokeEllipse(rect); });
}
void RecordedLayer::fillEllipse(RectF rect)
{
    add([=](Canvas& c) { c.fillEllipse(rect); });
}

std::unique_ptr<Canvas> RecordedLayer::createLayer(SizeF size) { return std::make_unique<RecordedLayer>(size); }

void RecordedLayer::drawLayer(const Canvas& layer, PointF at)
{
    if (auto* recorded = dynamic_cast<const RecordedLayer*>(&layer)) {
        // A copy: the layer may be drawn on again or go before this one is
        // played back.
        auto copy = std::make_shared<RecordedLayer>(*recorded);
        add([copy, at](Canvas& c) { c.drawLayer(*copy, at); });
    }
}

void RecordedLayer::drawLayer(const Canvas& layer, RectF into)
{
    if (auto* recorded = dynamic_cast<const RecordedLayer*>(&layer)) {
        auto copy = std::make_shared<RecordedLayer>(*recorded);
        add([copy, into](Canvas& c) { c.drawLayer(*copy, into); });
    }
}

void RecordedLayer::drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align)
{
    add([text = std::string(utf8), rect, fontSize, align](Canvas& c) { c.drawText(text, rect, fontSize, align); });
}

} // namespace orlix
