#include "qpainter_canvas.h"

#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QPaintEngine>
#include <QPen>
#include <QStaticText>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orlix {

namespace {

// Larger images are not made: QPainter's raster engine works in 16-bit
// device coordinates, and the memory would be out of all proportion.
constexpr double kMaxPixelSide = 32767;
constexpr double kMaxPixels = 64.0 * 1024 * 1024;
using drawing_limits::drawable;

QRectF toQ(RectF r) { return QRectF(r.x, r.y, r.width, r.height); }

float unit(float c) { return std::isfinite(c) ? std::clamp(c, 0.0f, 1.0f) : 0.0f; }
QColor toQ(Color c) { return QColor::fromRgbF(unit(c.r), unit(c.g), unit(c.b), unit(c.a)); }

// Qt's raster engine hands any fill of more than some 95 rows to its
// thread pool in bands, however narrow the fill: for the thin layers of the
// grid (two device pixels wide, a screen tall) waking the threads costs far
// more than the fill itself. Such a fill goes here in bands of fewer rows,
// cut at whole device rows, so that every pixel is filled once as before.
// Only where the cuts map back exactly: a scale by a power of two and a
// translation by whole device pixels.
void fillInBands(QPainter& p, const QRectF& area, const QBrush& brush)
{
    constexpr int kParallelRows = 95, kBandRows = 64;
    constexpr double kSmallFill = 65536; // device pixels
    // The combined transform takes points to device pixels, the ratio included.
    const QTransform t = p.combinedTransform();
    const auto powerOfTwo = [](double s) {
        int e = 0;
        return s > 0 && std::frexp(s, &e) == 0.5;
    };
    const QRectF device = t.mapRect(area);
    const auto whole = [](double v) { return v == std::floor(v); };
    if (t.type() > QTransform::TxScale || !powerOfTwo(t.m11()) || !powerOfTwo(t.m22()) || !whole(t.dx()) ||
        !whole(t.dy()) || device.height() <= kParallelRows || device.width() * device.height() > kSmallFill) {
        p.fillRect(area, brush);
        return;
    }
    const QTransform back = t.inverted();
    for (double top = device.top(); top < device.bottom();) {
        const double bottom = std::min(device.bottom(), std::floor(top) + kBandRows);
        p.fillRect(back.mapRect(QRectF(QPointF(device.left(), top), QPointF(device.right(), bottom))), brush);
        top = bottom;
    }
}

Qt::PenCapStyle toQ(LineCap c)
{
    switch (c) {
    case LineCap::Round: return Qt::RoundCap;
    case LineCap::Square: return Qt::SquareCap;
    case LineCap::Butt: break;
    }
    return Qt::FlatCap;
}

Qt::PenJoinStyle toQ(LineJoin j)
{
    switch (j) {
    case LineJoin::Round: return Qt::RoundJoin;
    case LineJoin::Bevel: return Qt::BevelJoin;
    case LineJoin::Miter: break;
    }
    return Qt::MiterJoin;
}

} // namespace

QPainterCanvas::QPainterCanvas(SizeF size, double devicePixelRatio)
    // QPainter scales an image up by its ratio but never down: below one,
    // the surface keeps a pixel per point.
    : ratio_(std::isfinite(devicePixelRatio) && devicePixelRatio > 1 ? devicePixelRatio : 1.0)
{
    const bool sized = std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 0 && size.height >= 0;
    size_ = sized ? size : SizeF{0, 0};
    const double pw = std::ceil(size_.width * ratio_), ph = std::ceil(size_.height * ratio_);
    if (pw < 1 || ph < 1 || pw > kMaxPixelSide || ph > kMaxPixelSide || pw * ph > kMaxPixels)
        return; // an empty surface: nothing is drawn on it
    image_ = QImage(static_cast<int>(pw), static_cast<int>(ph), QImage::Format_ARGB32_Premultiplied);
    if (image_.isNull())
        return;
    image_.fill(Qt::transparent);
    image_.setDevicePixelRatio(ratio_);
    if (painter_.begin(&image_)) {
        painter_.setRenderHint(QPainter::Antialiasing, true);
        painter_.setRenderHint(QPainter::TextAntialiasing, true);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
}

QPainterCanvas::QPainterCanvas(QPaintDevice& device, SizeF size)
    : ratio_(device.devicePixelRatioF() > 0 ? device.devicePixelRatioF() : 1.0)
{
    const bool sized = std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 0 && size.height >= 0;
    size_ = sized ? size : SizeF{0, 0};
    if (painter_.begin(&device)) {
        painter_.setRenderHint(QPainter::Antialiasing, true);
        painter_.setRenderHint(QPainter::TextAntialiasing, true);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
        // Some devices (images, a widget grabbed into one) are not scaled
        // down by QPainter when their ratio is below one: points must
        // still land where the device's size in points says.
        if (ratio_ < 1 && std::abs(painter_.deviceTransform().m11() - ratio_) > 1e-9)
            painter_.scale(ratio_, ratio_);
        // The pieces that make long curves cheap to rasterize would reach a
        // vector file as thousands of separate lines.
        const QPaintEngine* engine = painter_.paintEngine();
        wholePaths_ = engine && (engine->type() == QPaintEngine::SVG || engine->type() == QPaintEngine::Picture ||
                                 engine->type() == QPaintEngine::Pdf);
    }
}

QPainterCanvas::~QPainterCanvas()
{
    if (painter_.isActive())
        painter_.end();
}

QImage QPainterCanvas::image() const
{
    // A deep copy: the painter keeps writing into image_.
    QImage copy = image_.copy();
    copy.setDevicePixelRatio(ratio_);
    return copy;
}

bool QPainterCanvas::savePng(const QString& path) const
{
    const QImage img = image();
    return !img.isNull() && img.save(path, "PNG");
}

void QPainterCanvas::touched(const QRectF& bounds)
{
    QPainter* p = painter();
    if (!p)
        return;
    const QRectF r = p->transform().mapRect(bounds);
    if (std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height()))
        drawn_ |= r;
    else
        touched();
}

