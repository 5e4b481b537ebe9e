// A formula as a postfix list of nodes. Each node is also a handle to its
// whole list: first() and last() reach the ends from anywhere.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orlix {

class StackMachine;

class fStack {
  public:
    // Frees the whole list of the node it is given.
    struct ListFree {
        void operator()(fStack* node) const noexcept;
    };
    // Owns the list that contains the node it points at.
    using Owner = std::unique_ptr<fStack, ListFree>;
    // One element of the array form: a name or a number.
    using Item = std::variant<std::string, double>;

    std::optional<std::string> funcName; // none for a number node
    fStack* previous = nullptr;          // not owning
    fStack* next = nullptr;              // not owning
    double c = 0;                        // value of a number node
    int stackEffect = 0;                 // stack effect: +1 leaf, 0 unary, -1 binary

    // --- construction -----------------------------------------------------
    static Owner initWithName(std::string name);
    static Owner initWithConst(double value);
    static Owner placeholder(); // a node with no name and no value, stackEffect 0

    bool isNumber() const { return !funcName && stackEffect == 1; }
    bool isNamed() const { return funcName.has_value(); }
    bool is(std::string_view name) const { return funcName && *funcName == name; }

    Owner copy() const;    // unlinked copy of this node
    Owner copyAll() const; // deep copy of the whole list; points at its last node
    static void free(fStack* anyNode) noexcept;

    // --- navigation ---------------------------------------------------------
    fStack* first();
    fStack* last();
    const fStack* first() const;
    const fStack* last() const;
    int length() const;

    fStack* argNumberN(int n);
    fStack* secondArg();
    fStack* endOfSecArg();
    fStack* afterSecondArg();
    Owner copyFirstArg() const;
    Owner copySecondArg() const;

    // --- appending and prepending ------------------------------------------
    fStack* addFunc(std::string name);
    fStack* addConst(double value);
    fStack* addMConst(const std::string& constName);
    fStack* addPFunc(std::string name);
    fStack* addPConst(double value);
    fStack* addNext(Owner other);     // links the other list after last; returns the new last
    fStack* addPrevious(Owner other); // links the other list before first; returns the new first

    // The vocabulary of the derivative rules: prepend a copy (or the
    // derivative) of q's second argument (A) or first argument (B).
    fStack* addA(const fStack* q);
    fStack* addB(const fStack* q);
    fStack* addDA(const fStack* q);
    fStack* addDB(const fStack* q);

    // --- forms ------------------------------------------------------------
    std::string toSTR() const;
    std::vector<Item> toArray() const;
    static Owner fromArray(const std::vector<Item>& items); // null when it does not balance
    bool isOK() const;
    fStack* openBraces() { return this; }

    // --- rewrites (the list is changed in place; ownership passes through) -
    static Owner replacePower(Owner list);
    static Owner replaceLogn(Owner list);
    static Owner replaceDerivative(Owner list);
    static Owner optimize(Owner list);
    // Whether the list holding this node is within the size optimize accepts.
    static bool simplifiable(const fStack& node);

    // Derivative of the expression rooted at this node with respect to the
    // variable ("x", "y", "t", "r", or the angle "θ", "f", "φ", "i"; any
    // other name means x); a new list (its last node).
    Owner dif(std::string_view variable) const;
    // The same within a differentiation under way (its rules and the list
    // builders below call it): with respect to that differentiation's
    // variable, x outside any.
    Owner dif() const;

    std::unique_ptr<StackMachine> toStackMachine() const;

    // --- parsing --------------------------------------------------------------
    static Owner createWithString(std::string_view text);
    static Owner justCreateWithString(std::string_view text);
    // Readings of the remaining bars that parse and are small enough to
    // simplify, unsimplified; the search stops at the second.
    static std::vector<Owner> solutionsForString(std::string_view text);
    static int containsModuleSymbols(std::string_view text);

    fStack() = default;
    fStack(const fStack&) = delete;
    fStack& operator=(const fStack&) = delete;

  private:
    const fStack* walkBack(int& sum) const;
};

} // namespace orlix
