#include "exec/ExpressionEvaluator.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <string>
#include <ctime>
#include <new>

#include "analysis/BoundCondition.h"
#include "base/MemoryBlock.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/KeyHash.h"
#include "exec/NestedRows.h"
#include "exec/RecordTupleSet.h"
#include "planner/FastPaths.h"
#include "planner/QueryPlan.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// Bytes of one row of a nested SELECT's row list: the value, and a block of
// its own for a value longer than a value keeps inline.
constexpr std::uint64_t kNestedRowBytes = sizeof(Value) + 32;

std::int16_t Holds(OperatorCode op, const Value& a, const Value& b) {
    return CompareTyped(static_cast<std::int16_t>(op), a.Type(), a.Data(), b.Type(), b.Data());
}

// A op B through the typed operators; no value when either side has none or
// the combination is not supported.
Value Apply(const Value& a, OperatorCode op, const Value& b) {
    if (!a.Has() || !b.Has()) return Value();
    std::int16_t type = 0;
    std::int32_t size = 0;
    void* result = nullptr;
    if (!ApplyOperator(a.Type(), a.Size(), a.Data(), static_cast<std::int16_t>(op), b.Type(), b.Size(), b.Data(), &type, &size, &result))
        return Value();
    return Value::Owned(type, size, result);
}

Value Negate(const Value& a) {
    if (!a.Has()) return Value();
    std::int16_t type = 0;
    std::int32_t size = 0;
    void* result = nullptr;
    if (!ApplyOperator(a.Type(), a.Size(), a.Data(), kOpMinus, 0, 0, nullptr, &type, &size, &result)) return Value();
    return Value::Owned(type, size, result);
}

// The number held by a value of a numeric operand type, else 0.
double AsDouble(const Value& v) { return v.Data() != nullptr ? ReadOperandNumber(v.Type(), v.Data()) : 0; }

// The characters of a text value (up to its NUL), or "" for another kind.
std::string_view TextOf(const Value& v) {
    bool text = v.Type() == kOperandText || v.Type() == kOperandDate || v.Type() == kOperandTime;
    if (!text || v.Data() == nullptr) return {};
    const auto* bytes = static_cast<const char*>(v.Data());
    return std::string_view(bytes, strnlen(bytes, v.Size() > 0 ? static_cast<std::size_t>(v.Size()) : 0));
}

// A text value that owns a copy of `text`.
Value OwnedText(const std::string& text) {
    void* block = nullptr;
    if (!DuplicateText(reinterpret_cast<char**>(&block), text.c_str(), static_cast<int>(text.size()))) return Value();
    return Value::Owned(kOperandText, static_cast<std::int32_t>(text.size() + 1), block);
}

// A part of a date (YYYYMMDD) or a time (HHMM, HHMMSS) value as a number.  A
// text gives its digits: a date first when it has eight or more, a time
// when it has four or six.
Value DatePart(const Value& v, Function part) {
    if (!v.Has()) return Value();
    std::string digits;
    for (char c : TextOf(v))
        if (c >= '0' && c <= '9') digits += c;
    bool time = v.Type() == kOperandTime || (v.Type() != kOperandDate && (digits.size() == 4 || digits.size() == 6));
    std::size_t at = 0, length = 2;
    switch (part) {
        case Function::kYear: length = 4; break;
        case Function::kMonth: at = 4; break;
        case Function::kDay: at = 6; break;
        case Function::kHour: at = time ? 0 : 8; break;
        case Function::kMinute: at = time ? 2 : 10; break;
        default: at = time ? 4 : 12; break;  // SECOND
    }
    bool datePart = part == Function::kYear || part == Function::kMonth || part == Function::kDay;
    if (datePart && time) return Value();
    if (at + length > digits.size()) return datePart ? Value() : Value::Double(0);
    return Value::Double(std::stod(digits.substr(at, length)));
}

