// The exported calls of prepared statements: prepare, bind, run, reset, and
// the typed read of a result column (which serves every request handle).
// A prepared handle is a request like any other; only its plan outlives
// the call that made it (SqlRequest::prepared).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/Interrupt.h"
#include "base/MemoryBlock.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "exec/ResultColumns.h"
#include "interface/PreparedStatement.h"
#include "interface/SqlRequest.h"
#include "interface/StatementStages.h"
#include "obsqleng.h"
#include "values/FieldType.h"
#include "values/FixedPoint.h"
#include "values/Transfor.h"

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace qx {
namespace {

SqlRequest* FromHandle(std::uintptr_t handle) { return reinterpret_cast<SqlRequest*>(handle); }

// Records `status` on the request: 0 when it is ok (the request's error
// cleared), else -1.
std::int16_t Outcome(SqlRequest* request, const Status& status) {
    if (status.ok()) {
        SetRequestError(request, "", nullptr);
        return 0;
    }
    RecordError(request, status);
    return -1;
}

std::int16_t Prepare(std::uintptr_t* handleOut, const char* statement, std::uint16_t hostContext,
                     std::uint16_t* parameterCount) {
    ClearInterrupt();
    if (parameterCount != nullptr) *parameterCount = 0;
    if (handleOut == nullptr) return -1;
    *handleOut = 0;
    if (statement == nullptr) statement = "";
    void* block = AllocBlock(sizeof(SqlRequest));
    if (block == nullptr) return -1;
    auto* request = new (block) SqlRequest();
    std::memcpy(request->sqlState, "-----", 6);
    request->hostContext = hostContext;
    try {
        request->dictionary = std::make_unique<QueryDictionary>(hostContext, 0);
    } catch (const std::bad_alloc&) {
    }
    char* buffer = request->dictionary != nullptr ? static_cast<char*>(AllocLargeBlock(kStatementBufferSize)) : nullptr;
    if (buffer == nullptr) {
        request->~SqlRequest();
        FreeBlock(request);
        return -1;
    }
    *handleOut = reinterpret_cast<std::uintptr_t>(request);
    request->budget.Start(StatementMemoryLimit());
    MemoryBudget::Scope budgetScope(&request->budget);

    Status status;
    std::size_t length = strnlen(statement, kMaxStatementLength + 1);
    if (length > kMaxStatementLength) {
        status = Error::Message(kMsgInternalError, EnglishMessages() ? "statement too long" : "instruction trop longue");
    } else {
        std::memcpy(buffer, statement, length);
        std::memcpy(buffer + length, ";", 2);
        request->statement = buffer;
        std::uint16_t count = 0;
        // Compiled inside a statement, so that the tables are read as they are now and the
        // host's count of definition changes is known.
        Compiled compiled;
        try {
            status = Compile(request, compiled, &count, true);
        } catch (const std::bad_alloc&) {
            compiled.Release();
            status = Error::Message(kMsgOutOfMemory);
        }
        status = EndStatement(hostContext, compiled, status);
        try {
            if (status.ok()) {
                request->prepared = std::make_unique<PreparedStatement>(std::move(compiled), buffer, count,
                                                                        request->dictionary->tables.size());
                if (parameterCount != nullptr) *parameterCount = count;
            }
        } catch (const std::bad_alloc&) {
            request->prepared.reset();
            status = Error::Message(kMsgOutOfMemory);
        }
        FailOnMemory(request, status);
        if (!status.ok() && status.error().empty()) status = Error::Message(kMsgInternalError, "compilation");
    }
    request->statement = nullptr;
    FreeBlock(buffer);
    if (!status.ok()) request->prepared.reset();
    return Outcome(request, status);
}

// The prepared statement of a handle; null (with 4365 recorded) for a request that has none.
PreparedStatement* PreparedOf(SqlRequest* request) {
    if (request == nullptr) return nullptr;
    if (request->prepared == nullptr) RecordError(request, Error::Message(kMsgNotPrepared));
    return request->prepared.get();
}

std::int16_t BindValue(std::uintptr_t handle, std::uint16_t parameter, BoundKind kind, Value value) {
    SqlRequest* request = FromHandle(handle);
    PreparedStatement* prepared = PreparedOf(request);
    if (prepared == nullptr) return -1;
    return Outcome(request, prepared->Bind(parameter, kind, std::move(value)));
}

// A text of `length` bytes as an owned evaluator value (NUL added).
Value TextValue(const void* bytes, std::size_t length) {
    void* copy = AllocLargeBlock(static_cast<std::uint32_t>(length + 1));
    if (copy == nullptr) return Value();
    if (length > 0) std::memcpy(copy, bytes, length);
    static_cast<char*>(copy)[length] = '\0';
    return Value::Owned(kOperandText, static_cast<std::int32_t>(length + 1), copy);
}

std::int16_t BindText(std::uintptr_t handle, std::uint16_t parameter, BoundKind kind, const void* bytes,
                      std::size_t length) {
    if (bytes == nullptr && length > 0) return BindValue(handle, parameter, kind, Value());
    if (length >= 0x7FFFFFFF) length = 0x7FFFFFFE;
    return BindValue(handle, parameter, kind, TextValue(bytes, length));
}

std::int16_t BindDigits(std::uintptr_t handle, std::uint16_t parameter, BoundKind kind, std::int16_t type,
                        const char* digits) {
    std::size_t size = std::strlen(digits) + 1;
    return BindValue(handle, parameter, kind, Value::Inline(type, static_cast<std::int32_t>(size), digits));
}

std::int16_t Execute(std::uintptr_t handle, ExecInfo* info) {
    SqlRequest* request = FromHandle(handle);
    if (info != nullptr) info->compiled = 0;
    PreparedStatement* prepared = PreparedOf(request);
    if (prepared == nullptr) return -1;
    ClearInterrupt();
    if (info != nullptr) info->compiled = 1;
    Status status = prepared->Run(request);
    if (!status.ok()) DropResults(request);
    std::int16_t result = Outcome(request, status);
    if (result == 0 && info != nullptr) {
        info->columnCount = 0;
        info->rowCount = 0;
        if (request->resultSet != nullptr) {
            char* text = reinterpret_cast<char*>(info) + offsetof(ExecInfo, columnText);
            info->columnCount = WriteColumnDescription(request->resultSet, text);
            info->rowCount = ResultRowCount(request->resultSet);
        }
    }
    return result;
}

std::int16_t Reset(std::uintptr_t handle) {
    SqlRequest* request = FromHandle(handle);
    PreparedStatement* prepared = PreparedOf(request);
    if (prepared == nullptr) return -1;
    DropResults(request);
    request->rowNumber = 0;
    prepared->ClearValues();
    return Outcome(request, Status());
}

// Digits of a number of the integer range; false beyond it.
bool WholeNumber(double number, std::int64_t* out) {
    if (!(number >= -9.2e18 && number <= 9.2e18)) return false;
    *out = static_cast<std::int64_t>(number);
    return true;
}

std::int16_t ColumnValue(std::uintptr_t handle, std::uint16_t column, QXSQLValue* out) {
    static char text[kFixedPointTextCapacity + 8];
    SqlRequest* request = FromHandle(handle);
    if (out == nullptr) return -1;
    *out = QXSQLValue{QXSQL_TYPE_NONE, 0, 0, 0.0, ""};
    if (request == nullptr || request->resultSet == nullptr || column < 1) return -1;
    TableRef* result = request->resultSet;
    ItemDescriptor* item = result->ItemAt(static_cast<std::size_t>(column - 1));
    if (item == nullptr) return -1;
    std::int16_t valueClass = ValueClassOf(item->type);
    if (item->keyKind == ItemDescriptor::kCompositeKey || valueClass == kClassUnknown) return 0;
    const void* value = ReadCell(item, nullptr);
    if (value == nullptr || !RowReadWell(request)) return -1;
    if (valueClass == kClassNumeric) {
        std::memcpy(&out->real, value, sizeof out->real);
        bool integral = item->type != kFieldFloat && item->type != kFieldDouble && item->type != kFieldFixedPoint;
        if (item->type == kFieldFixedPoint && result->record != nullptr &&
            static_cast<std::uint32_t>(item->offset) + kFixedPointBytes <= result->recordSize) {
            out->type = QXSQL_TYPE_FIXED;
            FixedPointToText(result->record + item->offset, text);
            out->text = text;
            out->size = static_cast<std::uint32_t>(std::strlen(text));
        } else {
            out->type = integral && WholeNumber(out->real, &out->integer) ? QXSQL_TYPE_INTEGER : QXSQL_TYPE_REAL;
        }
        if (out->type != QXSQL_TYPE_INTEGER) WholeNumber(std::trunc(out->real), &out->integer);
        return 0;
    }
    out->text = static_cast<const char*>(value);
    out->size = static_cast<std::uint32_t>(std::strlen(out->text));
    out->type = QXSQL_TYPE_TEXT;
    if (item->type == kFieldTextMemo) out->type = QXSQL_TYPE_MEMO;
    if (item->type == kFieldBinaryMemo) out->type = QXSQL_TYPE_BINARY;
    if (valueClass == kClassDate || valueClass == kClassTime) {
        out->type = valueClass == kClassDate ? QXSQL_TYPE_DATE : QXSQL_TYPE_TIME;
        out->integer = std::strtoll(out->text, nullptr, 10);
        if (valueClass == kClassTime && out->size <= 4) out->integer *= 100;  // HHMM: no seconds
    }
    return 0;
}

}  // namespace
}  // namespace qx

