// r = f(θ): a polar curve over a range of θ of its own. It is sampled once
// over that range (the window does not matter), drawn through the points
// (r·cos θ, r·sin θ), searched for passages through the pole, extrema of r
// and inflections, traced along the ray of the finger and integrated over a
// sub-range of θ. The engine's name for θ is "f".
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orlix/compiled_formula.h"
#include "orlix/drawn_polyline.h"
#include "orlix/format.h"
#include "orlix/fstack.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/stack_machine.h"

namespace orlix {

class rfFunction : public Function {
  public:
    rfFunction();

    // Parses, simplifies and compiles text; the parser's Error propagates.
    static std::shared_ptr<rfFunction> functionFromString(std::string_view text);
    // A new polar function of an expression (optimised here); an empty repr
    // gets a unique placeholder. nullptr for a null fs.
    static std::shared_ptr<rfFunction> functionFromFS(fStack::Owner fs, std::string repr);
    // The function of a formula the field check accepted.
    static std::shared_ptr<rfFunction> functionFromChecked(CheckedFormula formula);
    // Rebuilds a function from its stored record; nullptr when it cannot.
    static Ptr fromDict(const json& record);
    // The formula and the range's ends as the fields show them.
    std::map<std::string, std::string> formulaInfo(const std::string& text) const
    {
        return {{"f", text}, {"minVarStr", tostr(varMin())}, {"maxVarStr", tostr(varMax())}};
    }

    const FunctionKindInfo* kindInfo() const override { return findKind(FunctionKind::polar); }
    myPoint kTracePoint() const override { return {0, 0}; }
    std::optional<std::string> pointInfoText(const myPointInfo& info) const override;
    std::optional<std::string> rangeInfoText(const InfoMap& d) const override;

    const fStack* functionFS() const { return formula_.list(); }
    StackMachine* functionSM() { return formula_.machine(); }
    // r at each sample, parallel to points().
    const std::vector<double>& rads() const { return rads_; }
    // r(θ) (the variable cell is left at θ).
    double valueAt(double theta);

    void updatePoints() override;
    bool readsName(std::string_view name) const override { return formula_.names(name); }
    // Refines the drawn polyline for the model's view (samples stay).
    void updateIfNeeded() override;
    void updateInfoIfNeeded() override { updateInfo(); }
    void fillStaticInfo() override;
    void findRoots() override;
    void findExtrs() override;
    void findInfls() override;
    Marks intersectWith(Function& other) override;
    std::optional<InfoMap> rangeInfo(double a, double b) override;
    myPoint positionAt(double theta) override;
    myPointInfo pointAt(double theta) override;
    std::vector<myPointInfo> pointsAt(std::span<const double> places) override;
    // The θ of the curve's point on the ray through the touch (or on the
    // opposite ray, where r is negative).
    double varValueForPoint(PointF device, TouchPhase phase) override;
    // The whole curve over its range.
    std::optional<CurveBounds> interestingBounds() override;
    Ptr differential() override;
    std::span<const unsigned char> curveBreaks() const override { return breaks_; }
    std::span<const myPoint> drawPolylinePoints() const override
    {
        return drawn_.active() ? drawn_.points() : Function::drawPolylinePoints();
    }
    std::span<const unsigned char> drawPolylineBreaks() const override
    {
        return drawn_.active() ? drawn_.breaks() : curveBreaks();
    }
    json toDict() const override;

    static constexpr int defaultNumOfPoints = 400;
    static constexpr int maxMarks = 200;

  private:
    StackMachine* derivativeSM();
    StackMachine* secondDerivativeSM();

    CompiledFormula formula_;
    std::vector<double> rads_;
    std::vector<unsigned char> breaks_;
    DrawnPolyline drawn_;
    bool filled_ = false;
    bool differentialFailed_ = false;
};

} // namespace orlix
