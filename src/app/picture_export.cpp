#include "picture_export.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cmath>

#include "qpainter_canvas.h"
#include "vector_canvas.h"

namespace orlix {

namespace {

QString cannotWrite(const QString& path, const QSaveFile& file)
{
    return QStringLiteral("Could not write %1: %2").arg(QFileInfo(path).fileName(), file.errorString());
}

// While it lives, the curves are sampled for a screen of at least the
// given pixel ratio (a sample per two pixels of the picture), then again
// for the screen they are shown on.
class SampledFor {
  public:
    SampledFor(plotView& view, double ratio) : view_(view), shown_(view.devicePixelRatio())
    {
        if (ratio > shown_)
            view_.setDevicePixelRatio(ratio);
    }
    ~SampledFor() { view_.setDevicePixelRatio(shown_); }
    SampledFor(const SampledFor&) = delete;
    SampledFor& operator=(const SampledFor&) = delete;

  private:
    plotView& view_;
    double shown_;
};

} // namespace

std::optional<PictureFormat> pictureFormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return PictureFormat::Png;
    if (suffix == QLatin1String("svg"))
        return PictureFormat::Svg;
    return std::nullopt;
}

QStringList pictureFileFilters()
{
    return {QStringLiteral("PNG image, 1× (*.png)"), QStringLiteral("PNG image, 2× (*.png)"),
            QStringLiteral("PNG image, 3× (*.png)"), QStringLiteral("SVG drawing (*.svg)")};
}

QString defaultPictureFileFilter() { return pictureFileFilters().at(1); }

PictureRequest pictureRequestFor(const QString& path, const QString& filter)
{
    PictureRequest request{path};
    const bool svgFilter = filter.contains(QLatin1String("*.svg"));
    if (const std::optional<PictureFormat> format = pictureFormatOf(path)) {
        request.format = *format;
    } else {
        request.format = svgFilter ? PictureFormat::Svg : PictureFormat::Png;
        request.path += svgFilter ? QLatin1String(".svg") : QLatin1String(".png");
    }
    if (request.format == PictureFormat::Png && !svgFilter) {
        for (int k = 1; k <= 3; ++k)
            if (filter.contains(QString::number(k) + QStringLiteral("×")))
                request.scale = k;
    }
    return request;
}

std::optional<QString> writePicture(plotView& view, const PictureRequest& request)
{
    const SizeF size = view.viewSize();
    if (!PlotGrid::drawable(size))
        return QStringLiteral("There is no picture to save: the plot has no size.");
    if (request.path.isEmpty())
        return QStringLiteral("The picture needs a file name.");
    if (request.format == PictureFormat::Png &&
        !(request.scale >= PictureRequest::kMinScale && request.scale <= PictureRequest::kMaxScale))
        return QStringLiteral("A picture is 1, 2 or 3 times the size of the view.");

    // Written beside the file and renamed over it once complete.
    QSaveFile file(request.path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(request.path, file);

    if (request.format == PictureFormat::Png) {
        QPainterCanvas canvas(size, request.scale);
        {
            const SampledFor sampled(view, request.scale);
            view.drawScene(canvas);
        }
        const QImage image = canvas.image();
        if (image.isNull()) {
            file.cancelWriting();
            return QStringLiteral("The picture is too large to make; try a smaller scale.");
        }
        if (!image.save(&file, "PNG")) {
            file.cancelWriting();
            return cannotWrite(request.path, file);
        }
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(QSize(static_cast<int>(std::ceil(size.width)), static_cast<int>(std::ceil(size.height))));
        svg.setViewBox(QRectF(0, 0, size.width, size.height));
        // Browsers take 96 pixels to the inch: the drawing opens at the
        // view's size.
        svg.setResolution(96);
        svg.setTitle(QStringLiteral("Orlix plot"));
        {
            VectorCanvas canvas(svg, size);
            view.drawScene(canvas);
        } // the generator finishes the document when its painter ends
        if (file.error() != QFileDevice::NoError) {
            file.cancelWriting();
            return cannotWrite(request.path, file);
        }
    }
    if (!file.commit())
        return cannotWrite(request.path, file);
    return std::nullopt;
}

} // namespace orlix
