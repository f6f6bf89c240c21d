// QueryPlan: a bound statement made ready to run - one SelectBlock per
// SELECT, the tree of operators that runs them, and what execution keeps
// while it runs them.
//
// The request pipeline binds the statement, then PlanStatement builds the
// plan from it; Execute runs it once and the pipeline destroys it.  Errors of
// execution are kept in `status` (a later one replaces an earlier one) for
// the pipeline to record.  Block indexes are the bound SELECTs' numbers.
//
// Execute, RunSelect and Explain are execution's operations: they are
// defined in exec/, not here.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/BoundStatement.h"
#include "base/Error.h"
#include "planner/PlanOperator.h"
#include "planner/SelectBlock.h"

namespace qx {

class ExpressionEvaluator;
class QueryDictionary;
class TableRef;

// What execution keeps for as long as the plan lives (its results of each
// block's condition); defined by execution, destroyed with the plan.
class ExecutionState {
public:
    virtual ~ExecutionState() = default;
};

class QueryPlan {
public:
    // Execution modes (`mode`).
    enum class Mode : std::uint8_t {
        kRows,    // a SELECT whose rows are wanted
        kDelete,  // the selection behind DELETE ... WHERE
        kUpdate,  // the selection behind UPDATE ... WHERE
    };

    QueryDictionary* dictionary;                  // the statement's dictionary (not owned)
    std::unique_ptr<BoundStatement> statement;    // what the plan runs
    std::vector<std::unique_ptr<SelectBlock>> blocks;  // one per bound SELECT, by number
    std::unique_ptr<PlanOperator> root;           // the operators, from the statement's result down
    Mode mode = Mode::kRows;
    ExpressionEvaluator* evaluator = nullptr;     // execution's evaluator over this plan (not owned)
    TableRef* resultSet = nullptr;                // execution: the statement's result table, owned by the dictionary
    Status status;                                // the last error of execution
    std::unique_ptr<ExecutionState> execution;    // what execution keeps while the plan lives

    QueryPlan(QueryDictionary* statementDictionary, std::unique_ptr<BoundStatement> bound);
    ~QueryPlan();

    // Block `index`, or null outside 0..BlockCount()-1.
    SelectBlock* Block(int index) const;
    int BlockCount() const { return static_cast<int>(blocks.size()); }

    // Stores an error and its SQLSTATE (null: "00123") in `status`.
    void SetError(const char* text, const char* state) { status = Error::Text(text, state); }

    // Execution (defined in exec/): runs the statement; RunSelect runs the
    // operators of its SELECTs and, in mode kRows, leaves the result in
    // `resultSet`.  Execute gives `status`.
    Status Execute();
    void RunSelect();
    // EXPLAIN: the plan as rows of text in `resultSet`, nothing run.
    Status Explain();
    // Runs nested block `index` again, for the outer row the tables of the
    // SELECTs around it are on now (those it shares with them are put back
    // on that row after); false after an error.
    bool RunNested(int index);
    // Counts RunNested calls: a value read before a higher count may be stale.
    std::uint64_t nestedRuns = 0;

private:
    // Runs `op` after its inputs (exec/).
    void Run(const PlanOperator& op);
    // Combines the results of the two SELECTs of a set operation (exec/).
    void CombineSetOperands(const PlanOperator& op);
};

// The plan of a bound statement: its blocks and its operators, in the order
// that keeps intermediate results small (filters of one table before the
// joins they feed, equalities hashed).
std::unique_ptr<QueryPlan> PlanStatement(QueryDictionary* dictionary, std::unique_ptr<BoundStatement> statement);

}  // namespace qx
