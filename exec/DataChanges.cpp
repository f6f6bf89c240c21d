#include "exec/DataChanges.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/RecordTupleSet.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

const char* InsertValuesIncorrect() {
    return EnglishMessages() ? "Error in INSERT: the values given are incorrect"
                             : "Erreur pour INSERT: les valeurs spécifiées sont incorrectes";
}
const char* UpdateValuesIncorrect() {
    return EnglishMessages() ? "Error in UPDATE: the values given are incorrect"
                             : "Erreur pour UPDATE: les valeurs spécifiées sont incorrectes";
}
const char* UpdateSelectionValuesIncorrect() {
    return EnglishMessages() ? "Incorrect values in UPDATE" : "Valeurs pour UPDATE incorrectes";
}

TableRef* TableOf(QueryPlan& plan) {
    if (plan.statement->table.empty() || plan.dictionary == nullptr) return nullptr;
    const char* name = plan.statement->table.c_str();
    TableRef* table = FindTable(plan.dictionary->tables, name);
    if (table == nullptr || table->record == nullptr) plan.SetError(MessageText(kMsgUnknownTable, name), nullptr);
    return table;
}

// Reports a host write failure from the table's error text.
void WriteFailed(QueryPlan& plan, TableRef& table, const char* state) { plan.SetError(table.errorText.Get(), state); }

// Reads record `n` exactly (a number without a live record gives 0).
std::int32_t ReadExactly(TableRef& table, std::int64_t n) {
    std::int32_t read = table.ReadFrom(n);
    return read == n ? read : (read < 0 ? read : 0);
}

// Changes the records selected by block 0: UPDATE with its SET entries, or DELETE.
void ApplyToSelection(SelectBlock& block, QueryPlan& plan, bool update) {
    const ConditionResult* selection = block.conditionResult;
    TableRef* table = block.select->tables.empty() ? nullptr : block.select->tables.front();
    if (selection == nullptr || selection->tuples == nullptr || table == nullptr) return;
    const RecordTupleSet& tuples = *selection->tuples;
    int column = tuples.ColumnIndex(table->name.Get());
    if (column < 0) return;
    bool writeFailed = false;
    for (std::int32_t t = 1; t < tuples.rowEnd && !writeFailed; ++t) {
        std::uint32_t number = tuples.At(t, column);
        std::int32_t read = ReadExactly(*table, number);
        if (read < 0) {
            block.SetError(MessageText(kMsgReadWriteError, table->name.Get(), static_cast<int>(-read)));
            return;
        }
        if (read == 0) continue;  // no longer a live record
        if (update) {
            if (!ApplyAssignments(*table, plan)) {
                block.SetError(UpdateSelectionValuesIncorrect());
                return;
            }
            writeFailed = table->WriteRecord(read) != TableRef::kWriteOk;
        } else {
            writeFailed = table->WriteRecord(-1) != TableRef::kWriteOk;
        }
    }
    if (writeFailed) block.SetError(table->errorText.Get());
}

// UPDATE or DELETE: with WHERE through the selection, else over every record.
void ChangeRecords(QueryPlan& plan, bool update) {
    TableRef* table = TableOf(plan);
    if (table == nullptr) return;
    if (!plan.statement->HasQuery()) {
        bool ok = true;
        for (std::int64_t n = 0;;) {
            std::int32_t read = table->ReadFrom(n + 1);
            if (read < 0) {
                plan.SetError(MessageText(kMsgReadWriteError, table->name.Get(), static_cast<int>(-read)), nullptr);
                return;
            }
            if (read == 0) break;
            n = read;
            if (update && !(ok = ApplyAssignments(*table, plan) != 0)) break;
            // A failed write does not stop the walk; the last failure is reported.
            if (table->WriteRecord(update ? read : -1) != TableRef::kWriteOk) WriteFailed(plan, *table, nullptr);
        }
        if (!ok) plan.SetError(UpdateValuesIncorrect(), "S1000");
        return;
    }
    // With WHERE, planning made the selection "SELECT * FROM table WHERE
    // condition": run it, then change what it selected.
    plan.RunSelect();
    if (!plan.status.ok()) return;
    if (SelectBlock* block = plan.Block(0)) ApplyToSelection(*block, plan, update);
}

