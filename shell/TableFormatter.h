// TableFormatter: an aligned table for people, in one of three styles:
//
//   ASCII (table)        box                  Markdown
//   +-----+--------+     ┌─────┬────────┐     | NUM | NAME   |
//   | NUM | NAME   |     │ NUM │ NAME   │     |----:|--------|
//   +-----+--------+     ├─────┼────────┤     |   1 | Dupont |
//   |   1 | Dupont |     │   1 │ Dupont │
//   +-----+--------+     └─────┴────────┘
//   (1 row)              (1 row)
//
// Columns are as wide as their widest value or name in terminal columns
// (DisplayWidth: wide characters count two, combining marks none);
// numeric columns (letter N) are right-aligned, the others left-aligned.
// Control characters in values are shown escaped (\n, \t, \r, \xHH) so
// that a row stays on one line; in Markdown "|" is escaped too.  The rows
// are kept until End, which prints the whole table.
#pragma once

#include <string>
#include <vector>

#include "shell/RowFormatter.h"

namespace qxsql {

class TableFormatter : public RowFormatter {
public:
    enum class Style { Ascii, Box, Markdown };

    TableFormatter(std::ostream& out, bool headers, Style style) : out_(out), headers_(headers), style_(style) {}

    void Begin(const std::vector<ResultColumn>& columns) override;
    void Row(const std::vector<std::string_view>& values) override;
    void End() override;

    // `value` with its control characters escaped as described above.
    static std::string Escape(std::string_view value);

private:
    enum class Rule { Top, Middle, Bottom };

    std::string Cell(std::string_view value) const;
    void PrintRule(Rule rule) const;
    void PrintLine(const std::vector<std::string>& cells) const;

    std::ostream& out_;  // not owned
    bool headers_;
    Style style_;
    const std::vector<ResultColumn>* columns_ = nullptr;  // not owned; set by Begin
    std::vector<std::size_t> widths_;
    std::vector<std::vector<std::string>> rows_;  // escaped values, kept until End
    std::vector<std::string> names_;              // escaped column names
};

}  // namespace qxsql
