// TextCopy: copying a text into a caller's fixed-size buffer.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace qxhost {

// Copies `text` into `out` (capacity `size`, NUL included), cut if need be but never inside
// a UTF-8 sequence.  Returns false when the text had to be cut (or there is no buffer).
inline bool CopyText(char* out, std::size_t size, const std::string& text) {
    if (!out || size == 0) return false;
    std::size_t n = text.size();
    bool whole = n < size;
    if (!whole) {
        n = size - 1;
        // Back off continuation bytes so that the cut falls before a lead byte.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return whole;
}

}  // namespace qxhost
