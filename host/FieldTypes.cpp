// FieldTypes: field type sizes and the order-preserving key encoding (see FieldTypes.h).
#include "host/FieldTypes.h"

#include <cstring>

namespace qxhost::FieldTypes {
namespace {

bool IsRaw(std::uint16_t type) { return type == 0 || type == 8 || type == 11 || type == 16 || type == 17; }

// Appends `width` bytes of the little-endian integer at `p` big-endian, sign bit flipped when signed.
void AppendInteger(const unsigned char* p, int width, bool isSigned, std::string& key) {
    for (int i = width - 1; i >= 0; --i) {
        unsigned char b = p[i];
        if (isSigned && i == width - 1) b ^= 0x80;
        key.push_back(static_cast<char>(b));
    }
}

template <typename Bits, typename Real>
void AppendReal(const unsigned char* p, std::string& key) {
    Real value;
    std::memcpy(&value, p, sizeof value);
    if (value == 0) value = 0;  // -0 and +0 are one key
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    constexpr Bits sign = Bits(1) << (sizeof(Bits) * 8 - 1);
    bits = (bits & sign) ? ~bits : (bits | sign);
    for (int i = static_cast<int>(sizeof bits) - 1; i >= 0; --i)
        key.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

// Text of `length` bytes, cut at its first NUL and trailing spaces, padded with NUL to `width`.
void AppendText(const unsigned char* p, std::uint16_t length, std::uint16_t width, std::string& key) {
    std::uint16_t n = 0;
    while (n < length && p[n] != 0) ++n;
    while (n > 0 && p[n - 1] == ' ') --n;
    key.append(reinterpret_cast<const char*>(p), n);
    key.append(width - n, '\0');
}

}  // namespace

bool IsKnown(std::uint16_t type) {
    if (IsRaw(type)) return true;
    switch (type) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 9: case 10:
        case 12: case 13: case 14: case 15: case 22: case 98: case 99:
            return true;
        default:
            return false;
    }
}

std::uint16_t FixedSize(std::uint16_t type) {
    switch (type) {
        case 1: case 2: return 1;
        case 3: case 4: return 2;
        case 5: case 6: case 7: return 4;
        case 9: return 8;
        case 10: return 10;
        case 12: case 22: case 99: return 4;
        default: return 0;
    }
}

bool SizeAllowed(std::uint16_t type, std::uint32_t size, std::string& why) {
    if (std::uint16_t fixed = FixedSize(type)) {
        if (size == fixed) return true;
        why = "type " + std::to_string(type) + " has size " + std::to_string(fixed);
        return false;
    }
    if (type == kDate) {
        if (size == 9 || size == 7) return true;
        why = "a date (98) has size 9 (YYYYMMDD) or 7 (YYMMDD)";
        return false;
    }
    std::uint32_t least = (type == 14 || type == 15) ? 2 : 1;
    if (size >= least && size < kMaxRecordSize) return true;
    why = "type " + std::to_string(type) + " needs a size from " + std::to_string(least) + " to " +
          std::to_string(kMaxRecordSize - 1);
    return false;
}

bool IsMemo(std::uint16_t type) { return type == kTextMemo || type == kBinaryMemo; }

bool IsKeyable(std::uint16_t type) { return IsKnown(type) && !IsMemo(type); }

std::uint16_t KeyWidth(std::uint16_t type, std::uint16_t size) {
    switch (type) {
        case 14: case 15: case kDate: return static_cast<std::uint16_t>(size - 1);
        default: return size;
    }
}

void AppendKey(std::uint16_t type, std::uint16_t size, const unsigned char* field, std::string& key) {
    switch (type) {
        case 1: AppendInteger(field, 1, true, key); break;
        case 2: AppendInteger(field, 1, false, key); break;
        case 3: AppendInteger(field, 2, true, key); break;
        case 4: AppendInteger(field, 2, false, key); break;
        case 5: AppendInteger(field, 4, true, key); break;
        case 6: AppendInteger(field, 4, false, key); break;
        case 7: AppendReal<std::uint32_t, float>(field, key); break;
        case 9: AppendReal<std::uint64_t, double>(field, key); break;
        case 10: AppendInteger(field, 10, true, key); break;
        case 13: AppendText(field, size, size, key); break;
        case 14: {
            std::uint16_t capacity = static_cast<std::uint16_t>(size - 1);
            std::uint16_t length = field[0] < capacity ? field[0] : capacity;
            AppendText(field + 1, length, capacity, key);
            break;
        }
        case 15: AppendText(field, static_cast<std::uint16_t>(size - 1), static_cast<std::uint16_t>(size - 1), key); break;
        case kDate: key.append(reinterpret_cast<const char*>(field), size - 1); break;
        default: key.append(reinterpret_cast<const char*>(field), size); break;  // raw bytes, time
    }
}

}  // namespace qxhost::FieldTypes
