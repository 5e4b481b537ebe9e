#include "orlix/view_state.h"

#include <algorithm>
#include <cmath>

#include "orlix/record.h"

namespace orlix {

namespace {

bool finitePoint(myPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool usableScale(double s) { return s >= ViewState::kMinScale && s <= ViewState::kMaxScale; }

using record::readNumber;

} // namespace

bool SamplingWindow::valid() const
{
    return std::isfinite(minX) && std::isfinite(maxX) && std::isfinite(minY) && std::isfinite(maxY) && minX < maxX &&
           minY < maxY;
}

void ViewState::resize(SizeF size)
{
    const double dx = (static_cast<double>(size.width) - size_.width) * 0.5;
    const double dy = (static_cast<double>(size.height) - size_.height) * 0.5;
    center_ = myPoint{center_.x + dx, center_.y + dy};
    liveCenter_ = center_;
    liveScale_ = scale_;
    size_ = size;
    resetLayer();
}

myPoint ViewState::toUser(myPoint p) const
{
    return myPoint{(p.x - liveCenter_.x) / liveScale_.x, (liveCenter_.y - p.y) / liveScale_.y};
}

PointF ViewState::toDevice(myPoint u) const
{
    return PointF{static_cast<float>(u.x * liveScale_.x + liveCenter_.x),
                  static_cast<float>(liveCenter_.y - u.y * liveScale_.y)};
}

myPoint ViewState::userCenter() const { return toUser(myPoint{0.5 * size_.width, 0.5 * size_.height}); }

SamplingWindow ViewState::samplingWindow() const
{
    const myPoint c = userCenter();
    const double hw = 0.5 * layerSize_.width / liveScale_.x;
    const double hh = 0.5 * layerSize_.height / liveScale_.y;
    return SamplingWindow{c.x - hw, c.x + hw, c.y - hh, c.y + hh};
}

RectF ViewState::layerRect() const
{
    return RectF{static_cast<float>(liveOffset_.x), static_cast<float>(liveOffset_.y),
                 static_cast<float>(layerSize_.width * liveScale_.x / layerScale_.x),
                 static_cast<float>(layerSize_.height * liveScale_.y / layerScale_.y)};
}

bool ViewState::panCovers() const
{
    const double w = size_.width, h = size_.height;
    return liveOffset_.x <= 0 && liveOffset_.y <= 0 &&
           liveOffset_.x >= w - layerSize_.width * liveScale_.x / layerScale_.x &&
           liveOffset_.y >= h - layerSize_.height * liveScale_.y / layerScale_.y;
}

bool ViewState::pinchCovers() const
{
    const double w = size_.width, h = size_.height;
    return liveScale_.x / layerScale_.x < kMaxStretch && liveScale_.y / layerScale_.y < kMaxStretch &&
           liveOffset_.x < 0 && liveOffset_.y < 0 &&
           liveOffset_.x > w - layerSize_.width * liveScale_.x / layerScale_.x &&
           liveOffset_.y > h - layerSize_.height * liveScale_.y / layerScale_.y;
}

bool ViewState::movedSinceSampling() const
{
    return liveOffset_.x != offset_.x || liveOffset_.y != offset_.y || liveScale_.x != layerScale_.x ||
           liveScale_.y != layerScale_.y;
}

void ViewState::reset()
{
    scale_ = liveScale_ = layerScale_ = myPoint{kDefaultScale, kDefaultScale};
    center_ = liveCenter_ = myPoint{0.5 * size_.width, 0.5 * size_.height};
}

bool ViewState::lookAt(myPoint user, myPoint scale)
{
    if (!finitePoint(user))
        return false;
    return placeOrigin(myPoint{0.5 * size_.width - user.x * scale.x, 0.5 * size_.height + user.y * scale.y}, scale);
}

bool ViewState::placeOrigin(myPoint center, myPoint scale)
{
    // A position with a hole in it would leave the view unusable for good.
    if (!finitePoint(center) || !usableScale(scale.x) || !usableScale(scale.y))
        return false;
    center_ = liveCenter_ = center;
    scale_ = liveScale_ = layerScale_ = scale;
    return true;
}

void ViewState::panBy(double dx, double dy)
{
    liveCenter_ = myPoint{center_.x + dx, center_.y + dy};
    liveOffset_ = myPoint{offset_.x + dx, offset_.y + dy};
}

void ViewState::pinch(PointF anchor, PointF at, double factor)
{
    liveCenter_ = myPoint{at.x + factor * (center_.x - anchor.x), at.y + factor * (center_.y - anchor.y)};
    liveOffset_ = myPoint{at.x + factor * (offset_.x - anchor.x), at.y + factor * (offset_.y - anchor.y)};
    // Clamped as well: factor · scale need not give the limit back exactly.
    liveScale_ = myPoint{std::clamp(factor * scale_.x, kMinScale, kMaxScale),
                         std::clamp(factor * scale_.y, kMinScale, kMaxScale)};
}

double ViewState::limitFactor(double factor) const
{
    if (!std::isfinite(factor))
        return 1.0;
    for (double s : {scale_.x, scale_.y}) {
        if (!(s > 0) || !std::isfinite(s))
            continue;
        if (s * factor > kMaxScale)
            factor = kMaxScale / s;
        if (s * factor < kMinScale)
            factor = kMinScale / s;
    }
    return factor;
}

bool ViewState::zoomAbout(PointF at, double factor)
{
    if (!(factor > 0) || !std::isfinite(factor))
        return false;
    const double k = limitFactor(factor);
    if (k == 1)
        return false;
    center_ = liveCenter_ = myPoint{at.x + k * (center_.x - at.x), at.y + k * (center_.y - at.y)};
    scale_ = liveScale_ =
        myPoint{std::clamp(scale_.x * k, kMinScale, kMaxScale), std::clamp(scale_.y * k, kMinScale, kMaxScale)};
    resetLayer();
    return true;
}

void ViewState::commit()
{
    center_ = liveCenter_;
    offset_ = liveOffset_;
    scale_ = liveScale_;
}

void ViewState::resetLayer()
{
    offset_ = liveOffset_ = myPoint{-static_cast<double>(size_.width), -static_cast<double>(size_.height)};
}

void ViewState::layerSampled()
{
    layerScale_ = liveScale_;
    layerSize_ = SizeF{3 * size_.width, 3 * size_.height};
}

void ViewState::store(nlohmann::json& d) const
{
    const myPoint middle{(0.5 * size_.width - center_.x) / scale_.x, (center_.y - 0.5 * size_.height) / scale_.y};
    d["view.x"] = middle.x;
    d["view.y"] = middle.y;
    d["sx"] = scale_.x;
    d["sy"] = scale_.y;
}

bool ViewState::restore(const nlohmann::json& d)
{
    const auto sx = readNumber(d, "sx"), sy = readNumber(d, "sy");
    if (!sx || !sy)
        return false;
    const auto ux = readNumber(d, "view.x"), uy = readNumber(d, "view.y");
    if (ux && uy)
        return lookAt(myPoint{*ux, *uy}, myPoint{*sx, *sy});
    // Older files: the device position of the origin in a window of
    // unknown size, taken as it is.
    const auto cx = readNumber(d, "center.x"), cy = readNumber(d, "center.y");
    if (!cx || !cy)
        return false;
    return placeOrigin(myPoint{*cx, *cy}, myPoint{*sx, *sy});
}

} // namespace orlix
