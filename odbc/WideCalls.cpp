// The wide (UTF-16) forms of the calls that carry texts.  With them the
// driver manager treats the driver as a Unicode one and hands Unicode
// clients (pyodbc) the driver's texts with their lengths in characters,
// where its own conversion of the narrow forms counts bytes.  Each one
// converts its texts and calls the narrow form, which takes the lock.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "odbc/Connection.h"
#include "odbc/Conversions.h"
#include "odbc/DriverInfo.h"
#include "odbc/Engine.h"

namespace {

// Room for a text the narrow form writes (the longest is a diagnostic message).
constexpr SQLSMALLINT kNarrowCapacity = 4096;

std::string Narrow(const SQLWCHAR* text, SQLINTEGER length) {
    return qxodbc::Utf16ToUtf8(text, length == SQL_NTS ? SQL_NTS : std::max<SQLINTEGER>(length, 0));
}
SQLCHAR* Bytes(const std::string& text) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())); }

// `text` (UTF-8) into `out` as UTF-16 cut to `capacity` units with its NUL;
// the full length in units at `length`.  SQL_SUCCESS_WITH_INFO when cut.
SQLRETURN Wide(const std::string& text, SQLWCHAR* out, SQLLEN capacity, SQLLEN* length) {
    std::u16string wide = qxodbc::Utf8ToUtf16(text);
    if (length != nullptr) *length = static_cast<SQLLEN>(wide.size());
    if (out == nullptr || capacity <= 0) return wide.empty() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
    std::size_t fits = std::min(wide.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(out, wide.data(), fits * sizeof(SQLWCHAR));
    out[fits] = 0;
    return fits < wide.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

// Wide() for a 16-bit length, in units (`bytes` false) or bytes.
SQLRETURN WideShort(const std::string& text, SQLPOINTER out, SQLSMALLINT capacity, SQLSMALLINT* length, bool bytes) {
    SQLLEN units = bytes ? capacity / static_cast<SQLLEN>(sizeof(SQLWCHAR)) : capacity;
    SQLLEN full = 0;
    SQLRETURN rc = Wide(text, static_cast<SQLWCHAR*>(out), units, &full);
    if (bytes) full *= sizeof(SQLWCHAR);
    if (length != nullptr) *length = static_cast<SQLSMALLINT>(std::min<SQLLEN>(full, 32767));
    return rc;
}

// A narrow call that wrote a text: its result, with the text made wide.
SQLRETURN Widened(SQLRETURN rc, const std::vector<SQLCHAR>& text, SQLPOINTER out, SQLSMALLINT capacity,
                  SQLSMALLINT* length, bool bytes) {
    if (!SQL_SUCCEEDED(rc)) return rc;
    SQLRETURN copied = WideShort(reinterpret_cast<const char*>(text.data()), out, capacity, length, bytes);
    return copied == SQL_SUCCESS_WITH_INFO && out != nullptr ? copied : rc;
}

bool IsTextField(SQLUSMALLINT field) {
    switch (field) {
        case SQL_DESC_NAME: case SQL_DESC_LABEL: case SQL_DESC_BASE_COLUMN_NAME: case SQL_COLUMN_NAME:
        case SQL_DESC_TYPE_NAME: case SQL_DESC_TABLE_NAME: case SQL_DESC_BASE_TABLE_NAME: case SQL_DESC_SCHEMA_NAME:
        case SQL_DESC_CATALOG_NAME: case SQL_DESC_LITERAL_PREFIX: case SQL_DESC_LITERAL_SUFFIX:
        case SQL_DESC_LOCAL_TYPE_NAME:
            return true;
        default: return false;
    }
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLConnectW(SQLHDBC dbc, SQLWCHAR* dsn, SQLSMALLINT dsnLength, SQLWCHAR* user, SQLSMALLINT userLength,
                              SQLWCHAR* auth, SQLSMALLINT authLength) {
    std::string d = Narrow(dsn, dsnLength), u = Narrow(user, userLength), a = Narrow(auth, authLength);
    return SQLConnect(dbc, Bytes(d), SQL_NTS, Bytes(u), SQL_NTS, Bytes(a), SQL_NTS);
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength, SQLWCHAR* out,
                                    SQLSMALLINT outCapacity, SQLSMALLINT* outLength, SQLUSMALLINT completion) {
    std::string text = Narrow(in, inLength);
    std::vector<SQLCHAR> result(kNarrowCapacity);
    SQLRETURN rc = SQLDriverConnect(dbc, window, Bytes(text), SQL_NTS, result.data(), kNarrowCapacity, nullptr, completion);
    return Widened(rc, result, out, outCapacity, outLength, false);
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT stmt, SQLWCHAR* text, SQLINTEGER length) {
    std::string sql = Narrow(text, length);
    return SQLExecDirect(stmt, Bytes(sql), SQL_NTS);
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT stmt, SQLWCHAR* text, SQLINTEGER length) {
    std::string sql = Narrow(text, length);
    return SQLPrepare(stmt, Bytes(sql), SQL_NTS);
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT stmt, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT capacity,
                                  SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* decimals,
                                  SQLSMALLINT* nullable) {
    std::vector<SQLCHAR> narrow(kNarrowCapacity);
    SQLRETURN rc = SQLDescribeCol(stmt, column, narrow.data(), kNarrowCapacity, nullptr, type, size, decimals, nullable);
    return Widened(rc, narrow, name, capacity, nameLength, false);
}

SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                   SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number) {
    if (!IsTextField(field)) return SQLColAttribute(stmt, column, field, text, capacity, length, number);
    std::vector<SQLCHAR> narrow(kNarrowCapacity);
    SQLRETURN rc = SQLColAttribute(stmt, column, field, narrow.data(), kNarrowCapacity, nullptr, number);
    return Widened(rc, narrow, text, capacity, length, true);
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLWCHAR* state,
                                 SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
    SQLCHAR narrowState[6] = "";
    std::vector<SQLCHAR> narrow(kNarrowCapacity);
    SQLRETURN rc = SQLGetDiagRec(type, handle, record, narrowState, native, narrow.data(), kNarrowCapacity, nullptr);
    if (SQL_SUCCEEDED(rc) && state != nullptr) Wide(reinterpret_cast<const char*>(narrowState), state, 6, nullptr);
    return Widened(rc, narrow, message, capacity, length, false);
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                   SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length) {
    switch (field) {
        case SQL_DIAG_SQLSTATE: case SQL_DIAG_MESSAGE_TEXT: case SQL_DIAG_CLASS_ORIGIN: case SQL_DIAG_SUBCLASS_ORIGIN:
        case SQL_DIAG_CONNECTION_NAME: case SQL_DIAG_SERVER_NAME: case SQL_DIAG_DYNAMIC_FUNCTION: {
            std::vector<SQLCHAR> narrow(kNarrowCapacity);
            SQLRETURN rc = SQLGetDiagField(type, handle, record, field, narrow.data(), kNarrowCapacity, nullptr);
            return Widened(rc, narrow, value, capacity, length, true);
        }
        default: return SQLGetDiagField(type, handle, record, field, value, capacity, length);
    }
}

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT capacity,
                              SQLSMALLINT* length) {
    qxodbc::InfoAnswer answer;
    bool text = false;
    {
        std::lock_guard<std::mutex> lock(qxodbc::Engine::Lock());
        text = qxodbc::FindInfo(*static_cast<qxodbc::Connection*>(dbc), type, answer) &&
               std::holds_alternative<std::string>(answer);
    }
    if (!text) return SQLGetInfo(dbc, type, value, capacity, length);
    std::vector<SQLCHAR> narrow(kNarrowCapacity);
    SQLRETURN rc = SQLGetInfo(dbc, type, narrow.data(), kNarrowCapacity, nullptr);
    return Widened(rc, narrow, value, capacity, length, true);
}

// Every connection and statement attribute the driver knows is a number.
SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return SQLSetConnectAttr(dbc, attribute, value, length);
}
SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                                     SQLINTEGER* length) {
    return SQLGetConnectAttr(dbc, attribute, value, capacity, length);
}
SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return SQLSetStmtAttr(stmt, attribute, value, length);
}
SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                                  SQLINTEGER* length) {
    return SQLGetStmtAttr(stmt, attribute, value, capacity, length);
}
SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT stmt, SQLSMALLINT type) { return SQLGetTypeInfo(stmt, type); }

