// Conversions between application buffers and values: a result value into
// the C type SQLGetData or a bound column asks for (texts and bytes in
// pieces over several calls), and a bound parameter's buffer into the
// engine's bind call for its C type.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "odbc/Diagnostics.h"
#include "odbc/FieldValue.h"

namespace qxodbc {

// How much of a column's text SQLGetData has handed out for the current row.
struct ReadPosition {
    std::size_t sent = 0;   // bytes of the converted value already given
    bool finished = false;  // the whole value given: the next call gives SQL_NO_DATA
};

// Writes `value` as C type `cType` into `target` (`capacity` bytes for texts
// and bytes), its length or SQL_NULL_DATA into `indicator`.  `position`
// carries a text's progress across calls; null for bound columns, which
// get the start of the value.
SQLRETURN ValueToBuffer(const FieldValue& value, SQLSMALLINT cType, SQLPOINTER target, SQLLEN capacity,
                        SQLLEN* indicator, ReadPosition* position, Diagnostics& diagnostics);

// One parameter as the application bound it (SQLBindParameter).
struct ParameterBinding {
    SQLSMALLINT cType = SQL_C_DEFAULT;
    SQLSMALLINT sqlType = SQL_VARCHAR;
    SQLPOINTER buffer = nullptr;
    SQLLEN capacity = 0;
    SQLLEN* indicator = nullptr;
    bool bound = false;
};

// Binds the value the application's buffer holds now to parameter
// `number` of the engine's prepared statement `handle`.
SQLRETURN BindToEngine(std::uintptr_t handle, std::uint16_t number, const ParameterBinding& parameter,
                       Diagnostics& diagnostics);

// The engine's last error on `handle` as a diagnostic record; returns SQL_ERROR.
SQLRETURN EngineError(std::uintptr_t handle, Diagnostics& diagnostics);

// UTF-16 (SQLWCHAR) text of `units` code units (SQL_NTS: up to a zero) to UTF-8, and back.
std::string Utf16ToUtf8(const SQLWCHAR* text, SQLLEN units);
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace qxodbc
