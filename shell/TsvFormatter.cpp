// TsvFormatter: header line, escaped fields.
#include "shell/TsvFormatter.h"

namespace qxsql {

void TsvFormatter::WriteField(std::ostream& out, std::string_view value) {
    std::size_t start = 0;
    for (std::size_t i = value.find_first_of("\t\n\r\\"); i != std::string_view::npos;
         i = value.find_first_of("\t\n\r\\", start)) {
        out << value.substr(start, i - start) << '\\';
        out << (value[i] == '\t' ? 't' : value[i] == '\n' ? 'n' : value[i] == '\r' ? 'r' : '\\');
        start = i + 1;
    }
    out << value.substr(start);
}

void TsvFormatter::Begin(const std::vector<ResultColumn>& columns) {
    if (!headers_) return;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out_ << '\t';
        WriteField(out_, columns[i].name);
    }
    out_ << '\n';
}

void TsvFormatter::Row(const std::vector<std::string_view>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out_ << '\t';
        WriteField(out_, values[i]);
    }
    out_ << '\n';
}

}  // namespace qxsql
