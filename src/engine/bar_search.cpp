// The readings of absolute-value bars: each bar left in a formula is read
// as an opener or a closer, and the formula stands when exactly one reading
// parses.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/utf8.h"
#include "parser.h"

namespace orlix {

namespace {

using namespace parsing;

// Bars are resolved by search; beyond these bounds a formula is refused.
constexpr std::size_t kMaxBars = 256;
constexpr std::size_t kExhaustiveBars = 12;  // up to here every reading is tried
constexpr std::size_t kWorkBudget = 100'000; // characters scanned and entries copied
constexpr int kMaxReadings = 4096;

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
