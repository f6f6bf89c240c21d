// ItemDef: one item (rubrique) of a file as the analysis describes it.
#pragma once

#include <cstdint>
#include <string>

namespace qxhost {

// Key property of an item or of a composite key; also the keyKind reported to the engine.
enum class KeyMode : std::uint8_t { None = 0, Unique = 1, Duplicates = 2 };

struct ItemDef {
    std::string name;              // upper case, at most 10 bytes
    std::uint16_t type = 0;        // field type code
    std::uint16_t size = 0;        // declared size = bytes of one element in the record
    std::uint16_t arrayCount = 1;  // elements (1: not an array)
    KeyMode key = KeyMode::None;   // the item is a key on its own
    bool descending = false;       // that key orders from the largest value
    std::uint16_t offset = 0;      // byte offset in the record (from 1), computed
    int line = 0;                  // line of the analysis file (0: not from a file)

    std::uint32_t Bytes() const { return static_cast<std::uint32_t>(size) * arrayCount; }
};

}  // namespace qxhost
