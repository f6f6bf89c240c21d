// The dictionary view: owned texts, item lookups, and loading descriptions
// from the host when items reach beyond the record.
#include "catalog/QueryDictionary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "catalog/ItemDescriptor.h"
#include "catalog/NameSlotSet.h"
#include "base/OwnedString.h"
#include "catalog/TableRef.h"
#include "base/MemoryBlock.h"
#include "catalog/HostLink.h"
#include "interface/SqlRequest.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

// ---- OwnedString -----------------------------------------------------------

TEST(OwnedStringTest, SetTrimsOnlyWithBitOne) {
    struct Case {
        std::uint16_t flags;
        const char* value;
        const char* expected;
    } cases[] = {
        {0, "ab  ", "ab  "},
        {OwnedString::kTrimOnSet, "ab  ", "ab"},
        {OwnedString::kTrimOnSet, "    ", ""},
        {OwnedString::kTrimOnSet, " a b ", " a b"},
        {OwnedString::kTrimOnSet, "", ""},
    };
    for (const Case& c : cases) {
        OwnedString s(c.flags);
        ASSERT_EQ(s.Set(c.value), 1);
        EXPECT_STREQ(s.Get(), c.expected) << c.value;
    }
}

TEST(OwnedStringTest, NullTextAndAppend) {
    std::size_t live = platform::HeapLiveBlocks();
    {
        OwnedString plain;
        EXPECT_EQ(plain.Get(), nullptr);
        OwnedString s(OwnedString::kNullReadsEmpty);
        EXPECT_STREQ(s.Get(), "");
        EXPECT_EQ(s.Set(nullptr), 1);
        EXPECT_EQ(s.text, nullptr);
        EXPECT_EQ(s.Append("", 0), 1);  // an absent text is created even by an empty append
        ASSERT_NE(s.text, nullptr);
        EXPECT_STREQ(s.Get(), "");
        s.Append("ab", 1);
        s.Append(nullptr, 0);
        EXPECT_STREQ(s.Get(), "ab\r\n");
        s.Append(s.text, 0);  // appending its own text
        EXPECT_STREQ(s.Get(), "ab\r\nab\r\n");
        s.Set(s.text + 4);  // setting from inside its own text
        EXPECT_STREQ(s.Get(), "ab\r\n");
        std::string big(69999, 'x');  // beyond one small block
        EXPECT_EQ(s.Set(big.c_str()), 1);
        EXPECT_EQ(s.Length(), big.size());
    }
    EXPECT_EQ(platform::HeapLiveBlocks(), live);
}

// ---- Lookups without the host ---------------------------------------------

TEST(ItemDescriptorTest, MatchesOwnerAndQualifiedNames) {
    TableRef owner(nullptr, "X", nullptr), other(nullptr, "Y", nullptr);
    ItemDescriptor item("A", 1, 2, 0, 1, 0, &owner, "X");
    EXPECT_EQ(item.dimension, 1);
    const std::string longQualifier = std::string(300, 'X') + ".A";
    struct Case {
        const char* name;
        const TableRef* owner;
        std::int32_t qualified;
        bool expected;
    } cases[] = {
        {"A", nullptr, 0, true},    {"A", &owner, 0, true},     {"A", &other, 0, false},  {"a", nullptr, 0, false},
        {"X.A", nullptr, 0, false}, {"X.A", nullptr, 1, true},  {"Y.A", nullptr, 1, false}, {".A", nullptr, 1, false},
        {"X.", nullptr, 1, false},  {"XX.A", nullptr, 1, false}, {"X.AB", nullptr, 1, false},
        {longQualifier.c_str(), nullptr, 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(item.Matches(ItemKey{c.name, c.owner, c.qualified}), c.expected) << c.name << " " << c.qualified;
    }
    ItemDescriptor longTable("B", 1, 2, 0, 1, 2, nullptr, std::string(300, 'T').c_str());
    EXPECT_EQ(std::strlen(longTable.tableName), 256u);
    EXPECT_EQ(longTable.dimension, 2);
}

// ---- Loading from the test host -------------------------------------------

constexpr std::uint16_t kContext = 77;

class QueryDictionaryTest : public qxtest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        live_ = platform::HeapLiveBlocks();
        request_ = static_cast<SqlRequest*>(AllocBlock(sizeof(SqlRequest)));
        ASSERT_NE(request_, nullptr);
        request_->hostContext = kContext;
        std::memcpy(request_->sqlState, "-----", 6);
        dict_ = std::make_unique<QueryDictionary>(kContext, 0);
    }
    void TearDown() override {
        dict_.reset();
        FreeBlock(request_);
        EXPECT_EQ(platform::HeapLiveBlocks(), live_);
        EngineTest::TearDown();
    }

    std::string Error() const { return request_->errorText; }
    // Loads the descriptions, recording a failure on the request as the pipeline does: 1 or 0.
    int Load() {
        Status status = dict_->LoadDescriptions();
        RecordError(request_, status);
        return status.ok() ? 1 : 0;
    }

    std::size_t live_ = 0;
    SqlRequest* request_ = nullptr;
    std::unique_ptr<QueryDictionary> dict_;
};

TEST_F(QueryDictionaryTest, ItemsBeyondTheRecordStopTheTable) {
    struct Case {
        std::vector<testhost::Item> items;
        std::uint16_t recordSize;  // 0: the host answers fileInfo 0
        std::size_t described;     // items described before the stop
        const char* culprit;
    } cases[] = {
        {{{"A", 1, 2}, {"B", 1, 4}}, 5, 1, "B"},                  // record one byte short
        {{{"A", 1, 2}, {"HUGE", 1, 65535, 32767}}, 65535, 1, "HUGE"},  // bytes beyond 16 bits
        {{{"A", 1, 2}}, 0, 0, "A"},                                // no record size at all
    };
    for (const Case& c : cases) {
        std::memset(request_->errorText, 0, sizeof request_->errorText);
        dict_ = std::make_unique<QueryDictionary>(kContext, 0);
        testhost::AddTable("T", c.items).recordSize = c.recordSize;
        ASSERT_NE(dict_->FindOrAddTable("T", nullptr), nullptr);
        for (const testhost::Item& item : c.items) dict_->NoteItemName(item.name.c_str());
        EXPECT_EQ(Load(), 0);
        EXPECT_EQ(Error().rfind("Erreur interne : ", 0), 0u) << Error();
        EXPECT_NE(Error().find(c.culprit), std::string::npos) << Error();
        EXPECT_EQ(dict_->items.size(), c.described);
        for (const ItemDescriptor* item : dict_->items) {
            EXPECT_LE(item->offset + item->size * item->dimension, c.recordSize);
        }
    }
}

}  // namespace
