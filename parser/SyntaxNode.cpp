// SyntaxNode: making, relinking, searching and releasing syntax tree nodes.
//
// Trees are first-child / next-sibling, so a tree is a binary tree whose
// left link is `child` and right link `next`.  Release rotates left links
// into right ones and so needs no stack at all; the pre-order walks keep an
// explicit stack of the siblings still to visit, one entry per level of
// nesting that has a pending sibling, in a fixed array that moves to the
// block heap only for trees nested deeper than any statement the grammar
// accepts.  Texts are block-heap memory.  Name sets ("A/B") are plain texts
// read component by component; no index is kept.
#include "parser/SyntaxNode.h"

#include <cstring>

#include "base/MemoryBlock.h"

namespace qx {
namespace {

// A copy of `source[0..length)` with a NUL, or null (message shown) when
// memory runs out.
char* CopyText(const char* source, std::size_t length) {
    if (length >= UINT32_MAX) return nullptr;
    std::uint32_t size = static_cast<std::uint32_t>(length) + 1;
    void* block = size <= kMaxBlockSize ? AllocBlock(size) : AllocLargeBlock(size);
    if (block == nullptr) return nullptr;
    char* copy = static_cast<char*>(block);
    std::memcpy(copy, source, length);
    copy[length] = '\0';
    return copy;
}

// Releases `root`, its child subtree and its following siblings.  A node
// with a child is rotated under that child (the child takes the node as its
// successor, the node inherits the child's siblings as its children) until
// the node at hand has no child; it is then unlinked and released alone.
void DestroyChain(SyntaxNode* root) {
    while (root != nullptr) {
        SyntaxNode* below = root->child;
        if (below != nullptr) {
            root->child = below->next;
            below->next = root;
            root = below;
        } else {
            SyntaxNode* after = root->next;
            root->next = nullptr;
            delete root;
            root = after;
        }
    }
}

// Siblings waiting while a walk is inside an earlier sibling's subtree.
class PendingSiblings {
public:
    PendingSiblings() = default;
    PendingSiblings(const PendingSiblings&) = delete;
    PendingSiblings& operator=(const PendingSiblings&) = delete;
    ~PendingSiblings() {
        if (heap_ != nullptr) FreeBlock(heap_);
    }

    // False (message shown) when the stack could not grow.
    bool Push(SyntaxNode* node) {
        if (size_ == capacity_ && !Grow()) return false;
        entries_[size_++] = node;
        return true;
    }
    SyntaxNode* Pop() { return size_ == 0 ? nullptr : entries_[--size_]; }

private:
    static constexpr std::size_t kInline = 64;

    bool Grow() {
        std::size_t capacity = capacity_ * 2;
        std::size_t bytes = capacity * sizeof(SyntaxNode*);
        if (bytes >= UINT32_MAX) return false;
        void* block = heap_ != nullptr ? ReallocLargeBlock(heap_, static_cast<std::uint32_t>(bytes))
                                       : AllocLargeBlock(static_cast<std::uint32_t>(bytes));
        if (block == nullptr) return false;
        if (heap_ == nullptr) std::memcpy(block, inline_, size_ * sizeof(SyntaxNode*));
        heap_ = block;
        entries_ = static_cast<SyntaxNode**>(block);
        capacity_ = capacity;
        return true;
    }

