#include "exec/DataChanges.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "catalog/Cell.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/RecordTupleSet.h"
#include "exec/StrictValues.h"
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
void WriteFailed(QueryPlan& plan, TableRef& table, const char* state) {
    plan.status = Error::Numbered(table.errorNumber, table.errorText.Get(), state);
}

// Reads record `n` exactly (a number without a live record gives 0).
std::int32_t ReadExactly(TableRef& table, std::int64_t n) {
    std::int32_t read = table.ReadFrom(n);
    return read == n ? read : (read < 0 ? read : 0);
}

// What a prepared value does to its item.
enum class Fill : std::uint8_t {
    kLeave,  // nothing: the item keeps the new record's zeros (a value left out, an unknown item)
    kEmpty,  // the item's empty value (DEFAULT, NULL)
    kValue,  // the value
};

// One value of a row about to be written, and its item.
struct PreparedValue {
    ItemDescriptor* item = nullptr;
    Fill fill = Fill::kLeave;
    Value value;
};

// The first error of a strict check in `plan`; false then.
bool Checked(QueryPlan& plan, const Status& status) {
    if (status.ok()) return true;
    plan.status = status;
    return false;
}

// The value of `expression` for `item` (its empty value for DEFAULT and NULL),
// checked under strict.  False (the error set) when it has no value or fails
// a check.
bool Prepare(QueryPlan& plan, const BoundExpr* expression, ItemValues row, bool strict, const char* table,
             PreparedValue& out, const char* incorrect, const char* incorrectState) {
    out.fill = Fill::kLeave;
    if (expression == nullptr || out.item == nullptr) return true;
    if (expression->kind == ExprKind::kDefault) {
        out.fill = Fill::kEmpty;
        return true;
    }
    Value computed;
    if (expression->kind == ExprKind::kText) {
        computed = Value::Borrowed(kOperandText, static_cast<std::int32_t>(expression->text.size() + 1),
                                   expression->text.c_str());
    } else if (plan.evaluator != nullptr) {
        computed = plan.evaluator->Evaluate(*expression, row);
    }
    if (!computed.Has()) {
        plan.SetError(incorrect, incorrectState);
        return false;
    }
    out.fill = Fill::kValue;
    if (!strict) {
        out.value = std::move(computed);
        return true;
    }
    return Checked(plan, CheckStrictValue(*out.item, table, computed, out.value));
}

void Store(const PreparedValue& prepared) {
    if (prepared.item == nullptr) return;
    if (prepared.fill == Fill::kEmpty) {
        double zero = 0;
        if (ValueClassOf(prepared.item->type) == kClassNumeric) WriteCell(prepared.item, &zero);
        else WriteCell(prepared.item, "");
    } else if (prepared.fill == Fill::kValue) {
        WriteValue(prepared.item, prepared.value.Type(), prepared.value.Data());
    }
}

// The item a value of the statement goes to, by its place among the values:
// the listed items (null for a name the table does not have), or the
// table's items in order.  Under strict an unknown item is an error.
bool TargetItems(QueryPlan& plan, TableRef& table, bool strict, std::vector<ItemDescriptor*>& targets) {
    const BoundStatement& statement = *plan.statement;
    if (statement.hasColumnList) {
        for (const std::string& column : statement.columns) {
            ItemDescriptor* item = table.FindItem(column.c_str());
            if (item == nullptr && strict) {
                plan.SetError(MessageText(kMsgUnknownTargetItem, table.name.Get(), column.c_str()), "42S22");
                return false;
            }
            targets.push_back(item);
        }
    } else {
        for (const std::unique_ptr<ItemDescriptor>& item : table.items)
            if (item->keyKind != ItemDescriptor::kCompositeKey) targets.push_back(item.get());
    }
    return true;
}

// The SET items of an UPDATE, by entry (null for a name the table does
// not have; under strict an error).
bool AssignedItems(QueryPlan& plan, TableRef& table, bool strict, std::vector<ItemDescriptor*>& items) {
    for (const Assignment& assignment : plan.statement->assignments) {
        ItemDescriptor* item = table.FindItem(assignment.column.c_str());
        if (item == nullptr && strict) {
            plan.SetError(MessageText(kMsgUnknownTargetItem, table.name.Get(), assignment.column.c_str()), "42S22");
            return false;
        }
        items.push_back(item);
    }
    return true;
}

