// Reading a row's values from the engine's one-line form: whatever bytes
// the values hold, the reader must give them back unchanged.
#include <gtest/gtest.h>

#include <cstring>

#include "shell/RowReader.h"

namespace qxsql {
namespace {

std::vector<ResultColumn> Columns(std::size_t n, std::uint32_t size) {
    std::vector<ResultColumn> columns(n);
    for (auto& column : columns) column.size = size;
    return columns;
}

// Stands in for QXSQLValLine over a fixed row; counts the calls.
struct FakeRow {
    std::vector<std::string> values;
    int calls = 0;
    std::int16_t operator()(const char* separator, char* out) {
        ++calls;
        std::string line;
        for (std::size_t i = 0; i < values.size(); ++i) line += (i > 0 ? separator : "") + values[i];
        std::memcpy(out, line.c_str(), line.size() + 1);
        return 0;
    }
};

std::string AllBytes() {
    std::string text;
    for (int b = 1; b < 256; ++b) text.push_back(static_cast<char>(b));
    return text;
}

struct ReadCase {
    const char* name;
    std::vector<std::string> values;
    int calls;  // 1 when the unit separator served, 2 when another was needed
};

const ReadCase kCases[] = {
    {"plain", {"1", "Dupont", ""}, 1},
    {"one column", {"x\x1fy"}, 1},
    {"unit separator in a value", {"a\x1f", "b"}, 2},
    {"tabs and line breaks", {"a\tb", "c\nd", "\t"}, 1},
    {"every byte in one value", {AllBytes(), "z", AllBytes()}, 2},
    {"empty values", {"", "", ""}, 1},
};

TEST(RowReader, GivesValuesBack) {
    for (const ReadCase& c : kCases) {
        auto fake = std::make_shared<FakeRow>();
        fake->values = c.values;
        RowReader reader(Columns(c.values.size(), 600),
                         [fake](const char* separator, char* out) { return (*fake)(separator, out); });
        std::vector<std::string_view> values;
        ASSERT_TRUE(reader.ReadValues(values)) << c.name;
        ASSERT_EQ(values.size(), c.values.size()) << c.name;
        for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(values[i], c.values[i]) << c.name << " value " << i;
        EXPECT_EQ(fake->calls, c.calls) << c.name;
    }
}

TEST(RowReader, EngineRefusalIsReported) {
    RowReader reader(Columns(2, 4), [](const char*, char*) -> std::int16_t { return -1; });
    std::vector<std::string_view> values;
    EXPECT_FALSE(reader.ReadValues(values));
}

// The separator must not occur in the sample, and longer separators are
// made of distinct bytes so that they cannot straddle a value's edge.
TEST(RowReader, SeparatorAbsentFromSample) {
    std::string pairs;  // every ordered pair of distinct bytes 1..40
    for (int a = 1; a <= 40; ++a)
        for (int b = 1; b <= 40; ++b)
            if (a != b) pairs += std::string{static_cast<char>(a), static_cast<char>(b)};
    const std::string samples[] = {"", "abc", "\x1f\x1e", AllBytes(), AllBytes() + pairs};
    for (const std::string& sample : samples) {
        std::string separator = RowReader::ChooseSeparator(sample);
        ASSERT_FALSE(separator.empty());
        EXPECT_EQ(sample.find(separator), std::string::npos);
        EXPECT_EQ(separator.find('\0'), std::string::npos);
        for (std::size_t i = 0; i < separator.size(); ++i)
            for (std::size_t j = 0; j < i; ++j) EXPECT_NE(separator[i], separator[j]);
    }
    EXPECT_EQ(RowReader::ChooseSeparator("abc"), "\x1f");
    EXPECT_EQ(RowReader::ChooseSeparator(AllBytes()).size(), 2u);
}

TEST(RowReader, SplitGivesExactlyCountValues) {
    struct {
        const char* line;
        std::size_t count;
        std::vector<std::string> values;
    } const cases[] = {
        {"a|b|c", 3, {"a", "b", "c"}}, {"a|b|c", 2, {"a", "b|c"}}, {"a", 3, {"a", "", ""}},
        {"", 1, {""}},                 {"||", 3, {"", "", ""}},   {"a|b", 0, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string_view> values;
        RowReader::Split(c.line, "|", c.count, values);
        std::vector<std::string> got(values.begin(), values.end());
        EXPECT_EQ(got, c.values) << c.line << " into " << c.count;
    }
}

TEST(RowReader, LineCapacityCoversDisplaySizes) {
    auto columns = Columns(3, 32766);
    EXPECT_GE(RowReader::LineCapacity(columns), 3u * 32766 + 3 * 4 + 1);
    EXPECT_GE(RowReader::LineCapacity(Columns(1, 8)), 330u + 1);
}

}  // namespace
}  // namespace qxsql
