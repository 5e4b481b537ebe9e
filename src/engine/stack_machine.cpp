#include "orlix/stack_machine.h"

#include "engine_tables.h"
#include "fast_form.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"

#include <algorithm>
#include <iterator>

namespace orlix {

using namespace fast;

namespace {
double g_eps = 1e-5;
double g_badRoot = std::numeric_limits<double>::quiet_NaN();
} // namespace

double StackMachine::eps() { return g_eps; }
void StackMachine::setEps(double v) { g_eps = v; }
double StackMachine::badRoot() { return g_badRoot; }
void StackMachine::setBadRoot(double v) { g_badRoot = v; }

StackMachine::StackMachine()
{
    // A program built step by step is not checked, so it runs on the safe path.
    needsGeneric_ = true;
    code_.reserve(10);
    stack_.reserve(10);
}

StackMachine::StackMachine(const fStack& list)
{
    const fStack* node = list.first();
    const int n = node->length();
    if (n > maxNodes)
        throw Error("Function is too complex!");
    code_.reserve(n);
    stack_.reserve(n);
    // The fast form runs without checks, so make sure here that the program
    // never pops from an empty stack and leaves exactly one value.
    int depth = 0;
    for (; node; node = node->next) {
        if (node->isNamed())
            append(*node->funcName);
        else
            appendConst(node->c);
        const ops::Op op = static_cast<ops::Op>(code_.back().op);
        const int needs = ops::isBinary(op) ? 2 : ops::isUnary(op) ? 1 : 0;
        if (depth < needs)
            throw Error("Syntax Error!", "Wrong Syntax!");
        depth += (needs == 0) ? 1 : (needs == 2 ? -1 : 0);
    }
    if (depth != 1)
        throw Error("Syntax Error!", "Wrong Syntax!");
    buildFast();
}

void StackMachine::append(const std::string& name)
{
    const detail::NameOp* op = detail::opForName(name);
    if (!op) {
        MathEngine::sharedEngine().routineFor(name); // throws "Unknown function"
        throw Error(formatMessage("Unknown function '%@'!", {name}));
    }
    code_.push_back(Step{op->op, op->cell, 0, nullptr});
}

void StackMachine::appendConst(double value)
{
    code_.push_back(Step{ops::Const, nullptr, value, nullptr});
    ++constNumber_;
}

// Steps added after compilation are not checked: the machine falls back to
// the safe path for good.
void StackMachine::addFunc(const std::string& name)
{
    append(name);
    needsGeneric_ = true;
}

void StackMachine::addFuncByIMP(Routine routine)
{
    code_.push_back(Step{ops::Call, nullptr, 0, routine});
    needsGeneric_ = true;
}

void StackMachine::addConst(double value)
{
    appendConst(value);
    needsGeneric_ = true;
}

// Builds the fast form of a checked program. Constant operands are folded
// with the routines of ops.h, so a folded value is the value the step would
// have produced at run time.
void StackMachine::buildFast()
{
    fast_.clear();
    fast_.reserve(code_.size() + 1);
    auto isPush = [&](std::size_t back, Fast which) {
        return fast_.size() >= back && fast_[fast_.size() - back].op == which;
    };
    int depth = 0, maxDepth = 0;
    for (const Step& s : code_) {
        const ops::Op op = static_cast<ops::Op>(s.op);
        if (op == ops::Const || op == ops::Var) {
            fast_.push_back(op == ops::Const ? Inst{F_PushK, s.k, nullptr} : Inst{F_PushV, 0, s.cell});
            maxDepth = std::max(maxDepth, ++depth);
            continue;
        }
        const std::uint32_t plain = fastOf(op);
        if (ops::isBinary(op)) {
            --depth;
            if (isPush(1, F_PushK) && isPush(2, F_PushK)) {
                const double b = fast_.back().k;
                fast_.pop_back();
                fast_.back().k = ops::binary(op, fast_.back().k, b);
            } else if (isPush(1, F_PushK) && isPush(2, F_PushV)) {
                const double k = fast_.back().k;
                fast_.pop_back();
                fast_.back() = Inst{plain + kVK, k, fast_.back().cell};
            } else if (isPush(1, F_PushV) && isPush(2, F_PushK)) {
                const double* cell = fast_.back().cell;
                fast_.pop_back();
                fast_.back() = Inst{plain + kKV, fast_.back().k, cell};
            } else if (isPush(1, F_PushK)) {
                fast_.back().op = plain + kK;
            } else if (isPush(1, F_PushV)) {
                fast_.back().op = plain + kV;
            } else {
                fast_.push_back(Inst{plain, 0, nullptr});
            }
        } else {
            if (isPush(1, F_PushK))
                fast_.back().k = ops::unary(op, fast_.back().k);
            else if (isPush(1, F_PushV))
                fast_.back().op = plain + kUV;
            else
                fast_.push_back(Inst{plain, 0, nullptr});
        }
    }
    fast_.push_back(Inst{F_End, 0, nullptr});
    // A power by a small whole constant is that power's own operation.
    for (Inst& inst : fast_) {
        if (inst.op != F_Power_S + kK && inst.op != F_Power_S + kVK)
            continue;
        for (const PowerRow& row : kPowerRows) {
            if (inst.k == row.exponent) {
                inst.op = inst.op == F_Power_S + kVK ? row.op + kUV : row.op;
                break;
            }
        }
    }
    // The superinstructions, left to right: the first instruction of a
    // fused pair takes the fused opcode and the second stays as it is, for
    // the fused instruction to read its operands and for evaluateBlock,
    // which runs the pair as two.
    for (std::size_t i = 0; i + 1 < fast_.size(); ++i) {
        for (const FusionRow& row : kFusionRows) {
            if (row.first == fast_[i].op && row.second == fast_[i + 1].op) {
                fast_[i].op = row.fused;
                ++i;
                break;
            }
        }
    }
    // One slot more than the deepest stack: the register's value is spilled
    // into the slot above the top at each push, the first time into slot 0.
    work_.assign(static_cast<std::size_t>(maxDepth) + 1, 0.0);
}

double StackMachine::evaluate()
{
    stepsRun_ += code_.size();
    return needsGeneric_ ? evaluateGeneric() : run();
}

// The plain loop: every step through push and pop, routines added directly
// included.
double StackMachine::evaluateGeneric()
{
    stack_.clear();
    for (const Step& s : code_) {
        switch (s.op) {
        case ops::Const: push(s.k); break;
        case ops::Var: push(*s.cell); break;
        case ops::Call: s.routine(*this); break;
        default:
            if (ops::isBinary(static_cast<ops::Op>(s.op))) {
                double b = pop();
                double a = pop();
                push(ops::binary(static_cast<ops::Op>(s.op), a, b));
            } else {
                push(ops::unary(static_cast<ops::Op>(s.op), pop()));
            }
        }
    }
    return pop();
}

// The fast loop over a checked program, superinstructions included (each
// runs its pair and steps over the second instruction). The top
// of the stack is kept in `top`; `sp` points one past the values below it.
double StackMachine::run()
{
    const Inst* ip = fast_.data();
    double* sp = work_.data();
    double top = 0;

#if defined(__GNUC__)
    // Threaded dispatch: each handler jumps straight to the next one.
    static const void* const labels[F_Count] = {
#define ORLIX_OPCODE(name) &&L_##name,
        ORLIX_ALL_OPCODES
#undef ORLIX_OPCODE
    };
#define ORLIX_CASE(name) L_##name:
#define ORLIX_NEXT() goto* labels[(++ip)->op]
#define ORLIX_NEXT_PAIR() goto* labels[(ip += 2)->op]
    goto* labels[ip->op];
#else
#define ORLIX_CASE(name) case F_##name:
#define ORLIX_NEXT()                                                                                                   \
    ++ip;                                                                                                              \
    continue
#define ORLIX_NEXT_PAIR()                                                                                              \
    ip += 2;                                                                                                           \
    continue
    for (;;) {
        switch (ip->op) {
#endif

    ORLIX_CASE(PushK)
    *sp++ = top;
    top = ip->k;
    ORLIX_NEXT();
    ORLIX_CASE(PushV)
    *sp++ = top;
    top = *ip->cell;
    ORLIX_NEXT();

#define ORLIX_HANDLER(n, form)                                                                                         \
    ORLIX_CASE(n##_##form)                                                                                             \
    ORLIX_FORM_##form(n, ip->k, ip->cell) ORLIX_NEXT();
#define ORLIX_B(n, ...)                                                                                                \
    ORLIX_HANDLER(n, S) ORLIX_HANDLER(n, K) ORLIX_HANDLER(n, V) ORLIX_HANDLER(n, VK) ORLIX_HANDLER(n, KV)
#define ORLIX_U(n, ...) ORLIX_HANDLER(n, U) ORLIX_HANDLER(n, UV)
#define ORLIX_F(a, fa, b, fb)                                                                                          \
    ORLIX_CASE(a##_##fa##_then_##b##_##fb)                                                                             \
    ORLIX_FORM_##fa(a, ip->k, ip->cell) ORLIX_FORM_##fb(b, ip[1].k, ip[1].cell) ORLIX_NEXT_PAIR();
    ORLIX_BINARY_ROWS(ORLIX_B)
    ORLIX_UNARY_ROWS(ORLIX_U)
    ORLIX_POWER_ROWS(ORLIX_U)
    ORLIX_FUSION_ROWS(ORLIX_F)
#undef ORLIX_B
#undef ORLIX_U
#undef ORLIX_F
#undef ORLIX_HANDLER

    ORLIX_CASE(End)
    return top;

#if !defined(__GNUC__)
default: return ops::NaN;
}
}
#endif
#undef ORLIX_CASE
#undef ORLIX_NEXT
#undef ORLIX_NEXT_PAIR
}

std::unique_ptr<StackMachine> fStack::toStackMachine() const { return std::make_unique<StackMachine>(*this); }

} // namespace orlix
