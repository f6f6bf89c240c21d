// TestHost: a scriptable host runtime for the engine's tests.
//
// It exports the six host callbacks from libqxtesthost.so and lets a test
// describe tables (items of any field type, record sizes, dictionary
// oddities), fill records (deleted ones too), arm failure answers, and read
// back a log of every call the engine made.  Records are kept in memory.
// Tests start the engine with ModuleTable(), which names this library as
// the host module.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "obhost.h"

#define TESTHOST_API __attribute__((visibility("default")))

namespace testhost {

struct Item {
    std::string name;
    std::uint16_t type = 0;
    std::uint16_t size = 0;
    std::int16_t arrayCount = 1;
    std::uint8_t keyKind = 0;
    std::uint16_t compositeKey = 0;
};

struct Table {
    std::string name;
    std::vector<Item> items;
    std::uint16_t recordSize = 0;        // fileInfo answered (1 + item bytes unless overridden)
    std::int16_t itemCountOverride = 0;  // when not 0, answered as itemCount
    std::vector<std::optional<std::vector<std::uint8_t>>> records;  // record n at n - 1; empty: deleted
    std::vector<std::string> uniqueItems;  // items whose bytes must be unique (duplicate answers)
    std::map<std::uint32_t, std::vector<std::uint8_t>> memos;      // memo reference -> data
    std::int32_t lastRead = 0;
};

struct Faults {
    std::int16_t readStatus = 0;         // status answered by reads (0: normal)
    std::int32_t readStatusAtRecord = 0; // only for this record number (0: every read)
    std::int16_t writeStatus = 0;        // status answered by record writes
    bool writeDuplicate = false;         // answer every record write as a duplicate
    std::int16_t memoWriteStatus = 0;    // status after memo writes
    bool memoReadFails = false;          // OGETMEMO answers failure
    int describeRefuseAt = -1;           // OBECRITFICHIER operation refused (-1: none)
    std::string describeMessage = "refused";
};

struct MemoWrite {
    std::uint16_t memoNumber;
    std::uint32_t length;
    std::vector<std::uint8_t> data;  // copy of the bytes at memoAddress (empty when 0)
    bool nullAddress;
};

// Starts over: no tables, no faults, empty log.
TESTHOST_API void Reset();
// Adds a table; its record size is 1 + the item bytes unless recordSize is set.
TESTHOST_API Table& AddTable(const std::string& name, const std::vector<Item>& items, std::uint16_t recordSize = 0);
TESTHOST_API Table* FindTable(const std::string& name);
// Appends a record (padded or cut to the record size); returns its number.
TESTHOST_API std::uint32_t AddRecord(const std::string& table, const std::vector<std::uint8_t>& bytes);
TESTHOST_API void DeleteRecord(const std::string& table, std::uint32_t number);
// Stores a memo and returns its reference.
TESTHOST_API std::uint32_t AddMemo(const std::string& table, const std::vector<std::uint8_t>& data);
// Offset of an item in the record (items from offset 1, arrays counted whole).
TESTHOST_API std::uint16_t ItemOffset(const std::string& table, const std::string& item);

TESTHOST_API Faults& GetFaults();
// True while one of the six callbacks runs: lets a test tell the host's own
// allocations from the engine's.
TESTHOST_API bool InCallback();
// Every call as one line ("OLIREENREG T 3 L", ...), in order.
TESTHOST_API std::vector<std::string>& Log();

// Module table naming this library as the host module (index 0 and 7).
TESTHOST_API const ModuleNameTable* ModuleTable();

}  // namespace testhost
