#include "exec/RowSelection.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/BoundCondition.h"
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
#include "exec/JoinSteps.h"
#include "exec/KeyHash.h"
#include "exec/PredicateShortcut.h"
#include "exec/RecordTupleSet.h"
#include "planner/FastPaths.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// Distribution can multiply operands; past this many the condition is refused.
constexpr std::size_t kMaxDistributedOperands = 4096;

// ---------------------------------------------------------------------------
// The condition as a tree, after NOT push-down: leaves and AND/OR operand
// lists, in the order of the condition chain.

struct Cond {
    enum class Kind { kLeaf, kAnd, kOr };
    Kind kind = Kind::kLeaf;
    const ConditionResult* source = nullptr;  // leaf of the prepared condition (not owned)
    std::unique_ptr<ConditionResult> owned;   // leaf of a reduction (a combination or its copy)
    std::vector<std::unique_ptr<Cond>> operands;

    bool IsLeaf() const { return kind == Kind::kLeaf; }
    const ConditionResult* Result() const { return owned ? owned.get() : source; }
};

using CondPtr = std::unique_ptr<Cond>;

struct ReductionFailure {};  // a combination is impossible or the condition too large

CondPtr Leaf(std::unique_ptr<ConditionResult> result) {
    auto c = std::make_unique<Cond>();
    c->owned = std::move(result);
    return c;
}

std::unique_ptr<ConditionResult> CopyResult(const ConditionResult& r) {
    std::unique_ptr<ConditionResult> copy = ConditionResult::Copy(r);
    if (!copy) throw std::bad_alloc();
    return copy;
}

// Copies of a leaf of the prepared condition point at the same result (the
// selection's predicates outlive the reduction); combinations are copied.
CondPtr DeepCopy(const Cond& c) {
    auto copy = std::make_unique<Cond>();
    copy->kind = c.kind;
    if (c.IsLeaf()) {
        if (c.owned) copy->owned = CopyResult(*c.owned);
        else copy->source = c.source;
        return copy;
    }
    for (const CondPtr& o : c.operands) copy->operands.push_back(DeepCopy(*o));
    return copy;
}

// Execution's result of each predicate of a block, made on first use.
class PredicateResults {
public:
    ConditionResult* Of(const BoundPredicate* predicate) {
        std::unique_ptr<ConditionResult>& slot = results_[predicate];
        if (!slot) {
            slot = std::make_unique<ConditionResult>(predicate);
            if (!slot || !slot->IsComplete()) {
                slot.reset();
                throw std::bad_alloc();
            }
        }
        return slot.get();
    }

private:
    std::unordered_map<const BoundPredicate*, std::unique_ptr<ConditionResult>> results_;
};

// The records of a table by the equality key of one item, made the first
// time a nested SELECT run for an outer row looks its link up, and kept for
// the runs that follow.
struct LinkIndex {
    KeyHash records;
    bool usable = false;  // every record has a key (or equals nothing)
};

// What execution keeps of a plan: the result of each block's condition and
// the link indexes.
class BlockResults : public ExecutionState {
public:
    std::unordered_map<const SelectBlock*, std::unique_ptr<ConditionResult>> results;
    std::map<std::pair<const TableRef*, const ItemDescriptor*>, std::unique_ptr<LinkIndex>> linkIndexes;
};

BlockResults& StateOf(QueryPlan& plan) {
    if (plan.execution == nullptr) plan.execution = std::make_unique<BlockResults>();
    return static_cast<BlockResults&>(*plan.execution);
}

// Makes `result` the block's (the one it replaces goes).
void KeepBlockResult(QueryPlan& plan, SelectBlock& block, std::unique_ptr<ConditionResult> result) {
    block.conditionResult = result.get();
    StateOf(plan).results[&block] = std::move(result);
}

// Builds the tree of a condition, pushing NOT down to the predicates: NOT
// NOT x is x, and a negated AND/OR becomes OR/AND of negated operands (the
// predicates under an odd number of NOTs are negated when evaluated).
CondPtr Build(const BoundCondition& node, bool negate, PredicateResults& results) {
    switch (node.kind) {
        case BoundCondition::Kind::kNot: return Build(*node.operands.front(), !negate, results);
        case BoundCondition::Kind::kPredicate: {
            auto c = std::make_unique<Cond>();
            c->source = results.Of(node.predicate.get());
            return c;
        }
        case BoundCondition::Kind::kAnd:
        case BoundCondition::Kind::kOr: break;
    }
    bool isAnd = (node.kind == BoundCondition::Kind::kAnd) != negate;
    auto c = std::make_unique<Cond>();
    c->kind = isAnd ? Cond::Kind::kAnd : Cond::Kind::kOr;
    for (const auto& operand : node.operands) c->operands.push_back(Build(*operand, negate, results));
    return c;
}

// Flattening: an operand that is a chain with the same operator gives its
// operands to this chain; they move to the end, in their order.
void Flatten(Cond& c) {
    if (c.IsLeaf()) return;
    std::vector<CondPtr> kept, moved;
    for (CondPtr& o : c.operands) {
        Flatten(*o);
        if (!o->IsLeaf() && o->kind == c.kind) {
            for (CondPtr& inner : o->operands) moved.push_back(std::move(inner));
        } else {
            kept.push_back(std::move(o));
        }
    }
    for (CondPtr& m : moved) kept.push_back(std::move(m));
    c.operands = std::move(kept);
}

CondPtr Reduce(const Cond& c, std::size_t& budget);

// L op (X p Y) becomes (L op X) p (L op Y), keeping the operands' order; two
// chains distribute fully: (X1 p X2) op (Y1 p Y2) gives p over every Xi op Yj.
CondPtr Distribute(const Cond& first, const Cond& second, Cond::Kind op, std::size_t& budget) {
    auto pair = [op](CondPtr a, CondPtr b) {
        auto c = std::make_unique<Cond>();
        c->kind = op;
        c->operands.push_back(std::move(a));
        c->operands.push_back(std::move(b));
        return c;
    };
    auto result = std::make_unique<Cond>();
    if (first.IsLeaf() != second.IsLeaf()) {
        const Cond& chain = first.IsLeaf() ? second : first;
        const Cond& leaf = first.IsLeaf() ? first : second;
        result->kind = chain.kind;
        for (const CondPtr& x : chain.operands) {
            if (budget-- == 0) throw ReductionFailure();
            result->operands.push_back(first.IsLeaf() ? pair(DeepCopy(leaf), DeepCopy(*x))
                                                      : pair(DeepCopy(*x), DeepCopy(leaf)));
        }
        return result;
    }
    result->kind = first.kind;
    for (const CondPtr& x : first.operands)
        for (const CondPtr& y : second.operands) {
            if (budget-- == 0) throw ReductionFailure();
            result->operands.push_back(pair(DeepCopy(*x), DeepCopy(*y)));
        }
    return result;
}

