// Simplification of a function stack in place: constant folding, identities,
// re-association and gathering of constants, negation and inversion moved
// outward. The passes relink the postfix list directly; nothing builds a tree.
//
// Every pass walks the list from its last node towards its first. Passes that
// need the root of an operator's second argument get it from a table filled
// by one forward sweep (see Roots) instead of walking back over the first
// argument each time, which would be quadratic on long chains.
#include <vector>

#include "engine_tables.h"
#include "ops.h"
#include "orlix/error.h"
#include "orlix/fstack.h"

namespace orlix {

namespace {

constexpr int kMaxNodes = 5000;

// Set by a pass when its change calls for another cycle.
bool wasModified = false;
// Set by the last group of passes (see regroupAndNormalize) whenever it changes the
// list at all.
bool regroupChanged = false;

// The list being simplified with its two ends, kept current by every edit
// so that no pass has to look for first() or last().
struct List {
    fStack* head = nullptr;
    fStack* tail = nullptr;

    void unlink(fStack* n)
    {
        if (n->previous)
            n->previous->next = n->next;
        else
            head = n->next;
        if (n->next)
            n->next->previous = n->previous;
        else
            tail = n->previous;
        n->previous = n->next = nullptr;
    }

    void remove(fStack* n)
    {
        unlink(n);
        delete n;
    }

    // Links an unlinked run from..to directly before `at`.
    void insertBefore(fStack* at, fStack* from, fStack* to)
    {
        from->previous = at->previous;
        if (at->previous)
            at->previous->next = from;
        else
            head = from;
        to->next = at;
        at->previous = to;
    }

    // Links an unlinked node directly after `at`.
    void insertAfter(fStack* at, fStack* n)
    {
        n->next = at->next;
        if (at->next)
            at->next->previous = n;
        else
            tail = n;
        n->previous = at;
        at->next = n;
    }

    // Unlinks the run from..to (inclusive) without freeing it.
    void cut(fStack* from, fStack* to)
    {
        if (from->previous)
            from->previous->next = to->next;
        else
            head = to->next;
        if (to->next)
            to->next->previous = from->previous;
        else
            tail = from->previous;
        from->previous = nullptr;
        to->next = nullptr;
    }
};

// Name tests on the hot paths of the walks.
bool named1(const fStack* n, char op) { return n->funcName && n->funcName->size() == 1 && (*n->funcName)[0] == op; }
bool sumOrProduct(const fStack* n) { return named1(n, '+') || named1(n, '*'); }
bool sameName(const fStack* a, const fStack* b) { return a->funcName && b->funcName && *a->funcName == *b->funcName; }

// The operation behind a name, with the operators looked up directly.
const ops::Op* opFor(const std::string& name)
{
    static const ops::Op table[] = {ops::Plus, ops::Minus, ops::Mult, ops::Divide, ops::Power};
    if (name.size() == 1) {
        switch (name[0]) {
        case '+': return &table[0];
        case '-': return &table[1];
        case '*': return &table[2];
        case '/': return &table[3];
        case '^': return &table[4];
        default: break;
        }
    }
    const detail::NameOp* op = detail::opForName(name);
    return op ? &op->op : nullptr;
}

// First node of the complete argument whose root is `root`.
fStack* startOf(fStack* root)
{
    int sum = 0;
    fStack* n = root;
    for (;;) {
        sum += n->stackEffect;
        if (sum == 1 || !n->previous)
            return n;
        n = n->previous;
    }
}

// The root of the second argument of every two-argument node, from one
// forward sweep of the list. A named node's value field is unused, so while
// the list is being simplified it holds the node's index in the table;
// clearIndexes() puts it back to 0 at the end. Passes that relink arguments
// update the table as they go.
class Roots {
  public:
    explicit Roots(List& list)
    {
        static std::vector<fStack*> stack;
        second_.clear();
        std::size_t top = 0; // values on the stack
        for (fStack* n = list.head; n; n = n->next) {
            if (top + 1 >= stack.size())
                stack.resize(2 * stack.size() + 64);
            if (n->stackEffect == -1 && n->isNamed()) {
                fStack* a = top >= 2 ? stack[top - 2] : nullptr;
                top = top >= 2 ? top - 2 : 0;
                n->c = static_cast<double>(second_.size());
                second_.push_back(a);
            } else if (n->stackEffect == 0 && n->isNamed()) {
                top = top >= 1 ? top - 1 : 0;
            }
            stack[top++] = n;
        }
    }
    Roots(const Roots&) = delete;
    Roots& operator=(const Roots&) = delete;

