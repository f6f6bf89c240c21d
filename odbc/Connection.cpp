#include "odbc/Connection.h"

#include <odbcinst.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "obsqleng.h"
#include "odbc/Conversions.h"
#include "odbc/Engine.h"
#include "odbc/Statement.h"
#include "qxhost.h"

namespace qxodbc {
namespace {

// A setting of data source `dsn` in odbc.ini (user's, then system's), "" when absent.
std::string DataSourceSetting(const std::string& dsn, const char* key) {
    char value[4096] = "";
    SQLGetPrivateProfileString(dsn.c_str(), key, "", value, sizeof value, "odbc.ini");
    return value;
}

}  // namespace

std::string FirstWord(const std::string& sql) {
    std::string word;
    std::size_t i = 0;
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '(')) ++i;
    for (; i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])); ++i)
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i])));
    return word;
}

Connection::Connection() = default;
Connection::~Connection() { Disconnect(); }

SQLRETURN Connection::Connect(ConnectionString settings) {
    if (Connected()) return diagnostics.Fail("08002", "connection name in use");
    std::string dsn = settings.Get("DSN");
    for (const char* key : {"DATABASE", "STRICT", "CREATE"}) {
        if (!dsn.empty() && !settings.Has(key)) {
            std::string value = DataSourceSetting(dsn, key);
            if (!value.empty()) settings.Set(key, value);
        }
    }
    std::string database = settings.Get("DATABASE");
    if (database.empty()) {
        return diagnostics.Fail("08001", dsn.empty() ? "no database directory: give DATABASE=directory or a DSN"
                                                     : "data source '" + dsn + "' has no Database entry");
    }
    std::string error;
    if (!Engine::Acquire(error)) return diagnostics.Fail("08001", error);
    char hostError[512] = "";
    context_ = QXHostOpen(database.c_str(), settings.Get("CREATE") == "1", hostError, sizeof hostError);
    if (context_ == 0) {
        Engine::Release();
        return diagnostics.Fail("08001", std::string("cannot open database ") + database + ": " + hostError);
    }
    std::string strict = settings.Get("STRICT");
    if (strict == "1" || strict == "0") QXSQLSetStrict(context_, strict == "1" ? 1 : 0);
    settings_ = std::move(settings);
    inTransaction_ = false;
    return SQL_SUCCESS;
}

SQLRETURN Connection::Disconnect() {
    if (!Connected()) return SQL_SUCCESS;
    for (auto& statement : statements_) statement->Close();
    if (inTransaction_) Run("ROLLBACK", diagnostics);
    inTransaction_ = false;
    QXSQLSetStrict(context_, -1);
    QXHostClose(context_);
    context_ = 0;
    Engine::Release();
    return SQL_SUCCESS;
}

SQLRETURN Connection::SetAutocommit(bool on) {
    if (on && !autocommit_ && inTransaction_) {
        SQLRETURN rc = EndTransaction(true);
        if (!SQL_SUCCEEDED(rc)) return rc;
    }
    autocommit_ = on;
    return SQL_SUCCESS;
}

SQLRETURN Connection::EndTransaction(bool commit) {
    if (!Connected() || !inTransaction_) return SQL_SUCCESS;
    for (auto& statement : statements_) statement->CloseCursor();
    SQLRETURN rc = Run(commit ? "COMMIT" : "ROLLBACK", diagnostics);
    inTransaction_ = false;
    return rc;
}

SQLRETURN Connection::BeforeStatement(const std::string& sql, Diagnostics& d) {
    if (autocommit_ || inTransaction_) return SQL_SUCCESS;
    std::string word = FirstWord(sql);
    if (word == "SELECT" || word == "EXPLAIN" || word == "BEGIN" || word == "COMMIT" || word == "ROLLBACK")
        return SQL_SUCCESS;
    SQLRETURN rc = Run("BEGIN", d);
    if (SQL_SUCCEEDED(rc)) inTransaction_ = true;
    return rc;
}

void Connection::AfterStatement(const std::string& sql) {
    std::string word = FirstWord(sql);
    if (word == "BEGIN") inTransaction_ = true;
    if (word == "COMMIT" || word == "ROLLBACK") inTransaction_ = false;
}

SQLRETURN Connection::Run(const char* sql, Diagnostics& d) {
    std::vector<std::uint64_t> info(64);  // ExecInfo: counts only, no columns for these statements
    std::uintptr_t handle = 0;
    SQLRETURN rc = SQL_SUCCESS;
    if (QXSQLExecReq(&handle, sql, reinterpret_cast<ExecInfo*>(info.data()), context_, 0) != 0)
        rc = EngineError(handle, d);
    if (handle != 0) QXSQLFinRequete(handle);
    return rc;
}

Statement* Connection::NewStatement() {
    statements_.push_back(std::make_unique<Statement>(*this));
    return statements_.back().get();
}

void Connection::FreeStatement(Statement* statement) {
    auto found = std::find_if(statements_.begin(), statements_.end(),
                              [statement](const auto& owned) { return owned.get() == statement; });
    if (found != statements_.end()) statements_.erase(found);
}

}  // namespace qxodbc
