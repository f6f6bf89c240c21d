// ResultColumn: parsing of the engine's column description text.
#include "shell/ResultColumn.h"

#include <string_view>

namespace qxsql {
namespace {

std::uint32_t ReadUnsigned(std::string_view text) {
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<std::uint32_t>(value);
}

// The three numeric-ish fields are taken from the right, so that a name is
// read whole whatever it holds.
ResultColumn ParseLine(std::string_view line) {
    ResultColumn column;
    std::size_t tabs[3];
    std::size_t found = 0;
    std::size_t end = line.size();
    while (found < 3 && end > 0) {
        std::size_t tab = line.rfind('\t', end - 1);
        if (tab == std::string_view::npos) break;
        tabs[found++] = tab;
        end = tab;
    }
    if (found < 3) {  // not the usual shape: the whole line is the name
        column.name.assign(line);
        return column;
    }
    column.name.assign(line.substr(0, tabs[2]));
    std::string_view letter = line.substr(tabs[2] + 1, tabs[1] - tabs[2] - 1);
    if (!letter.empty()) column.letter = letter[0];
    column.hostType = ReadUnsigned(line.substr(tabs[1] + 1, tabs[0] - tabs[1] - 1));
    column.size = ReadUnsigned(line.substr(tabs[0] + 1));
    return column;
}

}  // namespace

std::vector<ResultColumn> ResultColumn::ParseDescription(const char* text, std::size_t count) {
    std::vector<ResultColumn> columns;
    columns.reserve(count);
    std::string_view rest(text != nullptr ? text : "");
    while (columns.size() < count && !rest.empty()) {
        std::size_t end = rest.find("\r\n");
        std::string_view line = rest.substr(0, end);
        columns.push_back(ParseLine(line));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    }
    columns.resize(count);
    return columns;
}

}  // namespace qxsql
