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
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// The value the evaluator gives a literal operand; false for any other operand.
bool LiteralValue(const BoundExpr* operand, Value& value) {
    if (operand == nullptr) return false;
    if (operand->kind == ExprKind::kNumber) {
        value = Value::Double(operand->number);
        return true;
    }
    if (operand->kind == ExprKind::kText) {
        value = Value::Borrowed(kOperandText, static_cast<std::int32_t>(operand->text.size() + 1), operand->text.c_str());
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

std::unique_ptr<PredicateShortcut> PredicateShortcut::For(const BoundPredicate& p) {
    if (p.kind == PredicateKind::kValue || p.kind == PredicateKind::kExists || p.kind == PredicateKind::kUnique)
        return nullptr;
    if (p.left == nullptr || p.leftSigned || p.left->kind != ExprKind::kItem) return nullptr;
    ItemDescriptor* item = p.left->item;
    if (item == nullptr || item->keyKind == ItemDescriptor::kCompositeKey) return nullptr;
    std::unique_ptr<PredicateShortcut> s(new (std::nothrow) PredicateShortcut());
    if (s == nullptr) return nullptr;
    s->item_ = item;
    s->itemType_ = EvaluationKind(item);
    s->itemSize_ = ValueBufferSize(item);
    s->predicate_ = &p;
    s->kind_ = Kind::kSecondMember;
    s->notWritten_ = p.notWritten;
    if (p.kind == PredicateKind::kCompare && p.right != nullptr) {
        if (LiteralValue(p.right.get(), s->low_)) {
            s->kind_ = Kind::kCompare;
            s->op_ = p.op;
        } else if (p.right->kind == ExprKind::kItem && p.right->item != nullptr &&
                   p.right->item->keyKind != ItemDescriptor::kCompositeKey) {
            s->right_ = p.right->item;
            s->kind_ = Kind::kCompareItems;
            s->op_ = p.op;
            s->rightType_ = EvaluationKind(s->right_);
        }
    } else if (p.kind == PredicateKind::kBetween) {
        if (LiteralValue(p.lower.get(), s->low_) && LiteralValue(p.upper.get(), s->high_)) {
            s->kind_ = Kind::kBetween;
            if (!CompareTyped(kOpLessEqual, s->low_.Type(), s->low_.Data(), s->high_.Type(), s->high_.Data()))
                std::swap(s->low_, s->high_);
        }
    } else if (p.kind == PredicateKind::kLike) {
        s->kind_ = Kind::kLike;
        s->pattern_ = p.pattern.c_str();
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

int PredicateShortcut::EvaluateOn(const void* value, const void* right, ExpressionEvaluator& evaluator,
                                  ItemValues values, bool negatedFlag) const {
    if (value == nullptr) return -1;
    bool negated = negatedFlag != notWritten_;
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
            OperatorCode op = negated ? InverseComparison(op_) : op_;
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
    return evaluator.EvaluateComparison(*predicate_, left, values, negatedFlag);
}

}  // namespace qx
