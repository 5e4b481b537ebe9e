#include "info_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "orlix/error.h"
#include "orlix/function_kind.h"
#include "orlix/plot_plane.h"
#include "orlix/special_point.h"
#include "orlix/xy_function.h"
#include "orlix/yx_function.h"
#include "qpainter_canvas.h"
#include "qt_environment.h"

using namespace orlix;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

// Entries of kinds not built yet, as their table entries will read.
FunctionKindInfo kindLike(FunctionKind k, const char* v, const char* v0, const char* v1, bool variableField)
{
    FunctionKindInfo info{};
    info.kind = k;
    info.variableLabel = v, info.startLabel = v0, info.endLabel = v1;
    info.can.variableField = variableField;
    return info;
}
const FunctionKindInfo polarKind = kindLike(FunctionKind::polar, "θ=", "θ₁=", "θ₂=", true);
const FunctionKindInfo parametricKind = kindLike(FunctionKind::parametric, "t=", "t₁=", "t₂=", true);
const FunctionKindInfo implicitKind = kindLike(FunctionKind::implicit, "x=", "x₁=", "x₂=", false);

// A function of some kind, only for the labels.
struct NamedKind : Function {
    const FunctionKindInfo* kind = nullptr;
    bool implicit = false;
    const FunctionKindInfo* kindInfo() const override { return kind; }
    bool isImplicit() const override { return implicit; }
};

class InfoModelTest : public ::testing::Test {
  protected:
    InfoModel model;
    // The model as the plot view sees it.
    InfoPanel& panel = model;

    // What the plot view does for a selected trace point in trace mode.
    void traceAt(Function& f, double v, const std::shared_ptr<specialPoint>& point)
    {
        point->setInfo(f.pointAt(v));
        panel.setP1(point);
        panel.setInteractive(true);
        panel.setContent(point->info());
    }
    // What it does for a range.
    void rangeOf(Function& f, double a, double b, const std::shared_ptr<specialPoint>& p0,
                 const std::shared_ptr<specialPoint>& p1)
    {
        p0->setInfo(f.pointAt(a));
        p1->setInfo(f.pointAt(b));
        panel.setP0(p0);
        panel.setP1(p1);
        panel.setInteractive(true);
        panel.setContent2(f.rangeInfo(a, b));
    }
};

TEST_F(InfoModelTest, LabelsFollowTheKind)
{
    struct Case {
        const FunctionKindInfo* kind;
        bool implicit;
        const char *v, *v0, *v1;
        bool typeable;
    };
    const std::vector<Case> cases = {
        {findKind(FunctionKind::yx), false, "x=", "x₁=", "x₂=", true},
        {findKind(FunctionKind::xy), false, "y=", "y₁=", "y₂=", true},
        {&polarKind, false, "θ=", "θ₁=", "θ₂=", true},
        {&parametricKind, false, "t=", "t₁=", "t₂=", true},
        {&implicitKind, true, "x=", "x₁=", "x₂=", false},
        {nullptr, false, "x=", "x₁=", "x₂=", true},
    };
    for (const auto& c : cases) {
        NamedKind f;
        f.kind = c.kind;
        f.implicit = c.implicit;
        panel.setCurFunc(&f);
        panel.setInteractive(true);
        EXPECT_EQ(model.v(), c.v) << c.v;
        EXPECT_EQ(model.v0(), c.v0) << c.v;
        EXPECT_EQ(model.v1(), c.v1) << c.v;
        EXPECT_EQ(model.valueLabel(), c.v) << c.v;
        EXPECT_EQ(model.valueFieldEditable(), c.typeable) << c.v;
    }
    panel.setCurFunc(nullptr);
    EXPECT_EQ(model.v(), "x=");
}

TEST_F(InfoModelTest, SwitchingToPolarRelabelsAnExpandedPanel)
{
    auto f = yxFunction::functionFromString("x^2");
    panel.setCurFunc(f.get());
    panel.setContent2(f->rangeInfo(0, 1));
    EXPECT_EQ(model.startLabel(), "x₁=");
    EXPECT_EQ(model.valueLabel(), "x₂=");
    NamedKind polar;
    polar.kind = &polarKind;
    panel.setCurFunc(&polar);
    EXPECT_EQ(model.startLabel(), "θ₁=");
    EXPECT_EQ(model.valueLabel(), "θ₂=");
    model.minimize();
    EXPECT_EQ(model.valueLabel(), "θ=");
}

