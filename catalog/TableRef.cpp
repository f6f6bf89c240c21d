// TableRef: construction and release of a table reference, its record
// buffer, its items and the lookups of tables and items by name.
//
// The cursor and writer that read and write records through the host live
// with execution; this module only owns the storage they use.
#include "catalog/TableRef.h"

#include "catalog/RowIndex.h"

#include <cstring>
#include <new>

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

ItemDescriptor* TableRef::AddItem(std::unique_ptr<ItemDescriptor> descriptor) noexcept {
    if (descriptor == nullptr || items.size() >= kMaxItems) return nullptr;
    try {
        items.push_back(std::move(descriptor));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return items.back().get();
}

ItemDescriptor* TableRef::Search(const char* itemName, std::int32_t qualified) const {
    if (itemName == nullptr) return nullptr;
    ItemKey key{itemName, nullptr, qualified};
    const TableRef* table = this;
    for (int hop = 0; table != nullptr && hop <= kMaxAliasHops; ++hop) {
        if (!table->items.empty()) {
            for (const std::unique_ptr<ItemDescriptor>& item : table->items)
                if (item->Matches(key)) return item.get();
            return nullptr;
        }
        table = table->aliasOf;
    }
    return nullptr;
}

ItemDescriptor* TableRef::FindItem(const char* itemName) const { return Search(itemName, 0); }

ItemDescriptor* TableRef::FindItemQualified(const char* itemName) const { return Search(itemName, 1); }

TableRef* FindTable(const std::vector<std::unique_ptr<TableRef>>& tables, const char* name) {
    if (name == nullptr) name = "";
    for (const std::unique_ptr<TableRef>& table : tables)
        if (std::strcmp(table->name.Get(), name) == 0) return table.get();
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
