#include "picture.h"

#include "svg_canvas.h"

namespace orlix {

std::optional<std::string> pictureSizeRefusal(const plotView& view)
{
    if (!PlotGrid::drawable(view.viewSize()))
        return "There is no picture to save: the plot has no size.";
    return std::nullopt;
}

std::optional<std::string> pictureScaleRefusal(double scale)
{
    if (!(scale >= kMinPictureScale && scale <= kMaxPictureScale))
        return "A picture is 1, 2 or 3 times the size of the view.";
    return std::nullopt;
}

std::string pictureTooLarge() { return "The picture is too large to make; try a smaller scale."; }

SampledFor::SampledFor(plotView& view, double ratio) : view_(view), shown_(view.devicePixelRatio())
{
    if (ratio > shown_)
        view_.setDevicePixelRatio(ratio);
}

SampledFor::~SampledFor() { view_.setDevicePixelRatio(shown_); }

std::optional<std::string> svgPicture(plotView& view)
{
    if (pictureSizeRefusal(view))
        return std::nullopt;
    SvgCanvas svg(view.viewSize());
    view.drawScene(svg);
    return svg.document();
}

} // namespace orlix