// Truncation toward zero, saturated to [low, high] (NaN gives 0).
long long Truncate(double x, long long low, long long high) {
    if (std::isnan(x)) return 0;
    if (x <= static_cast<double>(low)) return low;
    if (x >= static_cast<double>(high)) return high;
    return static_cast<long long>(x);
}

}  // namespace

OperatorCode InverseComparison(OperatorCode op) {
    switch (op) {
        case kOpEqual: return kOpNotEqual;
        case kOpNotEqual: return kOpEqual;
        case kOpLess: return kOpGreaterEqual;
        case kOpGreaterEqual: return kOpLess;
        case kOpGreater: return kOpLessEqual;
        case kOpLessEqual: return kOpGreater;
        default: return op;
    }
}

ExpressionEvaluator::ExpressionEvaluator(QueryPlan* queryPlan) : plan(queryPlan) {}

ExpressionEvaluator::~ExpressionEvaluator() { ForgetNestedRows(); }

void ExpressionEvaluator::ForgetNestedRows() {
    lookups_.clear();
    nestedLookups_.clear();
    nestedRows_.clear();
    nestedKnown_.clear();
    nestedCharge_.Hold(0);
    correlated_.clear();
}

const RowList* ExpressionEvaluator::CorrelatedRows(int blockIndex, const BoundSelect& select) {
    if (!plan->status.ok()) return nullptr;  // an earlier run failed: the statement ends with its error
    // The outer values as a key: each value's length and bytes (a text up to its end).
    std::string key;
    for (const OuterRead& read : select.outerReads) {
        const char* value = static_cast<const char*>(ReadCell(read.item, nullptr));
        std::size_t size = value != nullptr ? ValueBufferSize(read.item) : 0;
        std::int16_t kind = EvaluationKind(read.item);
        if (value != nullptr && (kind == kOperandText || kind == kOperandDate || kind == kOperandTime))
            size = strnlen(value, size);
        key += std::to_string(size);
        key += ':';
        key.append(value != nullptr ? value : "", size);
    }
    CorrelatedRowSets& sets = correlated_[blockIndex];
    if (auto found = sets.byOuterValues.find(key); found != sets.byOuterValues.end()) return found->second.get();
    // The run may compute groups of its own: the current group's aggregates come back after.
    const std::vector<Value>* aggregates = aggregates_;
    bool ran = plan->RunNested(blockIndex);
    aggregates_ = aggregates;
    if (!ran) return nullptr;
    std::unique_ptr<RowList> rows = NestedBlockRows(plan, blockIndex);
    if (rows == nullptr) return nullptr;
    std::uint64_t bytes = rows->size() * kNestedRowBytes + key.size() + 64;
    if (!sets.charge.TryAdd(bytes)) {
        // Past the budget the kept row sets go (they are made again when asked).
        for (auto& [values, list] : sets.byOuterValues) lookups_.erase(list.get());
        sets.byOuterValues.clear();
        sets.charge.Hold(0);
        if (!sets.charge.Add(bytes)) return nullptr;
    }
    const RowList* kept = rows.get();
    sets.byOuterValues.emplace(std::move(key), std::move(rows));
    return kept;
}

const RowList* ExpressionEvaluator::NestedRows(int blockIndex) {
    if (blockIndex < 0) return nullptr;
    if (const BoundSelect* select = plan != nullptr ? plan->statement->Select(blockIndex) : nullptr;
        select != nullptr && select->correlated)
        return CorrelatedRows(blockIndex, *select);
    auto index = static_cast<std::size_t>(blockIndex);
    if (index >= nestedKnown_.size()) {
        nestedKnown_.resize(index + 1, false);
        nestedRows_.resize(index + 1);
    }
    if (!nestedKnown_[index]) {
        // Charged before the list is made: out of budget, the block lists no row.
        const TableRef* table = NestedResultTable(plan, blockIndex);
        std::uint64_t rows = table != nullptr ? static_cast<std::uint64_t>(table->rowCount) : 0;
        if (nestedCharge_.Add(rows * kNestedRowBytes)) nestedRows_[index] = NestedBlockRows(plan, blockIndex);
        nestedKnown_[index] = true;
    }
    return nestedRows_[index].get();
}

