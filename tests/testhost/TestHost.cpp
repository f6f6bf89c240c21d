#include "tests/testhost/TestHost.h"

#include <cstring>

namespace testhost {
namespace {

struct State {
    std::map<std::string, Table> tables;
    Faults faults;
    std::vector<std::string> log;
    std::uint32_t nextMemo = 1;
    std::string lastWrittenTable;
    std::int32_t lastWrittenRecord = 0;
    std::vector<std::uint8_t> readBuffer;
    std::vector<std::uint8_t> memoBuffer;  // kind 12: 2 length bytes + text; kind 22: value block
};

State& S() {
    static State state;
    return state;
}

int callDepth = 0;

// Marks the time spent inside a callback (see InCallback).
struct CallScope {
    CallScope() { ++callDepth; }
    ~CallScope() { --callDepth; }
};

std::uint16_t RecordSizeOf(const Table& t) {
    if (t.recordSize != 0) return t.recordSize;
    std::uint32_t size = 1;
    for (const Item& item : t.items) size += item.size * (item.arrayCount > 1 ? item.arrayCount : 1);
    return static_cast<std::uint16_t>(size);
}

HostRecordBlock* Block(void* exchange) { return static_cast<HostRecordBlock*>(exchange); }

bool Duplicates(const Table& t, const std::vector<std::uint8_t>& record, std::int32_t except) {
    for (const std::string& name : t.uniqueItems) {
        std::uint16_t offset = ItemOffset(t.name, name);
        std::uint16_t size = 0;
        for (const Item& item : t.items)
            if (item.name == name) size = item.size;
        for (std::size_t i = 0; i < t.records.size(); ++i) {
            if (!t.records[i] || static_cast<std::int32_t>(i + 1) == except) continue;
            if (std::memcmp(t.records[i]->data() + offset, record.data() + offset, size) == 0) return true;
        }
    }
    return false;
}

}  // namespace

void Reset() { S() = State(); }

Table& AddTable(const std::string& name, const std::vector<Item>& items, std::uint16_t recordSize) {
    Table& t = S().tables[name];
    t = Table();
    t.name = name;
    t.items = items;
    t.recordSize = recordSize;
    t.recordSize = RecordSizeOf(t);
    return t;
}

Table* FindTable(const std::string& name) {
    auto it = S().tables.find(name);
    return it == S().tables.end() ? nullptr : &it->second;
}

std::uint32_t AddRecord(const std::string& table, const std::vector<std::uint8_t>& bytes) {
    Table& t = S().tables.at(table);
    std::vector<std::uint8_t> record(bytes);
    record.resize(t.recordSize, 0);
    t.records.emplace_back(record);
    return static_cast<std::uint32_t>(t.records.size());
}

void DeleteRecord(const std::string& table, std::uint32_t number) {
    Table& t = S().tables.at(table);
    if (number >= 1 && number <= t.records.size()) t.records[number - 1].reset();
}

std::uint32_t AddMemo(const std::string& table, const std::vector<std::uint8_t>& data) {
    std::uint32_t reference = S().nextMemo++;
    S().tables.at(table).memos[reference] = data;
    return reference;
}

std::uint16_t ItemOffset(const std::string& table, const std::string& item) {
    const Table& t = S().tables.at(table);
    std::uint32_t offset = 1;
    for (const Item& i : t.items) {
        if (i.name == item) return static_cast<std::uint16_t>(offset);
        offset += i.size * (i.arrayCount > 1 ? i.arrayCount : 1);
    }
    return 0;
}

Faults& GetFaults() { return S().faults; }
bool InCallback() { return callDepth > 0; }
std::vector<std::string>& Log() { return S().log; }

const ModuleNameTable* ModuleTable() {
    static ModuleNameEntry entries[8];
    static ModuleNameTable table;
    const char* names[8] = {"libqxtesthost.so", "OBQXENG.DLL", "OBDBASE.DLL", "OBSQLENG.DLL",
                            "OBCOMPIL.DLL",     "OBIMAGE.DLL", "OBFILES.DLL", "libqxtesthost.so"};
    for (int i = 0; i < 8; ++i) std::strncpy(entries[i], names[i], sizeof entries[i] - 1);
    table.entries = entries;
    table.lastIndex = 7;
    return &table;
}

}  // namespace testhost

using namespace testhost;

