#include "orlix/stack_machine.h"

#include "engine_tables.h"
#include "orlix/error.h"
#include "orlix/fstack.h"

namespace orlix {

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
    // The evaluator runs without checks, so make sure here that the program
    // never pops from an empty stack and leaves exactly one value.
    int depth = 0;
    for (; node; node = node->next) {
        if (node->isNamed())
            append(*node->funcName);
        else
            addConst(node->c);
        const ops::Op op = static_cast<ops::Op>(code_.back().op);
        const int needs = ops::isBinary(op) ? 2 : ops::isUnary(op) ? 1 : 0;
        if (depth < needs)
            throw Error("Syntax Error!", "Wrong Syntax!");
        depth += (needs == 0) ? 1 : (needs == 2 ? -1 : 0);
    }
    if (depth != 1)
        throw Error("Syntax Error!", "Wrong Syntax!");
}

void StackMachine::append(const std::string& name)
{
    const detail::NameOp* op = detail::opForName(name);
    if (!op) {
        MathEngine::sharedEngine().NameToIMP(name); // throws "Unknown function"
        throw Error(formatMessage("Unknown function '%@'!", {name}));
    }
    code_.push_back(Step{op->op, op->cell, 0, nullptr});
}

void StackMachine::addFunc(const std::string& name) { append(name); }

void StackMachine::addFuncByIMP(Routine routine)
{
    code_.push_back(Step{ops::Call, nullptr, 0, routine});
    needsGeneric_ = true;
}

void StackMachine::addConst(double value)
{
    code_.push_back(Step{ops::Const, nullptr, value, nullptr});
    ++constNumber_;
}

double StackMachine::evaluate()
{
    if (needsGeneric_) {
        // Routines added directly work through push and pop.
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
    return run();
}

double StackMachine::run()
{
    if (work_.size() < code_.size() + 1)
        work_.resize(code_.size() + 1);
    double* base = work_.data();
    double* sp = base; // one past the top
    for (const Step& s : code_) {
        switch (s.op) {
        case ops::Const: *sp++ = s.k; break;
        case ops::Var: *sp++ = *s.cell; break;
        case ops::Plus: --sp; sp[-1] = sp[0] + sp[-1]; break;
        case ops::Minus: --sp; sp[-1] = sp[-1] - sp[0]; break;
        case ops::Mult: --sp; sp[-1] = sp[0] * sp[-1]; break;
        case ops::Divide: --sp; sp[-1] = sp[-1] / sp[0]; break;
        case ops::Power: --sp; sp[-1] = std::pow(sp[-1], sp[0]); break;
        case ops::UMinus: sp[-1] = -sp[-1]; break;
        case ops::Sin: sp[-1] = std::sin(sp[-1]); break;
        case ops::Cos: sp[-1] = std::cos(sp[-1]); break;
        default:
            if (ops::isBinary(static_cast<ops::Op>(s.op))) {
                --sp;
                sp[-1] = ops::binary(static_cast<ops::Op>(s.op), sp[-1], sp[0]);
            } else {
                sp[-1] = ops::unary(static_cast<ops::Op>(s.op), sp[-1]);
            }
        }
    }
    return sp == base ? ops::NaN : sp[-1];
}

std::unique_ptr<StackMachine> fStack::toStackMachine() const
{
    return std::make_unique<StackMachine>(*this);
}

} // namespace orlix
