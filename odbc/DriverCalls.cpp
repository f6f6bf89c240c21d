// The ODBC calls the driver manager finds in libqxodbc.so.  Each one takes
// the engine lock, clears the handle's diagnostics and hands the work to
// the handle's class; the functions not defined here are answered by the
// driver manager with IM001.  Handles are the addresses of Environment,
// Connection and Statement objects: the process's list of environments
// owns the environments, each environment its connections, each
// connection its statements.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "obsqleng.h"
#include "odbc/Catalog.h"
#include "odbc/Connection.h"
#include "odbc/DriverInfo.h"
#include "odbc/Engine.h"
#include "odbc/Environment.h"
#include "odbc/Statement.h"

using namespace qxodbc;

namespace {

std::vector<std::unique_ptr<Environment>> g_environments;  // guarded by Engine::Lock()

Environment* Env(SQLHANDLE h) { return static_cast<Environment*>(h); }
Connection* Dbc(SQLHANDLE h) { return static_cast<Connection*>(h); }
Statement* Stmt(SQLHANDLE h) { return static_cast<Statement*>(h); }

// A text argument: `length` bytes, or up to its NUL for SQL_NTS.
std::string Arg(const SQLCHAR* text, SQLINTEGER length) {
    if (text == nullptr) return {};
    if (length == SQL_NTS || length < 0) return reinterpret_cast<const char*>(text);
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

Diagnostics* DiagnosticsOf(SQLSMALLINT type, SQLHANDLE handle) {
    if (handle == nullptr) return nullptr;
    switch (type) {
        case SQL_HANDLE_ENV: return &Env(handle)->diagnostics;
        case SQL_HANDLE_DBC: return &Dbc(handle)->diagnostics;
        case SQL_HANDLE_STMT: return &Stmt(handle)->diagnostics;
        default: return nullptr;
    }
}

// The guard of a call on a statement: the engine lock, diagnostics cleared.
struct StatementCall {
    explicit StatementCall(SQLHSTMT handle) : lock(Engine::Lock()), statement(*Stmt(handle)) {
        statement.diagnostics.Clear();
    }
    std::lock_guard<std::mutex> lock;
    Statement& statement;
};

SQLRETURN ShortText(const std::string& text, SQLCHAR* out, SQLSMALLINT capacity, SQLSMALLINT* length,
                    Diagnostics& diagnostics) {
    SQLLEN full = 0;
    SQLRETURN rc = CopyText(text, out, capacity, &full);
    if (length != nullptr) *length = static_cast<SQLSMALLINT>(std::min<SQLLEN>(full, 32767));
    if (rc == SQL_SUCCESS_WITH_INFO && out != nullptr) diagnostics.Warn("01004", "string data, right truncated");
    return rc;
}

SQLRETURN SetInteger(SQLPOINTER value, SQLULEN number) {
    if (value != nullptr) std::memcpy(value, &number, sizeof number);
    return SQL_SUCCESS;
}

SQLRETURN FreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    switch (type) {
        case SQL_HANDLE_ENV: {
            auto found = std::find_if(g_environments.begin(), g_environments.end(),
                                      [handle](const auto& e) { return e.get() == handle; });
            if (found == g_environments.end()) return SQL_INVALID_HANDLE;
            if (!(*found)->connections.empty()) return (*found)->diagnostics.Fail("HY010", "connections remain");
            g_environments.erase(found);
            return SQL_SUCCESS;
        }
        case SQL_HANDLE_DBC:
            for (auto& environment : g_environments) {
                auto& list = environment->connections;
                auto found = std::find_if(list.begin(), list.end(), [handle](const auto& c) { return c.get() == handle; });
                if (found == list.end()) continue;
                if ((*found)->Connected()) return (*found)->diagnostics.Fail("HY010", "the connection is open");
                list.erase(found);
                return SQL_SUCCESS;
            }
            return SQL_INVALID_HANDLE;
        case SQL_HANDLE_STMT: {
            Statement* statement = Stmt(handle);
            statement->Owner().FreeStatement(statement);
            return SQL_SUCCESS;
        }
        default: return SQL_ERROR;
    }
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    if (output == nullptr) return SQL_ERROR;
    *output = SQL_NULL_HANDLE;
    switch (type) {
        case SQL_HANDLE_ENV:
            g_environments.push_back(std::make_unique<Environment>());
            *output = g_environments.back().get();
            return SQL_SUCCESS;
        case SQL_HANDLE_DBC:
            if (input == nullptr) return SQL_INVALID_HANDLE;
            Env(input)->connections.push_back(std::make_unique<Connection>());
            *output = Env(input)->connections.back().get();
            return SQL_SUCCESS;
        case SQL_HANDLE_STMT:
            if (input == nullptr) return SQL_INVALID_HANDLE;
            Dbc(input)->diagnostics.Clear();
            if (!Dbc(input)->Connected()) return Dbc(input)->diagnostics.Fail("08003", "connection not open");
            *output = Dbc(input)->NewStatement();
            return SQL_SUCCESS;
        default:
            return SQL_ERROR;
    }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    if (handle == nullptr) return SQL_INVALID_HANDLE;
    return FreeHandle(type, handle);
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Env(env)->diagnostics.Clear();
    if (attribute == SQL_ATTR_ODBC_VERSION) {
        Env(env)->odbcVersion = static_cast<SQLINTEGER>(reinterpret_cast<SQLLEN>(value));
        return SQL_SUCCESS;
    }
    if (attribute == SQL_ATTR_OUTPUT_NTS || attribute == SQL_ATTR_CONNECTION_POOLING || attribute == SQL_ATTR_CP_MATCH)
        return SQL_SUCCESS;
    return Env(env)->diagnostics.Fail("HYC00", "environment attribute not supported");
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER, SQLINTEGER* length) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Env(env)->diagnostics.Clear();
    SQLINTEGER answer = attribute == SQL_ATTR_ODBC_VERSION ? Env(env)->odbcVersion
                        : attribute == SQL_ATTR_OUTPUT_NTS ? SQL_TRUE
                                                           : -1;
    if (answer < 0) return Env(env)->diagnostics.Fail("HYC00", "environment attribute not supported");
    if (value != nullptr) std::memcpy(value, &answer, sizeof answer);
    if (length != nullptr) *length = sizeof answer;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLConnect(SQLHDBC dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR*, SQLSMALLINT, SQLCHAR*,
                             SQLSMALLINT) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Dbc(dbc)->diagnostics.Clear();
    ConnectionString settings;
    settings.Set("DSN", Arg(dsn, dsnLength));
    return Dbc(dbc)->Connect(settings);
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out,
                                   SQLSMALLINT outCapacity, SQLSMALLINT* outLength, SQLUSMALLINT) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Connection& connection = *Dbc(dbc);
    connection.diagnostics.Clear();
    SQLRETURN rc = connection.Connect(ConnectionString::Parse(Arg(in, inLength)));
    if (!SQL_SUCCEEDED(rc)) return rc;
    SQLRETURN copied = ShortText(connection.Settings().Text(), out, outCapacity, outLength, connection.diagnostics);
    return copied == SQL_SUCCESS_WITH_INFO && out != nullptr ? copied : rc;
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC dbc) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Dbc(dbc)->diagnostics.Clear();
    return Dbc(dbc)->Disconnect();
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Connection& connection = *Dbc(dbc);
    connection.diagnostics.Clear();
    auto number = reinterpret_cast<SQLULEN>(value);
    switch (attribute) {
        case SQL_ATTR_AUTOCOMMIT: return connection.SetAutocommit(number != SQL_AUTOCOMMIT_OFF);
        case SQL_ATTR_LOGIN_TIMEOUT: case SQL_ATTR_CONNECTION_TIMEOUT: case SQL_ATTR_ACCESS_MODE:
        case SQL_ATTR_QUIET_MODE: case SQL_ATTR_ODBC_CURSORS: case SQL_ATTR_PACKET_SIZE:
            return SQL_SUCCESS;  // no network and no prompt: nothing to set
        case SQL_ATTR_TXN_ISOLATION:
            return number == SQL_TXN_SERIALIZABLE ? SQL_SUCCESS
                                                  : connection.diagnostics.Warn("01S02", "transactions are serializable");
        default: return connection.diagnostics.Fail("HYC00", "connection attribute " + std::to_string(attribute) + " not supported");
    }
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                    SQLINTEGER* length) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Connection& connection = *Dbc(dbc);
    connection.diagnostics.Clear();
    SQLUINTEGER answer = 0;
    switch (attribute) {
        case SQL_ATTR_AUTOCOMMIT: answer = connection.Autocommit() ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF; break;
        case SQL_ATTR_CONNECTION_DEAD: answer = connection.Connected() ? SQL_CD_FALSE : SQL_CD_TRUE; break;
        case SQL_ATTR_TXN_ISOLATION: answer = SQL_TXN_SERIALIZABLE; break;
        case SQL_ATTR_ACCESS_MODE: answer = SQL_MODE_READ_WRITE; break;
        case SQL_ATTR_LOGIN_TIMEOUT: case SQL_ATTR_CONNECTION_TIMEOUT: answer = 0; break;
        default: return connection.diagnostics.Fail("HYC00", "connection attribute " + std::to_string(attribute) + " not supported");
    }
    if (value != nullptr) std::memcpy(value, &answer, sizeof answer);
    if (length != nullptr) *length = sizeof answer;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    bool commit = completion == SQL_COMMIT;
    if (type == SQL_HANDLE_DBC) {
        Dbc(handle)->diagnostics.Clear();
        return Dbc(handle)->EndTransaction(commit);
    }
    if (type != SQL_HANDLE_ENV) return SQL_ERROR;
    Env(handle)->diagnostics.Clear();
    SQLRETURN result = SQL_SUCCESS;
    for (auto& connection : Env(handle)->connections) {
        connection->diagnostics.Clear();
        if (!SQL_SUCCEEDED(connection->EndTransaction(commit))) result = SQL_ERROR;
    }
    return result;
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT capacity,
                             SQLSMALLINT* length) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Dbc(dbc)->diagnostics.Clear();
    return GetInfo(*Dbc(dbc), type, value, capacity, length);
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC dbc, SQLUSMALLINT function, SQLUSMALLINT* supported) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Dbc(dbc)->diagnostics.Clear();
    return GetFunctions(*Dbc(dbc), function, supported);
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
    StatementCall call(stmt);
    return call.statement.ExecDirect(Arg(text, length));
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
    StatementCall call(stmt);
    return call.statement.Prepare(Arg(text, length));
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT stmt) {
    StatementCall call(stmt);
    return call.statement.Execute();
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT stmt, SQLUSMALLINT number, SQLSMALLINT direction, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType, SQLULEN, SQLSMALLINT, SQLPOINTER buffer, SQLLEN capacity,
                                   SQLLEN* indicator) {
    StatementCall call(stmt);
    if (direction != SQL_PARAM_INPUT) return call.statement.diagnostics.Fail("HYC00", "only input parameters are supported");
    ParameterBinding binding;
    binding.cType = cType;
    binding.sqlType = sqlType;
    binding.buffer = buffer;
    binding.capacity = capacity;
    binding.indicator = indicator;
    return call.statement.BindParameter(number, binding);
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT stmt, SQLSMALLINT* count) {
    StatementCall call(stmt);
    if (count != nullptr) *count = call.statement.ParameterCount();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
    StatementCall call(stmt);
    if (count != nullptr) *count = call.statement.ColumnCount();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT capacity,
                                 SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* decimals,
                                 SQLSMALLINT* nullable) {
    StatementCall call(stmt);
    const ColumnDescription* c = call.statement.Column(column);
    if (c == nullptr) return SQL_ERROR;
    if (type != nullptr) *type = c->sqlType;
    if (size != nullptr) *size = c->size;
    if (decimals != nullptr) *decimals = c->decimals;
    if (nullable != nullptr) *nullable = c->Nullable();
    return ShortText(c->name, name, capacity, nameLength, call.statement.diagnostics);
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number) {
    StatementCall call(stmt);
    Statement& s = call.statement;
    if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
        if (number != nullptr) *number = s.ColumnCount();
        return SQL_SUCCESS;
    }
    const ColumnDescription* c = s.Column(column);
    if (c == nullptr) return SQL_ERROR;
    SQLLEN answer = 0;
    switch (field) {
        case SQL_DESC_NAME: case SQL_DESC_LABEL: case SQL_DESC_BASE_COLUMN_NAME: case SQL_COLUMN_NAME:
            return ShortText(c->name, static_cast<SQLCHAR*>(text), capacity, length, s.diagnostics);
        case SQL_DESC_TYPE_NAME: return ShortText(c->TypeName(), static_cast<SQLCHAR*>(text), capacity, length, s.diagnostics);
        case SQL_DESC_TABLE_NAME: case SQL_DESC_BASE_TABLE_NAME: case SQL_DESC_SCHEMA_NAME: case SQL_DESC_CATALOG_NAME:
        case SQL_DESC_LITERAL_PREFIX: case SQL_DESC_LITERAL_SUFFIX: case SQL_DESC_LOCAL_TYPE_NAME:
            return ShortText("", static_cast<SQLCHAR*>(text), capacity, length, s.diagnostics);
        case SQL_DESC_CONCISE_TYPE: answer = c->sqlType; break;
        case SQL_DESC_TYPE:
            answer = c->sqlType == SQL_TYPE_DATE || c->sqlType == SQL_TYPE_TIME ? SQL_DATETIME : c->sqlType;
            break;
        case SQL_DESC_LENGTH: case SQL_DESC_PRECISION: case SQL_COLUMN_PRECISION: case SQL_COLUMN_LENGTH:
            answer = static_cast<SQLLEN>(c->size);
            break;
        case SQL_DESC_OCTET_LENGTH: answer = c->OctetLength(); break;
        case SQL_DESC_DISPLAY_SIZE: answer = c->DisplaySize(); break;
        case SQL_DESC_SCALE: case SQL_COLUMN_SCALE: answer = c->decimals; break;
        case SQL_DESC_NULLABLE: case SQL_COLUMN_NULLABLE: answer = c->Nullable(); break;
        case SQL_DESC_UNSIGNED: answer = c->IsNumeric() && !c->isUnsigned ? SQL_FALSE : SQL_TRUE; break;
        case SQL_DESC_NUM_PREC_RADIX: answer = c->IsNumeric() ? 10 : 0; break;
        case SQL_DESC_FIXED_PREC_SCALE: answer = c->sqlType == SQL_DECIMAL ? SQL_TRUE : SQL_FALSE; break;
        case SQL_DESC_CASE_SENSITIVE: case SQL_DESC_AUTO_UNIQUE_VALUE: answer = SQL_FALSE; break;
        case SQL_DESC_SEARCHABLE: answer = SQL_PRED_SEARCHABLE; break;
        case SQL_DESC_UPDATABLE: answer = SQL_ATTR_READONLY; break;
        case SQL_DESC_UNNAMED: answer = c->name.empty() ? SQL_UNNAMED : SQL_NAMED; break;
        default: return s.diagnostics.Fail("HY091", "descriptor field " + std::to_string(field) + " not supported");
    }
    if (number != nullptr) *number = answer;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target,
                             SQLLEN capacity, SQLLEN* indicator) {
    StatementCall call(stmt);
    return call.statement.BindColumn(column, cType, target, capacity, indicator);
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) {
    StatementCall call(stmt);
    return call.statement.Fetch();
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target,
                             SQLLEN capacity, SQLLEN* indicator) {
    StatementCall call(stmt);
    return call.statement.GetData(column, cType, target, capacity, indicator);
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT stmt, SQLLEN* count) {
    StatementCall call(stmt);
    if (count != nullptr) *count = call.statement.RowCount();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT stmt) {
    StatementCall call(stmt);
    call.statement.CloseCursor();
    return SQL_NO_DATA;  // one result per statement
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
    if (option == SQL_DROP) return SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    StatementCall call(stmt);
    switch (option) {
        case SQL_CLOSE: call.statement.CloseCursor(); return SQL_SUCCESS;
        case SQL_UNBIND: call.statement.UnbindColumns(); return SQL_SUCCESS;
        case SQL_RESET_PARAMS: call.statement.ResetParameters(); return SQL_SUCCESS;
        default: return call.statement.diagnostics.Fail("HY092", "invalid option");
    }
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT stmt) {
    StatementCall call(stmt);
    call.statement.CloseCursor();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT) {
    // No lock: the statement to stop holds it.  The engine forgets a
    // request made while nothing runs.
    QXSQLInterrupt();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
    StatementCall call(stmt);
    Statement& s = call.statement;
    auto number = reinterpret_cast<SQLULEN>(value);
    switch (attribute) {
        case SQL_ATTR_ROWS_FETCHED_PTR: s.rowsFetched = static_cast<SQLULEN*>(value); return SQL_SUCCESS;
        case SQL_ATTR_ROW_STATUS_PTR: s.rowStatus = static_cast<SQLUSMALLINT*>(value); return SQL_SUCCESS;
        case SQL_ATTR_ROW_ARRAY_SIZE: case SQL_ATTR_PARAMSET_SIZE: case SQL_ROWSET_SIZE:
            return number == 1 ? SQL_SUCCESS : s.diagnostics.Warn("01S02", "one row at a time: the size stays 1");
        case SQL_ATTR_CURSOR_TYPE:
            return number == SQL_CURSOR_FORWARD_ONLY ? SQL_SUCCESS : s.diagnostics.Warn("01S02", "cursors are forward only");
        case SQL_ATTR_CONCURRENCY:
            return number == SQL_CONCUR_READ_ONLY ? SQL_SUCCESS : s.diagnostics.Warn("01S02", "cursors are read only");
        case SQL_ATTR_QUERY_TIMEOUT: case SQL_ATTR_MAX_ROWS: case SQL_ATTR_MAX_LENGTH:
            return number == 0 ? SQL_SUCCESS : s.diagnostics.Warn("01S02", "no limit is kept: the value stays 0");
        case SQL_ATTR_NOSCAN: case SQL_ATTR_RETRIEVE_DATA: case SQL_ATTR_CURSOR_SCROLLABLE:
        case SQL_ATTR_CURSOR_SENSITIVITY:
            return SQL_SUCCESS;
        default: return s.diagnostics.Fail("HYC00", "statement attribute " + std::to_string(attribute) + " not supported");
    }
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                 SQLINTEGER* length) {
    StatementCall call(stmt);
    Statement& s = call.statement;
    if (length != nullptr) *length = sizeof(SQLULEN);
    switch (attribute) {
        case SQL_ATTR_ROWS_FETCHED_PTR: return SetInteger(value, reinterpret_cast<SQLULEN>(s.rowsFetched));
        case SQL_ATTR_ROW_STATUS_PTR: return SetInteger(value, reinterpret_cast<SQLULEN>(s.rowStatus));
        case SQL_ATTR_ROW_ARRAY_SIZE: case SQL_ATTR_PARAMSET_SIZE: case SQL_ROWSET_SIZE: return SetInteger(value, 1);
        case SQL_ATTR_CURSOR_TYPE: return SetInteger(value, SQL_CURSOR_FORWARD_ONLY);
        case SQL_ATTR_CONCURRENCY: return SetInteger(value, SQL_CONCUR_READ_ONLY);
        case SQL_ATTR_QUERY_TIMEOUT: case SQL_ATTR_MAX_ROWS: case SQL_ATTR_MAX_LENGTH: case SQL_ATTR_NOSCAN:
            return SetInteger(value, 0);
        case SQL_ATTR_CURSOR_SCROLLABLE: return SetInteger(value, SQL_NONSCROLLABLE);
        default: return s.diagnostics.Fail("HYC00", "statement attribute " + std::to_string(attribute) + " not supported");
    }
}

