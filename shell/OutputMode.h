// OutputMode: the four ways the shell prints a result (table, tsv, csv,
// json) and their names on the command line and in `.mode`.  Printing
// itself belongs to the formatters (RowFormatter and its subclasses).
#pragma once

#include <string_view>

namespace qxsql {

enum class OutputMode {
    Table,  // aligned, boxed, numbers right-aligned
    Tsv,    // each row exactly as QXSQLValLine writes it with a tab
    Csv,    // RFC 4180
    Json,   // an array of objects keyed by column name
};

// Reads "table", "tsv", "csv" or "json" (ASCII case ignored); false for anything else.
bool ParseOutputMode(std::string_view text, OutputMode& mode);

// The name ParseOutputMode reads back.
const char* OutputModeName(OutputMode mode);

}  // namespace qxsql
