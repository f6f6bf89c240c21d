// CREATE TABLE and CREATE INDEX as the host receives them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sql/SqlTestSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

class SchemaStatementsTest : public qxtest::EngineTest {};

std::string Text(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

TEST_F(SchemaStatementsTest, CreateTableDescribesEveryColumn) {
    auto r = qxtest::RunStatement(
        "CREATE TABLE CLIENTS (NUM INTEGER, NOM CHAR(20), V VARCHAR(7), D DATE, H TIME, S SMALLINT, R REAL, "
        "X DOUBLE PRECISION, B BIGINT, T TINYINT NOT NULL DEFAULT 0, LONGNAME10 CHAR(1) PRIMARY KEY)");
    ASSERT_EQ(r.rc, 0) << r.error;
    EXPECT_EQ(r.compiled, 1);
    EXPECT_EQ(r.columnCount, 0);
    const auto& areas = testhost::DescribedFiles();
    ASSERT_EQ(areas.size(), 13u);  // begin, eleven items, create
    EXPECT_EQ(Text(areas[0].fileName, 9), "CLIENTS");
    EXPECT_EQ(Text(areas[0].fileSuffix, 3), "__");
    struct Expected {
        const char* name;
        char kind;
        int size;
    } columns[] = {{"NUM", 'L', 0}, {"NOM", 'T', 20}, {"V", 'T', 7},  {"D", 'A', 0}, {"H", 'H', 0},   {"S", 'E', 0},
                   {"R", 'S', 0},   {"X", 'D', 0},    {"B", 'L', 0}, {"T", 'C', 0}, {"LONGNAME10", 'T', 1}};
    for (std::size_t i = 0; i < 11; ++i) {
        const FileDescription& a = areas[i + 1];
        EXPECT_EQ(Text(a.itemName, 11), columns[i].name) << i;
        EXPECT_EQ(static_cast<char>(a.u.item.itemKind), columns[i].kind) << columns[i].name;
        EXPECT_EQ(+a.u.item.itemSize, columns[i].size) << columns[i].name;
    }
    EXPECT_EQ(testhost::Log().back(), "OBECRITFICHIER 3");
}

TEST_F(SchemaStatementsTest, CreateIndexSendsKeyItemsAndMode) {
    testhost::AddTable("T", {{"A", 5, 4}, {"B", 5, 4}, {"C", 5, 4}});
    for (const char* sql : {"CREATE UNIQUE INDEX K ON T (A, B, C)", "CREATE INDEX K2 ON T (C)"}) {
        testhost::DescribedFiles().clear();
        auto r = qxtest::RunStatement(sql);
        ASSERT_EQ(r.rc, 0) << r.error;
        const auto& areas = testhost::DescribedFiles();
        ASSERT_EQ(areas.size(), 2u);
        bool unique = std::string(sql).find("UNIQUE") != std::string::npos;
        EXPECT_EQ(Text(areas[0].u.keyItems, 257), unique ? "A,B,C" : "C");
        EXPECT_EQ(+areas[0].keyMode, unique ? 1 : 2);
        EXPECT_EQ(Text(areas[0].fileName, 9), "T");
    }
}

TEST_F(SchemaStatementsTest, RefusalsStopTheDescription) {
    testhost::GetFaults().describeRefuseAt = 0;
    testhost::GetFaults().describeMessage = "File exists";
    auto r = qxtest::RunStatement("CREATE TABLE T (A INTEGER)");
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(r.error, "File exists");
    EXPECT_EQ(r.state, "00123");
    EXPECT_EQ(testhost::DescribedFiles().size(), 1u);  // no item, no create after a refused begin

    testhost::GetFaults() = testhost::Faults();
    testhost::AddTable("T", {{"A", 5, 4}});
    std::string items;
    for (int i = 0; i < 30; ++i) items += std::string(i ? ", " : "") + "ITEMNAME" + std::to_string(i);
    r = qxtest::RunStatement("CREATE INDEX K ON T (" + items + ")");  // 300 characters of key items
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(r.error, "Liste de rubriques incorrecte");
}

}  // namespace
