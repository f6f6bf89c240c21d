// BoundPredicate: one predicate of a WHERE or HAVING condition after
// binding: what it tests, its operands as bound expressions, and what it
// reads - the items (each once: the slots its item references read), the
// qualified references "TABLE/ITEM" (with those of the outer tables its
// sub-selects read) and the set of tables, in the order they were first
// read, that decides the group it is evaluated in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/BoundExpr.h"
#include "values/Operator.h"

namespace qx {

class ItemDescriptor;

enum class PredicateKind : std::uint8_t {
    kValue,        // a value alone, no comparison: true
    kCompare,      // left op right
    kCompareRows,  // left op [ALL | ANY | SOME] rows, or left op (SELECT ...)
    kIsNull,       // left IS [NOT] NULL
    kBetween,      // left [NOT] BETWEEN lower AND upper
    kLike,         // left [NOT] LIKE pattern
    kIn,           // left [NOT] IN rows
    kMatch,        // left MATCH [UNIQUE] rows
    kExists,       // [NOT] EXISTS (SELECT ...)
    kUnique,       // [NOT] UNIQUE (SELECT ...)
};

// How many rows of a row source must satisfy a comparison.
enum class Quantifier : std::uint8_t {
    kSingle,  // the one row of a sub-select
    kAll,
    kAny,
    kUnique,  // exactly one (MATCH UNIQUE)
    kSome,    // at least one (IN, MATCH)
};

// The rows a predicate compares with: a nested SELECT's or a written list.
struct RowSource {
    int block = -1;                                // the nested SELECT's block, else -1
    std::vector<std::unique_ptr<BoundExpr>> list;  // the written values
    bool constant = false;                         // every written value is a literal
};

struct BoundPredicate {
    PredicateKind kind = PredicateKind::kValue;
    bool notWritten = false;   // NOT written inside it: NOT BETWEEN / IN / LIKE / EXISTS / UNIQUE, IS NOT NULL
    OperatorCode op = 0;       // kCompare, kCompareRows
    Quantifier quantifier = Quantifier::kSingle;  // kCompareRows, kIn, kMatch
    std::unique_ptr<BoundExpr> left;   // every kind but kExists and kUnique
    bool leftSigned = false;           // `left` was written after a + or - sign
    std::unique_ptr<BoundExpr> right;  // kCompare
    std::unique_ptr<BoundExpr> lower, upper;  // kBetween
    RowSource rows;            // kCompareRows, kIn, kMatch, kExists, kUnique
    std::string pattern;       // kLike
    std::string written;       // the predicate as written (messages, EXPLAIN)

    std::vector<ItemDescriptor*> items;   // read, each once; slot k is items[k]
    std::vector<std::string> references;  // "TABLE/ITEM" read, each once
    std::vector<std::string> tables;      // the tables read, each once, in first-read order
};

}  // namespace qx