void QPainterCanvas::touched() { drawn_ = QRectF(0, 0, size_.width, size_.height); }

void QPainterCanvas::clear(RectF rect)
{
    QPainter* p = painter();
    if (!p || !drawable(rect))
        return;
    QRectF area = toQ(rect);
    const QRectF whole(0, 0, size_.width, size_.height);
    const bool clearsAll = !image_.isNull() && !p->hasClipping() && p->transform().mapRect(area).contains(whole);
    if (clearsAll) {
        // Beyond what was drawn the image is clear already.
        if (drawn_.isEmpty())
            return;
        area = p->transform().inverted().mapRect(drawn_.intersected(whole));
        drawn_ = QRectF();
    }
    p->save();
    p->setCompositionMode(QPainter::CompositionMode_Clear);
    fillInBands(*p, area, Qt::transparent);
    p->restore();
}

void QPainterCanvas::save()
{
    saved_.push_back(st_);
    if (QPainter* p = painter())
        p->save();
}

void QPainterCanvas::restore()
{
    if (saved_.empty())
        return; // unbalanced: nothing to go back to
    st_ = saved_.back();
    saved_.pop_back();
    if (QPainter* p = painter())
        p->restore();
}

void QPainterCanvas::translate(float dx, float dy)
{
    if (QPainter* p = painter(); p && drawable(dx) && drawable(dy))
        p->translate(dx, dy);
}

void QPainterCanvas::rotate(float radians)
{
    if (QPainter* p = painter(); p && std::isfinite(radians))
        p->rotate(radians * 180.0 / std::numbers::pi);
}

void QPainterCanvas::clip(RectF rect)
{
    if (QPainter* p = painter(); p && drawable(rect))
        p->setClipRect(toQ(rect), Qt::IntersectClip);
}

void QPainterCanvas::clipOut(RectF rect)
{
    QPainter* p = painter();
    if (!p || !drawable(rect))
        return;
    // All the surface (and the rectangle, wherever it lies) less the
    // rectangle.
    const QRectF out = toQ(rect);
    const QRectF all = p->transform().inverted().mapRect(QRectF(0, 0, size_.width, size_.height)).united(out);
    QPainterPath kept;
    kept.setFillRule(Qt::OddEvenFill);
    kept.addRect(all.adjusted(-1, -1, 1, 1));
    kept.addRect(out);
    st_.clipBeforeExcluded = p->hasClipping() ? std::optional(p->clipPath()) : std::nullopt;
    p->setClipPath(kept, Qt::IntersectClip);
    st_.excluded = out;
    st_.excludedIn = p->transform();
}

void QPainterCanvas::setLineDash(float phase, const float* lengths, int count)
{
    st_.dashPhase = std::isfinite(phase) ? phase : 0;
    st_.dash.clear();
    if (lengths && count > 0)
        st_.dash.assign(lengths, lengths + count);
}