// The values of the current record that SET expressions read, in their slots.
void ReadSetItems(const std::vector<ItemDescriptor*>& items, std::vector<ItemValue>& values) {
    values.clear();
    for (ItemDescriptor* item : items)
        values.push_back(ItemValue{EvaluationKind(item), static_cast<std::int32_t>(ValueBufferSize(item)),
                                   ReadCell(item, nullptr)});
}

// Under strict, two rows of one statement giving a unique item the same
// value: the bytes of each unique item are compared as the record holds them.
class UniqueValues {
public:
    explicit UniqueValues(const std::vector<ItemDescriptor*>& targets) {
        for (ItemDescriptor* item : targets)
            if (item != nullptr && item->keyKind == 1) keys_.push_back(Key{item, {}});
    }
    bool Empty() const { return keys_.empty(); }
    // Notes the current record's values; false (the error set) at a repeat.
    bool Note(QueryPlan& plan, TableRef& table) {
        for (Key& key : keys_) {
            const ItemDescriptor& item = *key.item;
            std::size_t end = static_cast<std::size_t>(item.offset) + item.size;
            if (end > table.recordSize) continue;
            std::string bytes(reinterpret_cast<const char*>(table.record) + item.offset, item.size);
            if (key.seen.insert(std::move(bytes)).second) continue;
            const void* shown = ReadCell(key.item, nullptr);
            char number[kNumberTextCapacity] = "";
            if (shown != nullptr && ValueClassOf(item.type) == kClassNumeric)
                WriteNumber(number, *static_cast<const double*>(shown), 9);
            std::string text = shown == nullptr ? std::string()
                               : ValueClassOf(item.type) == kClassNumeric ? number
                                                                          : static_cast<const char*>(shown);
            plan.SetError(MessageText(kMsgDuplicateValue, item.name.Get(), table.name.Get(), text.c_str()), "23000");
            return false;
        }
        return true;
    }

private:
    struct Key {
        ItemDescriptor* item;
        std::unordered_set<std::string> seen;
    };
    std::vector<Key> keys_;
};

// What an UPDATE computes and stores for each record: its SET items and
// values, and the values of the items the SET expressions read.
struct Changer {
    QueryPlan& plan;
    TableRef& table;
    bool strict;
    const char* incorrect;       // the message of a value that cannot be computed
    const char* incorrectState;  // and its SQLSTATE (null: the default one)
    std::vector<PreparedValue> prepared;
    std::vector<ItemValue> reads;

    // Computes every SET value of the current record, before any is stored.
    bool Prepare() {
        ReadSetItems(plan.statement->setItems, reads);
        const std::vector<Assignment>& assignments = plan.statement->assignments;
        for (std::size_t i = 0; i < assignments.size(); ++i) {
            if (!qx::Prepare(plan, assignments[i].value.get(), reads, strict, table.name.Get(), prepared[i], incorrect,
                             incorrectState))
                return false;
        }
        return true;
    }
    void Store() const {
        for (const PreparedValue& value : prepared) qx::Store(value);
    }
};

// The records of the selection of block 0, one number per live record
// (each read into the table's record); false at a read failure (reported).
template <typename Visit>
bool ForEachSelected(SelectBlock& block, TableRef& table, Visit visit) {
    const RecordTupleSet& tuples = *block.conditionResult->tuples;
    int column = tuples.ColumnIndex(table.name.Get());
    if (column < 0) return true;
    for (std::int32_t t = 1; t < tuples.rowEnd; ++t) {
        std::int32_t read = ReadExactly(table, tuples.At(t, column));
        if (read < 0) {
            block.SetError(HostFailureText(table.name.Get(), static_cast<int>(-read)).c_str());
            return false;
        }
        if (read != 0 && !visit(read)) return false;
    }
    return true;
}

