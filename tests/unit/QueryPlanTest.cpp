// QueryPlan and QueryTransformer over hand-built trees and a hand-built
// dictionary: predicate filing, the tree of nested blocks, the correlation
// pass, and the ownership of results between leaves and group holders.
// Statements written as SQL are covered by tests/sql/plan.test and typing.test.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/RecordTupleSet.h"
#include "planner/QueryTransformer.h"

#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "planner/PlanDump.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

namespace {

using qx::SyntaxNode;

// A request with a dictionary of tables T(A numeric, NAME text), U(A, B
// numeric), V(C numeric, K composite key), loaded by hand.
class PlanFixture : public ::testing::Test {
protected:
    void SetUp() override {
        qx::SetEnglishMessages(0);
        dictionary_ = new qx::QueryDictionary(0, 0);
        ASSERT_NE(dictionary_, nullptr);
        AddTable("T", {{"A", 5}, {"NAME", 15}});
        AddTable("U", {{"A", 5}, {"B", 5}});
        AddTable("V", {{"C", 5}, {"K", 0}});
        plan_ = new qx::QueryPlan(dictionary_);
    }
    void TearDown() override {
        delete plan_;
        tree_.reset();
        delete dictionary_;
    }

    void AddTable(const char* name, std::initializer_list<std::pair<const char*, int>> items) {
        qx::TableRef* table = dictionary_->FindOrAddTable(name, nullptr);
        std::uint16_t offset = 1;
        for (const auto& [itemName, type] : items) {
            std::uint8_t key = std::strcmp(itemName, "K") == 0 ? qx::ItemDescriptor::kCompositeKey : 0;
            auto* item = new qx::ItemDescriptor(itemName, static_cast<std::uint16_t>(type), 4, key, offset, 1, table, name);
            ASSERT_TRUE(table->AddItem(item));
            offset += 4;
        }
    }

    // The plan's error text; empty while it has none.
    std::string ErrorText() const {
        return plan_ == nullptr || plan_->status.ok() ? std::string() : plan_->status.error().text();
    }

    qx::TableRef* Table(const char* name) { return qx::FindTable(dictionary_->tables, name); }

    // Plans `query` (a FON_REQUETE_SELECTION) as the request's statement.
    int Transform(SyntaxNode* query) {
        tree_.reset(N(qx::FON_REQUETE, "", {query}));
        qx::QueryTransformer transformer;
        return transformer.Transform(plan_, tree_.get());
    }

    static SyntaxNode* N(int kind, const char* text, std::initializer_list<SyntaxNode*> children = {}) {
        SyntaxNode* node = SyntaxNode::Make(text, kind, 0);
        for (SyntaxNode* child : children) node->AttachChild(child, false);
        return node;
    }
    static SyntaxNode* Item(const char* name) { return N(qx::FON_ITEM_SIMPLE, "", {N(qx::kTokIdentifier, name)}); }
    static SyntaxNode* Number(const char* text) { return N(qx::FON_ITEM_SIMPLE, "", {N(qx::kTokInteger, text)}); }
    static SyntaxNode* Operand(SyntaxNode* simple) {
        return N(qx::FON_ITEM_COMPARE, "", {N(qx::FON_TERME, "", {N(qx::FON_FACTEUR, "", {simple})})});
    }
    static SyntaxNode* Equal(SyntaxNode* left, SyntaxNode* right) {
        return N(qx::FON_EXPRESSION, "", {Operand(left), N(qx::FON_COMPARAISON, "", {N(qx::kOpEqual, "="), right})});
    }
    static SyntaxNode* Factor(SyntaxNode* expression) { return N(qx::FON_FACTEUR_LOGIQUE, "", {expression}); }
    static SyntaxNode* And(std::initializer_list<SyntaxNode*> factors) { return N(qx::FON_TERME_LOGIQUE, "", factors); }
    static SyntaxNode* Or(std::initializer_list<SyntaxNode*> terms) { return N(qx::FON_CONDITION_RECHERCHE, "", terms); }
    static SyntaxNode* Where(SyntaxNode* expression) { return Or({And({Factor(expression)})}); }
    static SyntaxNode* Exists(SyntaxNode* body) { return N(qx::FON_EXPRESSION, "", {N(qx::kKwExists, "EXISTS"), body}); }
    // SELECT * FROM table [WHERE condition]
    static SyntaxNode* Body(const char* table, SyntaxNode* condition) {
        SyntaxNode* body = N(qx::FON_SOUS_SELECT, "",
                             {N(qx::FON_ITEM_SELECTIONNE, "", {N(qx::kOpStar, "*")}),
                              N(qx::FON_TABLE_REF_VIRGULE_LISTE, "", {N(qx::FON_TABLE_REF, "", {N(qx::kTokIdentifier, table)})})});
        if (condition != nullptr) body->AttachChild(condition, false);
        return body;
    }
    static SyntaxNode* Query(SyntaxNode* body) { return N(qx::FON_REQUETE_SELECTION, "", {body}); }

