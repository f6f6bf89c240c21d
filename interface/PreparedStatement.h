// PreparedStatement: a statement compiled once, with "?" parameters, run
// as many times as the caller likes with the values bound to them.
//
// It hangs off the request that compiled it (SqlRequest::prepared), whose
// dictionary its plan reads, so every call on a request handle works on a
// prepared one too.  Values are kept by parameter number in the form the
// evaluator reads (a double, a text, a date YYYYMMDD or a time HHMM[SS]);
// each parameter's use - what the item it is stored into or compared with
// holds - is known from the bound statement, and a value that does not fit
// it is refused when bound.  A run first drops what the previous one left:
// its result tables and every block's execution state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Error.h"
#include "exec/Value.h"
#include "interface/StatementStages.h"

namespace qx {

struct SqlRequest;

// What a parameter's value becomes: the class of the item it goes into or
// is compared with.
enum class ParameterUse : std::uint8_t { kAny, kNumber, kText, kDate, kTime, kMemo };

// The kinds of value a caller binds.
enum class BoundKind : std::uint8_t { kNull, kInteger, kReal, kText, kDate, kTime, kBinary };

class PreparedStatement {
public:
    // Takes a compiled statement, its text (compiled again when the host's
    // tables change) and its `parameterCount` parameters; its dictionary then
    // holds `compiledTables` tables.
    PreparedStatement(Compiled compiled, const char* text, std::uint16_t parameterCount, std::size_t compiledTables);

    std::size_t ParameterCount() const { return values_.size(); }
    // Binds `value` (of `kind`) to parameter `number` (from 1); a failure
    // for a number out of range, a value that does not fit its use or that
    // holds a zero byte.
    Status Bind(std::uint16_t number, BoundKind kind, Value value);
    // Runs the statement with the bound values; the result (if any) is
    // left in `request->resultSet`.
    Status Run(SqlRequest* request);
    // Drops every bound value.
    void ClearValues();

private:
    // Works out each parameter's use from the bound statement.
    void FindUses();
    // Drops what the previous run left in the plan and the dictionary.
    void ForgetRun(SqlRequest* request);
    // Compiles the text again, in a new dictionary, inside the open statement:
    // another connection changed the tables since it was compiled.
    Status Recompile(SqlRequest* request, std::int32_t generation);

    Compiled compiled_;
    std::string text_;                // the statement as compiled, ";" included
    std::vector<Value> values_;       // by number from 0; no value: not bound
    std::vector<ParameterUse> uses_;  // by number from 0
    std::size_t compiledTables_;      // tables of the dictionary once compiled; later ones are results
};

}  // namespace qx
