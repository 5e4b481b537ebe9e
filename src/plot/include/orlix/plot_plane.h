// The plot view: the plane with its curves, the marks of the current
// function and the overlays of the point the user looks at, composed of
// the view state (position and scale, view_state.h), the grid and axes
// (plot_grid.h), the overlays (plot_overlays.h) and the gesture tracker
// (gesture_tracker.h).
//
// The class knows nothing of the toolkit: it draws through orlix::Canvas, is
// seen by the function model only as a PlotContext, takes fingers as plain
// Touch records and talks to the panel, the controller and the store through
// the interfaces of plot_links.h.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "orlix/canvas.h"
#include "orlix/curve_model.h"
#include "orlix/function.h"
#include "orlix/gesture_tracker.h"
#include "orlix/plot_context.h"
#include "orlix/plot_grid.h"
#include "orlix/plot_links.h"
#include "orlix/plot_overlays.h"
#include "orlix/special_point.h"
#include "orlix/view_state.h"

namespace orlix {

// What a finger does on the plot.
enum class PlotMode {
    Move,  // pan and pinch the plane, tap marks
    Trace, // trace the current curve with one finger, a range with two
};

// How the next frame's background is made.
enum class GraphicState {
    CachedBackground = 0, // draw the background cached in trace mode
    Direct = 1,           // render the plane straight into the frame
    RebuildCache = 2,     // render the background into the cache first
};

class plotView : public PlotContext, private GestureHost {
  public:
    static constexpr double kDefaultScale = ViewState::kDefaultScale;
    static constexpr float kMaxDrawableSide = PlotGrid::kMaxDrawableSide;
    static constexpr double kMinScale = ViewState::kMinScale;
    static constexpr double kMaxScale = ViewState::kMaxScale;
    static constexpr double kMaxStretch = ViewState::kMaxStretch;
    static constexpr double kQuickTap = GestureTracker::kQuickTap;
    static constexpr float kGrabDistance = GestureTracker::kGrabDistance;

    plotView();
    ~plotView() override;
    plotView(const plotView&) = delete;
    plotView& operator=(const plotView&) = delete;

    // Told after every redraw(), once the curves are re-sampled.
    std::function<void()> onRedraw;
    // Asks the toolkit to call drawRect() soon.
    std::function<void()> onNeedsDisplay;
    // Makes the first function layer when there is none to derive it from;
    // without it the layer is made from the canvas of the first frame.
    std::function<std::unique_ptr<Canvas>(SizeF)> layerFactory;
    // The shell's unobstructed rectangle for the current frame; asked by
    // initialize() and setFrame(). Without it the whole frame is
    // unobstructed.
    std::function<RectF()> goodRectForPlotter;

    // ---- set-up ------------------------------------------------------------
    // Sets the view up for the current frame: layer at rest, the shell's
    // good rectangle, panel on the right, direct rendering, tangent and
    // osculating circle on; then the stored settings are applied (taken out
    // of the store), or without them the origin goes to the centre at the
    // default scale and the view redraws.
    void initialize();
    bool initialized() const { return initialized_; }

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

    // ---- the view's position --------------------------------------------------
    const ViewState& viewState() const { return viewState_; }
    // Puts the origin back in the centre at the default scale, then redraw().
    void centerize();
    // Zooms by factor about the device point `at` (which keeps its user
    // point), within the scale limits, and draws the curves again. Refused
    // while fingers are down. Answers whether the view changed.
    bool zoomAbout(PointF at, double factor);
    // Puts the user point `user` at the middle of the view at `scale` and
    // redraws; refused (false) for a position that is no number or a scale
    // beyond the limits.
    bool lookAt(myPoint user, myPoint scale);
    // Puts the user origin at the device point `center` at `scale` without
    // redrawing; refused (false) like lookAt().
    bool placeOrigin(myPoint center, myPoint scale) { return viewState_.placeOrigin(center, scale); }
    // The window or the curves changed: re-samples every function into a
    // new function layer at the live scale and position, searches the
    // current function's marks once, then requests display.
    void redraw() override;
    // The functions' formulas read new values (a parameter moved): redraws,
    // searches the marks, and puts the trace points at their variables'
    // values on the new curves (an implicit curve's trace point, which no
    // one variable places, goes). A selected mark goes with the old marks.
    void functionsChanged();
    // Draws the curves again as they are (a new background): no search.
    void redrawCurves();
    // Searches the current function's marks again, as the shell's switches
    // ask; the one step that does, after the curves are sampled.
    void findMarks();
    // Ends a tap: commits a pending move and redraws, or only redisplays.
    void doRedraw();

