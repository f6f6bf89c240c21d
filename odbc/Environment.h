// Environment: the ODBC environment handle.  It owns the connections made
// on it; the application holds raw pointers to them until SQLFreeHandle.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <vector>

#include "odbc/Connection.h"
#include "odbc/Diagnostics.h"

namespace qxodbc {

struct Environment {
    Diagnostics diagnostics;
    SQLINTEGER odbcVersion = SQL_OV_ODBC3;
    std::vector<std::unique_ptr<Connection>> connections;
};

}  // namespace qxodbc