// The pen of the current style. QPen measures dashes in line widths, the
// canvas in points: the lengths are divided by the width.
QPen QPainterCanvas::pen() const
{
    const float width = drawing_limits::drawnLineWidth(st_.width);
    QPen pen(QBrush(toQ(st_.stroke)), width, Qt::SolidLine, toQ(st_.cap), toQ(st_.join));
    pen.setMiterLimit(10);
    if (!st_.dash.empty()) {
        const qreal u = width > 0 ? width : 1; // a hairline dashes in pixels
        QList<qreal> pattern;
        qreal total = 0;
        bool valid = true;
        for (float d : st_.dash) {
            if (!std::isfinite(d) || d < 0) {
                valid = false;
                break;
            }
            pattern.append(d / u);
            total += d;
        }
        // An odd pattern repeats with on and off swapped.
        if (pattern.size() % 2)
            pattern.append(QList<qreal>(pattern));
        if (valid && total > 0) {
            pen.setDashPattern(pattern);
            pen.setDashOffset(st_.dashPhase / u);
        }
    }
    return pen;
}

QBrush QPainterCanvas::brush() const { return QBrush(toQ(st_.fill)); }

void QPainterCanvas::moveTo(float x, float y)
{
    if (drawable(x) && drawable(y))
        path_.moveTo(x, y);
}

void QPainterCanvas::lineTo(float x, float y)
{
    if (!drawable(x) || !drawable(y))
        return;
    if (path_.elementCount() == 0)
        path_.moveTo(x, y);
    else
        path_.lineTo(x, y);
}

// The arc of the given radius tangent to the line from the current point to
// p1 and to the line from p1 to p2, preceded by a line to its first tangent
// point.
void QPainterCanvas::arcTo(float x1, float y1, float x2, float y2, float radius)
{
    if (!drawable(x1) || !drawable(y1) || !drawable(x2) || !drawable(y2) || !std::isfinite(radius))
        return;
    if (path_.elementCount() == 0) {
        path_.moveTo(x1, y1);
        return;
    }
    const QPointF p0 = path_.currentPosition(), p1(x1, y1), p2(x2, y2);
    const QPointF a = p0 - p1, b = p2 - p1;
    const double la = std::hypot(a.x(), a.y()), lb = std::hypot(b.x(), b.y());
    const double cross = a.x() * b.y() - a.y() * b.x();
    if (radius <= 0 || la == 0 || lb == 0 || std::fabs(cross) <= 1e-12 * la * lb) {
        path_.lineTo(p1);
        return;
    }
    const QPointF ua = a / la, ub = b / lb;
    const double cosTheta = std::clamp(ua.x() * ub.x() + ua.y() * ub.y(), -1.0, 1.0);
    const double half = std::acos(cosTheta) / 2; // half the angle at p1
    const double d = radius / std::tan(half);    // p1 to the tangent points
    const QPointF t1 = p1 + ua * d, t2 = p1 + ub * d;
    QPointF bis = ua + ub;
    bis /= std::hypot(bis.x(), bis.y());
    const QPointF c = p1 + bis * (radius / std::sin(half));
    // QPainterPath angles are in degrees, counter-clockwise on screen.
    const double start = -std::atan2(t1.y() - c.y(), t1.x() - c.x()) * 180 / std::numbers::pi;
    const double end = -std::atan2(t2.y() - c.y(), t2.x() - c.x()) * 180 / std::numbers::pi;
    double sweep = std::remainder(end - start, 360.0);
    path_.lineTo(t1);
    path_.arcTo(QRectF(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius), start, sweep);
}

void QPainterCanvas::closePath() { path_.closeSubpath(); }

void QPainterCanvas::strokePath()
{
    if (QPainter* p = painter()) {
        const QPen q = pen();
        // Caps and miter joins reach out up to a line width.
        const double reach = 2 * q.widthF() + 2;
        touched(path_.controlPointRect().adjusted(-reach, -reach, reach, reach));
        if (wholePaths_ || !strokeLongPolyline(*p, q))
            p->strokePath(path_, q);
    }
    path_ = QPainterPath();
}

void QPainterCanvas::fillPath()
{
    touched();
    path_.setFillRule(Qt::WindingFill);
    if (QPainter* p = painter())
        p->fillPath(path_, brush());
    path_ = QPainterPath();
}

void QPainterCanvas::strokeRect(RectF rect)
{
    touched();
    QPainter* p = painter();
    if (!p || !drawable(rect))
        return;
    p->setPen(pen());
    p->setBrush(Qt::NoBrush);
    p->drawRect(toQ(rect));
}

void QPainterCanvas::fillRect(RectF rect)
{
    touched();
    if (QPainter* p = painter(); p && drawable(rect))
        fillInBands(*p, toQ(rect), brush());
}

void QPainterCanvas::strokeEllipse(RectF rect)
{
    touched();
    QPainter* p = painter();
    if (!p || !drawable(rect))
        return;
    p->setPen(pen());
    p->setBrush(Qt::NoBrush);
    p->drawEllipse(toQ(rect));
}

