// Damage found, never read as data; space given back.  A file damaged by hand fails the
// statement that reads it with a message naming the file and the place, which the integrity
// check names too; freed space is taken again; compaction (killed or not) keeps every row.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "tests/crash/EngineHarness.h"

namespace {

using enginetest::Exec;
using enginetest::Rows;
namespace fs = std::filesystem;

// T: ID at 1, NAME (21 bytes) at 5, NOTES (a text memo reference) at 26: records of 30 bytes,
// slots of 34 with their checksum.
const char* kAnalysis = "ANALYSIS 1\nFILE T\nITEM ID 5 UNIQUE\nITEM NAME 15 21\nITEM NOTES 12\n";
constexpr std::uint64_t kHeader = 4096, kSlot = 34;

void FlipByte(const std::string& path, std::uint64_t offset, unsigned char mask = 0x01) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekg(static_cast<std::streamoff>(offset));
    char c = 0;
    file.get(c);
    file.seekp(static_cast<std::streamoff>(offset));
    file.put(static_cast<char>(c ^ mask));
}

void Replace(const std::string& path, const std::string& from, const std::string& to) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.replace(text.find(from), from.size(), to);
    std::ofstream(path, std::ios::trunc) << text;
}

// The integrity check's lines, one after the other.
std::string Problems(std::uint16_t context) {
    std::string lines;
    QXHostCheck(context, [](void* out, const char* line) { *static_cast<std::string*>(out) += line + std::string("\n"); },
                &lines);
    return lines;
}

class DamageTest : public enginetest::ScratchDatabase {
protected:
    // Rows 1..n of T, each with a memo; the database closed.
    void Fill(int n) {
        fs::create_directories(path_);
        std::ofstream(path_ + "/analysis.qxa") << kAnalysis;
        std::uint16_t c = Open();
        ASSERT_NE(c, 0) << lastError_;
        ASSERT_TRUE(n == 0 || Exec(c, Values(1, n)).rc == 0);
        QXHostClose(c);
    }
    // One INSERT of rows from..to, each with a memo.
    static std::string Values(int from, int to) {
        std::string insert = "INSERT INTO T VALUES ";
        for (int id = from; id <= to; ++id)
            insert += (id > from ? ", (" : "(") + std::to_string(id) + ", 'name " + std::to_string(id) + "', 'note " +
                      std::to_string(id) + "')";
        return insert;
    }
    std::string File(const char* name) const { return path_ + "/" + name; }
};

TEST_F(DamageTest, EachDamageFailsTheStatementAndTheCheckNamesIt) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> damage;  // given the database directory
        const char* statement;
        const char* named;  // in the statement's error and in a line of the check
    };
    const Case cases[] = {
        {"record file cut", [](const std::string& d) { fs::resize_file(d + "/T.qxd", kHeader + kSlot + 10); },
         "SELECT ID FROM T", "T.qxd: truncated"},
        {"record file cut at a slot", [](const std::string& d) { fs::resize_file(d + "/T.qxd", kHeader + kSlot); },
         "SELECT ID FROM T", "T.qxd: truncated: 1 records where 3 were written"},
        {"slot byte", [](const std::string& d) { FlipByte(d + "/T.qxd", kHeader + kSlot, 0x03); },
         "SELECT ID FROM T", "T.qxd record 2: checksum mismatch"},
        {"record byte", [](const std::string& d) { FlipByte(d + "/T.qxd", kHeader + kSlot + 6); },
         "SELECT ID FROM T WHERE ID = 3", "T.qxd record 2: checksum mismatch"},
        {"header", [](const std::string& d) { FlipByte(d + "/T.qxd", 12); }, "SELECT ID FROM T",
         "T.qxd: header checksum mismatch"},
        {"newer version", [](const std::string& d) { FlipByte(d + "/T.qxd", 8, 0x01); }, "SELECT ID FROM T",
         "T.qxd: format version 3 is newer than this program reads (2)"},
        {"memo file missing", [](const std::string& d) { fs::remove(d + "/T.qxm"); }, "SELECT ID FROM T",
         "its memo file T.qxm is missing"},
        {"memo file cut", [](const std::string& d) { fs::resize_file(d + "/T.qxm", 100); }, "SELECT ID FROM T",
         "T.qxm: truncated"},
        {"memo byte", [](const std::string& d) { FlipByte(d + "/T.qxm", 64 + 16 + 2); }, "SELECT ID, NOTES FROM T",
         "T.qxm memo 4: checksum mismatch"},
        {"item type", [](const std::string& d) { Replace(d + "/analysis.qxa", "NAME 15 21", "NAME 13 21"); },
         "SELECT NAME FROM T", "items of other types or sizes"},
        {"item size", [](const std::string& d) { Replace(d + "/analysis.qxa", "NAME 15 21", "NAME 15 25"); },
         "SELECT NAME FROM T", "records have 30 bytes but the analysis describes 34"},
    };
    Fill(3);
    const std::string saved = root_ + "/saved";
    fs::copy(path_, saved, fs::copy_options::recursive);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(path_);
        fs::copy(saved, path_, fs::copy_options::recursive);
        c.damage(path_);
        std::uint16_t context = Open();
        ASSERT_NE(context, 0) << lastError_;
        Rows rows = Exec(context, c.statement);
        EXPECT_NE(rows.rc, 0);
        EXPECT_NE(rows.error.find(c.named), std::string::npos) << rows.error;
        EXPECT_NE(rows.error.find("QX file 'T' is damaged"), std::string::npos) << rows.error;
        std::string problems = Problems(context);
        EXPECT_NE(problems.find(c.named), std::string::npos) << problems;
        // Found at open, damage makes the file take nothing more; a memo's is found when read.
        EXPECT_EQ(Exec(context, "INSERT INTO T VALUES (9, 'x', 'y')").rc == 0, std::string(c.what) == "memo byte");
        EXPECT_EQ(QXHostClose(context), 0);
    }
    fs::remove_all(path_);
    fs::copy(saved, path_, fs::copy_options::recursive);
    std::uint16_t context = Open();
    EXPECT_EQ(Problems(context), "");
    QXHostClose(context);
}

