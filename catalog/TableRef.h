// TableRef: one table reference of a statement - a table, a correlation
// name standing for a table, or (unnamed) a memory table built during
// execution - with its item descriptors, its record buffer and the state of
// its cursor.
//
// The QueryDictionary's `tables` list owns every TableRef.  A TableRef owns
// its `items` list and the descriptors in it, its `record` buffer and its
// `rows` block; the cursor and writer of execution use the fields from
// `currentRecord` on.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/List.h"
#include "base/ListElement.h"
#include "base/MemoryBudget.h"
#include "base/OwnedString.h"

namespace qx {

class QueryDictionary;
class ItemDescriptor;
class RowIndex;

// Key record of TableRef::Compare (List::Find passes its address).
struct TableKey {
    const char* name;          // table or correlation name
    std::uint16_t aliasOnly;   // not 0: only references whose `usedName` is set match
};

class TableRef : public ListElement {
public:
    QueryDictionary* dictionary = nullptr;  // dictionary that owns the reference (not owned)
    OwnedString name{OwnedString::kNullReadsEmpty};    // table or correlation name as written
    OwnedString status{OwnedString::kNullReadsEmpty};  // "" once the dictionary knows the table
    TableRef* aliasOf = nullptr;    // table this correlation name stands for (not owned); null for a table
    std::uint16_t unnamed = 0;      // 1: created without a name (a memory table)
    std::uint16_t usedName = 0;     // 1: the statement uses the table under this reference's name
    std::uint16_t allItems = 0;     // 1: every item of the table counts as referenced
    std::uint16_t found = 0;        // 1 once the dictionary has described the table
    std::unique_ptr<List> items;    // the ItemDescriptors it owns; created by the first AddItem
    std::uint16_t recordSize = 0;   // bytes of one record
    std::uint32_t currentRecord = 0;       // record (or row) now in `record`; 0 after the end
    unsigned char* record = nullptr;       // owned zero-filled memory block of recordSize bytes, or null
    std::int16_t lastStatus = 0;           // host status after the last read or write
    OwnedString errorText{OwnedString::kNullReadsEmpty};  // text of the last failed write
    unsigned char* rows = nullptr;         // owned memory block of the rows of a memory table, or null
    std::int32_t rowCount = 0;             // rows stored (numbered from 1)
    std::int32_t rowCapacity = 0;          // rows `rows` has room for
    std::unique_ptr<RowIndex> rowIndex;    // hash of the stored rows (memory tables, DISTINCT)
    MemoryCharge rowCharge;                // `rows` against the memory budget of the statement

    // `name` null: an unnamed reference (the caller sets `unnamed`).
    TableRef(QueryDictionary* owner, const char* tableName, TableRef* aliasTarget);
    // Destroys `items` and its descriptors, frees `record` and `rows`.
    ~TableRef() override;

    // Stores `size`; with `allocate` not 0 also replaces `record` by a
    // zero-filled buffer of `size` bytes (none for 0).  0 when that
    // allocation fails (recordSize is then 0 and record null), else 1.
    std::int16_t SetRecordSize(std::uint16_t size, std::uint16_t allocate);
    // Appends `descriptor` to `items` (created on first use); on success the
    // reference owns it.  0 for a null descriptor or when the list cannot
    // grow (the caller keeps the descriptor), else 1.
    std::int16_t AddItem(ItemDescriptor* descriptor);
    // The descriptor named `itemName` in this reference's items or, while a
    // reference has no items list, in the table it stands for; null when none.
    ItemDescriptor* FindItem(const char* itemName) const;
    // Same, also accepting "T.ITEM" with T the descriptor's table name.
    ItemDescriptor* FindItemQualified(const char* itemName) const;

    // keyArgs: address of a TableKey.  1 when aliasOnly is set and usedName
    // is 0; else -1, 0 or +1 by the byte-wise (unsigned) comparison of `name`
    // with the key name (null names read as "").
    std::int16_t Compare(const void* keyArgs) const override;

    // ---- Record cursor and writer (defined with execution, exec/TableCursor.cpp) ----
    // Error codes of WriteRecord.
    static constexpr std::int16_t kWriteOk = 0;
    static constexpr std::int16_t kWriteNoMemory = 1;
    static constexpr std::int16_t kWriteReadWrite = 2;
    static constexpr std::int16_t kWriteDuplicate = 3;

    bool IsMemoryTable() const { return unnamed != 0; }
    // Reads record (or row) `n` into `record`, skipping numbers without a
    // live record: the number read, 0 at the end, or minus the host status.
    std::int32_t ReadFrom(std::int64_t n);
    std::int32_t ReadFirst() { return ReadFrom(1); }
    std::int32_t ReadNext() { return ReadFrom(static_cast<std::int64_t>(currentRecord) + 1); }
    // Writes `record`: memory table: row n (0 appends); file table: the host
    // adds (0), rewrites (n) or deletes (-1).  kWrite* code; on failure
    // `errorText` holds the message.
    std::int16_t WriteRecord(std::int32_t n);
    // Address of row n (from 1) of a memory table; null for a file table or out of range.
    unsigned char* RowAddress(std::int32_t n) const;
    // 1 when some stored row equals `record` byte for byte (memory tables).
    std::int16_t ContainsCurrentRow();
    // The stored rows changed order or content: forget the row hash.
    void RowsReordered();
    // Frees the rows of a memory table and their hash: the table is empty.
    void ReleaseRows();

private:
    std::int16_t WriteMemoryRow(std::int32_t n);
    std::int16_t WriteFileRecord(std::int32_t n);
    void WriteMemos();
    ItemDescriptor* Search(const char* itemName, std::int32_t qualified) const;
};

// The reference named `name` in a list of TableRefs (first match), or null.
TableRef* FindTable(const List& tables, const char* name);
// The descriptor of `itemName` among the tables of `tables`.  Without a
// qualifier an item name "Q.N" is taken as qualifier Q and item N.  With a
// qualifier only the table of that name is searched; without one the tables
// are searched from the last to the first and the first hit wins.
ItemDescriptor* FindItemInTables(const List& tables, const char* qualifier, const char* itemName);
// The same among the tables of a SELECT, for a name "ITEM" or "TABLE.ITEM".
ItemDescriptor* FindItemInTables(const std::vector<TableRef*>& tables, const char* itemName);

}  // namespace qx
