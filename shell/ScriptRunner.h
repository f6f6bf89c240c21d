// ScriptRunner: turns text into work for the session.  Text comes as
// lines (a file, standard input, the interactive prompt) or as whole
// command-line arguments.  A line that starts with "." where a statement
// could start is a dot command; everything else goes through a
// StatementSplitter, and each complete statement is run on its own.  At
// the end of a source, an unfinished last statement (no ";") is run too.
// Every source stops early once the session asks to stop (--bail, .quit)
// or Ctrl-C was pressed.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "shell/DotCommands.h"

namespace qxsql {

class LineEditor;
class Session;
class StatementSplitter;

class ScriptRunner {
public:
    static constexpr int kMaxReadDepth = 16;  // .read inside .read, at most this deep

    explicit ScriptRunner(Session& session) : session_(session), commands_(session, *this) {}

    // One command-line argument: a dot command when it starts with ".",
    // else SQL text of one or more statements.
    void RunArgument(const std::string& text);
    // The lines of `in`; `depth` is the .read nesting depth.
    void RunStream(std::istream& in, int depth);
    // The file at `path` (its lines); false when it cannot be opened or is nested too deep.
    bool RunFile(const std::string& path, int depth);
    // Prompts with `editor` until end of input or .quit.
    void RunInteractive(LineEditor& editor);

private:
    // True once the session asked to stop or Ctrl-C was pressed.
    bool Halted() const;
    void RunCommand(std::string_view line, int depth);
    void RunStatement(const std::string& statement);
    void RunLine(StatementSplitter& splitter, std::string_view line, int depth);
    void RunRest(StatementSplitter& splitter);

    Session& session_;  // not owned
    DotCommands commands_;
};

}  // namespace qxsql
