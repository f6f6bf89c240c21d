// Bytes: the fixed-width fields of the file formats, read and written in the
// machine's (little-endian) order without alignment assumptions.
#pragma once

#include <cstdint>
#include <cstring>

namespace qxhost {

inline void PutU32(unsigned char* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline void PutU64(unsigned char* p, std::uint64_t v) { std::memcpy(p, &v, 8); }
inline std::uint32_t GetU32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline std::uint64_t GetU64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

}  // namespace qxhost
