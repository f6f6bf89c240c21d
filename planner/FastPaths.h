// FastPaths: the switch of the plan's and execution's shortcuts - hash joins
// on equalities, the filters of an AND applied before the joins, the direct
// evaluation of simple predicates and the hashed lookup of IN and other
// equality comparisons against the rows of a nested SELECT or a literal list.
// Each shortcut gives exactly the rows, in exactly the order, of the general
// evaluation it replaces; the switch exists so that tests can run a statement
// both ways and compare.  On by default; process-wide like the rest of the
// engine's state (one request executes at a time).
#pragma once

namespace qx {

bool FastPathsEnabled();
void SetFastPathsEnabled(bool enabled);

}  // namespace qx
