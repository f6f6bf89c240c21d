// RowReader: reads the current row of a result from the engine.  The
// engine gives a row only as one line of text with a separator of the
// caller's choice between values (QXSQLValLine), so splitting a row into
// its values needs a separator that no value holds.  The reader first asks
// for the line with the unit separator (0x1F); when that byte does not
// occur exactly once between each pair of columns, it picks a separator
// absent from that first line (a byte, else a run of 2 to 4 distinct
// bytes, which cannot straddle a value boundary) and asks again.
//
// The line buffer is sized from the column description, since the engine
// writes without a bound: each column's display size plus room for the
// longest text the engine makes of a number or a memo.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/ResultColumn.h"

namespace qxsql {

class RowReader {
public:
    // Writes the current row with `separator` between values into `out`
    // (QXSQLValLine on a handle); returns the engine's result (0 ok).
    using LineSource = std::function<std::int16_t(const char* separator, char* out)>;

    RowReader(const std::vector<ResultColumn>& columns, LineSource source);

    // The values of the current row, one per column (views into the
    // reader's buffer, valid until the next call).  False when the engine
    // refused to give the line.
    bool ReadValues(std::vector<std::string_view>& values);

    // A separator of 1 to 4 distinct non-NUL bytes that does not occur in
    // `sample` (a row line: all the row's values are substrings of it).
    static std::string ChooseSeparator(std::string_view sample);

    // Splits `line` at each `separator` into exactly `count` values (the
    // last takes the rest; missing ones are empty).
    static void Split(std::string_view line, std::string_view separator, std::size_t count,
                      std::vector<std::string_view>& values);

    // Bytes the line of one row of these columns can take, NUL included,
    // with separators of up to 4 bytes.
    static std::size_t LineCapacity(const std::vector<ResultColumn>& columns);

private:
    std::size_t count_;
    LineSource source_;
    std::vector<char> buffer_;
};

}  // namespace qxsql
