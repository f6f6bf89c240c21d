#include "exec/ExpressionEvaluator.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/List.h"
#include "base/MemoryBlock.h"
#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "exec/ConditionResult.h"
#include "exec/FastPaths.h"
#include "exec/KeyHash.h"
#include "exec/NestedRows.h"
#include "exec/RecordTupleSet.h"
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// Bytes of one row of a nested SELECT's row list: the node, its text and
// value blocks, with the allocators' headers and the block heap's entries
// (about 310 bytes measured).
constexpr std::uint64_t kNestedRowBytes = 320;

bool IsComparisonOperator(std::int32_t kind) {
    return kind == kOpNotEqual || kind == kOpLessEqual || kind == kOpGreaterEqual || kind == kOpLess ||
           kind == kOpGreater || kind == kOpEqual;
}

bool IsNumberLiteral(std::int32_t kind) { return kind == kTokInteger || kind == kTokDecimal || kind == kTokExponent; }

std::int16_t Holds(std::int16_t op, const Value& a, std::int16_t typeB, const void* b) {
    return CompareTyped(op, a.Type(), a.Data(), typeB, b);
}

// A op B through the typed operators; no value when either side has none or
// the combination is not supported.
Value Apply(const Value& a, std::int16_t op, const Value& b) {
    if (!a.Has() || !b.Has()) return Value();
    std::int16_t type = 0;
    std::int32_t size = 0;
    void* result = nullptr;
    if (!ApplyOperator(a.Type(), a.Size(), a.Data(), op, b.Type(), b.Size(), b.Data(), &type, &size, &result))
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

// Truncation toward zero, saturated to [low, high] (NaN gives 0).
long long Truncate(double x, long long low, long long high) {
    if (std::isnan(x)) return 0;
    if (x <= static_cast<double>(low)) return low;
    if (x >= static_cast<double>(high)) return high;
    return static_cast<long long>(x);
}

// The digits of a date literal as YYYYMMDD (a six-digit YYMMDD gets "19").
void DateDigits(const char* text, char out[9]) {
    char digits[9] = {};
    int n = 0;
    for (const char* c = text; *c != '\0' && n < 8; ++c)
        if (*c >= '0' && *c <= '9') digits[n++] = *c;
    if (n == 6) {
        out[0] = '1';
        out[1] = '9';
        std::memcpy(out + 2, digits, 7);  // six digits and the NUL
        return;
    }
    for (int i = n; i < 8; ++i) digits[i] = '0';
    std::memcpy(out, digits, 9);
}

// The first four digits of a time literal as HHMM.
void TimeDigits(const char* text, char out[5]) {
    int n = 0;
    for (const char* c = text; *c != '\0' && n < 4; ++c)
        if (*c >= '0' && *c <= '9') out[n++] = *c;
    for (; n < 4; ++n) out[n] = '0';
    out[4] = '\0';
}

bool IsConstantList(const SyntaxNode* list) {
    for (const SyntaxNode* item = list->child; item != nullptr; item = item->next) {
        const SyntaxNode* leaf = item->child;
        if (leaf == nullptr || !(IsNumberLiteral(leaf->kind) || leaf->kind == kTokString)) return false;
    }
    return true;
}

}  // namespace

std::int16_t InverseComparison(std::int32_t op) {
    switch (op) {
        case kOpEqual: return kOpNotEqual;
        case kOpNotEqual: return kOpEqual;
        case kOpLess: return kOpGreaterEqual;
        case kOpGreaterEqual: return kOpLess;
        case kOpGreater: return kOpLessEqual;
        case kOpLessEqual: return kOpGreater;
        default: return static_cast<std::int16_t>(op);
    }
}

void FreeRowList(SyntaxNode* head) {
    if (head == nullptr) return;
    for (SyntaxNode* row = head->next; row != nullptr; row = row->next) {
        if (row->value != nullptr) FreeBlock(row->value);
        row->value = nullptr;
    }
    delete head;
}

ExpressionEvaluator::ExpressionEvaluator(QueryPlan* queryPlan) : plan(queryPlan) {}

void ExpressionEvaluator::KeepLastName(const char* name) {
    std::size_t length = strnlen(name, sizeof lastName - 1);
    std::memcpy(lastName, name, length);
    lastName[length] = '\0';
}

double ExpressionEvaluator::LiteralNumber(const SyntaxNode* literal) {
    // The conversion is a function of the text alone; the text is compared
    // so that a node made at a freed node's address never reads a stale value.
    try {
        auto kept = literalNumbers_.find(literal);
        if (kept != literalNumbers_.end() && kept->second.text == literal->text) return kept->second.number;
        double number = ReadNumber(literal->text);
        literalNumbers_[literal] = KeptNumber{literal->text, number};
        return number;
    } catch (const std::bad_alloc&) {
        return ReadNumber(literal->text);
    }
}

