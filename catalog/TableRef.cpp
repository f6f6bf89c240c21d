// TableRef: construction and release of a table reference, its record
// buffer, its item list and the lookups of tables and items by name.
//
// The cursor and writer that read and write records through the host live
// with execution; this module only owns the storage they use.
#include "catalog/TableRef.h"

#include "catalog/RowIndex.h"

#include <cstring>

#include "base/MemoryBlock.h"
#include "catalog/ItemDescriptor.h"

namespace qx {
namespace {

// Longest chain of correlation names followed by FindItem; the grammar only
// ever builds chains of one, so this just stops a corrupt cycle.
constexpr int kMaxAliasHops = 64;

}  // namespace

TableRef::TableRef(QueryDictionary* owner, const char* tableName, TableRef* aliasTarget)
    : dictionary(owner), aliasOf(aliasTarget) {
    name.Set(tableName);
    SetRecordSize(0, 0);
}

TableRef::~TableRef() {
    if (record != nullptr) FreeBlock(record);
    record = nullptr;
    if (rows != nullptr) FreeBlock(rows);
    rows = nullptr;
}

std::int16_t TableRef::SetRecordSize(std::uint16_t size, std::uint16_t allocate) {
    recordSize = size;
    if (allocate == 0) return 1;
    if (record != nullptr) FreeBlock(record);
    record = nullptr;
    if (size == 0) return 1;
    // A 16-bit size may exceed the 65520-byte limit of AllocBlock.
    void* block = size <= kMaxBlockSize ? AllocBlock(size) : AllocLargeBlock(size);
    if (block == nullptr) {
        recordSize = 0;
        return 0;
    }
    std::memset(block, 0, size);
    record = static_cast<unsigned char*>(block);
    return 1;
}

std::int16_t TableRef::AddItem(ItemDescriptor* descriptor) {
    if (descriptor == nullptr) return 0;
    if (items == nullptr) {
        items.reset(new List(0, 4));
        if (items == nullptr) return 0;
    }
    return items->Append(descriptor) < 0 ? 0 : 1;
}

ItemDescriptor* TableRef::Search(const char* itemName, std::int32_t qualified) const {
    if (itemName == nullptr) return nullptr;
    ItemKey key{itemName, nullptr, qualified};
    const TableRef* table = this;
    for (int hop = 0; table != nullptr && hop <= kMaxAliasHops; ++hop) {
        if (table->items != nullptr) {
            std::int16_t index = table->items->Find(0, &key);
            return index < 0 ? nullptr : static_cast<ItemDescriptor*>(table->items->GetAt(index));
        }
        table = table->aliasOf;
    }
    return nullptr;
}

ItemDescriptor* TableRef::FindItem(const char* itemName) const { return Search(itemName, 0); }

ItemDescriptor* TableRef::FindItemQualified(const char* itemName) const { return Search(itemName, 1); }

std::int16_t TableRef::Compare(const void* keyArgs) const {
    const auto* key = static_cast<const TableKey*>(keyArgs);
    if (key == nullptr) return 1;
    if (key->aliasOnly != 0 && usedName == 0) return 1;
    const char* own = name.Get();
    int order = std::strcmp(own, key->name == nullptr ? "" : key->name);  // compares bytes as unsigned
    return static_cast<std::int16_t>(order < 0 ? -1 : (order > 0 ? 1 : 0));
}

TableRef* FindTable(const List& tables, const char* name) {
    TableKey key{name, 0};
    std::int16_t index = tables.Find(0, &key);
    return index < 0 ? nullptr : static_cast<TableRef*>(tables.GetAt(index));
}

ItemDescriptor* FindItemInTables(const List& tables, const char* qualifier, const char* itemName) {
    if (itemName == nullptr) return nullptr;
    if (qualifier == nullptr) {
        const char* dot = std::strchr(itemName, '.');
        if (dot != nullptr) {
            // The qualifier needs its own NUL: copy it (any length).
            OwnedString split;
            auto length = static_cast<std::size_t>(dot - itemName);
            if (!split.Reserve(static_cast<std::uint32_t>(length))) return nullptr;
            std::memcpy(split.text, itemName, length);
            split.text[length] = '\0';
            TableRef* table = FindTable(tables, split.text);
            return table == nullptr ? nullptr : table->FindItem(dot + 1);
        }
    }
    if (qualifier != nullptr) {
        TableRef* table = FindTable(tables, qualifier);
        return table == nullptr ? nullptr : table->FindItem(itemName);
    }
    for (std::int16_t i = tables.Last(); i >= 0; --i) {
        auto* table = static_cast<TableRef*>(tables.GetAt(i));
        if (table == nullptr) continue;
        if (ItemDescriptor* item = table->FindItem(itemName)) return item;
    }
    return nullptr;
}

ItemDescriptor* FindItemInTables(const std::vector<TableRef*>& tables, const char* itemName) {
    if (itemName == nullptr) return nullptr;
    if (const char* dot = std::strchr(itemName, '.')) {
        auto length = static_cast<std::size_t>(dot - itemName);
        for (TableRef* table : tables)
            if (table != nullptr && std::strlen(table->name.Get()) == length &&
                std::strncmp(table->name.Get(), itemName, length) == 0)
                return table->FindItem(dot + 1);
        return nullptr;
    }
    for (auto table = tables.rbegin(); table != tables.rend(); ++table)
        if (*table != nullptr)
            if (ItemDescriptor* item = (*table)->FindItem(itemName)) return item;
    return nullptr;
}

}  // namespace qx
