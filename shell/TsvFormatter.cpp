// TsvFormatter: header line and raw engine lines.
#include "shell/TsvFormatter.h"

namespace qxsql {

void TsvFormatter::Begin(const std::vector<ResultColumn>& columns) {
    if (!headers_) return;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out_ << '\t';
        out_ << columns[i].name;
    }
    out_ << '\n';
}

void TsvFormatter::Row(const std::vector<std::string_view>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out_ << '\t';
        out_ << values[i];
    }
    out_ << '\n';
}

void TsvFormatter::RawRow(std::string_view line) { out_ << line << '\n'; }

}  // namespace qxsql
