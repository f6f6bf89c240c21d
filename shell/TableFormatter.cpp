// TableFormatter: widths, rules and aligned cells.
#include "shell/TableFormatter.h"

#include "shell/TextUtil.h"

namespace qxsql {

std::string TableFormatter::Escape(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            escaped.push_back(c);
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\r') {
            escaped += "\\r";
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            escaped += "\\x";
            escaped.push_back(kHex[byte >> 4]);
            escaped.push_back(kHex[byte & 0xF]);
        }
    }
    return escaped;
}

void TableFormatter::Begin(const std::vector<ResultColumn>& columns) {
    columns_ = &columns;
    rows_.clear();
    names_.clear();
    widths_.assign(columns.size(), 0);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        names_.push_back(Escape(columns[i].name));
        if (headers_) widths_[i] = DisplayWidth(names_[i]);
    }
}

void TableFormatter::Row(const std::vector<std::string_view>& values) {
    std::vector<std::string> cells;
    cells.reserve(widths_.size());
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        cells.push_back(Escape(i < values.size() ? values[i] : std::string_view()));
        std::size_t width = DisplayWidth(cells.back());
        if (width > widths_[i]) widths_[i] = width;
    }
    rows_.push_back(std::move(cells));
}

void TableFormatter::PrintRule() const {
    out_ << '+';
    for (std::size_t width : widths_) out_ << std::string(width + 2, '-') << '+';
    out_ << '\n';
}

void TableFormatter::PrintLine(const std::vector<std::string>& cells) const {
    out_ << '|';
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        std::size_t pad = widths_[i] - DisplayWidth(cells[i]);
        bool right = columns_ != nullptr && (*columns_)[i].Numeric();
        out_ << ' ';
        if (right) out_ << std::string(pad, ' ');
        out_ << cells[i];
        if (!right) out_ << std::string(pad, ' ');
        out_ << " |";
    }
    out_ << '\n';
}

void TableFormatter::End() {
    PrintRule();
    if (headers_) {
        PrintLine(names_);
        PrintRule();
    }
    if (!rows_.empty()) {
        for (const auto& row : rows_) PrintLine(row);
        PrintRule();
    }
    out_ << '(' << rows_.size() << (rows_.size() == 1 ? " row)\n" : " rows)\n");
    rows_.clear();
    columns_ = nullptr;
}

}  // namespace qxsql