SQLRETURN SQL_API SQLTablesW(SQLHSTMT stmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                             SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength, SQLWCHAR* types,
                             SQLSMALLINT typesLength) {
    std::string c = Narrow(catalog, catalogLength), s = Narrow(schema, schemaLength), t = Narrow(table, tableLength),
                k = Narrow(types, typesLength);
    return SQLTables(stmt, catalog != nullptr ? Bytes(c) : nullptr, SQL_NTS, schema != nullptr ? Bytes(s) : nullptr,
                     SQL_NTS, table != nullptr ? Bytes(t) : nullptr, SQL_NTS, types != nullptr ? Bytes(k) : nullptr, SQL_NTS);
}

SQLRETURN SQL_API SQLColumnsW(SQLHSTMT stmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                              SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength, SQLWCHAR* column,
                              SQLSMALLINT columnLength) {
    std::string c = Narrow(catalog, catalogLength), s = Narrow(schema, schemaLength), t = Narrow(table, tableLength),
                k = Narrow(column, columnLength);
    return SQLColumns(stmt, catalog != nullptr ? Bytes(c) : nullptr, SQL_NTS, schema != nullptr ? Bytes(s) : nullptr,
                      SQL_NTS, table != nullptr ? Bytes(t) : nullptr, SQL_NTS, column != nullptr ? Bytes(k) : nullptr,
                      SQL_NTS);
}

}  // extern "C"
