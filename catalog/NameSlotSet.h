// NameSlotSet: a set of names kept as one text of fixed-width slots.
//
// A slot is "/" + name + blanks + "/", `width` characters long.  The
// dictionary view notes every item name a statement mentions here while the
// statement is parsed, and asks for each dictionary item whether it was
// mentioned.  Membership is exact: byte for byte and case-sensitive.
//
// Names longer than `width - 2` do not fit a slot; they get a slot of their
// own length instead ("/" + name + "/", no blanks), so a long name is found
// again and is never confused with a name that is its prefix.  A match can
// only start at a slot boundary because names never contain "/" (identifiers
// are letters, digits, "_", "@", "#"); a name holding "/" is refused by Add
// and never found by Contains.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/OwnedString.h"

namespace qx {

class NameSlotSet {
public:
    OwnedString slots;        // all slots one after the other, owned
    OwnedString scratch;      // room for building one slot, owned
    std::uint16_t count = 0;  // slots appended since construction or Clear
    std::uint16_t width = 0;  // slot width for names that fit: construction argument + 2

    explicit NameSlotSet(std::uint16_t nameWidth);

    // Appends the slot of `name` (null reads as "").  1 on success, 0 when
    // memory runs out or the name contains "/".
    std::int16_t Add(const char* name);
    // True when the slot of `name` is in the set; false for an empty set.
    bool Contains(const char* name);
    // Frees the slots and sets the count to 0 (the set can be used again).
    void Clear();

private:
    // Builds the slot of `name` in `scratch`; its length, or 0 on failure.
    std::size_t BuildSlot(const char* name);

    std::size_t used_ = 0;  // bytes of `slots` in use (appending stays linear)
};

}  // namespace qx
