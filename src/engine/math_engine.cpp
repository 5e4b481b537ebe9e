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
#define ORLIX_ROW(name, value, derivative, interval, ...) {ops::name, derivative, {__VA_ARGS__}},
    ORLIX_BINARY_ROWS(ORLIX_ROW) ORLIX_UNARY_ROWS(ORLIX_ROW)
#undef ORLIX_ROW
};

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

namespace {
// Pushes the value of one of the engine's cells.
template <double* (*Cell)()> void cellRoutine(StackMachine& m) { m.push(*Cell()); }
} // namespace

MathEngine::MathEngine()
{
    struct CellName {
        const char* name;
        Routine routine;
        double* cell;
    };
    // The cells behind the variable names.
    const CellName cells[] = {
        {"x", &cellRoutine<&MathEngine::xAddr>, &x_}, {"y", &cellRoutine<&MathEngine::yAddr>, &y_},
        {"t", &cellRoutine<&MathEngine::tAddr>, &t_}, {"r", &cellRoutine<&MathEngine::rAddr>, &r_},
        {"f", &cellRoutine<&MathEngine::fAddr>, &f_}, {"θ", &cellRoutine<&MathEngine::fAddr>, &f_},
        {"i", &cellRoutine<&MathEngine::fAddr>, &f_}, {"φ", &cellRoutine<&MathEngine::fAddr>, &f_},
        {"a", &cellRoutine<&MathEngine::aAddr>, &a_}, {"b", &cellRoutine<&MathEngine::bAddr>, &b_},
        {"c", &cellRoutine<&MathEngine::cAddr>, &c_},
    };
    for (const CellName& e : cells) {
        routines_[e.name] = e.routine;
        opTable()[e.name] = detail::NameOp{ops::Var, e.cell};
        stackEffects_[e.name] = 1;
    }
    for (const detail::FunctionRow& row : kFunctionRows) {
        for (const char* name : row.names) {
            if (!name)
                break;
            routines_[name] = routineOf(row.op);
            opTable()[name] = detail::NameOp{row.op, nullptr};
            if (ops::isBinary(row.op))
                stackEffects_[name] = -1;
        }
    }
    // Two-argument forms that the parser rewrites: the derivative D(f, v),
    // logn(a, b), and the exponent of implicit multiplication.
    for (const char* name : {"^'", "d", "logn"})
        stackEffects_[name] = -1;

    for (const char* name : {"p", "pi", "π"})
        constants_[name] = &p_;
    constants_["e"] = &e_;
    constants_["g"] = &gamma_;
    constants_["n"] = &n_;
    constants_["a"] = &a_;
    constants_["b"] = &b_;
    constants_["c"] = &c_;

    auto setClass = [this](CharClass k, const char32_t* chars) {
        const auto index = static_cast<unsigned>(k);
        charSets_[index] = chars;
        for (char32_t ch : charSets_[index])
            if (ch < 128)
                asciiClasses_[ch] |= static_cast<std::uint8_t>(1u << index);
    };
    setClass(CharClass::breaker, U"+-*^/(){}[]|@$ ,.1234567890");
    setClass(CharClass::digit, U".1234567890");
    setClass(CharClass::openBrace, U"([{@");
    setClass(CharClass::closeBrace, U")]}$,");
    setClass(CharClass::operatorSign, U"+-*^/");
    setClass(CharClass::variable, U"xytrfabcθiφ");
    setClass(CharClass::mathConstant, U"epgπ");

    derivativeRules_ = derivativeRuleTable();
}

bool MathEngine::isIn(CharClass set, char32_t ch) const
{
    const auto index = static_cast<unsigned>(set);
    if (ch < 128)
        return (asciiClasses_[ch] >> index) & 1u;
    return charSets_[index].find(ch) != CharSet::npos;
}

bool MathEngine::knowsName(const std::string& name) const
{
    return stackEffects_.count(name) != 0 || routines_.count(name) != 0 || hasConstant(name);
}

Routine MathEngine::routineFor(const std::string& name) const
{
    auto it = routines_.find(name);
    if (it == routines_.end()) {
        std::string text = formatMessage("Unknown function '%@'!", {name});
        throw Error(text);
    }
    return it->second;
}

DerivativeRule MathEngine::derivativeRuleFor(const std::string& name) const
{
    auto it = derivativeRules_.find(name);
    return it == derivativeRules_.end() ? nullptr : it->second;
}

int MathEngine::stackEffect(const std::string& name) const
{
    auto it = stackEffects_.find(name);
    return it == stackEffects_.end() ? 0 : it->second;
}

double MathEngine::constantValue(const std::string& name) const
{
    auto it = constants_.find(name);
    return it == constants_.end() ? std::numeric_limits<double>::quiet_NaN() : *it->second;
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