// Reduces a condition towards a single leaf; the result may stay a chain
// when it cannot be reduced further.
CondPtr Reduce(const Cond& c, std::size_t& budget) {
    if (c.IsLeaf()) return DeepCopy(c);
    CondPtr work = DeepCopy(c);
    for (;;) {
        for (CondPtr& o : work->operands) o = Reduce(*o, budget);
        Flatten(*work);
        // Pairwise combination of leaves, restarting from the first pair
        // after every success.  Only when no two leaves of an AND share a
        // table is the product of two taken.
        for (bool product = false;;) {
            bool combined = false;
            if (work->operands.size() == 1) return std::move(work->operands[0]);
            for (std::size_t a = 0; a < work->operands.size() && !combined; ++a) {
                for (std::size_t b = a + 1; b < work->operands.size() && !combined; ++b) {
                    Cond& x = *work->operands[a];
                    Cond& y = *work->operands[b];
                    if (!x.IsLeaf() || !y.IsLeaf() || x.Result() == nullptr || y.Result() == nullptr) continue;
                    std::unique_ptr<ConditionResult> r = work->kind == Cond::Kind::kAnd
                                                             ? CombineAnd(*x.Result(), *y.Result(), product)
                                                             : CombineOr(*x.Result(), *y.Result());
                    if (r == nullptr) continue;
                    work->operands[a] = Leaf(std::move(r));
                    work->operands.erase(work->operands.begin() + static_cast<std::ptrdiff_t>(b));
                    combined = true;
                }
            }
            if (combined) {
                product = false;
                continue;
            }
            if (product || work->kind != Cond::Kind::kAnd) break;
            product = true;
        }
        if (work->operands.size() == 1) return std::move(work->operands[0]);
        bool allLeaves = true;
        for (const CondPtr& o : work->operands) allLeaves = allLeaves && o->IsLeaf();
        if (allLeaves) return work;
        std::size_t j = 1;
        for (std::size_t k = 1; k < work->operands.size(); ++k)
            if (work->operands[0]->IsLeaf() != work->operands[k]->IsLeaf()) {
                j = k;
                break;
            }
        CondPtr distributed = Distribute(*work->operands[0], *work->operands[j], work->kind, budget);
        work->operands[0] = std::move(distributed);
        work->operands.erase(work->operands.begin() + static_cast<std::ptrdiff_t>(j));
    }
}

// ---------------------------------------------------------------------------
// Walking the records of a group of tables.

class Selection {
public:
    Selection(QueryPlan& plan, SelectBlock& block, const PlanOperator& selection)
        : plan_(plan), block_(block), selection_(selection), dictionary_(plan.dictionary),
          evaluator_(plan.evaluator) {}

    std::int16_t Multi();
    std::int16_t Single();

private:
    struct GroupPredicate {
        const BoundPredicate* predicate;
        ConditionResult* result;
        bool negated = false;             // NOT pushed down onto it
        std::vector<ItemValue> values;    // one per item the predicate reads
        std::unique_ptr<PredicateShortcut> shortcut;  // the direct evaluation, when the shape allows
        bool perOuterRow = false;  // it reads a nested SELECT run again for each outer row: evaluated only when needed
    };
    struct Group {
        std::vector<TableRef*> tables;
        std::vector<GroupPredicate> predicates;
    };

    bool Fail(const char* text) {
        block_.SetError(text);
        error_ = true;
        return false;
    }
    bool ReadFailed(TableRef* table, std::int32_t status) {
        return Fail(HostFailureText(table->name.Get(), static_cast<int>(-status)).c_str());
    }

    // One table's records in a walk: every record, or only those a filter
    // let through (in record order), read once and kept when the walk
    // comes back to them for every record of the tables after it.
    struct Cursor {
        TableRef* table = nullptr;
        const std::vector<std::uint32_t>* only = nullptr;  // the filter's records (not owned), or null
        std::size_t at = 0;
        std::vector<unsigned char> kept;  // the listed records' bytes, one after the other, when kept
        MemoryCharge keptCharge;          // `kept` against the statement's memory bound

        std::int32_t First() {
            at = 0;
            return only == nullptr ? table->ReadFirst() : Listed();
        }
        std::int32_t Next() {
            ++at;
            return only == nullptr ? table->ReadNext() : Listed();
        }
        std::int32_t Listed() {
            if (at >= only->size()) return 0;
            if (kept.empty()) return table->ReadFrom((*only)[at]);
            std::memcpy(table->record, kept.data() + at * table->recordSize, table->recordSize);
            table->currentRecord = (*only)[at];
            return static_cast<std::int32_t>(table->currentRecord);
        }
        // Reads the listed records into `kept`; a negative status on a read failure.
        std::int32_t Keep();
    };

    void Prepare();
    // The group's tables and the predicates `tests` of it (all of them when null).
    bool LoadGroup(const PredicateGroup& source, const std::vector<const BoundPredicate*>* tests, Group& group);
    bool RunGroupOperator(const PlanOperator& op, std::vector<std::uint32_t>& numbers);
    void NoteFilter(TableRef* table, const RecordTupleSet& tuples);
    std::vector<Cursor> Cursors(const Group& group) const;
    bool HashJoin(Group& group, GroupPredicate& p);
    // A nested SELECT run for an outer row, whose condition is an AND with
    // "ITEM = OUTER ITEM": its one table walks only the records whose item
    // equals the outer value, found through the table's link index.
    void FilterByLink(Group& group);
    void RefreshValues(GroupPredicate& p);
    bool ReadsCorrelatedSelect(const BoundPredicate& predicate) const;
    // Visits every combination of the group's records (those a filter let
    // through, for a filtered table); `visit` returns false to stop.
    template <typename Visit>
    bool WalkCombinations(Group& group, Visit visit);
    void* ReadItem(ItemDescriptor* item);
    static bool KeepRecord(const TableRef& table, ConditionResult& result);
    std::int16_t Evaluate(GroupPredicate& p, bool useNegated);
    void CurrentNumbers(const Group& group, std::vector<std::uint32_t>& numbers) const;
    std::int16_t FullScan();
    std::int16_t CoverEveryTable();
    std::int16_t TakeReduced(const ConditionResult& result, bool& unconditioned);
    std::int16_t TakeReduced(Cond& reduced, bool& unconditioned);
    // The WHERE condition of a one-table block as a truth tree, prepared once per walk.
    struct Truth {
        enum class Kind { kAnd, kOr, kNot, kPredicate, kConstant };
        Kind kind = Kind::kConstant;
        bool constant = true;       // the value of a constant
        std::size_t predicate = 0;  // index in the group's predicates
        std::vector<Truth> operands;
    };
    using PredicateIndex = std::unordered_map<const BoundPredicate*, std::size_t>;
    Truth Compile(const BoundCondition& node, const PredicateIndex& predicates, bool& undecided) const;
    Truth Foreign(const BoundPredicate& predicate, const PredicateIndex& predicates, bool& undecided) const;
    bool Holds(const Truth& t, Group& group, std::vector<signed char>& truths);

