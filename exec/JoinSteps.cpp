#include "exec/JoinSteps.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "analysis/BoundSelect.h"
#include "base/Interrupt.h"
#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/KeyHash.h"
#include "exec/RowSelection.h"
#include "planner/FastPaths.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "values/Transfor.h"

namespace qx {
namespace {

struct StepFailure {};  // a read failed or memory ran out: the block holds the message

// One table of the walk: its place in the FROM list, how it joins, its ON condition.
struct Step {
    TableRef* table;
    StepKind kind;
    const BoundCondition* on;
};

class Steps {
public:
    Steps(QueryPlan& plan, SelectBlock& block)
        : block_(block), select_(*block.select), evaluator_(*plan.evaluator) {
        for (const JoinStep& step : select_.joinSteps) steps_.push_back(Step{step.table, step.kind, step.on.get()});
        if (steps_.empty())
            for (TableRef* table : select_.tables)
                steps_.push_back(Step{table, steps_.empty() ? StepKind::kFirst : StepKind::kInner, nullptr});
    }

    void Run();
    std::unique_ptr<ConditionResult> TakeResult() { return std::move(result_); }

private:
    // Puts `table` on record `number` (0: no record, every item empty).
    void Position(TableRef* table, std::uint32_t number);
    void PositionRow(const std::vector<std::uint32_t>& rows, std::size_t row, std::size_t width);
    bool Holds(const BoundCondition& condition);
    // The parts of WHERE that apply after each step.
    void SplitWhere();
    bool WhereHolds(std::size_t step);
    // The equality of `on` (one of its AND operands) between an item of
    // `table` and an item of an earlier table: the item of `table` in
    // `inner`, the other in `outer`.
    static bool FindEquality(const BoundCondition* on, const TableRef* table, ItemDescriptor*& inner,
                             ItemDescriptor*& outer);
    void Append(std::vector<std::uint32_t>& rows, const std::vector<std::uint32_t>& numbers);
    [[noreturn]] void Fail(const char* text) {
        block_.SetError(text);
        throw StepFailure();
    }

