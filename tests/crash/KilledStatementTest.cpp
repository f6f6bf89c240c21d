// Data safety of the QX file engine under the SQL engine: a child process
// runs INSERT, UPDATE and DELETE statements in a loop over a real database
// and is killed (SIGKILL) at random moments; after each kill the database
// is opened again and read back through the engine.  Every record must be
// whole (a record spans several pages; its fields all derive from V) and
// the unique key must still be unique.  Killed during ALTER TABLE, a child
// leaves the table, old or new, with every row.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "obhost.h"
#include "obsqleng.h"
#include "qxhost.h"

namespace {

constexpr int kPad = 5000;  // PAD bytes: the record is larger than a page
constexpr int kIds = 40;
constexpr int kRounds = 30;

const ModuleNameTable* HostModules() {
    static ModuleNameEntry entries[8];
    static ModuleNameTable table;
    const char* names[8] = {"libobhost32.so", "OBQXENG.DLL", "OBDBASE.DLL", "OBSQLENG.DLL",
                            "OBCOMPIL.DLL",   "OBIMAGE.DLL", "OBFILES.DLL", "libobhost32.so"};
    for (int i = 0; i < 8; ++i) std::strncpy(entries[i], names[i], sizeof entries[i] - 1);
    table.entries = entries;
    table.lastIndex = 7;
    return &table;
}

struct Rows {
    int rc = 0;
    std::string error;
    std::vector<std::string> lines;
};

Rows RunStatement(std::uint16_t context, const std::string& statement) {
    static std::vector<char> info(1 << 16), line(1 << 16);
    Rows out;
    auto* execInfo = reinterpret_cast<ExecInfo*>(info.data());
    std::uintptr_t handle = 0;
    out.rc = QXSQLExecReq(&handle, statement.c_str(), execInfo, context, 0);
    if (handle == 0) return out;
    char text[255], state[6];
    QXSQLErreur(handle, text, state);
    out.error = text;
    if (out.rc == 0 && execInfo->columnCount != 0) {
        while (QXSQLFetchNext(handle) == 0) {
            QXSQLValLine(handle, "|", line.data());
            out.lines.emplace_back(line.data());
        }
    }
    QXSQLFinRequete(handle);
    return out;
}

std::string Pad(int v) { return std::string(kPad, static_cast<char>('A' + v % 26)); }

// The statements of the writer, forever (it is killed).
[[noreturn]] void Writer(const std::string& path, unsigned seed) {
    char error[256];
    std::uint16_t context = QXHostOpen(path.c_str(), 0, error, sizeof error);
    if (context == 0) _exit(3);
    std::mt19937 random(seed);
    for (int v = static_cast<int>(seed % 1000);; ++v) {
        int id = static_cast<int>(random() % kIds) + 1;
        std::string values = std::to_string(v) + ", '" + Pad(v) + "', " + std::to_string(v);
        switch (random() % 3) {
            case 0:
                RunStatement(context, "INSERT INTO R VALUES (" + std::to_string(id) + ", " + values + ")");
                break;
            case 1:
                RunStatement(context, "UPDATE R SET V = (" + std::to_string(v) + "), PAD = ('" + Pad(v) + "'), V2 = (" +
                                 std::to_string(v) + ") WHERE ID = " + std::to_string(id));
                break;
            default:
                RunStatement(context, "DELETE FROM R WHERE ID = " + std::to_string(id));
                break;
        }
    }
}

TEST(KilledStatementTest, EveryRecordWholeAndKeysUniqueAfterEachKill) {
    char pattern[] = "/tmp/qxsql_crash_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    std::string path = std::string(pattern) + "/db";
    ASSERT_EQ(OB4InitInstance(0, HostModules()), 1);

    char error[256];
    std::uint16_t context = QXHostOpen(path.c_str(), 1, error, sizeof error);
    ASSERT_NE(context, 0) << error;
    Rows made = RunStatement(context, "CREATE TABLE R (ID INTEGER, V INTEGER, PAD CHAR(" + std::to_string(kPad) + "), V2 INTEGER)");
    ASSERT_EQ(made.rc, 0) << made.error;
    made = RunStatement(context, "CREATE UNIQUE INDEX RID ON R (ID)");
    ASSERT_EQ(made.rc, 0) << made.error;
    ASSERT_EQ(QXHostClose(context), 0);

    std::mt19937 random(12345);
    std::size_t seen = 0;
    for (int round = 0; round < kRounds; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) Writer(path, static_cast<unsigned>(round * 7919 + 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 80));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself, status " << status;

        context = QXHostOpen(path.c_str(), 0, error, sizeof error);
        ASSERT_NE(context, 0) << "round " << round << ": " << error;
        Rows rows = RunStatement(context, "SELECT ID, V, PAD, V2 FROM R");
        ASSERT_EQ(rows.rc, 0) << "round " << round << ": " << rows.error;
        std::set<int> ids;
        for (const std::string& line : rows.lines) {
            int id = 0, v = 0, v2 = 0;
            char pad[kPad + 1];
            ASSERT_EQ(std::sscanf(line.c_str(), "%d|%d|%5000[A-Z]|%d", &id, &v, pad, &v2), 4) << line.substr(0, 80);
            EXPECT_EQ(v, v2) << "round " << round << ", record " << id << " torn";
            EXPECT_EQ(std::string(pad), Pad(v)) << "round " << round << ", record " << id << " torn";
            EXPECT_TRUE(ids.insert(id).second) << "round " << round << ": key " << id << " twice";
        }
        seen += rows.lines.size();
        ASSERT_EQ(QXHostClose(context), 0);
        if (HasFailure()) break;
    }
    EXPECT_GT(seen, 0u);  // the writer did write
    OBSQLFinInstance(0);
    std::filesystem::remove_all(pattern);
}

