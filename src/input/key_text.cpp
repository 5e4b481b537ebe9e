#include "key_text.h"

#include <algorithm>

namespace orlix {

namespace {

// After these, or before them, two words cannot run together.
constexpr std::u32string_view kSeparators = U"1234567890,(){}[]| +-*/^";

bool separates(char32_t c) { return kSeparators.find(c) != std::u32string_view::npos; }

bool isSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\u00A0' || (c >= U'\u2000' && c <= U'\u200B'); }

} // namespace

bool isLetter(char32_t c)
{
    if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'))
        return true;
    if (c >= U'\u00C0' && c <= U'\u024F') // Latin-1 and Latin Extended letters
        return c != U'\u00D7' && c != U'\u00F7';
    if (c >= U'\u0386' && c <= U'\u03FF') // Greek
        return c != U'\u0387';
    return c >= U'\u0400' && c <= U'\u04FF'; // Cyrillic
}

std::optional<TextChange> keyInsertion(const TextEdit& edit, std::u32string_view text)
{
    if (text.empty())
        return std::nullopt;
    const std::size_t from = std::min(edit.selectionStart, edit.text.size());
    const std::size_t to = std::min(from + edit.selectionLength, edit.text.size());
    TextChange change{from, to, std::u32string(text)};
    if (from > 0 && !separates(edit.text[from - 1]) && !separates(text.front()))
        change.insert.insert(change.insert.begin(), U' ');
    return change;
}

std::optional<TextChange> backspaceChange(const TextEdit& edit)
{
    const std::size_t cursor = std::min(edit.selectionStart, edit.text.size());
    if (edit.selectionLength > 0)
        return TextChange{cursor, std::min(cursor + edit.selectionLength, edit.text.size()), {}};
    if (cursor == 0)
        return std::nullopt;
    std::size_t from = cursor - 1;
    if (isLetter(edit.text[from])) {
        while (from > 0 && isLetter(edit.text[from - 1]))
            --from;
        while (from > 0 && isSpace(edit.text[from - 1]))
            --from;
    }
    return TextChange{from, cursor, {}};
}

void apply(TextEdit& edit, const TextChange& change)
{
    edit.text.replace(change.from, change.to - change.from, change.insert);
    edit.selectionStart = change.from + change.insert.size();
    edit.selectionLength = 0;
}

} // namespace orlix