TEST_F(InfoModelTest, PointOfYx)
{
    auto f = yxFunction::functionFromString("x^3");
    auto point = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    EXPECT_TRUE(model.hidden());
    traceAt(*f, 1, point);
    EXPECT_FALSE(model.hidden());
    EXPECT_FALSE(model.maxed());
    EXPECT_EQ(model.valueLabel(), "x=");
    EXPECT_EQ(model.valueField().rightString, "1");
    EXPECT_EQ(model.valueField().theString, "1");
    EXPECT_EQ(model.text(), "y=\u20051\n∂y/∂x=\u20053\n∂²y/∂x²=\u20056\nk=\u20050.1897367");
}

TEST_F(InfoModelTest, PointOfXy)
{
    auto f = xyFunction::functionFromString("y^2");
    auto point = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    traceAt(*f, 2, point);
    EXPECT_EQ(model.valueLabel(), "y=");
    EXPECT_EQ(model.valueField().rightString, "2");
    // x = 4, dx/dy = 4, dy/dx = 1/4, d²x/dy² = 2, k = 2 / (1 + 16)^1.5
    EXPECT_EQ(model.text(), "x=\u20054\n∂y/∂x=\u20050.25\n∂x/∂y=\u20054\n∂²x/∂y²=\u20052\nk=\u20050.0285336");
}

TEST_F(InfoModelTest, NumbersUseTheSharedFormat)
{
    auto f = yxFunction::functionFromString("x");
    auto point = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    const std::vector<std::pair<double, const char*>> cases = {
        {5e-8, "0"},    {-5e-8, "0"},       {1.23456789, "1.234568"}, {123456789, "1.234568E+08"},
        {-2.5, "-2.5"}, {NaN, "undefined"},
    };
    for (const auto& [v, shown] : cases) {
        myPointInfo info;
        info.variable = v;
        info.value = v;
        panel.setContent(info);
        EXPECT_EQ(model.valueField().rightString, shown) << v;
        EXPECT_EQ(model.text().substr(0, model.text().find('\n')), std::string("y=\u2005") + shown) << v;
    }
}

// Where a curve has no value, or an infinite one, the trace says so instead
// of showing a zero a reader would take for a value.
TEST_F(InfoModelTest, TracedPointsWithoutAValue)
{
    const struct {
        const char* formula;
        double x;
        const char* text;
    } cases[] = {
        {"sqrt(x)", -1.93, "y=\u2005undefined\n∂y/∂x=\u2005undefined\n∂²y/∂x²=\u2005undefined\nk=\u2005undefined"},
        {"x^(1/3)", -8, "y=\u2005undefined\n∂y/∂x=\u2005undefined\n∂²y/∂x²=\u2005undefined\nk=\u2005undefined"},
        {"1/x", 0, "y=\u2005\u221E\n∂y/∂x=\u2005\u2212\u221E\n∂²y/∂x²=\u2005undefined\nk=\u2005undefined"},
        {"sqrt(x)", 0, "y=\u20050\n∂y/∂x=\u2005\u221E\n∂²y/∂x²=\u2005\u2212\u221E\nk=\u2005undefined"},
    };
    for (const auto& c : cases) {
        auto f = yxFunction::functionFromString(c.formula);
        f->fillStaticInfo();
        auto point = std::make_shared<specialPoint>();
        panel.setCurFunc(f.get());
        traceAt(*f, c.x, point);
        EXPECT_EQ(model.text(), c.text) << c.formula << " at " << c.x;
    }
}

TEST_F(InfoModelTest, RangeOfYx)
{
    auto f = yxFunction::functionFromString("x^2");
    auto p0 = std::make_shared<specialPoint>(), p1 = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    rangeOf(*f, 0, 1, p0, p1);
    EXPECT_FALSE(model.hidden());
    EXPECT_TRUE(model.maxed());
    EXPECT_EQ(model.startLabel(), "x₁=");
    EXPECT_EQ(model.valueLabel(), "x₂=");
    EXPECT_EQ(model.startField().rightString, "0");
    EXPECT_EQ(model.valueField().rightString, "1");
    EXPECT_EQ(model.startField().theString, "0");
    EXPECT_EQ(model.valueField().theString, "1");
    EXPECT_EQ(model.text(), *f->rangeInfoText(*f->rangeInfo(0, 1)));
    // y ≥ 0: the integral is the area, one line. The estimates of the area
    // 1/3, the length 1.478943, Vox = π/5 and Sox = 3.809730 are numeric.
    EXPECT_EQ(model.text().substr(0, model.text().find("0.33333")), "S= ∫=\u2005") << model.text();
    EXPECT_NE(model.text().find("\nl=\u20051.47894"), std::string::npos) << model.text();
    EXPECT_NE(model.text().find("\nVox=\u20050.62831"), std::string::npos) << model.text();
    EXPECT_NE(model.text().find("\nSox=\u20053.8097"), std::string::npos) << model.text();

    // A point again collapses the panel.
    traceAt(*f, 0.5, p1);
    EXPECT_FALSE(model.maxed());
    EXPECT_EQ(model.valueLabel(), "x=");
    EXPECT_EQ(model.valueField().rightString, "0.5");
}

