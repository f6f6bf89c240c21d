// ViewTables: the views a statement reads, each computed into a memory
// table before the statement is bound, and the check of CREATE VIEW.
//
// The host keeps a view as its column names and SELECT (catalog/
// ViewDefinition.h).  When the dictionary finds a name that is no table,
// the resolver asks the host for a view of that name and, when there is
// one, compiles its SELECT as a statement of its own (its own dictionary,
// through which it may read other views) and runs it in the statement's
// memory budget; the rows, items and record size then pass to the
// statement's reference, which reads them as a memory table, correlation
// names included.  A view is read once per statement, whatever the number
// of places that name it.
//
// A view fails with 4349 naming it and the reason (a table it reads was
// dropped or changed, it reads itself, it goes deeper than kMaxViewDepth);
// a shortage of memory, a stop request, a busy database or a host I/O
// error pass through as they are.  A view named as the table a statement
// changes is refused (4347) before its rows are computed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/BoundStatement.h"
#include "base/Error.h"
#include "catalog/QueryDictionary.h"

namespace qx {

// Most views read through one another.
constexpr std::size_t kMaxViewDepth = 16;

struct ViewContext {
    enum class Rows : std::uint8_t {
        kCompute,   // the statement reads the rows
        kDescribe,  // only the columns are wanted (EXPLAIN, CREATE VIEW): no row is read
    };
    std::uint16_t hostContext = 0;
    std::uintptr_t memoValues = 0;
    Rows rows = Rows::kCompute;
    std::string changed;             // the table the statement writes, "" for none
    std::vector<std::string> chain;  // the views being computed around this one, outermost first
    std::vector<TableRef*>* read = nullptr;  // when given: receives each view reference made
};

// The dictionary's hook for names that are no table (QueryDictionary::LoadDescriptions).
QueryDictionary::UnknownTable ViewResolver(ViewContext context);

// Computes again the rows of the views `views` of a prepared statement,
// made with Rows::kDescribe when it was prepared: each run reads the
// tables as they are then.  A view whose columns changed since fails with
// 4349.
Status RefreshViews(std::uint16_t hostContext, std::uintptr_t memoValues, const std::vector<TableRef*>& views);

// CREATE VIEW: checks the view's name is free and its SELECT compiles
// against today's tables, with one distinct name per column (and as many
// names as columns when the statement lists them).  Success with nothing
// checked when the name is taken and IF NOT EXISTS was written.
Status CheckNewView(std::uint16_t hostContext, std::uintptr_t memoValues, const BoundStatement& statement);

}  // namespace qx