    QueryPlan& plan_;
    SelectBlock& block_;
    const PlanOperator& selection_;
    QueryDictionary* dictionary_;
    ExpressionEvaluator* evaluator_;
    CondPtr prepared_;
    std::unordered_set<const BoundPredicate*> negated_;  // the WHERE predicates NOT push-down negates
    bool error_ = false;
    std::unordered_map<const BoundPredicate*, bool> constants_;  // predicates that read no table
    // Items read in the current walk: ReadCell's answer for the record then current.
    struct ItemRead {
        ItemDescriptor* item;
        std::uint32_t record;  // the item's table's current record when read
        std::uint64_t runs;    // the plan's nested runs then: one may have read the item since
        void* value;
    };
    std::vector<ItemRead> reads_;
    PredicateResults results_;  // the result of each predicate of the block
    std::unordered_map<const TableRef*, std::vector<std::uint32_t>> filtered_;
};

void Selection::Prepare() {
    const BoundCondition* where = block_.select->where.get();
    if (where == nullptr) return;
    negated_ = NegatedPredicates(*where);
    prepared_ = Build(*where, false, results_);
    Flatten(*prepared_);
}

bool Selection::LoadGroup(const PredicateGroup& source, const std::vector<const BoundPredicate*>* tests,
                          Group& group) {
    for (std::size_t t = 0; t < source.tables.size(); ++t) {
        if (source.tables[t] == nullptr) return Fail(MessageText(kMsgInternalError, source.names[t].c_str()));
        group.tables.push_back(source.tables[t]);
    }
    const std::vector<const BoundPredicate*>& list = tests != nullptr ? *tests : source.predicates;
    for (const BoundPredicate* predicate : list) {
        GroupPredicate& p = group.predicates.emplace_back();
        p.predicate = predicate;
        p.result = results_.Of(predicate);
        p.negated = negated_.count(predicate) != 0;
        for (ItemDescriptor* item : predicate->items)
            p.values.push_back(ItemValue{EvaluationKind(item), static_cast<std::int32_t>(ValueBufferSize(item)), nullptr});
        if (FastPathsEnabled()) p.shortcut = PredicateShortcut::For(*predicate);
        p.perOuterRow = ReadsCorrelatedSelect(*predicate);
    }
    return true;
}

bool Selection::ReadsCorrelatedSelect(const BoundPredicate& predicate) const {
    auto correlated = [this](int block) {
        const BoundSelect* select = block >= 0 ? plan_.statement->Select(block) : nullptr;
        return select != nullptr && select->correlated;
    };
    std::function<bool(const BoundExpr*)> reads = [&](const BoundExpr* e) {
        if (e == nullptr) return false;
        if (e->kind == ExprKind::kSubSelect && correlated(e->block)) return true;
        for (const auto& operand : e->operands)
            if (reads(operand.get())) return true;
        return false;
    };
    return correlated(predicate.rows.block) || reads(predicate.left.get()) || reads(predicate.right.get()) ||
           reads(predicate.lower.get()) || reads(predicate.upper.get());
}

void Selection::RefreshValues(GroupPredicate& p) {
    for (std::size_t k = 0; k < p.values.size(); ++k) p.values[k].data = ReadItem(p.predicate->items[k]);
}

void Selection::FilterByLink(Group& group) {
    const BoundSelect& select = *block_.select;
    if (!select.correlated || !FastPathsEnabled() || group.tables.size() != 1 || select.where == nullptr ||
        (select.where->kind != BoundCondition::Kind::kPredicate && !IsConjunction(*select.where)))
        return;
    TableRef* table = group.tables.front();
    // A value computed from literals and outer items only: the same for every record of the run.
    std::function<bool(const BoundExpr*)> outerOnly = [&](const BoundExpr* e) {
        switch (e->kind) {
            case ExprKind::kItem:
                return e->item->owner != table && std::any_of(select.outerReads.begin(), select.outerReads.end(),
                                                              [e](const OuterRead& read) { return read.item == e->item; });
            case ExprKind::kNumber:
            case ExprKind::kText:
            case ExprKind::kNegate:
            case ExprKind::kArithmetic:
            case ExprKind::kFunction: break;
            default: return false;
        }
        for (const auto& operand : e->operands)
            if (operand == nullptr || !outerOnly(operand.get())) return false;
        return true;
    };
    for (GroupPredicate& p : group.predicates) {
        const BoundPredicate& predicate = *p.predicate;
        if (p.negated || predicate.kind != PredicateKind::kCompare || predicate.op != kOpEqual || predicate.leftSigned ||
            predicate.left == nullptr || predicate.right == nullptr)
            continue;
        const BoundExpr* innerSide = predicate.left.get();
        const BoundExpr* outerSide = predicate.right.get();
        if (innerSide->kind != ExprKind::kItem || innerSide->item->owner != table) std::swap(innerSide, outerSide);
        if (innerSide->kind != ExprKind::kItem || innerSide->item->owner != table || !outerOnly(outerSide)) continue;
        ItemDescriptor* inner = innerSide->item;
        std::int16_t kind = EvaluationKind(inner);
        if ((kind != kOperandDouble && kind != kOperandText) || inner->keyKind == ItemDescriptor::kCompositeKey) continue;
        RefreshValues(p);
        Value outer = evaluator_->Evaluate(*outerSide, p.values);
        if (!outer.Has() || outer.Type() != kind) continue;
        std::unique_ptr<LinkIndex>& index = StateOf(plan_).linkIndexes[{table, inner}];
        std::string key;
        if (index == nullptr) {
            index = std::make_unique<LinkIndex>();
            index->usable = true;
            for (std::int32_t r = table->ReadFirst(); r != 0 && index->usable; r = table->ReadNext()) {
                if (r < 0) {
                    ReadFailed(table, r);
                    return;
                }
                const void* value = ReadCell(inner, nullptr);
                EqualityKeyKind made = value != nullptr ? MakeEqualityKey(kind, value, key) : EqualityKeyKind::kNotCovered;
                if (made == EqualityKeyKind::kKey) index->records.Add(key, static_cast<std::uint32_t>(r));
                index->usable = made != EqualityKeyKind::kNotCovered;
            }
            if (index->usable) index->records.Seal();
            else index->records = KeyHash();
        }
        if (!index->usable) return;
        EqualityKeyKind made = MakeEqualityKey(kind, outer.Data(), key);
        if (made == EqualityKeyKind::kNotCovered) return;
        std::vector<std::uint32_t>& records = filtered_[table];
        records.clear();
        if (made == EqualityKeyKind::kKey) index->records.ForEach(key, [&](std::uint32_t r) { records.push_back(r); });
        return;
    }
}

