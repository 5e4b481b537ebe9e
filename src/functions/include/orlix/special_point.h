// Marked points of a curve (roots, extrema, inflections, intersections, the
// trace points) and their marker images.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "orlix/canvas.h"
#include "orlix/function.h"
#include "orlix/plot_context.h"

namespace orlix {

class specialObject {
  public:
    virtual ~specialObject() = default;
    virtual bool drawToContext(Canvas&) { return true; }
    virtual void drawAnyway(Canvas&) {}
    virtual float roFromPoint(PointF) const { return 1000; }
    static bool isInside(myPoint) { return false; }
    // The plane every marked point maps its coordinates through.
    static void setPlotter(PlotContext* p);
    static PlotContext* plotter();
};

class specialPoint : public specialObject {
  public:
    // The marker images; None draws nothing, Arrow is the red circle at the
    // head of the arrow to a point off the view.
    enum class Marker { None, Root, MinMax, Infl, Trace, Trace2, Arrow };

    specialPoint();
    explicit specialPoint(const myPointInfo& info);
    // type: "root", "minmax", "infl", "inter", "trace", "trace2"; any other
    // text gives a point without marker.
    specialPoint(const myPointInfo& info, std::string_view type);
    static std::shared_ptr<specialPoint> pointWithInfo(const myPointInfo& info, std::string_view type);

    PointF devicePoint() const { return devicePoint_; }
    const myPointInfo& info() const { return info_; }
    void setInfo(const myPointInfo& info) { info_ = info; }
    float betta() const { return betta_; }
    void setBetta(float b) { betta_ = b; }
    float thetta() const { return thetta_; }
    Marker image() const { return image_; }
    // The type it was made with ("root", "minmax", …).
    const std::string& type() const { return type_; }

    // Draws the marker when the point lies in the good rectangle; answers
    // whether it did.
    bool drawToContext(Canvas& c) override;
    // The marker when visible, otherwise an arrow from inside the good
    // rectangle to its edge in the direction of the point.
    void drawAnyway(Canvas& c) override;
    // The marker rotated by betta, centred on the current origin.
    void drawImage(Canvas& c);
    // Squared distance to where the marker was drawn; NaN when it was not.
    float roFromPoint(PointF p) const override;
    // The device position of a user point lies in the good rectangle.
    static bool isInside(myPoint p);
    // Takes the other point's device point and record.
    void copyFrom(const specialPoint& other);
    // betta −= the record's "f", when present.
    void rotate();

    // The 24 × 24 marker layer for drawing on canvases of c's kind, made on
    // first use; nullptr for Marker::None or when c makes no layers.
    static const Canvas* markerLayer(Canvas& c, Marker m, const Theme& theme = themeFor(Appearance::light));
    // Draws a marker image into a 24 × 24 canvas.
    static void drawMarker(Canvas& c, Marker m, const Theme& theme = themeFor(Appearance::light));

  private:
    PointF devicePoint_;
    myPointInfo info_;
    float thetta_;
    float betta_ = 0;
    Marker image_ = Marker::None;
    std::string type_;
};

} // namespace orlix
