// Support for the data-driven SQL tests: test-host schema and data from
// text directives, running one statement through the exported calls and
// collecting its rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxtest {

struct StatementResult {
    int rc = 0;                     // QXSQLExecReq's result
    std::string error;              // QXSQLErreur text
    std::string state;              // QXSQLErreur SQLSTATE
    int compiled = 0;               // ExecInfo.compiled
    int columnCount = 0;
    std::uint32_t rowCount = 0;
    std::string columns;            // column description text (CR LF between lines)
    std::vector<std::string> rows;  // QXSQLValLine with a tab, one per fetched row
};


// Loads the QX file engine, creates a scratch database and makes it the
// engine's host; false with a message when that fails.  CloseQxDatabase
// closes it and removes the directory.
bool OpenQxDatabase(std::string& error);
void CloseQxDatabase();
// Closes the QX database and opens it again (what is kept on disk only),
// with `added` appended to its analysis file in between.
bool ReopenQxDatabase(std::string& error, const std::string& added = "");

// Strict values on or off for the statements that follow.
void SetStrict(bool strict);

// "table ...", "row ...", "deleted ..." lines (see SqlTestRunner.cpp).
bool ApplyHostDirective(const std::string& line, std::string& error);
// Runs one statement over the started engine (host context 1) and fetches every row.
StatementResult RunStatement(const std::string& statement, std::uintptr_t memoValues = 0);

}  // namespace qxtest
