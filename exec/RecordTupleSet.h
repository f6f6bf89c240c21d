// RecordTupleSet: a set of record-number tuples, one column per table and
// one row per qualifying combination of records.
//
// Each column has a table name and a memory block of 32-bit record numbers
// indexed by row, owned by the set.  Rows in use are 1 .. rowEnd - 1 (row 0
// is never used).
//
// ContainsNumbers answers exactly what a scan of every row would, through a
// hash index built on first use and kept up to date by later appends, so
// duplicate elimination over large sets stays linear.
//
// The column blocks and the index are charged to the statement's memory
// budget before they grow; once the budget is exceeded no row is appended.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/MemoryBudget.h"

namespace qx {

class RecordTupleSet {
public:
    static constexpr std::int32_t kGrowRows = 1024;

    RecordTupleSet() = default;
    ~RecordTupleSet();
    RecordTupleSet(const RecordTupleSet&) = delete;
    RecordTupleSet& operator=(const RecordTupleSet&) = delete;
    // A copy with the same columns (names in order) and rows; null when memory runs out.
    static std::unique_ptr<RecordTupleSet> Copy(const RecordTupleSet& other);

    // Appends a column; 1 on success, 0 when memory runs out.
    std::int16_t AddColumn(const char* tableName);
    // Room for rows up to `rowEnd` without growing again; 1 / 0 (memory).
    std::int16_t Reserve(std::int32_t rowEnd) { return capacity >= rowEnd ? 1 : Grow(rowEnd); }
    // Appends a row whose first `count` columns take `numbers[i]`; 1 / 0 (memory).
    std::int16_t AppendTuple(const std::uint32_t* numbers, int count);
    // 1 when some row equals `numbers` (one per column, in column order).
    std::int16_t ContainsNumbers(const std::uint32_t* numbers);

    int ColumnCount() const { return static_cast<int>(blocks_.size()); }
    // Index of the column named `tableName`, or -1.
    int ColumnIndex(const char* tableName) const;
    const char* ColumnName(int index) const;
    // Record number at (row, column index), no checks beyond the column index.
    std::uint32_t At(std::int32_t row, int column) const { return blocks_[column][row]; }
    std::int32_t Rows() const { return rowEnd > 0 ? rowEnd - 1 : 0; }

    std::int32_t rowEnd = 0;    // 0 without columns, then 1 + the number of rows
    std::int32_t capacity = 0;  // rows every column block has room for

private:
    std::uint64_t HashRow(const std::uint32_t* numbers) const;
    std::uint64_t HashStored(std::int32_t row) const;  // same hash, from the stored row
    bool RowEquals(std::int32_t row, const std::uint32_t* numbers) const;
    bool IndexRow(std::int32_t row);  // false when the index had to be dropped
    std::int16_t Grow(std::int32_t atLeast = 0);  // room for at least `atLeast` rows
    // Charges the budget for blocks of `rows` rows and an index of `indexed` entries.
    bool Account(std::int64_t rows, std::size_t indexed, int columns);

    std::vector<std::string> names_;      // the columns' table names
    std::vector<std::uint32_t*> blocks_;  // the columns' memory blocks, in column order
    bool indexed_ = false;                // hash index built
    std::unordered_multimap<std::uint64_t, std::int32_t> index_;  // row hash -> row
    MemoryCharge charge_;                 // the blocks and the index
};

}  // namespace qx
