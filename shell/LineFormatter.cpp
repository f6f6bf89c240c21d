// LineFormatter: padded names and one value per line.
#include "shell/LineFormatter.h"

#include <algorithm>

#include "shell/TextUtil.h"

namespace qxsql {

void LineFormatter::Begin(const std::vector<ResultColumn>& columns) {
    std::size_t width = 0;
    for (const auto& column : columns) width = std::max(width, DisplayWidth(column.name));
    names_.clear();
    for (const auto& column : columns) names_.push_back(std::string(width - DisplayWidth(column.name), ' ') + column.name);
    rows_ = 0;
}

void LineFormatter::Row(const std::vector<std::string_view>& values) {
    if (rows_++ > 0) out_ << '\n';
    for (std::size_t i = 0; i < names_.size(); ++i)
        out_ << names_[i] << " = " << (i < values.size() ? values[i] : std::string_view()) << '\n';
}

}  // namespace qxsql
