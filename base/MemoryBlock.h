// Memory blocks: zero-filled blocks of the block heap, the engine's one
// source of raw memory (request records, list arrays, record buffers, rows).
//
// Every failure is reported through the message service (a numbered
// message, shown when message display is on) and gives null or 0:
//   1002 FreeBlock of a null address      1067 no memory
//   1081 AllocBlock above 65520 bytes     1417 address not a block of ours
//   1004 release failed                   1418 block still locked
// A block is "locked" for its whole life: the address is the handle.
#pragma once

#include <cstdint>

namespace qx {

// Largest AllocBlock/ReallocBlock size.
constexpr std::uint32_t kMaxBlockSize = 65520;

// Sizes below 16 become 16; above 65520: message 1081, null.
void* AllocBlock(std::uint32_t size);
// Any size, no minimum.
void* AllocLargeBlock(std::uint32_t size);
// Resizes to newSize + 4 bytes (new bytes zero).  Null on failure: the old
// block stays with the caller.
void* ReallocBlock(void* block, std::uint32_t newSize);
void* ReallocLargeBlock(void* block, std::uint32_t newSize);
// 1 when released, 0 (with a message) for null, foreign or freed addresses.
std::int16_t FreeBlock(void* block);
// A block handed over by handle (a memo handle is the block's address).
void* LockBlockHandle(std::uintptr_t handle);
std::int16_t UnlockBlockHandle(std::uintptr_t handle);

// Notes one refused allocation (the block functions note their own) on the
// budget of the statement being compiled or run: a stage that carried on
// without the memory it asked for must not report success.
void NoteAllocationFailure();

}  // namespace qx
