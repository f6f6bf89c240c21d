// FieldType: the per-type tables of the host's field type codes.
//
// Field type codes are the item types the dictionary reports:
//   0, 8, 11, 16, 17  raw bytes of the declared size      (class unknown)
//   1 int8   2 uint8   3 int16   4 uint16   5 int32   6 uint32
//   7 float  9 double  10 10-byte fixed point               (class numeric)
//   12 text memo (32-bit reference)   13 fixed text padded with spaces
//   14 length-prefixed text           15 NUL-terminated text
//   22 binary memo (32-bit reference)                        (class text)
//   98 date YYYYMMDD (size 9) or YYMMDD (size 7)             (class date)
//   99 time HHMM                                             (class time)
// Any other code is neither read nor written.  The tables answer by type
// code and declared size; the item forms read both from the descriptor.
// Reading and writing the values is Cell's business.
#pragma once

#include <cstdint>

namespace qx {


// Value classes.
enum ValueClass : std::int16_t {
    kClassUnknown = 0,
    kClassNumeric = 1,
    kClassText = 2,
    kClassDate = 3,
    kClassTime = 4,
};

// Field type codes with a name of their own in the code.
enum FieldTypeCode : std::uint16_t {
    kFieldInt8 = 1,
    kFieldUInt8 = 2,
    kFieldInt16 = 3,
    kFieldUInt16 = 4,
    kFieldInt32 = 5,
    kFieldUInt32 = 6,
    kFieldFloat = 7,
    kFieldDouble = 9,
    kFieldFixedPoint = 10,
    kFieldTextMemo = 12,
    kFieldFixedText = 13,
    kFieldCountedText = 14,
    kFieldTerminatedText = 15,
    kFieldBinaryMemo = 22,
    kFieldDate = 98,
    kFieldTime = 99,
};

std::int16_t ValueClassOf(std::uint16_t type);
// Characters the value shows: the column width of the result description.
std::uint16_t DisplaySizeOf(std::uint16_t type, std::uint16_t size);
// Bytes of the value as ReadCell delivers it (NUL included for texts).
std::uint16_t ValueBufferSizeOf(std::uint16_t type, std::uint16_t size);
// Column description letter: 'T' for texts, memos, dates and times, else 'N'.
char TypeLetter(std::uint16_t type);
// Host type number of the column description: 16 numeric, 9 texts 12-15,
// 17 date, 18 time, 0 for the rest (binary memos included).
std::uint16_t HostTypeNumber(std::uint16_t type);
// Operand type code an item's value has in expression evaluation:
// 7 numeric (a double), 8 text, 9 date, 10 time, 12 unknown.
std::int16_t EvaluationKindOf(std::uint16_t type);

}  // namespace qx
