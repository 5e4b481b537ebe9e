// The function model of one screen: the register of live functions under
// their identifiers, the sampling window and the sample floor the plane
// sets, the links to the plane and to the shell, the preferences the
// curves read, the records of the register, and the drawing of every curve.
// The app's controller owns one; orlix-cli, the benchmarks, the fuzzers and
// every test make their own. A function reaches its model through the
// pointer it gets when it is registered (a derivative: its parent's).
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "orlix/function.h"
#include "orlix/function_kind.h"

namespace orlix {

enum class Parameter { a, b, c };
inline constexpr Parameter allParameters[] = {Parameter::a, Parameter::b, Parameter::c};
// "a", "b" or "c": the name formulas use.
const char* parameterName(Parameter p);

// The slider of a parameter: the range it moves over and its step.
struct ParameterBounds {
    double min = -10, max = 10, step = 0.1;
    bool operator==(const ParameterBounds&) const = default;
    // Finite, min below max, a positive step.
    bool usable() const;
};

class CurveModel {
  public:
    using json = nlohmann::json;
    using Ptr = Function::Ptr;
    using Register = Function::Register;
    using FromDict = Function::FromDict;

    // The window, the floor and the scale of a model that no plane has set.
    static constexpr myPoint defaultScale{30, 30};
    static constexpr int defaultMaxIntegral = 10;

    CurveModel();
    // Its functions no longer reach it.
    ~CurveModel();
    CurveModel(const CurveModel&) = delete;
    CurveModel& operator=(const CurveModel&) = delete;

    // ---- the register ----
    const Register& functionRegister() const { return functions_; }
    Ptr functionWithID(const std::string& id) const;
    void removeFunctionWithID(const std::string& id);
    // Removes the entry holding this very object, if any.
    void removeFunction(const Function* f);
    // Registers f under id (an existing id keeps its place), attaches it to
    // this model and sends it fillStaticInfo. Throws Error("Function is too
    // complex!") when f is not implicit and has no second derivative.
    void setFunction(Ptr f, const std::string& id);
    void deleteAll() { functions_.clear(); }

    // ---- what the curves read ----
    // Halvings of a range computation; 0 stores the default.
    int maxIntegral() const { return maxIntegral_; }
    void setMaxIntegral(int n) { maxIntegral_ = n == 0 ? defaultMaxIntegral : n; }
    // Whether a derivative added from the menu is drawn dashed.
    bool derAreDashed() const { return derAreDashed_; }
    void setDerAreDashed(bool v) { derAreDashed_ = v; }
    // Whether new polar and parametric curves start their range at zero.
    const RangeDefaults& rangeDefaults() const { return rangeDefaults_; }
    void setRangeDefaults(RangeDefaults r) { rangeDefaults_ = r; }

    // ---- the parameters a, b and c ----
    // Their values, 0 until set, are the document's: every formula reads
    // them through the engine's cells.
    double parameter(Parameter p) const { return parameters_[static_cast<std::size_t>(p)]; }
    // Sets one for every formula and samples anew the functions that read
    // it (the owner of the change searches the marks again); a value beyond
    // its bounds widens them. A value that is not finite is refused: false,
    // and nothing changes.
    bool setParameter(Parameter p, double value);
    const ParameterBounds& parameterBounds(Parameter p) const { return bounds_[static_cast<std::size_t>(p)]; }
    // New bounds, widened to hold the value; bounds that are not usable
    // are refused: false, and nothing changes.
    bool setParameterBounds(Parameter p, ParameterBounds bounds);
    // {"a": {"value", "min", "max", "step"}, "b": …, "c": …}.
    json parametersToDict() const;
    // Takes the entries of d that read as numbers and make usable bounds;
    // the rest keep their defaults (0 over −10 … 10 by 0.1). Samples anew
    // the functions that read a changed value.
    void loadParametersFromDict(const json& d);
    // Puts the values into the engine's cells, which every model shares:
    // after another model ran its formulas, or before this one's first run.
    void applyParameters() const;
    // Whether a registered function reads p.
    bool parameterInUse(Parameter p) const;

    // ---- links ----
    PlotContext* plotContext() const { return plot_; }
    void setPlotContext(PlotContext* p) { plot_ = p; }
    FunctionShell* shell() const { return shell_; }
    void setShell(FunctionShell* s) { shell_ = s; }

    // ---- the sampling window ----
    void setMinX(double lo, double hi);
    void setMinY(double lo, double hi);
    double minX() const { return minX_; }
    double maxX() const { return maxX_; }
    double minY() const { return minY_; }
    double maxY() const { return maxY_; }
    // The fewest samples a curve takes over the sampling window along x
    // and along y: the plane's density (a sample per two device pixels),
    // at most Function::maxDrawPoints. A function's own count, when higher,
    // wins. 0 (no floor) until a plane sets it.
    void setSampleFloor(int alongX, int alongY);
    int sampleFloorX() const { return sampleFloorX_; }
    int sampleFloorY() const { return sampleFloorY_; }
    // The plane's scale; defaultScale when no plane is set.
    myPoint plotScale() const;

    // ---- records ----
    // Identifier → record of every registered function.
    json registerToDict() const;
    // Rebuilds a function from its record by its "type"; nullptr for an
    // unknown kind or a record that cannot be read. Every kind of the kind
    // table is known from the start.
    Ptr fromDict(const json& record) const;
    // Registers every record of d that rebuilds; the others are dropped.
    // Nothing for null.
    void loadAllFromDict(const json& d);
    // Adds (or replaces) the maker of one record type.
    void registerKind(const std::string& type, FromDict fromDict);
    // Called by loadAllFromDict before it restores anything.
    void setWillLoadAll(std::function<void()> hook) { willLoadAll_ = std::move(hook); }

    // ---- drawing ----
    // Clears the layer and draws every registered function in register
    // order, the shell's current function one point thicker than its own
    // width. Device X = s.x·x − o.x, Y = −o.y − s.y·y.
    // With a part, only that part of the layer is cleared and drawn (the
    // rest keeps its pixels), each pixel as when the whole is drawn: a
    // layer can be drawn in two goes, the part on screen first.
    // Drawing samples what needs it; it never searches marks.
    Canvas& drawFunctionsOnLayer(Canvas& layer, myPoint offset, myPoint scale, LayerPart part = {}) const;
    // Draws every registered function as drawFunctionsOnLayer does, onto
    // whatever c holds already, as if onto a layer of size `area` at c's
    // origin (a curve is cut where it runs outside the area).
    void drawFunctions(Canvas& c, myPoint offset, myPoint scale, SizeF area) const;

    // ---- marks ----
    // The searches of marks run by the functions of this model so far: the
    // owner of a change runs one when the window or a curve changed, and
    // none for a plain redraw.
    long long markSearches() const { return markSearches_; }
    void countMarkSearch() { ++markSearches_; }

  private:
    Register functions_;
    int maxIntegral_ = defaultMaxIntegral;
    bool derAreDashed_ = false;
    RangeDefaults rangeDefaults_;
    PlotContext* plot_ = nullptr;
    FunctionShell* shell_ = nullptr;
    double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
    int sampleFloorX_ = 0, sampleFloorY_ = 0;
    std::map<std::string, FromDict> kinds_;
    std::function<void()> willLoadAll_;
    long long markSearches_ = 0;
    std::array<double, 3> parameters_{};
    std::array<ParameterBounds, 3> bounds_{};
};

} // namespace orlix
