// TypeClass: what typing knows of a value - a number, a text (texts, memos,
// dates and times alike) or anything (a value whose class is decided only
// when it is computed, like COUNT(*), which matches every class).
#pragma once

#include <cstdint>

namespace qx {

enum class TypeClass : std::uint8_t {
    kNone,       // not a value (or typing failed)
    kNumeric,
    kCharacter,
    kAny,
};

// True when two classes may stand on either side of a comparison or operator.
inline bool ClassesMatch(TypeClass a, TypeClass b) {
    return a == b || a == TypeClass::kAny || b == TypeClass::kAny;
}

// The class two matching operands give together: the first one unless it is "any".
inline TypeClass CombineClasses(TypeClass first, TypeClass other) {
    return first == TypeClass::kAny ? other : first;
}

}  // namespace qx
