// BoundStatement: a statement after binding, ready for planning.  It holds
// every SELECT of the statement (a SELECT statement's, the selection of an
// UPDATE or DELETE with WHERE, the query of an INSERT ... SELECT) and, for the
// other statements, the table, items and values they name.  Nothing in it
// points into the syntax tree, which is released once binding ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/BoundSelect.h"
#include "parser/NodeKinds.h"

namespace qx {

enum class StatementKind : std::uint8_t {
    kSelect,
    kInsert,
    kUpdate,
    kDelete,
    kCreateTable,
    kCreateIndex,
    kDropTable,
    kDropIndex,
    kAlterTable,
    kCreateView,
    kDropView,
    kUnsupported,
};

enum class SetOperation : std::uint8_t { kNone, kUnion, kIntersect, kExcept };

struct OrderKey {
    std::string name;  // as written: "ITEM" or "TABLE.ITEM"
    bool descending = false;
};

// A column of CREATE TABLE: its name, the keyword of its type, its size,
// and the constraints written on it that no key carries (NOT NULL,
// DEFAULT, FOREIGN KEY), by name.
struct ColumnDefinition {
    std::string name;
    int typeKeyword = 0;
    std::uint32_t size = 0;
    std::vector<std::string> unenforced;
};

// A key CREATE TABLE makes: PRIMARY KEY or UNIQUE, on a column or over a
// list of them.
struct TableKey {
    bool primary = false;
    std::vector<std::string> items;
};

// A SET entry of UPDATE.
struct Assignment {
    std::string column;
    std::unique_ptr<BoundExpr> value;
};

struct BoundStatement {
    StatementKind kind = StatementKind::kUnsupported;
    bool explain = false;  // EXPLAIN written before the statement

    // SELECT, and the SELECTs of the other statements; empty when there is none.
    std::vector<std::unique_ptr<BoundSelect>> selects;  // by number
    SetOperation setOperation = SetOperation::kNone;
    bool setAll = false;           // UNION ALL
    std::string setOperatorText;   // the operator as written (messages)
    std::vector<OrderKey> orderBy;  // of the first SELECT
    std::int32_t limit = -1;        // LIMIT: rows kept at most; -1 without
    std::int32_t offset = 0;        // OFFSET: rows skipped first

    // INSERT, UPDATE, DELETE, CREATE TABLE, CREATE INDEX
    std::string table;
    bool hasColumnList = false;               // INSERT (columns)
    std::vector<std::string> columns;         // INSERT columns; CREATE INDEX key items
    std::vector<std::vector<std::unique_ptr<BoundExpr>>> rows;  // INSERT VALUES: the values of each row
    bool hasValues = false;                   // INSERT VALUES (rather than nothing)
    std::vector<Assignment> assignments;      // UPDATE SET
    std::vector<ItemDescriptor*> setItems;    // the items SET values read, by slot (of the changed table)
    std::vector<ColumnDefinition> definitions;  // CREATE TABLE
    std::vector<TableKey> keys;                 // CREATE TABLE: its keys, in written order
    std::string indexName;                    // CREATE INDEX
    bool uniqueIndex = false;                 // CREATE UNIQUE INDEX
    std::vector<bool> descending;             // CREATE INDEX: per key item of `columns`, DESC

    // CREATE VIEW: its name in `table`, its column list in `columns`
    // (`hasColumnList`), its SELECT as written here.
    std::string viewText;

    // DROP TABLE, DROP VIEW, DROP INDEX, ALTER TABLE (and IF [NOT] EXISTS of CREATE)
    bool ifExists = false;                    // IF EXISTS, or IF NOT EXISTS for CREATE
    AlterAction alterAction = AlterAction::kAddColumn;  // ALTER TABLE: ADD uses definitions[0]
    std::string otherName;                    // ALTER TABLE: the item dropped or the new table name

    // The SELECT numbered `index`, or null.
    BoundSelect* Select(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < selects.size() ? selects[static_cast<std::size_t>(index)].get()
                                                                           : nullptr;
    }
    // True when the statement runs SELECTs (a query, or a selection of rows to change).
    bool HasQuery() const { return !selects.empty(); }
};

}  // namespace qx
