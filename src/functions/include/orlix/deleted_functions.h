// What "delete all functions" took away, kept in memory so that the user
// can bring it back until the application ends: the functions themselves
// (with their colours, dashes, densities and ranges), in register order,
// and which one was current.
#pragma once

#include <cstddef>
#include <string>

#include "orlix/function.h"

namespace orlix {

class DeletedFunctions {
  public:
    // Empties the register, keeping what it held; current is the function
    // the user worked on (or nullptr). Anything kept before is replaced.
    void deleteAll(const Function* current);

    // Whether there is something to bring back.
    bool empty() const { return kept_.empty(); }
    std::size_t size() const { return kept_.size(); }

    // Registers the kept functions again, in their order and ahead of the
    // functions made since (which stay, after them). A function made since
    // that took a kept identifier keeps its place under a fresh one.
    // Returns the function that was current, or nullptr; afterwards
    // nothing is kept.
    Function::Ptr restore();

  private:
    Function::Register kept_;
    std::string currentID_;
};

} // namespace orlix
