// Transactions of the QX file engine driven through OTRANSACTION and the
// callbacks: a transaction over two files with memos ends by COMMIT, by
// ROLLBACK, by closing without COMMIT, or by the process being killed; the
// records, the keys, the memos and the memo files' sizes must follow.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "tests/host/HostTestSupport.h"

namespace {

using hosttest::Bytes;

const char* kAnalysis =
    "ANALYSIS 1\nFILE N\nITEM ID 5 UNIQUE\nITEM NOTE 12\nFILE M\nITEM ID 5 UNIQUE\nITEM NOTE 12\n";

enum class Ending { kCommit, kRollback, kClose, kKilled };

class TransactionTest : public hosttest::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_NE(OpenWith(kAnalysis), 0) << lastError_;
        QXHostSetOption(ctx_, QXHOST_OPTION_SYNC, 0);
        Put("N", 0, 1, "base");
        Put("N", 0, 2, "two");
    }
    static Bytes Rec(std::int32_t id) {
        Bytes r(9, 0);
        hosttest::Put<std::int32_t>(r, 1, id);
        return r;
    }
    // Adds (n = 0) or rewrites record n of `file` with `id` and its memo `note`.
    void Put(const char* file, std::int32_t n, std::int32_t id, const std::string& note) {
        ASSERT_EQ(Write(file, n, Rec(id)), 0);
        ASSERT_EQ(WriteMemo(1, note.data(), static_cast<std::uint32_t>(note.size())), 0);
    }
    // "id:note" of every live record of `file` in key order.
    std::string Contents(const char* file) {
        std::string out;
        for (std::uint32_t n : Walk(file, "ID")) {
            Bytes r = Read(file, 'L', static_cast<std::int32_t>(n)).record;
            std::uintptr_t text = 0;
            std::uint32_t reference = hosttest::Get<std::uint32_t>(r, 5);
            std::string note = reference && OGETMEMO(ctx_, file, reference, 12, &text) == 0
                                   ? std::string(reinterpret_cast<const char*>(text),
                                                 *reinterpret_cast<const std::uint16_t*>(text - 2))
                                   : "-";
            out += std::to_string(hosttest::Get<std::int32_t>(r, 1)) + ":" + note + " ";
        }
        return out;
    }
    std::uintmax_t MemoSize(const char* file) { return std::filesystem::file_size(dir_ + "/" + file + ".qxm"); }
};

TEST_F(TransactionTest, ATransactionOverTwoFilesWithMemosEndsWhole) {
    for (Ending ending : {Ending::kRollback, Ending::kClose, Ending::kKilled, Ending::kCommit}) {
        SCOPED_TRACE(static_cast<int>(ending));
        std::uintmax_t memosN = MemoSize("N"), memosM = MemoSize("M");
        std::string before = Contents("N") + "| " + Contents("M");
        auto change = [&] {
            ASSERT_EQ(OTRANSACTION(ctx_, OBHOST_TX_BEGIN), 0);
            Put("N", 1, 1, "changed");
            Put("N", 0, 20, "new");
            Put("M", 0, 30, "other file");
            ASSERT_TRUE(Read("N", 'L', 2).found);
            ASSERT_EQ(Write("N", -1, {}), 0);  // and a delete
            // Reads inside the transaction see its changes.
            EXPECT_NE(Contents("N").find("1:changed"), std::string::npos);
        };
        if (ending == Ending::kKilled) {
            Close(ctx_);
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                if (Open(path_) == 0) ::_exit(2);
                change();
                ::kill(::getpid(), SIGKILL);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status));
            ASSERT_NE(Open(path_), 0) << lastError_;
        } else {
            change();
            if (ending != Ending::kClose) {
                ASSERT_EQ(OTRANSACTION(ctx_, ending == Ending::kCommit ? OBHOST_TX_COMMIT : OBHOST_TX_ROLLBACK), 0);
            }
            Reopen();
        }
        std::string after = Contents("N") + "| " + Contents("M");
        if (ending == Ending::kCommit) {
            EXPECT_EQ(after, "1:changed 20:new | 30:other file ");
            continue;
        }
        EXPECT_EQ(before, "1:base 2:two | ");
        EXPECT_EQ(after, before);
        EXPECT_EQ(MemoSize("N"), memosN);
        EXPECT_EQ(MemoSize("M"), memosM);
    }
}

TEST_F(TransactionTest, BoundariesOutOfOrderAreRefused) {
    EXPECT_EQ(OTRANSACTION(ctx_, OBHOST_TX_COMMIT), QXHOST_STATUS_NO_TRANSACTION);
    EXPECT_EQ(OTRANSACTION(ctx_, OBHOST_TX_ROLLBACK), QXHOST_STATUS_NO_TRANSACTION);
    EXPECT_EQ(OTRANSACTION(ctx_, OBHOST_TX_BEGIN), 0);
    EXPECT_EQ(OTRANSACTION(ctx_, OBHOST_TX_BEGIN), QXHOST_STATUS_NESTED);
    EXPECT_EQ(OTRANSACTION(ctx_, 99), QXHOST_STATUS_REQUEST);
    EXPECT_EQ(OTRANSACTION(0, OBHOST_TX_BEGIN), QXHOST_STATUS_UNKNOWN);
    // A failed write call inside the transaction is undone alone.
    ASSERT_EQ(Write("N", 0, Rec(5)), 0);
    EXPECT_EQ(Write("N", 0, Rec(5)), QXHOST_STATUS_DUPLICATE);
    EXPECT_EQ(OTRANSACTION(ctx_, OBHOST_TX_COMMIT), 0);
    EXPECT_EQ(Walk("N", "ID").size(), 3u);
}

