// FieldType: value class, sizes, column letters and host type numbers of
// each field type code.  Pure tables; no record is touched here.
#include "values/FieldType.h"


namespace qx {

std::int16_t ValueClassOf(std::uint16_t type) {
    switch (type) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 9: case 10: return kClassNumeric;
        case 12: case 13: case 14: case 15: case 22: return kClassText;
        case 98: return kClassDate;
        case 99: return kClassTime;
        default: return kClassUnknown;
    }
}

std::uint16_t DisplaySizeOf(std::uint16_t type, std::uint16_t size) {
    std::uint16_t lessOne = size > 0 ? static_cast<std::uint16_t>(size - 1) : 0;
    switch (type) {
        case 0: case 8: case 11: case 16: case 17: return size;
        case 1: case 2: return 1;
        case 3: case 4: return 2;
        case 5: case 6: case 7: return 4;
        case 9: return 8;
        case 10: return 10;
        case 12: case 13: case 22: return size;
        case 14: case 15: case 98: return lessOne;
        case 99: return 4;
        default: return 0;
    }
}

std::uint16_t ValueBufferSizeOf(std::uint16_t type, std::uint16_t size) {
    switch (type) {
        case 0: case 8: case 11: case 16: case 17: return size;
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 9: case 10: return 8;
        case 12: case 22: return 4097;
        case 13: return size < 0xFFFF ? static_cast<std::uint16_t>(size + 1) : size;
        case 14: case 15: return size;
        case 98: return 9;
        case 99: return 5;
        default: return 0;
    }
}

char TypeLetter(std::uint16_t type) {
    switch (type) {
        case 12: case 13: case 14: case 15: case 22: case 98: case 99: return 'T';
        default: return 'N';
    }
}

std::uint16_t HostTypeNumber(std::uint16_t type) {
    switch (ValueClassOf(type)) {
        case kClassNumeric: return 16;
        case kClassDate: return 17;
        case kClassTime: return 18;
        default: return type >= 12 && type <= 15 ? 9 : 0;
    }
}

std::int16_t EvaluationKindOf(std::uint16_t type) {
    switch (ValueClassOf(type)) {
        case kClassNumeric: return 7;
        case kClassText: return 8;
        case kClassDate: return 9;
        case kClassTime: return 10;
        default: return 12;
    }
}

}  // namespace qx
