#include "planner/Predicate.h"

#include <memory>

#include "base/List.h"
#include "parser/SyntaxNode.h"

namespace qx {

Predicate::Predicate(SyntaxNode* expression_, SyntaxNode* itemRefs_, List* items_)
    : expression(expression_), itemRefs(itemRefs_), items(items_) {}

Predicate::~Predicate() {
    std::unique_ptr<SyntaxNode> references(itemRefs);
    std::unique_ptr<List> list(items);
    if (list != nullptr) list->DetachAll(1);  // the descriptors belong to their tables
}

}  // namespace qx
