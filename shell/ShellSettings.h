// ShellSettings: what the command line sets and the dot commands change
// while the shell runs (output mode, headers, timer, echo, bail).  Read by
// the session for every statement; owned by main.
#pragma once

#include <optional>

#include "shell/OutputMode.h"

namespace qxsql {

struct ShellSettings {
    OutputMode mode = OutputMode::Tsv;  // chosen by main from the terminal when not given
    std::optional<bool> headers;        // unset: on in the table modes and csv, off in tsv
    bool timer = false;                 // print the time each statement took (to stderr)
    bool echo = false;                  // print each statement before running it
    bool bail = false;                  // stop at the first error

    bool HeadersShown() const {
        return headers.value_or(mode == OutputMode::Table || mode == OutputMode::Box || mode == OutputMode::Markdown ||
                                mode == OutputMode::Csv);
    }
};

}  // namespace qxsql
