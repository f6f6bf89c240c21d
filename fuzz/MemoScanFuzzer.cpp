// MemoScanFuzzer: libFuzzer target for the memo reference exports
// (QXSQL_OBMS_Alloc/Scan/GetMemoInfo/ReplaceMemo/Free).
//
// The first two bytes choose the name buffer capacity and the statement
// buffer's spare room; the rest is the statement text.  Every entry found is
// read back with GetMemoInfo and replaced, in order, by a marker or by a
// longer text, then the context is scanned again over the changed text.
// The checks are the exports' contracts: names and texts stay terminated
// inside their buffers, entries lie inside the text, a refused replacement
// changes nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "obsqleng.h"
#include "platform/BlockHeap.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::uint32_t nameCapacity = data[0] % 140;  // 0 (nothing written) up to past the name limit
    std::uint32_t spare = data[1];
    std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    text = text.c_str();  // the exports read a NUL-terminated text
    std::size_t liveBefore = qx::platform::HeapLiveBlocks();

    void* context = QXSQL_OBMS_Alloc();
    Check(context != nullptr);
    std::int32_t count = QXSQL_OBMS_Scan(context, text.c_str());
    Check(count >= 0 && count <= 256);

    std::uint32_t capacity = static_cast<std::uint32_t>(text.size()) + 1 + spare;
    std::vector<char> statement(capacity, 'x');
    std::memcpy(statement.data(), text.c_str(), text.size() + 1);

    std::vector<char> name(nameCapacity + 1, '#');
    for (std::int32_t i = -1; i <= count; ++i) {
        std::int32_t kind = -7;
        std::int32_t ok = QXSQL_OBMS_GetMemoInfo(context, i, name.data(), nameCapacity, &kind);
        if (i < 0 || i == count) {
            Check(ok == 0);
            continue;
        }
        Check(ok == 1 && (kind == 0 || kind == 1));
        Check(name[nameCapacity] == '#');  // nothing written past the capacity
        if (nameCapacity > 0) Check(std::memchr(name.data(), '\0', nameCapacity) != nullptr);
    }

    for (std::int32_t i = 0; i < count; ++i) {
        std::string before(statement.data());
        std::string replacement = (i + spare) % 3 == 0 ? std::string(40, 'R') : "'\x7f" + std::to_string(i + 1) + "'";
        std::int32_t ok = QXSQL_OBMS_ReplaceMemo(context, statement.data(), i, replacement.c_str(), capacity);
        Check(ok == 0 || ok == 1);
        std::size_t length = std::strlen(statement.data());
        Check(length < capacity);
        if (ok == 0) Check(before == statement.data());
        else Check(std::string(statement.data()).find(replacement) != std::string::npos);
    }
    Check(QXSQL_OBMS_ReplaceMemo(context, statement.data(), count, "x", capacity) == 0);
    Check(QXSQL_OBMS_ReplaceMemo(nullptr, statement.data(), 0, "x", capacity) == 0);

    // A second scan over the changed text empties the context first.
    std::int32_t again = QXSQL_OBMS_Scan(context, statement.data());
    Check(again >= 0 && again <= 256);
    QXSQL_OBMS_Free(context);
    Check(qx::platform::HeapLiveBlocks() == liveBefore);
    return 0;
}
