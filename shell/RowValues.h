// RowValues: the current row of a result as the texts the shell shows,
// read column by column with QXSQLColumnValue, so that every value comes
// typed: integers as their digits, other numbers as NumberText gives them
// (the items of 4 bytes are single precision), fixed-point numbers as
// their exact digits, texts, dates and times as stored.  A column without
// a readable value shows a marker in the shell's language.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "obsqleng.h"
#include "shell/ResultColumn.h"

namespace qxsql {

class RowValues {
public:
    // Reads column `column` (from 1) of the current row (QXSQLColumnValue on
    // a handle); returns the engine's result (0 ok).
    using ValueSource = std::function<std::int16_t(std::uint16_t column, QXSQLValue* value)>;

    RowValues(const std::vector<ResultColumn>& columns, ValueSource source);

    // The texts of the current row, one per column (views valid until the
    // next call).  A column the engine cannot read is empty.
    const std::vector<std::string_view>& Read();
    // True when the engine refused a value of the row last read.
    bool Refused() const { return refused_; }

    // The text of one value of `column`.
    static std::string Text(const ResultColumn& column, const QXSQLValue& value);

private:
    const std::vector<ResultColumn>& columns_;
    ValueSource source_;
    std::vector<std::string> owned_;  // texts made here (numbers, markers)
    std::vector<std::string_view> values_;
    bool refused_ = false;
};

}  // namespace qxsql
