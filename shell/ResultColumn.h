// ResultColumn: one column of a result as the engine describes it in the
// column description text of ExecInfo: name, type letter (N numeric, T
// text), host type number and display size.  Read by the formatters
// (headers, alignment, JSON numbers) and by the row reader (buffer size).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxsql {

struct ResultColumn {
    std::string name;         // empty for an unnamed expression column
    char letter = 'T';        // 'N' numeric, 'T' text
    std::uint32_t hostType = 0;
    std::uint32_t size = 0;   // display size

    bool Numeric() const { return letter == 'N'; }

    // Reads the description text: lines "name\tletter\thosttype\tsize"
    // joined by CR LF.  Gives exactly `count` columns: missing lines or
    // fields leave the defaults, lines beyond `count` are ignored.
    static std::vector<ResultColumn> ParseDescription(const char* text, std::size_t count);
};

}  // namespace qxsql