TEST_F(InfoModelTest, RangeWithoutInformationLeavesNoStaleText)
{
    // Undefined over part of the range: no integrals.
    auto f = yxFunction::functionFromString("sqrt(x)");
    panel.setCurFunc(f.get());
    myPointInfo info = f->pointAt(1);
    panel.setContent(info);
    ASSERT_FALSE(model.text().empty());
    panel.setContent2(f->rangeInfo(-1, 1));
    EXPECT_TRUE(model.maxed());
    EXPECT_FALSE(model.hidden());
    EXPECT_EQ(model.text(), "");
}

// The calls of the plot view in each of its states, in its order.
TEST_F(InfoModelTest, HiddenShownInteractiveAsThePlotViewDrivesIt)
{
    auto f = yxFunction::functionFromString("x^3");
    auto root = std::make_shared<specialPoint>(f->pointAt(0), "root");
    auto trace = std::make_shared<specialPoint>();
    // initialize(): current function, hidden
    panel.setCurFunc(f.get());
    panel.setHidden(true);
    EXPECT_TRUE(model.hidden());
    EXPECT_FALSE(model.valueFieldEditable());

    // move mode with a selected root: shown, not typeable
    panel.setP1(root);
    panel.setP0(nullptr);
    panel.setInteractive(false);
    panel.setContent(root->info());
    EXPECT_FALSE(model.hidden());
    EXPECT_FALSE(model.interactive());
    EXPECT_FALSE(model.valueFieldEditable());
    EXPECT_FALSE(model.beginEditing(InfoModel::kValue));
    EXPECT_EQ(model.p1(), root);
    EXPECT_EQ(model.p0(), nullptr);

    // move mode, nothing selected
    panel.setHidden(true);
    EXPECT_TRUE(model.hidden());

    // trace mode, one point: typeable
    traceAt(*f, 1, trace);
    EXPECT_FALSE(model.hidden());
    EXPECT_TRUE(model.valueFieldEditable());
    EXPECT_FALSE(model.startFieldEditable());

    // trace mode, a range: both fields typeable
    auto t1 = std::make_shared<specialPoint>(), t2 = std::make_shared<specialPoint>();
    rangeOf(*f, -1, 1, t1, t2);
    EXPECT_TRUE(model.startFieldEditable());
    EXPECT_TRUE(model.valueFieldEditable());
    EXPECT_EQ(model.p0(), t1);
    EXPECT_EQ(model.p1(), t2);

    // the trace point was tapped away
    panel.setHidden(true);
    EXPECT_TRUE(model.hidden());
}

TEST_F(InfoModelTest, TypingAValueMovesTheTracePoint)
{
    auto f = yxFunction::functionFromString("x^3");
    auto point = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    traceAt(*f, 1, point);
    int told = 0;
    model.onBoundsModified = [&] { ++told; };

    ASSERT_TRUE(model.beginEditing(InfoModel::kValue));
    EXPECT_TRUE(model.valueField().isEditing);
    EXPECT_EQ(model.confirm(InfoModel::kValue, "2pi"), std::nullopt);
    EXPECT_FALSE(model.valueField().isEditing);
    EXPECT_EQ(told, 1);
    const double v = 6.283185307179586;
    EXPECT_EQ(model.valueField().xVal, v);
    EXPECT_EQ(model.valueField().rightString, "6.283185");
    EXPECT_EQ(model.valueField().theString, "2pi");
    EXPECT_EQ(point->info().variable, v);
    EXPECT_DOUBLE_EQ(point->info().value, v * v * v);
    EXPECT_EQ(model.text(), *f->pointInfoText(f->pointAt(v)));

    // The plot view redraws with the moved point: the typed expression
    // stays for the next edit.
    panel.setContent(point->info());
    EXPECT_EQ(model.valueField().theString, "2pi");
    // A finger moving the point replaces it.
    traceAt(*f, 2, point);
    EXPECT_EQ(model.valueField().theString, "2");
}

