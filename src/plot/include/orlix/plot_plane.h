// The coordinate plane of the plot view: the mapping between user and device
// coordinates, the sampling window handed to the function model, the
// adaptive grid, the axes with their ticks and labels, and the anchoring of
// the information panel inside the unobstructed part of the view.
//
// The class knows nothing of the toolkit: it draws through orlix::Canvas, is
// seen by the function model only as a PlotContext, takes fingers as plain
// Touch records and talks to the panel, the controller and the store through
// the interfaces of plot_links.h. Rendering lives in plot_render.cpp, the
// gestures and the view state in plot_touch.cpp.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include <nlohmann/json.hpp>

#include "orlix/canvas.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/plot_context.h"
#include "orlix/plot_links.h"
#include "orlix/special_point.h"

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
    // The scales a pinch may reach, device points per user unit.
    static constexpr double kMinScale = 5e-8;
    static constexpr double kMaxScale = 2e7;
    // A pinch re-samples once the layer is stretched this much.
    static constexpr double kMaxStretch = 1.7;
    // A trace-mode tap shorter than this (seconds) on empty space hides the
    // trace point.
    static constexpr double kQuickTap = 0.3;
    // A finger this close (points) to a range end picks that end up.
    static constexpr float kGrabDistance = 25;

    plotView();
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

    // Told after every redraw(), once the curves are re-sampled.
    std::function<void()> onRedraw;
    // Asks the toolkit to call drawRect() soon.
    std::function<void()> onNeedsDisplay;
    // Makes the first function layer when there is none to derive it from;
    // without it the layer is made from the canvas of the first frame.
    std::function<std::unique_ptr<Canvas>(SizeF)> layerFactory;
    // The controller's unobstructed rectangle for the current frame; asked
    // by setFrame(). Without it the default good rectangle of the new size
    // is used.
    std::function<RectF()> goodRectForPlotter;

    // ---- set-up ------------------------------------------------------------
    // Sets the view up for the current frame: layer offsets at (-W, -H),
    // the default good rectangle, panel on the right, direct rendering,
    // tangent and osculating circle on; then the stored settings are applied
    // (taken out of the store), or without them the origin goes to the
    // centre at the default scale and the view redraws.
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
    // Re-samples every function into a new function layer at the live
    // scale and position, then requests display.
    void redraw();
    // Ends a tap: commits a pending move and redraws, or only redisplays.
    void doRedraw();

    // ---- modes ---------------------------------------------------------------
    // 0 move mode, 1 trace mode.
    int fState() const { return fState_; }
    // Switching mode switches the rendering (direct in move mode, through
    // the background cache in trace mode), hands the selected point over to
    // the trace point or back, and drops the fingers and the range.
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

    // ---- collaborators --------------------------------------------------------------
    // Non-owning; any of them may be absent.
    void setIView(InfoPanel* p) { iView_ = p; }
    InfoPanel* iView() const { return iView_; }
    void setController(PlotController* c) { controller_ = c; }
    void setStore(PlotStore* s) { store_ = s; }

    // ---- functions ---------------------------------------------------------------------
    const Function::Ptr& curFunc() const { return curFunc_; }
    // Makes f current (drawn one point thicker), resets the trace points,
    // redraws and rebuilds f's marks. nullptr: no current function.
    void setCurFunc(Function::Ptr f);
    // Removes the current function from the register and makes the next
    // one (in register order, wrapping round) current.
    void removeCFunction();

    // ---- view state ------------------------------------------------------------------------
    // The "plotterSettings" dictionary.
    nlohmann::json settings();
    // Restores position and options; the view starts in move mode. A stored
    // position that is not usable (missing, no number, infinite, scales not
    // positive or beyond the pinch limits) gives the default position.
    void applySettings(const nlohmann::json& d);

    bool showTangent = true;
    bool showOsculatingCircle = true;
    // Which gesture toggles the bars: 0 double tap, 1 triple tap, 2 three
    // fingers; anything else none.
    int showHideUI = 2;
    bool shown() const { return shown_; }

    // ---- trace points and selection ------------------------------------------------------
    const std::shared_ptr<specialPoint>& tracePoint() const { return tracePoint_; }
    const std::shared_ptr<specialPoint>& tracePoint1() const { return tracePoint1_; }
    const std::shared_ptr<specialPoint>& tracePoint2() const { return tracePoint2_; }
    const std::shared_ptr<specialPoint>& selectedPoint() const { return selectedPoint_; }
    void setSelectedPoint(std::shared_ptr<specialPoint> p) { selectedPoint_ = std::move(p); }
    // Continuation state of the two range fingers.
    previousInfo_ prevI1{}, prevI2{};

    // ---- touches ------------------------------------------------------------------------------
    // The fingers that changed; cancelled fingers end like lifted ones.
    void touchesBegan(const std::vector<Touch>& changed);
    void touchesMoved(const std::vector<Touch>& changed);
    void touchesEnded(const std::vector<Touch>& changed);
    void touchesCancelled(const std::vector<Touch>& changed) { touchesEnded(changed); }
    // Every finger of one toolkit event, whatever its phase: dispatched as
    // began, moved, ended in that order (stationary fingers only update
    // their position).
    void handleTouches(const std::vector<Touch>& all);
    // 0, 1 or 2 fingers being tracked.
    int curTouchNumber() const { return curTouchNumber_; }
    // Device position of the first finger when the gesture step began.
    PointF curFirstTap{};
    // Finger distance at the start of a pinch step.
    double l0 = 0;
    // Counter cycling through marked points at the same distance from taps.
    static unsigned dd;

    // ---- drawing ------------------------------------------------------------------
    // Composes a frame into the view's canvas: the background (direct, or
    // through the cache in trace mode), then the overlays.
    void drawRect(Canvas& view);
    // Axes, grid, labels, the function layer and the current function's
    // marks.
    void renderToContext(Canvas& c);
    // The overlays of a frame and the information panel's updates.
    void additionalDrawings(Canvas& c);
    // The rectangle the function layer is drawn into: where it lies and how
    // far it is stretched since it was drawn.
    RectF functionLayerRect() const;
    const Canvas* functionLayer() const { return nextFreeLayer_.get(); }
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
    void needsDisplay();
    // bSx/bSy, the function layer (made from maker when given) and the
    // curves drawn into it.
    void resample(Canvas* maker);
    bool functionLayerUsable(const Canvas& c) const;
    void setDefaultPosition();
    void clearTracePoints();
    void stepR();
    double pinchFactor(PointF p, PointF q) const;
    void applyPinch(PointF p, double kl);
    bool panCovers() const;
    bool pinchCovers() const;
    void resetOffsets();
    void commitPan();
    bool tracked(const std::vector<Touch>& t, std::optional<int> id) const;
    const Touch* fingerOf(std::optional<int> id) const; // null when not tracked
    PointF positionOf(std::optional<int> id) const;
    int phaseOf(std::optional<int> id) const;
    void remember(const std::vector<Touch>& t);
    void forgetEnded(const std::vector<Touch>& t);
    void tapEnded(const Touch& t);
    void anchorInfoPanel();
    void ensureGridLayers(Canvas& canvas);
    void ensureStripes(Canvas& canvas);
    bool layersFrom(const Canvas& canvas) const;
    double gridPasses(double s, double centre, float length, bool vertical, Canvas& canvas);

    RectF frame_{};
    RectF goodRect_{};
    bool shown_ = false;

    InfoPanel* iView_ = nullptr;
    PlotController* controller_ = nullptr;
    PlotStore* store_ = nullptr;

    Function::Ptr curFunc_;
    bool curFuncIsRF_ = false;
    bool curFuncIsT_ = false;
    CurvatureSide curFuncSide_ = CurvatureSide::slope;
    // Whether the last resampling drew the curves (and so found the
    // current function's marks).
    bool curvesDrawn_ = false;

    std::shared_ptr<specialPoint> tracePoint_, tracePoint1_, tracePoint2_;
    std::shared_ptr<specialPoint> selectedPoint_;
    double v1_ = 0, v2_ = 0, tv_ = 0;
    // Whether the last range step swapped the fingers' values.
    bool rangeSwapped_ = false;
    // Time stamp of the touch that started a single-finger trace; NaN
    // otherwise.
    double ti_ = 0;

    int curTouchNumber_ = 0;
    std::optional<int> firstTouch_, secondTouch_;
    // Latest record of every finger on the view.
    std::map<int, Touch> fingers_;
    // Latest zoom factor of the running pinch.
    double kl_ = 1;

    // The function layer, and the cached background of trace mode.
    std::unique_ptr<Canvas> nextFreeLayer_;
    std::unique_ptr<Canvas> layer2_;
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