// The tuples of an equality join, found by hashing table 0's records by key
// and probing with table 1's.  The pairs come out in the order of the
// odometer walk: table 1's records in order, and for each the matching
// records of table 0 in order.
bool Selection::HashJoin(Group& group, GroupPredicate& p) {
    ItemDescriptor* items[2] = {p.predicate->left->item, p.predicate->right->item};
    if (items[0]->owner != group.tables[0]) std::swap(items[0], items[1]);
    std::vector<Cursor> cursors = Cursors(group);
    TableRef* fast = group.tables[0];
    TableRef* slow = group.tables[1];
    KeyHash hash;
    std::string key;
    auto keyOf = [&key](ItemDescriptor* item) {
        const void* value = ReadCell(item, nullptr);
        if (value == nullptr) throw std::bad_alloc();  // no value buffer
        return MakeEqualityKey(EvaluationKind(item), value, key) == EqualityKeyKind::kKey;
    };
    std::int32_t r = fast->ReadFirst();
    if (r == 0) return true;  // an empty table: no combination
    if (r > 0 && cursors[0].only != nullptr) r = cursors[0].First();
    for (; r != 0; r = cursors[0].Next()) {
        if (r < 0) return ReadFailed(fast, r);
        if (keyOf(items[0])) hash.Add(key, static_cast<std::uint32_t>(r));
    }
    hash.Seal();
    r = slow->ReadFirst();
    if (r == 0) return true;
    if (r > 0 && cursors[1].only != nullptr) r = cursors[1].First();
    std::uint32_t numbers[2];
    for (; r != 0; r = cursors[1].Next()) {
        if (r < 0) return ReadFailed(slow, r);
        if (!keyOf(items[1])) continue;
        numbers[1] = static_cast<std::uint32_t>(r);
        bool appended = true;
        hash.ForEach(key, [&](std::uint32_t match) {
            numbers[0] = match;
            appended = appended && p.result->tuples->AppendTuple(numbers, 2) != 0;
        });
        if (!appended) return Fail(MessageText(kMsgOutOfMemory));
    }
    return true;
}

// Keeping is for lists that fit a modest amount of memory; a record that
// does not read back under its number leaves the list unkept.
std::int32_t Selection::Cursor::Keep() {
    constexpr std::size_t kMaxKeptBytes = std::size_t{32} << 20;
    std::size_t size = table->recordSize;
    if (only == nullptr || table->record == nullptr || size == 0 || only->size() > kMaxKeptBytes / size) return 1;
    if (!keptCharge.TryAdd(only->size() * size)) return 1;  // not within the memory bound: read them again
    std::vector<unsigned char> bytes(only->size() * size);
    for (std::size_t i = 0; i < only->size(); ++i) {
        std::int32_t r = table->ReadFrom((*only)[i]);
        if (r != static_cast<std::int32_t>((*only)[i])) {
            keptCharge.Hold(0);
            return r < 0 ? r : 1;
        }
        std::memcpy(bytes.data() + i * size, table->record, size);
    }
    kept = std::move(bytes);
    return 1;
}

template <typename Visit>
bool Selection::WalkCombinations(Group& group, Visit visit) {
    std::vector<Cursor> cursors = Cursors(group);
    std::size_t n = cursors.size();
    bool filtered = false;
    for (Cursor& cursor : cursors) {
        std::int32_t r = cursor.table->ReadFirst();
        if (r < 0) return ReadFailed(cursor.table, r);
        if (r == 0) return true;  // an empty table: no combination
        filtered = filtered || cursor.only != nullptr;
    }
    if (filtered) {
        for (std::size_t k = 0; k + 1 < n; ++k) {
            std::int32_t r = cursors[k].Keep();
            if (r < 0) return ReadFailed(cursors[k].table, r);
        }
        for (Cursor& cursor : cursors) {
            std::int32_t r = cursor.First();
            if (r < 0) return ReadFailed(cursor.table, r);
            if (r == 0) return true;
        }
    }
    reads_.clear();
    for (;;) {
        if (!visit()) return !error_;
        std::size_t k = 0;
        for (;;) {
            std::int32_t r = cursors[k].Next();
            if (r < 0) return ReadFailed(cursors[k].table, r);
            if (r > 0) break;
            if (++k == n) return true;  // the last table met its end
        }
        for (std::size_t j = k; j-- > 0;) {
            std::int32_t r = cursors[j].First();
            if (r < 0) return ReadFailed(cursors[j].table, r);
            if (r == 0) return true;
        }
    }
}

// An item is read once per record of its table in a walk: predicates and
// combinations on the same record share its value.
void* Selection::ReadItem(ItemDescriptor* item) {
    if (item == nullptr) return nullptr;
    std::uint32_t record = item->owner != nullptr ? item->owner->currentRecord : 0;
    for (ItemRead& read : reads_) {
        if (read.item != item) continue;
        if (read.record != record || record == 0 || read.runs != plan_.nestedRuns) {
            read.value = ReadCell(item, nullptr);
            read.record = record;
            read.runs = plan_.nestedRuns;
        }
        return read.value;
    }
    void* value = ReadCell(item, nullptr);
    reads_.push_back(ItemRead{item, record, plan_.nestedRuns, value});
    return value;
}

std::int16_t Selection::Evaluate(GroupPredicate& p, bool useNegated) {
    bool negated = useNegated && p.negated;
    if (p.shortcut != nullptr) {
        if (p.shortcut->UsesValueList()) RefreshValues(p);
        int truth = p.shortcut->EvaluateOn(ReadItem(p.shortcut->Item()), ReadItem(p.shortcut->RightItem()),
                                           *evaluator_, p.values, negated);
        if (truth >= 0) return static_cast<std::int16_t>(truth);
    }
    RefreshValues(p);
    return evaluator_->EvaluatePredicate(*p.predicate, p.values, negated);
}

void Selection::CurrentNumbers(const Group& group, std::vector<std::uint32_t>& numbers) const {
    numbers.clear();
    for (const TableRef* table : group.tables) numbers.push_back(table->currentRecord);
}

std::int16_t Selection::FullScan() {
    const std::vector<TableRef*>& tables = block_.select->tables;
    if (tables.size() > 1) {
        // Tables with no condition between them: every combination of their records.
        auto made = std::make_unique<ConditionResult>();
        if (!made->tuples->AddColumn(tables[0]->name.Get())) return Fail(MessageText(kMsgOutOfMemory));
        for (std::int32_t r = tables[0]->ReadFirst(); r != 0; r = tables[0]->ReadNext()) {
            if (r < 0) return ReadFailed(tables[0], r);
            auto number = static_cast<std::uint32_t>(r);
            if (!made->tuples->AppendTuple(&number, 1)) return Fail(MessageText(kMsgOutOfMemory));
        }
        KeepBlockResult(plan_, block_, std::move(made));
        return CoverEveryTable();
    }
    TableRef* table = tables.empty() ? nullptr : tables.front();
    if (table == nullptr) return 1;
    if (plan_.mode == QueryPlan::Mode::kRows || block_.parent >= 0) {
        // The rows are built from every record: they are read once, then.
        block_.everyRecord = true;
        return 1;
    }
    auto made = std::make_unique<ConditionResult>();
    if (made == nullptr || !made->IsComplete() || !made->tuples->AddColumn(table->name.Get())) {
        block_.SetError(MessageText(kMsgOutOfMemory));
        return 0;
    }
    ConditionResult* result = made.get();
    KeepBlockResult(plan_, block_, std::move(made));
    for (std::int32_t r = table->ReadFirst(); r != 0; r = table->ReadNext()) {
        if (r < 0) {
            ReadFailed(table, r);
            return 0;
        }
        std::uint32_t number = static_cast<std::uint32_t>(r);
        if (!result->tuples->AppendTuple(&number, 1)) {
            block_.SetError(MessageText(kMsgOutOfMemory));
            return 0;
        }
    }
    return 1;
}

