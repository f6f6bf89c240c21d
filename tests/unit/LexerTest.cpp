// Tests of the tokenizer: one table of scans (text, position, signed flag ->
// result, kind, text, fetched text, empty-string flag), the table codes, and
// out-of-memory and oversized inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/MemoryBlock.h"
#include "lexer/Lexer.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

struct ScanCase {
    const char* text;
    int position;
    bool signedNumbers;
    int result;             // end position, or minus a message number
    std::uint16_t kind;     // kind left in the Lexer
    const char* tokenText;  // text left in the Lexer
    const char* fetched;    // GetToken copy; null: same as tokenText
    std::int16_t emptyFlag;
};

constexpr bool S = true;   // signed numbers allowed
constexpr bool U = false;  // not allowed

const ScanCase kScanCases[] = {
    // End of text.
    {" \t\r\n ", 0, U, -4245, kTokNone, "", nullptr, 0},
    {"AB", 2, U, -4245, kTokNone, "", nullptr, 0},
    // Keywords: table order, separator test, text from the table.
    {"IN(1)", 0, U, 2, kKwIn, "IN", nullptr, 0},
    {"index x", 0, U, 5, kKwIndex, "INDEX", nullptr, 0},
    {"INX", 0, U, 3, kTokIdentifier, "INX", nullptr, 0},
    {"Integer", 0, U, 7, kKwInteger, "INTEGER", nullptr, 0},
    {"MINUTE", 0, U, 6, kKwMinute, "MINUTE", nullptr, 0},
    {"MIN(X)", 0, U, 3, kKwMin, "MIN", nullptr, 0},
    {"select *", 0, U, 6, kKwSelect, "SELECT", nullptr, 0},
    {"SELECT\xC3\xA9", 0, U, 6, kKwSelect, "SELECT", nullptr, 0},
    {"DATE.X", 0, U, 4, kKwDate, "DATE", nullptr, 0},
    {"DATE_X", 0, U, 6, kTokIdentifier, "DATE_X", nullptr, 0},
    {"order by x", 0, U, 8, kKwOrderBy, "ORDER BY", nullptr, 0},
    {"ORDER  BY", 0, U, 5, kTokIdentifier, "ORDER", nullptr, 0},
    {"ORDER  BY", 5, U, 9, kTokIdentifier, "BY", nullptr, 0},
    {"ORDER\nBY", 0, U, 5, kTokIdentifier, "ORDER", nullptr, 0},
    {"ORDER\tBY", 0, U, 5, kTokIdentifier, "ORDER", nullptr, 0},
    {"ORDER BYX", 0, U, 5, kTokIdentifier, "ORDER", nullptr, 0},
    {"foreign key(A)", 0, U, 11, kKwForeignKey, "FOREIGN KEY", nullptr, 0},
    {"count(*) ", 0, U, 8, kKwCountStar, "COUNT(*)", nullptr, 0},
    {"COUNT (*)", 0, U, 5, kTokIdentifier, "COUNT", nullptr, 0},
    {"COUNT (*)", 5, U, 7, kPunLeftParen, "(", nullptr, 0},
    {"COUNT (*)", 7, U, 8, kOpStar, "*", nullptr, 0},
    {"COUNT (*)", 8, U, 9, kPunRightParen, ")", nullptr, 0},
    {"COUNT DISTINCT A", 0, U, 14, kKwCountDistinct, "COUNT DISTINCT", nullptr, 0},
    {"select'a'", 0, U, -4248, kTokIdentifier, "select", "SELECT", 0},
    // Operators: longest first, no separator test.
    {"<>1", 0, U, 2, kOpNotEqual, "<>", nullptr, 0},
    {"<=", 0, U, 2, kOpLessEqual, "<=", nullptr, 0},
    {"**2", 0, U, 2, kOpPower, "**", nullptr, 0},
    {"!=", 0, U, 1, kOpBang, "!", nullptr, 0},
    {"!=", 1, U, 2, kOpEqual, "=", nullptr, 0},
    {">>=", 0, U, 2, kOpShiftRight, ">>", nullptr, 0},
    {"||&", 0, U, 2, kOpDoubleBar, "||", nullptr, 0},
    {"&", 0, U, 1, kOpAmp, "&", nullptr, 0},
    {"  ]", 0, U, 3, kPunRightBracket, "]", nullptr, 0},
    // Strings: doubled opening quote, empty literal, other quote kind.
    {"'it''s' ", 0, U, 7, kTokString, "it's", nullptr, 0},
    {"\"\"", 0, U, 2, kTokString, "", nullptr, 1},
    {"''''", 0, U, 4, kTokString, "'", nullptr, 0},
    {"'''''' x", 0, U, 6, kTokString, "''", nullptr, 0},
    {"\"it's\"", 0, U, 6, kTokString, "it's", nullptr, 0},
    {"\"a'\",", 0, U, 4, kTokString, "a'", nullptr, 0},
    {"'say \"hi\"'", 0, U, 10, kTokString, "say \"hi\"", nullptr, 0},
    {"'abc", 0, U, -4247, kTokNone, "", nullptr, 0},
    {"'ab''", 0, U, -4247, kTokNone, "", nullptr, 0},
    {"'ab'c", 0, U, -4248, kTokString, "ab", nullptr, 0},
    {"''x", 0, U, -4248, kTokString, "", nullptr, 1},
    {"'abc'", 0, U, 5, kTokString, "abc", "abc", 0},
    // Numbers.
    {"12AB", 0, U, -4248, kTokInteger, "12", nullptr, 0},
    {"12 AB", 0, U, 2, kTokInteger, "12", nullptr, 0},
    {"12 AB", 2, U, 5, kTokIdentifier, "AB", nullptr, 0},
    {"12.5E-3", 0, U, 7, kTokExponent, "12.5E-3", nullptr, 0},
    {"1e5)", 0, U, 3, kTokExponent, "1e5", nullptr, 0},
    {"7E", 0, U, 2, kTokInteger, "7E", nullptr, 0},
    {"7E+", 0, U, 2, kTokInteger, "7E", nullptr, 0},
    {"7Ex", 0, U, -4248, kTokInteger, "7E", nullptr, 0},
    {"3.", 0, U, 2, kTokDecimal, "3.", nullptr, 0},
    {"1.2.3", 0, U, 3, kTokDecimal, "1.2", nullptr, 0},
    {"-5", 0, S, 2, kTokSignedInteger, "-5", nullptr, 0},
    {"-5", 0, U, 1, kOpMinus, "-", nullptr, 0},
    {"-5", 1, U, 2, kTokInteger, "5", nullptr, 0},
    {"+2.5e+1", 0, S, 7, kTokExponent, "+2.5e+1", nullptr, 0},
    {"- 5", 0, S, -4246, kTokNone, "", nullptr, 0},
    {".5", 0, U, 1, kPunDot, ".", nullptr, 0},
    {".5", 1, U, 2, kTokInteger, "5", nullptr, 0},
    // Identifiers.
    {"ABC.DEF", 0, U, 7, kTokIdentifier, "ABC.DEF", nullptr, 0},
    {"ABC .DEF", 0, U, 3, kTokIdentifier, "ABC", nullptr, 0},
    {"ABC .DEF", 3, U, 5, kPunDot, ".", nullptr, 0},
    {"ABC .DEF", 5, U, 8, kTokIdentifier, "DEF", nullptr, 0},
    {"abc", 0, U, 3, kTokIdentifier, "abc", "ABC", 0},
    {"_x@#1.y z", 0, U, 7, kTokIdentifier, "_x@#1.y", "_X@#1.Y", 0},
    {"@X", 0, U, -4246, kTokNone, "", nullptr, 0},
    {"#X", 0, U, -4246, kTokNone, "", nullptr, 0},
    {"$", 0, U, -4246, kTokNone, "", nullptr, 0},
    {"\xC3\xA9t\xC3\xA9", 0, U, -4246, kTokNone, "", nullptr, 0},
    {"\x7F", 0, U, -4246, kTokNone, "", nullptr, 0},
    {"ab\xC3\xA9", 0, U, 2, kTokIdentifier, "ab", "AB", 0},
    {"caf\xC3\xA9", 0, U, 3, kTokIdentifier, "caf", "CAF", 0},
};

