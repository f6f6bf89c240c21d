// FuzzDatabase: see FuzzDatabase.h.  The schema is written in the directive
// language of the SQL test files, so the statements of tests/sql (the
// seeds) find the tables and items they expect.
#include "fuzz/FuzzDatabase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "include/obhost.h"
#include "tests/sql/SqlTestSupport.h"
#include "tests/testhost/TestHost.h"

namespace qxfuzz {
namespace {

const char* const kDirectives[] = {
    "table T A:5:4 B:5:4 NAME:15:21 QTY:9:8 MEMO:12:4 D:98:9 H:99:4 K:0:0:c RAW:0:4",
    "row T 1 10 'alpha' 1.5 'first memo' '19990101' '1200'",
    "row T 2 20 'beta' -2.25 - '20000229' '2359'",
    "row T 3 20 'gamma' 0 'third' - -",
    "row T 4 - - - - - -",
    "table U A:5:4 B:5:4 C:15:11",
    "row U 1 1 'one'",
    "row U 2 20 'two'",
    "row U 2 30 'two again'",
    "table V X:5:4 Y:5:4",
    "row V 1 2",
    "row V 3 4",
    "table W N1:1:1 N2:2:1 N3:3:2 N4:4:2 N6:6:4 N7:7:4 N10:10:10 T13:13:10 T14:14:11 BIN:22:4 ARR:5:4:a3",
    "row W -5 200 -300 60000 4000000000 3.25 123.456789 'fixed' 'pascal' 'binary' 1 2 3",
    "row W 0 0 0 0 0 0 0 - - - - - -",
};

std::vector<unsigned char>& MemoStorage() {
    static std::vector<unsigned char> storage;
    return storage;
}

}  // namespace

void ResetDatabase() {
    testhost::Reset();
    std::string error;
    for (const char* line : kDirectives) {
        if (!qxtest::ApplyHostDirective(line, error)) {
            std::fprintf(stderr, "fuzz database: %s\n", error.c_str());
            std::abort();
        }
    }
    // V.X is unique: rewriting or inserting an X that exists answers a duplicate.
    testhost::FindTable("V")->uniqueItems = {"X"};
    // The deleted record sits between live ones.
    testhost::DeleteRecord("U", 2);
}

std::uintptr_t MemoParameterTable() {
    constexpr int kEntries = 256;
    constexpr std::size_t kBlockSize = OBHOST_MEMO_HEADER_SIZE + 8;
    std::vector<unsigned char>& storage = MemoStorage();
    if (storage.empty()) {
        std::size_t tableSize = 2 + 8 * kEntries;
        storage.assign(tableSize + kEntries * kBlockSize, 0);
        for (int n = 0; n < kEntries; ++n) {
            unsigned char* block = storage.data() + tableSize + n * kBlockSize;
            char text[9];
            std::snprintf(text, sizeof text, "memo%04d", n + 1);
            std::uint32_t length = 8;
            std::memcpy(block + 54, &length, 4);
            block[58] = 0;
            std::memcpy(block + OBHOST_MEMO_HEADER_SIZE, text, 8);
            std::uintptr_t address = reinterpret_cast<std::uintptr_t>(block);
            std::memcpy(storage.data() + 2 + 8 * n, &address, 8);
        }
    }
    return reinterpret_cast<std::uintptr_t>(storage.data());
}

}  // namespace qxfuzz
