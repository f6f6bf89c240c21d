#include "exec/ConditionResult.h"

#include <memory>
#include <string>

#include "exec/RecordTupleSet.h"
#include "analysis/BoundPredicate.h"

namespace qx {

ConditionResult::ConditionResult(const BoundPredicate* predicate_)
    : predicate(predicate_), tuples(new RecordTupleSet()), state(kTuples) {
    std::unique_ptr<RecordTupleSet> set(tuples);
    tuples = nullptr;
    if (set == nullptr || set->columns == nullptr) return;
    if (predicate != nullptr) {
        for (const std::string& table : predicate->tables)
            if (!set->AddColumn(table.c_str())) return;
    }
    tuples = set.release();
}

ConditionResult::~ConditionResult() { std::unique_ptr<RecordTupleSet> owned(tuples); }

ConditionResult* ConditionResult::Copy(const ConditionResult& other) {
    std::unique_ptr<ConditionResult> copy(new ConditionResult());
    if (copy == nullptr || other.tuples == nullptr) return nullptr;
    std::unique_ptr<RecordTupleSet> replaced(copy->tuples);
    copy->tuples = RecordTupleSet::Copy(*other.tuples);
    if (copy->tuples == nullptr) return nullptr;
    copy->state = other.state;
    return copy.release();
}

}  // namespace qx
