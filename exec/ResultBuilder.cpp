#include "exec/ResultBuilder.h"

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

TableRef* CreateResultTable(SelectBlock& block, QueryDictionary& dictionary) {
    TableRef* table = dictionary.FindOrAddTable(nullptr, nullptr);
    if (table == nullptr) {
        block.SetError(MessageText(kMsgOutOfMemory));
        return nullptr;
    }
    std::uint32_t offset = 1, size = 1;
    for (ItemDescriptor* item : block.select->selectedItems) {
        if (item == nullptr) continue;
        std::uint32_t bytes = static_cast<std::uint32_t>(item->size) * static_cast<std::uint32_t>(item->dimension);
        if (IsComposite(item)) bytes = 0;
        if (offset + bytes > 0xFFFF) {
            // A row is addressed with 16-bit offsets and sizes.
            block.SetError(MessageText(kMsgInternalError, EnglishMessages() ? "result row longer than 65535 bytes"
                                                                            : "ligne de résultat de plus de 65535 octets"));
            return nullptr;
        }
        // A column without its name would show as an unnamed one: fail instead.
        if (table->AddItem(ItemDescriptor::Create(item->name.Get(), item->type, item->size,
                                                  IsComposite(item) ? ItemDescriptor::kCompositeKey : 0,
                                                  static_cast<std::uint16_t>(offset), item->dimension, table,
                                                  item->tableName)) == nullptr) {
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

TableRef* BuildResult(SelectBlock& block, QueryDictionary& dictionary) {
    TableRef* result = CreateResultTable(block, dictionary);
    if (result == nullptr) return nullptr;
    block.resultTable = result;
    const ConditionResult* condition = block.conditionResult;
    if (condition == nullptr || condition->tuples == nullptr) return result;
    const RecordTupleSet& tuples = *condition->tuples;
    const std::vector<TableRef*>& tables = block.select->tables;
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
    bool distinct = block.select->quantifier == SelectQuantifier::kDistinct;
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
        for (std::size_t j = 0; j < block.select->selectedItems.size(); ++j) {
            ItemDescriptor* source = block.select->selectedItems[j];
            ItemDescriptor* target = result->ItemAt(j);
            if (source != nullptr && target != nullptr && !IsComposite(source)) CopyItemBytes(target, source);
        }
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
