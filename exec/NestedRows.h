// NestedRows: how the evaluator obtains the rows of a nested SELECT - the
// first selected item of each row of the block's result table.
#pragma once

#include <memory>

#include "exec/Value.h"

namespace qx {

class QueryPlan;
class TableRef;

// Null when the block does not exist or has no result table.
std::unique_ptr<RowList> NestedBlockRows(QueryPlan* plan, int blockIndex);
// The result table whose rows NestedBlockRows lists (owned by the request's
// dictionary); null in the same cases.
TableRef* NestedResultTable(QueryPlan* plan, int blockIndex);

}  // namespace qx
