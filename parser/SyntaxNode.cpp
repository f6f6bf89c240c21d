#include "parser/SyntaxNode.h"

#include <new>

#include "base/MemoryBlock.h"
#include "parser/SyntaxTree.h"

namespace qx {

SyntaxNode* SyntaxNode::LinkSibling(SyntaxNode* node, bool insertAfter) {
    if (node == nullptr) return nullptr;
    SyntaxNode* tail = insertAfter ? node : this;
    while (tail->next != nullptr) tail = tail->next;
    if (insertAfter) {
        tail->next = next;
        next = node;
    } else {
        tail->next = node;
    }
    return node;
}

SyntaxNode* SyntaxNode::AttachChild(SyntaxNode* node, bool insertAfter) {
    if (node == nullptr) return nullptr;
    if (child == nullptr) return child = node;
    return child->LinkSibling(node, insertAfter);
}

SyntaxNode* SyntaxTree::Make(const char* text, std::int32_t kind, std::int32_t aux) {
    try {
        SyntaxNode& node = nodes_.emplace_back();
        node.kind = kind;
        node.aux = aux;
        if (text != nullptr && text[0] != '\0') node.text = texts_.emplace_back(text).c_str();
        return &node;
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        return nullptr;
    }
}

const char* SyntaxTree::Text(const char* text, std::size_t length) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (length > 0 && blank(*text)) {
        ++text;
        --length;
    }
    while (length > 0 && blank(text[length - 1])) --length;
    try {
        return texts_.emplace_back(text, length).c_str();
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        return nullptr;
    }
}

void SyntaxTree::Clear() {
    nodes_.clear();
    texts_.clear();
}

}  // namespace qx
