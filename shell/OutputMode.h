// OutputMode: the ways the shell prints a result (table, box, markdown,
// line, tsv, csv, json) and their names on the command line and in `.mode`.  Printing
// itself belongs to the formatters (RowFormatter and its subclasses).
#pragma once

#include <string_view>

namespace qxsql {

enum class OutputMode {
    Table,     // aligned, boxed with ASCII rules, numbers right-aligned
    Box,       // the same with Unicode box-drawing rules
    Markdown,  // a Markdown (GitHub) table
    Line,      // one "name = value" line per column, a blank line between rows
    Tsv,       // a tab between values; tab, line breaks and backslash escaped
    Csv,    // RFC 4180
    Json,   // an array of objects keyed by column name
};

// Reads a mode's name (ASCII case ignored); false for anything else.
bool ParseOutputMode(std::string_view text, OutputMode& mode);

// The name ParseOutputMode reads back.
const char* OutputModeName(OutputMode mode);

}  // namespace qxsql
