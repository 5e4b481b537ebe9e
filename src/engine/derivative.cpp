// Symbolic differentiation: one rule per name, each building a fresh postfix
// list out of copies of the operands (addA/addB), their derivatives
// (addDA/addDB) and new nodes. Lists are built backwards from their root:
// a rule starts with its last node and prepends the rest.
//
// Notation in the comments: for a one-argument node u is its argument; for a
// two-argument node a is the left operand (second argument) and b the right
// one (first argument). Postfix forms read from first to last.
#include <cstddef>

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

constexpr double kLn10 = 2.302585092994046;

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

double cell(double MathEngine::*member) { return MathEngine::sharedEngine().*member; }

// --- variables ---------------------------------------------------------------

// x' = dx (1 for the chosen variable, 0 for the others); likewise y, t, r.
Owner difX(const fStack&) { return number(cell(&MathEngine::dx_)); }
Owner difY(const fStack&) { return number(cell(&MathEngine::dy_)); }
Owner difT(const fStack&) { return number(cell(&MathEngine::dt_)); }
Owner difR(const fStack&) { return number(cell(&MathEngine::dr_)); }
// The angle (f, θ, i, φ share one cell): df.
Owner difF(const fStack&) { return number(cell(&MathEngine::df_)); }

// --- arithmetic ----------------------------------------------------------------

// (a + b)' = a' + b'            A' B' +
Owner difPlus(const fStack& q)
{
    Rule r("+");
    r.addDB(q);
    r.addDA(q);
    return r.done();
}

// (a - b)' = a' - b'            A' B' -
Owner difMinus(const fStack& q)
{
    Rule r("-");
    r.addDB(q);
    r.addDA(q);
    return r.done();
}

// (-u)' = -u'                   U' --
Owner difUMinus(const fStack& q)
{
    Rule r("--");
    r.addDB(q);
    return r.done();
}

// (a·b)' = a·b' + b·a'          A B' * B A' * +
Owner difMult(const fStack& q)
{
    Rule r("+");
    r.addPFunc("*");
    r.addDA(q);
    r.addB(q);
    r.addPFunc("*");
    r.addDB(q);
    r.addA(q);
    return r.done();
}

// (a / b)' = (b·a' - a·b') / b²     B A' * A B' * - B 2 ^ /
Owner difDivide(const fStack& q)
{
    Rule r("/");
    r.addPFunc("^");
    r.addPConst(2);
    r.addB(q);
    r.addPFunc("-");
    r.addPFunc("*");
    r.addDB(q);
    r.addA(q);
    r.addPFunc("*");
    r.addDA(q);
    r.addB(q);
    return r.done();
}

// (1/u)' = -(u' / u²)           U' U 2 ^ / --
Owner difInvert(const fStack& q)
{
    Rule r("--");
    r.addPFunc("/");
    r.addPFunc("^");
    r.addPConst(2);
    r.addB(q);
    r.addDB(q);
    return r.done();
}

