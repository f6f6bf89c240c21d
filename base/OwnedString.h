// OwnedString: a NUL-terminated text that its holder owns.
//
// The text lives in a memory block (AllocBlock, or AllocLargeBlock beyond
// 65520 bytes) and is freed with the holder.  Two flags shape it: a null text
// can read as "" (so callers never test for null), and trailing blanks can be
// cut whenever a text is set.  Other stages read `text` directly; whoever
// stores a pointer into `text` by hand must store a memory block of the
// block heap (the destructor frees it with FreeBlock).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx {

class OwnedString {
public:
    static constexpr std::uint16_t kNullReadsEmpty = 1;  // bit 0: Get gives "" for a null text
    static constexpr std::uint16_t kTrimOnSet = 2;       // bit 1: Set cuts trailing blanks

    char* text = nullptr;     // owned memory block holding the text, or null
    std::uint16_t flags = 0;  // kNullReadsEmpty | kTrimOnSet

    OwnedString() = default;
    explicit OwnedString(std::uint16_t initialFlags) : flags(initialFlags) {}
    OwnedString(const OwnedString&) = delete;
    OwnedString& operator=(const OwnedString&) = delete;
    ~OwnedString();

    // Replaces the text by a copy of `value` (which may point into the
    // current text).  A null `value` changes nothing.  1 on success; 0 when
    // the copy could not be allocated (the text is then null).
    std::int16_t Set(const char* value);
    // Makes room for `length` characters and the NUL; never shrinks and keeps
    // the current contents (a new text starts empty).  1 on success, 0 on failure.
    std::int16_t Reserve(std::uint32_t length);
    // Appends `value` (null reads as "") and, when `newline` is not 0, CR LF.
    // Appending nothing to an existing text changes nothing; an absent text is
    // created.  1 on success, 0 when the text could not grow (it is unchanged).
    std::int16_t Append(const char* value, std::uint16_t newline = 0);
    // The text; "" for a null text when kNullReadsEmpty is set, else null.
    const char* Get() const;
    // Frees the text (it becomes null).
    void Clear();
    // Length of the text (0 for a null text).
    std::size_t Length() const;
    // Bytes the text's block has room for, NUL included (0 for a null text).
    std::size_t Capacity() const;
};

}  // namespace qx