// The block's result extended to the tables it does not read yet: every
// combination of its tuples (the fastest) with the records of each of them,
// built in one pass.
std::int16_t Selection::CoverEveryTable() {
    ConditionResult* result = block_.conditionResult;
    if (result == nullptr || result->tuples == nullptr || result->state != ConditionResult::kTuples) return 1;
    const RecordTupleSet& have = *result->tuples;
    std::vector<TableRef*> missing;
    for (TableRef* table : block_.select->tables)
        if (have.ColumnIndex(table->name.Get()) < 0 &&
            std::find(missing.begin(), missing.end(), table) == missing.end())
            missing.push_back(table);
    if (missing.empty()) return 1;
    std::vector<std::vector<std::uint32_t>> records(missing.size());
    for (std::size_t m = 0; m < missing.size(); ++m)
        for (std::int32_t r = missing[m]->ReadFirst(); r != 0; r = missing[m]->ReadNext()) {
            if (r < 0) return ReadFailed(missing[m], r);
            records[m].push_back(static_cast<std::uint32_t>(r));
        }
    auto made = std::make_unique<ConditionResult>();
    for (int c = 0; c < have.ColumnCount(); ++c)
        if (!made->tuples->AddColumn(have.ColumnName(c))) return Fail(MessageText(kMsgOutOfMemory));
    for (TableRef* table : missing)
        if (!made->tuples->AddColumn(table->name.Get())) return Fail(MessageText(kMsgOutOfMemory));
    bool none = have.Rows() == 0 || std::any_of(records.begin(), records.end(), [](const auto& r) { return r.empty(); });
    std::vector<std::size_t> at(missing.size(), 0);  // the odometer over the missing tables' records
    std::vector<std::uint32_t> numbers(static_cast<std::size_t>(have.ColumnCount()) + missing.size());
    for (bool more = !none; more;) {
        // The combinations are made in memory, reading no file: a request to stop is looked at here.
        if (InterruptRequested()) return Fail(MessageText(kMsgInterrupted));
        for (std::size_t m = 0; m < missing.size(); ++m)
            numbers[static_cast<std::size_t>(have.ColumnCount()) + m] = records[m][at[m]];
        for (std::int32_t row = 1; row < have.rowEnd; ++row) {
            for (int c = 0; c < have.ColumnCount(); ++c) numbers[static_cast<std::size_t>(c)] = have.At(row, c);
            if (!made->tuples->AppendTuple(numbers.data(), static_cast<int>(numbers.size())))
                return Fail(MessageText(kMsgOutOfMemory));
        }
        more = false;
        for (std::size_t m = 0; m < missing.size() && !more; ++m) {
            if (++at[m] < records[m].size()) more = true;
            else at[m] = 0;
        }
    }
    KeepBlockResult(plan_, block_, std::move(made));
    return 1;
}

// Makes a reduced result the block's; `unconditioned` when it holds for
// every combination (the block then reads every record).
std::int16_t Selection::TakeReduced(const ConditionResult& result, bool& unconditioned) {
    unconditioned = result.state == ConditionResult::kTrue;
    if (unconditioned) return 1;
    std::unique_ptr<ConditionResult> copy = ConditionResult::Copy(result);
    if (copy == nullptr) {
        block_.SetError(MessageText(kMsgOutOfMemory));
        return 0;
    }
    KeepBlockResult(plan_, block_, std::move(copy));
    return 1;
}

// A filtered table's records in the walks of the groups that follow.  When
// the condition is an AND of predicates, each combination of the result
// holds every one-table predicate, and the AND joins the tuples of a
// multi-table predicate with those of the one-table predicates on its
// tables: tuples whose record a filter rejects never reach the result, and
// the others keep their order (joins and unions keep the order of the rows
// they take).  So a multi-table group walks only the records the filters
// let through.
void Selection::NoteFilter(TableRef* table, const RecordTupleSet& tuples) {
    auto found = filtered_.find(table);
    if (found == filtered_.end()) {
        std::vector<std::uint32_t>& records = filtered_[table];
        records.reserve(static_cast<std::size_t>(tuples.Rows()));
        for (std::int32_t row = 1; row < tuples.rowEnd; ++row) records.push_back(tuples.At(row, 0));
        return;
    }
    std::unordered_set<std::uint32_t> passing;
    for (std::int32_t row = 1; row < tuples.rowEnd; ++row) passing.insert(tuples.At(row, 0));
    std::vector<std::uint32_t>& records = found->second;
    std::size_t kept = 0;
    for (std::uint32_t record : records)
        if (passing.count(record) != 0) records[kept++] = record;
    records.resize(kept);
}

std::vector<Selection::Cursor> Selection::Cursors(const Group& group) const {
    std::vector<Cursor> cursors;
    for (TableRef* table : group.tables) {
        auto found = filtered_.find(table);
        Cursor& cursor = cursors.emplace_back();
        cursor.table = table;
        if (found != filtered_.end()) cursor.only = &found->second;
    }
    return cursors;
}

bool Selection::RunGroupOperator(const PlanOperator& op, std::vector<std::uint32_t>& numbers) {
    Group group;
    bool hash = op.kind == OperatorKind::kHashJoin;
    std::vector<const BoundPredicate*> joined{op.join};
    if (!LoadGroup(*op.group, hash ? &joined : op.kind == OperatorKind::kConstant ? nullptr : &op.tests, group))
        return false;
    if (group.tables.empty()) {
        reads_.clear();
        for (GroupPredicate& p : group.predicates)
            p.result->state = Evaluate(p, true) ? ConditionResult::kTrue : ConditionResult::kFalse;
        return true;
    }
    if (hash) return HashJoin(group, group.predicates.front());
    WalkCombinations(group, [&]() {
        CurrentNumbers(group, numbers);
        for (GroupPredicate& p : group.predicates) {
            if (!Evaluate(p, true)) continue;
            p.result->state = ConditionResult::kTuples;
            if (!p.result->tuples->AppendTuple(numbers.data(), static_cast<int>(numbers.size())))
                return Fail(MessageText(kMsgOutOfMemory));
        }
        return true;
    });
    if (error_) return false;
    for (const BoundPredicate* filter : op.filters) NoteFilter(group.tables[0], *results_.Of(filter)->tuples);
    return true;
}

// The same for the leaf a reduction gave, taking over its result when the
// reduction made it.
std::int16_t Selection::TakeReduced(Cond& reduced, bool& unconditioned) {
    if (!reduced.owned) return TakeReduced(*reduced.source, unconditioned);
    unconditioned = reduced.owned->state == ConditionResult::kTrue;
    if (unconditioned) return 1;
    KeepBlockResult(plan_, block_, std::move(reduced.owned));
    return 1;
}

