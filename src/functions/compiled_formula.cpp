#include "orlix/compiled_formula.h"

#include "orlix/error.h"

namespace orlix {

void CompiledFormula::adopt(fStack::Owner list, std::shared_ptr<StackMachine> program)
{
    setList(std::move(list));
    if (program)
        program_ = std::move(program);
    else if (list_)
        program_ = list_->toStackMachine();
}

void CompiledFormula::setList(fStack::Owner list)
{
    if (list.get() == list_.get()) {
        (void)list.release(); // already ours
        return;
    }
    program_.reset();
    list_ = std::move(list);
}

void CompiledFormula::reset()
{
    program_.reset();
    list_.reset();
}

void CompiledFormula::compileQuietly()
{
    try {
        program_ = list_->toStackMachine();
    } catch (const Error&) {
        program_.reset();
    }
}

std::shared_ptr<StackMachine> CompiledFormula::sharedMachine()
{
    machine();
    return program_;
}

bool CompiledFormula::names(std::string_view name) const
{
    for (const fStack* n = list_ ? list_->first() : nullptr; n; n = n->next)
        if (n->funcName && *n->funcName == name)
            return true;
    return false;
}

} // namespace orlix
