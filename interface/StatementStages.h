// StatementStages: the stages a request goes through that QXSQLExecReq and
// the prepared-statement calls share - compiling the text into a plan, and
// the verdicts of the statement's memory and of a request to stop, which
// decide its outcome last.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/Error.h"
#include "exec/ExpressionEvaluator.h"
#include "planner/QueryPlan.h"

namespace qx {

struct SqlRequest;
class TableRef;

// A statement ready to run: its plan and the evaluator over it.  The
// evaluator goes first.
struct Compiled {
    std::int32_t transactionWord = 0;  // BEGIN, COMMIT or ROLLBACK (TransactionStatement): no plan
    bool writes = false;               // the statement changes records or the schema
    bool statementOpen = false;        // the host's statement is open: EndStatement must close it
    std::int32_t schemaGeneration = -1;  // the host's count of definition changes it was compiled at
    std::vector<TableRef*> views;      // prepared: the views read, whose rows each run computes again
    std::unique_ptr<QueryPlan> plan;
    std::unique_ptr<ExpressionEvaluator> evaluator;  // destroyed before `plan`

    void Release() {
        evaluator.reset();
        plan.reset();
    }
};

// Parse, load the dictionary view, bind, plan.  The syntax tree ends with
// binding.  With `openStatement`, the host's statement is opened (see
// BeginStatement) as soon as the statement's kind is known, before the
// first description is read, so that no other connection changes the
// tables between compiling and running.  On failure `compiled` holds no
// plan and the error is returned.  The "?" parameters the statement has go
// to `*parameterCount`; without it a statement with parameters fails (4364),
// its values having no way in.  The views the statement reads are computed
// into memory tables before binding; a statement prepared (with
// `parameterCount`) only lays out their columns and lists them in `views`
// for each run to compute (RefreshViews).
Status Compile(SqlRequest* request, Compiled& compiled, std::uint16_t* parameterCount = nullptr,
               bool openStatement = false);

// Tells the host of a statement or transaction boundary (OBHOST_TX_...);
// its refusal as the statement's error.  Without the host's OTRANSACTION,
// statement boundaries are nothing (each change stays as it is made) and
// BEGIN, COMMIT and ROLLBACK fail with 4310.
Status HostBoundary(std::uint16_t hostContext, std::int32_t operation);
// The boundary of BEGIN, COMMIT or ROLLBACK.
std::int32_t TransactionOperation(std::int32_t word);
// The host's count of changes to the tables' definitions (asked inside a
// statement); -1 from a host without transactions.
std::int32_t SchemaGeneration(std::uint16_t hostContext);
// Opens the host's statement, reading or writing as `compiled` does.
Status BeginStatement(std::uint16_t hostContext, Compiled& compiled);
// Closes an open statement: its changes kept when `status` is a success,
// else undone.  The statement's outcome: `status`, or the host's refusal
// to keep the changes.
Status EndStatement(std::uint16_t hostContext, Compiled& compiled, Status status);

// A failed statement leaves no result and no rows in its memory tables.
void DropResults(SqlRequest* request);

// The statement's memory decides its outcome last.  Past its bound it fails
// with 4300 and its memory tables go.  Some stages carry on when an
// allocation is refused (a value that cannot be read compares as absent, a
// list that cannot grow stays short): a statement during which memory ran
// out must neither report success on such a result nor blame the statement,
// so it fails with 4242, whatever error came after.
void FailOnMemory(SqlRequest* request, Status& status);

// A request to stop wins over whatever the statement did meanwhile: reads
// that stopped early may have looked like the end of a file.
void FailOnInterrupt(SqlRequest* request, Status& status);

// A value the file engine could not deliver (a damaged memo) fails the statement that
// read it, whatever the statement made of the value.
Status FailOnHostDamage(Status status);
// After a row's values were read for the caller: false, with the request's error set, when
// the file engine could not deliver one of them.
bool RowReadWell(SqlRequest* request);

}  // namespace qx