ExpressionEvaluator::~ExpressionEvaluator() {
    ForgetNestedRows();
    for (auto& kept : constantLists_) FreeRowList(kept.second);
}

void ExpressionEvaluator::ForgetNestedRows() {
    lookups_.clear();
    nestedLookups_.clear();
    for (SyntaxNode* rows : nestedRows_) FreeRowList(rows);
    nestedRows_.clear();
    nestedKnown_.clear();
    nestedCharge_.Hold(0);
}

const SyntaxNode* ExpressionEvaluator::NestedRows(int blockIndex) {
    if (blockIndex < 0) return nullptr;
    auto index = static_cast<std::size_t>(blockIndex);
    if (index >= nestedKnown_.size()) {
        nestedKnown_.resize(index + 1, false);
        nestedRows_.resize(index + 1, nullptr);
    }
    if (!nestedKnown_[index]) {
        // Charged before the list is made: out of budget, the block lists no row.
        const TableRef* table = NestedResultTable(plan, blockIndex);
        std::uint64_t rows = table != nullptr ? static_cast<std::uint64_t>(table->rowCount) : 0;
        if (nestedCharge_.Add(rows * kNestedRowBytes)) nestedRows_[index] = NestedBlockRows(plan, blockIndex);
        nestedKnown_[index] = true;
    }
    return nestedRows_[index];
}

std::int16_t ExpressionEvaluator::EvaluatePredicate(int blockIndex, const SyntaxNode* predicate,
                                                    const SyntaxNode* valueList, std::uint16_t negated) {
    const SyntaxNode* first = predicate != nullptr ? predicate->child : nullptr;
    if (first == nullptr) return 1;
    if (first->kind == FON_ITEM_COMPARE) {
        Value left = EvaluateExpression(blockIndex, first, valueList);
        if (first->next == nullptr) return 1;
        return EvaluateSecondMember(blockIndex, left, first->next, valueList, negated != 0);
    }
    if (first->kind == kKwExists || first->kind == kKwUnique) {
        const SyntaxNode* rows = NestedRows(first->aux);
        int count = 0;
        for (const SyntaxNode* row = rows != nullptr ? rows->next : nullptr; row != nullptr && count < 2;
             row = row->next)
            ++count;
        bool inverted = first->next != nullptr && first->next->kind == kKwNot;
        if (first->kind == kKwExists) return (count > 0) != inverted ? 1 : 0;
        if (count == 0) return 0;  // UNIQUE of no row is false, and so is NOT UNIQUE
        return (count == 1) != inverted ? 1 : 0;
    }
    return 1;
}

