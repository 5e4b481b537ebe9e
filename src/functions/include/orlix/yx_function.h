// The explicit curves: y = f(x) (yxFunction) and its mirror image x = g(y)
// (xyFunction). Both sample their formula along their own variable over the
// sampling window, scroll the samples when the plane is panned, mark roots,
// extrema and inflections in the visible part, answer trace information and
// integrate over a range.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orlix/column_trace.h"
#include "orlix/compiled_formula.h"
#include "orlix/fstack.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/stack_machine.h"

namespace orlix {

// What y(x) and x(y) share. A sample is (variable, value) for y(x) and
// (value, variable) for x(y); every algorithm is written once in terms of
// the variable and the value of a sample.
class explicitFunction : public Function {
  public:
    // The optimised expression and its evaluator.
    const fStack* functionFS() const { return formula_.list(); }
    StackMachine* functionSM() { return formula_.machine(); }
    // Replaces the expression (and drops the evaluator built from the old one).
    void setFunctionFS(fStack::Owner fs) { formula_.setList(std::move(fs)); }
    // The scale along the variable at the last full sampling; NaN forces
    // the next sampling to be full.
    double previousK() const { return previousK_; }
    void setPreviousK(double k) { previousK_ = k; }
    // Samples evaluated by updatePoints since the function was made.
    long long sampledCount() const { return sampledCount_; }

    // Evaluates the formula at v (the variable cell is left at v).
    double valueAt(double v);

    // The samples taken over the window: the function's own count, or the
    // plane's floor along the variable when that is higher.
    int sampleCount() const;
    int drawnPointCount() const override { return static_cast<int>(points_.size()); }

    void updatePoints() override;
    void updateIfNeeded() override { updatePoints(); }
    void resample() override;
    bool readsName(std::string_view name) const override { return formula_.names(name); }
    void updateInfoIfNeeded() override { updateInfo(); }
    void fillStaticInfo() override;
    void findRoots() override;
    void findExtrs() override;
    void findInfls() override;
    bool canBeIntersected() const override { return true; }
    // The crossings with a curve that answers a residual, searched along
    // the visible third of the samples.
    Marks intersectWith(Function& residualCurve) override;
    std::span<const unsigned char> curveBreaks() const override { return breaks_; }
    // The samples with what the enclosures found between them: the
    // extremes of a fast oscillation, the ends of the pieces at a jump, a
    // pole or the end of a domain. Values beyond the view are drawn at its
    // edge.
    std::span<const myPoint> drawPolylinePoints() const override { return drawn_; }
    std::span<const unsigned char> drawPolylineBreaks() const override { return drawnBreaks_; }
    std::optional<myPointInfo> markInfoAt(myPoint p) override;
    std::optional<InfoMap> rangeInfo(double a, double b) override;
    double valueForPoint(myPoint p) override;
    myPoint positionAt(double v) override;
    myPointInfo pointAt(double v) override;
    std::vector<myPointInfo> pointsAt(std::span<const double> places) override;
    double varValueForPoint(PointF device, TouchPhase phase) override;
    // The roots and extrema nearest the middle of the sampling window (or
    // of the standard window when it has none), and the curve around them.
    std::optional<CurveBounds> interestingBounds() override;
    Ptr differential() override;
    std::optional<std::string> rangeInfoText(const InfoMap& d) const override;
    json toDict() const override;

    // Most marks one search keeps.
    static constexpr int maxMarks = 200;
    // Sample count of a new explicit function.
    static constexpr int defaultNumOfPoints = 301;
    // Most step halvings of the integration setting, whatever is stored. A
    // setting of n halvings lets one range evaluate its integrands at up to
    // 2^(n + 1) points, as many as n halvings of a trapezoid rule did.
    static constexpr int integralHalvingsCap = 20;
    // Program steps one range computation may run in all: long formulas
    // get fewer points than the setting allows, so that one range stays
    // well under a tenth of a second.
    // 2^25: the full cap for programs of up to 16 steps.
    static constexpr double integralStepBudget = 33554432;
    // The halvings of a range computation whose integrands run `steps`
    // program steps at each point: the setting (the model's maxIntegral),
    // within the cap and the budget.
    static int integralHalvings(int setting, long long steps);

  protected:
    explicit explicitFunction(bool mirrored);

    // Shared construction of both kinds; nullptr for a null fs.
    static void setUp(explicitFunction& f, fStack::Owner fs, std::string repr);
    // Shared construction of a checked formula: its expression and program
    // are taken as they are.
    static void setUpChecked(explicitFunction& f, CheckedFormula formula);
    // A new function of the same kind, for the derivative.
    virtual Ptr makeSameKind(fStack::Owner fs, std::string repr) const = 0;

    double var(const myPoint& p) const { return mirrored_ ? p.y : p.x; }
    double val(const myPoint& p) const { return mirrored_ ? p.x : p.y; }
    myPoint sample(double v, double value) const { return mirrored_ ? myPoint{value, v} : myPoint{v, value}; }

    bool mirrored_;

  private:
    void sampleFully(int n, double lo, double hi, double k);
    void computeSamples(int from, int to, double step);
    // Marks the breaks between samples j-1 and j for j in [from, to); the
    // test of pair j reads samples j-2 to j+1.
    void markBreaks(int from, int to);
    // Traces the steps j to j + 1 for j in [from, to) with the enclosures
    // (the samples must be there), then the polyline to draw.
    void traceColumns(int from, int to);
    void assembleDrawn();
    StackMachine* derivativeSM();
    StackMachine* secondDerivativeSM();
    // The samples' variables and values, in order; a removable hole takes
    // its limit.
    void samplesAlongVariable(std::vector<double>& vars, std::vector<double>& vals);
    // The sampling window along the variable and the scale along it.
    double windowMin() const;
    double windowMax() const;
    double scale() const;
    // The scale along the values, device points per unit.
    double valueScale() const;

    CompiledFormula formula_;
    double previousK_;
    bool differentialFailed_ = false;
    long long sampledCount_ = 0;
    std::vector<unsigned char> breaks_; // as curveBreaks(), one per sample
    std::vector<curve::ColumnDetail> columns_; // one per sample: the step to the next
    std::vector<myPoint> drawn_;
    std::vector<unsigned char> drawnBreaks_;
};

// y = f(x).
class yxFunction : public explicitFunction {
  public:
    yxFunction();

    // Parses, simplifies and compiles text; the parser's Error propagates.
    static std::shared_ptr<yxFunction> functionFromString(std::string_view text);
    // A new y(x) function of an expression (optimised here); an empty repr
    // gets a unique placeholder. nullptr for a null fs.
    static std::shared_ptr<yxFunction> functionFromFS(fStack::Owner fs, std::string repr);
    // The function of a formula the field check accepted; nullptr when it
    // has no expression.
    static std::shared_ptr<yxFunction> functionFromChecked(CheckedFormula formula);
    // Rebuilds a function from its stored record; nullptr when it cannot.
    static Ptr fromDict(const json& record);

    const FunctionKindInfo* kindInfo() const override { return findKind(FunctionKind::yx); }
    std::optional<std::string> pointInfoText(const myPointInfo& info) const override;

  protected:
    Ptr makeSameKind(fStack::Owner fs, std::string repr) const override;
};

} // namespace orlix
