// Placeholder until the result table lands: the calls QXSQLExecReq and the
// fetch/read exports make on a result table.
#pragma once
#include <cstdint>
namespace qx {
class TableRef;
// Writes the column description text; returns the number of columns.
std::uint16_t WriteColumnDescription(TableRef* result, char* text);
std::uint32_t ResultRowCount(TableRef* result);
// Reads row `row` into the table's record: its number, or < 1 when there is none.
std::int32_t FetchResultRow(TableRef* result, std::uint32_t row);
// Writes the current row as text, values joined by `separator`.
void WriteResultLine(TableRef* result, const char* separator, char* out);
// QXSQLGetLongData on column `column` (from 1): 0, 100 or -1.
std::int16_t ResultMemoHandle(TableRef* result, std::uint16_t column, std::uintptr_t* value);
}  // namespace qx
