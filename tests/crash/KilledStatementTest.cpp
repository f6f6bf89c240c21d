// Data safety of the QX file engine under the SQL engine, with real faults:
// a writer killed (SIGKILL) at random moments, start-up and recovery
// included; a file-size limit; a full disk.  After each fault the database
// is opened again and read back through the engine: every acknowledged
// commit is there, nothing of a failed, rolled back or unacknowledged
// statement is, and every record is whole (a record spans several pages).
// Killed during ALTER TABLE, a writer leaves the table, old or new, with
// every row.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/crash/EngineHarness.h"

namespace {

using enginetest::Exec;
using enginetest::Rows;
using enginetest::ScratchDatabase;

constexpr int kPad = 5000;  // PAD bytes: the record is larger than a page
constexpr int kRows = 12;
#if defined(__SANITIZE_ADDRESS__)
constexpr int kMinKills = 40;  // each round is slower: the sweep is in the plain build
#else
constexpr int kMinKills = 200;
#endif

std::string Pad(int v) { return std::string(kPad, static_cast<char>('A' + (v < 0 ? -v : v) % 26)); }
std::string SetAll(int v) {
    return "UPDATE A SET V = (" + std::to_string(v) + "), PAD = ('" + Pad(v) + "'), V2 = (" + std::to_string(v) + ")";
}

// What the writer tells the test through shared memory.
struct Progress {
    std::atomic<int> attempted;  // the step running (or last run)
    std::atomic<int> acked;      // the last step whose commit was acknowledged
};

// Step k of the writer, by k % 4: 0 an UPDATE of every row of A; 1 a transaction over A and
// B; 2 an UPDATE that meets a duplicate key after rewriting a row (fails); 3 a transaction
// over A and B that is rolled back.  Steps 0 and 1 commit V = k; 2 and 3 must leave nothing.
bool Step(std::uint16_t c, int k) {
    switch (k % 4) {
        case 0: return Exec(c, SetAll(k)).rc == 0;
        case 1:
            return Exec(c, "BEGIN").rc == 0 && Exec(c, "INSERT INTO B VALUES (" + std::to_string(k) + ")").rc == 0 &&
                   Exec(c, SetAll(k)).rc == 0 && Exec(c, "COMMIT").rc == 0;
        case 2: return Exec(c, SetAll(-k) + ", ID = (1)").rc != 0;
        default:
            return Exec(c, "BEGIN").rc == 0 && Exec(c, SetAll(-k)).rc == 0 &&
                   Exec(c, "INSERT INTO B VALUES (" + std::to_string(-k) + ")").rc == 0 && Exec(c, "ROLLBACK").rc == 0;
    }
}

[[noreturn]] void Writer(const std::string& path, Progress* progress, int from) {
    char error[256];
    std::uint16_t context = QXHostOpen(path.c_str(), 0, error, sizeof error);
    if (context == 0) ::_exit(3);
    // A kill loses nothing the kernel holds: syncing to the disk would only slow the rounds.
    QXHostSetOption(context, QXHOST_OPTION_SYNC, 0);
    for (int k = from;; ++k) {
        progress->attempted = k;
        if (!Step(context, k)) ::_exit(4);
        if (k % 4 < 2) progress->acked = k;
    }
}

TEST_F(ScratchDatabase, KilledWriterKeepsEveryAcknowledgedCommitAndNothingElse) {
    std::uint16_t context = Open(true);
    ASSERT_NE(context, 0) << lastError_;
    for (const char* s : {"CREATE TABLE A (ID INTEGER, V INTEGER, PAD CHAR(5000), V2 INTEGER)",
                          "CREATE UNIQUE INDEX AID ON A (ID)", "CREATE TABLE B (ID INTEGER)"})
        ASSERT_EQ(Exec(context, s).rc, 0) << s;
    for (int id = 1; id <= kRows; ++id)
        ASSERT_EQ(Exec(context, "INSERT INTO A VALUES (" + std::to_string(id) + ", 0, '" + Pad(0) + "', 0)").rc, 0);
    ASSERT_EQ(QXHostClose(context), 0);

    auto* progress = static_cast<Progress*>(
        ::mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(progress, MAP_FAILED);
    std::mt19937 random(12345);
    int committed = 0, kills = 0, acknowledged = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    for (; kills < 220 && std::chrono::steady_clock::now() < deadline; ++kills) {
        progress->attempted = committed;
        progress->acked = committed;
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) Writer(path_, progress, committed + 1);
        // One round in eight is killed within its first millisecond: during open and recovery;
        // three at a random moment of its first step; the others once it has committed one.
        if (kills % 8 != 0) {
            std::atomic<int>& mark = kills % 8 < 4 ? progress->attempted : progress->acked;
            for (int waited = 0; mark == committed && waited < 3000; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (kills % 8 == 0 ? 1000 : 25000)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself, status " << status;
        const int acked = progress->acked, attempted = progress->attempted;
        if (acked > committed) acknowledged += (acked - committed + 1) / 2;

        context = Open();
        ASSERT_NE(context, 0) << "kill " << kills << ": " << lastError_;
        Rows a = Exec(context, "SELECT ID, V, PAD, V2 FROM A");
        ASSERT_EQ(a.rc, 0) << a.error;
        ASSERT_EQ(a.lines.size(), static_cast<std::size_t>(kRows)) << "kill " << kills;
        int v = 0;
        for (std::size_t i = 0; i < a.lines.size(); ++i) {
            int id = 0, value = 0, value2 = 0;
            static char pad[kPad + 1];
            ASSERT_EQ(std::sscanf(a.lines[i].c_str(), "%d|%d|%5000[A-Z]|%d", &id, &value, pad, &value2), 4);
            ASSERT_TRUE(value == value2 && pad == Pad(value)) << "kill " << kills << ": record " << id << " torn";
            if (i == 0) v = value;
            ASSERT_EQ(value, v) << "kill " << kills << ": a statement half applied";
        }
        // V is the last acknowledged commit, or the one in flight when the kill came.
        ASSERT_TRUE(v == acked || (v == attempted && attempted % 4 < 2))
            << "kill " << kills << ": V " << v << ", acknowledged " << acked << ", attempted " << attempted;
        Rows b = Exec(context, "SELECT ID FROM B ORDER BY ID");
        ASSERT_EQ(b.rc, 0) << b.error;
        std::vector<std::string> expected;
        for (int k = 1; k <= v; k += 4) expected.push_back(std::to_string(k));
        ASSERT_EQ(b.lines, expected) << "kill " << kills << ": B out of step with A";
        committed = v;
        ASSERT_EQ(QXHostClose(context), 0);
    }
    ::munmap(progress, sizeof(Progress));
    EXPECT_GE(kills, kMinKills);
    EXPECT_GT(acknowledged, 20) << "the writer hardly committed before it was killed";
    std::printf("%d kills, %d acknowledged commits checked, rows lost: 0\n", kills, acknowledged);
}

// Inserts 3000-byte rows until one fails; returns the IDs acknowledged.
std::set<int> InsertUntilRefused(std::uint16_t context, int first, int count, int* failures) {
    std::set<int> acked;
    for (int id = first; id < first + count; ++id) {
        Rows r = Exec(context, "INSERT INTO T VALUES (" + std::to_string(id) + ", '" + std::string(2990, 'x') + "')");
        if (r.rc == 0) acked.insert(id);
        else ++*failures;
    }
    return acked;
}

std::set<int> Ids(std::uint16_t context) {
    std::set<int> ids;
    for (const std::string& line : Exec(context, "SELECT ID FROM T").lines) ids.insert(std::stoi(line));
    return ids;
}

TEST_F(ScratchDatabase, FailedWritesUnderAFileSizeLimitLeaveNoTrace) {
    std::uint16_t context = Open(true);
    ASSERT_NE(context, 0) << lastError_;
    ASSERT_EQ(Exec(context, "CREATE TABLE T (ID INTEGER, TXT CHAR(2990))").rc, 0);
    ASSERT_EQ(QXHostClose(context), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
        std::uint16_t c = Open();
        if (c == 0) ::_exit(3);
        int failures = 0;
        std::set<int> acked = InsertUntilRefused(c, 1, 40, &failures);
        QXHostClose(c);
        std::string text;
        for (int id : acked) text += std::to_string(id) + " ";
        text += "| " + std::to_string(failures);
        ::_exit(::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 4);
    }
    ::close(fds[1]);
    char buffer[1024] = {};
    ASSERT_GT(::read(fds[0], buffer, sizeof buffer - 1), 0);
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::set<int> acked;
    std::string text = buffer;
    std::size_t bar = text.find('|');
    for (std::size_t at = 0; at < bar;) {
        std::size_t end = text.find(' ', at);
        acked.insert(std::stoi(text.substr(at, end - at)));
        at = end + 1;
    }
    EXPECT_GT(std::stoi(text.substr(bar + 1)), 0) << "the limit refused nothing";
    context = Open();
    ASSERT_NE(context, 0) << lastError_;
    EXPECT_EQ(Ids(context), acked);
    ASSERT_EQ(QXHostClose(context), 0);
}

TEST_F(ScratchDatabase, AFullDiskRefusesWritesLeavesNoTraceAndStillOpens) {
    std::string mountPoint = root_ + "/small";
    std::filesystem::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=200k") != 0)
        GTEST_SKIP() << "no 200 KiB tmpfs could be mounted (" << std::strerror(errno) << "): full disk not tested";
    mounted_ = mountPoint;
    path_ = mountPoint + "/db";
    std::ofstream(mountPoint + "/filler") << std::string(40 * 1024, 'f');
    std::uint16_t context = Open(true);
    ASSERT_NE(context, 0) << lastError_;
    ASSERT_EQ(Exec(context, "CREATE TABLE T (ID INTEGER, TXT CHAR(2990))").rc, 0);
    int failures = 0;
    std::set<int> acked = InsertUntilRefused(context, 1, 80, &failures);
    EXPECT_GT(failures, 0) << "the disk never filled";
    EXPECT_EQ(Ids(context), acked);
    ASSERT_EQ(QXHostClose(context), 0);
    // Still full: the database opens and reads its last committed state.
    context = Open();
    ASSERT_NE(context, 0) << lastError_;
    EXPECT_EQ(Ids(context), acked);
    // Room again: writes go on.
    std::filesystem::remove(mountPoint + "/filler");
    ASSERT_EQ(Exec(context, "INSERT INTO T VALUES (1000, 'x')").rc, 0);
    acked.insert(1000);
    ASSERT_EQ(QXHostClose(context), 0);
    context = Open();
    ASSERT_NE(context, 0) << lastError_;
    EXPECT_EQ(Ids(context), acked);
    ASSERT_EQ(QXHostClose(context), 0);
}

TEST_F(ScratchDatabase, AReadOnlyCopyOfACrashedDatabaseReadsItsLastCommit) {
    std::string mountPoint = root_ + "/ro";
    std::filesystem::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "no tmpfs could be mounted (" << std::strerror(errno) << "): read-only recovery not tested";
    mounted_ = mountPoint;
    std::uint16_t context = Open(true);
    ASSERT_NE(context, 0) << lastError_;
    for (const char* s : {"CREATE TABLE T (ID INTEGER, V INTEGER)", "INSERT INTO T VALUES (1, 10), (2, 20)",
                          "BEGIN", "UPDATE T SET V = V + 1", "DELETE FROM T WHERE ID = 1", "INSERT INTO T VALUES (3, 30)"})
        ASSERT_EQ(Exec(context, s).rc, 0) << s;
    // The files as a crash inside the transaction leaves them, on a disk that cannot be written.
    std::filesystem::copy(path_, mountPoint + "/db", std::filesystem::copy_options::recursive);
    ASSERT_EQ(Exec(context, "ROLLBACK").rc, 0);
    ASSERT_EQ(QXHostClose(context), 0);
    ASSERT_EQ(::mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
    path_ = mountPoint + "/db";
    context = Open();
    ASSERT_NE(context, 0) << lastError_;
    EXPECT_EQ(Exec(context, "SELECT ID, V FROM T ORDER BY ID").lines, (std::vector<std::string>{"1|10", "2|20"}));
    EXPECT_NE(Exec(context, "INSERT INTO T VALUES (4, 40)").rc, 0);
    ASSERT_EQ(QXHostClose(context), 0);
}

TEST_F(ScratchDatabase, AnIdleConnectionHoldsNoLockAndABusyOneTimesOut) {
    std::uint16_t first = Open(true);
    ASSERT_NE(first, 0) << lastError_;
    ASSERT_EQ(Exec(first, "CREATE TABLE T (ID INTEGER)").rc, 0);
    ASSERT_EQ(Exec(first, "INSERT INTO T VALUES (1)").rc, 0);
    std::uint16_t second = Open();
    ASSERT_NE(second, 0) << lastError_;
    // The first one sits idle, even inside a transaction that has not read yet.
    ASSERT_EQ(Exec(first, "BEGIN").rc, 0);
    ASSERT_EQ(Exec(second, "INSERT INTO T VALUES (2)").rc, 0);
    ASSERT_EQ(Exec(first, "SELECT COUNT(*) FROM T").lines, std::vector<std::string>{"2"});
    // Now it holds the shared lock until COMMIT: the second waits its timeout, then fails.
    QXHostSetOption(second, QXHOST_OPTION_BUSY_TIMEOUT, 100);
    auto start = std::chrono::steady_clock::now();
    Rows busy = Exec(second, "INSERT INTO T VALUES (3)");
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_NE(busy.rc, 0);
    EXPECT_NE(busy.error.find("occupée"), std::string::npos) << busy.error;
    EXPECT_GE(waited, std::chrono::milliseconds(100));
    EXPECT_EQ(Exec(second, "SELECT COUNT(*) FROM T").lines, std::vector<std::string>{"2"});  // readers share
    ASSERT_EQ(Exec(first, "COMMIT").rc, 0);
    EXPECT_EQ(Exec(second, "INSERT INTO T VALUES (3)").rc, 0);
    EXPECT_EQ(Exec(first, "SELECT COUNT(*) FROM T").lines, std::vector<std::string>{"3"});
    // A table made by one connection is known to the other at its next statement.
    ASSERT_EQ(Exec(second, "CREATE TABLE U (ID INTEGER)").rc, 0);
    EXPECT_EQ(Exec(first, "SELECT COUNT(*) FROM U").lines, std::vector<std::string>{"0"});
    QXHostClose(first);
    QXHostClose(second);
}

// A connection compiles each statement under the lock it runs it with: the
// tables another connection changed meanwhile are read as they now are.
TEST_F(ScratchDatabase, AnotherConnectionsSchemaChangeIsSeenByTheNextStatement) {
    std::uint16_t one = Open(true);
    ASSERT_NE(one, 0) << lastError_;
    std::uint16_t two = Open();
    ASSERT_NE(two, 0) << lastError_;
    ASSERT_EQ(Exec(one, "CREATE TABLE T (ID INTEGER, V INTEGER)").rc, 0);
    ASSERT_EQ(Exec(one, "INSERT INTO T VALUES (1, 10)").rc, 0);
    EXPECT_EQ(Exec(two, "SELECT ID, V FROM T").lines, std::vector<std::string>{"1|10"});
    // A statement prepared before the change is compiled again at its next run.
    std::uintptr_t insert = 0;
    ASSERT_EQ(QXSQLPrepare(&insert, "INSERT INTO T (ID) VALUES (?)", two, nullptr), 0);
    for (const char* s : {"ALTER TABLE T DROP V", "ALTER TABLE T ADD W CHAR(5)", "INSERT INTO T VALUES (2, 'abc')"})
        ASSERT_EQ(Exec(one, s).rc, 0) << s;
    ASSERT_EQ(QXSQLBindInteger(insert, 1, 3), 0);
    ASSERT_EQ(QXSQLExecute(insert, nullptr), 0);
    EXPECT_EQ(QXSQLFinRequete(insert), 0);
    EXPECT_EQ(Exec(two, "SELECT ID, W FROM T ORDER BY ID").lines, (std::vector<std::string>{"1|", "2|abc", "3|"}));
    EXPECT_NE(Exec(two, "SELECT V FROM T").rc, 0);
    ASSERT_EQ(Exec(one, "ALTER TABLE T RENAME TO U").rc, 0);
    EXPECT_EQ(Exec(two, "SELECT COUNT(*) FROM U").lines, std::vector<std::string>{"3"});
    ASSERT_EQ(Exec(two, "DROP TABLE U").rc, 0);
    EXPECT_NE(Exec(one, "SELECT ID FROM U").rc, 0);
    EXPECT_EQ(QXHostClose(two), 0);
    EXPECT_EQ(QXHostClose(one), 0);
}

TEST_F(ScratchDatabase, AlterTableLeavesTheOldOrTheNewTableWhole) {
    constexpr std::int64_t kAlterRows = 20000;
    std::uint16_t context = Open(true);
    ASSERT_NE(context, 0) << lastError_;
    ASSERT_EQ(Exec(context, "CREATE TABLE A (ID INTEGER, PAD CHAR(100), V INTEGER)").rc, 0);
    ASSERT_EQ(Exec(context, "BEGIN").rc, 0);
    for (int id = 1; id <= kAlterRows; ++id)
        Exec(context, "INSERT INTO A VALUES (" + std::to_string(id) + ", 'p', " + std::to_string(id * 3) + ")");
    ASSERT_EQ(Exec(context, "COMMIT").rc, 0);
    // The child changes layout (X or not) and name (A or B) forever, killed within its first changes.
    const char* alters[] = {"ALTER TABLE A ADD X INTEGER", "ALTER TABLE A DROP X", "ALTER TABLE A RENAME TO B",
                            "ALTER TABLE B ADD X INTEGER", "ALTER TABLE B DROP X", "ALTER TABLE B RENAME TO A"};
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i) ASSERT_EQ(Exec(context, alters[i]).rc, 0) << alters[i];
    using std::chrono::milliseconds;
    auto window = 1 + 2 * std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(QXHostClose(context), 0);
    const std::string whole = std::to_string(kAlterRows) + "|" + std::to_string(kAlterRows * (kAlterRows + 1) / 2) +
                              "|" + std::to_string(kAlterRows * (kAlterRows + 1) / 2 * 3);
    std::mt19937 random(777);
    std::set<std::string> states;  // names and layouts met: the child did change the table
    for (int round = 0; round < 12 && !HasFailure(); ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::uint16_t own = Open();
            for (;;)
                for (const char* alter : alters) Exec(own, alter);
        }
        std::this_thread::sleep_for(milliseconds(window / 4 + static_cast<long>(random() % window)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
        context = Open();
        ASSERT_NE(context, 0) << "round " << round << ": " << lastError_;
        Rows a = Exec(context, "SELECT COUNT(*), SUM(ID), SUM(V) FROM A WHERE V = ID * 3");
        Rows b = Exec(context, "SELECT COUNT(*), SUM(ID), SUM(V) FROM B WHERE V = ID * 3");
        ASSERT_NE(a.rc == 0, b.rc == 0) << "round " << round << ": A and B both or neither";
        EXPECT_EQ((a.rc == 0 ? a : b).lines, std::vector<std::string>{whole}) << "round " << round;
        std::string name = a.rc == 0 ? "A" : "B";
        states.insert(name + (Exec(context, "SELECT X FROM " + name).rc == 0 ? "+X" : ""));
        ASSERT_EQ(QXHostClose(context), 0);
    }
    EXPECT_GE(states.size(), 3u);
}

}  // namespace
