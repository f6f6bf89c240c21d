// The column description text of ExecInfo read into columns.
#include <gtest/gtest.h>

#include "shell/ResultColumn.h"

namespace qxsql {
namespace {

TEST(ResultColumn, ParseDescription) {
    struct Expected {
        std::string name;
        char letter;
        std::uint32_t hostType, size;
    };
    struct {
        const char* text;
        std::size_t count;
        std::vector<Expected> columns;
    } const cases[] = {
        {"NUM\tN\t16\t4\r\nNAME\tT\t9\t30", 2, {{"NUM", 'N', 16, 4}, {"NAME", 'T', 9, 30}}},
        {"\tN\t16\t8", 1, {{"", 'N', 16, 8}}},                               // unnamed expression
        {"A\tT\t9\t5\r\nB\tN\t16\t2\r\nC\tT\t0\t4", 2, {{"A", 'T', 9, 5}, {"B", 'N', 16, 2}}},  // extra line ignored
        {"A\tN\t16\t1", 3, {{"A", 'N', 16, 1}, {"", 'T', 0, 0}, {"", 'T', 0, 0}}},             // missing lines
        {"ODD NAME", 1, {{"ODD NAME", 'T', 0, 0}}},                         // not the usual shape
        {"", 0, {}},
    };
    for (const auto& c : cases) {
        auto columns = ResultColumn::ParseDescription(c.text, c.count);
        ASSERT_EQ(columns.size(), c.columns.size()) << c.text;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            EXPECT_EQ(columns[i].name, c.columns[i].name) << c.text;
            EXPECT_EQ(columns[i].letter, c.columns[i].letter) << c.text;
            EXPECT_EQ(columns[i].hostType, c.columns[i].hostType) << c.text;
            EXPECT_EQ(columns[i].size, c.columns[i].size) << c.text;
        }
    }
}

}  // namespace
}  // namespace qxsql