SQLRETURN SQL_API SQLTables(SQLHSTMT stmt, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR*, SQLSMALLINT,
                            SQLCHAR* table, SQLSMALLINT tableLength, SQLCHAR* types, SQLSMALLINT typesLength) {
    StatementCall call(stmt);
    return ListTables(call.statement, Arg(catalog, catalogLength), Arg(table, tableLength), Arg(types, typesLength));
}

SQLRETURN SQL_API SQLColumns(SQLHSTMT stmt, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLCHAR* table,
                             SQLSMALLINT tableLength, SQLCHAR* column, SQLSMALLINT columnLength) {
    StatementCall call(stmt);
    return ListColumns(call.statement, Arg(table, tableLength), Arg(column, columnLength));
}

SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT stmt, SQLSMALLINT type) {
    StatementCall call(stmt);
    return ListTypes(call.statement, type);
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Diagnostics* diagnostics = DiagnosticsOf(type, handle);
    if (diagnostics == nullptr) return SQL_INVALID_HANDLE;
    if (record < 1) return SQL_ERROR;
    const auto& records = diagnostics->Records();
    if (static_cast<std::size_t>(record) > records.size()) return SQL_NO_DATA;
    const DiagnosticRecord& r = records[record - 1];
    if (state != nullptr) std::memcpy(state, r.state.c_str(), 6);
    if (native != nullptr) *native = r.native;
    SQLLEN full = 0;
    std::string text = "[QX] " + r.message;
    SQLRETURN rc = CopyText(text, message, capacity, &full);
    if (length != nullptr) *length = static_cast<SQLSMALLINT>(std::min<SQLLEN>(full, 32767));
    return rc;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length) {
    std::lock_guard<std::mutex> lock(Engine::Lock());
    Diagnostics* diagnostics = DiagnosticsOf(type, handle);
    if (diagnostics == nullptr) return SQL_INVALID_HANDLE;
    const auto& records = diagnostics->Records();
    auto copyText = [&](const std::string& text) {
        SQLLEN full = 0;
        SQLRETURN rc = CopyText(text, static_cast<SQLCHAR*>(value), capacity, &full);
        if (length != nullptr) *length = static_cast<SQLSMALLINT>(std::min<SQLLEN>(full, 32767));
        return rc;
    };
    auto copyNumber = [&](auto number) {
        if (value != nullptr) std::memcpy(value, &number, sizeof number);
        return SQL_SUCCESS;
    };
    switch (field) {  // header fields
        case SQL_DIAG_NUMBER: return copyNumber(static_cast<SQLINTEGER>(records.size()));
        case SQL_DIAG_RETURNCODE: return copyNumber(static_cast<SQLRETURN>(records.empty() ? SQL_SUCCESS : SQL_ERROR));
        case SQL_DIAG_ROW_COUNT:
            return copyNumber(type == SQL_HANDLE_STMT ? Stmt(handle)->RowCount() : SQLLEN{0});
        case SQL_DIAG_CURSOR_ROW_COUNT: return copyNumber(SQLLEN{-1});
        case SQL_DIAG_DYNAMIC_FUNCTION: return copyText("");
        case SQL_DIAG_DYNAMIC_FUNCTION_CODE: return copyNumber(SQLINTEGER{SQL_DIAG_UNKNOWN_STATEMENT});
        default: break;
    }
    if (record < 1 || static_cast<std::size_t>(record) > records.size()) return SQL_NO_DATA;
    const DiagnosticRecord& r = records[record - 1];
    switch (field) {
        case SQL_DIAG_SQLSTATE: return copyText(r.state);
        case SQL_DIAG_NATIVE: return copyNumber(static_cast<SQLINTEGER>(r.native));
        case SQL_DIAG_MESSAGE_TEXT: return copyText("[QX] " + r.message);
        case SQL_DIAG_CLASS_ORIGIN: case SQL_DIAG_SUBCLASS_ORIGIN:
            return copyText(r.state.compare(0, 2, "IM") == 0 || r.state.compare(0, 2, "HY") == 0 ? "ODBC 3.0" : "ISO 9075");
        case SQL_DIAG_CONNECTION_NAME: case SQL_DIAG_SERVER_NAME: return copyText("");
        case SQL_DIAG_COLUMN_NUMBER: return copyNumber(SQLINTEGER{SQL_COLUMN_NUMBER_UNKNOWN});
        case SQL_DIAG_ROW_NUMBER: return copyNumber(SQLLEN{SQL_ROW_NUMBER_UNKNOWN});
        default: return SQL_ERROR;
    }
}

}  // extern "C"
