// NestedRows: how the evaluator obtains the rows of a nested SELECT - the
// first selected item of each row of the block's result table, as a row
// list (a head node with empty text, then one node per row: kind the
// value's operand type, aux its size, `value` a memory block the list owns;
// release with FreeRowList).
#pragma once

namespace qx {

class QueryPlan;
class SyntaxNode;
class TableRef;

// Null when the block does not exist or has no result table.
SyntaxNode* NestedBlockRows(QueryPlan* plan, int blockIndex);
// The result table whose rows NestedBlockRows lists (owned by the request's
// dictionary); null in the same cases.
TableRef* NestedResultTable(QueryPlan* plan, int blockIndex);

}  // namespace qx
