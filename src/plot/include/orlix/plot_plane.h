// The coordinate plane of the plot view: the mapping between user and device
// coordinates, the sampling window handed to the function model, the
// adaptive grid, the axes with their ticks and labels, and the anchoring of
// the information panel inside the unobstructed part of the view.
//
// The class knows nothing of the toolkit: it draws through orlix::Canvas and
// is seen by the function model only as a PlotContext.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>

#include "orlix/canvas.h"
#include "orlix/plot_context.h"

namespace orlix {

// Widens a device point to a myPoint, and narrows one back.
inline myPoint toMyPoint(PointF p) { return myPoint{p.x, p.y}; }
inline PointF toCGPoint(myPoint p) { return PointF{static_cast<float>(p.x), static_cast<float>(p.y)}; }

// Font size of an axis label of n characters.
int sizeForLength(int n);

// The text of an axis label: printf's "%.7G" of the user value.
std::string labelText(double v);

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

class plotView : public PlotContext {
public:
    // Device points per user unit of a fresh or centred view.
    static constexpr double kDefaultScale = 30.0;
    // Views larger than this (in points, either side) are not drawn: their
    // grid alone would take millions of layer draws.
    static constexpr float kMaxDrawableSide = 32768.0f;

    plotView() = default;
    ~plotView() override;
    plotView(const plotView&) = delete;
    plotView& operator=(const plotView&) = delete;

    // ---- view state -------------------------------------------------------
    // Committed and live device position of the user origin.
    myPoint curCenter{};
    myPoint tCenter{};
    // Committed and live device position of the function layer's top-left
    // corner.
    myPoint curOffset{};
    myPoint tOffset{};
    // Size of the function layer: three times the view.
    SizeF layerSize{};
    // Committed and live scales (device points per user unit); every
    // transform uses the live ones.
    double curSx = kDefaultScale, curSy = kDefaultScale;
    double tSx = kDefaultScale, tSy = kDefaultScale;
    // Scales at which the function layer was last drawn.
    double bSx = kDefaultScale, bSy = kDefaultScale;
    // Dash of clamped axes and of the trace lines.
    float simpleDash[2] = {2, 2};

    // Called at the end of redraw(), once the plane's own bookkeeping is
    // done: this is where the function layer gets re-sampled and display is
    // requested.
    std::function<void()> onRedraw;
    // The controller's unobstructed rectangle for the current frame; asked
    // by setFrame(). Without it the default good rectangle of the new size
    // is used.
    std::function<RectF()> goodRectForPlotter;

    // ---- set-up ------------------------------------------------------------
    // Sets the plane up for the current frame: layer offsets at (-W, -H),
    // the default good rectangle, panel on the right, direct rendering, the
    // origin in the centre at the default scale; then redraw().
    void initialize();
    bool initialized() const { return inittt_; }

    // The view's frame (position in its superview and size).
    RectF frame() const { return frame_; }
    SizeF viewSize() const { return SizeF{frame_.width, frame_.height}; }
    // Keeps the picture centred when the view is resized. A frame whose
    // size is not a finite non-negative number is refused.
    void setFrame(RectF frame);
    // Re-creates the grid line layers for the current size.
    void refresh();
    // Forgets every layer; they are made again, from the canvas drawn into,
    // on the next draw. (Drawing into another kind of canvas than the one
    // that made them does this by itself.)
    void releaseLayers();

    // Puts the origin back in the centre at the default scale, then redraw().
    void centerize();
    // The plane's part of a redraw: the function layer's scale and size are
    // brought up to date, then onRedraw runs.
    void redraw();

    // ---- modes ---------------------------------------------------------------
    // 0 move mode, 1 trace mode.
    int fState() const { return fState_; }
    // Switching mode switches the rendering: direct in move mode, through
    // the background cache in trace mode.
    void setFState(int s);
    // 0 draw the cached background, 1 render directly, 2 rebuild the cache.
    int graphicState() const { return graphicState_; }
    void setGraphicState(int s) { graphicState_ = s; }

    // ---- good rectangle and information panel --------------------------------
    RectF goodRect() const override { return goodRect_; }
    // Stores the rectangle and re-anchors the information panel.
    void setGoodRect(RectF r);
    bool isLeftAligned() const { return isLeftAligned_; }
    void setIsLeftAligned(bool left);
    // Bounds size of the information panel, once there is one.
    void setInfoPanelSize(std::optional<SizeF> size) { panelSize_ = size; }
    std::optional<SizeF> infoPanelSize() const { return panelSize_; }
    // Centre the panel was last anchored at (bottom-left or bottom-right
    // corner of the good rectangle); none before the first anchoring.
    std::optional<PointF> infoPanelCenter() const { return panelCenter_; }

    // ---- coordinates -----------------------------------------------------------
    PointF coordsToUser(PointF device) const;
    PointF coordsToDevice(PointF user) const;
    myPoint myPointToUser(myPoint device) const override;
    PointF myPointToDevice(myPoint user) const override;
    myPoint curSs() const override { return myPoint{curSx, curSy}; }

    // The range the function model samples at the live position and scale.
    SamplingWindow samplingWindow() const;

    // ---- drawing ------------------------------------------------------------------
    // Axes, grid, tick marks and labels, in that order: the background of
    // every frame.
    void drawPlane(Canvas& canvas);
    // The grid at the given scales; returns the label spacing in device
    // points for x and y, or (0, 0) when nothing was drawn.
    myPoint drawGridForSx(double sx, double sy, Canvas& canvas);
    // The two axes; a clamped axis is dashed along the good rectangle's edge.
    // Returns the device position (ox, oy) of the axes.
    PointF drawAxes(Canvas& canvas);
    // Tick marks and labels for label steps (Lx, Ly) and axes at (ox, oy).
    void drawTicksAndLabels(Canvas& canvas, myPoint labelSteps, PointF axes);
    // One label, in the canvas's fill colour.
    void drawText(Canvas& canvas, std::string_view s, PointF at, PointF offset, TextAlign align);

private:
    bool drawable() const;
    void anchorInfoPanel();
    void ensureGridLayers(Canvas& canvas);
    void ensureStripes(Canvas& canvas);
    bool layersFrom(const Canvas& canvas) const;
    double gridPasses(double s, double centre, float length, bool vertical, Canvas& canvas);

    RectF frame_{};
    RectF goodRect_{};
    int fState_ = 0;
    int graphicState_ = 1;
    bool isLeftAligned_ = false;
    bool inittt_ = false;
    std::optional<SizeF> panelSize_;
    std::optional<PointF> panelCenter_;

    // Grid line layers (1 point wide / high) and tick mark layers, and the
    // kind of canvas that made them: a layer can only be drawn into a canvas
    // of the kind that made it.
    std::optional<std::type_index> layerKind_;
    std::unique_ptr<Canvas> horLayer_, verLayer_;
    SizeF horSize_{}, verSize_{};
    std::unique_ptr<Canvas> horStripe_, verStripe_;
};

} // namespace orlix
