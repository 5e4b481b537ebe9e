// Formula text → function stack: a single pass with an operator stack, a
// five-valued previous-token state, implicit multiplication and the
// 'sin^2(x)' exponent mode. Absolute-value bars are resolved by trying the
// readings of every remaining bar.
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <locale.h>
#include <unordered_map>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"
#include "orlix/utf8.h"

namespace orlix {

namespace {

constexpr std::size_t kOperatorStackSize = 128;
// Bars are resolved by search; beyond these bounds a formula is refused.
constexpr std::size_t kMaxBars = 256;
constexpr std::size_t kExhaustiveBars = 12;  // up to here every reading is tried
constexpr std::size_t kWorkBudget = 100'000; // characters scanned and entries copied
constexpr int kMaxReadings = 4096;

const char* const kTooComplex = "Function is too complex!";

// Kinds of the previous token.
enum State : int { Start = 0, Closer = 1, Operand = 2, Operator = 3, FunctionName = 4, Negation = 5 };

// Membership in one of the engine's character sets, looked up in a table
// for ASCII (the sets are built once; the table follows them).
class CharClasses {
  public:
    explicit CharClasses(const MathEngine& e)
    {
        const CharSet* sets[] = {&e.breakers,  &e.nums,      &e.lBraces,   &e.rBraces,
                                 &e.operators, &e.variables, &e.mathconsts};
        for (unsigned k = 0; k < std::size(sets); ++k) {
            for (char32_t ch : *sets[k]) {
                if (ch < 128)
                    ascii_[ch] |= static_cast<std::uint8_t>(1u << k);
                else
                    other_.emplace_back(ch, k);
            }
        }
    }
    bool in(const CharSet& set, char32_t ch) const
    {
        const MathEngine& e = MathEngine::sharedEngine();
        const unsigned k = &set == &e.breakers    ? 0
                           : &set == &e.nums      ? 1
                           : &set == &e.lBraces   ? 2
                           : &set == &e.rBraces   ? 3
                           : &set == &e.operators ? 4
                           : &set == &e.variables ? 5
                                                  : 6;
        if (ch < 128)
            return ascii_[ch] & (1u << k);
        for (const auto& [c, kk] : other_)
            if (c == ch && kk == k)
                return true;
        return false;
    }

  private:
    std::uint8_t ascii_[128] = {};
    std::vector<std::pair<char32_t, unsigned>> other_;
};

bool in(const CharSet& set, char32_t ch)
{
    static const CharClasses classes(MathEngine::sharedEngine());
    return classes.in(set, ch);
}
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

struct StackEntry {
    int prio;
    std::string name;
};

class Parser {
  public:
    enum class Mode { Build, Probe };

    Parser(std::shared_ptr<const std::u32string> text, Mode mode, bool stopAtBars)
        : engine_(MathEngine::sharedEngine()), text_(std::move(text)), mode_(mode), stopAtBars_(stopAtBars)
    {
        if (mode_ == Mode::Build) {
            out_ = fStack::placeholder();
            tail_ = out_.get();
        }
    }

    enum class Stop { End, Bar, Failed };
    // Parses on to the end of the text (End), or, when stopping at bars, to
    // the next '|' (Bar). A syntax failure throws when building; a probe
    // answers Failed instead, since the bar search meets many failing
    // readings and a throw per reading is costly.
    Stop run();
    // Reads the bar at the scan position as an opener ('@') or closer ('$').
    void chooseBar(char32_t ch) { chosen_.emplace_back(pos_, ch); }
    // The end of a parse: drops the placeholder, applies the rewrites and
    // checks the balance.
    fStack::Owner finish();

    bool balanced() const { return sum_ == 1; }
    // Everything that decides how the rest of the text parses.
    std::string key() const;
    // The text with the bars read so far replaced by their readings.
    std::u32string text() const;
    // A measure of the work a copy and a run of this parser cost.
    std::size_t size() const { return stack_.size() + inserted_.size() + chosen_.size() + 1; }
    std::size_t position() const { return pos_; }

    Parser(const Parser& other)
        : engine_(other.engine_), text_(other.text_), chosen_(other.chosen_), pos_(other.pos_),
          pendingStar_(other.pendingStar_), inserted_(other.inserted_), stack_(other.stack_), state_(other.state_),
          modeNum_(other.modeNum_), sum_(other.sum_), lastNamed_(other.lastNamed_), failed_(other.failed_),
          mode_(other.mode_), stopAtBars_(other.stopAtBars_)
    {
        // Only probes are copied; they build no nodes.
    }

