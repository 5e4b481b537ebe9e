// The plotted function: the abstract base of every curve kind. What the
// curves share (the register, the sampling window, the links to the plane
// and the shell) is the model's (curve_model.h).
#pragma once

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "orlix/canvas.h"
#include "orlix/curve_bounds.h"
#include "orlix/plot_context.h"
#include "orlix/stack_machine.h"

namespace orlix {

// A part of a layer: all of it, the inside of a rectangle, or all but
// the inside of a rectangle.
struct LayerPart {
    enum class Side { Whole, Inside, Outside };
    Side side = Side::Whole;
    RectF rect{};
};

class CurveModel;
class Function;
class specialPoint;
struct FunctionKindInfo;

// Named derivative values of a point ("dy/dx", "ddy/dxx", "k", ...).
// Phases of a finger on the plane.
enum TouchPhase : int {
    kTouchBegan = 0,
    kTouchMoved = 1,
    kTouchStationary = 2,
    kTouchEnded = 3,
    kTouchCancelled = 4,
};

// The preferences that start a new polar or parametric curve's range at
// zero instead of the kind's standard range.
struct RangeDefaults {
    bool polarFromZero = false;
    bool parametricFromZero = false;
};

using InfoMap = std::map<std::string, double>;

// The information about one point of a curve.
struct myPointInfo {
    myPoint point{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    double value = 0;
    double variable = 0;
    std::optional<InfoMap> info; // absent: no information
};

inline myPoint myPointMake(double x, double y) { return myPoint{x, y}; }

// The value named key of a point's information; NaN when it has none.
inline double infoValue(const InfoMap& m, const char* key)
{
    auto it = m.find(key);
    return it == m.end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
}
inline double infoValue(const myPointInfo& p, const char* key)
{
    return p.info ? infoValue(*p.info, key) : std::numeric_limits<double>::quiet_NaN();
}

// Where trace mode last stood on a curve; each kind uses one member.
struct previousInfo_ {
    struct {
        double f = 0;     // polar: the angle last traced
        bool inv = false; // polar: reached with negative r
    } f;
    myPoint xy{}; // implicit: the curve point last traced
    int minI = 0; // parametric: the sample last traced
};

// The marks of one curve.
using Marks = std::vector<std::shared_ptr<specialPoint>>;

// What the model needs from the application shell.
class FunctionShell {
  public:
    virtual ~FunctionShell() = default;
    // The searches the user has switched on.
    virtual SearchSettings searchSettings() const = 0;
    // The function the user works on, or nullptr.
    virtual Function* currentFunction() const = 0;
};

class Function {
  public:
    using json = nlohmann::json;
    using Ptr = std::shared_ptr<Function>;
    // Identifier → function, in the order of first registration.
    using Register = std::vector<std::pair<std::string, Ptr>>;
    // Rebuilds one kind from its record; nullptr when it cannot.
    using FromDict = std::function<Ptr(const json&)>;

    // Most points a function hands to one conversion pass of the drawing.
    static constexpr int maxDrawPoints = 5508;
    // Program steps one pass over a curve's samples may run: a redraw, or a
    // search that runs a derivative at every sample. A curve whose programs
    // are so long that the samples it asks for would run more takes fewer,
    // but never fewer than minBoundedSamples; ordinary formulas are far
    // below the budget.
    static constexpr double sampleStepBudget = 1e7;
    static constexpr int minBoundedSamples = 500;
    // The samples a curve takes when it asks for `wanted` and its longest
    // program runs `steps` steps at each.
    static int boundedSampleCount(int wanted, long long steps);
    // Program steps one search may run: the roots, the extrema or the
    // inflections of a curve, or its intersections with one other curve.
    // A search that has spent them stops where it is and keeps the marks
    // it has, each refined in full (a candidate is never marked half-way).
    // Only formulas near the longest the parser takes, with hundreds of
    // turns in view, get there.
    static constexpr double searchStepBudget = 1.6e7;

    Function();
    virtual ~Function();
    Function(const Function&) = delete;
    Function& operator=(const Function&) = delete;

