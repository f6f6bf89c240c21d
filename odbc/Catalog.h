// Catalog: the result sets of SQLTables, SQLColumns and SQLGetTypeInfo,
// made from the analysis of the open database (the file engine's table
// list and item descriptions) and from the types the dialect accepts.
#pragma once

#include <sql.h>

#include <string>

#include "odbc/Statement.h"

namespace qxodbc {

// A search pattern of the catalog calls: '%' any run, '_' any character,
// '\' before either takes it literally; letters match without case.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// The tables whose name matches `tablePattern`; none when `types` is given
// and does not name TABLE.  With catalog "%" and the rest empty: the empty
// list of catalogs; with types "%" and the rest empty: the list of types.
SQLRETURN ListTables(Statement& statement, const std::string& catalog, const std::string& tablePattern,
                     const std::string& types);
// The items of the matching tables, in record order.  Only dates and
// times are nullable: their empty value reads as NULL.
SQLRETURN ListColumns(Statement& statement, const std::string& tablePattern, const std::string& columnPattern);
// The data types (one, or every one for SQL_ALL_TYPES).
SQLRETURN ListTypes(Statement& statement, SQLSMALLINT type);

}  // namespace qxodbc
