// SelectBlock: the plan record of one SELECT of a statement (the main one,
// the operand after a set operator, or a nested one) - its tables, its
// selected items, its rewritten conditions, its predicates filed by the set
// of tables they read, and the entries of the SELECTs nested directly in it.
//
// The planner (QueryPlan, QueryTransformer) fills a block; execution reads
// it and keeps its results in `resultTable` and `conditionResult`.
//
// Ownership:
//   - `tables` refers to TableRefs owned by the QueryDictionary: the list is
//     detached, never emptied by destruction of its elements.
//   - `selectedItems` is a list owned by the block whose ItemDescriptors
//     belong to their TableRefs: detached before the list is destroyed.
//   - `condition`, `having`, `groups`, `children` and `tableNames` are node
//     chains owned by the block.
//   - A predicate leaf (kind 302) of `condition` or `having` owns its
//     Predicate through its `attached` slot.  The holders under the
//     groups only point at the same object through their `value` slot and
//     never own it.
//
// Rewritten condition chains (`condition`, `having`):
//   - a predicate is a leaf: kind 302, empty text, Predicate attached;
//   - NOT is a node with text "NOT", kind 42, the negated chain as child;
//   - several operands become a chain holder, connector, holder, ...: each
//     holder has kind 0, empty text and the operand's chain as child; each
//     connector is a node "OR" (kind 45) or "AND" (kind 2).
//
// Predicate groups: `groups` is the first group node (empty text: the
// predicates that read no table); the other groups follow as its siblings.
// A group's text is the set of table names ("A/B") its predicates read; its
// children are holders (kind 0, empty text, `value` = the Predicate).
//
// Nested-block entries: `children` is an empty head node; each entry follows
// it as a sibling.  An entry's kind is the nested block's index; its first
// child is an empty node, followed by one node per outer item reference
// ("TABLE/ITEM") the nested SELECT (or one nested in it) reads; its text is
// the set of the outer tables of those references.
#pragma once

#include <cstdint>
#include <vector>

#include "base/List.h"
#include "base/ListElement.h"

namespace qx {

class QueryPlan;
class ConditionResult;
class Predicate;
class SyntaxNode;
class TableRef;

class SelectBlock : public ListElement {
public:
    QueryPlan* plan;            // plan the block belongs to (not owned)
    std::int16_t parent;        // index of the enclosing block; -1 for a main block
    std::uint16_t quantifier;   // keyword kind written before the select list: 20 DISTINCT, 1 ALL, 0 none
    List tables{0, 4};          // TableRefs in FROM order, not owned (detached at destruction)
    List* selectedItems;        // owned list of ItemDescriptors (not owned) of the select list; null for "*"
    TableRef* resultTable;      // execution: the block's result memory table, owned by the dictionary
    ConditionResult* conditionResult;  // execution: the block's final result, owned by the plan's execution state
    SyntaxNode* children;       // head of the nested-block entries, owned
    SyntaxNode* condition;      // rewritten WHERE chain, owned; null without WHERE
    SyntaxNode* having;         // rewritten HAVING chain, owned; null without HAVING
    SyntaxNode* groups;         // first predicate group, owned with the groups that follow; null before the first
    SyntaxNode* tableNames;     // text: the name set of `tables` in FROM order, owned

    SelectBlock(QueryPlan* owningPlan, std::int16_t parentIndex);
    // Detaches `tables` and the selected items, then destroys the chains it
    // owns.
    ~SelectBlock() override;

    // False when a node the block needs could not be allocated.
    bool IsComplete() const { return children != nullptr && tableNames != nullptr; }

    // Stores `text` as the plan's error, SQLSTATE "00123".
    void SetError(const char* text);

    // Appends an entry for nested block `index` to `children`; the entry, or
    // null when memory runs out (nothing appended then).
    SyntaxNode* AppendNestedEntry(std::int16_t index);
    // The entry of nested block `index` in `children`, or null.
    SyntaxNode* FindNestedEntry(std::int16_t index) const;

    // The group whose text equals `setText`, appended (and the first,
    // empty-text group created) when missing; null when memory runs out.
    SyntaxNode* FindOrAddGroup(const char* setText);
    // Appends a holder pointing at `result` to `group`; 1, or 0 when memory runs out.
    std::int16_t AddGroupHolder(SyntaxNode* group, Predicate* predicate);

private:
    SyntaxNode* lastEntry_ = nullptr;          // last node of the `children` chain
    std::vector<SyntaxNode*> groupNodes_;      // the group nodes in chain order
    std::vector<SyntaxNode*> lastHolders_;     // last holder of each group (parallel), or null
};

}  // namespace qx
