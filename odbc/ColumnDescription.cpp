#include "odbc/ColumnDescription.h"

#include "obsqleng.h"

namespace qxodbc {
namespace {

// Host type numbers of the engine's column description.
enum HostType { kHostNumeric = 16, kHostDate = 17, kHostTime = 18 };

// Field type codes of the analysis (host/README.md).
enum FieldType {
    kInt8 = 1, kUInt8 = 2, kInt16 = 3, kUInt16 = 4, kInt32 = 5, kUInt32 = 6, kFloat = 7, kDouble = 9,
    kFixedPoint = 10, kTextMemo = 12, kFixedText = 13, kCountedText = 14, kTerminatedText = 15,
    kBinaryMemo = 22, kDate = 98, kTime = 99
};

// Digits and decimals of the fixed-point type (24 digits, six after the point).
constexpr SQLULEN kFixedPrecision = 24;
constexpr SQLSMALLINT kFixedScale = 6;
// Longest memo text a value carries.
constexpr SQLULEN kMemoSize = 4096;

}  // namespace

const char* ColumnDescription::TypeName() const {
    switch (sqlType) {
        case SQL_TINYINT: return "TINYINT";
        case SQL_SMALLINT: return "SMALLINT";
        case SQL_INTEGER: return "INTEGER";
        case SQL_BIGINT: return "BIGINT";
        case SQL_REAL: return "REAL";
        case SQL_DOUBLE: return "DOUBLE";
        case SQL_DECIMAL: return "DECIMAL";
        case SQL_CHAR: return "CHAR";
        case SQL_LONGVARCHAR: return "MEMO";
        case SQL_TYPE_DATE: return "DATE";
        case SQL_TYPE_TIME: return "TIME";
        default: return "VARCHAR";
    }
}

bool ColumnDescription::IsNumeric() const {
    switch (sqlType) {
        case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: case SQL_REAL: case SQL_DOUBLE:
        case SQL_DECIMAL: return true;
        default: return false;
    }
}

SQLLEN ColumnDescription::DisplaySize() const {
    switch (sqlType) {
        case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
            return static_cast<SQLLEN>(size) + (isUnsigned ? 0 : 1);
        case SQL_REAL: return 14;
        case SQL_DOUBLE: return 24;
        case SQL_DECIMAL: return static_cast<SQLLEN>(size) + 2;
        default: return static_cast<SQLLEN>(size);
    }
}

SQLLEN ColumnDescription::OctetLength() const {
    switch (sqlType) {
        case SQL_TINYINT: return 1;
        case SQL_SMALLINT: return 2;
        case SQL_INTEGER: case SQL_REAL: return 4;
        case SQL_BIGINT: case SQL_DOUBLE: return 8;
        case SQL_DECIMAL: return static_cast<SQLLEN>(size) + 2;
        case SQL_TYPE_DATE: return 6;  // SQL_DATE_STRUCT
        case SQL_TYPE_TIME: return 6;  // SQL_TIME_STRUCT
        default: return static_cast<SQLLEN>(size);
    }
}

ColumnDescription ColumnDescription::ForResult(std::string name, int valueType, int hostType, int displaySize) {
    ColumnDescription c;
    c.name = std::move(name);
    if (valueType == QXSQL_TYPE_NONE) {
        // No row to learn the exact type from: the description's class.
        if (hostType == kHostNumeric) valueType = displaySize <= 4 ? QXSQL_TYPE_INTEGER : QXSQL_TYPE_REAL;
        else if (hostType == kHostDate) valueType = QXSQL_TYPE_DATE;
        else if (hostType == kHostTime) valueType = QXSQL_TYPE_TIME;
        else valueType = QXSQL_TYPE_TEXT;
    }
    switch (valueType) {
        case QXSQL_TYPE_INTEGER:
            c.sqlType = displaySize == 1 ? SQL_TINYINT : displaySize == 2 ? SQL_SMALLINT : displaySize == 4 ? SQL_INTEGER : SQL_BIGINT;
            c.size = c.sqlType == SQL_TINYINT ? 3 : c.sqlType == SQL_SMALLINT ? 5 : c.sqlType == SQL_INTEGER ? 10 : 19;
            break;
        case QXSQL_TYPE_REAL:
            c.sqlType = displaySize == 4 ? SQL_REAL : SQL_DOUBLE;
            c.size = displaySize == 4 ? 7 : 15;
            break;
        case QXSQL_TYPE_FIXED:
            c.sqlType = SQL_DECIMAL;
            c.size = kFixedPrecision;
            c.decimals = kFixedScale;
            break;
        case QXSQL_TYPE_DATE: c.sqlType = SQL_TYPE_DATE; c.size = 10; break;
        case QXSQL_TYPE_TIME: c.sqlType = SQL_TYPE_TIME; c.size = 8; break;
        case QXSQL_TYPE_MEMO: case QXSQL_TYPE_BINARY: c.sqlType = SQL_LONGVARCHAR; c.size = kMemoSize; break;
        default: c.sqlType = SQL_VARCHAR; c.size = displaySize > 0 ? static_cast<SQLULEN>(displaySize) : 1; break;
    }
    return c;
}

ColumnDescription ColumnDescription::ForItem(std::string name, int fieldType, int declaredSize) {
    int valueType = QXSQL_TYPE_TEXT;
    int size = declaredSize;
    switch (fieldType) {
        case kInt8: case kUInt8: valueType = QXSQL_TYPE_INTEGER; size = 1; break;
        case kInt16: case kUInt16: valueType = QXSQL_TYPE_INTEGER; size = 2; break;
        case kInt32: case kUInt32: valueType = QXSQL_TYPE_INTEGER; size = 4; break;
        case kFloat: valueType = QXSQL_TYPE_REAL; size = 4; break;
        case kDouble: valueType = QXSQL_TYPE_REAL; size = 8; break;
        case kFixedPoint: valueType = QXSQL_TYPE_FIXED; break;
        case kTextMemo: case kBinaryMemo: valueType = QXSQL_TYPE_MEMO; break;
        case kCountedText: case kTerminatedText: size = declaredSize > 0 ? declaredSize - 1 : 0; break;
        case kDate: valueType = QXSQL_TYPE_DATE; break;
        case kTime: valueType = QXSQL_TYPE_TIME; break;
        default: break;  // kFixedText and unknown codes: text of the declared size
    }
    ColumnDescription c = ForResult(std::move(name), valueType, 0, size);
    c.isUnsigned = fieldType == kUInt8 || fieldType == kUInt16 || fieldType == kUInt32;
    if (fieldType == kUInt32) {
        c.sqlType = SQL_BIGINT;  // beyond INTEGER's range
        c.size = 10;
    }
    return c;
}

}  // namespace qxodbc