// Connections of their own (processes or threads) move units between records 1 and 2 and
// count each move in record 3, while others read: the sum must hold in every read, and the
// count must equal the moves made.
constexpr int kWriters = 3, kReaders = 3, kMoves = 150, kTotal = 1000;

// Runs `body` between the boundaries that begin with `begin`, again while the database is busy.
bool Locked(std::uint16_t c, std::int32_t begin, const std::function<bool(HostRecordBlock&)>& body) {
    HostRecordBlock block{};
    for (int tries = 0; tries < 1000; ++tries) {
        std::int32_t status = OTRANSACTION(c, begin);
        if (status == QXHOST_STATUS_BUSY) continue;
        if (status != 0) return false;
        bool ok = body(block);
        return OTRANSACTION(c, ok ? OBHOST_TX_END_STATEMENT : OBHOST_TX_UNDO_STATEMENT) == 0 && ok;
    }
    return false;
}

std::int32_t ValueOf(std::uint16_t c, HostRecordBlock& block, std::int32_t n) {
    block.command = 'L';
    OLIREENREG(c, "N", n, &block);
    std::int32_t v = 0;
    if (block.found) std::memcpy(&v, reinterpret_cast<const char*>(static_cast<std::uintptr_t>(block.recordAddress)) + 1, 4);
    return v;
}

bool SetValue(std::uint16_t c, HostRecordBlock& block, std::int32_t n, std::int32_t v) {
    Bytes r(5, 0);
    hosttest::Put<std::int32_t>(r, 1, v);
    block.recordAddress = reinterpret_cast<std::uintptr_t>(r.data());
    block.recordLength = 5;
    OECRIREENREG(c, "N", n, &block);
    return block.status == 0;
}

// One connection's work: 0 when every move was made, or every read found the sum whole.
int Connection(const std::string& dir, bool writer) {
    char error[256];
    std::uint16_t c = QXHostOpen(dir.c_str(), 0, error, sizeof error);
    if (c == 0) return 2;
    QXHostSetOption(c, QXHOST_OPTION_SYNC, 0);
    QXHostSetOption(c, QXHOST_OPTION_BUSY_TIMEOUT, 20);
    int failures = 0;
    std::int32_t lastCount = 0;
    for (int i = 0; i < kMoves; ++i) {
        bool ok = writer ? Locked(c, OBHOST_TX_BEGIN_WRITING_STATEMENT, [&](HostRecordBlock& b) {
            return SetValue(c, b, 1, ValueOf(c, b, 1) - 1) && SetValue(c, b, 2, ValueOf(c, b, 2) + 1) &&
                   SetValue(c, b, 3, ValueOf(c, b, 3) + 1);
        })
                         : Locked(c, OBHOST_TX_BEGIN_STATEMENT, [&](HostRecordBlock& b) {
                               std::int32_t count = ValueOf(c, b, 3);
                               bool whole = ValueOf(c, b, 1) + ValueOf(c, b, 2) == kTotal && count >= lastCount;
                               lastCount = count;
                               return whole;
                           });
        if (!ok) ++failures;
    }
    QXHostClose(c);
    return failures == 0 ? 0 : 1;
}

TEST(ConnectionsTest, ReadersAndWritersInProcessesAndThreadsAddUp) {
    std::string dir = hosttest::MakeScratch();
    hosttest::WriteText(dir + "/analysis.qxa", "ANALYSIS 1\nFILE N\nITEM V 5\n");
    char error[256];
    std::uint16_t c = QXHostOpen(dir.c_str(), 0, error, sizeof error);
    ASSERT_NE(c, 0) << error;
    HostRecordBlock block{};
    for (std::int32_t v : {kTotal, 0, 0}) ASSERT_TRUE(SetValue(c, block, 0, v));
    ASSERT_EQ(QXHostClose(c), 0);
    for (bool threads : {false, true}) {
        SCOPED_TRACE(threads ? "threads" : "processes");
        std::vector<int> results(kWriters + kReaders, -1);
        std::vector<pid_t> children;
        std::vector<std::thread> workers;
        for (int i = 0; i < kWriters + kReaders; ++i) {
            bool writer = i < kWriters;
            if (threads) {
                workers.emplace_back([&, i, writer] { results[i] = Connection(dir, writer); });
                continue;
            }
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) ::_exit(Connection(dir, writer));
            children.push_back(child);
        }
        for (std::thread& t : workers) t.join();
        for (std::size_t i = 0; i < children.size(); ++i) {
            int status = 0;
            ASSERT_EQ(::waitpid(children[i], &status, 0), children[i]);
            results[i] = WIFEXITED(status) ? WEXITSTATUS(status) : 100;
        }
        EXPECT_EQ(results, std::vector<int>(kWriters + kReaders, 0));
    }
    c = QXHostOpen(dir.c_str(), 0, error, sizeof error);
    ASSERT_NE(c, 0) << error;
    EXPECT_EQ(ValueOf(c, block, 3), 2 * kWriters * kMoves);
    EXPECT_EQ(ValueOf(c, block, 1), kTotal - 2 * kWriters * kMoves);
    QXHostClose(c);
    std::filesystem::remove_all(dir);
}

}  // namespace
