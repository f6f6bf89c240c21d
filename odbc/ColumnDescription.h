// ColumnDescription: what SQLDescribeCol and SQLColAttribute say of a
// result column, and SQLColumns of a table item: its name and its SQL type
// with size, decimals and type name.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>

namespace qxodbc {

struct ColumnDescription {
    std::string name;
    SQLSMALLINT sqlType = SQL_VARCHAR;  // concise type (SQL_TYPE_DATE...)
    SQLULEN size = 0;                   // column size: characters, digits or bytes
    SQLSMALLINT decimals = 0;
    bool isUnsigned = false;

    // The type's name as CREATE TABLE and SQLGetTypeInfo write it.
    const char* TypeName() const;
    // Characters needed to show any value of the column (SQL_DESC_DISPLAY_SIZE).
    SQLLEN DisplaySize() const;
    // Bytes of the value in its default C type (SQL_DESC_OCTET_LENGTH).
    SQLLEN OctetLength() const;
    bool IsNumeric() const;
    // SQL_NULLABLE for dates and times (their empty value reads as NULL),
    // SQL_NO_NULLS for the rest: the engine has no NULL.
    SQLSMALLINT Nullable() const {
        return sqlType == SQL_TYPE_DATE || sqlType == SQL_TYPE_TIME ? SQL_NULLABLE : SQL_NO_NULLS;
    }

    // The description of a file item of the analysis: field type code
    // `fieldType` (host/README.md's table) and declared size.
    static ColumnDescription ForItem(std::string name, int fieldType, int declaredSize);
    // The description of a result column: its QXSQL_TYPE_* (from the first
    // row, QXSQL_TYPE_NONE without one) and the display size the engine
    // gives (bytes of the stored value for numbers).
    static ColumnDescription ForResult(std::string name, int valueType, int hostType, int displaySize);
};

}  // namespace qxodbc
