// ConditionResult: what execution knows of one predicate of a WHERE
// condition, or of the combination of several: its state and its tuple set
// (one column per table of the predicate's group, one row per qualifying
// combination of their records).
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

#include "base/MemoryBudget.h"
#include "exec/RecordTupleSet.h"

namespace qx {

struct BoundPredicate;

class ConditionResult {
public:
    enum State : std::int16_t {
        kFalse = -1,
        kTuples = 0,
        kTrue = 1,
        kUndecided = 999,
    };

    // The result of `predicate` (null: of a combination), with a tuple set
    // of the predicate's tables as columns.  `tuples` is null when memory
    // ran out; callers test IsComplete().
    explicit ConditionResult(const BoundPredicate* predicate = nullptr);
    ~ConditionResult();
    ConditionResult(const ConditionResult&) = delete;
    ConditionResult& operator=(const ConditionResult&) = delete;
    // Same state and a copy of the tuples, of no predicate.
    static std::unique_ptr<ConditionResult> Copy(const ConditionResult& other);

    bool IsComplete() const { return tuples != nullptr; }

    const BoundPredicate* predicate;  // the predicate this is the result of (not owned), or null
    std::unique_ptr<RecordTupleSet> tuples;
    State state;                 // see above
    // The selection of a one-table block may keep the bytes of the records
    // of its tuples, row after row in chunks of kChunkRecords records, so
    // that the result need not read them again; no chunk when not kept.
    // Not copied.
    static constexpr std::size_t kChunkRecords = 4096;
    std::vector<std::unique_ptr<unsigned char[]>> records;
    std::size_t keptRecords = 0;  // records in `records`
    MemoryCharge recordsCharge;   // `records` against the statement's memory bound
};

}  // namespace qx
