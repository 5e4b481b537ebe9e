#include "orlix/stack_machine.h"

#include "engine_tables.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"

#include <algorithm>
#include <iterator>

namespace orlix {

namespace {
double g_eps = 1e-5;
double g_badRoot = std::numeric_limits<double>::quiet_NaN();
} // namespace

double StackMachine::eps() { return g_eps; }
void StackMachine::setEps(double v) { g_eps = v; }
double StackMachine::badRoot() { return g_badRoot; }
void StackMachine::setBadRoot(double v) { g_badRoot = v; }

// The fast form. Every operation of ops.h has these variants (a is the value
// below the top, b the top; the top lives in a register while running):
//   Op      a, b from the stack          OpK   a from the stack, b a constant
//   OpV     a from the stack, b a cell   OpVK  pushes cell op constant
//   OpKV    pushes constant op cell
// and every one-operand operation has Op (on the top) and OpV (pushes op(cell)).
// The operations come from the rows of the function table.
#define ORLIX_BINARY_OPS ORLIX_BINARY_ROWS
#define ORLIX_UNARY_OPS ORLIX_UNARY_ROWS

namespace {

enum Fast : std::uint32_t {
    F_End,
    F_PushK,
    F_PushV,
#define ORLIX_B(n, ...) F_##n, F_##n##K, F_##n##V, F_##n##VK, F_##n##KV,
    ORLIX_BINARY_OPS(ORLIX_B)
#undef ORLIX_B
#define ORLIX_U(n, ...) F_##n, F_##n##V,
        ORLIX_UNARY_OPS(ORLIX_U)
#undef ORLIX_U
            F_Count
};

// Opcode of the plain (stack operand) variant of an operation.
Fast fastOf(ops::Op op)
{
    switch (op) {
#define ORLIX_B(n, ...)                                                                                                     \
    case ops::n: return F_##n;
        ORLIX_BINARY_OPS(ORLIX_B)
        ORLIX_UNARY_OPS(ORLIX_B)
#undef ORLIX_B
    default: return F_End;
    }
}

// Offsets of the variants from the plain opcode.
constexpr std::uint32_t kK = 1, kV = 2, kVK = 3, kKV = 4; // binary
constexpr std::uint32_t kUV = 1;                          // unary

static_assert(F_PlusK == F_Plus + kK && F_PlusKV == F_Plus + kKV && F_SinV == F_Sin + kUV);

} // namespace

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

// The fast loop over a checked program. The top of the stack is kept in
// `top`; `sp` points one past the values below it.
double StackMachine::run()
{
    const Inst* ip = fast_.data();
    double* sp = work_.data();
    double top = 0;

#if defined(__GNUC__)
    // Threaded dispatch: each handler jumps straight to the next one.
    static const void* const labels[F_Count] = {&&L_F_End, &&L_F_PushK, &&L_F_PushV,
#define ORLIX_B(n, ...) &&L_F_##n, &&L_F_##n##K, &&L_F_##n##V, &&L_F_##n##VK, &&L_F_##n##KV,
                                                ORLIX_BINARY_OPS(ORLIX_B)
#undef ORLIX_B
#define ORLIX_U(n, ...) &&L_F_##n, &&L_F_##n##V,
                                                    ORLIX_UNARY_OPS(ORLIX_U)
#undef ORLIX_U
    };
#define ORLIX_CASE(name) L_##name:
#define ORLIX_NEXT() goto* labels[(++ip)->op]
    goto* labels[ip->op];
#else
#define ORLIX_CASE(name) case name:
#define ORLIX_NEXT()                                                                                                   \
    ++ip;                                                                                                              \
    continue
    for (;;) {
        switch (ip->op) {
#endif

    ORLIX_CASE(F_PushK)
    *sp++ = top;
    top = ip->k;
    ORLIX_NEXT();
    ORLIX_CASE(F_PushV)
    *sp++ = top;
    top = *ip->cell;
    ORLIX_NEXT();

#define ORLIX_B(n, ...)                                                                                                     \
    ORLIX_CASE(F_##n)                                                                                                  \
    top = ops::binary(ops::n, *--sp, top);                                                                             \
    ORLIX_NEXT();                                                                                                      \
    ORLIX_CASE(F_##n##K)                                                                                               \
    top = ops::binary(ops::n, top, ip->k);                                                                             \
    ORLIX_NEXT();                                                                                                      \
    ORLIX_CASE(F_##n##V)                                                                                               \
    top = ops::binary(ops::n, top, *ip->cell);                                                                         \
    ORLIX_NEXT();                                                                                                      \
    ORLIX_CASE(F_##n##VK)                                                                                              \
    *sp++ = top;                                                                                                       \
    top = ops::binary(ops::n, *ip->cell, ip->k);                                                                       \
    ORLIX_NEXT();                                                                                                      \
    ORLIX_CASE(F_##n##KV)                                                                                              \
    *sp++ = top;                                                                                                       \
    top = ops::binary(ops::n, ip->k, *ip->cell);                                                                       \
    ORLIX_NEXT();
    ORLIX_BINARY_OPS(ORLIX_B)
#undef ORLIX_B

#define ORLIX_U(n, ...)                                                                                                     \
    ORLIX_CASE(F_##n)                                                                                                  \
    top = ops::unary(ops::n, top);                                                                                     \
    ORLIX_NEXT();                                                                                                      \
    ORLIX_CASE(F_##n##V)                                                                                               \
    *sp++ = top;                                                                                                       \
    top = ops::unary(ops::n, *ip->cell);                                                                               \
    ORLIX_NEXT();
    ORLIX_UNARY_OPS(ORLIX_U)
#undef ORLIX_U

    ORLIX_CASE(F_End)
    return top;

#if !defined(__GNUC__)
default: return ops::NaN;
}
}
#endif
#undef ORLIX_CASE
#undef ORLIX_NEXT
}

namespace {

constexpr ops::Op kBinaryOps[] = {
#define ORLIX_B(n, ...) ops::n,
    ORLIX_BINARY_OPS(ORLIX_B)
#undef ORLIX_B
};
constexpr ops::Op kUnaryOps[] = {
#define ORLIX_U(n, ...) ops::n,
    ORLIX_UNARY_OPS(ORLIX_U)
#undef ORLIX_U
};
constexpr std::uint32_t kFirstUnary = F_Plus + 5 * std::size(kBinaryOps);
static_assert(kFirstUnary == F_UMinus);

} // namespace

// The fast form run one instruction at a time over a chunk of values: each
// operation dispatches once per chunk instead of once per value, and applies
// the very routines of ops.h that run() applies.
void StackMachine::evaluateBlock(double* cell, const double* values, double* out, int count)
{
    if (needsGeneric_) {
        const CellRestore restoreCell(cell);
        for (int k = 0; k < count; ++k) {
            *cell = values[k];
            out[k] = evaluate();
        }
        return;
    }
    stepsRun_ += code_.size() * static_cast<std::uint64_t>(std::max(count, 0));
    constexpr int kChunk = 64;
    blockWork_.resize(work_.size() * kChunk);
    double top[kChunk] = {};
    for (int start = 0; start < count; start += kChunk) {
        const int n = std::min(kChunk, count - start);
        const double* in = values + start;
        double* sp = blockWork_.data();
        const auto spill = [&] {
            std::copy(top, top + n, sp);
            sp += kChunk;
        };
        for (const Inst* ip = fast_.data(); ip->op != F_End; ++ip) {
            const std::uint32_t op = ip->op;
            const bool varying = ip->cell == cell;
            const double fixed = ip->cell && !varying ? *ip->cell : 0;
            const auto operand = [&](int k) { return varying ? in[k] : fixed; };
            if (op == F_PushK) {
                spill();
                std::fill(top, top + n, ip->k);
            } else if (op == F_PushV) {
                spill();
                for (int k = 0; k < n; ++k)
                    top[k] = operand(k);
            } else if (op < kFirstUnary) {
                const ops::Op o = kBinaryOps[(op - F_Plus) / 5];
                switch ((op - F_Plus) % 5) {
                case 0:
                    sp -= kChunk;
                    for (int k = 0; k < n; ++k)
                        top[k] = ops::binary(o, sp[k], top[k]);
                    break;
                case kK:
                    for (int k = 0; k < n; ++k)
                        top[k] = ops::binary(o, top[k], ip->k);
                    break;
                case kV:
                    for (int k = 0; k < n; ++k)
                        top[k] = ops::binary(o, top[k], operand(k));
                    break;
                case kVK:
                    spill();
                    for (int k = 0; k < n; ++k)
                        top[k] = ops::binary(o, operand(k), ip->k);
                    break;
                default: // kKV
                    spill();
                    for (int k = 0; k < n; ++k)
                        top[k] = ops::binary(o, ip->k, operand(k));
                    break;
                }
            } else {
                const ops::Op o = kUnaryOps[(op - kFirstUnary) / 2];
                if ((op - kFirstUnary) % 2 == 0) {
                    for (int k = 0; k < n; ++k)
                        top[k] = ops::unary(o, top[k]);
                } else {
                    spill();
                    for (int k = 0; k < n; ++k)
                        top[k] = ops::unary(o, operand(k));
                }
            }
        }
        std::copy(top, top + n, out + start);
    }
}

std::unique_ptr<StackMachine> fStack::toStackMachine() const { return std::make_unique<StackMachine>(*this); }

} // namespace orlix
