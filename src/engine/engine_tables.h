// What the compiler needs to know of a name: its operation and, for a
// variable, its cell.
#pragma once

#include <span>
#include <string>
#include <unordered_map>

#include "orlix/math_engine.h"

#include "ops.h"

namespace orlix::detail {

struct NameOp {
    ops::Op op;
    double* cell; // for variables
};

// Null when the name has no routine.
const NameOp* opForName(const std::string& name);

// A row of the function table: its operation, its derivative in postfix
// (null for a rule of its own) and its names, the first the stored one.
struct FunctionRow {
    ops::Op op;
    const char* derivative;
    const char* names[4];
};
std::span<const FunctionRow> functionRows();

} // namespace orlix::detail

namespace orlix {
// The derivative rule of every name that has one.
std::unordered_map<std::string, DerivativeRule> derivativeRuleTable();
} // namespace orlix
