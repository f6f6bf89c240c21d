// FieldValue: one value of a result row as the driver hands it out, read
// from the engine's typed column value (QXSQLColumnValue) or made by the
// catalog calls.  The engine has no NULL; a date never written (0) reads
// as NULL here, since IS NULL is true for it in SQL too.
#pragma once

#include <cstdint>
#include <string>

namespace qxodbc {

enum class FieldKind { kNull, kInteger, kReal, kDecimal, kText, kDate, kTime };

struct FieldValue {
    FieldKind kind = FieldKind::kNull;
    std::int64_t integer = 0;  // kInteger; kDate YYYYMMDD; kTime HHMMSS
    double real = 0.0;         // kReal, kDecimal
    std::string text;          // kText; kDecimal: its exact digits

    static FieldValue Null() { return {}; }
    static FieldValue Integer(std::int64_t v) { return {FieldKind::kInteger, v, static_cast<double>(v), {}}; }
    static FieldValue Text(std::string v) { return {FieldKind::kText, 0, 0.0, std::move(v)}; }
    bool IsNull() const { return kind == FieldKind::kNull; }
    // The value as text, the form SQL_C_CHAR gives: numbers in their
    // shortest exact form, dates YYYY-MM-DD, times HH:MM:SS.
    std::string AsText() const;
};

}  // namespace qxodbc
