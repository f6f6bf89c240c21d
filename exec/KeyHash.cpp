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
    while (bits < 16 * n) bits *= 2;
    // The slots, the chains, the filter and the walk's last entry per slot.
    if (!charge_.Add(size * (sizeof(Slot) + sizeof(std::int32_t)) + n * sizeof(std::int32_t) + bits / 8))
        throw std::bad_alloc();
    slots_.assign(size, Slot{});
    next_.assign(n, -1);
    mask_ = size - 1;
    filter_.assign(bits / 64, 0);
    filterMask_ = bits - 1;
    std::vector<std::int32_t> last(size, -1);  // per slot, the last entry of its key so far
    for (std::size_t k = 0; k < n; ++k) {
        std::uint64_t h = hashes_[k];
        std::uint64_t bit = (h >> 32) & filterMask_;
        filter_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
        std::string_view key = KeyAt(static_cast<std::int32_t>(k));
        std::uint8_t length = LengthCode(key);
        std::uint64_t i = h & mask_;
        while (slots_[i].first >= 0 && !(slots_[i].hash == h && slots_[i].length == length && SameKey(slots_[i], key)))
            i = (i + 1) & mask_;
        Slot& slot = slots_[i];
        auto entry = static_cast<std::int32_t>(k);
        if (slot.first < 0) {
            slot.hash = h;
            slot.first = entry;
            slot.payload = payloads_[k];
            slot.length = length;
            if (key.size() <= kInlineKey) std::memcpy(slot.bytes, key.data(), key.size());
        } else if (slot.more < 0) {
            slot.more = entry;
        } else {
            next_[last[i]] = entry;
        }
        if (slot.first != entry) last[i] = entry;
    }
    std::vector<std::uint64_t>().swap(hashes_);
}

}  // namespace qx
