// TableFormatter: an aligned, boxed table for people at a terminal:
//
//   +-----+--------+
//   | NUM | NAME   |
//   +-----+--------+
//   |   1 | Dupont |
//   +-----+--------+
//   (1 row)
//
// Columns are as wide as their widest value or name, counted in
// characters; numeric columns (letter N) are right-aligned, the others
// left-aligned.  Control characters in values are shown escaped (\n, \t,
// \r, \xHH) so that a row stays on one line.  The rows are kept until End,
// which prints the whole table.
#pragma once

#include <string>
#include <vector>

#include "shell/RowFormatter.h"

namespace qxsql {

class TableFormatter : public RowFormatter {
public:
    TableFormatter(std::ostream& out, bool headers) : out_(out), headers_(headers) {}

    void Begin(const std::vector<ResultColumn>& columns) override;
    void Row(const std::vector<std::string_view>& values) override;
    void End() override;

    // `value` with its control characters escaped as described above.
    static std::string Escape(std::string_view value);

private:
    void PrintRule() const;
    void PrintLine(const std::vector<std::string>& cells) const;

    std::ostream& out_;  // not owned
    bool headers_;
    const std::vector<ResultColumn>* columns_ = nullptr;  // not owned; set by Begin
    std::vector<std::size_t> widths_;
    std::vector<std::vector<std::string>> rows_;  // escaped values, kept until End
    std::vector<std::string> names_;              // escaped column names
};

}  // namespace qxsql
