#include "interface/PreparedStatement.h"

#include <cstring>
#include <new>

#include "base/Interrupt.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "interface/SqlRequest.h"
#include "interface/ViewTables.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

ParameterUse UseOf(const ItemDescriptor* item) {
    if (item == nullptr) return ParameterUse::kAny;
    if (item->type == kFieldTextMemo || item->type == kFieldBinaryMemo) return ParameterUse::kMemo;
    switch (ValueClassOf(item->type)) {
        case kClassNumeric: return ParameterUse::kNumber;
        case kClassDate: return ParameterUse::kDate;
        case kClassTime: return ParameterUse::kTime;
        case kClassText: return ParameterUse::kText;
        default: return ParameterUse::kAny;
    }
}

// Which kinds of value each use takes.  Numbers go into texts as their
// digits; texts into dates and times as written, as a literal would.
bool Fits(BoundKind kind, ParameterUse use) {
    switch (kind) {
        case BoundKind::kNull: return true;
        case BoundKind::kInteger:
        case BoundKind::kReal: return use == ParameterUse::kAny || use == ParameterUse::kNumber || use == ParameterUse::kText;
        case BoundKind::kText: return use != ParameterUse::kNumber;
        case BoundKind::kDate: return use == ParameterUse::kAny || use == ParameterUse::kDate || use == ParameterUse::kText;
        case BoundKind::kTime: return use == ParameterUse::kAny || use == ParameterUse::kTime || use == ParameterUse::kText;
        case BoundKind::kBinary: return use == ParameterUse::kAny || use == ParameterUse::kMemo;
    }
    return false;
}

const char* KindName(BoundKind kind) {
    static const char* const kEnglish[] = {"NULL", "integer", "real", "text", "date", "time", "binary"};
    static const char* const kFrench[] = {"NULL", "entière", "réelle", "texte", "date", "heure", "binaire"};
    return (EnglishMessages() ? kEnglish : kFrench)[static_cast<int>(kind)];
}

const char* UseName(ParameterUse use) {
    static const char* const kEnglish[] = {"any value", "a number", "a text", "a date", "a time", "a memo"};
    static const char* const kFrench[] = {"toute valeur", "un nombre", "un texte", "une date", "une heure", "un mémo"};
    return (EnglishMessages() ? kEnglish : kFrench)[static_cast<int>(use)];
}

}  // namespace

PreparedStatement::PreparedStatement(Compiled compiled, const char* text, std::uint16_t parameterCount,
                                     std::size_t compiledTables)
    : compiled_(std::move(compiled)), text_(text), values_(parameterCount), uses_(parameterCount, ParameterUse::kAny),
      compiledTables_(compiledTables) {
    if (compiled_.plan != nullptr) FindUses();
}

void PreparedStatement::FindUses() {
    const BoundStatement& statement = *compiled_.plan->statement;
    // The item on the other side of a parameter gives its use.
    auto note = [this](const BoundExpr* value, const BoundExpr* other) {
        if (value == nullptr || other == nullptr || value->kind != ExprKind::kParameter || value->slot >= uses_.size())
            return;
        if (other->kind == ExprKind::kItem) uses_[value->slot] = UseOf(other->item);
    };
    auto noteItem = [this](const BoundExpr* value, const ItemDescriptor* item) {
        if (value != nullptr && value->kind == ExprKind::kParameter && value->slot < uses_.size())
            uses_[value->slot] = UseOf(item);
    };
    TableRef* table = statement.table.empty() ? nullptr : FindTable(compiled_.plan->dictionary->tables, statement.table.c_str());
    if (table != nullptr && statement.kind == StatementKind::kInsert && !statement.HasQuery()) {
        // The values of each row go to the listed items, or to the table's items in order.
        for (const std::vector<std::unique_ptr<BoundExpr>>& row : statement.rows) {
            std::size_t next = 0;
            if (statement.hasColumnList) {
                for (std::size_t c = 0; c < statement.columns.size() && c < row.size(); ++c)
                    noteItem(row[c].get(), table->FindItem(statement.columns[c].c_str()));
                continue;
            }
            for (const std::unique_ptr<ItemDescriptor>& item : table->items) {
                if (item->keyKind == ItemDescriptor::kCompositeKey) continue;
                if (next >= row.size()) break;
                noteItem(row[next++].get(), item.get());
            }
        }
    }
    if (table != nullptr)
        for (const Assignment& assignment : statement.assignments)
            noteItem(assignment.value.get(), table->FindItem(assignment.column.c_str()));
    for (const std::unique_ptr<BoundSelect>& select : statement.selects)
        for (const PredicateGroup& group : select->groups)
            for (const BoundPredicate* p : group.predicates) {
                for (const BoundExpr* other : {p->right.get(), p->lower.get(), p->upper.get()}) {
                    note(other, p->left.get());
                    note(p->left.get(), other);
                }
                for (const std::unique_ptr<BoundExpr>& element : p->rows.list) note(element.get(), p->left.get());
            }
}

