#include "exec/ResultBuilder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <vector>

#include "base/Interrupt.h"
#include "base/MemoryBlock.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/NestedRows.h"
#include "exec/RecordTupleSet.h"
#include "exec/TopRows.h"
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
        if (n == 0 && !table_.IsMemoryTable()) {
            // No record (the unmatched side of a LEFT JOIN): every item empty.
            if (table_.record != nullptr) std::memset(table_.record, 0, size);
            table_.currentRecord = 0;
            return 0;
        }
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
        case ExprKind::kSubSelect:
            if (e.item != nullptr) return DisplaySize(e.item);
            break;
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

    // The current values of the items the columns read.
    ItemValues Read() {
        for (std::size_t k = 0; k < values_.size(); ++k) values_[k].data = ReadCell(select_.columnItems[k], nullptr);
        return values_;
    }

    void Make(const ConditionResult* rows) {
        if (computed_) {
            std::memset(result_.record, 0, result_.recordSize);
            Read();
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

// The groups of a grouped SELECT, found by hashing their GROUP BY values,
// and the aggregates of each.  A group keeps the values its first row gave
// the items the columns read (the GROUP BY keys among them), so its row is
// computed from those and from its aggregates.
class Aggregator {
public:
    Aggregator(SelectBlock& block, ExpressionEvaluator& evaluator) : select_(*block.select), evaluator_(evaluator) {
        const BoundStatement& statement = *block.plan->statement;
        for (const NestedLink& link : select_.nested) {
            const BoundSelect* nested = statement.Select(link.block);
            readsGroupKeys_ = readsGroupKeys_ || (nested != nullptr && nested->correlated);
        }
    }

    // One more row: the current values of the select's column items.
    bool Add(ItemValues values) {
        key_.clear();
        for (const auto& groupKey : select_.groupBy) {
            Value v = evaluator_.Evaluate(*groupKey, values);
            AppendKey(v, key_);
        }
        auto [at, added] = index_.try_emplace(key_, groups_.size());
        if (added) {
            if (!charge_.Add(kGroupBytes + key_.size() + 16 * values.size())) return false;
            Group& group = groups_.emplace_back();
            for (const ItemValue& v : values)
                group.values.push_back(v.data != nullptr ? Value::Borrowed(v.type, v.size, v.data).Copy() : Value());
            group.accumulators.resize(select_.aggregates.size());
        }
        Group& group = groups_[at->second];
        for (std::size_t a = 0; a < select_.aggregates.size(); ++a)
            if (!Accumulate(*select_.aggregates[a], values, group.accumulators[a])) return false;
        return true;
    }

    // Writes a row for each group (one over no rows without GROUP BY) that HAVING keeps.
    bool Emit(TableRef& result, bool distinct) {
        if (groups_.empty() && select_.groupBy.empty()) {
            Group& group = groups_.emplace_back();
            group.values.resize(select_.columnItems.size());
            group.accumulators.resize(select_.aggregates.size());
        }
        std::vector<ItemValue> values;
        std::vector<Value> results;
        for (Group& group : groups_) {
            values.clear();
            for (std::size_t k = 0; k < group.values.size(); ++k) {
                ItemDescriptor* item = select_.columnItems[k];
                values.push_back(ItemValue{EvaluationKind(item), static_cast<std::int32_t>(ValueBufferSize(item)),
                                           group.values[k].Data()});
            }
            results.clear();
            for (std::size_t a = 0; a < select_.aggregates.size(); ++a)
                results.push_back(Result(*select_.aggregates[a], group.accumulators[a]));
            evaluator_.SetAggregates(&results);
            // A sub-select of the select list or HAVING that reads the
            // group's keys reads them from the records: they are given the
            // group's values.
            if (readsGroupKeys_)
                for (std::size_t k = 0; k < group.values.size(); ++k)
                    if (group.values[k].Has()) WriteCell(select_.columnItems[k], group.values[k].Data());
            bool kept = select_.having == nullptr || evaluator_.ConditionHolds(*select_.having, values);
            if (kept) {
                std::memset(result.record, 0, result.recordSize);
                for (std::size_t j = 0; j < select_.columns.size(); ++j) {
                    ItemDescriptor* target = result.ItemAt(j);
                    const BoundExpr* expr = select_.columns[j].expr.get();
                    if (target == nullptr || expr == nullptr) continue;
                    Value value = evaluator_.Evaluate(*expr, values);
                    if (value.Has()) WriteValue(target, value.Type(), value.Data());
                }
            }
            evaluator_.SetAggregates(nullptr);
            if (!kept || (distinct && result.ContainsCurrentRow())) continue;
            if (result.WriteRecord(0) != TableRef::kWriteOk) return false;
        }
        return true;
    }

private:
    // Bytes of a group beside its key and values: the node, the vectors, the accumulators.
    static constexpr std::uint64_t kGroupBytes = 160;

    struct Accumulator {
        double sum = 0;
        std::int64_t count = 0;
        Value best;                            // MIN, MAX
        std::unordered_set<std::string> seen;  // DISTINCT: the keys of the values met
    };
    struct Group {
        std::vector<Value> values;
        std::vector<Accumulator> accumulators;
    };

    // A value's part of a key: its equality key (numbers to six decimals,
    // texts without letter case), or its type and bytes when it has none.
    static void AppendKey(const Value& v, std::string& key) {
        std::string part;
        if (!v.Has()) {
            part = "-";
        } else if (MakeEqualityKey(v.Type(), v.Data(), part) == EqualityKeyKind::kNotCovered) {
            part.assign(1, static_cast<char>(v.Type()));
            part.append(static_cast<const char*>(v.Data()), static_cast<std::size_t>(std::max(v.Size(), 0)));
        }
        key += std::to_string(part.size());
        key += ':';
        key += part;
    }

    bool Accumulate(const BoundExpr& aggregate, ItemValues values, Accumulator& a) {
        if (aggregate.aggregate == Aggregate::kCountRows) {
            ++a.count;
            return true;
        }
        Value v = evaluator_.Evaluate(*aggregate.operands[0], values);
        if (!v.Has()) return true;
        if (aggregate.distinct) {
            std::string key;
            AppendKey(v, key);
            if (!a.seen.insert(key).second) return true;
            if (!charge_.Add(key.size() + 48)) return false;
        }
        ++a.count;
        switch (aggregate.aggregate) {
            case Aggregate::kSum:
            case Aggregate::kAvg: a.sum += ReadOperandNumber(v.Type(), v.Data()); break;
            case Aggregate::kMin:
            case Aggregate::kMax: {
                OperatorCode better = aggregate.aggregate == Aggregate::kMin ? kOpLess : kOpGreater;
                if (!a.best.Has() || CompareTyped(static_cast<std::int16_t>(better), v.Type(), v.Data(), a.best.Type(),
                                                  a.best.Data()))
                    a.best = v.Copy();
                break;
            }
            default: break;
        }
        return true;
    }

    static Value Result(const BoundExpr& aggregate, const Accumulator& a) {
        switch (aggregate.aggregate) {
            case Aggregate::kCountRows:
            case Aggregate::kCount: return Value::Double(static_cast<double>(a.count));
            case Aggregate::kSum: return a.count > 0 ? Value::Double(a.sum) : Value();
            case Aggregate::kAvg: return a.count > 0 ? Value::Double(a.sum / static_cast<double>(a.count)) : Value();
            case Aggregate::kMin:
            case Aggregate::kMax: return a.best.Copy();
        }
        return Value();
    }

    const BoundSelect& select_;
    ExpressionEvaluator& evaluator_;
    bool readsGroupKeys_ = false;  // a nested SELECT reads the block's items
    std::unordered_map<std::string, std::size_t> index_;  // group key -> group
    std::vector<Group> groups_;                            // in the order their first rows came
    std::string key_;
    MemoryCharge charge_;  // the groups, against the statement's memory bound
};

}  // namespace

TableRef* BuildResult(SelectBlock& block, QueryDictionary& dictionary) {
    // A nested SELECT run again for another outer row: its rows are made anew.
    if (block.resultTable != nullptr) {
        dictionary.RemoveTable(block.resultTable);
        block.resultTable = nullptr;
    }
    TableRef* result = CreateResultTable(block, dictionary);
    if (result == nullptr) return nullptr;
    block.resultTable = result;
    RowMaker maker(block, *result);
    const std::vector<TableRef*>& tables = block.select->tables;
    bool distinct = block.select->quantifier == SelectQuantifier::kDistinct;
    const ConditionResult* condition = block.conditionResult;
    std::unique_ptr<Aggregator> aggregator;
    if (block.select->grouped && block.plan->evaluator != nullptr)
        aggregator = std::make_unique<Aggregator>(block, *block.plan->evaluator);
    // With LIMIT only the first rows are kept: in ORDER BY order, the ones a
    // heap keeps; without ORDER BY, the first ones built.
    const std::vector<OrderKey>& orderBy = block.plan->statement->orderBy;
    bool ungrouped = aggregator == nullptr && !distinct && block.keepTop >= 0;
    std::unique_ptr<TopRows> top;
    if (ungrouped && !orderBy.empty())
        top = std::make_unique<TopRows>(*result, orderBy, static_cast<std::size_t>(block.keepTop));
    bool enough = false;  // the first rows wanted are all there
    // Each combination of records: a row of the result, or one more row of its group.
    auto take = [&]() {
        if (aggregator != nullptr) return aggregator->Add(maker.Read());
        maker.Make(condition);
        if (top != nullptr) return top->Offer();
        if (distinct && result->ContainsCurrentRow()) return true;
        if (result->WriteRecord(0) != TableRef::kWriteOk) return false;
        enough = block.keepTop >= 0 && orderBy.empty() && aggregator == nullptr && result->rowCount >= block.keepTop;
        return true;
    };
    auto finish = [&]() {
        if (aggregator != nullptr && !aggregator->Emit(*result, distinct)) block.SetError(MessageText(kMsgOutOfMemory));
        if (top != nullptr && !top->Write()) block.SetError(MessageText(kMsgOutOfMemory));
        return result;
    };
    if (tables.empty()) {
        // No table: the select list is computed once.
        if (!take()) block.SetError(MessageText(kMsgOutOfMemory));
        return finish();
    }
    if (block.everyRecord && tables.size() == 1 && tables[0] != nullptr) {
        TableRef* table = tables[0];
        for (std::int32_t r = table->ReadFirst(); r != 0 && !enough; r = table->ReadNext()) {
            if (r < 0) {
                block.SetError(HostFailureText(table->name.Get(), static_cast<int>(-r)).c_str());
                return nullptr;
            }
            if (!take()) {
                block.SetError(MessageText(kMsgOutOfMemory));
                return result;
            }
        }
        return finish();
    }
    if (condition == nullptr || condition->tuples == nullptr) return finish();
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
    for (std::int32_t row = 1; row < tuples.rowEnd && !enough; ++row) {
        // Rows of a combination in memory read no file: a request to stop is looked at here.
        if ((row & 0xFFF) == 0 && InterruptRequested()) {
            block.SetError(MessageText(kMsgInterrupted));
            return nullptr;
        }
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
                block.SetError(HostFailureText(table->name.Get(), static_cast<int>(-read)).c_str());
                return nullptr;
            }
        }
        if (!take()) {
            block.SetError(MessageText(kMsgOutOfMemory));
            return result;
        }
    }
    return finish();
}

std::unique_ptr<RowList> NestedRows(SelectBlock& block) {
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
