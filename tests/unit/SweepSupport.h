// Helpers of the failure sweeps (out-of-memory, host faults): a small
// database on the test host covering the field types, a memo parameter
// table, and a statement runner that records everything a caller can see
// of a statement (result, error, rows, memo handles) plus the host's
// tables afterwards, without allocating while the engine runs.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "include/obhost.h"
#include "obsqleng.h"
#include "tests/sql/SqlTestSupport.h"
#include "tests/testhost/TestHost.h"

namespace qxtest {

// Loads the sweep database into a freshly reset test host.
inline void LoadSweepDatabase() {
    static const char* const kDirectives[] = {
        "table T A:5:4 B:5:4 NAME:15:21 QTY:9:8 MEMO:12:4 D:98:9 H:99:4",
        "row T 1 10 'alpha' 1.5 'first memo' '19990101' '1200'",
        "row T 2 20 'beta' -2.25 - '20000229' '2359'",
        "row T 3 20 'gamma' 0 'third' - -",
        "table U A:5:4 B:5:4 C:15:11",
        "row U 1 1 'one'",
        "row U 2 20 'two'",
        "row U 3 30 'three'",
        "table V X:5:4 Y:5:4",
        "row V 1 2",
        "row V 3 4",
    };
    testhost::Reset();
    std::string error;
    for (const char* line : kDirectives) ApplyHostDirective(line, error);
    testhost::FindTable("V")->uniqueItems = {"X"};
}

// A memo parameter table with two text parameters.
inline std::uintptr_t SweepMemoParameters() {
    static std::vector<unsigned char> storage;
    if (storage.empty()) {
        constexpr std::size_t kTable = 2 + 8 * 2;
        constexpr std::size_t kBlock = OBHOST_MEMO_HEADER_SIZE + 6;
        storage.assign(kTable + 2 * kBlock, 0);
        for (int n = 0; n < 2; ++n) {
            unsigned char* block = storage.data() + kTable + n * kBlock;
            std::uint32_t length = 6;
            std::memcpy(block + 54, &length, 4);
            std::memcpy(block + OBHOST_MEMO_HEADER_SIZE, n == 0 ? "photo1" : "photo2", 6);
            std::uintptr_t address = reinterpret_cast<std::uintptr_t>(block);
            std::memcpy(storage.data() + 2 + 8 * n, &address, 8);
        }
    }
    return reinterpret_cast<std::uintptr_t>(storage.data());
}

// What a caller saw of one statement.
struct SweepOutcome {
    int rc = 0;
    bool handle = false;
    std::string error;
    std::string state;
    int compiled = 0;
    std::string rows;    // column description, then one line per row with its memo lengths
    std::string tables;  // the host's records afterwards

    bool operator==(const SweepOutcome& o) const {
        return rc == o.rc && handle == o.handle && error == o.error && state == o.state &&
               compiled == o.compiled && rows == o.rows && tables == o.tables;
    }
};

inline std::string DescribeOutcome(const SweepOutcome& o) {
    return "rc " + std::to_string(o.rc) + " [" + o.state + "] " + o.error + "\n" + o.rows + o.tables;
}

// For GoogleTest's messages.
inline void PrintTo(const SweepOutcome& o, std::ostream* os) { *os << "\n" << DescribeOutcome(o); }

// Every record of the sweep tables, as bytes in hex (deleted ones as "-").
inline std::string HostTables() {
    std::string out;
    static const char hex[] = "0123456789abcdef";
    for (const char* name : {"T", "U", "V"}) {
        const testhost::Table* t = testhost::FindTable(name);
        if (t == nullptr) continue;
        out += name;
        for (const auto& record : t->records) {
            out += ' ';
            if (!record) {
                out += '-';
                continue;
            }
            for (std::uint8_t b : *record) {
                out += hex[b >> 4];
                out += hex[b & 15];
            }
        }
        out += '\n';
    }
    return out;
}

// Hooks around the engine's calls: `during` is called with true and the
// call's name before each exported call and with false after it (the sweeps
// arm their failures there).
template <typename Hook>
SweepOutcome RunSweepStatement(const char* statement, Hook&& during) {
    static std::vector<char> info(1 << 16), line(1 << 16);
    static char text[255], state[6];
    SweepOutcome out;
    auto* execInfo = reinterpret_cast<ExecInfo*>(info.data());
    std::memset(execInfo, 0, 16);
    std::uintptr_t handle = 0;
    during(true, "QXSQLExecReq");
    std::int16_t rc = QXSQLExecReq(&handle, statement, execInfo, 1, SweepMemoParameters());
    during(false, "QXSQLExecReq");
    out.rc = rc;
    out.handle = handle != 0;
    out.compiled = execInfo->compiled;
    if (handle != 0) {
        QXSQLErreur(handle, text, state);
        out.error = text;
        out.state = state;
        if (rc == 0 && execInfo->columnCount != 0) {
            out.rows = execInfo->columnText;
            out.rows += "\n";
            for (;;) {
                during(true, "QXSQLFetchNext");
                std::int16_t fetched = QXSQLFetchNext(handle);
                during(false, "QXSQLFetchNext");
                if (fetched == 0) {
                    during(true, "QXSQLValLine");
                    QXSQLValLine(handle, "|", line.data());
                    during(false, "QXSQLValLine");
                }
                std::uintptr_t memo[2] = {0, 0};
                std::int16_t memoAnswer[2] = {0, 0};
                for (std::uint16_t c = 0; fetched == 0 && c < 2; ++c) {
                    during(true, "QXSQLGetLongData");
                    memoAnswer[c] = QXSQLGetLongData(handle, static_cast<std::uint16_t>(c + 1), &memo[c]);
                    during(false, "QXSQLGetLongData");
                }
                if (fetched != 0) break;
                out.rows += line.data();
                for (int c = 0; c < 2; ++c) out.rows += " " + std::to_string(memoAnswer[c]) + (memo[c] != 0 ? "+" : "");
                out.rows += "\n";
            }
        }
        during(true, "QXSQLFinRequete");
        std::int32_t released = QXSQLFinRequete(handle);
        during(false, "QXSQLFinRequete");
        if (released != 0) out.error += " <release failed>";
    }
    out.tables = HostTables();
    return out;
}

}  // namespace qxtest
