// ResultBuilder: the rows of a SELECT block - a memory table (an unnamed
// TableRef owned by the dictionary) filled from the block's tuple set - and
// the rows of a nested SELECT handed to the expression evaluator.
//
// Row layout: byte 0 belongs to no item; the selected items follow from
// offset 1 in select-list order, each a byte copy of the source item (a
// composite key takes no bytes).  Errors are raised through the block.
#pragma once

#include <memory>

#include "exec/Value.h"

namespace qx {

class QueryDictionary;
class SelectBlock;
class TableRef;

// A new empty memory table laid out for the block's selected items; null
// after raising an error.
TableRef* CreateResultTable(SelectBlock& block, QueryDictionary& dictionary);
// Creates the block's result table and fills it from its condition result
// (DISTINCT applied).  A block without a condition result gets an empty
// table.  Null after raising an error.
TableRef* BuildResult(SelectBlock& block, QueryDictionary& dictionary);
// The first selected item of each row of the block's result table (see
// exec/NestedRows.h).  Null when memory runs out.
std::unique_ptr<RowList> NestedRows(SelectBlock& block);

}  // namespace qx
