// point, range, marks, record and restore: the function model on the
// command line.
#include <iostream>
#include <iterator>
#include <sstream>

#include "orlix/color_gen.h"
#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/fstack.h"
#include "orlix/function_kind.h"
#include "orlix/implicit_function.h"
#include "orlix/math_engine.h"
#include "orlix/special_point.h"
#include "view_options.h"

namespace orlix::cli {

ParameterOptions ParameterOptions::take(Args& args)
{
    ParameterOptions p;
    for (Parameter which : allParameters) {
        const std::string option = std::string("--") + parameterName(which);
        if (auto text = takeOption(args, option)) {
            const double v = toNumber(*text);
            if (!std::isfinite(v))
                throw UsageError(option + " must be a finite number");
            p.values[static_cast<std::size_t>(which)] = v;
        }
    }
    return p;
}

void ParameterOptions::applyTo(CurveModel& model) const
{
    for (Parameter which : allParameters)
        if (const auto& v = values[static_cast<std::size_t>(which)])
            model.setParameter(which, *v);
    model.applyParameters();
}

ViewOptions ViewOptions::take(Args& args)
{
    ViewOptions v;
    auto pair = [](const std::string& text, const char* what) {
        const auto comma = text.find(',');
        if (comma == std::string::npos)
            throw UsageError(std::string(what) + " takes two numbers separated by a comma");
        return std::pair{toNumber(text.substr(0, comma)), toNumber(text.substr(comma + 1))};
    };
    if (auto s = takeOption(args, "--size")) {
        auto [w, h] = pair(*s, "--size");
        if (!(w >= 1 && h >= 1 && w <= 8192 && h <= 8192))
            throw UsageError("--size must be between 1 and 8192 points on each side");
        v.width = static_cast<float>(w);
        v.height = static_cast<float>(h);
    }
    if (auto s = takeOption(args, "--scale")) {
        v.scale = toNumber(*s);
        if (!(v.scale > 0) || !std::isfinite(v.scale))
            throw UsageError("--scale must be a positive number");
    }
    if (auto s = takeOption(args, "--center")) {
        auto [x, y] = pair(*s, "--center");
        v.center = {x, y};
    }
    return v;
}

Function::Ptr functionOfKind(const std::string& kind, const std::string& formula)
{
    if (const FunctionKindInfo* k = findKindByShortName(kind)) {
        // "y=x^2" as people type it; "x=cos(t);y=sin(t)" for two formulas.
        const std::size_t semicolon = formula.find(';');
        if (k->secondInputLabel.empty() || semicolon == std::string::npos)
            return k->fromText(withoutKindPrefix(*k, formula));
        return k->fromText(std::string(withoutKindPrefix(*k, std::string_view(formula).substr(0, semicolon))) + ";" +
                           std::string(withoutKindPrefix(*k, std::string_view(formula).substr(semicolon + 1), true)));
    }
    std::string names;
    for (const FunctionKindInfo& k : functionKinds())
        names += (names.empty() ? "" : " or ") + std::string(k.shortName);
    throw UsageError("KIND is " + names);
}

namespace {

// A bound as typed: a number, or an expression of constants only.
double boundValue(const std::string& text)
{
    try {
        return toNumber(text);
    } catch (const UsageError&) {
    }
    fStack::Owner list;
    try {
        list = fStack::createWithString(text);
    } catch (const Error& e) {
        throw UsageError("--range: " + std::string(e.what()));
    }
    if (!list)
        throw UsageError("--range: not a number: '" + text + "'");
    for (const fStack* node = list->last(); node; node = node->previous)
        for (const char* variable : {"x", "y", "t", "r", "f", "θ", "i", "φ", "a", "b", "c"})
            if (node->is(variable))
                throw UsageError("--range: a bound takes no variable: '" + text + "'");
    return list->toStackMachine()->evaluate();
}

} // namespace

RangeDefaults takeRangeDefaults(Args& args)
{
    RangeDefaults defaults;
    if (auto v = takeOption(args, "--def-rf"))
        defaults.polarFromZero = toNumber(*v) != 0;
    if (auto v = takeOption(args, "--def-t"))
        defaults.parametricFromZero = toNumber(*v) != 0;
    return defaults;
}

std::optional<VariableRange> takeRange(Args& args)
{
    auto text = takeOption(args, "--range");
    if (!text)
        return std::nullopt;
    const auto comma = text->find(',');
    if (comma == std::string::npos)
        throw UsageError("--range takes two bounds separated by a comma");
    VariableRange r{boundValue(text->substr(0, comma)), boundValue(text->substr(comma + 1))};
    try {
        checkRangeBound(r.lo, RangeBound::min, r.hi);
        checkRangeBound(r.hi, RangeBound::max, r.lo);
    } catch (const Error& e) {
        throw UsageError("--range: " + std::string(e.what()));
    }
    return r;
}

void registerWithRange(CurveModel& model, const Function::Ptr& f, const std::optional<VariableRange>& range)
{
    f->setModel(&model);
    const FunctionKindInfo* kind = f->kindInfo();
    if (!range && !(kind && kind->can.ownRange))
        return;
    model.setFunction(f, "1");
    if (range) {
        f->setMinVar(range->lo, range->hi);
        f->functionInfo()["minVarStr"] = tostr(range->lo);
        f->functionInfo()["maxVarStr"] = tostr(range->hi);
    }
}

std::vector<WithFunction> takeWithFunctions(Args& args)
{
    std::vector<WithFunction> made;
    while (auto with = takeOption(args, "--with")) {
        std::optional<VariableRange> range;
        if (const auto at = with->rfind('@'); at != std::string::npos) {
            Args option{"--range", with->substr(at + 1)};
            range = takeRange(option);
            with->erase(at);
        }
        const auto colon = with->find(':');
        if (colon == std::string::npos)
            throw UsageError("--with takes KIND:FORMULA or KIND:FORMULA@A,B");
        made.push_back({functionOfKind(with->substr(0, colon), with->substr(colon + 1)), range});
    }
    return made;
}

void registerWithFunction(CurveModel& model, const WithFunction& with, const std::string& id)
{
    model.setFunction(with.function, id);
    if (with.range) {
        with.function->setMinVar(with.range->lo, with.range->hi);
        with.function->functionInfo()["minVarStr"] = tostr(with.range->lo);
        with.function->functionInfo()["maxVarStr"] = tostr(with.range->hi);
    }
}

nlohmann::json infoMapToJson(const InfoMap& map)
{
    nlohmann::json j = nlohmann::json::object();
    for (const auto& [key, value] : map)
        j[key] = jsonNumber(value);
    return j;
}

nlohmann::json pointInfoToJson(const myPointInfo& info)
{
    return {{"point", {jsonNumber(info.point.x), jsonNumber(info.point.y)}},
            {"value", jsonNumber(info.value)},
            {"variable", jsonNumber(info.variable)},
            {"info", info.info ? infoMapToJson(*info.info) : nlohmann::json(nullptr)}};
}

namespace {

// The plane as the model sees it, for commands that draw nothing.
class CliPlane : public PlotContext {
  public:
    explicit CliPlane(const ViewOptions& v, double pixelRatio = 1) : v_(v), origin_(v.origin()), ratio_(pixelRatio) {}
    double devicePixelRatio() const override { return ratio_; }
    myPoint plotScale() const override { return {v_.scale, v_.scale}; }
    myPoint myPointToUser(myPoint d) const override
    {
        return {(d.x - origin_.x) / v_.scale, (origin_.y - d.y) / v_.scale};
    }
    PointF myPointToDevice(myPoint u) const override
    {
        return {static_cast<float>(u.x * v_.scale + origin_.x), static_cast<float>(origin_.y - u.y * v_.scale)};
    }
    RectF goodRect() const override { return {0, 64, v_.width, v_.height - 109}; }

