// SqlRequest: the per-statement record whose address is the handle of the
// exported calls.  It carries the statement through every stage and keeps
// the result and the error between calls.
//
// The record lives in a memory block (AllocBlock) and is value-initialized
// there, so every field not set at creation starts at 0.  It owns
// `dictionary` (and through it the result table `resultSet`) until
// QXSQLFinRequete, and a prepared statement's plan (`prepared`, destroyed
// first); `statement` is the
// working copy of the text, valid only while QXSQLExecReq runs.  The syntax
// tree, the plan and the evaluator live only inside QXSQLExecReq.
#pragma once

#include <cstdint>
#include <memory>

#include "base/Error.h"
#include "base/MemoryBudget.h"
#include "catalog/QueryDictionary.h"
#include "interface/PreparedStatement.h"

namespace qx {

class TableRef;

// Bytes of the working copy of a statement: the text, ";" and a NUL.
constexpr std::uint32_t kStatementBufferSize = 16384;
constexpr std::uint32_t kMaxStatementLength = kStatementBufferSize - 2;

struct SqlRequest {
    char* statement;                 // working copy of the text (owned by QXSQLExecReq)
    char errorText[255];             // last error, at most 254 bytes; empty: no error
    char sqlState[6];                // SQLSTATE of the last error; "-----" at creation
    std::int32_t errorNumber;        // message number of the last error, 0 when it has none
    std::unique_ptr<QueryDictionary> dictionary;  // tables and items of the statement
    TableRef* resultSet;             // result memory table, owned by the dictionary
    std::uint32_t rowNumber;         // row last asked for by QXSQLFetchNext
    std::uint16_t hostContext;       // caller's context word, first argument of every callback
    std::uintptr_t memoValues;       // caller's memo parameter table (address) or 0
    MemoryBudget budget;             // working memory of the statement, current while QXSQLExecReq runs
    std::unique_ptr<PreparedStatement> prepared;  // QXSQLPrepare: the compiled statement and its values
};

// Stores `text` (cut to 254 bytes) as the request's error and `state` (at
// most 5 characters) as its SQLSTATE; without a state: "00123" for a
// non-empty text, "00000" for an empty one.  A null text changes nothing.
// Returns the error text when it is not empty, else null.
char* SetRequestError(SqlRequest* request, const char* text, const char* state);


// Records the failure of `status` (nothing when it is ok) on the request.
void RecordError(SqlRequest* request, const Status& status);

// Error text is empty: the request has not failed so far.
inline bool RequestOk(const SqlRequest* request) { return request->errorText[0] == '\0'; }

}  // namespace qx