TEST(LexerTest, ScansTheTable) {
    qxtest::MessageCapture capture;
    // One Lexer for the whole table, so every failure is checked to clear the
    // token left by the case before it.
    Lexer lexer;
    for (const ScanCase& c : kScanCases) {
        SCOPED_TRACE(std::string("text [") + c.text + "] at " + std::to_string(c.position));
        std::int16_t empty = 7;
        EXPECT_EQ(lexer.Scan(c.text, static_cast<std::int16_t>(c.position), &empty, c.signedNumbers),
                  c.result);
        EXPECT_EQ(lexer.Kind(), c.kind);
        EXPECT_STREQ(lexer.Text(), c.tokenText);
        EXPECT_EQ(empty, c.emptyFlag);
        std::uint16_t kind = 9999;
        char* copy = lexer.GetToken(&kind);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(kind, c.kind);
        EXPECT_STREQ(copy, c.fetched != nullptr ? c.fetched : c.tokenText);
        EXPECT_NE(copy, lexer.Text());
        FreeBlock(copy);
    }
    EXPECT_TRUE(capture.Shown().empty());
}

TEST(LexerTest, EveryTableEntryScansToItsCode) {
    Lexer lexer;
    for (int i = 0; i < Lexer::kKeywordCount; ++i) {
        EXPECT_EQ(lexer.Scan(lexer.KeywordAt(i), 0, nullptr, false),
                  static_cast<int>(std::strlen(lexer.KeywordAt(i))));
        EXPECT_EQ(lexer.Kind(), kKwFirst + i) << lexer.KeywordAt(i);
    }
    for (int i = 0; i < Lexer::kPunctuationCount; ++i) {
        EXPECT_EQ(lexer.Scan(lexer.PunctuationAt(i), 0, nullptr, false), 1);
        EXPECT_EQ(lexer.Kind(), kPunFirst + i) << lexer.PunctuationAt(i);
    }
    for (int i = 0; i < Lexer::kOperatorCount; ++i) {
        EXPECT_GT(lexer.Scan(lexer.OperatorAt(i), 0, nullptr, false), 0);
        EXPECT_EQ(lexer.Kind(), kOpFirst + i) << lexer.OperatorAt(i);
    }
    EXPECT_EQ(lexer.KeywordAt(Lexer::kKeywordCount), nullptr);
}

