// Transactions of the QX file engine driven through OTRANSACTION and the
// callbacks: a transaction over two files with memos ends by COMMIT, by
// ROLLBACK, by closing without COMMIT, or by the process being killed; the
// records, the keys, the memos and the memo files' sizes must follow.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>

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

}  // namespace
