// What the compiler needs to know of a name: its operation and, for a
// variable, its cell.
#pragma once

#include <string>

#include "ops.h"

namespace orlix::detail {

struct NameOp {
    ops::Op op;
    double* cell; // for variables
};

// Null when the name has no routine.
const NameOp* opForName(const std::string& name);

} // namespace orlix::detail

namespace orlix {
class MathEngine;
// Fills NameToDIMP with the derivative rules.
void registerDerivativeRules(MathEngine& engine);
} // namespace orlix
