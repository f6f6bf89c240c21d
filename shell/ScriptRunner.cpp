// ScriptRunner: lines, dot commands and statements.
#include "shell/ScriptRunner.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <new>
#include <vector>

#include "shell/CtrlC.h"
#include "shell/Language.h"
#include "shell/LineEditor.h"
#include "shell/Session.h"
#include "shell/StatementSplitter.h"
#include "shell/TextUtil.h"

namespace qxsql {
namespace {

bool IsDotCommand(std::string_view line) {
    std::string_view text = Trim(line);
    return !text.empty() && text[0] == '.';
}

}  // namespace

bool ScriptRunner::Halted() const { return session_.StopRequested() || ctrlc::Pressed(); }

// A shortage of memory fails the statement or command, not the shell.
void ScriptRunner::RunCommand(std::string_view line, int depth) {
    session_.BeginUnit();
    try {
        commands_.Run(line, depth);
    } catch (const std::bad_alloc&) {
        session_.ReportOutOfMemory();
    }
    session_.EndUnit();
}

void ScriptRunner::RunStatement(const std::string& statement) {
    session_.BeginUnit();
    try {
        session_.RunStatement(statement);
    } catch (const std::bad_alloc&) {
        session_.ReportOutOfMemory();
    }
    session_.EndUnit();
}

void ScriptRunner::RunLine(StatementSplitter& splitter, std::string_view line, int depth) {
    if (splitter.Idle() && IsDotCommand(line)) {
        RunCommand(line, depth);
        return;
    }
    std::vector<std::string> statements;
    splitter.Feed(line, statements);
    splitter.Feed("\n", statements);
    for (const std::string& statement : statements) {
        if (Halted()) return;
        RunStatement(statement);
    }
}

void ScriptRunner::RunRest(StatementSplitter& splitter) {
    std::string rest = splitter.Finish();
    if (!rest.empty() && !Halted()) RunStatement(rest);
}

void ScriptRunner::RunArgument(const std::string& text) {
    if (Halted()) return;
    if (IsDotCommand(text)) {
        RunCommand(text, 0);
        return;
    }
    StatementSplitter splitter;
    std::vector<std::string> statements;
    splitter.Feed(text, statements);
    for (const std::string& statement : statements) {
        if (Halted()) return;
        RunStatement(statement);
    }
    RunRest(splitter);
}

void ScriptRunner::RunStream(std::istream& in, int depth) {
    StatementSplitter splitter;
    std::string line;
    while (!Halted() && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        RunLine(splitter, line, depth);
    }
    RunRest(splitter);
}

bool ScriptRunner::RunFile(const std::string& path, int depth) {
    if (depth > kMaxReadDepth) {
        session_.ReportShellError(Say("'%1' is read from too deep a nest of .read commands (at most %2)",
                                      "« %1 » est lu par trop de .read imbriqués (%2 au plus)",
                                      {path, std::to_string(kMaxReadDepth)}));
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        session_.ReportShellError(Say("cannot open '%1': %2", "impossible d'ouvrir « %1 » : %2", {path, std::strerror(errno)}));
        return false;
    }
    RunStream(in, depth);
    return true;
}

// Ctrl-C while a statement runs stops it and comes back to the prompt; at
// the prompt it drops the unfinished statement, and quits when there was
// none.
void ScriptRunner::RunInteractive(LineEditor& editor) {
    StatementSplitter splitter;
    std::string line;
    while (!session_.StopRequested()) {
        const char* prompt = splitter.Idle() ? "qxsql> " : "   ...> ";
        ctrlc::Clear();
        bool read = editor.ReadLine(prompt, line);
        if (ctrlc::Pressed()) {  // plain lines wait for Enter: that line goes too
            if (!read) session_.Console() << '\n';
            if (!read && splitter.Idle()) break;
            splitter = StatementSplitter();
            continue;
        }
        if (!read) {
            if (editor.Editing()) session_.Console() << '\n';
            break;
        }
        editor.Remember(line);
        RunLine(splitter, line, 0);
        session_.Out().flush();
        if (ctrlc::Pressed()) splitter = StatementSplitter();
    }
    ctrlc::Clear();
    RunRest(splitter);
}

}  // namespace qxsql
