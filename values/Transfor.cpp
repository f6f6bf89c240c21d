// Transfor: typed operators, comparisons, LIKE and number/text conversions.
//
// Operands are classified (number, text, date, time), numbers widened to
// doubles, and the result stored back in the first operand's type.  Date
// arithmetic works on a day count from 1 January of year 0 under the rule
// that every year divisible by 4 is a leap year; time arithmetic on hours
// and minutes of one day.  CompareTyped's numeric path reproduces the
// "%lf" round trip arithmetically and formats text only near exact ties or
// for magnitudes where doubles carry fewer than six decimals.
#include "values/Transfor.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/MemoryBlock.h"

namespace qx {
namespace {

enum class OperandClass { kNone, kNumber, kText, kDate, kTime };

OperandClass ClassOf(std::int16_t type) {
    switch (type) {
        case kOperandInt16: case kOperandUInt16: case kOperandInt32: case kOperandUInt32:
        case kOperandInt8: case kOperandFloat: case kOperandDouble: case kOperandFloatAlt:
            return OperandClass::kNumber;
        case kOperandText: return OperandClass::kText;
        case kOperandDate: return OperandClass::kDate;
        case kOperandTime: return OperandClass::kTime;
        default: return OperandClass::kNone;
    }
}

template <typename T>
T Load(const void* value) {
    T v;
    std::memcpy(&v, value, sizeof v);
    return v;
}


std::int32_t NumberWidth(std::int16_t type) {
    switch (type) {
        case kOperandInt16: case kOperandUInt16: return 2;
        case kOperandInt32: case kOperandUInt32: case kOperandFloat: case kOperandFloatAlt: return 4;
        case kOperandInt8: return 1;
        default: return 8;
    }
}

// trunc(x) limited to [lo, hi]; NaN gives 0.  Never converts an
// out-of-range double to an integer.
std::int64_t SaturateTrunc(double x, std::int64_t lo, std::int64_t hi) {
    if (std::isnan(x)) return 0;
    if (x <= static_cast<double>(lo)) return lo;
    if (x >= static_cast<double>(hi)) return hi;
    return static_cast<std::int64_t>(std::trunc(x));
}

template <typename T>
void StoreInt(void* target, double x) {
    T v = static_cast<T>(SaturateTrunc(x, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
    std::memcpy(target, &v, sizeof v);
}

// Writes `x` in the representation of number type `type` (NumberWidth bytes).
void StoreNumber(std::int16_t type, double x, void* target) {
    switch (type) {
        case kOperandInt16: StoreInt<std::int16_t>(target, x); break;
        case kOperandUInt16: StoreInt<std::uint16_t>(target, x); break;
        case kOperandInt32: StoreInt<std::int32_t>(target, x); break;
        case kOperandUInt32: StoreInt<std::uint32_t>(target, x); break;
        case kOperandInt8: StoreInt<std::int8_t>(target, x); break;
        case kOperandFloat: case kOperandFloatAlt: {
            float f;
            if (std::isnan(x)) f = std::numeric_limits<float>::quiet_NaN();
            else if (x > FLT_MAX) f = std::numeric_limits<float>::infinity();
            else if (x < -FLT_MAX) f = -std::numeric_limits<float>::infinity();
            else f = static_cast<float>(x);
            std::memcpy(target, &f, sizeof f);
            break;
        }
        default: std::memcpy(target, &x, sizeof x); break;
    }
}

std::int16_t GiveNumber(std::int16_t type, double x, std::int16_t* resultType, std::int32_t* resultSize,
                        void** result) {
    std::int32_t width = NumberWidth(type);
    void* block = AllocBlock(static_cast<std::uint32_t>(width));
    if (block == nullptr) return 0;
    StoreNumber(type, x, block);
    *resultType = type;
    *resultSize = width;
    *result = block;
    return 1;
}

std::int16_t GiveText(const char* text, std::int16_t type, std::int32_t size, std::int16_t* resultType,
                      std::int32_t* resultSize, void** result) {
    char* copy = nullptr;
    if (!DuplicateText(&copy, text, 0)) return 0;
    *resultType = type;
    *resultSize = size;
    *result = copy;
    return 1;
}

// ---- Dates and times ----------------------------------------------------

constexpr std::int32_t kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr std::int32_t kMaxYear = 9999;

bool IsLeap(std::int64_t year) { return year % 4 == 0; }

// Value of the decimal digits text[from, from + count); a character that is
// not a digit (or the end of the text) counts as 0.
std::int32_t DigitsAt(const char* text, std::size_t length, std::size_t from, std::size_t count) {
    std::int32_t value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        char c = i < length ? text[i] : '0';
        value = value * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
    }
    return value;
}

// Days from 1 January of year 0 to the start of `year` (year >= 0).
std::int64_t DaysBeforeYear(std::int64_t year) { return 365 * year + (year + 3) / 4; }

// A date text as a day count from 1 January of year 0.  Eight characters or
// more read YYYYMMDD, fewer YYMMDD with the year 19YY.  The month is taken
// into 1..12; the day is added as it stands, so day 0 or 45 carries into
// the neighbouring month or year.
std::int64_t DateToDays(const char* text) {
    std::size_t length = std::strlen(text);
    std::int64_t year, month, day;
    if (length >= 8) {
        year = DigitsAt(text, length, 0, 4);
        month = DigitsAt(text, length, 4, 2);
        day = DigitsAt(text, length, 6, 2);
    } else {
        year = 1900 + DigitsAt(text, length, 0, 2);
        month = DigitsAt(text, length, 2, 2);
        day = DigitsAt(text, length, 4, 2);
    }
    if (month < 1) month = 1;
    if (month > 12) month = 12;
    std::int64_t dayOfYear = day + kDaysBeforeMonth[month - 1] + (month > 2 && IsLeap(year) ? 1 : 0);
    return DaysBeforeYear(year) + dayOfYear - 1;
}

// Writes the day count as YYYYMMDD (wide) or YYMMDD into `out` (9 bytes).
// Counts before year 0 or after year 9999 stop at the first or last day.
void DaysToDate(std::int64_t days, bool wide, char* out) {
    const std::int64_t last = DaysBeforeYear(kMaxYear + 1) - 1;
    if (days < 0) days = 0;
    if (days > last) days = last;
    std::int64_t year = 4 * (days / 1461);
    std::int64_t rest = days % 1461;  // the first year of each four is the leap one
    if (rest >= 366) {
        rest -= 366;
        year += 1 + rest / 365;
        rest %= 365;
    }
    std::int64_t dayOfYear = rest + 1;
    std::int64_t month = 12;
    while (month > 1 && dayOfYear <= kDaysBeforeMonth[month - 1] + (month > 2 && IsLeap(year) ? 1 : 0)) --month;
    std::int64_t day = dayOfYear - kDaysBeforeMonth[month - 1] - (month > 2 && IsLeap(year) ? 1 : 0);
    if (wide)
        std::snprintf(out, 9, "%04d%02d%02d", static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
    else
        std::snprintf(out, 9, "%02d%02d%02d", static_cast<int>(year % 100), static_cast<int>(month),
                      static_cast<int>(day));
}

// Minutes since midnight of an HHMM text (unreadable digits count as 0).
std::int32_t TimeToMinutes(const char* text, std::int32_t* hours, std::int32_t* minutes) {
    std::size_t length = std::strlen(text);
    *hours = DigitsAt(text, length, 0, 2);
    *minutes = DigitsAt(text, length, 2, 2);
    return *hours * 60 + *minutes;
}

std::int16_t DateArithmetic(const char* date, std::int16_t op, double number, std::int16_t* resultType,
                            std::int32_t* resultSize, void** result) {
    if (op != kOpPlus && op != kOpMinus) return 0;
    // Beyond ten million days the date stops at its range limit anyway.
    std::int64_t shift = SaturateTrunc(number, -10000000, 10000000);
    std::int64_t days = DateToDays(date) + (op == kOpPlus ? shift : -shift);
    bool wide = std::strlen(date) >= 8;
    char text[9];
    DaysToDate(days, wide, text);
    std::int32_t length = wide ? 8 : 6;
    return GiveText(text, kOperandDate, length + 1, resultType, resultSize, result);
}

std::int16_t TimeArithmetic(const char* time, std::int16_t op, double number, std::int16_t* resultType,
                            std::int32_t* resultSize, void** result) {
    if (op != kOpPlus && op != kOpMinus) return 0;
    std::int32_t hours, minutes;
    TimeToMinutes(time, &hours, &minutes);
    std::int32_t shift = std::isfinite(number) ? static_cast<std::int32_t>(std::fmod(std::trunc(number), 24.0)) : 0;
    std::int32_t hour = ((hours + (op == kOpPlus ? shift : -shift)) % 24 + 24) % 24;
    char text[8];
    std::snprintf(text, sizeof text, "%02d%02d", hour, minutes % 100);
    return GiveText(text, kOperandTime, 5, resultType, resultSize, result);
}

// ---- Comparisons --------------------------------------------------------

std::int16_t Relation(std::int16_t op, int order) {
    switch (op) {
        case kOpNotEqual: return order != 0;
        case kOpLessEqual: return order <= 0;
        case kOpGreaterEqual: return order >= 0;
        case kOpLess: return order < 0;
        case kOpGreater: return order > 0;
        case kOpEqual: return order == 0;
        default: return 0;
    }
}

unsigned char FoldCase(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

int CompareIgnoringCase(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        unsigned char cx = FoldCase(*x), cy = FoldCase(*y);
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
}

// ---- LIKE ---------------------------------------------------------------

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Matches `pattern[0, patternLength)` against `value` from `at`; the end
// position in `value`, or -1.  "_" takes one character with its UTF-8
// continuation bytes; every other pattern byte matches itself.
std::ptrdiff_t MatchAt(const char* value, std::size_t valueLength, std::size_t at, const char* pattern,
                       std::size_t patternLength) {
    std::size_t v = at;
    for (std::size_t p = 0; p < patternLength; ++p) {
        if (v >= valueLength) return -1;
        if (pattern[p] == '_') {
            ++v;
            while (v < valueLength && IsContinuation(static_cast<unsigned char>(value[v]))) ++v;
        } else {
            if (value[v] != pattern[p]) return -1;
            ++v;
        }
    }
    return static_cast<std::ptrdiff_t>(v);
}

// ---- Six-decimal rounding -----------------------------------------------

double RoundBySnprintf(double value) {
    char text[kNumberTextCapacity];
    std::snprintf(text, sizeof text, "%lf", value);
    return std::strtod(text, nullptr);
}

}  // namespace

std::int16_t NumberRelation(std::int16_t op, double a, double b) {
    switch (op) {
        case kOpNullTest: return a == 0.0;
        case kOpNotEqual: return a != b;
        case kOpLessEqual: return a <= b;
        case kOpGreaterEqual: return a >= b;
        case kOpLess: return a < b;
        case kOpGreater: return a > b;
        case kOpEqual: return a == b;
        default: return 0;
    }
}

double ReadOperandNumber(std::int16_t type, const void* value) {
    switch (type) {
        case kOperandInt16: return Load<std::int16_t>(value);
        case kOperandUInt16: return Load<std::uint16_t>(value);
        case kOperandInt32: return Load<std::int32_t>(value);
        case kOperandUInt32: return Load<std::uint32_t>(value);
        case kOperandInt8: return Load<std::int8_t>(value);
        case kOperandFloat: case kOperandFloatAlt: return Load<float>(value);
        case kOperandDouble: return Load<double>(value);
        default: return 0.0;
    }
}

double RoundToSixDecimals(double value) {
    // Below this magnitude value * 1e6 < 2^52: the scaled value, its floor
    // and its distance to the next integer are exact, so the rounding of the
    // exact product can be decided from them.
    constexpr double kFastLimit = 4503599627.0;
    double a = std::fabs(value);
    if (!(a < kFastLimit)) {
        // NaN, infinities and values of 2^53 and more are integers or not
        // numbers: "%lf" writes them exactly.
        if (!(a < 9007199254740992.0)) return value;
        return RoundBySnprintf(value);
    }
    double y = a * 1e6;
    // floor(y) through an integer conversion: 0 <= y < 2^52 fits.
    double r = static_cast<double>(static_cast<std::int64_t>(y));
    double t = y - r;  // exact: r is 0 or an integer of y's binade
    double n;
    if (t > 0.5) {
        n = r + 1;
    } else if (t < 0.5) {
        n = r;
    } else {
        // y sits exactly on .5: the rounding error of a * 1e6 decides.
        double e = std::fma(a, 1e6, -y);
        if (e > 0) n = r + 1;
        else if (e < 0) n = r;
        else n = std::fmod(r, 2.0) == 0.0 ? r : r + 1;  // exact tie: to even
    }
    double rounded = n / 1e6;  // correctly rounded, as strtod of the text
    return std::signbit(value) ? -rounded : rounded;
}

void* AllocValueBlock(std::uint32_t size) {
    return size <= kMaxBlockSize ? AllocBlock(size) : AllocLargeBlock(size);
}

std::int16_t DuplicateText(char** target, const char* text, std::int32_t length) {
    if (target == nullptr) return 0;
    *target = nullptr;
    if (text == nullptr) return 0;
    std::size_t n = length < 1 ? std::strlen(text) : strnlen(text, static_cast<std::size_t>(length));
    auto* copy = static_cast<char*>(AllocValueBlock(static_cast<std::uint32_t>(n + 1)));
    if (copy == nullptr) return 0;
    std::memcpy(copy, text, n);
    copy[n] = '\0';
    *target = copy;
    return 1;
}

std::int16_t ApplyOperator(std::int16_t typeA, std::int32_t sizeA, const void* valueA, std::int16_t op,
                           std::int16_t typeB, std::int32_t sizeB, const void* valueB,
                           std::int16_t* resultType, std::int32_t* resultSize, void** result) {
    if (resultType == nullptr || resultSize == nullptr || result == nullptr || valueA == nullptr) return 0;
    OperandClass classA = ClassOf(typeA);
    if (typeB == kOperandNone) {
        switch (classA) {
            case OperandClass::kNumber: {
                if (op != kOpMinus) return 0;
                std::int16_t type = typeA;
                if (typeA == kOperandUInt16) type = kOperandInt16;
                if (typeA == kOperandUInt32) type = kOperandInt32;
                return GiveNumber(type, -ReadOperandNumber(typeA, valueA), resultType, resultSize, result);
            }
            case OperandClass::kDate:
                return DateArithmetic(static_cast<const char*>(valueA), op, 0.0, resultType, resultSize, result);
            case OperandClass::kTime:
                return TimeArithmetic(static_cast<const char*>(valueA), op, 0.0, resultType, resultSize, result);
            default: return 0;
        }
    }
    if (valueB == nullptr) return 0;
    OperandClass classB = ClassOf(typeB);
    if (classA == OperandClass::kNumber && classB == OperandClass::kNumber) {
        double a = ReadOperandNumber(typeA, valueA), b = ReadOperandNumber(typeB, valueB), x;
        switch (op) {
            case kOpPlus: x = a + b; break;
            case kOpMinus: x = a - b; break;
            case kOpTimes: x = a * b; break;
            case kOpDivide: x = b == 0.0 ? 0.0 : a / b; break;  // never a trap: A / 0 is 0
            default: return 0;
        }
        return GiveNumber(typeA, x, resultType, resultSize, result);
    }
    const auto* textA = static_cast<const char*>(valueA);
    const auto* textB = static_cast<const char*>(valueB);
    if (classA == OperandClass::kText && classB == OperandClass::kText) {
        if (op != kOpPlus) return 0;
        std::size_t lengthA = std::strlen(textA), lengthB = std::strlen(textB);
        std::int64_t size = static_cast<std::int64_t>(sizeA) + sizeB;
        // The sizes are the caller's; the block also holds the actual texts.
        std::int64_t needed = static_cast<std::int64_t>(lengthA + lengthB + 1);
        if (size < needed) size = needed;
        if (size > INT32_MAX) return 0;
        auto* text = static_cast<char*>(AllocValueBlock(static_cast<std::uint32_t>(size)));
        if (text == nullptr) return 0;
        std::memcpy(text, textA, lengthA);
        std::memcpy(text + lengthA, textB, lengthB + 1);
        *resultType = kOperandText;
        *resultSize = static_cast<std::int32_t>(size);
        *result = text;
        return 1;
    }
    if (classA == OperandClass::kDate && classB == OperandClass::kDate) {
        if (op != kOpMinus) return 0;
        std::int64_t days = DateToDays(textA) - DateToDays(textB);
        return GiveNumber(kOperandInt16, static_cast<double>(days), resultType, resultSize, result);
    }
    if (classA == OperandClass::kTime && classB == OperandClass::kTime) {
        if (op != kOpMinus) return 0;
        std::int32_t h, m;
        std::int32_t minutes = TimeToMinutes(textA, &h, &m) - TimeToMinutes(textB, &h, &m);
        if (minutes < 0) minutes += 1440;
        minutes = (minutes % 1440 + 1440) % 1440;  // hours above 23 in the texts
        char text[8];
        std::snprintf(text, sizeof text, "%02d%02d", minutes / 60, minutes % 60);
        return GiveText(text, kOperandTime, 5, resultType, resultSize, result);
    }
    if (classA == OperandClass::kDate && classB == OperandClass::kNumber)
        return DateArithmetic(textA, op, ReadOperandNumber(typeB, valueB), resultType, resultSize, result);
    if (classA == OperandClass::kTime && classB == OperandClass::kNumber)
        return TimeArithmetic(textA, op, ReadOperandNumber(typeB, valueB), resultType, resultSize, result);
    return 0;
}

std::int16_t CompareTyped(std::int16_t op, std::int16_t typeA, const void* valueA, std::int16_t typeB,
                          const void* valueB) {
    OperandClass classA = ClassOf(typeA);
    OperandClass classB = ClassOf(typeB);
    if (classA == OperandClass::kNone || valueA == nullptr) return 0;
    bool numberA = classA == OperandClass::kNumber;
    if (classB != OperandClass::kNone && (classB == OperandClass::kNumber) != numberA) return 0;
    bool hasB = classB != OperandClass::kNone && valueB != nullptr;
    if (numberA) {
        double a = RoundToSixDecimals(ReadOperandNumber(typeA, valueA));
        if (op == kOpNullTest) return a == 0.0;
        double b = hasB ? RoundToSixDecimals(ReadOperandNumber(typeB, valueB)) : 0.0;
        return NumberRelation(op, a, b);
    }
    const auto* a = static_cast<const char*>(valueA);
    if (op == kOpNullTest) return a[0] == '\0';
    const char* b = hasB ? static_cast<const char*>(valueB) : "";
    bool datedA = typeA == kOperandDate || typeA == kOperandTime;
    bool datedB = typeB == kOperandDate || typeB == kOperandTime;
    if (datedA || datedB) {  // the lengths only matter for the century rule
        std::size_t lengthA = std::strlen(a), lengthB = std::strlen(b);
        if (datedA && lengthA == 8 && lengthB == 6) a += 2;
        else if (datedB && lengthB == 8 && lengthA == 6) b += 2;
    }
    return Relation(op, CompareIgnoringCase(a, b));
}

EqualityKeyKind MakeEqualityKey(std::int16_t type, const void* value, std::string& key) {
    if (value == nullptr) return EqualityKeyKind::kNotCovered;
    OperandClass valueClass = ClassOf(type);
    if (valueClass == OperandClass::kNumber) {
        double x = RoundToSixDecimals(ReadOperandNumber(type, value));
        if (std::isnan(x)) return EqualityKeyKind::kEqualsNothing;
        if (x == 0.0) x = 0.0;  // -0 equals 0
        key.assign(1, 'N');
        key.append(reinterpret_cast<const char*>(&x), sizeof x);
        return EqualityKeyKind::kKey;
    }
    if (type != kOperandText) return EqualityKeyKind::kNotCovered;
    const auto* text = static_cast<const unsigned char*>(value);
    std::size_t length = std::strlen(reinterpret_cast<const char*>(text));
    key.resize(length + 1);
    key[0] = 'T';
    for (std::size_t i = 0; i < length; ++i) key[i + 1] = static_cast<char>(FoldCase(text[i]));
    return EqualityKeyKind::kKey;
}

std::int16_t MatchLike(const char* value, const char* pattern) {
    if (value == nullptr || pattern == nullptr) return 0;
    std::size_t v = std::strlen(value), p = std::strlen(pattern);
    if ((p == 1 && pattern[0] == '%') || (p == 2 && pattern[0] == '%' && pattern[1] == '%')) return 1;
    bool first = p > 0 && pattern[0] == '%';
    bool last = p > 0 && pattern[p - 1] == '%';
    auto starts = [&](std::size_t at) { return at == 0 || !IsContinuation(static_cast<unsigned char>(value[at])); };
    if (first && last) {
        for (std::size_t at = 0; at < v; ++at)
            if (starts(at) && MatchAt(value, v, at, pattern + 1, p - 2) >= 0) return 1;
        return 0;
    }
    if (first) {
        for (std::size_t at = 0; at <= v; ++at)
            if ((at == v || starts(at)) &&
                MatchAt(value, v, at, pattern + 1, p - 1) == static_cast<std::ptrdiff_t>(v))
                return 1;
        return 0;
    }
    if (last) return MatchAt(value, v, 0, pattern, p - 1) >= 0;
    return MatchAt(value, v, 0, pattern, p) == static_cast<std::ptrdiff_t>(v);
}

// "%lf" of a whole number below 2^53 is its digits and ".000000", which the
// trimming removes: the digits are written directly.  Null when `real` is
// not such a number.
static char* WriteWholeNumber(char* target, double real) {
    if (!(std::fabs(real) < 9007199254740992.0) || real != std::trunc(real)) return nullptr;
    char digits[24];
    int n = 0;
    auto whole = static_cast<std::int64_t>(real);
    std::uint64_t magnitude = whole < 0 ? static_cast<std::uint64_t>(-whole) : static_cast<std::uint64_t>(whole);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    char* out = target;
    if (std::signbit(real)) *out++ = '-';  // "%lf" writes -0 as "-0.000000"
    while (n > 0) *out++ = digits[--n];
    *out = '\0';
    return out;
}

std::int32_t WriteNumber(char* target, double real, std::int16_t digits) {
    if (digits != 7) {
        if (char* end = WriteWholeNumber(target, real)) return static_cast<std::int32_t>(end - target);
    }
    int length;
    if (digits == 7) {
        length = std::snprintf(target, kNumberTextCapacity, "%.7g", real);
        int kept = 0;
        for (int i = 0; i < length; ++i)
            if (target[i] != ' ') target[kept++] = target[i];
        length = kept;
        target[length] = '\0';
        if (length > 0 && target[length - 1] == '.') target[--length] = '\0';
        if (std::strpbrk(target, "eE") != nullptr) length = std::snprintf(target, kNumberTextCapacity, "%lf", real);
    } else {
        length = std::snprintf(target, kNumberTextCapacity, "%lf", real);
    }
    if (length < 0) {
        target[0] = '\0';
        return 0;
    }
    if (length >= kNumberTextCapacity) length = kNumberTextCapacity - 1;
    char* point = std::strchr(target, '.');
    if (point != nullptr) {
        char* exponent = std::strpbrk(point, "eE");
        std::size_t end = exponent != nullptr ? static_cast<std::size_t>(exponent - target)
                                              : static_cast<std::size_t>(length);
        std::size_t cut = end;
        while (cut > static_cast<std::size_t>(point - target) + 1 && target[cut - 1] == '0') --cut;
        if (cut == static_cast<std::size_t>(point - target) + 1) --cut;  // nothing after the point
        if (cut != end) {
            std::memmove(target + cut, target + end, static_cast<std::size_t>(length) - end + 1);
            length -= static_cast<int>(end - cut);
        }
    }
    return length;
}

double ReadNumber(const char* text) {
    if (text == nullptr || text[0] == '\0') return 0.0;
    // Collect the significant digits and a decimal exponent, then let strtod
    // round the result correctly ("digitsEexponent" needs no locale).
    constexpr int kMaxDigits = 40;
    char digits[kMaxDigits + 1];
    int count = 0;
    std::int64_t scale = 0;  // power of ten applied to the digits
    bool negative = false, fraction = false;
    const char* c = text;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    for (; *c != '\0' && *c != 'e' && *c != 'E'; ++c) {
        if (*c == '.' || *c == ',') {
            fraction = true;
        } else if (*c >= '0' && *c <= '9') {
            if (count == 0 && *c == '0') {
                if (fraction) --scale;
            } else if (count < kMaxDigits) {
                digits[count++] = *c;
                if (fraction) --scale;
            } else if (!fraction) {
                ++scale;  // digits beyond the kept ones only scale the integer part
            }
        }
    }
    if (*c == 'e' || *c == 'E') {
        ++c;
        bool negativeExponent = false;
        if (*c == '+' || *c == '-') negativeExponent = *c++ == '-';
        std::int64_t exponent = 0;
        for (; *c != '\0' && *c != '.' && *c != ','; ++c)  // a fraction of the exponent is ignored
            if (*c >= '0' && *c <= '9' && exponent < 100000) exponent = exponent * 10 + (*c - '0');
        scale += negativeExponent ? -exponent : exponent;
    }
    if (count == 0) return negative ? -0.0 : 0.0;
    char number[kMaxDigits + 32];
    std::snprintf(number, sizeof number, "%.*sE%lld", count, digits, static_cast<long long>(scale));
    double value = std::strtod(number, nullptr);
    return negative ? -value : value;
}

}  // namespace qx
