// Implicit curves g(x,y) = 0 (iFunction). The curve is contoured on a
// square grid over the sampling window, refined on screen to the device
// pixels, and kept as points joined by index pairs (segments); tracing, axis crossings, vertical and horizontal
// tangents and intersections with other implicit curves all work on that
// representation, refined back onto the curve through g.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orlix/compiled_formula.h"
#include "orlix/fstack.h"
#include "orlix/function.h"
#include "orlix/function_kind.h"
#include "orlix/stack_machine.h"

namespace orlix {

class iFunction : public Function {
  public:
    iFunction();

    // Parses, simplifies and compiles text; the parser's Error propagates.
    static std::shared_ptr<iFunction> functionFromString(std::string_view text);
    // A new implicit function of an expression (optimised here); an empty
    // repr gets a unique placeholder. nullptr for a null fs.
    static std::shared_ptr<iFunction> functionFromFS(fStack::Owner fs, std::string repr);
    // The function of a formula the field check accepted.
    static std::shared_ptr<iFunction> functionFromChecked(CheckedFormula formula);
    // Rebuilds a function from its stored record; nullptr when it cannot.
    static Ptr fromDict(const json& record);

    const FunctionKindInfo* kindInfo() const override { return findKind(FunctionKind::implicit); }

    const fStack* functionFS() const { return formula_.list(); }
    StackMachine* functionSM() { return formula_.machine(); }
    void setFunctionFS(fStack::Owner fs) { formula_.setList(std::move(fs)); }
    // ∂g/∂x and ∂g/∂y as implicit functions of their own, made on first
    // use; nullptr when g cannot be differentiated.
    iFunction* xDif();
    iFunction* yDif();

    // Grid cells per side; 0 stands for the default.
    int n() const { return n_; }
    // Values outside the settings' range are brought into it (0 stays 0).
    void setN(int n);
    int pointsNum() const { return pointCount_; }
    int pairsNum() const { return static_cast<int>(pairs_.size()); }
    // Grid passes run since the function was made.
    long long passCount() const { return passCount_; }

    // g at (x, y), through the engine's x and y cells.
    double valueAt(double x, double y);

    void updatePoints() override;
    void updateIfNeeded() override { updatePoints(); }
    void resample() override;
    bool readsName(std::string_view name) const override { return formula_.names(name); }
    void updateInfoIfNeeded() override { updateInfo(); }
    void fillStaticInfo() override;
    void findRoots() override;
    void findExtrs() override;
    bool canBeIntersected() const override { return true; }
    Marks intersectWith(Function& other) override;
    std::optional<myPointInfo> markInfoAt(myPoint p) override { return myPointInfoForXY(p.x, p.y); }
    double valueForPoint(myPoint p) override { return valueAt(p.x, p.y); }
    myPoint positionAt(double v) override;
    myPointInfo pointAt(double v) override;
    double varValueForPoint(PointF device, TouchPhase phase) override;
    // The contour found over the window.
    std::optional<CurveBounds> interestingBounds() override;
    Ptr differential() override { return nullptr; }
    myPoint kTracePoint() const override;
    std::optional<std::string> pointInfoText(const myPointInfo& info) const override;
    json toDict() const override;

    int drawnPointCount() const override { return pointsNum(); }
    std::span<const std::pair<int, int>> segmentPairs() const override { return pairs_; }

    // The point's slope, second derivative and signed curvature.
    myPointInfo myPointInfoForXY(double x, double y);

    static constexpr int defaultGridSize = 60;
    static constexpr int minGridSize = 25;
    static constexpr int maxGridSize = 150;
    // Program steps one grid pass may run, the grid's own at most
    // sampleStepBudget of them and the refinement below the grid at most
    // refineStepBudget; past it the crossings on the edges are no longer
    // refined.
    static constexpr double redrawStepBudget = 1.5e7;
    static constexpr double refineStepBudget = 2.5e6;
    // Most marks one search keeps.
    static constexpr int maxMarks = 200;
    // The point count a new implicit function reports (its storage follows
    // the grid pass, whatever the count).
    static constexpr int defaultNumOfPoints = 5000;

    // Where the lines through p1 with slope k1 and through p2 with slope k2 meet.
    static myPoint interOfTangents(myPoint p1, double k1, myPoint p2, double k2);
    // The point of the curve g = 0 between p1 and p2 where d = 0, found by
    // chords and tangents (gx, gy: the partial derivatives of g); (NaN, NaN)
    // when d does not change sign between them.
    static myPoint findExtremum(StackMachine& g, StackMachine& gx, StackMachine& gy, StackMachine& d, myPoint p1,
                                myPoint p2);
    // The crossing of the chord a1a2 of the curve gA = 0 with the chord
    // b1b2 of gB = 0, refined on both curves; (NaN, NaN) when none.
    static myPoint intersectionPoint(myPoint a1, myPoint a2, myPoint b1, myPoint b2, StackMachine& gA,
                                     StackMachine& gB);

  private:
    // The derivative function of g along "x" or "y".
    iFunction* derivative(std::shared_ptr<iFunction>& slot, bool& failed, const char* base);
    // One pass of the tangent search: ordered by x (derivative gy) or by y
    // (derivative gx).
    void tangentPass(bool byX, StackMachine& g, StackMachine& gx, StackMachine& gy, StackMachine& d, Marks& found,
                     const StepBudget& budget);

    CompiledFormula formula_;
    std::shared_ptr<iFunction> xDif_;
    std::shared_ptr<iFunction> yDif_;
    bool xDifFailed_ = false;
    bool yDifFailed_ = false;
    double cMinX_, cMaxX_, cMinY_, cMaxY_;
    std::vector<std::pair<int, int>> pairs_;
    int pointCount_ = 0; // entries of points the last pass made
    int n_ = 0;
    int tN_ = 0;
    long long passCount_ = 0;
};

} // namespace orlix
