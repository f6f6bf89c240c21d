// Prepared statements through the exported calls: values of every kind
// bound, stored and read back typed; one plan run many times (a SELECT
// whose result changes with its parameter, with no memory kept across
// runs); and the refusals, each with its number and SQLSTATE.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "obsqleng.h"
#include "platform/BlockHeap.h"
#include "tests/sql/SqlTestSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

class PreparedStatementTest : public qxtest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::string error;
        ASSERT_TRUE(qxtest::ApplyHostDirective("table T A:5:4 B:15:11 C:9:8 D:98:9 F:10:10", error)) << error;
        live_ = qx::platform::HeapLiveBlocks();
    }
    void TearDown() override {
        EXPECT_EQ(qx::platform::HeapLiveBlocks(), live_);
        EngineTest::TearDown();
    }
    std::uintptr_t Prepare(const char* statement, std::uint16_t expectedParameters) {
        std::uintptr_t handle = 0;
        std::uint16_t count = 99;
        EXPECT_EQ(QXSQLPrepare(&handle, statement, 1, &count), 0) << statement << ": " << Error(handle);
        EXPECT_EQ(count, expectedParameters) << statement;
        return handle;
    }
    static std::string Error(std::uintptr_t handle) {
        char text[255] = "", state[6] = "";
        QXSQLErreur(handle, text, state);
        return std::string(state) + " " + text;
    }
    // Every row of the handle's result, its columns typed as "type:text-or-number".
    static std::vector<std::string> Rows(std::uintptr_t handle, int columns) {
        std::vector<std::string> rows;
        while (QXSQLFetchNext(handle) == 0) {
            std::string row;
            for (int c = 1; c <= columns; ++c) {
                QXSQLValue v;
                EXPECT_EQ(QXSQLColumnValue(handle, static_cast<std::uint16_t>(c), &v), 0);
                char number[64];
                if (v.type == QXSQL_TYPE_REAL) std::snprintf(number, sizeof number, "%.17g", v.real);
                else std::snprintf(number, sizeof number, "%lld", static_cast<long long>(v.integer));
                bool textual = v.type == QXSQL_TYPE_TEXT || v.type == QXSQL_TYPE_FIXED;
                row += (c > 1 ? " " : "") + std::to_string(v.type) + ":" + (textual ? std::string(v.text) : number);
            }
            rows.push_back(row);
        }
        return rows;
    }
    std::size_t live_ = 0;
};

