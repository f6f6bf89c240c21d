// TsvFormatter: a tab between values, one row per line, and nothing else
// (the column names, tab separated, only when headers are asked for).  A
// tab, line break or backslash inside a value is written \t, \n, \r or \\,
// so that every row stays one line of exactly one field per column.
#pragma once

#include <string_view>

#include "shell/RowFormatter.h"

namespace qxsql {

class TsvFormatter : public RowFormatter {
public:
    TsvFormatter(std::ostream& out, bool headers) : out_(out), headers_(headers) {}

    void Begin(const std::vector<ResultColumn>& columns) override;
    void Row(const std::vector<std::string_view>& values) override;
    void End() override {}

    // Writes `value` with the escapes described above.
    static void WriteField(std::ostream& out, std::string_view value);

private:
    std::ostream& out_;  // not owned
    bool headers_;
};

}  // namespace qxsql
