// HostCallbacks: the six functions the SQL engine resolves by name in
// libobhost32.so, and the optional seventh, OTRANSACTION, over the
// databases of the DatabaseRegistry.
//
// Each callback finds the database by its host context, the file by name,
// and leaves its answer in the exchange area it was given: statuses and
// flags in HostRecordBlock, dictionary answers in DictionaryExchange,
// refusals in FileDescription.  No exception leaves a callback: a failed
// allocation becomes a failure status.  Addresses handed back (records,
// memos) belong to the library and stay valid until the next call that
// writes to the same file (records) or the next OGETMEMO (memos).
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "host/Database.h"
#include "host/DatabaseRegistry.h"
#include "host/FieldTypes.h"
#include "host/TextCopy.h"
#include "obhost.h"
#include "qxhost.h"

#define QXHOST_CALLBACK extern "C" __attribute__((visibility("default")))

using qxhost::Database;
using qxhost::DatabaseRegistry;
using qxhost::Table;
using Step = qxhost::Transaction::Step;

namespace {

// A write call made outside any statement of the engine is a statement of its own: whole
// or undone, and committed at once outside a transaction.
class CallStatement {
public:
    explicit CallStatement(Database* db) {
        if (db == nullptr || db->Changes().InStatement()) return;
        std::string error;
        if (db->Step(Step::kBeginWritingStatement, error) == QXHOST_STATUS_OK) db_ = db;
        else failed_ = true;
    }
    ~CallStatement() { End(QXHOST_STATUS_IO); }
    CallStatement(const CallStatement&) = delete;
    CallStatement& operator=(const CallStatement&) = delete;
    bool Failed() const { return failed_; }
    // Keeps the changes when `status` is 0, else undoes them; the status that results.
    std::int16_t End(std::int16_t status) {
        if (db_ == nullptr) return status;
        std::string error;
        std::int16_t ended = db_->Step(status == QXHOST_STATUS_OK ? Step::kEndStatement : Step::kUndoStatement, error);
        db_ = nullptr;
        return status == QXHOST_STATUS_OK ? ended : status;
    }

private:
    Database* db_ = nullptr;
    bool failed_ = false;
};

Table* FindTable(std::uint32_t context, const char* fileName, Database** db = nullptr) {
    Database* database = DatabaseRegistry::Find(context);
    if (db) *db = database;
    return database ? database->FindTable(fileName) : nullptr;
}

std::string UpperKeyName(const char* keyName, std::size_t capacity) {
    std::string name(keyName, ::strnlen(keyName, capacity));
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

void AnswerItem(const Table& table, std::uint16_t index, DictionaryExchange& x) {
    const qxhost::FileDef& def = table.Def();
    x.itemSize = 0;
    x.itemType = 0;
    x.itemCountInArray = 1;
    x.keyKind = 0;
    x.compositeKey = 0;
    std::memset(x.itemName, 0, sizeof x.itemName);
    const std::string* name = nullptr;
    if (index < def.items.size()) {
        const qxhost::ItemDef& item = def.items[index];
        x.itemSize = item.size;
        x.itemType = item.type;
        x.itemCountInArray = static_cast<std::int16_t>(item.arrayCount);
        x.keyKind = static_cast<std::uint8_t>(item.key);
        name = &item.name;
    } else if (index < def.items.size() + def.keys.size()) {
        const qxhost::KeyDef& key = def.keys[index - def.items.size()];
        x.keyKind = static_cast<std::uint8_t>(key.mode);
        x.compositeKey = 1;
        name = &key.name;
    }
    if (name) std::memcpy(x.itemName, name->data(), name->size());  // at most 10 bytes
}

// Copies `text` into the engine's buffer at `address` (at most `capacity` bytes).
void LendText(const std::string& text, std::uint64_t address, std::uint32_t capacity, std::uint32_t& length) {
    length = static_cast<std::uint32_t>(text.size());
    auto* buffer = reinterpret_cast<char*>(static_cast<std::uintptr_t>(address));
    if (buffer != nullptr) std::memcpy(buffer, text.data(), text.size() < capacity ? text.size() : capacity);
}

// OGETINFOSOBD operation 2: the view named in the area, into the engine's buffers.
std::int32_t AnswerView(std::uint32_t hostContext, ViewExchange& v) {
    Database* db = DatabaseRegistry::Find(hostContext);
    if (!db) return -1;
    db->Refresh();  // perhaps made by another connection since this one's last lock
    int index = db->GetAnalysis().FindView(std::string(v.viewName, ::strnlen(v.viewName, sizeof v.viewName)));
    v.answer = OBHOST_VIEW_NONE;
    if (index < 0) return 0;
    const qxhost::ViewDef& view = db->GetAnalysis().Views()[static_cast<std::size_t>(index)];
    std::string columns;
    for (const std::string& column : view.columns) columns += (columns.empty() ? "" : ",") + column;
    std::uint32_t length = 0;
    LendText(columns, v.columns, v.columnsCapacity, length);
    v.columnsLength = length;
    LendText(view.text, v.text, v.textCapacity, length);
    v.textLength = length;
    v.answer = OBHOST_VIEW_FOUND;
    return 0;
}

}  // namespace

QXHOST_CALLBACK std::int32_t OGETINFOSOBD(std::uint32_t hostContext, std::int32_t operation, void* area) {
    if (!area) return -1;
    if (operation == OBHOST_INFO_VIEW) {
        try {
            return AnswerView(hostContext, *static_cast<ViewExchange*>(area));
        } catch (...) {
            return -1;
        }
    }
    auto& x = *static_cast<DictionaryExchange*>(area);
    char name[sizeof x.fileName + 1] = {};
    std::memcpy(name, x.fileName, sizeof x.fileName);
    try {
        Table* table = FindTable(hostContext, name);
        if (operation == 0) {
            Database* db = table ? nullptr : DatabaseRegistry::Find(hostContext);
            if (db) {  // perhaps made by another connection since this one's last lock
                db->Refresh();
                table = db->FindTable(name);
            }
            if (!table) return 0;  // itemCount stays as the engine set it: unknown file
            const qxhost::FileDef& def = table->Def();
            x.itemCount = static_cast<std::int16_t>(def.items.size() + def.keys.size());
            x.fileInfo = static_cast<std::uint16_t>(def.recordSize);
            return 0;
        }
        if (operation == 1) {
            if (table) {
                AnswerItem(*table, x.itemIndex, x);
            } else {
                std::memset(x.itemName, 0, sizeof x.itemName);
            }
            return 0;
        }
    } catch (...) {
        return -1;
    }
    return -1;
}

QXHOST_CALLBACK std::int32_t OLIREENREG(std::uint32_t hostContext, const char* fileName, std::int32_t recordNumber,
                                        void* exchange) {
    if (!exchange) return -1;
    auto& b = *static_cast<HostRecordBlock*>(exchange);
    b.outOfFile = 0;
    b.found = 0;
    Table* table = FindTable(hostContext, fileName);
    if (!table) {
        b.status = QXHOST_STATUS_UNKNOWN;
        return QXHOST_STATUS_UNKNOWN;
    }
    Table::ReadResult r;
    char command = b.command;
    if (command == 'L' || command == 'l') {
        table->ReadNumber(recordNumber, r);
    } else if (command == 'P' || command == 'p' || command == 'S' || command == 's') {
        try {
            table->ReadKeyed(command == 'P' || command == 'p', UpperKeyName(b.keyName, sizeof b.keyName), r);
        } catch (...) {
            r = Table::ReadResult();
            r.status = QXHOST_STATUS_IO;
        }
    } else {
        r.status = QXHOST_STATUS_REQUEST;
    }
    if (r.status != QXHOST_STATUS_OK)
        if (Database* db = DatabaseRegistry::Find(hostContext)) db->lastError = r.error ? *r.error : std::string();
    b.status = r.status;
    b.outOfFile = r.outOfFile ? 1 : 0;
    b.found = r.found ? 1 : 0;
    if (r.record) {
        b.recordLength = static_cast<std::int16_t>(table->Def().recordSize);
        b.recordAddress = reinterpret_cast<std::uintptr_t>(r.record);
        b.recordNumber = r.number;
    }
    return r.status;
}

QXHOST_CALLBACK std::int32_t OECRIREENREG(std::uint32_t hostContext, const char* fileName, std::int32_t recordNumber,
                                          void* exchange) {
    if (!exchange) return -1;
    auto& b = *static_cast<HostRecordBlock*>(exchange);
    b.duplicate = 0;
    Database* db = nullptr;
    Table* table = FindTable(hostContext, fileName, &db);
    if (db) {
        db->lastWrittenTable = nullptr;
        db->lastWrittenRecord = 0;
    }
    if (!table) {
        b.status = QXHOST_STATUS_UNKNOWN;
        return QXHOST_STATUS_UNKNOWN;
    }
    std::int16_t status = QXHOST_STATUS_REQUEST;
    bool duplicate = false;
    std::string error;
    CallStatement statement(db);
    try {
        if (statement.Failed()) throw std::runtime_error("no statement");
        const auto* data = reinterpret_cast<const unsigned char*>(static_cast<std::uintptr_t>(b.recordAddress));
        std::int16_t length = b.recordLength;
        std::uint32_t written = 0;
        if (recordNumber == 0 && length > 0) {
            status = table->Add(data, static_cast<std::uint32_t>(length), written, duplicate, error);
        } else if (recordNumber > 0 && length > 0) {
            written = static_cast<std::uint32_t>(recordNumber);
            status = table->Rewrite(written, data, static_cast<std::uint32_t>(length), duplicate, error);
        } else if (recordNumber == -1) {
            status = table->DeleteLastRead(error);
        }
        if (status == QXHOST_STATUS_OK && written != 0) {
            db->lastWrittenTable = table;
            db->lastWrittenRecord = written;
            b.recordNumber = written;
        }
        status = statement.End(status);
        if (status == QXHOST_STATUS_OK) ++db->changeCount;
    } catch (...) {
        status = QXHOST_STATUS_IO;
    }
    status = statement.End(status);
    if (status != QXHOST_STATUS_OK) {
        db->lastWrittenTable = nullptr;
        db->lastWrittenRecord = 0;
        db->lastError = error;
    }
    b.status = status;
    b.duplicate = duplicate ? 1 : 0;
    return status;
}

QXHOST_CALLBACK std::int32_t OECRIREMEMO(std::uint32_t hostContext, std::uint32_t length, void* exchange) {
    if (!exchange) return -1;
    auto& b = *static_cast<HostRecordBlock*>(exchange);
    // A failure stays in `status` until the next record write, so that the engine, which
    // tests it after the last memo, sees a failure of any memo (or of the record itself).
    Database* db = DatabaseRegistry::Find(hostContext);
    std::int16_t status = QXHOST_STATUS_MEMO;
    if (db && db->lastWrittenTable) {
        const auto* data = reinterpret_cast<const unsigned char*>(static_cast<std::uintptr_t>(b.memoAddress));
        std::string error;
        CallStatement statement(db);
        try {
            if (statement.Failed()) throw std::runtime_error("no statement");
            status = db->lastWrittenTable->WriteMemo(db->lastWrittenRecord, b.memoNumber, data, data ? length : 0,
                                                     error);
        } catch (...) {
            status = QXHOST_STATUS_IO;
        }
        status = statement.End(status);
        if (status != QXHOST_STATUS_OK) db->lastError = error;
    }
    if (status != QXHOST_STATUS_OK && b.status == QXHOST_STATUS_OK) b.status = status;
    return status;
}

QXHOST_CALLBACK std::int16_t OGETMEMO(std::uint32_t hostContext, const char* fileName, std::uint32_t memoReference,
                                      std::int32_t kind, std::uintptr_t* valueOut) {
    if (!valueOut) return QXHOST_STATUS_REQUEST;
    *valueOut = 0;
    Database* db = nullptr;
    Table* table = FindTable(hostContext, fileName, &db);
    if (!table) return QXHOST_STATUS_UNKNOWN;
    if (memoReference == 0 || (kind != qxhost::FieldTypes::kTextMemo && kind != qxhost::FieldTypes::kBinaryMemo))
        return QXHOST_STATUS_REQUEST;
    try {
        std::uint16_t stored = 0;
        std::vector<unsigned char> data;
        if (!table->ReadMemo(memoReference, stored, data, db->lastError)) return QXHOST_STATUS_IO;
        std::vector<unsigned char>& out = db->memoBuffer;
        // A binary memo is stored as a whole memo value block; its data starts after the header.
        std::size_t dataStart = 0;
        MemoValueBlock header;
        if (stored == qxhost::FieldTypes::kBinaryMemo && data.size() >= sizeof header) {
            std::memcpy(&header, data.data(), sizeof header);
            dataStart = OBHOST_MEMO_HEADER_SIZE + header.headerExtra;
            if (dataStart > data.size()) dataStart = data.size();
        }
        if (kind == qxhost::FieldTypes::kTextMemo) {
            std::size_t length = data.size() - dataStart;
            if (length > 0xFFFF) length = 0xFFFF;
            auto length16 = static_cast<std::uint16_t>(length);
            out.assign(2 + length + 1, 0);
            std::memcpy(out.data(), &length16, 2);
            if (length > 0) std::memcpy(out.data() + 2, data.data() + dataStart, length);
            *valueOut = reinterpret_cast<std::uintptr_t>(out.data() + 2);
        } else {
            if (stored == qxhost::FieldTypes::kBinaryMemo) {
                out = std::move(data);
            } else {
                std::memset(&header, 0, sizeof header);
                header.dataOffset = OBHOST_MEMO_HEADER_SIZE;
                header.dataLength = static_cast<std::uint32_t>(data.size());
                out.assign(OBHOST_MEMO_HEADER_SIZE, 0);
                std::memcpy(out.data(), &header, sizeof header);
                out.insert(out.end(), data.begin(), data.end());
            }
            *valueOut = reinterpret_cast<std::uintptr_t>(out.data());
        }
    } catch (...) {
        return QXHOST_STATUS_IO;
    }
    return 0;
}

QXHOST_CALLBACK std::int32_t OBECRITFICHIER(std::uint32_t hostContext, std::int32_t operation, void* description) {
    if (!description) return -1;
    auto& d = *static_cast<FileDescription*>(description);
    std::string message;
    std::int16_t result = 1;
    try {
        Database* db = DatabaseRegistry::Find(hostContext);
        if (!db) message = "Unknown database context " + std::to_string(hostContext);
        else result = db->Schema().Apply(*db, operation, d, message);
    } catch (...) {
        result = 2;
        message = "Out of memory";
    }
    d.result = result;
    if (result > 0) qxhost::CopyText(d.message, sizeof d.message, message);
    return result;
}

QXHOST_CALLBACK std::int32_t OTRANSACTION(std::uint32_t hostContext, std::int32_t operation) {
    Database* db = DatabaseRegistry::Find(hostContext);
    if (db == nullptr) return QXHOST_STATUS_UNKNOWN;
    if (operation == OBHOST_TX_SCHEMA_GENERATION) return db->SchemaGeneration();
    if (operation < static_cast<std::int32_t>(Step::kBeginStatement) ||
        operation > static_cast<std::int32_t>(Step::kBeginWritingStatement))
        return QXHOST_STATUS_REQUEST;
    std::string error;
    try {
        std::int16_t status = db->Step(static_cast<Step>(operation), error);
        if (status != QXHOST_STATUS_OK) db->lastError = error;
        return status;
    } catch (...) {
        return QXHOST_STATUS_IO;
    }
}

QXHOST_CALLBACK std::int32_t OMESSAGEERREUR(std::uint32_t hostContext, char* text, std::uint32_t size) {
    Database* db = DatabaseRegistry::Find(hostContext);
    if (db == nullptr || db->lastError.empty() || text == nullptr || size == 0) return 0;
    qxhost::CopyText(text, size, db->lastError);
    db->lastError.clear();
    return static_cast<std::int32_t>(::strnlen(text, size));
}
