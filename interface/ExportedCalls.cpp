// The engine's exported calls: the request pipeline of QXSQLExecReq, the
// fetch and read calls over a result, errors, release, instance start-up
// and the memo reference calls.  Everything else in the library is hidden.
//
// QXSQLExecReq runs: memo scan -> Parser -> the dictionary view (AddNames,
// LoadDescriptions) -> Bind -> PlanStatement (ExecInfo.compiled = 1) -> Execute.  Each
// stage returns a Status; the pipeline stops at the first failure and
// records it on the request, once.  The request's memory budget is the
// current one for the whole call.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "analysis/Binder.h"
#include "base/Interrupt.h"
#include "base/MemoryBlock.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "catalog/Context.h"
#include "catalog/HostLink.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/ResultColumns.h"
#include "interface/SqlRequest.h"
#include "interface/StatementStages.h"
#include "obsqleng.h"
#include "parser/NodeKinds.h"
#include "parser/Parser.h"
#include "parser/SyntaxNode.h"
#include "planner/QueryPlan.h"
#include "platform/Cursor.h"
#include "platform/MessageSink.h"

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace qx {
namespace {

SqlRequest* FromHandle(std::uintptr_t handle) { return reinterpret_cast<SqlRequest*>(handle); }

// Shows the wait cursor for the life of a call and restores the previous one.
class WaitCursor {
public:
    WaitCursor() {
        platform::CursorHandle wait = platform::LoadWaitCursor();
        if (wait != nullptr) {
            previous_ = platform::SetCurrentCursor(wait);
            active_ = true;
        }
    }
    ~WaitCursor() {
        if (active_) platform::SetCurrentCursor(previous_);
    }

private:
    platform::CursorHandle previous_ = nullptr;
    bool active_ = false;
};

}  // namespace

std::int16_t ExecRequest(std::uintptr_t* handleOut, const char* statement, ExecInfo* info,
                         std::uint16_t hostContext, std::uintptr_t memoValues) {
    WaitCursor cursor;
    ClearInterrupt();  // a request made while no statement ran is forgotten
    ForgetHostFailure();
    if (info != nullptr) info->compiled = 0;
    if (handleOut == nullptr) return -1;
    if (statement == nullptr) statement = "";
    std::size_t length = strnlen(statement, kMaxStatementLength + 1);
    bool tooLong = length > kMaxStatementLength;
    // Memo references ("{OBMemoBinaire(...)}") are replaced in place by markers of
    // another length: only a statement that may hold one needs room to spare.
    std::uint32_t capacity = tooLong                                       ? 2
                             : std::memchr(statement, '{', length) != nullptr ? kStatementBufferSize
                                                                           : static_cast<std::uint32_t>(length + 2);
    char* buffer = static_cast<char*>(AllocLargeBlock(capacity));
    if (buffer == nullptr) return -1;
    if (!tooLong) {
        std::memcpy(buffer, statement, length);
        std::memcpy(buffer + length, ";", 2);
    }

    *handleOut = 0;
    void* block = AllocBlock(sizeof(SqlRequest));
    if (block == nullptr) {
        FreeBlock(buffer);
        return -1;
    }
    auto* request = new (block) SqlRequest();
    request->statement = buffer;
    request->hostContext = hostContext;
    request->memoValues = memoValues;
    std::memcpy(request->sqlState, "-----", 6);
    try {
        request->dictionary = std::make_unique<QueryDictionary>(hostContext, memoValues);
    } catch (const std::bad_alloc&) {
    }
    if (request->dictionary == nullptr) {
        request->~SqlRequest();
        FreeBlock(request);
        FreeBlock(buffer);
        return -1;
    }
    *handleOut = reinterpret_cast<std::uintptr_t>(request);
    request->budget.Start(StatementMemoryLimit());
    MemoryBudget::Scope budgetScope(&request->budget);

    std::int16_t result = -1;
    Status status;
    Compiled compiled;
    if (tooLong) {
        char reason[96];
        std::snprintf(reason, sizeof reason,
                      EnglishMessages() ? "statement longer than %u bytes" : "instruction de plus de %u octets",
                      static_cast<unsigned>(kMaxStatementLength));
        status = Error::Message(kMsgInternalError, reason);
    } else {
        if (ReplaceMemoReferences(buffer, capacity)) {
            try {
                status = Compile(request, compiled, nullptr, true);
            } catch (const std::bad_alloc&) {
                compiled.Release();
                status = Error::Message(kMsgOutOfMemory);
            }
        } else {
            char reason[96];
            std::snprintf(reason, sizeof reason,
                          EnglishMessages() ? "more than %d memo parameters" : "plus de %d paramètres mémo",
                          static_cast<int>(kMaxMemoEntries));
            status = Error::Message(kMsgInternalError, reason);
        }
        FailOnMemory(request, status);
        // A stage that failed without saying why still must not leave an empty error.
        if (!status.ok() && status.error().empty()) status = Error::Message(kMsgInternalError, "compilation");
    }

    if (status.ok() && compiled.transactionWord != 0) {
        if (info != nullptr) info->compiled = 1;
        status = HostBoundary(hostContext, TransactionOperation(compiled.transactionWord));
    } else if (status.ok()) {
        if (info != nullptr) info->compiled = 1;
        // The statement is whole or absent: the host undoes its changes when it fails.
        try {
            status = FailOnHostDamage(compiled.plan->Execute());
        } catch (const std::bad_alloc&) {
            status = Error::Message(kMsgOutOfMemory);
        }
        request->resultSet = compiled.plan->resultSet;
        compiled.Release();
        FailOnMemory(request, status);
        FailOnInterrupt(request, status);
    }
    bool succeeded = status.ok();
    status = EndStatement(hostContext, compiled, status);
    if (succeeded && !status.ok()) DropResults(request);
    compiled.Release();
    RecordError(request, status);
    if (RequestOk(request)) {
        if (request->resultSet != nullptr) {
            if (info != nullptr) {
                char* text = reinterpret_cast<char*>(info) + offsetof(ExecInfo, columnText);
                info->columnCount = WriteColumnDescription(request->resultSet, text);
                info->rowCount = ResultRowCount(request->resultSet);
            }
        } else if (info != nullptr) {
            info->columnCount = 0;
            info->rowCount = 0;
        }
        result = 0;
    }
    request->statement = nullptr;
    FreeBlock(buffer);
    return result;
}

std::int16_t FetchNext(std::uintptr_t handle) {
    SqlRequest* request = FromHandle(handle);
    if (request == nullptr || request->resultSet == nullptr) return -1;
    ++request->rowNumber;
    return FetchResultRow(request->resultSet, request->rowNumber) < 1 ? -1 : 0;
}

std::int16_t ValLine(std::uintptr_t handle, const char* separator, char* out) {
    SqlRequest* request = FromHandle(handle);
    if (request == nullptr || request->resultSet == nullptr) return -1;
    if (out == nullptr) return -1;
    WriteResultLine(request->resultSet, separator != nullptr ? separator : "\t", out);
    return RowReadWell(request) ? 0 : -1;
}

std::int16_t GetLongData(std::uintptr_t handle, std::uint16_t column, std::uintptr_t* valueOut) {
    WaitCursor cursor;
    std::uintptr_t value = 0;
    std::int16_t result = -1;
    SqlRequest* request = FromHandle(handle);
    if (request != nullptr && request->resultSet != nullptr)
        result = ResultMemoHandle(request->resultSet, column, &value);
    if (request != nullptr && !RowReadWell(request)) result = -1;
    if (valueOut != nullptr) *valueOut = value;
    return result;
}

std::int16_t Erreur(std::uintptr_t handle, char* textOut, char* stateOut) {
    SqlRequest* request = FromHandle(handle);
    if (request == nullptr) return -1;
    if (textOut != nullptr) std::memcpy(textOut, request->errorText, std::strlen(request->errorText) + 1);
    if (stateOut != nullptr) std::memcpy(stateOut, RequestOk(request) ? "00000" : request->sqlState, 6);
    return 0;
}

std::int32_t FinRequete(std::uintptr_t handle) {
    SqlRequest* request = FromHandle(handle);
    if (request == nullptr) return -1;
    request->~SqlRequest();  // the dictionary and the result table go with it
    return FreeBlock(request) ? 0 : -1;
}

}  // namespace qx

