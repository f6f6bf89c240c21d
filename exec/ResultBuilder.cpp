#include "exec/ResultBuilder.h"

#include <algorithm>
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
#include "exec/NestedRows.h"
#include "exec/RecordTupleSet.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

constexpr const char* kIncompleteQuery =
    "SQL/QX: Il manque des données pour compléter l'exécution de la requete SQL. Elle est probablement "
    "incomplète. (Par exemple, il y a plusieurs tables présentes dans la clause FROM, mais elles ne sont pas "
    "toutes liées par des critères dans la clause WHERE)";

bool IsComposite(const ItemDescriptor* item) { return item->keyKind == ItemDescriptor::kCompositeKey; }

// The records of a file table read for the result rows, a few of them kept:
// the rows of a join come back to the same records again and again.
class RecordReader {
public:
    explicit RecordReader(TableRef& table) : table_(table) {}

    // As TableRef::ReadFrom(n).
    std::int32_t Read(std::uint32_t n) {
        std::size_t size = table_.recordSize;
        bool keep = !table_.IsMemoryTable() && table_.record != nullptr && size > 0 && size <= kMaxRecordBytes;
        if (!keep || n == 0) return table_.ReadFrom(n);
        if (table_.currentRecord == n) return static_cast<std::int32_t>(n);
        std::size_t slot = n % kSlots;
        if (!numbers_.empty() && numbers_[slot] == n) {
            std::memcpy(table_.record, bytes_.data() + slot * size, size);
            table_.currentRecord = n;
            return static_cast<std::int32_t>(n);
        }
        std::int32_t read = table_.ReadFrom(n);
        if (read != static_cast<std::int32_t>(n)) return read;
        if (numbers_.empty()) {
            try {
                bytes_.resize(kSlots * size);
                numbers_.assign(kSlots, 0);
            } catch (const std::bad_alloc&) {
                bytes_.clear();
                return read;  // nothing kept: every record is read
            }
        }
        numbers_[slot] = n;
        std::memcpy(bytes_.data() + slot * size, table_.record, size);
        return read;
    }

private:
    static constexpr std::size_t kSlots = 256;
    static constexpr std::size_t kMaxRecordBytes = 1024;

    TableRef& table_;
    std::vector<std::uint32_t> numbers_;  // record kept in each slot (0: none), by number modulo kSlots
    std::vector<unsigned char> bytes_;    // the kept records' bytes, slot by slot
};

}  // namespace

namespace {

// Longest text a computed character value may have: texts written in the
// statement and items keep their sizes, other texts take this many bytes.
constexpr std::uint32_t kComputedTextSize = 255;

std::uint32_t TextSize(const BoundExpr& e) {
    switch (e.kind) {
        case ExprKind::kText:
        case ExprKind::kDate:
        case ExprKind::kTime: return static_cast<std::uint32_t>(e.text.size());
        case ExprKind::kItem: return DisplaySize(e.item);
        case ExprKind::kFunction:
            if (e.function == Function::kDigits) return 11;
            break;
        default: break;
    }
    return kComputedTextSize;
}

// The descriptor of a result column at `offset` (its bytes in `bytes`).
std::unique_ptr<ItemDescriptor> ColumnFor(const SelectColumn& column, TableRef* table, std::uint32_t offset,
                                          std::uint32_t& bytes) {
    if (const ItemDescriptor* item = column.item) {
        bytes = IsComposite(item) ? 0 : static_cast<std::uint32_t>(item->size) * item->dimension;
        return ItemDescriptor::Create(column.name.c_str(), item->type, item->size,
                                      IsComposite(item) ? ItemDescriptor::kCompositeKey : 0,
                                      static_cast<std::uint16_t>(offset), item->dimension, table, item->tableName);
    }
    if (column.expr->typeClass == TypeClass::kCharacter) {
        bytes = std::min<std::uint32_t>(TextSize(*column.expr), 0xFFF0) + 1;
        return ItemDescriptor::Create(column.name.c_str(), kFieldTerminatedText, static_cast<std::uint16_t>(bytes), 0,
                                      static_cast<std::uint16_t>(offset), 1, table, "");
    }
    bytes = sizeof(double);
    return ItemDescriptor::Create(column.name.c_str(), kFieldDouble, sizeof(double), 0,
                                  static_cast<std::uint16_t>(offset), 1, table, "");
}

}  // namespace