Status PreparedStatement::Bind(std::uint16_t number, BoundKind kind, Value value) {
    if (number < 1 || number > values_.size())
        return Error::Message(kMsgParameterNumber, static_cast<int>(number), static_cast<int>(values_.size()));
    std::size_t slot = number - 1u;
    if (!Fits(kind, uses_[slot]))
        return Error::Message(kMsgParameterMismatch, static_cast<int>(number), KindName(kind), UseName(uses_[slot]));
    if (!value.Has()) return Error::Message(kMsgOutOfMemory);
    if (value.Type() == kOperandText && std::memchr(value.Data(), '\0', static_cast<std::size_t>(value.Size()) - 1) != nullptr)
        return Error::Message(kMsgParameterZeroByte, static_cast<int>(number));
    values_[slot] = std::move(value);
    return Status();
}

void PreparedStatement::ClearValues() {
    for (Value& value : values_) value.Reset();
}

void PreparedStatement::ForgetRun(SqlRequest* request) {
    request->resultSet = nullptr;
    request->rowNumber = 0;
    if (compiled_.plan == nullptr) return;  // a compilation again that failed: the next run tries again
    QueryPlan& plan = *compiled_.plan;
    plan.status = Status();
    plan.resultSet = nullptr;
    plan.execution.reset();
    for (const std::unique_ptr<SelectBlock>& block : plan.blocks) {
        block->resultTable = nullptr;
        block->conditionResult = nullptr;
        block->everyRecord = false;
    }
    compiled_.evaluator->ForgetNestedRows();
    std::vector<std::unique_ptr<TableRef>>& tables = request->dictionary->tables;
    if (tables.size() > compiledTables_)
        tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(compiledTables_), tables.end());
}

Status PreparedStatement::Run(SqlRequest* request) {
    if (compiled_.transactionWord != 0)
        return HostBoundary(request->hostContext, TransactionOperation(compiled_.transactionWord));
    for (std::size_t slot = 0; slot < values_.size(); ++slot)
        if (!values_[slot].Has()) return Error::Message(kMsgParameterUnbound, static_cast<int>(slot + 1));
    MemoryBudget::Scope budgetScope(&request->budget);
    ForgetRun(request);
    request->budget.Start(StatementMemoryLimit());
    // Each run is a statement of its own: whole or absent.
    ForgetHostFailure();
    Status status = BeginStatement(request->hostContext, compiled_);
    if (status.ok()) {
        std::int32_t generation = SchemaGeneration(request->hostContext);
        if (generation != compiled_.schemaGeneration || compiled_.plan == nullptr)
            status = Recompile(request, generation);
    }
    if (status.ok()) {
        compiled_.evaluator->SetParameters(&values_);
        try {
            status = RefreshViews(request->hostContext, request->memoValues, compiled_.views);
            if (status.ok()) status = FailOnHostDamage(compiled_.plan->Execute());
        } catch (const std::bad_alloc&) {
            status = Error::Message(kMsgOutOfMemory);
        }
    }
    request->resultSet = compiled_.plan != nullptr ? compiled_.plan->resultSet : nullptr;
    FailOnMemory(request, status);
    FailOnInterrupt(request, status);
    if (!status.ok() && status.error().empty()) status = Error::Message(kMsgInternalError, "execution");
    return EndStatement(request->hostContext, compiled_, status);
}

Status PreparedStatement::Recompile(SqlRequest* request, std::int32_t generation) {
    // The plan reads the dictionary: the plan goes first.
    compiled_.Release();
    request->resultSet = nullptr;
    request->dictionary = std::make_unique<QueryDictionary>(request->hostContext, 0);
    std::string work = text_;  // the parser works on its own copy
    request->statement = work.data();
    Compiled fresh;
    std::uint16_t count = 0;
    Status status;
    try {
        status = Compile(request, fresh, &count);
    } catch (const std::bad_alloc&) {
        fresh.Release();
        status = Error::Message(kMsgOutOfMemory);
    }
    request->statement = nullptr;
    if (status.ok() && count != values_.size()) status = Error::Message(kMsgInternalError, "parameters");
    fresh.statementOpen = compiled_.statementOpen;
    fresh.schemaGeneration = generation;
    compiled_ = std::move(fresh);
    if (!status.ok()) return status;
    compiledTables_ = request->dictionary->tables.size();
    std::fill(uses_.begin(), uses_.end(), ParameterUse::kAny);
    FindUses();
    return status;
}

}  // namespace qx
