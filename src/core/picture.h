// Pictures of the plot for sharing, whatever the shell writes them with:
// the checks that refuse a picture, the sampling for its pixels, and the
// SVG document of what the view shows.
#pragma once

#include <optional>
#include <string>

#include "orlix/plot_plane.h"

namespace orlix {

// Pixels per point of a PNG: the shells offer 1, 2 and 3; below 1 a pixel
// is more than a point.
inline constexpr double kMinPictureScale = 0.25;
inline constexpr double kMaxPictureScale = 8;

// Why no picture of the view can be made: it has no size. None when it has.
std::optional<std::string> pictureSizeRefusal(const plotView& view);
// Why a PNG of scale pixels a point is refused; none when it is not.
std::optional<std::string> pictureScaleRefusal(double scale);
// A PNG whose pixels could not be had.
std::string pictureTooLarge();

// While it lives, the curves are sampled for a screen of at least the
// given pixel ratio (a sample per two pixels of the picture), then again
// for the screen they are shown on.
class SampledFor {
  public:
    SampledFor(plotView& view, double ratio);
    ~SampledFor();
    SampledFor(const SampledFor&) = delete;
    SampledFor& operator=(const SampledFor&) = delete;

  private:
    plotView& view_;
    double shown_;
};

// What the view shows, in its appearance, as an SVG document whose curves
// are paths; none when the view has no size.
std::optional<std::string> svgPicture(plotView& view);

} // namespace orlix
