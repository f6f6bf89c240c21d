// BoundSelect: one SELECT of a statement after binding - the main one, the
// operand after a set operator, or a nested one - with its tables, its
// selected items, its conditions, its predicates grouped by the tables they
// read, and the SELECTs nested directly in it.
//
// SELECTs are numbered in the order binding meets them: a main SELECT, then
// the ones nested in it depth first (a nested SELECT always has a higher
// number than the one containing it); the second SELECT of a set operator
// follows every SELECT of the first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/BoundCondition.h"

namespace qx {

class ItemDescriptor;
class TableRef;

// The predicates of a SELECT that read the same tables (in the same first-read
// order); the first group of a SELECT is the one of predicates that read no table.
struct PredicateGroup {
    std::vector<std::string> names;            // the tables' names
    std::vector<TableRef*> tables;             // the same tables (owned by the dictionary)
    std::vector<const BoundPredicate*> predicates;  // owned by the conditions
};

// A SELECT nested directly in another, and what it (or a SELECT nested in it)
// reads of the tables of the SELECTs around it.
struct NestedLink {
    int block = -1;
    std::vector<std::string> outerTables;  // names of those tables, each once
    std::vector<std::string> references;   // "TABLE/ITEM" read from them, each once
};

// An item of a SELECT around this one that it (or a SELECT nested in it)
// reads: a value of the outer row it is computed for.
struct OuterRead {
    ItemDescriptor* item = nullptr;
    int owner = -1;  // the SELECT whose table has the item
};

enum class SelectQuantifier : std::uint8_t { kNone, kAll, kDistinct };

// A column of a SELECT's result: an item whose bytes are copied, or a value
// computed for each row.
struct SelectColumn {
    std::string name;                 // its alias, else the item's name, else the expression as written
    ItemDescriptor* item = nullptr;   // a plain item (owned by its table)
    std::unique_ptr<BoundExpr> expr;  // otherwise the value, its items read through `columnItems`
    bool hidden = false;              // a sort key of ORDER BY only: dropped once the rows are in order
    std::string written;              // the expression as written, blanks and letter case aside
};

// A table of a FROM list that holds a LEFT JOIN, in the order written: the
// first stands alone; each other joins the tables before it, keeping the
// combinations its ON condition accepts (all of them without one) and, for
// a LEFT JOIN, once each combination none of its records match, with its
// items read as empty values.
enum class StepKind : std::uint8_t { kFirst, kInner, kLeft };

struct JoinStep {
    TableRef* table = nullptr;            // owned by the dictionary
    StepKind kind = StepKind::kFirst;
    std::unique_ptr<BoundCondition> on;   // null: every combination
};

struct BoundSelect {
    int index = 0;        // its number (above)
    int parent = -1;      // the SELECT it is nested in; -1 for a main SELECT
    SelectQuantifier quantifier = SelectQuantifier::kNone;
    std::vector<TableRef*> tables;              // FROM, in order (owned by the dictionary)
    bool allColumns = false;                    // SELECT * alone
    std::vector<SelectColumn> columns;          // the result's columns, "*" written out
    std::vector<ItemDescriptor*> columnItems;   // the items computed columns, GROUP BY and HAVING read, slot by slot
    std::vector<std::unique_ptr<BoundExpr>> groupBy;  // GROUP BY keys
    std::vector<const BoundExpr*> aggregates;   // the aggregates of the select list and HAVING (owned there)
    bool grouped = false;                       // GROUP BY, or an aggregate: one row per group
    bool correlated = false;                    // it (or a SELECT in it) reads an item of a SELECT around it
    std::vector<OuterRead> outerReads;          // those items, each once
    std::vector<ItemDescriptor*> groupValueReads;  // items of its tables the sub-selects of its select list and HAVING read
    std::vector<JoinStep> joinSteps;            // with a LEFT JOIN: its FROM list, step by step (else empty)
    std::unique_ptr<BoundCondition> where;      // with join steps: WHERE alone, applied after them
    std::unique_ptr<BoundCondition> having;     // of a grouped SELECT: over its groups
    std::vector<PredicateGroup> groups;         // of the predicates of `where`
    std::vector<NestedLink> nested;             // in the order they are written

    // The names of `tables`, in order.
    std::vector<std::string> TableNames() const;
};

}  // namespace qx
