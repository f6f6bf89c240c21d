// SelectBlock: the plan's record of one bound SELECT and what execution
// keeps of it: the result of its condition and the table of its rows.
#pragma once

#include <cstdint>

namespace qx {

class ConditionResult;
class QueryPlan;
class TableRef;
struct BoundSelect;
struct PlanOperator;

class SelectBlock {
public:
    QueryPlan* plan;            // the plan it belongs to (not owned)
    const BoundSelect* select;  // the SELECT (owned by the plan's statement)
    int index;                  // its number
    int parent;                 // the enclosing block; -1 for a main block
    TableRef* resultTable = nullptr;            // execution: its rows, owned by the dictionary
    ConditionResult* conditionResult = nullptr;  // execution: its condition's result, owned by the plan's execution state
    bool everyRecord = false;   // execution: no condition result, its one table's records are all its rows
    const PlanOperator* source = nullptr;  // a nested block: the operator that runs it
    std::int64_t keepTop = -1;  // the statement's LIMIT (with OFFSET): only this many first rows are wanted

    SelectBlock(QueryPlan* owningPlan, const BoundSelect* bound);

    // Stores `text` as the plan's error, SQLSTATE "00123".
    void SetError(const char* text);
};

}  // namespace qx
