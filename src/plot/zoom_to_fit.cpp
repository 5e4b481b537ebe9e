#include "orlix/zoom_to_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "orlix/plot_plane.h"

namespace orlix {

std::optional<ViewFit> fitBounds(const CurveBounds& bounds, RectF area, SizeF viewSize, double currentScale,
                                 double minScale, double maxScale)
{
    if (!bounds.valid() || !(area.width > 0) || !(area.height > 0) || !(viewSize.width > 0) ||
        !(viewSize.height > 0))
        return std::nullopt;
    const double usableW = area.width * (1 - 2 * fitMargin);
    const double usableH = area.height * (1 - 2 * fitMargin);
    const double inf = std::numeric_limits<double>::infinity();
    // A side of no length fits at any scale.
    const double alongX = bounds.width() > 0 ? usableW / bounds.width() : inf;
    const double alongY = bounds.height() > 0 ? usableH / bounds.height() : inf;
    double scale = std::min(alongX, alongY);
    if (!std::isfinite(scale))
        scale = std::isfinite(currentScale) && currentScale > 0 ? currentScale : minScale;
    scale = std::clamp(scale, minScale, maxScale);
    const double cx = bounds.minX + bounds.width() / 2;
    const double cy = bounds.minY + bounds.height() / 2;
    // The rectangle's centre goes to the area's centre; the view's own
    // middle is that far off it.
    const double areaX = area.x + area.width / 2.0, areaY = area.y + area.height / 2.0;
    const myPoint middle{cx + (viewSize.width / 2.0 - areaX) / scale, cy - (viewSize.height / 2.0 - areaY) / scale};
    if (!std::isfinite(middle.x) || !std::isfinite(middle.y))
        return std::nullopt;
    return ViewFit{middle, scale};
}

bool zoomToFit(plotView& view)
{
    Function* f = view.curFunc().get();
    if (!f)
        return false;
    const CurveBounds bounds = f->interestingBounds().value_or(standardBounds);
    RectF area = view.goodRect();
    const SizeF size = view.viewSize();
    if (!(area.width > 0) || !(area.height > 0))
        area = RectF{0, 0, size.width, size.height};
    const myPoint current = view.viewState().scale();
    const auto fit = fitBounds(bounds, area, size, std::min(current.x, current.y), plotView::kMinScale,
                               plotView::kMaxScale);
    return fit && view.lookAt(fit->userCenter, myPoint{fit->scale, fit->scale});
}

} // namespace orlix