// Whether the expression rooted at `root` can change with the variable being
// differentiated by: it names that variable, or a name with no rule (which
// the general rule then reports as before).
bool dependsOnDifBase(const fStack& root)
{
    const MathEngine& engine = MathEngine::sharedEngine();
    int sum = 0;
    for (const fStack* n = &root; n && sum != 1; n = n->previous) {
        sum += n->NoA;
        if (!n->funcName)
            continue;
        const DerivativeRule rule = engine.NameToDIMP(*n->funcName);
        if (!rule)
            return true;
        if ((rule == difX && engine.dx_ != 0) || (rule == difY && engine.dy_ != 0) ||
            (rule == difT && engine.dt_ != 0) || (rule == difR && engine.dr_ != 0) || (rule == difF && engine.df_ != 0))
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

// --- the chain rule with one outer factor ----------------------------------

// (g(u))' = h(u)·u' for the h given:   U h U' *
Owner outerTimesInner(const fStack& q, const char* h)
{
    Rule r("*");
    r.addDB(q);
    r.addPFunc(h);
    r.addB(q);
    return r.done();
}

// (exp u)' = exp(u)·u'          U exp U' *
Owner difExp(const fStack& q) { return outerTimesInner(q, "exp"); }
// (sin u)' = cos(u)·u'          U cos U' *
Owner difSin(const fStack& q) { return outerTimesInner(q, "cos"); }
// (sinh u)' = cosh(u)·u'        U cosh U' *
Owner difSinh(const fStack& q) { return outerTimesInner(q, "cosh"); }
// (cosh u)' = sinh(u)·u'        U sinh U' *
Owner difCosh(const fStack& q) { return outerTimesInner(q, "sinh"); }
// |u|' = sign_(u)·u'  (NaN where u = 0)        U sign_ U' *
Owner difAbs(const fStack& q) { return outerTimesInner(q, "sign_"); }
// (sign u)' = not_(u)·u'  (0, NaN where u = 0) U not_ U' *
Owner difSign(const fStack& q) { return outerTimesInner(q, "not_"); }
// (greater_ u)' = greater_(u)·u'               U greater_ U' *
Owner difGreater(const fStack& q) { return outerTimesInner(q, "greater_"); }
// (floor u)' = notInt(u)·u'  (0, NaN at integers)   U notInt U' *
Owner difStep(const fStack& q) { return outerTimesInner(q, "notInt"); }
// {u}' = notInt_(u)·u'  (u', NaN at integers)       U notInt_ U' *
Owner difFract(const fStack& q) { return outerTimesInner(q, "notInt_"); }

// (cos u)' = sin(u)·(-u')       U sin U' -- *
Owner difCos(const fStack& q)
{
    Rule r("*");
    r.addPFunc("--");
    r.addDB(q);
    r.addPFunc("sin");
    r.addB(q);
    return r.done();
}

// (greater__ u)' = u'·(greater_(u) + 1)   U' U greater_ 1 + *
Owner difGreaterOrNaN(const fStack& q)
{
    Rule r("*");
    r.addPFunc("+");
    r.addPConst(1);
    r.addPFunc("greater_");
    r.addB(q);
    r.addDB(q);
    return r.done();
}

// --- quotients u' / something ------------------------------------------------

// (ln u)' = u' / greater__(u)  (NaN where u <= 0)    U' U greater__ /
Owner difLn(const fStack& q)
{
    Rule r("/");
    r.addPFunc("greater__");
    r.addB(q);
    r.addDB(q);
    return r.done();
}

// (log u)' = u' / (greater__(u)·ln 10)    U' U greater__ L * /
Owner difLog(const fStack& q)
{
    Rule r("/");
    r.addPFunc("*");
    r.addPConst(kLn10);
    r.addPFunc("greater__");
    r.addB(q);
    r.addDB(q);
    return r.done();
}

// (sqrt u)' = u' / (2·sqrt(u))  U' 2 U sqrt * /
Owner difSqrt(const fStack& q)
{
    Rule r("/");
    r.addPFunc("*");
    r.addPFunc("sqrt");
    r.addB(q);
    r.addPConst(2);
    r.addDB(q);
    return r.done();
}

// u' / h(u)²:  U' U h 2 ^ /
Owner overSquareOf(const fStack& q, const char* h)
{
    Rule r("/");
    r.addPFunc("^");
    r.addPConst(2);
    r.addPFunc(h);
    r.addB(q);
    r.addDB(q);
    return r.done();
}

// (tan u)' = u' / cos(u)²       U' U cos 2 ^ /
Owner difTan(const fStack& q) { return overSquareOf(q, "cos"); }
// (tanh u)' = u' / cosh(u)²     U' U cosh 2 ^ /
Owner difTanh(const fStack& q) { return overSquareOf(q, "cosh"); }

// Prepends "1 U 2 ^ op" (1 ± u²) to r.
void prependOneWithSquare(Rule& r, const fStack& q, const char* op)
{
    r.addPFunc(op).addPFunc("^").addPConst(2).addB(q).addPConst(1);
}

// (asin u)' = u' / sqrt(1 - u²)       U' 1 U 2 ^ - sqrt /
Owner difAsin(const fStack& q)
{
    Rule r("/");
    r.addPFunc("sqrt");
    prependOneWithSquare(r, q, "-");
    r.addDB(q);
    return r.done();
}

// (acos u)' = -(u' / sqrt(1 - u²))    U' 1 U 2 ^ - sqrt / --
Owner difAcos(const fStack& q)
{
    Rule r("--");
    r.addPFunc("/");
    r.addPFunc("sqrt");
    prependOneWithSquare(r, q, "-");
    r.addDB(q);
    return r.done();
}

// (atan u)' = u' / (1 + u²)           U' 1 U 2 ^ + /
Owner difAtan(const fStack& q)
{
    Rule r("/");
    prependOneWithSquare(r, q, "+");
    r.addDB(q);
    return r.done();
}

// (asinh u)' = u' / sqrt(1 + u²)      U' 1 U 2 ^ + sqrt /
Owner difAsinh(const fStack& q)
{
    Rule r("/");
    r.addPFunc("sqrt");
    prependOneWithSquare(r, q, "+");
    r.addDB(q);
    return r.done();
}

// (acosh u)' = u' / sqrt(u² - 1)      U' U 2 ^ 1 - sqrt /
Owner difAcosh(const fStack& q)
{
    Rule r("/");
    r.addPFunc("sqrt");
    r.addPFunc("-");
    r.addPConst(1);
    r.addPFunc("^");
    r.addPConst(2);
    r.addB(q);
    r.addDB(q);
    return r.done();
}

// (atanh u)' = u' / (1 - u²)          U' 1 U 2 ^ - /
Owner difAtanh(const fStack& q)
{
    Rule r("/");
    prependOneWithSquare(r, q, "-");
    r.addDB(q);
    return r.done();
}

struct RuleEntry {
    const char* name;
    DerivativeRule rule;
};

const RuleEntry kRules[] = {
    {"x", difX},
    {"y", difY},
    {"t", difT},
    {"r", difR},
    {"f", difF},
    {"θ", difF},
    {"i", difF},
    {"φ", difF},
    {"+", difPlus},
    {"-", difMinus},
    {"--", difUMinus},
    {"*", difMult},
    {"/", difDivide},
    {"inv", difInvert},
    {"^", difPower},
    {"power", difPower},
    {"pow", difPower},
    {"exp", difExp},
    {"ln", difLn},
    {"log", difLog},
    {"sqrt", difSqrt},
    {"sin", difSin},
    {"cos", difCos},
    {"tan", difTan},
    {"tg", difTan},
    {"asin", difAsin},
    {"arcsin", difAsin},
    {"acos", difAcos},
    {"arccos", difAcos},
    {"atan", difAtan},
    {"arctan", difAtan},
    {"arctg", difAtan},
    {"sinh", difSinh},
    {"sh", difSinh},
    {"cosh", difCosh},
    {"ch", difCosh},
    {"tanh", difTanh},
    {"th", difTanh},
    {"asinh", difAsinh},
    {"arsinh", difAsinh},
    {"arsh", difAsinh},
    {"acosh", difAcosh},
    {"arcosh", difAcosh},
    {"arch", difAcosh},
    {"atanh", difAtanh},
    {"artanh", difAtanh},
    {"arth", difAtanh},
    {"abs", difAbs},
    {"||", difAbs},
    {"sign", difSign},
    {"sgn", difSign},
    {"sign_", difSign},
    {"not_", difSign},
    {"greater_", difGreater},
    {"greater__", difGreaterOrNaN},
    {"notInt", difStep},
    {"notInt_", difStep},
    {"ceil", difStep},
    {"floor", difStep},
    {"[]", difStep},
    {"{}", difFract},
    {"fract", difFract},
    {"fpart", difFract},
};

} // namespace

void registerDerivativeRules(MathEngine& engine)
{
    for (const RuleEntry& e : kRules)
        engine.NameToDIMP_[e.name] = e.rule;
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
    DerivativeRule rule = funcName ? MathEngine::sharedEngine().NameToDIMP(*funcName) : nullptr;
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
        n->NoA = 0;
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
        MathEngine::sharedEngine().setDifBase(*v->funcName);
        Owner r = f->dif();
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