TEST_F(InfoModelTest, BadEntriesChangeNothing)
{
    auto f = yxFunction::functionFromString("x^3");
    auto point = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    traceAt(*f, 1, point);
    int told = 0;
    model.onBoundsModified = [&] { ++told; };
    const std::string text = model.text();

    const std::vector<std::pair<const char*, const char*>> cases = {
        {"x+1", "Variable 'x' mustn't be here!"},
        {"sqrt(-1)", "Value is NAN!"},
        {"1/0", "Infinity value!"},
        {"2+", nullptr}, // the parser's own message
        // What a field shows for a value that is not a finite number.
        {"undefined", "Value is NAN!"},
        {"\u221E", "Infinity value!"},
        {"\u2212\u221E", "Infinity value!"},
    };
    for (const auto& [typed, message] : cases) {
        ASSERT_TRUE(model.beginEditing(InfoModel::kValue));
        const auto refusal = model.confirm(InfoModel::kValue, typed);
        ASSERT_TRUE(refusal) << typed;
        if (message) {
            EXPECT_EQ(*refusal, message) << typed;
        }
        EXPECT_TRUE(model.valueField().isEditing) << typed; // editing goes on
        EXPECT_EQ(model.valueField().xVal, 1) << typed;
        EXPECT_EQ(model.valueField().theString, "1") << typed;
        EXPECT_EQ(point->info().variable, 1) << typed;
        EXPECT_EQ(model.text(), text) << typed;
        model.cancelEditing(InfoModel::kValue);
    }
    EXPECT_EQ(told, 0);

    // An empty entry brings back the last expression and ends editing.
    ASSERT_TRUE(model.beginEditing(InfoModel::kValue));
    EXPECT_EQ(model.confirm(InfoModel::kValue, ""), std::nullopt);
    EXPECT_FALSE(model.valueField().isEditing);
    EXPECT_EQ(model.valueField().theString, "1");
    EXPECT_EQ(point->info().variable, 1);
    EXPECT_EQ(told, 0);
}

TEST_F(InfoModelTest, RangeEndsStayOrdered)
{
    auto f = yxFunction::functionFromString("x^2");
    auto p0 = std::make_shared<specialPoint>(), p1 = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    rangeOf(*f, 0, 1, p0, p1);
    const std::string text = model.text();

    struct Case {
        InfoModel::FieldId field;
        const char* typed;
        const char* message;
    };
    const std::vector<Case> cases = {
        {InfoModel::kStart, "2", "MinVal shouldn't be greater than MaxVal!"},
        {InfoModel::kValue, "-1", "MaxVal shouldn't be less than MinVal!"},
        {InfoModel::kStart, "0/0", "Value is NAN!"},
        {InfoModel::kValue, "-1/0", "Infinity value!"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(model.beginEditing(c.field));
        EXPECT_EQ(model.confirm(c.field, c.typed), std::optional<std::string>(c.message)) << c.typed;
        model.cancelEditing(c.field);
        EXPECT_EQ(model.startField().xVal, 0);
        EXPECT_EQ(model.valueField().xVal, 1);
        EXPECT_EQ(model.text(), text);
        EXPECT_EQ(p0->info().variable, 0);
        EXPECT_EQ(p1->info().variable, 1);
    }

    // Equal ends are a range; then a wider one.
    ASSERT_TRUE(model.beginEditing(InfoModel::kStart));
    EXPECT_EQ(model.confirm(InfoModel::kStart, "1"), std::nullopt);
    ASSERT_TRUE(model.beginEditing(InfoModel::kValue));
    EXPECT_EQ(model.confirm(InfoModel::kValue, "3"), std::nullopt);
    ASSERT_TRUE(model.beginEditing(InfoModel::kStart));
    EXPECT_EQ(model.confirm(InfoModel::kStart, "-sqrt(4)"), std::nullopt);
    EXPECT_EQ(p0->info().variable, -2);
    EXPECT_EQ(p1->info().variable, 3);
    EXPECT_TRUE(model.maxed());
    EXPECT_EQ(model.text(), *f->rangeInfoText(*f->rangeInfo(-2, 3)));
    EXPECT_EQ(model.startField().theString, "-sqrt(4)");
    EXPECT_EQ(model.valueField().theString, "3");
}

TEST_F(InfoModelTest, TheOwnerMayRefuseAValue)
{
    auto f = yxFunction::functionFromString("x");
    auto point = std::make_shared<specialPoint>();
    panel.setCurFunc(f.get());
    traceAt(*f, 1, point);
    std::vector<std::pair<InfoModel::FieldId, double>> asked;
    model.validator = [&](InfoModel::FieldId id, double v) {
        asked.emplace_back(id, v);
        if (v > 100)
            throw Error("Too far!");
    };
    ASSERT_TRUE(model.beginEditing(InfoModel::kValue));
    EXPECT_EQ(model.confirm(InfoModel::kValue, "1e3"), std::optional<std::string>("Too far!"));
    EXPECT_EQ(point->info().variable, 1);
    EXPECT_EQ(model.confirm(InfoModel::kValue, "50"), std::nullopt);
    EXPECT_EQ(point->info().variable, 50);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].second, 1000);
    EXPECT_EQ(asked[1].first, InfoModel::kValue);
}

