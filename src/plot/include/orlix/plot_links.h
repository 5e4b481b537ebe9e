// What the plot view exchanges with the rest of the application without
// knowing the toolkit: finger records, the information panel, the main
// screen's controller and the stored preferences.
#pragma once

#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "orlix/canvas.h"
#include "orlix/function.h"
#include "orlix/function_history.h"

namespace orlix {

class specialPoint;

// One finger as the toolkit reports it. A widget forwards every finger that
// changed with its own id (the same id for the whole life of the finger);
// a mouse is forwarded as the finger with one fixed id.
struct Touch {
    int id = 0;
    PointF location;         // in the view's own coordinates
    TouchPhase phase = kTouchBegan;
    int tapCount = 1;        // 1 for a single tap or a drag, 2 for the second tap of a double tap, ...
    double timestamp = 0;    // seconds, any fixed origin
};

// The information panel over the plane. The plot view fills it while
// tracing and hides it when there is nothing to show.
class InfoPanel {
  public:
    virtual ~InfoPanel() = default;
    // The two points the panel's fields move when the user types a value:
    // p0 the range start (nullptr for a single point), p1 the point or the
    // range end.
    virtual void setP0(std::shared_ptr<specialPoint> p) = 0;
    virtual void setP1(std::shared_ptr<specialPoint> p) = 0;
    // Shows one point (collapses the panel).
    virtual void setContent(const myPointInfo& info) = 0;
    // Shows a range (expands the panel); nullopt when the function has no
    // information for it.
    virtual void setContent2(const std::optional<InfoMap>& range) = 0;
    // Whether the user may type into the value field.
    virtual void setInteractive(bool interactive) = 0;
    virtual void setHidden(bool hidden) = 0;
    // The function shown; relabels the fields.
    virtual void setCurFunc(Function* f) = 0;
};

// The main screen, as far as the plot view needs it.
class PlotController {
  public:
    virtual ~PlotController() = default;
    // Shows or hides the bars (the gesture is chosen by showHideUI).
    virtual void showHideInterface() = 0;
    // The plot view made f current (nullptr: none).
    virtual void setCurFunc(Function* f) = 0;
    // The fingers (or a typed value) changed the range of trace mode; before
    // is the range as it was when they started.
    virtual void traceRangeChanged(std::optional<TraceRange> before) { (void)before; }
};

// The preferences store, as far as the plot view reads it.
class PlotStore {
  public:
    virtual ~PlotStore() = default;
    // The stored "plotterSettings", removed from the store as they are
    // read; nullopt when there are none.
    virtual std::optional<nlohmann::json> takePlotterSettings() = 0;
    // The "resetPositionOnLaunch" default, and clearing it once used.
    virtual bool resetPositionOnLaunch() const = 0;
    virtual void clearResetPositionOnLaunch() = 0;
};

} // namespace orlix
