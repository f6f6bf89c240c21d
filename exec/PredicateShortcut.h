// PredicateShortcut: one predicate whose left operand is a single item,
// evaluated on the item's value directly instead of through the general
// walk of the expression, with exactly the truth the general evaluator gives.
//
// Covered: "item op literal" and "item op item" (the six comparisons),
// "item [NOT] BETWEEN literal AND literal" and "item [NOT] LIKE 'pattern'",
// all computed here; any other comparison (IN, MATCH, IS, ALL / ANY / SOME,
// a sub-select, an expression on the right) is handed to the evaluator's
// EvaluateComparison with the item's value, which skips only the walk of the
// left operand.  The selection makes one shortcut per predicate when it
// loads a group and falls back to the general path for predicates without one.
//
// The shortcut keeps pointers to the bound predicate and to the item
// descriptors; both outlive the selection that owns it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/BoundPredicate.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/Value.h"

namespace qx {

class ExpressionEvaluator;
class ItemDescriptor;

class PredicateShortcut {
public:
    // The shortcut of `predicate`; null when its shape is not covered or
    // memory runs out.
    static std::unique_ptr<PredicateShortcut> For(const BoundPredicate& predicate);

    // True when Evaluate reads the predicate's item values (they must then be current).
    bool UsesValueList() const { return kind_ == Kind::kSecondMember; }
    // True when the truth is computed here, from item values alone (no
    // evaluator, no nested rows).
    bool Computed() const { return kind_ != Kind::kSecondMember; }
    // The left operand, and the right one of "item op item" (else null).
    ItemDescriptor* Item() const { return item_; }
    ItemDescriptor* RightItem() const { return right_; }
    // The truth (1 or 0) of the predicate on the item's current value with
    // the negated flag, as EvaluatePredicate gives it; -1 when the item has
    // no value buffer and the general path must answer.
    // The same for the items' current values already read (ReadCell's
    // answers; `right` only for "item op item").
    int EvaluateOn(const void* value, const void* right, ExpressionEvaluator& evaluator, ItemValues values,
                   bool negated) const;

private:
    enum class Kind { kCompare, kCompareItems, kBetween, kLike, kSecondMember };

    Kind kind_ = Kind::kSecondMember;
    ItemDescriptor* item_ = nullptr;          // the left operand (not owned)
    std::int16_t itemType_ = 0;               // its evaluation kind
    std::int32_t itemSize_ = 0;               // its value buffer size
    bool notWritten_ = false;                 // a NOT written before BETWEEN / LIKE / the operator
    OperatorCode op_ = 0;                     // comparison operator, before negation
    Value low_, high_;                        // the literal (low_) or the BETWEEN bounds, in order
    bool numeric_ = false;                    // a number item against number literals
    double lowNumber_ = 0, highNumber_ = 0;   // then the literals as compared (six-decimal rounding)
    bool text_ = false;                       // a plain text item against text literals
    ItemDescriptor* right_ = nullptr;         // the right operand of "item op item" (not owned)
    std::int16_t rightType_ = 0;              // its evaluation kind
    const char* pattern_ = nullptr;           // LIKE pattern (the predicate's)
    const BoundPredicate* predicate_ = nullptr;  // the predicate
};

}  // namespace qx
