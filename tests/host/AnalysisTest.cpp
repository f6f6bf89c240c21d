// Analysis file: refusals with their line numbers, creating and opening a
// database, and the introspection calls.
#include <gtest/gtest.h>

#include "host/Analysis.h"
#include "tests/host/HostTestSupport.h"

namespace {

using qxhost::Analysis;

const char* kSample =
    "# customers and their orders\n"
    "ANALYSIS 1\n"
    "\n"
    "FILE customer\n"
    "ITEM num     5        UNIQUE   # the customer number\n"
    "ITEM name    15 31    DUPLICATES\n"
    "ITEM scores  3  2     ARRAY 3\n"
    "ITEM born    98 9\n"
    "ITEM notes   12\n"
    "KEY  byname  UNIQUE   name,num\n"
    "FILE ORDERS\r\n"
    "ITEM NUM 6 UNIQUE\r\n";

struct BadCase {
    const char* text;
    const char* expected;  // "line N: ..." fragment
};

TEST(AnalysisTest, RefusesMalformedTextNamingTheLine) {
    const BadCase cases[] = {
        {"", "line 1: empty analysis"},
        {"FILE A\n", "line 1: expected 'ANALYSIS 1'"},
        {"ANALYSIS 2\n", "line 1: expected 'ANALYSIS 1'"},
        {"ANALYSIS 1\nITEM A 5\n", "line 2: ITEM outside a FILE block"},
        {"ANALYSIS 1\nVIEW V\nAS SELECT 1\nITEM X 5\n", "line 4: ITEM outside a FILE block"},
        {"ANALYSIS 1\nVIEW V\n", "line 2: VIEW V must be followed by its line 'AS <select>'"},
        {"ANALYSIS 1\nVIEW V\n# comment\nAS SELECT 1\n", "line 3: VIEW V must be followed"},
        {"ANALYSIS 1\nVIEW V\nAS   \n", "line 3: VIEW V must be followed"},
        {"ANALYSIS 1\nVIEW V A,B A\nAS SELECT 1\n", "line 2: view V names column A twice"},
        {"ANALYSIS 1\nVIEW V\nAS SELECT 1\nFILE v\nITEM X 5\n", "line 2: view V has the name of another file"},
        {"ANALYSIS 1\nFILE TOOLONGNAME\n", "line 2: name 'TOOLONGNAME' must have 1 to 8"},
        {"ANALYSIS 1\nFILE 9A\nITEM A 5\n", "line 2: name '9A' may hold only"},
        {"ANALYSIS 1\nFILE A\nITEM X 23 4\n", "line 3: unknown field type '23'"},
        {"ANALYSIS 1\nFILE A\nITEM X 5 3\n", "line 3: type 5 has size 4"},
        {"ANALYSIS 1\nFILE A\nITEM X 13\n", "line 3: field type 13 needs a size"},
        {"ANALYSIS 1\nFILE A\nITEM X 98 8\n", "line 3: a date (98) has size 9"},
        {"ANALYSIS 1\nFILE A\nITEM X 15 1\n", "line 3: type 15 needs a size from 2"},
        {"ANALYSIS 1\nFILE A\nITEM X 5 ARRAY\n", "line 3: ARRAY needs a count"},
        {"ANALYSIS 1\nFILE A\nITEM X 5 PRIMARY\n", "line 3: unexpected 'PRIMARY'"},
        {"ANALYSIS 1\nFILE A\nITEM X 5\nITEM X 6\n", "line 4: item X appears twice"},
        {"ANALYSIS 1\nFILE A\nITEM X 12 UNIQUE\n", "line 3: item X cannot be a key"},
        {"ANALYSIS 1\nFILE A\nITEM X 5 ARRAY 2 UNIQUE\n", "line 3: item X cannot be a key"},
        {"ANALYSIS 1\nFILE A\nITEM M 22 ARRAY 2\n", "line 3: memo item M cannot be an array"},
        {"ANALYSIS 1\nFILE A\n\nFILE B\nITEM X 5\n", "line 2: file A has no item"},
        {"ANALYSIS 1\nFILE A\nITEM X 5\nFILE a\n", "line 4: file A appears twice"},
        {"ANALYSIS 1\nFILE A\nITEM X 5\nKEY K UNIQUE Y\n", "line 4: key K names unknown item 'Y'"},
        {"ANALYSIS 1\nFILE A\nKEY K SOMETIMES X\nITEM X 5\n", "line 3: expected UNIQUE or DUPLICATES"},
        {"ANALYSIS 1\nFILE A\nITEM X 5\nKEY X UNIQUE X\n", "line 4: key X has the name of an item"},
        {"ANALYSIS 1\nFILE A\nITEM X 5\nKEY K UNIQUE X,X\n", "line 4: key K names item X twice"},
        {"ANALYSIS 1\nFILE A\nITEM X 5\nITEM Y 5\nKEY K UNIQUE X\nKEY K DUPLICATES Y\n", "line 6: key K appears twice"},
        {"ANALYSIS 1\nFILE A\nITEM M 12\nKEY K UNIQUE M\n", "line 4: item M cannot be part of key K"},
        {"ANALYSIS 1\nFILE A\nITEM X 13 20000\nITEM Y 13 20000\n", "line 2: records of file A would take 40001"},
        {"ANALYSIS 1\nFILE A\nITEM X 5\nINDEX K X\n", "line 4: unknown keyword 'INDEX'"},
    };
    for (const BadCase& c : cases) {
        Analysis a;
        std::string error;
        EXPECT_FALSE(a.Parse(c.text, "db/analysis.qxa", error)) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "text:\n" << c.text << "error: " << error;
        EXPECT_EQ(error.rfind("db/analysis.qxa line ", 0), 0u) << error;
    }
}

class AnalysisOpenTest : public hosttest::HostFixture {};

TEST_F(AnalysisOpenTest, CreateMakesAnEmptyDatabaseAndPlainOpenNeedsOne) {
    std::string path = dir_ + "/new/db";
    EXPECT_EQ(Open(path, 0), 0);
    EXPECT_NE(lastError_.find("no database directory"), std::string::npos) << lastError_;
    std::uint16_t c = Open(path, 1);
    ASSERT_NE(c, 0) << lastError_;
    EXPECT_EQ(QXHostTableCount(c), 0);
    EXPECT_EQ(hosttest::ReadText(path + "/analysis.qxa"), "ANALYSIS 1\n");
    Close(c);
    EXPECT_EQ(Open(dir_, 0), 0);  // a directory without an analysis
    EXPECT_NE(lastError_.find("not a QX database"), std::string::npos) << lastError_;
}

TEST_F(AnalysisOpenTest, IntrospectionCalls) {
    std::uint16_t c = OpenWith(kSample);
    ASSERT_NE(c, 0) << lastError_;
    EXPECT_EQ(QXHostTableCount(c), 2);
    char name[16];
    EXPECT_EQ(QXHostTableName(c, 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "ORDERS");
    EXPECT_EQ(QXHostTableName(c, 2, name, sizeof name), -1);
    EXPECT_EQ(QXHostTableName(c, 0, name, 4), -2);
    EXPECT_STREQ(name, "CUS");
    EXPECT_EQ(Describe("orders"), "FILE ORDERS\nITEM NUM 6 4 UNIQUE\n");
    EXPECT_EQ(Describe("NOPE"), "<none>");
    EXPECT_EQ(Describe().rfind("ANALYSIS 1\n\nFILE CUSTOMER\n", 0), 0u);
    char small[40];
    EXPECT_EQ(QXHostDescribe(c, nullptr, small, sizeof small), -2);
    EXPECT_STREQ(small, "ANALYSIS 1\n\nFILE CUSTOMER\n");  // whole lines only
    EXPECT_EQ(QXHostTableCount(9999), -1);
    EXPECT_EQ(QXHostDescribe(9999, nullptr, small, sizeof small), -1);
    EXPECT_EQ(QXHostClose(9999), -1);
}

}  // namespace
