// The hashed and direct shortcuts of execution (equality joins, hashed
// lookups in row lists, predicate shortcuts) against the general path: the
// same statements over random small tables, once with the shortcuts and once
// without, must give the same rows in the same order and the same errors.
// Equality keys and whole-number text are checked against their definitions.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "planner/FastPaths.h"
#include "exec/KeyHash.h"
#include "tests/unit/TestSupport.h"
#include "values/Transfor.h"

namespace {

struct Outcome {
    int rc = 0;
    std::string error;
    std::vector<std::string> rows;
    bool operator==(const Outcome& o) const { return rc == o.rc && error == o.error && rows == o.rows; }
};

Outcome RunStatement(const std::string& sql) {
    Outcome out;
    std::vector<char> info(1 << 16, 0);
    auto* exec = reinterpret_cast<ExecInfo*>(info.data());
    std::uintptr_t handle = 0;
    out.rc = QXSQLExecReq(&handle, sql.c_str(), exec, 1, 0);
    if (handle == 0) return out;
    char text[255] = {}, state[6] = {};
    QXSQLErreur(handle, text, state);
    out.error = std::string(state) + " " + text;
    if (out.rc == 0 && exec->columnCount != 0) {
        std::vector<char> line(1 << 16);
        while (QXSQLFetchNext(handle) == 0) {
            QXSQLValLine(handle, "\t", line.data());
            out.rows.emplace_back(line.data());
        }
    }
    QXSQLFinRequete(handle);
    return out;
}

// Tables A and B: ID int32, N int16, R double, S text (7 characters), D date.
void MakeTables(std::mt19937& random) {
    std::vector<testhost::Item> items = {{"ID", 5, 4}, {"N", 3, 2}, {"R", 9, 8}, {"S", 15, 8}, {"D", 98, 9}};
    const double reals[] = {0.5, 1.0000001, 1.0000004, 1.000002, 2, -0.0, 0.0, 3.25,
                            std::numeric_limits<double>::quiet_NaN()};
    const char* texts[] = {"ab", "AB", "Ab", "x", "", "b", "ab ", "B"};
    const char* dates[] = {"20240101", "19990101", "20240102", "19990101"};
    for (const char* name : {"A", "B"}) {
        testhost::AddTable(name, items);
        int count = static_cast<int>(random() % 14);
        for (int i = 1; i <= count; ++i) {
            std::vector<std::uint8_t> record(1 + 4 + 2 + 8 + 8 + 9, 0);
            std::int32_t id = i;
            std::int16_t n = static_cast<std::int16_t>(random() % 5);
            double r = reals[random() % std::size(reals)];
            std::memcpy(&record[1], &id, 4);
            std::memcpy(&record[5], &n, 2);
            std::memcpy(&record[7], &r, 8);
            std::string s = texts[random() % std::size(texts)];
            s.resize(7, ' ');
            std::memcpy(&record[15], s.data(), 7);
            std::memcpy(&record[23], dates[random() % std::size(dates)], 8);
            testhost::AddRecord(name, record);
        }
        if (count > 2 && random() % 3 == 0) testhost::DeleteRecord(name, static_cast<std::uint32_t>(1 + random() % count));
    }
}

const char* kStatements[] = {
    // Equality joins: numbers (duplicates, rounding to six decimals, -0, NaN), texts (case), mixed classes.
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N",
    "SELECT A.ID, B.ID FROM A, B WHERE B.N = A.N",
    "SELECT A.ID, B.ID FROM A, B WHERE A.R = B.R",
    "SELECT A.ID, B.ID FROM A, B WHERE A.S = B.S",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.R",
    "SELECT A.ID, B.ID FROM A, B WHERE A.S = B.N",
    "SELECT A.ID, B.ID FROM A, B WHERE A.D = B.D",
    "SELECT A.ID, B.ID FROM A, B WHERE A.D = B.S",
    // With other predicates of the group, NOT, OR within and across groups, filters.
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N AND A.R > B.R",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N AND A.S = B.S",
    "SELECT A.ID, B.ID FROM A, B WHERE NOT (A.N = B.N)",
    "SELECT A.ID, B.ID FROM A, B WHERE NOT (A.N <> B.N)",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N OR A.S = B.S",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N OR A.N = 1",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N AND B.S = 'ab'",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N AND NOT (B.N BETWEEN 1 AND 2)",
    "SELECT DISTINCT A.N, B.S FROM A, B WHERE A.N = B.N ORDER BY A.N DESC",
    // One-table filters ANDed with a join narrow its walk; OR and NOT over OR.
    "SELECT A.ID, B.ID FROM A, B WHERE A.R < B.R AND A.N < 3",
    "SELECT A.ID, B.ID FROM A, B WHERE B.R >= 1 AND A.S <> B.S AND NOT (A.N = 2) AND A.D < B.D AND A.ID > 2",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N = B.N AND A.R <= B.R AND B.ID > 2 AND A.S > 'a'",
    "SELECT A.ID, B.ID FROM A, B WHERE A.N < B.N AND (A.ID < 3 OR B.ID < 2)",
    "SELECT A.ID, B.ID FROM A, B WHERE NOT (A.N >= B.N OR A.ID > 5)",
    // Self-joins through correlation names.
    "SELECT X.ID, Y.ID FROM A X, A Y WHERE X.N = Y.N",
    "SELECT X.ID, Y.ID FROM A X, A Y WHERE X.S = Y.S AND X.ID < Y.ID",
    "SELECT X.ID, Y.ID, B.ID FROM A X, A Y, B WHERE X.N < Y.N AND Y.S = B.S AND X.ID < 4 AND B.R > 0",
    // Single-table shapes.
    "SELECT ID FROM A WHERE N = 2",
    "SELECT ID FROM A WHERE N <> 2 AND R >= 1",
    "SELECT ID FROM A WHERE NOT N = 2",
    "SELECT ID FROM A WHERE NOT (N < 2 OR S = 'ab')",
    "SELECT ID FROM A WHERE N BETWEEN 3 AND 1",
    "SELECT ID FROM A WHERE N NOT BETWEEN 1 AND 3",
    "SELECT ID FROM A WHERE S BETWEEN 'a' AND 'b'",
    "SELECT ID FROM A WHERE S LIKE 'a%'",
    "SELECT ID FROM A WHERE S NOT LIKE 'A%'",
    "SELECT ID FROM A WHERE R = 1.0000003",
    "SELECT ID FROM A WHERE S = 'AB' OR D = '990101'",
    "SELECT ID FROM A WHERE N = R",
    "SELECT ID FROM A WHERE N IS NULL",
    // Row lists: literal lists long enough to be hashed, nested SELECTs of every kind of value.
    "SELECT ID FROM A WHERE N IN (1, 2, 3, 4, 1, 2, 3, 4, 0)",
    "SELECT ID FROM A WHERE N NOT IN (1, 2, 3, 4, 1, 2, 3, 4, 1)",
    "SELECT ID FROM A WHERE S IN ('x', 'AB', 'b', 'q', 'r', 's', 't', 'u')",
    "SELECT ID FROM A WHERE N IN (SELECT N FROM B)",
    "SELECT ID FROM A WHERE R IN (SELECT R FROM B)",
    "SELECT ID FROM A WHERE S NOT IN (SELECT S FROM B)",
    "SELECT ID FROM A WHERE N IN (SELECT S FROM B)",
    "SELECT ID FROM A WHERE D IN (SELECT D FROM B)",
    "SELECT ID FROM A WHERE N = ANY (SELECT N FROM B)",
    "SELECT ID FROM A WHERE N = ALL (SELECT N FROM B)",
    "SELECT ID FROM A WHERE N = (SELECT N FROM B)",
    "SELECT ID FROM A WHERE N MATCH UNIQUE (SELECT N FROM B)",
    "SELECT ID FROM A WHERE N IN (SELECT N FROM B) AND S IN (SELECT S FROM B)",
};

class FastPathsTest : public qxtest::EngineTest {
protected:
    void TearDown() override {
        qx::SetFastPathsEnabled(true);
        qxtest::EngineTest::TearDown();
    }
};

TEST_F(FastPathsTest, SameRowsInTheSameOrderAsTheGeneralPath) {
    std::mt19937 random(12345);
    int succeeded = 0, nonEmpty = 0;
    for (int round = 0; round < 60; ++round) {
        testhost::Reset();
        MakeTables(random);
        for (const char* sql : kStatements) {
            qx::SetFastPathsEnabled(true);
            Outcome fast = RunStatement(sql);
            qx::SetFastPathsEnabled(false);
            Outcome general = RunStatement(sql);
            ASSERT_EQ(fast, general) << "round " << round << ": " << sql << "\nerror (shortcuts) " << fast.error
                                     << "\nerror (general) " << general.error;
            if (fast.rc == 0) ++succeeded;
            if (!fast.rows.empty()) ++nonEmpty;
        }
    }
    // The comparison means something only when most statements run and find rows.
    int total = 60 * static_cast<int>(std::size(kStatements));
    EXPECT_GT(succeeded, total * 9 / 10);
    EXPECT_GT(nonEmpty, total / 2);
}

// Two values have equal keys exactly when CompareTyped (=) holds.
TEST(EqualityKeyTest, EqualKeysExactlyWhenCompareTypedHolds) {
    struct Operand {
        std::int16_t type;
        std::vector<unsigned char> bytes;
    };
    auto number = [](double x) {
        std::vector<unsigned char> b(8);
        std::memcpy(b.data(), &x, 8);
        return Operand{qx::kOperandDouble, b};
    };
    auto int16 = [](std::int16_t x) {
        std::vector<unsigned char> b(2);
        std::memcpy(b.data(), &x, 2);
        return Operand{qx::kOperandInt16, b};
    };
    auto text = [](const char* t) {
        return Operand{qx::kOperandText, std::vector<unsigned char>(t, t + std::strlen(t) + 1)};
    };
    std::vector<Operand> values = {number(1), number(1.0000004), number(1.0000006), number(1.000001),
                                   number(0.0), number(-0.0), number(2.5), number(1e300),
                                   number(std::numeric_limits<double>::infinity()),
                                   number(std::numeric_limits<double>::quiet_NaN()), int16(1), int16(0),
                                   text("abc"), text("ABC"), text("abc "), text(""), text("1"), text("\xc3\xa9"),
                                   text("\xc3\x89")};
    for (const Operand& a : values) {
        for (const Operand& b : values) {
            std::string ka, kb;
            qx::EqualityKeyKind kindA = qx::MakeEqualityKey(a.type, a.bytes.data(), ka);
            qx::EqualityKeyKind kindB = qx::MakeEqualityKey(b.type, b.bytes.data(), kb);
            ASSERT_NE(kindA, qx::EqualityKeyKind::kNotCovered);
            bool keysEqual = kindA == qx::EqualityKeyKind::kKey && kindB == qx::EqualityKeyKind::kKey && ka == kb;
            bool holds = qx::CompareTyped(qx::kOpEqual, a.type, a.bytes.data(), b.type, b.bytes.data()) != 0;
            EXPECT_EQ(keysEqual, holds);
        }
    }
    std::string key;
    const char date[] = "20240101";
    EXPECT_EQ(qx::MakeEqualityKey(qx::kOperandDate, date, key), qx::EqualityKeyKind::kNotCovered);
    EXPECT_EQ(qx::MakeEqualityKey(qx::kOperandTime, "1200", key), qx::EqualityKeyKind::kNotCovered);
    EXPECT_EQ(qx::MakeEqualityKey(qx::kOperandNone, date, key), qx::EqualityKeyKind::kNotCovered);
    EXPECT_EQ(qx::MakeEqualityKey(qx::kOperandText, nullptr, key), qx::EqualityKeyKind::kNotCovered);
}

TEST(KeyHashTest, PayloadsOfAKeyInTheOrderAdded) {
    qx::KeyHash hash;
    const char* keys[] = {"b", "a", "b", "", "c", "b", "a", "a key too long to sit inline", "a key too long to sit inl"};
    for (std::uint32_t i = 0; i < std::size(keys); ++i) hash.Add(keys[i], i);
    hash.Seal();
    std::vector<std::uint32_t> seen;
    hash.ForEach("b", [&seen](std::uint32_t p) { seen.push_back(p); });
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 2, 5}));
    EXPECT_EQ(hash.Count("a key too long to sit inline"), 1u);
    EXPECT_EQ(hash.Count("a key too long to sit in"), 0u);
    EXPECT_EQ(hash.Count("a"), 2u);
    EXPECT_EQ(hash.Count(""), 1u);
    EXPECT_EQ(hash.Count("d"), 0u);
    qx::KeyHash empty;
    EXPECT_EQ(empty.Count("a"), 0u);  // never sealed: finds nothing
}

// Whole numbers are written without printf; the text must be "%lf"'s, trimmed.
TEST(WholeNumberTextTest, SameTextAsTheFormattedPath) {
    const double values[] = {0, -0.0, 1, -1, 7, 10, 100, 999999, 1000000, -123456789, 4294967296.0,
                             9007199254740991.0, -9007199254740991.0, 9007199254740992.0, 1e300, 0.5, -2.5,
                             1.000001, 123.45};
    for (double x : values) {
        char fast[qx::kNumberTextCapacity], slow[qx::kNumberTextCapacity];
        qx::WriteNumber(fast, x, 9);
        std::snprintf(slow, sizeof slow, "%lf", x);
        std::string s = slow;
        std::size_t point = s.find('.');
        if (point != std::string::npos) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
        EXPECT_EQ(std::string(fast), s) << x;
    }
}

}  // namespace
