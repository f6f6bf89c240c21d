// Operator codes: the arithmetic and comparison operators that values are
// combined and compared with (values/Transfor.h).  The lexer gives each
// operator token the same number as its code, so an operator read from a
// statement needs no translation table.
#pragma once

#include <cstdint>

namespace qx {

using OperatorCode = std::uint16_t;

constexpr OperatorCode kOpNullTest = 43;      // IS NULL (the number of the NULL keyword)
constexpr OperatorCode kOpPlus = 201;          // "+"
constexpr OperatorCode kOpMinus = 202;         // "-"
constexpr OperatorCode kOpPower = 203;         // "**"
constexpr OperatorCode kOpStar = 204;          // "*" (product, or all columns in a select list)
constexpr OperatorCode kOpSlash = 205;         // "/"
constexpr OperatorCode kOpPercent = 206;       // "%"
constexpr OperatorCode kOpShiftRight = 207;    // ">>"
constexpr OperatorCode kOpShiftLeft = 208;     // "<<"
constexpr OperatorCode kOpNotEqual = 209;      // "<>"
constexpr OperatorCode kOpLessEqual = 210;     // "<="
constexpr OperatorCode kOpGreaterEqual = 211;  // ">="
constexpr OperatorCode kOpLess = 212;          // "<"
constexpr OperatorCode kOpGreater = 213;       // ">"
constexpr OperatorCode kOpDoubleBar = 214;     // "||"
constexpr OperatorCode kOpDoubleAmp = 215;     // "&&"
constexpr OperatorCode kOpBar = 216;           // "|"
constexpr OperatorCode kOpAmp = 217;           // "&"
constexpr OperatorCode kOpCaret = 218;         // "^"
constexpr OperatorCode kOpTilde = 219;         // "~"
constexpr OperatorCode kOpBang = 220;          // "!"
constexpr OperatorCode kOpEqual = 221;         // "="
constexpr OperatorCode kOpFirst = kOpPlus;
constexpr OperatorCode kOpLast = kOpEqual;
constexpr OperatorCode kOpTimes = kOpStar;
constexpr OperatorCode kOpDivide = kOpSlash;

}  // namespace qx