TEST_F(InfoModelTest, AnImplicitCurveTakesNoTypedValue)
{
    NamedKind implicit;
    implicit.kind = &implicitKind;
    implicit.implicit = true;
    panel.setCurFunc(&implicit);
    panel.setInteractive(true);
    EXPECT_FALSE(model.beginEditing(InfoModel::kValue));
    EXPECT_FALSE(model.valueField().isEditing);
}

} // namespace

namespace {

// A real plot view in trace mode, drawn into an off-screen canvas, fills
// the panel; a typed value moves its trace point.
class InfoModelWithPlotView : public ::testing::Test {
  protected:
    CurveModel curves;
    plotView view;
    InfoModel model;
    int displays = 0;

    void SetUp() override
    {
        view.setFrame(RectF{0, 0, 320, 480});
        view.setIView(&model);
        view.onNeedsDisplay = [this] { ++displays; };
        view.setModel(&curves);
        view.initialize();
        model.onBoundsModified = [this] {
            view.backgroundChanged();
            if (view.onNeedsDisplay)
                view.onNeedsDisplay();
        };
    }
    void frame()
    {
        QPainterCanvas canvas(SizeF{320, 480});
        view.drawRect(canvas);
    }
    static Touch finger(float x, float y, TouchPhase phase, double time)
    {
        return Touch{1, PointF{x, y}, phase, 1, time};
    }
};

TEST_F(InfoModelWithPlotView, TraceFillsThePanelAndTypingMovesThePoint)
{
    EXPECT_TRUE(model.hidden());
    auto f = yxFunction::functionFromString("x^3");
    curves.setFunction(f, "1");
    view.setCurFunc(f);
    EXPECT_EQ(model.curFunc(), f.get());
    view.setFState(PlotMode::Trace);
    frame();
    EXPECT_TRUE(model.hidden()); // nothing traced yet

    // A long press at x = 1 leaves the trace point selected.
    view.touchesBegan({finger(190, 300, kTouchBegan, 0)});
    view.touchesEnded({finger(190, 300, kTouchEnded, 1)});
    ASSERT_EQ(view.selectedPoint(), view.tracePoint());
    frame();
    EXPECT_FALSE(model.hidden());
    EXPECT_FALSE(model.maxed());
    EXPECT_TRUE(model.valueFieldEditable());
    EXPECT_EQ(model.p1(), view.tracePoint());
    EXPECT_EQ(model.valueField().rightString, "1");
    EXPECT_EQ(model.text(), "y=\u20051\n∂y/∂x=\u20053\n∂²y/∂x²=\u20056\nk=\u20050.1897367");

    ASSERT_TRUE(model.beginEditing(InfoModel::kValue));
    const int before = displays;
    EXPECT_EQ(model.confirm(InfoModel::kValue, "-sqrt(4)"), std::nullopt);
    EXPECT_EQ(view.tracePoint()->info().variable, -2);
    EXPECT_EQ(view.tracePoint()->info().value, -8);
    EXPECT_EQ(view.graphicState(), GraphicState::RebuildCache);
    EXPECT_EQ(displays, before + 1);
    frame();
    EXPECT_EQ(model.valueField().rightString, "-2");
    EXPECT_EQ(model.valueField().theString, "-sqrt(4)");
    EXPECT_EQ(model.text().substr(0, model.text().find('\n')), "y=\u2005-8");

    // A quick tap on empty space hides the trace point, and the panel.
    view.touchesBegan({finger(40, 40, kTouchBegan, 10)});
    view.touchesEnded({finger(40, 40, kTouchEnded, 10.1)});
    frame();
    EXPECT_TRUE(model.hidden());
}

} // namespace
