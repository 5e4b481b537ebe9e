// The shared engine: name tables, character classes and the process-wide
// cells behind variables and constants.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "orlix/fstack.h"

namespace orlix {

class StackMachine;

using Routine = void (*)(StackMachine&);
// A derivative rule: takes the root of a sub-expression, returns a new list
// holding its derivative (pointing at its root, the last node).
using DerivativeRule = fStack::Owner (*)(const fStack&);

using CharSet = std::u32string;

// Keeps the values of engine cells for the length of a scope: a search
// that writes a variable's cells leaves them as it found them, however it
// ends. Null cells are skipped.
class CellRestore {
  public:
    explicit CellRestore(double* cell, double* second = nullptr)
        : cells_{cell, second}, saved_{cell ? *cell : 0, second ? *second : 0}
    {
    }
    ~CellRestore()
    {
        for (int k = 1; k >= 0; --k)
            if (cells_[k])
                *cells_[k] = saved_[k];
    }
    CellRestore(const CellRestore&) = delete;
    CellRestore& operator=(const CellRestore&) = delete;
    // The value the first cell had on entry.
    double saved() const { return saved_[0]; }

  private:
    double* cells_[2];
    double saved_[2];
};

// The character classes of the scanner.
enum class CharClass : unsigned {
    breaker,      // ends a name
    digit,        // starts or continues a number
    openBrace,    // ( [ { and the opening bar
    closeBrace,   // ) ] } , and the closing bar
    operatorSign, // + - * ^ /
    variable,     // a one-letter variable or parameter
    mathConstant, // e p g π
};

class MathEngine {
  public:
    static MathEngine& sharedEngine();

    // Throws "Unknown function '%@'!" for a name without a routine.
    Routine routineFor(const std::string& name) const;
    // Null for a name without a derivative rule.
    DerivativeRule derivativeRuleFor(const std::string& name) const;
    // What evaluating the name does to the stack's depth: −1 for a
    // two-argument function or operator, 1 for a variable, 0 otherwise.
    int stackEffect(const std::string& name) const;
    // Current value of a named constant; NaN for a name that is not one.
    double constantValue(const std::string& name) const;
    bool hasConstant(const std::string& name) const { return constants_.count(name) != 0; }
    // A function, operator, variable or constant the engine knows.
    bool knowsName(const std::string& name) const;

    bool isIn(CharClass set, char32_t ch) const;
    const CharSet& characters(CharClass set) const { return charSets_[static_cast<unsigned>(set)]; }

    // The cells.
    static double* xAddr() { return &sharedEngine().x_; }
    static double* yAddr() { return &sharedEngine().y_; }
    static double* tAddr() { return &sharedEngine().t_; }
    static double* rAddr() { return &sharedEngine().r_; }
    static double* fAddr() { return &sharedEngine().f_; }
    static double* aAddr() { return &sharedEngine().a_; }
    static double* bAddr() { return &sharedEngine().b_; }
    static double* cAddr() { return &sharedEngine().c_; }
    static double x() { return sharedEngine().x_; }
    static void setX(double v) { sharedEngine().x_ = v; }
    // The cell behind a variable name ("θ", "φ", "i" and "f" share one); null if none.
    static double* addrForVariable(std::string_view name);

    MathEngine(const MathEngine&) = delete;
    MathEngine& operator=(const MathEngine&) = delete;

  private:
    MathEngine();

    std::unordered_map<std::string, Routine> routines_;
    std::unordered_map<std::string, int> stackEffects_;
    std::unordered_map<std::string, DerivativeRule> derivativeRules_;
    std::unordered_map<std::string, double*> constants_;

    static constexpr unsigned charClassCount = 7;
    CharSet charSets_[charClassCount];
    // Class bits of the ASCII characters; the others are looked up in the sets.
    std::uint8_t asciiClasses_[128] = {};

    double x_ = 0, y_ = 0, t_ = 0, r_ = 0, f_ = 0, a_ = 0, b_ = 0, c_ = 0;
    double p_ = 3.141592653589793;
    double e_ = 2.718281828459046;
    double n_ = 10.0;
    double gamma_ = 0;
};

} // namespace orlix
