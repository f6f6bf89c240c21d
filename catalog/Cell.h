// Cell: reading and writing an item's value in a record buffer.
//
// The engine computes with three kinds of values: a double for every
// numeric item, a NUL-terminated text for every other item (memos included,
// fetched from the host), and raw bytes for the types it does not know.
// ReadCell turns the item's bytes into that value, in the item's own value
// buffer; WriteCell turns a value back into the item's bytes in the current
// record of its owner.  Both stay inside the item's bytes of the record (as
// far as the owner's recordSize says) whatever the value.  Which record is
// current, and writing records and memos to the host, belong to the table
// cursor and record writer.
#pragma once

#include <cstdint>

namespace qx {

class ItemDescriptor;

// Bytes of text a memo read keeps (the value buffer holds them and a NUL).
constexpr std::uint32_t kMemoTextLimit = 4096;

// The item's value read from `record` (the item sits at its offset), or
// from its owner's current record when `record` is null.  The result is the
// item's valueBuffer, allocated on first use and kept (and owned) by the
// item until it is destroyed: a double for the numeric class, a
// NUL-terminated text otherwise (trailing spaces cut for texts and memos),
// the raw bytes for unknown types.  Text memos (12) are fetched from the
// host, at most 4096 bytes; binary memos (22) show their first bytes in
// hexadecimal (the first half of at most 4096 bytes read).  Host failures
// give an empty text.  Null for a composite key or when the buffer cannot
// be allocated.
void* ReadCell(ItemDescriptor* item, const void* record);

// Stores `value` (the address of a double for numeric types, of a
// NUL-terminated text otherwise, of `size` raw bytes for unknown types)
// into the item's bytes in its owner's current record and sets `written`.
//   integers   the value truncated toward zero; its low bytes are stored
//              (NaN stores 0, beyond the 64-bit range saturates first)
//   7          rounded to a float (beyond its range: an infinity)
//   10         the value written with "%f" and parsed into fixed point
//   12, 22     a memo marker (character 127 and a number) stores that
//              parameter number as the memo reference; any other text is
//              kept in memoText for the record writer, reference 0
//   13, 99     the text, cut to the declared size (13) or 4 characters
//              (99), padded with spaces
//   14         length byte (declared size - 1, at most 255), then the text
//              cut to size - 1, padded with spaces
//   15         the text cut to size - 1, padded with spaces, NUL last
//   98         a 6-character text is read as 19YYMMDD; the field takes
//              YYMMDD (size 7) or YYYYMMDD (size 9)
// Cuts never split a UTF-8 sequence.  Nothing is reported.
void WriteCell(ItemDescriptor* item, const void* value);

// Copies target->size bytes of `source`'s field in its owner's record into
// `target`'s field in its owner's record (fewer when a record ends first).
// Nothing for a composite key source or a missing record.
void CopyItemBytes(ItemDescriptor* target, const ItemDescriptor* source);

// Writes a value of operand type `type` into `item` of its table's record,
// converting between numbers and texts to what the item holds.
void WriteValue(ItemDescriptor* item, std::int16_t type, const void* bytes);

}  // namespace qx
