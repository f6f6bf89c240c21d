// DriverInfo: the answers of SQLGetInfo and SQLGetFunctions, what client
// tools read to learn what the driver and the dialect support.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <variant>

#include "odbc/Connection.h"

namespace qxodbc {

// An SQLGetInfo answer: a text, or a 16- or 32-bit number.
using InfoAnswer = std::variant<std::string, SQLUSMALLINT, SQLUINTEGER>;
// The answer to information type `type`; false for a type the driver does not know.
bool FindInfo(const Connection& connection, SQLUSMALLINT type, InfoAnswer& answer);

// SQLGetInfo: SQL_SUCCESS, SQL_SUCCESS_WITH_INFO for a cut text, or
// SQL_ERROR with HY096 for a type it does not know.
SQLRETURN GetInfo(Connection& connection, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT capacity,
                  SQLSMALLINT* length);
// SQLGetFunctions for one function, SQL_API_ALL_FUNCTIONS or SQL_API_ODBC3_ALL_FUNCTIONS.
SQLRETURN GetFunctions(Connection& connection, SQLUSMALLINT function, SQLUSMALLINT* supported);

}  // namespace qxodbc
