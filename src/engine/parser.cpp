// Formula text → function stack: a single pass with an operator stack, a
// five-valued previous-token state, implicit multiplication and the
// 'sin^2(x)' exponent mode. Absolute-value bars are read by the search in
// bar_search.cpp, which runs this parser on each reading.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <locale.h>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/utf8.h"
#include "parser.h"

namespace orlix {

namespace {

using namespace parsing;

bool in(CharClass set, char32_t ch) { return MathEngine::sharedEngine().isIn(set, ch); }
bool isDigit(char32_t ch) { return ch >= U'0' && ch <= U'9'; }
bool isSpace(char32_t ch) { return ch == U' ' || ch == U'\t' || ch == U'\n' || ch == U'\r'; }

double parseDouble(const std::string& ascii)
{
    static locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(ascii.c_str(), nullptr, c);
}

// The longest decimal literal at p (digits, fraction, exponent); returns its
// end, or p when there is none.
std::size_t scanDecimal(const std::u32string& t, std::size_t p)
{
    std::size_t q = p;
    bool digits = false;
    while (q < t.size() && isDigit(t[q]))
        ++q, digits = true;
    if (q < t.size() && t[q] == U'.') {
        ++q;
        while (q < t.size() && isDigit(t[q]))
            ++q, digits = true;
    }
    if (!digits)
        return p;
    if (q < t.size() && (t[q] == U'e' || t[q] == U'E')) {
        std::size_t r = q + 1;
        if (r < t.size() && (t[r] == U'+' || t[r] == U'-'))
            ++r;
        if (r < t.size() && isDigit(t[r])) {
            while (r < t.size() && isDigit(t[r]))
                ++r;
            q = r;
        }
    }
    return q;
}

} // namespace

namespace parsing {

std::string Parser::currentText() const
{
    std::u32string t;
    t.reserve(length() + inserted_.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i <= length(); ++i) {
        while (k < inserted_.size() && inserted_[k] == i)
            t.push_back(U'*'), ++k;
        if (i < length())
            t.push_back(at(i));
    }
    return utf8::encode(t);
}

std::u32string Parser::text() const
{
    std::u32string t = *text_;
    for (const auto& [pos, ch] : chosen_)
        t[pos] = ch;
    return t;
}

std::string Parser::key() const
{
    // Whether the rest of the text parses and balances depends on the
    // brackets left open and on the stack effect of everything still to be
    // appended, not on which operators are pending. The whole stack counts
    // only inside an exponent or where it could still reach its limit.
    const bool whole = modeNum_ != 0 || stack_.size() + 2 * (length() - pos_) >= kOperatorStackSize;
    int pending = sum_;
    std::string brackets;
    for (const StackEntry& e : stack_) {
        if (whole || e.prio <= 1) {
            brackets += '\x1f';
            brackets += e.name;
        } else {
            pending += engine_.stackEffect(e.name);
        }
    }
    return std::to_string(pos_) + ':' + std::to_string(state_) + ':' + std::to_string(modeNum_) + ':' +
           std::to_string(pending) + ':' + (lastNamed_ ? '1' : '0') + (pendingStar_ ? '1' : '0') + brackets;
}

double Parser::readNumberAt(std::size_t& p, bool allowSign) const
{
    std::size_t start = p;
    std::size_t q = p;
    if (allowSign && q < length() && (at(q) == U'+' || at(q) == U'-'))
        ++q;
    std::size_t end = scanDecimal(*text_, q);
    if (end == q)
        return std::numeric_limits<double>::quiet_NaN();
    std::string ascii;
    for (std::size_t i = start; i < end; ++i)
        ascii.push_back(static_cast<char>(at(i)));
    p = end;
    return parseDouble(ascii);
}

Parser::Stop Parser::run()
{
    for (;;) {
        if (failed_)
            return Stop::Failed;
        while (!atEnd() && !pendingStar_ && isSpace(at(pos_)))
            ++pos_;
        if (atEnd())
            break;
        const char32_t ch = peek();
        if (stopAtBars_ && !pendingStar_ && ch == U'|')
            return Stop::Bar;

        if (in(CharClass::digit, ch)) {
            if (state_ == Closer || state_ == Operand) {
                implicitMultiplicationOrExponent();
                continue;
            }
            std::size_t p = pos_;
            double v = readNumberAt(p, false);
            if (p == pos_) {
                fail("Wrong Syntax!");
                continue;
            }
            pos_ = p;
            appendNumber(v);
            state_ = Operand;
        } else if (in(CharClass::openBrace, ch)) {
            if (state_ == Closer || state_ == Operand) {
                implicitMultiplicationOrExponent();
                continue;
            }
            if (modeNum_ != 0)
                ++modeNum_;
            advance();
            push(0, utf8::encode(ch));
            if (failed_)
                continue;
            state_ = Start;
        } else if (in(CharClass::operatorSign, ch) || in(CharClass::closeBrace, ch)) {
            operatorOrCloser(ch);
        } else {
            if (state_ == Closer || state_ == Operand) {
                implicitMultiplicationOrExponent();
                continue;
            }
            word();
        }
    }

    // The end: everything left on the stack goes to the output.
    while (!stack_.empty()) {
        StackEntry e = std::move(stack_.back());
        stack_.pop_back();
        if (e.prio <= 1) {
            failUnbalanced(e.prio == 0 ? "Too many opening braces!" : "Too many closing braces!");
            return Stop::Failed;
        }
        appendName(e.name);
    }
    return Stop::End;
}

void Parser::operatorOrCloser(char32_t ch)
{
    const bool isCloser = in(CharClass::closeBrace, ch);
    std::string op = utf8::encode(ch);
    advance();

    if (ch != U'-' && modeNum_ == 1)
        return fail(ch == U'^' ? "Too complicated syntax!" : "Wrong Syntax!");

    int prio = 0;
    int next = Operator;
    if (ch == U'-' && (state_ == Closer || state_ == Operand || state_ == Negation)) {
        if (modeNum_ == 1) {
            // 'sin^2-x': the exponent ends here; the '-' starts the argument.
            --pos_;
            exponentRewrite();
            return;
        }
    } else if (ch == U'-') {
        op = "--";
        prio = 5;
        next = Negation;
    }
    if (ch == U'^' && state_ == FunctionName) {
        if (modeNum_ != 0)
            return fail("Too complicated syntax!");
        modeNum_ = 1;
    }
    if (next != Negation) {
        if (state_ == Start || state_ == Operator || state_ == Negation || (state_ == FunctionName && ch != U'^'))
            return syntaxError("Wronggg Syntax!");
        if (isCloser)
            prio = 1, next = Closer;
        else
            prio = (ch == U'+' || ch == U'-') ? 2 : (ch == U'*' || ch == U'/') ? 3 : 5;
    }

    if (stack_.empty()) {
        push(prio, std::move(op)); // a closer pushed here is reported at the end
        if (!failed_)
            state_ = next;
        return;
    }
    if (prio != 5) {
        while (!stack_.empty() && stack_.back().prio >= prio) {
            StackEntry e = std::move(stack_.back());
            stack_.pop_back();
            appendName(e.name);
        }
    }
    if (!isCloser) {
        push(prio, std::move(op));
        if (!failed_)
            state_ = next;
        return;
    }

    if (modeNum_ != 0)
        --modeNum_;
    if (stack_.empty())
        return syntaxError(formatMessage("Too many closing braces:'%@' at the end!", {op}));
    const std::string& opener = stack_.back().name;
    if (op == "," && opener == "(") {
        state_ = Start;
        return;
    }
    if (op == ")" && opener == "(") {
        stack_.pop_back();
    } else if (op == "]" && opener == "[") {
        stack_.pop_back();
        appendName("[]");
    } else if (op == "}" && opener == "{") {
        stack_.pop_back();
        appendName("{}");
    } else if (op == "$" && opener == "@") {
        stack_.pop_back();
        appendName("||");
    } else if (op == "$") {
        return syntaxError(formatMessage("'%@' in wrong position!", {"$"}));
    } else {
        return syntaxError(formatMessage("Wrong braces order! '%@' after '%@'!", {op, opener}));
    }
    // A bracketed argument completes its function: 'sin(x)^2' is sin(x)
    // squared and 'pow(2,3)^2' is 64, as written.
    if (!stack_.empty() && stack_.back().prio == 5 && stack_.back().name != "^" && stack_.back().name != "--" &&
        stack_.back().name != "^'") {
        appendName(stack_.back().name);
        stack_.pop_back();
    }
    state_ = next;
}

void Parser::word()
{
    const std::size_t start = pos_;
    std::size_t end = start + 1; // a word is at least one character
    while (end < length() && !in(CharClass::breaker, at(end)))
        ++end;
    pos_ = end;
    const char32_t typed = at(start);
    std::u32string lower;
    for (std::size_t i = start; i < end; ++i)
        lower.push_back(utf8::toLower(at(i)));
    const std::string name = utf8::encode(lower);
    const bool single = end - start == 1;

    if (single && in(CharClass::variable, typed)) {
        appendName(utf8::encode(typed));
        state_ = Operand;
    } else if (single && in(CharClass::mathConstant, typed)) {
        appendNumber(engine_.constantValue(utf8::encode(typed)));
        state_ = Operand;
    } else if (name == "e") {
        // An upper-case 'E': the exponent of the number before it.
        const char* wrong = "Symbol 'E' is used in wrong context!";
        if (lastNamed_)
            return fail(wrong);
        std::size_t p = pos_;
        double n = readNumberAt(p, true);
        if (p == pos_)
            return fail(wrong);
        pos_ = p;
        if (mode_ == Mode::Build)
            tail_->c *= std::pow(10.0, n);
    } else if (name == "pi") {
        appendNumber(engine_.constantValue("pi"));
        state_ = Operand;
    } else if (name == "inf") {
        appendNumber(std::numeric_limits<double>::infinity());
        state_ = Operand;
    } else {
        // Words are looked up in lower case; the two auxiliary names with
        // capitals would otherwise be out of reach.
        if (name == "notint")
            push(5, "notInt");
        else if (name == "notint_")
            push(5, "notInt_");
        else
            push(5, name);
        state_ = FunctionName;
    }
}

void Parser::exponentRewrite()
{
    while (!stack_.empty() && stack_.back().name != "^") {
        StackEntry e = std::move(stack_.back());
        stack_.pop_back();
        appendName(e.name);
    }
    if (stack_.size() < 2)
        return fail("Wrong Syntax!");
    // [..., name, ^] becomes [..., ^', name]: the function applies to the
    // argument that follows, then the power.
    StackEntry function = std::move(stack_[stack_.size() - 2]);
    stack_[stack_.size() - 2] = {5, "^'"};
    stack_.back() = std::move(function);
    modeNum_ = 0;
    state_ = FunctionName;
}

fStack::Owner Parser::finish()
{
    fStack* body = out_->next;
    if (!body)
        throw Error("Syntax Error!", "Wrong Syntax!");
    body->previous = nullptr;
    out_->next = nullptr;
    out_.reset(); // frees the placeholder alone
    fStack::Owner list(body);
    list = fStack::replacePower(std::move(list));
    list = fStack::replaceLogn(std::move(list));
    list = fStack::replaceDerivative(std::move(list));
    if (!list->isOK())
        throw Error("Syntax Error!", "Wrong Syntax!");
    return list;
}

fStack::Owner parseOne(std::u32string text)
{
    Parser p(std::make_shared<const std::u32string>(std::move(text)), Parser::Mode::Build, false);
    p.run();
    return p.finish();
}

} // namespace parsing

fStack::Owner fStack::justCreateWithString(std::string_view text) { return parseOne(utf8::decode(text)); }

} // namespace orlix
