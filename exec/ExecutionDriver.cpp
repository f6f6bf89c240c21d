// ExecutionDriver: the plan's execution entry points.  Execute dispatches on
// the statement kind; RunSelect runs the operators of the statement's
// SELECTs: each operator after its inputs, the last input first, so nested
// SELECTs run before the SELECT that reads them.  Statements the engine does
// not run are refused with 4298.
//
// Execution reports only through the plan: its status and, for a SELECT,
// the result memory table in `resultSet`.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/Messages.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "exec/DataChanges.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/ResultBuilder.h"
#include "exec/RowSelection.h"
#include "exec/RowSorter.h"
#include "exec/SchemaStatements.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// Copies the current row of `from` into the record of `to`, column by
// column, converting numbers and texts where the two columns differ.
void ConvertRow(TableRef& from, TableRef& to) {
    std::memset(to.record, 0, to.recordSize);
    for (std::size_t j = 0; j < to.items.size(); ++j) {
        ItemDescriptor* target = to.items[j].get();
        ItemDescriptor* source = from.ItemAt(j);
        if (source == nullptr) continue;
        const void* value = ReadCell(source, nullptr);
        if (value == nullptr) continue;
        bool sourceNumeric = ValueClassOf(source->type) == kClassNumeric;
        bool targetNumeric = ValueClassOf(target->type) == kClassNumeric;
        if (sourceNumeric == targetNumeric) {
            WriteCell(target, value);
        } else if (sourceNumeric) {
            char text[kNumberTextCapacity];
            double number;
            std::memcpy(&number, value, sizeof number);
            WriteNumber(text, number, 9);
            WriteCell(target, text);
        } else {
            double number = ReadNumber(static_cast<const char*>(value));
            WriteCell(target, &number);
        }
    }
}

}  // namespace

Status QueryPlan::Execute() {
    if (statement == nullptr) return Error::Message(kMsgInternalError, "plan");
    if (statement->explain) return Explain();
    switch (statement->kind) {
        case StatementKind::kCreateIndex: ExecuteCreateIndex(*this); break;
        case StatementKind::kDelete: ExecuteDelete(*this); break;
        case StatementKind::kUpdate: ExecuteUpdate(*this); break;
        case StatementKind::kInsert: ExecuteInsert(*this); break;
        case StatementKind::kCreateTable: ExecuteCreateTable(*this); break;
        case StatementKind::kDropTable: ExecuteDropTable(*this); break;
        case StatementKind::kDropIndex: ExecuteDropIndex(*this); break;
        case StatementKind::kAlterTable: ExecuteAlterTable(*this); break;
        case StatementKind::kCreateView: ExecuteCreateView(*this); break;
        case StatementKind::kDropView: ExecuteDropView(*this); break;
        case StatementKind::kSelect: RunSelect(); break;
        case StatementKind::kUnsupported: SetError(MessageText(kMsgNotSupported), nullptr); break;
    }
    return status;
}

void QueryPlan::RunSelect() {
    if (dictionary == nullptr || root == nullptr) return;
    if (evaluator != nullptr) evaluator->ForgetNestedRows();
    // A change runs the query beneath it.
    const PlanOperator* top = root.get();
    if (top->kind == OperatorKind::kInsert || top->kind == OperatorKind::kUpdate || top->kind == OperatorKind::kDelete)
        top = top->inputs.empty() ? nullptr : top->inputs.front().get();
    if (top != nullptr) Run(*top);
    // LIMIT and OFFSET keep part of a SELECT's rows.
    const BoundStatement& bound = *statement;
    if (status.ok() && resultSet != nullptr && top == root.get() && (bound.limit >= 0 || bound.offset > 0))
        resultSet->KeepRows(bound.offset, bound.limit);
    // The sort keys ORDER BY added are not columns of the result.
    if (resultSet != nullptr && !bound.selects.empty() && top == root.get()) {
        const std::vector<SelectColumn>& columns = bound.selects.front()->columns;
        auto hidden = std::count_if(columns.begin(), columns.end(), [](const SelectColumn& c) { return c.hidden; });
        if (hidden > 0 && resultSet->items.size() >= static_cast<std::size_t>(hidden))
            resultSet->items.resize(resultSet->items.size() - static_cast<std::size_t>(hidden));
    }
}

bool QueryPlan::RunNested(int index) {
    SelectBlock* block = Block(index);
    if (block == nullptr || block->source == nullptr) return false;
    // The tables it walks that a SELECT around it walks too (a name used
    // again inside): their current records are put back after.
    std::vector<const BoundSelect*> inside{block->select};
    for (std::size_t k = 0; k < inside.size(); ++k)
        for (const NestedLink& link : inside[k]->nested)
            if (const BoundSelect* nested = statement->Select(link.block)) inside.push_back(nested);
    struct Saved {
        TableRef* table;
        std::uint32_t record;
        std::vector<unsigned char> bytes;
    };
    std::vector<Saved> saved;
    for (const BoundSelect* outer = statement->Select(block->parent); outer != nullptr;
         outer = outer->parent >= 0 ? statement->Select(outer->parent) : nullptr)
        for (TableRef* table : outer->tables) {
            bool walked = std::any_of(inside.begin(), inside.end(), [table](const BoundSelect* s) {
                return std::find(s->tables.begin(), s->tables.end(), table) != s->tables.end();
            });
            bool listed = std::any_of(saved.begin(), saved.end(), [table](const Saved& k) { return k.table == table; });
            if (!walked || listed || table->record == nullptr) continue;
            saved.push_back(Saved{table, table->currentRecord,
                                  std::vector<unsigned char>(table->record, table->record + table->recordSize)});
        }
    ++nestedRuns;
    Run(*block->source);
    for (Saved& k : saved) {
        std::memcpy(k.table->record, k.bytes.data(), k.bytes.size());
        k.table->currentRecord = k.record;
    }
    return status.ok();
}

