// FixedPoint: conversions between the 10-byte fixed-point field and text or
// doubles.  The 80-bit number is held in an unsigned 128-bit integer masked
// to 80 bits, so negation and overflow are plain unsigned arithmetic.
#include "values/FixedPoint.h"

#include <cstdio>
#include <cstring>

#include "values/Transfor.h"

namespace qx {
namespace {

using Wide = unsigned __int128;

constexpr Wide kMask = (static_cast<Wide>(1) << 80) - 1;
constexpr Wide kSignBit = static_cast<Wide>(1) << 79;
constexpr Wide kMaxPositive = kSignBit - 1;

Wide Load(const void* field) {
    unsigned char bytes[kFixedPointBytes];
    std::memcpy(bytes, field, sizeof bytes);
    Wide value = 0;
    for (int i = kFixedPointBytes - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

void Store(Wide value, void* field) {
    unsigned char bytes[kFixedPointBytes];
    for (int i = 0; i < kFixedPointBytes; ++i) {
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
    std::memcpy(field, bytes, sizeof bytes);
}

Wide Negate(Wide value) { return (~value + 1) & kMask; }

}  // namespace

std::int32_t FixedPointToText(const void* field, char* text) {
    Wide value = Load(field);
    bool negative = (value & kSignBit) != 0;
    if (negative) value = Negate(value);  // -2^79 gives 2^79, still exact
    char digits[32];                      // least significant first
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    while (count < 7) digits[count++] = '0';  // "0." and six decimals at least
    int length = 0;
    if (negative) text[length++] = '-';
    for (int i = count - 1; i >= 6; --i) text[length++] = digits[i];
    text[length++] = '.';
    for (int i = 5; i >= 0; --i) text[length++] = digits[i];
    while (text[length - 1] == '0') --length;
    if (text[length - 1] == '.') --length;
    text[length] = '\0';
    return length;
}

double FixedPointToReal(const void* field) {
    char text[kFixedPointTextCapacity];
    FixedPointToText(field, text);
    return ReadNumber(text);
}

void TextToFixedPoint(const char* text, void* field) {
    constexpr int kMaxCharacters = 99;
    Wide number = 0;
    bool negative = false;
    bool overflow = false;
    int decimals = 0;
    bool fraction = false;
    int read = 0;
    const char* c = text != nullptr ? text : "";
    while (*c == ' ' && read < kMaxCharacters) ++c, ++read;
    if ((*c == '+' || *c == '-') && read < kMaxCharacters) {
        negative = *c == '-';
        ++c;
        ++read;
    }
    for (; *c != '\0' && read < kMaxCharacters; ++c, ++read) {
        if (*c == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (*c < '0' || *c > '9' || (fraction && decimals == 6)) break;
        Wide next = number * 10 + static_cast<unsigned>(*c - '0');
        if (next > kMaxPositive) {
            overflow = true;
            break;
        }
        number = next;
        if (fraction) ++decimals;
    }
    for (; !overflow && decimals < 6; ++decimals) {
        if (number * 10 > kMaxPositive) break;
        number *= 10;
    }
    Store(negative ? Negate(number) : number, field);
}

void RealToFixedPoint(double real, void* field) {
    char text[kNumberTextCapacity];
    std::snprintf(text, sizeof text, "%f", real);
    TextToFixedPoint(text, field);
}

}  // namespace qx
