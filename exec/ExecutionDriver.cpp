// ExecutionDriver: the plan's execution entry points.  Execute dispatches on
// the statement kind; RunSelect evaluates every SELECT block (nested ones
// first, the main one last), builds the result of each block and sorts the
// main result; a set operator combines the results of its two SELECTs.
// Statements the engine does not run are refused with 4298.
//
// Execution reports only through the plan: its status and, for a SELECT,
// the result memory table in `resultSet`.
#include <cstring>
#include <new>

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
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// The operator leaf after the first SELECT of a set operation, or null.
const SyntaxNode* SetOperator(const SyntaxNode* root) {
    const SyntaxNode* first = root != nullptr ? root->child : nullptr;
    const SyntaxNode* op = first != nullptr ? first->next : nullptr;
    if (op == nullptr) return nullptr;
    if (op->kind == kKwUnion || op->kind == kKwIntersect || op->kind == kKwExcept) return op;
    return nullptr;
}

// Copies the current row of `from` into the record of `to`, column by
// column, converting numbers and texts where the two columns differ.
void ConvertRow(TableRef& from, TableRef& to) {
    std::memset(to.record, 0, to.recordSize);
    for (std::int16_t j = 0; j <= to.items->Last(); ++j) {
        auto* target = static_cast<ItemDescriptor*>(to.items->GetAt(j));
        auto* source = static_cast<ItemDescriptor*>(from.items->GetAt(j));
        if (target == nullptr || source == nullptr) continue;
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
    if (tree != nullptr && tree->aux == kExplainStatement) return Explain();
    SyntaxNode* statement = tree != nullptr ? tree->child : nullptr;
    switch (statement != nullptr ? statement->kind : 0) {
        case FON_REQUETE_CREATION_INDEX: ExecuteCreateIndex(*this, statement); break;
        case FON_REQUETE_SUPPRESSION_ENREG: ExecuteDelete(*this); break;
        case FON_REQUETE_MIS_A_JOUR_ENREG: ExecuteUpdate(*this); break;
        case FON_REQUETE_INSERT_ENREG: ExecuteInsert(*this); break;
        case FON_REQUETE_CREATION_TABLE: ExecuteCreateTable(*this, statement); break;
        case FON_REQUETE_SELECTION: RunSelect(); break;
        default: SetError(MessageText(kMsgNotSupported), nullptr); break;
    }
    return status;
}

void QueryPlan::RunSelect() {
    if (dictionary == nullptr) return;
    if (evaluator != nullptr) evaluator->ForgetNestedRows();
    for (std::int16_t i = static_cast<std::int16_t>(selectCount - 1); i >= 0; --i) {
        SelectBlock* block = Block(i);
        if (block == nullptr) continue;
        std::int16_t ok = block->tables.Count() <= 1 ? EvaluateSingleTable(*this, *block, i)
                                                     : EvaluateMultiTable(*this, *block, i);
        if (!ok || !status.ok()) return;
        // Nested blocks need their rows in every mode: the blocks that read
        // them (an UPDATE's WHERE too) ask for them.
        bool nested = block->parent >= 0;
        if (mode != Mode::kRows && !nested) continue;
        TableRef* result = BuildResult(*block, *dictionary);
        if (result == nullptr || !status.ok()) return;
        if (mode == Mode::kRows) resultSet = result;
    }
    if (mode != Mode::kRows) return;
    if (const SyntaxNode* op = SetOperator(QueryTree())) CombineSetOperands(op);
    if (!status.ok() || resultSet == nullptr) return;
    if (!SortRows(*resultSet, orderBy)) SetError(MessageText(kMsgOutOfMemory), nullptr);
}

// UNION [ALL], INTERSECT and EXCEPT over the results of the first SELECT
// (block 0) and of the second (the next main block): UNION ALL keeps every
// row of both; the others give distinct rows (UNION: of either; INTERSECT:
// of the first that the second also has; EXCEPT: of the first that the
// second lacks).  Rows of the second are converted to the first's columns.
void QueryPlan::CombineSetOperands(const SyntaxNode* op) {
    SelectBlock* first = Block(0);
    SelectBlock* second = nullptr;
    for (std::int16_t i = 1; i < selectCount && second == nullptr; ++i)
        if (Block(i) != nullptr && Block(i)->parent < 0) second = Block(i);
    if (first == nullptr || second == nullptr || first->resultTable == nullptr || second->resultTable == nullptr)
        return;
    TableRef& a = *first->resultTable;
    TableRef& b = *second->resultTable;
    if ((a.items != nullptr ? a.items->Count() : 0) != (b.items != nullptr ? b.items->Count() : 0)) {
        SetError(MessageText(kMsgIncorrectType, op->text), nullptr);
        return;
    }
    bool all = op->next != nullptr && op->next->kind == kKwAll;
    TableRef* result = CreateResultTable(*first, *dictionary);
    TableRef* other = op->kind == kKwUnion ? nullptr : CreateResultTable(*first, *dictionary);
    if (result == nullptr || (op->kind != kKwUnion && other == nullptr)) return;
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
            if (inSecond != (op->kind == kKwIntersect)) continue;
        }
        if (!append(*result, !all)) return;
    }
    if (op->kind == kKwUnion) {
        for (std::int32_t r = 1; r <= b.rowCount; ++r) {
            b.ReadFrom(r);
            ConvertRow(b, *result);
            if (!append(*result, !all)) return;
        }
    }
    resultSet = result;
}

}  // namespace qx
