// The exported calls on requests, before any result exists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "interface/SqlRequest.h"
#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

namespace {

class RequestTest : public qxtest::EngineTest {};

std::vector<char> InfoBuffer() { return std::vector<char>(4096, '\x7f'); }

TEST_F(RequestTest, NullHandlesAreRefused) {
    char text[255], state[6];
    uintptr_t value = 99;
    EXPECT_EQ(QXSQLFetchNext(0), -1);
    EXPECT_EQ(QXSQLValLine(0, nullptr, text), -1);
    EXPECT_EQ(QXSQLGetLongData(0, 1, &value), -1);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(QXSQLErreur(0, text, state), -1);
}

TEST_F(RequestTest, TooLongStatementIsRefusedWithReadableError) {
    std::size_t live = qx::platform::HeapLiveBlocks();
    std::string statement(QXSQL_MAX_STATEMENT + 1, ' ');
    auto buffer = InfoBuffer();
    auto* info = reinterpret_cast<ExecInfo*>(buffer.data());
    uintptr_t handle = 0;
    EXPECT_EQ(QXSQLExecReq(&handle, statement.c_str(), info, 1, 0), -1);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(info->compiled, 0);
    char text[255], state[6];
    EXPECT_EQ(QXSQLErreur(handle, text, state), 0);
    EXPECT_STREQ(state, "00123");
    EXPECT_NE(std::string(text).find("16382"), std::string::npos) << text;
    EXPECT_EQ(QXSQLFetchNext(handle), -1);
    EXPECT_EQ(QXSQLValLine(handle, nullptr, text), -1);
    uintptr_t value = 5;
    EXPECT_EQ(QXSQLGetLongData(handle, 1, &value), -1);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(QXSQLFinRequete(handle), 0);
    EXPECT_EQ(qx::platform::HeapLiveBlocks(), live);
}

TEST_F(RequestTest, ErreurWithoutErrorGivesEmptyTextAndZeros) {
    // A request that has not failed: build one by hand the way QXSQLExecReq does.
    auto* request = static_cast<qx::SqlRequest*>(std::calloc(1, sizeof(qx::SqlRequest)));
    std::memcpy(request->sqlState, "-----", 6);
    char text[255] = "junk", state[6] = "junk";
    EXPECT_EQ(QXSQLErreur(reinterpret_cast<uintptr_t>(request), text, state), 0);
    EXPECT_STREQ(text, "");
    EXPECT_STREQ(state, "00000");
    EXPECT_EQ(QXSQLErreur(reinterpret_cast<uintptr_t>(request), nullptr, nullptr), 0);
    std::free(request);
}

TEST_F(RequestTest, CreationFailureLeavesHandleZero) {
    auto buffer = InfoBuffer();
    auto* info = reinterpret_cast<ExecInfo*>(buffer.data());
    std::size_t live = qx::platform::HeapLiveBlocks();
    for (int k = 1; k <= 3; ++k) {
        qxtest::MessageCapture capture;
        uintptr_t handle = 123;
        qx::platform::HeapFailAt(k);
        std::int16_t rc = QXSQLExecReq(&handle, "SELECT * FROM T", info, 1, 0);
        qx::platform::HeapFailAt(0);
        if (k > 1 && handle != 0) QXSQLFinRequete(handle);
        if (k <= 2) {  // the working buffer, then the request record
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(handle, k == 1 ? 123u : 0u);
        }
        EXPECT_EQ(qx::platform::HeapLiveBlocks(), live) << k;
    }
}

}  // namespace
