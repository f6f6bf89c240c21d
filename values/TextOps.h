// TextOps: small operations on NUL-terminated texts shared by several
// stages (splitting name lists, bounded copies, character removal).
// They never allocate; the caller owns every buffer.
#pragma once

#include <cstdint>

namespace qx {

// Index of the first `c` in `text` (searching for NUL gives the length), or -1.
std::int32_t IndexOfChar(char c, const char* text);

// Copies at most `count` characters of `source` (fewer when it ends first)
// into `target`, a buffer of `capacity` bytes, and terminates it.  At most
// capacity - 1 characters fit; a cut never splits a UTF-8 sequence.
// 1 when nothing was cut, 0 when the text was cut (or capacity < 1, when
// nothing is written).
std::int16_t CopyBounded(char* target, const char* source, std::int32_t count, std::int32_t capacity);

// Removes every `c` from `text` in place.
void RemoveChar(char* text, char c);

// Copies field `n` (from 1) of `text` into `target` (`capacity` bytes, at
// most capacity - 1 characters, never splitting a UTF-8 sequence) and
// returns the number of characters copied (a null target: the field's
// length); -1 when the text has fewer fields (target untouched).  Every character of `separators` separates.
// Without `collapse` each separator ends a field ("a,,b" has an empty
// second field; "" has one empty field).  With it, leading separators are
// skipped and a run of separators counts as one ("" and ",," have none).
std::int32_t GetField(std::int16_t n, const char* text, const char* separators, char* target,
                      std::int32_t capacity, std::int16_t collapse);

}  // namespace qx
