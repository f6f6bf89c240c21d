// TableFormatter: widths, rules and aligned cells.
#include "shell/TableFormatter.h"

#include "shell/Language.h"
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

std::string TableFormatter::Cell(std::string_view value) const {
    std::string cell = Escape(value);
    if (style_ != Style::Markdown || cell.find('|') == std::string::npos) return cell;
    std::string escaped;
    for (char c : cell) {
        if (c == '|') escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

void TableFormatter::Begin(const std::vector<ResultColumn>& columns) {
    columns_ = &columns;
    rows_.clear();
    names_.clear();
    widths_.assign(columns.size(), 0);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        names_.push_back(Cell(columns[i].name));
        if (headers_) widths_[i] = DisplayWidth(names_[i]);
    }
}

void TableFormatter::Row(const std::vector<std::string_view>& values) {
    std::vector<std::string> cells;
    cells.reserve(widths_.size());
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        cells.push_back(Cell(i < values.size() ? values[i] : std::string_view()));
        std::size_t width = DisplayWidth(cells.back());
        if (width > widths_[i]) widths_[i] = width;
    }
    rows_.push_back(std::move(cells));
}

void TableFormatter::PrintRule(Rule rule) const {
    // Left end, fill, joint and right end of each rule in each style.
    static const char* const kAscii[3][4] = {{"+", "-", "+", "+"}, {"+", "-", "+", "+"}, {"+", "-", "+", "+"}};
    static const char* const kBox[3][4] = {
        {"┌", "─", "┬", "┐"}, {"├", "─", "┼", "┤"}, {"└", "─", "┴", "┘"}};
    static const char* const kMarkdown[3][4] = {{"|", "-", "|", "|"}, {"|", "-", "|", "|"}, {"|", "-", "|", "|"}};
    const char* const* parts = (style_ == Style::Box        ? kBox
                                : style_ == Style::Markdown ? kMarkdown
                                                            : kAscii)[static_cast<int>(rule)];
    out_ << parts[0];
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        if (i > 0) out_ << parts[2];
        bool colon = style_ == Style::Markdown && columns_ != nullptr && (*columns_)[i].Numeric();
        for (std::size_t n = 0; n < widths_[i] + 2 - (colon ? 1 : 0); ++n) out_ << parts[1];
        if (colon) out_ << ':';
    }
    out_ << parts[3] << '\n';
}

void TableFormatter::PrintLine(const std::vector<std::string>& cells) const {
    const char* bar = style_ == Style::Box ? "│" : "|";
    out_ << bar;
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        std::size_t pad = widths_[i] - DisplayWidth(cells[i]);
        bool right = columns_ != nullptr && (*columns_)[i].Numeric();
        out_ << ' ';
        if (right) out_ << std::string(pad, ' ');
        out_ << cells[i];
        if (!right) out_ << std::string(pad, ' ');
        out_ << ' ' << bar;
    }
    out_ << '\n';
}

void TableFormatter::End() {
    if (style_ == Style::Markdown) {
        // No outer rules and no row count: the text is meant for documents.
        if (headers_) {
            PrintLine(names_);
            PrintRule(Rule::Middle);
        }
        for (const auto& row : rows_) PrintLine(row);
    } else {
        PrintRule(Rule::Top);
        if (headers_) {
            PrintLine(names_);
            PrintRule(rows_.empty() ? Rule::Bottom : Rule::Middle);
        }
        if (!rows_.empty()) {
            for (const auto& row : rows_) PrintLine(row);
            PrintRule(Rule::Bottom);
        }
        out_ << Say(rows_.size() == 1 ? "(%1 row)" : "(%1 rows)", rows_.size() <= 1 ? "(%1 ligne)" : "(%1 lignes)",
                    {std::to_string(rows_.size())})
             << '\n';
    }
    rows_.clear();
    columns_ = nullptr;
}

}  // namespace qxsql
