// ItemDescriptor: construction, release of the execution-state blocks, and
// the key match used by item lookups (plain and qualified names).
#include "catalog/ItemDescriptor.h"

#include <cstring>
#include <new>

#include "base/MemoryBlock.h"
#include "values/FieldType.h"

namespace qx {

ItemDescriptor::ItemDescriptor(const char* itemName, std::uint16_t itemType, std::uint16_t itemSize,
                               std::uint8_t itemKeyKind, std::uint16_t itemOffset, std::int32_t itemDimension,
                               TableRef* itemOwner, const char* ownerTableName)
    : type(itemType),
      size(itemSize),
      keyKind(itemKeyKind),
      offset(itemOffset),
      dimension(itemDimension < 1 ? 1 : itemDimension),
      owner(itemOwner) {
    name.Set(itemName);
    if (ownerTableName == nullptr) ownerTableName = "";
    std::size_t length = strnlen(ownerTableName, kTableNameLength + 1);
    if (length > kTableNameLength) {
        length = kTableNameLength;
        // Back off to the start of a UTF-8 sequence so the cut text stays valid.
        while (length > 0 && (static_cast<unsigned char>(ownerTableName[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(tableName, ownerTableName, length);
    tableName[length] = '\0';
}

ItemDescriptor::~ItemDescriptor() {
    if (memoText != nullptr) FreeBlock(memoText);
    if (valueBuffer != nullptr) FreeBlock(valueBuffer);
    memoText = nullptr;
    valueBuffer = nullptr;
}

std::unique_ptr<ItemDescriptor> ItemDescriptor::Create(const char* itemName, std::uint16_t itemType,
                                                       std::uint16_t itemSize, std::uint8_t itemKeyKind,
                                                       std::uint16_t itemOffset, std::int32_t itemDimension,
                                                       TableRef* itemOwner, const char* ownerTableName) noexcept {
    try {
        auto made = std::make_unique<ItemDescriptor>(itemName, itemType, itemSize, itemKeyKind, itemOffset,
                                                     itemDimension, itemOwner, ownerTableName);
        if (made->name.text == nullptr) return nullptr;  // no copy of its name
        return made;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool ItemDescriptor::Matches(const ItemKey& key) const {
    if (key.name == nullptr) return false;
    const char* own = name.Get();
    if (std::strcmp(key.name, own) == 0 && (key.owner == nullptr || key.owner == owner)) return true;
    if (key.qualifiedAllowed == 0) return false;
    // "Q.N": both parts compared whole, so a long qualifier or item name can
    // never match by a shared prefix.
    const char* dot = std::strchr(key.name, '.');
    if (dot == nullptr || dot == key.name || dot[1] == '\0') return false;
    auto qualifierLength = static_cast<std::size_t>(dot - key.name);
    if (qualifierLength > kTableNameLength) return false;
    if (std::strncmp(key.name, tableName, qualifierLength) != 0 || tableName[qualifierLength] != '\0') return false;
    return std::strcmp(dot + 1, own) == 0;
}

std::uint16_t DisplaySize(const ItemDescriptor* item) {
    return item != nullptr ? DisplaySizeOf(item->type, item->size) : 0;
}

std::uint16_t ValueBufferSize(const ItemDescriptor* item) {
    return item != nullptr ? ValueBufferSizeOf(item->type, item->size) : 0;
}

std::int16_t EvaluationKind(const ItemDescriptor* item) {
    return item != nullptr ? EvaluationKindOf(item->type) : 12;
}

}  // namespace qx
