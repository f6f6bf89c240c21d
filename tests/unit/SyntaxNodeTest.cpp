// Syntax tree nodes: ownership and release of long and deep trees, linking,
// texts and name sets, walks and searches, the kind names, the text dump,
// and behaviour when memory runs out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/MemoryBlock.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "parser/TreeDump.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

constexpr std::int32_t kIdent = 302;
constexpr std::int32_t kString = 301;

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

// Root -> A(child X, Y) -> B, with C following the root:  R A X Y B C.
SyntaxNode* SampleChain() {
    SyntaxNode* root = Node("", FON_REQUETE);
    SyntaxNode* a = root->AddChild("A", kIdent, 0, false);
    a->AddChild("X", kString, 5, false);
    a->AddChild("Y", kIdent, 0, false);
    root->AddChild("B", FON_TERME, 5, false);
    root->AddSibling("C", FON_TERME, 0, false);
    return root;
}

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

TEST_F(SyntaxNodeTest, SetTextReusesBufferWhenLongEnough) {
    SyntaxNode* node = Node("ABCDEF", kIdent);
    char* buffer = node->text;
    struct Step {
        const char* text;
        bool sameBuffer;
    } steps[] = {{"ABC", true}, {"XYZ", true}, {"", true}, {"LONGER", false}, {"ABCDEF", true}};
    for (const Step& s : steps) {
        char* before = node->text;
        ASSERT_EQ(node->SetText(s.text), 1);
        EXPECT_STREQ(node->text, s.text);
        EXPECT_EQ(node->text == before, s.sameBuffer) << s.text;
    }
    buffer = node->text;
    EXPECT_EQ(node->SetText(node->text), 1);  // own buffer: nothing happens
    EXPECT_EQ(node->text, buffer);
    EXPECT_EQ(node->SetText(node->text + 2), 1);  // a suffix of its own text
    EXPECT_STREQ(node->text, "CDEF");
    EXPECT_EQ(node->SetTextAndKind(nullptr, FON_REQUETE), 1);
    EXPECT_STREQ(node->text, "");
    EXPECT_EQ(node->kind, FON_REQUETE);
    delete node;
}

TEST_F(SyntaxNodeTest, PathNamesAreKeptAsSlashSeparatedSets) {
    const std::string longA(200, 'A');
    const std::string sameFirst127 = std::string(127, 'A') + "BBB";
    const std::string differsAt127 = std::string(126, 'A') + "B";
    struct Step {
        std::string name;
        std::string expected;
    } steps[] = {
        {"A", "A"},
        {"B", "A/B"},
        {"A", "A/B"},
        {"", "A/B"},
        {"AB", "A/B/AB"},
        {"B", "A/B/AB"},
        {longA, "A/B/AB/" + longA},
        {sameFirst127, "A/B/AB/" + longA},  // compared on the first 127 characters only
        {differsAt127, "A/B/AB/" + longA + "/" + differsAt127},
    };
    SyntaxNode* node = Node("", FON_REQUETE);
    for (const Step& s : steps) {
        ASSERT_EQ(node->AddPathName(s.name.c_str()), 1);
        EXPECT_EQ(std::string(node->text), s.expected) << s.name;
    }
    EXPECT_TRUE(node->HasPathComponent("AB"));
    EXPECT_TRUE(node->HasPathComponent(sameFirst127.c_str()));
    EXPECT_FALSE(node->HasPathComponent("A/B"));
    EXPECT_FALSE(node->HasPathComponent(""));
    char* component = node->GetPathComponent(3);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(std::string(component), longA);  // given whole, not clipped
    FreeBlock(component);
    delete node;

    struct Read {
        const char* text;
        int index;
        const char* expected;  // null: none
    } reads[] = {
        {"A/B", 0, "A"},      {"A/B", 1, "B"},  {"A/B", 2, nullptr}, {"A/B", -1, nullptr},
        {"A//B", 1, nullptr}, {"A//B", 2, "B"}, {"", 0, nullptr},    {"T/", 1, nullptr},
    };
    for (const Read& r : reads) {
        SyntaxNode* n = Node(r.text);
        char* got = n->GetPathComponent(r.index);
        const char* start = nullptr;
        std::size_t length = 0;
        bool viewed = n->PathComponentView(r.index, &start, &length);
        if (r.expected == nullptr) {
            EXPECT_EQ(got, nullptr) << r.text << " " << r.index;
            EXPECT_FALSE(viewed);
        } else {
            ASSERT_NE(got, nullptr) << r.text << " " << r.index;
            EXPECT_STREQ(got, r.expected);
            ASSERT_TRUE(viewed);
            EXPECT_EQ(std::string(start, length), r.expected);
            FreeBlock(got);
        }
        delete n;
    }
}

