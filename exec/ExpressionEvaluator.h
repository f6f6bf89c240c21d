// ExpressionEvaluator: computes the value of a value expression and the
// truth of one predicate for the current combination of records.
//
// It walks the statement's tree as typing left it (item references read
// "TABLE/ITEM", nested SELECTs numbered in the aux of their nodes).  Item
// values do not come from the records: the caller hands over a value list,
// a chain of nodes whose text is "TABLE/ITEM", kind the value's operand
// type, aux its size and `value` the bytes (not owned by the list).
// Arithmetic, comparisons and LIKE are the typed operations of Transfor.
//
// Rows of nested SELECTs are asked of the plan once per block and kept
// until ForgetNestedRows (or the evaluator's end): nested blocks are run
// before the block that reads them and do not depend on its records.
//
// No message is raised here: a missing value propagates as "no value"; as
// the right operand of a comparison or a BETWEEN bound it makes the
// predicate true, and a missing row list makes a counted comparison false.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ListElement.h"
#include "base/MemoryBudget.h"
#include "exec/Value.h"

namespace qx {

class ConditionResult;
class QueryPlan;
class SyntaxNode;

class ExpressionEvaluator : public ListElement {
public:
    explicit ExpressionEvaluator(QueryPlan* plan);
    ~ExpressionEvaluator() override;

    // Truth (1/0) of the FON_EXPRESSION `predicate` of block `blockIndex`.
    std::int16_t EvaluatePredicate(int blockIndex, const SyntaxNode* predicate, const SyntaxNode* valueList,
                                   std::uint16_t negated);
    // Value of a FON_ITEM_COMPARE node.
    Value EvaluateExpression(int blockIndex, const SyntaxNode* expression, const SyntaxNode* valueList);
    // Value of a FON_ITEM_SIMPLE node; `rowSet` matters only for COUNT(*).
    Value EvaluatePrimary(const SyntaxNode* simpleItem, const SyntaxNode* valueList, const ConditionResult* rowSet);
    // Truth (1/0) of the FON_COMPARAISON `comparison` for the left operand's
    // value `left` (the second half of a FON_ITEM_COMPARE predicate).
    std::int16_t EvaluateSecondMember(int blockIndex, const Value& left, const SyntaxNode* comparison,
                                      const SyntaxNode* valueList, bool negated);
    // Drops the kept rows of nested SELECTs (a new run of the plan's blocks).
    void ForgetNestedRows();

    std::uint16_t aggregateSeen = 0;  // 1 once an aggregate function was evaluated
    char lastName[100] = {};          // item whose value was fetched last ("NbLignes" after COUNT(*))
    QueryPlan* plan;                  // the request's plan (not owned)

private:
    enum class Quantifier { kSingle, kAll, kAny, kUnique, kSome };

    Value EvaluateTerm(int blockIndex, const SyntaxNode* term, const SyntaxNode* valueList);
    Value EvaluateFactor(int blockIndex, const SyntaxNode* factor, const SyntaxNode* valueList);
    Value EvaluateScalar(const SyntaxNode* function, const SyntaxNode* valueList, const ConditionResult* rowSet);
    Value EvaluateAggregate(const SyntaxNode* function, const ConditionResult* rowSet);
    Value EvaluateDateTime(const SyntaxNode* function);
    // Rows of an operand: a nested SELECT's (kept) or a value list's (owned
    // by `scratch`).  Null when there are none.
    const SyntaxNode* OperandRows(const SyntaxNode* operand, const SyntaxNode* valueList, SyntaxNode** scratch);
    const SyntaxNode* NestedRows(int blockIndex);
    // `kept`: the row list outlives this call (a nested SELECT's or a literal
    // list's), so an equality comparison may use its hashed lookup.
    std::int16_t CountedComparison(const Value& left, std::int16_t op, Quantifier quantifier,
                                   const SyntaxNode* rows, bool negated, bool kept);
    // The hashed equality lookup of a kept row list; null when the list is
    // short, holds values the lookup does not cover, or memory runs out.
    // The answer of a counted comparison from its counts.
    static std::int16_t Decide(Quantifier quantifier, long satisfied, long total, bool negated);
    struct RowLookup;
    const RowLookup* LookupFor(const SyntaxNode* rows);
    // The lookup of nested block `blockIndex`'s rows, built from its result
    // table without listing the rows; null when a value is not covered.
    const RowLookup* NestedLookup(int blockIndex);
    // The counted comparison through `lookup`; false (nothing decided) when
    // there is no lookup or the left value's kind is not covered.
    bool CountWithLookup(const Value& left, Quantifier quantifier, const RowLookup* lookup, bool negated,
                         std::int16_t& result);
    // The counted equality comparison against a nested SELECT operand, through
    // its lookup; false when the operand is not a nested SELECT or the lookup
    // cannot answer (the rows are then listed and compared one by one).
    bool NestedEquality(const Value& left, std::int16_t op, Quantifier quantifier, const SyntaxNode* operand,
                        bool negated, std::int16_t& result);

    // lastName takes `name`, cut to its capacity.
    void KeepLastName(const char* name);
    // The value of a numeric literal leaf, converted once and kept.
    double LiteralNumber(const SyntaxNode* literal);

    struct KeptNumber {
        std::string text;  // the literal's text when it was converted
        double number;
    };
    std::unordered_map<const SyntaxNode*, KeptNumber> literalNumbers_;  // numeric literals already converted
    std::vector<SyntaxNode*> nestedRows_;  // row lists kept per block index (owned)
    std::vector<bool> nestedKnown_;        // the plan was asked for that block
    MemoryCharge nestedCharge_;            // the kept row lists, against the statement's budget
    std::unordered_map<const SyntaxNode*, SyntaxNode*> constantLists_;  // literal IN lists, built once (owned)
    // Lookups by row list; dropped with the nested rows, whose lists they index.
    std::unordered_map<const SyntaxNode*, std::unique_ptr<RowLookup>> lookups_;
    std::vector<std::unique_ptr<RowLookup>> nestedLookups_;  // by nested block index, dropped with the rows
    std::string probeKey_;  // the left value's equality key, reused
};

// The comparison operator that holds exactly when `op` does not (= and <>,
// < and >=, > and <=); any other code unchanged.
std::int16_t InverseComparison(std::int32_t op);

// Frees a row list: every row's value block, then the chain.
void FreeRowList(SyntaxNode* head);

}  // namespace qx