QX_EXPORT int16_t QXSQLPrepare(uintptr_t* handleOut, const char* statement, uint16_t hostContext,
                               uint16_t* parameterCount) {
    return qx::Prepare(handleOut, statement, hostContext, parameterCount);
}
QX_EXPORT int16_t QXSQLBindInteger(uintptr_t handle, uint16_t parameter, int64_t value) {
    return qx::BindValue(handle, parameter, qx::BoundKind::kInteger, qx::Value::Double(static_cast<double>(value)));
}
QX_EXPORT int16_t QXSQLBindReal(uintptr_t handle, uint16_t parameter, double value) {
    return qx::BindValue(handle, parameter, qx::BoundKind::kReal, qx::Value::Double(value));
}
QX_EXPORT int16_t QXSQLBindText(uintptr_t handle, uint16_t parameter, const char* text, int32_t length) {
    std::size_t size = length >= 0 ? static_cast<std::size_t>(length) : text != nullptr ? std::strlen(text) : 0;
    return qx::BindText(handle, parameter, qx::BoundKind::kText, text, size);
}
QX_EXPORT int16_t QXSQLBindBinary(uintptr_t handle, uint16_t parameter, const void* bytes, uint32_t size) {
    return qx::BindText(handle, parameter, qx::BoundKind::kBinary, bytes, size);
}
QX_EXPORT int16_t QXSQLBindNull(uintptr_t handle, uint16_t parameter) {
    return qx::BindText(handle, parameter, qx::BoundKind::kNull, "", 0);
}
QX_EXPORT int16_t QXSQLBindDate(uintptr_t handle, uint16_t parameter, int32_t year, int32_t month, int32_t day) {
    char digits[16];
    if (year < 0 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) digits[0] = '\0';
    else std::snprintf(digits, sizeof digits, "%04d%02d%02d", year, month, day);
    return qx::BindDigits(handle, parameter, qx::BoundKind::kDate, qx::kOperandDate, digits);
}
QX_EXPORT int16_t QXSQLBindTime(uintptr_t handle, uint16_t parameter, int32_t hour, int32_t minute, int32_t second) {
    char digits[16];
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) digits[0] = '\0';
    else if (second == 0) std::snprintf(digits, sizeof digits, "%02d%02d", hour, minute);
    else std::snprintf(digits, sizeof digits, "%02d%02d%02d", hour, minute, second);
    return qx::BindDigits(handle, parameter, qx::BoundKind::kTime, qx::kOperandTime, digits);
}
QX_EXPORT int16_t QXSQLExecute(uintptr_t handle, ExecInfo* info) { return qx::Execute(handle, info); }
QX_EXPORT int16_t QXSQLReset(uintptr_t handle) { return qx::Reset(handle); }
QX_EXPORT int32_t QXSQLErrorNumber(uintptr_t handle) {
    const qx::SqlRequest* request = qx::FromHandle(handle);
    return request != nullptr ? request->errorNumber : 0;
}
QX_EXPORT int16_t QXSQLColumnValue(uintptr_t handle, uint16_t column, QXSQLValue* out) {
    return qx::ColumnValue(handle, column, out);
}
