// The output formatters fed with synthetic results: each case gives
// the columns, the rows and the exact text expected in every mode.
#include <gtest/gtest.h>

#include <sstream>

#include "shell/CsvFormatter.h"
#include "shell/JsonFormatter.h"
#include "shell/RowValues.h"
#include "shell/RowFormatter.h"
#include "shell/TableFormatter.h"

namespace qxsql {
namespace {

ResultColumn Col(const char* name, char letter) {
    ResultColumn column;
    column.name = name;
    column.letter = letter;
    return column;
}

std::string Format(OutputMode mode, bool headers, const std::vector<ResultColumn>& columns,
                   const std::vector<std::vector<std::string>>& rows) {
    std::ostringstream out;
    auto formatter = RowFormatter::Create(mode, headers, out);
    formatter->Begin(columns);
    for (const auto& row : rows) formatter->Row(std::vector<std::string_view>(row.begin(), row.end()));
    formatter->End();
    return out.str();
}

struct FormatCase {
    const char* name;
    OutputMode mode;
    bool headers;
    std::vector<ResultColumn> columns;
    std::vector<std::vector<std::string>> rows;
    const char* expected;
};

const std::vector<ResultColumn> kClients = {Col("NUM", 'N'), Col("NAME", 'T'), Col("CITY", 'T')};
const std::vector<std::vector<std::string>> kClientRows = {{"1", "Dupont", "Lyon"}, {"12", "Élodie, \"Lulu\"", ""}};

const FormatCase kCases[] = {
    {"table", OutputMode::Table, true, kClients, kClientRows,
     "+-----+----------------+------+\n"
     "| NUM | NAME           | CITY |\n"
     "+-----+----------------+------+\n"
     "|   1 | Dupont         | Lyon |\n"
     "|  12 | Élodie, \"Lulu\" |      |\n"
     "+-----+----------------+------+\n"
     "(2 rows)\n"},
    {"table without headers", OutputMode::Table, false, kClients, kClientRows,
     "+----+----------------+------+\n"
     "|  1 | Dupont         | Lyon |\n"
     "| 12 | Élodie, \"Lulu\" |      |\n"
     "+----+----------------+------+\n"
     "(2 rows)\n"},
    {"table empty", OutputMode::Table, true, {Col("A", 'N')}, {},
     "+---+\n| A |\n+---+\n(0 rows)\n"},
    {"table one row escapes controls", OutputMode::Table, true, {Col("MEMO", 'T')}, {{"a\nb\tc\x01"}},
     "+-------------+\n| MEMO        |\n+-------------+\n| a\\nb\\tc\\x01 |\n+-------------+\n(1 row)\n"},
    {"table unnamed column", OutputMode::Table, true, {Col("", 'N')}, {{"3.5"}},
     "+-----+\n|     |\n+-----+\n| 3.5 |\n+-----+\n(1 row)\n"},
    {"table wide and combining characters", OutputMode::Table, true, {Col("NAME", 'T'), Col("N", 'N')},
     {{"東京", "1"}, {"e\xcc\x81te\xcc\x81", "22"}},
     "+------+----+\n| NAME |  N |\n+------+----+\n| 東京 |  1 |\n| e\xcc\x81te\xcc\x81  | 22 |\n"
     "+------+----+\n(2 rows)\n"},
    {"box", OutputMode::Box, true, {Col("NUM", 'N'), Col("NAME", 'T')}, {{"1", "東京"}},
     "┌─────┬──────┐\n│ NUM │ NAME │\n├─────┼──────┤\n│   1 │ 東京 │\n└─────┴──────┘\n(1 row)\n"},
    {"box empty", OutputMode::Box, true, {Col("A", 'T')}, {}, "┌───┐\n│ A │\n└───┘\n(0 rows)\n"},
    {"markdown", OutputMode::Markdown, true, {Col("NUM", 'N'), Col("NAME", 'T')}, {{"12", "a|b"}},
     "| NUM | NAME |\n|----:|------|\n|  12 | a\\|b |\n"},
    {"line", OutputMode::Line, true, kClients, kClientRows,
     " NUM = 1\nNAME = Dupont\nCITY = Lyon\n\n NUM = 12\nNAME = Élodie, \"Lulu\"\nCITY = \n"},
    {"tsv", OutputMode::Tsv, false, kClients, kClientRows, "1\tDupont\tLyon\n12\tÉlodie, \"Lulu\"\t\n"},
    {"tsv escapes", OutputMode::Tsv, false, {Col("A", 'T'), Col("B", 'T')}, {{"a\tb\\", "c\nd\re"}},
     "a\\tb\\\\\tc\\nd\\re\n"},
    {"tsv headers", OutputMode::Tsv, true, kClients, {{"1", "a", "b"}}, "NUM\tNAME\tCITY\n1\ta\tb\n"},
    {"tsv empty", OutputMode::Tsv, false, kClients, {}, ""},
    {"csv", OutputMode::Csv, true, kClients, kClientRows,
     "NUM,NAME,CITY\r\n1,Dupont,Lyon\r\n12,\"Élodie, \"\"Lulu\"\"\",\r\n"},
    {"csv line breaks quoted", OutputMode::Csv, false, {Col("A", 'T'), Col("B", 'T')}, {{"x\ny", "p\rq"}},
     "\"x\ny\",\"p\rq\"\r\n"},
    {"csv lone empty field", OutputMode::Csv, false, {Col("A", 'T')}, {{""}}, "\"\"\r\n"},
    {"json", OutputMode::Json, true, kClients, kClientRows,
     "[\n{\"NUM\":1,\"NAME\":\"Dupont\",\"CITY\":\"Lyon\"},\n"
     "{\"NUM\":12,\"NAME\":\"Élodie, \\\"Lulu\\\"\",\"CITY\":\"\"}\n]\n"},
    {"json empty", OutputMode::Json, true, kClients, {}, "[]\n"},
    {"json number forms", OutputMode::Json, true, {Col("A", 'N'), Col("B", 'N'), Col("C", 'N'), Col("D", 'T')},
     {{"-0.25", "", "inf", "12"}}, "[\n{\"A\":-0.25,\"B\":null,\"C\":\"inf\",\"D\":\"12\"}\n]\n"},
    {"json keys made unique", OutputMode::Json, true, {Col("NUM", 'N'), Col("NUM", 'N'), Col("", 'T')},
     {{"1", "2", "x"}}, "[\n{\"NUM\":1,\"NUM_2\":2,\"column3\":\"x\"}\n]\n"},
    {"json escapes", OutputMode::Json, true, {Col("T", 'T')}, {{"a\\b\n\x01\xff\xc3\xa9"}},
     "[\n{\"T\":\"a\\\\b\\n\\u0001\\ufffdé\"}\n]\n"},
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, Output) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(Format(c.mode, c.headers, c.columns, c.rows), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FormatCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != '\0'; ++p)
                                 name.push_back(std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
                             return name;
                         });

// Typed values as the shell shows them: numbers as the shortest text of the
// same value (of a float for 4-byte items), the others as given.
TEST(RowValues, TextOfEachType) {
    ResultColumn real = Col("R", 'N'), single = Col("S", 'N');
    real.size = 8;
    single.size = 4;
    auto number = [](double x) { return QXSQLValue{QXSQL_TYPE_REAL, 0, 0, x, ""}; };
    const struct {
        const ResultColumn& column;
        QXSQLValue value;
        const char* shown;
    } cases[] = {
        {real, number(-2.5e-7), "-2.5e-07"},
        {real, number(1e300), "1e+300"},
        {real, number(0.1), "0.1"},
        {real, number(0.1 + 0.2), "0.30000000000000004"},
        {real, number(123456789.123457), "123456789.123457"},
        {real, number(1e16), "1e+16"},
        {real, number(1e15), "1000000000000000"},
        {real, number(0.00001), "0.00001"},
        {real, number(-0.0), "0"},
        {single, number(static_cast<double>(0.1f)), "0.1"},
        {single, number(static_cast<double>(3.4e38f)), "3.4e+38"},
        {real, QXSQLValue{QXSQL_TYPE_INTEGER, 0, -9007199254740993, 0, ""}, "-9007199254740993"},
        {real, QXSQLValue{QXSQL_TYPE_FIXED, 5, 0, 0.1, "0.125"}, "0.125"},
        {real, QXSQLValue{QXSQL_TYPE_DATE, 8, 20240229, 0, "20240229"}, "20240229"},
        {real, QXSQLValue{QXSQL_TYPE_NONE, 0, 0, 0, ""}, "<unknown type>"},
    };
    for (const auto& c : cases) EXPECT_EQ(RowValues::Text(c.column, c.value), c.shown) << c.shown;
}

TEST(JsonNumber, Grammar) {
    for (const char* good : {"0", "-0", "12", "1.5", "-0.001", "1e5", "2.5E-3", "123456789.000001"})
        EXPECT_TRUE(JsonFormatter::IsJsonNumber(good)) << good;
    for (const char* bad : {"", "-", "01", "1.", ".5", "+1", "1e", "nan", "inf", "-inf", "1 ", "0x1", "1,5"})
        EXPECT_FALSE(JsonFormatter::IsJsonNumber(bad)) << bad;
}

TEST(JsonString, OverlongAndSurrogateBytesReplaced) {
    std::ostringstream out;
    JsonFormatter::WriteString(out, "\xc0\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|\xf0\x9f\x98\x80");
    EXPECT_EQ(out.str(),
              "\"\\ufffd\\ufffd|\\ufffd\\ufffd\\ufffd|\\ufffd\\ufffd\\ufffd\\ufffd|\xf0\x9f\x98\x80\"");
}

}  // namespace
}  // namespace qxsql
