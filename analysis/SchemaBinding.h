// SchemaBinding: the bound form of the statements that drop or change what
// exists (DROP TABLE, DROP VIEW, DROP INDEX, ALTER TABLE) and of CREATE
// VIEW.  They name tables, views, keys and items the host knows, so binding
// only keeps the names; the host answers for them when the statement runs.
#pragma once

#include "analysis/BoundStatement.h"
#include "base/Error.h"

namespace qx {

struct SyntaxNode;

// Fills `out` from a DROP, DROP INDEX, ALTER TABLE or CREATE VIEW node.  An
// ALTER TABLE ADD whose column has a constraint fails with 4298.  CREATE
// VIEW keeps its SELECT as text: it is compiled on its own.
Status BindSchemaChange(const SyntaxNode* statement, BoundStatement& out);

}  // namespace qx
