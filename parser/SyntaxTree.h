// SyntaxTree: the arena that holds the nodes of one parse and their texts.
// Nodes are never freed one by one: a rule that fails drops its nodes, and
// everything goes when the tree is cleared or destroyed, in one pass
// whatever the shape of the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "parser/SyntaxNode.h"

namespace qx {

class SyntaxTree {
public:
    // A new node with a copy of `text` (null reads as ""); null when memory
    // runs out.
    SyntaxNode* Make(const char* text, std::int32_t kind, std::int32_t aux);
    // A copy of `text[0..length)` without its outer blanks, kept with the
    // nodes; null when memory runs out.
    const char* Text(const char* text, std::size_t length);
    // Drops every node.
    void Clear();

private:
    std::deque<SyntaxNode> nodes_;
    std::deque<std::string> texts_;
};

}  // namespace qx