TEST_F(PreparedStatementTest, ValuesRoundTripAndPlansRunAgain) {
    std::uintptr_t insert = Prepare("INSERT INTO T (A, B, C, D, F) VALUES (?, ?, ?, ?, ?)", 5);
    struct Row {
        std::int64_t a;
        const char* b;
        double c;
        int year, month, day;
        double f;
    } const rows[] = {
        {1, "it's \"quoted\"; DROP", -2.5e-7, 2024, 2, 29, 12.5},
        {2, "", 1e300, 1, 1, 1, -0.000001},
        {-2147483647, "\xc3\xa9t\xc3\xa9", 0.1, 9999, 12, 31, 999999.25},
    };
    for (const Row& r : rows) {
        ASSERT_EQ(QXSQLBindInteger(insert, 1, r.a), 0) << Error(insert);
        ASSERT_EQ(QXSQLBindText(insert, 2, r.b, -1), 0) << Error(insert);
        ASSERT_EQ(QXSQLBindReal(insert, 3, r.c), 0) << Error(insert);
        ASSERT_EQ(QXSQLBindDate(insert, 4, r.year, r.month, r.day), 0) << Error(insert);
        ASSERT_EQ(QXSQLBindReal(insert, 5, r.f), 0) << Error(insert);
        ASSERT_EQ(QXSQLExecute(insert, nullptr), 0) << Error(insert);
    }
    EXPECT_EQ(QXSQLFinRequete(insert), 0);

    std::uintptr_t select = Prepare("SELECT A, B, C, D, F FROM T WHERE A >= ? ORDER BY A", 1);
    const struct {
        std::int64_t from;
        std::vector<std::string> rows;
    } runs[] = {
        {2, {"1:2 4: 2:1.0000000000000001e+300 5:10101 3:-0.000001"}},
        {-3000000000LL,
         {"1:-2147483647 4:\xc3\xa9t\xc3\xa9 2:0.10000000000000001 5:99991231 3:999999.25",
          "1:1 4:it's \"quot 2:-2.4999999999999999e-07 5:20240229 3:12.5",
          "1:2 4: 2:1.0000000000000001e+300 5:10101 3:-0.000001"}},
        {3, {}},
    };
    for (int round = 0; round < 200; ++round) {
        for (const auto& run : runs) {
            ASSERT_EQ(QXSQLBindInteger(select, 1, run.from), 0) << Error(select);
            std::vector<char> block(1 << 12, 0);  // the counts, then the column description
            auto& info = *reinterpret_cast<ExecInfo*>(block.data());
            ASSERT_EQ(QXSQLExecute(select, &info), 0) << Error(select);
            EXPECT_EQ(info.rowCount, run.rows.size());
            if (round == 0) {
                EXPECT_EQ(Rows(select, 5), run.rows) << "from " << run.from;
            }
        }
    }
    EXPECT_EQ(QXSQLReset(select), 0);
    EXPECT_EQ(QXSQLFetchNext(select), -1);
    EXPECT_EQ(QXSQLExecute(select, nullptr), -1);  // the value went with the reset
    EXPECT_EQ(QXSQLFinRequete(select), 0);

    // The same plan changes records again and again.
    std::uintptr_t update = Prepare("UPDATE T SET B = (?) WHERE A = ?", 2);
    for (std::int64_t a : {1, 2, 1}) {
        ASSERT_EQ(QXSQLBindText(update, 1, ("row " + std::to_string(a)).c_str(), -1), 0);
        ASSERT_EQ(QXSQLBindInteger(update, 2, a), 0);
        ASSERT_EQ(QXSQLExecute(update, nullptr), 0) << Error(update);
    }
    EXPECT_EQ(QXSQLFinRequete(update), 0);
    qxtest::StatementResult after = qxtest::RunStatement("SELECT B FROM T WHERE A > 0 ORDER BY A");
    EXPECT_EQ(after.rows, (std::vector<std::string>{"row 1", "row 2"}));
}

