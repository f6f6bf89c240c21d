#include "interface/StatementStages.h"

#include <cstdio>
#include <memory>

#include "analysis/Binder.h"
#include "base/Interrupt.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "interface/SqlRequest.h"
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

}  // namespace

Compiled Compile(SqlRequest* request, Status& status, std::uint16_t* parameterCount) {
    Compiled compiled;
    auto bound = std::make_unique<BoundStatement>();
    {
        Parser parser;
        SyntaxNode* tree = nullptr;
        status = parser.Parse(request->statement, &tree);
        if (status.ok() && parameterCount != nullptr) *parameterCount = parser.parameterCount;
        if (status.ok() && parameterCount == nullptr && parser.parameterCount > 0)
            status = Error::Message(kMsgParametersNeedPrepare, static_cast<int>(parser.parameterCount));
        if (status.ok()) status = request->dictionary->AddNames(parser.names);
        if (status.ok()) status = request->dictionary->LoadDescriptions();
        if (status.ok()) status = Bind(tree, *request->dictionary, *bound);
    }
    if (!status.ok()) return compiled;
    compiled.plan = PlanStatement(request->dictionary.get(), std::move(bound));
    compiled.evaluator = std::make_unique<ExpressionEvaluator>(compiled.plan.get());
    compiled.plan->evaluator = compiled.evaluator.get();
    return compiled;
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

void FailOnInterrupt(SqlRequest* request, Status& status) {
    if (!InterruptRequested()) return;
    ClearInterrupt();
    status = Error::Message(kMsgInterrupted);
    DropResults(request);
}

}  // namespace qx
