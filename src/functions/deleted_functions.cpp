#include "orlix/deleted_functions.h"

#include <exception>

namespace orlix {

void DeletedFunctions::deleteAll(const Function* current)
{
    kept_ = Function::functionRegister();
    currentID_.clear();
    for (const auto& [id, f] : kept_)
        if (f.get() == current)
            currentID_ = id;
    Function::deleteAll();
}

Function::Ptr DeletedFunctions::restore()
{
    if (kept_.empty())
        return nullptr;
    const Function::Register since = Function::functionRegister();
    Function::deleteAll();
    Function::Ptr current;
    for (const auto& [id, f] : kept_) {
        // They were registered before: the register takes them again.
        Function::setFunction(f, id);
        if (id == currentID_)
            current = f;
    }
    for (const auto& [id, f] : since) {
        std::string free = id;
        for (int k = 2; Function::functionWithID(free); ++k)
            free = id + "-" + std::to_string(k);
        Function::setFunction(f, free);
    }
    kept_.clear();
    currentID_.clear();
    return current;
}

} // namespace orlix
