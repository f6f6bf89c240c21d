// ExpressionEvaluator: computes the value of a bound expression and the
// truth of a bound predicate for the current combination of records.
//
// Item values do not come from the records: the caller hands over the value
// of each item the predicate reads, in the predicate's item order (an item
// reference reads the entry of its slot).  Arithmetic, comparisons and LIKE
// are the typed operations of Transfor.
//
// Rows of nested SELECTs are asked of the plan once per block and kept
// until ForgetNestedRows (or the evaluator's end): nested blocks are run
// before the block that reads them.  A nested SELECT that reads items of
// the SELECTs around it is run again for each distinct set of those items'
// current values, and its rows are kept by those values.
//
// No message is raised here: a missing value propagates as "no value"; as
// the right operand of a comparison or a BETWEEN bound it makes the
// predicate true, and a missing row list makes a counted comparison false.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "analysis/BoundCondition.h"
#include "analysis/BoundPredicate.h"
#include "analysis/BoundSelect.h"
#include "base/MemoryBudget.h"
#include "exec/Value.h"

namespace qx {

class ConditionResult;
class QueryPlan;

// The current value of an item: its evaluation kind, its size and its bytes
// (null when it has none).
struct ItemValue {
    std::int16_t type = 0;
    std::int32_t size = 0;
    const void* data = nullptr;
};
using ItemValues = std::span<const ItemValue>;

class ExpressionEvaluator {
public:
    explicit ExpressionEvaluator(QueryPlan* plan);
    ~ExpressionEvaluator();
    ExpressionEvaluator(const ExpressionEvaluator&) = delete;
    ExpressionEvaluator& operator=(const ExpressionEvaluator&) = delete;

    // Truth (1/0) of `predicate`, NOT pushed down onto it when `negated`.
    std::int16_t EvaluatePredicate(const BoundPredicate& predicate, ItemValues values, bool negated);
    // Value of `expression`; `rowSet` matters only for COUNT(*).
    Value Evaluate(const BoundExpr& expression, ItemValues values, const ConditionResult* rowSet = nullptr);
    // Truth (1/0) of the comparison part of `predicate` for the left operand's value `left`.
    std::int16_t EvaluateComparison(const BoundPredicate& predicate, const Value& left, ItemValues values,
                                    bool negated);
    // Truth of a condition over one row (a group's, for HAVING).
    bool ConditionHolds(const BoundCondition& condition, ItemValues values);
    // The values aggregates read while a group's row is computed (null: none).
    void SetAggregates(const std::vector<Value>* values) { aggregates_ = values; }
    // Drops the kept rows of nested SELECTs (a new run of the plan's blocks).
    void ForgetNestedRows();
    // The values "?" parameters read, by number (null: none bound).
    void SetParameters(const std::vector<Value>* values) { parameters_ = values; }

    QueryPlan* plan;  // the request's plan (not owned)

private:
    // The value of a parenthesized condition written where a value stands:
    // its first predicate's left operand.
    Value ParenthesizedValue(const BoundCondition& condition, ItemValues values, const ConditionResult* rowSet);
    Value EvaluateFunction(const BoundExpr& call, ItemValues values, const ConditionResult* rowSet);
    // Rows of a source: a nested SELECT's (kept) or a written list's (kept
    // when every value is a literal, else built in `scratch`).  Null when
    // there are none.
    const RowList* SourceRows(const RowSource& source, ItemValues values, RowList& scratch);
    const RowList* NestedRows(int blockIndex);
    // The rows of a nested SELECT that reads its outer row, for the values
    // its outer items have now.
    const RowList* CorrelatedRows(int blockIndex, const BoundSelect& select);
    // `kept`: the row list outlives this call, so an equality comparison may
    // use its hashed lookup.
    std::int16_t CountedComparison(const Value& left, OperatorCode op, Quantifier quantifier, const RowList* rows,
                                   bool negated, bool kept);
    // The answer of a counted comparison from its counts.
    static std::int16_t Decide(Quantifier quantifier, long satisfied, long total, bool negated);
    struct RowLookup;
    // The hashed equality lookup of a kept row list; null when the list is
    // short, holds values the lookup does not cover, or memory runs out.
    const RowLookup* LookupFor(const RowList* rows);
    // The lookup of nested block `blockIndex`'s rows, built from its result
    // table without listing the rows; null when a value is not covered.
    const RowLookup* NestedLookup(int blockIndex);
    // The counted comparison through `lookup`; false (nothing decided) when
    // there is no lookup or the left value's kind is not covered.
    bool CountWithLookup(const Value& left, Quantifier quantifier, const RowLookup* lookup, bool negated,
                         std::int16_t& result);
    // The counted equality comparison against a nested SELECT, through its
    // lookup; false when the source is not a nested SELECT or the lookup
    // cannot answer (the rows are then listed and compared one by one).
    bool NestedEquality(const Value& left, OperatorCode op, Quantifier quantifier, const RowSource& source,
                        bool negated, std::int16_t& result);

    std::vector<std::unique_ptr<RowList>> nestedRows_;  // row lists kept per block index
    std::vector<bool> nestedKnown_;                     // the plan was asked for that block
    MemoryCharge nestedCharge_;                         // the kept row lists, against the statement's budget
    std::unordered_map<const RowSource*, std::unique_ptr<RowList>> constantLists_;  // literal lists, built once
    // Lookups by row list; dropped with the nested rows, whose lists they index.
    std::unordered_map<const RowList*, std::unique_ptr<RowLookup>> lookups_;
    std::vector<std::unique_ptr<RowLookup>> nestedLookups_;  // by nested block index, dropped with the rows
    // The rows of each nested SELECT that reads its outer row, by the
    // values of its outer items (all dropped when the budget is short).
    struct CorrelatedRowSets {
        std::unordered_map<std::string, std::unique_ptr<RowList>> byOuterValues;
        MemoryCharge charge;
    };
    std::unordered_map<int, CorrelatedRowSets> correlated_;
    std::string probeKey_;  // the left value's equality key, reused
    const std::vector<Value>* parameters_ = nullptr;  // bound parameter values (not owned)
    const std::vector<Value>* aggregates_ = nullptr;  // the current group's aggregate values
};

// The comparison operator that holds exactly when `op` does not (= and <>,
// < and >=, > and <=); any other code unchanged.
OperatorCode InverseComparison(OperatorCode op);

}  // namespace qx
