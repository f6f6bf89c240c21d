// NumberText: the text the shell shows for a number.  The engine writes
// numbers in plain decimal notation (a value of 1e300 comes as 301 digits),
// and holds them as doubles; the shell shows the shortest text that reads
// back to the same double instead, with an exponent for very large and very
// small magnitudes.
#pragma once

#include <string>
#include <string_view>

namespace qxsql {

// When `text` is a decimal number ("-" optional, digits, "." and digits
// optional), sets `out` to the shortest text of the same double: plain
// notation for magnitudes from 1e-5 up to 1e16 (and zero), else mantissa and
// exponent ("1e+300", "-2.5e-07").  False, with `out` untouched, otherwise.
bool ShortestNumber(std::string_view text, std::string& out);

}  // namespace qxsql
