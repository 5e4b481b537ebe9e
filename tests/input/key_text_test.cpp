#include "key_text.h"

#include <gtest/gtest.h>

#include <vector>

#include "orlix/utf8.h"

using namespace orlix;

namespace {

struct EditCase {
    const char* before;
    int cursor; // -1: at the end
    int selected;
    const char* key; // nullptr: backspace
    const char* after;
};

// Runs a key (or backspace) on a text and returns the text, with '|' where
// the cursor ends.
std::string run(const EditCase& c)
{
    TextEdit e;
    e.text = utf8::decode(c.before);
    e.selectionStart = c.cursor < 0 ? e.text.size() : static_cast<std::size_t>(c.cursor);
    e.selectionLength = static_cast<std::size_t>(c.selected);
    const auto change = c.key ? keyInsertion(e, utf8::decode(c.key)) : backspaceChange(e);
    if (change)
        apply(e, *change);
    std::u32string shown = e.text;
    shown.insert(e.selectionStart, 1, U'|');
    return utf8::encode(shown);
}

TEST(KeyText, KeysGoInAtTheCursorWithASpaceBetweenWords)
{
    const std::vector<EditCase> cases = {
        {"x", -1, 0, "y", "x y|"},       // read as x*y
        {"2", -1, 0, "x", "2x|"},        // a number and a word
        {"sin", -1, 0, "(", "sin(|"},    // no space before a brace
        {"x", -1, 0, "sin", "x sin|"},   //
        {"sin", -1, 0, "x", "sin x|"},   //
        {"", 0, 0, "sin", "sin|"},       // nothing in front
        {"x+", -1, 0, "y", "x+y|"},      // after an operator
        {"x", -1, 0, "^2", "x^2|"},      // the key starts with an operator
        {"2", -1, 0, "π", "2π|"},        //
        {"π", -1, 0, "e", "π e|"},       // Greek letters are words too
        {"x", -1, 0, ".", "x .|"},       // the point is no separator
        {"x+", 1, 0, "y", "x y|+"},      // in the middle
        {"x+y", 2, 1, "sin", "x+sin|"},  // the selection is replaced
        {"abs(x)", 0, 6, "x", "x|"},     // all of it
        {"x", -1, 0, " ", "x |"},        // the space key
        {"ln", -1, 0, "{", "ln{|"},      //
        {"x", -1, 0, "", "x|"},          // nothing to insert
    };
    for (const EditCase& c : cases)
        EXPECT_EQ(run(c), c.after) << c.before << " + " << c.key;
}

TEST(KeyText, BackspaceTakesAWholeName)
{
    const std::vector<EditCase> cases = {
        {"cos(x)+sin", -1, 0, nullptr, "cos(x)+|"},
        {"x+θ", -1, 0, nullptr, "x+|"},
        {"2 sin", -1, 0, nullptr, "2|"},  // with the space in front
        {"x y", -1, 0, nullptr, "x|"},    //
        {"x+1", -1, 0, nullptr, "x+|"},   // one character otherwise
        {"sin(", -1, 0, nullptr, "sin|"}, //
        {"2 ", -1, 0, nullptr, "2|"},     //
        {"", 0, 0, nullptr, "|"},         // nothing at the start
        {"x", 0, 0, nullptr, "|x"},       //
        {"sin(x)", 3, 0, nullptr, "|(x)"}, // the word before the cursor
        {"x+y", 0, 2, nullptr, "|y"},     // a selection goes whole
        {"x+πe", -1, 0, nullptr, "x+|"},  // letters of two scripts
    };
    for (const EditCase& c : cases)
        EXPECT_EQ(run(c), c.after) << c.before;
}

} // namespace