TEST_F(SyntaxNodeTest, WalksSearchesAndCounts) {
    SyntaxNode* root = SampleChain();
    struct Seen {
        std::string order;
        int stopAt;
    } seen{"", 3};
    auto record = [](SyntaxNode* n, void* context) -> int {
        auto* s = static_cast<Seen*>(context);
        s->order += n->text[0] != '\0' ? n->text : "R";
        return --s->stopAt == 0 ? 0 : 9;
    };
    EXPECT_EQ(root->Walk(record, &seen), 0);  // stopped early at the third node
    EXPECT_EQ(seen.order, "RAX");
    seen = {"", 100};
    EXPECT_EQ(root->Walk(record, &seen), 9);
    EXPECT_EQ(seen.order, "RAXYBC");

    // Children added by the visitor under the visited node are walked.
    auto grow = [](SyntaxNode* n, void*) -> int {
        if (std::strcmp(n->text, "Y") == 0) n->AddChild("Y1", kIdent, 0, false);
        return 1;
    };
    EXPECT_EQ(root->child->Walk(grow, nullptr), 1);
    EXPECT_EQ(root->CountNodes(), 7);
    delete root->child->child->next->child;
    root->child->child->next->child = nullptr;

    EXPECT_EQ(root->FindByAux(5)->text, std::string("X"));
    EXPECT_EQ(root->FindByAux(42), nullptr);
    EXPECT_EQ(root->child->child->FindByAux(0)->text, std::string("Y"));  // starts at X (aux 5)

    SyntaxNode* leaf = Node("L");
    EXPECT_EQ(leaf->CountNodes(), 1);
    delete leaf;
    EXPECT_EQ(root->CountNodes(), 6);
    EXPECT_EQ(root->child->CountNodes(), 4);  // A with two children and one following sibling

    struct Nth {
        std::int32_t kind;
        int n;
        const char* expected;
    } nths[] = {{kIdent, 1, "A"},        {kIdent, 2, "Y"},  {kIdent, 3, nullptr},         {FON_TERME, 2, "C"},
                {FON_TERME, 0, nullptr}, {kString, 1, "X"}, {FON_SOUS_SELECT, 1, nullptr}};
    for (const Nth& c : nths) {
        SyntaxNode* found = root->FindNthOfKind(c.kind, c.n);
        if (c.expected == nullptr) {
            EXPECT_EQ(found, nullptr) << c.kind << " " << c.n;
        } else {
            ASSERT_NE(found, nullptr) << c.kind << " " << c.n;
            EXPECT_STREQ(found->text, c.expected);
        }
    }

    EXPECT_EQ(root->child->FindSiblingByText("B"), root->child->next);
    EXPECT_EQ(root->child->FindSiblingByText("b"), nullptr);
    EXPECT_EQ(root->child->next->FindSiblingByText("A"), nullptr);  // only this node and those after it
    delete root;
}

TEST_F(SyntaxNodeTest, KindNamesAndDisplayNames) {
    for (int kind = -1; kind >= kLastNodeKind; --kind) {
        const char* name = NodeKindName(kind);
        const char* display = NodeKindDisplayName(kind);
        ASSERT_NE(name, nullptr) << kind;
        ASSERT_NE(display, nullptr) << kind;
        EXPECT_EQ(std::strncmp(name, "FON_", 4), 0);
        EXPECT_EQ(std::strlen(display), 40u);
        EXPECT_EQ(std::string(display), std::string(name) + std::string(40 - std::strlen(name), ' '));
    }
    EXPECT_STREQ(NodeKindName(FON_REQUETE_SELECTION), "FON_REQUETE_SELECTION");
    EXPECT_STREQ(NodeKindName(-1), "FON_ITEM_SIMPLE");
    EXPECT_STREQ(NodeKindName(-34), "FON_REQUETE_CREATION_INDEX");
    EXPECT_STREQ(NodeKindName(-11), "FON_AFFECTATION_COLONNE_VIRGULE_LISTE");
    for (int notAKind : {0, -35, 302}) {
        EXPECT_EQ(NodeKindName(notAKind), nullptr);
        EXPECT_EQ(NodeKindDisplayName(notAKind), nullptr);
    }
}

TEST_F(SyntaxNodeTest, DumpShowsOneLinePerNode) {
    SyntaxNode* root = SampleChain();
    root->child->child->attached = new Tracked();
    root->child->child->next->SetText("say \"hi\"\n\x01");
    root->child->next->AddChild("", 0, -3, false);
    EXPECT_EQ(DumpTree(root),
              "FON_REQUETE \"\"\n"
              "  302 \"A\"\n"
              "    301 \"X\" aux=5 [attached]\n"
              "    302 \"say \\\"hi\\\"\\n\\x01\"\n"
              "  FON_TERME \"B\" aux=5\n"
              "    0 \"\" aux=-3\n");
    EXPECT_EQ(DumpChain(root->child->child), "301 \"X\" aux=5 [attached]\n302 \"say \\\"hi\\\"\\n\\x01\"\n");
    EXPECT_EQ(DumpChain(root).substr(DumpTree(root).size()), "FON_TERME \"C\"\n");
    EXPECT_EQ(DumpTree(nullptr), "");
    delete root;
    EXPECT_EQ(g_attachedDestroyed, 1);
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
    EXPECT_EQ(node->SetTextAndKind("LONGER", FON_TERME), 0);
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
