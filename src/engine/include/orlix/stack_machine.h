// A compiled formula: a flat program for a small stack machine.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "orlix/interval.h"
#include "orlix/math_engine.h"

namespace orlix {

class fStack;

// A point of the plane in user coordinates.
struct myPoint {
    double x = 0;
    double y = 0;
};

class StackMachine {
  public:
    // An empty program for the scratch use of the simplifier.
    StackMachine();
    // Compiles a balanced list ("Function is too complex!" past 4048 nodes,
    // "Unknown function '%@'!" for a name without a routine).
    explicit StackMachine(const fStack& list);

    static constexpr int maxNodes = 4048;

    void addFunc(const std::string& name);
    void addFuncByIMP(Routine routine);
    void addConst(double value);

    void push(double v) { stack_.push_back(v); }
    double pop()
    {
        if (stack_.empty())
            return std::numeric_limits<double>::quiet_NaN();
        double v = stack_.back();
        stack_.pop_back();
        return v;
    }

    // Runs the program on the current cell values.
    double evaluate();
    // Runs the program at count values of one cell, the other cells as they
    // are: out[k] is bit for bit what evaluate() gives with *cell = values[k].
    // The cell keeps its value.
    void evaluateBlock(double* cell, const double* values, double* out, int count);

    // An enclosure of the program's values over [lo, hi] of one cell (the
    // other cells at their values), or over a box of two cells (implicit
    // formulas). Never narrower than the truth; programs with routines
    // added directly give Interval::everything(). Counts twice the program's
    // steps towards stepsRun().
    Interval enclose(const double* cell, double lo, double hi);
    Interval enclose(CellRange first, CellRange second);
    // The enclosures over the count consecutive steps [ends[k], ends[k + 1]]
    // of one cell: out[k] is what enclose(cell, ends[k], ends[k + 1]) gives
    // when called for k = 0, 1, … in turn, bit for bit, flags included,
    // for each instruction at a time over the whole block.
    void encloseSteps(const double* cell, const double* ends, Interval* out, int count);
    // The same over count ranges [lows[k], highs[k]] of one cell, in any
    // order: out[k] is what enclose(cell, lows[k], highs[k]) gives when
    // called for k = 0, 1, … in turn.
    void encloseRanges(const double* cell, const double* lows, const double* highs, Interval* out, int count);
    // Every step has an interval rule (no routine added directly), so an
    // enclosure says something.
    bool enclosable() const
    {
        return std::none_of(code_.begin(), code_.end(), [](const Step& s) { return s.routine != nullptr; });
    }

    int funcNumber() const { return static_cast<int>(code_.size()); }
    // Program steps the machines of this thread have run so far, each run
    // counting funcNumber() steps: the measure of work that the curve
    // model's searches and redraws are bounded by.
    static std::uint64_t stepsRun() { return stepsRun_; }
    int constNumber() const { return constNumber_; }

    static double eps();
    static void setEps(double v);
    static double badRoot();
    static void setBadRoot(double v);

    // Numeric services: roots, limits and periods.
    double findRootBetweenVar1(double a, double b, double* v);
    myPoint findRootBetweenP1(myPoint p1, myPoint p2);
    double findLimitAtPoint(double a, double* v, bool fromLeft = false);
    double limitAtFinitePoint(double a, double* v, bool fromLeft);
    double limitAtInfinitePoint(double a, double* v);
    bool is2piodicForVariable(double* v);
    bool isPeriodicWithPeriod(double T);

  private:
    // One step of the program as built: what the generic path runs.
    struct Step {
        std::uint8_t op;
        const double* cell; // variable cell, for variable steps
        double k;           // constant, for constant steps
        Routine routine;    // for steps added by routine
    };
    // One instruction of the fast form: constant folded, with pushes of a
    // constant or a variable fused into the operation that follows them.
    struct Inst {
        std::uint32_t op;   // an opcode of the fast form (stack_machine.cpp)
        double k;           // the constant operand, if any
        const double* cell; // the variable operand, if any
    };

    void append(const std::string& name);
    void appendConst(double value);
    void buildFast();
    double evaluateGeneric();
    double run();

    Interval encloseOver(const CellRange* ranges, int count);

    std::vector<Step> code_;
    std::vector<Interval> intervalStack_;
    std::vector<detail::EndMemo> endMemos_; // one a step, for encloseOver
    std::vector<Interval> blockIntervals_;  // the stack of encloseRanges, a chunk per slot
    std::vector<double> stack_;
    std::vector<Inst> fast_;
    std::vector<double> work_;
    std::vector<double> blockWork_; // the stack of evaluateBlock, a chunk per slot
    int constNumber_ = 0;
    bool needsGeneric_ = false;
    inline static thread_local std::uint64_t stepsRun_ = 0;
};

// A share of program steps for one piece of work (a search, a redraw): it
// is spent once this thread's machines have run that many steps since it
// was made. Work that checks it between whole pieces (one candidate, one
// refinement) overruns it by at most one piece.
class StepBudget {
  public:
    explicit StepBudget(double steps)
        : end_(StackMachine::stepsRun() + static_cast<std::uint64_t>(std::max(steps, 0.0)))
    {
    }
    bool spent() const { return StackMachine::stepsRun() >= end_; }

  private:
    std::uint64_t end_;
};

} // namespace orlix