TEST(KilledStatementTest, AlterTableLeavesTheOldOrTheNewTableWhole) {
    constexpr std::int64_t kRows = 20000;
    char pattern[] = "/tmp/qxsql_alter_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    std::string path = std::string(pattern) + "/db";
    ASSERT_EQ(OB4InitInstance(0, HostModules()), 1);
    char error[256];
    std::uint16_t context = QXHostOpen(path.c_str(), 1, error, sizeof error);
    ASSERT_NE(context, 0) << error;
    ASSERT_EQ(RunStatement(context, "CREATE TABLE A (ID INTEGER, PAD CHAR(100), V INTEGER)").rc, 0);
    for (int id = 1; id <= kRows; ++id)
        RunStatement(context, "INSERT INTO A VALUES (" + std::to_string(id) + ", 'p', " + std::to_string(id * 3) + ")");
    // The child changes layout (X or not) and name (A or B) forever, killed within its first changes.
    const char* alters[] = {"ALTER TABLE A ADD X INTEGER", "ALTER TABLE A DROP X", "ALTER TABLE A RENAME TO B",
                            "ALTER TABLE B ADD X INTEGER", "ALTER TABLE B DROP X", "ALTER TABLE B RENAME TO A"};
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i) RunStatement(context, alters[i]);
    using std::chrono::milliseconds;
    auto window = 1 + 2 * std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(QXHostClose(context), 0);
    const std::string whole = std::to_string(kRows) + "|" + std::to_string(kRows * (kRows + 1) / 2) + "|" +
                              std::to_string(kRows * (kRows + 1) / 2 * 3);
    std::mt19937 random(777);
    std::set<std::string> states;  // names and layouts met: the child did change the table
    for (int round = 0; round < 12 && !HasFailure(); ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            context = QXHostOpen(path.c_str(), 0, error, sizeof error);
            for (;;)
                for (const char* alter : alters) RunStatement(context, alter);
        }
        std::this_thread::sleep_for(milliseconds(window / 4 + static_cast<long>(random() % window)));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        context = QXHostOpen(path.c_str(), 0, error, sizeof error);
        ASSERT_NE(context, 0) << "round " << round << ": " << error;
        Rows a = RunStatement(context, "SELECT COUNT(*), SUM(ID), SUM(V) FROM A WHERE V = ID * 3");
        Rows b = RunStatement(context, "SELECT COUNT(*), SUM(ID), SUM(V) FROM B WHERE V = ID * 3");
        ASSERT_NE(a.rc == 0, b.rc == 0) << "round " << round << ": A and B both or neither";
        EXPECT_EQ((a.rc == 0 ? a : b).lines, std::vector<std::string>{whole}) << "round " << round;
        std::string name = a.rc == 0 ? "A" : "B";
        states.insert(name + (RunStatement(context, "SELECT X FROM " + name).rc == 0 ? "+X" : ""));
        ASSERT_EQ(QXHostClose(context), 0);
    }
    EXPECT_GE(states.size(), 3u);
    OBSQLFinInstance(0);
    std::filesystem::remove_all(pattern);
}

}  // namespace
