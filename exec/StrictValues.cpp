#include "exec/StrictValues.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/Messages.h"
#include "catalog/ItemDescriptor.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// Bytes of a value shown in a message; a longer one ends with "...".
constexpr std::size_t kShownBytes = 60;

// The largest magnitude a fixed-point item holds: 2^79 - 1 millionths.
const double kFixedPointLimit = std::ldexp(1.0, 79) / 1e6;

bool IsNumberOperand(std::int16_t type) {
    return (type >= kOperandInt16 && type <= kOperandDouble) || type == kOperandFloatAlt;
}

// `text` cut for a message, never inside a UTF-8 sequence.
std::string Shown(const char* text) {
    std::size_t length = std::strlen(text);
    if (length <= kShownBytes) return text;
    std::size_t cut = kShownBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text, cut) + "...";
}

// A number as its shortest text (for messages and for dates written as numbers).
std::string NumberText(double number) {
    char text[kNumberTextCapacity];
    if (std::isfinite(number) && std::fabs(number) < 1e15 && number == std::trunc(number))
        std::snprintf(text, sizeof text, "%.0f", number);
    else
        std::snprintf(text, sizeof text, "%.17g", number);
    return text;
}

// A whole number text (blanks around it, a sign, digits with one decimal
// point or comma, an exponent) read into `number`; false for anything else.
bool ParseNumber(const char* text, double& number) {
    const char* c = text;
    while (*c == ' ' || *c == '\t') ++c;
    const char* start = c;
    if (*c == '+' || *c == '-') ++c;
    int digits = 0;
    bool point = false;
    for (; (*c >= '0' && *c <= '9') || ((*c == '.' || *c == ',') && !point); ++c) {
        if (*c == '.' || *c == ',') point = true;
        else ++digits;
    }
    if (digits == 0) return false;
    if (*c == 'e' || *c == 'E') {
        ++c;
        if (*c == '+' || *c == '-') ++c;
        if (*c < '0' || *c > '9') return false;
        while (*c >= '0' && *c <= '9') ++c;
    }
    const char* end = c;
    while (*c == ' ' || *c == '\t') ++c;
    if (*c != '\0') return false;
    number = ReadNumber(std::string(start, end).c_str());
    return true;
}

struct Range {
    double low;
    double high;
    const char* text;
};

// The range of an integer item, or null for the other numeric types.
const Range* IntegerRange(std::uint16_t type) {
    static const Range ranges[] = {
        {-128, 127, "-128 .. 127"},
        {0, 255, "0 .. 255"},
        {-32768, 32767, "-32768 .. 32767"},
        {0, 65535, "0 .. 65535"},
        {-2147483648.0, 2147483647.0, "-2147483648 .. 2147483647"},
        {0, 4294967295.0, "0 .. 4294967295"},
    };
    if (type < kFieldInt8 || type > kFieldUInt32) return nullptr;
    return &ranges[type - kFieldInt8];
}