void QPainterCanvas::fillEllipse(RectF rect)
{
    touched();
    QPainter* p = painter();
    if (!p || !drawable(rect))
        return;
    p->setPen(Qt::NoPen);
    p->setBrush(brush());
    p->drawEllipse(toQ(rect));
}

std::unique_ptr<Canvas> QPainterCanvas::createLayer(SizeF size)
{
    return std::make_unique<QPainterCanvas>(size, ratio_);
}

// Layers are copied pixel for pixel: no smoothing, no antialiased edges.
void QPainterCanvas::drawLayer(const Canvas& layer, PointF at)
{
    touched();
    auto* l = dynamic_cast<const QPainterCanvas*>(&layer);
    if (!l || !drawable(at.x) || !drawable(at.y))
        return;
    blit(*l, QRectF(QPointF(at.x, at.y), QSizeF(l->size_.width, l->size_.height)));
}

void QPainterCanvas::drawLayer(const Canvas& layer, RectF into)
{
    touched();
    auto* l = dynamic_cast<const QPainterCanvas*>(&layer);
    if (!l || !drawable(into))
        return;
    blit(*l, toQ(into));
}

void QPainterCanvas::blit(const QPainterCanvas& l, const QRectF& into)
{
    QPainter* p = painter();
    if (!p || &l == this || l.image_.isNull())
        return;
    p->save();
    p->setRenderHint(QPainter::Antialiasing, false);
    p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    // A layer that lands pixel for pixel (no rotation, no scaling: panning,
    // the grid's lines) is copied in device pixels at the nearest whole
    // pixel, which QPainter does without resampling, several times faster.
    const QTransform device = p->deviceTransform();
    const QRectF d = device.mapRect(into);
    if (device.type() <= QTransform::TxScale && std::abs(d.width() - l.image_.width()) < 1e-3 &&
        std::abs(d.height() - l.image_.height()) < 1e-3 && std::abs(d.x()) < 1e9 && std::abs(d.y()) < 1e9) {
        const QTransform toDevice = p->worldTransform().inverted() * device;
        p->setWorldTransform(toDevice.inverted());
        const QRect pixels(static_cast<int>(std::lround(d.x())), static_cast<int>(std::lround(d.y())), l.image_.width(),
                           l.image_.height());
        p->drawImage(pixels, l.image_, l.image_.rect());
    } else {
        p->drawImage(into, l.image_, l.image_.rect());
    }
    p->restore();
}

namespace {

// Laying a text out (itemizing, shaping, breaking lines) costs a hundred
// times more than drawing its glyphs, and a frame draws the same labels
// as the last one: the laid-out texts are kept, a few hundred at most.
struct TextKey {
    QString text;
    int pixelSize;
    float width;
    TextAlign align;
    bool operator==(const TextKey&) const = default;
};

size_t qHash(const TextKey& k, size_t seed = 0)
{
    return qHashMulti(seed, k.text, k.pixelSize, k.width, static_cast<int>(k.align));
}

const QStaticText& laidOut(const TextKey& key, const QFont& font)
{
    constexpr qsizetype kKept = 512;
    thread_local QHash<TextKey, QStaticText> texts;
    if (auto it = texts.constFind(key); it != texts.constEnd())
        return *it;
    if (texts.size() >= kKept)
        texts.clear();
    QStaticText t(key.text);
    t.setTextFormat(Qt::PlainText);
    t.setPerformanceHint(QStaticText::AggressiveCaching);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    switch (key.align) {
    case TextAlign::Left: option.setAlignment(Qt::AlignLeft); break;
    case TextAlign::Center: option.setAlignment(Qt::AlignHCenter); break;
    case TextAlign::Right: option.setAlignment(Qt::AlignRight); break;
    }
    t.setTextOption(option);
    t.setTextWidth(key.width);
    t.prepare(QTransform(), font);
    return *texts.insert(key, t);
}

} // namespace

void QPainterCanvas::drawText(std::string_view utf8, RectF rect, float fontSize, TextAlign align)
{
    touched();
    QPainter* p = painter();
    // Fonts exist only once there is a QGuiApplication.
    if (!p || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || !drawable(rect) ||
        !drawing_limits::drawableFontSize(fontSize))
        return;
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(fontSize))));
    const QRectF box = toQ(rect);
    const QStaticText& text = laidOut(
        {QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), font.pixelSize(), rect.width, align},
        font);
    p->save();
    p->setFont(font);
    p->setPen(toQ(st_.fill));
    // Wrapped at the box's width, from its top; what does not fit in the
    // box is cut off at its edges.
    const QSizeF size = text.size();
    if (size.width() > box.width() || size.height() > box.height())
        p->setClipRect(box, Qt::IntersectClip);
    p->drawStaticText(box.topLeft(), text);
    p->restore();
}

} // namespace orlix
