// SchemaStatements: CREATE TABLE and CREATE [UNIQUE] INDEX, executed by
// describing the new file or key to the host, which owns the files and the
// analysis.  The engine checks only what the exchange area cannot carry
// (name lengths, the length of a key's item list); every other refusal
// comes from the host and becomes the request's error.
#pragma once

namespace qx {

class QueryPlan;
class SyntaxNode;

// `statement`: the FON_REQUETE_CREATION_TABLE node.
void ExecuteCreateTable(QueryPlan& plan, const SyntaxNode* statement);
// `statement`: the FON_REQUETE_CREATION_INDEX node.
void ExecuteCreateIndex(QueryPlan& plan, const SyntaxNode* statement);

// Host item kind letter of a column type keyword ("X" for any other kind).
char ItemKindLetter(int typeKeyword);

}  // namespace qx
