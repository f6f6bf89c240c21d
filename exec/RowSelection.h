// RowSelection: which records of the tables of one SELECT block satisfy its
// WHERE condition, delivered as a tuple set (one column per table, one row
// per qualifying combination of records) in the block's conditionResult.
//
// A block of two or more tables is evaluated by set algebra: each group of
// predicates (filed by the planner under the set of tables they read) walks
// every combination of its tables' records (an odometer over record
// numbers, table 0 fastest) and collects the passing combinations in each
// predicate's tuple set; the condition is then reduced to one set, AND as a
// natural join, OR as a union.  When the condition is an AND of predicates,
// the one-table predicates are evaluated first and the other groups walk
// only the records they let through, which gives the same set in the same
// order.  A block of one table is evaluated record by record against the
// condition as written.  Tables without a condition between them give
// every combination of their records; an OR whose sides read different
// tables is refused (4287).  A block with a LEFT JOIN is joined step by
// step instead (JoinSteps).
//
// Errors are raised through the block (the request's error text); every
// failure path leaves a message.
#pragma once

#include <cstdint>
#include <memory>

namespace qx {

class ConditionResult;
class QueryPlan;
class SelectBlock;
struct PlanOperator;

// Runs the kSelection operator `selection` of `block`: 1 on success (the
// block's conditionResult set, or null when it offers no rows), 0 after an
// error was raised.
std::int16_t RunSelection(QueryPlan& plan, SelectBlock& block, const PlanOperator& selection);
// Makes `result` the block's condition result (kept with the plan's execution state).
void KeepSelectionResult(QueryPlan& plan, SelectBlock& block, std::unique_ptr<ConditionResult> result);

// AND / OR of two results; null when the combination is impossible (an OR
// of explicit sets over different tables; two explicit sets over tables
// that share nothing, unless `product` asks for every pair of their rows)
// or memory runs out.
std::unique_ptr<ConditionResult> CombineAnd(const ConditionResult& a, const ConditionResult& b, bool product = false);
std::unique_ptr<ConditionResult> CombineOr(const ConditionResult& a, const ConditionResult& b);

}  // namespace qx
