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
// stops as soon as a partial result passes it.
constexpr int kMaxResultNodes = 5000;
// Nesting of dif() calls. Every two levels differentiate a strictly shorter
// list, so a list within kMaxInputNodes never gets near this; it only guards
// the stack if that reasoning is ever broken by a new rule.
constexpr int kMaxDepth = 2 * kMaxInputNodes + 64;

constexpr double kLn10 = 2.302585092994046;

int difDepth = 0;

struct DepthGuard {
    DepthGuard() { ++difDepth; }
    ~DepthGuard() { --difDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

Owner node(const char* name) { return fStack::initWithName(name); }

double& cell(double MathEngine::*member) { return MathEngine::sharedEngine().*member; }

// --- variables ---------------------------------------------------------------

// x' = dx (1 for the chosen variable, 0 for the others); likewise y, t, r.
Owner difX(const fStack&) { return fStack::initWithConst(cell(&MathEngine::dx_)); }
Owner difY(const fStack&) { return fStack::initWithConst(cell(&MathEngine::dy_)); }
Owner difT(const fStack&) { return fStack::initWithConst(cell(&MathEngine::dt_)); }
Owner difR(const fStack&) { return fStack::initWithConst(cell(&MathEngine::dr_)); }
// The angle (f, θ, i, φ share one cell): df.
Owner difF(const fStack&) { return fStack::initWithConst(cell(&MathEngine::df_)); }

// --- arithmetic ----------------------------------------------------------------

// (a + b)' = a' + b'            A' B' +
Owner difPlus(const fStack& q)
{
    Owner r = node("+");
    r->addDB(&q);
    r->addDA(&q);
    return r;
}

// (a - b)' = a' - b'            A' B' -
Owner difMinus(const fStack& q)
{
    Owner r = node("-");
    r->addDB(&q);
    r->addDA(&q);
    return r;
}

// (-u)' = -u'                   U' --
Owner difUMinus(const fStack& q)
{
    Owner r = node("--");
    r->addDB(&q);
    return r;
}

// (a·b)' = a·b' + b·a'          A B' * B A' * +
Owner difMult(const fStack& q)
{
    Owner r = node("+");
    r->addPFunc("*");
    r->addDA(&q);
    r->addB(&q);
    r->addPFunc("*");
    r->addDB(&q);
    r->addA(&q);
    return r;
}

// (a / b)' = (b·a' - a·b') / b²     B A' * A B' * - B 2 ^ /
Owner difDivide(const fStack& q)
{
    Owner r = node("/");
    r->addPFunc("^");
    r->addPConst(2);
    r->addB(&q);
    r->addPFunc("-");
    r->addPFunc("*");
    r->addDB(&q);
    r->addA(&q);
    r->addPFunc("*");
    r->addDA(&q);
    r->addB(&q);
    return r;
}

// (1/u)' = -(u' / u²)           U' U 2 ^ / --
Owner difInvert(const fStack& q)
{
    Owner r = node("--");
    r->addPFunc("/");
    r->addPFunc("^");
    r->addPConst(2);
    r->addB(&q);
    r->addDB(&q);
    return r;
}

// Exponent a number c:  (a^c)' = a^(c-1)·a'·c      A (c-1) ^ A' * c *
// Any other exponent:   (a^b)' = a^b·(b·ln a)'     A B ^ D *
//   where D is the derivative of the temporary list B A ln *.
Owner difPower(const fStack& q)
{
    const fStack* exponent = q.previous;
    if (exponent && exponent->isNumber()) {
        const double c = exponent->c;
        Owner r = node("*");
        r->addPConst(c);
        r->addPFunc("*");
        r->addDA(&q);
        r->addPFunc("^");
        r->addPConst(c - 1);
        r->addA(&q);
        return r;
    }
    Owner d;
    {
        Owner product = node("*"); // B A ln *, freed at the end of this block
        product->addPFunc("ln");
        product->addA(&q);
        product->addB(&q);
        d = product->dif();
    }
    Owner r = node("*");
    r->addPrevious(std::move(d));
    r->addPFunc("^");
    r->addB(&q);
    r->addA(&q);
    return r;
}

// --- the chain rule with one outer factor ----------------------------------

// (g(u))' = h(u)·u' for the h given:   U h U' *
Owner outerTimesInner(const fStack& q, const char* h)
{
    Owner r = node("*");
    r->addDB(&q);
    r->addPFunc(h);
    r->addB(&q);
    return r;
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
    Owner r = node("*");
    r->addPFunc("--");
    r->addDB(&q);
    r->addPFunc("sin");
    r->addB(&q);
    return r;
}

// (greater__ u)' = u'·(greater_(u) + 1)   U' U greater_ 1 + *
Owner difGreaterOrNaN(const fStack& q)
{
    Owner r = node("*");
    r->addPFunc("+");
    r->addPConst(1);
    r->addPFunc("greater_");
    r->addB(&q);
    r->addDB(&q);
    return r;
}

// --- quotients u' / something ------------------------------------------------

// (ln u)' = u' / greater__(u)  (NaN where u <= 0)    U' U greater__ /
Owner difLn(const fStack& q)
{
    Owner r = node("/");
    r->addPFunc("greater__");
    r->addB(&q);
    r->addDB(&q);
    return r;
}

// (log u)' = u' / (greater__(u)·ln 10)    U' U greater__ L * /
Owner difLog(const fStack& q)
{
    Owner r = node("/");
    r->addPFunc("*");
    r->addPConst(kLn10);
    r->addPFunc("greater__");
    r->addB(&q);
    r->addDB(&q);
    return r;
}

// (sqrt u)' = u' / (2·sqrt(u))  U' 2 U sqrt * /
Owner difSqrt(const fStack& q)
{
    Owner r = node("/");
    r->addPFunc("*");
    r->addPFunc("sqrt");
    r->addB(&q);
    r->addPConst(2);
    r->addDB(&q);
    return r;
}

// u' / h(u)²:  U' U h 2 ^ /
Owner overSquareOf(const fStack& q, const char* h)
{
    Owner r = node("/");
    r->addPFunc("^");
    r->addPConst(2);
    r->addPFunc(h);
    r->addB(&q);
    r->addDB(&q);
    return r;
}

// (tan u)' = u' / cos(u)²       U' U cos 2 ^ /
Owner difTan(const fStack& q) { return overSquareOf(q, "cos"); }
// (tanh u)' = u' / cosh(u)²     U' U cosh 2 ^ /
Owner difTanh(const fStack& q) { return overSquareOf(q, "cosh"); }

// Prepends "1 U 2 ^ op" (1 ± u²) to r.
void prependOneWithSquare(fStack& r, const fStack& q, const char* op)
{
    r.addPFunc(op);
    r.addPFunc("^");
    r.addPConst(2);
    r.addB(&q);
    r.addPConst(1);
}

// (asin u)' = u' / sqrt(1 - u²)       U' 1 U 2 ^ - sqrt /
Owner difAsin(const fStack& q)
{
    Owner r = node("/");
    r->addPFunc("sqrt");
    prependOneWithSquare(*r, q, "-");
    r->addDB(&q);
    return r;
}

// (acos u)' = -(u' / sqrt(1 - u²))    U' 1 U 2 ^ - sqrt / --
Owner difAcos(const fStack& q)
{
    Owner r = node("--");
    r->addPFunc("/");
    r->addPFunc("sqrt");
    prependOneWithSquare(*r, q, "-");
    r->addDB(&q);
    return r;
}

// (atan u)' = u' / (1 + u²)           U' 1 U 2 ^ + /
Owner difAtan(const fStack& q)
{
    Owner r = node("/");
    prependOneWithSquare(*r, q, "+");
    r->addDB(&q);
    return r;
}

// (asinh u)' = u' / sqrt(1 + u²)      U' 1 U 2 ^ + sqrt /
Owner difAsinh(const fStack& q)
{
    Owner r = node("/");
    r->addPFunc("sqrt");
    prependOneWithSquare(*r, q, "+");
    r->addDB(&q);
    return r;
}

// (acosh u)' = u' / sqrt(u² - 1)      U' U 2 ^ 1 - sqrt /
Owner difAcosh(const fStack& q)
{
    Owner r = node("/");
    r->addPFunc("sqrt");
    r->addPFunc("-");
    r->addPConst(1);
    r->addPFunc("^");
    r->addPConst(2);
    r->addB(&q);
    r->addDB(&q);
    return r;
}

// (atanh u)' = u' / (1 - u²)          U' 1 U 2 ^ - /
Owner difAtanh(const fStack& q)
{
    Owner r = node("/");
    prependOneWithSquare(*r, q, "-");
    r->addDB(&q);
    return r;
}

struct RuleEntry {
    const char* name;
    DerivativeRule rule;
};

const RuleEntry kRules[] = {
    {"x", difX},           {"y", difY},           {"t", difT},          {"r", difR},
    {"f", difF},           {"θ", difF},           {"i", difF},          {"φ", difF},
    {"+", difPlus},        {"-", difMinus},       {"--", difUMinus},    {"*", difMult},
    {"/", difDivide},      {"inv", difInvert},    {"^", difPower},      {"power", difPower},
    {"pow", difPower},     {"exp", difExp},       {"ln", difLn},        {"log", difLog},
    {"sqrt", difSqrt},     {"sin", difSin},       {"cos", difCos},      {"tan", difTan},
    {"tg", difTan},        {"asin", difAsin},     {"arcsin", difAsin},  {"acos", difAcos},
    {"arccos", difAcos},   {"atan", difAtan},     {"arctan", difAtan},  {"arctg", difAtan},
    {"sinh", difSinh},     {"sh", difSinh},       {"cosh", difCosh},    {"ch", difCosh},
    {"tanh", difTanh},     {"th", difTanh},       {"asinh", difAsinh},  {"arsinh", difAsinh},
    {"arsh", difAsinh},    {"acosh", difAcosh},   {"arcosh", difAcosh}, {"arch", difAcosh},
    {"atanh", difAtanh},   {"artanh", difAtanh},  {"arth", difAtanh},   {"abs", difAbs},
    {"||", difAbs},        {"sign", difSign},     {"sgn", difSign},     {"sign_", difSign},
    {"not_", difSign},     {"greater_", difGreater}, {"greater__", difGreaterOrNaN},
    {"notInt", difStep},   {"notInt_", difStep},  {"ceil", difStep},    {"floor", difStep},
    {"[]", difStep},       {"{}", difFract},      {"fract", difFract},  {"fpart", difFract},
};

} // namespace

void registerDerivativeRules(MathEngine& engine)
{
    for (const RuleEntry& e : kRules)
        engine.NameToDIMP_[e.name] = e.rule;
}

fStack::Owner fStack::dif() const
{
    if (isNumber())
        return initWithConst(0);
    DerivativeRule rule = funcName ? MathEngine::sharedEngine().NameToDIMP(*funcName) : nullptr;
    if (!rule)
        throw Error("FunctionNotFound", "Krivie Ruki!", {{"function", funcName.value_or("")}});
    // The length is checked before the rule runs: the rule recurses once per
    // level of the expression, so an over-long list must not reach it.
    if (length() > kMaxInputNodes)
        throw Error("Function is too difficult!");
    if (difDepth >= kMaxDepth)
        throw Error("Function is too difficult!");
    DepthGuard depth;
    Owner result = rule(*this);
    // Every partial derivative ends up in the final one, so once a part is too
    // long the whole is too: stop here rather than keep building.
    if (result->length() > kMaxResultNodes)
        throw Error("Error!", "Function is too complex!");
    return result;
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
        n->funcName = "d";
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
        Owner v = k->copyFirstArg();
        if (v->previous || !v->funcName)
            throw Error("Invalid usage of D(,)!");
        MathEngine::sharedEngine().setDifBase(*v->funcName);
        Owner r;
        {
            Owner f = k->copySecondArg();
            r = f->dif();
        }
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