std::int16_t ExpressionEvaluator::EvaluateSecondMember([[maybe_unused]] int blockIndex, const Value& left, const SyntaxNode* comparison,
                                                       const SyntaxNode* valueList, bool negated) {
    const SyntaxNode* node = comparison->child;
    if (node == nullptr) return 1;
    if (node->kind == kKwIs) {
        if (node->next != nullptr && node->next->kind == kKwNot) negated = !negated;
        bool isNull = !left.Has() || CompareTyped(kOpNullTest, left.Type(), left.Data(), 0, nullptr) != 0;
        return isNull != negated ? 1 : 0;
    }
    if (node->kind == kKwNot) {
        negated = !negated;
        node = node->next;
        if (node == nullptr) return 1;
    }
    if (IsComparisonOperator(node->kind)) {
        std::int16_t op = static_cast<std::int16_t>(node->kind);
        if (negated) op = InverseComparison(op);
        const SyntaxNode* operand = node->next;
        if (operand == nullptr) return 1;
        if (operand->kind == FON_ITEM_SIMPLE) {
            Value right = EvaluatePrimary(operand, valueList, nullptr);
            if (!right.Has()) return 1;
            return Holds(op, left, right.Type(), right.Data());
        }
        std::int16_t counted;
        if (operand->kind == FON_SOUS_SELECT) {
            if (NestedEquality(left, op, Quantifier::kSingle, operand, false, counted)) return counted;
            return CountedComparison(left, op, Quantifier::kSingle, NestedRows(operand->aux), false, true);
        }
        if (operand->kind == kKwAll || operand->kind == kKwAny || operand->kind == kKwSome) {
            Quantifier q = operand->kind == kKwAll ? Quantifier::kAll : Quantifier::kAny;
            if (NestedEquality(left, op, q, operand->next, false, counted)) return counted;
            SyntaxNode* scratch = nullptr;
            const SyntaxNode* rows = OperandRows(operand->next, valueList, &scratch);
            std::int16_t result = CountedComparison(left, op, q, rows, false, scratch == nullptr);
            FreeRowList(scratch);
            return result;
        }
        return 1;
    }
    if (node->kind == kKwMatch) {
        bool unique = node->next != nullptr && node->next->kind == kKwUnique;
        const SyntaxNode* operand = unique ? node->next->next : node->next;
        Quantifier q = unique ? Quantifier::kUnique : Quantifier::kSome;
        std::int16_t counted;
        if (NestedEquality(left, kOpEqual, q, operand, negated, counted)) return counted;
        SyntaxNode* scratch = nullptr;
        const SyntaxNode* rows = OperandRows(operand, valueList, &scratch);
        std::int16_t result =
            CountedComparison(left, kOpEqual, q, rows, negated, scratch == nullptr);
        FreeRowList(scratch);
        return result;
    }
    if (node->kind == kKwBetween) {
        const SyntaxNode* lowerNode = node->next;
        const SyntaxNode* upperNode = lowerNode != nullptr ? lowerNode->next : nullptr;
        if (upperNode == nullptr) return 1;
        Value lower = EvaluatePrimary(lowerNode, valueList, nullptr);
        Value upper = EvaluatePrimary(upperNode, valueList, nullptr);
        if (!lower.Has() || !upper.Has()) return 1;
        if (!CompareTyped(kOpLessEqual, lower.Type(), lower.Data(), upper.Type(), upper.Data())) std::swap(lower, upper);
        if (!negated)
            return Holds(kOpGreaterEqual, left, lower.Type(), lower.Data()) &&
                   Holds(kOpLessEqual, left, upper.Type(), upper.Data());
        return Holds(kOpLess, left, lower.Type(), lower.Data()) ||
               Holds(kOpGreater, left, upper.Type(), upper.Data());
    }
    if (node->kind == kKwLike) {
        const SyntaxNode* pattern = node->next;
        if (pattern == nullptr) return 1;
        bool text = left.Type() == kOperandText || left.Type() == kOperandDate || left.Type() == kOperandTime;
        const char* value = text ? static_cast<const char*>(left.Data()) : "";
        bool match = MatchLike(value, pattern->text) != 0;
        return match != negated ? 1 : 0;
    }
    if (node->kind == kKwIn) {
        std::int16_t counted;
        if (NestedEquality(left, kOpEqual, Quantifier::kSome, node->next, negated, counted)) return counted;
        SyntaxNode* scratch = nullptr;
        const SyntaxNode* rows = OperandRows(node->next, valueList, &scratch);
        std::int16_t result = CountedComparison(left, kOpEqual, Quantifier::kSome, rows, negated, scratch == nullptr);
        FreeRowList(scratch);
        return result;
    }
    return 1;
}

