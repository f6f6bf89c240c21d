// Utf8: cutting texts to fixed byte sizes without splitting a UTF-8 sequence.
#pragma once

#include <cstddef>

namespace qx::platform {

// Length of the longest prefix of the first `length` bytes of `text` that does
// not end inside a UTF-8 sequence (bytes that are not UTF-8 count as whole).
std::size_t Utf8CompletePrefix(const char* text, std::size_t length);

// Length at which `text` (of `length` bytes) is cut to at most `limit` bytes.
std::size_t Utf8CutLength(const char* text, std::size_t length, std::size_t limit);

// Copies `source` into `target` (capacity bytes, NUL included), cut at a
// sequence boundary.  Returns the bytes copied (without the NUL).
std::size_t CopyUtf8Bounded(char* target, const char* source, std::size_t capacity);

}  // namespace qx::platform
