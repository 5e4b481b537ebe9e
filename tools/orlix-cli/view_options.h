// The view that model commands work against: size, scale and centre from
// the command line, as the plane would set them.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "cli.h"
#include "orlix/canvas.h"
#include "orlix/curve_model.h"
#include "orlix/function.h"
#include "orlix/null_canvas.h"
#include "orlix/plot_context.h"

namespace orlix::cli {

struct ViewOptions {
    float width = 320;
    float height = 480;
    double scale = 30;
    myPoint center{0, 0}; // the user point at the view's centre

    // Takes --size W,H, --scale S and --center X,Y out of args.
    static ViewOptions take(Args& args);
    // Device position of the user origin.
    myPoint origin() const { return {0.5 * width - center.x * scale, 0.5 * height + center.y * scale}; }
    // Hands the function model the window it samples: three view sizes
    // around the centre, as the plot view does.
    void setSamplingWindow(CurveModel& model) const
    {
        const double halfW = 1.5 * width / scale, halfH = 1.5 * height / scale;
        model.setMinX(center.x - halfW, center.x + halfW);
        model.setMinY(center.y - halfH, center.y + halfH);
    }
};

// --a V, --b V and --c V: the values of the parameters, each a finite
// number; those not given stay 0.
struct ParameterOptions {
    std::array<std::optional<double>, 3> values{};
    static ParameterOptions take(Args& args);
    // Hands the values given to the model (and so to the engine's cells),
    // before its functions are sampled.
    void applyTo(CurveModel& model) const;
};

// The searches chosen on the command line and the current function.
class CliShell : public FunctionShell {
  public:
    SearchSettings searches;
    Function* current = nullptr;
    SearchSettings searchSettings() const override { return searches; }
    Function* currentFunction() const override { return current; }
    // Takes --roots, --extrs and --infls out of args.
    void takeSearches(Args& args)
    {
        searches.sRoots = takeFlag(args, "--roots");
        searches.sExtrs = takeFlag(args, "--extrs");
        searches.sInfls = takeFlag(args, "--infls");
        searches.sInters = takeFlag(args, "--inters");
    }
};

// The kind named on the command line ("yx", "xy") made from a formula.
Function::Ptr functionOfKind(const std::string& kind, const std::string& formula);

// A range of a kind's own variable: two bounds, each a number or a
// constant expression ("2π", "-pi/2").
struct VariableRange {
    double lo = 0;
    double hi = 0;
};
// Takes --def-rf N and --def-t N (the default ranges of new polar and
// parametric curves) out of args.
RangeDefaults takeRangeDefaults(Args& args);
// Takes --range A,B out of args; a usage error with the range fields'
// message when a bound is not a number, infinite or crossed.
std::optional<VariableRange> takeRange(Args& args);
// Attaches f to model, and registers it as "1" when it has a range of its
// own (so that it takes its default range and samples) or when a range is
// given, then sets the range.
void registerWithRange(CurveModel& model, const Function::Ptr& f, const std::optional<VariableRange>& range);
// A function of a "--with KIND:FORMULA[@A,B]" option, with its range.
struct WithFunction {
    Function::Ptr function;
    std::optional<VariableRange> range;
};
// The functions of every "--with" option, taken out of args in the order
// given.
std::vector<WithFunction> takeWithFunctions(Args& args);
// Registers a --with function under id and gives it its range.
void registerWithFunction(CurveModel& model, const WithFunction& with, const std::string& id);

nlohmann::json pointInfoToJson(const myPointInfo& info);
nlohmann::json infoMapToJson(const InfoMap& map);

} // namespace orlix::cli