std::int16_t ExpressionEvaluator::EvaluatePredicate(const BoundPredicate& predicate, ItemValues values,
                                                    bool negated) {
    switch (predicate.kind) {
        case PredicateKind::kExists:
        case PredicateKind::kUnique: {
            // NOT pushed down onto these is not applied: only a NOT written inside them is.
            const RowList* rows = NestedRows(predicate.rows.block);
            std::size_t count = rows != nullptr ? std::min<std::size_t>(rows->size(), 2) : 0;
            bool inverted = predicate.notWritten;
            if (predicate.kind == PredicateKind::kExists) return (count > 0) != inverted ? 1 : 0;
            if (count == 0) return 0;  // UNIQUE of no row is false, and so is NOT UNIQUE
            return (count == 1) != inverted ? 1 : 0;
        }
        case PredicateKind::kValue:
            if (predicate.left != nullptr) Evaluate(*predicate.left, values);
            return 1;
        default:
            break;
    }
    if (predicate.left == nullptr) return 1;
    Value left = Evaluate(*predicate.left, values);
    return EvaluateComparison(predicate, left, values, negated);
}

std::int16_t ExpressionEvaluator::EvaluateComparison(const BoundPredicate& p, const Value& left, ItemValues values,
                                                     bool negated) {
    if (p.notWritten) negated = !negated;
    std::int16_t counted;
    RowList scratch;
    switch (p.kind) {
        case PredicateKind::kIsNull: {
            bool isNull = !left.Has() || CompareTyped(kOpNullTest, left.Type(), left.Data(), 0, nullptr) != 0;
            return isNull != negated ? 1 : 0;
        }
        case PredicateKind::kCompare: {
            if (p.right == nullptr) return 1;
            Value right = Evaluate(*p.right, values);
            if (!right.Has()) return 1;
            return Holds(negated ? InverseComparison(p.op) : p.op, left, right);
        }
        case PredicateKind::kCompareRows: {
            OperatorCode op = negated ? InverseComparison(p.op) : p.op;
            if (NestedEquality(left, op, p.quantifier, p.rows, false, counted)) return counted;
            const RowList* rows = SourceRows(p.rows, values, scratch);
            return CountedComparison(left, op, p.quantifier, rows, false, rows != &scratch);
        }
        case PredicateKind::kIn:
        case PredicateKind::kMatch: {
            if (NestedEquality(left, kOpEqual, p.quantifier, p.rows, negated, counted)) return counted;
            const RowList* rows = SourceRows(p.rows, values, scratch);
            return CountedComparison(left, kOpEqual, p.quantifier, rows, negated, rows != &scratch);
        }
        case PredicateKind::kBetween: {
            if (p.lower == nullptr || p.upper == nullptr) return 1;
            Value lower = Evaluate(*p.lower, values);
            Value upper = Evaluate(*p.upper, values);
            if (!lower.Has() || !upper.Has()) return 1;
            if (!Holds(kOpLessEqual, lower, upper)) std::swap(lower, upper);
            if (!negated) return Holds(kOpGreaterEqual, left, lower) && Holds(kOpLessEqual, left, upper);
            return Holds(kOpLess, left, lower) || Holds(kOpGreater, left, upper);
        }
        case PredicateKind::kLike: {
            bool text = left.Type() == kOperandText || left.Type() == kOperandDate || left.Type() == kOperandTime;
            const char* value = text ? static_cast<const char*>(left.Data()) : "";
            bool match = MatchLike(value, p.pattern.c_str()) != 0;
            return match != negated ? 1 : 0;
        }
        default:
            return 1;
    }
}

