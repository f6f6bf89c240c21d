// Importer: .import and --import, a CSV or TSV file loaded into a table.
//
// The first record (after --skip lines) names the items the columns go
// to.  When the table exists, each name must be one of its items; when it
// does not, the table is made from the header: a column of integers that
// fit becomes INTEGER, one of other numbers DOUBLE PRECISION, any other
// CHAR sized to its longest value (in bytes).  The whole file is read and
// every value checked against its item first, so a malformed record or a
// value that does not fit loads nothing; the error names the file, the
// line and the column.  Then every record goes in as an INSERT statement
// through the engine.  An empty field leaves its item at the default
// value (0, blanks) except in a text item, where it is an empty text.
// On a terminal, files over a few megabytes show a progress bar.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "shell/DelimitedReader.h"

namespace qxsql {

class Session;

struct ImportRequest {
    std::string file;
    std::string table;
    DelimitedFormat format = DelimitedFormat::Csv;
    std::size_t skip = 0;  // lines skipped before the header
};

// Parses the words after ".import" (or the file and table of --import, with
// the format chosen by the file's extension: .tsv and .tab are TSV).
// False, with `error` set, on a malformed command.
bool ParseImportWords(const std::vector<std::string>& words, ImportRequest& request, std::string& error);

// Loads the file; false, with the error reported through the session, when
// anything failed.
bool ImportFile(Session& session, const ImportRequest& request);

}  // namespace qxsql
