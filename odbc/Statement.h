// Statement: an ODBC statement handle over one engine request.  It runs a
// statement directly (QXSQLExecReq) or prepared (QXSQLPrepare, then the
// bound parameters and QXSQLExecute for each run), and walks the result
// row by row.  The catalog calls give it rows made by the driver instead;
// fetching, SQLGetData and bound columns work the same on both.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>
#include <vector>

#include "odbc/ColumnDescription.h"
#include "odbc/Conversions.h"
#include "odbc/Diagnostics.h"
#include "odbc/FieldValue.h"

namespace qxodbc {

class Connection;

class Statement {
public:
    explicit Statement(Connection& connection) : connection_(connection) {}
    ~Statement() { Close(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Diagnostics diagnostics;
    Connection& Owner() const { return connection_; }

    SQLRETURN ExecDirect(const std::string& sql);
    SQLRETURN Prepare(const std::string& sql);
    SQLRETURN Execute();
    SQLRETURN BindParameter(SQLUSMALLINT number, const ParameterBinding& binding);
    void ResetParameters() { parameters_.clear(); }
    SQLSMALLINT ParameterCount() const { return static_cast<SQLSMALLINT>(parameterCount_); }

    // A driver-made result (catalog calls), replacing any other.
    void SetRows(std::vector<ColumnDescription> columns, std::vector<std::vector<FieldValue>> rows);

    SQLRETURN BindColumn(SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target, SQLLEN capacity, SQLLEN* indicator);
    void UnbindColumns() { bindings_.clear(); }
    SQLRETURN Fetch();
    SQLRETURN GetData(SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target, SQLLEN capacity, SQLLEN* indicator);

    SQLSMALLINT ColumnCount() const { return static_cast<SQLSMALLINT>(columns_.size()); }
    // Column `column` (from 1) of the result; null, with 07009 recorded, when there is none.
    const ColumnDescription* Column(SQLUSMALLINT column);
    // Rows of the result, or records changed by the last statement.
    SQLLEN RowCount() const { return rowCount_; }

    SQLULEN* rowsFetched = nullptr;         // SQL_ATTR_ROWS_FETCHED_PTR
    SQLUSMALLINT* rowStatus = nullptr;      // SQL_ATTR_ROW_STATUS_PTR

    // Drops the result (SQL_CLOSE); a prepared statement stays prepared.
    void CloseCursor();
    // Releases the engine request too.
    void Close();

private:
    enum class Source { kNone, kEngine, kRows };
    struct ColumnBinding {
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLPOINTER target = nullptr;
        SQLLEN capacity = 0;
        SQLLEN* indicator = nullptr;
    };

    // After a run: the result's columns (typed from its first row, which is
    // then kept for the first fetch) or the count of changed records.
    void TakeResult(std::uint32_t changed);
    void ReadEngineRow();
    SQLSMALLINT DefaultCType(const ColumnDescription& column) const;

    Connection& connection_;
    std::uintptr_t handle_ = 0;  // engine request, 0 when none; released by Close
    bool prepared_ = false;      // handle_ holds a prepared statement
    std::string sql_;            // the prepared statement's text
    std::uint16_t parameterCount_ = 0;
    std::vector<ParameterBinding> parameters_;  // by number - 1
    std::vector<std::uint64_t> info_;           // the ExecInfo block, 8-byte aligned

    Source source_ = Source::kNone;
    std::vector<ColumnDescription> columns_;
    std::vector<std::vector<FieldValue>> rows_;  // kRows: the whole result
    std::size_t nextRow_ = 0;
    bool firstRowRead_ = false;  // kEngine: row 1 was read to learn the types
    bool onRow_ = false;
    std::vector<FieldValue> current_;
    std::vector<ReadPosition> positions_;
    std::vector<ColumnBinding> bindings_;
    SQLLEN rowCount_ = -1;
};

}  // namespace qxodbc
