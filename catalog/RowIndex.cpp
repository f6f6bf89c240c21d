#include "catalog/RowIndex.h"

#include <cstring>
#include <new>

namespace qx {
namespace {

// Bytes of one entry: the hash node, its share of the bucket array and the
// allocator's own header.
constexpr std::uint64_t kEntryBytes = 48;

}  // namespace

std::uint64_t RowIndex::Hash(const unsigned char* bytes) const {
    std::uint64_t h = 1469598103934665603ULL;
    std::size_t i = 0;
    for (; i + 8 <= rowSize_; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = (h ^ word) * 1099511628211ULL;
        h ^= h >> 32;
    }
    for (; i < rowSize_; ++i) h = (h ^ bytes[i]) * 1099511628211ULL;
    return h;
}

bool RowIndex::Add(const unsigned char* bytes, std::int32_t row) {
    if (!charge_.Add(kEntryBytes)) return false;
    try {
        rows_.emplace(Hash(bytes), row);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool RowIndex::Contains(const unsigned char* bytes, const unsigned char* rows) const {
    auto range = rows_.equal_range(Hash(bytes));
    for (auto it = range.first; it != range.second; ++it) {
        const unsigned char* stored = rows + static_cast<std::size_t>(it->second - 1) * rowSize_;
        if (std::memcmp(stored, bytes, rowSize_) == 0) return true;
    }
    return false;
}

}  // namespace qx
