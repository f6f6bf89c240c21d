// SelectBlock: construction and release of a block's records, its nested
// entries and its predicate groups.
//
// The block only stores what the planner hands it; which predicate goes to
// which group, and what the entries list, is decided by QueryPlan.  Appends
// keep the last node of each chain so that filing many predicates or many
// nested SELECTs stays linear.
#include "planner/SelectBlock.h"

#include "planner/QueryPlan.h"

#include <cstring>
#include <new>

#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "parser/SyntaxNode.h"

namespace qx {

SelectBlock::SelectBlock(QueryPlan* owningPlan, std::int16_t parentIndex)
    : plan(owningPlan),
      parent(parentIndex),
      quantifier(0),
      selectedItems(nullptr),
      resultTable(nullptr),
      conditionResult(nullptr),
      children(SyntaxNode::Make("", 0, 0)),
      condition(nullptr),
      having(nullptr),
      groups(nullptr),
      tableNames(SyntaxNode::Make("", 0, 0)) {
    lastEntry_ = children;
}

SelectBlock::~SelectBlock() {
    tables.DetachAll(1);
    if (selectedItems != nullptr) {
        selectedItems->DetachAll(1);
        delete selectedItems;
    }
    // The holders under the groups only point at predicates owned by the
    // condition leaves: drop the groups first so no dangling pointer is left
    // reachable while the leaves are released.
    delete groups;
    delete condition;
    delete having;
    delete children;
    delete tableNames;
}

void SelectBlock::SetError(const char* text) {
    if (plan != nullptr) plan->SetError(text, nullptr);
}

SyntaxNode* SelectBlock::AppendNestedEntry(std::int16_t index) {
    if (children == nullptr) return nullptr;
    SyntaxNode* references = SyntaxNode::Make("", 0, 0);
    if (references == nullptr) return nullptr;
    SyntaxNode* entry = SyntaxNode::Make("", index, 0, references);
    if (entry == nullptr) {
        delete references;
        return nullptr;
    }
    lastEntry_ = lastEntry_->LinkSibling(entry, true);
    return entry;
}

SyntaxNode* SelectBlock::FindNestedEntry(std::int16_t index) const {
    if (children == nullptr) return nullptr;
    for (SyntaxNode* entry = children->next; entry != nullptr; entry = entry->next)
        if (entry->kind == index) return entry;
    return nullptr;
}

SyntaxNode* SelectBlock::FindOrAddGroup(const char* setText) {
    if (setText == nullptr) setText = "";
    if (groups == nullptr) {
        SyntaxNode* head = SyntaxNode::Make("", 0, 0);
        if (head == nullptr) return nullptr;
        try {
            groupNodes_.assign(1, head);
            lastHolders_.assign(1, nullptr);
        } catch (const std::bad_alloc&) {
            NoteAllocationFailure();
            groupNodes_.clear();
            lastHolders_.clear();
            delete head;
            return nullptr;
        }
        groups = head;
    }
    for (SyntaxNode* group : groupNodes_)
        if (std::strcmp(group->text, setText) == 0) return group;
    SyntaxNode* group = SyntaxNode::Make(setText, 0, 0);
    if (group == nullptr) return nullptr;
    // Room first, so that the chain and the two vectors never disagree.
    try {
        groupNodes_.reserve(groupNodes_.size() + 1);
        lastHolders_.reserve(lastHolders_.size() + 1);
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        delete group;
        return nullptr;
    }
    groupNodes_.back()->LinkSibling(group, true);
    groupNodes_.push_back(group);
    lastHolders_.push_back(nullptr);
    return group;
}

std::int16_t SelectBlock::AddGroupHolder(SyntaxNode* group, Predicate* predicate) {
    std::size_t slot = 0;
    while (slot < groupNodes_.size() && groupNodes_[slot] != group) ++slot;
    if (slot == groupNodes_.size()) return 0;
    SyntaxNode* holder = SyntaxNode::Make("", 0, 0);
    if (holder == nullptr) return 0;
    holder->value = predicate;
    if (lastHolders_[slot] == nullptr) group->AttachChild(holder, false);
    else lastHolders_[slot]->LinkSibling(holder, true);
    lastHolders_[slot] = holder;
    return 1;
}

}  // namespace qx