    // ---- the kind ----
    // The kind's entry in the kind table; nullptr for a curve of no kind.
    virtual const FunctionKindInfo* kindInfo() const { return nullptr; }
    // The record's "type" of the kind; empty for a curve of no kind.
    std::string typeName() const;
    // Implicit curves: exempt from the second-derivative test, drawn as
    // segments between pairs of points.
    virtual bool isImplicit() const;
    // Factors giving the foot of a range end's drop line.
    virtual myPoint kTracePoint() const { return {1, 0}; }
    // Texts of the information panel; nullopt in the base.
    virtual std::optional<std::string> pointInfoText(const myPointInfo&) const { return std::nullopt; }
    virtual std::optional<std::string> rangeInfoText(const InfoMap&) const { return std::nullopt; }

    // ---- sampling and searches ----
    virtual void updatePoints() {}
    // Samples the curve anew, keeping nothing of the last samples: a
    // parameter its formulas read has a new value.
    virtual void resample() { updatePoints(); }
    // Whether its formulas read the engine cell of this name ("a", "b", "c").
    virtual bool readsName(std::string_view) const { return false; }
    virtual void updateIfNeeded() {}
    virtual void fillStaticInfo() {}
    virtual void findRoots() {}
    virtual void findExtrs() {}
    virtual void findInfls() {}
    virtual void _updateInfo() {}
    // Rebuilds info from the searches the shell has switched on; nothing
    // when the function has never been sampled. The one search of marks:
    // the owner of a change runs it, drawing never does.
    virtual void updateInfo();
    virtual void updateInfoIfNeeded() { updateInfo(); }
    // Adds the intersections with every other function of its model.
    virtual void findIntersections();
    virtual bool canBeIntersected() const { return false; }
    virtual Marks intersectWith(Function& other);
    // This function's own information at an intersection point found by
    // another curve; nullopt keeps the mark as it was found.
    virtual std::optional<myPointInfo> markInfoAt(myPoint) { return std::nullopt; }
    // nullopt: no information for that range.
    virtual std::optional<InfoMap> rangeInfo(double a, double b);
    virtual double valueForPoint(myPoint) { return 0.0; }
    virtual myPoint positionAt(double v);
    virtual myPointInfo pointAt(double v);
    // The points at many places of the variable: each one's point, value
    // and variable bit for bit as pointAt gives them, without the
    // derivatives. Kinds that sample a block of places per call of their
    // machines do so here.
    virtual std::vector<myPointInfo> pointsAt(std::span<const double> places);
    virtual double varValueForPoint(PointF device, TouchPhase phase);
    // The part of the curve worth showing whole; nullopt when there is
    // nothing to show (no finite point, a curve of no kind).
    virtual std::optional<CurveBounds> interestingBounds() { return std::nullopt; }
    // The derived function, made once; nullptr when it cannot be formed.
    virtual Ptr differential() { return differential_; }
    void setMinVar(double lo, double hi);
    void setNumOfPoints(int n);
    // The kind's own range when none is set, shown in the range fields.
    void useDefaultRange(double lo, double hi);

    // ---- drawing hooks ----
    // Entries of points the drawing uses.
    virtual int drawnPointCount() const { return chosenPointCount_; }
    // Implicit curves: the segments, as index pairs into points.
    virtual std::span<const std::pair<int, int>> segmentPairs() const { return {}; }
    // Curves drawn as one polyline: non-zero at i when the curve is broken
    // between points i-1 and i (a pole or a jump); empty when it never is.
    virtual std::span<const unsigned char> curveBreaks() const { return {}; }
    // The polyline the drawing strokes and its breaks (as curveBreaks()):
    // the first drawnPointCount() samples, unless a kind refines the curve
    // between them.
    virtual std::span<const myPoint> drawPolylinePoints() const
    {
        return std::span<const myPoint>(points_).first(
            static_cast<std::size_t>(std::clamp(drawnPointCount(), 0, static_cast<int>(points_.size()))));
    }
    virtual std::span<const unsigned char> drawPolylineBreaks() const { return curveBreaks(); }

    // ---- persistence ----
    // The shared part of the record; kinds add "type" and their expressions.
    virtual json toDict() const;
    // Applies "invisible", "lineWidth", "dash", the colour, "NoP" and
    // "funcInfo" of a record (what every kind restores the same way).
    void applyRecord(const json& record);
    // Applies "minVar" and "maxVar" when they make a range; a stored range
    // that is not one is dropped, and the kind's default applies.
    void applyStoredRange(const json& record);