const SyntaxNode* ExpressionEvaluator::OperandRows(const SyntaxNode* operand, const SyntaxNode* valueList,
                                                   SyntaxNode** scratch) {
    if (operand != nullptr && operand->kind == FON_COMPOSANT_SECOND_MEMBRE) operand = operand->child;
    if (operand == nullptr) return nullptr;
    if (operand->kind == FON_SOUS_SELECT) return NestedRows(operand->aux);
    if (operand->kind != FON_ITEM_SIMPLE_VIRGULE_LISTE) return nullptr;
    // A list of literals is the same for every record: build it once.
    bool constant = IsConstantList(operand);
    if (constant) {
        auto kept = constantLists_.find(operand);
        if (kept != constantLists_.end()) return kept->second;
    }
    SyntaxNode* head = SyntaxNode::Make("", 0, 0);
    if (head == nullptr) return nullptr;
    SyntaxNode* last = head;
    for (const SyntaxNode* item = operand->child; item != nullptr; item = item->next) {
        Value v = EvaluatePrimary(item, valueList, nullptr);
        if (!v.Has()) continue;
        std::int16_t type = v.Type();
        std::int32_t size = v.Size();
        void* bytes = v.Release();
        SyntaxNode* row = bytes != nullptr ? SyntaxNode::Make("", type, size) : nullptr;
        if (row == nullptr) {
            if (bytes != nullptr) FreeBlock(bytes);
            FreeRowList(head);
            return nullptr;
        }
        row->value = bytes;
        last = last->LinkSibling(row, true);
    }
    if (constant) {
        try {
            constantLists_.emplace(operand, head);
            return head;
        } catch (...) {
        }
    }
    *scratch = head;
    return head;
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

const ExpressionEvaluator::RowLookup* ExpressionEvaluator::LookupFor(const SyntaxNode* rows) {
    try {
        std::unique_ptr<RowLookup>& slot = lookups_[rows];
        if (slot == nullptr) {
            auto lookup = std::make_unique<RowLookup>();
            std::string key;
            bool covered = true;
            for (const SyntaxNode* row = rows->next; row != nullptr && covered; row = row->next) {
                ++lookup->total;
                EqualityKeyKind kind = MakeEqualityKey(static_cast<std::int16_t>(row->kind), row->value, key);
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
            ItemDescriptor* first =
                table != nullptr && table->items != nullptr ? static_cast<ItemDescriptor*>(table->items->GetAt(0)) : nullptr;
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

bool ExpressionEvaluator::NestedEquality(const Value& left, std::int16_t op, Quantifier quantifier,
                                         const SyntaxNode* operand, bool negated, std::int16_t& result) {
    if (op != kOpEqual || !FastPathsEnabled() || operand == nullptr) return false;
    if (operand->kind == FON_COMPOSANT_SECOND_MEMBRE) operand = operand->child;
    if (operand == nullptr || operand->kind != FON_SOUS_SELECT) return false;
    return CountWithLookup(left, quantifier, NestedLookup(operand->aux), negated, result);
}

std::int16_t ExpressionEvaluator::CountedComparison(const Value& left, std::int16_t op, Quantifier quantifier,
                                                    const SyntaxNode* rows, bool negated, bool kept) {
    if (rows == nullptr) return 0;
    long satisfied = 0, total = 0;
    if (kept && op == kOpEqual && FastPathsEnabled()) {
        std::int16_t result;
        if (const RowLookup* lookup = LookupFor(rows); lookup != nullptr && lookup->total >= kShortList &&
                                                       CountWithLookup(left, quantifier, lookup, negated, result))
            return result;
    }
    for (const SyntaxNode* row = rows->next; row != nullptr; row = row->next) {
        ++total;
        if (Holds(op, left, static_cast<std::int16_t>(row->kind), row->value)) {
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

Value ExpressionEvaluator::EvaluateExpression(int blockIndex, const SyntaxNode* expression,
                                              const SyntaxNode* valueList) {
    const SyntaxNode* node = expression != nullptr ? expression->child : nullptr;
    bool minus = false;
    if (node != nullptr && (node->kind == kOpPlus || node->kind == kOpMinus)) {
        minus = node->kind == kOpMinus;
        node = node->next;
    }
    if (node == nullptr) return Value();
    Value value = EvaluateTerm(blockIndex, node, valueList);
    if (minus) value = Negate(value);
    for (node = node->next; node != nullptr && node->next != nullptr; node = node->next->next) {
        std::int16_t op = node->kind == kOpMinus ? kOpMinus : kOpPlus;
        Value term = EvaluateTerm(blockIndex, node->next, valueList);
        value = Apply(value, op, term);
    }
    return value;
}

Value ExpressionEvaluator::EvaluateTerm(int blockIndex, const SyntaxNode* term, const SyntaxNode* valueList) {
    const SyntaxNode* node = term->child;
    if (node == nullptr) return Value();
    Value value = EvaluateFactor(blockIndex, node, valueList);
    for (node = node->next; node != nullptr && node->next != nullptr; node = node->next->next) {
        std::int16_t op = node->kind == kOpSlash ? kOpDivide : kOpTimes;
        Value factor = EvaluateFactor(blockIndex, node->next, valueList);
        value = Apply(value, op, factor);
    }
    return value;
}

Value ExpressionEvaluator::EvaluateFactor(int blockIndex, const SyntaxNode* factor, const SyntaxNode* valueList) {
    const SyntaxNode* inner = factor->kind == FON_FACTEUR ? factor->child : factor;
    if (inner == nullptr) return Value();
    if (inner->kind == FON_CONDITION_RECHERCHE) {
        // A parenthesised arithmetic expression: condition, logical term,
        // logical factor, predicate, then its value expression.
        const SyntaxNode* n = inner;
        for (int step = 0; step < 4 && n != nullptr; ++step) n = n->child;
        if (n == nullptr || n->kind != FON_ITEM_COMPARE) return Value();
        return EvaluateExpression(blockIndex, n, valueList);
    }
    return EvaluatePrimary(inner, valueList, nullptr);
}

Value ExpressionEvaluator::EvaluatePrimary(const SyntaxNode* simpleItem, const SyntaxNode* valueList,
                                           const ConditionResult* rowSet) {
    const SyntaxNode* leaf = simpleItem != nullptr ? simpleItem->child : nullptr;
    if (leaf == nullptr) return Value();
    if (IsNumberLiteral(leaf->kind)) return Value::Double(LiteralNumber(leaf));
    if (leaf->kind == kTokString) {
        return Value::Borrowed(kOperandText, static_cast<std::int32_t>(std::strlen(leaf->text) + 1), leaf->text);
    }
    if (leaf->kind == kTokIdentifier) {
        for (const SyntaxNode* entry = valueList; entry != nullptr; entry = entry->next) {
            if (std::strcmp(entry->text, leaf->text) != 0) continue;
            const char* slash = std::strchr(entry->text, '/');
            KeepLastName(slash != nullptr ? slash + 1 : entry->text);
            if (entry->value == nullptr) return Value();
            return Value::Borrowed(static_cast<std::int16_t>(entry->kind), entry->aux, entry->value);
        }
        return Value();
    }
    if (leaf->kind == FON_FONCTION_SCALAIRE_REF) return EvaluateScalar(leaf, valueList, rowSet);
    if (leaf->kind == FON_FONCTION_AGREGEE_REF) return EvaluateAggregate(leaf, rowSet);
    if (leaf->kind == FON_FONCTION_DATE_HEURE_REF) return EvaluateDateTime(leaf);
    return Value();
}

Value ExpressionEvaluator::EvaluateScalar(const SyntaxNode* function, const SyntaxNode* valueList,
                                          const ConditionResult* rowSet) {
    const SyntaxNode* keyword = function->child;
    if (keyword == nullptr) return Value();
    Value argument = EvaluatePrimary(keyword->next, valueList, rowSet);
    double number = AsDouble(argument);
    switch (keyword->kind) {
        case kKwDigits: {
            if (!argument.Has()) return Value();
            char text[16];
            int n = std::snprintf(text, sizeof text, "%li", static_cast<long>(Truncate(number, INT32_MIN, INT32_MAX)));
            void* block = nullptr;
            if (!DuplicateText(reinterpret_cast<char**>(&block), text, n)) return Value();
            return Value::Owned(kOperandText, n + 1, block);
        }
        case kKwFloat: {
            if (!argument.Has()) return Value();
            float f = static_cast<float>(number);
            if (std::isfinite(number) && std::fabs(number) > 3.4028234663852886e38) f = number > 0 ? 3.4028235e38f : -3.4028235e38f;
            return Value::Inline(kOperandFloat, 4, &f);
        }
        case kKwInteger: {
            if (!argument.Has()) return Value();
            auto i = static_cast<std::int16_t>(Truncate(number, INT16_MIN, INT16_MAX));
            return Value::Inline(kOperandInt16, 2, &i);
        }
        case kKwLength: {
            if (!argument.Has()) return Value();
            const auto* bytes = static_cast<const char*>(argument.Data());
            std::size_t size = argument.Size() > 0 ? static_cast<std::size_t>(argument.Size()) : 0;
            auto length = static_cast<std::int16_t>(Truncate(static_cast<double>(strnlen(bytes, size)), 0, INT16_MAX));
            return Value::Inline(kOperandInt16, 2, &length);
        }
        default: return Value();
    }
}

Value ExpressionEvaluator::EvaluateAggregate(const SyntaxNode* function, const ConditionResult* rowSet) {
    aggregateSeen = 1;
    const SyntaxNode* keyword = function->child;
    if (keyword == nullptr || keyword->kind != kKwCountStar || rowSet == nullptr || rowSet->tuples == nullptr)
        return Value();
    std::uint32_t count = static_cast<std::uint32_t>(rowSet->tuples->Rows());
    std::snprintf(lastName, sizeof lastName, "%s", "NbLignes");
    return Value::Inline(kOperandUInt32, 4, &count);
}

Value ExpressionEvaluator::EvaluateDateTime(const SyntaxNode* function) {
    const SyntaxNode* keyword = function->child;
    const SyntaxNode* argument = keyword != nullptr ? keyword->next : nullptr;
    if (argument == nullptr) return Value();
    if (keyword->kind == kKwDate) {
        char date[9];
        DateDigits(argument->text, date);
        return Value::Inline(kOperandDate, 9, date);
    }
    if (keyword->kind == kKwTime) {
        char time[5];
        TimeDigits(argument->text, time);
        return Value::Inline(kOperandTime, 5, time);
    }
    return Value();
}

}  // namespace qx