    qx::ConditionResult* NewResult() { return new qx::ConditionResult(nullptr, nullptr, nullptr); }

    qx::QueryDictionary* dictionary_ = nullptr;
    std::unique_ptr<SyntaxNode> tree_;
    qx::QueryPlan* plan_ = nullptr;
};

TEST_F(PlanFixture, AddPredicateFilesByExactSetText) {
    std::int16_t block = plan_->NewSelectBlock(-1);
    ASSERT_EQ(block, 0);
    qx::SelectBlock* b = plan_->Block(0);
    EXPECT_EQ(b->groups, nullptr);

    // The leaves own the results; the groups only point at them.
    struct Case {
        const char* set;
        int columns;
    } cases[] = {{"A/B", 2}, {"B/A", 2}, {"A/B", 2}, {"", 0}, {"A", 1}};
    SyntaxNode* leaves = SyntaxNode::Make("", 0, 0);
    for (const Case& c : cases) {
        qx::ConditionResult* result = NewResult();
        SyntaxNode* leaf = leaves->AddChild("", 302, 0, false);
        leaf->attached = result;
        ASSERT_EQ(plan_->AddPredicate(block, c.set, result), 1) << c.set;
        EXPECT_EQ(result->tuples->ColumnCount(), c.columns) << c.set;
    }
    EXPECT_EQ(DumpPlan(*plan_),
              "block 0 parent -1\n  tables\n  items *\n"
              "  group \"\" 1\n  group \"A/B\" 2\n  group \"B/A\" 1\n  group \"A\" 1\n");
    SyntaxNode* ab = b->groups->next;
    EXPECT_EQ(ab->child->value, leaves->child->attached);
    EXPECT_EQ(ab->child->next->value, leaves->child->next->next->attached);
    EXPECT_STREQ(static_cast<qx::ConditionResult*>(ab->child->value)->tuples->ColumnName(1), "B");
    delete leaves;
}

TEST_F(PlanFixture, ParentOfFollowsTheEntriesOfTheMainTree) {
    ASSERT_EQ(plan_->NewSelectBlock(-1), 0);
    ASSERT_EQ(plan_->NewSelectBlock(0), 1);
    ASSERT_EQ(plan_->NewSelectBlock(1), 2);
    ASSERT_EQ(plan_->NewSelectBlock(0), 3);
    ASSERT_EQ(plan_->NewSelectBlock(-1), 4);  // a set operator's second SELECT
    ASSERT_EQ(plan_->NewSelectBlock(4), 5);
    EXPECT_EQ(plan_->selectCount, 6);
    struct {
        std::int16_t block, parentOf, parentField;
    } cases[] = {{0, -1, -1}, {1, 0, 0}, {2, 1, 1}, {3, 0, 0}, {4, -1, -1}, {5, -1, 4}, {9, -1, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(plan_->ParentOf(c.block), c.parentOf) << c.block;
        if (plan_->Block(c.block) != nullptr) {
            EXPECT_EQ(plan_->Block(c.block)->parent, c.parentField) << c.block;
        }
    }
    EXPECT_EQ(plan_->NestedEntry(2), plan_->Block(1)->children->next);
    EXPECT_EQ(plan_->NestedEntry(0), nullptr);
}

TEST_F(PlanFixture, FileAJoinTermAndAFilter) {
    // SELECT * FROM T, U WHERE T.A = U.B AND T.A = 1
    SyntaxNode* body = Body("T", Or({And({Factor(Equal(Item("T.A"), Item("U.B"))), Factor(Equal(Item("T.A"), Number("1")))})}));
    body->child->next->AttachChild(N(qx::FON_TABLE_REF, "", {N(qx::kTokIdentifier, "U")}), false);
    ASSERT_EQ(Transform(Query(body)), 1) << ErrorText();
    EXPECT_EQ(DumpPlan(*plan_),
              "block 0 parent -1\n  tables T U\n  items *\n  where ({T/U}) AND ({T})\n"
              "  group \"\" 0\n  group \"T/U\" 1\n  group \"T\" 1\n");
    // Identifiers now read TABLE/ITEM; the result keeps the references and items.
    auto* leaf = plan_->Block(0)->condition->child;
    auto* result = static_cast<qx::ConditionResult*>(leaf->attached);
    EXPECT_STREQ(result->itemRefs->text, "T/A");
    EXPECT_STREQ(result->itemRefs->next->text, "U/B");
    EXPECT_EQ(result->items->Count(), 2);
    EXPECT_EQ(result->expression->kind, qx::FON_EXPRESSION);
}

TEST_F(PlanFixture, CorrelationReachesThreeLevels) {
    // SELECT * FROM T WHERE EXISTS (SELECT * FROM U WHERE EXISTS
    //   (SELECT * FROM V WHERE V.C = T.A))
    SyntaxNode* inner = Body("V", Where(Equal(Item("V.C"), Item("T.A"))));
    SyntaxNode* middle = Body("U", Where(Exists(inner)));
    ASSERT_EQ(Transform(Query(Body("T", Where(Exists(middle))))), 1) << ErrorText();
    EXPECT_EQ(DumpPlan(*plan_),
              "block 0 parent -1\n  tables T\n  items *\n  where {T}\n"
              "  group \"\" 0\n  group \"T\" 1\n  nested 1 \"T\" T/A\n"
              "block 1 parent 0\n  tables U\n  items *\n  where {T}\n"
              "  group \"\" 0\n  group \"T\" 1\n  nested 2 \"T\" T/A\n"
              "block 2 parent 1\n  tables V\n  items *\n  where {V/T}\n"
              "  group \"\" 0\n  group \"V/T\" 1\n");
    // The EXISTS keywords and sub-select nodes carry their block's index.
    SyntaxNode* exists = tree_->FindNthOfKind(qx::kKwExists, 2);
    EXPECT_EQ(exists->aux, 2);
    EXPECT_EQ(plan_->ParentOf(2), 1);
}

TEST_F(PlanFixture, TypingErrorsCarryTheNodeText) {
    struct Case {
        SyntaxNode* condition;
        const char* error;
    } cases[] = {
        {Where(Equal(Item("NAME"), Number("3"))), "Typage incorrect: "},
        {Where(Equal(Item("MISSING"), Number("3"))), "Référence à une rubrique ('MISSING') qui n'existe pas"},
    };
    for (const Case& c : cases) {
        delete plan_;
        plan_ = new qx::QueryPlan(dictionary_);
        EXPECT_EQ(Transform(Query(Body("T", c.condition))), 0);
        EXPECT_EQ(ErrorText(), c.error);
    }
}

TEST_F(PlanFixture, LinkNestedListsEachReferenceOnce) {
    // Block 1 nested in block 0 (tables T), with predicates reading T twice.
    ASSERT_EQ(plan_->NewSelectBlock(-1), 0);
    ASSERT_EQ(plan_->AddTable(0, Table("T")), 1);
    ASSERT_EQ(plan_->NewSelectBlock(0), 1);
    ASSERT_EQ(plan_->AddTable(1, Table("U")), 1);
    SyntaxNode* leaves = SyntaxNode::Make("", 0, 0);
    for (const char* refs : {"U/A T/A", "T/A T/NAME", "U/B"}) {
        SyntaxNode* chain = nullptr;
        SyntaxNode* last = nullptr;
        std::string set;
        for (const char* p = refs; *p != '\0';) {
            std::size_t n = std::strcspn(p, " ");
            std::string ref(p, n);
            SyntaxNode* node = SyntaxNode::Make(ref.c_str(), 0, 0);
            if (chain == nullptr) chain = node;
            else last->LinkSibling(node, true);
            last = node;
            std::string table = ref.substr(0, ref.find('/'));
            if (("/" + set + "/").find("/" + table + "/") == std::string::npos) set += (set.empty() ? "" : "/") + table;
            p += n;
            if (*p == ' ') ++p;
        }
        auto* result = new qx::ConditionResult(nullptr, chain, nullptr);
        leaves->AddChild("", 302, 0, false)->attached = result;
        ASSERT_EQ(plan_->AddPredicate(1, set.c_str(), result), 1);
    }
    ASSERT_EQ(plan_->LinkNested(0), 1);
    ASSERT_EQ(plan_->LinkNested(0), 1);  // running the pass again adds nothing
    SyntaxNode* entry = plan_->NestedEntry(1);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->text, "T");
    ASSERT_NE(entry->child, nullptr);
    std::string references;
    for (SyntaxNode* ref = entry->child->next; ref != nullptr; ref = ref->next) references += std::string(ref->text) + " ";
    EXPECT_EQ(references, "T/A T/NAME ");
    delete leaves;
}

TEST_F(PlanFixture, EveryAllocationFailureFailsCleanly) {
    // Each allocation of the planning of a correlated three-level statement
    // fails in turn: the planning then fails with a message, or succeeds
    // when the failed block was not needed; nothing leaks or dangles (the
    // sanitizer build checks).
    qxtest::MessageCapture quiet;
    int failures = 0;
    delete plan_;
    plan_ = nullptr;
    for (std::uint64_t n = 1; n < 2000; ++n) {
        std::size_t live = qx::platform::HeapLiveBlocks();
        plan_ = new qx::QueryPlan(dictionary_);
        SyntaxNode* inner = Body("V", Or({And({Factor(Equal(Item("V.C"), Item("T.A"))), Factor(Equal(Item("C"), Item("U.B")))})}));
        SyntaxNode* middle = Body("U", Where(Exists(inner)));
        SyntaxNode* query = Query(Body("T", Or({And({Factor(Exists(middle))}), And({Factor(Equal(Item("NAME"), Item("NAME")))})})));
        tree_.reset(N(qx::FON_REQUETE, "", {query}));
        qx::QueryTransformer transformer;
        qx::platform::HeapFailAt(n);
        int result = transformer.Transform(plan_, tree_.get());
        std::string error = ErrorText();
        bool failed = qx::platform::HeapInjectedFailureHappened();
        qx::platform::HeapFailAt(0);
        std::string dump = failed ? std::string() : DumpPlan(*plan_);
        delete plan_;
        plan_ = nullptr;
        tree_.reset();
        EXPECT_EQ(qx::platform::HeapLiveBlocks(), live) << "allocation " << n;
        if (!failed) {
            EXPECT_EQ(result, 1) << error;
            EXPECT_NE(dump.find("nested 2 \"U/T\" U/B T/A"), std::string::npos) << dump;
            break;
        }
        ++failures;
        if (result == 0) {
            EXPECT_FALSE(error.empty()) << "allocation " << n;
        }
    }
    EXPECT_GT(failures, 20);
}

}  // namespace
