// ListElement: the base of every engine class that has virtual operations.
//
// Any element can be held by a List, destroyed through it, and found in it
// by key: Compare receives the address of the caller's key record (the key
// values laid one after the other) and answers 0 for a match.  The base
// class matches every key.  Elements are allocated from the block heap and
// a failed allocation makes `new` give null (no exception): callers test it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx {

class ListElement {
public:
    ListElement() = default;
    ListElement(const ListElement&) = delete;
    ListElement& operator=(const ListElement&) = delete;
    virtual ~ListElement() = default;

    // 0 when this element matches the key record at `keyArgs`; the base matches all.
    virtual std::int16_t Compare(const void* keyArgs) const;

    static void* operator new(std::size_t size) noexcept;
    static void operator delete(void* block) noexcept;
};

}  // namespace qx
