#include "picture_export.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cmath>

#include "picture.h"
#include "qpainter_canvas.h"
#include "vector_canvas.h"

namespace orlix {

namespace {

QString cannotWrite(const QString& path, const QSaveFile& file)
{
    return QStringLiteral("Could not write %1: %2").arg(QFileInfo(path).fileName(), file.errorString());
}

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
    if (const std::optional<std::string> refused = pictureSizeRefusal(view))
        return QString::fromStdString(*refused);
    if (request.path.isEmpty())
        return QStringLiteral("The picture needs a file name.");
    if (request.format == PictureFormat::Png)
        if (const std::optional<std::string> refused = pictureScaleRefusal(request.scale))
            return QString::fromStdString(*refused);

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
            return QString::fromStdString(pictureTooLarge());
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