std::int16_t Selection::Multi() {
    if (evaluator_ == nullptr || dictionary_ == nullptr) {
        block_.SetError(MessageText(kMsgInternalError, "evaluator"));
        return 0;
    }
    bool unconditioned = block_.select->where == nullptr;
    if (!unconditioned) {
        Prepare();
        std::vector<std::uint32_t> numbers;
        for (const auto& op : selection_.inputs) {
            if (op->group == nullptr) continue;  // a sub-select, run before
            if (!RunGroupOperator(*op, numbers)) return 0;
        }
        if (error_) return 0;
        std::size_t budget = kMaxDistributedOperands;
        CondPtr reduced;
        try {
            reduced = Reduce(*prepared_, budget);
        } catch (const ReductionFailure&) {
        }
        if (!reduced || !reduced->IsLeaf() || reduced->Result() == nullptr) {
            // The condition does not connect the tables in a way that yields
            // one set of combinations (for instance an OR across tables):
            // every combination is tested, within the memory bound.
            const std::vector<TableRef*>& tables = block_.select->tables;
            for (std::size_t t = 0; t < tables.size(); ++t)
                if (std::find(tables.begin() + static_cast<std::ptrdiff_t>(t) + 1, tables.end(), tables[t]) != tables.end()) {
                    block_.SetError(MessageText(kMsgDisjointTables));
                    return 0;
                }
            return RunJoinSteps(plan_, block_);
        }
        if (!TakeReduced(*reduced, unconditioned)) return 0;
    }
    if (unconditioned) return FullScan();
    return CoverEveryTable();
}

// The WHERE condition as a truth tree over the predicates indexed in
// `predicates` and the recorded constants.  `undecided` is set when a part
// cannot be decided (the condition then holds for no combination).
Selection::Truth Selection::Compile(const BoundCondition& node, const PredicateIndex& predicates,
                                    bool& undecided) const {
    Truth t;  // true
    switch (node.kind) {
        case BoundCondition::Kind::kAnd:
        case BoundCondition::Kind::kOr:
            t.kind = node.kind == BoundCondition::Kind::kAnd ? Truth::Kind::kAnd : Truth::Kind::kOr;
            for (const auto& operand : node.operands) t.operands.push_back(Compile(*operand, predicates, undecided));
            return t;
        case BoundCondition::Kind::kNot:
            t.kind = Truth::Kind::kNot;
            t.operands.push_back(Compile(*node.operands.front(), predicates, undecided));
            return t;
        case BoundCondition::Kind::kPredicate: break;
    }
    const BoundPredicate* predicate = node.predicate.get();
    if (auto p = predicates.find(predicate); p != predicates.end()) {
        t.kind = Truth::Kind::kPredicate;
        t.predicate = p->second;
        return t;
    }
    if (auto c = constants_.find(predicate); c != constants_.end()) {
        t.constant = c->second;
        return t;
    }
    return Foreign(*predicate, predicates, undecided);
}

// A predicate of another group of the block (one that also reads an outer
// table) is not evaluated in this walk.  It counts as true, except that an
// unsigned left operand of several terms or factors leaves the condition
// undecided, and a condition in parentheses there counts as its own parts do.
Selection::Truth Selection::Foreign(const BoundPredicate& predicate, const PredicateIndex& predicates,
                                    bool& undecided) const {
    const BoundExpr* left = predicate.left.get();
    if (left == nullptr || predicate.leftSigned) return Truth{};
    if (left->kind == ExprKind::kArithmetic) {
        undecided = true;
        return Truth{};
    }
    if (left->kind == ExprKind::kParenthesized && left->condition != nullptr)
        return Compile(*left->condition, predicates, undecided);
    return Truth{};
}

// AND and OR stop at their first deciding operand; a predicate is evaluated
// when first needed, or was before (truths[i] >= 0).
bool Selection::Holds(const Truth& t, Group& group, std::vector<signed char>& truths) {
    switch (t.kind) {
        case Truth::Kind::kAnd:
            for (const Truth& o : t.operands)
                if (!Holds(o, group, truths)) return false;
            return true;
        case Truth::Kind::kOr:
            for (const Truth& o : t.operands)
                if (Holds(o, group, truths)) return true;
            return false;
        case Truth::Kind::kNot: return !Holds(t.operands.front(), group, truths);
        case Truth::Kind::kPredicate: {
            signed char& truth = truths[t.predicate];
            if (truth < 0) truth = Evaluate(group.predicates[t.predicate], false) != 0 ? 1 : 0;
            return truth != 0;
        }
        case Truth::Kind::kConstant: break;
    }
    return t.constant;
}

// Appends the table's current record to the kept records of `result`;
// false (and none kept) past the bound or when memory runs short.
bool Selection::KeepRecord(const TableRef& table, ConditionResult& result) {
    constexpr std::size_t kMaxKeptBytes = std::size_t{64} << 20;
    std::size_t size = table.recordSize;
    std::size_t at = result.keptRecords % ConditionResult::kChunkRecords;
    if ((result.keptRecords + 1) * size <= kMaxKeptBytes) {
        try {
            if (at == 0 && !result.recordsCharge.TryAdd(ConditionResult::kChunkRecords * size)) throw std::bad_alloc();
            if (at == 0)
                result.records.push_back(std::make_unique_for_overwrite<unsigned char[]>(ConditionResult::kChunkRecords * size));
            std::memcpy(result.records.back().get() + at * size, table.record, size);
            ++result.keptRecords;
            return true;
        } catch (const std::bad_alloc&) {
        }
    }
    std::vector<std::unique_ptr<unsigned char[]>>().swap(result.records);
    result.keptRecords = 0;
    result.recordsCharge.Hold(0);
    return false;
}

