// The engine's limits, each met with a clear error rather than a crash or a
// silent cut: statement length, nesting depth, list sizes, result row
// size, name lengths, memo parameters, a statement's working memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/MemoryBudget.h"
#include "platform/BlockHeap.h"
#include "tests/sql/SqlTestSupport.h"
#include "tests/testhost/TestHost.h"
#include "tests/unit/TestSupport.h"

namespace {

class LimitsTest : public qxtest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::string error;
        ASSERT_TRUE(qxtest::ApplyHostDirective("table T A:5:4 B:5:4 NAME:15:21", error)) << error;
        ASSERT_TRUE(qxtest::ApplyHostDirective("row T 1 2 'x'", error)) << error;
        live_ = qx::platform::HeapLiveBlocks();
    }
    void TearDown() override {
        EXPECT_EQ(qx::platform::HeapLiveBlocks(), live_);
        EngineTest::TearDown();
    }
    // Runs `statement`; expects success, or an error containing `fragment`.
    void Expect(const std::string& statement, const char* fragment, const std::string& what) {
        qxtest::StatementResult r = qxtest::RunStatement(statement);
        if (fragment == nullptr) {
            EXPECT_EQ(r.rc, 0) << what << ": " << r.error;
        } else {
            EXPECT_EQ(r.rc, -1) << what;
            EXPECT_NE(r.error.find(fragment), std::string::npos) << what << ": " << r.error;
        }
    }
    static std::string Repeat(const std::string& piece, int n, const std::string& separator) {
        std::string out;
        for (int i = 0; i < n; ++i) out += (i > 0 ? separator : "") + piece;
        return out;
    }
    std::size_t live_ = 0;
};

TEST_F(LimitsTest, StatementLength) {
    std::string base = "SELECT A FROM T";
    Expect(base + std::string(QXSQL_MAX_STATEMENT - base.size(), ' '), nullptr, "16382 bytes");
    Expect(base + std::string(QXSQL_MAX_STATEMENT + 1 - base.size(), ' '), "16382", "16383 bytes");
}

TEST_F(LimitsTest, NestingDepth) {
    // One level per repetition: 128 levels are accepted, 129 or thousands are
    // refused with the nesting message, without a stack overflow.
    const struct {
        const char* prefix;
        const char* open;
        const char* core;
        const char* close;
        const char* suffix;
    } shapes[] = {
        {"SELECT A FROM T WHERE ", "(", "A = 1", ")", ""},
        {"SELECT A FROM T WHERE ", "NOT ", "A = 1", "", ""},
        {"SELECT ", "SUM(", "A", ")", " FROM T"},
        {"SELECT A FROM T WHERE ", "A IN (SELECT A FROM T WHERE ", "A = 1", ")", ""},
        {"SELECT A FROM T WHERE ", "EXISTS (SELECT * FROM T WHERE ", "A = 1", ")", ""},
        {"SELECT A FROM T WHERE A + ", "(1 + ", "1", ")", " = 1"},
    };
    for (const auto& s : shapes) {
        for (int levels : {128, 129, 2000}) {
            std::string statement = s.prefix + Repeat(s.open, levels, "") + s.core + Repeat(s.close, levels, "") + s.suffix;
            if (statement.size() > QXSQL_MAX_STATEMENT) continue;
            qxtest::StatementResult r = qxtest::RunStatement(statement);
            bool refused = r.error.find("imbrication de plus de 128 niveaux") != std::string::npos;
            EXPECT_EQ(refused, levels > 128) << s.open << " x " << levels << ": " << r.error;
        }
    }
    Expect("SELECT A FROM T WHERE " + std::string(100, '(') + "A = 1" + std::string(100, ')'), nullptr, "100 parentheses");
    std::string nested = "SELECT A FROM T WHERE A IN (SELECT A FROM T)";
    for (int i = 0; i < 300; ++i) nested = "SELECT A FROM T WHERE A IN (" + nested + ")";
    qxtest::StatementResult r = qxtest::RunStatement(nested);
    EXPECT_EQ(r.rc, -1);
    EXPECT_FALSE(r.error.empty());
}

TEST_F(LimitsTest, ListsAsLongAsAStatementAllows) {
    // A statement cannot hold more than about 8000 list entries.
    Expect("SELECT " + Repeat("A", 8000, ",") + " FROM T", nullptr, "8000 selected items");
    Expect("SELECT A FROM T WHERE A IN (" + Repeat("1", 8000, ",") + ")", nullptr, "8000 IN values");
    Expect("SELECT * FROM T WHERE A IN (" + Repeat("1", 8000, ",") + ")", nullptr, "8000 IN values");
    std::string from;
    for (int i = 0; i < 1800; ++i) from += (i > 0 ? ", T C" : "T C") + std::to_string(i);
    // Tables with no condition between them give every combination of their records.
    Expect("SELECT C0.A FROM " + from + " WHERE C0.A = 1", nullptr, "1800 correlation names");
}

