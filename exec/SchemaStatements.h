// SchemaStatements: CREATE TABLE and CREATE [UNIQUE] INDEX, executed by
// describing the new file or key to the host, which owns the files and the
// analysis.  The engine checks only what the exchange area cannot carry
// (name lengths, the length of a key's item list); every other refusal
// comes from the host and becomes the request's error.
#pragma once

namespace qx {

class QueryPlan;

// The plan's CREATE TABLE or CREATE INDEX statement.
void ExecuteCreateTable(QueryPlan& plan);
void ExecuteCreateIndex(QueryPlan& plan);

// Host item kind letter of a column type keyword ("X" for any other kind).
char ItemKindLetter(int typeKeyword);

}  // namespace qx
