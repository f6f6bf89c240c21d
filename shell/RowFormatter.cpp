// RowFormatter: the factory of the formatters.
#include "shell/RowFormatter.h"

#include "shell/CsvFormatter.h"
#include "shell/JsonFormatter.h"
#include "shell/LineFormatter.h"
#include "shell/TableFormatter.h"
#include "shell/TsvFormatter.h"

namespace qxsql {

std::unique_ptr<RowFormatter> RowFormatter::Create(OutputMode mode, bool headers, std::ostream& out) {
    switch (mode) {
        case OutputMode::Table: return std::make_unique<TableFormatter>(out, headers, TableFormatter::Style::Ascii);
        case OutputMode::Box: return std::make_unique<TableFormatter>(out, headers, TableFormatter::Style::Box);
        case OutputMode::Markdown:
            return std::make_unique<TableFormatter>(out, headers, TableFormatter::Style::Markdown);
        case OutputMode::Line: return std::make_unique<LineFormatter>(out);
        case OutputMode::Tsv: return std::make_unique<TsvFormatter>(out, headers);
        case OutputMode::Csv: return std::make_unique<CsvFormatter>(out, headers);
        case OutputMode::Json: return std::make_unique<JsonFormatter>(out);
    }
    return std::make_unique<TsvFormatter>(out, headers);
}

}  // namespace qxsql
