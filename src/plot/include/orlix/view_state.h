// Where the plane is and how large: the device position of the user origin,
// the scale, and the position of the function layer, each committed (what
// the curves were last sampled for) and live (what a running gesture shows).
// Every change goes through the operations below, which keep the scale
// within kMinScale..kMaxScale and refuse positions that are no numbers.
#pragma once

#include <optional>

#include <nlohmann/json.hpp>

#include "orlix/canvas.h"
#include "orlix/stack_machine.h" // myPoint

namespace orlix {

// The range of the plane the function model samples: three view sizes
// around the view centre, in user units.
struct SamplingWindow {
    double minX = 0;
    double maxX = 0;
    double minY = 0;
    double maxY = 0;
    // All four bounds finite and each range non-empty; a window that is not
    // valid must not be sampled.
    bool valid() const;
};

class ViewState {
  public:
    // Device points per user unit of a fresh or centred view.
    static constexpr double kDefaultScale = 30.0;
    // The scales a pinch or a zoom may reach, device points per user unit.
    static constexpr double kMinScale = 5e-8;
    static constexpr double kMaxScale = 2e7;
    // A pinch re-samples once the layer is stretched this much.
    static constexpr double kMaxStretch = 1.7;

    SizeF size() const { return size_; }
    // A new view size. The user point at the centre of the view stays
    // there, at the committed scale; a gesture under way is dropped and
    // the layer goes back to its rest position (the curves must be sampled
    // again for the new size).
    void resize(SizeF size);
    // The size of a view not set up yet: nothing moves.
    void setSize(SizeF size) { size_ = size; }

    // ---- reading ----------------------------------------------------------
    // Device position of the user origin, committed and live.
    myPoint center() const { return center_; }
    myPoint liveCenter() const { return liveCenter_; }
    // Device points per user unit, committed and live.
    myPoint scale() const { return scale_; }
    myPoint liveScale() const { return liveScale_; }
    // Device position of the function layer's top-left corner.
    myPoint offset() const { return offset_; }
    myPoint liveOffset() const { return liveOffset_; }
    // The scale and size the function layer was last sampled at.
    myPoint layerScale() const { return layerScale_; }
    SizeF layerSize() const { return layerSize_; }

    // Transforms at the live position and scale.
    myPoint toUser(myPoint device) const;
    PointF toDevice(myPoint user) const;
    // The user point at the middle of the view.
    myPoint userCenter() const;
    // The range the function model samples at the live position and scale.
    SamplingWindow samplingWindow() const;
    // Where the function layer is drawn, stretched by the live scale.
    RectF layerRect() const;
    // Whether the function layer still covers the view while panning, and
    // while pinching (not stretched beyond kMaxStretch either).
    bool panCovers() const;
    bool pinchCovers() const;
    // Whether the live view differs from what the layer was sampled for.
    bool movedSinceSampling() const;

    // ---- operations -------------------------------------------------------
    // The origin in the middle of the view at the default scale.
    void reset();
    // Puts the user point `user` at the middle of the view at `scale`.
    // Refused (answers false, nothing changes) when a number is not finite
    // or a scale lies outside kMinScale..kMaxScale.
    bool lookAt(myPoint user, myPoint scale);
    // Puts the user origin at the device point `center` at `scale`, as
    // above.
    bool placeOrigin(myPoint center, myPoint scale);
    // A running pan: the live view is the committed one moved by (dx, dy).
    void panBy(double dx, double dy);
    // A running pinch: the committed view scaled by `factor` about `anchor`
    // (where the gesture started), then moved so that the anchor lies at
    // `at`.
    void pinch(PointF anchor, PointF at, double factor);
    // The largest part of `factor` the committed scale can take within the
    // limits (a factor of 0 gives the smallest scale); 1 for a factor that
    // is no number or infinite.
    double limitFactor(double factor) const;
    // Zooms the committed view by `factor` about the device point `at`
    // (which keeps its user point), within the limits, and commits it.
    // Answers whether the scale changed.
    bool zoomAbout(PointF at, double factor);
    // The live view becomes the committed one.
    void commit();
    // The function layer goes back to its rest position, one view size up
    // and left of the view.
    void resetLayer();
    // The function layer was sampled now, at the live scale, for a view of
    // the current size.
    void layerSampled();

    // ---- stored form ------------------------------------------------------
    // Writes the committed position into d: the user point at the middle
    // of the view ("view.x", "view.y") and the scale ("sx", "sy"), which
    // mean the same at any view size.
    void store(nlohmann::json& d) const;
    // Reads a position stored by store(), or the device position of the
    // origin ("center.x", "center.y") older versions stored. Answers false, changing nothing, when
    // there is no usable position in d.
    bool restore(const nlohmann::json& d);

  private:
    SizeF size_{};
    myPoint center_{}, liveCenter_{};
    myPoint scale_{kDefaultScale, kDefaultScale}, liveScale_{kDefaultScale, kDefaultScale};
    myPoint layerScale_{kDefaultScale, kDefaultScale};
    myPoint offset_{}, liveOffset_{};
    SizeF layerSize_{};
};

} // namespace orlix