  private:
    // --- scanner: the text with implicit '*' inserted, without copying it
    // The character at i, with the readings chosen for bars.
    char32_t at(std::size_t i) const
    {
        const char32_t ch = (*text_)[i];
        if (ch != U'|' || chosen_.empty())
            return ch;
        auto it = std::lower_bound(chosen_.begin(), chosen_.end(), std::make_pair(i, char32_t{0}));
        return it != chosen_.end() && it->first == i ? it->second : ch;
    }
    std::size_t length() const { return text_->size(); }
    char32_t peek() const { return pendingStar_ ? U'*' : at(pos_); }
    bool atEnd() const { return !pendingStar_ && pos_ >= length(); }
    void advance()
    {
        if (pendingStar_)
            pendingStar_ = false;
        else
            ++pos_;
    }
    void insertStar()
    {
        inserted_.push_back(pos_);
        pendingStar_ = true;
    }
    std::size_t location() const { return pos_ + inserted_.size() - (pendingStar_ ? 1 : 0); }
    std::string currentText() const;
    UserInfo info() const
    {
        if (mode_ == Mode::Probe)
            return {}; // a probe's failures are only counted
        return {{"string", currentText()}, {"position", static_cast<long long>(location())}};
    }
    // A failure: thrown when building, noted when probing. The caller
    // returns at once; run() stops at the top of its loop.
    void fail(const char* reason)
    {
        if (mode_ == Mode::Probe)
            failed_ = true;
        else
            throw Error(reason);
    }
    void syntaxError(const std::string& reason)
    {
        if (mode_ == Mode::Probe)
            failed_ = true;
        else
            throw Error("Syntax Error!", reason, info());
    }
    void failUnbalanced(const char* reason)
    {
        if (mode_ == Mode::Probe)
            failed_ = true;
        else
            throw Error("Syntax Error!", reason);
    }

    // --- output
    void appendName(const std::string& name)
    {
        sum_ += engine_.NameToNumOfArgs(name);
        lastNamed_ = true;
        if (mode_ == Mode::Build)
            tail_ = tail_->addFunc(name);
    }
    void appendNumber(double v)
    {
        sum_ += 1;
        lastNamed_ = false;
        if (mode_ == Mode::Build)
            tail_ = tail_->addConst(v);
    }

    // --- operator stack
    void push(int prio, std::string name)
    {
        if (stack_.size() >= kOperatorStackSize)
            return syntaxError(kTooComplex);
        stack_.push_back({prio, std::move(name)});
    }

    void implicitMultiplicationOrExponent()
    {
        if (modeNum_ == 1)
            exponentRewrite();
        else
            insertStar();
    }
    void exponentRewrite();
    void operatorOrCloser(char32_t ch);
    void word();
    double readNumberAt(std::size_t& p, bool allowSign) const;

    MathEngine& engine_;
    std::shared_ptr<const std::u32string> text_;
    std::vector<std::pair<std::size_t, char32_t>> chosen_; // bar readings, by position
    std::size_t pos_ = 0;
    bool pendingStar_ = false;
    std::vector<std::size_t> inserted_;
    std::vector<StackEntry> stack_;
    int state_ = Start;
    int modeNum_ = 0;
    int sum_ = 0;
    bool lastNamed_ = false;
    bool failed_ = false;
    Mode mode_;
    bool stopAtBars_;
    fStack::Owner out_;
    fStack* tail_ = nullptr;
};

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
            pending += engine_.NameToNumOfArgs(e.name);
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