TEST_F(LimitsTest, ListLimitOfDictionaryEntries) {
    std::vector<testhost::Item> items;
    for (int i = 0; i < 20; ++i) items.push_back({"I" + std::to_string(i), 2, 1});
    testhost::AddTable("W", items);
    // 20 items for each of 1000 correlation names: 20000 descriptions.
    std::string from;
    for (int i = 0; i < 1000; ++i) from += (i > 0 ? ",W X" : "W X") + std::to_string(i);
    Expect("SELECT * FROM " + from, "16383", "20000 descriptions through correlation names");
    for (int i = 20; i < 20000; ++i) items.push_back({"I" + std::to_string(i), 2, 1});
    testhost::AddTable("WIDE", items);
    Expect("SELECT * FROM WIDE", "16383", "a table of 20000 items");
    Expect("SELECT I1 FROM WIDE", "16383", "one item of a table of 20000 items");
}

TEST_F(LimitsTest, ResultRowSize) {
    std::string error;
    ASSERT_TRUE(qxtest::ApplyHostDirective("table BIG TXT:13:30000 SMALL:13:5000", error));
    Expect("SELECT TXT, TXT FROM BIG", nullptr, "60000-byte row");
    Expect("SELECT TXT, TXT, SMALL, SMALL FROM BIG", "65535", "70000-byte row");
}

TEST_F(LimitsTest, NameLengths) {
    Expect("CREATE TABLE ABCDEFGH (A INTEGER)", nullptr, "8-character table");
    Expect("CREATE TABLE ABCDEFGHI (A INTEGER)", "ABCDEFGHI", "9-character table");
    Expect("CREATE TABLE Q (ABCDEFGHIJ INTEGER)", nullptr, "10-character item");
    Expect("CREATE TABLE Q (ABCDEFGHIJK INTEGER)", "ABCDEFGHIJK", "11-character item");
    Expect("CREATE INDEX ABCDEFGHIJ ON T (A)", nullptr, "10-character index");
    Expect("CREATE INDEX ABCDEFGHIJK ON T (A)", "ABCDEFGHIJK", "11-character index");
    Expect("SELECT * FROM ABCDEFGHI", "ABCDEFGHI", "9-character table name");
}

TEST_F(LimitsTest, MemoParameters) {
    std::string error;
    ASSERT_TRUE(qxtest::ApplyHostDirective("table M A:5:4 S:15:11", error));
    std::vector<unsigned char> table(2 + 8 * 257, 0);  // entries are not read: no memo is written
    std::string many = "SELECT A FROM M WHERE S IN (" + Repeat("{OBMemoBinaire('m')}", 256, ",") + ")";
    qxtest::StatementResult r = qxtest::RunStatement(many, reinterpret_cast<std::uintptr_t>(table.data()));
    EXPECT_EQ(r.rc, 0) << r.error;
    std::string tooMany = "SELECT A FROM M WHERE S IN (" + Repeat("{OBMemoBinaire('m')}", 257, ",") + ")";
    r = qxtest::RunStatement(tooMany, reinterpret_cast<std::uintptr_t>(table.data()));
    EXPECT_EQ(r.rc, -1);
    EXPECT_NE(r.error.find("256"), std::string::npos) << r.error;
}

TEST_F(LimitsTest, WorkingMemoryBound) {
    std::string error;
    for (int i = 2; i <= 400; ++i)
        ASSERT_TRUE(qxtest::ApplyHostDirective("row T " + std::to_string(i) + " 2 'n" + std::to_string(i) + "'", error));
    std::uint64_t saved = qx::StatementMemoryLimit();
    qx::SetStatementMemoryLimit(3 << 19);  // 1.5 MiB: room for a small result only
    // 160,000 combinations of two records, however they are kept.
    const char* statements[] = {
        "SELECT X.NAME, Y.NAME FROM T X, T Y WHERE X.A <> Y.A",
        "SELECT DISTINCT X.A, Y.A FROM T X, T Y WHERE X.A < Y.A OR X.A > Y.A",
        "SELECT X.NAME FROM T X, T Y WHERE X.B = Y.B ORDER BY NAME",
    };
    for (const char* statement : statements) {
        qxtest::StatementResult r = qxtest::RunStatement(statement);
        EXPECT_EQ(r.rc, -1) << statement;
        EXPECT_EQ(r.state, "53200") << statement;
        EXPECT_EQ(r.error, "L'instruction demande plus de 1536 Ko de mémoire de travail (limite SQL_MEMORY_LIMIT du profil)")
            << statement;
        qxtest::StatementResult next = qxtest::RunStatement("SELECT NAME FROM T WHERE A = 7");
        EXPECT_EQ(next.rc, 0) << statement << ": " << next.error;
        EXPECT_EQ(next.rows, std::vector<std::string>{"n7"}) << statement;
    }
    qx::SetStatementMemoryLimit(saved);
}

}  // namespace
