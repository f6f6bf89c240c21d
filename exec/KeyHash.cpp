// KeyHash: the entries in arrays (no node per entry), the distinct keys in
// an open-addressing table built once all keys are in.
#include "exec/KeyHash.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qx {
namespace {

// Bytes of one entry's offset, hash and payload.
constexpr std::size_t kEntryBytes = sizeof(std::uint32_t) + sizeof(std::uint64_t) + sizeof(std::uint32_t);

}  // namespace

std::uint64_t KeyHash::HashOf(std::string_view key) {
    // FNV-1a over 8-byte words, then a final mix so that the low bits (the
    // bucket) depend on every byte.
    std::uint64_t h = 1469598103934665603ULL ^ key.size();
    std::size_t i = 0;
    for (; i + 8 <= key.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, key.data() + i, 8);
        h = (h ^ word) * 1099511628211ULL;
    }
    for (; i < key.size(); ++i) h = (h ^ static_cast<unsigned char>(key[i])) * 1099511628211ULL;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return h;
}

void KeyHash::Add(std::string_view key, std::uint32_t payload) {
    if (arena_.size() + key.size() > UINT32_MAX) throw std::bad_alloc();
    Reserve(key.size());
    arena_.append(key);
    offsets_.push_back(static_cast<std::uint32_t>(arena_.size()));
    hashes_.push_back(HashOf(key));
    payloads_.push_back(payload);
}

void KeyHash::Reserve(std::size_t keyBytes) {
    std::size_t entries = payloads_.capacity();
    std::size_t arena = arena_.capacity();
    bool entriesFull = payloads_.size() == entries;
    bool arenaFull = arena_.size() + keyBytes > arena;
    if (!entriesFull && !arenaFull) return;
    // Doubling, as the containers would, but charged first.
    if (entriesFull) entries = entries < 16 ? 16 : 2 * entries;
    if (arenaFull) arena = std::max(2 * arena, arena_.size() + keyBytes);
    if (!charge_.Hold(entries * kEntryBytes + arena)) throw std::bad_alloc();
    arena_.reserve(arena);
    offsets_.reserve(entries + 1);
    hashes_.reserve(entries);
    payloads_.reserve(entries);
}

void KeyHash::Seal() {
    std::size_t n = payloads_.size();
    if (n > static_cast<std::size_t>(INT32_MAX)) throw std::bad_alloc();
    std::size_t size = 16;
    while (size < 2 * n) size *= 2;
    std::size_t bits = 64;
    while (bits < 8 * n) bits *= 2;
    // The slots, the chains and the filter, charged before they are made.
    if (!charge_.Add(size * sizeof(Slot) + n * sizeof(std::int32_t) + bits / 8)) throw std::bad_alloc();
    slots_.assign(size, Slot{});
    next_.assign(n, -1);
    mask_ = size - 1;
    filter_.assign(bits / 64, 0);
    filterMask_ = bits / 64 - 1;
    // Entries go in from the last to the first, each at the head of its
    // key's list, so that every list is in the order added.
    for (std::size_t k = n; k-- > 0;) {
        std::uint64_t h = hashes_[k];
        filter_[(h >> 32) & filterMask_] |= FilterBits(h);
        std::string_view key = KeyAt(static_cast<std::int32_t>(k));
        std::uint32_t tag = TagOf(h, key);
        std::uint64_t i = h & mask_;
        while (slots_[i].first >= 0 && !(slots_[i].tag == tag && KeyAt(slots_[i].first) == key)) i = (i + 1) & mask_;
        Slot& slot = slots_[i];
        auto entry = static_cast<std::int32_t>(k);
        if (slot.first >= 0) {
            next_[slot.first] = slot.more;
            slot.more = slot.first;
        }
        slot.tag = tag;
        slot.word = NumberWord(key);
        slot.first = entry;
        slot.payload = payloads_[k];
    }
    std::vector<std::uint64_t>().swap(hashes_);
}

}  // namespace qx
