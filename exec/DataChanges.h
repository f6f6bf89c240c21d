// DataChanges: INSERT, UPDATE and DELETE against one table of the host's
// file database.
//
// Values are evaluated by the expression evaluator and stored into the
// table's record buffer item by item; records are written, rewritten or
// deleted through the table's writer.  UPDATE and DELETE with a WHERE
// clause become the selection SELECT * FROM table WHERE condition, planned
// and run without result rows, after which each selected record is
// changed; without WHERE every record is walked.  INSERT ... SELECT runs its
// SELECT and inserts each of its rows.  The outcome is reported through the
// request's error text and SQLSTATE only ("S1000" for values that cannot be
// evaluated, "23000" for a duplicate key on INSERT).
#pragma once

#include <cstdint>

namespace qx {

class ItemDescriptor;
class QueryPlan;
struct BoundExpr;
class TableRef;

void ExecuteInsert(QueryPlan& plan);
void ExecuteUpdate(QueryPlan& plan);
void ExecuteDelete(QueryPlan& plan);

// Stores `value` (a value of VALUES or SET; DEFAULT and NULL store the
// item's empty value) into `item` of its table's record.  1 when stored, 0
// when the value cannot be evaluated.
std::int16_t StoreValue(QueryPlan& plan, const BoundExpr* value, ItemDescriptor* item);
// Every SET entry of the plan's UPDATE whose item exists in `table`; 0 at the first failure.
std::int16_t ApplyAssignments(TableRef& table, QueryPlan& plan);

}  // namespace qx
