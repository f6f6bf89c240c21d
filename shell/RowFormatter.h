// RowFormatter: prints one result, row by row, in one output mode.  The
// session calls Begin with the columns, then Row once per row, then End.
// Subclasses: TableFormatter (table, box and markdown), LineFormatter,
// TsvFormatter, CsvFormatter, JsonFormatter.
// A formatter writes to the stream it is given and owns nothing else;
// reading rows from the engine is RowValues' job.
#pragma once

#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "shell/OutputMode.h"
#include "shell/ResultColumn.h"

namespace qxsql {

class RowFormatter {
public:
    virtual ~RowFormatter() = default;

    // Starts a result with these columns (kept by reference until End).
    virtual void Begin(const std::vector<ResultColumn>& columns) = 0;
    // One row: one value per column, in order; the views live for the call only.
    virtual void Row(const std::vector<std::string_view>& values) = 0;
    // Ends the result.
    virtual void End() = 0;

    // The formatter of `mode`, writing to `out` (which must outlive it).
    static std::unique_ptr<RowFormatter> Create(OutputMode mode, bool headers, std::ostream& out);
};

}  // namespace qxsql
