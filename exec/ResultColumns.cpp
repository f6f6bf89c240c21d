#include "exec/ResultColumns.h"
namespace qx {
std::uint16_t WriteColumnDescription(TableRef*, char*) { return 0; }
std::uint32_t ResultRowCount(TableRef*) { return 0; }
std::int32_t FetchResultRow(TableRef*, std::uint32_t) { return 0; }
void WriteResultLine(TableRef*, const char*, char* out) { out[0] = '\0'; }
std::int16_t ResultMemoHandle(TableRef*, std::uint16_t, std::uintptr_t*) { return -1; }
}  // namespace qx
