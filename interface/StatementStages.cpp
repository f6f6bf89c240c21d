#include "interface/StatementStages.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "analysis/Binder.h"
#include "base/Interrupt.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "interface/SqlRequest.h"
#include "interface/ViewTables.h"
#include "parser/NodeKinds.h"
#include "parser/Parser.h"
#include "parser/SyntaxNode.h"

namespace qx {
namespace {

// "512 MB", "1 GB", "1536 KB", "1000 bytes" (French units in French).
void FormatByteSize(std::uint64_t bytes, char* out, std::size_t capacity) {
    bool english = EnglishMessages() != 0;
    struct Unit {
        std::uint64_t size;
        const char* english;
        const char* french;
    } const units[] = {{1ULL << 30, "GB", "Go"}, {1ULL << 20, "MB", "Mo"}, {1ULL << 10, "KB", "Ko"}, {1, "bytes", "octets"}};
    for (const Unit& unit : units) {
        if (bytes % unit.size == 0 || unit.size == 1) {
            std::snprintf(out, capacity, "%llu %s", static_cast<unsigned long long>(bytes / unit.size),
                          english ? unit.english : unit.french);
            return;
        }
    }
}

// The table a statement writes into, which no view may stand for: that of
// INSERT, UPDATE, DELETE and CREATE INDEX; "" for the others.
std::string ChangedTable(const SyntaxNode* statement) {
    if (statement == nullptr || statement->child == nullptr) return std::string();
    switch (statement->kind) {
        case FON_REQUETE_INSERT_ENREG:
        case FON_REQUETE_MIS_A_JOUR_ENREG:
        case FON_REQUETE_SUPPRESSION_ENREG: return statement->child->text;
        case FON_REQUETE_CREATION_INDEX:
            return statement->child->next != nullptr ? statement->child->next->text : std::string();
        default: return std::string();
    }
}

}  // namespace

Status Compile(SqlRequest* request, Compiled& compiled, std::uint16_t* parameterCount, bool openStatement) {
    Status status;
    auto bound = std::make_unique<BoundStatement>();
    {
        Parser parser;
        SyntaxNode* tree = nullptr;
        status = parser.Parse(request->statement, &tree);
        if (!status.ok()) return status;
        if (tree != nullptr &&
            (tree->aux == kBeginStatement || tree->aux == kCommitStatement || tree->aux == kRollbackStatement)) {
            compiled.transactionWord = tree->aux;
            return status;
        }
        if (parameterCount != nullptr) *parameterCount = parser.parameterCount;
        if (parameterCount == nullptr && parser.parameterCount > 0)
            return Error::Message(kMsgParametersNeedPrepare, static_cast<int>(parser.parameterCount));
        const SyntaxNode* statement = tree != nullptr ? tree->child : nullptr;
        compiled.writes = statement != nullptr && tree->aux != kExplainStatement &&
                          statement->kind != FON_REQUETE_SELECTION;
        if (openStatement) status = BeginStatement(request->hostContext, compiled);
        if (status.ok() && compiled.statementOpen) compiled.schemaGeneration = SchemaGeneration(request->hostContext);
        // CREATE VIEW's SELECT is compiled on its own, below: its names are not this statement's.
        bool createsView = statement != nullptr && statement->kind == FON_REQUETE_CREATION_VUE;
        if (status.ok() && !createsView) status = request->dictionary->AddNames(parser.names);
        if (status.ok() && !createsView) {
            ViewContext views;
            views.hostContext = request->hostContext;
            views.memoValues = request->memoValues;
            bool prepared = parameterCount != nullptr;
            views.rows = tree->aux == kExplainStatement || prepared ? ViewContext::Rows::kDescribe
                                                                    : ViewContext::Rows::kCompute;
            if (prepared) views.read = &compiled.views;
            views.changed = ChangedTable(statement);
            status = request->dictionary->LoadDescriptions(ViewResolver(std::move(views)));
        }
        if (status.ok()) status = Bind(tree, *request->dictionary, *bound);
        if (status.ok() && createsView) status = CheckNewView(request->hostContext, request->memoValues, *bound);
    }
    if (!status.ok()) return status;
    compiled.plan = PlanStatement(request->dictionary.get(), std::move(bound));
    compiled.evaluator = std::make_unique<ExpressionEvaluator>(compiled.plan.get());
    compiled.plan->evaluator = compiled.evaluator.get();
    return status;
}

Status HostBoundary(std::uint16_t hostContext, std::int32_t operation) {
    OTRANSACTION_t transaction = Host().transaction;
    if (transaction == nullptr) {
        if (operation <= OBHOST_TX_UNDO_STATEMENT || operation == OBHOST_TX_BEGIN_WRITING_STATEMENT) return Status();
        return Error::Message(kMsgNoTransactions);
    }
    switch (std::int32_t answer = transaction(hostContext, operation)) {
        case OBHOST_TX_OK: return Status();
        case OBHOST_TX_BUSY: return Error::Message(kMsgDatabaseBusy);
        case OBHOST_TX_NESTED: return Error::Message(kMsgTransactionOpen);
        case OBHOST_TX_NO_TRANSACTION: return Error::Message(kMsgNoTransaction);
        default: return Error::Message(kMsgChangesNotSettled, static_cast<int>(answer));
    }
}

std::int32_t TransactionOperation(std::int32_t word) {
    switch (word) {
        case kBeginStatement: return OBHOST_TX_BEGIN;
        case kCommitStatement: return OBHOST_TX_COMMIT;
        default: return OBHOST_TX_ROLLBACK;
    }
}

std::int32_t SchemaGeneration(std::uint16_t hostContext) {
    OTRANSACTION_t transaction = Host().transaction;
    return transaction != nullptr ? transaction(hostContext, OBHOST_TX_SCHEMA_GENERATION) : -1;
}

Status BeginStatement(std::uint16_t hostContext, Compiled& compiled) {
    Status status =
        HostBoundary(hostContext, compiled.writes ? OBHOST_TX_BEGIN_WRITING_STATEMENT : OBHOST_TX_BEGIN_STATEMENT);
    compiled.statementOpen = status.ok();
    return status;
}

Status EndStatement(std::uint16_t hostContext, Compiled& compiled, Status status) {
    if (!compiled.statementOpen) return status;
    compiled.statementOpen = false;
    Status ended = HostBoundary(hostContext, status.ok() ? OBHOST_TX_END_STATEMENT : OBHOST_TX_UNDO_STATEMENT);
    return status.ok() ? ended : status;
}

void DropResults(SqlRequest* request) {
    request->resultSet = nullptr;
    for (const std::unique_ptr<TableRef>& table : request->dictionary->tables)
        if (table->IsMemoryTable()) table->ReleaseRows();
}

void FailOnMemory(SqlRequest* request, Status& status) {
    if (!request->budget.Exceeded()) {
        if (request->budget.AllocationRefused()) status = Error::Message(kMsgOutOfMemory);
        return;
    }
    char limit[48];
    FormatByteSize(request->budget.Limit(), limit, sizeof limit);
    status = Error::Text(MessageText(kMsgStatementMemory, limit), kSqlStateOutOfMemory);
    DropResults(request);
}

Status FailOnHostDamage(Status status) {
    std::string text;
    bool pending = TakeHostFailure(text);
    std::string message = TakeHostMessage();
    // A read that failed on the host's account keeps the number and SQLSTATE of its message.
    if (!message.empty() &&
        (pending || (!status.ok() && MessageText(kMsgFileEngine, message.c_str()) == std::string(status.error().text()))))
        return Error::Message(kMsgFileEngine, message.c_str());
    if (status.ok() && pending) return Error::Text(text.c_str(), MessageState(kMsgFileEngine));
    return status;
}

bool RowReadWell(SqlRequest* request) {
    std::string text;
    if (!TakeHostFailure(text)) return true;
    TakeHostMessage();
    SetRequestError(request, text.c_str(), MessageState(kMsgFileEngine));
    request->errorNumber = kMsgFileEngine;
    return false;
}

void FailOnInterrupt(SqlRequest* request, Status& status) {
    if (!InterruptRequested()) return;
    ClearInterrupt();
    status = Error::Message(kMsgInterrupted);
    DropResults(request);
}

}  // namespace qx
