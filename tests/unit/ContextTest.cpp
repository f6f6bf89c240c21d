// Memo reference scan, markers and replacement.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "catalog/Context.h"
#include "obsqleng.h"
#include "platform/BlockHeap.h"

namespace {

using namespace qx;

struct Found {
    std::int32_t kind;
    std::string name;
    std::string text;  // the statement text the entry spans
};

std::vector<Found> Scan(const std::string& statement) {
    MemoContext* context = NewMemoContext();
    EXPECT_NE(context, nullptr);
    std::vector<Found> found;
    std::int32_t count = ScanMemoReferences(context, statement.c_str());
    EXPECT_EQ(count, context->entryCount);
    for (std::int32_t i = 0; i < count; ++i) {
        char name[256];
        std::int32_t kind = -1;
        EXPECT_EQ(GetMemoInfo(context, i, name, sizeof name, &kind), 1);
        const MemoEntry& e = context->entries[i];
        found.push_back({kind, name, statement.substr(static_cast<std::size_t>(e.start), static_cast<std::size_t>(e.length))});
    }
    FreeMemoContext(context);
    return found;
}

std::string Marker(int n) { return "'\x7f" + std::to_string(n) + "'"; }

struct ScanCase {
    const char* what;
    std::string statement;
    std::vector<Found> expected;
};

TEST(ContextTest, ScanTable) {
    const std::string longName(140, 'x');
    const ScanCase cases[] = {
        {"plain", "INSERT INTO T VALUES (1, {OBMemoBinaire('Photo')})",
         {{0, "Photo", "{OBMemoBinaire('Photo')}"}}},
        {"field qualifier, any case", "{obmemobinaire('Photo','field')}",
         {{1, "Photo", "{obmemobinaire('Photo','field')}"}}},
        {"Champ in double quotes", "{OBMemoBinaire(\"Photo\",\"CHAMP\")}",
         {{1, "Photo", "{OBMemoBinaire(\"Photo\",\"CHAMP\")}"}}},
        {"other qualifier", "{OBMemoBinaire('Photo','Other')}", {{0, "Photo", "{OBMemoBinaire('Photo','Other')}"}}},
        {"spaces between tokens", "x = { OBMemoBinaire ( 'Photo' ) } ;",
         {{0, "Photo", "{ OBMemoBinaire ( 'Photo' ) }"}}},
        {"line breaks between tokens", "VALUES (\n{\tOBMemoBinaire(\r\n'Photo')})",
         {{0, "Photo", "{\tOBMemoBinaire(\r\n'Photo')}"}}},
        {"doubled quote kept", "{OBMemoBinaire('it''s')}", {{0, "it''s", "{OBMemoBinaire('it''s')}"}}},
        {"two references", "VALUES ({OBMemoBinaire('a')},{OBMemoBinaire('b','Field')})",
         {{0, "a", "{OBMemoBinaire('a')}"}, {1, "b", "{OBMemoBinaire('b','Field')}"}}},
        {"long name cut", "{OBMemoBinaire('" + longName + "')}",
         {{0, longName.substr(0, 127), "{OBMemoBinaire('" + longName + "')}"}}},
        {"empty name", "{OBMemoBinaire('')}", {{0, "", "{OBMemoBinaire('')}"}}},
        {"missing brace", "{OBMemoBinaire('Photo')", {}},
        {"missing parenthesis", "{OBMemoBinaire('Photo'}", {}},
        {"name not a string", "{OBMemoBinaire(Photo)}", {}},
        {"number instead of name", "{OBMemoBinaire(1)}", {}},
        {"no braces", "OBMemoBinaire('Photo')", {}},
        {"other word", "{OBMemoBinaireX('Photo')}", {}},
        {"three strings", "{OBMemoBinaire('a','b','c')}", {}},
        {"inside a string literal", "'{OBMemoBinaire(''a'')}'", {}},
        {"brace twice", "{{OBMemoBinaire('a')}", {}},
        {"after a failed start", "{x {OBMemoBinaire('a')}", {{0, "a", "{OBMemoBinaire('a')}"}}},
        {"unterminated string ends the scan", "{OBMemoBinaire('a')} 'abc {OBMemoBinaire('b')}",
         {{0, "a", "{OBMemoBinaire('a')}"}}},
        {"empty text", "", {}},
    };
    for (const ScanCase& c : cases) {
        std::vector<Found> found = Scan(c.statement);
        ASSERT_EQ(found.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].kind, c.expected[i].kind) << c.what;
            EXPECT_EQ(found[i].name, c.expected[i].name) << c.what;
            EXPECT_EQ(found[i].text, c.expected[i].text) << c.what;
        }
    }
}

TEST(ContextTest, ReplaceReferencesByMarkers) {
    char buffer[16384];
    std::strcpy(buffer, "INSERT INTO T VALUES (1, {OBMemoBinaire('Photo')}, {OBMemoBinaire('Doc','Champ')});");
    ReplaceMemoReferences(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), "INSERT INTO T VALUES (1, " + Marker(1) + ", " + Marker(2) + ");");
}

TEST(ContextTest, AtMost256ReferencesAreReplaced) {
    std::string statement = "VALUES (";
    for (int i = 0; i < 300; ++i) statement += "{OBMemoBinaire('m')},";
    std::vector<char> buffer(16384);
    std::memcpy(buffer.data(), statement.c_str(), statement.size() + 1);

    MemoContext* context = NewMemoContext();
    EXPECT_EQ(ScanMemoReferences(context, buffer.data()), 256);
    FreeMemoContext(context);

    ReplaceMemoReferences(buffer.data(), 16384);
    std::string result = buffer.data();
    std::string expected = "VALUES (";
    for (int i = 1; i <= 256; ++i) expected += Marker(i) + ",";
    for (int i = 257; i <= 300; ++i) expected += "{OBMemoBinaire('m')},";
    EXPECT_EQ(result, expected);
}

