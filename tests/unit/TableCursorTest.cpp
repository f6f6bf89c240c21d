#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/MemoryBlock.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "interface/SqlRequest.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

class TableCursorTest : public qxtest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        request_ = static_cast<SqlRequest*>(AllocBlock(sizeof(SqlRequest)));
        request_->hostContext = 7;
        request_->dictionary = new QueryDictionary(7, 0);
    }
    void TearDown() override {
        delete request_->dictionary;
        FreeBlock(request_);
        EngineTest::TearDown();
    }
    // A loaded file table T (A int32, M text memo, B binary memo) with `records` records A = 1..n.
    TableRef* LoadT(int records) {
        testhost::AddTable("T", {{"A", 5, 4}, {"M", 12, 4}, {"B", 22, 4}});
        for (int i = 1; i <= records; ++i) {
            std::vector<std::uint8_t> r(13, 0);
            std::memcpy(r.data() + 1, &i, 4);
            testhost::AddRecord("T", r);
        }
        TableRef* t = request_->dictionary->FindOrAddTable("T", nullptr);
        t->allItems = 1;
        EXPECT_TRUE(request_->dictionary->LoadDescriptions().ok());
        return t;
    }
    static std::int32_t A(const TableRef* t) {
        std::int32_t v;
        std::memcpy(&v, t->record + 1, 4);
        return v;
    }
    SqlRequest* request_ = nullptr;
};

TEST_F(TableCursorTest, FileReadsSkipDeletedRecordsAndReportStatus) {
    TableRef* t = LoadT(5);
    testhost::DeleteRecord("T", 2);
    testhost::DeleteRecord("T", 3);
    testhost::DeleteRecord("T", 5);
    std::vector<int> seen;
    for (std::int32_t n = t->ReadFirst(); n > 0; n = t->ReadNext()) seen.push_back(A(t));
    EXPECT_EQ(seen, (std::vector<int>{1, 4}));
    EXPECT_EQ(t->currentRecord, 0u);
    EXPECT_EQ(testhost::HostContexts().back(), 7u);

    testhost::GetFaults().readStatus = 4;
    testhost::GetFaults().readStatusAtRecord = 4;
    EXPECT_EQ(t->ReadFrom(1), 1);
    EXPECT_EQ(t->ReadFrom(2), -4);  // skips 2 and 3, then the host fails on 4
    EXPECT_EQ(t->lastStatus, 4);
}

TEST_F(TableCursorTest, OversizedHostRecordIsCutToTheBuffer) {
    testhost::AddTable("W", {{"A", 5, 4}}, 40);  // the host delivers 40 bytes
    testhost::AddRecord("W", std::vector<std::uint8_t>(40, 0xEE));
    TableRef* w = request_->dictionary->FindOrAddTable("W", nullptr);
    ASSERT_TRUE(request_->dictionary->LoadDescriptions().ok());
    w->SetRecordSize(5, 1);  // engine buffer smaller than what the host sends
    std::size_t live = platform::HeapLiveBlocks();
    EXPECT_EQ(w->ReadFirst(), 1);
    EXPECT_EQ(w->record[4], 0xEE);
    EXPECT_EQ(platform::HeapLiveBlocks(), live);
}

TEST_F(TableCursorTest, WriteCodesAndMessages) {
    TableRef* t = LoadT(1);
    struct Case {
        std::int16_t status;
        bool duplicate;
        std::int16_t code;
        const char* text;
    } cases[] = {
        {0, false, TableRef::kWriteOk, ""},
        {6, false, TableRef::kWriteReadWrite, "Erreur de lecture/écriture dans le fichier QX 'T' (6)"},
        {0, true, TableRef::kWriteDuplicate,
         "Erreur de doublon lors d'une insertion ou d'une modification sur le fichier T"},
    };
    for (const Case& c : cases) {
        t->errorText.Set("");
        testhost::GetFaults().writeStatus = c.status;
        testhost::GetFaults().writeDuplicate = c.duplicate;
        EXPECT_EQ(t->WriteRecord(0), c.code);
        EXPECT_STREQ(t->errorText.Get(), c.text);
    }
}

