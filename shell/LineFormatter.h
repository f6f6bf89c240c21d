// LineFormatter: one line per column, "name = value", the names
// right-aligned to the widest; a blank line between rows:
//
//    NUM = 1
//   NAME = Dupont
//
// Values are written as they are.
#pragma once

#include <string>
#include <vector>

#include "shell/RowFormatter.h"

namespace qxsql {

class LineFormatter : public RowFormatter {
public:
    explicit LineFormatter(std::ostream& out) : out_(out) {}

    void Begin(const std::vector<ResultColumn>& columns) override;
    void Row(const std::vector<std::string_view>& values) override;
    void End() override {}

private:
    std::ostream& out_;               // not owned
    std::vector<std::string> names_;  // padded on the left to the same width
    std::size_t rows_ = 0;
};

}  // namespace qxsql
