// List: the engine's one ordered container of element pointers.
//
// Indexes are 16-bit.  The array is a memory block allocated on the first
// Append and grown by `growStep` entries at a time; a list therefore holds at
// most kMaxEntries entries, and an Append beyond that fails (-1) like any
// other growth failure.  The list owns its elements: DeleteAll and the
// destructor destroy them.  A list that only refers to elements owned
// elsewhere must DetachAll before it is destroyed.  Null entries are allowed
// and skipped by Find and DeleteAll.
#pragma once

#include <cstdint>

#include "base/ListElement.h"

namespace qx {

class List : public ListElement {
public:
    // Largest number of entries: the array size in bytes is a 16-bit value
    // of 4-byte entries in the original layout.
    static constexpr std::int16_t kMaxEntries = 16383;

    explicit List(std::uint16_t initialCapacity = 0, std::uint16_t growStep = 4);
    ~List() override;

    // New index of the element, or -1 when the array could not grow (the
    // caller still owns the element then).
    std::int16_t Append(ListElement* element);
    // Entry at `index`, or null when the index is outside 0..last.
    ListElement* GetAt(std::int16_t index) const;
    // Stores without destroying the previous entry; ignored outside 0..last.
    void SetAt(std::int16_t index, ListElement* element);
    // First index from `start` whose element's Compare(keyArgs) is 0, or -1.
    std::int16_t Find(std::int16_t start, const void* keyArgs) const;
    // Adds room for `count` entries (0: growStep).  1 on success, 0 on failure.
    std::int16_t Grow(std::uint16_t count = 0);
    // Destroys every element; the array stays allocated.
    void DeleteAll();
    // Nulls every entry without destroying; with `reset` also empties the list.
    std::int16_t DetachAll(std::uint16_t reset);

    std::int16_t Count() const { return static_cast<std::int16_t>(last_ + 1); }
    std::int16_t Last() const { return last_; }
    std::int16_t Capacity() const { return capacity_; }

private:
    std::int16_t capacity_ = 0;      // entries the array has room for
    std::int16_t last_ = -1;         // index of the last entry in use
    std::uint16_t growStep_ = 4;     // entries added per growth
    ListElement** items_ = nullptr;  // memory block of entries, owned
};

}  // namespace qx
