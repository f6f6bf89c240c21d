// PredicateShortcut: one predicate of a WHERE condition whose left operand
// is a single item, evaluated on the item's value directly instead of
// through the general walk of the expression tree, with exactly the truth
// the general evaluator gives.
//
// Covered: "item op literal" and "item op item" (the six comparisons),
// "item [NOT] BETWEEN literal AND literal" and "item [NOT] LIKE 'pattern'",
// all computed here; any other second member (IN, MATCH, IS, ALL / ANY /
// SOME, a sub-select, an expression on the right) is handed to the evaluator's EvaluateSecondMember with
// the item's value, which skips only the walk of the left operand.  The
// selection makes one shortcut per predicate when it loads a group and falls
// back to the general path for predicates without one.
//
// The shortcut keeps pointers into the statement's tree and to the item
// descriptors; both outlive the selection that owns it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "exec/Value.h"

namespace qx {

class ExpressionEvaluator;
class ItemDescriptor;
class SyntaxNode;

// The identifier leaf of a FON_ITEM_COMPARE expression that is one item
// reference and nothing else (no sign, no operator), or null.
const SyntaxNode* SoleIdentifier(const SyntaxNode* expression);
// The item of the value list's first entry named like `identifier` (the
// entry the evaluator reads), where entry k stands for items[k]; or null.
ItemDescriptor* ValueListItem(const SyntaxNode* identifier, const SyntaxNode* valueList,
                              const std::vector<ItemDescriptor*>& items);

class PredicateShortcut {
public:
    // The shortcut of `predicate` (a FON_EXPRESSION node) whose value list has
    // one entry per item of `items`, in order; null when its shape is not
    // covered or memory runs out.
    static std::unique_ptr<PredicateShortcut> For(const SyntaxNode* predicate, const SyntaxNode* valueList,
                                                  const std::vector<ItemDescriptor*>& items);

    // True when Evaluate reads the value list (it must then be current).
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
    int Evaluate(ExpressionEvaluator& evaluator, int blockIndex, const SyntaxNode* valueList,
                 std::uint16_t negated) const;
    // The same for the items' current values already read (ReadCell's
    // answers; `right` only for "item op item").
    int EvaluateOn(const void* value, const void* right, ExpressionEvaluator& evaluator, int blockIndex,
                   const SyntaxNode* valueList, std::uint16_t negated) const;

private:
    enum class Kind { kCompare, kCompareItems, kBetween, kLike, kSecondMember };

    Kind kind_ = Kind::kSecondMember;
    ItemDescriptor* item_ = nullptr;          // the left operand (not owned)
    std::int16_t itemType_ = 0;               // its evaluation kind
    std::int32_t itemSize_ = 0;               // its value buffer size
    bool notWritten_ = false;                 // a NOT written before BETWEEN / LIKE / the operator
    std::int16_t op_ = 0;                     // comparison operator, before negation
    Value low_, high_;                        // the literal (low_) or the BETWEEN bounds, in order
    bool numeric_ = false;                    // a number item against number literals
    double lowNumber_ = 0, highNumber_ = 0;   // then the literals as compared (six-decimal rounding)
    bool text_ = false;                       // a plain text item against text literals
    ItemDescriptor* right_ = nullptr;         // the right operand of "item op item" (not owned)
    std::int16_t rightType_ = 0;              // its evaluation kind
    const char* pattern_ = nullptr;           // LIKE pattern as written (in the tree)
    const SyntaxNode* comparison_ = nullptr;  // the FON_COMPARAISON node (in the tree)
};

}  // namespace qx
