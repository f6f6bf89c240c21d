// QueryDictionary: the tables and items of one statement, and the loading of
// their descriptions from the host's dictionary.
//
// Interface routines:
//   FindOrAddTable    - the parser's table and correlation names
//   NoteItemName      - the parser's item names
//   LoadDescriptions  - one pass over the host dictionary after parsing
// Resolving names against the loaded descriptors is left to the transformer
// (FindTable, FindItemInTables in TableRef.h); reading records to execution.
//
// Dictionary answers are checked before use: an item name is read only up to
// the end of its field, a negative item or array count counts as none, and
// the items of a table must lie inside its record (a record size that the
// items overrun stops the table with message 4241), so no descriptor can
// point outside a record buffer.  A table name longer than 8 characters
// cannot be named in the host's 9-byte file name field; it is not asked
// about (and not cut, which could describe another file) but reported as
// unknown with message 4243.
#include "catalog/QueryDictionary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"

namespace qx {
namespace {

constexpr std::int32_t kTableQuestion = 0;  // OGETINFOSOBD operation: describe a file
constexpr std::int32_t kItemQuestion = 1;   // OGETINFOSOBD operation: describe one item
constexpr std::uint16_t kBinaryMemoType = 22;

// Appends `entry` to one of the dictionary's descriptor lists: false (and
// the entry dropped) when the list holds kMaxItems already or cannot grow.
template <typename Entry>
bool FileItem(std::vector<Entry>& list, Entry entry) noexcept {
    if (list.size() >= QueryDictionary::kMaxItems) return false;
    try {
        list.push_back(std::move(entry));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

QueryDictionary::QueryDictionary(std::uint16_t context, std::uintptr_t memoTable)
    : hostContext(context), memoValues(memoTable) {}

QueryDictionary::~QueryDictionary() = default;

void QueryDictionary::RemoveTable(const TableRef* table) {
    auto found = std::find_if(tables.begin(), tables.end(),
                              [table](const std::unique_ptr<TableRef>& t) { return t.get() == table; });
    if (found != tables.end()) tables.erase(found);
}

TableRef* QueryDictionary::FindOrAddTable(const char* name, TableRef* aliasOf) {
    bool named = name != nullptr && name[0] != '\0';
    if (named) {
        if (TableRef* existing = FindTable(tables, name)) return existing;
    }
    if (tables.size() >= kMaxTables) return nullptr;
    try {
        tables.push_back(std::make_unique<TableRef>(this, named ? name : nullptr, nullptr));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    TableRef* table = tables.back().get();
    table->aliasOf = aliasOf;
    if (!named) table->unnamed = 1;
    return table;
}

Status QueryDictionary::AddNames(const StatementNames& names) {
    std::vector<TableRef*> refs;
    refs.reserve(names.tables.size());
    for (const StatementNames::Table& t : names.tables) {
        TableRef* aliasOf = t.aliasOf < refs.size() ? refs[t.aliasOf] : nullptr;
        TableRef* ref = FindOrAddTable(t.name.c_str(), aliasOf);
        if (ref == nullptr) return Error::Message(kMsgOutOfMemory);
        if (t.allItems) ref->allItems = 1;
        if (t.usedName) ref->usedName = 1;
        refs.push_back(ref);
    }
    for (const std::string& item : names.items) NoteItemName(item.c_str());
    return Status();
}

std::int16_t QueryDictionary::NoteItemName(const char* name) {
    if (name == nullptr) return 1;
    const char* dot = std::strchr(name, '.');
    referencedNames.Add(dot != nullptr ? dot + 1 : name);
    return 1;
}

std::int16_t QueryDictionary::LoadItems(TableRef* table, const char* fileName, Status& status) {
    // The references that receive descriptors: the table and its correlation names.
    auto** receivers = static_cast<TableRef**>(AllocLargeBlock(sizeof(TableRef*) * (tables.size() + 1u)));
    if (receivers == nullptr) {
        status = Error::Message(kMsgOutOfMemory);
        return 0;
    }
    int receiverCount = 0;
    for (const std::unique_ptr<TableRef>& r : tables)
        if (r.get() == table || r->aliasOf == table) receivers[receiverCount++] = r.get();

    std::int16_t result = 1;
    bool lost = false;  // a descriptor could not be made or filed
    bool full = false;  // ... because `items`, `otherItems` or a table's items reached kMaxItems
    std::int16_t itemCount = info.itemCount;
    std::uint32_t offset = 1;  // byte 0 of a record holds no item
    for (std::int16_t index = 0; index < itemCount; ++index) {
        info.itemIndex = static_cast<std::uint16_t>(index);
        // A host that answers nothing leaves an empty name, which ends the items.
        std::memset(info.itemName, 0, sizeof info.itemName);
        Host().getInfo(hostContext, kItemQuestion, &info);
        if (info.itemType == kBinaryMemoType) info.itemCountInArray = 1;

        char itemName[sizeof info.itemName + 1];
        std::size_t nameLength = strnlen(info.itemName, sizeof info.itemName);
        std::memcpy(itemName, info.itemName, nameLength);
        itemName[nameLength] = '\0';
        if (nameLength == 0) break;

        std::uint16_t type = info.itemType;
        std::uint16_t size = info.itemSize;
        std::int16_t arrayCount = info.itemCountInArray;
        std::uint8_t keyKind = info.compositeKey != 0 ? ItemDescriptor::kCompositeKey : info.keyKind;
        std::uint32_t bytes = static_cast<std::uint32_t>(size) * static_cast<std::uint32_t>(arrayCount > 1 ? arrayCount : 1);
        if (offset + bytes > table->recordSize) {
            char reason[160];
            std::snprintf(reason, sizeof reason,
                          EnglishMessages() ? "item %s of %s lies beyond its record of %u bytes"
                                            : "rubrique %s de %s hors de son enregistrement de %u octets",
                          itemName, fileName, static_cast<unsigned>(table->recordSize));
            status = Error::Message(kMsgInternalError, reason);
            result = 0;
            break;
        }

        // Every item of an all-items table is referenced: noted for the
        // tables that follow, described here without searching the set.
        if (table->allItems != 0) NoteItemName(itemName);
        if (table->allItems != 0 || referencedNames.Contains(itemName)) {
            for (int k = 0; k < receiverCount; ++k) {
                TableRef* r = receivers[k];
                // Out of memory: loading goes on, but the statement fails below
                // (a table without one of its items would give SELECT * a
                // column less and INSERT a shifted value list).
                ItemDescriptor* item = r->AddItem(ItemDescriptor::Create(
                    itemName, type, size, keyKind, static_cast<std::uint16_t>(offset), arrayCount, r, r->name.Get()));
                if (item == nullptr || !FileItem(items, item)) {
                    lost = true;
                    full = full || r->items.size() >= kMaxItems || items.size() >= kMaxItems;
                }
            }
        } else {
            char qualified[QueryDictionary::kMaxFileName + 1 + sizeof itemName];
            std::snprintf(qualified, sizeof qualified, "%s.%s", fileName, itemName);
            std::unique_ptr<ItemDescriptor> item = ItemDescriptor::Create(
                qualified, type, size, keyKind, static_cast<std::uint16_t>(offset), arrayCount, nullptr, fileName);
            if (item == nullptr || !FileItem(otherItems, std::move(item))) {
                lost = true;
                full = full || otherItems.size() >= kMaxItems;
            }
        }
        offset += bytes;
    }
    FreeBlock(receivers);
    if (full) {
        char reason[96];
        std::snprintf(reason, sizeof reason,
                      EnglishMessages() ? "more than %d item descriptions" : "plus de %d descriptions de rubriques",
                      static_cast<int>(kMaxItems));
        status = Error::Message(kMsgInternalError, reason);
        result = 0;
    } else if (lost) {
        status = Error::Message(kMsgOutOfMemory);
        result = 0;
    }
    return result;
}

Status QueryDictionary::LoadDescriptions(const UnknownTable& unknownTable) {
    Status status;
    bool hostReady = Host().getInfo != nullptr;
    for (const std::unique_ptr<TableRef>& owned : tables) {
        TableRef* table = owned.get();
        if (table->aliasOf != nullptr || table->IsMemoryTable()) continue;
        const char* name = table->name.Get();
        std::size_t length = std::strlen(name);
        if (length > kMaxFileName || !hostReady) continue;  // stays unknown: 4243 below

        std::memset(info.fileName, 0, sizeof info.fileName);
        std::memcpy(info.fileName, name, length);
        info.itemCount = 0;
        info.fileInfo = 0;  // no size left over from the previous table
        Host().getInfo(hostContext, kTableQuestion, &info);
        if (info.itemCount <= 0) {
            if (!unknownTable) continue;
            Status resolved = unknownTable(*table);
            if (!resolved.ok()) {
                referencedNames.Clear();
                return resolved;
            }
            continue;
        }

        table->found = 1;
        table->status.Set("");
        if (!table->SetRecordSize(info.fileInfo, 1)) {
            status = Error::Message(kMsgOutOfMemory);
            continue;
        }
        char fileName[kMaxFileName + 1];
        std::memcpy(fileName, info.fileName, sizeof fileName - 1);
        fileName[kMaxFileName] = '\0';
        LoadItems(table, fileName, status);
    }

    // The names were only needed to choose the items to describe.
    referencedNames.Clear();

    // Each correlation name reads records into a buffer of its own.
    for (const std::unique_ptr<TableRef>& alias : tables) {
        if (alias->aliasOf == nullptr) continue;
        if (!alias->SetRecordSize(alias->aliasOf->recordSize, 1)) {
            status = Error::Message(kMsgOutOfMemory);
        }
    }

    for (const std::unique_ptr<TableRef>& table : tables) {
        if (table->aliasOf != nullptr || table->found != 0) continue;
        return Error::Message(kMsgUnknownTable, table->name.Get());
    }
    return status;
}

}  // namespace qx