TableRef* CreateResultTable(SelectBlock& block, QueryDictionary& dictionary) {
    TableRef* table = dictionary.FindOrAddTable(nullptr, nullptr);
    if (table == nullptr) {
        block.SetError(MessageText(kMsgOutOfMemory));
        return nullptr;
    }
    std::uint32_t offset = 1, size = 1;
    for (const SelectColumn& column : block.select->columns) {
        std::uint32_t bytes = 0;
        std::unique_ptr<ItemDescriptor> made = ColumnFor(column, table, offset, bytes);
        if (offset + bytes > 0xFFFF) {
            // A row is addressed with 16-bit offsets and sizes.
            block.SetError(MessageText(kMsgInternalError, EnglishMessages() ? "result row longer than 65535 bytes"
                                                                            : "ligne de résultat de plus de 65535 octets"));
            return nullptr;
        }
        // A column without its name would show as an unnamed one: fail instead.
        if (table->AddItem(std::move(made)) == nullptr) {
            block.SetError(MessageText(kMsgOutOfMemory));
            return nullptr;
        }
        offset += bytes;
        size += bytes;
    }
    // Even a result without columns keeps one byte per row, so rows can be counted.
    if (!table->SetRecordSize(static_cast<std::uint16_t>(size), 1)) {
        block.SetError(MessageText(kMsgOutOfMemory));
        return nullptr;
    }
    return table;
}

namespace {

// Fills the result's record from the current records of the block's tables.
class RowMaker {
public:
    RowMaker(SelectBlock& block, TableRef& result) : block_(block), select_(*block.select), result_(result) {
        for (ItemDescriptor* item : select_.columnItems)
            values_.push_back(ItemValue{EvaluationKind(item), static_cast<std::int32_t>(ValueBufferSize(item)), nullptr});
        for (const SelectColumn& column : select_.columns) computed_ = computed_ || column.expr != nullptr;
    }

    void Make(const ConditionResult* rows) {
        if (computed_) {
            std::memset(result_.record, 0, result_.recordSize);
            for (std::size_t k = 0; k < values_.size(); ++k) values_[k].data = ReadCell(select_.columnItems[k], nullptr);
        }
        for (std::size_t j = 0; j < select_.columns.size(); ++j) {
            const SelectColumn& column = select_.columns[j];
            ItemDescriptor* target = result_.ItemAt(j);
            if (target == nullptr) continue;
            if (column.item != nullptr) {
                if (!IsComposite(column.item)) CopyItemBytes(target, column.item);
                continue;
            }
            ExpressionEvaluator* evaluator = block_.plan->evaluator;
            if (evaluator == nullptr) continue;
            Value value = evaluator->Evaluate(*column.expr, values_, rows);
            if (value.Has()) WriteValue(target, value.Type(), value.Data());
        }
    }

private:
    SelectBlock& block_;
    const BoundSelect& select_;
    TableRef& result_;
    std::vector<ItemValue> values_;  // the current values of the items the columns read
    bool computed_ = false;
};

}  // namespace

