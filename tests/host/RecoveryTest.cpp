// An earlier version's one-entry journal: replayed at open when whole,
// ignored when torn.  (Kills at random moments: tests/crash.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/Crc32.h"
#include "host/RecordFile.h"
#include "tests/host/HostTestSupport.h"

namespace {

using hosttest::Bytes;
using qxhost::RecordFile;

// A record larger than a page, so that a torn write would show: ID (unique) and V at both
// ends, and every PAD byte equal to the low byte of V.
const char* kAnalysis = "ANALYSIS 1\nFILE C\nITEM ID 5 UNIQUE\nITEM V 5\nITEM PAD 0 6000\nITEM V2 5\n";
constexpr std::size_t kRecord = 1 + 4 + 4 + 6000 + 4;

Bytes MakeRecord(std::int32_t id, std::int32_t v) {
    Bytes r(kRecord, 0);
    hosttest::Put<std::int32_t>(r, 1, id);
    hosttest::Put<std::int32_t>(r, 5, v);
    std::memset(r.data() + 9, v & 0xFF, 6000);
    hosttest::Put<std::int32_t>(r, 6009, v);
    return r;
}

bool Whole(const Bytes& r) {
    std::int32_t v = hosttest::Get<std::int32_t>(r, 5);
    if (hosttest::Get<std::int32_t>(r, 6009) != v || hosttest::Get<std::int32_t>(r, 1) != v) return false;
    for (std::size_t i = 9; i < 6009; ++i)
        if (r[i] != static_cast<std::uint8_t>(v & 0xFF)) return false;
    return true;
}

class RecoveryTest : public hosttest::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_NE(OpenWith(kAnalysis), 0) << lastError_;
    }
    // Writes a journal entry for `length` bytes at `offset` of C.qxd; `tear` spoils its CRC.
    void WriteJournal(std::uint64_t offset, const Bytes& data, bool tear) {
        Bytes entry(RecordFile::kJournalHeader, 0);
        std::uint32_t magic = RecordFile::kJournalMagic, length = static_cast<std::uint32_t>(data.size());
        std::memcpy(entry.data(), &magic, 4);
        std::memcpy(entry.data() + 4, &length, 4);
        std::memcpy(entry.data() + 8, &offset, 8);
        Bytes image = data;
        image[0] = RecordFile::kLive;  // slot state of a live record
        std::uint32_t crc = qxhost::Crc32(entry.data(), 16);
        crc = qxhost::Crc32(image.data(), image.size(), crc) ^ (tear ? 1u : 0u);
        std::memcpy(entry.data() + 16, &crc, 4);
        entry.insert(entry.end(), image.begin(), image.end());
        hosttest::WriteText(dir_ + "/C.qxj", std::string(entry.begin(), entry.end()));
    }
};

TEST_F(RecoveryTest, OpenReplaysAWholeJournalEntryAndIgnoresATornOne) {
    ASSERT_EQ(Write("C", 0, MakeRecord(1, 1)), 0);
    ASSERT_EQ(Write("C", 0, MakeRecord(2, 2)), 0);
    Close(ctx_);
    std::uint64_t second = RecordFile::kHeaderSize + kRecord;
    // A whole entry whose write to the record file did not happen (or only in part).
    WriteJournal(second, MakeRecord(7, 7), false);
    {
        std::ofstream out(dir_ + "/C.qxd", std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(second + 100));
        out << "torn";
    }
    ASSERT_NE(Open(dir_), 0) << lastError_;
    ASSERT_TRUE(Read("C", 'L', 2).found);
    EXPECT_EQ(hosttest::Get<std::int32_t>(Read("C", 'L', 2).record, 5), 7);
    EXPECT_TRUE(Whole(Read("C", 'L', 2).record));
    EXPECT_EQ(Walk("C", "ID"), (std::vector<std::uint32_t>{1, 2}));
    Close(ctx_);
    // A torn entry is not replayed: the record file was not touched after it.
    WriteJournal(RecordFile::kHeaderSize, MakeRecord(9, 9), true);
    ASSERT_NE(Open(dir_), 0) << lastError_;
    EXPECT_EQ(hosttest::Get<std::int32_t>(Read("C", 'L', 1).record, 5), 1);
    Close(ctx_);
    // An entry that adds the next record completes it; a partial record at the end goes.
    WriteJournal(RecordFile::kHeaderSize + 2 * kRecord, MakeRecord(3, 3), false);
    {
        std::ofstream out(dir_ + "/C.qxd", std::ios::binary | std::ios::app);
        out << std::string(50, '\x01');
    }
    ASSERT_NE(Open(dir_), 0) << lastError_;
    EXPECT_TRUE(Whole(Read("C", 'L', 3).record));
    EXPECT_TRUE(Read("C", 'L', 4).outOfFile);
    Close(ctx_);
    hosttest::WriteText(dir_ + "/C.qxj", "");
    {
        std::ofstream out(dir_ + "/C.qxd", std::ios::binary | std::ios::app);
        out << std::string(50, '\x01');
    }
    ASSERT_NE(Open(dir_), 0) << lastError_;
    EXPECT_TRUE(Read("C", 'L', 4).outOfFile);
    EXPECT_EQ(std::filesystem::file_size(dir_ + "/C.qxd"), RecordFile::kHeaderSize + 3 * kRecord);
}

}  // namespace