extern "C" TESTHOST_API int32_t OGETINFOSOBD(uint32_t /*hostContext*/, int32_t operation, void* area) {
    CallScope scope;
    auto* info = static_cast<DictionaryExchange*>(area);
    char name[10] = {};
    std::memcpy(name, info->fileName, 9);
    Table* t = FindTable(name);
    S().log.push_back("OGETINFOSOBD " + std::to_string(operation) + " " + name +
                      (operation == 1 ? " " + std::to_string(info->itemIndex) : ""));
    if (t == nullptr) return 0;
    if (operation == 0) {
        info->itemCount = t->itemCountOverride != 0 ? t->itemCountOverride : static_cast<int16_t>(t->items.size());
        info->fileInfo = t->recordSize;
    } else if (operation == 1) {
        std::uint16_t index = info->itemIndex;
        std::memset(info->itemName, 0, sizeof info->itemName);
        if (index < t->items.size()) {
            const Item& item = t->items[index];
            info->itemSize = item.size;
            info->itemType = item.type;
            info->itemCountInArray = item.arrayCount;
            info->keyKind = item.keyKind;
            info->compositeKey = item.compositeKey;
            std::strncpy(info->itemName, item.name.c_str(), sizeof info->itemName - 1);
        }
    }
    return 0;
}

extern "C" TESTHOST_API int32_t OLIREENREG(uint32_t /*hostContext*/, const char* fileName, int32_t recordNumber,
                                           void* exchange) {
    CallScope scope;
    HostRecordBlock* b = Block(exchange);
    S().log.push_back(std::string("OLIREENREG ") + fileName + " " + std::to_string(recordNumber) + " " +
                      b->command);
    b->outOfFile = 0;
    b->found = 0;
    b->status = 0;
    Table* t = FindTable(fileName);
    const Faults& f = S().faults;
    if (f.readStatus != 0 && (f.readStatusAtRecord == 0 || f.readStatusAtRecord == recordNumber)) {
        b->status = f.readStatus;
        return 0;
    }
    if (t == nullptr || recordNumber < 1 || static_cast<std::size_t>(recordNumber) > t->records.size()) {
        b->outOfFile = 1;
        return 0;
    }
    const auto& record = t->records[recordNumber - 1];
    if (!record) return 0;  // deleted: status 0, neither flag
    b->found = 1;
    S().readBuffer = *record;
    b->recordLength = static_cast<int16_t>(S().readBuffer.size());
    b->recordAddress = reinterpret_cast<std::uintptr_t>(S().readBuffer.data());
    b->recordNumber = static_cast<uint32_t>(recordNumber);
    t->lastRead = recordNumber;
    return 0;
}

extern "C" TESTHOST_API int32_t OECRIREENREG(uint32_t /*hostContext*/, const char* fileName, int32_t recordNumber,
                                             void* exchange) {
    CallScope scope;
    HostRecordBlock* b = Block(exchange);
    S().log.push_back(std::string("OECRIREENREG ") + fileName + " " + std::to_string(recordNumber));
    b->status = 0;
    b->duplicate = 0;
    Table* t = FindTable(fileName);
    const Faults& f = S().faults;
    if (f.writeStatus != 0 || t == nullptr) {
        b->status = f.writeStatus != 0 ? f.writeStatus : 5;
        return 0;
    }
    if (f.writeDuplicate) {
        b->status = 1;
        b->duplicate = 1;
        return 0;
    }
    std::vector<std::uint8_t> record(reinterpret_cast<const std::uint8_t*>(b->recordAddress),
                                     reinterpret_cast<const std::uint8_t*>(b->recordAddress) + b->recordLength);
    record.resize(t->recordSize, 0);
    if (recordNumber == -1) {
        if (t->lastRead >= 1 && static_cast<std::size_t>(t->lastRead) <= t->records.size())
            t->records[t->lastRead - 1].reset();
        return 0;
    }
    if (Duplicates(*t, record, recordNumber)) {
        b->status = 1;
        b->duplicate = 1;
        return 0;
    }
    if (recordNumber == 0) {
        t->records.emplace_back(record);
        recordNumber = static_cast<int32_t>(t->records.size());
    } else if (static_cast<std::size_t>(recordNumber) <= t->records.size()) {
        t->records[recordNumber - 1] = record;
    } else {
        b->status = 5;
        return 0;
    }
    S().lastWrittenTable = fileName;
    S().lastWrittenRecord = recordNumber;
    return 0;
}

