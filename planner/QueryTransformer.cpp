// QueryTransformer: the checks, typing and planning of the SELECTs of a
// statement.
//
// Interface routines:
//   Transform      - every SELECT of the statement, main block first
//   PlanSelect     - one SELECT: FROM, select list, WHERE, GROUP BY, HAVING
//   ResolveItem    - an item name, from the block outwards
//   TypeCondition / TypeLogicalTerm / TypeLogicalFactor - OR, AND, NOT
//   TypePredicate  - one comparison, test or sub-select predicate
//   TypeExpression / TypeTerm - + - and * / over factors
//   TypePrimary    - literals, item references and functions
// The plan records themselves (blocks, groups, entries, the correlation
// pass) are QueryPlan's; evaluating anything is execution's.
//
// Choices made here:
//   - WHERE and HAVING are kept apart: the WHERE chain is the block's
//     `condition`, the HAVING chain its `having`.  Both are typed and their
//     predicates filed in the block's groups.
//   - A correlation name followed by a column list (FROM T AS X (A, B)) is
//     refused with message 4298: the feature is not supported, rather than
//     the table being left out of the block silently.
//   - SECOND types like DAY, HOUR, MINUTE and YEAR (character).
//   - Date and time items type as character, like the DATE and TIME
//     functions they are compared with.
//   - "Any" (65535) matches every class on either side of a comparison, an
//     operator or a function argument, so COUNT(*) > 1 types.
//   - A predicate that is nothing but a parenthesized condition takes that
//     condition's rewritten chain as its form.  A parenthesized condition
//     that is only part of a predicate (an operand of + - * / or of a
//     comparison) is typed as a value: its items count for the enclosing
//     predicate, which becomes one leaf, and nothing inside it is filed on
//     its own.
//   - Running out of memory while building a connector, holder or leaf
//     fails the statement with 4242 instead of leaving a gap in the chain.
//   - The ORDER BY list kept by the plan is the one of the first SELECT
//     (block 0), whose result is the statement's result.
//
// Recursion follows the nesting of the statement (parenthesized conditions,
// sub-selects, function arguments), which the grammar bounds; a guard stops
// at kMaxNesting levels all the same.  Sibling chains and NOT sequences are
// walked in loops.
#include "planner/QueryTransformer.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "base/List.h"
#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "planner/Predicate.h"
#include "planner/QueryPlan.h"
#include "planner/SelectBlock.h"
#include "values/FieldType.h"

namespace qx {
namespace {

constexpr std::int32_t kLeafKind = 302;     // predicate leaf of a rewritten chain
constexpr std::int32_t kHolderKind = 0;     // operand holder of a rewritten chain
constexpr std::uint16_t kNoQuantifier = 1;  // aux of selected items and aggregate arguments without DISTINCT/ALL

bool ClassesMatch(TypeClass a, TypeClass b) {
    return a == b || a == QueryTransformer::kAny || b == QueryTransformer::kAny;
}

// The class two matching operands give together: the first one unless it is "any".
TypeClass Combine(TypeClass first, TypeClass other) { return first == QueryTransformer::kAny ? other : first; }

bool IsLeaf(const SyntaxNode* node, std::int32_t kind) {
    return node != nullptr && node->kind == kind && node->child == nullptr;
}

bool IsComparisonOperator(std::int32_t kind) {
    return kind == kOpEqual || kind == kOpNotEqual || kind == kOpLess || kind == kOpGreater || kind == kOpLessEqual ||
           kind == kOpGreaterEqual;
}

int CountKind(const SyntaxNode* first, std::int32_t kind) {
    int count = 0;
    for (const SyntaxNode* node = first; node != nullptr; node = node->next)
        if (node->kind == kind) ++count;
    return count;
}

// The condition of a predicate written as nothing but "( condition )".
SyntaxNode* WholeParenthesizedCondition(const SyntaxNode* expression) {
    const SyntaxNode* operand = expression->child;
    if (operand == nullptr || operand->kind != FON_ITEM_COMPARE || operand->next != nullptr) return nullptr;
    const SyntaxNode* term = operand->child;
    if (term == nullptr || term->kind != FON_TERME || term->next != nullptr) return nullptr;
    const SyntaxNode* factor = term->child;
    if (factor == nullptr || factor->kind != FON_FACTEUR || factor->next != nullptr) return nullptr;
    SyntaxNode* condition = factor->child;
    return condition != nullptr && condition->kind == FON_CONDITION_RECHERCHE ? condition : nullptr;
}

}  // namespace

// What the typing of one predicate (or of the select list) gathers: the set
// of table names read (text of `head`), the "TABLE/ITEM" references (the
// chain after `head`) and the descriptors read (`items`).  The select list
// gathers descriptors only, in order and with repeats; a predicate gathers
// each reference and each descriptor once.
struct QueryTransformer::Collector {
    SyntaxNode* head = nullptr;  // name set and reference chain, or null (select list)
    SyntaxNode* last = nullptr;  // last node of the reference chain
    List* items = nullptr;       // descriptors (not owned by the list), or null
    bool once = false;           // each reference and descriptor once
    std::unordered_set<std::string> references;
    std::unordered_set<const ItemDescriptor*> seenItems;

