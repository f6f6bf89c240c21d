// The parser beyond tree shapes and messages (those are in tests/sql): the
// dictionary notes made while parsing, the nesting bound, long flat lists,
// and out-of-memory at every allocation of a parse.
#include "parser/Parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/MemoryBlock.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "interface/SqlRequest.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

// A statement as the pipeline hands it to the parser, parsed on demand,
// with the dictionary view built from what the parse noted.
class ParsedRequest {
public:
    explicit ParsedRequest(const std::string& statement) : text_(statement + ";") {}
    bool Ready() const { return true; }
    // Parses with a fresh Parser; with `failAt` not 0, allocation number
    // `failAt` of the parse fails.  0 on success, -1 on failure.
    // `*injected` tells whether the injected failure happened.
    int Parse(std::uint64_t failAt = 0, bool* injected = nullptr) {
        Parser parser;
        SyntaxNode* tree = nullptr;
        platform::HeapFailAt(failAt);
        Status status = parser.Parse(text_.c_str(), &tree);
        if (injected != nullptr) *injected = platform::HeapInjectedFailureHappened();
        platform::HeapFailAt(0);
        tree_.reset(tree);
        error_ = status.ok() ? "" : status.error().text();
        sqlState_ = status.ok() ? "00000" : status.error().sqlState();
        if (status.ok()) dictionary_ = std::make_unique<QueryDictionary>(0, 0);
        if (status.ok() && !dictionary_->AddNames(parser.names).ok()) return -1;
        return status.ok() ? 0 : -1;
    }
    SyntaxNode* tree() const { return tree_.get(); }
    const std::string& sqlState() const { return sqlState_; }
    QueryDictionary* dictionary() const { return dictionary_.get(); }
    std::string Error() const { return error_; }

private:
    std::string text_;
    std::unique_ptr<SyntaxNode> tree_;
    std::unique_ptr<QueryDictionary> dictionary_;
    std::string error_;
    std::string sqlState_;
};

class ParserTest : public qxtest::EngineTest {};

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// ---- dictionary notes -----------------------------------------------------

struct TableNote {
    const char* name;
    const char* aliasOf;  // null for a table
    int usedName;
    int allItems;
};

struct NotesCase {
    const char* statement;
    std::vector<TableNote> tables;   // every TableRef, in order
    std::vector<const char*> noted;  // item names that must be noted
    std::vector<const char*> absent; // names that must not be noted
};

TEST_F(ParserTest, DictionaryNotes) {
    const NotesCase cases[] = {
        {"SELECT A, T.B FROM T X, U WHERE C = 1 ORDER BY D",
         {{"T", nullptr, 0, 0}, {"X", "T", 1, 0}, {"U", nullptr, 1, 0}},
         {"A", "B", "C"},
         {"D", "T.B", "T", "X", "U"}},
        {"SELECT * FROM T AS X (P, Q), U", {{"T", nullptr, 0, 1}, {"X", "T", 1, 0}, {"U", nullptr, 1, 1}}, {"P", "Q"}, {}},
        // The "*" of a sub-query marks the tables read after it, not before.
        {"SELECT A FROM T WHERE A IN (SELECT * FROM U) AND EXISTS (SELECT B FROM V)",
         {{"T", nullptr, 1, 0}, {"U", nullptr, 1, 1}, {"V", nullptr, 1, 1}},
         {"A", "B"},
         {}},
        {"SELECT A FROM T, T", {{"T", nullptr, 1, 0}}, {"A"}, {}},
        {"INSERT INTO T VALUES (1, N)", {{"T", nullptr, 0, 1}}, {"N"}, {}},
        {"INSERT INTO T (A, B) SELECT C FROM U", {{"T", nullptr, 0, 0}, {"U", nullptr, 1, 0}}, {"A", "B", "C"}, {}},
        {"UPDATE T SET A = (B), C = (NULL) WHERE D = 1", {{"T", nullptr, 0, 0}}, {"A", "B", "C", "D"}, {}},
        {"DELETE FROM T WHERE A = 1", {{"T", nullptr, 0, 0}}, {"A"}, {}},
        {"CREATE UNIQUE INDEX I ON T (A, B)", {{"T", nullptr, 0, 0}}, {"A", "B"}, {"I"}},
        {"CREATE TABLE T (A INTEGER, B CHAR(5))", {}, {}, {"A", "B", "T"}},
        {"DROP TABLE T", {}, {}, {"T"}},
        {"CREATE VIEW V AS SELECT A FROM T", {{"T", nullptr, 1, 0}}, {"A"}, {"V"}},
    };
    for (const NotesCase& c : cases) {
        SCOPED_TRACE(c.statement);
        ParsedRequest parsed(c.statement);
        ASSERT_TRUE(parsed.Ready());
        ASSERT_GE(parsed.Parse(), 0) << parsed.Error();
        const List& tables = parsed.dictionary()->tables;
        ASSERT_EQ(tables.Count(), static_cast<int>(c.tables.size()));
        for (std::size_t i = 0; i < c.tables.size(); ++i) {
            auto* table = static_cast<TableRef*>(tables.GetAt(static_cast<std::int16_t>(i)));
            const TableNote& want = c.tables[i];
            EXPECT_STREQ(table->name.Get(), want.name);
            if (want.aliasOf == nullptr) {
                EXPECT_EQ(table->aliasOf, nullptr) << want.name;
            } else {
                ASSERT_NE(table->aliasOf, nullptr) << want.name;
                EXPECT_STREQ(table->aliasOf->name.Get(), want.aliasOf);
            }
            EXPECT_EQ(table->usedName, want.usedName) << want.name;
            EXPECT_EQ(table->allItems, want.allItems) << want.name;
        }
        for (const char* name : c.noted) EXPECT_TRUE(parsed.dictionary()->referencedNames.Contains(name)) << name;
        for (const char* name : c.absent) EXPECT_FALSE(parsed.dictionary()->referencedNames.Contains(name)) << name;
    }
}

