#include "exec/RecordTupleSet.h"

#include <cstring>
#include <new>

#include "base/MemoryBlock.h"
#include "parser/SyntaxNode.h"

namespace qx {
namespace {

// Bytes of one index entry: the hash node, its share of the bucket array and
// the allocator's own header.
constexpr std::uint64_t kIndexEntryBytes = 48;

}  // namespace

RecordTupleSet::RecordTupleSet() : columns(SyntaxNode::Make("", 0, 0)), rowEnd(0), capacity(0) {}

RecordTupleSet::~RecordTupleSet() {
    for (std::uint32_t* block : blocks_) FreeBlock(block);
    delete columns;
}

RecordTupleSet* RecordTupleSet::Copy(const RecordTupleSet& other) {
    auto* copy = new RecordTupleSet();
    if (copy == nullptr) return nullptr;
    if (copy->columns == nullptr) {
        delete copy;
        return nullptr;
    }
    for (int c = 0; c < other.ColumnCount(); ++c) {
        if (!copy->AddColumn(other.ColumnName(c))) {
            delete copy;
            return nullptr;
        }
    }
    while (copy->capacity < other.rowEnd) {
        if (!copy->Grow(other.rowEnd)) {
            delete copy;
            return nullptr;
        }
    }
    for (int c = 0; c < other.ColumnCount(); ++c)
        std::memcpy(copy->blocks_[c], other.blocks_[c], sizeof(std::uint32_t) * other.rowEnd);
    if (other.ColumnCount() > 0) copy->rowEnd = other.rowEnd;
    return copy;
}

std::int16_t RecordTupleSet::AddColumn(const char* tableName) {
    if (columns == nullptr) return 0;
    std::int32_t rows = capacity > 0 ? capacity : kGrowRows;
    // The index is dropped below: only the blocks stay charged.
    if (!Account(rows, 0, ColumnCount() + 1)) return 0;
    auto* block = static_cast<std::uint32_t*>(AllocLargeBlock(sizeof(std::uint32_t) * rows));
    if (block == nullptr) {
        Account(capacity, index_.size(), ColumnCount());
        return 0;
    }
    SyntaxNode* node = SyntaxNode::Make(tableName, 0, 1);
    if (node == nullptr) {
        FreeBlock(block);
        return 0;
    }
    try {
        blocks_.push_back(block);
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        FreeBlock(block);
        delete node;
        return 0;
    }
    node->value = block;
    (lastColumn_ != nullptr ? lastColumn_ : columns)->LinkSibling(node, true);
    lastColumn_ = node;
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
    // Keep the column nodes pointing at their (possibly moved) blocks.
    std::size_t c = 0;
    for (SyntaxNode* n = columns->next; n != nullptr; n = n->next) n->value = blocks_[c++];
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

SyntaxNode* RecordTupleSet::GetTuple(std::int32_t row) const {
    if (row < 1 || row >= rowEnd) return nullptr;
    SyntaxNode* first = nullptr;
    SyntaxNode* last = nullptr;
    int c = 0;
    for (SyntaxNode* column = columns->next; column != nullptr; column = column->next, ++c) {
        SyntaxNode* node = SyntaxNode::Make(column->text, static_cast<std::int32_t>(blocks_[c][row]), 0);
        if (node == nullptr) {
            delete first;
            return nullptr;
        }
        if (first == nullptr) first = node;
        else last->LinkSibling(node, true);
        last = node;
    }
    return first;
}

SyntaxNode* RecordTupleSet::ReorderTuple(const SyntaxNode* tuple) const {
    SyntaxNode* first = nullptr;
    SyntaxNode* last = nullptr;
    for (SyntaxNode* column = columns->next; column != nullptr; column = column->next) {
        std::int32_t number = 0;
        for (const SyntaxNode* n = tuple; n != nullptr; n = n->next) {
            if (std::strcmp(n->text, column->text) == 0) {
                number = n->kind;
                break;
            }
        }
        SyntaxNode* node = SyntaxNode::Make(column->text, number, 0);
        if (node == nullptr) {
            delete first;
            return nullptr;
        }
        if (first == nullptr) first = node;
        else last->LinkSibling(node, true);
        last = node;
    }
    return first;
}

namespace {

// Numbers of a tuple chain in chain order, at most `limit` of them.
int TupleNumbers(const SyntaxNode* tuple, std::vector<std::uint32_t>& out, int limit) {
    out.clear();
    for (const SyntaxNode* n = tuple; n != nullptr && static_cast<int>(out.size()) < limit; n = n->next)
        out.push_back(static_cast<std::uint32_t>(n->kind));
    return static_cast<int>(out.size());
}

}  // namespace

std::int16_t RecordTupleSet::AppendTupleNodes(const SyntaxNode* tuple, int inOrder) {
    SyntaxNode* ordered = nullptr;
    if (inOrder == 0) {
        ordered = ReorderTuple(tuple);
        if (ordered == nullptr && ColumnCount() > 0) return 0;
        tuple = ordered;
    }
    std::vector<std::uint32_t> numbers;
    int count = TupleNumbers(tuple, numbers, ColumnCount());
    std::int16_t ok = AppendTuple(numbers.data(), count);
    delete ordered;
    return ok;
}

std::int16_t RecordTupleSet::ContainsTuple(const SyntaxNode* tuple, int inOrder) {
    SyntaxNode* ordered = nullptr;
    if (inOrder == 0) {
        ordered = ReorderTuple(tuple);
        tuple = ordered;
    }
    std::vector<std::uint32_t> numbers(static_cast<std::size_t>(ColumnCount()), 0);
    std::vector<std::uint32_t> given;
    int count = TupleNumbers(tuple, given, ColumnCount());
    for (int i = 0; i < count; ++i) numbers[i] = given[i];
    delete ordered;
    // A tuple shorter than the set compares only its own columns.
    if (count < ColumnCount()) {
        for (std::int32_t row = 1; row < rowEnd; ++row) {
            bool equal = true;
            for (int c = 0; c < count && equal; ++c) equal = blocks_[c][row] == numbers[c];
            if (equal) return 1;
        }
        return 0;
    }
    return ContainsNumbers(numbers.data());
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

std::int64_t RecordTupleSet::RecordNumber(std::int32_t row, const char* tableName) const {
    int c = ColumnIndex(tableName);
    if (c < 0 || row < 0 || row >= capacity) return -1;
    return blocks_[c][row];
}

int RecordTupleSet::ColumnIndex(const char* tableName) const {
    if (columns == nullptr || tableName == nullptr) return -1;
    int c = 0;
    for (const SyntaxNode* column = columns->next; column != nullptr; column = column->next, ++c)
        if (std::strcmp(column->text, tableName) == 0) return c;
    return -1;
}

const char* RecordTupleSet::ColumnName(int index) const {
    int c = 0;
    for (const SyntaxNode* column = columns != nullptr ? columns->next : nullptr; column != nullptr;
         column = column->next, ++c)
        if (c == index) return column->text;
    return nullptr;
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
