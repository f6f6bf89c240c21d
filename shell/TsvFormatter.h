// TsvFormatter: each row exactly as QXSQLValLine writes it with a tab
// separator, one row per line, and nothing else (the column names, tab
// separated, only when headers are asked for).  Values are not escaped: a
// value holding a tab or a line break shows as the engine wrote it.
#pragma once

#include "shell/RowFormatter.h"

namespace qxsql {

class TsvFormatter : public RowFormatter {
public:
    TsvFormatter(std::ostream& out, bool headers) : out_(out), headers_(headers) {}

    void Begin(const std::vector<ResultColumn>& columns) override;
    void Row(const std::vector<std::string_view>& values) override;
    void End() override {}
    bool WantsRawLine() const override { return true; }
    void RawRow(std::string_view line) override;

private:
    std::ostream& out_;  // not owned
    bool headers_;
};

}  // namespace qxsql