// A failed parse leaves no tree and reports through the request only.
TEST_F(ParserTest, FailureLeavesNoTree) {
    ParsedRequest parsed("SELECT A FROM T WHERE A = 1 AND (B = 2 OR C LIKE D)");
    ASSERT_TRUE(parsed.Ready());
    EXPECT_LT(parsed.Parse(), 0);
    EXPECT_EQ(parsed.tree(), nullptr);
    EXPECT_EQ(parsed.sqlState(), "00123");
    EXPECT_EQ(parsed.Error(), "Chaîne attendue\n\n Item : 'D'\n Position : 49");
}

// ---- nesting bound --------------------------------------------------------

struct NestingCase {
    const char* what;
    const char* prefix;  // statement text before the nesting
    const char* open;    // repeated before the core
    const char* core;
    const char* close;   // repeated after the core
    const char* suffix;
    int levelsPerRepeat;  // nesting levels one repetition opens
};

// At the bound a statement parses; one level more, or thousands more, and
// it fails with 4241 (no stack overflow, nothing left allocated).
TEST_F(ParserTest, NestingIsBounded) {
    const NestingCase cases[] = {
        {"parentheses", "SELECT A FROM T WHERE ", "(", "A = 1", ")", "", 1},
        {"NOT chain", "SELECT A FROM T WHERE ", "NOT ", "A = 1", "", "", 1},
        {"function arguments", "SELECT ", "SUM(", "X", ")", " FROM T", 1},
        {"sub-selects", "SELECT A FROM T WHERE ", "A IN (SELECT B FROM T WHERE ", "C = 1", ")", "", 1},
        {"EXISTS", "SELECT A FROM T WHERE ", "EXISTS (SELECT * FROM T WHERE ", "C = 1", ")", "", 1},
        {"mixed", "SELECT A FROM T WHERE ", "NOT (", "A = 1", ")", "", 2},
    };
    const std::size_t before = platform::HeapLiveBlocks();
    for (const NestingCase& c : cases) {
        for (int levels : {Parser::kMaxNesting, Parser::kMaxNesting + 1, Parser::kMaxNesting + 2, 5000}) {
            SCOPED_TRACE(std::string(c.what) + " x " + std::to_string(levels));
            int repeats = (levels + c.levelsPerRepeat - 1) / c.levelsPerRepeat;
            std::string statement = c.prefix + Repeat(c.open, repeats) + c.core + Repeat(c.close, repeats) + c.suffix;
            if (statement.size() > kMaxStatementLength) continue;
            ParsedRequest parsed(statement);
            ASSERT_TRUE(parsed.Ready());
            int result = parsed.Parse();
            if (repeats * c.levelsPerRepeat <= Parser::kMaxNesting) {
                EXPECT_GE(result, 0) << parsed.Error();
                continue;
            }
            EXPECT_LT(result, 0);
            EXPECT_EQ(parsed.tree(), nullptr);
            EXPECT_EQ(parsed.Error().rfind("Erreur interne : imbrication de plus de 128 niveaux\n\n Item : '", 0), 0u)
                << parsed.Error();
        }
    }
    EXPECT_EQ(platform::HeapLiveBlocks(), before);
}

