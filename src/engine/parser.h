// The formula parser, shared by its two users: the parse of a text whose
// bars are all read, and the search for the readings of the bars.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"

namespace orlix::parsing {

inline constexpr std::size_t kOperatorStackSize = 128;
inline constexpr const char* kTooComplex = "Function is too complex!";

// Kinds of the previous token.
enum State : int { Start = 0, Closer = 1, Operand = 2, Operator = 3, FunctionName = 4, Negation = 5 };

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
        sum_ += engine_.stackEffect(name);
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

// The list of a text whose bars are all read ('@' opens, '$' closes);
// throws the syntax error.
fStack::Owner parseOne(std::u32string text);

} // namespace orlix::parsing