        if (in(engine_.nums, ch)) {
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
        } else if (in(engine_.lBraces, ch)) {
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
        } else if (in(engine_.operators, ch) || in(engine_.rBraces, ch)) {
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
    const bool isCloser = in(engine_.rBraces, ch);
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
    while (end < length() && !in(engine_.breakers, at(end)))
        ++end;
    pos_ = end;
    const char32_t typed = at(start);
    std::u32string lower;
    for (std::size_t i = start; i < end; ++i)
        lower.push_back(utf8::toLower(at(i)));
    const std::string name = utf8::encode(lower);
    const bool single = end - start == 1;

    if (single && in(engine_.variables, typed)) {
        appendName(utf8::encode(typed));
        state_ = Operand;
    } else if (single && in(engine_.mathconsts, typed)) {
        appendNumber(engine_.NameToConst(utf8::encode(typed)));
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
        appendNumber(engine_.NameToConst("pi"));
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

// Bar resolution. Every remaining bar is read as an opener or a closer; a
// memoised probe tells which choices can still lead to a reading that parses
// and balances, so only those readings are parsed in full. With few bars
// this gives exactly the answers of trying every reading; past that, the
// search has a budget of work and a formula beyond it is refused.
class BarResolver {
  public:
    explicit BarResolver(std::u32string text)
        : text_(std::make_shared<const std::u32string>(std::move(text))),
          bounded_(static_cast<std::size_t>(std::count(text_->begin(), text_->end(), U'|')) > kExhaustiveBars)
    {
    }

    std::vector<fStack::Owner> solutions()
    {
        Parser root(text_, Parser::Mode::Probe, true);
        explore(root);
        return std::move(found_);
    }

  private:
    // Runs p on to its next bar or the end; false when it fails.
    bool advance(Parser& p, bool& end)
    {
        const std::size_t from = p.position();
        const Parser::Stop stop = p.run();
        if (stop == Parser::Stop::Failed)
            return false;
        end = stop == Parser::Stop::End;
        charge(p.position() - from + p.size());
        return true;
    }

    void charge(std::size_t work)
    {
        work_ += work;
        if (bounded_ && work_ > kWorkBudget)
            throw Error(kTooComplex);
    }

    // Whether some reading of the bars after this point parses.
    bool viable(Parser& p)
    {
        bool end = false;
        if (!advance(p, end))
            return false;
        if (end)
            return p.balanced();
        std::string k = p.key();
        auto it = memo_.find(k);
        if (it != memo_.end())
            return it->second;
        bool ok = false;
        for (char32_t choice : {U'@', U'$'}) {
            Parser q(p);
            q.chooseBar(choice);
            if (viable(q)) {
                ok = true;
                break;
            }
        }
        memo_.emplace(std::move(k), ok);
        return ok;
    }

    // Parses in full every viable reading, until two succeed.
    void explore(Parser& p)
    {
        if (found_.size() >= 2)
            return;
        bool end = false;
        if (!advance(p, end))
            return;
        if (end) {
            if (++readings_ > kMaxReadings)
                throw Error(kTooComplex);
            // Only whether the reading parses matters here: two readings
            // make the formula ambiguous and neither is used, so the one
            // kept is simplified once the search is over.
            try {
                fStack::Owner reading = parseOne(p.text());
                if (fStack::simplifiable(*reading))
                    found_.push_back(std::move(reading));
            } catch (const Error&) {
            }
            return;
        }
        for (char32_t choice : {U'@', U'$'}) {
            Parser q(p);
            q.chooseBar(choice);
            Parser probe(q);
            if (viable(probe))
                explore(q);
        }
    }

    std::shared_ptr<const std::u32string> text_;
    bool bounded_;
    std::unordered_map<std::string, bool> memo_;
    std::vector<fStack::Owner> found_;
    int readings_ = 0;
    std::size_t work_ = 0;
};

} // namespace

int fStack::containsModuleSymbols(std::string_view text)
{
    const auto bars = std::count(text.begin(), text.end(), '|');
    if (bars == 0)
        return 0;
    return bars % 2 == 0 ? 1 : -1;
}

fStack::Owner fStack::justCreateWithString(std::string_view text) { return parseOne(utf8::decode(text)); }

std::vector<fStack::Owner> fStack::solutionsForString(std::string_view text)
{
    std::u32string t = utf8::decode(text);
    if (static_cast<std::size_t>(std::count(t.begin(), t.end(), U'|')) > kMaxBars)
        throw Error(kTooComplex);
    return BarResolver(std::move(t)).solutions();
}

fStack::Owner fStack::createWithString(std::string_view text)
{
    const int bars = containsModuleSymbols(text);
    if (bars == -1)
        throw Error("Bad braces order!");
    if (bars == 0)
        return optimize(justCreateWithString(text));
    std::string first(text);
    first[first.find('|')] = '@'; // the first bar can only open
    std::vector<Owner> found = solutionsForString(first);
    if (found.size() == 1)
        return optimize(std::move(found.front()));
    if (found.size() > 1)
        throw Error("Function is ambiguous!");
    throw Error("Bad braces order!");
}

} // namespace orlix
