// Context: memo parameters in statement text.
//
// A statement may name memo (long value) parameters as references in
// braces, {OBMemoBinaire('Photo')} or {OBMemoBinaire('Photo','Champ')}.
// A scan finds them with its own small tokenizer and records each in a
// MemoContext; ReplaceMemo then puts a short quoted marker (quote,
// character 127, the parameter number in decimal, quote) in place of a
// reference, so that the grammar sees a string literal.  The value of
// parameter n comes later from the caller's memo parameter table (the
// record writer's business, not this module's).
//
// The same calls back the QXSQL_OBMS_ exports.  Failures are 0 or null
// results; nothing is reported to a request.
#pragma once

#include <cstdint>

namespace qx {

constexpr std::int32_t kMaxMemoEntries = 256;     // references beyond these are ignored
constexpr std::int32_t kMaxMemoNameLength = 127;  // characters kept of a name or qualifier
constexpr char kMemoMarkerChar = '\x7f';          // second character of a marker

// One memo reference found in a statement.
struct MemoEntry {
    std::int32_t kind;    // 0: plain reference, 1: qualified "Champ" or "Field"
    std::int32_t start;   // offset of the opening brace in the statement
    std::int32_t length;  // characters from the opening brace to just after the closing one
    char* name;           // owned copy of the memo name (AllocBlock); null reads as ""
};

// The result of one scan.  A zero-filled memory block (AllocBlock); it owns
// the entries' names.  Entries stay valid until the next scan; their
// `start` values follow the replacements made through the same context.
struct MemoContext {
    std::int32_t entryCount;                  // entries found, 0..kMaxMemoEntries
    MemoEntry entries[kMaxMemoEntries];       // in the order of the text
};

// A new, empty context, or null when memory is short.
MemoContext* NewMemoContext();
// Releases the names and the context; null is allowed.
void FreeMemoContext(MemoContext* context);
// Empties the context, scans `statement` and returns the number of entries
// (0 for a null context or statement).
std::int32_t ScanMemoReferences(MemoContext* context, const char* statement);
// Entry `index` (from 0): its kind into *kind and its name into `name`
// (cut to capacity - 1 bytes, never inside a UTF-8 sequence, and
// terminated).  1, or 0 for a null context or an index out of range.
std::int32_t GetMemoInfo(MemoContext* context, std::int32_t index, char* name, std::uint32_t capacity,
                         std::int32_t* kind);
// Replaces the text of entry `index` in `statement` (a buffer of
// `capacity` bytes) by `replacement`, moving the rest of the text and the
// starts of the later entries.  1, or 0 with nothing changed when the
// context is null, the index out of range, or the result would not fit
// (more than capacity - 1 characters).
std::int32_t ReplaceMemo(MemoContext* context, char* statement, std::int32_t index, const char* replacement,
                         std::uint32_t capacity);
// Writes the marker of parameter `number` (from 1) into `out` (16 bytes);
// returns its length.
std::int32_t FormatMemoMarker(char* out, std::int32_t number);
// What QXSQLExecReq runs before parsing: replaces every memo reference of
// `statement` (a buffer of `capacity` bytes) by the marker of its
// parameter, numbered from 1 in the order of the text.  0 when the text
// holds more than kMaxMemoEntries references (those beyond stay as written),
// else 1.
std::int32_t ReplaceMemoReferences(char* statement, std::uint32_t capacity);

}  // namespace qx
