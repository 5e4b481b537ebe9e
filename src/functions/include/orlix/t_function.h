// x = x(t), y = y(t): a parametric curve over a range of t of its own. It
// is sampled once over that range, searched for axis crossings, turning
// points of x and y and inflections, traced to the point nearest the finger
// and integrated over a sub-range of t.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orlix/compiled_formula.h"
#include "orlix/drawn_polyline.h"
#include "orlix/fstack.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/stack_machine.h"

namespace orlix {

class tFunction : public Function {
  public:
    tFunction();

    // Parses both texts; nullptr when either is empty. The parser's Error
    // propagates.
    static std::shared_ptr<tFunction> functionFromStringForX(std::string_view xText, std::string_view yText);
    // A new parametric function of two expressions (optimised here); an
    // empty repr gets a unique placeholder. nullptr when either is null.
    static std::shared_ptr<tFunction> functionFromXFS(fStack::Owner xfs, fStack::Owner yfs, std::string repr);
    // The function of two formulas the field check accepted.
    static std::shared_ptr<tFunction> functionFromChecked(CheckedFormula x, CheckedFormula y);
    // The two formulas in one text, "x(t);y(t)" (formulas have no
    // semicolon). Error("Invalid initializer!") without the semicolon.
    static std::shared_ptr<tFunction> functionFromString(std::string_view text);
    static Ptr fromDict(const json& record);

    const FunctionKindInfo* kindInfo() const override { return findKind(FunctionKind::parametric); }
    myPoint kTracePoint() const override;
    std::optional<std::string> pointInfoText(const myPointInfo& info) const override;
    std::optional<std::string> rangeInfoText(const InfoMap& d) const override;

    const fStack* xFS() const { return x_.list(); }
    const fStack* yFS() const { return y_.list(); }
    StackMachine* xSM() { return x_.machine(); }
    StackMachine* ySM() { return y_.machine(); }
    // (x′(t), y′(t)) as a parametric function of its own; nullptr when it
    // cannot be formed.
    std::shared_ptr<tFunction> xyDif();
    // (x(t) − a)·x′(t) + (y(t) − b)·y′(t), a and b the engine's cells: zero
    // at the foot of the normal from (a, b).
    StackMachine* minRoFinder();

    void updatePoints() override;
    bool readsName(std::string_view name) const override { return x_.names(name) || y_.names(name); }
    // Refines the drawn polyline for the model's view (samples stay).
    void updateIfNeeded() override;
    void updateInfoIfNeeded() override { updateInfo(); }
    void fillStaticInfo() override;
    void findRoots() override;
    void findExtrs() override;
    void findInfls() override;
    Marks intersectWith(Function& other) override;
    std::optional<InfoMap> rangeInfo(double a, double b) override;
    myPoint positionAt(double t) override;
    myPointInfo pointAt(double t) override;
    std::vector<myPointInfo> pointsAt(std::span<const double> places) override;
    // The t of the curve's point nearest the touch.
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

    static constexpr int defaultNumOfPoints = 500;
    static constexpr int maxMarks = 200;

  private:
    CompiledFormula x_, y_;
    std::shared_ptr<tFunction> xyDif_;
    std::shared_ptr<StackMachine> minRoFinder_;
    std::vector<unsigned char> breaks_;
    DrawnPolyline drawn_;
    bool filled_ = false;
    bool xyDifFailed_ = false;
    bool differentialFailed_ = false;
};

} // namespace orlix
