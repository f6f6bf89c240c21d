// QueryPlan: creating blocks, filing predicates by table set, item lookup
// through enclosing blocks and the correlation pass that tells each nested
// SELECT which tables and items of enclosing SELECTs it reads.
//
// Interface routines:
//   NewSelectBlock, Set*, AddTable  - the records of one block
//   AddPredicate                    - a predicate into its group
//   FindItemForBlock                - name lookup, innermost block first
//   NestedEntry                     - the entry of a nested block in its parent
//   LinkNested, CollectOuterReferences - the correlation pass
// Typing and rewriting the conditions is QueryTransformer's; running the
// plan is execution's (Execute, RunSelect, SetError live in exec/).
//
// Walks over the tree of blocks use explicit stacks, and the walks up the
// ancestors follow `parent`, which always names a lower index, so no input
// can make them recurse deeply or loop.
#include "planner/QueryPlan.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "parser/SyntaxNode.h"
#include "planner/Predicate.h"
#include "planner/SelectBlock.h"

namespace qx {
namespace {

// Calls `visit(name)` for each non-empty "/"-separated name of `set`; stops
// early when `visit` returns false.  Gives false when stopped.
template <typename Visit>
bool ForEachName(const char* set, Visit visit) {
    std::string_view rest(set == nullptr ? "" : set);
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string_view name = rest.substr(0, slash);
        if (!name.empty() && !visit(name)) return false;
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return true;
}

bool SetHasName(const char* set, std::string_view name) {
    return !ForEachName(set, [&](std::string_view n) { return n != name; });
}

bool SetsShareName(const char* a, const char* b) {
    return !ForEachName(a, [&](std::string_view n) { return !SetHasName(b, n); });
}

// The table part of a "TABLE/ITEM" reference.
std::string_view TablePart(const char* reference) {
    std::string_view text(reference);
    return text.substr(0, text.find('/'));
}

}  // namespace

QueryPlan::QueryPlan(QueryDictionary* statementDictionary)
    : dictionary(statementDictionary), orderBy(nullptr), selectCount(0), mode(Mode::kRows) {}

QueryPlan::~QueryPlan() { selectBlocks.DeleteAll(); }

SelectBlock* QueryPlan::Block(std::int16_t index) const {
    if (index < 0 || index >= selectCount) return nullptr;
    return static_cast<SelectBlock*>(selectBlocks.GetAt(index));
}

std::int16_t QueryPlan::NewSelectBlock(std::int16_t parent) {
    SelectBlock* parentBlock = parent >= 0 ? Block(parent) : nullptr;
    auto* block = new SelectBlock(this, parentBlock != nullptr ? parent : -1);
    std::int16_t index = -1;
    if (block != nullptr && block->IsComplete()) index = selectBlocks.Append(block);
    if (index < 0) {
        delete block;
        status = Error::Message(kMsgOutOfMemory);
        return -1;
    }
    selectCount = selectBlocks.Count();
    if (parentBlock != nullptr && parentBlock->AppendNestedEntry(index) == nullptr) {
        // The block stays in the list (and is destroyed with the plan), but
        // the SELECT cannot be planned: the statement fails.
        status = Error::Message(kMsgOutOfMemory);
        return -1;
    }
    return index;
}

void QueryPlan::SetParent(std::int16_t index, std::int16_t parent) {
    if (SelectBlock* block = Block(index)) block->parent = parent;
}

void QueryPlan::SetQuantifier(std::int16_t index, std::uint16_t quantifier) {
    if (SelectBlock* block = Block(index)) block->quantifier = quantifier;
}

void QueryPlan::SetSelectedItems(std::int16_t index, List* items) {
    SelectBlock* block = Block(index);
    if (block == nullptr || block->selectedItems == items) return;
    if (block->selectedItems != nullptr) {
        block->selectedItems->DetachAll(1);
        delete block->selectedItems;
    }
    block->selectedItems = items;
}

void QueryPlan::SetCondition(std::int16_t index, SyntaxNode* chain) {
    SelectBlock* block = Block(index);
    if (block == nullptr || block->condition == chain) return;
    delete block->condition;
    block->condition = chain;
}

void QueryPlan::SetHaving(std::int16_t index, SyntaxNode* chain) {
    SelectBlock* block = Block(index);
    if (block == nullptr || block->having == chain) return;
    delete block->having;
    block->having = chain;
}

std::int16_t QueryPlan::AddTable(std::int16_t index, TableRef* table) {
    SelectBlock* block = Block(index);
    if (block == nullptr || table == nullptr) return 0;
    if (block->tables.Append(table) < 0) return 0;
    return block->tableNames->AddPathName(table->name.Get()) ? 1 : 0;
}

std::int16_t QueryPlan::AddPredicate(std::int16_t index, const char* setText, Predicate* predicate) {
    SelectBlock* block = Block(index);
    if (block == nullptr || predicate == nullptr) return 0;
    SyntaxNode* group = block->FindOrAddGroup(setText);
    if (group == nullptr) return 0;
    try {
        predicate->tables.clear();
        ForEachName(group->text, [&](std::string_view name) {
            predicate->tables.emplace_back(name);
            return true;
        });
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        return 0;
    }
    return block->AddGroupHolder(group, predicate);
}

ItemDescriptor* QueryPlan::FindItemForBlock(std::int16_t index, const char* name) const {
    // `parent` always names a lower index, so the walk ends; the count only
    // guards against a parent set by hand.
    for (int hops = 0; hops <= selectCount; ++hops) {
        SelectBlock* block = Block(index);
        if (block == nullptr) return nullptr;
        if (ItemDescriptor* item = FindItemInTables(block->tables, nullptr, name)) return item;
        index = block->parent;
    }
    return nullptr;
}

SyntaxNode* QueryPlan::NestedEntry(std::int16_t index) const {
    SelectBlock* block = Block(index);
    if (block == nullptr) return nullptr;
    SelectBlock* parent = Block(block->parent);
    return parent != nullptr ? parent->FindNestedEntry(index) : nullptr;
}

std::int16_t QueryPlan::CollectOuterReferences(std::int16_t nested, std::int16_t outer, SyntaxNode* target) const {
    try {
        return CollectReferences(nested, outer, target);
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        return 0;  // what was linked stays, owned by the target
    }
}

std::int16_t QueryPlan::CollectReferences(std::int16_t nested, std::int16_t outer, SyntaxNode* target) const {
    SelectBlock* outerBlock = Block(outer);
    if (outerBlock == nullptr || target == nullptr) return 1;
    if (target->child == nullptr) {
        target->child = SyntaxNode::Make("", 0, 0);
        if (target->child == nullptr) return 0;
    }
    const char* outerTables = outerBlock->tableNames->text;

    // The references the target already lists, and the end of its chain.
    std::unordered_set<std::string_view> listed;
    SyntaxNode* last = target->child;
    for (SyntaxNode* node = target->child->next; node != nullptr; node = node->next) {
        listed.insert(node->text);
        last = node;
    }

    // Block `nested` and every block nested in it, through their entries.
    std::vector<std::int16_t> pending{nested};
    std::vector<bool> visited(static_cast<std::size_t>(selectCount), false);
    while (!pending.empty()) {
        std::int16_t current = pending.back();
        pending.pop_back();
        SelectBlock* block = Block(current);
        if (block == nullptr || visited[static_cast<std::size_t>(current)]) continue;
        visited[static_cast<std::size_t>(current)] = true;
        for (SyntaxNode* entry = block->children->next; entry != nullptr; entry = entry->next)
            if (entry->kind > current && entry->kind < selectCount) pending.push_back(static_cast<std::int16_t>(entry->kind));
        if (block->groups == nullptr) continue;
        // The first group (no table) cannot name an outer table.
        for (SyntaxNode* group = block->groups->next; group != nullptr; group = group->next) {
            if (!SetsShareName(group->text, outerTables)) continue;
            for (SyntaxNode* holder = group->child; holder != nullptr; holder = holder->next) {
                auto* predicate = static_cast<Predicate*>(holder->value);
                if (predicate == nullptr) continue;
                for (SyntaxNode* ref = predicate->itemRefs; ref != nullptr; ref = ref->next) {
                    std::string_view table = TablePart(ref->text);
                    if (table.empty() || !SetHasName(outerTables, table)) continue;
                    if (listed.count(ref->text) != 0) continue;
                    std::string name(table);
                    SyntaxNode* copy = SyntaxNode::Make(ref->text, 0, 0);
                    if (copy == nullptr) return 0;
                    if (!target->AddPathName(name.c_str())) {
                        delete copy;
                        return 0;
                    }
                    last = last->LinkSibling(copy, true);
                    listed.insert(copy->text);
                }
            }
        }
    }
    return 1;
}

std::int16_t QueryPlan::LinkNested(std::int16_t index) {
    SelectBlock* block = Block(index);
    if (block == nullptr) return 1;
    for (SyntaxNode* entry = block->children->next; entry != nullptr; entry = entry->next) {
        if (entry->kind <= index || entry->kind >= selectCount) continue;
        auto nested = static_cast<std::int16_t>(entry->kind);
        // This block, then its ancestors, following `parent` (which also
        // leads up inside the tree of a set operator's second SELECT).
        std::int16_t outer = index;
        for (int hops = 0; outer >= 0 && hops <= selectCount; ++hops) {
            if (!CollectOuterReferences(nested, outer, entry)) return 0;
            SelectBlock* outerBlock = Block(outer);
            outer = outerBlock != nullptr && outerBlock->parent < outer ? outerBlock->parent : -1;
        }
    }
    return 1;
}

}  // namespace qx