TEST_F(TableCursorTest, MemosGoToTheirPositionAmongTheFileMemos) {
    TableRef* t = LoadT(0);
    ItemDescriptor* m = t->FindItem("M");
    ItemDescriptor* b = t->FindItem("B");
    ASSERT_TRUE(m && b);
    // M gets literal text, B the caller's memo parameter 1.
    const char* text = "hello memo";
    m->memoText = static_cast<char*>(AllocBlock(32));
    std::strcpy(m->memoText, text);
    m->written = 1;
    std::uint32_t one = 1;
    std::memcpy(t->record + b->offset, &one, 4);
    b->written = 1;
    std::vector<unsigned char> value(74 + 2 + 3, 0);
    value[58] = 2;  // two bytes of variable header
    std::uint32_t dataLength = 3;
    std::memcpy(value.data() + 54, &dataLength, 4);
    std::memcpy(value.data() + 76, "\x01\xAB\xFF", 3);
    std::vector<unsigned char> table(2 + 8, 0);
    std::uint64_t address = reinterpret_cast<std::uintptr_t>(value.data());
    std::memcpy(table.data() + 2, &address, 8);
    request_->dictionary->memoValues = reinterpret_cast<std::uintptr_t>(table.data());

    ASSERT_EQ(t->WriteRecord(0), TableRef::kWriteOk);
    const auto& writes = testhost::MemoWrites();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].memoNumber, 1);
    EXPECT_EQ(std::string(writes[0].data.begin(), writes[0].data.end()), text);
    EXPECT_EQ(writes[1].memoNumber, 2);
    EXPECT_EQ(writes[1].length, 79u);  // whole block: 74 + 2 + 3
    EXPECT_EQ(value[3], 76);           // the data offset is written back into the block

    testhost::MemoWrites().clear();
    testhost::GetFaults().writeDuplicate = true;
    EXPECT_EQ(t->WriteRecord(0), TableRef::kWriteDuplicate);
    EXPECT_TRUE(testhost::MemoWrites().empty());  // a refused record writes no memos
}

TEST_F(TableCursorTest, MemoryTableGrowthAndDistinctRows) {
    TableRef* m = request_->dictionary->FindOrAddTable(nullptr, nullptr);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(m->IsMemoryTable());
    m->SetRecordSize(3, 1);
    EXPECT_EQ(m->ReadFirst(), 0);
    for (int i = 0; i < 400000; ++i) {
        m->record[1] = static_cast<unsigned char>(i % 7);
        m->record[2] = static_cast<unsigned char>(i % 5);
        if (i == 0) {
            ASSERT_EQ(m->WriteRecord(0), TableRef::kWriteOk);
            EXPECT_EQ(m->rowCapacity, 333333);  // 1000000 / 3
            continue;
        }
        if (m->ContainsCurrentRow() == 0) {
            ASSERT_EQ(m->WriteRecord(0), TableRef::kWriteOk);
        }
    }
    EXPECT_EQ(m->rowCount, 35);  // distinct (i % 7, i % 5) pairs
    EXPECT_EQ(m->ReadFrom(35), 35);
    EXPECT_EQ(m->ReadFrom(36), 0);
    EXPECT_EQ(m->currentRecord, 35u);  // a read past the end changes nothing
    EXPECT_EQ(m->RowAddress(0), nullptr);

    platform::HeapFailAt(1);
    for (int i = 0; i < 400000 && m->rowCount != 0; ++i) m->WriteRecord(0);
    platform::HeapFailAt(0);
    EXPECT_EQ(m->rowCount, 0);  // out of memory drops every row
    EXPECT_STREQ(m->errorText.Get(), "Mémoire insuffisante");
}

}  // namespace
