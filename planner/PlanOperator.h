// PlanOperator: one step of a statement's plan.  The plan is a tree: each
// operator takes the rows of its inputs and gives rows to the operator above
// it.  Execution walks the tree from the root, running the inputs of an
// operator before it, the last input first (so a nested SELECT always runs
// before the SELECT that reads its rows).
//
//   kSort          the rows of its input in ORDER BY order
//   kSetOperation  UNION [ALL], INTERSECT or EXCEPT of its two inputs
//   kProject       the selected columns of each combination kept by its
//                  kSelection input (without repeats for SELECT DISTINCT)
//   kSelection     the combinations of a SELECT's tables that its WHERE
//                  keeps: each predicate group gives a set of tuples (its
//                  inputs, in the order they run), and the condition combines
//                  them - AND as a natural join of tuple sets, OR as a union,
//                  NOT pushed down to the predicates
//   kScan          the records of one table that pass the predicates of its
//                  group (a filter when the condition is an AND of predicates)
//   kHashJoin      the pairs of records of two tables whose items are equal
//   kNestedLoop    every combination of a group's tables, each predicate tested
//   kConstant      predicates that read no table, decided once
//   kSubquery      a nested SELECT, run before the SELECT that reads its rows
//   kSemiJoin      the same, read by IN, = ANY, MATCH or EXISTS: a record is
//                  kept when the rows hold a match (looked up by hash when
//                  the test is an equality)
//   kAntiJoin      the same, read by NOT IN or NOT EXISTS: kept when they hold none
//   kInsert, kUpdate, kDelete, kCreateTable, kCreateIndex, kSchemaChange: the statement's change
//
// Operators refer to the bound statement (SELECTs, groups, predicates) and
// never own any of it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace qx {

struct BoundPredicate;
struct PredicateGroup;

enum class OperatorKind : std::uint8_t {
    kSort,
    kSetOperation,
    kProject,
    kSelection,
    kScan,
    kHashJoin,
    kNestedLoop,
    kConstant,
    kSubquery,
    kSemiJoin,
    kAntiJoin,
    kInsert,
    kUpdate,
    kDelete,
    kCreateTable,
    kCreateIndex,
    kSchemaChange,  // DROP TABLE, DROP INDEX, ALTER TABLE
};

struct PlanOperator {
    OperatorKind kind;
    int block = -1;                              // the SELECT it works for, or -1
    const PredicateGroup* group = nullptr;       // kScan, kHashJoin, kNestedLoop, kConstant
    const BoundPredicate* join = nullptr;        // kHashJoin: the equality it hashes; kSemiJoin, kAntiJoin: the predicate reading the rows
    std::vector<const BoundPredicate*> tests;    // kScan, kNestedLoop: the predicates tested on each record or combination
    std::vector<const BoundPredicate*> filters;  // kScan: those whose records filter the groups that follow
    std::vector<std::unique_ptr<PlanOperator>> inputs;

    explicit PlanOperator(OperatorKind k, int blockIndex = -1) : kind(k), block(blockIndex) {}

    PlanOperator* Add(std::unique_ptr<PlanOperator> input) {
        inputs.push_back(std::move(input));
        return inputs.back().get();
    }
};

}  // namespace qx
