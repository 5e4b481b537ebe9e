// What a key does to the text of the field being edited: a key's text goes
// in at the cursor, with a space in front where two words would run
// together, and backspace takes a whole name at once. Code points
// throughout; the field maps them to its own positions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orlix {

// The edited text, its cursor and its selection (the cursor is the
// selection's start when nothing is selected).
struct TextEdit {
    std::u32string text;
    std::size_t selectionStart = 0;
    std::size_t selectionLength = 0;
};

// One change of a text: the code points [from, to) give way to insert.
struct TextChange {
    std::size_t from = 0;
    std::size_t to = 0;
    std::u32string insert;
    bool operator==(const TextChange&) const = default;
};

// Letters of any script the keyboard and the formulas use (Latin, Greek,
// Cyrillic): backspace takes a run of them as one word.
bool isLetter(char32_t c);

// The change a key with text makes: the text replaces the selection, with a
// space in front when the character before it and the text's first
// character are both outside "1234567890,(){}[]| +-*/^" ('x' then 'y' gives
// 'x y', '2' then 'x' gives '2x', 'sin' then '(' gives 'sin('). Nothing for
// an empty text.
std::optional<TextChange> keyInsertion(const TextEdit& edit, std::u32string_view text);

// The change backspace makes: the selection; else, after a letter, the run
// of letters before the cursor with the white space in front of it ('2 sin'
// gives '2'); else the one character before the cursor. Nothing at the
// start of the text.
std::optional<TextChange> backspaceChange(const TextEdit& edit);

// Applies a change; the cursor ends after the inserted text.
void apply(TextEdit& edit, const TextChange& change);

} // namespace orlix
