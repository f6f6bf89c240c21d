// BoundCondition: a WHERE or HAVING condition after binding, as written:
// OR of terms, AND of factors, NOT, and predicates at the leaves.  An OR or
// AND has at least two operands; a condition in parentheses that is a whole
// predicate is its condition's tree.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "analysis/BoundPredicate.h"

namespace qx {

struct BoundCondition {
    enum class Kind : std::uint8_t { kPredicate, kAnd, kOr, kNot };

    Kind kind = Kind::kPredicate;
    std::unique_ptr<BoundPredicate> predicate;              // kPredicate
    std::vector<std::unique_ptr<BoundCondition>> operands;  // kAnd, kOr; kNot: one
};

// The predicates of `condition` under an odd number of NOTs: those that NOT,
// pushed down through AND and OR, ends up negating.
std::unordered_set<const BoundPredicate*> NegatedPredicates(const BoundCondition& condition);

// True when `condition`, with NOT pushed down to its predicates and nested
// ANDs merged, is an AND of predicates.
bool IsConjunction(const BoundCondition& condition);

}  // namespace qx
