// render: the plane with its curves and the last curve's marks, as the app
// shows it, into a PNG or an SVG (by the output's extension).
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>

#include "../view_options.h"
#include "orlix/color_gen.h"
#include "orlix/function_kind.h"
#include "orlix/plot_plane.h"
#include "orlix/special_point.h"
#include "picture_export.h"

namespace orlix::cli {
namespace {

// 'y(x)=sin(x)', 'x(y)=y^2', 'r(θ)=1+cos(θ)' (also 'r(f)=…') or
// 'x(t)=cos(t);y(t)=sin(t)', the last two optionally followed by '@A,B'
// for the range; a bare formula is y(x).
std::pair<Function::Ptr, std::optional<VariableRange>> functionFromArgument(std::string text)
{
    std::optional<VariableRange> range;
    if (const auto at = text.rfind('@'); at != std::string::npos) {
        Args option{"--range", text.substr(at + 1)};
        range = takeRange(option);
        text.erase(at);
    }
    const auto eq = text.find('=');
    if (eq != std::string::npos) {
        std::string head = text.substr(0, eq);
        std::erase(head, ' ');
        if (head == "r(f)")
            head = "r(θ)";
        if (head == "0")
            return {functionOfKind("i", text.substr(eq + 1)), range};
        for (const FunctionKindInfo& k : functionKinds()) {
            std::string label(k.inputLabel);
            std::erase(label, ' ');
            if (head + "=" != label)
                continue;
            std::string formula = text.substr(eq + 1);
            if (!k.secondInputLabel.empty()) {
                // 'X;y(t)=Y': the second label may be left out.
                const auto semicolon = formula.find(';');
                const std::string second(k.secondInputLabel);
                if (semicolon != std::string::npos && formula.compare(semicolon + 1, second.size(), second) == 0)
                    formula.erase(semicolon + 1, second.size());
            }
            return {functionOfKind(std::string(k.shortName), formula), range};
        }
        throw UsageError("a function is written 'y(x)=F', 'x(y)=F', 'r(θ)=F', 'x(t)=X;y(t)=Y' or '0=G'");
    }
    return {functionOfKind("yx", text), range};
}

int render(Args& args)
{
    CliShell shell;
    shell.takeSearches(args);
    const ViewOptions view = ViewOptions::take(args);
    const RangeDefaults rangeDefaults = takeRangeDefaults(args);
    const std::vector<WithFunction> others = takeWithFunctions(args);
    const ParameterOptions parameters = ParameterOptions::take(args);
    double dpr = 2;
    if (auto d = takeOption(args, "--dpr")) {
        dpr = toNumber(*d);
        if (!(dpr >= 0.25 && dpr <= 8))
            throw UsageError("--dpr must be between 0.25 and 8");
    }
    if (auto s = takeOption(args, "--seed"))
        colorGen::seed(static_cast<unsigned>(toNumber(*s)));
    std::vector<std::string> positional;
    for (const std::string& a : args)
        if (a != "--")
            positional.push_back(a);
    if (positional.size() < 2)
        throw UsageError("render needs an output file and at least one function");
    const QString out = QString::fromStdString(positional[0]);
    const std::optional<PictureFormat> format = pictureFormatOf(out);
    if (!format)
        throw UsageError("render writes a .png or an .svg file");

    // Text needs a GUI application; without a display it runs offscreen.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "orlix-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    CurveModel model;
    parameters.applyTo(model);
    model.setRangeDefaults(rangeDefaults);
    plotView plane;
    plane.setFrame(RectF{0, 0, view.width, view.height});
    plane.initialize();
    plane.setModel(&model);
    model.setShell(&shell);
    if (!plane.lookAt(view.center, myPoint{view.scale, view.scale}))
        throw UsageError("--center and --scale must give a finite centre and a scale the plot can show");

    Function::Ptr last;
    for (std::size_t k = 1; k < positional.size(); ++k) {
        auto [f, range] = functionFromArgument(positional[k]);
        if (!f->kindInfo() || !f->kindInfo()->can.ownColor)
            f->setColor(colorGen::sharedColorGen().genColor());
        char id[32];
        std::snprintf(id, sizeof id, "f%03zu", k);
        model.setFunction(f, id);
        if (range)
            f->setMinVar(range->lo, range->hi);
        last = f;
    }
    for (std::size_t k = 0; k < others.size(); ++k) {
        const Function::Ptr& f = others[k].function;
        if (!f->kindInfo() || !f->kindInfo()->can.ownColor)
            f->setColor(colorGen::sharedColorGen().genColor());
        registerWithFunction(model, others[k], "w" + std::to_string(k + 1));
    }
    shell.current = last.get();
    // Draws the curves and searches the marks of the last one.
    plane.setCurFunc(last);

    const std::optional<QString> failure =
        writePicture(plane, PictureRequest{out, *format, dpr});

    if (failure) {
        std::cerr << failure->toStdString() << "\n";
        return 1;
    }
    std::cout << positional[0] << "\n";
    return 0;
}

const Registrar renderCommand(
    "render",
    "render OUT.png|OUT.svg [--size W,H] [--scale S] [--center X,Y] [--dpr K] [--seed N] [--roots] [--extrs] [--infls] "
    "[--def-rf N] [--def-t N] [--inters] [--with KIND:FORMULA[@A,B]]... [--a V] [--b V] [--c V] FUNCTION[@A,B]...",
    render);

} // namespace
} // namespace orlix::cli