// Changes the records selected by block 0: UPDATE with its SET entries, or
// DELETE.  Under strict every new value is computed and checked before the
// first record is rewritten.
void ApplyToSelection(SelectBlock& block, Changer* changer) {
    const ConditionResult* selection = block.conditionResult;
    TableRef* table = block.select->tables.empty() ? nullptr : block.select->tables.front();
    if (selection == nullptr || selection->tuples == nullptr || table == nullptr) return;
    if (changer != nullptr && changer->strict &&
        !ForEachSelected(block, *table, [&](std::int32_t) { return changer->Prepare(); }))
        return;
    bool writeFailed = false;
    ForEachSelected(block, *table, [&](std::int32_t read) {
        if (changer != nullptr) {
            if (!changer->Prepare()) return false;
            changer->Store();
        }
        writeFailed = table->WriteRecord(changer != nullptr ? read : -1) != TableRef::kWriteOk;
        return !writeFailed;
    });
    if (writeFailed) block.SetError(table->errorText.Get());
}

// Every record of `table` in turn (read into its record); false at a read
// failure (reported) or when `visit` says stop.
template <typename Visit>
bool ForEachRecord(QueryPlan& plan, TableRef& table, Visit visit) {
    for (std::int64_t n = 0;;) {
        std::int32_t read = table.ReadFrom(n + 1);
        if (read < 0) {
            plan.SetError(HostFailureText(table.name.Get(), static_cast<int>(-read)).c_str(), nullptr);
            return false;
        }
        if (read == 0) return true;
        n = read;
        if (!visit(read)) return false;
    }
}

// UPDATE or DELETE: with WHERE (or SET values read from the record) through
// the selection, else over every record.
void ChangeRecords(QueryPlan& plan, bool update) {
    TableRef* table = TableOf(plan);
    if (table == nullptr) return;
    bool strict = StrictValues(plan.dictionary->hostContext);
    std::vector<ItemDescriptor*> items;
    if (update && !AssignedItems(plan, *table, strict, items)) return;
    bool selection = plan.statement->HasQuery();
    Changer changer{plan, *table, strict, selection ? UpdateSelectionValuesIncorrect() : UpdateValuesIncorrect(),
                    selection ? nullptr : "S1000", {}, {}};
    changer.prepared.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) changer.prepared[i].item = items[i];
    if (!selection) {
        if (update && strict && !ForEachRecord(plan, *table, [&](std::int32_t) { return changer.Prepare(); })) return;
        ForEachRecord(plan, *table, [&](std::int32_t read) {
            if (update) {
                if (!changer.Prepare()) return false;
                changer.Store();
            }
            // A failed write does not stop the walk; the last failure is reported.
            if (table->WriteRecord(update ? read : -1) != TableRef::kWriteOk) WriteFailed(plan, *table, nullptr);
            return true;
        });
        return;
    }
    // Planning made the selection "SELECT * FROM table [WHERE condition]":
    // run it, then change what it selected.
    plan.RunSelect();
    if (!plan.status.ok()) return;
    if (SelectBlock* block = plan.Block(0)) ApplyToSelection(*block, update ? &changer : nullptr);
}

// Fills the table's record with one prepared row: a new record starts
// from zeros, so nothing of an earlier read leaks into it.
void BuildRecord(TableRef& table, const PreparedValue* row, std::size_t width) {
    std::memset(table.record, 0, table.recordSize);
    for (std::size_t j = 0; j < width; ++j) Store(row[j]);
}

// Writes the prepared rows (`width` values each) as new records; with
// `unique`, checks first that no two of them repeat a unique item.
void InsertRows(QueryPlan& plan, TableRef& table, const std::vector<PreparedValue>& values, std::size_t width,
                UniqueValues* unique) {
    if (width == 0) return;
    if (unique != nullptr && !unique->Empty()) {
        for (std::size_t first = 0; first < values.size(); first += width) {
            BuildRecord(table, &values[first], width);
            if (!unique->Note(plan, table)) return;
        }
    }
    for (std::size_t first = 0; first < values.size(); first += width) {
        BuildRecord(table, &values[first], width);
        std::int16_t code = table.WriteRecord(0);
        if (code == TableRef::kWriteDuplicate) return WriteFailed(plan, table, "23000");
        if (code != TableRef::kWriteOk) return WriteFailed(plan, table, nullptr);
    }
}

