// Diagnostics: the records a handle keeps about its last call, read back by
// SQLGetDiagRec and SQLGetDiagField.  Every call on a handle clears them
// first; a failing step adds one record with its SQLSTATE, the engine's
// message number as the native error (0 for the driver's own errors) and
// the message text.
#pragma once

#include <sql.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qxodbc {

struct DiagnosticRecord {
    std::string state;    // five characters
    std::int32_t native;  // engine message number, 0 for the driver's own
    std::string message;
};

class Diagnostics {
public:
    void Clear() { records_.clear(); }
    // Adds a record and returns SQL_ERROR, so that a failing step ends with
    // `return diagnostics.Fail(...)`.
    SQLRETURN Fail(const char* state, const std::string& message, std::int32_t native = 0);
    // Adds a warning record and returns SQL_SUCCESS_WITH_INFO.
    SQLRETURN Warn(const char* state, const std::string& message);
    const std::vector<DiagnosticRecord>& Records() const { return records_; }

private:
    std::vector<DiagnosticRecord> records_;
};

// Copies `text` into an application buffer of `capacity` bytes (NUL
// included), stores the full length at `length` when given; SQL_SUCCESS, or
// SQL_SUCCESS_WITH_INFO when the text was cut.
SQLRETURN CopyText(const std::string& text, SQLCHAR* out, SQLLEN capacity, SQLLEN* length);

}  // namespace qxodbc
