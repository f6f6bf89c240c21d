// StatementStages: the stages a request goes through that QXSQLExecReq and
// the prepared-statement calls share - compiling the text into a plan, and
// the verdicts of the statement's memory and of a request to stop, which
// decide its outcome last.
#pragma once

#include <cstdint>
#include <memory>

#include "base/Error.h"
#include "exec/ExpressionEvaluator.h"
#include "planner/QueryPlan.h"

namespace qx {

struct SqlRequest;

// A statement ready to run: its plan and the evaluator over it.  The
// evaluator goes first.
struct Compiled {
    std::unique_ptr<QueryPlan> plan;
    std::unique_ptr<ExpressionEvaluator> evaluator;  // destroyed before `plan`

    void Release() {
        evaluator.reset();
        plan.reset();
    }
};

// Parse, build and load the dictionary view, bind, plan.  The syntax tree
// ends with binding.  On failure the result holds no plan and the error is
// in `status`.  The "?" parameters the statement has go to
// `*parameterCount`; without it a statement with parameters fails (4364),
// its values having no way in.
Compiled Compile(SqlRequest* request, Status& status, std::uint16_t* parameterCount = nullptr);

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

}  // namespace qx
