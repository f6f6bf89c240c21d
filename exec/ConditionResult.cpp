#include "exec/ConditionResult.h"

#include <memory>
#include <string>

#include "analysis/BoundPredicate.h"
#include "exec/RecordTupleSet.h"

namespace qx {

ConditionResult::ConditionResult(const BoundPredicate* predicate_)
    : predicate(predicate_), tuples(std::make_unique<RecordTupleSet>()), state(kTuples) {
    if (predicate == nullptr) return;
    for (const std::string& table : predicate->tables)
        if (!tuples->AddColumn(table.c_str())) {
            tuples.reset();
            return;
        }
}

ConditionResult::~ConditionResult() = default;

std::unique_ptr<ConditionResult> ConditionResult::Copy(const ConditionResult& other) {
    if (other.tuples == nullptr) return nullptr;
    auto copy = std::make_unique<ConditionResult>();
    copy->tuples = RecordTupleSet::Copy(*other.tuples);
    if (copy->tuples == nullptr) return nullptr;
    copy->state = other.state;
    return copy;
}

}  // namespace qx