    // ---- fields ----
    bool invisible() const { return invisible_; }
    void setInvisible(bool v) { invisible_ = v; }
    const std::string& stringRepresentation() const { return stringRepresentation_; }
    void setStringRepresentation(std::string s) { stringRepresentation_ = std::move(s); }
    std::vector<myPoint>& points() { return points_; }
    const std::vector<myPoint>& points() const { return points_; }
    // No sample buffer yet.
    bool hasPoints() const { return !points_.empty(); }
    const std::shared_ptr<StackMachine>& inflFinder() const { return inflFinder_; }
    void setInflFinder(std::shared_ptr<StackMachine> sm) { inflFinder_ = std::move(sm); }
    std::map<std::string, std::string>& functionInfo() { return functionInfo_; }
    const std::map<std::string, std::string>& functionInfo() const { return functionInfo_; }
    void setFunctionInfo(std::map<std::string, std::string> fi) { functionInfo_ = std::move(fi); }
    // What the information shows of a formula's text (a kind may show more).
    std::map<std::string, std::string> formulaInfo(const std::string& text) const { return {{"f", text}}; }
    Marks& info() { return info_; }
    const Marks& info() const { return info_; }
    void setInfo(Marks m) { info_ = std::move(m); }
    // Adds marks, skipping objects already present.
    void addMarks(const Marks& m);
    float lineWidth() const { return lineWidth_; }
    void setLineWidth(float w) { lineWidth_ = w; }
    previousInfo_& previousI() { return previousI_; }
    const previousInfo_& previousI() const { return previousI_; }
    void setPreviousI(const previousInfo_& p) { previousI_ = p; }
    const std::vector<float>& dashPattern() const { return dashPattern_; }
    int dashPatternSize() const { return static_cast<int>(dashPattern_.size()); }
    void setDashPattern(const float* lengths, int n);
    void setDashPattern(std::span<const float> lengths)
    {
        setDashPattern(lengths.data(), static_cast<int>(lengths.size()));
    }
    Color color() const { return color_; }
    // Takes red, green and blue; alpha becomes 1.
    void setColor(Color c) { color_ = Color{c.r, c.g, c.b, 1.0f}; }
    void setColorWithR(float r, float g, float b, float a) { color_ = Color{r, g, b, a}; }
    double varMin() const { return varMin_; }
    double varMax() const { return varMax_; }
    double* variable() const { return variable_; }
    void setVariable(double* v) { variable_ = v; }
    int chosenPointCount() const { return chosenPointCount_; }
    // Sets the count only; the buffer follows at the next setNumOfPoints.
    void setChosenPointCount(int n) { chosenPointCount_ = n; }

    // ---- the model ----
    // The model the function is registered with (a derivative: its
    // parent's); nullptr for a curve of no model, which samples over an
    // empty window at the default scale and meets no other curve.
    CurveModel* model() const { return model_; }
    // Attaches the function, and the derivatives made of it so far, to m.
    void setModel(CurveModel* m);
    static int numOfPoints() { return 500; }

  protected:
    bool invisible_ = false;
    std::string stringRepresentation_;
    Ptr differential_;
    std::vector<myPoint> points_;
    std::shared_ptr<StackMachine> inflFinder_;
    std::map<std::string, std::string> functionInfo_;
    Marks info_;
    float lineWidth_ = 1.0f;
    previousInfo_ previousI_;
    std::vector<float> dashPattern_;
    Color color_{0, 0, 0, 1};
    double varMin_;
    double varMax_;
    double* variable_ = nullptr;
    int chosenPointCount_ = 0;
    CurveModel* model_ = nullptr;

    // What the model holds, or the values of no model.
    double minX() const;
    double maxX() const;
    double minY() const;
    double maxY() const;
    int sampleFloorX() const;
    int sampleFloorY() const;
    myPoint plotScale() const;
    int maxIntegral() const;
    // The model's range preferences; none without a model.
    RangeDefaults rangeDefaults() const;
    PlotContext* plotContext() const;
    FunctionShell* shell() const;
};

} // namespace orlix
