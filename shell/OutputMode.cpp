// OutputMode: names of the output modes.
#include "shell/OutputMode.h"

#include "shell/TextUtil.h"

namespace qxsql {

bool ParseOutputMode(std::string_view text, OutputMode& mode) {
    static const struct {
        const char* name;
        OutputMode mode;
    } kModes[] = {{"table", OutputMode::Table}, {"box", OutputMode::Box},   {"markdown", OutputMode::Markdown},
                  {"line", OutputMode::Line},   {"tsv", OutputMode::Tsv},   {"csv", OutputMode::Csv},
                  {"json", OutputMode::Json}};
    for (const auto& entry : kModes) {
        if (EqualsIgnoreCase(text, entry.name)) {
            mode = entry.mode;
            return true;
        }
    }
    return false;
}

const char* OutputModeName(OutputMode mode) {
    switch (mode) {
        case OutputMode::Table: return "table";
        case OutputMode::Box: return "box";
        case OutputMode::Markdown: return "markdown";
        case OutputMode::Line: return "line";
        case OutputMode::Tsv: return "tsv";
        case OutputMode::Csv: return "csv";
        case OutputMode::Json: return "json";
    }
    return "table";
}

}  // namespace qxsql