TEST(LexerTest, OutOfMemoryAndOversizedText) {
    qxtest::MessageCapture capture;
    const std::size_t liveBefore = platform::HeapLiveBlocks();
    {
        Lexer lexer;
        ASSERT_EQ(lexer.Scan("ab", 0, nullptr, false), 2);
        platform::HeapFailAt(1);
        EXPECT_EQ(lexer.StoreTokenText("longer text"), 0);
        EXPECT_STREQ(lexer.Text(), "");
        platform::HeapFailAt(1);
        EXPECT_EQ(lexer.Scan("LONGNAME", 0, nullptr, false), -4242);
        EXPECT_EQ(lexer.Kind(), kTokNone);
        ASSERT_EQ(lexer.Scan("X", 0, nullptr, false), 1);  // fits the old buffer
        platform::HeapFailAt(1);
        std::uint16_t kind = 0;
        EXPECT_EQ(lexer.GetToken(&kind), nullptr);
        EXPECT_EQ(kind, kTokIdentifier);
        platform::HeapFailAt(0);

        // Positions are 16-bit: a token running past 32767 cannot be reported.
        std::string huge(40000, 'A');
        EXPECT_EQ(lexer.Scan(huge.c_str(), 0, nullptr, false), -4245);
        EXPECT_STREQ(lexer.Text(), "");
        std::string blanks(40000, ' ');
        EXPECT_EQ(lexer.Scan(blanks.c_str(), 30000, nullptr, false), -4245);
        std::string quoted = "'" + std::string(32764, 'q') + "'";
        EXPECT_EQ(lexer.Scan(quoted.c_str(), 0, nullptr, false), 32766);
        EXPECT_EQ(std::strlen(lexer.Text()), 32764u);
        EXPECT_EQ(lexer.Scan("A", -1, nullptr, false), -4245);
        EXPECT_EQ(lexer.StoreTokenText(std::string(32767, 'z').c_str()), 0);
    }
    EXPECT_EQ(platform::HeapLiveBlocks(), liveBefore);
}

}  // namespace