TEST_F(DamageTest, LeftoversOfAnInterruptedCreateGoAtTheNextOpen) {
    Fill(1);
    const char* leftovers[] = {"X.qxd", "X.qxm", "T.qxd.tmp", "analysis.qxa.tmp"};
    for (const char* name : leftovers) std::ofstream(File(name)) << "x";
    std::uint16_t context = Open();
    ASSERT_NE(context, 0) << lastError_;
    for (const char* name : leftovers) EXPECT_FALSE(fs::exists(File(name))) << name;
    EXPECT_EQ(Exec(context, "SELECT COUNT(*) FROM T").lines, std::vector<std::string>{"1"});
    QXHostClose(context);
}

// 100,000 inserts and deletes of the same rows leave files within twice their live size.
TEST_F(DamageTest, DeletedRecordsAndReplacedMemosLeaveTheirSpace) {
    Fill(0);
    std::uint16_t context = Open();
    QXHostSetOption(context, QXHOST_OPTION_SYNC, 0);
    const std::string insert = Values(1, 500);
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(Exec(context, insert).rc, 0) << round;
        const char* update = round % 2 == 0 ? "UPDATE T SET NOTES = 'another memo' WHERE ID < 50" : "SELECT 1";
        ASSERT_EQ(Exec(context, update).rc, 0) << round;
        ASSERT_EQ(Exec(context, "DELETE FROM T").rc, 0) << round;
    }
    ASSERT_EQ(Exec(context, insert).rc, 0);
    EXPECT_LE(fs::file_size(File("T.qxd")), 2 * (kHeader + 500 * kSlot));
    EXPECT_LE(fs::file_size(File("T.qxm")), 2 * (64 + 500 * 48));
    EXPECT_EQ(Exec(context, "SELECT COUNT(*), SUM(ID) FROM T").lines, std::vector<std::string>{"500|125250"});
    QXHostClose(context);
}

TEST_F(DamageTest, CompactionKeepsEveryRowAndMemoAndAKillDuringItLosesNothing) {
    Fill(0);
    std::uint16_t context = Open();
    QXHostSetOption(context, QXHOST_OPTION_SYNC, 0);
    for (int id = 1; id <= 12000; id += 250) ASSERT_EQ(Exec(context, Values(id, id + 249)).rc, 0) << id;
    ASSERT_EQ(Exec(context, "DELETE FROM T WHERE ID > 9000 OR ID < 100").rc, 0);
    ASSERT_EQ(Exec(context, "UPDATE T SET NOTES = 'changed' WHERE ID > 8990").rc, 0);
    const std::vector<std::string> rows = Exec(context, "SELECT ID, NAME, NOTES FROM T").lines;
    ASSERT_EQ(rows.size(), 8901u);
    ASSERT_EQ(Exec(context, "BEGIN").rc, 0);
    char error[256];
    EXPECT_EQ(QXHostVacuum(context, error, sizeof error), 1);  // not inside a transaction
    ASSERT_EQ(Exec(context, "ROLLBACK").rc, 0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(QXHostVacuum(context, error, sizeof error), 0) << error;
    auto window = 1 + 2 * std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(fs::file_size(File("T.qxd")), kHeader + rows.size() * kSlot);
    EXPECT_LT(fs::file_size(File("T.qxm")), 64 + rows.size() * 48);
    QXHostClose(context);
    std::mt19937 random(2024);
    for (int round = 0; round < 6 && !HasFailure(); ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::uint16_t own = Open();
            for (char ignored[256];;) QXHostVacuum(own, ignored, sizeof ignored);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(window / 4 + static_cast<long>(random() % window)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
        context = Open();
        ASSERT_NE(context, 0) << lastError_;
        EXPECT_TRUE(Exec(context, "SELECT ID, NAME, NOTES FROM T").lines == rows) << "round " << round;
        EXPECT_EQ(Problems(context), "") << "round " << round;
        QXHostClose(context);
    }
}

}  // namespace