TEST(ContextTest, GetMemoInfoBounds) {
    MemoContext* context = NewMemoContext();
    ASSERT_EQ(ScanMemoReferences(context, "{OBMemoBinaire('Photo')}"), 1);
    char name[8] = "junk";
    std::int32_t kind = -1;
    EXPECT_EQ(GetMemoInfo(context, 1, name, sizeof name, &kind), 0);
    EXPECT_EQ(GetMemoInfo(context, -1, name, sizeof name, &kind), 0);
    EXPECT_EQ(GetMemoInfo(nullptr, 0, name, sizeof name, &kind), 0);
    EXPECT_EQ(kind, -1);
    EXPECT_EQ(GetMemoInfo(context, 0, name, 3, &kind), 1);
    EXPECT_STREQ(name, "Ph");
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(GetMemoInfo(context, 0, nullptr, 0, nullptr), 1);
    FreeMemoContext(context);
    FreeMemoContext(nullptr);
    EXPECT_EQ(ScanMemoReferences(nullptr, "{OBMemoBinaire('a')}"), 0);
}

TEST(ContextTest, ReplaceMemoCapacityBoundary) {
    const std::string statement = "A {OBMemoBinaire('Photo')} B";
    const std::string replacement = "'REPLACEMENT-LONGER-THAN-THE-REFERENCE'";
    const std::size_t newLength = statement.size() - 24 + replacement.size();
    for (std::uint32_t capacity : {static_cast<std::uint32_t>(newLength + 1), static_cast<std::uint32_t>(newLength)}) {
        std::vector<char> buffer(newLength + 8, '\0');
        std::memcpy(buffer.data(), statement.c_str(), statement.size() + 1);
        MemoContext* context = NewMemoContext();
        ASSERT_EQ(ScanMemoReferences(context, buffer.data()), 1);
        std::int32_t result = ReplaceMemo(context, buffer.data(), 0, replacement.c_str(), capacity);
        if (capacity == newLength + 1) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(std::string(buffer.data()), "A " + replacement + " B");
            EXPECT_EQ(context->entries[0].length, static_cast<std::int32_t>(replacement.size()));
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(std::string(buffer.data()), statement);
        }
        EXPECT_EQ(ReplaceMemo(context, buffer.data(), 1, "x", 1000), 0);
        EXPECT_EQ(ReplaceMemo(nullptr, buffer.data(), 0, "x", 1000), 0);
        FreeMemoContext(context);
    }
}

TEST(ContextTest, ReplaceMemoShiftsLaterEntries) {
    char buffer[256];
    std::strcpy(buffer, "({OBMemoBinaire('a')}, {OBMemoBinaire('b')}, {OBMemoBinaire('c')})");
    MemoContext* context = NewMemoContext();
    ASSERT_EQ(ScanMemoReferences(context, buffer), 3);
    EXPECT_EQ(ReplaceMemo(context, buffer, 1, "'a much longer replacement text'", sizeof buffer), 1);
    EXPECT_EQ(ReplaceMemo(context, buffer, 2, "C", sizeof buffer), 1);
    EXPECT_EQ(ReplaceMemo(context, buffer, 0, "A", sizeof buffer), 1);
    EXPECT_EQ(ReplaceMemo(context, buffer, 2, "same length", sizeof buffer), 1);  // replaced again in place
    EXPECT_STREQ(buffer, "(A, 'a much longer replacement text', same length)");
    FreeMemoContext(context);
}

TEST(ContextTest, ExportsWorkTogetherAndReleaseEverything) {
    std::size_t live = platform::HeapLiveBlocks();
    void* context = QXSQL_OBMS_Alloc();
    ASSERT_NE(context, nullptr);
    char buffer[128];
    std::strcpy(buffer, "{OBMemoBinaire('x','Field')} {OBMemoBinaire('y')}");
    EXPECT_EQ(QXSQL_OBMS_Scan(context, buffer), 2);
    EXPECT_EQ(QXSQL_OBMS_Scan(context, "{OBMemoBinaire('z')}"), 1);  // a new scan empties the context
    char name[16];
    std::int32_t kind = -1;
    EXPECT_EQ(QXSQL_OBMS_GetMemoInfo(context, 0, name, sizeof name, &kind), 1);
    EXPECT_STREQ(name, "z");
    EXPECT_EQ(QXSQL_OBMS_Scan(context, buffer), 2);
    EXPECT_EQ(QXSQL_OBMS_GetMemoInfo(context, 0, name, sizeof name, &kind), 1);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(QXSQL_OBMS_ReplaceMemo(context, buffer, 0, "?", sizeof buffer), 1);
    EXPECT_EQ(QXSQL_OBMS_ReplaceMemo(context, buffer, 1, "?", sizeof buffer), 1);
    EXPECT_STREQ(buffer, "? ?");
    QXSQL_OBMS_Free(context);
    QXSQL_OBMS_Free(nullptr);
    EXPECT_EQ(QXSQL_OBMS_Scan(nullptr, buffer), 0);
    EXPECT_EQ(platform::HeapLiveBlocks(), live);
}

}  // namespace
