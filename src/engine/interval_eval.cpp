// A compiled program run over intervals: each step applies its row's
// interval rule (interval_ops.h) to a stack of enclosures.
#include "interval_ops.h"
#include "orlix/stack_machine.h"

namespace orlix {

namespace {

// The empty operand: a NaN everywhere. Some routines give a number for NaN
// (sign and sign_ −1, not_ and notInt 0, notInt_ 1); the others have no
// value.
constexpr bool givesNumberForNaN(ops::Op op)
{
    return op == ops::Sign || op == ops::Sign_ || op == ops::Not_ || op == ops::NotInt || op == ops::NotInt_;
}

// What a binary operation gives before its rule is asked: its rule's
// value, or an answer that needs none.
template <ops::Op op, class Rule> ORLIX_IV_INLINE Interval binaryRule(const Interval& a, const Interval& b, Rule rule)
{
    // 1^b and a^0 are 1 whatever the other operand, NaN included.
    if constexpr (op == ops::Power)
        if ((a.lo == 1 && a.hi == 1) || (b.lo == 0 && b.hi == 0))
            return iv::flagged(Interval::point(1), a, b);
    if (a.empty() || b.empty())
        return iv::flagged(Interval::none(), a, b);
    return rule();
}

template <ops::Op op, class Rule> ORLIX_IV_INLINE Interval unaryRule(const Interval& u, Rule rule)
{
    if (u.empty()) {
        if constexpr (!givesNumberForNaN(op))
            return iv::flagged(Interval::none(), u);
        Interval r = Interval::point(op == ops::Sign || op == ops::Sign_ ? -1.0 : (op == ops::NotInt_ ? 1.0 : 0.0));
        r.maybeUndefined = true;
        return r;
    }
    return rule();
}

ORLIX_IV_INLINE Interval binaryRule(ops::Op op, const Interval& a, const Interval& b)
{
    switch (op) {
#define ORLIX_CASE(name, value, derivative, interval, ...)                                                             \
    case ops::name: return binaryRule<ops::name>(a, b, [&]() ORLIX_IV_LAMBDA { return interval; });
        ORLIX_BINARY_ROWS(ORLIX_CASE)
#undef ORLIX_CASE
    default: return Interval::everything();
    }
}

ORLIX_IV_INLINE Interval unaryRule(ops::Op op, const Interval& u)
{
    switch (op) {
#define ORLIX_CASE(name, value, derivative, interval, ...)                                                             \
    case ops::name: return unaryRule<ops::name>(u, [&]() ORLIX_IV_LAMBDA { return interval; });
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
    // The deepest the stack gets is at most the program's length. The top
    // value is kept apart from the values under it, and every value moves
    // field by field: whole-struct copies of values just written field by
    // field stall the processor's store forwarding, which cost more than
    // the rules themselves.
    if (intervalStack_.size() < code_.size() + 1)
        intervalStack_.resize(code_.size() + 1);
    Interval* const bottom = intervalStack_.data();
    Interval* under = bottom; // one past the values under the top
    double topLo = 0, topHi = 0;
    bool topUndefined = false, topDiscontinuous = false, hasTop = false;
    const auto setTop = [&](const Interval& v) {
        topLo = v.lo;
        topHi = v.hi;
        topUndefined = v.maybeUndefined;
        topDiscontinuous = v.maybeDiscontinuous;
    };
    const auto pushTop = [&] {
        if (hasTop) {
            under->lo = topLo;
            under->hi = topHi;
            under->maybeUndefined = topUndefined;
            under->maybeDiscontinuous = topDiscontinuous;
            ++under;
        }
        hasTop = true;
    };
    if (endMemos_.size() != code_.size())
        endMemos_.resize(code_.size());
    // The rules find their step's memo here, and no memo once this returns.
    struct ActiveMemo {
        ~ActiveMemo() { iv::activeMemo = nullptr; }
    } const resetOnReturn;
    for (std::size_t i = 0; i < code_.size(); ++i) {
        const Step& s = code_[i];
        const auto op = static_cast<ops::Op>(s.op);
        iv::activeMemo = &endMemos_[i];
        switch (op) {
        case ops::Const:
            pushTop();
            setTop(cellValue(s.k, s.k));
            break;
        case ops::Var: {
            pushTop();
            Interval v = cellValue(*s.cell, *s.cell);
            for (int k = 0; k < count; ++k)
                if (ranges[k].cell == s.cell)
                    v = cellValue(ranges[k].lo, ranges[k].hi);
            setTop(v);
            break;
        }
        // A routine added directly has no interval rule: nothing is known.
        case ops::Call: return Interval::everything();
        default: {
            // A compiled program is balanced; one built step by step may
            // not be, and then nothing is known.
            if (!hasTop)
                return Interval::everything();
            const Interval b{topLo, topHi, topUndefined, topDiscontinuous};
            if (ops::isBinary(op)) {
                if (under == bottom)
                    return Interval::everything();
                --under;
                const Interval a{under->lo, under->hi, under->maybeUndefined, under->maybeDiscontinuous};
                setTop(binaryRule(op, a, b));
            } else {
                setTop(unaryRule(op, b));
            }
        }
        }
    }
    if (!hasTop || under != bottom)
        return Interval::everything();
    return Interval{topLo, topHi, topUndefined, topDiscontinuous};
}

void StackMachine::encloseSteps(const double* cell, const double* ends, Interval* out, int count)
{
    if (count > 0)
        encloseRanges(cell, ends, ends + 1, out, count);
}

void StackMachine::encloseRanges(const double* cell, const double* lows, const double* highs, Interval* out, int count)
{
    if (count <= 0)
        return;
    const auto balanced = [this] {
        int depth = 0;
        for (const Step& s : code_) {
            const auto op = static_cast<ops::Op>(s.op);
            if (op == ops::Call)
                return false;
            if (op == ops::Const || op == ops::Var)
                ++depth;
            else if (ops::isBinary(op))
                --depth;
            if (depth < 1)
                return false;
        }
        return depth == 1;
    };
    // What the one-step evaluator answers early (a routine without a rule,
    // a program not balanced) it answers here too.
    if (!balanced()) {
        for (int k = 0; k < count; ++k)
            out[k] = enclose(cell, lows[k], highs[k]);
        return;
    }
    stepsRun_ += 2 * code_.size() * static_cast<std::uint64_t>(count);
    if (endMemos_.size() != code_.size())
        endMemos_.resize(code_.size());
    struct ActiveMemo {
        ~ActiveMemo() { iv::activeMemo = nullptr; }
    } const resetOnReturn;
    constexpr int kChunk = 64;
    blockIntervals_.resize((code_.size() + 1) * kChunk);
    for (int start = 0; start < count; start += kChunk) {
        const int n = std::min(kChunk, count - start);
        const double *lo = lows + start, *hi = highs + start;
        // Slot 0 lies below the first push and is never read.
        Interval* top = blockIntervals_.data();
        for (std::size_t i = 0; i < code_.size(); ++i) {
            const Step& s = code_[i];
            const auto op = static_cast<ops::Op>(s.op);
            // Step k of the chunk finds the memo that step k − 1 left, as
            // when the steps are enclosed one call after another.
            iv::activeMemo = &endMemos_[i];
            switch (op) {
            case ops::Const: {
                top += kChunk;
                const Interval v = cellValue(s.k, s.k);
                std::fill(top, top + n, v);
                break;
            }
            case ops::Var:
                top += kChunk;
                if (s.cell == cell) {
                    for (int k = 0; k < n; ++k)
                        top[k] = cellValue(lo[k], hi[k]);
                } else {
                    const Interval v = cellValue(*s.cell, *s.cell);
                    std::fill(top, top + n, v);
                }
                break;
#define ORLIX_CASE(name, value, derivative, interval, ...)                                                             \
    case ops::name:                                                                                                    \
        top -= kChunk;                                                                                                 \
        for (int k = 0; k < n; ++k) {                                                                                  \
            const Interval a = top[k], b = top[k + kChunk];                                                            \
            top[k] = binaryRule<ops::name>(a, b, [&]() ORLIX_IV_LAMBDA { return interval; });                          \
        }                                                                                                              \
        break;
                ORLIX_BINARY_ROWS(ORLIX_CASE)
#undef ORLIX_CASE
#define ORLIX_CASE(name, value, derivative, interval, ...)                                                             \
    case ops::name:                                                                                                    \
        for (int k = 0; k < n; ++k) {                                                                                  \
            const Interval u = top[k];                                                                                 \
            top[k] = unaryRule<ops::name>(u, [&]() ORLIX_IV_LAMBDA { return interval; });                              \
        }                                                                                                              \
        break;
                ORLIX_UNARY_ROWS(ORLIX_CASE)
#undef ORLIX_CASE
            default: std::fill(top, top + n, Interval::everything()); break;
            }
        }
        std::copy(top, top + n, out + start);
    }
}

} // namespace orlix
