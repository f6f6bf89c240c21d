// NameSlotSet: fixed-width name slots in one text.
//
// Add builds the slot in `scratch` and copies it at the end of `slots`,
// whose block grows by doubling so that noting n names costs O(total
// length).  Contains builds the slot and searches `slots` for it.
#include "catalog/NameSlotSet.h"

#include <cstring>

namespace qx {

NameSlotSet::NameSlotSet(std::uint16_t nameWidth)
    : width(static_cast<std::uint16_t>(nameWidth > UINT16_MAX - 2 ? UINT16_MAX : nameWidth + 2)) {
    scratch.Reserve(width);
}

std::size_t NameSlotSet::BuildSlot(const char* name) {
    if (name == nullptr) name = "";
    if (std::strchr(name, '/') != nullptr) return 0;
    std::size_t length = std::strlen(name);
    // Names that fit take the fixed width; longer ones a slot of their own length.
    std::size_t slotLength = length + 2 > width ? length + 2 : width;
    if (slotLength >= UINT32_MAX || !scratch.Reserve(static_cast<std::uint32_t>(slotLength))) return 0;
    char* slot = scratch.text;
    slot[0] = '/';
    std::memcpy(slot + 1, name, length);
    std::memset(slot + 1 + length, ' ', slotLength - 2 - length);
    slot[slotLength - 1] = '/';
    slot[slotLength] = '\0';
    return slotLength;
}

std::int16_t NameSlotSet::Add(const char* name) {
    std::size_t slotLength = BuildSlot(name);
    if (slotLength == 0) return 0;
    if (slots.text == nullptr) used_ = 0;  // the text was freed by hand
    std::size_t needed = used_ + slotLength;
    if (slots.Capacity() < needed + 1) {
        std::size_t grown = slots.Capacity() * 2;
        if (grown < needed) grown = needed;
        if (grown >= UINT32_MAX || !slots.Reserve(static_cast<std::uint32_t>(grown))) {
            if (needed >= UINT32_MAX || !slots.Reserve(static_cast<std::uint32_t>(needed))) return 0;
        }
    }
    std::memcpy(slots.text + used_, scratch.text, slotLength + 1);
    used_ = needed;
    ++count;
    return 1;
}

bool NameSlotSet::Contains(const char* name) {
    if (slots.text == nullptr || used_ == 0) return false;
    std::size_t slotLength = BuildSlot(name);
    if (slotLength == 0 || slotLength > used_) return false;
    return memmem(slots.text, used_, scratch.text, slotLength) != nullptr;
}

void NameSlotSet::Clear() {
    slots.Clear();
    used_ = 0;
    count = 0;
}

}  // namespace qx
