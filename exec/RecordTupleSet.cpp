#include "exec/RecordTupleSet.h"

#include <cstring>
#include <new>

#include "base/MemoryBlock.h"

namespace qx {
namespace {

// Bytes of one index entry: the hash node, its share of the bucket array and
// the allocator's own header.
constexpr std::uint64_t kIndexEntryBytes = 48;

}  // namespace

RecordTupleSet::~RecordTupleSet() {
    for (std::uint32_t* block : blocks_) FreeBlock(block);
}

std::unique_ptr<RecordTupleSet> RecordTupleSet::Copy(const RecordTupleSet& other) {
    auto copy = std::make_unique<RecordTupleSet>();
    for (int c = 0; c < other.ColumnCount(); ++c)
        if (!copy->AddColumn(other.ColumnName(c))) return nullptr;
    while (copy->capacity < other.rowEnd)
        if (!copy->Grow(other.rowEnd)) return nullptr;
    for (int c = 0; c < other.ColumnCount(); ++c)
        std::memcpy(copy->blocks_[c], other.blocks_[c], sizeof(std::uint32_t) * other.rowEnd);
    if (other.ColumnCount() > 0) copy->rowEnd = other.rowEnd;
    return copy;
}

std::int16_t RecordTupleSet::AddColumn(const char* tableName) {
    std::int32_t rows = capacity > 0 ? capacity : kGrowRows;
    // The index is dropped below: only the blocks stay charged.
    if (!Account(rows, 0, ColumnCount() + 1)) return 0;
    auto* block = static_cast<std::uint32_t*>(AllocLargeBlock(sizeof(std::uint32_t) * rows));
    if (block == nullptr) {
        Account(capacity, index_.size(), ColumnCount());
        return 0;
    }
    try {
        names_.reserve(names_.size() + 1);
        blocks_.reserve(blocks_.size() + 1);
        names_.emplace_back(tableName);
        blocks_.push_back(block);
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        FreeBlock(block);
        if (names_.size() > blocks_.size()) names_.pop_back();
        return 0;
    }
    if (rowEnd == 0) rowEnd = 1;
    capacity = rows;
    // A column added to a set that already has rows holds zeros there; the
    // index (keyed on whole rows) no longer matches them.
    indexed_ = false;
    index_.clear();
    return 1;
}

std::int16_t RecordTupleSet::Grow(std::int32_t atLeast) {
    // Geometric growth (never less than one step) keeps appends amortised.
    std::int32_t more = capacity > kGrowRows ? capacity : kGrowRows;
    if (capacity > INT32_MAX / 2) return 0;
    std::int32_t wanted = capacity + more;
    if (wanted < atLeast) wanted = atLeast;
    std::uint64_t bytes = sizeof(std::uint32_t) * static_cast<std::uint64_t>(wanted);
    if (bytes > UINT32_MAX) return 0;  // a block's size is a 32-bit count of bytes
    if (!Account(wanted, index_.size(), ColumnCount())) return 0;
    for (std::size_t c = 0; c < blocks_.size(); ++c) {
        void* block = ReallocLargeBlock(blocks_[c], static_cast<std::uint32_t>(bytes));
        if (block == nullptr) return 0;  // blocks grown so far keep their (larger) size: harmless
        blocks_[c] = static_cast<std::uint32_t*>(block);
    }
    capacity = wanted;
    return 1;
}

std::int16_t RecordTupleSet::AppendTuple(const std::uint32_t* numbers, int count) {
    if (blocks_.empty() || charge_.Refused()) return 0;
    if (rowEnd >= capacity && !Grow()) return 0;
    std::int32_t row = rowEnd;
    int columnsToFill = count < ColumnCount() ? count : ColumnCount();
    for (int c = 0; c < ColumnCount(); ++c) blocks_[c][row] = c < columnsToFill ? numbers[c] : 0;
    ++rowEnd;
    if (indexed_) IndexRow(row);
    return 1;
}

std::int16_t RecordTupleSet::ContainsNumbers(const std::uint32_t* numbers) {
    if (blocks_.empty()) return 0;
    if (!indexed_ && Account(capacity, static_cast<std::size_t>(rowEnd), ColumnCount())) {
        try {
            index_.reserve(static_cast<std::size_t>(rowEnd));
            bool complete = true;
            for (std::int32_t row = 1; row < rowEnd && complete; ++row) complete = IndexRow(row);
            indexed_ = complete;
        } catch (const std::bad_alloc&) {
        }
        if (!indexed_) {
            index_.clear();
            Account(capacity, 0, ColumnCount());
        }
    }
    if (!indexed_) {
        for (std::int32_t row = 1; row < rowEnd; ++row)
            if (RowEquals(row, numbers)) return 1;
        return 0;
    }
    auto range = index_.equal_range(HashRow(numbers));
    for (auto it = range.first; it != range.second; ++it)
        if (RowEquals(it->second, numbers)) return 1;
    return 0;
}

int RecordTupleSet::ColumnIndex(const char* tableName) const {
    if (tableName == nullptr) return -1;
    for (std::size_t c = 0; c < names_.size(); ++c)
        if (names_[c] == tableName) return static_cast<int>(c);
    return -1;
}

const char* RecordTupleSet::ColumnName(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < names_.size() ? names_[static_cast<std::size_t>(index)].c_str()
                                                                           : nullptr;
}

std::uint64_t RecordTupleSet::HashRow(const std::uint32_t* numbers) const {
    std::uint64_t h = 1469598103934665603ULL;
    for (int c = 0; c < ColumnCount(); ++c) {
        h ^= numbers[c];
        h *= 1099511628211ULL;
        h ^= h >> 29;
    }
    return h;
}

bool RecordTupleSet::RowEquals(std::int32_t row, const std::uint32_t* numbers) const {
    for (int c = 0; c < ColumnCount(); ++c)
        if (blocks_[c][row] != numbers[c]) return false;
    return true;
}

std::uint64_t RecordTupleSet::HashStored(std::int32_t row) const {
    std::uint64_t h = 1469598103934665603ULL;
    for (int c = 0; c < ColumnCount(); ++c) {
        h ^= blocks_[c][row];
        h *= 1099511628211ULL;
        h ^= h >> 29;
    }
    return h;
}

bool RecordTupleSet::Account(std::int64_t rows, std::size_t indexed, int columns) {
    return charge_.Hold(static_cast<std::uint64_t>(rows) * sizeof(std::uint32_t) * static_cast<std::uint64_t>(columns) +
                        indexed * kIndexEntryBytes);
}

bool RecordTupleSet::IndexRow(std::int32_t row) {
    try {
        if (!Account(capacity, index_.size() + 1, ColumnCount())) throw std::bad_alloc();
        index_.emplace(HashStored(row), row);
        return true;
    } catch (const std::bad_alloc&) {
        // The set is scanned from now on.
        indexed_ = false;
        index_.clear();
        Account(capacity, 0, ColumnCount());
        return false;
    }
}

}  // namespace qx
