#include "orlix/math_engine.h"

#include <cmath>
#include <limits>

#include "engine_tables.h"
#include "orlix/error.h"
#include "orlix/stack_machine.h"

namespace orlix {

namespace {

using ops::Op;

template <Op O> void unaryRoutine(StackMachine& m) { m.push(ops::unary(O, m.pop())); }

template <Op O> void binaryRoutine(StackMachine& m)
{
    double b = m.pop();
    double a = m.pop();
    m.push(ops::binary(O, a, b));
}

template <double MathEngine::*Cell> void cellRoutine(StackMachine& m) { m.push(MathEngine::sharedEngine().*Cell); }

struct Entry {
    const char* name;
    Routine routine;
    Op op;
    double MathEngine::*cell;
};

#define VAR(name, cell)                                                                                                \
    {                                                                                                                  \
        name, &cellRoutine<&MathEngine::cell>, ops::Var, &MathEngine::cell                                             \
    }

// The cells behind the variable names.
const Entry kRoutines[] = {
    VAR("x", x_),
    VAR("y", y_),
    VAR("t", t_),
    VAR("r", r_),
    VAR("f", f_),
    VAR("θ", f_),
    VAR("i", f_),
    VAR("φ", f_),
    VAR("a", a_),
    VAR("b", b_),
    VAR("c", c_),
};

// The routine of each operation of the function table.
Routine routineOf(Op op)
{
    switch (op) {
#define ORLIX_BINARY(name, ...)                                                                                        \
    case ops::name: return &binaryRoutine<ops::name>;
#define ORLIX_UNARY(name, ...)                                                                                         \
    case ops::name: return &unaryRoutine<ops::name>;
        ORLIX_BINARY_ROWS(ORLIX_BINARY)
        ORLIX_UNARY_ROWS(ORLIX_UNARY)
#undef ORLIX_BINARY
#undef ORLIX_UNARY
    default: return nullptr;
    }
}

const detail::FunctionRow kFunctionRows[] = {
#define ORLIX_ROW(name, value, derivative, ...) {ops::name, derivative, {__VA_ARGS__}},
    ORLIX_BINARY_ROWS(ORLIX_ROW) ORLIX_UNARY_ROWS(ORLIX_ROW)
#undef ORLIX_ROW
};

#undef VAR

std::unordered_map<std::string, detail::NameOp>& opTable()
{
    static std::unordered_map<std::string, detail::NameOp> table;
    return table;
}

} // namespace

namespace detail {
std::span<const FunctionRow> functionRows() { return kFunctionRows; }

const NameOp* opForName(const std::string& name)
{
    MathEngine::sharedEngine(); // fills the table
    auto it = opTable().find(name);
    return it == opTable().end() ? nullptr : &it->second;
}
} // namespace detail

MathEngine& MathEngine::sharedEngine()
{
    static MathEngine* engine = new MathEngine(); // lives for the process
    return *engine;
}

MathEngine::MathEngine()
{
    for (const Entry& e : kRoutines) {
        NameToIMP_[e.name] = e.routine;
        opTable()[e.name] = detail::NameOp{e.op, e.cell ? &(this->*e.cell) : nullptr};
    }
    for (const detail::FunctionRow& row : kFunctionRows) {
        for (const char* name : row.names) {
            if (!name)
                break;
            NameToIMP_[name] = routineOf(row.op);
            opTable()[name] = detail::NameOp{row.op, nullptr};
            if (ops::isBinary(row.op))
                NameToNumOfArgs_[name] = -1;
        }
    }
    // Two-argument forms that the parser rewrites: the derivative D(f, v),
    // logn(a, b), and the exponent of implicit multiplication.
    for (const char* name : {"^'", "d", "logn"})
        NameToNumOfArgs_[name] = -1;
    for (const char* name : {"x", "y", "t", "r", "f", "θ", "i", "φ", "a", "b", "c"})
        NameToNumOfArgs_[name] = 1;

    for (const char* name : {"p", "pi", "π"})
        NameToConst_[name] = &p_;
    NameToConst_["e"] = &e_;
    NameToConst_["g"] = &gamma_;
    NameToConst_["n"] = &n_;
    NameToConst_["a"] = &a_;
    NameToConst_["b"] = &b_;
    NameToConst_["c"] = &c_;

    breakers = U"+-*^/(){}[]|@$ ,.1234567890";
    nums = U".1234567890";
    lBraces = U"([{@";
    rBraces = U")]}$,";
    operators = U"+-*^/";
    variables = U"xytrfabcθiφ";
    mathconsts = U"epgπ";

    registerDerivativeRules(*this);
}

Routine MathEngine::NameToIMP(const std::string& name) const
{
    auto it = NameToIMP_.find(name);
    if (it == NameToIMP_.end()) {
        std::string text = formatMessage("Unknown function '%@'!", {name});
        throw Error(text);
    }
    return it->second;
}

DerivativeRule MathEngine::NameToDIMP(const std::string& name) const
{
    auto it = NameToDIMP_.find(name);
    return it == NameToDIMP_.end() ? nullptr : it->second;
}

int MathEngine::NameToNumOfArgs(const std::string& name) const
{
    auto it = NameToNumOfArgs_.find(name);
    return it == NameToNumOfArgs_.end() ? 0 : it->second;
}

double MathEngine::NameToConst(const std::string& name) const
{
    auto it = NameToConst_.find(name);
    return it == NameToConst_.end() ? std::numeric_limits<double>::quiet_NaN() : *it->second;
}

double* MathEngine::addrForVariable(std::string_view name)
{
    MathEngine& e = sharedEngine();
    if (name == "x")
        return &e.x_;
    if (name == "y")
        return &e.y_;
    if (name == "t")
        return &e.t_;
    if (name == "r")
        return &e.r_;
    if (name == "f" || name == "θ" || name == "i" || name == "φ")
        return &e.f_;
    if (name == "a")
        return &e.a_;
    if (name == "b")
        return &e.b_;
    if (name == "c")
        return &e.c_;
    return nullptr;
}

} // namespace orlix
