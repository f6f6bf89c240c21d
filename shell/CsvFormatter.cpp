// CsvFormatter: field quoting and records.
#include "shell/CsvFormatter.h"

namespace qxsql {

void CsvFormatter::WriteField(std::ostream& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out << field;
        return;
    }
    out << '"';
    std::size_t start = 0;
    for (std::size_t quote = field.find('"'); quote != std::string_view::npos; quote = field.find('"', start)) {
        out << field.substr(start, quote + 1 - start) << '"';
        start = quote + 1;
    }
    out << field.substr(start) << '"';
}

void CsvFormatter::Begin(const std::vector<ResultColumn>& columns) {
    if (!headers_) return;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out_ << ',';
        WriteField(out_, columns[i].name);
    }
    out_ << "\r\n";
}

void CsvFormatter::Row(const std::vector<std::string_view>& values) {
    // A lone empty field is quoted so that the record is not an empty line.
    if (values.size() == 1 && values[0].empty()) {
        out_ << "\"\"\r\n";
        return;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out_ << ',';
        WriteField(out_, values[i]);
    }
    out_ << "\r\n";
}

}  // namespace qxsql
