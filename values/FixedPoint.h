// FixedPoint: the 10-byte fixed-point number of field type 10.
//
// Storage: a signed 80-bit two's-complement integer in five 16-bit words,
// least significant word first (little-endian bytes), equal to the value
// times 1000000 (six implied decimals).  Both conversions go through the
// decimal text, as the host's own tools write and read these fields.
#pragma once

#include <cstdint>

namespace qx {

constexpr std::int32_t kFixedPointBytes = 10;
// Bytes a FixedPointToText target must hold ("-" 24 digits "." NUL, rounded up).
constexpr std::int32_t kFixedPointTextCapacity = 40;

// The stored number as decimal text: "-" when negative, the integer part,
// and the six decimals without their trailing zeros (no point when none
// is left): 1234567 -> "1.234567", -5000000 -> "-5", 0 -> "0".
// Returns the text length.
std::int32_t FixedPointToText(const void* field, char* text);
// The stored number as a double (its text read with ReadNumber).
double FixedPointToReal(const void* field);
// Parses `text` into the 10 bytes at `field`: leading spaces, an optional
// sign, digits, "." and at most six decimals; any other character, a
// seventh decimal or the 99th character ends the reading, and missing
// decimals count as zeros.  A multiplication that would leave the signed
// 80-bit range ends the conversion at once: the number keeps the digits
// taken so far (unscaled) and receives the sign.
void TextToFixedPoint(const char* text, void* field);
// `real` written with "%f", then parsed as above.
void RealToFixedPoint(double real, void* field);

}  // namespace qx
