// RowFormatter: the default RawRow and the factory of the four formatters.
#include "shell/RowFormatter.h"

#include "shell/CsvFormatter.h"
#include "shell/JsonFormatter.h"
#include "shell/TableFormatter.h"
#include "shell/TsvFormatter.h"

namespace qxsql {

void RowFormatter::RawRow(std::string_view line) { Row({line}); }

std::unique_ptr<RowFormatter> RowFormatter::Create(OutputMode mode, bool headers, std::ostream& out) {
    switch (mode) {
        case OutputMode::Table: return std::make_unique<TableFormatter>(out, headers);
        case OutputMode::Tsv: return std::make_unique<TsvFormatter>(out, headers);
        case OutputMode::Csv: return std::make_unique<CsvFormatter>(out, headers);
        case OutputMode::Json: return std::make_unique<JsonFormatter>(out);
    }
    return std::make_unique<TsvFormatter>(out, headers);
}

}  // namespace qxsql
