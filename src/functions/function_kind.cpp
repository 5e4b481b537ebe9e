#include "orlix/function_kind.h"

#include "orlix/math_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "orlix/error.h"
#include "orlix/format.h"
#include "orlix/implicit_function.h"
#include "orlix/rf_function.h"
#include "orlix/t_function.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"

namespace orlix {

namespace {

constexpr double kPi = 3.141592653589793;

template <class Kind> Function::Ptr fromText(std::string_view text) { return Kind::functionFromString(text); }

template <class Kind> Function::Ptr fromChecked(CheckedFormula formula)
{
    return Kind::functionFromChecked(std::move(formula));
}

using Q = TableQuantity;
using P = std::string_view;
constexpr P yxPrefixes[] = {"y=", "y(x)="};
constexpr P xyPrefixes[] = {"x=", "x(y)="};
constexpr P polarPrefixes[] = {"r=", "r(θ)=", "r(f)="};
constexpr P xtPrefixes[] = {"x=", "x(t)="};
constexpr P ytPrefixes[] = {"y=", "y(t)="};
constexpr P implicitPrefixes[] = {"0=g(x,y)=", "0=", "g(x,y)="};
constexpr TableColumn yxColumns[] = {{"x", Q::variable}, {"y", Q::value}};
constexpr TableColumn xyColumns[] = {{"y", Q::variable}, {"x", Q::value}};
constexpr TableColumn polarColumns[] = {{"θ", Q::variable}, {"r", Q::value}, {"x", Q::x}, {"y", Q::y}};
constexpr TableColumn parametricColumns[] = {{"t", Q::variable}, {"x", Q::x}, {"y", Q::y}};

FunctionKindInfo yxEntry()
{
    FunctionKindInfo k{};
    k.kind = FunctionKind::yx;
    k.typeName = "yxFunction";
    k.shortName = "yx";
    k.inputLabel = "y(x)=";
    k.variables = "x";
    k.variableLabel = "x=";
    k.startLabel = "x₁=";
    k.endLabel = "x₂=";
    k.placeholder = "sin(x)";
    k.keyVariables = "x";
    k.menuText = "New y(x)";
    k.glyph = KindGlyph::square;
    k.prefixes = yxPrefixes;
    k.tableColumns = yxColumns;
    k.fromText = &fromText<yxFunction>;
    k.fromChecked = &fromChecked<yxFunction>;
    k.fromRecord = &yxFunction::fromDict;
    return k;
}

FunctionKindInfo xyEntry()
{
    FunctionKindInfo k{};
    k.kind = FunctionKind::xy;
    k.typeName = "xyFunction";
    k.shortName = "xy";
    k.inputLabel = "x(y)=";
    k.variables = "y";
    k.keyVariables = "y";
    k.variableLabel = "y=";
    k.startLabel = "y₁=";
    k.endLabel = "y₂=";
    k.placeholder = "sin(y)";
    k.menuText = "New x(y)";
    k.can.ownColor = true; // drawn in blue
    k.curvatureSide = CurvatureSide::mirroredSlope;
    k.glyph = KindGlyph::diamond;
    k.prefixes = xyPrefixes;
    k.tableColumns = xyColumns;
    k.fromText = &fromText<xyFunction>;
    k.fromChecked = &fromChecked<xyFunction>;
    k.fromRecord = &xyFunction::fromDict;
    return k;
}

// "θ ≥" and kin: the variable, a six-per-em space and the sign.
std::string_view rangeLabel(std::string_view variable, std::string_view sign)
{
    static std::vector<std::unique_ptr<std::string>> labels;
    labels.push_back(
        std::make_unique<std::string>(std::string(variable) + std::string(sixPerEmSpace) + std::string(sign)));
    return *labels.back();
}

FunctionKindInfo polarEntry()
{
    FunctionKindInfo k{};
    k.kind = FunctionKind::polar;
    k.typeName = "rfFunction";
    k.shortName = "rf";
    k.inputLabel = "r(θ)=";
    k.variables = "fθ";
    k.keyVariables = "θ";
    k.variableLabel = "θ=";
    k.startLabel = "θ₁=";
    k.endLabel = "θ₂=";
    k.placeholder = "1+cos(θ)";
    k.menuText = "New r(θ)";
    k.rangeMinLabel = rangeLabel("θ", "≥");
    k.rangeMaxLabel = rangeLabel("θ", "≤");
    k.standardRange = {-kPi, kPi, "-π", "π"};
    k.zeroRange = {0, 2 * kPi, "0", "2π"};
    k.startsAtZero = &RangeDefaults::polarFromZero;
    k.can.ownRange = true;
    k.can.residual = false;
    k.rangeEnds = RangeEndFacing::alongRadius;
    k.glyph = KindGlyph::circle;
    k.prefixes = polarPrefixes;
    k.tableColumns = polarColumns;
    k.fromText = &fromText<rfFunction>;
    k.fromChecked = &fromChecked<rfFunction>;
    k.fromRecord = &rfFunction::fromDict;
    return k;
}

FunctionKindInfo parametricEntry()
{
    FunctionKindInfo k{};
    k.kind = FunctionKind::parametric;
    k.typeName = "tFunction";
    k.shortName = "t";
    k.inputLabel = "x(t)=";
    k.secondInputLabel = "y(t)=";
    k.variables = "t";
    k.keyVariables = "t";
    k.variableLabel = "t=";
    k.startLabel = "t₁=";
    k.endLabel = "t₂=";
    k.placeholder = "cos(t)";
    k.secondPlaceholder = "sin(t)";
    k.menuText = "x(t), y(t)";
    k.rangeMinLabel = rangeLabel("t", "≥");
    k.rangeMaxLabel = rangeLabel("t", "≤");
    k.standardRange = {-20, 20, "-20", "20"};
    k.zeroRange = {0, 20, "0", "20"};
    k.startsAtZero = &RangeDefaults::parametricFromZero;
    k.can.ownRange = true;
    k.can.residual = false;
    k.rangeEnds = RangeEndFacing::alongChord;
    k.curvatureSide = CurvatureSide::parameter;
    // The text form holds both formulas, "x(t);y(t)".
    k.glyph = KindGlyph::triangle;
    k.prefixes = xtPrefixes;
    k.secondPrefixes = ytPrefixes;
    k.tableColumns = parametricColumns;
    k.fromText = &fromText<tFunction>;
    k.fromCheckedPair = [](CheckedFormula x, CheckedFormula y) -> Function::Ptr {
        return tFunction::functionFromChecked(std::move(x), std::move(y));
    };
    k.fromRecord = &tFunction::fromDict;
    return k;
}

FunctionKindInfo implicitEntry()
{
    FunctionKindInfo k{};
    k.kind = FunctionKind::implicit;
    k.typeName = "iFunction";
    k.shortName = "i";
    // "0 = g(x,y)=": a hair space before the first "=", a four-per-em space after it.
    k.inputLabel = "0\xE2\x80\x8A=\xE2\x80\x85g(x,y)=";
    k.variables = "xy";
    k.keyVariables = "xy";
    k.variableLabel = "x=";
    k.startLabel = "x₁=";
    k.endLabel = "x₂=";
    k.placeholder = "x^2+y^2-4";
    k.menuText = "g(x,y)=0";
    k.can.derivative = false;
    k.can.inflections = false;
    k.can.rangeQuantities = false;
    k.can.implicitDrawing = true;
    k.can.variableField = false;
    // A curve of two variables has no one variable to step along.
    k.can.valueTable = false;
    k.glyph = KindGlyph::hexagon;
    k.prefixes = implicitPrefixes;
    k.fromText = &fromText<iFunction>;
    k.fromChecked = &fromChecked<iFunction>;
    k.fromRecord = &iFunction::fromDict;
    return k;
}

const std::array<FunctionKindInfo, 5>& table()
{
    // In the order the add menu offers them.
    static const std::array<FunctionKindInfo, 5> kinds{yxEntry(), polarEntry(), xyEntry(), parametricEntry(),
                                                       implicitEntry()};
    return kinds;
}

template <class Pred> const FunctionKindInfo* findIf(Pred pred)
{
    const auto& kinds = table();
    auto it = std::find_if(kinds.begin(), kinds.end(), pred);
    return it == kinds.end() ? nullptr : &*it;
}

} // namespace

std::span<const FunctionKindInfo> functionKinds() { return table(); }

const FunctionKindInfo* findKind(FunctionKind kind)
{
    return findIf([&](const FunctionKindInfo& k) { return k.kind == kind; });
}

const FunctionKindInfo* findKindByType(std::string_view typeName)
{
    return findIf([&](const FunctionKindInfo& k) { return k.typeName == typeName; });
}

const FunctionKindInfo* findKindByShortName(std::string_view shortName)
{
    return findIf([&](const FunctionKindInfo& k) { return k.shortName == shortName; });
}

const FunctionKindInfo& defaultKind() { return table().front(); }

std::string_view withoutKindPrefix(const FunctionKindInfo& kind, std::string_view text, bool second)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    for (std::string_view prefix : second ? kind.secondPrefixes : kind.prefixes) {
        std::size_t i = 0;
        bool matched = true;
        for (char want : prefix) {
            while (i < text.size() && isSpace(text[i]))
                ++i;
            if (i >= text.size() || text[i] != want) {
                matched = false;
                break;
            }
            ++i;
        }
        if (!matched)
            continue;
        while (i < text.size() && isSpace(text[i]))
            ++i;
        return text.substr(i);
    }
    return text;
}

const RangeChoice& defaultRange(const FunctionKindInfo& kind, const RangeDefaults& preferences)
{
    return kind.startsAtZero && preferences.*kind.startsAtZero ? kind.zeroRange : kind.standardRange;
}

void checkRangeBound(double value, RangeBound which, double other)
{
    if (std::isnan(value))
        throw Error("Value is NAN!");
    if (std::isinf(value))
        throw Error("Infinity value!");
    if (which == RangeBound::min && !(value < other))
        throw Error("MinVal shouldn't be greater than MaxVal!");
    if (which == RangeBound::max && !(value > other))
        throw Error("MaxVal shouldn't be less than MinVal!");
}

} // namespace orlix
