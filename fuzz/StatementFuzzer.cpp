// StatementFuzzer: libFuzzer target that runs statement text through the
// engine's exported calls, from QXSQLExecReq to the last fetch, over the
// small database of FuzzDatabase.
//
// An input holds up to four statements separated by NUL bytes, run in order
// against one fresh database (so an INSERT can be followed by the SELECT
// that reads it back).  Every row is read with QXSQLValLine and every column
// (and one on each side) with QXSQLGetLongData.  After each statement the
// engine's block heap must hold exactly the blocks it held before: a leak
// aborts the run.  LeakSanitizer covers whatever the block heap does not.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzDatabase.h"
#include "obsqleng.h"
#include "platform/BlockHeap.h"
#include "platform/MessageSink.h"
#include "tests/testhost/TestHost.h"

namespace {

constexpr int kMaxStatements = 4;

// The caller sizes ExecInfo and the row text; these are large enough for
// the widest result the limits allow (16383 columns of any type).
std::vector<char>& InfoBuffer() {
    static std::vector<char> buffer(2u << 20);
    return buffer;
}
std::vector<char>& LineBuffer() {
    static std::vector<char> buffer(16u << 20);
    return buffer;
}

void QuietSink(const char*, const char*, void*) {}

void RunOne(const std::string& statement) {
    std::size_t liveBefore = qx::platform::HeapLiveBlocks();
    auto* info = reinterpret_cast<ExecInfo*>(InfoBuffer().data());
    std::memset(info, 0, 16);
    std::uintptr_t handle = 0;
    std::int16_t rc = QXSQLExecReq(&handle, statement.c_str(), info, 1, qxfuzz::MemoParameterTable());
    if (handle != 0) {
        char text[255], state[6];
        if (QXSQLErreur(handle, text, state) != 0) std::abort();
        if (std::strlen(text) > 254 || std::strlen(state) != 5) std::abort();
        // A failed statement always says why; a successful one never carries an error.
        if ((rc != 0) != (text[0] != '\0')) std::abort();
        if (rc == 0 && info->columnCount != 0) {
            std::uint32_t rows = 0;
            while (QXSQLFetchNext(handle) == 0) {
                ++rows;
                if (QXSQLValLine(handle, rows % 2 ? nullptr : " | ", LineBuffer().data()) != 0) std::abort();
                for (std::uint16_t c = 0; c <= info->columnCount + 1u; ++c) {
                    std::uintptr_t value = 1;
                    std::int16_t answer = QXSQLGetLongData(handle, c, &value);
                    if (answer == -1 && value != 0) std::abort();
                }
            }
            if (rows != info->rowCount) std::abort();
            if (QXSQLFetchNext(handle) != -1) std::abort();
        }
        if (QXSQLFinRequete(handle) != 0) std::abort();
    }
    if (qx::platform::HeapLiveBlocks() != liveBefore) {
        std::fprintf(stderr, "block heap leak: %zu blocks before, %zu after\n", liveBefore,
                     qx::platform::HeapLiveBlocks());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("OMBREL_INI", "/nonexistent/ombrel.ini", 1);
    qx::platform::SetMessageSink(&QuietSink, nullptr);
    if (OB4InitInstance(0, testhost::ModuleTable()) != 1) {
        std::fprintf(stderr, "engine start-up failed\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qxfuzz::ResetDatabase();
    const char* text = reinterpret_cast<const char*>(data);
    std::size_t start = 0;
    for (int n = 0; n < kMaxStatements && start <= size; ++n) {
        std::size_t end = start;
        while (end < size && text[end] != '\0') ++end;
        RunOne(std::string(text + start, end - start));
        start = end + 1;
    }
    return 0;
}
