// KeyHash: a multimap from byte-string keys (the equality keys of
// values/Transfor.h) to 32-bit payloads, for the hashed shortcuts of
// execution: the equality join of two tables and the equality lookup in the
// rows of a nested SELECT or a value list.
//
// Keys are added first, then Seal builds the chains; a lookup visits the
// payloads of one key in the order they were added, so a caller that adds
// record numbers in record order gets them back in record order.  Storage
// grows with std containers: Add and Seal throw std::bad_alloc when memory
// runs out, and the caller turns that into its own failure.  The arrays are
// charged to the statement's memory budget before they grow; a refused
// charge throws std::bad_alloc too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemoryBudget.h"

namespace qx {

class KeyHash {
public:
    // Notes `payload` under `key` (before Seal).
    void Add(std::string_view key, std::uint32_t payload);
    // Builds the chains; no Add after it.
    void Seal();
    std::size_t Size() const { return payloads_.size(); }

    // Calls visit(payload) for every payload of `key`, in the order added.
    template <typename Visit>
    void ForEach(std::string_view key, Visit visit) const {
        if (heads_.empty()) return;
        std::uint64_t h = HashOf(key);
        for (std::int32_t i = heads_[h & mask_]; i >= 0; i = next_[i])
            if (hashes_[i] == h && KeyAt(i) == key) visit(payloads_[i]);
    }
    // Number of payloads of `key`.
    std::size_t Count(std::string_view key) const {
        std::size_t n = 0;
        ForEach(key, [&n](std::uint32_t) { ++n; });
        return n;
    }

private:
    static std::uint64_t HashOf(std::string_view key);
    // Room for one more key of `keyBytes` bytes, charged before the arrays grow.
    void Reserve(std::size_t keyBytes);
    std::string_view KeyAt(std::int32_t i) const {
        return std::string_view(arena_).substr(offsets_[i], offsets_[i + 1] - offsets_[i]);
    }

    std::string arena_;                   // every key's bytes, one after the other
    std::vector<std::uint32_t> offsets_{0};  // key i is arena_[offsets_[i], offsets_[i + 1])
    std::vector<std::uint64_t> hashes_;   // hash of key i
    std::vector<std::uint32_t> payloads_;  // payload of key i
    std::vector<std::int32_t> heads_;     // first entry of each bucket, -1 for none
    std::vector<std::int32_t> next_;      // next entry of the same bucket, in the order added
    std::uint64_t mask_ = 0;
    MemoryCharge charge_;                 // the arrays
};

}  // namespace qx
