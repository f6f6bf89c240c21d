// QueryTransformer: name resolution and typing of every SELECT of a
// statement, and the building of its plan.
//
// Transform runs after the dictionary descriptions are loaded.  For each
// SELECT (the main one, the one after a set operator, each nested one) it
// creates a SelectBlock in the QueryPlan, resolves every item name against
// the tables of that SELECT and of the SELECTs enclosing it, types every
// value expression and condition, rewrites each WHERE and HAVING condition
// into a chain of connectors and predicate leaves, and files every predicate
// under the set of tables it reads.  Identifier nodes of the tree are
// rewritten in place to "TABLE/ITEM" (the correlation name when the item was
// found through one); sub-select nodes and the EXISTS/UNIQUE keyword nodes
// receive the index of their block in `aux`, selected-item nodes the block's
// quantifier (1 when none).  Data-change and schema statements pass
// unchanged: execution handles their tables and items.
//
// Type classes (TypeClass): 104 numeric, 301 character, 65535 any (matches
// every class), 0 failure.  Errors are stored in the request (messages 4242,
// 4277, 4279, 4281, 4282, 4285; 4298 for a column list after a correlation
// name); some failures have no message of their own (an item whose type has
// no value class, a function keyword the typing does not know).  After a
// failed Transform the plan is only fit for destruction.
#pragma once

#include <cstdint>

#include "base/ListElement.h"

namespace qx {

class ItemDescriptor;
class QueryDictionary;
class QueryPlan;
class SyntaxNode;

using TypeClass = std::uint16_t;

class QueryTransformer : public ListElement {
public:
    static constexpr TypeClass kNumeric = 104;
    static constexpr TypeClass kCharacter = 301;
    static constexpr TypeClass kAny = 65535;
    static constexpr TypeClass kFailure = 0;

    // Deepest nesting of conditions and SELECTs the typing walks into.
    static constexpr int kMaxNesting = 512;

    QueryPlan* plan;              // the plan being filled, set by Transform (not owned)
    QueryDictionary* dictionary;  // the plan's dictionary, set by Transform (not owned)

    QueryTransformer();

    // Plans every SELECT of the statement `tree` into `targetPlan`.  1 on
    // success (also for statements other than SELECT that need no planning);
    // 0 on failure, with the plan's status set when the failure has a
    // message.
    std::int16_t Transform(QueryPlan* targetPlan, SyntaxNode* tree);

    // The class of an item by its field type: numeric types 104; texts,
    // memos, dates and times 301; any other type 0.
    static TypeClass ItemClass(const ItemDescriptor* item);

private:
    struct Collector;

    std::int16_t PlanMain(SyntaxNode* query);
    // The selection of an UPDATE or DELETE with WHERE, planned as
    // "SELECT * FROM table WHERE condition"; nothing without WHERE.
    std::int16_t PlanChangeSelection(SyntaxNode* statement);
    // The SELECT of an INSERT ... SELECT; nothing for INSERT ... VALUES.
    std::int16_t PlanInsertSelection(SyntaxNode* statement);
    TypeClass PlanSelect(SyntaxNode* body, bool singleColumn, std::int16_t parent, std::int16_t* index);
    TypeClass PlanNested(SyntaxNode* subSelect, bool singleColumn, std::int16_t block, Collector* into);
    std::int16_t AddFromTables(SyntaxNode* tableList, std::int16_t block);
    TypeClass TypeSelectList(SyntaxNode* selectList, bool singleColumn, std::int16_t block);
    std::int16_t ResolveNames(SyntaxNode* nameList, std::int16_t block);
    ItemDescriptor* ResolveItem(const char* name, std::int16_t block);

    // `into` null: the condition is rewritten into `*chain` and each of its
    // predicates filed; otherwise it is typed as a value and its items go
    // to `into` (the enclosing predicate's collector).
    TypeClass TypeCondition(SyntaxNode* condition, bool insideArithmetic, std::int16_t block, Collector* into,
                            SyntaxNode** chain, bool* logicMet);
    TypeClass TypeLogicalTerm(SyntaxNode* term, bool insideArithmetic, std::int16_t block, Collector* into,
                              SyntaxNode** chain, bool* logicMet);
    TypeClass TypeLogicalFactor(SyntaxNode* factor, bool insideArithmetic, std::int16_t block, Collector* into,
                                SyntaxNode** chain, bool* logicMet);
    TypeClass TypePredicate(SyntaxNode* expression, bool insideArithmetic, std::int16_t block, Collector* into,
                            SyntaxNode** form, bool* logicMet);
    TypeClass TypeSecondMember(SyntaxNode* comparison, std::int16_t block, Collector* into);
    TypeClass TypeRowSource(SyntaxNode* source, std::int16_t block, Collector* into);
    TypeClass TypeExpression(SyntaxNode* expression, bool insideArithmetic, std::int16_t block, Collector* into,
                             bool* logicMet);
    TypeClass TypeTerm(SyntaxNode* term, bool insideArithmetic, std::int16_t block, Collector* into,
                       bool* logicMet);
    TypeClass TypePrimary(SyntaxNode* simpleItem, bool itemRequired, std::int16_t block, Collector* into);
    TypeClass TypeFunction(SyntaxNode* function, bool itemRequired, std::int16_t block, Collector* into);

    // Stores message `number` (formatted with `argument`) in the request; gives 0.
    TypeClass Raise(int number, const char* argument = "");
    // Joins two chains with a connector, wrapping each operand in a holder.
    std::int16_t AppendOperand(SyntaxNode** chain, SyntaxNode** last, SyntaxNode* operand, const char* connector,
                               std::int32_t connectorKind);

    int depth_ = 0;  // current nesting of PlanSelect and TypeCondition
};

}  // namespace qx