void QueryPlan::Run(const PlanOperator& op) {
    // The inputs first, the last one first.
    auto runInputs = [&]() {
        for (auto input = op.inputs.rbegin(); input != op.inputs.rend() && status.ok(); ++input) {
            if ((*input)->group != nullptr) continue;
            // A nested SELECT that reads its outer row runs when a row asks
            // for it; one that does not runs once, even when the SELECT
            // around it runs again.
            const PlanOperator& in = **input;
            bool nestedOp = in.kind == OperatorKind::kSubquery || in.kind == OperatorKind::kSemiJoin ||
                            in.kind == OperatorKind::kAntiJoin;
            if (const SelectBlock* nested = nestedOp ? Block(in.block) : nullptr)
                if (nested->select->correlated || nested->resultTable != nullptr) continue;
            Run(**input);
        }
        return status.ok();
    };
    switch (op.kind) {
        case OperatorKind::kSort:
            if (!runInputs() || resultSet == nullptr) return;
            if (!SortRows(*resultSet, statement->orderBy,
                          statement->limit >= 0 ? static_cast<std::int64_t>(statement->offset) + statement->limit : -1))
                SetError(MessageText(kMsgOutOfMemory), nullptr);
            return;
        case OperatorKind::kSetOperation:
            if (runInputs()) CombineSetOperands(op);
            return;
        case OperatorKind::kProject: {
            SelectBlock* block = Block(op.block);
            if (block == nullptr || !runInputs()) return;
            // Nested blocks need their rows in every mode: the blocks that read
            // them (an UPDATE's WHERE too) ask for them.
            if (mode != Mode::kRows && block->parent < 0) return;
            TableRef* result = BuildResult(*block, *dictionary);
            if (result != nullptr && status.ok() && mode == Mode::kRows) resultSet = result;
            return;
        }
        case OperatorKind::kSelection: {
            SelectBlock* block = Block(op.block);
            if (block == nullptr || !runInputs()) return;
            RunSelection(*this, *block, op);
            return;
        }
        case OperatorKind::kSubquery:
        case OperatorKind::kSemiJoin:
        case OperatorKind::kAntiJoin:
            runInputs();
            return;
        default:
            return;
    }
}

// UNION [ALL], INTERSECT and EXCEPT over the results of the first SELECT
// and of the second: UNION ALL keeps every row of both; the others give
// distinct rows (UNION: of either; INTERSECT: of the first that the second
// also has; EXCEPT: of the first that the second lacks).  Rows of the second
// are converted to the first's columns.
void QueryPlan::CombineSetOperands(const PlanOperator& op) {
    SelectBlock* first = op.inputs.size() == 2 ? Block(op.inputs[0]->block) : nullptr;
    SelectBlock* second = op.inputs.size() == 2 ? Block(op.inputs[1]->block) : nullptr;
    if (first == nullptr || second == nullptr || first->resultTable == nullptr || second->resultTable == nullptr)
        return;
    TableRef& a = *first->resultTable;
    TableRef& b = *second->resultTable;
    if (a.items.size() != b.items.size()) {
        SetError(MessageText(kMsgIncorrectType, statement->setOperatorText.c_str()), nullptr);
        return;
    }
    SetOperation kind = statement->setOperation;
    bool all = statement->setAll;
    TableRef* result = CreateResultTable(*first, *dictionary);
    TableRef* other = kind == SetOperation::kUnion ? nullptr : CreateResultTable(*first, *dictionary);
    if (result == nullptr || (kind != SetOperation::kUnion && other == nullptr)) return;
    auto append = [&](TableRef& table, bool distinct) {
        if (distinct && table.ContainsCurrentRow()) return true;
        if (table.WriteRecord(0) == TableRef::kWriteOk) return true;
        SetError(MessageText(kMsgOutOfMemory), nullptr);
        return false;
    };
    if (other != nullptr) {
        for (std::int32_t r = 1; r <= b.rowCount; ++r) {
            b.ReadFrom(r);
            ConvertRow(b, *other);
            if (!append(*other, true)) return;
        }
    }
    for (std::int32_t r = 1; r <= a.rowCount; ++r) {
        a.ReadFrom(r);
        std::memcpy(result->record, a.record, a.recordSize);
        if (other != nullptr) {
            std::memcpy(other->record, a.record, a.recordSize);
            bool inSecond = other->ContainsCurrentRow() != 0;
            if (inSecond != (kind == SetOperation::kIntersect)) continue;
        }
        if (!append(*result, !all)) return;
    }
    if (kind == SetOperation::kUnion) {
        for (std::int32_t r = 1; r <= b.rowCount; ++r) {
            b.ReadFrom(r);
            ConvertRow(b, *result);
            if (!append(*result, !all)) return;
        }
    }
    resultSet = result;
}

}  // namespace qx
