// JsonFormatter: a result as a JSON array of objects, one object per row,
// one row per line, keyed by column name:
//
//   [
//   {"NUM":1,"NAME":"Dupont"},
//   {"NUM":2,"NAME":"Durand"}
//   ]
//
// An empty result is "[]".  Values of numeric columns (letter N) are JSON
// numbers when the engine's text is one, null when it is empty, and
// strings otherwise; all other values are strings.  Keys are made unique:
// an unnamed column is "column<i>" (i from 1) and a repeated name gets
// "_2", "_3"... appended.  Text that is not valid UTF-8 has each bad byte
// replaced by U+FFFD so that the output stays valid JSON.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/RowFormatter.h"

namespace qxsql {

class JsonFormatter : public RowFormatter {
public:
    explicit JsonFormatter(std::ostream& out) : out_(out) {}

    void Begin(const std::vector<ResultColumn>& columns) override;
    void Row(const std::vector<std::string_view>& values) override;
    void End() override;

    // Writes `text` as a JSON string, quotes included.
    static void WriteString(std::ostream& out, std::string_view text);
    // True when `text` follows the JSON number grammar.
    static bool IsJsonNumber(std::string_view text);
    // The object keys for these columns (unique, as described above).
    static std::vector<std::string> MakeKeys(const std::vector<ResultColumn>& columns);

private:
    std::ostream& out_;  // not owned
    std::vector<std::string> keys_;
    std::vector<bool> numeric_;
    std::size_t rows_ = 0;
};

}  // namespace qxsql
