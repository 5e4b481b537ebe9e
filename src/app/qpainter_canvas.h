// The Canvas of Orlix drawn with QPainter into an image.
//
// Coordinates are device points; the image holds devicePixelRatio pixels
// per point, so a 320 × 480-point view at ratio 2 is a 640 × 960-pixel
// image. Layers made by createLayer are images of the same ratio.
//
// Text needs a QGuiApplication (fonts): create one before drawing text; for
// images without a screen run it with QT_QPA_PLATFORM=offscreen. Without an
// application object drawText draws nothing; everything else works.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTransform>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "orlix/canvas.h"

namespace orlix {

class QPainterCanvas : public Canvas {
  public:
    // A transparent surface of `size` points. A size that is no number,
    // negative or too large for an image gives an empty surface on which
    // drawing does nothing.
    explicit QPainterCanvas(SizeF size, double devicePixelRatio = 1.0);
    // Draws straight onto device (a widget while it paints, an image, an
    // SVG generator) at its own device-pixel ratio; image() is then empty.
    // Layers made by it are images of that ratio. On a vector device every
    // path is stroked as it was built, in one piece.
    QPainterCanvas(QPaintDevice& device, SizeF size);
    ~QPainterCanvas() override;
    QPainterCanvas(const QPainterCanvas&) = delete;
    QPainterCanvas& operator=(const QPainterCanvas&) = delete;

    double devicePixelRatio() const { return ratio_; }
    // A copy of the pixels drawn so far (premultiplied ARGB, with the
    // device-pixel ratio set); empty for a canvas over a device.
    QImage image() const;
    // Writes the image as PNG; false when it could not be written.
    bool savePng(const QString& path) const;

    SizeF size() const override { return size_; }
    void clear(RectF rect) override;

    void save() override;
    void restore() override;
    void translate(float dx, float dy) override;
    void rotate(float radians) override;
    void clip(RectF rect) override;
    void clipOut(RectF rect) override;

    void setLineWidth(float width) override { st_.width = width; }
    void setStrokeColor(Color color) override { st_.stroke = color; }
    void setFillColor(Color color) override { st_.fill = color; }
    void setLineDash(float phase, const float* lengths, int count) override;
    void setLineJoin(LineJoin join) override { st_.join = join; }
    void setLineCap(LineCap cap) override { st_.cap = cap; }

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

  protected:
    QPainter* painter() { return painter_.isActive() ? &painter_ : nullptr; }

  private:
    bool strokeLongPolyline(QPainter& p, const QPen& q);
    void blit(const QPainterCanvas& layer, const QRectF& into);
    // Strokes the dashes of path_'s elements first..last (dashes in points),
    // leaving out those whose bounds are outside.
    void dashSubpath(QPainter& p, int first, int last, const std::vector<double>& dashes, double offset,
                     const std::function<bool(const QRectF&)>& outside);
    // What save() and restore() keep besides QPainter's own state.
    struct Style {
        float width = 1;
        Color stroke{0, 0, 0, 1};
        Color fill{0, 0, 0, 1};
        float dashPhase = 0;
        std::vector<float> dash;
        LineJoin join = LineJoin::Miter;
        LineCap cap = LineCap::Butt;
        // The rectangle clipOut left out, in the user space of that time.
        std::optional<QRectF> excluded;
        QTransform excludedIn;
        // The clip before clipOut, if there was one.
        std::optional<QPainterPath> clipBeforeExcluded;
    };

    // Records that the bounds (in the current user space) may have been
    // drawn on; with none given, the whole surface.
    void touched(const QRectF& bounds);
    void touched();
    QPen pen() const;
    QBrush brush() const;

    SizeF size_;
    double ratio_;
    // Over a vector device: no cutting of long curves into pieces.
    bool wholePaths_ = false;
    QImage image_;
    QPainter painter_;
    QPainterPath path_;
    // What was drawn on an image since it was last cleared whole, in
    // untransformed points: a clear of the whole surface (the function
    // layer before every redraw) clears only that.
    QRectF drawn_;
    Style st_;
    std::vector<Style> saved_;
};

} // namespace orlix