const RowList* ExpressionEvaluator::SourceRows(const RowSource& source, ItemValues values, RowList& scratch) {
    if (source.block >= 0) return NestedRows(source.block);
    // A list of literals is the same for every record: built once.
    if (source.constant) {
        auto kept = constantLists_.find(&source);
        if (kept != constantLists_.end()) return kept->second.get();
    }
    RowList rows;
    for (const auto& element : source.list) {
        Value v = Evaluate(*element, values);
        if (!v.Has()) continue;
        Value owned = v.Copy();
        if (!owned.Has()) return nullptr;  // no memory for the value
        rows.push_back(std::move(owned));
    }
    if (source.constant) {
        try {
            auto list = std::make_unique<RowList>(std::move(rows));
            const RowList* kept = list.get();
            constantLists_.emplace(&source, std::move(list));
            return kept;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    scratch = std::move(rows);
    return &scratch;
}

// Equality keys of every row of a kept list: a probe counts the rows equal
// to a value without comparing it with each.
// Below this many rows a kept list is scanned: building its hash costs more
// than it saves.  (A nested SELECT's result is hashed at any size: it is
// never listed then.)
constexpr long kShortList = 8;

struct ExpressionEvaluator::RowLookup {
    KeyHash hash;       // one entry per row with a key (payload unused)
    long total = 0;     // rows in the list
    bool usable = false;  // every row is covered and the list is long enough
};

const ExpressionEvaluator::RowLookup* ExpressionEvaluator::LookupFor(const RowList* rows) {
    try {
        std::unique_ptr<RowLookup>& slot = lookups_[rows];
        if (slot == nullptr) {
            auto lookup = std::make_unique<RowLookup>();
            std::string key;
            bool covered = true;
            for (std::size_t r = 0; r < rows->size() && covered; ++r) {
                const Value& row = (*rows)[r];
                ++lookup->total;
                EqualityKeyKind kind = MakeEqualityKey(row.Type(), row.Data(), key);
                if (kind == EqualityKeyKind::kNotCovered) covered = false;
                else if (kind == EqualityKeyKind::kKey) lookup->hash.Add(key, 0);
            }
            lookup->usable = covered && lookup->total >= kShortList;  // a short list is scanned
            if (lookup->usable) lookup->hash.Seal();
            else lookup->hash = KeyHash();  // nothing kept but the verdict
            slot = std::move(lookup);
        }
        return slot->usable ? slot.get() : nullptr;
    } catch (const std::bad_alloc&) {
        lookups_.erase(rows);
        return nullptr;
    }
}

const ExpressionEvaluator::RowLookup* ExpressionEvaluator::NestedLookup(int blockIndex) {
    if (blockIndex < 0) return nullptr;
    auto index = static_cast<std::size_t>(blockIndex);
    try {
        if (index >= nestedLookups_.size()) nestedLookups_.resize(index + 1);
        std::unique_ptr<RowLookup>& slot = nestedLookups_[index];
        if (slot == nullptr) {
            // The keys of the values NestedRows would list: the first item of
            // every row of the block's result table.
            auto lookup = std::make_unique<RowLookup>();
            TableRef* table = NestedResultTable(plan, blockIndex);
            ItemDescriptor* first = table != nullptr ? table->ItemAt(0) : nullptr;
            bool covered = first != nullptr;
            std::string key;
            for (std::int32_t r = 1; covered && r <= table->rowCount; ++r) {
                ++lookup->total;
                EqualityKeyKind kind = MakeEqualityKey(EvaluationKind(first), ReadCell(first, table->RowAddress(r)), key);
                if (kind == EqualityKeyKind::kNotCovered) covered = false;
                else if (kind == EqualityKeyKind::kKey) lookup->hash.Add(key, 0);
            }
            lookup->usable = covered;
            if (covered) lookup->hash.Seal();
            else lookup->hash = KeyHash();
            slot = std::move(lookup);
        }
        return slot->usable ? slot.get() : nullptr;
    } catch (const std::bad_alloc&) {
        if (index < nestedLookups_.size()) nestedLookups_[index].reset();
        return nullptr;
    }
}

std::int16_t ExpressionEvaluator::Decide(Quantifier quantifier, long satisfied, long total, bool negated) {
    bool result = false;
    switch (quantifier) {
        case Quantifier::kSingle: return satisfied == 1 ? 1 : 0;
        case Quantifier::kAll: return satisfied == total ? 1 : 0;
        case Quantifier::kAny: return satisfied > 0 ? 1 : 0;
        case Quantifier::kUnique: result = satisfied == 1; break;
        case Quantifier::kSome: result = satisfied > 0; break;
    }
    return result != negated ? 1 : 0;
}

bool ExpressionEvaluator::CountWithLookup(const Value& left, Quantifier quantifier, const RowLookup* lookup,
                                          bool negated, std::int16_t& result) {
    if (lookup == nullptr) return false;
    EqualityKeyKind leftKind;
    try {
        leftKind = MakeEqualityKey(left.Type(), left.Data(), probeKey_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (leftKind == EqualityKeyKind::kNotCovered) return false;
    long satisfied = leftKind == EqualityKeyKind::kKey ? static_cast<long>(lookup->hash.Count(probeKey_)) : 0;
    result = Decide(quantifier, satisfied, lookup->total, negated);
    return true;
}

bool ExpressionEvaluator::NestedEquality(const Value& left, OperatorCode op, Quantifier quantifier,
                                         const RowSource& source, bool negated, std::int16_t& result) {
    if (op != kOpEqual || !FastPathsEnabled() || source.block < 0) return false;
    // The rows of a nested SELECT that reads its outer row change with it.
    if (const BoundSelect* select = plan->statement->Select(source.block); select == nullptr || select->correlated)
        return false;
    return CountWithLookup(left, quantifier, NestedLookup(source.block), negated, result);
}

std::int16_t ExpressionEvaluator::CountedComparison(const Value& left, OperatorCode op, Quantifier quantifier,
                                                    const RowList* rows, bool negated, bool kept) {
    if (rows == nullptr) return 0;
    long satisfied = 0, total = 0;
    if (kept && op == kOpEqual && FastPathsEnabled()) {
        std::int16_t result;
        if (const RowLookup* lookup = LookupFor(rows); lookup != nullptr && lookup->total >= kShortList &&
                                                       CountWithLookup(left, quantifier, lookup, negated, result))
            return result;
    }
    for (const Value& row : *rows) {
        ++total;
        if (Holds(op, left, row)) {
            ++satisfied;
            // Past these counts no quantifier can change its answer.
            if ((quantifier == Quantifier::kAny || quantifier == Quantifier::kSome) ||
                ((quantifier == Quantifier::kSingle || quantifier == Quantifier::kUnique) && satisfied > 1))
                break;
        } else if (quantifier == Quantifier::kAll) {
            return 0;
        }
    }
    return Decide(quantifier, satisfied, total, negated);
}

Value ExpressionEvaluator::Evaluate(const BoundExpr& e, ItemValues values, const ConditionResult* rowSet) {
    switch (e.kind) {
        case ExprKind::kItem: {
            if (e.slot >= values.size() || values[e.slot].data == nullptr) return Value();
            const ItemValue& v = values[e.slot];
            return Value::Borrowed(v.type, v.size, v.data);
        }
        case ExprKind::kNumber: return Value::Double(e.number);
        case ExprKind::kParameter: {
            if (parameters_ == nullptr || e.slot >= parameters_->size()) return Value();
            const Value& bound = (*parameters_)[e.slot];
            return bound.Has() ? Value::Borrowed(bound.Type(), bound.Size(), bound.Data()) : Value();
        }
        case ExprKind::kText:
            return Value::Borrowed(kOperandText, static_cast<std::int32_t>(e.text.size() + 1), e.text.c_str());
        case ExprKind::kDate: return Value::Inline(kOperandDate, 9, e.text.c_str());
        case ExprKind::kTime: return Value::Inline(kOperandTime, 5, e.text.c_str());
        case ExprKind::kNegate: return Negate(Evaluate(*e.operands[0], values, rowSet));
        case ExprKind::kArithmetic: {
            Value a = Evaluate(*e.operands[0], values, rowSet);
            Value b = Evaluate(*e.operands[1], values, rowSet);
            return Apply(a, e.op, b);
        }
        case ExprKind::kFunction: return EvaluateFunction(e, values, rowSet);
        case ExprKind::kCountStar: {
            if (rowSet == nullptr || rowSet->tuples == nullptr) return Value();
            auto count = static_cast<std::uint32_t>(rowSet->tuples->Rows());
            return Value::Inline(kOperandUInt32, 4, &count);
        }
        case ExprKind::kAggregate:
            if (aggregates_ == nullptr || e.slot >= aggregates_->size() || !(*aggregates_)[e.slot].Has()) return Value();
            return Value::Borrowed((*aggregates_)[e.slot].Type(), (*aggregates_)[e.slot].Size(),
                                   (*aggregates_)[e.slot].Data());
        case ExprKind::kParenthesized:
            return e.condition != nullptr ? ParenthesizedValue(*e.condition, values, rowSet) : Value();
        case ExprKind::kSubSelect: {
            // Its first row's value, as SQLite takes it; none without rows.
            const RowList* rows = NestedRows(e.block);
            if (rows == nullptr || rows->empty() || !rows->front().Has()) return Value();
            return rows->front().Copy();
        }
        case ExprKind::kCurrentDate:
        case ExprKind::kCurrentTime: {
            std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            char text[48];
            bool date = e.kind == ExprKind::kCurrentDate;
            if (date) std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
            else std::snprintf(text, sizeof text, "%02d%02d%02d", local.tm_hour, local.tm_min, local.tm_sec);
            return Value::Inline(date ? kOperandDate : kOperandTime, static_cast<std::int32_t>(std::strlen(text) + 1), text);
        }
        case ExprKind::kDefault:
        case ExprKind::kNoValue: break;
    }
    return Value();
}

bool ExpressionEvaluator::ConditionHolds(const BoundCondition& condition, ItemValues values) {
    switch (condition.kind) {
        case BoundCondition::Kind::kPredicate: return EvaluatePredicate(*condition.predicate, values, false) != 0;
        case BoundCondition::Kind::kNot: return !ConditionHolds(*condition.operands.front(), values);
        case BoundCondition::Kind::kAnd:
            for (const auto& operand : condition.operands)
                if (!ConditionHolds(*operand, values)) return false;
            return true;
        case BoundCondition::Kind::kOr:
            for (const auto& operand : condition.operands)
                if (ConditionHolds(*operand, values)) return true;
            return false;
    }
    return false;
}

Value ExpressionEvaluator::ParenthesizedValue(const BoundCondition& condition, ItemValues values,
                                              const ConditionResult* rowSet) {
    const BoundCondition* c = &condition;
    if (c->kind == BoundCondition::Kind::kOr) c = c->operands.front().get();
    if (c->kind == BoundCondition::Kind::kAnd) c = c->operands.front().get();
    if (c->kind != BoundCondition::Kind::kPredicate || c->predicate->left == nullptr) return Value();
    return Evaluate(*c->predicate->left, values, rowSet);
}

Value ExpressionEvaluator::EvaluateFunction(const BoundExpr& call, ItemValues values, const ConditionResult* rowSet) {
    if (call.operands.empty() || call.operands[0] == nullptr) return Value();
    Value argument = Evaluate(*call.operands[0], values, rowSet);
    double number = AsDouble(argument);
    switch (call.function) {
        case Function::kDigits: {
            if (!argument.Has()) return Value();
            char text[16];
            int n = std::snprintf(text, sizeof text, "%li", static_cast<long>(Truncate(number, INT32_MIN, INT32_MAX)));
            void* block = nullptr;
            if (!DuplicateText(reinterpret_cast<char**>(&block), text, n)) return Value();
            return Value::Owned(kOperandText, n + 1, block);
        }
        case Function::kFloat: {
            if (!argument.Has()) return Value();
            float f = static_cast<float>(number);
            if (std::isfinite(number) && std::fabs(number) > 3.4028234663852886e38) f = number > 0 ? 3.4028235e38f : -3.4028235e38f;
            return Value::Inline(kOperandFloat, 4, &f);
        }
        case Function::kInteger: {
            if (!argument.Has()) return Value();
            auto i = static_cast<std::int16_t>(Truncate(number, INT16_MIN, INT16_MAX));
            return Value::Inline(kOperandInt16, 2, &i);
        }
        case Function::kLength: {
            if (!argument.Has()) return Value();
            const auto* bytes = static_cast<const char*>(argument.Data());
            std::size_t size = argument.Size() > 0 ? static_cast<std::size_t>(argument.Size()) : 0;
            auto length = static_cast<std::int16_t>(Truncate(static_cast<double>(strnlen(bytes, size)), 0, INT16_MAX));
            return Value::Inline(kOperandInt16, 2, &length);
        }
        case Function::kHex: {
            if (!argument.Has()) return Value();
            std::string_view bytes = TextOf(argument);
            std::string hex;
            static const char kDigits[] = "0123456789ABCDEF";
            for (unsigned char c : bytes) {
                hex += kDigits[c >> 4];
                hex += kDigits[c & 15];
            }
            return OwnedText(hex);
        }
        case Function::kYear:
        case Function::kMonth:
        case Function::kDay:
        case Function::kHour:
        case Function::kMinute:
        case Function::kSecond: return DatePart(argument, call.function);
        case Function::kUpper:
        case Function::kLower: {
            if (!argument.Has()) return Value();
            std::string text(TextOf(argument));
            for (char& c : text) {
                if (call.function == Function::kUpper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
                if (call.function == Function::kLower && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            }
            return OwnedText(text);
        }
        case Function::kTrim: {
            if (!argument.Has()) return Value();
            std::string_view text = TextOf(argument);
            std::size_t first = text.find_first_not_of(' ');
            if (first == std::string_view::npos) return OwnedText("");
            return OwnedText(std::string(text.substr(first, text.find_last_not_of(' ') - first + 1)));
        }
        case Function::kSubstr: {
            if (!argument.Has() || call.operands.size() < 2) return Value();
            Value start = Evaluate(*call.operands[1], values, rowSet);
            if (!start.Has()) return Value();
            long long from = Truncate(AsDouble(start), -1000000, 1000000);
            long long count = 1000000;
            if (call.operands.size() > 2) {
                Value length = Evaluate(*call.operands[2], values, rowSet);
                if (!length.Has()) return Value();
                count = Truncate(AsDouble(length), 0, 1000000);
            }
            // Characters, not bytes: UTF-8 continuation bytes go with their character.
            std::string_view text = TextOf(argument);
            std::string out;
            long long position = 0;
            for (std::size_t i = 0; i < text.size();) {
                std::size_t n = 1;
                while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
                ++position;
                if (position >= from && position < from + count) out.append(text.substr(i, n));
                i += n;
            }
            return OwnedText(out);
        }
        case Function::kAbs:
            if (!argument.Has()) return Value();
            return Value::Double(std::fabs(number));
        case Function::kRound: {
            if (!argument.Has()) return Value();
            long long decimals = 0;
            if (call.operands.size() > 1) {
                Value places = Evaluate(*call.operands[1], values, rowSet);
                if (!places.Has()) return Value();
                decimals = Truncate(AsDouble(places), -15, 15);
            }
            double scale = std::pow(10.0, static_cast<double>(decimals));
            return Value::Double(std::round(number * scale) / scale);
        }
        default: return Value();
    }
}

}  // namespace qx