extern "C" TESTHOST_API int32_t OBECRITFICHIER(uint32_t /*hostContext*/, int32_t operation, void* description) {
    CallScope scope;
    auto* d = static_cast<FileDescription*>(description);
    S().log.push_back("OBECRITFICHIER " + std::to_string(operation));
    d->result = 0;
    if (S().faults.describeRefuseAt == operation) {
        d->result = 1;
        std::strncpy(d->message, S().faults.describeMessage.c_str(), sizeof d->message - 1);
    }
    return 0;
}

extern "C" TESTHOST_API int16_t OGETMEMO(uint32_t /*hostContext*/, const char* fileName, uint32_t memoReference,
                                         int32_t kind, uintptr_t* valueOut) {
    CallScope scope;
    S().log.push_back(std::string("OGETMEMO ") + fileName + " " + std::to_string(memoReference) + " " +
                      std::to_string(kind));
    Table* t = FindTable(fileName);
    if (S().faults.memoReadFails || t == nullptr) return 1;
    auto it = t->memos.find(memoReference);
    if (it == t->memos.end()) return 1;
    const std::vector<std::uint8_t>& data = it->second;
    std::vector<std::uint8_t>& buffer = S().memoBuffer;
    if (kind == 12) {
        buffer.assign(2 + data.size() + 1, 0);
        std::uint16_t length = static_cast<std::uint16_t>(data.size());
        std::memcpy(buffer.data(), &length, 2);
        if (!data.empty()) std::memcpy(buffer.data() + 2, data.data(), data.size());
        *valueOut = reinterpret_cast<uintptr_t>(buffer.data() + 2);
    } else {
        buffer.assign(OBHOST_MEMO_HEADER_SIZE + data.size(), 0);
        auto* block = reinterpret_cast<MemoValueBlock*>(buffer.data());
        block->dataLength = static_cast<uint32_t>(data.size());
        block->headerExtra = 0;
        block->dataOffset = OBHOST_MEMO_HEADER_SIZE;
        if (!data.empty()) std::memcpy(buffer.data() + OBHOST_MEMO_HEADER_SIZE, data.data(), data.size());
        *valueOut = reinterpret_cast<uintptr_t>(buffer.data());
    }
    return 0;
}

extern "C" TESTHOST_API int32_t OECRIREMEMO(uint32_t /*hostContext*/, uint32_t length, void* exchange) {
    CallScope scope;
    HostRecordBlock* b = Block(exchange);
    S().log.push_back("OECRIREMEMO " + std::to_string(length) + " " + std::to_string(b->memoNumber));
    MemoWrite write{b->memoNumber, length, {}, b->memoAddress == 0};
    if (b->memoAddress != 0) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(b->memoAddress);
        write.data.assign(data, data + length);
    }
    b->status = S().faults.memoWriteStatus;
    // Store the memo and point the record's memo slot at it.
    Table* t = FindTable(S().lastWrittenTable);
    if (t == nullptr || S().lastWrittenRecord < 1) return 0;
    auto& record = t->records[S().lastWrittenRecord - 1];
    if (!record) return 0;
    std::uint32_t offset = 1;
    int memoIndex = 0;
    for (const Item& item : t->items) {
        if (item.type == 12 || item.type == 22) {
            if (++memoIndex == b->memoNumber) {
                std::uint32_t reference = 0;
                if (!write.nullAddress) {
                    reference = S().nextMemo++;
                    std::vector<std::uint8_t> data = write.data;
                    // A binary memo arrives as a memo value block: keep its data.
                    if (item.type == 22 && data.size() >= OBHOST_MEMO_HEADER_SIZE) {
                        MemoValueBlock header;
                        std::memcpy(&header, data.data(), sizeof header);
                        std::size_t start = OBHOST_MEMO_HEADER_SIZE + header.headerExtra;
                        std::size_t end = start + header.dataLength;
                        data = end <= data.size() ? std::vector<std::uint8_t>(data.begin() + start, data.begin() + end)
                                                  : std::vector<std::uint8_t>();
                    }
                    t->memos[reference] = data;
                }
                std::memcpy(record->data() + offset, &reference, 4);
                break;
            }
        }
        offset += item.size * (item.arrayCount > 1 ? item.arrayCount : 1);
    }
    return 0;
}
