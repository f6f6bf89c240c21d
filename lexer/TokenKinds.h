// TokenKinds: the 16-bit token kind codes of the SQL dialect.
//
// A token is a pair (kind, text).  The codes below are what the tokenizer
// leaves in the Lexer, what the grammar tests, and what the leaves of the
// syntax tree carry as their kind, so every later stage compares against
// these names.  The numbering is fixed: a keyword's code is its place in the
// Lexer's keyword table plus 1, punctuation is 151 + its place, operators
// 201 + their place.  The tables themselves (the spellings) live in Lexer.
#pragma once

#include <cstdint>

#include "values/Operator.h"

namespace qx {

using TokenKind = std::uint16_t;
static_assert(sizeof(TokenKind) == sizeof(OperatorCode));

// Nothing scanned yet: every scan starts by setting this kind.
constexpr TokenKind kTokNone = 0;

// Keywords, 1..74.  The token text of a keyword is its table spelling
// (upper case, two-word keywords with one blank).
constexpr TokenKind kKwAll = 1;            // "ALL"
constexpr TokenKind kKwAnd = 2;            // "AND"
constexpr TokenKind kKwAny = 3;            // "ANY"
constexpr TokenKind kKwAs = 4;             // "AS"
constexpr TokenKind kKwAvg = 5;            // "AVG"
constexpr TokenKind kKwBetween = 6;        // "BETWEEN"
constexpr TokenKind kKwCascade = 7;        // "CASCADE"
constexpr TokenKind kKwCountStar = 8;      // "COUNT(*)", written without blanks
constexpr TokenKind kKwCountDistinct = 9;  // "COUNT DISTINCT"
constexpr TokenKind kKwTable = 10;         // "TABLE"
constexpr TokenKind kKwView = 11;          // "VIEW"
constexpr TokenKind kKwCurrentTime = 12;   // "CURRENT TIME"
constexpr TokenKind kKwCurrentDate = 13;   // "CURRENT DATE"
constexpr TokenKind kKwDate = 14;          // "DATE"
constexpr TokenKind kKwDay = 15;           // "DAY"
constexpr TokenKind kKwDecimal = 16;       // "DECIMAL"
constexpr TokenKind kKwDefault = 17;       // "DEFAULT"
constexpr TokenKind kKwDeleteFrom = 18;    // "DELETE FROM"
constexpr TokenKind kKwDigits = 19;        // "DIGITS"
constexpr TokenKind kKwDistinct = 20;      // "DISTINCT"
constexpr TokenKind kKwDropTable = 21;     // "DROP TABLE"
constexpr TokenKind kKwDropView = 22;      // "DROP VIEW"
constexpr TokenKind kKwExcept = 23;        // "EXCEPT"
constexpr TokenKind kKwExists = 24;        // "EXISTS"
constexpr TokenKind kKwFloat = 25;         // "FLOAT"
constexpr TokenKind kKwFrom = 26;          // "FROM"
constexpr TokenKind kKwGroupBy = 27;       // "GROUP BY"
constexpr TokenKind kKwHaving = 28;        // "HAVING"
constexpr TokenKind kKwHex = 29;           // "HEX"
constexpr TokenKind kKwHour = 30;          // "HOUR"
constexpr TokenKind kKwInsertInto = 31;    // "INSERT INTO"
constexpr TokenKind kKwInteger = 32;       // "INTEGER"
constexpr TokenKind kKwIntersect = 33;     // "INTERSECT"
constexpr TokenKind kKwIn = 34;            // "IN"
constexpr TokenKind kKwIs = 35;            // "IS"
constexpr TokenKind kKwLength = 36;        // "LENGTH"
constexpr TokenKind kKwLike = 37;          // "LIKE"
constexpr TokenKind kKwMatch = 38;         // "MATCH"
constexpr TokenKind kKwMax = 39;           // "MAX"
constexpr TokenKind kKwMinute = 40;        // "MINUTE"
constexpr TokenKind kKwMin = 41;           // "MIN"
constexpr TokenKind kKwNot = 42;           // "NOT"
constexpr TokenKind kKwNull = 43;          // "NULL"
constexpr TokenKind kKwOrderBy = 44;       // "ORDER BY"
constexpr TokenKind kKwOr = 45;            // "OR"
constexpr TokenKind kKwRestrict = 46;      // "RESTRICT"
constexpr TokenKind kKwSecond = 47;        // "SECOND"
constexpr TokenKind kKwSelect = 48;        // "SELECT"
constexpr TokenKind kKwSet = 49;           // "SET"
constexpr TokenKind kKwSome = 50;          // "SOME"
constexpr TokenKind kKwSum = 51;           // "SUM"
constexpr TokenKind kKwTime = 52;          // "TIME"
constexpr TokenKind kKwUnion = 53;         // "UNION"
constexpr TokenKind kKwUnique = 54;        // "UNIQUE"
constexpr TokenKind kKwUpdate = 55;        // "UPDATE"
constexpr TokenKind kKwValues = 56;        // "VALUES"
constexpr TokenKind kKwWhere = 57;         // "WHERE"
constexpr TokenKind kKwWith = 58;          // "WITH"
constexpr TokenKind kKwYear = 59;          // "YEAR"
constexpr TokenKind kKwAsc = 60;           // "ASC"
constexpr TokenKind kKwDesc = 61;          // "DESC"
constexpr TokenKind kKwSmallint = 62;      // "SMALLINT"
constexpr TokenKind kKwReal = 63;          // "REAL"
constexpr TokenKind kKwDouble = 64;        // "DOUBLE"
constexpr TokenKind kKwChar = 65;          // "CHAR"
constexpr TokenKind kKwVarchar = 66;       // "VARCHAR"
constexpr TokenKind kKwPrimaryKey = 67;    // "PRIMARY KEY"
constexpr TokenKind kKwPrecision = 68;     // "PRECISION"
constexpr TokenKind kKwBigint = 69;        // "BIGINT"
constexpr TokenKind kKwTinyint = 70;       // "TINYINT"
constexpr TokenKind kKwCreate = 71;        // "CREATE"
constexpr TokenKind kKwIndex = 72;         // "INDEX"
constexpr TokenKind kKwOn = 73;            // "ON"
constexpr TokenKind kKwForeignKey = 74;    // "FOREIGN KEY"
constexpr TokenKind kKwFirst = kKwAll;
constexpr TokenKind kKwLast = kKwForeignKey;

// Numbers, text as written.
constexpr TokenKind kTokInteger = 101;        // digits
constexpr TokenKind kTokSignedInteger = 102;  // "+" or "-" then digits (signed scans only)
constexpr TokenKind kTokDecimal = 103;        // integer part, ".", optional digits
constexpr TokenKind kTokExponent = 104;       // integer or decimal, "E"/"e", optionally signed digits

// Punctuation, 151..159, text the one character.
constexpr TokenKind kPunDot = 151;           // "."
constexpr TokenKind kPunColon = 152;         // ":"
constexpr TokenKind kPunSemicolon = 153;     // ";"
constexpr TokenKind kPunComma = 154;         // ","
constexpr TokenKind kPunQuestion = 155;      // "?"
constexpr TokenKind kPunLeftParen = 156;     // "("
constexpr TokenKind kPunRightParen = 157;    // ")"
constexpr TokenKind kPunLeftBracket = 158;   // "["
constexpr TokenKind kPunRightBracket = 159;  // "]"
constexpr TokenKind kPunFirst = kPunDot;
constexpr TokenKind kPunLast = kPunRightBracket;

// Operators, 201..221, text the operator: their numbers are the operator
// codes of values/Operator.h (kOpPlus ... kOpEqual).
static_assert(kOpNullTest == kKwNull, "the null test is numbered as the NULL keyword");

constexpr TokenKind kTokString = 301;      // text between the quotes, doubled quotes reduced
constexpr TokenKind kTokIdentifier = 302;  // as written; upper-cased when fetched


}  // namespace qx
