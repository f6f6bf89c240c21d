// Planning: the blocks of a bound statement and the tree of operators that
// runs them.
//
// Choices made here:
//   - A SELECT's selection runs its predicate groups in the order they were
//     filed, except when its WHERE is an AND of predicates: then the groups
//     of at most one table go first, and the records their predicates let
//     through are the only ones the groups of several tables walk.
//   - In a group of two tables, an equality between a plain item of each
//     (numbers or plain texts, not negated) is a hash join; the group's
//     other predicates test every combination.
//   - Both choices are shortcuts with exactly the rows and order of the
//     general walk; FastPaths turns them off for tests.
#include "planner/QueryPlan.h"

#include <unordered_set>

#include "analysis/BoundStatement.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "planner/FastPaths.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {

QueryPlan::QueryPlan(QueryDictionary* statementDictionary, std::unique_ptr<BoundStatement> bound)
    : dictionary(statementDictionary), statement(std::move(bound)) {}

QueryPlan::~QueryPlan() = default;

SelectBlock* QueryPlan::Block(int index) const {
    if (index < 0 || index >= BlockCount()) return nullptr;
    return blocks[static_cast<std::size_t>(index)].get();
}

namespace {

using OperatorPtr = std::unique_ptr<PlanOperator>;

// True when `p` can be computed by hashing: "A.x = B.y" between a plain item
// of each of the group's two tables, not negated, of values an equality key
// covers (numbers and plain texts).
bool IsHashableEquality(const PredicateGroup& group, const BoundPredicate& p,
                        const std::unordered_set<const BoundPredicate*>& negated) {
    if (group.tables.size() != 2 || negated.count(&p) != 0) return false;
    if (p.kind != PredicateKind::kCompare || p.op != kOpEqual || p.leftSigned) return false;
    if (p.left == nullptr || p.right == nullptr || p.left->kind != ExprKind::kItem || p.right->kind != ExprKind::kItem)
        return false;
    const ItemDescriptor* sides[2] = {p.left->item, p.right->item};
    bool found[2] = {false, false};
    for (const ItemDescriptor* item : sides) {
        if (item == nullptr || item->keyKind == ItemDescriptor::kCompositeKey) return false;
        std::int16_t kind = EvaluationKind(item);
        if (kind != kOperandDouble && kind != kOperandText) return false;
        int table = item->owner == group.tables[0] ? 0 : item->owner == group.tables[1] ? 1 : -1;
        if (table < 0 || found[table]) return false;
        found[table] = true;
    }
    return true;
}

class Planner {
public:
    explicit Planner(QueryPlan& plan) : plan_(plan), statement_(*plan.statement) {}

    OperatorPtr Root();

private:
    OperatorPtr Project(int block);
    OperatorPtr Selection(int block);
    void AddGroups(PlanOperator& selection, const BoundSelect& select);

