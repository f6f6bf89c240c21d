// SchemaSql: a table of the analysis as the SQL statements that would
// make it again, for .schema, .indexes and .dump.  The file engine gives a
// table's analysis as text (QXHostDescribe):
//
//   FILE ORDERS
//   ITEM NUM 5 4 UNIQUE          item name, host type, size, [ARRAY n], [key mode]
//   ITEM QTY 3 2
//   KEY BYDAY DUPLICATES ODATE,CLIENT
//
// Each item becomes a column of the SQL type that stores it the same way;
// an item key (UNIQUE or DUPLICATES on the item) and a KEY line each become
// a CREATE [UNIQUE] INDEX.  Items that SQL cannot declare (memos, arrays,
// raw bytes) are left out of CREATE TABLE and named in a comment above it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qxsql {

struct SchemaItem {
    std::string name;
    int hostType = 0;
    int size = 0;
    int arrayCount = 1;
    std::string sqlType;  // empty when SQL cannot declare the item
};

struct SchemaIndex {
    std::string name;
    bool unique = false;
    std::vector<std::string> items;
};

struct SchemaTable {
    std::string name;
    std::vector<SchemaItem> items;
    std::vector<SchemaIndex> indexes;  // item keys first, in item order, then KEY lines

    // The analysis text of one or more tables, in the form above (other
    // lines are ignored).
    static std::vector<SchemaTable> Parse(std::string_view analysis);

    // The comment on the items left out (if any), CREATE TABLE and the
    // CREATE INDEX statements, each statement ending with ";\n".
    std::string CreateStatements() const;
    // "CREATE [UNIQUE] INDEX name ON table (items);\n"
    std::string CreateIndex(const SchemaIndex& index) const;
    // The names of the items CREATE TABLE declares, joined by ", ".
    std::string ColumnList() const;
};

// The analysis of `table` (null: every table) in database `context`, read
// with QXHostDescribe: its return code (0 ok, -1 no such table or database).
int DescribeTables(std::uint16_t context, const char* table, std::vector<SchemaTable>& tables);

// The SQL type of an item of this host type and size; empty when none.
std::string SqlTypeOf(int hostType, int size, int arrayCount);

// `text` as an SQL string literal: quoted, with quotes doubled.
std::string SqlString(std::string_view text);

}  // namespace qxsql
