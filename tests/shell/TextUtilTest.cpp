// Display widths, dot command words and on/off values.
#include <gtest/gtest.h>

#include "shell/OutputMode.h"
#include "shell/TextUtil.h"

namespace qxsql {
namespace {

TEST(TextUtil, DisplayWidthCountsCharacters) {
    const struct {
        const char* text;
        std::size_t width;
    } cases[] = {{"", 0}, {"abc", 3}, {"é", 1}, {"Élodie", 6}, {"日本", 2}, {"\xf0\x9f\x98\x80", 1},
                 {"\xff", 1}, {"\xc3", 1}, {"a\xe2\x82", 3}};
    for (const auto& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.width) << c.text;
}

TEST(TextUtil, SplitWords) {
    const struct {
        const char* line;
        bool ok;
        std::vector<std::string> words;
    } cases[] = {
        {".memo 1 photo.png", true, {".memo", "1", "photo.png"}},
        {"  .read   'my file.sql'  ", true, {".read", "my file.sql"}},
        {".read \"a b\"c", true, {".read", "a bc"}},
        {".read ''", true, {".read", ""}},
        {".read 'open", false, {}},
        {"", true, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words;
        EXPECT_EQ(SplitWords(c.line, words), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(words, c.words) << c.line;
        }
    }
}

TEST(TextUtil, OnOffAndModes) {
    bool value = false;
    EXPECT_TRUE(ParseOnOff("ON", value));
    EXPECT_TRUE(value);
    EXPECT_TRUE(ParseOnOff("off", value));
    EXPECT_FALSE(value);
    EXPECT_FALSE(ParseOnOff("maybe", value));
    OutputMode mode = OutputMode::Tsv;
    EXPECT_TRUE(ParseOutputMode("JSON", mode));
    EXPECT_EQ(mode, OutputMode::Json);
    EXPECT_FALSE(ParseOutputMode("xml", mode));
    EXPECT_EQ(Trim("  a b \r\n"), "a b");
}

}  // namespace
}  // namespace qxsql
