// A compiled program run over intervals: each step applies its row's
// interval rule (interval_ops.h) to a stack of enclosures.
#include "interval_ops.h"
#include "orlix/stack_machine.h"

namespace orlix {

namespace {

// The empty operand: a NaN everywhere. Some routines give a number for NaN
// (sign and sign_ −1, not_ and notInt 0, notInt_ 1); the others have no
// value.
bool givesNumberForNaN(ops::Op op)
{
    return op == ops::Sign || op == ops::Sign_ || op == ops::Not_ || op == ops::NotInt || op == ops::NotInt_;
}

Interval binaryRule(ops::Op op, const Interval& a, const Interval& b)
{
    // 1^b and a^0 are 1 whatever the other operand, NaN included.
    if (op == ops::Power && ((a.lo == 1 && a.hi == 1) || (b.lo == 0 && b.hi == 0)))
        return iv::flagged(Interval::point(1), a, b);
    if (a.empty() || b.empty())
        return iv::flagged(Interval::none(), a, b);
    switch (op) {
#define ORLIX_CASE(name, value, derivative, interval, ...)                                                             \
    case ops::name: return interval;
        ORLIX_BINARY_ROWS(ORLIX_CASE)
#undef ORLIX_CASE
    default: return Interval::everything();
    }
}

Interval unaryRule(ops::Op op, const Interval& u)
{
    if (u.empty()) {
        if (!givesNumberForNaN(op))
            return iv::flagged(Interval::none(), u);
        Interval r = Interval::point(op == ops::Sign || op == ops::Sign_ ? -1.0 : (op == ops::NotInt_ ? 1.0 : 0.0));
        r.maybeUndefined = true;
        return r;
    }
    switch (op) {
#define ORLIX_CASE(name, value, derivative, interval, ...)                                                             \
    case ops::name: return interval;
        ORLIX_UNARY_ROWS(ORLIX_CASE)
#undef ORLIX_CASE
    default: return Interval::everything();
    }
}

// A cell's value as an enclosure: a NaN has none.
Interval cellValue(double lo, double hi)
{
    if (std::isnan(lo) || std::isnan(hi))
        return Interval::none();
    return Interval{std::min(lo, hi), std::max(lo, hi)};
}

} // namespace

Interval StackMachine::enclose(const double* cell, double lo, double hi)
{
    const CellRange range{cell, lo, hi};
    return encloseOver(&range, 1);
}

Interval StackMachine::enclose(CellRange first, CellRange second)
{
    const CellRange ranges[] = {first, second};
    return encloseOver(ranges, 2);
}

Interval StackMachine::encloseOver(const CellRange* ranges, int count)
{
    // Interval rules cost about twice a point's routines.
    stepsRun_ += 2 * code_.size();
    intervalStack_.clear();
    intervalStack_.reserve(work_.size() + code_.size());
    auto pop = [&] {
        if (intervalStack_.empty())
            return Interval::everything();
        const Interval v = intervalStack_.back();
        intervalStack_.pop_back();
        return v;
    };
    for (const Step& s : code_) {
        const auto op = static_cast<ops::Op>(s.op);
        switch (op) {
        case ops::Const: intervalStack_.push_back(cellValue(s.k, s.k)); break;
        case ops::Var: {
            Interval v = cellValue(*s.cell, *s.cell);
            for (int k = 0; k < count; ++k)
                if (ranges[k].cell == s.cell)
                    v = cellValue(ranges[k].lo, ranges[k].hi);
            intervalStack_.push_back(v);
            break;
        }
        // A routine added directly has no interval rule: nothing is known.
        case ops::Call: return Interval::everything();
        default:
            if (ops::isBinary(op)) {
                const Interval b = pop();
                const Interval a = pop();
                intervalStack_.push_back(binaryRule(op, a, b));
            } else {
                intervalStack_.push_back(unaryRule(op, pop()));
            }
        }
    }
    return intervalStack_.size() == 1 ? intervalStack_.back() : Interval::everything();
}

} // namespace orlix
