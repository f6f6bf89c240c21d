// Out-of-memory sweep: every statement kind is run again and again with
// allocation k made to fail, k = 1, 2, ... until a run meets no failure.
// Allocations of the block heap and of std containers (through the global
// operator new below, counted on the same counter) both fail.  Every run
// must end cleanly: an error text or the same outcome as an undisturbed
// run, the block heap back to where it was, only the memory block
// service's message shown, and the next statement unaffected.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <map>
#include <new>
#include <string>

#include "base/Messages.h"
#include "platform/BlockHeap.h"
#include "tests/unit/SweepSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

// Set while an engine call runs under the sweep: only then are allocations
// from outside the block heap counted (and the test host's own never).
bool countForeign = false;
// Where the last failed foreign allocation was made, to point at the code
// that let its bad_alloc escape.
void* failedAt[24];
int failedAtDepth = 0;

void* ForeignAllocate(std::size_t size) {
    if (countForeign && !testhost::InCallback() && qx::platform::HeapTakeForeignAllocation()) {
        failedAtDepth = backtrace(failedAt, 24);
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

std::string FailedAllocationTrace() {
    std::string out;
    char** names = backtrace_symbols(failedAt, failedAtDepth);
    for (int i = 0; names != nullptr && i < failedAtDepth; ++i) out += std::string("  ") + names[i] + "\n";
    std::free(names);
    return out;
}

// Out of line so that the compiler does not pair the inlined free with a
// new expression and warn about a mismatch.
__attribute__((noinline)) void ForeignRelease(void* p) { std::free(p); }

}  // namespace

void* operator new(std::size_t size) {
    void* p = ForeignAllocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) {
    void* p = ForeignAllocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return ForeignAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return ForeignAllocate(size); }
void operator delete(void* p) noexcept { ForeignRelease(p); }
void operator delete[](void* p) noexcept { ForeignRelease(p); }
void operator delete(void* p, std::size_t) noexcept { ForeignRelease(p); }
void operator delete[](void* p, std::size_t) noexcept { ForeignRelease(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { ForeignRelease(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { ForeignRelease(p); }

namespace {

const char* const kStatements[] = {
    "SELECT * FROM T",
    "SELECT T.A, U.C FROM T, U WHERE T.A = U.A AND U.B > 1 ORDER BY U.C DESC",
    "SELECT DISTINCT B FROM T WHERE A IN (SELECT A FROM U WHERE B >= 20) ORDER BY B",
    "SELECT A, NAME FROM T WHERE EXISTS (SELECT * FROM V WHERE X > 2) UNION SELECT A, C FROM U",
    "SELECT NAME, MEMO, QTY, D, H FROM T WHERE NAME LIKE '%a' OR QTY * 2 > 2 OR D BETWEEN '19990101' AND '19991231'",
    "SELECT X, Y FROM V WHERE Y > (SELECT MIN(A) FROM U) ORDER BY Y DESC, X",
    "INSERT INTO U VALUES (5, 6, 'five')",
    "INSERT INTO T (A, NAME, MEMO) VALUES (9, 'nine', {OBMemoBinaire('Photo')})",
    "INSERT INTO U SELECT A, B, NAME FROM T WHERE A < 3",
    "UPDATE U SET B = (7)",
    "UPDATE U SET C = ('changed'), B = (0) WHERE A = 1 OR C LIKE 't%'",
    "DELETE FROM U",
    "DELETE FROM U WHERE B > 10",
    "CREATE TABLE NEWT (ID INTEGER, NAME CHAR(10) NOT NULL, AMOUNT DOUBLE)",
    "CREATE UNIQUE INDEX IDX ON U (A, B DESC)",
    "ALTER TABLE U ADD D INTEGER",
    // The rest fail even with memory to spare.
    "INSERT INTO V VALUES (1, 9)",
    "SELECT A FROM T WHERE (A = 1",
    "SELECT * FROM NOPE",
    "SELECT NAME + 1 FROM T",
    "DROP VIEW U",
};

constexpr int kFirstFailingStatement = 16;

class OutOfMemorySweepTest : public qxtest::EngineTest {};

int FailureCount() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

TEST_F(OutOfMemorySweepTest, EveryAllocationFailureEndsCleanly) {
    const std::string memoryMessage = qx::MessageText(qx::kMsgOutOfMemory);
    int totalRuns = 0;
    std::map<std::string, int> errors;
    // QX_SWEEP_ONLY="i:k" runs statement i with allocation k only (to follow
    // one failure in a debugger).
    const char* only = std::getenv("QX_SWEEP_ONLY");
    int onlyStatement = -1;
    std::uint64_t onlyAllocation = 0;
    if (only != nullptr) std::sscanf(only, "%d:%lu", &onlyStatement, &onlyAllocation);
    for (int index = 0; index < static_cast<int>(std::size(kStatements)); ++index) {
        const char* statement = kStatements[index];
        if (onlyStatement >= 0 && index != onlyStatement) continue;
        qxtest::LoadSweepDatabase();
        qxtest::SweepOutcome baseline = qxtest::RunSweepStatement(statement, [](bool, const char*) {});
        ASSERT_EQ(baseline.rc == 0, index < kFirstFailingStatement) << statement << ": " << baseline.error;
        int failures = 0;
        int failuresBefore = FailureCount();
        for (std::uint64_t k = onlyAllocation > 0 ? onlyAllocation : 1;; ++k) {
            ASSERT_LT(k, 20000u) << statement;
            qxtest::LoadSweepDatabase();
            std::size_t live = qx::platform::HeapLiveBlocks();
            qxtest::MessageCapture capture;
            qx::platform::HeapFailAt(k);
            qxtest::SweepOutcome outcome;
            const char* failedIn = nullptr;  // the exported call during which the failure came
            try {
                outcome = qxtest::RunSweepStatement(statement, [&failedIn](bool on, const char* call) {
                    countForeign = on;
                    if (!on && failedIn == nullptr && qx::platform::HeapInjectedFailureHappened()) failedIn = call;
                });
            } catch (const std::bad_alloc&) {
                countForeign = false;
                qx::platform::HeapFailAt(0);
                ADD_FAILURE() << statement << " / allocation " << k << ": bad_alloc escaped from\n"
                              << FailedAllocationTrace();
                break;
            }
            bool failed = qx::platform::HeapInjectedFailureHappened();
            qx::platform::HeapFailAt(0);
            ++totalRuns;
            SCOPED_TRACE(std::string(statement) + " / allocation " + std::to_string(k));
            EXPECT_EQ(qx::platform::HeapLiveBlocks(), live);
            for (const auto& shown : capture.Shown()) {
                EXPECT_EQ(shown.first, "RUNTIME Erreur");
                EXPECT_EQ(shown.second, "Error 1067");
            }
            if (!failed) {
                EXPECT_EQ(outcome, baseline) << qxtest::DescribeOutcome(outcome);
                break;
            }
            ++failures;
            if (outcome.rc == 0 && std::strcmp(failedIn, "QXSQLValLine") == 0) {
                // The row text has no way to report a value it could not read:
                // the value stays empty, and the memory message is shown.
                EXPECT_EQ(outcome.tables, baseline.tables);
                EXPECT_EQ(capture.LastText(), "Error 1067");
            } else if (outcome.rc == 0) {
                // A failure the engine absorbed must not change what the caller sees.
                EXPECT_EQ(outcome, baseline) << failedIn << "\n" << qxtest::DescribeOutcome(outcome);
            } else if (outcome.handle) {
                EXPECT_FALSE(outcome.error.empty()) << qxtest::DescribeOutcome(outcome);
                ++errors[outcome.error == baseline.error ? "<same as without failure>" : outcome.error];
                if (std::getenv("QX_SWEEP_VERBOSE") != nullptr) std::printf("%d:%lu %s: %s\n", index, static_cast<unsigned long>(k), failedIn, outcome.error.c_str());
            }
            // Nothing lingers: the same statement runs normally right after
            // (checked after every fourth failure, to keep the sweep short).
            if (failures % 4 == 1) {
                qxtest::LoadSweepDatabase();
                EXPECT_EQ(qxtest::RunSweepStatement(statement, [](bool, const char*) {}), baseline);
            }
            if (FailureCount() != failuresBefore) break;  // one report per statement is enough
            if (onlyAllocation > 0) break;
        }
        if (onlyAllocation == 0) {
            EXPECT_GT(failures, 0) << statement;
        }
    }
    std::printf("out-of-memory sweep: %zu statements, %d runs\n", std::size(kStatements), totalRuns);
    for (const auto& [text, count] : errors) std::printf("  %5d x %s\n", count, text.c_str());
}

}  // namespace
