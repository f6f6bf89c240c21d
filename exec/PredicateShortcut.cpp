// PredicateShortcut: recognising the covered shapes once, then evaluating
// them per record with the typed comparisons of Transfor, in the same order
// and with the same operands as ExpressionEvaluator.
#include "exec/PredicateShortcut.h"

#include <cmath>
#include <cstring>
#include <new>

#include "catalog/Cell.h"
#include "catalog/ItemDescriptor.h"
#include "exec/ExpressionEvaluator.h"
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

bool IsComparison(std::int32_t kind) {
    return kind == kOpNotEqual || kind == kOpLessEqual || kind == kOpGreaterEqual || kind == kOpLess ||
           kind == kOpGreater || kind == kOpEqual;
}

// The value EvaluatePrimary gives a literal operand (a FON_ITEM_SIMPLE whose
// leaf is a number or string literal); false for any other operand.
bool LiteralValue(const SyntaxNode* operand, Value& value) {
    if (operand == nullptr || operand->kind != FON_ITEM_SIMPLE || operand->child == nullptr) return false;
    const SyntaxNode* leaf = operand->child;
    if (leaf->kind == kTokInteger || leaf->kind == kTokDecimal || leaf->kind == kTokExponent) {
        value = Value::Double(ReadNumber(leaf->text));
        return true;
    }
    if (leaf->kind == kTokString) {
        value = Value::Borrowed(kOperandText, static_cast<std::int32_t>(std::strlen(leaf->text) + 1), leaf->text);
        return true;
    }
    return false;
}

std::int16_t Holds(std::int16_t op, std::int16_t type, const void* value, const Value& b) {
    return CompareTyped(op, type, value, b.Type(), b.Data());
}

// The six-decimal rounding of a number, at once for a whole number (which
// it leaves as it is; the sign of a zero does not matter to a comparison).
double Rounded(double x) { return x == std::trunc(x) ? x : RoundToSixDecimals(x); }

// CompareTyped's order of two plain texts: bytes compared with ASCII
// letters folded to lower case.
int CompareFolded(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        unsigned cx = *x, cy = *y;
        if (cx - 'A' < 26u) cx += 32;
        if (cy - 'A' < 26u) cy += 32;
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
}

}  // namespace

const SyntaxNode* SoleIdentifier(const SyntaxNode* expression) {
    const SyntaxNode* term = expression != nullptr ? expression->child : nullptr;
    if (term == nullptr || term->next != nullptr || term->kind == kOpPlus || term->kind == kOpMinus) return nullptr;
    const SyntaxNode* factor = term->child;
    if (factor == nullptr || factor->next != nullptr) return nullptr;
    const SyntaxNode* inner = factor->kind == FON_FACTEUR ? factor->child : factor;
    if (inner == nullptr || inner->kind != FON_ITEM_SIMPLE) return nullptr;
    const SyntaxNode* leaf = inner->child;
    return leaf != nullptr && leaf->kind == kTokIdentifier ? leaf : nullptr;
}

ItemDescriptor* ValueListItem(const SyntaxNode* identifier, const SyntaxNode* valueList,
                              const std::vector<ItemDescriptor*>& items) {
    std::size_t k = 0;
    for (const SyntaxNode* entry = valueList; entry != nullptr && k < items.size(); entry = entry->next, ++k)
        if (std::strcmp(entry->text, identifier->text) == 0) return items[k];
    return nullptr;
}

