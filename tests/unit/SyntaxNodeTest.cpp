// Syntax tree nodes: release and walks of long and deep trees without
// recursion, linking, and behaviour when memory runs out.
#include <gtest/gtest.h>

#include <string>

#include "base/MemoryBlock.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

constexpr std::int32_t kIdent = 302;

int g_attachedDestroyed = 0;

class Tracked : public ListElement {
public:
    ~Tracked() override { ++g_attachedDestroyed; }
};

SyntaxNode* Node(const char* text, std::int32_t kind = kIdent, std::int32_t aux = 0) {
    SyntaxNode* node = SyntaxNode::Make(text, kind, aux);
    EXPECT_NE(node, nullptr);
    return node;
}

// Texts of a sibling chain, joined by blanks.
std::string Texts(const SyntaxNode* first) {
    std::string out;
    for (const SyntaxNode* n = first; n != nullptr; n = n->next)
        out += (out.empty() ? "" : " ") + std::string(n->text);
    return out;
}

// Every test must give back every block it took.
class SyntaxNodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        live_ = platform::HeapLiveBlocks();
        g_attachedDestroyed = 0;
    }
    void TearDown() override {
        platform::HeapFailAt(0);
        EXPECT_EQ(platform::HeapLiveBlocks(), live_);
    }

private:
    std::size_t live_ = 0;
};

TEST_F(SyntaxNodeTest, ReleasesLongChainsAndDeepNestingIteratively) {
    constexpr int kCount = 100000;
    // A long sibling list, each node owning an attached object.
    SyntaxNode* head = Node("head");
    SyntaxNode* tail = head;
    for (int i = 0; i < kCount; ++i) {
        tail = tail->LinkSibling(Node("s"), true);
        if (i % 1000 == 0) tail->attached = new Tracked();
    }
    delete head;
    EXPECT_EQ(g_attachedDestroyed, kCount / 1000);

    // A child chain nested kCount deep, and the same with a sibling at every level.
    for (bool withSiblings : {false, true}) {
        SyntaxNode* root = Node("", FON_FACTEUR);
        SyntaxNode* deepest = root;
        for (int i = 0; i < kCount; ++i) {
            if (withSiblings) deepest->AddSibling("side", kIdent, 0, true);
            deepest = deepest->AttachChild(Node("", FON_FACTEUR), false);
        }
        deepest->attached = new Tracked();
        EXPECT_EQ(root->CountNodes(), withSiblings ? 2 * kCount + 1 : kCount + 1);
        EXPECT_EQ(root->FindByAux(7), nullptr);
        deepest->aux = 7;
        EXPECT_EQ(root->FindByAux(7), deepest);
        EXPECT_EQ(root->FindNthOfKind(FON_FACTEUR, kCount + 1), deepest);
        delete root;
    }
    EXPECT_EQ(g_attachedDestroyed, kCount / 1000 + 2);
}

TEST_F(SyntaxNodeTest, LinkSiblingAndAttachChildPlaceNodes) {
    struct Case {
        bool child;
        bool hasChildren;
        bool insertAfter;
        bool linkPair;  // the linked node brings a follower of its own
        const char* expected;
    } cases[] = {
        {false, false, true, false, "A X B C"},  {false, false, false, false, "A B C X"},
        {false, false, true, true, "A X Z B C"}, {false, false, false, true, "A B C X Z"},
        {true, false, true, false, "X"},         {true, false, false, false, "X"},
        {true, true, true, false, "P X Q"},      {true, true, false, false, "P Q X"},
        {true, true, true, true, "P X Z Q"},
    };
    for (const Case& c : cases) {
        SyntaxNode* a = Node("A");
        a->AddSibling("B", kIdent, 0, false);
        a->AddSibling("C", kIdent, 0, false);
        if (c.hasChildren) {
            a->AddChild("P", kIdent, 0, false);
            a->AddChild("Q", kIdent, 0, false);
        }
        SyntaxNode* x = Node("X");
        if (c.linkPair) x->next = Node("Z");
        SyntaxNode* got = c.child ? a->AttachChild(x, c.insertAfter) : a->LinkSibling(x, c.insertAfter);
        EXPECT_EQ(got, x);
        EXPECT_EQ(Texts(c.child ? a->child : a), c.expected)
            << "child=" << c.child << " insertAfter=" << c.insertAfter << " pair=" << c.linkPair;
        delete a;
    }
    SyntaxNode* a = Node("A");
    EXPECT_EQ(a->LinkSibling(nullptr, true), nullptr);
    EXPECT_EQ(a->AttachChild(nullptr, false), nullptr);
    EXPECT_EQ(a->CountNodes(), 1);
    delete a;
}

TEST_F(SyntaxNodeTest, OutOfMemoryLeavesNothingBehind) {
    qxtest::MessageCapture capture;
    // Make takes two blocks (node, text): either failing gives null.
    for (int failing : {1, 2}) {
        SyntaxNode* kept = Node("kept");
        platform::HeapFailAt(failing);
        EXPECT_EQ(SyntaxNode::Make("abc", kIdent, 0, kept), nullptr) << failing;
        platform::HeapFailAt(0);
        EXPECT_STREQ(kept->text, "kept");  // still the caller's
        delete kept;
    }

    SyntaxNode* node = Node("AB");
    platform::HeapFailAt(1);
    EXPECT_EQ(node->AddChild("x", kIdent, 0, false), nullptr);
    platform::HeapFailAt(1);
    EXPECT_EQ(node->AddSibling("x", kIdent, 0, true), nullptr);
    platform::HeapFailAt(1);
    EXPECT_EQ(node->SetText("LONGER"), 0);
    platform::HeapFailAt(1);
    EXPECT_EQ(node->AddPathName("C"), 0);
    platform::HeapFailAt(1);
    EXPECT_EQ(node->GetPathComponent(0), nullptr);
    platform::HeapFailAt(0);
    EXPECT_STREQ(node->text, "AB");
    EXPECT_EQ(node->kind, kIdent);
    EXPECT_EQ(node->CountNodes(), 1);

    // A walk deeper than its fixed stack needs a block; without one it gives up.
    SyntaxNode* deepest = node;
    for (int i = 0; i < 100; ++i) {
        deepest->AddSibling("side", kIdent, 0, true);
        deepest = deepest->AddChild("", FON_FACTEUR, 0, false);
    }
    deepest->aux = 1;
    platform::HeapFailAt(1);
    EXPECT_EQ(node->CountNodes(), -1);
    platform::HeapFailAt(1);
    EXPECT_EQ(node->Walk([](SyntaxNode*, void*) { return 1; }, nullptr), 0);
    platform::HeapFailAt(1);
    EXPECT_EQ(node->FindByAux(1), nullptr);
    platform::HeapFailAt(0);
    EXPECT_EQ(node->CountNodes(), 201);
    EXPECT_EQ(node->FindByAux(1), deepest);
    delete node;
}

}  // namespace
