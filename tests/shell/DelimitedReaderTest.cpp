// CSV and TSV records as .import reads them: each text gives records whose
// fields are joined by "|" (records by "/"), or an error with its line and
// field.
#include <gtest/gtest.h>

#include "shell/DelimitedReader.h"

namespace qxsql {
namespace {

struct Case {
    DelimitedFormat format;
    const char* text;
    const char* records;  // fields joined by "|", records by "/"
    const char* error;    // "line:field: message", or "" when none
};

std::string Read(const Case& c, std::string& error) {
    DelimitedReader reader(c.text, c.format);
    std::vector<std::string> fields;
    std::string out;
    while (reader.Next(fields)) {
        if (!out.empty()) out += "/";
        for (std::size_t i = 0; i < fields.size(); ++i) out += (i > 0 ? "|" : "") + fields[i];
    }
    if (!reader.Error().empty())
        error = std::to_string(reader.Line()) + ":" + std::to_string(reader.ErrorColumn()) + ": " + reader.Error();
    return out;
}

TEST(DelimitedReaderTest, Records) {
    const DelimitedFormat csv = DelimitedFormat::Csv, tsv = DelimitedFormat::Tsv;
    const Case cases[] = {
        {csv, "\xEF\xBB\xBF" "a,b\r\n1,2\r\n", "a|b/1|2", ""},
        {csv, "a,b\n\n,\n\"x,\"\"y\"\"\",\"two\r\nlines\"", "a|b/|/x,\"y\"|two\r\nlines", ""},
        {csv, "a\r\nb\rc\n", "a/b\rc", ""},
        {csv, "a,b\n1,\"open\n2,3\n", "a|b", "2:2: the quote opened on line 2 is never closed"},
        {csv, "a\n1\nx\"y\n", "a/1", "3:1: a quote inside a field that does not start with one"},
        {csv, "\"a\"b,c\n", "", "1:1: text after the closing quote"},
        {tsv, "a\tb\r\n1\\t2\\\\\t\\n\\q\n", "a|b/1\t2\\|\n\\q", ""},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Read(c, error), c.records) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

}  // namespace
}  // namespace qxsql
