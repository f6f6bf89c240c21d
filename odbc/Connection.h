// Connection: one open QX database (a host context of the file engine) and
// the transaction state ODBC's autocommit needs.  With autocommit on (the
// default) every statement is its own transaction, as the engine runs it;
// with autocommit off the connection sends BEGIN before the first
// statement that is not a SELECT, and SQLEndTran sends COMMIT or ROLLBACK.
// SELECTs before that run alone, so a reading session holds no lock
// between statements.
#pragma once

#include <sql.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "odbc/ConnectionString.h"
#include "odbc/Diagnostics.h"

namespace qxodbc {

class Statement;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Diagnostics diagnostics;

    // Opens the database the settings name: DATABASE (a directory), else
    // the Database entry of data source DSN in odbc.ini; STRICT=1 or 0 sets
    // the strict value rules, CREATE=1 makes a missing database.
    SQLRETURN Connect(ConnectionString settings);
    // Rolls back an open transaction, closes the statements' results and
    // the database.
    SQLRETURN Disconnect();
    bool Connected() const { return context_ != 0; }
    std::uint16_t Context() const { return context_; }
    const ConnectionString& Settings() const { return settings_; }

    bool Autocommit() const { return autocommit_; }
    // Turning autocommit on commits an open transaction.
    SQLRETURN SetAutocommit(bool on);
    SQLRETURN EndTransaction(bool commit);
    // Called before `sql` runs: opens the transaction when one is due.
    SQLRETURN BeforeStatement(const std::string& sql, Diagnostics& diagnostics);
    // Called after `sql` ran: follows the BEGIN, COMMIT and ROLLBACK the
    // application wrote itself.
    void AfterStatement(const std::string& sql);

    Statement* NewStatement();
    void FreeStatement(Statement* statement);

private:
    SQLRETURN Run(const char* sql, Diagnostics& diagnostics);

    std::uint16_t context_ = 0;  // 0: not connected
    ConnectionString settings_;
    bool autocommit_ = true;
    bool inTransaction_ = false;
    std::vector<std::unique_ptr<Statement>> statements_;
};

// The first word of a statement, upper case ("SELECT", "BEGIN"...).
std::string FirstWord(const std::string& sql);

}  // namespace qxodbc