TEST_F(PreparedStatementTest, RefusalsAreNumbered) {
    using Action = std::function<std::int16_t(std::uintptr_t)>;
    const struct {
        const char* statement;
        Action action;
        const char* state;
        const char* fragment;
    } cases[] = {
        {"INSERT INTO T (A) VALUES (?)", [](std::uintptr_t h) { return QXSQLBindText(h, 1, "12", -1); }, "22005",
         "Paramètre 1 : une valeur texte ne convient pas à son emploi (un nombre)"},
        {"SELECT A FROM T WHERE D = ?", [](std::uintptr_t h) { return QXSQLBindTime(h, 1, 12, 0, 0); }, "22005", "heure"},
        {"SELECT A FROM T WHERE B = ?", [](std::uintptr_t h) { return QXSQLBindBinary(h, 1, "ab", 2); }, "22005",
         "binaire"},
        {"SELECT A FROM T WHERE A = ?", [](std::uintptr_t h) { return QXSQLBindInteger(h, 2, 1); }, "07009",
         "Pas de paramètre 2 : l'instruction en a 1"},
        {"SELECT A FROM T WHERE B = ?", [](std::uintptr_t h) { return QXSQLBindText(h, 1, "a\0b", 3); }, "22021",
         "octet nul"},
        {"SELECT A FROM T WHERE A = ? OR A = ?",
         [](std::uintptr_t h) { return static_cast<std::int16_t>(QXSQLBindInteger(h, 1, 1) + QXSQLExecute(h, nullptr)); },
         "07002", "Le paramètre 2 n'a pas de valeur"},
    };
    for (const auto& c : cases) {
        std::uintptr_t handle = Prepare(c.statement, static_cast<std::uint16_t>(std::strchr(c.statement, '?') != std::strrchr(c.statement, '?') ? 2 : 1));
        EXPECT_NE(c.action(handle), 0) << c.statement;
        std::string error = Error(handle);
        EXPECT_EQ(error.substr(0, 5), c.state) << c.statement << ": " << error;
        EXPECT_GE(QXSQLErrorNumber(handle), 4360) << c.statement;
        EXPECT_NE(error.find(c.fragment), std::string::npos) << c.statement << ": " << error;
        EXPECT_EQ(QXSQLFinRequete(handle), 0);
    }
    // Parameters need a prepared statement, and binding needs one.
    qxtest::StatementResult direct = qxtest::RunStatement("SELECT A FROM T WHERE A = ?");
    EXPECT_EQ(direct.state, "07002") << direct.error;
    std::uintptr_t handle = 0;
    std::vector<char> block(1 << 12, 0);
    ASSERT_EQ(QXSQLExecReq(&handle, "SELECT A FROM T", reinterpret_cast<ExecInfo*>(block.data()), 1, 0), 0);
    EXPECT_EQ(QXSQLBindInteger(handle, 1, 1), -1);
    EXPECT_EQ(Error(handle).substr(0, 5), "HY010");
    EXPECT_EQ(QXSQLFinRequete(handle), 0);
    // A statement that does not compile gives its error and a handle to release.
    EXPECT_EQ(QXSQLPrepare(&handle, "SELECT NOPE FROM T WHERE A = ?", 1, nullptr), -1);
    EXPECT_NE(Error(handle).find("NOPE"), std::string::npos);
    EXPECT_EQ(QXSQLFinRequete(handle), 0);
}

}  // namespace

// A prepared statement computes the views it reads at each run, from the
// tables as they are then, and follows a view dropped or made again.
TEST_F(PreparedStatementTest, ViewsAreComputedAtEachRun) {
    std::string error;
    ASSERT_TRUE(qxtest::OpenQxDatabase(error)) << error;
    auto run = [](const char* statement) { EXPECT_EQ(qxtest::RunStatement(statement).error, "") << statement; };
    run("CREATE TABLE N (V INTEGER)");
    run("INSERT INTO N VALUES (1), (2)");
    run("CREATE VIEW BIG1 AS SELECT V FROM N WHERE V > 1");
    run("CREATE VIEW BIG AS SELECT V FROM BIG1");
    std::uintptr_t count = Prepare("SELECT COUNT(*) FROM BIG B WHERE B.V < ?", 1);
    ASSERT_EQ(QXSQLBindInteger(count, 1, 100), 0);
    const struct {
        const char* before;  // run first, not prepared
        std::int32_t errorNumber;
        const char* rows;
    } steps[] = {
        {nullptr, 0, "2:1"},
        {"INSERT INTO N VALUES (5), (6)", 0, "2:3"},
        {"DROP VIEW BIG", 4243, nullptr},
        {"CREATE VIEW BIG AS SELECT V, V AS W FROM BIG1 WHERE V < 6", 0, "2:2"},
    };
    for (const auto& step : steps) {
        std::string label = step.before != nullptr ? step.before : "first run";
        if (step.before != nullptr) run(step.before);
        EXPECT_EQ(QXSQLExecute(count, nullptr), step.errorNumber == 0 ? 0 : -1) << label;
        EXPECT_EQ(QXSQLErrorNumber(count), step.errorNumber) << label << ": " << Error(count);
        if (step.rows != nullptr) {
            EXPECT_EQ(Rows(count, 1), std::vector<std::string>{step.rows}) << label;
        }
    }
    EXPECT_EQ(QXSQLFinRequete(count), 0);
    qxtest::CloseQxDatabase();
}
