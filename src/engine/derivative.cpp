#include "engine_tables.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"

namespace orlix {

void registerDerivativeRules(MathEngine&) {}

fStack::Owner fStack::dif() const
{
    throw Error("FunctionNotFound", "Krivie Ruki!", {{"function", funcName.value_or("")}});
}

fStack::Owner fStack::replaceDerivative(Owner list) { return list; }

} // namespace orlix
