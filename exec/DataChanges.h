// DataChanges: INSERT, UPDATE and DELETE against one table of the host's
// file database.
//
// Values are evaluated by the expression evaluator and stored into the
// table's record buffer item by item; records are written, rewritten or
// deleted through the table's writer.  UPDATE and DELETE with a WHERE
// clause become the selection SELECT * FROM table WHERE condition, planned
// and run without result rows, after which each selected record is
// changed; without WHERE every record is walked.  INSERT ... SELECT runs its
// SELECT and inserts each of its rows.  Every value of a statement's row is
// computed before any is stored (SET values all read the record as it was),
// and the values of a multi-row INSERT before its first record is written.
// Under strict values (catalog/HostLink.h) each value is checked as well,
// before anything is written (exec/StrictValues.h).  The outcome is reported
// through the request's error text and SQLSTATE only ("S1000" for values
// that cannot be evaluated, "23000" for a duplicate key on INSERT).
#pragma once

namespace qx {

class QueryPlan;

void ExecuteInsert(QueryPlan& plan);
void ExecuteUpdate(QueryPlan& plan);
void ExecuteDelete(QueryPlan& plan);

}  // namespace qx