std::int16_t Selection::Single() {
    if (evaluator_ == nullptr || dictionary_ == nullptr) {
        block_.SetError(MessageText(kMsgInternalError, "evaluator"));
        return 0;
    }
    const BoundCondition* written = block_.select->where.get();
    if (written == nullptr) return FullScan();
    Prepare();
    // NOT is applied once, by the written condition: predicates are
    // evaluated plainly here, whatever NOT push-down marked on them.
    ConditionResult* target = nullptr;
    ConditionResult* constantTarget = nullptr;
    bool sawTables = false;
    std::size_t keptSize = 0;  // bytes of a kept record
    std::vector<std::uint32_t> numbers;
    for (const auto& op : selection_.inputs) {
        if (op->group == nullptr || error_) continue;  // a sub-select, run before
        Group group;
        if (!LoadGroup(*op->group, nullptr, group)) return 0;
        if (group.predicates.empty()) continue;
        FilterByLink(group);
        if (error_) return 0;
        if (group.tables.empty()) {
            reads_.clear();
            for (GroupPredicate& p : group.predicates) {
                bool t = Evaluate(p, false) != 0;
                p.result->state = t ? ConditionResult::kTrue : ConditionResult::kFalse;
                constants_[p.predicate] = t;
            }
            if (constantTarget == nullptr) constantTarget = group.predicates.front().result;
            continue;
        }
        if (target == nullptr) target = group.predicates.front().result;
        sawTables = true;
        PredicateIndex indexes;
        for (std::size_t i = 0; i < group.predicates.size(); ++i) indexes[group.predicates[i].predicate] = i;
        bool undecided = false;
        Truth condition = Compile(*written, indexes, undecided);
        // The predicates the evaluator answers are evaluated for every
        // record, in order; those computed directly only when the condition
        // needs them (and all of them when it is undecided).
        std::vector<signed char> truths(group.predicates.size());
        // The records of the tuples are kept for the result, up to a bound.
        TableRef* only = group.tables.size() == 1 && block_.select->tables.size() == 1 ? group.tables[0] : nullptr;
        bool keep = FastPathsEnabled() && plan_.mode == QueryPlan::Mode::kRows && only != nullptr &&
                    only->record != nullptr && only->recordSize > 0 && target->tuples->Rows() == 0 &&
                    target->keptRecords == 0;
        if (keep) keptSize = only->recordSize;
        WalkCombinations(group, [&]() {
            for (std::size_t i = 0; i < truths.size(); ++i) {
                const GroupPredicate& p = group.predicates[i];
                truths[i] = -1;
                if (undecided || ((p.shortcut == nullptr || !p.shortcut->Computed()) && !p.perOuterRow))
                    truths[i] = Evaluate(group.predicates[i], false) != 0 ? 1 : 0;
            }
            if (!undecided && Holds(condition, group, truths)) {
                CurrentNumbers(group, numbers);
                if (!target->tuples->AppendTuple(numbers.data(), static_cast<int>(numbers.size())))
                    return Fail(MessageText(kMsgOutOfMemory));
                if (keep) keep = KeepRecord(*only, *target);
            }
            return true;
        });
    }
    if (error_) return 0;
    if (!sawTables && constantTarget != nullptr) {
        Group none;
        std::vector<signed char> truths;
        bool undecided = false;
        Truth condition = Compile(*written, {}, undecided);
        bool value = !undecided && Holds(condition, none, truths);
        constantTarget->state = value ? ConditionResult::kTrue : ConditionResult::kFalse;
        target = constantTarget;
    }
    if (target == nullptr) return 1;  // a condition without predicates offers no rows
    bool unconditioned = false;
    if (!TakeReduced(*target, unconditioned)) return 0;
    // The kept records go with the block's copy of the tuples.
    if (!unconditioned && block_.conditionResult != nullptr && keptSize > 0 &&
        target->keptRecords == static_cast<std::size_t>(target->tuples->Rows())) {
        block_.conditionResult->records = std::move(target->records);
        block_.conditionResult->keptRecords = target->keptRecords;
    }
    std::vector<std::unique_ptr<unsigned char[]>>().swap(target->records);
    target->keptRecords = 0;
    if (unconditioned) return FullScan();
    return 1;
}

}  // namespace

void KeepSelectionResult(QueryPlan& plan, SelectBlock& block, std::unique_ptr<ConditionResult> result) {
    KeepBlockResult(plan, block, std::move(result));
}

std::int16_t RunSelection(QueryPlan& plan, SelectBlock& block, const PlanOperator& selection) {
    if (!block.select->joinSteps.empty()) return RunJoinSteps(plan, block);
    try {
        Selection run(plan, block, selection);
        return block.select->tables.size() <= 1 ? run.Single() : run.Multi();
    } catch (const std::bad_alloc&) {
        block.SetError(MessageText(kMsgOutOfMemory));
        return 0;
    }
}

// ---------------------------------------------------------------------------
// AND and OR of two results.

namespace {

ConditionResult::State AndState(ConditionResult::State a, ConditionResult::State b) {
    if (a == ConditionResult::kFalse || b == ConditionResult::kFalse) return ConditionResult::kFalse;
    if (a == ConditionResult::kTrue && b == ConditionResult::kTrue) return ConditionResult::kTrue;
    return ConditionResult::kUndecided;
}

ConditionResult::State OrState(ConditionResult::State a, ConditionResult::State b) {
    if (a == ConditionResult::kTrue || b == ConditionResult::kTrue) return ConditionResult::kTrue;
    if (a == ConditionResult::kFalse && b == ConditionResult::kFalse) return ConditionResult::kFalse;
    return ConditionResult::kUndecided;
}

std::unique_ptr<ConditionResult> NewResult() {
    auto r = std::make_unique<ConditionResult>();
    if (!r || !r->IsComplete()) throw std::bad_alloc();
    return r;
}

void AddColumn(ConditionResult& r, const char* name) {
    if (!r.tuples->AddColumn(name)) throw std::bad_alloc();
}

// Appends row `row` of `from` to `to` (columns matched by name) unless `to` holds it.
void AppendMissing(ConditionResult& to, const RecordTupleSet& from, std::int32_t row, const std::vector<int>& map,
                   std::vector<std::uint32_t>& numbers) {
    numbers.assign(static_cast<std::size_t>(to.tuples->ColumnCount()), 0);
    for (std::size_t c = 0; c < map.size(); ++c)
        if (map[c] >= 0) numbers[c] = from.At(row, map[c]);
    if (to.tuples->ContainsNumbers(numbers.data())) return;
    if (!to.tuples->AppendTuple(numbers.data(), static_cast<int>(numbers.size()))) throw std::bad_alloc();
}

// For each column of `to`, the index of the same-named column of `from` or -1.
std::vector<int> ColumnMap(const RecordTupleSet& to, const RecordTupleSet& from) {
    std::vector<int> map;
    for (int c = 0; c < to.ColumnCount(); ++c) map.push_back(from.ColumnIndex(to.ColumnName(c)));
    return map;
}

}  // namespace

