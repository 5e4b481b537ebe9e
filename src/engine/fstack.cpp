#include "orlix/fstack.h"

#include <cstdio>

#include "orlix/error.h"
#include "orlix/math_engine.h"

namespace orlix {

namespace {

// Walks back from `start` over one complete argument (a run of nodes whose
// stack effects sum to 1). `reached` is the node before the argument (null
// at the start of the list), `stepped` the argument's first node.
struct Walk {
    const fStack* reached = nullptr;
    const fStack* stepped = nullptr;
    bool ok = false;
};

Walk walkOver(const fStack* start)
{
    Walk w;
    int sum = 0;
    const fStack* cur = start;
    while (sum != 1) {
        if (!cur)
            return w;
        sum += cur->stackEffect;
        w.stepped = cur;
        cur = cur->previous;
    }
    w.reached = cur;
    w.ok = true;
    return w;
}

[[noreturn]] void logicalError(const char* walk, const fStack* node, UserInfo extra = {})
{
    UserInfo info = std::move(extra);
    info["function"] = node && node->funcName ? *node->funcName : std::string();
    throw Error(walk, "Logical error!", std::move(info));
}

fStack* mutate(const fStack* node) { return const_cast<fStack*>(node); }

} // namespace

void fStack::ListFree::operator()(fStack* node) const noexcept { fStack::free(node); }

void fStack::free(fStack* anyNode) noexcept
{
    if (!anyNode)
        return;
    fStack* n = anyNode->first();
    while (n) {
        fStack* next = n->next;
        delete n;
        n = next;
    }
}

fStack::Owner fStack::initWithName(std::string name)
{
    Owner node(new fStack());
    node->stackEffect = MathEngine::sharedEngine().stackEffect(name);
    node->funcName = std::move(name);
    return node;
}

fStack::Owner fStack::initWithConst(double value)
{
    Owner node(new fStack());
    node->c = value;
    node->stackEffect = 1;
    return node;
}

fStack::Owner fStack::placeholder() { return Owner(new fStack()); }

fStack::Owner fStack::copy() const
{
    Owner node(new fStack());
    node->funcName = funcName;
    node->c = c;
    node->stackEffect = stackEffect;
    return node;
}

fStack::Owner fStack::copyAll() const
{
    const fStack* n = first();
    Owner out = n->copy();
    fStack* tail = out.get();
    for (n = n->next; n; n = n->next) {
        fStack* c = n->copy().release();
        c->previous = tail;
        tail->next = c;
        tail = c;
    }
    out.release();
    return Owner(tail);
}

fStack* fStack::first()
{
    fStack* n = this;
    while (n->previous)
        n = n->previous;
    return n;
}

fStack* fStack::last()
{
    fStack* n = this;
    while (n->next)
        n = n->next;
    return n;
}

const fStack* fStack::first() const { return mutate(this)->first(); }
const fStack* fStack::last() const { return mutate(this)->last(); }

int fStack::length() const
{
    int n = 0;
    for (const fStack* p = first(); p; p = p->next)
        ++n;
    return n;
}

fStack* fStack::argNumberN(int n)
{
    const fStack* cur = previous;
    for (int k = 1; k < n; ++k) {
        Walk w = walkOver(cur);
        if (!w.ok)
            logicalError("argNumberN_notFound", this, {{"N", static_cast<long long>(n)}});
        cur = w.reached;
    }
    if (!cur)
        logicalError("argNumberN_notFound", this, {{"N", static_cast<long long>(n)}});
    return mutate(cur);
}

fStack* fStack::secondArg()
{
    Walk w = walkOver(previous);
    if (!w.ok)
        logicalError("SecondArgNotFound", this);
    return mutate(w.reached);
}

fStack* fStack::endOfSecArg()
{
    const fStack* root = secondArg();
    Walk w = walkOver(root);
    if (!w.ok)
        logicalError("endOfSecondArgNotFound", this);
    return mutate(w.stepped);
}

fStack* fStack::afterSecondArg()
{
    const fStack* root = secondArg();
    Walk w = walkOver(root);
    if (!w.ok)
        logicalError("afterSecondArgNotFound", this);
    return mutate(w.reached);
}

namespace {
// Copies the complete argument whose root is `root`; the copy's last node.
fStack::Owner copyArgument(const fStack* root, const char* failure, const fStack* who)
{
    if (!root)
        logicalError(failure, who);
    fStack::Owner out = root->copy();
    fStack* head = out.get();
    int sum = root->stackEffect;
    const fStack* cur = root;
    while (sum != 1) {
        cur = cur->previous;
        if (!cur)
            logicalError(failure, who); // `out` frees the partial copy
        fStack* c = cur->copy().release();
        c->next = head;
        head->previous = c;
        head = c;
        sum += c->stackEffect;
    }
    return out;
}
} // namespace

fStack::Owner fStack::copyFirstArg() const { return copyArgument(previous, "copyFirstArgFailed", this); }

fStack::Owner fStack::copySecondArg() const
{
    Walk w = walkOver(previous);
    if (!w.ok || !w.reached)
        logicalError("copySecondArgFailed", this);
    return copyArgument(w.reached, "copySecondArgFailed", this);
}

fStack* fStack::addNext(Owner other)
{
    if (!other)
        return last();
    fStack* tail = last();
    fStack* head = other->first();
    fStack* newLast = other->last();
    other.release();
    tail->next = head;
    head->previous = tail;
    return newLast;
}

fStack* fStack::addPrevious(Owner other)
{
    if (!other)
        return first();
    fStack* head = first();
    fStack* otherTail = other->last();
    fStack* newFirst = other->first();
    other.release();
    otherTail->next = head;
    head->previous = otherTail;
    return newFirst;
}

fStack* fStack::addFunc(std::string name) { return addNext(initWithName(std::move(name))); }
fStack* fStack::addConst(double value) { return addNext(initWithConst(value)); }
fStack* fStack::addMConst(const std::string& constName)
{
    return addNext(initWithConst(MathEngine::sharedEngine().constantValue(constName)));
}
fStack* fStack::addPFunc(std::string name) { return addPrevious(initWithName(std::move(name))); }
fStack* fStack::addPConst(double value) { return addPrevious(initWithConst(value)); }

fStack* fStack::addA(const fStack* q) { return addPrevious(q->copySecondArg()); }
fStack* fStack::addB(const fStack* q) { return addPrevious(q->copyFirstArg()); }
// The derivative reads an argument where it stands; no copy is needed.
fStack* fStack::addDA(const fStack* q)
{
    const fStack* a = mutate(q)->secondArg();
    if (!a)
        logicalError("copySecondArgFailed", q);
    return addPrevious(a->dif());
}
fStack* fStack::addDB(const fStack* q)
{
    if (!q->previous)
        logicalError("copyFirstArgFailed", q);
    return addPrevious(q->previous->dif());
}

std::string fStack::toSTR() const
{
    std::string out;
    char buf[512];
    for (const fStack* n = first(); n; n = n->next) {
        if (n->funcName) {
            out += "'" + *n->funcName + "' ";
        } else {
            std::snprintf(buf, sizeof buf, " %lf ", n->c);
            out += buf;
        }
    }
    return out;
}

std::vector<fStack::Item> fStack::toArray() const
{
    std::vector<Item> items;
    for (const fStack* n = first(); n; n = n->next) {
        if (n->funcName)
            items.emplace_back(*n->funcName);
        else
            items.emplace_back(n->c);
    }
    return items;
}

fStack::Owner fStack::fromArray(const std::vector<Item>& items)
{
    if (items.empty())
        return nullptr;
    auto make = [](const Item& item) {
        if (const std::string* name = std::get_if<std::string>(&item))
            return initWithName(*name);
        return initWithConst(std::get<double>(item));
    };
    Owner list = make(items.front());
    fStack* tail = list.get();
    for (std::size_t k = 1; k < items.size(); ++k)
        tail = tail->addNext(make(items[k]));
    if (!list->isOK())
        return nullptr;
    return list;
}

bool fStack::isOK() const
{
    int sum = 0;
    for (const fStack* n = first(); n; n = n->next) {
        if (sum < 0)
            return false;
        sum += n->stackEffect;
    }
    return sum == 1;
}

// --- structural rewrites -------------------------------------------------

namespace {

// Unlinks the run from..to (inclusive) and returns it as its own list.
void cut(fStack* from, fStack* to)
{
    fStack* before = from->previous;
    fStack* after = to->next;
    if (before)
        before->next = after;
    if (after)
        after->previous = before;
    from->previous = nullptr;
    to->next = nullptr;
}

// Links the run from..to (an unlinked list) directly before `at`.
void insertBefore(fStack* at, fStack* from, fStack* to)
{
    fStack* before = at->previous;
    from->previous = before;
    if (before)
        before->next = from;
    to->next = at;
    at->previous = to;
}

} // namespace

fStack::Owner fStack::replacePower(Owner list)
{
    fStack* p = list->last();
    while (p) {
        if (!p->is("^'")) {
            p = p->previous;
            continue;
        }
        // exponent E (S..E), then the base A..B (argument and function), then P
        fStack* b = p->previous;
        fStack* e = nullptr;
        fStack* s = nullptr;
        try {
            e = p->secondArg();
            s = e ? p->endOfSecArg() : nullptr;
        } catch (const Error&) {
            e = nullptr;
        }
        fStack* a = e ? e->next : nullptr;
        if (!b || !e || !a || !s)
            throw Error("Wrong Syntax!");
        // Move the exponent S..E to directly before P: the base then comes first.
        if (a != p) {
            cut(s, e);
            insertBefore(p, s, e);
        }
        p->funcName.emplace(1, '^'); // "^'" becomes "^"
        p = p->previous;
    }
    return list;
}

fStack::Owner fStack::replaceLogn(Owner list)
{
    fStack* l = list->last();
    while (l) {
        if (!l->is("logn")) {
            l = l->previous;
            continue;
        }
        fStack* a = nullptr;
        try {
            a = l->secondArg();
        } catch (const Error&) {
            a = nullptr;
        }
        fStack* f = a ? a->next : nullptr;
        fStack* g = l->previous;
        if (!a || !f || !g || f == l)
            throw Error("Wrong Syntax!");
        // a ln b ln /
        Owner ln1 = initWithName("ln");
        insertBefore(f, ln1.get(), ln1.get());
        ln1.release();
        Owner ln2 = initWithName("ln");
        insertBefore(l, ln2.get(), ln2.get());
        ln2.release();
        Owner div = initWithName("/");
        fStack* d = div.release();
        insertBefore(l, d, d);
        cut(l, l);
        list.release(); // the owner may have pointed at the node leaving the list
        list.reset(d);
        delete l;
        l = d->previous; // go on through the arguments, which may hold more
    }
    return list;
}

} // namespace orlix
