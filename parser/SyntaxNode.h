// SyntaxNode: one node of the syntax tree the grammar builds and binding
// reads.  A node is first-child / next-sibling: `child` is the first child
// and `next` the following sibling.  Nodes never own each other: every node
// and its text live in the SyntaxTree of the parser that made them, and go
// with it.
#pragma once

#include <cstdint>

#include "parser/NodeKinds.h"

namespace qx {

struct SyntaxNode {
    const char* text = "";        // NUL-terminated; "" for inner nodes
    std::int32_t kind = 0;        // < 0: a FON_* node kind; > 0: the token kind of a leaf
    std::int32_t aux = 0;         // grammar marks: DESC, a CHAR length, UNIQUE, EXPLAIN
    SyntaxNode* child = nullptr;  // first child
    SyntaxNode* next = nullptr;   // next sibling

    // Links `node` (with any chain already following it) at the end of this
    // node's chain, or right after this node with `insertAfter`.  Gives `node`.
    SyntaxNode* LinkSibling(SyntaxNode* node, bool insertAfter);
    // Makes `node` the first child when there is none; otherwise links it into
    // the first child's chain as LinkSibling does.  Gives `node`.
    SyntaxNode* AttachChild(SyntaxNode* node, bool insertAfter);
};

}  // namespace qx
