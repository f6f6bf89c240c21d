// Predicate: one predicate of a WHERE or HAVING condition as the plan files
// it.  It keeps the predicate's expression (a node of the statement's tree,
// not owned), the chain of the qualified item references it reads
// ("TABLE/ITEM" nodes, owned; the correlation pass reads them), the items
// it reads (a list it owns whose descriptors it does not) and the tables of
// its group, in order: the columns of the tuple set execution gives it.
// Preparing a condition for execution pushes NOT down onto `negated`.
//
// A rewritten condition chain owns its predicates through the `attached`
// slot of its leaves; the holders under the groups point at the same
// objects through their `value` slot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ListElement.h"

namespace qx {

class List;
class SyntaxNode;

class Predicate : public ListElement {
public:
    // Takes over `itemRefs` and `items`.
    Predicate(SyntaxNode* expression, SyntaxNode* itemRefs, List* items);
    ~Predicate() override;

    SyntaxNode* expression;           // the predicate's FON_EXPRESSION node, not owned
    SyntaxNode* itemRefs;             // qualified item references read, owned
    List* items;                      // ItemDescriptors read; list owned, descriptors not
    std::vector<std::string> tables;  // the tables of its group, in order
    std::uint16_t negated = 0;        // flipped by NOT push-down, passed to the evaluator
};

}  // namespace qx
