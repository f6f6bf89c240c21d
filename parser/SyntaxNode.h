// SyntaxNode: one node of the syntax tree that the grammar builds and every
// later stage reads, annotates and relinks.
//
// A node is first-child / next-sibling: `child` is the first child and
// `next` the following sibling.  Ownership runs along both links: a node owns
// its child (and so the child's whole sibling chain and subtrees) and the
// chain of siblings that follows it.  Destroying a node therefore destroys
// its subtree and everything after it in its chain; detach a node (null the
// link that points to it, and its own `next` if the rest must survive)
// before destroying it alone.  Destruction and every walk here are iterative,
// so neither a long sibling list nor a deep nesting can exhaust the stack.
//
// Texts are memory blocks (AllocBlock/AllocLargeBlock) owned by the node;
// replace them with SetText, never by assigning a foreign buffer.  A text
// may hold a name set: names joined by "/" (the tables a predicate reads, or
// a rewritten item reference "TABLE/ITEM"), kept by the path operations.
//
// Left to others: what each node kind holds (the grammar), and the meaning
// of `aux`, `attached` and `value` beyond ownership (the stages using them).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/ListElement.h"
#include "parser/NodeKinds.h"

namespace qx {

class SyntaxNode : public ListElement {
public:
    // Longest part of a path component that takes part in comparisons.
    static constexpr std::size_t kMaxPathComponent = 127;

    char* text;         // owned NUL-terminated block; "" for inner nodes; never null once made
    std::int32_t kind;  // < 0: a FON_* node kind; > 0: the token kind of a leaf
    std::int32_t aux;   // auxiliary value: grammar marks (DESC, CHAR length, UNIQUE) and later stages' marks
    SyntaxNode* child;  // first child, owned together with its sibling chain
    SyntaxNode* next;   // next sibling, owned (with the rest of the chain)
    ListElement* attached;  // optional object owned by the node and destroyed with it; null by default
    void* value;            // optional pointer NOT owned by the node (e.g. a value buffer); null by default

    // A node holding a copy of `text` (null reads as "").  The new node owns
    // `child` and `next`.  Null when memory runs out; the caller then still
    // owns `child` and `next`, and nothing else is left allocated.
    static SyntaxNode* Make(const char* text, std::int32_t kind, std::int32_t aux,
                            SyntaxNode* child = nullptr, SyntaxNode* next = nullptr);

    // Destroys `attached`, the text, the child subtree and then the following
    // siblings, in a loop that takes no stack per node.
    ~SyntaxNode() override;

    // Replaces the text with a copy of `newText` (null reads as "").  Nothing
    // happens when given the node's own buffer; the buffer is reused when the
    // current text is at least as long (a suffix of it is accepted too).
    // 1 on success; 0 when memory runs out, the old text then staying.
    std::int16_t SetText(const char* newText);

    // Links `node` (with any chain already following it) into this node's
    // chain: with `insertAfter` right after this node, ahead of its former
    // successor; without, at the end of the chain (a walk along it).  To
    // build a long list in linear time, keep the last node and link after it.
    // Gives `node` (null when `node` is null, nothing then done).
    SyntaxNode* LinkSibling(SyntaxNode* node, bool insertAfter);
    // Makes a node and links it as LinkSibling does; null when memory runs out.
    SyntaxNode* AddSibling(const char* newText, std::int32_t newKind, std::int32_t newAux, bool insertAfter);
    // Makes `node` the first child when there is none; otherwise links it into
    // the first child's chain as LinkSibling does.  Gives `node`.
    SyntaxNode* AttachChild(SyntaxNode* node, bool insertAfter);
    // Makes a node and attaches it as AttachChild does; null when memory runs out.
    SyntaxNode* AddChild(const char* newText, std::int32_t newKind, std::int32_t newAux, bool insertAfter);

    // Name sets in `text`.  Components are compared byte for byte on at most
    // their first 127 characters.  AddPathName: an empty text becomes `name`;
    // a name already present leaves the text as it is; otherwise "/" and the
    // name are appended.  An empty name changes nothing.  1 on success, 0
    // when memory runs out (the text unchanged).
    std::int16_t AddPathName(const char* name);
    // A copy of the whole component at 0-based `index`, as a memory block the
    // caller releases with FreeBlock; null when the component is absent or
    // empty, or when memory runs out.
    char* GetPathComponent(int index) const;
    // Component `index` as a view into `text` (no allocation); false when it
    // is absent or empty, the outputs then untouched.
    bool PathComponentView(int index, const char** start, std::size_t* length) const;

    // Pre-order walk over this node, its subtree, then its following siblings
    // and their subtrees.  The visitor may change the visited node's fields
    // and add children to it (they are walked); it must not destroy nodes the
    // walk has yet to reach.  Stops at the first visitor result 0.  Gives the
    // last visitor result: nonzero when the walk ran to its end, 0 when it was
    // stopped or when memory for a deep walk ran out (message shown).
    using Visitor = int (*)(SyntaxNode* node, void* context);
    int Walk(Visitor visitor, void* context);
    // The first node in walk order whose `aux` equals `wanted`, or null.
    SyntaxNode* FindByAux(std::int32_t wanted);
    // Number of nodes in the walk; -1 when memory for a deep walk ran out.
    int CountNodes();
    // The n-th node (from 1) in walk order of kind `wanted`, or null when
    // there are fewer (or n < 1).
    SyntaxNode* FindNthOfKind(std::int32_t wanted, int n);

private:
    SyntaxNode();
};

}  // namespace qx
