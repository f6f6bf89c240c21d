// FileDef: one file (table) of the analysis: its items, keys and record size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ItemDef.h"
#include "host/KeyDef.h"

namespace qxhost {

struct FileDef {
    std::string name;             // upper case, at most 8 bytes
    std::vector<ItemDef> items;   // data items in dictionary order
    std::vector<KeyDef> keys;     // composite keys in declaration order
    std::uint32_t recordSize = 1; // 1 + the bytes of every item, computed by Layout()
    int line = 0;

    // Computes item offsets and the record size.
    void Layout() {
        std::uint32_t offset = 1;
        for (ItemDef& item : items) {
            item.offset = static_cast<std::uint16_t>(offset);
            offset += item.Bytes();
        }
        recordSize = offset;
    }
    // Index of the item named `name` (exact, upper case), or -1.
    int FindItem(const std::string& itemName) const {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].name == itemName) return static_cast<int>(i);
        return -1;
    }
    int FindKey(const std::string& keyName) const {
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i].name == keyName) return static_cast<int>(i);
        return -1;
    }
};

}  // namespace qxhost