    SelectBlock& block_;
    const BoundSelect& select_;
    ExpressionEvaluator& evaluator_;
    std::vector<Step> steps_;
    std::vector<std::vector<const BoundCondition*>> where_;  // by step
    std::vector<ItemValue> values_;
    MemoryCharge charge_;  // the combinations kept, against the statement's memory bound
    std::unique_ptr<ConditionResult> result_;
};

void Steps::Position(TableRef* table, std::uint32_t number) {
    if (number == 0) {
        if (table->record != nullptr) std::memset(table->record, 0, table->recordSize);
        table->currentRecord = 0;
        return;
    }
    if (table->currentRecord == number) return;
    std::int32_t read = table->ReadFrom(number);
    if (read < 0) Fail(HostFailureText(table->name.Get(), static_cast<int>(-read)).c_str());
}

void Steps::PositionRow(const std::vector<std::uint32_t>& rows, std::size_t row, std::size_t width) {
    for (std::size_t t = 0; t < width; ++t) Position(steps_[t].table, rows[row * width + t]);
}

bool Steps::Holds(const BoundCondition& condition) {
    switch (condition.kind) {
        case BoundCondition::Kind::kNot: return !Holds(*condition.operands.front());
        case BoundCondition::Kind::kAnd:
            for (const auto& operand : condition.operands)
                if (!Holds(*operand)) return false;
            return true;
        case BoundCondition::Kind::kOr:
            for (const auto& operand : condition.operands)
                if (Holds(*operand)) return true;
            return false;
        case BoundCondition::Kind::kPredicate: break;
    }
    const BoundPredicate& predicate = *condition.predicate;
    values_.clear();
    for (ItemDescriptor* item : predicate.items)
        values_.push_back(ItemValue{EvaluationKind(item), static_cast<std::int32_t>(ValueBufferSize(item)),
                                    ReadCell(item, nullptr)});
    bool holds = evaluator_.EvaluatePredicate(predicate, values_, false) != 0;
    if (!block_.plan->status.ok()) throw StepFailure();  // a nested SELECT failed
    return holds;
}

void Steps::Append(std::vector<std::uint32_t>& rows, const std::vector<std::uint32_t>& numbers) {
    if (rows.size() + numbers.size() > rows.capacity()) {
        std::size_t capacity = std::max<std::size_t>(1024, rows.capacity() * 2);
        if (!charge_.Add((capacity - rows.capacity()) * sizeof(std::uint32_t))) Fail(MessageText(kMsgOutOfMemory));
        rows.reserve(capacity);
    }
    rows.insert(rows.end(), numbers.begin(), numbers.end());
}

bool Steps::FindEquality(const BoundCondition* on, const TableRef* table, ItemDescriptor*& inner,
                         ItemDescriptor*& outer) {
    if (on == nullptr) return false;
    if (on->kind == BoundCondition::Kind::kAnd) {
        for (const auto& operand : on->operands)
            if (FindEquality(operand.get(), table, inner, outer)) return true;
        return false;
    }
    if (on->kind != BoundCondition::Kind::kPredicate) return false;
    const BoundPredicate& p = *on->predicate;
    if (p.kind != PredicateKind::kCompare || p.op != kOpEqual || p.leftSigned || p.left == nullptr ||
        p.right == nullptr || p.left->kind != ExprKind::kItem || p.right->kind != ExprKind::kItem)
        return false;
    ItemDescriptor* sides[2] = {p.left->item, p.right->item};
    for (int s = 0; s < 2; ++s) {
        ItemDescriptor* mine = sides[s];
        ItemDescriptor* other = sides[1 - s];
        if (mine == nullptr || other == nullptr || mine->owner != table || other->owner == table) continue;
        std::int16_t kinds[2] = {EvaluationKind(mine), EvaluationKind(other)};
        bool hashable = (kinds[0] == kOperandDouble && kinds[1] == kOperandDouble) ||
                        (kinds[0] == kOperandText && kinds[1] == kOperandText);
        if (!hashable || mine->keyKind == ItemDescriptor::kCompositeKey || other->keyKind == ItemDescriptor::kCompositeKey)
            continue;
        inner = mine;
        outer = other;
        return true;
    }
    return false;
}

void Steps::SplitWhere() {
    where_.assign(steps_.size(), {});
    if (select_.where == nullptr) return;
    // The step after which every table a part of WHERE reads is joined.
    std::function<std::size_t(const BoundCondition&)> lastStep = [&](const BoundCondition& c) -> std::size_t {
        std::size_t last = 0;
        for (const auto& operand : c.operands) last = std::max(last, lastStep(*operand));
        if (c.predicate != nullptr)
            for (const std::string& name : c.predicate->tables)
                for (std::size_t t = 0; t < steps_.size(); ++t)
                    if (name == steps_[t].table->name.Get()) last = std::max(last, t);
        return last;
    };
    // Its parts joined by AND apply as soon as their tables are there: the
    // steps after only add tables to a combination.
    if (select_.where->kind == BoundCondition::Kind::kAnd)
        for (const auto& operand : select_.where->operands) where_[lastStep(*operand)].push_back(operand.get());
    else
        where_[lastStep(*select_.where)].push_back(select_.where.get());
}

bool Steps::WhereHolds(std::size_t step) {
    for (const BoundCondition* part : where_[step])
        if (!Holds(*part)) return false;
    return true;
}

void Steps::Run() {
    const std::vector<Step>& steps = steps_;
    SplitWhere();
    std::vector<std::uint32_t> rows;
    TableRef* first = steps.front().table;
    for (std::int32_t r = first->ReadFirst(); r != 0; r = first->ReadNext()) {
        if (r < 0) Fail(HostFailureText(first->name.Get(), static_cast<int>(-r)).c_str());
        if (WhereHolds(0)) Append(rows, {static_cast<std::uint32_t>(r)});
    }
    std::vector<std::uint32_t> numbers;
    for (std::size_t s = 1; s < steps.size(); ++s) {
        const Step& step = steps[s];
        std::size_t width = s;
        // An equality with an earlier table: the step's records by key.
        ItemDescriptor* inner = nullptr;
        ItemDescriptor* outer = nullptr;
        KeyHash hash;
        std::string key;
        bool hashed = FastPathsEnabled() && FindEquality(step.on, step.table, inner, outer);
        std::vector<std::uint32_t> records;
        try {
            for (std::int32_t r = step.table->ReadFirst(); r != 0; r = step.table->ReadNext()) {
                if (r < 0) Fail(HostFailureText(step.table->name.Get(), static_cast<int>(-r)).c_str());
                if (!hashed) {
                    Append(records, {static_cast<std::uint32_t>(r)});
                    continue;
                }
                const void* value = ReadCell(inner, nullptr);
                if (value != nullptr && MakeEqualityKey(EvaluationKind(inner), value, key) == EqualityKeyKind::kKey)
                    hash.Add(key, static_cast<std::uint32_t>(r));
            }
            if (hashed) hash.Seal();
        } catch (const std::bad_alloc&) {
            Fail(MessageText(kMsgOutOfMemory));
        }
        std::vector<std::uint32_t> next;
        std::size_t count = rows.size() / width;
        std::vector<std::uint32_t> candidates;
        for (std::size_t row = 0; row < count; ++row) {
            // Rows made in memory read no record: a request to stop is looked at here too.
            if (InterruptRequested()) Fail(MessageText(kMsgInterrupted));
            bool matched = false;
            auto take = [&](std::uint32_t r) {
                numbers.assign(rows.begin() + static_cast<std::ptrdiff_t>(row * width),
                               rows.begin() + static_cast<std::ptrdiff_t>((row + 1) * width));
                numbers.push_back(r);
                Append(next, numbers);
            };
            auto tryRecord = [&](std::uint32_t r) {
                PositionRow(rows, row, width);
                Position(step.table, r);
                if (step.on != nullptr && !Holds(*step.on)) return;
                matched = true;
                if (WhereHolds(s)) take(r);
            };
            if (hashed) {
                PositionRow(rows, row, width);
                const void* value = ReadCell(outer, nullptr);
                candidates.clear();
                if (value != nullptr && MakeEqualityKey(EvaluationKind(outer), value, key) == EqualityKeyKind::kKey)
                    hash.ForEach(key, [&](std::uint32_t r) { candidates.push_back(r); });
                for (std::uint32_t r : candidates) tryRecord(r);
            } else {
                for (std::uint32_t r : records) tryRecord(r);
            }
            if (!matched && step.kind == StepKind::kLeft) {
                PositionRow(rows, row, width);
                Position(step.table, 0);
                if (WhereHolds(s)) take(0);
            }
        }
        rows.swap(next);
    }
    result_ = std::make_unique<ConditionResult>();
    if (!result_->IsComplete()) Fail(MessageText(kMsgOutOfMemory));
    result_->state = ConditionResult::kTuples;
    for (const Step& step : steps)
        if (!result_->tuples->AddColumn(step.table->name.Get())) Fail(MessageText(kMsgOutOfMemory));
    std::size_t width = steps.size();
    if (!result_->tuples->Reserve(static_cast<std::int32_t>(rows.size() / width) + 1)) Fail(MessageText(kMsgOutOfMemory));
    for (std::size_t row = 0; row < rows.size() / width; ++row) {
        if ((row & 0xFFF) == 0 && InterruptRequested()) Fail(MessageText(kMsgInterrupted));
        if (!result_->tuples->AppendTuple(rows.data() + row * width, static_cast<int>(width)))
            Fail(MessageText(kMsgOutOfMemory));
    }
}

}  // namespace

std::int16_t RunJoinSteps(QueryPlan& plan, SelectBlock& block) {
    if (plan.evaluator == nullptr || block.select->tables.empty()) {
        block.SetError(MessageText(kMsgInternalError, "join steps"));
        return 0;
    }
    try {
        Steps steps(plan, block);
        steps.Run();
        KeepSelectionResult(plan, block, steps.TakeResult());
        return 1;
    } catch (const StepFailure&) {
        return 0;
    } catch (const std::bad_alloc&) {
        block.SetError(MessageText(kMsgOutOfMemory));
        return 0;
    }
}

}  // namespace qx
