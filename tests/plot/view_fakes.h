// A plot view of 320 × 480 with a recording canvas, a panel, a controller
// and a store that remember what they were told, for the rendering and the
// gesture tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "orlix/function.h"
#include "orlix/plot_plane.h"
#include "orlix/special_point.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"
#include "recording_canvas.h"

namespace plottest {

using orlix::test::Op;
using Recorder = orlix::test::RecordingCanvas;
using orlix::Color;
using orlix::PointF;
using orlix::RectF;
using orlix::SizeF;
using orlix::TextAlign;

struct FakePanel : orlix::InfoPanel {
    std::shared_ptr<orlix::specialPoint> p0, p1;
    std::optional<orlix::myPointInfo> content;
    std::optional<std::optional<orlix::InfoMap>> content2;
    bool interactive = false;
    bool hidden = true;
    orlix::Function* func = nullptr;
    int contents = 0, ranges = 0;
    void setP0(std::shared_ptr<orlix::specialPoint> p) override { p0 = std::move(p); }
    void setP1(std::shared_ptr<orlix::specialPoint> p) override { p1 = std::move(p); }
    void setContent(const orlix::myPointInfo& i) override
    {
        content = i;
        hidden = false;
        ++contents;
    }
    void setContent2(const std::optional<orlix::InfoMap>& r) override
    {
        content2 = r;
        hidden = false;
        ++ranges;
    }
    void setInteractive(bool i) override { interactive = i; }
    void setHidden(bool h) override { hidden = h; }
    void setCurFunc(orlix::Function* f) override { func = f; }
};

struct FakeController : orlix::PlotController {
    int toggles = 0;
    // Ranges of trace mode set by gestures, each a step for the history.
    int rangeSteps = 0;
    orlix::Function* func = nullptr;
    void showHideInterface() override { ++toggles; }
    void setCurFunc(orlix::Function* f) override { func = f; }
    void traceRangeChanged(std::optional<orlix::TraceRange>) override { ++rangeSteps; }
};

struct FakeStore : orlix::PlotStore {
    std::optional<nlohmann::json> stored;
    bool reset = false;
    std::optional<nlohmann::json> takePlotterSettings() override
    {
        auto d = std::move(stored);
        stored.reset();
        return d;
    }
    bool resetPositionOnLaunch() const override { return reset; }
    void clearResetPositionOnLaunch() override { reset = false; }
};

inline orlix::Touch touch(int id, float x, float y, orlix::TouchPhase phase, double time = 0, int taps = 1)
{
    return orlix::Touch{id, orlix::PointF{x, y}, phase, taps, time};
}

// A fresh view over a model of its own.
class ViewTest : public ::testing::Test {
  protected:
    orlix::CurveModel model;
    orlix::plotView view;
    Recorder canvas{SizeF{320, 480}};
    FakePanel panel;
    FakeController controller;
    FakeStore store;
    int redraws = 0;
    int displays = 0;

    void SetUp() override
    {
        // The shell's bars: 64 points at the top, 45 at the bottom.
        view.goodRectForPlotter = [this] { return RectF{0, 64, view.viewSize().width, view.viewSize().height - 109}; };
        view.setFrame(RectF{0, 0, 320, 480});
        view.setIView(&panel);
        view.setController(&controller);
        view.setStore(&store);
        view.onRedraw = [this] { ++redraws; };
        view.onNeedsDisplay = [this] { ++displays; };
        view.setModel(&model);
    }

    // initialize() with whatever the store holds.
    void launch() { view.initialize(); }

    std::shared_ptr<orlix::yxFunction> addYx(const char* text, const char* id)
    {
        auto f = orlix::yxFunction::functionFromString(text);
        model.setFunction(f, id);
        return f;
    }
    std::shared_ptr<orlix::xyFunction> addXy(const char* text, const char* id)
    {
        auto f = orlix::xyFunction::functionFromString(text);
        model.setFunction(f, id);
        return f;
    }

    void frame()
    {
        canvas.forget();
        view.drawRect(canvas);
    }

    // Device x of a user x at the default position.
    static float dx(double x) { return static_cast<float>(160 + 30 * x); }
    static float dy(double y) { return static_cast<float>(240 - 30 * y); }

    void began(std::vector<orlix::Touch> t) { view.touchesBegan(t); }
    void moved(std::vector<orlix::Touch> t) { view.touchesMoved(t); }
    void ended(std::vector<orlix::Touch> t) { view.touchesEnded(t); }
};

inline std::vector<const Op*> opsOf(const std::vector<Op>& ops, const std::string& kind, int canvas = 0)
{
    std::vector<const Op*> out;
    for (const Op& op : ops)
        if (op.kind == kind && (canvas < 0 || op.canvas == canvas))
            out.push_back(&op);
    return out;
}

inline bool allFinite(const std::vector<Op>& ops)
{
    for (const Op& op : ops)
        for (float v : op.v)
            if (!std::isfinite(v))
                return false;
    return true;
}

} // namespace plottest
