// KeyHash: a multimap from byte-string keys (the equality keys of
// values/Transfor.h) to 32-bit payloads, for the hashed shortcuts of
// execution: the equality join of two tables and the equality lookup in the
// rows of a nested SELECT or a value list.
//
// Keys are added first, then Seal builds the table; a lookup visits the
// payloads of one key in the order they were added, so a caller that adds
// record numbers in record order gets them back in record order.  Storage
// grows with std containers: Add and Seal throw std::bad_alloc when memory
// runs out, and the caller turns that into its own failure.  The arrays are
// charged to the statement's memory budget before they grow; a refused
// charge throws std::bad_alloc too.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemoryBudget.h"

namespace qx {

class KeyHash {
public:
    // Notes `payload` under `key` (before Seal).
    void Add(std::string_view key, std::uint32_t payload);
    // Builds the table; no Add after it.
    void Seal();
    std::size_t Size() const { return payloads_.size(); }

    // Calls visit(payload) for every payload of `key`, in the order added.
    template <typename Visit>
    void ForEach(std::string_view key, Visit visit) const {
        if (slots_.empty()) return;
        std::uint64_t h = HashOf(key);
        std::uint64_t bits = FilterBits(h);
        if ((filter_[(h >> 32) & filterMask_] & bits) != bits) return;
        std::uint32_t tag = TagOf(h, key);
        std::uint64_t word = NumberWord(key);
        for (std::uint64_t i = h & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.first < 0) return;
            if (slot.tag != tag || ((tag & 1) != 0 ? slot.word != word : KeyAt(slot.first) != key)) continue;
            visit(slot.payload);
            for (std::int32_t e = slot.more; e >= 0; e = next_[e]) visit(payloads_[e]);
            return;
        }
    }
    // Number of payloads of `key`.
    std::size_t Count(std::string_view key) const {
        std::size_t n = 0;
        ForEach(key, [&n](std::uint32_t) { ++n; });
        return n;
    }

private:
    // One distinct key with its first payload.  A number's key (a tag byte
    // and eight bytes) is compared in the slot, other keys in the arena.
    struct Slot {
        std::uint64_t word = 0;     // the eight bytes of a number's key
        std::uint32_t tag = 0;      // TagOf the key
        std::int32_t first = -1;    // first entry of the key; -1: an empty slot
        std::uint32_t payload = 0;  // payload of that entry
        std::int32_t more = -1;     // its next entry of the same key (then next_), or -1
    };

    // The high half of the hash, its lowest bit set for a number's key.
    static std::uint32_t TagOf(std::uint64_t h, std::string_view key) {
        return (static_cast<std::uint32_t>(h >> 32) & ~1u) | (IsNumberKey(key) ? 1u : 0u);
    }
    static bool IsNumberKey(std::string_view key) { return key.size() == 9 && key[0] == 'N'; }
    static std::uint64_t NumberWord(std::string_view key) {
        std::uint64_t word = 0;
        if (IsNumberKey(key)) std::memcpy(&word, key.data() + 1, 8);
        return word;
    }

    static std::uint64_t HashOf(std::string_view key);
    // Room for one more key of `keyBytes` bytes, charged before the arrays grow.
    void Reserve(std::size_t keyBytes);
    std::string_view KeyAt(std::int32_t i) const {
        return std::string_view(arena_).substr(offsets_[i], offsets_[i + 1] - offsets_[i]);
    }

    std::string arena_;                      // every key's bytes, one after the other
    std::vector<std::uint32_t> offsets_{0};  // key i is arena_[offsets_[i], offsets_[i + 1])
    std::vector<std::uint64_t> hashes_;      // hash of key i, until Seal
    std::vector<std::uint32_t> payloads_;    // payload of key i
    std::vector<Slot> slots_;                // the distinct keys, open addressing, at most half full
    std::vector<std::int32_t> next_;         // next entry of the same key, in the order added
    std::uint64_t mask_ = 0;
    // Two bits of one word per key (about eight bits a key), set for every
    // key: most absent keys are told by one word, in a table small enough to
    // stay in cache.
    static std::uint64_t FilterBits(std::uint64_t h) {
        return (std::uint64_t{1} << ((h >> 20) & 63)) | (std::uint64_t{1} << ((h >> 26) & 63));
    }
    std::vector<std::uint64_t> filter_;
    std::uint64_t filterMask_ = 0;  // words - 1
    MemoryCharge charge_;           // the arrays
};

}  // namespace qx
