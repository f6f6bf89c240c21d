#include "odbc/DriverInfo.h"

#include <cstring>

namespace qxodbc {
namespace {

// The functions this library exports; the driver manager answers IM001
// for the others.
constexpr SQLUSMALLINT kFunctions[] = {
    SQL_API_SQLALLOCHANDLE,   SQL_API_SQLFREEHANDLE,   SQL_API_SQLSETENVATTR,     SQL_API_SQLGETENVATTR,
    SQL_API_SQLCONNECT,       SQL_API_SQLDRIVERCONNECT, SQL_API_SQLDISCONNECT,    SQL_API_SQLSETCONNECTATTR,
    SQL_API_SQLGETCONNECTATTR, SQL_API_SQLEXECDIRECT,  SQL_API_SQLPREPARE,        SQL_API_SQLBINDPARAMETER,
    SQL_API_SQLEXECUTE,       SQL_API_SQLNUMPARAMS,    SQL_API_SQLFETCH,          SQL_API_SQLGETDATA,
    SQL_API_SQLBINDCOL,       SQL_API_SQLNUMRESULTCOLS, SQL_API_SQLDESCRIBECOL,   SQL_API_SQLCOLATTRIBUTE,
    SQL_API_SQLROWCOUNT,      SQL_API_SQLGETDIAGREC,   SQL_API_SQLGETDIAGFIELD,   SQL_API_SQLENDTRAN,
    SQL_API_SQLTABLES,        SQL_API_SQLCOLUMNS,      SQL_API_SQLGETINFO,        SQL_API_SQLGETTYPEINFO,
    SQL_API_SQLGETFUNCTIONS,  SQL_API_SQLFREESTMT,     SQL_API_SQLCLOSECURSOR,    SQL_API_SQLMORERESULTS,
    SQL_API_SQLSETSTMTATTR,   SQL_API_SQLGETSTMTATTR,  SQL_API_SQLCANCEL,
};

using Answer = InfoAnswer;

// Every answer but the data source's own names, which come from the connection.
bool FixedAnswer(SQLUSMALLINT type, Answer& answer) {
    switch (type) {
        case SQL_DBMS_NAME: answer = std::string("QX"); return true;
        case SQL_DBMS_VER: answer = std::string("01.00.0000"); return true;
        case SQL_DRIVER_NAME: answer = std::string("libqxodbc.so"); return true;
        case SQL_DRIVER_VER: answer = std::string("01.00.0000"); return true;
        case SQL_DRIVER_ODBC_VER: answer = std::string("03.00"); return true;
        case SQL_IDENTIFIER_QUOTE_CHAR: answer = std::string(" "); return true;  // names are never quoted
        case SQL_SEARCH_PATTERN_ESCAPE: answer = std::string("\\"); return true;
        case SQL_CATALOG_NAME_SEPARATOR: case SQL_CATALOG_TERM: case SQL_SCHEMA_TERM: case SQL_PROCEDURE_TERM:
        case SQL_USER_NAME: case SQL_SPECIAL_CHARACTERS: case SQL_KEYWORDS:
            answer = std::string();
            return true;
        case SQL_TABLE_TERM: answer = std::string("table"); return true;
        case SQL_CATALOG_NAME: case SQL_PROCEDURES: case SQL_MULT_RESULT_SETS: case SQL_MULTIPLE_ACTIVE_TXN:
        case SQL_NEED_LONG_DATA_LEN: case SQL_DESCRIBE_PARAMETER: case SQL_ROW_UPDATES: case SQL_DATA_SOURCE_READ_ONLY:
        case SQL_INTEGRITY: case SQL_MAX_ROW_SIZE_INCLUDES_LONG: case SQL_LIKE_ESCAPE_CLAUSE:
        case SQL_ORDER_BY_COLUMNS_IN_SELECT: case SQL_ACCESSIBLE_PROCEDURES:
            answer = std::string("N");
            return true;
        case SQL_ACCESSIBLE_TABLES: case SQL_COLUMN_ALIAS: case SQL_EXPRESSIONS_IN_ORDERBY: case SQL_OUTER_JOINS:
            answer = std::string("Y");
            return true;
        case SQL_TXN_CAPABLE: answer = SQLUSMALLINT{SQL_TC_ALL}; return true;
        case SQL_CURSOR_COMMIT_BEHAVIOR: case SQL_CURSOR_ROLLBACK_BEHAVIOR: answer = SQLUSMALLINT{SQL_CB_CLOSE}; return true;
        case SQL_DEFAULT_TXN_ISOLATION: case SQL_TXN_ISOLATION_OPTION: answer = SQLUINTEGER{SQL_TXN_SERIALIZABLE}; return true;
        case SQL_GETDATA_EXTENSIONS: answer = SQLUINTEGER{SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND}; return true;
        case SQL_MAX_CONCURRENT_ACTIVITIES: case SQL_MAX_DRIVER_CONNECTIONS: case SQL_MAX_CATALOG_NAME_LEN:
        case SQL_MAX_SCHEMA_NAME_LEN: case SQL_MAX_PROCEDURE_NAME_LEN: case SQL_ACTIVE_ENVIRONMENTS:
        case SQL_MAX_COLUMNS_IN_GROUP_BY: case SQL_MAX_COLUMNS_IN_ORDER_BY: case SQL_MAX_COLUMNS_IN_SELECT:
        case SQL_MAX_TABLES_IN_SELECT: case SQL_MAX_USER_NAME_LEN: case SQL_MAX_CURSOR_NAME_LEN:
            answer = SQLUSMALLINT{0};  // no fixed limit
            return true;
        case SQL_MAX_TABLE_NAME_LEN: answer = SQLUSMALLINT{8}; return true;
        case SQL_MAX_COLUMN_NAME_LEN: case SQL_MAX_IDENTIFIER_LEN: answer = SQLUSMALLINT{10}; return true;
        case SQL_MAX_STATEMENT_LEN: answer = SQLUINTEGER{16382}; return true;
        case SQL_MAX_ROW_SIZE: answer = SQLUINTEGER{65535}; return true;
        case SQL_MAX_CHAR_LITERAL_LEN: case SQL_MAX_BINARY_LITERAL_LEN: case SQL_MAX_INDEX_SIZE: answer = SQLUINTEGER{0}; return true;
        case SQL_IDENTIFIER_CASE: case SQL_QUOTED_IDENTIFIER_CASE: answer = SQLUSMALLINT{SQL_IC_UPPER}; return true;
        case SQL_NULL_COLLATION: answer = SQLUSMALLINT{SQL_NC_LOW}; return true;
        case SQL_CONCAT_NULL_BEHAVIOR: answer = SQLUSMALLINT{SQL_CB_NON_NULL}; return true;
        case SQL_NON_NULLABLE_COLUMNS: answer = SQLUSMALLINT{SQL_NNC_NON_NULL}; return true;
        case SQL_CORRELATION_NAME: answer = SQLUSMALLINT{SQL_CN_ANY}; return true;
        case SQL_GROUP_BY: answer = SQLUSMALLINT{SQL_GB_GROUP_BY_CONTAINS_SELECT}; return true;
        case SQL_CATALOG_LOCATION: case SQL_FILE_USAGE: answer = SQLUSMALLINT{0}; return true;
        case SQL_SCROLL_OPTIONS: answer = SQLUINTEGER{SQL_SO_FORWARD_ONLY}; return true;
        case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: answer = SQLUINTEGER{SQL_CA1_NEXT}; return true;
        case SQL_STATIC_CURSOR_ATTRIBUTES1: case SQL_STATIC_CURSOR_ATTRIBUTES2: case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
        case SQL_DYNAMIC_CURSOR_ATTRIBUTES2: case SQL_KEYSET_CURSOR_ATTRIBUTES1: case SQL_KEYSET_CURSOR_ATTRIBUTES2:
        case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2: case SQL_CATALOG_USAGE: case SQL_SCHEMA_USAGE:
        case SQL_CONVERT_FUNCTIONS: case SQL_NUMERIC_FUNCTIONS: case SQL_STRING_FUNCTIONS: case SQL_SYSTEM_FUNCTIONS:
        case SQL_TIMEDATE_FUNCTIONS: case SQL_BATCH_SUPPORT: case SQL_BATCH_ROW_COUNT: case SQL_STATIC_SENSITIVITY:
        case SQL_POS_OPERATIONS: case SQL_LOCK_TYPES: case SQL_BOOKMARK_PERSISTENCE: case SQL_ASYNC_MODE:
        case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS: case SQL_TIMEDATE_ADD_INTERVALS: case SQL_TIMEDATE_DIFF_INTERVALS:
        case SQL_ALTER_DOMAIN: case SQL_DATETIME_LITERALS: case SQL_INDEX_KEYWORDS:
        case SQL_INFO_SCHEMA_VIEWS: case SQL_SQL92_DATETIME_FUNCTIONS: case SQL_SQL92_FOREIGN_KEY_DELETE_RULE:
        case SQL_SQL92_FOREIGN_KEY_UPDATE_RULE: case SQL_SQL92_GRANT: case SQL_SQL92_REVOKE:
        case SQL_SQL92_NUMERIC_VALUE_FUNCTIONS: case SQL_SQL92_VALUE_EXPRESSIONS:
        case SQL_CONVERT_CHAR: case SQL_CONVERT_INTEGER: case SQL_CONVERT_VARCHAR: case SQL_CONVERT_DOUBLE:
            answer = SQLUINTEGER{0};
            return true;
        case SQL_OJ_CAPABILITIES: answer = SQLUINTEGER{SQL_OJ_LEFT | SQL_OJ_NOT_ORDERED | SQL_OJ_ALL_COMPARISON_OPS}; return true;
        case SQL_AGGREGATE_FUNCTIONS:
            answer = SQLUINTEGER{SQL_AF_AVG | SQL_AF_COUNT | SQL_AF_MAX | SQL_AF_MIN | SQL_AF_SUM | SQL_AF_DISTINCT};
            return true;
        case SQL_SQL92_STRING_FUNCTIONS: answer = SQLUINTEGER{SQL_SSF_UPPER | SQL_SSF_LOWER | SQL_SSF_TRIM_BOTH}; return true;
        case SQL_SQL92_PREDICATES:
            answer = SQLUINTEGER{SQL_SP_BETWEEN | SQL_SP_COMPARISON | SQL_SP_EXISTS | SQL_SP_IN | SQL_SP_ISNULL |
                                 SQL_SP_ISNOTNULL | SQL_SP_LIKE | SQL_SP_QUANTIFIED_COMPARISON};
            return true;
        case SQL_SQL92_RELATIONAL_JOIN_OPERATORS:
            answer = SQLUINTEGER{SQL_SRJO_CROSS_JOIN | SQL_SRJO_INNER_JOIN | SQL_SRJO_LEFT_OUTER_JOIN};
            return true;
        case SQL_UNION: answer = SQLUINTEGER{SQL_U_UNION | SQL_U_UNION_ALL}; return true;
        case SQL_SUBQUERIES:
            answer = SQLUINTEGER{SQL_SQ_CORRELATED_SUBQUERIES | SQL_SQ_COMPARISON | SQL_SQ_EXISTS | SQL_SQ_IN};
            return true;
        case SQL_CREATE_TABLE: answer = SQLUINTEGER{SQL_CT_CREATE_TABLE | SQL_CT_COLUMN_CONSTRAINT | SQL_CT_TABLE_CONSTRAINT}; return true;
        case SQL_DROP_TABLE: answer = SQLUINTEGER{SQL_DT_DROP_TABLE}; return true;
        case SQL_ALTER_TABLE: answer = SQLUINTEGER{SQL_AT_ADD_COLUMN | SQL_AT_DROP_COLUMN}; return true;
        case SQL_INSERT_STATEMENT: answer = SQLUINTEGER{SQL_IS_INSERT_LITERALS}; return true;
        case SQL_PARAM_ARRAY_ROW_COUNTS: answer = SQLUINTEGER{SQL_PARC_NO_BATCH}; return true;
        case SQL_PARAM_ARRAY_SELECTS: answer = SQLUINTEGER{SQL_PAS_NO_SELECT}; return true;
        case SQL_ODBC_INTERFACE_CONFORMANCE: answer = SQLUINTEGER{SQL_OIC_CORE}; return true;
        case SQL_SQL_CONFORMANCE: answer = SQLUINTEGER{SQL_SC_SQL92_ENTRY}; return true;
        case SQL_CURSOR_SENSITIVITY: answer = SQLUINTEGER{SQL_INSENSITIVE}; return true;
        default: return false;
    }
}

}  // namespace

bool FindInfo(const Connection& connection, SQLUSMALLINT type, InfoAnswer& answer) {
    switch (type) {
        case SQL_DATA_SOURCE_NAME: answer = connection.Settings().Get("DSN"); return true;
        case SQL_SERVER_NAME: case SQL_DATABASE_NAME: answer = connection.Settings().Get("DATABASE"); return true;
        default: return FixedAnswer(type, answer);
    }
}

SQLRETURN GetInfo(Connection& connection, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT capacity,
                  SQLSMALLINT* length) {
    Answer answer;
    if (!FindInfo(connection, type, answer))
        return connection.diagnostics.Fail("HY096", "information type " + std::to_string(type) + " is not known");
    if (const auto* text = std::get_if<std::string>(&answer)) {
        SQLLEN full = 0;
        SQLRETURN rc = CopyText(*text, static_cast<SQLCHAR*>(value), capacity, &full);
        if (length != nullptr) *length = static_cast<SQLSMALLINT>(full);
        if (rc == SQL_SUCCESS_WITH_INFO) connection.diagnostics.Warn("01004", "string data, right truncated");
        return rc;
    }
    if (const auto* small = std::get_if<SQLUSMALLINT>(&answer)) {
        if (value != nullptr) std::memcpy(value, small, sizeof *small);
        if (length != nullptr) *length = sizeof *small;
    } else {
        const auto& whole = std::get<SQLUINTEGER>(answer);
        if (value != nullptr) std::memcpy(value, &whole, sizeof whole);
        if (length != nullptr) *length = sizeof whole;
    }
    return SQL_SUCCESS;
}

SQLRETURN GetFunctions(Connection&, SQLUSMALLINT function, SQLUSMALLINT* supported) {
    if (supported == nullptr) return SQL_SUCCESS;
    if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
        std::memset(supported, 0, sizeof(SQLUSMALLINT) * SQL_API_ODBC3_ALL_FUNCTIONS_SIZE);
        for (SQLUSMALLINT f : kFunctions) supported[f >> 4] |= static_cast<SQLUSMALLINT>(1 << (f & 0xF));
    } else if (function == SQL_API_ALL_FUNCTIONS) {
        std::memset(supported, 0, sizeof(SQLUSMALLINT) * 100);
        for (SQLUSMALLINT f : kFunctions)
            if (f < 100) supported[f] = SQL_TRUE;
    } else {
        *supported = SQL_FALSE;
        for (SQLUSMALLINT f : kFunctions) *supported = f == function ? SQL_TRUE : *supported;
    }
    return SQL_SUCCESS;
}

}  // namespace qxodbc
