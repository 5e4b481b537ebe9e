// Pictures of the plot as it is shown, for sharing: PNG at one, two or
// three times the view's size in pixels, or SVG whose curves are paths.
// Files are written whole or not at all.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "orlix/plot_plane.h"
#include "picture.h"

namespace orlix {

enum class PictureFormat { Png, Svg };

// The format a file's extension asks for (".png", ".svg", any case); none
// for another extension or none.
std::optional<PictureFormat> pictureFormatOf(const QString& path);

struct PictureRequest {
    QString path;
    PictureFormat format = PictureFormat::Png;
    // Pixels per point of the view, for PNG: the app offers 1, 2 and 3;
    // from kMinScale to kMaxScale (below 1 a pixel per point).
    double scale = 1;
    static constexpr double kMinScale = kMinPictureScale;
    static constexpr double kMaxScale = kMaxPictureScale;
};

// The choices of the save dialog: PNG at 1×, 2× and 3× the view, and SVG.
QStringList pictureFileFilters();
// The filter the dialog starts with.
QString defaultPictureFileFilter();
// What the save dialog's answer asks for: the format by the file's
// extension, or by the chosen filter when the name has none of ours (its
// extension is then added); the scale of a PNG filter, 1 otherwise.
PictureRequest pictureRequestFor(const QString& path, const QString& filter);

// Draws what the view shows, in its appearance, and writes it to
// request.path. Returns the message to show when the picture could not be
// made or written (a folder that cannot be written, a scale out of range,
// a view with nothing to draw); none on success. A failure leaves no file
// behind and an existing file as it was.
std::optional<QString> writePicture(plotView& view, const PictureRequest& request);

} // namespace orlix
