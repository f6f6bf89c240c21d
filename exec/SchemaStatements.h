// SchemaStatements: CREATE TABLE, CREATE [UNIQUE] INDEX, DROP TABLE, DROP
// INDEX, ALTER TABLE, CREATE VIEW and DROP VIEW, executed by describing the file or key to the
// host, which owns the files and the analysis.  What the host reports
// missing or already there becomes a numbered message (4243, 4340 to 4345);
// IF [NOT] EXISTS makes that report end the statement quietly instead.  The engine checks only what the exchange area cannot carry
// (name lengths, the length of a key's item list); every other refusal
// comes from the host and becomes the request's error.
#pragma once

namespace qx {

class QueryPlan;

// The plan's CREATE TABLE or CREATE INDEX statement.
void ExecuteCreateTable(QueryPlan& plan);
void ExecuteCreateIndex(QueryPlan& plan);
void ExecuteDropTable(QueryPlan& plan);
void ExecuteDropIndex(QueryPlan& plan);
void ExecuteAlterTable(QueryPlan& plan);
// CREATE VIEW, its SELECT already checked (interface/ViewTables.h), and DROP VIEW.
void ExecuteCreateView(QueryPlan& plan);
void ExecuteDropView(QueryPlan& plan);

// Host item kind letter of a column type keyword ("X" for any other kind).
char ItemKindLetter(int typeKeyword);

}  // namespace qx
