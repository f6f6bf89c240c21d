#include "odbc/Conversions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "obsqleng.h"

namespace qxodbc {
namespace {

// Number of a value for the numeric C types; false for a text that is not one.
bool NumberOf(const FieldValue& value, double* real, std::int64_t* integer) {
    switch (value.kind) {
        case FieldKind::kInteger: case FieldKind::kDate: case FieldKind::kTime:
            *integer = value.integer;
            *real = static_cast<double>(value.integer);
            return true;
        case FieldKind::kReal: case FieldKind::kDecimal:
            *real = value.real;
            *integer = std::isfinite(value.real) && std::fabs(value.real) < 9.2e18 ? static_cast<std::int64_t>(value.real) : 0;
            return true;
        case FieldKind::kText: {
            const char* start = value.text.c_str();
            char* end = nullptr;
            errno = 0;
            *real = std::strtod(start, &end);
            while (end != nullptr && *end == ' ') ++end;
            if (end == start || *end != '\0' || errno == ERANGE) return false;
            *integer = std::fabs(*real) < 9.2e18 ? static_cast<std::int64_t>(*real) : 0;
            return true;
        }
        case FieldKind::kNull: break;
    }
    return false;
}

template <typename T>
SQLRETURN StoreInteger(std::int64_t integer, double real, SQLPOINTER target, SQLLEN* indicator, Diagnostics& d) {
    if (real < static_cast<double>(std::numeric_limits<T>::min()) - 0.999 ||
        real > static_cast<double>(std::numeric_limits<T>::max()) + 0.999)
        return d.Fail("22003", "numeric value out of range for the C type");
    T v = static_cast<T>(integer);
    std::memcpy(target, &v, sizeof v);
    if (indicator != nullptr) *indicator = sizeof v;
    return SQL_SUCCESS;
}

// A date or time from a text "YYYY-MM-DD", "YYYYMMDD", "HH:MM:SS" or "HHMMSS".
bool DigitsOf(const std::string& text, std::int64_t* out) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') digits += c;
        else if (c != '-' && c != ':' && c != ' ') return false;
    }
    if (digits.empty() || digits.size() > 8) return false;
    *out = std::strtoll(digits.c_str(), nullptr, 10);
    return true;
}

// A text or bytes value in pieces: what is left after `position` into the
// buffer, cut on whole units of `unit` bytes, with the room for a
// terminating zero of that size (none for bytes).
SQLRETURN StorePiece(const void* data, std::size_t size, std::size_t unit, bool terminated, SQLPOINTER target,
                     SQLLEN capacity, SQLLEN* indicator, ReadPosition* position, Diagnostics& d) {
    std::size_t start = position != nullptr ? position->sent : 0;
    if (position != nullptr && position->finished) return SQL_NO_DATA;
    std::size_t left = size - start;
    if (indicator != nullptr) *indicator = static_cast<SQLLEN>(left);
    std::size_t room = capacity > 0 ? static_cast<std::size_t>(capacity) : 0;
    if (terminated) room = room >= unit ? room - unit : 0;
    room -= room % unit;
    std::size_t given = std::min(left, room);
    if (target != nullptr) {
        if (given > 0) std::memcpy(target, static_cast<const char*>(data) + start, given);
        if (terminated && capacity >= static_cast<SQLLEN>(unit)) std::memset(static_cast<char*>(target) + given, 0, unit);
    }
    if (given < left && (target != nullptr || capacity > 0)) {
        if (position != nullptr) position->sent = start + given;
        return d.Warn("01004", "string data, right truncated");
    }
    if (given < left) return SQL_SUCCESS_WITH_INFO;  // a length query: no buffer
    if (position != nullptr) position->finished = true;
    return SQL_SUCCESS;
}

// A whole number of `text`, for a text bound where the statement wants a number.
bool IntegerText(const std::string& text, std::int64_t* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE) return false;
    *out = v;
    return true;
}

}  // namespace

