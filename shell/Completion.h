// Completion: what Tab adds to the word before the cursor at the prompt.
// The candidates are statement words, dot commands, table and item names;
// a word matches when it starts with the typed prefix, whatever its case,
// and is given in lower case when the prefix has no capital letter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qxsql {

struct Completion {
    std::string insert;                 // the text to add after the prefix
    std::vector<std::string> matches;   // every match, sorted, when more than one
};

// The word before `cursor` in `line` that completion works on: letters,
// digits and '_' (and a leading '.' at the start of the line).
std::string_view WordBefore(std::string_view line, std::size_t cursor);

Completion Complete(std::string_view prefix, const std::vector<std::string>& candidates);

// Statement words and dot commands.
const std::vector<std::string>& SqlWords();

}  // namespace qxsql
