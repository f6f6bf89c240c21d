// ViewDefinition: a view as the host keeps it - the column names CREATE
// VIEW gave and its SELECT - and the question that fetches it
// (OGETINFOSOBD operation OBHOST_INFO_VIEW).  The engine keeps nothing
// between statements: a statement that names a view asks for it and
// computes its rows (interface/ViewTables.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Error.h"

namespace qx {

struct ViewDefinition {
    std::vector<std::string> columns;  // the names CREATE VIEW listed; empty: the SELECT's own
    std::string text;                  // the SELECT
};

enum class ViewLookup : std::uint8_t {
    kNotAView,     // the host has no view of that name (a table may have it)
    kView,         // `*out` holds the view
    kUnsupported,  // the host keeps no views
};

// Asks the host about the view `name`.  May throw std::bad_alloc.
ViewLookup LookUpView(std::uint16_t hostContext, const char* name, ViewDefinition* out);

// 4347: `name` is a view where a table is wanted (`isView`), or a table where a view is.
Error WrongObjectKind(const char* name, bool isView);

}  // namespace qx