std::string Utf16ToUtf8(const SQLWCHAR* text, SQLLEN units) {
    std::string out;
    if (text == nullptr) return out;
    if (units == SQL_NTS) {
        units = 0;
        while (text[units] != 0) ++units;
    }
    for (SQLLEN i = 0; i < units; ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t c = b;
        std::size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        if (extra > 0 && i + extra < text.size()) {
            c = b & (0x3F >> extra);
            for (std::size_t k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        } else {
            extra = 0;  // a stray byte: kept as the code point of the same number
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

SQLRETURN ValueToBuffer(const FieldValue& value, SQLSMALLINT cType, SQLPOINTER target, SQLLEN capacity,
                        SQLLEN* indicator, ReadPosition* position, Diagnostics& d) {
    if (value.IsNull()) {
        if (position != nullptr && position->finished) return SQL_NO_DATA;
        if (position != nullptr) position->finished = true;
        if (indicator == nullptr) return d.Fail("22002", "indicator variable required but not supplied");
        *indicator = SQL_NULL_DATA;
        return SQL_SUCCESS;
    }
    double real = 0;
    std::int64_t integer = 0;
    switch (cType) {
        case SQL_C_CHAR: case SQL_C_BINARY: {
            std::string text = value.AsText();
            return StorePiece(text.data(), text.size(), 1, cType == SQL_C_CHAR, target, capacity, indicator, position, d);
        }
        case SQL_C_WCHAR: {
            std::u16string text = Utf8ToUtf16(value.AsText());
            return StorePiece(text.data(), text.size() * sizeof(SQLWCHAR), sizeof(SQLWCHAR), true, target, capacity,
                              indicator, position, d);
        }
        default: break;
    }
    if (position != nullptr) {
        if (position->finished) return SQL_NO_DATA;
        position->finished = true;
    }
    if (target == nullptr) return d.Fail("HY009", "no buffer for the value");
    switch (cType) {
        case SQL_C_DATE: case SQL_C_TYPE_DATE: case SQL_C_TIME: case SQL_C_TYPE_TIME: case SQL_C_TIMESTAMP:
        case SQL_C_TYPE_TIMESTAMP: {
            bool wantsTime = cType == SQL_C_TIME || cType == SQL_C_TYPE_TIME;
            bool isTime = value.kind == FieldKind::kTime;
            std::int64_t digits = value.integer;
            if (value.kind == FieldKind::kText && !DigitsOf(value.text, &digits))
                return d.Fail("22018", "the text is not a number of the column's type");
            if (value.kind == FieldKind::kText) isTime = wantsTime;
            if (value.kind != FieldKind::kText && value.kind != FieldKind::kDate && !isTime)
                return d.Fail("07006", "restricted data type attribute violation");
            if (wantsTime != isTime && cType != SQL_C_TIMESTAMP && cType != SQL_C_TYPE_TIMESTAMP)
                return d.Fail("07006", "restricted data type attribute violation");
            auto high = static_cast<SQLSMALLINT>(digits / 10000);
            auto middle = static_cast<SQLUSMALLINT>(digits / 100 % 100);
            auto low = static_cast<SQLUSMALLINT>(digits % 100);
            if (wantsTime) {
                SQL_TIME_STRUCT t{static_cast<SQLUSMALLINT>(high), middle, low};
                std::memcpy(target, &t, sizeof t);
                if (indicator != nullptr) *indicator = sizeof t;
            } else if (cType == SQL_C_DATE || cType == SQL_C_TYPE_DATE) {
                SQL_DATE_STRUCT t{high, middle, low};
                std::memcpy(target, &t, sizeof t);
                if (indicator != nullptr) *indicator = sizeof t;
            } else {
                SQL_TIMESTAMP_STRUCT t{};
                if (isTime) {
                    t.year = 1900, t.month = 1, t.day = 1;
                    t.hour = static_cast<SQLUSMALLINT>(high), t.minute = middle, t.second = low;
                } else {
                    t.year = high, t.month = middle, t.day = low;
                }
                std::memcpy(target, &t, sizeof t);
                if (indicator != nullptr) *indicator = sizeof t;
            }
            return SQL_SUCCESS;
        }
        default: break;
    }
    if (!NumberOf(value, &real, &integer)) return d.Fail("22018", "the text is not a number of the column's type");
    switch (cType) {
        case SQL_C_DOUBLE: case SQL_C_FLOAT: {
            if (cType == SQL_C_FLOAT) {
                auto v = static_cast<float>(real);
                std::memcpy(target, &v, sizeof v);
                if (indicator != nullptr) *indicator = sizeof v;
            } else {
                std::memcpy(target, &real, sizeof real);
                if (indicator != nullptr) *indicator = sizeof real;
            }
            return SQL_SUCCESS;
        }
        case SQL_C_LONG: case SQL_C_SLONG: return StoreInteger<SQLINTEGER>(integer, real, target, indicator, d);
        case SQL_C_ULONG: return StoreInteger<SQLUINTEGER>(integer, real, target, indicator, d);
        case SQL_C_SHORT: case SQL_C_SSHORT: return StoreInteger<SQLSMALLINT>(integer, real, target, indicator, d);
        case SQL_C_USHORT: return StoreInteger<SQLUSMALLINT>(integer, real, target, indicator, d);
        case SQL_C_TINYINT: case SQL_C_STINYINT: return StoreInteger<SQLSCHAR>(integer, real, target, indicator, d);
        case SQL_C_UTINYINT: case SQL_C_BIT: return StoreInteger<SQLCHAR>(integer, real, target, indicator, d);
        case SQL_C_SBIGINT: return StoreInteger<SQLBIGINT>(integer, real, target, indicator, d);
        case SQL_C_UBIGINT: return StoreInteger<SQLUBIGINT>(integer, real, target, indicator, d);
        default: return d.Fail("HY003", "the driver does not convert to C type " + std::to_string(cType));
    }
}

SQLRETURN EngineError(std::uintptr_t handle, Diagnostics& diagnostics) {
    char text[256] = "", state[6] = "";
    QXSQLErreur(handle, text, state);
    // The engine's older messages carry its general state 00123; class 00
    // means success to ODBC clients, so those become the general error.
    if (std::strncmp(state, "00", 2) == 0 || state[0] == '\0') std::strcpy(state, "HY000");
    return diagnostics.Fail(state, text[0] != '\0' ? text : "the engine refused the statement", QXSQLErrorNumber(handle));
}

SQLRETURN BindToEngine(std::uintptr_t handle, std::uint16_t number, const ParameterBinding& p, Diagnostics& d) {
    SQLLEN length = p.indicator != nullptr ? *p.indicator : SQL_NTS;
    if (length == SQL_NULL_DATA || p.buffer == nullptr) {
        return QXSQLBindNull(handle, number) == 0 ? SQL_SUCCESS : EngineError(handle, d);
    }
    if (length == SQL_DATA_AT_EXEC || length <= SQL_LEN_DATA_AT_EXEC_OFFSET)
        return d.Fail("HYC00", "parameters given at execution time are not supported");
    SQLSMALLINT cType = p.cType;
    if (cType == SQL_C_DEFAULT) {
        switch (p.sqlType) {
            case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: cType = SQL_C_SLONG; break;
            case SQL_BIGINT: cType = SQL_C_SBIGINT; break;
            case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: cType = SQL_C_DOUBLE; break;
            case SQL_TYPE_DATE: case SQL_DATE: cType = SQL_C_TYPE_DATE; break;
            case SQL_TYPE_TIME: case SQL_TIME: cType = SQL_C_TYPE_TIME; break;
            case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: cType = SQL_C_BINARY; break;
            default: cType = SQL_C_CHAR; break;
        }
    }
    std::int16_t status = 0;
    const void* b = p.buffer;
    auto read = [b](auto v) {
        std::memcpy(&v, b, sizeof v);
        return v;
    };
    switch (cType) {
        case SQL_C_CHAR: case SQL_C_WCHAR: {
            std::string text;
            if (cType == SQL_C_WCHAR) {
                SQLLEN units = length == SQL_NTS ? SQL_NTS : length / static_cast<SQLLEN>(sizeof(SQLWCHAR));
                text = Utf16ToUtf8(static_cast<const SQLWCHAR*>(b), units);
            } else {
                text = length == SQL_NTS ? std::string(static_cast<const char*>(b))
                                         : std::string(static_cast<const char*>(b), static_cast<std::size_t>(length));
            }
            std::int64_t digits = 0;
            switch (p.sqlType) {
                case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: case SQL_REAL:
                case SQL_FLOAT: case SQL_DOUBLE: case SQL_NUMERIC: case SQL_DECIMAL: {
                    FieldValue v = FieldValue::Text(text);
                    double real = 0;
                    std::int64_t whole = 0;
                    if (IntegerText(text, &whole)) status = QXSQLBindInteger(handle, number, whole);
                    else if (NumberOf(v, &real, &whole)) status = QXSQLBindReal(handle, number, real);
                    else return d.Fail("22018", "parameter " + std::to_string(number) + ": '" + text + "' is not a number");
                    break;
                }
                case SQL_TYPE_DATE: case SQL_DATE:
                    if (!DigitsOf(text, &digits)) return d.Fail("22007", "parameter " + std::to_string(number) + ": not a date");
                    status = QXSQLBindDate(handle, number, static_cast<std::int32_t>(digits / 10000),
                                           static_cast<std::int32_t>(digits / 100 % 100), static_cast<std::int32_t>(digits % 100));
                    break;
                case SQL_TYPE_TIME: case SQL_TIME:
                    if (!DigitsOf(text, &digits)) return d.Fail("22007", "parameter " + std::to_string(number) + ": not a time");
                    status = QXSQLBindTime(handle, number, static_cast<std::int32_t>(digits / 10000),
                                           static_cast<std::int32_t>(digits / 100 % 100), static_cast<std::int32_t>(digits % 100));
                    break;
                default:
                    status = QXSQLBindText(handle, number, text.data(), static_cast<std::int32_t>(text.size()));
                    break;
            }
            break;
        }
        case SQL_C_BINARY:
            status = QXSQLBindBinary(handle, number, b, static_cast<std::uint32_t>(std::max<SQLLEN>(length, 0)));
            break;
        case SQL_C_LONG: case SQL_C_SLONG: status = QXSQLBindInteger(handle, number, read(SQLINTEGER{})); break;
        case SQL_C_ULONG: status = QXSQLBindInteger(handle, number, read(SQLUINTEGER{})); break;
        case SQL_C_SHORT: case SQL_C_SSHORT: status = QXSQLBindInteger(handle, number, read(SQLSMALLINT{})); break;
        case SQL_C_USHORT: status = QXSQLBindInteger(handle, number, read(SQLUSMALLINT{})); break;
        case SQL_C_TINYINT: case SQL_C_STINYINT: status = QXSQLBindInteger(handle, number, read(SQLSCHAR{})); break;
        case SQL_C_UTINYINT: case SQL_C_BIT: status = QXSQLBindInteger(handle, number, read(SQLCHAR{})); break;
        case SQL_C_SBIGINT: status = QXSQLBindInteger(handle, number, read(SQLBIGINT{})); break;
        case SQL_C_UBIGINT: {
            SQLUBIGINT v = read(SQLUBIGINT{});
            status = v <= static_cast<SQLUBIGINT>(std::numeric_limits<std::int64_t>::max())
                         ? QXSQLBindInteger(handle, number, static_cast<std::int64_t>(v))
                         : QXSQLBindReal(handle, number, static_cast<double>(v));
            break;
        }
        case SQL_C_DOUBLE: status = QXSQLBindReal(handle, number, read(double{})); break;
        case SQL_C_FLOAT: status = QXSQLBindReal(handle, number, read(float{})); break;
        case SQL_C_DATE: case SQL_C_TYPE_DATE: {
            auto v = read(SQL_DATE_STRUCT{});
            status = QXSQLBindDate(handle, number, v.year, v.month, v.day);
            break;
        }
        case SQL_C_TIME: case SQL_C_TYPE_TIME: {
            auto v = read(SQL_TIME_STRUCT{});
            status = QXSQLBindTime(handle, number, v.hour, v.minute, v.second);
            break;
        }
        case SQL_C_TIMESTAMP: case SQL_C_TYPE_TIMESTAMP: {
            auto v = read(SQL_TIMESTAMP_STRUCT{});
            status = p.sqlType == SQL_TYPE_TIME || p.sqlType == SQL_TIME
                         ? QXSQLBindTime(handle, number, v.hour, v.minute, v.second)
                         : QXSQLBindDate(handle, number, v.year, v.month, v.day);
            break;
        }
        default:
            return d.Fail("HYC00", "parameter " + std::to_string(number) + ": C type " + std::to_string(cType) +
                                       " is not supported");
    }
    return status == 0 ? SQL_SUCCESS : EngineError(handle, d);
}

}  // namespace qxodbc
