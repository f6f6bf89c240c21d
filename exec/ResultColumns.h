// ResultColumns: the calls QXSQLExecReq and the fetch/read exports make on
// a result table (an unnamed memory TableRef whose `items` are the
// columns, in order, and whose `rows` hold the rows).  The table itself is
// built by the result set of execution and owned by the dictionary.
#pragma once

#include <cstdint>

namespace qx {

class TableRef;

// Writes the column description into `text` (the caller sizes it): one
// line "name\tletter\thost type\tdisplay size" per column, lines joined by
// "\r\n".  Returns the number of columns.
std::uint16_t WriteColumnDescription(TableRef* result, char* text);
// Rows held by the table.
std::uint32_t ResultRowCount(TableRef* result);
// Copies row `row` (from 1) into the table's record and makes it current:
// the row number, or 0 when there is no such row (the current row stays).
std::int32_t FetchResultRow(TableRef* result, std::uint32_t row);
// Writes the current row into `out` (the caller sizes it), values joined by
// `separator` (null: a tab): numbers without trailing fraction zeros, texts
// as read, "<clé composée>" and "<type inconnu>" for columns without a
// readable value.
void WriteResultLine(TableRef* result, const char* separator, char* out);
// QXSQLGetLongData on column `column` (from 1): the host's handle of the
// memo in *value (0 when none); 0 with a handle, 100 without, -1 when the
// column does not exist or is not a memo column (types 12 and 22).
std::int16_t ResultMemoHandle(TableRef* result, std::uint16_t column, std::uintptr_t* value);

}  // namespace qx
