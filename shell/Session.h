// Session: the shell's link to the SQL engine and the QX file engine for
// one run.  Start starts the engine (OB4InitInstance, with the language
// of --lang) and opens the database directory (QXHostOpen); Stop closes
// both (QXHostClose, OBSQLFinInstance).  RunStatement hands one statement
// to QXSQLExecReq, prints its rows with the formatter of the current
// mode, reports its error on the error stream as "Error SQLSTATE: message"
// and releases the request.  What the engine would show in a message box
// comes to the session too and is written on the error stream before the
// statement's error.  The session also keeps the run's outcome:
// whether anything failed (the exit status) and whether to stop (--bail,
// .quit).
//
// Output goes to the console stream unless .output or .once sent it to a
// file: .output until the next .output, .once for the next statement or
// command only (the script runner marks where each one starts and ends).
//
// Splitting text into statements and dot commands is the ScriptRunner's
// job; the dot commands themselves are DotCommands'.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "shell/MemoBindings.h"
#include "shell/ResultColumn.h"
#include "shell/ShellOptions.h"
#include "shell/ShellSettings.h"

namespace qxsql {

class Session {
public:
    // `settings` (changed by dot commands), `out` and `err` must outlive the session.
    Session(ShellSettings& settings, std::ostream& out, std::ostream& err);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    // Starts the engine and opens the database; false (with the error
    // reported) when either fails.
    bool Start(const ShellOptions& options);
    void Stop();

    // Runs one statement (no ";" needed); true when it succeeded.
    bool RunStatement(const std::string& statement);

    // Runs a SELECT for the shell's own use: `row` gets each row's values
    // (numbers as the formatters get them).  False, with the error
    // reported, when the statement fails.
    using RowCallback = std::function<void(const std::vector<std::string_view>& values)>;
    bool Query(const std::string& statement, const RowCallback& row);

    // Sends the output to the file at `path` (emptied first): until the next
    // call or RestoreOutput, or with `once` for the next unit only.  False,
    // with the error reported, when the file cannot be written.
    bool RedirectOutput(const std::string& path, bool once);
    void RestoreOutput();
    // Around each statement or dot command the runner carries out.
    void BeginUnit();
    void EndUnit();

    // Reports the error of a request handle ("Error SQLSTATE: message") and counts it.
    void ReportEngineError(std::uintptr_t handle);
    // Reports that the shell ran out of memory for the current statement or
    // command (as the engine says it) and counts it.
    void ReportOutOfMemory();
    // Reports a failure of the shell itself ("Error: text") and counts it.
    void ReportShellError(const std::string& text);
    // Counts a failure; with --bail the run stops.
    void NoteFailure();

    bool Failed() const { return failed_; }
    bool StopRequested() const { return stop_; }
    void RequestStop() { stop_ = true; }

    ShellSettings& Settings() { return settings_; }
    MemoBindings& Memos() { return memos_; }
    std::uint16_t HostContext() const { return hostContext_; }
    const std::string& DatabaseDir() const { return databaseDir_; }
    std::ostream& Out() { return *out_; }
    std::ostream& Console() { return console_; }
    std::ostream& Err() { return err_; }

private:
    enum class Once { Off, Armed, Active };

    // The engine's message-box sink: the texts wait in engineMessages_.
    static void OnEngineMessage(const char* title, const char* text, void* context);
    // Writes the waiting message-box texts to the error stream, less the one
    // that only repeats `errorText`.
    void ShowEngineMessages(std::string_view errorText);
    bool CheckMemoReferences(const std::string& statement);
    bool Execute(const std::string& statement, std::uintptr_t& handle);
    std::vector<ResultColumn> Columns() const;
    void ReadRows(std::uintptr_t handle, const std::vector<ResultColumn>& columns, const RowCallback& row);
    void PrintRows(std::uintptr_t handle);

    ShellSettings& settings_;  // not owned
    std::ostream& console_;    // not owned
    std::ostream* out_;        // console_ or *file_
    std::unique_ptr<std::ofstream> file_;  // the .output or .once file
    Once once_ = Once::Off;
    std::ostream& err_;        // not owned
    MemoBindings memos_;
    std::unique_ptr<std::uint64_t[]> execInfo_;  // ExecInfo followed by room for the column description
    std::vector<std::string> engineMessages_;
    std::string databaseDir_;
    std::uint16_t hostContext_ = 0;  // 0: no database open
    bool engineStarted_ = false;
    bool failed_ = false;
    bool stop_ = false;
};

}  // namespace qxsql
