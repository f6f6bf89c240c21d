// DelimitedReader: the records of a CSV or TSV text, one at a time.
//
// CSV follows RFC 4180: fields separated by commas, records by CR LF (a
// bare LF is taken too), a field in double quotes may hold commas, line
// ends and doubled quotes; a quote anywhere else is an error.  TSV fields
// are separated by tabs and hold no quoting; \t, \n, \r and \\ stand for
// a tab, a line end, a carriage return and a backslash (as the tsv output
// mode writes them).  A byte order mark at the start is skipped, and so
// are empty lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qxsql {

enum class DelimitedFormat { Csv, Tsv };

class DelimitedReader {
public:
    // `text` must outlive the reader.
    DelimitedReader(std::string_view text, DelimitedFormat format);

    // The next record's fields; false at the end of the text or on a
    // malformed record (then Error() says why, and ErrorColumn() where).
    bool Next(std::vector<std::string>& fields);
    // Skips `count` lines (the record ends inside them do not count).
    void SkipLines(std::size_t count);

    std::size_t Line() const { return recordLine_; }  // first line of the last record, from 1
    std::size_t Offset() const { return at_; }        // bytes read so far
    const std::string& Error() const { return error_; }
    std::size_t ErrorColumn() const { return errorColumn_; }  // field number, from 1

private:
    bool NextCsv(std::vector<std::string>& fields);
    bool NextTsv(std::vector<std::string>& fields);
    bool Fail(std::string message, std::size_t field);
    void SkipEmptyLines();

    std::string_view text_;
    DelimitedFormat format_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;        // line at `at_`
    std::size_t recordLine_ = 0;
    std::string error_;
    std::size_t errorColumn_ = 0;
};

}  // namespace qxsql