    QueryPlan& plan_;
    const BoundStatement& statement_;
};

OperatorPtr Planner::Root() {
    switch (statement_.kind) {
        case StatementKind::kSelect: {
            OperatorPtr result = Project(0);
            if (statement_.setOperation != SetOperation::kNone) {
                auto combined = std::make_unique<PlanOperator>(OperatorKind::kSetOperation);
                combined->Add(std::move(result));
                // The second SELECT is the next main one.
                for (const auto& select : statement_.selects)
                    if (select->index > 0 && select->parent < 0) {
                        combined->Add(Project(select->index));
                        break;
                    }
                result = std::move(combined);
            }
            if (!statement_.orderBy.empty()) {
                auto sort = std::make_unique<PlanOperator>(OperatorKind::kSort);
                sort->Add(std::move(result));
                result = std::move(sort);
            }
            return result;
        }
        case StatementKind::kInsert: {
            auto insert = std::make_unique<PlanOperator>(OperatorKind::kInsert);
            if (statement_.HasQuery()) insert->Add(Project(0));
            return insert;
        }
        case StatementKind::kUpdate:
        case StatementKind::kDelete: {
            auto change = std::make_unique<PlanOperator>(statement_.kind == StatementKind::kUpdate ? OperatorKind::kUpdate
                                                                                                : OperatorKind::kDelete);
            if (statement_.HasQuery()) change->Add(Selection(0));
            return change;
        }
        case StatementKind::kCreateTable: return std::make_unique<PlanOperator>(OperatorKind::kCreateTable);
        case StatementKind::kCreateIndex: return std::make_unique<PlanOperator>(OperatorKind::kCreateIndex);
        case StatementKind::kDropTable:
        case StatementKind::kDropIndex:
        case StatementKind::kCreateView:
        case StatementKind::kDropView:
        case StatementKind::kAlterTable: return std::make_unique<PlanOperator>(OperatorKind::kSchemaChange);
        case StatementKind::kUnsupported: break;
    }
    return nullptr;
}

OperatorPtr Planner::Project(int block) {
    auto project = std::make_unique<PlanOperator>(OperatorKind::kProject, block);
    project->Add(Selection(block));
    return project;
}

OperatorPtr Planner::Selection(int block) {
    auto selection = std::make_unique<PlanOperator>(OperatorKind::kSelection, block);
    const BoundSelect* select = statement_.Select(block);
    if (select == nullptr) return selection;
    std::unordered_set<const BoundPredicate*> negated;
    if (select->where != nullptr) negated = NegatedPredicates(*select->where);
    for (const NestedLink& link : select->nested) {
        auto sub = std::make_unique<PlanOperator>(OperatorKind::kSubquery, link.block);
        // How the SELECT reads the rows: a test of a match is a semi-join, of none an anti-join.
        for (const PredicateGroup& group : select->groups)
            for (const BoundPredicate* p : group.predicates) {
                if (p->rows.block != link.block) continue;
                bool matching = p->kind == PredicateKind::kIn || p->kind == PredicateKind::kMatch ||
                                p->kind == PredicateKind::kExists ||
                                (p->kind == PredicateKind::kCompareRows && p->quantifier == Quantifier::kAny &&
                                 p->op == kOpEqual);
                if (!matching) continue;
                bool inverted = p->notWritten != (negated.count(p) != 0);
                sub->kind = inverted ? OperatorKind::kAntiJoin : OperatorKind::kSemiJoin;
                sub->join = p;
            }
        sub->Add(Project(link.block));
        if (SelectBlock* nested = plan_.Block(link.block)) nested->source = sub.get();
        selection->Add(std::move(sub));
    }
    // A FROM list with a LEFT JOIN is joined step by step, WHERE after.
    if (select->where != nullptr && select->joinSteps.empty()) AddGroups(*selection, *select);
    return selection;
}

void Planner::AddGroups(PlanOperator& selection, const BoundSelect& select) {
    int block = select.index;
    bool fast = FastPathsEnabled();
    std::unordered_set<const BoundPredicate*> negated = NegatedPredicates(*select.where);
    bool oneTable = select.tables.size() <= 1;
    // The WHERE predicates of an AND filter the tables they read before any join.
    std::unordered_set<const BoundPredicate*> conjuncts;
    if (fast && !oneTable && IsConjunction(*select.where)) {
        std::vector<const BoundCondition*> pending{select.where.get()};
        while (!pending.empty()) {
            const BoundCondition* c = pending.back();
            pending.pop_back();
            if (c->kind == BoundCondition::Kind::kPredicate) conjuncts.insert(c->predicate.get());
            for (const auto& o : c->operands) pending.push_back(o.get());
        }
    }
    for (int pass = conjuncts.empty() ? 1 : 0; pass < 2; ++pass) {
        for (const PredicateGroup& group : select.groups) {
            if (group.predicates.empty()) continue;
            // Pass 0: the groups of at most one table; pass 1: the others
            // (every group when there is no pass 0).
            bool small = group.tables.size() <= 1;
            if (!conjuncts.empty() && small != (pass == 0)) continue;
            if (group.tables.empty()) {
                auto constant = std::make_unique<PlanOperator>(OperatorKind::kConstant, block);
                constant->group = &group;
                selection.Add(std::move(constant));
                continue;
            }
            if (oneTable || group.tables.size() == 1) {
                auto scan = std::make_unique<PlanOperator>(
                    group.tables.size() == 1 ? OperatorKind::kScan : OperatorKind::kNestedLoop, block);
                scan->group = &group;
                scan->tests.assign(group.predicates.begin(), group.predicates.end());
                for (const BoundPredicate* p : group.predicates)
                    if (conjuncts.count(p) != 0) scan->filters.push_back(p);
                selection.Add(std::move(scan));
                continue;
            }
            auto walk = std::make_unique<PlanOperator>(OperatorKind::kNestedLoop, block);
            walk->group = &group;
            for (const BoundPredicate* p : group.predicates) {
                if (fast && IsHashableEquality(group, *p, negated)) {
                    auto join = std::make_unique<PlanOperator>(OperatorKind::kHashJoin, block);
                    join->group = &group;
                    join->join = p;
                    selection.Add(std::move(join));
                } else {
                    walk->tests.push_back(p);
                }
            }
            if (!walk->tests.empty()) selection.Add(std::move(walk));
        }
    }
}

}  // namespace

std::unique_ptr<QueryPlan> PlanStatement(QueryDictionary* dictionary, std::unique_ptr<BoundStatement> statement) {
    auto plan = std::make_unique<QueryPlan>(dictionary, std::move(statement));
    const BoundStatement& bound = *plan->statement;
    if (bound.kind == StatementKind::kUpdate) plan->mode = QueryPlan::Mode::kUpdate;
    if (bound.kind == StatementKind::kDelete) plan->mode = QueryPlan::Mode::kDelete;
    for (const auto& select : bound.selects) plan->blocks.push_back(std::make_unique<SelectBlock>(plan.get(), select.get()));
    // LIMIT: the result's rows past the first ones wanted are not kept.
    if (bound.kind == StatementKind::kSelect && bound.setOperation == SetOperation::kNone && bound.limit >= 0 &&
        !plan->blocks.empty())
        plan->blocks.front()->keepTop = static_cast<std::int64_t>(bound.offset) + bound.limit;
    plan->root = Planner(*plan).Root();
    return plan;
}

}  // namespace qx
