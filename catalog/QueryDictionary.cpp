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

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
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


}  // namespace

QueryDictionary::QueryDictionary(std::uint16_t context, std::uintptr_t memoTable)
    : hostContext(context), memoValues(memoTable) {}

QueryDictionary::~QueryDictionary() {
    // The descriptors of `items` belong to the TableRefs.
    items.DetachAll(1);
}

TableRef* QueryDictionary::FindOrAddTable(const char* name, TableRef* aliasOf) {
    bool named = name != nullptr && name[0] != '\0';
    if (named) {
        if (TableRef* existing = FindTable(tables, name)) return existing;
    }
    std::unique_ptr<TableRef> made(new TableRef(this, named ? name : nullptr, nullptr));
    if (made == nullptr || tables.Append(made.get()) < 0) return nullptr;
    TableRef* table = made.release();  // now the list's
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
    std::int16_t tableCount = tables.Count();
    auto** receivers = static_cast<TableRef**>(AllocLargeBlock(sizeof(TableRef*) * (tableCount + 1u)));
    if (receivers == nullptr) {
        status = Error::Message(kMsgOutOfMemory);
        return 0;
    }
    int receiverCount = 0;
    for (std::int16_t i = 0; i < tableCount; ++i) {
        auto* r = static_cast<TableRef*>(tables.GetAt(i));
        if (r != nullptr && (r == table || r->aliasOf == table)) receivers[receiverCount++] = r;
    }

    std::int16_t result = 1;
    bool lost = false;  // a descriptor could not be made or filed
    bool full = false;  // ... because a list reached its 16-bit limit
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
                std::unique_ptr<ItemDescriptor> made(new ItemDescriptor(
                    itemName, type, size, keyKind, static_cast<std::uint16_t>(offset), arrayCount, r, r->name.Get()));
                // Out of memory: loading goes on, but the statement fails below
                // (a table without one of its items would give SELECT * a
                // column less and INSERT a shifted value list).
                if (made == nullptr || made->name.text == nullptr) {  // no object, or no copy of its name
                    lost = true;
                    continue;
                }
                if (!r->AddItem(made.get())) {
                    lost = true;
                    full = full || (r->items != nullptr && r->items->Count() >= List::kMaxEntries);
                    continue;
                }
                ItemDescriptor* item = made.release();  // now the table's
                if (items.Append(item) < 0) {
                    lost = true;
                    full = full || items.Count() >= List::kMaxEntries;
                }
            }
        } else {
            char qualified[QueryDictionary::kMaxFileName + 1 + sizeof itemName];
            std::snprintf(qualified, sizeof qualified, "%s.%s", fileName, itemName);
            std::unique_ptr<ItemDescriptor> item(new ItemDescriptor(
                qualified, type, size, keyKind, static_cast<std::uint16_t>(offset), arrayCount, nullptr, fileName));
            if (item == nullptr || item->name.text == nullptr) {
                lost = true;
            } else if (otherItems.Append(item.get()) < 0) {
                lost = true;
                full = full || otherItems.Count() >= List::kMaxEntries;
            } else {
                item.release();  // now the dictionary's
            }
        }
        offset += bytes;
    }
    FreeBlock(receivers);
    if (full) {
        char reason[96];
        std::snprintf(reason, sizeof reason,
                      EnglishMessages() ? "more than %d item descriptions" : "plus de %d descriptions de rubriques",
                      static_cast<int>(List::kMaxEntries));
        status = Error::Message(kMsgInternalError, reason);
        result = 0;
    } else if (lost) {
        status = Error::Message(kMsgOutOfMemory);
        result = 0;
    }
    return result;
}

Status QueryDictionary::LoadDescriptions() {
    Status status;
    bool hostReady = Host().getInfo != nullptr;
    for (std::int16_t i = 0; i < tables.Count(); ++i) {
        auto* table = static_cast<TableRef*>(tables.GetAt(i));
        if (table == nullptr || table->aliasOf != nullptr) continue;
        const char* name = table->name.Get();
        std::size_t length = std::strlen(name);
        if (length > kMaxFileName || !hostReady) continue;  // stays unknown: 4243 below

        std::memset(info.fileName, 0, sizeof info.fileName);
        std::memcpy(info.fileName, name, length);
        info.itemCount = 0;
        info.fileInfo = 0;  // no size left over from the previous table
        Host().getInfo(hostContext, kTableQuestion, &info);
        if (info.itemCount <= 0) continue;

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
    for (std::int16_t i = 0; i < tables.Count(); ++i) {
        auto* alias = static_cast<TableRef*>(tables.GetAt(i));
        if (alias == nullptr || alias->aliasOf == nullptr) continue;
        if (!alias->SetRecordSize(alias->aliasOf->recordSize, 1)) {
            status = Error::Message(kMsgOutOfMemory);
        }
    }

    for (std::int16_t i = 0; i < tables.Count(); ++i) {
        auto* table = static_cast<TableRef*>(tables.GetAt(i));
        if (table == nullptr || table->aliasOf != nullptr || table->found != 0) continue;
        return Error::Message(kMsgUnknownTable, table->name.Get());
    }
    return status;
}

}  // namespace qx