    // ---- modes ---------------------------------------------------------------
    PlotMode mode() const { return mode_; }
    bool tracing() const override { return mode_ == PlotMode::Trace; }
    // Switching mode switches the rendering (direct in move mode, through
    // the background cache in trace mode), hands the selected point over to
    // the trace point or back, and drops the fingers and the range.
    void setFState(PlotMode s);
    GraphicState graphicState() const { return graphicState_; }
    void setGraphicState(GraphicState s) { graphicState_ = s; }
    // The plane under the overlays changed: in trace mode the cached
    // background is made again on the next frame.
    void backgroundChanged();

    // ---- good rectangle and information panel --------------------------------
    RectF goodRect() const override { return goodRect_; }
    const Theme& theme() const override { return *theme_; }
    // Draws the plane, its curves and marks in the colours of a light or a
    // dark appearance from the next frame on.
    void setAppearance(Appearance appearance);
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
    myPoint plotScale() const override { return viewState_.scale(); }

    // The range the function model samples at the live position and scale.
    SamplingWindow samplingWindow() const { return viewState_.samplingWindow(); }
    // Device pixels per point of the screen the view is shown on (1 by
    // default). The curves take at least a sample per two device pixels of
    // the sampling window; a new ratio samples them again.
    double devicePixelRatio() const override { return devicePixelRatio_; }
    void setDevicePixelRatio(double ratio);

    // ---- collaborators --------------------------------------------------------------
    // Non-owning; any of them may be absent.
    void setIView(InfoPanel* p) { iView_ = p; }
    InfoPanel* iView() const { return iView_; }
    void setController(PlotController* c) { controller_ = c; }
    void setStore(PlotStore* s) { store_ = s; }

    // ---- functions ---------------------------------------------------------------------
    // The model whose functions the view draws and whose sampling window it
    // sets; the view becomes its plane. Without one it draws no curves.
    void setModel(CurveModel* model);
    CurveModel* model() const { return model_; }
    // The model's functions; empty without a model.
    const Function::Register& functionRegister() const;
    const Function::Ptr& curFunc() const { return curFunc_; }
    // Makes f current (drawn one point thicker), resets the trace points,
    // redraws and rebuilds f's marks. nullptr: no current function.
    void setCurFunc(Function::Ptr f);
    // Removes the current function from the register and makes the next
    // one (in register order, wrapping round) current.
    void removeCFunction();

    // ---- stored state ------------------------------------------------------------------------
    // The "plotterSettings" dictionary.
    nlohmann::json settings();
    // Restores position and options; the view starts in move mode. A stored
    // position that is not usable (missing, no number, infinite, scales not
    // positive or beyond the pinch limits) gives the default position.
    void applySettings(const nlohmann::json& d);

    // ---- options ------------------------------------------------------------------------------
    bool showTangent() const { return overlays_.showTangent(); }
    void setShowTangent(bool show) { overlays_.setShowTangent(show); }
    bool showOsculatingCircle() const { return overlays_.showOsculatingCircle(); }
    void setShowOsculatingCircle(bool show) { overlays_.setShowOsculatingCircle(show); }
    BarsGesture showHideUI() const override { return showHideUI_; }
    void setShowHideUI(BarsGesture g) { showHideUI_ = g; }
    // Shows or hides the bars, as the chosen gesture does.
    void showHideInterface() override;
    bool shown() const { return shown_; }

    // ---- trace points and selection ------------------------------------------------------
    const std::shared_ptr<specialPoint>& tracePoint() const override { return tracePoint_; }
    const std::shared_ptr<specialPoint>& tracePoint1() const override { return tracePoint1_; }
    const std::shared_ptr<specialPoint>& tracePoint2() const override { return tracePoint2_; }
    const std::shared_ptr<specialPoint>& selectedPoint() const override { return selectedPoint_; }
    void setSelectedPoint(std::shared_ptr<specialPoint> p) override { selectedPoint_ = std::move(p); }
    // The range shown over the current function in trace mode; none when
    // there is none.
    std::optional<TraceRange> traceRange() const;
    // Shows range r over the current function, entering trace mode, or
    // takes the range away (nullopt). Nothing without a current function,
    // or for a kind without ranges.
    void setTraceRange(std::optional<TraceRange> r);
    // Puts the trace point at the value v of the current function's
    // variable, entering trace mode. Nothing without a current function or
    // for one whose point one variable does not choose.
    void traceAt(double v);
    // The range ends were typed: tells the controller when the range is
    // not before any more.
    void rangeTyped(std::optional<TraceRange> before);

    // ---- touches ------------------------------------------------------------------------------
    // A gesture that changes the range of trace mode tells the controller
    // once, when its last finger is lifted.
    void touchesBegan(const std::vector<Touch>& changed);
    void touchesMoved(const std::vector<Touch>& changed) { gestures_.touchesMoved(changed); }
    void touchesEnded(const std::vector<Touch>& changed);
    void touchesCancelled(const std::vector<Touch>& changed) { touchesEnded(changed); }
    // Every finger of a touch screen's event, each in its phase (fingers
    // down and not moved as stationary); the range is told as above.
    void handleTouches(const std::vector<Touch>& all);
    // 0, 1 or 2 fingers being tracked.
    int curTouchNumber() const { return gestures_.fingerCount(); }

