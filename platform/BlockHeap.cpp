#include "platform/BlockHeap.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>

namespace qx::platform {
namespace {

constexpr std::uint64_t kMagic = 0x51584845415042ULL;  // "QXHEAPB"

struct alignas(16) Header {
    std::uint64_t magic;
    std::size_t size;
};

struct HeapState {
    std::unordered_set<const void*> live;
    std::uint64_t failCountdown = 0;  // 0: no injection armed
    bool injectedFailure = false;
    bool bookkeeping = false;         // inside the live-block table's own allocations
};

HeapState& State() {
    static HeapState* state = new HeapState;  // never destroyed: usable during exit
    return *state;
}

bool InjectFailure() {
    HeapState& s = State();
    if (s.failCountdown == 0) return false;
    if (--s.failCountdown == 0) {
        s.injectedFailure = true;
        return true;
    }
    return false;
}

Header* HeaderOf(const void* block) {
    return reinterpret_cast<Header*>(const_cast<char*>(static_cast<const char*>(block)) - sizeof(Header));
}

bool Remember(const void* block) {
    HeapState& s = State();
    s.bookkeeping = true;
    bool ok = true;
    try {
        s.live.insert(block);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    s.bookkeeping = false;
    return ok;
}

}  // namespace

void* HeapAllocate(std::size_t size) {
    if (InjectFailure()) return nullptr;
    if (size > SIZE_MAX - sizeof(Header)) return nullptr;
    void* raw = std::calloc(1, sizeof(Header) + size);
    if (raw == nullptr) return nullptr;
    auto* header = static_cast<Header*>(raw);
    header->magic = kMagic;
    header->size = size;
    void* block = header + 1;
    if (!Remember(block)) {
        std::free(raw);
        return nullptr;
    }
    return block;
}

void* HeapReallocate(void* block, std::size_t newSize) {
    if (!HeapOwns(block)) return nullptr;
    if (InjectFailure()) return nullptr;
    if (newSize > SIZE_MAX - sizeof(Header)) return nullptr;
    // The block's entry is taken out of the live table and put back under
    // its new address: no allocation, so the table cannot fail once the
    // block has moved.
    HeapState& s = State();
    auto entry = s.live.extract(block);
    Header* header = HeaderOf(block);
    std::size_t oldSize = header->size;
    void* raw = std::realloc(header, sizeof(Header) + newSize);
    if (raw == nullptr) {
        s.live.insert(std::move(entry));
        return nullptr;
    }
    header = static_cast<Header*>(raw);
    header->size = newSize;
    void* moved = header + 1;
    if (newSize > oldSize) std::memset(static_cast<char*>(moved) + oldSize, 0, newSize - oldSize);
    entry.value() = moved;
    s.live.insert(std::move(entry));
    return moved;
}

bool HeapRelease(void* block) {
    if (!HeapOwns(block)) return false;
    State().live.erase(block);
    Header* header = HeaderOf(block);
    header->magic = 0;
    std::free(header);
    return true;
}

bool HeapOwns(const void* block) {
    if (block == nullptr) return false;
    HeapState& s = State();
    if (s.live.find(block) == s.live.end()) return false;
    return HeaderOf(block)->magic == kMagic;
}

std::size_t HeapBlockSize(const void* block) {
    return HeapOwns(block) ? HeaderOf(block)->size : 0;
}

void HeapFailAt(std::uint64_t n) {
    State().failCountdown = n;
    State().injectedFailure = false;
}

bool HeapInjectedFailureHappened() { return State().injectedFailure; }

bool HeapTakeForeignAllocation() {
    if (State().bookkeeping) return false;
    return InjectFailure();
}

std::size_t HeapLiveBlocks() { return State().live.size(); }

std::uint64_t PhysicalMemoryBytes() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

}  // namespace qx::platform
