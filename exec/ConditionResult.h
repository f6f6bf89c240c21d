// ConditionResult: one predicate of a WHERE condition, or the combination
// of several, with its state and its tuple set.
//
// The planner makes one per predicate: it keeps the predicate's expression
// (a node of the statement's tree, not owned), the chain of the qualified
// item references it reads ("TABLE/ITEM" nodes, owned; the correlation pass
// reads them), the items it reads (a list it owns whose elements it does
// not: detached before the list is destroyed) and one tuple-set column per
// table of its group.  The selection fills `tuples` and combines results.
//
// state:  1 true for every combination (tuples not consulted)
//        -1 false for every combination
//         0 exactly the tuples in `tuples`
//       999 undecided, only inside an AND/OR combination
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/ListElement.h"

namespace qx {

class List;
class RecordTupleSet;
class SyntaxNode;

class ConditionResult : public ListElement {
public:
    static constexpr std::int16_t kTrue = 1;
    static constexpr std::int16_t kFalse = -1;
    static constexpr std::int16_t kTuples = 0;
    static constexpr std::int16_t kUndecided = 999;

    // A result for `expression` reading `items` (taken over) with the
    // reference chain `itemRefs` (taken over).  `tuples` is null when memory
    // ran out; callers test IsComplete().
    ConditionResult(SyntaxNode* expression, SyntaxNode* itemRefs, List* items);
    ~ConditionResult() override;
    // Same state and a copy of the tuples; no expression, references or items.
    static ConditionResult* Copy(const ConditionResult& other);

    bool IsComplete() const { return tuples != nullptr; }

    std::uint16_t negated;     // flipped by NOT push-down, passed to the evaluator
    SyntaxNode* itemRefs;      // qualified item references read by the predicate, owned; null in copies
    RecordTupleSet* tuples;    // owned
    SyntaxNode* expression;    // the predicate's FON_EXPRESSION node, not owned; null in copies
    std::int16_t state;        // see above
    List* items;               // ItemDescriptors read; list owned, items not; null in copies
    // The selection of a one-table block may keep the bytes of the records
    // of its tuples, row after row in chunks of kChunkRecords records, so
    // that the result need not read them again; no chunk when not kept.
    // Not copied.
    static constexpr std::size_t kChunkRecords = 4096;
    std::vector<std::unique_ptr<unsigned char[]>> records;
    std::size_t keptRecords = 0;  // records in `records`
};

}  // namespace qx
