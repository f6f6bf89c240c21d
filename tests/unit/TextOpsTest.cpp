// Text helpers: IndexOfChar, CopyBounded, RemoveChar, GetField.
#include <gtest/gtest.h>

#include <string>

#include "values/TextOps.h"

namespace {

using namespace qx;

TEST(TextOpsTest, IndexOfChar) {
    EXPECT_EQ(IndexOfChar('b', "abcb"), 1);
    EXPECT_EQ(IndexOfChar('z', "abc"), -1);
    EXPECT_EQ(IndexOfChar('\0', "abc"), 3);
    EXPECT_EQ(IndexOfChar('a', ""), -1);
    EXPECT_EQ(IndexOfChar('a', nullptr), -1);
}

TEST(TextOpsTest, CopyBounded) {
    struct Case {
        const char* source;
        std::int32_t count, capacity;
        const char* expected;
        int whole;
    } cases[] = {
        {"hello", 5, 6, "hello", 1},  {"hello", 5, 5, "hell", 0},  {"hello", 3, 10, "hel", 1},
        {"hi", 10, 10, "hi", 1},      {"hello", 0, 10, "", 1},     {"hello", 5, 1, "", 0},
        {"a\xC3\xA9", 3, 3, "a", 0},  {"a\xC3\xA9", 3, 4, "a\xC3\xA9", 1},
    };
    for (const auto& c : cases) {
        char target[16] = "junkjunkjunk";
        EXPECT_EQ(CopyBounded(target, c.source, c.count, c.capacity), c.whole) << c.source << " " << c.capacity;
        EXPECT_STREQ(target, c.expected);
    }
    char target[4] = "abc";
    EXPECT_EQ(CopyBounded(target, "x", 1, 0), 0);
    EXPECT_STREQ(target, "abc");
}

TEST(TextOpsTest, RemoveChar) {
    char text[] = "a/b//c/";
    RemoveChar(text, '/');
    EXPECT_STREQ(text, "abc");
    char none[] = "abc";
    RemoveChar(none, 'x');
    EXPECT_STREQ(none, "abc");
}

TEST(TextOpsTest, GetField) {
    struct Case {
        std::int16_t n;
        const char* text;
        const char* separators;
        std::int16_t collapse;
        std::int32_t capacity;
        std::int32_t result;
        const char* expected;  // null: target untouched
    } cases[] = {
        {1, "a,b,c", ",", 0, 16, 1, "a"},      {3, "a,b,c", ",", 0, 16, 1, "c"},
        {4, "a,b,c", ",", 0, 16, -1, nullptr}, {2, "a,,b", ",", 0, 16, 0, ""},
        {3, "a,,b", ",", 0, 16, 1, "b"},       {1, ",a", ",", 0, 16, 0, ""},
        {1, "", ",", 0, 16, 0, ""},            {2, "a,", ",", 0, 16, 0, ""},
        {2, "a,,b", ",", 1, 16, 1, "b"},       {1, "  a  b", " ", 1, 16, 1, "a"},
        {2, "  a  b", " ", 1, 16, 1, "b"},     {3, "  a  b  ", " ", 1, 16, -1, nullptr},
        {1, "", ",", 1, 16, -1, nullptr},      {1, ",,", ",", 1, 16, -1, nullptr},
        {2, "T1/T2;T3", "/;", 0, 16, 2, "T2"}, {3, "T1/T2;T3", "/;", 0, 16, 2, "T3"},
        {1, "abcdef", ",", 0, 4, 3, "abc"},    {0, "a", ",", 0, 16, -1, nullptr},
    };
    for (const auto& c : cases) {
        char target[16] = "junk";
        EXPECT_EQ(GetField(c.n, c.text, c.separators, target, c.capacity, c.collapse), c.result)
            << c.n << " of '" << c.text << "' collapse " << c.collapse;
        EXPECT_STREQ(target, c.expected != nullptr ? c.expected : "junk");
    }
    EXPECT_EQ(GetField(2, "ab,cde", ",", nullptr, 0, 0), 3);
}

}  // namespace
