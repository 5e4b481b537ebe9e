// Symbolic differentiation: one rule per name, each building a fresh postfix
// list out of copies of the operands (addA/addB), their derivatives
// (addDA/addDB) and new nodes. Lists are built backwards from their root:
// a rule starts with its last node and prepends the rest.
//
// Notation in the comments: for a one-argument node u is its argument; for a
// two-argument node a is the left operand (second argument) and b the right
// one (first argument). Postfix forms read from first to last.
#include <cctype>
#include <cstddef>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "engine_tables.h"
#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"

namespace orlix {

namespace {

using Owner = fStack::Owner;

// Lists longer than this are not differentiated.
constexpr int kMaxInputNodes = 1543;
// A derivative longer than this could not be simplified or compiled; building
// stops as soon as that many nodes have been made.
constexpr int kMaxResultNodes = 5000;
// Nesting of dif() calls. Each level works on a strictly smaller argument of
// a list within kMaxInputNodes, so this is never reached; it only guards the
// stack should a future rule break that.
constexpr int kMaxDepth = kMaxInputNodes + 64;

// State of the differentiation under way: how deep dif() has recursed and
// how many nodes the rules have made since the outermost call began. Every
// node a rule makes ends up in the final derivative, so the count is the
// size of the result so far.
int difDepth = 0;
int nodesMade = 0;

struct DepthGuard {
    DepthGuard()
    {
        if (difDepth == 0)
            nodesMade = 0;
        ++difDepth;
    }
    ~DepthGuard() { --difDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

// The failures live out of line so that the frames of the recursion (dif,
// the rule, dif, ...) stay small.
[[noreturn, gnu::noinline, gnu::cold]] void fail(const char* name, const char* reason) { throw Error(name, reason); }

[[noreturn, gnu::noinline, gnu::cold]] void failWalk(const char* walk, const fStack& q)
{
    throw Error(walk, "Logical error!", {{"function", q.funcName.value_or("")}});
}

[[noreturn, gnu::noinline, gnu::cold]] void failNoRule(const fStack& q)
{
    throw Error("FunctionNotFound", "Krivie Ruki!", {{"function", q.funcName.value_or("")}});
}

void made(int count)
{
    nodesMade += count;
    if (nodesMade > kMaxResultNodes)
        fail("Error!", "Function is too complex!");
}

// The list a rule builds, from its root backwards, in the vocabulary of the
// function stack. The operands' derivatives are taken where the operands
// stand in q's list rather than of copies: the result is the same, and a
// deep expression then costs no copy per level.
class Rule {
  public:
    explicit Rule(const char* root) : list_(fStack::initWithName(root)), head_(list_.get()) { made(1); }

    Rule& addPFunc(const char* name)
    {
        head_ = head_->addPFunc(name);
        made(1);
        return *this;
    }
    Rule& addPConst(double value)
    {
        head_ = head_->addPConst(value);
        made(1);
        return *this;
    }
    // A copy of q's second argument (the left operand) / first argument.
    Rule& addA(const fStack& q) { return counted(head_->addA(&q)); }
    Rule& addB(const fStack& q) { return counted(head_->addB(&q)); }
    // The derivative of q's second argument / first argument.
    Rule& addDA(const fStack& q) { return addPrevious(secondArgOf(q).dif()); }
    Rule& addDB(const fStack& q) { return addPrevious(firstArgOf(q).dif()); }
    // A derivative, already counted.
    Rule& addPrevious(Owner part)
    {
        head_ = head_->addPrevious(std::move(part));
        return *this;
    }

    Owner done() { return std::move(list_); }

  private:
    static const fStack& firstArgOf(const fStack& q)
    {
        if (!q.previous)
            failWalk("copyFirstArgFailed", q);
        return *q.previous;
    }
    static const fStack& secondArgOf(const fStack& q)
    {
        const fStack* root = const_cast<fStack&>(q).secondArg();
        if (!root)
            failWalk("copySecondArgFailed", q);
        return *root;
    }
    // Counts the nodes prepended by a copy: from the new first node up to
    // the old one.
    Rule& counted(fStack* newFirst)
    {
        int n = 0;
        for (const fStack* p = newFirst; p && p != head_; p = p->next)
            ++n;
        head_ = newFirst;
        made(n);
        return *this;
    }

    Owner list_;   // points at the root
    fStack* head_; // the first node
};

Owner number(double value)
{
    made(1);
    return fStack::initWithConst(value);
}

// The variable of the differentiation under way: 1 for it, 0 for the
// others. dif(variable) sets it for the length of its call.
struct DifBase {
    double x = 1, y = 0, t = 0, r = 0, f = 0;

    static DifBase of(std::string_view variable)
    {
        DifBase d;
        d.x = 0;
        if (variable == "y")
            d.y = 1;
        else if (variable == "t")
            d.t = 1;
        else if (variable == "r")
            d.r = 1;
        else if (variable == "f" || variable == "θ" || variable == "i" || variable == "φ")
            d.f = 1;
        else
            d.x = 1;
        return d;
    }
};
DifBase difBase;

// --- variables ---------------------------------------------------------------

// x' = 1 for the variable differentiated by, 0 for the others; likewise y, t, r.
Owner difX(const fStack&) { return number(difBase.x); }
Owner difY(const fStack&) { return number(difBase.y); }
Owner difT(const fStack&) { return number(difBase.t); }
Owner difR(const fStack&) { return number(difBase.r); }
// The angle (f, θ, i, φ share one cell).
Owner difF(const fStack&) { return number(difBase.f); }
// The parameters a, b and c are constants to every variable.
Owner difParameter(const fStack&) { return number(0); }

// Whether the expression rooted at `root` can change with the variable being
// differentiated by: it names that variable, or a name with no rule (which
// the general rule then reports as before).
bool dependsOnDifBase(const fStack& root)
{
    const MathEngine& engine = MathEngine::sharedEngine();
    int sum = 0;
    for (const fStack* n = &root; n && sum != 1; n = n->previous) {
        sum += n->stackEffect;
        if (!n->funcName)
            continue;
        const DerivativeRule rule = engine.derivativeRuleFor(*n->funcName);
        if (!rule)
            return true;
        if ((rule == difX && difBase.x != 0) || (rule == difY && difBase.y != 0) || (rule == difT && difBase.t != 0) ||
            (rule == difR && difBase.r != 0) || (rule == difF && difBase.f != 0))
            return true;
    }
    return false;
}

// Exponent a number c:  (a^c)' = a^(c-1)·a'·c      A (c-1) ^ A' * c *
// Exponent b free of the variable (-1, 1+1, ln 2, another variable):
//                       (a^b)' = a^(b-1)·a'·b      A B 1 - ^ A' * B *
//   The general rule below goes through ln a and would be undefined for a
//   negative base, so how a constant exponent is written must not send it
//   there.
// Any other exponent:   (a^b)' = a^b·(b·ln a)'     A B ^ D *
//   where D is the derivative of B A ln *.
Owner difPower(const fStack& q)
{
    const fStack* exponent = q.previous;
    if (exponent && exponent->isNumber()) {
        const double c = exponent->c;
        Rule r("*");
        r.addPConst(c);
        r.addPFunc("*");
        r.addDA(q);
        r.addPFunc("^");
        r.addPConst(c - 1);
        r.addA(q);
        return r.done();
    }
    if (exponent && !dependsOnDifBase(*exponent)) {
        Rule r("*");
        r.addB(q);
        r.addPFunc("*");
        r.addDA(q);
        r.addPFunc("^");
        r.addPFunc("-");
        r.addPConst(1);
        r.addB(q);
        r.addA(q);
        return r.done();
    }
    // D = (b·ln a)' by the product and logarithm rules, built where it is
    // needed instead of differentiating a temporary copy of b·ln a:
    //   B A' A greater__ / * A ln B' * +
    Rule r("*");
    r.addPFunc("+").addPFunc("*").addDB(q).addPFunc("ln").addA(q);
    r.addPFunc("*").addPFunc("/").addPFunc("greater__").addA(q).addDA(q).addB(q);
    r.addPFunc("^");
    r.addB(q);
    r.addA(q);
    return r.done();
}

// --- the rows of the function table ------------------------------------------

// One step of a derivative's postfix form.
struct Token {
    enum Kind { copyA, copyB, derivativeA, derivativeB, constant, name } kind;
    double value = 0;
    std::string text;
};

// The table's numbers are plain decimals; a stream in the classic locale
// reads them whatever locale the shell set (and whether or not the
// standard library has from_chars for doubles).
double numberOf(const std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0;
    in >> value;
    return value;
}

// The postfix forms of the rows' derivatives, split into tokens, by
// operation.
const std::vector<Token>& derivativeForm(ops::Op op)
{
    static const std::vector<std::vector<Token>> forms = [] {
        std::vector<std::vector<Token>> r(ops::OpCount);
        for (const detail::FunctionRow& row : detail::functionRows()) {
            if (!row.derivative)
                continue;
            std::istringstream words(row.derivative);
            for (std::string w; words >> w;) {
                Token t{Token::name, 0, w};
                if (w == "A")
                    t.kind = Token::copyA;
                else if (w == "B" || w == "U")
                    t.kind = Token::copyB;
                else if (w == "A'")
                    t.kind = Token::derivativeA;
                else if (w == "B'" || w == "U'")
                    t.kind = Token::derivativeB;
                else if (std::isdigit(static_cast<unsigned char>(w[0])))
                    // Whatever the locale's decimal point.
                    t = Token{Token::constant, numberOf(w), {}};
                r[row.op].push_back(std::move(t));
            }
        }
        return r;
    }();
    return forms[op];
}

// The derivative of a node of the function table, built from its row's
// postfix form: from its root (the last token) backwards.
Owner difByRow(const fStack& q)
{
    const detail::NameOp* op = q.funcName ? detail::opForName(*q.funcName) : nullptr;
    const std::vector<Token>* form = op ? &derivativeForm(op->op) : nullptr;
    if (!form || form->empty())
        failNoRule(q);
    Rule r(form->back().text.c_str());
    for (auto t = form->rbegin() + 1; t != form->rend(); ++t) {
        switch (t->kind) {
        case Token::copyA: r.addA(q); break;
        case Token::copyB: r.addB(q); break;
        case Token::derivativeA: r.addDA(q); break;
        case Token::derivativeB: r.addDB(q); break;
        case Token::constant: r.addPConst(t->value); break;
        case Token::name: r.addPFunc(t->text.c_str()); break;
        }
    }
    return r.done();
}

struct RuleEntry {
    const char* name;
    DerivativeRule rule;
};

// clang-format off
const RuleEntry kRules[] = {
    {"x", difX}, {"y", difY}, {"t", difT}, {"r", difR}, {"f", difF}, {"θ", difF}, {"i", difF}, {"φ", difF},
    {"a", difParameter}, {"b", difParameter}, {"c", difParameter},
};
// clang-format on

} // namespace

std::unordered_map<std::string, DerivativeRule> derivativeRuleTable()
{
    std::unordered_map<std::string, DerivativeRule> rules;
    for (const RuleEntry& e : kRules)
        rules[e.name] = e.rule;
    for (const detail::FunctionRow& row : detail::functionRows())
        for (const char* name : row.names)
            if (name)
                rules[name] = row.derivative ? difByRow : difPower;
    return rules;
}

fStack::Owner fStack::dif(std::string_view variable) const
{
    // The variable holds for this call only, even when it ends in an error.
    struct Scope {
        DifBase saved = difBase;
        ~Scope() { difBase = saved; }
    } scope;
    // A parameter is a constant to every variable; nothing is differentiated
    // by one.
    if (variable == "a" || variable == "b" || variable == "c")
        throw Error("Invalid usage of D(,)!");
    difBase = DifBase::of(variable);
    return dif();
}

fStack::Owner fStack::dif() const
{
    // The outermost call checks the length; the rules then recurse once per
    // level of the expression, through ever smaller arguments of this same
    // list, so an over-long list never reaches them.
    if ((difDepth == 0 && length() > kMaxInputNodes) || difDepth >= kMaxDepth)
        fail("Function is too difficult!", "Function is too difficult!");
    DepthGuard depth;
    if (isNumber())
        return number(0);
    DerivativeRule rule = funcName ? MathEngine::sharedEngine().derivativeRuleFor(*funcName) : nullptr;
    if (!rule)
        failNoRule(*this);
    return rule(*this);
}

namespace {

// The variable that "dx", "ddx", ... differentiate by.
const char* variableOfShortForm(const std::string& name)
{
    static const struct {
        const char* single;
        const char* doubled;
        const char* variable;
    } kForms[] = {
        {"dx", "ddx", "x"}, {"dy", "ddy", "y"}, {"dt", "ddt", "t"}, {"dr", "ddr", "r"}, {"df", "ddf", "θ"},
    };
    for (const auto& f : kForms)
        if (name == f.single || name == f.doubled)
            return f.variable;
    return nullptr;
}

} // namespace

fStack::Owner fStack::replaceDerivative(Owner list)
{
    // 'dx(f)' becomes f, x, d: the same list as 'D(f, x)'.
    for (fStack* n = list->first(); n; n = n->next) {
        if (!n->funcName)
            continue;
        const char* variable = variableOfShortForm(*n->funcName);
        if (!variable)
            continue;
        fStack* v = initWithName(variable).release();
        v->previous = n->previous;
        v->next = n;
        if (n->previous)
            n->previous->next = v;
        n->previous = v;
        n->funcName.emplace(1, 'd'); // (not = "d": a false -Wrestrict in GCC 12)
        n->stackEffect = 0;
    }

    // Resolve each "d", rescanning from the start so that inner derivatives
    // are resolved before the ones around them.
    fStack* k = list->first();
    while (k) {
        if (!k->is("d")) {
            k = k->next;
            continue;
        }
        // Both operands must be there ('dx' alone has no f), and the
        // variable must be a single named node.
        Owner v, f;
        try {
            v = k->copyFirstArg();
            f = k->copySecondArg();
        } catch (const Error&) {
            throw Error("Invalid usage of D(,)!");
        }
        if (v->previous || !v->funcName)
            throw Error("Invalid usage of D(,)!");
        Owner r = f->dif(*v->funcName);
        f.reset();
        fStack* from = k->endOfSecArg();
        fStack* before = from->previous;
        fStack* after = k->next;

        // Unlink f, v, d and put R in its place. The owner may point into the
        // run that leaves, so it is re-seated on a node that stays.
        list.release();
        from->previous = nullptr;
        k->next = nullptr;
        Owner removed(k);
        fStack* rFirst = r->first();
        fStack* rLast = r.release();
        rFirst->previous = before;
        if (before)
            before->next = rFirst;
        rLast->next = after;
        if (after)
            after->previous = rLast;
        list.reset(rFirst);
        removed.reset();
        k = list->first();
    }
    fStack* head = list->first();
    if (head != list.get()) {
        list.release();
        list.reset(head);
    }
    return list;
}

} // namespace orlix