TableRef* BuildResult(SelectBlock& block, QueryDictionary& dictionary) {
    TableRef* result = CreateResultTable(block, dictionary);
    if (result == nullptr) return nullptr;
    block.resultTable = result;
    RowMaker maker(block, *result);
    const std::vector<TableRef*>& tables = block.select->tables;
    bool distinct = block.select->quantifier == SelectQuantifier::kDistinct;
    const ConditionResult* condition = block.conditionResult;
    if (tables.empty()) {
        // No table: the select list is computed once.
        maker.Make(condition);
        if (result->WriteRecord(0) != TableRef::kWriteOk) block.SetError(MessageText(kMsgOutOfMemory));
        return result;
    }
    if (condition == nullptr || condition->tuples == nullptr) return result;
    const RecordTupleSet& tuples = *condition->tuples;
    auto tableCount = static_cast<std::int16_t>(tables.size());
    std::vector<int> columns;
    std::vector<RecordReader> readers;
    try {
        columns.assign(static_cast<std::size_t>(tableCount), -1);
        for (std::int16_t t = 0; t < tableCount; ++t) {
            auto* table = tables[static_cast<std::size_t>(t)];
            if (table != nullptr) readers.emplace_back(*table);
        }
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        block.SetError(MessageText(kMsgOutOfMemory));
        return nullptr;
    }
    for (std::int16_t t = 0; t < tableCount; ++t) {
        auto* table = tables[static_cast<std::size_t>(t)];
        columns[t] = table != nullptr ? tuples.ColumnIndex(table->name.Get()) : -1;
    }
    // Records the selection kept: one table, every row's record in order.
    auto* only = tableCount == 1 ? tables[0] : nullptr;
    bool kept = only != nullptr && only->record != nullptr && only->recordSize > 0 && columns[0] >= 0 &&
                condition->keptRecords == static_cast<std::size_t>(tuples.Rows()) && condition->keptRecords > 0;
    for (std::int32_t row = 1; row < tuples.rowEnd; ++row) {
        std::size_t reader = 0;
        if (kept) {
            auto index = static_cast<std::size_t>(row - 1);
            const unsigned char* chunk = condition->records[index / ConditionResult::kChunkRecords].get();
            std::size_t at = index % ConditionResult::kChunkRecords * only->recordSize;
            std::memcpy(only->record, chunk + at, only->recordSize);
            only->currentRecord = tuples.At(row, columns[0]);
        }
        for (std::int16_t t = 0; !kept && t < tableCount; ++t) {
            auto* table = tables[static_cast<std::size_t>(t)];
            if (table == nullptr) continue;
            if (columns[t] < 0) {
                block.SetError(kIncompleteQuery);
                return nullptr;
            }
            std::int32_t read = readers[reader++].Read(tuples.At(row, columns[t]));
            if (read < 0) {
                block.SetError(MessageText(kMsgReadWriteError, table->name.Get(), static_cast<int>(-read)));
                return nullptr;
            }
        }
        maker.Make(condition);
        if (distinct && result->ContainsCurrentRow()) continue;
        if (result->WriteRecord(0) != TableRef::kWriteOk) {
            block.SetError(MessageText(kMsgOutOfMemory));
            return result;
        }
    }
    return result;
}

std::unique_ptr<RowList> NestedRows(SelectBlock& block) {
    // Outer references never carry values here: a nested SELECT that reads
    // its parent's tables is refused before it is run, so every row counts.
    auto rows = std::make_unique<RowList>();
    TableRef* table = block.resultTable;
    if (table == nullptr) return rows;
    ItemDescriptor* first = table->ItemAt(0);
    rows->reserve(static_cast<std::size_t>(table->rowCount));
    for (std::int32_t r = 1; r <= table->rowCount; ++r) {
        if (table->ReadFrom(r) != r) break;
        const void* value = first != nullptr ? ReadCell(first, nullptr) : nullptr;
        if (value == nullptr) {
            rows->emplace_back();
            continue;
        }
        std::int16_t type = EvaluationKind(first);
        std::int32_t size = ValueBufferSize(first);
        Value copy = size <= 16 ? Value::Inline(type, size, value) : Value::Borrowed(type, size, value).Copy();
        if (!copy.Has()) return nullptr;
        rows->push_back(std::move(copy));
    }
    return rows;
}

TableRef* NestedResultTable(QueryPlan* plan, int blockIndex) {
    if (plan == nullptr) return nullptr;
    SelectBlock* block = plan->Block(blockIndex);
    return block != nullptr ? block->resultTable : nullptr;
}

std::unique_ptr<RowList> NestedBlockRows(QueryPlan* plan, int blockIndex) {
    if (plan == nullptr) return nullptr;
    SelectBlock* block = plan->Block(blockIndex);
    if (block == nullptr || block->resultTable == nullptr) return nullptr;
    return NestedRows(*block);
}

}  // namespace qx
