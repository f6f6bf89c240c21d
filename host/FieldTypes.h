// FieldTypes: what the file engine knows about each field type code.
//
// The record layout is the engine's: byte 0 of a record is not an item, the
// items follow from offset 1 in dictionary order, each taking its declared
// size times its array count.  The declared size is also the size reported
// to the engine, so that the engine's offsets and ours agree.  A date (98)
// of declared size 9 holds YYYYMMDD and one spare byte; of size 7, YYMMDD
// and one spare byte.
//
// Keys are kept as byte strings that sort with memcmp in the order of the
// values: integers big-endian with the sign bit flipped, reals by their
// IEEE bits made monotonic, texts with trailing spaces cut and padded with
// NUL to a fixed width.  Every component has a fixed width, so a composite
// key is the concatenation of its components.  Memos and arrays are not
// keyable.
#pragma once

#include <cstdint>
#include <string>

namespace qxhost::FieldTypes {

constexpr std::uint16_t kTextMemo = 12;
constexpr std::uint16_t kBinaryMemo = 22;
constexpr std::uint16_t kDate = 98;
constexpr std::uint16_t kTime = 99;

// Largest record (byte 0 included): recordLength in the exchange block is 16-bit signed.
constexpr std::uint32_t kMaxRecordSize = 32767;

// True when `type` is a code the file engine stores.
bool IsKnown(std::uint16_t type);
// The size every item of `type` has (0: the size is declared per item).
std::uint16_t FixedSize(std::uint16_t type);
// Checks a declared size for `type`; on failure `why` says what sizes are allowed.
bool SizeAllowed(std::uint16_t type, std::uint32_t size, std::string& why);
bool IsMemo(std::uint16_t type);
bool IsKeyable(std::uint16_t type);
// Bytes one key component of this item takes.
std::uint16_t KeyWidth(std::uint16_t type, std::uint16_t size);
// Appends the key component of the item stored at `field` (size bytes) to `key`.
void AppendKey(std::uint16_t type, std::uint16_t size, const unsigned char* field, std::string& key);

}  // namespace qxhost::FieldTypes
