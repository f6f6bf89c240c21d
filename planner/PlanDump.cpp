// PlanDump: the text form of a plan for tests and diagnostics.
//
// Condition chains nest as deep as the parenthesized conditions of the
// statement; the chain printer keeps its own stack of pending nodes, so no
// plan can make it recurse.
#include "planner/PlanDump.h"

#include <cstdint>
#include <vector>

#include "base/List.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/RecordTupleSet.h"
#include "parser/SyntaxNode.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"

namespace qx {
namespace {

constexpr std::int32_t kLeafKind = 302;
constexpr std::int32_t kNotKind = 42;

// "{A/B}": the tuple columns of a leaf's result, which are its group's names.
std::string LeafText(const SyntaxNode* leaf) {
    auto* result = static_cast<const ConditionResult*>(leaf->attached);
    std::string text = "{";
    if (result != nullptr && result->tuples != nullptr) {
        for (int i = 0; i < result->tuples->ColumnCount(); ++i) {
            if (i > 0) text += "/";
            text += result->tuples->ColumnName(i);
        }
    }
    return text + "}";
}

int CountChildren(const SyntaxNode* node) {
    int count = 0;
    for (const SyntaxNode* child = node->child; child != nullptr; child = child->next) ++count;
    return count;
}

}  // namespace

std::string DumpConditionChain(const SyntaxNode* chain) {
    struct Pending {
        const SyntaxNode* node;  // node to print, followed by the rest of its chain
        const char* closing;     // text to print instead when `node` is null
        bool separate;           // a blank before the node (not first in its chain)
    };
    std::string out;
    std::vector<Pending> pending{{chain, nullptr, false}};
    while (!pending.empty()) {
        Pending work = pending.back();
        pending.pop_back();
        if (work.node == nullptr) {
            if (work.closing != nullptr) out += work.closing;
            continue;
        }
        const SyntaxNode* node = work.node;
        if (work.separate) out += " ";
        pending.push_back({node->next, nullptr, true});
        if (node->kind == kLeafKind) {
            out += LeafText(node);
        } else if (node->kind == kNotKind) {
            out += "NOT ";
            pending.push_back({node->child, nullptr, false});
        } else if (node->kind == 0) {
            out += "(";
            pending.push_back({nullptr, ")", false});
            pending.push_back({node->child, nullptr, false});
        } else {
            out += node->text;
        }
    }
    return out;
}

std::string DumpPlan(const QueryPlan& plan) {
    std::string out;
    for (std::int16_t index = 0; index < plan.selectCount; ++index) {
        const SelectBlock* block = plan.Block(index);
        if (block == nullptr) {
            out += "block " + std::to_string(index) + " missing\n";
            continue;
        }
        out += "block " + std::to_string(index) + " parent " + std::to_string(block->parent);
        if (block->quantifier == 20) out += " DISTINCT";
        else if (block->quantifier == 1) out += " ALL";
        out += "\n  tables";
        for (std::int16_t t = 0; t < block->tables.Count(); ++t) {
            auto* table = static_cast<const TableRef*>(block->tables.GetAt(t));
            if (table != nullptr) out += std::string(" ") + table->name.Get();
        }
        out += "\n  items";
        if (block->selectedItems == nullptr) {
            out += " *";
        } else {
            for (std::int16_t i = 0; i < block->selectedItems->Count(); ++i) {
                auto* item = static_cast<const ItemDescriptor*>(block->selectedItems->GetAt(i));
                if (item != nullptr) out += std::string(" ") + item->tableName + "." + item->name.Get();
            }
        }
        out += "\n";
        if (block->condition != nullptr) out += "  where " + DumpConditionChain(block->condition) + "\n";
        if (block->having != nullptr) out += "  having " + DumpConditionChain(block->having) + "\n";
        for (const SyntaxNode* group = block->groups; group != nullptr; group = group->next)
            out += std::string("  group \"") + group->text + "\" " + std::to_string(CountChildren(group)) + "\n";
        if (block->children != nullptr) {
            for (const SyntaxNode* entry = block->children->next; entry != nullptr; entry = entry->next) {
                out += "  nested " + std::to_string(entry->kind) + " \"" + entry->text + "\"";
                if (entry->child != nullptr)
                    for (const SyntaxNode* ref = entry->child->next; ref != nullptr; ref = ref->next)
                        out += std::string(" ") + ref->text;
                out += "\n";
            }
        }
    }
    if (plan.orderBy != nullptr) {
        out += "order";
        for (const SyntaxNode* name = plan.orderBy; name != nullptr; name = name->next) {
            out += std::string(" ") + name->text;
            if (name->aux != 0) out += " DESC";
        }
        out += "\n";
    }
    return out;
}

}  // namespace qx
