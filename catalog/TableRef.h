// TableRef: one table reference of a statement - a table, a correlation
// name standing for a table, or (unnamed) a memory table built during
// execution - with its item descriptors, its record buffer and the state of
// its cursor.
//
// The QueryDictionary's `tables` owns every TableRef.  A TableRef owns the
// descriptors of its `items`, its `record` buffer and its `rows` block; the
// cursor and writer of execution use the fields from `currentRecord` on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/MemoryBudget.h"
#include "base/OwnedString.h"

namespace qx {

class QueryDictionary;
class ItemDescriptor;
class RowIndex;

class TableRef {
public:
    // Most descriptors a reference holds; a statement whose tables describe
    // more fails while its descriptions load.
    static constexpr std::size_t kMaxItems = 16383;

    QueryDictionary* dictionary = nullptr;  // dictionary that owns the reference (not owned)
    OwnedString name{OwnedString::kNullReadsEmpty};    // table or correlation name as written
    OwnedString status{OwnedString::kNullReadsEmpty};  // "" once the dictionary knows the table
    TableRef* aliasOf = nullptr;    // table this correlation name stands for (not owned); null for a table
    std::uint16_t unnamed = 0;      // 1: created without a name (a memory table)
    std::uint16_t view = 0;         // 1: a view, its rows computed into this memory table before binding
    std::uint16_t usedName = 0;     // 1: the statement uses the table under this reference's name
    std::uint16_t allItems = 0;     // 1: every item of the table counts as referenced
    std::uint16_t found = 0;        // 1 once the dictionary has described the table
    std::vector<std::unique_ptr<ItemDescriptor>> items;  // its descriptors, in the order added
    std::uint16_t recordSize = 0;   // bytes of one record
    std::uint32_t currentRecord = 0;       // record (or row) now in `record`; 0 after the end
    unsigned char* record = nullptr;       // owned zero-filled memory block of recordSize bytes, or null
    std::int16_t lastStatus = 0;           // host status after the last read or write
    OwnedString errorText{OwnedString::kNullReadsEmpty};  // text of the last failed write
    int errorNumber = 0;                   // its message number
    unsigned char* rows = nullptr;         // owned memory block of the rows of a memory table, or null
    std::int32_t rowCount = 0;             // rows stored (numbered from 1)
    std::int32_t rowCapacity = 0;          // rows `rows` has room for
    std::unique_ptr<RowIndex> rowIndex;    // hash of the stored rows (memory tables, DISTINCT)
    MemoryCharge rowCharge;                // `rows` against the memory budget of the statement

    // `name` null: an unnamed reference (the caller sets `unnamed`).
    TableRef(QueryDictionary* owner, const char* tableName, TableRef* aliasTarget);
    TableRef(const TableRef&) = delete;
    TableRef& operator=(const TableRef&) = delete;
    // Destroys the descriptors of `items`, frees `record` and `rows`.
    ~TableRef();

    // Stores `size`; with `allocate` not 0 also replaces `record` by a
    // zero-filled buffer of `size` bytes (none for 0).  0 when that
    // allocation fails (recordSize is then 0 and record null), else 1.
    std::int16_t SetRecordSize(std::uint16_t size, std::uint16_t allocate);
    // Appends `descriptor` to `items` and returns it, now the reference's.
    // Null (and the descriptor destroyed) for a null descriptor, when
    // `items` holds kMaxItems already or when memory runs out.
    ItemDescriptor* AddItem(std::unique_ptr<ItemDescriptor> descriptor) noexcept;
    // Descriptor `index` of `items`, or null beyond the last.
    ItemDescriptor* ItemAt(std::size_t index) const { return index < items.size() ? items[index].get() : nullptr; }
    // The descriptor named `itemName` in this reference's items or, while a
    // reference has no items, in the table it stands for; null when none.
    ItemDescriptor* FindItem(const char* itemName) const;
    // Same, also accepting "T.ITEM" with T the descriptor's table name.
    ItemDescriptor* FindItemQualified(const char* itemName) const;

    // ---- Record cursor and writer (defined with execution, exec/TableCursor.cpp) ----
    // Error codes of WriteRecord.
    static constexpr std::int16_t kWriteOk = 0;
    static constexpr std::int16_t kWriteNoMemory = 1;
    static constexpr std::int16_t kWriteReadWrite = 2;
    static constexpr std::int16_t kWriteDuplicate = 3;
    // ReadFrom's answer once the statement was asked to stop (base/Interrupt.h).
    static constexpr std::int32_t kReadInterrupted = -1000;

    bool IsMemoryTable() const { return unnamed != 0 || view != 0; }
    // Reads record (or row) `n` into `record`, skipping numbers without a
    // live record: the number read, 0 at the end, minus the host status, or
    // kReadInterrupted.  A correlation name of a view reads the view's rows.
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
    // A memory table keeps `count` of its rows from row `skip` + 1 on (LIMIT, OFFSET).
    void KeepRows(std::int32_t skip, std::int32_t count);
    // Frees the rows of a memory table and their hash: the table is empty.
    void ReleaseRows();

private:
    std::int16_t WriteMemoryRow(std::int32_t n);
    std::int16_t WriteFileRecord(std::int32_t n);
    void WriteMemos();
    void SetWriteError(int number, const char* text) {
        errorText.Set(text);
        errorNumber = number;
    }
    ItemDescriptor* Search(const char* itemName, std::int32_t qualified) const;
};

// The first reference of `tables` whose name equals `name` byte for byte
// (a null name reads as ""), or null.
TableRef* FindTable(const std::vector<std::unique_ptr<TableRef>>& tables, const char* name);
// The descriptor of `itemName` among the tables of a SELECT.  "Q.N" is item
// N of the first table named Q; a plain name is searched from the last table
// to the first and the first hit wins.
ItemDescriptor* FindItemInTables(const std::vector<TableRef*>& tables, const char* itemName);

}  // namespace qx