// Digits of `text` from `at`, exactly `count` of them, as a number; -1 otherwise.
int DigitsAt(const std::string& text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

std::string Trimmed(const char* text) {
    std::string out = text;
    std::size_t first = out.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

// YYYYMMDD of a date written YYYYMMDD, YYMMDD (19YY) or YYYY-MM-DD (also
// with "/" or "."); empty when the text is no existing date.
std::string DateDigits(const std::string& text) {
    int year = -1, month = -1, day = -1;
    if (text.size() == 8 || text.size() == 6) {
        bool century = text.size() == 8;
        year = DigitsAt(text, 0, century ? 4 : 2);
        if (year >= 0 && !century) year += 1900;
        month = DigitsAt(text, century ? 4 : 2, 2);
        day = DigitsAt(text, century ? 6 : 4, 2);
    } else if (text.size() == 10 && text[4] == text[7] && (text[4] == '-' || text[4] == '/' || text[4] == '.')) {
        year = DigitsAt(text, 0, 4);
        month = DigitsAt(text, 5, 2);
        day = DigitsAt(text, 8, 2);
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return "";
    char digits[48];
    std::snprintf(digits, sizeof digits, "%04d%02d%02d", year, month, day);
    return digits;
}

// HHMM of a time written HHMM, HHMMSS, HH:MM or HH:MM:SS; empty when the
// text is no time of the day.
std::string TimeDigits(const std::string& text) {
    int hour = -1, minute = -1, second = 0;
    if (text.size() == 4 || text.size() == 6) {
        hour = DigitsAt(text, 0, 2);
        minute = DigitsAt(text, 2, 2);
        if (text.size() == 6) second = DigitsAt(text, 4, 2);
    } else if ((text.size() == 5 || text.size() == 8) && text[2] == ':') {
        hour = DigitsAt(text, 0, 2);
        minute = DigitsAt(text, 3, 2);
        if (text.size() == 8) second = text[5] == ':' ? DigitsAt(text, 6, 2) : -1;
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return "";
    char digits[32];
    std::snprintf(digits, sizeof digits, "%02d%02d", hour, minute);
    return digits;
}

// Bytes of text the item holds; 0 when it sets no bound (memos).
std::size_t TextRoom(const ItemDescriptor& item) {
    switch (item.type) {
        case kFieldFixedText: return item.size;
        case kFieldCountedText:
        case kFieldTerminatedText: return item.size > 0 ? item.size - 1u : 0u;
        default: return 0;
    }
}

Status CheckNumber(const ItemDescriptor& item, const char* table, Value& value, Value& stored) {
    double number = 0;
    if (IsNumberOperand(value.Type())) {
        number = ReadOperandNumber(value.Type(), value.Data());
    } else if (!ParseNumber(static_cast<const char*>(value.Data()), number)) {
        return Error::Message(kMsgNotANumber, Shown(static_cast<const char*>(value.Data())).c_str(), table,
                              item.name.Get());
    }
    const char* range = nullptr;
    if (!std::isfinite(number)) {
        range = "";
    } else if (const Range* integer = IntegerRange(item.type)) {
        double whole = std::trunc(number);
        if (whole < integer->low || whole > integer->high) range = integer->text;
    } else if (item.type == kFieldFloat && std::fabs(number) > FLT_MAX) {
        range = "-3.40282347E38 .. 3.40282347E38";
    } else if (item.type == kFieldFixedPoint && std::fabs(number) >= kFixedPointLimit) {
        range = "-604462909807314587.353087 .. 604462909807314587.353087";
    }
    if (range != nullptr) return Error::Message(kMsgOutOfRange, NumberText(number).c_str(), table, item.name.Get(), range);
    stored = Value::Double(number);
    return Status();
}

}  // namespace

Status CheckStrictValue(const ItemDescriptor& item, const char* table, Value& value, Value& stored) {
    stored.Reset();
    const std::int16_t valueClass = ValueClassOf(item.type);
    if (valueClass == kClassNumeric) return CheckNumber(item, table, value, stored);
    if (valueClass != kClassText && valueClass != kClassDate && valueClass != kClassTime) {
        stored = std::move(value);
        return Status();
    }
    // The value as the item will hold it: a number is written as its
    // shortest text (1, not 1.000000).
    const bool number = IsNumberOperand(value.Type());
    std::string text;
    if (number) {
        char written[kNumberTextCapacity];
        WriteNumber(written, ReadOperandNumber(value.Type(), value.Data()), 9);
        text = written;
    } else {
        text = static_cast<const char*>(value.Data());
    }
    const char* itemName = item.name.Get();
    if (valueClass == kClassText) {
        std::size_t room = TextRoom(item);
        std::size_t used = text.find_last_not_of(' ');  // trailing blanks are padding
        used = used == std::string::npos ? 0 : used + 1;
        if (room > 0 && used > room)
            return Error::Message(kMsgTextTooLong, Shown(text.c_str()).c_str(), table, itemName, static_cast<int>(room));
        if (!number) {
            stored = std::move(value);
            return Status();
        }
        stored = Value::Borrowed(kOperandText, static_cast<std::int32_t>(text.size() + 1), text.c_str()).Copy();
        if (!stored.Has()) return Error::Message(kMsgOutOfMemory);
        return Status();
    }
    std::string written = Trimmed(text.c_str());
    if (!written.empty()) {
        written = valueClass == kClassDate ? DateDigits(written) : TimeDigits(written);
        // A YYMMDD item holds the years 1900 to 1999 only.
        bool shortDate = valueClass == kClassDate && item.size < 9 && !written.empty() && written.compare(0, 2, "19") != 0;
        if (written.empty() || shortDate)
            return Error::Message(valueClass == kClassDate ? kMsgBadDate : kMsgBadTime, Shown(text.c_str()).c_str(),
                                  table, itemName);
    }
    stored = Value::Inline(kOperandText, static_cast<std::int32_t>(written.size() + 1), written.c_str());
    return Status();
}

}  // namespace qx
