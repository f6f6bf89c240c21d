// ViewDef: one view of the analysis: its name, the column names CREATE VIEW
// gave (none: the names its SELECT gives) and the SELECT as written.  The
// file engine keeps it for the SQL engine, which alone reads the SELECT.
#pragma once

#include <string>
#include <vector>

namespace qxhost {

struct ViewDef {
    std::string name;                  // upper case, at most 8 bytes; no file has it
    std::vector<std::string> columns;  // upper case, in order; empty: the SELECT's names
    std::string text;                  // the SELECT
    int line = 0;
};

}  // namespace qxhost
