// QueryPlan: the per-request plan of a statement - one SelectBlock per
// SELECT, the ORDER BY list of the main SELECT and the execution mode - with
// the operations the planner uses to fill it and execution to walk it.
//
// The request pipeline creates the plan once the dictionary is loaded;
// QueryTransformer fills it (blocks, predicates, correlation links); the
// plan then takes over the syntax tree, Execute runs it once and the
// pipeline destroys both.  Errors of planning and execution are kept in
// `status` (a later one replaces an earlier one) for the pipeline to record.  Block indexes
// are creation order: a main block, then its nested blocks depth first, so a
// nested block always has a higher index than the block containing it; the
// second SELECT of a set operator follows all blocks of the first.
//
// Execute and RunSelect are execution's operations: they are defined in
// exec/, not here.
#pragma once

#include <cstdint>

#include <memory>

#include "base/Error.h"
#include "base/List.h"
#include "base/ListElement.h"
#include "parser/SyntaxNode.h"

namespace qx {

class ExpressionEvaluator;
class Predicate;
class ItemDescriptor;
class QueryDictionary;
class SelectBlock;
class SyntaxNode;
class TableRef;

// What execution keeps for as long as the plan lives (its results of each
// block's condition); defined by execution, destroyed with the plan.
class ExecutionState {
public:
    virtual ~ExecutionState() = default;
};

class QueryPlan : public ListElement {
public:
    // Execution modes (`mode`).
    enum class Mode : std::uint8_t {
        kRows,    // a SELECT whose rows are wanted
        kDelete,  // the selection behind DELETE ... WHERE
        kUpdate,  // the selection behind UPDATE ... WHERE
    };

    QueryDictionary* dictionary;   // the statement's dictionary (not owned)
    std::unique_ptr<SyntaxNode> tree;  // the statement's tree, owned from the end of planning
    // The SELECT the blocks were planned from when it is not the statement
    // itself: the selection of an UPDATE or DELETE with WHERE, the SELECT
    // of an INSERT ... SELECT.  Planning moves those parts of the statement
    // into it.
    std::unique_ptr<SyntaxNode> query;
    ExpressionEvaluator* evaluator = nullptr;  // execution's evaluator over this plan (not owned)
    TableRef* resultSet = nullptr;  // execution: the statement's result table, owned by the dictionary
    Status status;                  // the last error of planning or execution
    std::unique_ptr<ExecutionState> execution;  // what execution keeps while the plan lives
    List selectBlocks{0, 4};       // owned SelectBlocks, indexed by block index
    SyntaxNode* orderBy;           // first item of the main SELECT's ORDER BY list (tree-owned), or null
    std::int16_t selectCount;      // number of blocks
    Mode mode;                     // what the blocks are run for

    explicit QueryPlan(QueryDictionary* statementDictionary);
    // Destroys the blocks.
    ~QueryPlan() override;

    // The tree the blocks come from: `query`, else the statement's.
    SyntaxNode* QueryTree() const { return query != nullptr ? query.get() : tree.get(); }

    // Block `index`, or null outside 0..selectCount-1.
    SelectBlock* Block(std::int16_t index) const;

    // A new block with parent `parent` (-1: a main block), appended to
    // `selectBlocks`; with a parent, an entry for it is appended to the
    // parent's nested entries.  The new index, or -1 with message 4242 in
    // `status` when memory runs out.
    std::int16_t NewSelectBlock(std::int16_t parent);

    // Plain stores into block `index` (ignored for an unknown index).  The
    // block takes over a selected-items list (its items stay owned by their
    // TableRefs) and a condition chain, destroying what it held before.
    void SetParent(std::int16_t index, std::int16_t parent);
    void SetQuantifier(std::int16_t index, std::uint16_t quantifier);
    void SetSelectedItems(std::int16_t index, List* items);
    void SetCondition(std::int16_t index, SyntaxNode* chain);  // the WHERE chain
    void SetHaving(std::int16_t index, SyntaxNode* chain);     // the HAVING chain

    // Appends `table` (owned by the dictionary) to the block's tables and its
    // name to the block's table-name set.  1, or 0 when memory runs out.
    std::int16_t AddTable(std::int16_t index, TableRef* table);

    // Files `predicate` under the group whose text is `setText` (the first
    // group, created on first use, holds the empty set; a missing group is
    // appended after the others), gives it the names of the set as its
    // tables and appends a holder pointing at it (not owning it).  1, or 0
    // when memory runs out.
    std::int16_t AddPredicate(std::int16_t index, const char* setText, Predicate* predicate);

    // The descriptor of item `name` ("ITEM" or "TABLE.ITEM") as block
    // `index` sees it: its own tables (an unqualified name from the last
    // table to the first), then those of each enclosing block.  Null when no
    // block has it.
    ItemDescriptor* FindItemForBlock(std::int16_t index, const char* name) const;

    // The correlation pass for block `index`: every entry of a SELECT nested
    // directly in it is given the outer tables and "TABLE/ITEM" references
    // that the nested SELECT, or any SELECT nested in it, reads from this
    // block or its ancestors.  1, or 0 when memory runs out.
    std::int16_t LinkNested(std::int16_t index);

    // Adds to `target` (a node shaped like a nested entry: name set in its
    // text, references after its empty first child) every outer reference
    // that block `nested` or a block nested in it reads from the tables of
    // block `outer`, each text once.  1, or 0 when memory runs out.
    std::int16_t CollectOuterReferences(std::int16_t nested, std::int16_t outer, SyntaxNode* target) const;

    // The entry describing nested block `index` in its parent block (its
    // outer references), or null for a main block.
    SyntaxNode* NestedEntry(std::int16_t index) const;

    // Stores an error and its SQLSTATE (null: "00123") in `status`.
    void SetError(const char* text, const char* state) { status = Error::Text(text, state); }

    // Execution (defined in exec/): runs the statement of `tree`; runs every
    // block of a SELECT and, in mode 0, builds and sorts the result into
    // `resultSet`.  Execute gives `status`.
    Status Execute();
    void RunSelect();
    // EXPLAIN: the plan as rows of text in `resultSet`, nothing run.
    Status Explain();

private:
    // The body of CollectOuterReferences; it may throw std::bad_alloc, which
    // the public call turns into failure.
    std::int16_t CollectReferences(std::int16_t nested, std::int16_t outer, SyntaxNode* target) const;

    // Combines the results of the two SELECTs of a set operation (exec/).
    void CombineSetOperands(const SyntaxNode* op);
};

}  // namespace qx
