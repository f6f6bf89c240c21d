// RowIndex: a hash of the rows of a memory table, so that "is this row
// already stored?" (DISTINCT) costs one probe instead of a scan of every
// row.  It answers exactly what the scan would: candidates with the same
// hash are compared byte for byte.  The table rebuilds it on first use and
// keeps it up to date as rows are appended; any other change to the rows
// (a rewrite, a sort) makes the table drop it.  Its entries are charged to
// the statement's memory budget.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "base/MemoryBudget.h"

namespace qx {

class RowIndex {
public:
    explicit RowIndex(std::uint16_t rowSize) : rowSize_(rowSize) {}

    // Notes stored row `row` (from 1) whose bytes are at `bytes`.  False when
    // memory runs out or the budget refuses the entry.
    bool Add(const unsigned char* bytes, std::int32_t row);
    // True when some noted row of `rows` (rowSize bytes each, row 1 first) equals `bytes`.
    bool Contains(const unsigned char* bytes, const unsigned char* rows) const;

private:
    std::uint64_t Hash(const unsigned char* bytes) const;

    std::uint16_t rowSize_;
    std::unordered_multimap<std::uint64_t, std::int32_t> rows_;  // hash -> row number
    MemoryCharge charge_;                                        // the entries
};

}  // namespace qx