// INSERT ... SELECT: runs the SELECT, then inserts each of its rows, the
// result columns going to the listed items (or the table's items in order).
void InsertSelection(QueryPlan& plan, TableRef& table) {
    plan.RunSelect();
    TableRef* rows = plan.resultSet;
    plan.resultSet = nullptr;
    if (!plan.status.ok() || rows == nullptr || rows->items.empty()) return;

    std::vector<ItemDescriptor*> targets;
    try {
        if (plan.statement->hasColumnList) {
            for (const std::string& column : plan.statement->columns) targets.push_back(table.FindItem(column.c_str()));
        } else {
            for (const std::unique_ptr<ItemDescriptor>& item : table.items)
                if (item->keyKind != ItemDescriptor::kCompositeKey) targets.push_back(item.get());
        }
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        plan.SetError(MessageText(kMsgOutOfMemory), nullptr);
        return;
    }
    for (std::int32_t r = 1; r <= rows->rowCount; ++r) {
        rows->ReadFrom(r);
        std::memset(table.record, 0, table.recordSize);
        for (std::size_t j = 0; j < targets.size(); ++j) {
            ItemDescriptor* source = rows->ItemAt(j);
            if (source == nullptr || targets[j] == nullptr) continue;
            const void* value = ReadCell(source, nullptr);
            if (value == nullptr && source->keyKind != ItemDescriptor::kCompositeKey) {
                // No buffer for the value: stop before a record goes out with a hole in it.
                plan.SetError(MessageText(kMsgOutOfMemory), nullptr);
                return;
            }
            if (value == nullptr) continue;
            std::int16_t type = ValueClassOf(source->type) == kClassNumeric ? kOperandDouble : kOperandText;
            WriteValue(targets[j], type, value);
        }
        std::int16_t code = table.WriteRecord(0);
        if (code == TableRef::kWriteDuplicate) return WriteFailed(plan, table, "23000");
        if (code != TableRef::kWriteOk) return WriteFailed(plan, table, nullptr);
    }
}

}  // namespace

std::int16_t StoreValue(QueryPlan& plan, const BoundExpr* value, ItemDescriptor* item) {
    if (value == nullptr || item == nullptr) return 0;
    // DEFAULT and NULL store the item's empty value: 0 or an empty text.
    if (value->kind == ExprKind::kDefault) {
        double zero = 0;
        if (ValueClassOf(item->type) == kClassNumeric) WriteCell(item, &zero);
        else WriteCell(item, "");
        return 1;
    }
    if (value->kind == ExprKind::kText) {
        WriteValue(item, kOperandText, value->text.c_str());
        return 1;
    }
    if (plan.evaluator == nullptr) return 0;
    Value computed = plan.evaluator->Evaluate(*value, {});
    if (!computed.Has()) return 0;
    WriteValue(item, computed.Type(), computed.Data());
    return 1;
}

std::int16_t ApplyAssignments(TableRef& table, QueryPlan& plan) {
    for (const Assignment& assignment : plan.statement->assignments) {
        ItemDescriptor* item = table.FindItem(assignment.column.c_str());
        if (item == nullptr) continue;  // not an item of the table: skipped
        if (!StoreValue(plan, assignment.value.get(), item)) return 0;
    }
    return 1;
}

void ExecuteInsert(QueryPlan& plan) {
    TableRef* table = TableOf(plan);
    if (table == nullptr) return;
    const BoundStatement& statement = *plan.statement;
    // A new record starts from zeros: nothing of an earlier read leaks into it.
    if (statement.HasQuery()) {
        std::memset(table->record, 0, table->recordSize);
        return InsertSelection(plan, *table);
    }
    if (!statement.hasValues) return;
    std::memset(table->record, 0, table->recordSize);

    bool stored = true;
    std::size_t next = 0;  // the next value
    if (statement.hasColumnList) {
        for (std::size_t c = 0; c < statement.columns.size() && next < statement.values.size() && stored; ++c, ++next) {
            ItemDescriptor* item = table->FindItem(statement.columns[c].c_str());
            if (item != nullptr) stored = StoreValue(plan, statement.values[next].get(), item) != 0;
        }
    } else {
        for (std::size_t i = 0; i < table->items.size() && next < statement.values.size() && stored; ++i) {
            ItemDescriptor* item = table->items[i].get();
            // A composite key has no bytes of its own and takes no value.
            if (item->keyKind == ItemDescriptor::kCompositeKey) continue;
            stored = StoreValue(plan, statement.values[next++].get(), item) != 0;
        }
    }
    if (!stored) {
        plan.SetError(InsertValuesIncorrect(), "S1000");
        return;
    }
    std::int16_t code = table->WriteRecord(0);
    if (code == TableRef::kWriteDuplicate) WriteFailed(plan, *table, "23000");
    else if (code != TableRef::kWriteOk) WriteFailed(plan, *table, nullptr);
}

void ExecuteUpdate(QueryPlan& plan) { ChangeRecords(plan, true); }

void ExecuteDelete(QueryPlan& plan) { ChangeRecords(plan, false); }

}  // namespace qx