    fStack* second(const fStack* n) const { return second_[static_cast<std::size_t>(n->c)]; }
    void setSecond(const fStack* n, fStack* root) { second_[static_cast<std::size_t>(n->c)] = root; }

    static void clearIndexes(fStack* head)
    {
        for (fStack* n = head; n; n = n->next)
            if (n->isNamed())
                n->c = 0;
    }

  private:
    static inline std::vector<fStack*> second_;
};

// --- constant folding -------------------------------------------------------

// Returns the node holding the folded value, null when nothing was folded.
fStack* foldConstants(List& list)
{
    for (fStack* n = list.tail; n; n = n->previous) {
        fStack* p = n->previous;
        if (!n->isNamed() || !p || !p->isNumber() || n->stackEffect == 1)
            continue;
        const ops::Op* op = opFor(*n->funcName);
        if (!op)
            continue; // left for the compiler to report
        if (n->stackEffect == 0 && ops::isUnary(*op)) {
            p->c = ops::unary(*op, p->c);
            list.remove(n);
            wasModified = true;
            return p;
        }
        if (n->stackEffect == -1 && ops::isBinary(*op)) {
            fStack* q = p->previous;
            if (!q || !q->isNumber())
                continue;
            q->c = ops::binary(*op, q->c, p->c);
            list.remove(p);
            list.remove(n);
            wasModified = true;
            return q;
        }
    }
    return nullptr;
}

// --- identities ---------------------------------------------------------------

enum class Identity { None, DropOne, TimesZero, ZeroMinus, ToInverse, ToSqrt };

// Which identity applies at s, if any.
Identity identityAt(const fStack* s, const Roots& roots)
{
    if (s->stackEffect != -1 || !s->funcName || s->funcName->size() != 1)
        return Identity::None;
    const fStack* p = s->previous;
    if (!p || !p->previous)
        return Identity::None;
    const bool number = p->isNumber();
    switch ((*s->funcName)[0]) {
    case '*':
        if (number && p->c == 1)
            return Identity::DropOne;
        if (number && p->c == 0)
            return Identity::TimesZero;
        return Identity::None;
    case '+': return number && p->c == 0 ? Identity::DropOne : Identity::None;
    case '-':
        if (p->isNamed()) {
            const fStack* r = roots.second(s);
            return r && r->isNumber() && r->c == 0 ? Identity::ZeroMinus : Identity::None;
        }
        return number && p->c == 0 ? Identity::DropOne : Identity::None;
    case '^':
        if (number && p->c == 1)
            return Identity::DropOne;
        if (number && p->c == -1)
            return Identity::ToInverse;
        if (number && p->c == 0.5)
            return Identity::ToSqrt;
        return Identity::None;
    default: return Identity::None;
    }
}

void forget(std::vector<fStack*>& watch, const fStack* n)
{
    for (fStack*& w : watch)
        if (w == n)
            w = nullptr;
}

// The identities, at most one rewrite per cycle: rewrites at s, the first
// node from the end where one applies (found by numbersRightFindIdentity, below). Returns
// the node that now stands where s stood (the root of what replaced it).
// Entries of `watch` are cleared when their node leaves the list.
fStack* applyIdentity(List& list, fStack* s, Identity identity, const Roots& roots, std::vector<fStack*>& watch)
{
    fStack* p = s->previous;
    fStack* root = s;
    switch (identity) {
    case Identity::None: return nullptr;
    case Identity::DropOne: // A 1 *, A 0 +, A 0 -, A 1 ^ are A
        root = p->previous;
        forget(watch, p);
        forget(watch, s);
        list.remove(p);
        list.remove(s);
        break;
    case Identity::TimesZero: { // A 0 * is 0, whatever A is
        fStack* a = p->previous;
        fStack* from = startOf(a);
        for (fStack* n = from; n != p; n = n->next)
            forget(watch, n);
        list.cut(from, a);
        fStack::free(from);
        forget(watch, s);
        list.remove(s);
        root = p;
        break;
    }
    case Identity::ZeroMinus: // 0 B - is B --
        forget(watch, roots.second(s));
        list.remove(roots.second(s));
        s->funcName = "--";
        s->stackEffect = 0;
        s->c = 0;
        break;
    case Identity::ToInverse: // A -1 ^ is A inv, A 0.5 ^ is A sqrt
    case Identity::ToSqrt:
        forget(watch, p);
        list.remove(p);
        s->funcName = identity == Identity::ToInverse ? "inv" : "sqrt";
        s->stackEffect = 0;
        s->c = 0;
        break;
    }
    wasModified = true;
    return root;
}

// Moves the number of a sum or product to the right operand (3 B + becomes
// B 3 + when B is named). The same walk finds where applyIdentity will rewrite:
// moving a number to the right only changes the operator it belongs to, so
// every node is judged as it will stand when the walk is over.
//
// `moved` receives the operators whose number was moved; `target` is the
// first node from the end where an identity applies, null when none does.
void numbersRightFindIdentity(List& list, Roots& roots, fStack*& target, Identity& identity,
                              std::vector<fStack*>& moved)
{
    target = nullptr;
    identity = Identity::None;
    for (fStack* s = list.tail; s; s = s->previous) {
        if (sumOrProduct(s)) {
            fStack* p = s->previous;
            fStack* r = roots.second(s);
            if (p && p->isNamed() && r && r->isNumber()) {
                list.unlink(r);
                list.insertBefore(s, r, r);
                roots.setSecond(s, p);
                wasModified = true;
                moved.push_back(s);
            }
        }
        if (!target) {
            identity = identityAt(s, roots);
            if (identity != Identity::None)
                target = s;
        }
    }
    if (!target)
        identity = Identity::None;
}

// --- subtraction and division, negations, chains ---------------------------

// Turns A c - into A (-c) + and A c / into A (1/c) *, and removes "--" "--"
// and "inv" "inv" pairs, in one walk: neither change affects the other.
void subtractionsAndDoubleNegations(List& list)
{
    fStack* n = list.tail;
    bool seen = false; // n was visited before, with another predecessor
    while (n) {
        fStack* p = n->previous;
        if (!seen && p && p->isNumber()) {
            if (named1(n, '-')) {
                p->c = ops::unary(ops::UMinus, p->c);
                n->funcName = "+";
                n->stackEffect = -1;
                wasModified = regroupChanged = true;
            } else if (named1(n, '/')) {
                p->c = ops::unary(ops::Invert, p->c);
                n->funcName = "*";
                n->stackEffect = -1;
                wasModified = regroupChanged = true;
            }
        }
        seen = false;
        if (p && ((n->is("--") && p->is("--")) || (n->is("inv") && p->is("inv")))) {
            // Only the node after the pair sees a new predecessor; everything
            // after it was checked already.
            fStack* after = n->next;
            list.remove(p);
            list.remove(n);
            wasModified = regroupChanged = true;
            n = after ? after : list.tail;
            seen = after != nullptr;
            continue;
        }
        n = p;
    }
}

// (a·b)·c, a b * c *, becomes a·(b·c), a b c * *: every chain of one
// operator ends with all its operands first, then all its operators.
void reassociate(List& list, Roots& roots)
{
    for (fStack* s = list.tail; s; s = s->previous) {
        if (!sumOrProduct(s))
            continue;
        for (fStack* r = roots.second(s); r && sameName(r, s); r = roots.second(s)) {
            fStack* innerFirst = r->previous; // root of r's first argument
            fStack* innerSecond = roots.second(r);
            list.unlink(r);
            list.insertBefore(s, r, r);
            regroupChanged = true;
            roots.setSecond(r, innerFirst);
            roots.setSecond(s, innerSecond);
        }
    }
}

// The node that takes the value of the complete argument rooted at `root`
// as one of its operands; null when nothing does.
fStack* consumerOf(fStack* root)
{
    int depth = 0;
    for (fStack* n = root->next; n; n = n->next) {
        const int needs = n->stackEffect == 1 ? 0 : (n->stackEffect == 0 ? 1 : 2);
        if (needs > depth)
            return n;
        depth += n->stackEffect;
    }
    return nullptr;
}

// Combines the numbers among the operands of each chain into one number
// placed as the chain's last operand.
void gatherConstants(List& list, Roots& roots)
{
    std::vector<fStack*> numbers;
    std::vector<fStack*> others;
    fStack* s = list.tail;
    while (s) {
        if (!sumOrProduct(s)) {
            s = s->previous;
            continue;
        }
        const bool product = named1(s, '*');
        fStack* o = s;
        int run = 1;
        while (o->previous && sameName(o->previous, s)) {
            o = o->previous;
            ++run;
        }
        const int operands = run + 1;
        // Operand 1 is the node before o, operand n+1 the second argument
        // of the n-th operator of the run.
        numbers.clear();
        others.clear();
        double acc = product ? 1.0 : 0.0;
        fStack* op = o;
        for (int k = 1; k <= operands; ++k) {
            fStack* root = k == 1 ? o->previous : roots.second(op);
            if (k > 1)
                op = op->next;
            if (root && root->isNumber()) {
                acc = ops::binary(product ? ops::Mult : ops::Plus, acc, root->c);
                numbers.push_back(root);
            } else {
                others.push_back(root);
            }
        }
        if (numbers.empty() || (numbers.size() == 1 && numbers.front() == o->previous)) {
            // No number, or one already in its place: nothing changes.
            s = o->previous;
            continue;
        }
        regroupChanged = true;
        const int kept = operands - static_cast<int>(numbers.size());
        // The first number found holds the total; the others leave.
        fStack* total = numbers.front();
        for (std::size_t k = 1; k < numbers.size(); ++k)
            list.remove(numbers[k]);
        list.unlink(total);
        total->c = acc;
        list.insertBefore(o, total, total);
        const int surplus = operands - kept - 1;
        for (int k = 0; k < surplus; ++k) {
            fStack* next = o->next;
            list.remove(o);
            o = next;
        }
        if (surplus > 0)
            wasModified = true;
        // The operators left take the total, then the other operands.
        op = o;
        for (fStack* root : others) {
            roots.setSecond(op, root);
            op = op->next;
        }
        if (others.empty()) {
            // The chain is now the single number: whatever took its value
            // as second operand now takes the number.
            fStack* q = consumerOf(total);
            if (q && q->stackEffect == -1 && q->previous != total)
                roots.setSecond(q, total);
        }
        s = total->previous;
    }
}

// X inv · Y becomes Y/X, Y · X inv becomes Y/X, X inv · Y inv becomes
// (X·Y) inv; the same for "--" in sums. Walks from the end and rewrites the
// first node that qualifies, as often as one does.
void outwardNegations(List& list, Roots& roots)
{
    auto marker = [](const fStack* s) { return named1(s, '*') ? "inv" : "--"; };
    auto qualifies = [&](fStack* s) {
        if (!sumOrProduct(s))
            return false;
        const char* m = marker(s);
        fStack* r = roots.second(s);
        return (s->previous && s->previous->is(m)) || (r && r->is(m));
    };
    fStack* a = list.tail;
    while (a) {
        if (!qualifies(a)) {
            a = a->previous;
            continue;
        }
        wasModified = regroupChanged = true;
        const bool product = named1(a, '*');
        const char* m = marker(a);
        fStack* p = a->previous;     // root of the first argument
        fStack* r = roots.second(a); // root of the second argument
        const bool first = p->is(m);
        const bool second = r && r->is(m);
        // After a rewrite at `a` only the node taking a's value may newly
        // qualify; all other nodes after `a` keep what they were checked for.
        if (second && !first) {
            // X m Y op: drop m, Y X op'.
            fStack* xRoot = r->previous;
            fStack* xStart = startOf(xRoot);
            list.remove(r);
            list.cut(xStart, xRoot);
            list.insertBefore(a, xStart, xRoot);
            a->funcName = product ? "/" : "-";
            a->stackEffect = -1;
            roots.setSecond(a, p);
            a = a->previous;
        } else if (first && !second) {
            // Y X m op: drop m, Y X op'.
            list.remove(p);
            a->funcName = product ? "/" : "-";
            a->stackEffect = -1;
            a = a->previous;
        } else {
            // X m Y m op: (X Y op) m.
            fStack* xRoot = r->previous;
            list.remove(r);
            list.unlink(p);
            list.insertAfter(a, p);
            roots.setSecond(a, xRoot);
            fStack* q = consumerOf(p);
            if (q && q->stackEffect == -1 && q->previous != p)
                roots.setSecond(q, p);
            a = (q && qualifies(q)) ? q : a;
        }
    }
}

// Whether the last group of passes would change anything at the nodes whose
// surroundings changed when `root` took the place of a sub-expression, in a
// list where that group found nothing to do before.
bool mmWouldAct(fStack* root, Roots& roots)
{
    if (!root)
        return false;
    fStack* consumer = consumerOf(root);
    if (consumer && consumer->stackEffect == -1 && consumer->previous != root)
        roots.setSecond(consumer, root);
    for (fStack* t : {root, root->next, consumer}) {
        if (!t)
            continue;
        fStack* p = t->previous;
        if (p && p->isNumber() && (named1(t, '-') || named1(t, '/')))
            return true;
        if (p && ((t->is("--") && p->is("--")) || (t->is("inv") && p->is("inv"))))
            return true;
        if (!sumOrProduct(t))
            continue;
        fStack* r = roots.second(t);
        if (r && sameName(r, t))
            return true;
        const char* marker = named1(t, '*') ? "inv" : "--";
        if ((p && p->is(marker)) || (r && r->is(marker)))
            return true;
        // the chain t belongs to, for its numbers
        fStack* top = t;
        while (top->next && sameName(top->next, t))
            top = top->next;
        fStack* o = t;
        while (o->previous && sameName(o->previous, t))
            o = o->previous;
        int numbers = 0;
        bool inPlace = false;
        fStack* op = o;
        for (fStack* operand = o->previous; operand;) {
            if (operand->isNumber()) {
                ++numbers;
                inPlace = operand == o->previous;
            }
            if (op == top->next)
                break;
            operand = roots.second(op);
            op = op->next;
        }
        if (numbers > 1 || (numbers == 1 && !inPlace))
            return true;
    }
    return false;
}

void regroupAndNormalize(List& list)
{
    subtractionsAndDoubleNegations(list);
    Roots roots(list);
    reassociate(list, roots);
    gatherConstants(list, roots);
    outwardNegations(list, roots);
}

bool balances(const fStack* head)
{
    int sum = 0;
    for (const fStack* n = head; n; n = n->next) {
        if (sum < 0)
            return false;
        sum += n->stackEffect;
    }
    return sum == 1;
}

} // namespace

bool fStack::simplifiable(const fStack& node)
{
    int length = 0;
    for (const fStack* n = node.first(); n; n = n->next)
        if (++length > kMaxNodes)
            return false;
    return true;
}

fStack::Owner fStack::optimize(Owner owner)
{
    if (!owner)
        return owner;
    if (!simplifiable(*owner))
        throw Error("Error!", "Function is too complex!");
    List list;
    list.head = owner->first();
    for (fStack* n = list.head; n; n = n->next)
        list.tail = n;
    // The passes rely on the balance; a list that does not balance is left
    // as it is for the compiler to reject.
    if (!balances(list.head))
        return owner;
    owner.release();
    try {
        // When the last group of passes found nothing to do in a cycle, the
        // next cycle's list differs from its result only where a constant
        // was folded, a few numbers were moved and an identity applied; if
        // nothing near those places calls for the group, running it would
        // change nothing.
        bool mmIdle = false;
        std::vector<fStack*> touched; // folded value, then moved operators
        do {
            wasModified = false;
            touched.clear();
            touched.push_back(foldConstants(list));
            Roots roots(list);
            fStack* target = nullptr;
            Identity identity = Identity::None;
            numbersRightFindIdentity(list, roots, target, identity, touched);
            fStack* changed = target ? applyIdentity(list, target, identity, roots, touched) : nullptr;
            if (mmIdle && touched.size() <= 8) {
                bool acts = mmWouldAct(changed, roots);
                for (std::size_t k = 0; k < touched.size() && !acts; ++k)
                    acts = mmWouldAct(touched[k], roots);
                if (!acts)
                    continue;
            }
            regroupChanged = false;
            regroupAndNormalize(list);
            mmIdle = !regroupChanged;
        } while (wasModified);
    } catch (...) {
        fStack::free(list.head);
        throw;
    }
    Roots::clearIndexes(list.head);
    return Owner(list.tail);
}

} // namespace orlix
