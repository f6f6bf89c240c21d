// Loading table and item descriptions from the host: memory running out,
// and answers that a careless or hostile host may give.
#include "analysis/QueryDictionary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "analysis/ItemDescriptor.h"
#include "analysis/TableRef.h"
#include "base/MemoryBlock.h"
#include "interface/HostLink.h"
#include "interface/SqlRequest.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

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
        dict_ = new QueryDictionary(request_);
        ASSERT_NE(dict_, nullptr);
    }
    void TearDown() override {
        delete dict_;
        FreeBlock(request_);
        EXPECT_EQ(platform::HeapLiveBlocks(), live_);
        EngineTest::TearDown();
    }

    TableRef* Table(const char* name, TableRef* aliasOf = nullptr) {
        TableRef* t = dict_->FindOrAddTable(name, aliasOf);
        EXPECT_NE(t, nullptr);
        return t;
    }
    void Note(std::initializer_list<const char*> names) {
        for (const char* n : names) dict_->NoteItemName(n);
    }
    std::string Error() const { return request_->errorText; }
    std::vector<std::string> InfoCalls() const {
        std::vector<std::string> calls;
        for (const std::string& line : testhost::Log())
            if (line.rfind("OGETINFOSOBD", 0) == 0) calls.push_back(line);
        return calls;
    }

    std::size_t live_ = 0;
    SqlRequest* request_ = nullptr;
    QueryDictionary* dict_ = nullptr;
};

TEST_F(QueryDictionaryTest, OutOfMemoryAnywhereNeitherCrashesNorLeaks) {
    testhost::AddTable("T", {{"A", 1, 2}, {"B", 12, 4}, {"C", 1, 2}});
    qxtest::MessageCapture capture;
    bool completed = false;
    for (std::uint64_t n = 1; n < 80 && !completed; ++n) {
        delete dict_;
        std::memset(request_->errorText, 0, sizeof request_->errorText);
        dict_ = new QueryDictionary(request_);
        ASSERT_NE(dict_, nullptr);
        platform::HeapFailAt(n);
        TableRef* t = dict_->FindOrAddTable("T", nullptr);
        if (t != nullptr) dict_->FindOrAddTable("X", t);
        Note({"A", "T.C"});
        std::int16_t loaded = dict_->LoadDescriptions();
        bool failed = platform::HeapInjectedFailureHappened();
        platform::HeapFailAt(0);
        if (!failed) {
            EXPECT_EQ(loaded, 1) << Error();
            completed = true;
        }
    }
    EXPECT_TRUE(completed);
}

TEST_F(QueryDictionaryTest, EmptyItemNameEndsTheTable) {
    testhost::AddTable("T", {{"A", 1, 2}, {"", 1, 2}, {"C", 1, 2}});
    Table("T");
    Note({"A", "C"});
    ASSERT_EQ(dict_->LoadDescriptions(), 1) << Error();
    EXPECT_EQ(dict_->items.Count(), 1);
    EXPECT_EQ(dict_->otherItems.Count(), 0);
    EXPECT_EQ(InfoCalls().size(), 3u);  // table, item 0, item 1
}

// Hostile dictionary answers: the test host's answer is altered by a filter
// put in front of it for the duration of one test.
using Filter = void (*)(std::int32_t operation, DictionaryExchange* info);
Filter g_filter = nullptr;
OGETINFOSOBD_t g_realGetInfo = nullptr;

std::int32_t FilteredGetInfo(std::uint32_t context, std::int32_t operation, void* area) {
    std::int32_t result = g_realGetInfo(context, operation, area);
    g_filter(operation, static_cast<DictionaryExchange*>(area));
    return result;
}

class HostileDictionaryTest : public QueryDictionaryTest {
protected:
    void Install(Filter filter) {
        auto& host = const_cast<HostCallbacks&>(Host());
        g_realGetInfo = host.getInfo;
        g_filter = filter;
        host.getInfo = &FilteredGetInfo;
    }
    void TearDown() override {
        if (g_realGetInfo != nullptr) const_cast<HostCallbacks&>(Host()).getInfo = g_realGetInfo;
        g_realGetInfo = nullptr;
        QueryDictionaryTest::TearDown();
    }
};

TEST_F(HostileDictionaryTest, UnterminatedItemNameIsReadWithinItsField) {
    testhost::AddTable("T", {{"A", 1, 2}});
    Install([](std::int32_t operation, DictionaryExchange* info) {
        if (operation == 1) std::memset(info->itemName, 'Q', sizeof info->itemName);
    });
    Table("T");
    const std::string name(sizeof(DictionaryExchange::itemName), 'Q');
    dict_->NoteItemName(name.c_str());
    ASSERT_EQ(dict_->LoadDescriptions(), 1) << Error();
    ASSERT_EQ(dict_->items.Count(), 1);
    EXPECT_STREQ(static_cast<ItemDescriptor*>(dict_->items.GetAt(0))->name.Get(), name.c_str());
}

TEST_F(HostileDictionaryTest, ItemsBeyondTheRecordStopTheTable) {
    struct Case {
        std::vector<testhost::Item> items;
        std::uint16_t recordSize;  // 0: the host answers fileInfo 0
        int described;             // items described before the stop
        const char* culprit;
    } cases[] = {
        {{{"A", 1, 2}, {"B", 1, 4}}, 5, 1, "B"},                  // record one byte short
        {{{"A", 1, 2}, {"HUGE", 1, 65535, 32767}}, 65535, 1, "HUGE"},  // bytes beyond 16 bits
        {{{"A", 1, 2}}, 0, 0, "A"},                                // no record size at all
    };
    for (const Case& c : cases) {
        delete dict_;
        std::memset(request_->errorText, 0, sizeof request_->errorText);
        dict_ = new QueryDictionary(request_);
        testhost::AddTable("T", c.items).recordSize = c.recordSize;
        Table("T");
        for (const testhost::Item& item : c.items) dict_->NoteItemName(item.name.c_str());
        EXPECT_EQ(dict_->LoadDescriptions(), 0);
        EXPECT_EQ(Error().rfind("Erreur interne : ", 0), 0u) << Error();
        EXPECT_NE(Error().find(c.culprit), std::string::npos) << Error();
        EXPECT_EQ(dict_->items.Count(), c.described);
        for (int i = 0; i < dict_->items.Count(); ++i) {
            auto* item = static_cast<ItemDescriptor*>(dict_->items.GetAt(i));
            EXPECT_LE(item->offset + item->size * item->dimension, c.recordSize);
        }
    }
}

TEST_F(HostileDictionaryTest, NegativeArrayCountCountsAsOne) {
    testhost::AddTable("T", {{"A", 1, 2, -7}, {"B", 1, 2}});
    Table("T");
    Note({"A", "B"});
    ASSERT_EQ(dict_->LoadDescriptions(), 1) << Error();
    EXPECT_EQ(Table("T")->FindItem("A")->dimension, 1);
    EXPECT_EQ(Table("T")->FindItem("B")->offset, 3);
}

}  // namespace
