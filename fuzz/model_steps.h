// What the curve-model fuzzer does with one input, shared with the test
// that replays the inputs it found. The input is text, one item a line:
//
//   kind            short name: yx, xy, rf, t or i
//   formula         "x(t);y(t)" for a parametric curve
//   other kind      a second curve, for the intersections (may be empty)
//   other formula
//   numbers         view centre x and y, scale, parameter, range start and end
//
// The view is set, then the curve is registered and drawn once there
// (every search on), then asked for the point information at the
// parameter, the range quantities, its own range (for the kinds with one),
// and traced with one finger and then two across the plane. An orlix::Error ends the run
// early; anything else (a crash, a sanitizer report, another exception, a
// path point that is no number) is a fault.
#pragma once

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orlix/error.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/null_canvas.h"
#include "orlix/plot_plane.h"

namespace orlix::fuzzsteps {

struct ModelInput {
    const FunctionKindInfo* kind = nullptr;
    std::string formula;
    const FunctionKindInfo* otherKind = nullptr;
    std::string otherFormula;
    // centre x, centre y, scale, parameter, range start, range end
    std::array<double, 6> numbers{0, 0, 30, 0.5, -1, 2};
};

inline std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty() && lines.size() < 5) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

// nullopt when the first line names no kind.
inline std::optional<ModelInput> readModelInput(std::string_view text)
{
    const std::vector<std::string_view> lines = splitLines(text);
    ModelInput in;
    if (lines.empty() || !(in.kind = findKindByShortName(lines[0])))
        return std::nullopt;
    if (lines.size() > 1)
        in.formula = lines[1];
    if (lines.size() > 3 && (in.otherKind = findKindByShortName(lines[2])))
        in.otherFormula = lines[3];
    if (lines.size() > 4) {
        // strtod wants a terminated string.
        const std::string numbers(lines[4]);
        const char* p = numbers.c_str();
        for (double& v : in.numbers) {
            char* end = nullptr;
            const double read = std::strtod(p, &end);
            if (end == p)
                break;
            v = read;
            p = end;
        }
    }
    return in;
}

// The searches all on, the curve under test current.
class AllSearches : public FunctionShell {
  public:
    Function* current = nullptr;
    SearchSettings searchSettings() const override { return {true, true, true, true}; }
    Function* currentFunction() const override { return current; }
};

// Formats what trace mode shows, as the information panel does.
class FormattingPanel : public InfoPanel {
  public:
    Function* function = nullptr;
    int shown = 0;
    void setP0(std::shared_ptr<specialPoint>) override {}
    void setP1(std::shared_ptr<specialPoint>) override {}
    void setContent(const myPointInfo& info) override
    {
        if (function && function->pointInfoText(info))
            ++shown;
    }
    void setContent2(const std::optional<InfoMap>& range) override
    {
        if (function && range && function->rangeInfoText(*range))
            ++shown;
    }
    void setCurFunc(Function* f) override { function = f; }
    void setHidden(bool) override {}
    void setInteractive(bool) override {}
};

struct ModelOutcome {
    bool registered = false;
    bool drawn = false;
    std::size_t marks = 0;
    int pathPoints = 0;
    int nonFinitePoints = 0;
    bool pointInfo = false;
    bool rangeInfo = false;
    int panelTexts = 0;
};

// Fingers down at from, moved to to in four steps, a frame drawn while
// they are still down, then lifted.
inline void drag(plotView& plane, std::initializer_list<PointF> from, std::initializer_list<PointF> to, double& clock,
                 NullCanvas& frame)
{
    std::vector<Touch> touches;
    int id = 1;
    for (PointF p : from)
        touches.push_back(Touch{id++, p, kTouchBegan, 1, clock});
    plane.touchesBegan(touches);
    for (int step = 1; step <= 4; ++step) {
        clock += 0.05;
        touches.clear();
        id = 1;
        auto a = from.begin();
        for (PointF b : to) {
            const float k = step / 4.0f;
            touches.push_back(
                Touch{id++, PointF{a->x + k * (b.x - a->x), a->y + k * (b.y - a->y)}, kTouchMoved, 1, clock});
            ++a;
        }
        plane.touchesMoved(touches);
    }
    plane.drawRect(frame);
    for (Touch& t : touches)
        t.phase = kTouchEnded;
    plane.touchesEnded(touches);
    clock += 0.5;
}

inline ModelOutcome runModel(const ModelInput& in)
{
    ModelOutcome out;
    AllSearches shell;
    FormattingPanel panel;
    CurveModel model;
    plotView plane;
    plane.layerFactory = [](SizeF size) { return std::make_unique<NullCanvas>(size); };
    plane.setFrame(RectF{0, 0, 320, 480});
    plane.setIView(&panel);
    plane.setModel(&model);
    model.setShell(&shell);
    plane.initialize();
    // The view first, while the plane is empty, so that the curves are
    // drawn and searched once, at that view.
    const double scale = in.numbers[2];
    if (!plane.lookAt(myPoint{in.numbers[0], in.numbers[1]}, myPoint{scale, scale}))
        plane.centerize();

    try {
        Function::Ptr f = in.kind->fromText(in.formula);
        if (!f)
            throw Error("Wrong Syntax!");
        f->setModel(&model);
        if (in.kind->can.ownRange) {
            const double lo = in.numbers[4], hi = in.numbers[5];
            checkRangeBound(lo, RangeBound::min, hi);
            checkRangeBound(hi, RangeBound::max, lo);
            f->setMinVar(lo, hi);
        }
        model.setFunction(f, "f1");
        out.registered = true;
        if (in.otherKind) {
            try {
                if (Function::Ptr g = in.otherKind->fromText(in.otherFormula))
                    model.setFunction(g, "f2");
            } catch (const Error&) {
            }
        }
        shell.current = f.get();
        // Draws every curve and finds the marks of the current one.
        plane.setCurFunc(f);
        out.drawn = true;
        out.marks = f->info().size();
        if (const auto* layer = dynamic_cast<const NullCanvas*>(plane.functionLayer())) {
            out.pathPoints = layer->pathPoints;
            out.nonFinitePoints = layer->nonFinitePoints;
        }

        const myPointInfo info = f->pointAt(in.numbers[3]);
        out.pointInfo = info.info.has_value();
        if (in.kind->can.rangeQuantities)
            out.rangeInfo = f->rangeInfo(in.numbers[4], in.numbers[5]).has_value();

        plane.setFState(PlotMode::Trace);
        double clock = 1;
        NullCanvas frame(SizeF{320, 480});
        drag(plane, {PointF{100, 240}}, {PointF{280, 250}}, clock, frame);
        drag(plane, {PointF{60, 200}, PointF{250, 300}}, {PointF{100, 220}, PointF{200, 260}}, clock, frame);
        out.nonFinitePoints += frame.nonFinitePoints;
        out.panelTexts = panel.shown;
    } catch (const Error&) {
    }
    plane.setIView(nullptr);
    return out;
}

} // namespace orlix::fuzzsteps
