#include "exec/ConditionResult.h"

#include "base/List.h"
#include "exec/RecordTupleSet.h"
#include "parser/SyntaxNode.h"

namespace qx {

ConditionResult::ConditionResult(SyntaxNode* expression_, SyntaxNode* itemRefs_, List* items_)
    : negated(0),
      itemRefs(itemRefs_),
      tuples(new RecordTupleSet()),
      expression(expression_),
      state(kTuples),
      items(items_) {
    if (tuples != nullptr && tuples->columns == nullptr) {
        delete tuples;
        tuples = nullptr;
    }
}

ConditionResult::~ConditionResult() {
    delete tuples;
    delete itemRefs;
    if (items != nullptr) {
        items->DetachAll(1);
        delete items;
    }
}

ConditionResult* ConditionResult::Copy(const ConditionResult& other) {
    auto* copy = new ConditionResult(nullptr, nullptr, nullptr);
    if (copy == nullptr) return nullptr;
    delete copy->tuples;
    copy->tuples = other.tuples != nullptr ? RecordTupleSet::Copy(*other.tuples) : nullptr;
    if (copy->tuples == nullptr) {
        delete copy;
        return nullptr;
    }
    copy->state = other.state;
    return copy;
}

}  // namespace qx