    // Both adds give false when memory runs out (the sets' bad_alloc included).
    bool AddItem(ItemDescriptor* item) {
        if (items == nullptr) return true;
        try {
            if (once && !seenItems.insert(item).second) return true;
        } catch (const std::bad_alloc&) {
            NoteAllocationFailure();
            return false;
        }
        return items->Append(item) >= 0;
    }

    bool AddReference(const char* table, const char* text) {
        if (head == nullptr) return true;
        if (!head->AddPathName(table)) return false;
        try {
            if (!references.insert(text).second) return true;
        } catch (const std::bad_alloc&) {
            NoteAllocationFailure();
            return false;
        }
        SyntaxNode* node = SyntaxNode::Make(text, 0, 0);
        if (node == nullptr) return false;
        last = last->LinkSibling(node, true);
        return true;
    }

    // Gives up what was gathered (the descriptors stay with their tables).
    void Release() {
        delete head;
        head = last = nullptr;
        if (items != nullptr) {
            items->DetachAll(1);
            delete items;
            items = nullptr;
        }
    }
};

namespace {

// Counts one level of nesting for as long as it lives.
class NestingLevel {
public:
    explicit NestingLevel(int& depth) : depth_(depth) { ++depth_; }
    ~NestingLevel() { --depth_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;
    bool TooDeep() const { return depth_ > QueryTransformer::kMaxNesting; }

private:
    int& depth_;
};

}  // namespace

QueryTransformer::QueryTransformer() : plan(nullptr), dictionary(nullptr) {}

TypeClass QueryTransformer::ItemClass(const ItemDescriptor* item) {
    switch (ValueClassOf(item->type)) {
        case kClassNumeric:
            return kNumeric;
        case kClassText:
        case kClassDate:
        case kClassTime:
            return kCharacter;
        default:
            return kFailure;
    }
}

TypeClass QueryTransformer::Raise(int number, const char* argument) {
    if (plan != nullptr) plan->status = Error::Message(number, argument != nullptr ? argument : "");
    return kFailure;
}

std::int16_t QueryTransformer::Transform(QueryPlan* targetPlan, SyntaxNode* tree) {
    plan = targetPlan;
    dictionary = plan != nullptr ? plan->dictionary : nullptr;
    depth_ = 0;
    if (plan == nullptr || dictionary == nullptr || tree == nullptr) return 0;
    SyntaxNode* statement = tree->child;
    if (statement == nullptr) return 0;
    if (statement->kind == FON_REQUETE_SUPPRESSION_ENREG || statement->kind == FON_REQUETE_MIS_A_JOUR_ENREG)
        return PlanChangeSelection(statement);
    if (statement->kind == FON_REQUETE_INSERT_ENREG) return PlanInsertSelection(statement);
    if (statement->kind >= FON_REQUETE_CREATION_INDEX && statement->kind <= FON_REQUETE_CREATION_TABLE) return 1;
    if (statement->kind != FON_REQUETE_SELECTION) return 0;
    if (!PlanMain(statement)) return 0;
    // A set operator: its leaf (and an ALL leaf) come before the second query.
    for (SyntaxNode* node = statement->next; node != nullptr; node = node->next)
        if (node->kind == FON_REQUETE_SELECTION) return PlanMain(node);
    return 1;
}

namespace {

// A tree for "SELECT * FROM table WHERE condition", which takes over
// `condition`; null when memory runs out (`condition` then freed).
SyntaxNode* SelectStarTree(const char* tableName, SyntaxNode* condition) {
    std::unique_ptr<SyntaxNode> where(condition);
    std::unique_ptr<SyntaxNode> root(SyntaxNode::Make("", FON_REQUETE, 0));
    SyntaxNode* query = root != nullptr ? root->AddChild("", FON_REQUETE_SELECTION, 0, false) : nullptr;
    SyntaxNode* body = query != nullptr ? query->AddChild("", FON_SOUS_SELECT, 0, false) : nullptr;
    SyntaxNode* selected = body != nullptr ? body->AddChild("", FON_ITEM_SELECTIONNE, 0, false) : nullptr;
    SyntaxNode* star = selected != nullptr ? selected->AddChild("*", kOpStar, 0, false) : nullptr;
    SyntaxNode* tables = star != nullptr ? selected->AddSibling("", FON_TABLE_REF_VIRGULE_LISTE, 0, true) : nullptr;
    SyntaxNode* ref = tables != nullptr ? tables->AddChild("", FON_TABLE_REF, 0, false) : nullptr;
    SyntaxNode* name = ref != nullptr ? ref->AddChild(tableName, kTokIdentifier, 0, false) : nullptr;
    if (name == nullptr) return nullptr;
    tables->next = where.release();
    return root.release();
}

}  // namespace

std::int16_t QueryTransformer::PlanChangeSelection(SyntaxNode* statement) {
    bool update = statement->kind == FON_REQUETE_MIS_A_JOUR_ENREG;
    SyntaxNode* table = statement->child;
    // The node the WHERE condition follows: the table name, or UPDATE's SET list.
    SyntaxNode* before = table != nullptr && update ? table->next : table;
    if (before == nullptr || before->next == nullptr) return 1;
    SyntaxNode* where = before->next;
    before->next = nullptr;
    SyntaxNode* query = SelectStarTree(table->text, where);
    if (query == nullptr) {
        Raise(kMsgOutOfMemory);
        return 0;
    }
    plan->query.reset(query);
    plan->mode = update ? QueryPlan::Mode::kUpdate : QueryPlan::Mode::kDelete;
    return PlanMain(query->child);
}

std::int16_t QueryTransformer::PlanInsertSelection(SyntaxNode* statement) {
    SyntaxNode* before = statement->child;  // the table name, or the column list after it
    if (before != nullptr && before->next != nullptr && before->next->kind == FON_COLONNE_REF_VIRGULE_LISTE)
        before = before->next;
    SyntaxNode* body = before != nullptr ? before->next : nullptr;
    if (body == nullptr || body->kind != FON_SOUS_SELECT) return 1;
    std::unique_ptr<SyntaxNode> root(SyntaxNode::Make("", FON_REQUETE, 0));
    SyntaxNode* query = root != nullptr ? root->AddChild("", FON_REQUETE_SELECTION, 0, false) : nullptr;
    if (query == nullptr) {
        Raise(kMsgOutOfMemory);
        return 0;
    }
    before->next = body->next;
    body->next = nullptr;
    query->AttachChild(body, false);
    plan->query = std::move(root);
    plan->mode = QueryPlan::Mode::kRows;
    return PlanMain(query);
}

std::int16_t QueryTransformer::PlanMain(SyntaxNode* query) {
    SyntaxNode* body = query->child;
    if (body == nullptr || body->kind != FON_SOUS_SELECT) return 0;
    std::int16_t index = -1;
    if (!PlanSelect(body, false, -1, &index)) return 0;
    SyntaxNode* order = body->next;
    if (order != nullptr && order->kind == FON_COLONNE_REF_VIRGULE_LISTE) {
        if (!ResolveNames(order, index)) return 0;
        if (index == 0) plan->orderBy = order->child;
    }
    if (!plan->LinkNested(index)) return Raise(kMsgOutOfMemory);
    return 1;
}

TypeClass QueryTransformer::PlanSelect(SyntaxNode* body, bool singleColumn, std::int16_t parent,
                                       std::int16_t* index) {
    NestingLevel level(depth_);
    if (level.TooDeep())
        return Raise(kMsgInternalError, EnglishMessages() ? "statement nested too deeply" : "instruction trop imbriquée");
    std::int16_t block = plan->NewSelectBlock(parent);
    if (block < 0) return kFailure;  // 4242 already stored
    *index = block;

    SyntaxNode* selectList = body->child;
    if (selectList == nullptr || selectList->kind != FON_ITEM_SELECTIONNE) return kFailure;
    SyntaxNode* tableList = selectList->next;
    if (tableList == nullptr || tableList->kind != FON_TABLE_REF_VIRGULE_LISTE) return kFailure;
    if (!AddFromTables(tableList, block)) return kFailure;

    TypeClass selected = TypeSelectList(selectList, singleColumn, block);
    if (selected == kFailure) return kFailure;

    bool afterHaving = false;
    for (SyntaxNode* clause = tableList->next; clause != nullptr; clause = clause->next) {
        if (clause->kind == FON_CONDITION_RECHERCHE) {
            SyntaxNode* chain = nullptr;
            bool logicMet = false;
            if (!TypeCondition(clause, false, block, nullptr, &chain, &logicMet)) return kFailure;
            if (afterHaving) plan->SetHaving(block, chain);
            else plan->SetCondition(block, chain);
        } else if (clause->kind == FON_COLONNE_REF_VIRGULE_LISTE) {
            if (!ResolveNames(clause, block)) return kFailure;  // GROUP BY
        } else if (clause->kind == kKwHaving) {
            afterHaving = true;
        }
    }
    return selected;
}

std::int16_t QueryTransformer::AddFromTables(SyntaxNode* tableList, std::int16_t block) {
    for (SyntaxNode* reference = tableList->child; reference != nullptr; reference = reference->next) {
        if (reference->kind != FON_TABLE_REF || reference->child == nullptr) return 0;
        SyntaxNode* tableName = reference->child;
        SyntaxNode* alias = tableName->next;
        if (alias != nullptr && alias->next != nullptr) return Raise(kMsgNotSupported);
        const char* name = alias != nullptr ? alias->text : tableName->text;
        TableRef* table = FindTable(dictionary->tables, name);
        if (table == nullptr) return Raise(kMsgUnknownTable, name);
        if (!plan->AddTable(block, table)) return Raise(kMsgOutOfMemory);
    }
    return 1;
}

TypeClass QueryTransformer::TypeSelectList(SyntaxNode* selectList, bool singleColumn, std::int16_t block) {
    SyntaxNode* first = selectList->child;
    if (first == nullptr) return kFailure;
    if (IsLeaf(first, kOpStar)) {
        if (singleColumn) return Raise(kMsgIncorrectType, first->text);
        return kAny;
    }
    std::uint16_t quantifier = 0;
    if (IsLeaf(first, kKwDistinct) || IsLeaf(first, kKwAll)) {
        quantifier = static_cast<std::uint16_t>(first->kind);
        first = first->next;
    }
    plan->SetQuantifier(block, quantifier);
    if (first == nullptr || first->kind != FON_SELECTION_ITEM_VIRGULE_LISTE) return kFailure;

    auto* items = new List(0, 4);
    if (items == nullptr) return Raise(kMsgOutOfMemory);
    plan->SetSelectedItems(block, items);  // the block owns the list from here on
    Collector collector;
    collector.items = items;

    TypeClass result = kFailure;
    int count = 0;
    for (SyntaxNode* item = first->child; item != nullptr; item = item->next) {
        item->aux = quantifier != 0 ? quantifier : kNoQuantifier;
        TypeClass itemClass = TypePrimary(item->child, false, block, &collector);
        if (itemClass == kFailure) return kFailure;
        if (++count == 1) result = itemClass;
    }
    if (count == 0) return kFailure;
    if (singleColumn && count > 1) return Raise(kMsgIncorrectType, first->child->text);
    return count > 1 ? kAny : result;
}

std::int16_t QueryTransformer::ResolveNames(SyntaxNode* nameList, std::int16_t block) {
    for (SyntaxNode* name = nameList->child; name != nullptr; name = name->next) {
        ItemDescriptor* item = ResolveItem(name->text, block);
        if (item == nullptr) return Raise(kMsgItemNotFound, name->text);
        if (ItemClass(item) == kFailure) return 0;
    }
    return 1;
}

ItemDescriptor* QueryTransformer::ResolveItem(const char* name, std::int16_t block) {
    return plan->FindItemForBlock(block, name);
}

TypeClass QueryTransformer::PlanNested(SyntaxNode* subSelect, bool singleColumn, std::int16_t block,
                                       Collector* into) {
    std::int16_t nested = -1;
    TypeClass selected = PlanSelect(subSelect, singleColumn, block, &nested);
    if (selected == kFailure) return kFailure;
    subSelect->aux = nested;
    if (!plan->LinkNested(nested)) return Raise(kMsgOutOfMemory);
    if (into == nullptr || into->head == nullptr) return selected;

    // The outer tables and items the sub-select reads make the enclosing
    // predicate depend on them too.
    SyntaxNode* start = SyntaxNode::Make("", 0, 0);
    SyntaxNode* outerReferences = start != nullptr ? SyntaxNode::Make("", nested, 0, start) : nullptr;
    if (outerReferences == nullptr) {
        delete start;
        return Raise(kMsgOutOfMemory);
    }
    bool ok = true;
    std::int16_t outer = block;
    for (int hops = 0; ok && outer >= 0 && hops <= plan->selectCount; ++hops) {
        ok = plan->CollectOuterReferences(nested, outer, outerReferences) != 0;
        SelectBlock* outerBlock = plan->Block(outer);
        outer = outerBlock != nullptr && outerBlock->parent < outer ? outerBlock->parent : -1;
    }
    for (SyntaxNode* reference = outerReferences->child->next; ok && reference != nullptr;
         reference = reference->next) {
        try {
            std::string table(reference->text, std::strcspn(reference->text, "/"));
            ok = into->AddReference(table.c_str(), reference->text);
        } catch (const std::bad_alloc&) {
            NoteAllocationFailure();
            ok = false;
        }
    }
    delete outerReferences;
    return ok ? selected : Raise(kMsgOutOfMemory);
}

std::int16_t QueryTransformer::AppendOperand(SyntaxNode** chain, SyntaxNode** last, SyntaxNode* operand,
                                             const char* connector, std::int32_t connectorKind) {
    SyntaxNode* holder = SyntaxNode::Make("", kHolderKind, 0, operand);
    if (holder == nullptr) {
        delete operand;
        return 0;
    }
    if (*chain == nullptr) {
        *chain = *last = holder;
        return 1;
    }
    SyntaxNode* link = SyntaxNode::Make(connector, connectorKind, 0, nullptr, holder);
    if (link == nullptr) {
        delete holder;
        return 0;
    }
    (*last)->LinkSibling(link, true);
    *last = holder;
    return 1;
}

TypeClass QueryTransformer::TypeCondition(SyntaxNode* condition, bool insideArithmetic, std::int16_t block,
                                          Collector* into, SyntaxNode** chain, bool* logicMet) {
    NestingLevel level(depth_);
    if (level.TooDeep())
        return Raise(kMsgInternalError, EnglishMessages() ? "statement nested too deeply" : "instruction trop imbriquée");
    SyntaxNode* first = condition->child;
    if (first == nullptr) return kFailure;
    int terms = CountKind(first, FON_TERME_LOGIQUE);
    if (terms > 1 && insideArithmetic) return Raise(kMsgLogicInArithmetic, first->text);
    if (terms > 1) *logicMet = true;

    bool rewrite = into == nullptr;
    SyntaxNode* result = nullptr;
    SyntaxNode* last = nullptr;
    TypeClass conditionClass = kFailure;
    for (SyntaxNode* term = first; term != nullptr; term = term->next) {
        if (term->kind != FON_TERME_LOGIQUE) continue;
        SyntaxNode* termChain = nullptr;
        TypeClass termClass =
            TypeLogicalTerm(term, insideArithmetic, block, into, rewrite ? &termChain : nullptr, logicMet);
        if (termClass == kFailure) {
            delete result;
            return kFailure;
        }
        if (conditionClass == kFailure) conditionClass = termClass;
        if (!rewrite) continue;
        if (terms == 1) {
            result = termChain;
        } else if (!AppendOperand(&result, &last, termChain, "OR", kKwOr)) {
            delete result;
            return Raise(kMsgOutOfMemory);
        }
    }
    if (rewrite) *chain = result;
    return conditionClass;
}

TypeClass QueryTransformer::TypeLogicalTerm(SyntaxNode* term, bool insideArithmetic, std::int16_t block,
                                            Collector* into, SyntaxNode** chain, bool* logicMet) {
    SyntaxNode* first = term->child;
    if (first == nullptr) return kFailure;
    int factors = CountKind(first, FON_FACTEUR_LOGIQUE);
    if (factors > 1 && insideArithmetic) return Raise(kMsgLogicInArithmetic, first->text);
    if (factors > 1) *logicMet = true;

    SyntaxNode* result = nullptr;
    SyntaxNode* last = nullptr;
    TypeClass termClass = kFailure;
    for (SyntaxNode* factor = first; factor != nullptr; factor = factor->next) {
        if (factor->kind != FON_FACTEUR_LOGIQUE) continue;
        SyntaxNode* factorChain = nullptr;
        TypeClass factorClass =
            TypeLogicalFactor(factor, insideArithmetic, block, into, chain != nullptr ? &factorChain : nullptr, logicMet);
        if (factorClass == kFailure) {
            delete result;
            return kFailure;
        }
        if (termClass == kFailure) termClass = factorClass;
        if (chain == nullptr) continue;
        if (factors == 1) {
            result = factorChain;
        } else if (!AppendOperand(&result, &last, factorChain, "AND", kKwAnd)) {
            delete result;
            return Raise(kMsgOutOfMemory);
        }
    }
    if (chain != nullptr) *chain = result;
    return termClass;
}

TypeClass QueryTransformer::TypeLogicalFactor(SyntaxNode* factor, bool insideArithmetic, std::int16_t block,
                                              Collector* into, SyntaxNode** chain, bool* logicMet) {
    // NOT NOT ... predicate: count the NOTs in a loop, wrap the form afterwards.
    int nots = 0;
    SyntaxNode* node = factor;
    while (node != nullptr && node->kind == FON_FACTEUR_LOGIQUE && IsLeaf(node->child, kKwNot)) {
        if (insideArithmetic) return Raise(kMsgLogicInArithmetic, node->child->text);
        *logicMet = true;
        ++nots;
        node = node->child->next;
    }
    if (node == nullptr || node->kind != FON_FACTEUR_LOGIQUE || node->child == nullptr ||
        node->child->kind != FON_EXPRESSION)
        return kFailure;
    SyntaxNode* form = nullptr;
    TypeClass predicateClass =
        TypePredicate(node->child, insideArithmetic, block, into, chain != nullptr ? &form : nullptr, logicMet);
    if (predicateClass == kFailure || chain == nullptr) return predicateClass;
    for (int i = 0; i < nots; ++i) {
        SyntaxNode* negation = SyntaxNode::Make("NOT", kKwNot, 0, form);
        if (negation == nullptr) {
            delete form;
            return Raise(kMsgOutOfMemory);
        }
        form = negation;
    }
    *chain = form;
    return predicateClass;
}

TypeClass QueryTransformer::TypePredicate(SyntaxNode* expression, bool insideArithmetic, std::int16_t block,
                                          Collector* into, SyntaxNode** form, bool* logicMet) {
    SyntaxNode* first = expression->child;
    if (first == nullptr) return kFailure;
    bool rewrite = into == nullptr;
    if (rewrite) {
        // A condition in parentheses standing alone: its own chain is the form.
        if (SyntaxNode* inner = WholeParenthesizedCondition(expression))
            return TypeCondition(inner, insideArithmetic, block, nullptr, form, logicMet);
    }

    Collector own;
    Collector* collector = into;
    if (rewrite) {
        own.once = true;
        own.head = own.last = SyntaxNode::Make("", 0, 0);
        own.items = new List(0, 4);
        if (own.head == nullptr || own.items == nullptr) {
            own.Release();
            return Raise(kMsgOutOfMemory);
        }
        collector = &own;
    }

    TypeClass result = kFailure;
    if (IsLeaf(first, kKwExists) || IsLeaf(first, kKwUnique)) {
        SyntaxNode* negation = IsLeaf(first->next, kKwNot) ? first->next : nullptr;
        SyntaxNode* subSelect = negation != nullptr ? negation->next : first->next;
        if (subSelect != nullptr && subSelect->kind == FON_SOUS_SELECT) {
            result = PlanNested(subSelect, false, block, collector);
            if (result != kFailure) {
                first->aux = subSelect->aux;
                if (negation != nullptr) negation->aux = subSelect->aux;
            }
        }
    } else if (first->kind == FON_ITEM_COMPARE) {
        bool leftLogic = false;
        result = TypeExpression(first, insideArithmetic, block, collector, &leftLogic);
        if (leftLogic) *logicMet = true;
        SyntaxNode* comparison = first->next;
        if (result != kFailure && comparison != nullptr) {
            if (insideArithmetic || leftLogic) {
                result = Raise(kMsgLogicInArithmetic, first->text);
            } else {
                TypeClass second = TypeSecondMember(comparison, block, collector);
                if (second == kFailure) result = kFailure;
                else if (!ClassesMatch(result, second)) result = Raise(kMsgIncorrectType, comparison->text);
                else result = Combine(result, second);
            }
        }
    }
    if (!rewrite) return result;

    if (result == kFailure) {
        own.Release();
        return kFailure;
    }
    // The references and items now belong to the predicate's result.
    SyntaxNode* references = own.head->next;
    own.head->next = nullptr;
    auto* predicate = new Predicate(expression, references, own.items);
    if (predicate == nullptr) {
        delete references;
        own.Release();
        return Raise(kMsgOutOfMemory);
    }
    own.items = nullptr;
    SyntaxNode* leaf = SyntaxNode::Make("", kLeafKind, 0);
    if (leaf == nullptr) {
        delete predicate;
        own.Release();
        return Raise(kMsgOutOfMemory);
    }
    leaf->attached = predicate;
    std::int16_t filed = plan->AddPredicate(block, own.head->text, predicate);
    own.Release();
    if (!filed) {
        delete leaf;
        return Raise(kMsgOutOfMemory);
    }
    *form = leaf;
    return result;
}

TypeClass QueryTransformer::TypeSecondMember(SyntaxNode* comparison, std::int16_t block, Collector* into) {
    SyntaxNode* node = comparison->child;
    if (IsLeaf(node, kKwNot)) node = node->next;
    if (node == nullptr) return kFailure;
    switch (node->kind) {
        case kKwIs:
            return kAny;
        case kKwMatch: {
            SyntaxNode* source = node->next;
            if (IsLeaf(source, kKwUnique)) source = source->next;
            return TypeRowSource(source, block, into);
        }
        case kKwBetween: {
            SyntaxNode* lower = node->next;
            SyntaxNode* upper = lower != nullptr ? lower->next : nullptr;
            if (upper == nullptr) return kFailure;
            TypeClass lowerClass = TypePrimary(lower, false, block, into);
            if (lowerClass == kFailure) return kFailure;
            TypeClass upperClass = TypePrimary(upper, false, block, into);
            if (upperClass == kFailure) return kFailure;
            if (!ClassesMatch(lowerClass, upperClass)) return Raise(kMsgIncorrectType, upper->text);
            return Combine(lowerClass, upperClass);
        }
        case kKwLike:
            return kCharacter;
        case kKwIn:
            return TypeRowSource(node->next, block, into);
        default:
            break;
    }
    if (!IsComparisonOperator(node->kind)) return kFailure;
    SyntaxNode* operand = node->next;
    if (operand == nullptr) return kFailure;
    if (operand->kind == FON_SOUS_SELECT) return PlanNested(operand, true, block, into);
    if (IsLeaf(operand, kKwAll) || IsLeaf(operand, kKwAny) || IsLeaf(operand, kKwSome))
        return TypeRowSource(operand->next, block, into);
    if (operand->kind == FON_ITEM_SIMPLE) return TypePrimary(operand, false, block, into);
    return kFailure;
}

TypeClass QueryTransformer::TypeRowSource(SyntaxNode* source, std::int16_t block, Collector* into) {
    if (source != nullptr && source->kind == FON_COMPOSANT_SECOND_MEMBRE) source = source->child;
    if (source == nullptr) return kFailure;
    if (source->kind == FON_SOUS_SELECT) return PlanNested(source, true, block, into);
    if (source->kind != FON_ITEM_SIMPLE_VIRGULE_LISTE) return kFailure;
    TypeClass result = kFailure;
    for (SyntaxNode* element = source->child; element != nullptr; element = element->next) {
        TypeClass elementClass = TypePrimary(element, false, block, into);
        if (elementClass == kFailure) return kFailure;
        if (result == kFailure) result = elementClass;
        else if (!ClassesMatch(result, elementClass)) return Raise(kMsgIncorrectType, element->text);
        else result = Combine(result, elementClass);
    }
    return result;
}

TypeClass QueryTransformer::TypeExpression(SyntaxNode* expression, bool insideArithmetic, std::int16_t block,
                                           Collector* into, bool* logicMet) {
    SyntaxNode* node = expression->child;
    bool signed_ = IsLeaf(node, kOpPlus) || IsLeaf(node, kOpMinus);
    if (signed_) {
        insideArithmetic = true;
        node = node->next;
    }
    int terms = CountKind(node, FON_TERME);
    TypeClass result = kFailure;
    for (; node != nullptr; node = node->next) {
        if (node->kind != FON_TERME) continue;
        if (result != kFailure) insideArithmetic = true;
        bool termLogic = false;
        TypeClass termClass = TypeTerm(node, insideArithmetic, block, into, &termLogic);
        if (termClass == kFailure) return kFailure;
        if (termLogic) {
            if (signed_ || terms > 1) return Raise(kMsgLogicInArithmetic, node->text);
            *logicMet = true;
        }
        if (result == kFailure) result = termClass;
        else if (!ClassesMatch(result, termClass)) return Raise(kMsgIncorrectType, node->text);
        else result = Combine(result, termClass);
    }
    return result;
}

TypeClass QueryTransformer::TypeTerm(SyntaxNode* term, bool insideArithmetic, std::int16_t block, Collector* into,
                                     bool* logicMet) {
    int factors = CountKind(term->child, FON_FACTEUR);
    TypeClass result = kFailure;
    for (SyntaxNode* factor = term->child; factor != nullptr; factor = factor->next) {
        if (factor->kind != FON_FACTEUR) continue;
        if (result != kFailure) insideArithmetic = true;
        SyntaxNode* content = factor->child;
        if (content == nullptr) return kFailure;
        bool factorLogic = false;
        TypeClass factorClass = kFailure;
        if (content->kind == FON_CONDITION_RECHERCHE) {
            // Typed as a value: never rewritten, its items count for `into`.
            if (into == nullptr) return kFailure;
            factorClass = TypeCondition(content, insideArithmetic, block, into, nullptr, &factorLogic);
        } else {
            factorClass = TypePrimary(content, false, block, into);
        }
        if (factorClass == kFailure) return kFailure;
        if (factorLogic) {
            if (factors > 1) return Raise(kMsgLogicInArithmetic, factor->text);
            *logicMet = true;
        }
        if (result == kFailure) result = factorClass;
        else if (!ClassesMatch(result, factorClass)) return Raise(kMsgIncorrectType, factor->text);
        else result = Combine(result, factorClass);
    }
    return result;
}

TypeClass QueryTransformer::TypePrimary(SyntaxNode* simpleItem, bool itemRequired, std::int16_t block,
                                        Collector* into) {
    SyntaxNode* node = simpleItem != nullptr ? simpleItem->child : nullptr;
    if (node == nullptr) return kFailure;
    switch (node->kind) {
        case kTokInteger:
        case kTokSignedInteger:
        case kTokDecimal:
        case kTokExponent:
            return itemRequired ? Raise(kMsgItemExpected, node->text) : kNumeric;
        case kTokString:
            return itemRequired ? Raise(kMsgItemExpected, node->text) : kCharacter;
        case kTokIdentifier:
            break;
        default:
            return TypeFunction(node, itemRequired, block, into);
    }

    ItemDescriptor* item = ResolveItem(node->text, block);
    if (item == nullptr) return Raise(kMsgItemNotFound, node->text);
    if (item->keyKind == ItemDescriptor::kCompositeKey) return Raise(kMsgCompositeKey, item->name.Get());
    TypeClass itemClass = ItemClass(item);
    if (itemClass == kFailure) return kFailure;

    try {
        std::string qualified = std::string(item->tableName) + "/" + item->name.Get();
        if (!node->SetText(qualified.c_str())) return Raise(kMsgOutOfMemory);
    } catch (const std::bad_alloc&) {
        NoteAllocationFailure();
        return Raise(kMsgOutOfMemory);
    }
    if (into != nullptr && (!into->AddItem(item) || !into->AddReference(item->tableName, node->text)))
        return Raise(kMsgOutOfMemory);
    return itemClass;
}

TypeClass QueryTransformer::TypeFunction(SyntaxNode* function, bool itemRequired, std::int16_t block,
                                         Collector* into) {
    SyntaxNode* keyword = function->child;
    if (function->kind == FON_FONCTION_AGREGEE_REF && keyword != nullptr) {
        switch (keyword->kind) {
            case kKwCountStar:
            case kKwCountDistinct:
                return kAny;
            case kKwAvg:
            case kKwMax:
            case kKwMin:
            case kKwSum: {
                SyntaxNode* argument = keyword->next;
                std::int32_t quantifier = kNoQuantifier;
                if (IsLeaf(argument, kKwDistinct) || IsLeaf(argument, kKwAll)) {
                    quantifier = argument->kind;
                    argument = argument->next;
                }
                if (argument == nullptr) return kFailure;
                argument->aux = quantifier;
                TypeClass argumentClass = TypePrimary(argument, true, block, into);
                if (argumentClass == kFailure) return kFailure;
                if (!ClassesMatch(argumentClass, kNumeric)) return Raise(kMsgIncorrectType, argument->text);
                return kNumeric;
            }
            default:
                return kFailure;
        }
    }
    if (function->kind == FON_FONCTION_SCALAIRE_REF && keyword != nullptr) {
        SyntaxNode* argument = keyword->next;
        TypeClass argumentClass = TypePrimary(argument, itemRequired, block, into);
        if (argumentClass == kFailure) return kFailure;
        TypeClass wanted = kAny;
        TypeClass result = kNumeric;
        switch (keyword->kind) {
            case kKwDigits: wanted = kNumeric; result = kCharacter; break;
            case kKwFloat:
            case kKwInteger: wanted = kNumeric; break;
            case kKwHex: wanted = kCharacter; result = kCharacter; break;
            default: break;  // LENGTH: any argument
        }
        if (!ClassesMatch(argumentClass, wanted)) return Raise(kMsgIncorrectType, argument->text);
        return result;
    }
    // Date and time functions, and anything else.
    bool dateTime = function->kind == FON_FONCTION_DATE_HEURE_REF && keyword != nullptr;
    if (itemRequired) return Raise(kMsgIncorrectType, dateTime ? keyword->text : function->text);
    if (!dateTime) return kFailure;
    switch (keyword->kind) {
        case kKwDate:
        case kKwTime:
        case kKwDay:
        case kKwHour:
        case kKwMinute:
        case kKwSecond:
        case kKwYear:
            return kCharacter;
        default:
            return kFailure;
    }
}

}  // namespace qx
