// DotCommands: the shell's own commands, lines that start with "." where a
// statement could start: .help, .tables, .schema, .indexes, .dump, .read,
// .mode, .headers, .output, .once, .timer, .echo, .memo, .import and .quit.  They
// change the session's settings or where its output goes, print what the
// file engine says about the analysis (QXHostTableCount, QXHostTableName,
// QXHostDescribe) as SQL statements, or hand a file to the script runner.
// A failed command is reported as "Error: ..." and counts as a failure of
// the run, like a failed statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qxsql {

class ScriptRunner;
class Session;
struct SchemaTable;

class DotCommands {
public:
    // `session` and `runner` must outlive the commands.
    DotCommands(Session& session, ScriptRunner& runner) : session_(session), runner_(runner) {}

    // Runs one dot command line ("." included); `depth` is the .read
    // nesting depth of the text it came from.  True when it succeeded.
    bool Run(std::string_view line, int depth);

    static std::string HelpText();

private:
    bool Usage(const std::string& usage);
    bool Tables();
    bool Check();
    enum class Listing { Statements, IndexNames, Dump };

    bool Schema(const std::vector<std::string>& words, Listing listing);
    bool DumpRows(const SchemaTable& table);
    bool Mode(const std::vector<std::string>& words);
    bool Flag(const std::vector<std::string>& words, bool& flag);
    bool Headers(const std::vector<std::string>& words);
    bool Memo(const std::vector<std::string>& words);

    Session& session_;      // not owned
    ScriptRunner& runner_;  // not owned
};

}  // namespace qxsql
