// A formula's list and the program compiled from it, the pair each curve
// keeps for every expression it evaluates.
#pragma once

#include <memory>
#include <string_view>

#include "orlix/fstack.h"
#include "orlix/stack_machine.h"

namespace orlix {

class CompiledFormula {
  public:
    // Takes the list and compiles it now; throws what the compiler throws.
    // A program given with the list (one read back from a record) is used
    // as it is.
    void adopt(fStack::Owner list, std::shared_ptr<StackMachine> program = nullptr);
    // Takes the list; it is compiled when first run.
    void setList(fStack::Owner list);
    void reset();

    const fStack* list() const { return list_.get(); }
    // Whether a node of the list is named name (a parameter, a variable).
    bool names(std::string_view name) const;
    explicit operator bool() const { return list_ != nullptr; }
    // The program, compiled on first use; nullptr without a list or when
    // the list does not compile.
    StackMachine* machine()
    {
        if (!program_ && list_)
            compileQuietly();
        return program_.get();
    }
    // The same, for a finder that keeps the program.
    std::shared_ptr<StackMachine> sharedMachine();
    // The program if it is compiled already.
    const StackMachine* compiled() const { return program_.get(); }

  private:
    void compileQuietly();

    // Declared first so that the program goes first.
    fStack::Owner list_;
    std::shared_ptr<StackMachine> program_;
};

} // namespace orlix
