// The drawing surface of Orlix. The model and the plot draw through it and
// never see the toolkit; the app supplies a QPainter backend, tests may
// record the calls.
#pragma once

#include <cmath>
#include <memory>
#include <string_view>

namespace orlix {

// Device coordinates: points, origin top-left, y down, single precision.
struct PointF {
    float x = 0;
    float y = 0;
};
struct SizeF {
    float width = 0;
    float height = 0;
};
struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    float maxX() const { return x + width; }
    float maxY() const { return y + height; }
    bool contains(PointF p) const { return p.x >= x && p.x <= x + width && p.y >= y && p.y <= y + height; }
};

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

enum class LineJoin { Miter, Round, Bevel };
enum class LineCap { Butt, Round, Square };
enum class TextAlign { Left = 0, Center = 1, Right = 2 };

// What every backend draws at all: thicker lines, larger fonts and farther
// points than these are no drawing, and a backend leaves them out rather
// than hand its toolkit numbers it may choke on.
namespace drawing_limits {
inline constexpr float kMaxLineWidth = 1e4f;
inline constexpr float kMaxFontSize = 1000;
inline constexpr float kMaxCoordinate = 1e9f;

inline bool drawable(float v) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate; }
inline bool drawable(RectF r) { return drawable(r.x) && drawable(r.y) && drawable(r.width) && drawable(r.height); }
inline bool drawableFontSize(float size) { return size > 0 && size <= kMaxFontSize; }
// The width a line is drawn with: 1 for one that is no number or negative,
// at most kMaxLineWidth; 0 stays the backend's hairline.
inline float drawnLineWidth(float width)
{
    return std::isfinite(width) && width >= 0 ? (width < kMaxLineWidth ? width : kMaxLineWidth) : 1.0f;
}
} // namespace drawing_limits

class Canvas {
  public:
    virtual ~Canvas() = default;

    // Size of the surface in device points.
    virtual SizeF size() const = 0;
    // Makes the rectangle fully transparent.
    virtual void clear(RectF rect) = 0;

    // Graphics state: saved and restored as a whole (style, transform, clip).
    virtual void save() = 0;
    virtual void restore() = 0;
    virtual void translate(float dx, float dy) = 0;
    virtual void rotate(float radians) = 0;
    virtual void clip(RectF rect) = 0;
    // Leaves the inside of the rectangle out of what is drawn from now on.
    virtual void clipOut(RectF rect) = 0;

    virtual void setLineWidth(float width) = 0;
    virtual void setStrokeColor(Color color) = 0;
    virtual void setFillColor(Color color) = 0;
    // No dash when count is 0.
    virtual void setLineDash(float phase, const float* lengths, int count) = 0;
    virtual void setLineJoin(LineJoin join) = 0;
    virtual void setLineCap(LineCap cap) = 0;

    // The current path; stroking or filling consumes it.
    virtual void moveTo(float x, float y) = 0;
    virtual void lineTo(float x, float y) = 0;
    // An arc of the given radius tangent to the lines (current, p1) and (p1, p2).
    virtual void arcTo(float x1, float y1, float x2, float y2, float radius) = 0;
    virtual void closePath() = 0;
    virtual void strokePath() = 0;
    virtual void fillPath() = 0;

    virtual void strokeRect(RectF rect) = 0;
    virtual void fillRect(RectF rect) = 0;
    virtual void strokeEllipse(RectF rect) = 0;
    virtual void fillEllipse(RectF rect) = 0;

    // An off-screen layer of this kind of canvas, transparent.
    virtual std::unique_ptr<Canvas> createLayer(SizeF size) = 0;
    // Draws a layer made by createLayer at a point, or stretched into a
    // rectangle with nearest-neighbour sampling.
    virtual void drawLayer(const Canvas& layer, PointF at) = 0;
    virtual void drawLayer(const Canvas& layer, RectF into) = 0;

    // Text in the fill colour, wrapped into the rectangle.
    virtual void drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align) = 0;
};

} // namespace orlix
