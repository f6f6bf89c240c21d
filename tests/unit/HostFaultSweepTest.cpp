// Host-fault sweep: every statement kind runs against a host that answers
// one kind of failure (read status, write status, duplicate, memo write
// status, memo read failure, file description refusal).  When the engine
// made the failing call, the statement must end in the error that call
// calls for (4244 with the file and status, 4288 with "23000" on INSERT,
// the host's own message for a refused description); when it did not, the
// outcome is that of a healthy host.  Nothing may leak or be shown.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "base/Messages.h"
#include "platform/BlockHeap.h"
#include "tests/unit/SweepSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

const char* const kStatements[] = {
    "SELECT * FROM T",
    "SELECT T.A, U.C FROM T, U WHERE T.A = U.A ORDER BY U.C",
    "SELECT DISTINCT B FROM T WHERE A IN (SELECT A FROM U WHERE B >= 20)",
    "SELECT NAME, MEMO FROM T WHERE A <> 2",
    "INSERT INTO U VALUES (5, 6, 'five')",
    "INSERT INTO T (A, NAME, MEMO) VALUES (9, 'nine', {OBMemoBinaire('Photo')})",
    "INSERT INTO T (A, NAME) VALUES (8, 'eight')",
    "INSERT INTO U SELECT A, B, NAME FROM T WHERE A < 3",
    "UPDATE U SET B = (7)",
    "UPDATE T SET NAME = ('renamed') WHERE A = 2",
    "DELETE FROM U",
    "DELETE FROM U WHERE B > 10",
    "CREATE TABLE NEWT (ID INTEGER, NAME CHAR(10), PHOTO CHAR(4))",
    "CREATE UNIQUE INDEX IDX ON U (A, B)",
};

struct Fault {
    const char* name;
    std::function<void(testhost::Faults&)> arm;
    const char* call;  // the host call that answers failure (log prefix)
};

const Fault kFaults[] = {
    {"read status 3", [](testhost::Faults& f) { f.readStatus = 3; }, "OLIREENREG "},
    {"read status 7", [](testhost::Faults& f) { f.readStatus = 7; }, "OLIREENREG "},
    {"read status 4 at record 2", [](testhost::Faults& f) { f.readStatus = 4, f.readStatusAtRecord = 2; },
     "OLIREENREG "},
    {"write status 4", [](testhost::Faults& f) { f.writeStatus = 4; }, "OECRIREENREG "},
    {"duplicate", [](testhost::Faults& f) { f.writeDuplicate = true; }, "OECRIREENREG "},
    {"memo write status 8", [](testhost::Faults& f) { f.memoWriteStatus = 8; }, "OECRIREMEMO "},
    {"memo read failure", [](testhost::Faults& f) { f.memoReadFails = true; }, "OGETMEMO "},
    {"description refused at 0", [](testhost::Faults& f) { f.describeRefuseAt = 0; }, "OBECRITFICHIER 0"},
    {"description refused at 1", [](testhost::Faults& f) { f.describeRefuseAt = 1; }, "OBECRITFICHIER 1"},
    {"description refused at 2", [](testhost::Faults& f) { f.describeRefuseAt = 2; }, "OBECRITFICHIER 2"},
    {"description refused at 3", [](testhost::Faults& f) { f.describeRefuseAt = 3; }, "OBECRITFICHIER 3"},
};

// The first logged call that failed under `fault`: its words, or empty.
std::vector<std::string> FailingCall(const Fault& fault, const testhost::Faults& armed) {
    for (const std::string& line : testhost::Log()) {
        if (line.rfind(fault.call, 0) != 0) continue;
        std::vector<std::string> words;
        std::size_t start = 0;
        for (std::size_t end; (end = line.find(' ', start)) != std::string::npos; start = end + 1)
            words.push_back(line.substr(start, end - start));
        words.push_back(line.substr(start));
        // "OLIREENREG T 3 L": only record 2 fails when the fault names it.
        if (armed.readStatusAtRecord != 0 && (words.size() < 3 || words[2] != std::to_string(armed.readStatusAtRecord)))
            continue;
        return words;
    }
    return {};
}

class HostFaultSweepTest : public qxtest::EngineTest {};

TEST_F(HostFaultSweepTest, EveryFailingHostCallEndsInItsError) {
    int runs = 0, failing = 0;
    for (const char* statement : kStatements) {
        qxtest::LoadSweepDatabase();
        qxtest::SweepOutcome baseline = qxtest::RunSweepStatement(statement, [](bool, const char*) {});
        ASSERT_EQ(baseline.rc, 0) << statement << ": " << baseline.error;
        for (const Fault& fault : kFaults) {
            SCOPED_TRACE(std::string(statement) + " / " + fault.name);
            qxtest::LoadSweepDatabase();
            fault.arm(testhost::GetFaults());
            const testhost::Faults armed = testhost::GetFaults();
            std::size_t live = qx::platform::HeapLiveBlocks();
            qxtest::MessageCapture capture;
            qxtest::SweepOutcome outcome = qxtest::RunSweepStatement(statement, [](bool, const char*) {});
            ++runs;
            EXPECT_EQ(qx::platform::HeapLiveBlocks(), live);
            EXPECT_TRUE(capture.Shown().empty()) << capture.LastText();
            std::vector<std::string> call = FailingCall(fault, armed);
            if (call.empty() || armed.memoReadFails) {
                // Not called, or a memo that cannot be read: it reads as empty.
                if (call.empty()) EXPECT_EQ(outcome, baseline);
                else EXPECT_EQ(outcome.rc, 0) << outcome.error;
                continue;
            }
            ++failing;
            EXPECT_EQ(outcome.rc, -1);
            std::string expected, state = "00123";
            if (armed.readStatus != 0) {
                expected = qx::MessageText(qx::kMsgReadWriteError, call[1].c_str(), armed.readStatus);
            } else if (armed.writeStatus != 0) {
                expected = qx::MessageText(qx::kMsgReadWriteError, call[1].c_str(), armed.writeStatus);
            } else if (armed.writeDuplicate) {
                expected = qx::MessageText(qx::kMsgDuplicateKey, call[1].c_str());
                if (std::string(statement).rfind("INSERT", 0) == 0) state = "23000";
            } else if (armed.memoWriteStatus != 0) {
                expected = qx::MessageText(qx::kMsgReadWriteError, "T", armed.memoWriteStatus);
            } else {
                expected = armed.describeMessage;
            }
            EXPECT_EQ(outcome.error, expected);
            EXPECT_EQ(outcome.state, state);
        }
    }
    std::printf("host-fault sweep: %zu statements x %zu faults = %d runs, %d with the failing call made\n",
                std::size(kStatements), std::size(kFaults), runs, failing);
    EXPECT_GT(failing, 40);
}

}  // namespace
