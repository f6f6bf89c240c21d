#include "planner/SelectBlock.h"

#include "analysis/BoundSelect.h"
#include "planner/QueryPlan.h"

namespace qx {

SelectBlock::SelectBlock(QueryPlan* owningPlan, const BoundSelect* bound)
    : plan(owningPlan), select(bound), index(bound->index), parent(bound->parent) {}

void SelectBlock::SetError(const char* text) {
    if (plan != nullptr) plan->SetError(text, nullptr);
}

}  // namespace qx
