#include "analysis/BoundExpr.h"

#include "analysis/BoundCondition.h"
#include "analysis/BoundSelect.h"
#include "catalog/TableRef.h"

namespace qx {

BoundExpr::BoundExpr() = default;
BoundExpr::BoundExpr(ExprKind k, TypeClass c) : kind(k), typeClass(c) {}
BoundExpr::~BoundExpr() = default;

namespace {

void CollectNegated(const BoundCondition& c, bool negated, std::unordered_set<const BoundPredicate*>& out) {
    switch (c.kind) {
        case BoundCondition::Kind::kPredicate:
            if (negated) out.insert(c.predicate.get());
            return;
        case BoundCondition::Kind::kNot:
            for (const auto& o : c.operands) CollectNegated(*o, !negated, out);
            return;
        case BoundCondition::Kind::kAnd:
        case BoundCondition::Kind::kOr:
            for (const auto& o : c.operands) CollectNegated(*o, negated, out);
            return;
    }
}

// True when `c` under `negated` NOTs is an AND (or a predicate) of predicates.
bool AndOfPredicates(const BoundCondition& c, bool negated) {
    switch (c.kind) {
        case BoundCondition::Kind::kPredicate: return true;
        case BoundCondition::Kind::kNot: return AndOfPredicates(*c.operands.front(), !negated);
        case BoundCondition::Kind::kAnd:
        case BoundCondition::Kind::kOr:
            // An AND stays one; an OR becomes an AND under NOT.
            if ((c.kind == BoundCondition::Kind::kAnd) == negated) return false;
            for (const auto& o : c.operands)
                if (!AndOfPredicates(*o, negated)) return false;
            return true;
    }
    return false;
}

}  // namespace

std::unordered_set<const BoundPredicate*> NegatedPredicates(const BoundCondition& condition) {
    std::unordered_set<const BoundPredicate*> negated;
    CollectNegated(condition, false, negated);
    return negated;
}

bool IsConjunction(const BoundCondition& condition) {
    // A lone predicate is no conjunction; NOT over an OR is one.
    const BoundCondition* c = &condition;
    bool negated = false;
    while (c->kind == BoundCondition::Kind::kNot) {
        negated = !negated;
        c = c->operands.front().get();
    }
    if (c->kind == BoundCondition::Kind::kPredicate) return false;
    return AndOfPredicates(*c, negated);
}

std::vector<std::string> BoundSelect::TableNames() const {
    std::vector<std::string> names;
    for (const TableRef* table : tables) names.emplace_back(table->name.Get());
    return names;
}

}  // namespace qx
