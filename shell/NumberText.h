// NumberText: the text the shell shows for a number: the shortest text that
// reads back to the same value (of a float for single-precision items),
// plain for magnitudes from 1e-5 up to 1e16 and zero, else mantissa and
// exponent ("1e+300", "-2.5e-07").  Negative zero shows as 0.
#pragma once

#include <string>

namespace qxsql {

std::string NumberText(double value, bool single);

}  // namespace qxsql
