// ShellOptions: the command line once parsed: the database directory,
// where statements come from and the initial settings.  Filled by
// CommandLine, read by main and the session.
#pragma once

#include <string>
#include <vector>

#include "shell/ShellSettings.h"

namespace qxsql {

struct ShellOptions {
    std::string databaseDir;             // DBDIR
    bool create = false;                 // --create: make DBDIR when missing
    bool compat = false;                 // --compat: the engine's lenient values instead of strict ones
    std::vector<std::string> files;      // -f FILE, in order
    std::vector<std::string> sql;        // SQL arguments after DBDIR, in order
    std::vector<std::vector<std::string>> imports;  // --import FILE TABLE: {FILE, TABLE}, in order
    std::string language;                // --lang: "en", "fr", or empty (profile decides)
    std::string memoryLimit;             // --memory-limit: "512M", "2G", "0"..., or empty (profile decides)
    bool modeGiven = false;              // -m was given: do not pick the mode from the terminal
    bool interactive = false;            // -i: prompt even when stdin is not a terminal
    ShellSettings settings;
};

}  // namespace qxsql
