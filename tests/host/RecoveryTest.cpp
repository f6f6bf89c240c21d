// Crash safety: an earlier version's journal replayed at open, and a
// process killed at random moments while it writes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <random>

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

// What the writing child reports after each call returns.
struct Report {
    std::int32_t op;  // 0 add, 1 rewrite, 2 delete
    std::int32_t number;
    std::int32_t value;
};

[[noreturn]] void WriterChild(const std::string& dir, int reportFd, std::int32_t seq, unsigned seed) {
    char error[512];
    std::uint16_t c = QXHostOpen(dir.c_str(), 0, error, sizeof error);
    if (c == 0) ::_exit(2);
    std::mt19937 rng(seed);
    HostRecordBlock block{};
    Bytes record;
    std::int32_t count = 0;
    for (std::int32_t n = 1;; ++n) {  // how many numbers exist
        block.command = 'L';
        OLIREENREG(c, "C", n, &block);
        if (block.outOfFile) break;
        count = n;
    }
    for (;; ++seq) {
        unsigned dice = rng() % 20;
        std::int32_t n = count > 0 ? static_cast<std::int32_t>(rng() % static_cast<unsigned>(count)) + 1 : 0;
        Report report{0, 0, seq};
        block.command = 'L';
        if (n > 0) OLIREENREG(c, "C", n, &block);
        bool live = n > 0 && block.found;
        if (live && dice == 0) {  // a duplicate must be refused and change nothing
            std::int32_t id;
            std::memcpy(&id, reinterpret_cast<const char*>(static_cast<std::uintptr_t>(block.recordAddress)) + 1, 4);
            record = MakeRecord(id, id);
            block.recordAddress = reinterpret_cast<std::uintptr_t>(record.data());
            block.recordLength = static_cast<std::int16_t>(record.size());
            OECRIREENREG(c, "C", 0, &block);
            if (block.status != QXHOST_STATUS_DUPLICATE || !block.duplicate) ::_exit(3);
            continue;
        }
        if (live && dice < 2) {
            OECRIREENREG(c, "C", -1, &block);
            report = {2, n, seq};
        } else if (live) {
            record = MakeRecord(seq, seq);
            block.recordAddress = reinterpret_cast<std::uintptr_t>(record.data());
            block.recordLength = static_cast<std::int16_t>(record.size());
            OECRIREENREG(c, "C", n, &block);
            report = {1, n, seq};
        } else {  // an empty file or a deleted number: add, so the file stays mostly live
            record = MakeRecord(seq, seq);
            block.recordAddress = reinterpret_cast<std::uintptr_t>(record.data());
            block.recordLength = static_cast<std::int16_t>(record.size());
            OECRIREENREG(c, "C", 0, &block);
            report = {0, static_cast<std::int32_t>(block.recordNumber), seq};
            ++count;
        }
        if (block.status != 0) ::_exit(4);
        if (::write(reportFd, &report, sizeof report) != static_cast<ssize_t>(sizeof report)) ::_exit(5);
    }
}

TEST_F(RecoveryTest, KilledWriterLeavesWholeRecordsAndUniqueKeys) {
    Close(ctx_);
    std::mt19937 rng(12345);
    std::map<std::int32_t, Report> last;  // by record number: the last reported change
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    int rounds = 0;
    long reports = 0;
    for (; rounds < 40 && std::chrono::steady_clock::now() < deadline; ++rounds) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            WriterChild(dir_, fds[1], 1 + rounds * 1000000, static_cast<unsigned>(rounds));
        }
        ::close(fds[1]);
        // Read reports while the child runs; once it has written (it may be slow to start,
        // as under sanitizers), kill it at a random moment.
        Report report;
        auto readOne = [&](int timeoutMs) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return false;
            if (::read(fds[0], &report, sizeof report) != static_cast<ssize_t>(sizeof report)) return false;
            last[report.number] = report;
            ++reports;
            return true;
        };
        readOne(5000);
        auto killAt = std::chrono::steady_clock::now() + std::chrono::microseconds(rng() % 20000);
        while (std::chrono::steady_clock::now() < killAt) readOne(1);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself, code " << WEXITSTATUS(status);
        while (readOne(0)) {
        }
        ::close(fds[0]);

        ASSERT_NE(Open(dir_), 0) << "round " << rounds << ": " << lastError_;
        int unexplained = 0;  // the one change done but not yet reported when the kill came
        std::uint32_t live = 0;
        for (std::int32_t n = 1;; ++n) {
            auto a = Read("C", 'L', n);
            if (a.outOfFile) {
                EXPECT_GE(n, last.empty() ? 1 : last.rbegin()->first + 1) << "a reported record is missing";
                break;
            }
            auto it = last.find(n);
            if (a.found) {
                ++live;
                ASSERT_TRUE(Whole(a.record)) << "round " << rounds << " record " << n;
                if (it != last.end() && (it->second.op == 2 || hosttest::Get<std::int32_t>(a.record, 5) < it->second.value))
                    ++unexplained;
            } else if (it != last.end() && it->second.op != 2) {
                ++unexplained;
            }
        }
        EXPECT_LE(unexplained, 1) << "round " << rounds;
        std::vector<std::uint32_t> byId = Walk("C", "ID");
        EXPECT_EQ(byId.size(), live);
        std::int32_t previous = INT32_MIN;
        for (std::uint32_t n : byId) {
            std::int32_t id = hosttest::Get<std::int32_t>(Read("C", 'L', static_cast<std::int32_t>(n)).record, 1);
            EXPECT_GT(id, previous);
            previous = id;
        }
        // Take the database as it now is for the next round's expectations.
        last.clear();
        Close(ctx_);
        if (HasFatalFailure() || HasFailure()) break;
    }
    EXPECT_GE(rounds, 10);
    EXPECT_GT(reports, 3 * rounds) << "the writer hardly wrote before it was killed";
}

}  // namespace
