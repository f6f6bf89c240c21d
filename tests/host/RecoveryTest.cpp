// An earlier version's one-entry journal: replayed at open when whole,
// ignored when torn; the file is then written in the current format.
// (Kills at random moments: tests/crash.)
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

// A database of an earlier release: version 1 record slots (no checksum) and a one-entry
// journal beside them, which open replays before the file is rewritten in the current format.
class RecoveryTest : public hosttest::HostFixture {
protected:
    // C.qxd in version 1 holding records with V = `values`, and `tail` bytes of a partial record.
    void WriteVersion1(const std::vector<int>& values, std::size_t tail) {
        std::filesystem::create_directories(dir_);
        hosttest::WriteText(dir_ + "/analysis.qxa", kAnalysis);
        Bytes file(RecordFile::kHeaderSize, 0);
        std::memcpy(file.data(), "QXREC01\n", 8);
        hosttest::Put<std::uint32_t>(file, 8, 1);
        hosttest::Put<std::uint32_t>(file, 12, kRecord);
        hosttest::Put<std::uint32_t>(file, 16, RecordFile::kHeaderSize);
        for (int v : values) {
            Bytes r = MakeRecord(v, v);
            r[0] = RecordFile::kLive;
            file.insert(file.end(), r.begin(), r.end());
        }
        file.insert(file.end(), tail, 1);
        hosttest::WriteText(dir_ + "/C.qxd", std::string(file.begin(), file.end()));
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

TEST_F(RecoveryTest, AnEarlierJournalIsReplayedWhenWholeAndTheFileUpgraded) {
    struct Case {
        const char* what;
        std::size_t entryRecord, tail;  // the record the journal entry writes (V = 7); bytes of a partial one
        bool torn;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"whole entry over record 2", 2, 0, false, {1, 7}},
        {"torn entry", 1, 0, true, {1, 2}},
        {"entry adding record 3 over a partial one", 3, 50, false, {1, 2, 7}},
        {"partial record, no entry", 0, 50, false, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteVersion1({1, 2}, c.tail);
        if (c.entryRecord != 0)
            WriteJournal(RecordFile::kHeaderSize + (c.entryRecord - 1) * kRecord, MakeRecord(7, 7), c.torn);
        ASSERT_NE(Open(dir_), 0) << lastError_;
        std::vector<int> values;
        for (std::int32_t n = 1; Read("C", 'L', n).found; ++n) {
            EXPECT_TRUE(Whole(Read("C", 'L', n).record));
            values.push_back(hosttest::Get<std::int32_t>(Read("C", 'L', n).record, 5));
        }
        EXPECT_EQ(values, c.expected);
        EXPECT_EQ(std::filesystem::file_size(dir_ + "/C.qxd"),
                  RecordFile::kHeaderSize + c.expected.size() * (kRecord + RecordFile::kChecksumBytes));
        EXPECT_FALSE(std::filesystem::exists(dir_ + "/C.qxj"));
        Close(ctx_);
    }
}

}  // namespace
