// Statement splitting: ";" outside literals and comments ends a statement;
// the same text fed whole or one character at a time gives the same cut.
#include <gtest/gtest.h>

#include "shell/StatementSplitter.h"

namespace qxsql {
namespace {

struct SplitCase {
    const char* name;
    const char* text;
    std::vector<std::string> statements;
    std::string rest;
};

const SplitCase kCases[] = {
    {"one", "SELECT A FROM T;", {"SELECT A FROM T"}, ""},
    {"two on a line", "SELECT 1;SELECT 2;", {"SELECT 1", "SELECT 2"}, ""},
    {"no final semicolon", "SELECT 1; SELECT 2", {"SELECT 1"}, "SELECT 2"},
    {"semicolon in single quotes", "SELECT 'a;b' FROM T; X", {"SELECT 'a;b' FROM T"}, "X"},
    {"semicolon in double quotes", "SELECT \"a;b\" FROM T;", {"SELECT \"a;b\" FROM T"}, ""},
    {"doubled single quote", "SELECT 'it''s; fine';", {"SELECT 'it''s; fine'"}, ""},
    {"doubled double quote", "SELECT \"say \"\"hi;\"\"\";", {"SELECT \"say \"\"hi;\"\"\""}, ""},
    {"other quote inside", "SELECT 'a\"b;c' , \"d'e;f\";", {"SELECT 'a\"b;c' , \"d'e;f\""}, ""},
    {"empty statements dropped", " ; ;\n;SELECT 1;;", {"SELECT 1"}, ""},
    {"blanks folded outside literals", "\n  SELECT A\n  ORDER\t\r\n BY A\n;\n", {"SELECT A ORDER BY A"}, ""},
    {"comment removed", "SELECT A -- the; item\nFROM T;", {"SELECT A FROM T"}, ""},
    {"comment between words", "SELECT A--x\nFROM T;", {"SELECT A FROM T"}, ""},
    {"comment only", "-- nothing; here\n", {}, ""},
    {"comment at end without newline", "SELECT 1; -- bye;", {"SELECT 1"}, ""},
    {"dashes in a literal", "SELECT '--;' FROM T;", {"SELECT '--;' FROM T"}, ""},
    {"single minus kept", "SELECT A - 1, -B FROM T;", {"SELECT A - 1, -B FROM T"}, ""},
    {"minus at the end", "SELECT 1 -", {}, "SELECT 1 -"},
    {"unterminated literal kept whole", "SELECT 'a;b", {}, "SELECT 'a;b"},
    {"literal spanning lines", "INSERT INTO T VALUES ('a\n;  b');", {"INSERT INTO T VALUES ('a\n;  b')"}, ""},
    {"utf-8 untouched", "SELECT 'é;ü' FROM T;", {"SELECT 'é;ü' FROM T"}, ""},
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, WholeText) {
    const SplitCase& c = GetParam();
    StatementSplitter splitter;
    std::vector<std::string> out;
    splitter.Feed(c.text, out);
    EXPECT_EQ(out, c.statements);
    EXPECT_EQ(splitter.Finish(), c.rest);
    EXPECT_TRUE(splitter.Idle());
}

TEST_P(SplitTest, OneCharacterAtATime) {
    const SplitCase& c = GetParam();
    StatementSplitter splitter;
    std::vector<std::string> out;
    for (const char* p = c.text; *p != '\0'; ++p) splitter.Feed(std::string_view(p, 1), out);
    EXPECT_EQ(out, c.statements);
    EXPECT_EQ(splitter.Finish(), c.rest);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != '\0'; ++p)
                                 name.push_back(std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
                             return name;
                         });

// Idle says whether a dot command may start: not inside a statement, a
// literal or a pending "-".
TEST(SplitIdle, TracksPendingText) {
    struct {
        const char* fed;
        bool idle;
    } const cases[] = {
        {"", true},           {"   \n", true},        {"-- note\n", true}, {"SELECT 1\n", false},
        {"SELECT 1;\n", true}, {"'open\n", false},    {"-", false},        {"SELECT ';'; \n", true},
    };
    for (const auto& c : cases) {
        StatementSplitter splitter;
        std::vector<std::string> out;
        splitter.Feed(c.fed, out);
        EXPECT_EQ(splitter.Idle(), c.idle) << "after " << c.fed;
    }
}

}  // namespace
}  // namespace qxsql
