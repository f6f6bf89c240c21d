// RowSorter: ORDER BY over a memory table.
//
// Rows are ordered by the listed items (found in the table by name, also as
// "TABLE.ITEM"), each ascending or descending, values
// compared by their class: numbers numerically, texts, dates and times byte
// by byte.  An item the table does not hold compares equal from there on.
// The sort is stable: rows with equal keys keep their order.  Each row is
// moved once, whatever its size.
#pragma once

#include <cstdint>
#include <vector>

namespace qx {

struct OrderKey;
class TableRef;

// 0 for a file table or when memory runs out (rows then unchanged); 1 when
// there was nothing to do or the rows are sorted.
// With `keep` (>= 0) only the first `keep` rows are put in order; the rows
// after them are left as they were (LIMIT drops them).
std::int16_t SortRows(TableRef& table, const std::vector<OrderKey>& orderBy, std::int64_t keep = -1);

}  // namespace qx
