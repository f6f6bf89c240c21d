#include "odbc/Statement.h"

#include <cstdlib>
#include <cstring>

#include "obsqleng.h"
#include "odbc/Connection.h"
#include "qxhost.h"

namespace qxodbc {
namespace {

// Bytes of the ExecInfo block: the counts and the column description.
constexpr std::size_t kExecInfoBytes = 1 << 16;

// The value of column `column` of the engine's current row.
FieldValue EngineValue(std::uintptr_t handle, std::uint16_t column, int* type) {
    QXSQLValue v;
    if (QXSQLColumnValue(handle, column, &v) != 0) v.type = QXSQL_TYPE_NONE;
    *type = v.type;
    switch (v.type) {
        case QXSQL_TYPE_INTEGER: return FieldValue::Integer(v.integer);
        case QXSQL_TYPE_REAL: return {FieldKind::kReal, 0, v.real, {}};
        case QXSQL_TYPE_FIXED: return {FieldKind::kDecimal, 0, v.real, std::string(v.text, v.size)};
        case QXSQL_TYPE_TEXT: case QXSQL_TYPE_MEMO: case QXSQL_TYPE_BINARY:
            return FieldValue::Text(std::string(v.text, v.size));
        case QXSQL_TYPE_DATE: return v.integer == 0 ? FieldValue::Null() : FieldValue{FieldKind::kDate, v.integer, 0.0, {}};
        case QXSQL_TYPE_TIME: return v.size == 0 ? FieldValue::Null() : FieldValue{FieldKind::kTime, v.integer, 0.0, {}};
        default: return FieldValue::Null();
    }
}

}  // namespace

void Statement::CloseCursor() {
    if (handle_ != 0) {
        if (prepared_) QXSQLReset(handle_);
        else Close();
    }
    source_ = Source::kNone;
    columns_.clear();
    rows_.clear();
    current_.clear();
    positions_.clear();
    onRow_ = false;
    firstRowRead_ = false;
    nextRow_ = 0;
}

void Statement::Close() {
    if (handle_ != 0) QXSQLFinRequete(handle_);
    handle_ = 0;
    prepared_ = false;
    parameterCount_ = 0;
    if (source_ == Source::kEngine) CloseCursor();
}

SQLRETURN Statement::ExecDirect(const std::string& sql) {
    bool anyBound = false;
    for (const auto& p : parameters_) anyBound = anyBound || p.bound;
    if (anyBound) {
        SQLRETURN rc = Prepare(sql);
        return SQL_SUCCEEDED(rc) ? Execute() : rc;
    }
    CloseCursor();
    Close();
    if (!connection_.Connected()) return diagnostics.Fail("08003", "connection not open");
    SQLRETURN rc = connection_.BeforeStatement(sql, diagnostics);
    if (!SQL_SUCCEEDED(rc)) return rc;
    info_.assign(kExecInfoBytes / sizeof(std::uint64_t), 0);
    auto* info = reinterpret_cast<ExecInfo*>(info_.data());
    std::uint32_t before = QXHostChangeCount(connection_.Context());
    if (QXSQLExecReq(&handle_, sql.c_str(), info, connection_.Context(), 0) != 0) {
        rc = EngineError(handle_, diagnostics);
        Close();
        return rc;
    }
    connection_.AfterStatement(sql);
    TakeResult(QXHostChangeCount(connection_.Context()) - before);
    return SQL_SUCCESS;
}

SQLRETURN Statement::Prepare(const std::string& sql) {
    CloseCursor();
    Close();
    if (!connection_.Connected()) return diagnostics.Fail("08003", "connection not open");
    if (QXSQLPrepare(&handle_, sql.c_str(), connection_.Context(), &parameterCount_) != 0) {
        SQLRETURN rc = EngineError(handle_, diagnostics);
        Close();
        return rc;
    }
    prepared_ = true;
    sql_ = sql;
    return SQL_SUCCESS;
}

SQLRETURN Statement::Execute() {
    if (!prepared_) return diagnostics.Fail("HY010", "function sequence error: no prepared statement");
    CloseCursor();
    for (std::uint16_t n = 1; n <= parameterCount_; ++n) {
        if (n > parameters_.size() || !parameters_[n - 1].bound)
            return diagnostics.Fail("07002", "parameter " + std::to_string(n) + " has no value bound");
        SQLRETURN rc = BindToEngine(handle_, n, parameters_[n - 1], diagnostics);
        if (!SQL_SUCCEEDED(rc)) return rc;
    }
    SQLRETURN rc = connection_.BeforeStatement(sql_, diagnostics);
    if (!SQL_SUCCEEDED(rc)) return rc;
    info_.assign(kExecInfoBytes / sizeof(std::uint64_t), 0);
    std::uint32_t before = QXHostChangeCount(connection_.Context());
    if (QXSQLExecute(handle_, reinterpret_cast<ExecInfo*>(info_.data())) != 0) return EngineError(handle_, diagnostics);
    connection_.AfterStatement(sql_);
    TakeResult(QXHostChangeCount(connection_.Context()) - before);
    return SQL_SUCCESS;
}

SQLRETURN Statement::BindParameter(SQLUSMALLINT number, const ParameterBinding& binding) {
    if (number < 1) return diagnostics.Fail("07009", "invalid parameter number");
    if (parameters_.size() < number) parameters_.resize(number);
    parameters_[number - 1] = binding;
    parameters_[number - 1].bound = true;
    return SQL_SUCCESS;
}

void Statement::TakeResult(std::uint32_t changed) {
    const auto* info = reinterpret_cast<const ExecInfo*>(info_.data());
    if (info->columnCount == 0) {
        rowCount_ = changed;
        return;
    }
    source_ = Source::kEngine;
    rowCount_ = info->rowCount;
    std::vector<int> types(info->columnCount, QXSQL_TYPE_NONE);
    if (info->rowCount > 0 && QXSQLFetchNext(handle_) == 0) {
        current_.clear();
        for (std::uint16_t c = 1; c <= info->columnCount; ++c) current_.push_back(EngineValue(handle_, c, &types[c - 1]));
        firstRowRead_ = true;
    }
    // Lines "name\tletter\thosttype\tsize" joined by CR LF.
    const char* text = info->columnText;
    for (std::uint16_t c = 0; c < info->columnCount; ++c) {
        const char* end = std::strstr(text, "\r\n");
        std::string line = end != nullptr ? std::string(text, end) : std::string(text);
        text = end != nullptr ? end + 2 : text + std::strlen(text);
        std::string fields[4];
        std::size_t start = 0;
        for (int f = 0; f < 4; ++f) {
            std::size_t tab = line.find('\t', start);
            fields[f] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
            start = tab == std::string::npos ? line.size() : tab + 1;
        }
        columns_.push_back(ColumnDescription::ForResult(fields[0], types[c], std::atoi(fields[2].c_str()),
                                                        std::atoi(fields[3].c_str())));
    }
}

void Statement::SetRows(std::vector<ColumnDescription> columns, std::vector<std::vector<FieldValue>> rows) {
    CloseCursor();
    Close();
    source_ = Source::kRows;
    columns_ = std::move(columns);
    rows_ = std::move(rows);
    rowCount_ = static_cast<SQLLEN>(rows_.size());
}

void Statement::ReadEngineRow() {
    current_.clear();
    int type = 0;
    for (std::size_t c = 1; c <= columns_.size(); ++c)
        current_.push_back(EngineValue(handle_, static_cast<std::uint16_t>(c), &type));
}

SQLRETURN Statement::Fetch() {
    if (rowsFetched != nullptr) *rowsFetched = 0;
    if (source_ == Source::kNone) return diagnostics.Fail("24000", "invalid cursor state: no result");
    bool found = false;
    if (source_ == Source::kRows) {
        found = nextRow_ < rows_.size();
        if (found) current_ = rows_[nextRow_++];
    } else if (firstRowRead_) {
        firstRowRead_ = false;
        found = true;
    } else {
        found = QXSQLFetchNext(handle_) == 0;
        if (found) ReadEngineRow();
    }
    onRow_ = found;
    positions_.assign(columns_.size(), ReadPosition{});
    if (!found) return SQL_NO_DATA;
    if (rowsFetched != nullptr) *rowsFetched = 1;
    SQLRETURN result = SQL_SUCCESS;
    for (std::size_t c = 0; c < bindings_.size() && c < columns_.size(); ++c) {
        const ColumnBinding& b = bindings_[c];
        if (b.target == nullptr && b.indicator == nullptr) continue;
        SQLSMALLINT cType = b.cType == SQL_C_DEFAULT ? DefaultCType(columns_[c]) : b.cType;
        SQLRETURN rc = ValueToBuffer(current_[c], cType, b.target, b.capacity, b.indicator, nullptr, diagnostics);
        if (rc == SQL_ERROR) result = SQL_ERROR;
        else if (rc == SQL_SUCCESS_WITH_INFO && result == SQL_SUCCESS) result = rc;
    }
    if (rowStatus != nullptr) *rowStatus = result == SQL_ERROR ? SQL_ROW_ERROR : result == SQL_SUCCESS ? SQL_ROW_SUCCESS : SQL_ROW_SUCCESS_WITH_INFO;
    return result;
}

const ColumnDescription* Statement::Column(SQLUSMALLINT column) {
    if (column < 1 || column > columns_.size()) {
        diagnostics.Fail("07009", "invalid descriptor index " + std::to_string(column));
        return nullptr;
    }
    return &columns_[column - 1];
}

SQLSMALLINT Statement::DefaultCType(const ColumnDescription& column) const {
    switch (column.sqlType) {
        case SQL_TINYINT: return SQL_C_STINYINT;
        case SQL_SMALLINT: return SQL_C_SSHORT;
        case SQL_INTEGER: return SQL_C_SLONG;
        case SQL_BIGINT: return SQL_C_SBIGINT;
        case SQL_REAL: return SQL_C_FLOAT;
        case SQL_DOUBLE: return SQL_C_DOUBLE;
        case SQL_TYPE_DATE: return SQL_C_TYPE_DATE;
        case SQL_TYPE_TIME: return SQL_C_TYPE_TIME;
        default: return SQL_C_CHAR;
    }
}

SQLRETURN Statement::BindColumn(SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target, SQLLEN capacity,
                                SQLLEN* indicator) {
    if (column < 1) return diagnostics.Fail("07009", "invalid descriptor index 0 (bookmarks are not supported)");
    if (bindings_.size() < column) bindings_.resize(column);
    bindings_[column - 1] = ColumnBinding{cType, target, capacity, indicator};
    return SQL_SUCCESS;
}

SQLRETURN Statement::GetData(SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target, SQLLEN capacity,
                             SQLLEN* indicator) {
    if (!onRow_) return diagnostics.Fail("24000", "invalid cursor state: no current row");
    const ColumnDescription* description = Column(column);
    if (description == nullptr) return SQL_ERROR;
    if (cType == SQL_C_DEFAULT || cType == SQL_ARD_TYPE) cType = DefaultCType(*description);
    return ValueToBuffer(current_[column - 1], cType, target, capacity, indicator, &positions_[column - 1], diagnostics);
}

}  // namespace qxodbc
