// BlockHeap: the process heap that stands in for the Windows global heap.
//
// Every block is zero-filled and carries a header (magic, size) in front of
// the address handed out.  A table of live blocks lets FreeBlock and
// ReallocBlock recognise an address that is foreign or already freed without
// ever reading memory that is not ours.  Tests can make the N-th allocation
// fail to exercise every out-of-memory path.  Single-threaded, like the engine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx::platform {

// A zero-filled block of `size` bytes, or null (heap exhausted or injected failure).
void* HeapAllocate(std::size_t size);
// Resizes a live block; new bytes are zero.  Null on failure: the old block stays valid.
void* HeapReallocate(void* block, std::size_t newSize);
// Releases a live block; false for a null, foreign or already freed address.
bool HeapRelease(void* block);
// True when `block` is the address of a live block of this heap.
bool HeapOwns(const void* block);
// Usable size of a live block (0 when not ours).
std::size_t HeapBlockSize(const void* block);

// Failure injection: allocation number `n` counted from this call (1 = the next
// one) and only that one fails; 0 turns injection off.
void HeapFailAt(std::uint64_t n);
// True when an injected failure has happened since the last HeapFailAt.
bool HeapInjectedFailureHappened();
// For a test's own global operator new: counts one allocation made outside
// the heap (std containers) against the armed failure and tells whether it
// is the one that must fail.  The heap's own bookkeeping is never counted.
bool HeapTakeForeignAllocation();
// Number of live blocks (leak checks in tests).
std::size_t HeapLiveBlocks();
// Bytes of physical memory of the machine; 0 when unknown.
std::uint64_t PhysicalMemoryBytes();

}  // namespace qx::platform