    SyntaxNode* inline_[kInline] = {};
    SyntaxNode** entries_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = kInline;
    void* heap_ = nullptr;  // owned block once the inline array is outgrown
};

enum class WalkEnd { kFinished, kStopped, kNoMemory };

// Pre-order over `start`, its subtree, its following siblings and theirs.
// `visit` answers false to stop.  Links are read after the visit, so nodes
// the visitor attaches under the visited node are walked.
template <typename Visit>
WalkEnd Preorder(SyntaxNode* start, Visit&& visit) {
    PendingSiblings pending;
    SyntaxNode* node = start;
    while (node != nullptr) {
        if (!visit(node)) return WalkEnd::kStopped;
        SyntaxNode* below = node->child;
        SyntaxNode* after = node->next;
        if (below != nullptr) {
            if (after != nullptr && !pending.Push(after)) return WalkEnd::kNoMemory;
            node = below;
        } else {
            node = after != nullptr ? after : pending.Pop();
        }
    }
    return WalkEnd::kFinished;
}

// Component `index` of `path` (may be empty); false when there is none.
bool FindComponent(const char* path, int index, const char** start, std::size_t* length) {
    if (index < 0) return false;
    const char* p = path;
    for (int i = 0;; ++i) {
        const char* slash = std::strchr(p, '/');
        std::size_t size = slash != nullptr ? static_cast<std::size_t>(slash - p) : std::strlen(p);
        if (i == index) {
            *start = p;
            *length = size;
            return true;
        }
        if (slash == nullptr) return false;
        p = slash + 1;
    }
}

std::size_t Clip(std::size_t length) {
    return length < SyntaxNode::kMaxPathComponent ? length : SyntaxNode::kMaxPathComponent;
}

bool SameComponent(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
    aLength = Clip(aLength);
    bLength = Clip(bLength);
    return aLength == bLength && std::memcmp(a, b, aLength) == 0;
}

// True when some component of `path` equals `name` (both compared clipped).
bool PathHas(const char* path, const char* name, std::size_t nameLength) {
    const char* p = path;
    for (;;) {
        const char* slash = std::strchr(p, '/');
        std::size_t size = slash != nullptr ? static_cast<std::size_t>(slash - p) : std::strlen(p);
        if (SameComponent(p, size, name, nameLength)) return true;
        if (slash == nullptr) return false;
        p = slash + 1;
    }
}

}  // namespace

SyntaxNode::SyntaxNode()
    : text(nullptr), kind(0), aux(0), child(nullptr), next(nullptr), attached(nullptr), value(nullptr) {}

SyntaxNode* SyntaxNode::Make(const char* newText, std::int32_t newKind, std::int32_t newAux,
                             SyntaxNode* firstChild, SyntaxNode* nextSibling) {
    if (newText == nullptr) newText = "";
    SyntaxNode* node = new SyntaxNode();
    if (node == nullptr) return nullptr;
    node->text = CopyText(newText, std::strlen(newText));
    if (node->text == nullptr) {
        delete node;
        return nullptr;
    }
    node->kind = newKind;
    node->aux = newAux;
    node->child = firstChild;
    node->next = nextSibling;
    return node;
}

SyntaxNode::~SyntaxNode() {
    DestroyChain(child);
    child = nullptr;
    delete attached;
    attached = nullptr;
    if (text != nullptr) FreeBlock(text);
    text = nullptr;
    DestroyChain(next);
    next = nullptr;
}

std::int16_t SyntaxNode::SetText(const char* newText) {
    if (newText == text) return 1;
    if (newText == nullptr) newText = "";
    std::size_t length = std::strlen(newText);
    if (text != nullptr && std::strlen(text) >= length) {
        std::memmove(text, newText, length + 1);  // newText may be a suffix of text
        return 1;
    }
    char* copy = CopyText(newText, length);
    if (copy == nullptr) return 0;
    if (text != nullptr) FreeBlock(text);
    text = copy;
    return 1;
}

SyntaxNode* SyntaxNode::LinkSibling(SyntaxNode* node, bool insertAfter) {
    if (node == nullptr) return nullptr;
    if (insertAfter) {
        SyntaxNode* tail = node;
        while (tail->next != nullptr) tail = tail->next;
        tail->next = next;
        next = node;
    } else {
        SyntaxNode* tail = this;
        while (tail->next != nullptr) tail = tail->next;
        tail->next = node;
    }
    return node;
}

SyntaxNode* SyntaxNode::AddSibling(const char* newText, std::int32_t newKind, std::int32_t newAux,
                                   bool insertAfter) {
    SyntaxNode* node = Make(newText, newKind, newAux);
    return node != nullptr ? LinkSibling(node, insertAfter) : nullptr;
}

SyntaxNode* SyntaxNode::AttachChild(SyntaxNode* node, bool insertAfter) {
    if (node == nullptr) return nullptr;
    if (child == nullptr) {
        child = node;
        return node;
    }
    return child->LinkSibling(node, insertAfter);
}

SyntaxNode* SyntaxNode::AddChild(const char* newText, std::int32_t newKind, std::int32_t newAux,
                                 bool insertAfter) {
    SyntaxNode* node = Make(newText, newKind, newAux);
    return node != nullptr ? AttachChild(node, insertAfter) : nullptr;
}

std::int16_t SyntaxNode::AddPathName(const char* name) {
    if (name == nullptr || name[0] == '\0') return 1;
    if (text[0] == '\0') return SetText(name);
    std::size_t nameLength = std::strlen(name);
    if (PathHas(text, name, nameLength)) return 1;
    std::size_t textLength = std::strlen(text);
    if (textLength + nameLength + 2 > UINT32_MAX) return 0;
    std::uint32_t size = static_cast<std::uint32_t>(textLength + nameLength + 2);
    void* block = size <= kMaxBlockSize ? AllocBlock(size) : AllocLargeBlock(size);
    if (block == nullptr) return 0;
    char* joined = static_cast<char*>(block);
    std::memcpy(joined, text, textLength);
    joined[textLength] = '/';
    std::memcpy(joined + textLength + 1, name, nameLength + 1);
    FreeBlock(text);
    text = joined;
    return 1;
}

char* SyntaxNode::GetPathComponent(int index) const {
    const char* start = nullptr;
    std::size_t length = 0;
    if (!PathComponentView(index, &start, &length)) return nullptr;
    return CopyText(start, length);
}

bool SyntaxNode::PathComponentView(int index, const char** start, std::size_t* length) const {
    const char* found = nullptr;
    std::size_t size = 0;
    if (!FindComponent(text, index, &found, &size) || size == 0) return false;
    *start = found;
    *length = size;
    return true;
}

int SyntaxNode::Walk(Visitor visitor, void* context) {
    int last = 0;
    WalkEnd end = Preorder(this, [&](SyntaxNode* node) {
        last = visitor(node, context);
        return last != 0;
    });
    return end == WalkEnd::kNoMemory ? 0 : last;
}

SyntaxNode* SyntaxNode::FindByAux(std::int32_t wanted) {
    SyntaxNode* found = nullptr;
    Preorder(this, [&](SyntaxNode* node) {
        if (node->aux != wanted) return true;
        found = node;
        return false;
    });
    return found;
}

int SyntaxNode::CountNodes() {
    int count = 0;
    WalkEnd end = Preorder(this, [&](SyntaxNode*) {
        ++count;
        return true;
    });
    return end == WalkEnd::kNoMemory ? -1 : count;
}

SyntaxNode* SyntaxNode::FindNthOfKind(std::int32_t wanted, int n) {
    if (n < 1) return nullptr;
    SyntaxNode* found = nullptr;
    Preorder(this, [&](SyntaxNode* node) {
        if (node->kind != wanted || --n > 0) return true;
        found = node;
        return false;
    });
    return found;
}

}  // namespace qx