std::unique_ptr<ConditionResult> CombineAnd(const ConditionResult& a, const ConditionResult& b, bool product) {
    try {
        std::unique_ptr<ConditionResult> r = NewResult();
        r->state = AndState(a.state, b.state);
        if (r->state != ConditionResult::kUndecided) return r;
        r->state = ConditionResult::kTuples;
        const RecordTupleSet& ta = *a.tuples;
        const RecordTupleSet& tb = *b.tuples;
        // Columns: a's, then b's that a lacks; the common ones join.
        std::vector<int> common;       // index in a of each common column
        std::vector<int> commonInB;    // index in b of the same column
        std::vector<int> extraFromB;   // columns of b that a lacks
        for (int c = 0; c < ta.ColumnCount(); ++c) AddColumn(*r, ta.ColumnName(c));
        for (int c = 0; c < tb.ColumnCount(); ++c) {
            int inA = ta.ColumnIndex(tb.ColumnName(c));
            if (inA >= 0) {
                common.push_back(inA);
                commonInB.push_back(c);
            } else {
                extraFromB.push_back(c);
                AddColumn(*r, tb.ColumnName(c));
            }
        }
        bool bothExplicit = a.state == ConditionResult::kTuples && b.state == ConditionResult::kTuples;
        if (bothExplicit && common.empty() && !product) return nullptr;

        // Natural join in the order of a's rows, then b's rows: b's rows are
        // grouped by their common-column values so each row of a finds its
        // partners at once, in b's order.  Tuple sets hold no row twice, so
        // neither does the join: two of its rows that agree on a's columns
        // come from one row of a and two partners that agree on every column.
        auto keyOf = [](const RecordTupleSet& t, std::int32_t row, const std::vector<int>& cols) {
            std::uint64_t h = 1469598103934665603ULL;
            for (int c : cols) {
                h ^= t.At(row, c);
                h *= 1099511628211ULL;
                h ^= h >> 29;
            }
            return h;
        };
        // b's rows by group of equal common columns: group g holds
        // rows[offsets[g] .. offsets[g + 1]) in b's order; `slots` finds a
        // group by hash (open addressing, at most half full).
        // The arrays below, charged at their largest: every row of b its own group.
        MemoryCharge charge;
        std::size_t rowsOfB = static_cast<std::size_t>(tb.rowEnd > 0 ? tb.rowEnd : 1);
        if (!charge.Add(rowsOfB * (5 * sizeof(std::int32_t) + sizeof(std::uint64_t)) +
                        4 * rowsOfB * sizeof(std::int32_t)))
            throw std::bad_alloc();
        std::vector<std::int32_t> firstRow;   // per group, its first row of b
        std::vector<std::uint64_t> hashOf;    // per group, the hash of its columns
        std::vector<std::int32_t> groupOf(static_cast<std::size_t>(tb.rowEnd > 0 ? tb.rowEnd : 1), -1);
        std::size_t size = 16;
        while (size < 2 * static_cast<std::size_t>(tb.Rows())) size *= 2;
        std::vector<std::int32_t> slots(size, -1);
        std::uint64_t mask = size - 1;
        auto find = [&](const RecordTupleSet& t, std::int32_t row, const std::vector<int>& cols, std::uint64_t h,
                        std::uint64_t& at) {
            for (at = h & mask; slots[at] >= 0; at = (at + 1) & mask) {
                std::int32_t g = slots[at];
                if (hashOf[g] != h) continue;
                bool same = true;
                for (std::size_t i = 0; i < cols.size() && same; ++i)
                    same = t.At(row, cols[i]) == tb.At(firstRow[g], commonInB[i]);
                if (same) return g;
            }
            return -1;
        };
        for (std::int32_t rb = 1; rb < tb.rowEnd; ++rb) {
            std::uint64_t h = keyOf(tb, rb, commonInB), at = 0;
            std::int32_t g = find(tb, rb, commonInB, h, at);
            if (g < 0) {
                g = static_cast<std::int32_t>(firstRow.size());
                firstRow.push_back(rb);
                hashOf.push_back(h);
                slots[at] = g;
            }
            groupOf[rb] = g;
        }
        std::vector<std::int32_t> offsets(firstRow.size() + 1, 0);
        for (std::int32_t rb = 1; rb < tb.rowEnd; ++rb) ++offsets[groupOf[rb] + 1];
        for (std::size_t g = 0; g < firstRow.size(); ++g) offsets[g + 1] += offsets[g];
        std::vector<std::int32_t> rows(static_cast<std::size_t>(tb.Rows()));
        {
            std::vector<std::int32_t> fill(offsets.begin(), offsets.end() - 1);
            for (std::int32_t rb = 1; rb < tb.rowEnd; ++rb) rows[fill[groupOf[rb]]++] = rb;
        }
        // At most one partner per row of a (b's common columns are a key):
        // the join has at most a's rows.
        if (firstRow.size() == static_cast<std::size_t>(tb.Rows()) && !r->tuples->Reserve(ta.rowEnd))
            throw std::bad_alloc();
        std::vector<std::uint32_t> numbers(static_cast<std::size_t>(r->tuples->ColumnCount()));
        for (std::int32_t ra = 1; ra < ta.rowEnd; ++ra) {
            std::uint64_t at = 0;
            std::int32_t g = find(ta, ra, common, keyOf(ta, ra, common), at);
            if (g < 0) continue;
            for (std::int32_t k = offsets[g]; k < offsets[g + 1]; ++k) {
                std::int32_t rb = rows[k];
                std::size_t n = 0;
                for (int c = 0; c < ta.ColumnCount(); ++c) numbers[n++] = ta.At(ra, c);
                for (int c : extraFromB) numbers[n++] = tb.At(rb, c);
                if (!r->tuples->AppendTuple(numbers.data(), static_cast<int>(numbers.size()))) throw std::bad_alloc();
            }
        }
        if (!bothExplicit) {
            // One side holds for every combination: the other side's rows stand.
            const RecordTupleSet& rest = b.state == ConditionResult::kTuples ? tb : ta;
            std::vector<int> map = ColumnMap(*r->tuples, rest);
            for (std::int32_t row = 1; row < rest.rowEnd; ++row) AppendMissing(*r, rest, row, map, numbers);
        }
        return r;
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();  // tells the pipeline that null here is not a disjoint condition
        return nullptr;
    }
}

std::unique_ptr<ConditionResult> CombineOr(const ConditionResult& a, const ConditionResult& b) {
    try {
        std::unique_ptr<ConditionResult> r = NewResult();
        r->state = OrState(a.state, b.state);
        if (r->state != ConditionResult::kUndecided) return r;
        r->state = ConditionResult::kTuples;
        const RecordTupleSet& ta = *a.tuples;
        const RecordTupleSet& tb = *b.tuples;
        if (a.state == ConditionResult::kTuples && b.state == ConditionResult::kTuples) {
            // Both sides must stand for the same tables; b's rows are taken in
            // a's column order, so "A.X = B.Y OR B.Y = A.X" is one union.
            if (ta.ColumnCount() != tb.ColumnCount()) return nullptr;
            for (int c = 0; c < ta.ColumnCount(); ++c)
                if (tb.ColumnIndex(ta.ColumnName(c)) < 0) return nullptr;
        }
        const RecordTupleSet& shape = ta.ColumnCount() > 0 ? ta : tb;
        for (int c = 0; c < shape.ColumnCount(); ++c) AddColumn(*r, shape.ColumnName(c));
        std::vector<std::uint32_t> numbers;
        std::vector<int> mapA = ColumnMap(*r->tuples, ta), mapB = ColumnMap(*r->tuples, tb);
        for (std::int32_t row = 1; row < ta.rowEnd; ++row) {
            numbers.assign(static_cast<std::size_t>(r->tuples->ColumnCount()), 0);
            for (std::size_t c = 0; c < mapA.size(); ++c)
                if (mapA[c] >= 0) numbers[c] = ta.At(row, mapA[c]);
            if (!r->tuples->AppendTuple(numbers.data(), static_cast<int>(numbers.size()))) throw std::bad_alloc();
        }
        for (std::int32_t row = 1; row < tb.rowEnd; ++row) AppendMissing(*r, tb, row, mapB, numbers);
        return r;
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();  // tells the pipeline that null here is not a disjoint condition
        return nullptr;
    }
}

}  // namespace qx
