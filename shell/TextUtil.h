// TextUtil: small text helpers shared by the shell's classes: ASCII case
// folding for keywords and option values, trimming, splitting a dot
// command's words, and the display width of UTF-8 text for alignment.
// No class here; the helpers keep no state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qxsql {

// True when `a` and `b` are equal with ASCII letters folded.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// `text` without leading and trailing blanks (space, tab, CR, LF, FF, VT).
std::string_view Trim(std::string_view text);

// True for the blanks Trim removes.
bool IsBlank(char c);

// Splits a dot command line into words at blanks; a word may be quoted with
// '...' or "..." to hold blanks (the quotes are removed).  False when a
// quote is not closed.
bool SplitWords(std::string_view line, std::vector<std::string>& words);

// Terminal columns `text` (UTF-8) takes: one per character, two for East
// Asian wide and fullwidth characters, none for combining marks and
// zero-width characters; a byte that starts no valid sequence counts as one.
std::size_t DisplayWidth(std::string_view text);

// Reads "on"/"off" (also "1"/"0", "yes"/"no", "true"/"false"); false for anything else.
bool ParseOnOff(std::string_view text, bool& value);

}  // namespace qxsql
