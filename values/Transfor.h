// Transfor: the typed operators, comparisons, LIKE match and number/text
// conversions that expression evaluation and the cell conversions use.
//
// A value travels as (operand type code, size in bytes, address).  Operand
// type codes:
//   0 none        1 int16     2 uint16    3 int32     4 uint32    5 int8
//   6, 11 float   7 double    8 text      9 date text (YYYYMMDD or YYMMDD)
//   10 time text (HHMM)
// Numbers are read with memcpy (buffers may be unaligned); texts are
// NUL-terminated.  Operators are the codes of values/Operator.h: 201 +, 202 -, 203 **, 204 *,
// 205 /, 209 <>, 210 <=, 211 >=, 212 <, 213 >, 221 =, and 43 (NULL) for the
// null test.
//
// This module reports no errors: an unsupported combination is a 0 result
// and the evaluator that called raises the message.  It never reads records
// or calls the host; that is the cells' business (values/Cell.h).
#pragma once

#include <cstdint>
#include <string>

#include "values/Operator.h"

namespace qx {

// Operand type codes.
enum OperandType : std::int16_t {
    kOperandNone = 0,
    kOperandInt16 = 1,
    kOperandUInt16 = 2,
    kOperandInt32 = 3,
    kOperandUInt32 = 4,
    kOperandInt8 = 5,
    kOperandFloat = 6,
    kOperandDouble = 7,
    kOperandText = 8,
    kOperandDate = 9,
    kOperandTime = 10,
    kOperandFloatAlt = 11,
};

// Bytes a WriteNumber target must hold: "%lf" of the largest double.
constexpr std::int32_t kNumberTextCapacity = 330;

// A op B.  `typeB` 0 is a unary operation (only minus on a number, and a
// date or time moved by 0).  On success returns 1 and sets the three outputs:
// `*result` is a new block (AllocBlock/AllocLargeBlock) that the caller
// releases with FreeBlock.  Returns 0 and leaves the outputs untouched when
// the combination is not supported or memory is short.
//   numbers      + - * /, computed in doubles, result of A's type (integers
//                truncated toward zero and saturated to the type's range,
//                NaN stores 0; floats rounded).  A / 0 gives 0.
//   texts        + concatenates; type 8, size sizeA + sizeB.
//   date - date  days from B to A (A - B) under the every-fourth-year leap
//                rule, type 1 (saturated to the int16 range).
//   time - time  minutes from B to A within one day (1440 added when
//                negative), written HHMM; type 10, size 5.
//   date +- n    the date moved by trunc(n) days, same text length as A;
//                years outside 0..9999 stop at 00000101 / 99991231.
//   time +- n    the hour moved by trunc(n) mod 24 hours; minutes kept.
std::int16_t ApplyOperator(std::int16_t typeA, std::int32_t sizeA, const void* valueA, std::int16_t op,
                           std::int16_t typeB, std::int32_t sizeB, const void* valueB,
                           std::int16_t* resultType, std::int32_t* resultSize, void** result);

// The number held by an operand of a number type (1-7, 11), as a double; 0
// for any other type.
double ReadOperandNumber(std::int16_t type, const void* value);

// A op B for two numbers already rounded: the comparisons, and the null
// test (A is 0).  0 for any other operator.
std::int16_t NumberRelation(std::int16_t op, double a, double b);

// 1 when "A op B" holds, else 0.  Numbers compare as "%lf" would write them
// (six decimals); texts (8, 9, 10) compare ignoring ASCII letter case, with
// the century of an 8-character date or time skipped against a 6-character
// text.  Operands of different classes never hold.  A missing B (type 0)
// reads as 0 or the empty text.  NULL test (43): A is 0 or the empty text.
std::int16_t CompareTyped(std::int16_t op, std::int16_t typeA, const void* valueA, std::int16_t typeB,
                          const void* valueB);

// Equality keys: byte strings such that two values have equal keys exactly
// when CompareTyped (=, A, B) holds, so that equality can be decided by
// hashing.  Numbers (tag 'N') key on their six-decimal rounding, with -0 as 0;
// plain texts (type 8, tag 'T') on their bytes with ASCII letters folded to
// lower case.  Values whose equality depends on the other operand (dates and
// times, for the century rule) or that compare as an absent value (type 0 or
// no bytes) are not covered.  A NaN equals nothing.
enum class EqualityKeyKind { kKey, kEqualsNothing, kNotCovered };
EqualityKeyKind MakeEqualityKey(std::int16_t type, const void* value, std::string& key);

// The value "%lf" writes for `value`, read back: `value` rounded half-even
// to six decimals on its exact binary value, then to the nearest double.
double RoundToSixDecimals(double value);

// LIKE: "_" matches one character (a UTF-8 sequence counts as one), "%" is
// special only as the first or last pattern character.  Case-sensitive.
std::int16_t MatchLike(const char* value, const char* pattern);

// Writes `real` as text into `target` (kNumberTextCapacity bytes): with
// `digits` 7 the shortest form with 7 significant digits (fixed notation
// when that form has an exponent), otherwise "%lf"; trailing fraction zeros
// and a final point are removed.  Returns the text length.
std::int32_t WriteNumber(char* target, double real, std::int16_t digits);

// Text to double: optional leading sign, "." or "," before the fraction,
// "E"/"e" before a decimal exponent; other characters are skipped.  The
// result is the correctly rounded value of the digits read.
double ReadNumber(const char* text);

// New NUL-terminated copy of the first `length` bytes of `text` (all of it
// when `length` < 1) in *target; 1 on success, 0 (and *target null) when
// `text` is null or memory is short.  The caller frees it with FreeBlock.
std::int16_t DuplicateText(char** target, const char* text, std::int32_t length);

// A zero-filled block of `size` bytes from AllocBlock or, above its limit,
// AllocLargeBlock; released with FreeBlock.
void* AllocValueBlock(std::uint32_t size);

}  // namespace qx
