#include "exec/NestedRows.h"

namespace qx {

// Placeholder until the result table of nested blocks is wired in.
SyntaxNode* NestedBlockRows(QueryPlan*, int) { return nullptr; }

}  // namespace qx