// INSERT ... SELECT: runs the SELECT, then inserts each of its rows, the
// result columns going to the target items.  Under strict every row is
// read and checked once before the first is written, then read again to
// be written: the rows are never held twice.
void InsertSelection(QueryPlan& plan, TableRef& table, const std::vector<ItemDescriptor*>& targets, bool strict) {
    plan.RunSelect();
    TableRef* rows = plan.resultSet;
    plan.resultSet = nullptr;
    if (!plan.status.ok() || rows == nullptr || rows->items.empty()) return;
    const std::size_t width = targets.size();
    if (strict && rows->items.size() != width) {
        plan.SetError(MessageText(kMsgValueCount, table.name.Get(), static_cast<int>(rows->items.size()),
                                  static_cast<int>(width)), "21S01");
        return;
    }
    std::vector<PreparedValue> values(width);
    auto prepareRow = [&](std::int32_t r) {
        rows->ReadFrom(r);
        for (std::size_t j = 0; j < width; ++j) {
            PreparedValue& out = values[j];
            out.item = targets[j];
            out.fill = Fill::kLeave;
            out.value.Reset();
            ItemDescriptor* source = rows->ItemAt(j);
            if (source == nullptr || out.item == nullptr) continue;
            const void* value = ReadCell(source, nullptr);
            if (value == nullptr) {
                if (source->keyKind == ItemDescriptor::kCompositeKey) continue;
                // No buffer for the value: stop before a record goes out with a hole in it.
                plan.SetError(MessageText(kMsgOutOfMemory), nullptr);
                return false;
            }
            Value read = ValueClassOf(source->type) == kClassNumeric
                             ? Value::Double(*static_cast<const double*>(value))
                             : Value::Borrowed(kOperandText,
                                               static_cast<std::int32_t>(std::strlen(static_cast<const char*>(value)) + 1),
                                               value);
            out.fill = Fill::kValue;
            if (!strict) out.value = std::move(read);
            else if (!Checked(plan, CheckStrictValue(*out.item, table.name.Get(), read, out.value))) return false;
        }
        return true;
    };
    if (strict) {
        UniqueValues unique(targets);
        for (std::int32_t r = 1; r <= rows->rowCount; ++r) {
            if (!prepareRow(r)) return;
            if (!unique.Empty()) {
                BuildRecord(table, values.data(), width);
                if (!unique.Note(plan, table)) return;
            }
        }
    }
    for (std::int32_t r = 1; r <= rows->rowCount && plan.status.ok(); ++r) {
        if (!prepareRow(r)) return;
        InsertRows(plan, table, values, width, nullptr);
    }
}

}  // namespace

void ExecuteInsert(QueryPlan& plan) {
    TableRef* table = TableOf(plan);
    if (table == nullptr) return;
    const BoundStatement& statement = *plan.statement;
    bool strict = StrictValues(plan.dictionary->hostContext);
    std::vector<ItemDescriptor*> targets;
    try {
        if (!TargetItems(plan, *table, strict, targets)) return;
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        plan.SetError(MessageText(kMsgOutOfMemory), nullptr);
        return;
    }
    if (statement.HasQuery()) return InsertSelection(plan, *table, targets, strict);
    if (!statement.hasValues) return;

    // Every value of every row is computed (and checked) before the first
    // record is written.  Without strict, values beyond the items are
    // ignored and items without a value keep the new record's zeros.
    const std::size_t width = targets.size();
    std::vector<PreparedValue> values;
    values.reserve(statement.rows.size() * width);
    for (const std::vector<std::unique_ptr<BoundExpr>>& row : statement.rows) {
        if (strict && row.size() != width) {
            plan.SetError(MessageText(kMsgValueCount, table->name.Get(), static_cast<int>(row.size()),
                                      static_cast<int>(width)), "21S01");
            return;
        }
        for (std::size_t j = 0; j < width; ++j) {
            PreparedValue& out = values.emplace_back();
            out.item = targets[j];
            if (j < row.size() && !Prepare(plan, row[j].get(), {}, strict, table->name.Get(), out, InsertValuesIncorrect(),
                                      "S1000"))
                return;
        }
    }
    UniqueValues unique(targets);
    InsertRows(plan, *table, values, width, strict ? &unique : nullptr);
}

void ExecuteUpdate(QueryPlan& plan) { ChangeRecords(plan, true); }

void ExecuteDelete(QueryPlan& plan) { ChangeRecords(plan, false); }

}  // namespace qx