// ---- long lists -----------------------------------------------------------

TEST_F(ParserTest, LongFlatListsParse) {
    std::string in = "SELECT A FROM T WHERE A IN (1";
    for (int i = 2; i <= 3000; ++i) in += "," + std::to_string(i % 10);
    in += ")";
    std::string ors = "SELECT A FROM T WHERE A=1";
    for (int i = 1; i < 2000; ++i) ors += " OR A=" + std::to_string(i % 10);
    struct {
        const std::string& statement;
        std::int32_t listKind;
        int elements;
    } cases[] = {{in, FON_ITEM_SIMPLE_VIRGULE_LISTE, 3000}, {ors, FON_CONDITION_RECHERCHE, 2000}};
    for (const auto& c : cases) {
        ASSERT_LE(c.statement.size(), kMaxStatementLength);
        ParsedRequest parsed(c.statement);
        ASSERT_TRUE(parsed.Ready());
        ASSERT_GE(parsed.Parse(), 0) << parsed.Error();
        SyntaxNode* list = parsed.tree()->FindNthOfKind(c.listKind, 1);
        ASSERT_NE(list, nullptr);
        int count = 0;
        for (SyntaxNode* n = list->child; n != nullptr; n = n->next) ++count;
        EXPECT_EQ(count, c.elements);
    }
}

// ---- out of memory --------------------------------------------------------

// Every allocation of a parse is made to fail in turn: the parse then either
// still succeeds (a failure the dictionary absorbs) or reports message 4242;
// nothing is left allocated either way.
TEST_F(ParserTest, OutOfMemoryAtEveryAllocation) {
    const char* statements[] = {
        "SELECT DISTINCT A AS X, SUM(B) FROM T Y, U WHERE A BETWEEN 1 AND 2 OR NOT (B IN (SELECT C FROM V)) "
        "GROUP BY A HAVING COUNT(*) > 1 ORDER BY A DESC",
        "SELECT * FROM T UNION ALL SELECT * FROM U",
        "CREATE TABLE T (A CHAR(10) NOT NULL, B DOUBLE PRECISION DEFAULT 0)",
        "CREATE UNIQUE INDEX I ON T (A, B)",
        "INSERT INTO T (A) VALUES ('x')",
        "UPDATE T SET A = (DEFAULT), B = (YEAR(CURRENT DATE)) WHERE C LIKE 'a%'",
        "SELECT A FROM T WHERE A = garbage garbage",  // a syntax error after the failure point
    };
    qxtest::MessageCapture boxes;  // memory failures show a message box
    for (const char* statement : statements) {
        SCOPED_TRACE(statement);
        bool reachedEnd = false;
        for (std::uint64_t k = 1; k < 5000 && !reachedEnd; ++k) {
            const std::size_t before = platform::HeapLiveBlocks();
            {
                ParsedRequest parsed(statement);
                ASSERT_TRUE(parsed.Ready());
                bool injected = false;
                int result = parsed.Parse(k, &injected);
                reachedEnd = !injected;
                if (result < 0) {
                    EXPECT_EQ(parsed.tree(), nullptr);
                    // The last statement also fails on its syntax, after the failure point.
                    bool syntax = parsed.Error().rfind("Mémoire insuffisante", 0) != 0 &&
                                  std::string(statement).find("garbage") != std::string::npos;
                    if (!reachedEnd && !syntax) {
                        EXPECT_EQ(parsed.Error().rfind("Mémoire insuffisante\n\n Item : ", 0), 0u)
                            << "k=" << k << ": " << parsed.Error();
                    }
                } else {
                    EXPECT_NE(parsed.tree(), nullptr) << "k=" << k;
                }
            }
            EXPECT_EQ(platform::HeapLiveBlocks(), before) << "k=" << k;
        }
        EXPECT_TRUE(reachedEnd);
    }
}

}  // namespace