  private:
    ViewOptions v_;
    myPoint origin_;
    double ratio_;
};

std::string positional(const Args& args, std::size_t k)
{
    std::size_t n = 0;
    for (const std::string& a : args)
        if (a != "--" && n++ == k)
            return a;
    return {};
}

void printText(const std::optional<std::string>& text)
{
    std::cout << (text ? nlohmann::json(*text) : nlohmann::json(nullptr)).dump() << "\n";
}

int point(Args& args)
{
    const RangeDefaults rangeDefaults = takeRangeDefaults(args);
    const auto variableRange = takeRange(args);
    const ParameterOptions parameters = ParameterOptions::take(args);
    expectPositional(args, 3);
    Function::Ptr f = functionOfKind(positional(args, 0), positional(args, 1));
    CurveModel model;
    parameters.applyTo(model);
    model.setRangeDefaults(rangeDefaults);
    registerWithRange(model, f, variableRange);
    myPointInfo info;
    if (auto* implicit = dynamic_cast<iFunction*>(f.get())) {
        // An implicit curve's point is given by both coordinates.
        const std::string at = positional(args, 2);
        const auto comma = at.find(',');
        if (comma == std::string::npos)
            throw UsageError("the point of an implicit curve is X,Y");
        info = implicit->myPointInfoForXY(toNumber(at.substr(0, comma)), toNumber(at.substr(comma + 1)));
    } else {
        info = f->pointAt(toNumber(positional(args, 2)));
    }
    std::cout << pointInfoToJson(info).dump() << "\n";
    printText(f->pointInfoText(info));
    return 0;
}

int range(Args& args)
{
    CurveModel model;
    ParameterOptions::take(args).applyTo(model);
    if (auto n = takeOption(args, "--max-integral"))
        model.setMaxIntegral(static_cast<int>(toNumber(*n)));
    model.setRangeDefaults(takeRangeDefaults(args));
    const auto variableRange = takeRange(args);
    expectPositional(args, 4);
    Function::Ptr f = functionOfKind(positional(args, 0), positional(args, 1));
    registerWithRange(model, f, variableRange);
    std::optional<InfoMap> info = f->rangeInfo(toNumber(positional(args, 2)), toNumber(positional(args, 3)));
    std::cout << (info ? infoMapToJson(*info) : nlohmann::json(nullptr)).dump() << "\n";
    printText(info ? f->rangeInfoText(*info) : std::nullopt);
    return 0;
}

int marks(Args& args)
{
    CliShell shell;
    shell.takeSearches(args);
    const ViewOptions view = ViewOptions::take(args);
    const RangeDefaults rangeDefaults = takeRangeDefaults(args);
    const auto variableRange = takeRange(args);
    const std::vector<WithFunction> others = takeWithFunctions(args);
    const ParameterOptions parameters = ParameterOptions::take(args);
    expectPositional(args, 2);
    Function::Ptr f = functionOfKind(positional(args, 0), positional(args, 1));

    CliPlane plane(view);
    CurveModel model;
    parameters.applyTo(model);
    model.setRangeDefaults(rangeDefaults);
    model.setPlotContext(&plane);
    specialObject::setPlotter(&plane);
    model.setShell(&shell);
    model.setFunction(f, "1");
    registerWithRange(model, f, variableRange);
    for (std::size_t k = 0; k < others.size(); ++k)
        registerWithFunction(model, others[k], std::to_string(k + 2));
    shell.current = f.get();

    // The sampling window and the layer: three view sizes around the centre;
    // the curves are sampled by drawing them, then searched.
    view.setSamplingWindow(model);
    NullCanvas layer({3 * view.width, 3 * view.height});
    const myPoint origin = view.origin();
    model.drawFunctionsOnLayer(layer, {-view.width - origin.x, -view.height - origin.y}, {view.scale, view.scale});
    f->updateInfoIfNeeded();

    nlohmann::json out = nlohmann::json::array();
    for (const auto& mark : f->info()) {
        nlohmann::json j = pointInfoToJson(mark->info());
        j["type"] = mark->type();
        j["betta"] = jsonNumber(mark->betta());
        out.push_back(std::move(j));
    }
    std::cout << out.dump() << "\n";
    specialObject::setPlotter(nullptr);
    return 0;
}

// Feeds the points to the function as one touch: the first begins it, the
// others move it.
int trace(Args& args)
{
    const ViewOptions view = ViewOptions::take(args);
    const RangeDefaults rangeDefaults = takeRangeDefaults(args);
    const auto variableRange = takeRange(args);
    const ParameterOptions parameters = ParameterOptions::take(args);
    std::vector<std::string> rest;
    for (const std::string& a : args)
        if (a != "--")
            rest.push_back(a);
    if (rest.size() < 3)
        throw UsageError("trace takes KIND FORMULA and at least one point X,Y");
    Function::Ptr f = functionOfKind(rest[0], rest[1]);

    CliPlane plane(view);
    CliShell shell;
    CurveModel model;
    parameters.applyTo(model);
    model.setRangeDefaults(rangeDefaults);
    model.setPlotContext(&plane);
    specialObject::setPlotter(&plane);
    model.setShell(&shell);
    model.setFunction(f, "1");
    registerWithRange(model, f, variableRange);
    shell.current = f.get();
    view.setSamplingWindow(model);
    if (!f->hasPoints()) {
        f->setNumOfPoints(f->chosenPointCount());
        f->updatePoints();
    }
    int status = 0;
    for (std::size_t k = 2; k < rest.size(); ++k) {
        const auto comma = rest[k].find(',');
        if (comma == std::string::npos) {
            std::cerr << "a point is X,Y: '" << rest[k] << "'\n";
            status = 2;
            break;
        }
        const myPoint user{toNumber(rest[k].substr(0, comma)), toNumber(rest[k].substr(comma + 1))};
        const PointF device = plane.myPointToDevice(user);
        const double v = f->varValueForPoint(device, k == 2 ? kTouchBegan : kTouchMoved);
        const myPoint p = f->positionAt(v);
        std::cout << nlohmann::json{{"variable", jsonNumber(v)}, {"point", {jsonNumber(p.x), jsonNumber(p.y)}}}.dump()
                  << "\n";
    }
    specialObject::setPlotter(nullptr);
    return status;
}

int contour(Args& args)
{
    const ViewOptions view = ViewOptions::take(args);
    int n = 0;
    if (auto text = takeOption(args, "--n")) {
        const double value = toNumber(*text);
        if (!(value >= iFunction::minGridSize && value <= iFunction::maxGridSize))
            throw UsageError("--n must be between " + std::to_string(iFunction::minGridSize) + " and " +
                             std::to_string(iFunction::maxGridSize));
        n = static_cast<int>(value);
    }
    double pixelRatio = 1;
    if (auto text = takeOption(args, "--dpr")) {
        pixelRatio = toNumber(*text);
        if (!(pixelRatio >= 0.25 && pixelRatio <= 8))
            throw UsageError("--dpr must be between 0.25 and 8");
    }
    const ParameterOptions parameters = ParameterOptions::take(args);
    expectPositional(args, 1);
    auto f = iFunction::functionFromString(positional(args, 0));
    // The sampling window: three view sizes around the centre, refined to
    // the device pixels of the view.
    CurveModel model;
    parameters.applyTo(model);
    CliPlane plane(view, pixelRatio);
    model.setPlotContext(&plane);
    view.setSamplingWindow(model);
    f->setModel(&model);
    f->setN(n);
    f->fillStaticInfo();
    f->updatePoints();
    nlohmann::json points = nlohmann::json::array();
    for (int i = 0; i < f->pointsNum(); ++i) {
        const myPoint p = f->points()[static_cast<std::size_t>(i)];
        points.push_back({jsonNumber(p.x), jsonNumber(p.y)});
    }
    nlohmann::json segments = nlohmann::json::array();
    for (const auto& [a, b] : f->segmentPairs())
        segments.push_back({a, b});
    std::cout << nlohmann::json{{"points", std::move(points)}, {"segments", std::move(segments)}}.dump() << "\n";
    return 0;
}

int record(Args& args)
{
    const RangeDefaults rangeDefaults = takeRangeDefaults(args);
    const auto variableRange = takeRange(args);
    expectPositional(args, 2);
    Function::Ptr f = functionOfKind(positional(args, 0), positional(args, 1));
    CurveModel model;
    model.setRangeDefaults(rangeDefaults);
    registerWithRange(model, f, variableRange);
    std::cout << f->toDict().dump() << "\n";
    return 0;
}

int restore(Args& args)
{
    expectPositional(args, 0);
    std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    nlohmann::json d = nlohmann::json::parse(input, nullptr, false);
    if (d.is_discarded()) {
        std::cerr << "standard input is not JSON\n";
        return 1;
    }
    CurveModel model;
    model.loadAllFromDict(d);
    std::cout << model.registerToDict().dump() << "\n";
    return 0;
}

const Registrar pointCommand("point", "point KIND FORMULA V (X,Y for KIND i) [--range A,B] [--a V] [--b V] [--c V]", point);
const Registrar rangeCommand("range", "range KIND FORMULA A B [--max-integral N] [--range A,B] [--a V] [--b V] [--c V]", range);
const Registrar
    marksCommand("marks",
                 "marks KIND FORMULA [--roots] [--extrs] [--infls] [--inters] [--with KIND:FORMULA[@A,B]]... "
                 "[--size W,H] [--scale S] [--center X,Y] [--range A,B] [--a V] [--b V] [--c V]",
                 marks);
const Registrar traceCommand("trace",
                             "trace KIND FORMULA X,Y [X,Y ...] [--size W,H] [--scale S] [--center X,Y] [--range A,B] [--a V] [--b V] [--c V]",
                             trace);
const Registrar contourCommand("contour", "contour FORMULA [--size W,H] [--scale S] [--center X,Y] [--n N] [--dpr K] [--a V] [--b V] [--c V]",
                               contour);
const Registrar recordCommand("record", "record KIND FORMULA [--range A,B]", record);
const Registrar restoreCommand("restore", "restore < FUNCTIONS.json", restore);

} // namespace
} // namespace orlix::cli
