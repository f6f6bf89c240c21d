// FuzzDatabase: the small database the statement fuzzer runs against.
//
// Built on the scriptable test host: a few tables covering the field types
// (numbers of every width, fixed and variable texts, dates, times, text and
// binary memos, a composite key, a unique item), a handful of records in
// each, and a memo parameter table for statements that carry memo
// references.  Reset() puts everything back as it was, so that every fuzz
// input starts from the same state.
#pragma once

#include <cstdint>

namespace qxfuzz {

// Empties the test host and loads the tables and records again.
void ResetDatabase();
// The caller's memo parameter table to pass as memoValues: one entry per
// possible memo parameter (256), each a small text.
std::uintptr_t MemoParameterTable();

}  // namespace qxfuzz
