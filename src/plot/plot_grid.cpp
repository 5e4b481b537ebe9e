#include "orlix/plot_grid.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <typeinfo>

namespace orlix {

namespace {


// Grid passes stop at this step; steps below kLabelLimit may carry labels.
constexpr double kLastStep = 250;
constexpr double kLabelLimit = 140;
constexpr double kMinLabelStep = 50;

bool finite(float v) { return std::isfinite(v); }

// A scale the grid can work with: a positive finite number. Zero, negative,
// NaN and infinite scales draw no grid.
bool usableScale(double s) { return std::isfinite(s) && s > 0; }

// First line position: one step before the first line at or right of the
// view's edge. fmod is exact, so a far-away origin still puts the lines at
// the right phase.
double firstLine(double centre, double step) { return std::fmod(centre, step) - step; }

// Clamps an axis position into [lo, lo + length]; NaN stays NaN.
float clampAxis(double c, float lo, float length, bool& clamped)
{
    clamped = false;
    if (std::isnan(c))
        return NAN;
    double o = c;
    if (!(o >= lo)) {
        o = lo;
        clamped = true;
    }
    if (o > lo + length) {
        o = lo + length;
        clamped = true;
    }
    return static_cast<float>(o);
}

// The label at a tick is left out for the origin itself.
bool isOrigin(double v, double unit) { return std::floor(v / unit + 0.5) == 0; }

} // namespace

int sizeForLength(int n)
{
    if (n <= 7)
        return 15;
    return static_cast<int>(std::fabs(std::trunc(15.0 - std::pow(static_cast<double>(n - 7), 2.0 / 3.0))));
}

std::string labelText(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.7G", v);
    return buf;
}

PlotGrid::Frame PlotGrid::Frame::of(const ViewState& view, RectF goodRect, float labelDrop)
{
    return Frame{view.size(), view.liveCenter(), view.liveScale(), goodRect, labelDrop};
}

// ---- layers ----------------------------------------------------------------

void PlotGrid::refresh(SizeF size)
{
    horSize_ = SizeF{size.width, 1};
    verSize_ = SizeF{1, size.height};
    if (!horLayer_)
        return; // made on the first grid
    auto hor = horLayer_->createLayer(horSize_);
    auto ver = horLayer_->createLayer(verSize_);
    verLayer_ = std::move(ver);
    horLayer_ = std::move(hor);
}

void PlotGrid::releaseLayers()
{
    layerKind_.reset();
    horLayer_.reset();
    verLayer_.reset();
    horStripe_.reset();
    verStripe_.reset();
}

void PlotGrid::setTheme(const Theme& theme)
{
    if (&theme == theme_)
        return;
    theme_ = &theme;
    releaseLayers();
}

// ---- drawing ---------------------------------------------------------------------------

bool PlotGrid::drawable(SizeF size)
{
    const float w = size.width, h = size.height;
    return finite(w) && finite(h) && w > 0 && h > 0 && w <= kMaxDrawableSide && h <= kMaxDrawableSide;
}

void PlotGrid::drawPlane(Canvas& canvas, const Frame& f)
{
    if (!drawable(f.size))
        return;
    canvas.save();
    canvas.setFillColor(theme_->text);
    const PointF axes = drawAxes(canvas, f);
    const myPoint steps = drawGridForSx(f.scale.x, f.scale.y, canvas, f);
    drawTicksAndLabels(canvas, steps, axes, f);
    canvas.restore();
}

void PlotGrid::drawPlaneUnderLabels(Canvas& canvas, const Frame& f)
{
    keptLabels_.clear();
    keepLabels_ = true;
    drawPlane(canvas, f);
    keepLabels_ = false;
}

void PlotGrid::drawLabels(Canvas& canvas)
{
    if (keptLabels_.empty())
        return;
    canvas.save();
    // The halo: the text in the background's colour a point off each way.
    canvas.setFillColor(theme_->background);
    for (const Label& l : keptLabels_)
        for (const PointF d : {PointF{-1, 0}, PointF{1, 0}, PointF{0, -1}, PointF{0, 1}})
            canvas.drawText(l.text, RectF{l.rect.x + d.x, l.rect.y + d.y, l.rect.width, l.rect.height}, l.fontSize,
                            l.align);
    canvas.setFillColor(theme_->text);
    for (const Label& l : keptLabels_)
        canvas.drawText(l.text, l.rect, l.fontSize, l.align);
    canvas.restore();
}

bool PlotGrid::layersFrom(const Canvas& canvas) const
{
    return layerKind_ && *layerKind_ == std::type_index(typeid(canvas));
}

void PlotGrid::ensureGridLayers(Canvas& canvas, SizeF size)
{
    if (!layersFrom(canvas)) {
        releaseLayers();
        layerKind_ = std::type_index(typeid(canvas));
    }
    const SizeF hor{size.width, 1}, ver{1, size.height};
    // Also made again when the view changed size without a refresh: lines of
    // the old length would stop short or spill over.
    if (horLayer_ && verLayer_ && horSize_.width == hor.width && verSize_.height == ver.height &&
        horLayer_->size().width == hor.width && verLayer_->size().height == ver.height)
        return;
    horSize_ = hor;
    verSize_ = ver;
    horLayer_ = canvas.createLayer(horSize_);
    verLayer_ = canvas.createLayer(verSize_);
}

// The passes of one axis: lines every step, the step growing 1-2-10-20-...
// times a power of ten, each pass darkening the line layer once more so that
// lines of coarser steps come out darker. Returns the label step (0 if none).
double PlotGrid::gridPasses(double s, double centre, float length, bool vertical, Canvas& canvas)
{
    // s becomes the pixel length of a power of ten, in [5, 50]. The scale is
    // finite and positive here, so both loops end (at most some 330 turns).
    if (s > 50) {
        while (s > 50)
            s /= 10;
    } else {
        while (s < 5)
            s *= 10;
    }
    double step;
    int level;
    if (5 * s < 50) {
        step = 5 * s;
        level = 2;
    } else if (2 * s < 50) {
        step = 2 * s;
        level = 1;
    } else {
        step = s;
        level = 0;
    }

    Canvas& layer = vertical ? *verLayer_ : *horLayer_;
    const SizeF ls = layer.size();
    const RectF whole{0, 0, ls.width, ls.height};
    layer.clear(whole);
    layer.setFillColor(theme_->grid);

    double labelStep = 0;
    while (step < kLastStep) {
        layer.fillRect(whole);
        const double first = firstLine(centre, step);
        if (std::isfinite(first)) {
            const int n = static_cast<int>(std::trunc(length / step + 3.0));
            for (int i = 0; i < n; ++i) {
                const float at = static_cast<float>(first + i * step);
                canvas.drawLayer(layer, vertical ? PointF{at, 0} : PointF{0, at});
            }
        }
        if (step < kLabelLimit)
            labelStep = step;
        if (level == 1) {
            step *= 5;
            level = 2;
        } else {
            step *= 2;
        }
        level = (level + 1) % 3;
    }
    return labelStep;
}

myPoint PlotGrid::drawGridForSx(double sx, double sy, Canvas& canvas, const Frame& f)
{
    if (sx == 0 || sy == 0)
        return myPoint{0, 0};
    const SizeF size = f.size;
    if (!usableScale(sx) || !usableScale(sy) || !drawable(size))
        return myPoint{0, 0};
    ensureGridLayers(canvas, size);
    const myPoint centre = f.center;
    double lx = gridPasses(sx, centre.x, size.width, true, canvas);
    double ly = gridPasses(sy, centre.y, size.height, false, canvas);
    if (lx < kMinLabelStep)
        lx *= 2;
    if (ly < kMinLabelStep)
        ly *= 2;
    return myPoint{lx, ly};
}

PointF PlotGrid::drawAxes(Canvas& canvas, const Frame& f)
{
    const float w = f.size.width, h = f.size.height;
    const myPoint centre = f.center;
    const RectF good = f.goodRect;
    bool yClamped, xClamped;
    const float ox = clampAxis(centre.x, good.x, good.width, yClamped);
    const float oy = clampAxis(centre.y, good.y, good.height, xClamped);

    canvas.setLineWidth(2.0f);
    canvas.setStrokeColor(theme_->axis);
    auto line = [&](PointF a, PointF b, bool clamped) {
        if (!finite(a.x) || !finite(a.y) || !finite(b.x) || !finite(b.y))
            return; // no position: no axis
        if (clamped) {
            canvas.save();
            canvas.setLineWidth(3.0f);
            canvas.setLineDash(0, kAxisDash, 2);
        }
        canvas.moveTo(a.x, a.y);
        canvas.lineTo(b.x, b.y);
        canvas.strokePath();
        if (clamped)
            canvas.restore();
    };
    line(PointF{ox, h}, PointF{ox, 0}, yClamped);
    line(PointF{0, oy}, PointF{w, oy}, xClamped);
    return PointF{ox, oy};
}

void PlotGrid::drawTicksAndLabels(Canvas& canvas, myPoint steps, PointF axes, const Frame& f)
{
    const double lx = steps.x, ly = steps.y;
    const double ox = axes.x, oy = axes.y;
    if (!(lx > 0 && ly > 0) || !std::isfinite(lx) || !std::isfinite(ly) || !finite(axes.x) || !finite(axes.y) ||
        !drawable(f.size))
        return;
    const myPoint scale = f.scale, centre = f.center;
    const double ux = lx / scale.x, uy = ly / scale.y;
    // A label spacing of no size or of no number: the labels would all read
    // the same or nothing.
    if (!std::isfinite(ux) || !std::isfinite(uy) || ux == 0 || uy == 0)
        return;
    const double fx = firstLine(centre.x, lx), fy = firstLine(centre.y, ly);
    if (!std::isfinite(fx) || !std::isfinite(fy))
        return;
    const float w = f.size.width, h = f.size.height;
    const int nx = static_cast<int>(std::trunc(w / lx + 3.0));
    const int ny = static_cast<int>(std::trunc(h / ly + 3.0));

    ensureStripes(canvas);
    canvas.setLineWidth(2.0f);
    canvas.setStrokeColor(theme_->axis);

    const myPoint first{(fx - centre.x) / scale.x, (centre.y - fy) / scale.y};
    auto label = [&](double v, double unit, PointF at, PointF offset, TextAlign align) {
        if (std::isfinite(v) && !isOrigin(v, unit))
            drawText(canvas, labelText(v), at, offset, align, f.labelDrop);
    };

    // Labels along the x axis.
    const float textY = static_cast<float>(oy - 6);
    const PointF xOffset = oy < 0.5 * h ? PointF{-35, 12} : PointF{-35, -18};
    label(first.x, ux, PointF{static_cast<float>(fx), textY}, xOffset, TextAlign::Center);
    bool nearYAxis = false;
    for (int i = 0; i < nx; ++i) {
        const double x = fx + (i + 1) * lx;
        const double v = first.x + (i + 1) * ux;
        if (isOrigin(v, ux))
            continue;
        const PointF at{static_cast<float>(x), textY};
        canvas.drawLayer(*verStripe_, at);
        label(v, ux, at, xOffset, TextAlign::Center);
        if (std::fabs(x - ox) < 45)
            nearYAxis = true;
    }

    // Labels along the y axis; next to the origin they give way to an x
    // label standing near the y axis.
    const float textX = static_cast<float>(ox - 6);
    const bool leftHalf = ox < 0.5 * w;
    const PointF yOffset = leftHalf ? PointF{17, -10} : PointF{-75, -10};
    const TextAlign yAlign = leftHalf ? TextAlign::Left : TextAlign::Right;
    label(first.y, -uy, PointF{textX, static_cast<float>(fy)}, yOffset, yAlign);
    for (int i = 0; i < ny; ++i) {
        const double y = fy + (i + 1) * ly;
        const double v = first.y - (i + 1) * uy;
        if (isOrigin(v, -uy))
            continue;
        const PointF at{textX, static_cast<float>(y)};
        canvas.drawLayer(*horStripe_, at);
        if (std::fabs(y - oy) > 30 || !nearYAxis)
            label(v, -uy, at, yOffset, yAlign);
    }
}

void PlotGrid::ensureStripes(Canvas& canvas)
{
    if (!layersFrom(canvas)) {
        releaseLayers();
        layerKind_ = std::type_index(typeid(canvas));
    }
    if (horStripe_ && verStripe_)
        return;
    horStripe_ = canvas.createLayer(SizeF{12, 2});
    verStripe_ = canvas.createLayer(SizeF{2, 12});
    for (Canvas* s : {horStripe_.get(), verStripe_.get()}) {
        s->setFillColor(theme_->stripe);
        const SizeF sz = s->size();
        s->fillRect(RectF{0, 0, sz.width, sz.height});
    }
}

void PlotGrid::drawText(Canvas& canvas, std::string_view s, PointF at, PointF offset, TextAlign align, float labelDrop)
{
    const RectF rect{at.x + offset.x, at.y + offset.y + labelDrop, 70, 30};
    const auto size = static_cast<float>(sizeForLength(static_cast<int>(s.size())));
    if (keepLabels_)
        keptLabels_.push_back(Label{std::string(s), rect, size, align});
    else
        canvas.drawText(s, rect, size, align);
}

} // namespace orlix
