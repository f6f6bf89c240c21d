// CsvFormatter: RFC 4180 output.  Records end with CR LF; a field holding
// a comma, a double quote, a CR or a LF is put in double quotes with its
// quotes doubled; other fields are written as they are.  The first record
// holds the column names when headers are on.
#pragma once

#include <string_view>

#include "shell/RowFormatter.h"

namespace qxsql {

class CsvFormatter : public RowFormatter {
public:
    CsvFormatter(std::ostream& out, bool headers) : out_(out), headers_(headers) {}

    void Begin(const std::vector<ResultColumn>& columns) override;
    void Row(const std::vector<std::string_view>& values) override;
    void End() override {}

    // Writes one field with the quoting above.
    static void WriteField(std::ostream& out, std::string_view field);

private:
    std::ostream& out_;  // not owned
    bool headers_;
};

}  // namespace qxsql
