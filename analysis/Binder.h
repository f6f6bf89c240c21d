// Binder: turns a statement's syntax tree into its BoundStatement.
//
// For every SELECT (the main one, the one after a set operator, each nested
// one, the selection of an UPDATE or DELETE with WHERE and the query of an
// INSERT ... SELECT) it resolves each item name against the tables of that
// SELECT and of the SELECTs around it, types every value expression and
// condition, binds them, files every predicate under the set of tables it
// reads and notes what each nested SELECT reads of the tables around it.
// The other statements keep their table, items and values.
//
// Typing errors are messages 4243 (unknown table), 4277 (types that do not
// match), 4279 (logic where a value stands), 4281 (unknown item), 4282 (an
// item wanted), 4285 (a composite key compared), 4298 (a column list after a
// correlation name) and 4242.  An item whose type has no value class and a
// function the typing does not know fail without a message of their own.
//
// Recursion follows the nesting of the statement (conditions in
// parentheses, sub-selects), which the grammar bounds; a guard stops at
// kMaxNesting levels all the same.  Sibling chains are walked in loops.
#pragma once

#include <cstdint>
#include <memory>

#include "analysis/BoundStatement.h"
#include "base/Error.h"

namespace qx {

class QueryDictionary;
struct SyntaxNode;

// Deepest nesting of conditions and SELECTs the binding walks into.
constexpr int kMaxNesting = 512;

// Binds the statement of `tree` (a parsed statement whose names the
// dictionary has loaded) into `out`.
Status Bind(const SyntaxNode* tree, QueryDictionary& dictionary, BoundStatement& out);

// The class of an item by its field type: numbers; texts, memos, dates and
// times as characters; kNone for any other type.
TypeClass ItemClass(const ItemDescriptor* item);

}  // namespace qx