    // ---- drawing ------------------------------------------------------------------
    // Composes a frame into the view's canvas: the background (direct, or
    // through the cache in trace mode), then the overlays.
    void drawRect(Canvas& view);
    // Axes, grid, labels, the function layer and the current function's
    // marks.
    void renderToContext(Canvas& c);
    // The overlays of a frame and the information panel's updates.
    void additionalDrawings(Canvas& c);
    // What a frame shows (background, plane, curves, marks, overlays)
    // drawn straight onto c, which is the view's size, with no layer in
    // between: the curves are paths from their samples, one for each
    // function. For pictures of the view that leave the app.
    void drawScene(Canvas& c);
    // The rectangle the function layer is drawn into: where it lies and how
    // far it is stretched since it was drawn.
    RectF functionLayerRect() const { return viewState_.layerRect(); }
    const Canvas* functionLayer() const { return nextFreeLayer_.get(); }
    // A resampling draws the part of the function layer on screen first;
    // the rest is drawn by completeFunctionLayer, which the shell calls
    // once the frame is shown, and which a frame that needs more of the
    // layer (a pan, a pinch) calls itself.
    bool functionLayerComplete() const { return !layerPending_; }
    void completeFunctionLayer();
    // Axes, grid, tick marks and labels, in that order: the background of
    // every frame.
    void drawPlane(Canvas& canvas) { grid_.drawPlane(canvas, gridFrame()); }
    // The grid at the given scales; returns the label spacing in device
    // points for x and y, or (0, 0) when nothing was drawn.
    myPoint drawGridForSx(double sx, double sy, Canvas& canvas)
    {
        return grid_.drawGridForSx(sx, sy, canvas, gridFrame());
    }

  private:
    // What the gestures reach.
    ViewState& viewStateToChange() override { return viewState_; }
    Function* currentFunction() const override { return curFunc_.get(); }

    PlotGrid::Frame gridFrame() const;
    bool drawable() const { return PlotGrid::drawable(viewSize()); }
    void needsDisplay() override;
    // The function layer (made from maker when given) and the curves drawn
    // into it, at the live scale.
    void resample(Canvas* maker);
    bool functionLayerUsable(const Canvas& c) const;
    void clearTracePoints();
    void anchorInfoPanel();

    RectF frame_{};
    RectF goodRect_{};
    bool shown_ = false;
    ViewState viewState_;
    PlotGrid grid_;
    const Theme* theme_ = &themeFor(Appearance::light);
    PlotOverlays overlays_;
    GestureTracker gestures_{*this};

    InfoPanel* iView_ = nullptr;
    PlotController* controller_ = nullptr;
    PlotStore* store_ = nullptr;

    CurveModel* model_ = nullptr;
    Function::Ptr curFunc_;
    bool curFuncIsRF_ = false;
    bool curFuncIsT_ = false;
    CurvatureSide curFuncSide_ = CurvatureSide::slope;
    // Whether the last resampling drew the curves.
    bool curvesDrawn_ = false;
    // Where the layer was drawn at the last resampling, and the part of it
    // drawn so far while the rest is pending.
    myPoint layerOrigin_{}, layerScale_{};
    RectF layerDrawnArea_{};
    bool layerPending_ = false;
    // The part of the function layer the view shows now, in the layer's
    // points, widened to whole device pixels.
    std::optional<RectF> shownLayerArea() const;

    std::shared_ptr<specialPoint> tracePoint_, tracePoint1_, tracePoint2_;
    std::shared_ptr<specialPoint> selectedPoint_;
    std::optional<TraceRange> rangeAtGestureStart_;
    // Around the gestures' handling of touches: the range as the first
    // finger goes down, and the controller told of a new one once the last
    // is lifted.
    void gestureMayBegin();
    void gestureMayHaveEnded(bool wasDown);

    // The function layer, and the cached background of trace mode.
    std::unique_ptr<Canvas> nextFreeLayer_;
    std::unique_ptr<Canvas> traceBackground_;
    PlotMode mode_ = PlotMode::Move;
    GraphicState graphicState_ = GraphicState::Direct;
    BarsGesture showHideUI_ = BarsGesture::ThreeFingers;
    bool isLeftAligned_ = false;
    bool initialized_ = false;
    double devicePixelRatio_ = 1;
    std::optional<SizeF> panelSize_;
    std::optional<PointF> panelCenter_;
};

} // namespace orlix
