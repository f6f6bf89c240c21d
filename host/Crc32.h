// Crc32: the checksum that guards journal entries and memo blocks.
//
// Plain CRC-32 (the reflected 0xEDB88320 polynomial, as zlib computes it),
// table driven.  It only has to tell a whole entry from a torn one, so speed
// on large buffers is not a concern; the journal holds one record at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qxhost {

// CRC of `size` bytes at `data`, continuing from `crc` (0 to start).
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace qxhost
