// ItemDescriptor: one item of one table reference as the dictionary
// describes it (type, size, key kind, array dimension, byte offset in the
// table's record), plus the item's execution state.
//
// Descriptors are built by QueryDictionary::LoadDescriptions.  A descriptor
// of a table reference is owned by that TableRef's `items` (the
// dictionary's `items` only refers to it); a descriptor of the dictionary's
// `otherItems` is owned by the dictionary and has no owner.
#pragma once

#include <cstdint>
#include <memory>

#include "base/OwnedString.h"

namespace qx {

class TableRef;

// What TableRef's item lookups search for (ItemDescriptor::Matches).
struct ItemKey {
    const char* name;                // item name, or qualifier "." item name
    const TableRef* owner;           // null: any owner
    std::int32_t qualifiedAllowed;   // not 0: "T.ITEM" also matches tableName T, name ITEM
};

class ItemDescriptor {
public:
    static constexpr std::uint8_t kCompositeKey = 255;  // keyKind of a composite key
    static constexpr std::size_t kTableNameLength = 256; // characters kept in tableName

    OwnedString name{OwnedString::kNullReadsEmpty};  // item name ("FILE.ITEM" in otherItems)
    OwnedString aux{OwnedString::kNullReadsEmpty};   // spare text, empty
    std::uint16_t type = 0;          // field type code
    std::uint16_t size = 0;          // element size in bytes
    std::uint8_t keyKind = 0;        // dictionary key kind; kCompositeKey for a composite key
    std::uint16_t offset = 0;        // byte offset of the item in the owner's record (first item: 1)
    char tableName[kTableNameLength + 1] = {};  // name the owner is referenced by ("" when none)
    std::int32_t dimension = 1;      // array elements, at least 1
    std::int32_t written = 0;        // 1 once a value was written into the item
    char* memoText = nullptr;        // owned memory block: text to store as the item's memo, or null
    TableRef* owner = nullptr;       // table reference whose record holds the item (not owned), or null
    void* valueBuffer = nullptr;     // owned memory block: the value prepared for the caller, or null

    // `dimension` below 1 becomes 1; `tableName` (null reads as "") is cut
    // to 256 bytes, never inside a UTF-8 sequence.
    ItemDescriptor(const char* itemName, std::uint16_t itemType, std::uint16_t itemSize, std::uint8_t itemKeyKind,
                   std::uint16_t itemOffset, std::int32_t itemDimension, TableRef* itemOwner,
                   const char* ownerTableName);
    ItemDescriptor(const ItemDescriptor&) = delete;
    ItemDescriptor& operator=(const ItemDescriptor&) = delete;
    // Frees memoText and valueBuffer (memory blocks).
    ~ItemDescriptor();

    // The same construction, null instead of an exception or a nameless
    // descriptor when memory runs out.
    static std::unique_ptr<ItemDescriptor> Create(const char* itemName, std::uint16_t itemType,
                                                  std::uint16_t itemSize, std::uint8_t itemKeyKind,
                                                  std::uint16_t itemOffset, std::int32_t itemDimension,
                                                  TableRef* itemOwner, const char* ownerTableName) noexcept;

    // True when the key name equals `name` and the key owner is null or
    // `owner`; with qualifiedAllowed, also when the key name is "Q.N" with Q
    // equal to `tableName` and N equal to `name` (neither part empty).
    // Comparisons are byte for byte.
    bool Matches(const ItemKey& key) const;
};

// The field type tables (values/FieldType.h) for an item's type and
// declared size; an absent item has size 0 and evaluation kind 12.
std::uint16_t DisplaySize(const ItemDescriptor* item);
std::uint16_t ValueBufferSize(const ItemDescriptor* item);
std::int16_t EvaluationKind(const ItemDescriptor* item);

}  // namespace qx