QX_EXPORT int16_t QXSQLExecReq(uintptr_t* handleOut, const char* statement, ExecInfo* info,
                               uint16_t hostContext, uintptr_t memoValues) {
    return qx::ExecRequest(handleOut, statement, info, hostContext, memoValues);
}
QX_EXPORT int16_t QXSQLFetchNext(uintptr_t handle) { return qx::FetchNext(handle); }
QX_EXPORT int16_t QXSQLValLine(uintptr_t handle, const char* separator, char* out) {
    return qx::ValLine(handle, separator, out);
}
QX_EXPORT int16_t QXSQLGetLongData(uintptr_t handle, uint16_t column, uintptr_t* valueOut) {
    return qx::GetLongData(handle, column, valueOut);
}
QX_EXPORT int16_t QXSQLErreur(uintptr_t handle, char* textOut, char* stateOut) {
    return qx::Erreur(handle, textOut, stateOut);
}
QX_EXPORT int32_t QXSQLFinRequete(uintptr_t handle) { return qx::FinRequete(handle); }

QX_EXPORT void QXSQLInterrupt(void) { qx::RequestInterrupt(); }
QX_EXPORT int16_t QXSQLSetStrict(uint16_t hostContext, int16_t mode) {
    return static_cast<int16_t>(qx::SetStrictValues(hostContext, mode));
}
QX_EXPORT void QXSQLSetMessageSink(QXSQLMessageSink sink, void* context) {
    qx::platform::SetMessageSink(sink, context);
}

QX_EXPORT int16_t OB4InitInstance(uint32_t, const void* moduleTable) { return qx::InitInstance(moduleTable); }
QX_EXPORT void OBSQLFinInstance(uint32_t) { qx::EndInstance(); }

QX_EXPORT void* QXSQL_OBMS_Alloc(void) { return qx::NewMemoContext(); }
QX_EXPORT void QXSQL_OBMS_Free(void* context) { qx::FreeMemoContext(static_cast<qx::MemoContext*>(context)); }
QX_EXPORT int32_t QXSQL_OBMS_Scan(void* context, const char* statement) {
    return qx::ScanMemoReferences(static_cast<qx::MemoContext*>(context), statement);
}
QX_EXPORT int32_t QXSQL_OBMS_GetMemoInfo(void* context, int32_t index, char* name, uint32_t capacity,
                                         int32_t* kind) {
    return qx::GetMemoInfo(static_cast<qx::MemoContext*>(context), index, name, capacity, kind);
}
QX_EXPORT int32_t QXSQL_OBMS_ReplaceMemo(void* context, char* statement, int32_t index,
                                         const char* replacement, uint32_t capacity) {
    return qx::ReplaceMemo(static_cast<qx::MemoContext*>(context), statement, index, replacement, capacity);
}
