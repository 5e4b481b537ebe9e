// The background of every frame: the adaptive grid, the two axes (dashed
// along the unobstructed rectangle's edge when the origin is out of it),
// the tick marks and their labels.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <typeindex>

#include "orlix/canvas.h"
#include "orlix/theme.h"
#include "orlix/view_state.h"

namespace orlix {

// Font size of an axis label of n characters.
int sizeForLength(int n);

// The text of an axis label: printf's "%.7G" of the user value.
std::string labelText(double v);

// Widens a device point to a myPoint, and narrows one back.
inline myPoint toMyPoint(PointF p) { return myPoint{p.x, p.y}; }
inline PointF toCGPoint(myPoint p) { return PointF{static_cast<float>(p.x), static_cast<float>(p.y)}; }

class PlotGrid {
  public:
    // Views larger than this (in points, either side) are not drawn: their
    // grid alone would take millions of layer draws.
    static constexpr float kMaxDrawableSide = 32768.0f;
    // Dash of clamped axes.
    static constexpr float kAxisDash[2] = {2, 2};

    // Whether a view of this size can be drawn at all.
    static bool drawable(SizeF size);

    // What the grid is drawn for: the view's size, the device position of
    // the user origin and the scale, the rectangle the axes stay in; labels
    // move down by labelDrop points.
    struct Frame {
        SizeF size;
        myPoint center;
        myPoint scale;
        RectF goodRect;
        float labelDrop = 0;
        // The frame of a view at its live position and scale.
        static Frame of(const ViewState& view, RectF goodRect, float labelDrop);
    };

    // Axes, grid, tick marks and labels, in that order.
    void drawPlane(Canvas& canvas, const Frame& f);
    // The same, but the labels are kept for drawLabels: the curves drawn in
    // between do not hide them.
    void drawPlaneUnderLabels(Canvas& canvas, const Frame& f);
    // The labels kept by the last drawPlaneUnderLabels, each on a halo of
    // the background.
    void drawLabels(Canvas& canvas);
    // The grid at the given scales; returns the label spacing in device
    // points for x and y, or (0, 0) when nothing was drawn.
    myPoint drawGridForSx(double sx, double sy, Canvas& canvas, const Frame& f);
    // The two axes; returns their device position (ox, oy).
    PointF drawAxes(Canvas& canvas, const Frame& f);
    // Tick marks and labels for label steps (Lx, Ly) and axes at (ox, oy).
    void drawTicksAndLabels(Canvas& canvas, myPoint labelSteps, PointF axes, const Frame& f);
    // One label, in the canvas's fill colour.
    void drawText(Canvas& canvas, std::string_view s, PointF at, PointF offset, TextAlign align, float labelDrop);

    // Re-creates the grid line layers for a view of this size.
    void refresh(SizeF size);
    // Forgets every layer; they are made again, from the canvas drawn into,
    // on the next draw.
    void releaseLayers();
    // The colours of the next draw; the layers are made again in them.
    void setTheme(const Theme& theme);

  private:
    struct Label {
        std::string text;
        RectF rect;
        float fontSize;
        TextAlign align;
    };
    bool keepLabels_ = false;
    std::vector<Label> keptLabels_;

    void ensureGridLayers(Canvas& canvas, SizeF size);
    void ensureStripes(Canvas& canvas);
    bool layersFrom(const Canvas& canvas) const;
    double gridPasses(double s, double centre, float length, bool vertical, Canvas& canvas);

    // Grid line layers (1 point wide / high) and tick mark layers, and the
    // kind of canvas that made them: a layer can only be drawn into a canvas
    // of the kind that made it.
    std::optional<std::type_index> layerKind_;
    std::unique_ptr<Canvas> horLayer_, verLayer_;
    SizeF horSize_{}, verSize_{};
    std::unique_ptr<Canvas> horStripe_, verStripe_;
    const Theme* theme_ = &themeFor(Appearance::light);
};

} // namespace orlix