std::unique_ptr<PredicateShortcut> PredicateShortcut::For(const SyntaxNode* predicate, const SyntaxNode* valueList,
                                                          const std::vector<ItemDescriptor*>& items) {
    const SyntaxNode* first = predicate != nullptr ? predicate->child : nullptr;
    if (first == nullptr || first->kind != FON_ITEM_COMPARE || first->next == nullptr) return nullptr;
    const SyntaxNode* identifier = SoleIdentifier(first);
    ItemDescriptor* item = identifier != nullptr ? ValueListItem(identifier, valueList, items) : nullptr;
    if (item == nullptr || item->keyKind == ItemDescriptor::kCompositeKey) return nullptr;
    const SyntaxNode* comparison = first->next;
    const SyntaxNode* node = comparison->child;
    if (node == nullptr) return nullptr;
    std::unique_ptr<PredicateShortcut> s(new (std::nothrow) PredicateShortcut());
    if (s == nullptr) return nullptr;
    s->item_ = item;
    s->itemType_ = EvaluationKind(item);
    s->itemSize_ = ValueBufferSize(item);
    s->comparison_ = comparison;
    s->kind_ = Kind::kSecondMember;
    if (node->kind == kKwNot && node->next != nullptr) {
        s->notWritten_ = true;
        node = node->next;
    } else if (node->kind == kKwNot) {
        return s;  // NOT and nothing after it: the general answer (true)
    }
    if (IsComparison(node->kind) && node->next != nullptr && node->next->kind == FON_ITEM_SIMPLE) {
        const SyntaxNode* leaf = node->next->child;
        if (LiteralValue(node->next, s->low_)) {
            s->kind_ = Kind::kCompare;
            s->op_ = static_cast<std::int16_t>(node->kind);
        } else if (leaf != nullptr && leaf->kind == kTokIdentifier) {
            s->right_ = ValueListItem(leaf, valueList, items);
            if (s->right_ != nullptr && s->right_->keyKind != ItemDescriptor::kCompositeKey) {
                s->kind_ = Kind::kCompareItems;
                s->op_ = static_cast<std::int16_t>(node->kind);
                s->rightType_ = EvaluationKind(s->right_);
            }
        }
    } else if (node->kind == kKwBetween && node->next != nullptr && node->next->next != nullptr) {
        if (LiteralValue(node->next, s->low_) && LiteralValue(node->next->next, s->high_)) {
            s->kind_ = Kind::kBetween;
            if (!CompareTyped(kOpLessEqual, s->low_.Type(), s->low_.Data(), s->high_.Type(), s->high_.Data()))
                std::swap(s->low_, s->high_);
        }
    } else if (node->kind == kKwLike && node->next != nullptr) {
        s->kind_ = Kind::kLike;
        s->pattern_ = node->next->text;
    }
    if (s->kind_ == Kind::kSecondMember) s->notWritten_ = false;  // the evaluator reads the NOT itself
    // A plain text against text literals.
    if ((s->kind_ == Kind::kCompare || s->kind_ == Kind::kBetween) && s->itemType_ == kOperandText &&
        s->low_.Type() == kOperandText && (s->kind_ == Kind::kCompare || s->high_.Type() == kOperandText))
        s->text_ = true;
    // A number against number literals: the literals are rounded once.
    if ((s->kind_ == Kind::kCompare || s->kind_ == Kind::kBetween) && s->itemType_ == kOperandDouble &&
        s->low_.Type() == kOperandDouble && (s->kind_ == Kind::kCompare || s->high_.Type() == kOperandDouble)) {
        s->numeric_ = true;
        s->lowNumber_ = RoundToSixDecimals(ReadOperandNumber(kOperandDouble, s->low_.Data()));
        if (s->kind_ == Kind::kBetween)
            s->highNumber_ = RoundToSixDecimals(ReadOperandNumber(kOperandDouble, s->high_.Data()));
    }
    return s;
}

int PredicateShortcut::Evaluate(ExpressionEvaluator& evaluator, int blockIndex, const SyntaxNode* valueList,
                                std::uint16_t negatedFlag) const {
    return EvaluateOn(ReadCell(item_, nullptr), right_ != nullptr ? ReadCell(right_, nullptr) : nullptr, evaluator,
                      blockIndex, valueList, negatedFlag);
}

int PredicateShortcut::EvaluateOn(const void* value, const void* right, ExpressionEvaluator& evaluator,
                                  int blockIndex, const SyntaxNode* valueList, std::uint16_t negatedFlag) const {
    if (value == nullptr) return -1;
    bool negated = (negatedFlag != 0) != notWritten_;
    if (text_) {
        const auto* text = static_cast<const char*>(value);
        int low = CompareFolded(text, static_cast<const char*>(low_.Data()));
        if (kind_ == Kind::kCompare) return NumberRelation(negated ? InverseComparison(op_) : op_, low, 0);
        int high = CompareFolded(text, static_cast<const char*>(high_.Data()));
        if (!negated) return low >= 0 && high <= 0;
        return low < 0 || high > 0;
    }
    if (numeric_) {
        double a = Rounded(ReadOperandNumber(kOperandDouble, value));
        if (kind_ == Kind::kCompare) return NumberRelation(negated ? InverseComparison(op_) : op_, a, lowNumber_);
        if (!negated) return a >= lowNumber_ && a <= highNumber_;
        return a < lowNumber_ || a > highNumber_;
    }
    switch (kind_) {
        case Kind::kCompare:
            return Holds(negated ? InverseComparison(op_) : op_, itemType_, value, low_);
        case Kind::kCompareItems: {
            if (right == nullptr) return -1;
            std::int16_t op = negated ? InverseComparison(op_) : op_;
            if (itemType_ == kOperandDouble && rightType_ == kOperandDouble)
                return NumberRelation(op, Rounded(ReadOperandNumber(kOperandDouble, value)),
                                   Rounded(ReadOperandNumber(kOperandDouble, right)));
            return CompareTyped(op, itemType_, value, rightType_, right);
        }
        case Kind::kBetween:
            if (!negated) return Holds(kOpGreaterEqual, itemType_, value, low_) && Holds(kOpLessEqual, itemType_, value, high_);
            return Holds(kOpLess, itemType_, value, low_) || Holds(kOpGreater, itemType_, value, high_);
        case Kind::kLike: {
            bool text = itemType_ == kOperandText || itemType_ == kOperandDate || itemType_ == kOperandTime;
            bool match = MatchLike(text ? static_cast<const char*>(value) : "", pattern_) != 0;
            return match != negated ? 1 : 0;
        }
        case Kind::kSecondMember:
            break;
    }
    Value left = Value::Borrowed(itemType_, itemSize_, value);
    return evaluator.EvaluateSecondMember(blockIndex, left, comparison_, valueList, negatedFlag != 0);
}

}  // namespace qx
