// CommandLine: reads qxsql's arguments into ShellOptions and holds the
// usage and version texts.  It checks the shape of the arguments only
// (known options, their values, a DBDIR); opening the database and running
// anything is the session's affair.
#pragma once

#include <string>

#include "shell/ShellOptions.h"

namespace qxsql {

class CommandLine {
public:
    enum class Action {
        Run,      // options are complete: run the shell
        Help,     // --help: print Usage() and exit 0
        Version,  // --version: print VersionText() and exit 0
        Fail,     // bad arguments: `error` says why; exit 1
    };

    // Parses argv[1..argc-1].  Options may stand anywhere before "--"; the
    // first other argument is DBDIR, the following ones SQL text.
    static Action Parse(int argc, const char* const* argv, ShellOptions& options, std::string& error);

    // The value of the last well-formed --lang option before "--" ("en" or
    // "fr"), else empty: the language of the messages about the other
    // arguments.
    static std::string LanguageOption(int argc, const char* const* argv);

    // In the language of the run.
    static std::string Usage();
    static std::string VersionText();
};

}  // namespace qxsql
