// The binding of a statement.  Choices made here:
//   - WHERE and HAVING are kept apart (`where`, `having`); the predicates of
//     both are filed in the SELECT's groups.
//   - A correlation name followed by a column list (FROM T AS X (A, B)) is
//     refused with 4298 rather than the table being left out silently.
//   - Date and time items, and the date and time functions, type as
//     characters; "any" (COUNT(*)) matches every class, so COUNT(*) > 1 types.
//   - A predicate that is nothing but a condition in parentheses takes that
//     condition's tree.  A condition in parentheses that is only part of a
//     predicate (an operand of + - * / or of a comparison) is typed as a
//     value: its items are the enclosing predicate's, nothing inside it is
//     filed on its own, and its value is the one of its first predicate's
//     left operand.
//   - The ORDER BY list kept is the first SELECT's, whose rows are the result.
#include "analysis/Binder.h"
#include "analysis/SchemaBinding.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/Messages.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "values/FieldType.h"
#include "values/Transfor.h"

namespace qx {

TypeClass ItemClass(const ItemDescriptor* item) {
    switch (ValueClassOf(item->type)) {
        case kClassNumeric:
            return TypeClass::kNumeric;
        case kClassText:
        case kClassDate:
        case kClassTime:
            return TypeClass::kCharacter;
        default:
            return TypeClass::kNone;
    }
}

namespace {

constexpr TypeClass kFailure = TypeClass::kNone;

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

const char* TextOf(const SyntaxNode* node) { return node != nullptr && node->text != nullptr ? node->text : ""; }

// The name of an expression that is one item reference written alone, or null.
const char* SoleName(const SyntaxNode* expression) {
    const SyntaxNode* term = expression->child;
    if (term == nullptr || term->kind != FON_TERME || term->next != nullptr) return nullptr;
    const SyntaxNode* factor = term->child;
    if (factor == nullptr || factor->kind != FON_FACTEUR || factor->next != nullptr) return nullptr;
    const SyntaxNode* simple = factor->child;
    if (simple == nullptr || simple->kind != FON_ITEM_SIMPLE || simple->child == nullptr) return nullptr;
    return simple->child->kind == kTokIdentifier ? simple->child->text : nullptr;
}

// The condition of a predicate written as nothing but "( condition )".
const SyntaxNode* WholeParenthesizedCondition(const SyntaxNode* expression) {
    const SyntaxNode* operand = expression->child;
    if (operand == nullptr || operand->kind != FON_ITEM_COMPARE || operand->next != nullptr) return nullptr;
    const SyntaxNode* term = operand->child;
    if (term == nullptr || term->kind != FON_TERME || term->next != nullptr) return nullptr;
    const SyntaxNode* factor = term->child;
    if (factor == nullptr || factor->kind != FON_FACTEUR || factor->next != nullptr) return nullptr;
    const SyntaxNode* condition = factor->child;
    return condition != nullptr && condition->kind == FON_CONDITION_RECHERCHE ? condition : nullptr;
}

// The digits of a date literal as YYYYMMDD (a six-digit YYMMDD gets "19").
std::string DateDigits(const char* text) {
    std::string digits;
    for (const char* c = text; *c != '\0' && digits.size() < 8; ++c)
        if (*c >= '0' && *c <= '9') digits += *c;
    if (digits.size() == 6) return "19" + digits;
    digits.resize(8, '0');
    return digits;
}

// The first four digits of a time literal as HHMM.
std::string TimeDigits(const char* text) {
    std::string digits;
    for (const char* c = text; *c != '\0' && digits.size() < 4; ++c)
        if (*c >= '0' && *c <= '9') digits += *c;
    digits.resize(4, '0');
    return digits;
}

// An expression as written, without blanks and in capitals outside its
// texts, so that two ways of writing it compare equal.
std::string Normalized(const char* written) {
    std::string out;
    char quote = 0;
    for (const char* c = written; *c != '\0'; ++c) {
        if (quote == 0 && (*c == '\'' || *c == '"')) quote = *c;
        else if (quote != 0 && *c == quote) quote = 0;
        if (quote == 0 && (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\r')) continue;
        out += quote == 0 && *c >= 'a' && *c <= 'z' ? static_cast<char>(*c - 32) : *c;
    }
    return out;
}

// The "TABLE" of a "TABLE/ITEM" reference.
bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

template <typename T>
void AddOnce(std::vector<T>& list, const T& value) {
    if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

void AddName(std::vector<std::string>& names, const std::string& name) {
    if (!name.empty() && !Contains(names, name)) names.push_back(name);
}

// What binding one predicate (or the select list) gathers.  A predicate
// gathers each item, reference and table once; its items are the slots its
// item references read.  The select list gathers items only, in order and
// with repeats.
struct Collector {
    std::vector<ItemDescriptor*>* items = nullptr;
    std::vector<std::string>* references = nullptr;  // null: items only
    std::vector<std::string>* tables = nullptr;
    std::unordered_map<const ItemDescriptor*, std::size_t> slots;
    std::unordered_set<std::string> seen;

    std::size_t AddItem(ItemDescriptor* item) {
        if (references != nullptr) {
            auto [at, added] = slots.emplace(item, items->size());
            if (!added) return at->second;
        }
        items->push_back(item);
        return items->size() - 1;
    }

    // `own`: the table is one of the SELECT's own, which groups the
    // predicate by it; an item of a SELECT around it is read as a value.
    void AddReference(const std::string& table, const std::string& text, bool own = true) {
        if (references == nullptr) return;
        if (own) AddName(*tables, table);
        if (seen.insert(text).second) references->push_back(text);
    }
};

// The collector of what a SELECT's columns, GROUP BY and HAVING read: the
// select's column items, each once.
struct ColumnReads {
    std::vector<std::string> references, tables;
    Collector collector;
    explicit ColumnReads(BoundSelect& select) {
        collector.items = &select.columnItems;
        collector.references = &references;
        collector.tables = &tables;
        for (std::size_t k = 0; k < select.columnItems.size(); ++k) collector.slots.emplace(select.columnItems[k], k);
    }
};

// Counts one level of nesting for as long as it lives.
class NestingLevel {
public:
    explicit NestingLevel(int& depth) : depth_(depth) { ++depth_; }
    ~NestingLevel() { --depth_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;
    bool TooDeep() const { return depth_ > kMaxNesting; }

private:
    int& depth_;
};

using ExprPtr = std::unique_ptr<BoundExpr>;
using CondPtr = std::unique_ptr<BoundCondition>;

class Binder {
public:
    Binder(QueryDictionary& dictionary, BoundStatement& out) : dictionary_(dictionary), out_(out) {}

    Status Run(const SyntaxNode* tree);

private:
    template <typename... Arguments>
    TypeClass Raise(int number, Arguments... arguments) {
        if (status_.ok()) status_ = Error::Message(number, arguments...);
        return kFailure;
    }
    TypeClass Raise(int number) { return Raise(number, ""); }
    TypeClass TooDeep() {
        return Raise(kMsgInternalError, EnglishMessages() ? "statement nested too deeply" : "instruction trop imbriquée");
    }

    bool BindMain(const SyntaxNode* query);
    bool BindChange(const SyntaxNode* statement);
    // The SET entries of an UPDATE (`update`) after `list`; with `block` not
    // negative a value that reads the row is bound over that SELECT's table.
    bool BindAssignments(const SyntaxNode* list, bool update, int block);
    bool BindInsert(const SyntaxNode* statement);
    void BindCreateTable(const SyntaxNode* statement);
    void BindCreateIndex(const SyntaxNode* statement);

    TypeClass BindSelect(const SyntaxNode* body, bool singleColumn, int parent, int* index);
    bool AddFromTables(const SyntaxNode* tableList, BoundSelect& select);
    TypeClass BindSelectList(const SyntaxNode* selectList, bool singleColumn, BoundSelect& select);
    // Appends a column for every item of `table` (with `firstNameWins`, not
    // for a name a column already has).
    static void AddTableColumns(BoundSelect& select, TableRef* table, bool firstNameWins);
    // ORDER BY: items, column names and positions of the select list.
    bool BindOrderBy(const SyntaxNode* keys, int block);
    // Every item a grouped SELECT reads outside its aggregates is a GROUP BY
    // key; 4302 otherwise.
    bool CheckGrouping(BoundSelect& select);
    // EXISTS (SELECT ... FROM its tables WHERE ... AND INNER = OUTER AND ...):
    // the factor that links an item of the sub-select's tables to one of a
    // SELECT around it, by equality.
    struct EqualityLink {
        const SyntaxNode* factor = nullptr;  // the "A = B" factor, left out of the sub-select
        ItemDescriptor* inner = nullptr;     // the item of the sub-select's tables
        const SyntaxNode* outer = nullptr;   // the simple item naming the outer one
    };
    bool FindEqualityLink(const SyntaxNode* subSelect, int block, EqualityLink& link) const;
    // The item `name` as SELECT `block` sees it (its tables, then those of
    // the SELECTs around it); `owner` takes the SELECT whose table has it.
    ItemDescriptor* ResolveItem(const char* name, int block, int* owner = nullptr) const;
    TypeClass BindNested(const SyntaxNode* subSelect, bool singleColumn, int block, Collector* into, int* nested);

    // `into` null: the condition's predicates are filed in the SELECT's
    // groups; otherwise it is a value and its items go to `into`.
    TypeClass BindCondition(const SyntaxNode* condition, bool insideArithmetic, int block, Collector* into,
                             CondPtr* out, bool* logicMet);
    // The terms of a condition joined by OR (`terms`), or the factors of a term joined by AND.
    TypeClass BindConnected(const SyntaxNode* node, bool terms, bool insideArithmetic, int block, Collector* into,
                            CondPtr* out, bool* logicMet);
    TypeClass BindLogicalFactor(const SyntaxNode* factor, bool insideArithmetic, int block, Collector* into,
                                 CondPtr* out, bool* logicMet);
    TypeClass BindPredicate(const SyntaxNode* expression, bool insideArithmetic, int block, Collector* into,
                             CondPtr* out, bool* logicMet);
    TypeClass BindSecondMember(const SyntaxNode* comparison, int block, Collector* into, BoundPredicate& p);
    TypeClass BindRowSource(const SyntaxNode* source, int block, Collector* into, RowSource& rows);
    TypeClass BindExpression(const SyntaxNode* expression, bool insideArithmetic, int block, Collector* into,
                              bool* logicMet, ExprPtr* out);
    // Adds `operand` (of class `operandClass`, written at `written`) to the
    // left-to-right arithmetic `value` of class `result`; the new class, or
    // kFailure after raising 4277 when the classes do not match.
    TypeClass Fold(TypeClass result, ExprPtr& value, OperatorCode op, ExprPtr operand, TypeClass operandClass,
                   const SyntaxNode* written);
    TypeClass BindTerm(const SyntaxNode* term, bool insideArithmetic, int block, Collector* into, bool* logicMet,
                        ExprPtr* out);
    TypeClass BindPrimary(const SyntaxNode* simpleItem, bool itemRequired, int block, Collector* into, ExprPtr* out);
    // An aggregate of the select list or HAVING, noted in the SELECT's aggregates.
    TypeClass BindAggregate(const SyntaxNode* function, int block, Collector* into, ExprPtr* out);
    // MONTH, UPPER, LOWER, SUBSTR, TRIM, ABS, ROUND: functions known by their names.
    TypeClass BindNamedFunction(const SyntaxNode* function, int block, Collector* into, ExprPtr* out);
    TypeClass BindFunction(const SyntaxNode* function, bool itemRequired, int block, Collector* into, ExprPtr* out);
    // A value of a VALUES list or a SET entry: literals and functions of
    // literals; a name gives no value there.
    ExprPtr BindValue(const SyntaxNode* valueNode);

    void File(BoundSelect& select, BoundPredicate* predicate);
    void LinkNested(int index);

    QueryDictionary& dictionary_;
    BoundStatement& out_;
    Status status_;
    int depth_ = 0;
    bool lenient_ = false;  // binding a VALUES or SET value: function arguments are not typed
    const SyntaxNode* skipFactor_ = nullptr;  // a factor of a WHERE left out (an EXISTS link)
    BoundSelect* aggregateTarget_ = nullptr;  // binding a select list or HAVING: where aggregates go
};

Status Binder::Run(const SyntaxNode* tree) {
    const SyntaxNode* statement = tree != nullptr ? tree->child : nullptr;
    if (statement == nullptr) return Error::Message(kMsgInternalError, "compilation");
    out_.explain = tree->aux == kExplainStatement;
    bool bound = true;
    switch (statement->kind) {
        case FON_REQUETE_SUPPRESSION_ENREG:
        case FON_REQUETE_MIS_A_JOUR_ENREG: bound = BindChange(statement); break;
        case FON_REQUETE_INSERT_ENREG: bound = BindInsert(statement); break;
        case FON_REQUETE_CREATION_TABLE: BindCreateTable(statement); break;
        case FON_REQUETE_CREATION_INDEX: BindCreateIndex(statement); break;
        case FON_REQUETE_DESTRUCTION_TABLE_VUE:
        case FON_REQUETE_CREATION_VUE:
        case kNodeDropIndex:
        case kNodeAlterTable: status_ = BindSchemaChange(statement, out_); break;
        case FON_REQUETE_SELECTION: {
            out_.kind = StatementKind::kSelect;
            bound = BindMain(statement);
            // A set operator: its leaf (and an ALL leaf) come before the second query.
            for (const SyntaxNode* node = statement->next; bound && node != nullptr; node = node->next) {
                if (node->kind == kKwUnion) out_.setOperation = SetOperation::kUnion;
                else if (node->kind == kKwIntersect) out_.setOperation = SetOperation::kIntersect;
                else if (node->kind == kKwExcept) out_.setOperation = SetOperation::kExcept;
                else if (node->kind == kKwAll) out_.setAll = true;
                if (node->kind == kKwUnion || node->kind == kKwIntersect || node->kind == kKwExcept)
                    out_.setOperatorText = TextOf(node);
                if (node->kind == FON_REQUETE_SELECTION) {
                    bound = BindMain(node);
                    break;
                }
            }
            break;
        }
        default:
            // The other statements of the grammar are refused when they run.
            if (statement->kind < FON_REQUETE_CREATION_INDEX || statement->kind > FON_REQUETE_CREATION_TABLE)
                bound = false;
            break;
    }
    if (!status_.ok()) return status_;
    if (!bound) return Error::Message(kMsgInternalError, "compilation");
    return Status();
}

namespace {

// A SET value that reads the row: an expression, or a name in parentheses.
bool ReadsRow(const SyntaxNode* value) {
    if (value == nullptr) return false;
    if (value->kind == FON_ITEM_COMPARE) return true;
    return value->kind == FON_ITEM_SIMPLE && value->child != nullptr && value->child->kind == kTokIdentifier &&
           value->child->next == nullptr;
}

}  // namespace

bool Binder::BindChange(const SyntaxNode* statement) {
    bool update = statement->kind == FON_REQUETE_MIS_A_JOUR_ENREG;
    out_.kind = update ? StatementKind::kUpdate : StatementKind::kDelete;
    const SyntaxNode* table = statement->child;
    if (table == nullptr) return true;
    out_.table = TextOf(table);
    const SyntaxNode* before = table;  // the node the WHERE condition follows
    bool readsRow = false;  // a SET value is computed from the row
    if (update) {
        before = table->next;
        if (before == nullptr) return true;
        for (const SyntaxNode* assignment = before->child; assignment != nullptr; assignment = assignment->next)
            if (assignment->child != nullptr) readsRow = readsRow || ReadsRow(assignment->child->next);
    }
    const SyntaxNode* where = before->next;
    if (where == nullptr && !readsRow) return BindAssignments(before, update, -1);
    // The rows to change are those of "SELECT * FROM table [WHERE condition]".
    // Its rows are changed, never listed: it selects no column.
    auto select = std::make_unique<BoundSelect>();
    TableRef* found = FindTable(dictionary_.tables, out_.table.c_str());
    if (found == nullptr) return Raise(kMsgUnknownTable, out_.table.c_str()) != kFailure;
    select->tables.push_back(found);
    out_.selects.push_back(std::move(select));
    if (!BindAssignments(before, update, 0)) return false;
    if (where != nullptr) {
        bool logicMet = false;
        CondPtr condition;
        if (BindCondition(where, false, 0, nullptr, &condition, &logicMet) == kFailure) return false;
        out_.selects[0]->where = std::move(condition);
    }
    LinkNested(0);
    return true;
}

bool Binder::BindAssignments(const SyntaxNode* list, bool update, int block) {
    if (!update) return true;
    std::vector<std::string> references, tables;
    Collector reads;
    reads.items = &out_.setItems;
    reads.references = &references;
    reads.tables = &tables;
    for (const SyntaxNode* assignment = list->child; assignment != nullptr; assignment = assignment->next) {
        const SyntaxNode* column = assignment->child;
        if (column == nullptr) continue;
        const SyntaxNode* value = column->next;
        ExprPtr bound;
        if (block >= 0 && ReadsRow(value)) {
            bool logicMet = false;
            TypeClass result = value->kind == FON_ITEM_COMPARE
                                   ? BindExpression(value, false, block, &reads, &logicMet, &bound)
                                   : BindPrimary(value, false, block, &reads, &bound);
            if (result == kFailure || bound == nullptr) return false;
        } else {
            bound = BindValue(value);
        }
        out_.assignments.push_back(Assignment{TextOf(column), std::move(bound)});
    }
    return true;
}

bool Binder::BindInsert(const SyntaxNode* statement) {
    out_.kind = StatementKind::kInsert;
    const SyntaxNode* table = statement->child;
    if (table == nullptr) return true;
    out_.table = TextOf(table);
    const SyntaxNode* body = table->next;
    if (body != nullptr && body->kind == FON_COLONNE_REF_VIRGULE_LISTE) {
        out_.hasColumnList = true;
        for (const SyntaxNode* c = body->child; c != nullptr; c = c->next) out_.columns.emplace_back(TextOf(c));
        body = body->next;
    }
    if (body == nullptr) return true;
    if (body->kind == FON_SOUS_SELECT) {
        int index = -1;
        if (BindSelect(body, false, -1, &index) == kFailure) return false;
        LinkNested(index);
        return true;
    }
    out_.hasValues = true;
    for (const SyntaxNode* row = body; row != nullptr; row = row->next) {
        std::vector<ExprPtr>& values = out_.rows.emplace_back();
        for (const SyntaxNode* value = row->child; value != nullptr; value = value->next)
            values.push_back(BindValue(value));
    }
    return true;
}

void Binder::BindCreateTable(const SyntaxNode* statement) {
    out_.kind = StatementKind::kCreateTable;
    out_.ifExists = (statement->aux & kIfExistsClause) != 0;
    const SyntaxNode* table = statement->child;
    const SyntaxNode* columns = table != nullptr ? table->next : nullptr;
    if (columns == nullptr) return;
    out_.table = TextOf(table);
    out_.hasColumnList = true;
    for (const SyntaxNode* column = columns->child; column != nullptr; column = column->next) {
        if (column->kind == FON_COLONNE_REF_VIRGULE_LISTE) {  // PRIMARY KEY (...) or UNIQUE (...)
            TableKey& key = out_.keys.emplace_back();
            key.primary = column->aux == kKwPrimaryKey;
            for (const SyntaxNode* item = column->child; item != nullptr; item = item->next)
                key.items.emplace_back(TextOf(item));
            continue;
        }
        const SyntaxNode* name = column->child;
        if (name == nullptr) continue;
        const SyntaxNode* type = name->next;
        ColumnDefinition& definition = out_.definitions.emplace_back(ColumnDefinition{
            TextOf(name), type != nullptr ? type->kind : 0, type != nullptr ? static_cast<std::uint32_t>(type->aux) : 0, {}});
        for (const SyntaxNode* constraint = type != nullptr ? type->next : nullptr; constraint != nullptr;
             constraint = constraint->next) {
            if (constraint->kind == kKwPrimaryKey || constraint->kind == kKwUnique) {
                TableKey& key = out_.keys.emplace_back();
                key.primary = constraint->kind == kKwPrimaryKey;
                key.items.push_back(definition.name);
            } else if (constraint->kind == kKwNot) {
                definition.unenforced.emplace_back("NOT NULL");
            } else if (constraint->kind == kKwDefault) {
                definition.unenforced.emplace_back("DEFAULT");
            } else if (constraint->kind == kKwForeignKey) {
                definition.unenforced.emplace_back("FOREIGN KEY");
            }
        }
    }
}

void Binder::BindCreateIndex(const SyntaxNode* statement) {
    out_.kind = StatementKind::kCreateIndex;
    out_.ifExists = (statement->aux & kIfExistsClause) != 0;
    const SyntaxNode* index = statement->child;
    const SyntaxNode* table = index != nullptr ? index->next : nullptr;
    const SyntaxNode* keyItems = table != nullptr ? table->next : nullptr;
    if (index != nullptr) {
        out_.indexName = TextOf(index);
        out_.uniqueIndex = index->aux == 1;
    }
    if (table != nullptr) out_.table = TextOf(table);
    if (keyItems == nullptr) return;
    out_.hasColumnList = true;
    for (const SyntaxNode* item = keyItems->child; item != nullptr; item = item->next) {
        out_.columns.emplace_back(TextOf(item));
        out_.descending.push_back(item->aux == 1);
    }
}

ExprPtr Binder::BindValue(const SyntaxNode* valueNode) {
    if (valueNode == nullptr) return nullptr;
    if (valueNode->kind == kKwDefault || valueNode->kind == kKwNull) return std::make_unique<BoundExpr>(ExprKind::kDefault);
    ExprPtr value;
    Collector none;
    std::vector<ItemDescriptor*> items;
    none.items = &items;
    // Names are not looked up here: a VALUES list has no table to read.
    const SyntaxNode* leaf = valueNode->child;
    if (leaf != nullptr && leaf->kind == kTokIdentifier) {
        auto nothing = std::make_unique<BoundExpr>(ExprKind::kNoValue);
        nothing->text = TextOf(leaf);
        return nothing;
    }
    int depth = depth_;
    lenient_ = true;
    TypeClass bound = BindPrimary(valueNode, false, -1, &none, &value);
    lenient_ = false;
    if (bound == kFailure || value == nullptr) {
        status_ = Status();  // a value that does not bind stores nothing: the statement says so when it runs
        depth_ = depth;
        auto nothing = std::make_unique<BoundExpr>(ExprKind::kNoValue);
        nothing->text = TextOf(valueNode);
        return nothing;
    }
    return value;
}

bool Binder::BindMain(const SyntaxNode* query) {
    const SyntaxNode* body = query->child;
    if (body == nullptr || body->kind != FON_SOUS_SELECT) return false;
    int index = -1;
    if (BindSelect(body, false, -1, &index) == kFailure) return false;
    for (const SyntaxNode* clause = body->next; clause != nullptr; clause = clause->next) {
        if (clause->kind == FON_COLONNE_REF_VIRGULE_LISTE) {
            if (!BindOrderBy(clause, index)) return false;
        } else if (clause->kind == kNodeLimit && index == 0) {
            out_.limit = clause->aux;
            if (clause->child != nullptr) out_.offset = clause->child->aux;
        }
    }
    LinkNested(index);
    return true;
}

TypeClass Binder::BindSelect(const SyntaxNode* body, bool singleColumn, int parent, int* index) {
    NestingLevel level(depth_);
    if (level.TooDeep()) return TooDeep();
    int number = static_cast<int>(out_.selects.size());
    if (number >= INT16_MAX) return Raise(kMsgOutOfMemory);
    out_.selects.push_back(std::make_unique<BoundSelect>());
    BoundSelect& select = *out_.selects.back();
    select.index = number;
    select.parent = parent;
    if (BoundSelect* enclosing = out_.Select(parent)) enclosing->nested.push_back(NestedLink{number, {}, {}});
    *index = number;

    const SyntaxNode* selectList = body->child;
    if (selectList == nullptr || selectList->kind != FON_ITEM_SELECTIONNE) return kFailure;
    const SyntaxNode* tableList = selectList->next;
    if (tableList == nullptr || tableList->kind != FON_TABLE_REF_VIRGULE_LISTE) return kFailure;
    if (!AddFromTables(tableList, select)) return kFailure;

    TypeClass selected = BindSelectList(selectList, singleColumn, select);
    if (selected == kFailure) return kFailure;

    // The ON conditions of JOINs, then WHERE, make the condition; with a
    // LEFT JOIN the FROM list is kept step by step instead.
    std::vector<CondPtr> ons;
    auto onOf = [](const SyntaxNode* reference) {
        const SyntaxNode* last = reference->child;
        while (last != nullptr && last->next != nullptr) last = last->next;
        return last != nullptr && last->kind == FON_CONDITION_RECHERCHE ? last : nullptr;
    };
    bool stepwise = false;
    for (const SyntaxNode* reference = tableList->child; reference != nullptr; reference = reference->next)
        if (const SyntaxNode* on = onOf(reference)) stepwise = stepwise || on->aux == static_cast<std::int32_t>(JoinKind::kLeft);
    std::size_t position = 0;
    for (const SyntaxNode* reference = tableList->child; reference != nullptr; reference = reference->next, ++position) {
        const SyntaxNode* written = onOf(reference);
        CondPtr on;
        bool logicMet = false;
        if (written != nullptr && BindCondition(written, false, number, nullptr, &on, &logicMet) == kFailure)
            return kFailure;
        if (!stepwise) {
            if (on != nullptr) ons.push_back(std::move(on));
            continue;
        }
        TableRef* table = select.tables[position];
        if (std::count(select.tables.begin(), select.tables.end(), table) > 1) return Raise(kMsgNotSupported);
        JoinStep& step = select.joinSteps.emplace_back();
        step.table = table;
        step.kind = position == 0                                                        ? StepKind::kFirst
                    : written != nullptr && written->aux == static_cast<std::int32_t>(JoinKind::kLeft) ? StepKind::kLeft
                                                                                         : StepKind::kInner;
        step.on = std::move(on);
    }
    bool afterHaving = false;
    for (const SyntaxNode* clause = tableList->next; clause != nullptr; clause = clause->next) {
        CondPtr condition;
        bool logicMet = false;
        if (clause->kind == FON_CONDITION_RECHERCHE && !afterHaving) {
            if (BindCondition(clause, false, number, nullptr, &condition, &logicMet) == kFailure) return kFailure;
            select.where = std::move(condition);
        } else if (clause->kind == FON_CONDITION_RECHERCHE) {
            // HAVING reads the groups: its items and aggregates are the select list's.
            ColumnReads reads(select);
            aggregateTarget_ = &select;
            TypeClass bound = BindCondition(clause, false, number, &reads.collector, &condition, &logicMet);
            aggregateTarget_ = nullptr;
            if (bound == kFailure) return kFailure;
            select.having = std::move(condition);
        } else if (clause->kind == FON_COLONNE_REF_VIRGULE_LISTE) {
            ColumnReads reads(select);
            for (const SyntaxNode* written = clause->child; written != nullptr; written = written->next) {
                ExprPtr key;
                if (BindExpression(written, false, number, &reads.collector, &logicMet, &key) == kFailure)
                    return kFailure;
                if (logicMet) return Raise(kMsgLogicInArithmetic, written->text);
                key->text = Normalized(TextOf(written));
                select.groupBy.push_back(std::move(key));
            }
        } else if (clause->kind == kKwHaving) {
            afterHaving = true;
        }
    }
    if (!ons.empty()) {
        auto all = std::make_unique<BoundCondition>();
        all->kind = BoundCondition::Kind::kAnd;
        for (CondPtr& on : ons) all->operands.push_back(std::move(on));
        if (select.where != nullptr) all->operands.push_back(std::move(select.where));
        select.where = all->operands.size() == 1 ? std::move(all->operands.front()) : std::move(all);
    }
    select.grouped = !select.groupBy.empty() || !select.aggregates.empty() || select.having != nullptr;
    if (select.grouped && !CheckGrouping(select)) return kFailure;
    // Outside groups an item column copies the item's bytes.
    for (SelectColumn& column : select.columns)
        if (!select.grouped && column.expr != nullptr && column.expr->kind == ExprKind::kItem) {
            column.item = column.expr->item;
            column.expr.reset();
        }
    return selected;
}

bool Binder::FindEqualityLink(const SyntaxNode* subSelect, int block, EqualityLink& link) const {
    const SyntaxNode* selectList = subSelect->child;
    const SyntaxNode* tableList = selectList != nullptr ? selectList->next : nullptr;
    const SyntaxNode* where = tableList != nullptr ? tableList->next : nullptr;
    if (tableList == nullptr || where == nullptr || where->kind != FON_CONDITION_RECHERCHE || where->next != nullptr)
        return false;  // no WHERE, or GROUP BY and HAVING after it
    // The sub-select's own tables, by the names its FROM gives them.
    std::vector<TableRef*> inner;
    for (const SyntaxNode* reference = tableList->child; reference != nullptr; reference = reference->next) {
        const SyntaxNode* name = reference->child;
        if (name == nullptr) return false;
        const SyntaxNode* alias = name->next != nullptr && name->next->kind == kTokIdentifier ? name->next : name;
        if (alias->next != nullptr) return false;  // JOIN ... ON, a column list
        TableRef* table = FindTable(dictionary_.tables, alias->text);
        if (table == nullptr) return false;
        inner.push_back(table);
    }
    // One term: an AND of factors, one of them "A = B" between an item of
    // those tables and an item of a SELECT around.
    const SyntaxNode* term = where->child;
    if (term == nullptr || term->kind != FON_TERME_LOGIQUE || term->next != nullptr) return false;
    for (const SyntaxNode* factor = term->child; factor != nullptr; factor = factor->next) {
        const SyntaxNode* expression = factor->child;
        if (factor->kind != FON_FACTEUR_LOGIQUE || expression == nullptr || expression->kind != FON_EXPRESSION) continue;
        const SyntaxNode* left = expression->child;
        const SyntaxNode* comparison = left != nullptr ? left->next : nullptr;
        const SyntaxNode* op = comparison != nullptr ? comparison->child : nullptr;
        const SyntaxNode* right = op != nullptr ? op->next : nullptr;
        if (left == nullptr || left->kind != FON_ITEM_COMPARE || op == nullptr || op->kind != kOpEqual ||
            right == nullptr || right->kind != FON_ITEM_SIMPLE || right->next != nullptr || right->child == nullptr ||
            right->child->kind != kTokIdentifier)
            continue;
        const char* leftName = SoleName(left);
        if (leftName == nullptr) continue;
        const char* names[2] = {leftName, right->child->text};
        for (int side = 0; side < 2; ++side) {
            ItemDescriptor* own = FindItemInTables(inner, names[side]);
            const char* other = names[1 - side];
            if (own == nullptr || own->keyKind == ItemDescriptor::kCompositeKey ||
                FindItemInTables(inner, other) != nullptr || ResolveItem(other, block) == nullptr)
                continue;
            link.factor = factor;
            link.inner = own;
            link.outer = side == 0 ? right : left->child->child->child;  // the outer side's simple item
            return true;
        }
    }
    return false;
}

bool Binder::CheckGrouping(BoundSelect& select) {
    auto grouped = [&](const ItemDescriptor* item) {
        // An item of a SELECT around this one is one value for all its rows.
        if (std::none_of(select.tables.begin(), select.tables.end(),
                         [item](const TableRef* table) { return item->owner == table; }))
            return true;
        return std::any_of(select.groupBy.begin(), select.groupBy.end(),
                           [&](const std::unique_ptr<BoundExpr>& key) { return key->item == item; });
    };
    // The first item read outside an aggregate that is no GROUP BY key, or null.
    std::function<const ItemDescriptor*(const BoundExpr*)> stray = [&](const BoundExpr* e) -> const ItemDescriptor* {
        if (e == nullptr || e->kind == ExprKind::kAggregate) return nullptr;
        if (e->kind == ExprKind::kItem) return grouped(e->item) ? nullptr : e->item;
        for (const auto& operand : e->operands)
            if (const ItemDescriptor* item = stray(operand.get())) return item;
        return nullptr;
    };
    std::function<const ItemDescriptor*(const BoundCondition*)> strayIn =
        [&](const BoundCondition* c) -> const ItemDescriptor* {
        if (c == nullptr) return nullptr;
        for (const auto& operand : c->operands)
            if (const ItemDescriptor* item = strayIn(operand.get())) return item;
        const BoundPredicate* p = c->predicate.get();
        if (p == nullptr) return nullptr;
        for (const BoundExpr* e : {p->left.get(), p->right.get(), p->lower.get(), p->upper.get()})
            if (const ItemDescriptor* item = stray(e)) return item;
        for (const auto& value : p->rows.list)
            if (const ItemDescriptor* item = stray(value.get())) return item;
        return nullptr;
    };
    for (SelectColumn& column : select.columns) {
        // An entry written as a GROUP BY key is.
        if (std::any_of(select.groupBy.begin(), select.groupBy.end(),
                        [&](const std::unique_ptr<BoundExpr>& key) { return key->text == column.written; }))
            continue;
        const ItemDescriptor* item = column.item != nullptr && !grouped(column.item) ? column.item : stray(column.expr.get());
        if (item != nullptr) return Raise(kMsgNotGrouped, item->name.Get()) != kFailure;
    }
    if (const ItemDescriptor* item = strayIn(select.having.get())) return Raise(kMsgNotGrouped, item->name.Get()) != kFailure;
    for (const ItemDescriptor* item : select.groupValueReads)
        if (!grouped(item)) return Raise(kMsgNotGrouped, item->name.Get()) != kFailure;
    return true;
}

bool Binder::AddFromTables(const SyntaxNode* tableList, BoundSelect& select) {
    for (const SyntaxNode* reference = tableList->child; reference != nullptr; reference = reference->next) {
        if (reference->kind != FON_TABLE_REF || reference->child == nullptr) return false;
        const SyntaxNode* tableName = reference->child;
        const SyntaxNode* alias = tableName->next;
        if (alias != nullptr && alias->kind == FON_CONDITION_RECHERCHE) alias = nullptr;  // JOIN ... ON
        if (alias != nullptr && alias->next != nullptr && alias->next->kind != FON_CONDITION_RECHERCHE)
            return Raise(kMsgNotSupported) != kFailure;  // a column list after the correlation name
        const char* name = alias != nullptr ? alias->text : tableName->text;
        TableRef* table = FindTable(dictionary_.tables, name);
        if (table == nullptr) return Raise(kMsgUnknownTable, name) != kFailure;
        select.tables.push_back(table);
    }
    return true;
}

void Binder::AddTableColumns(BoundSelect& select, TableRef* table, bool firstNameWins) {
    if (table == nullptr) return;
    for (std::size_t i = 0; i < table->items.size(); ++i) {
        ItemDescriptor* item = table->ItemAt(i);
        // A composite key has no value of its own: its items are columns already.
        if (item == nullptr || item->keyKind == ItemDescriptor::kCompositeKey) continue;
        if (firstNameWins && std::any_of(select.columns.begin(), select.columns.end(), [&](const SelectColumn& c) {
                return c.item != nullptr && std::strcmp(c.item->name.Get(), item->name.Get()) == 0;
            }))
            continue;
        SelectColumn column;
        column.name = column.written = item->name.Get();
        column.item = item;
        select.columns.push_back(std::move(column));
    }
}

TypeClass Binder::BindSelectList(const SyntaxNode* selectList, bool singleColumn, BoundSelect& select) {
    const SyntaxNode* first = selectList->child;
    if (first == nullptr) return kFailure;
    if (IsLeaf(first, kOpStar)) {
        if (singleColumn) return Raise(kMsgIncorrectType, first->text);
        // Every item of every table, the first table with a name winning.
        select.allColumns = true;
        for (TableRef* table : select.tables) AddTableColumns(select, table, true);
        return TypeClass::kAny;
    }
    if (IsLeaf(first, kKwDistinct)) select.quantifier = SelectQuantifier::kDistinct;
    if (IsLeaf(first, kKwAll)) select.quantifier = SelectQuantifier::kAll;
    if (select.quantifier != SelectQuantifier::kNone) first = first->next;
    if (first == nullptr || first->kind != FON_SELECTION_ITEM_VIRGULE_LISTE) return kFailure;

    ColumnReads reads(select);
    Collector& collector = reads.collector;
    int block = select.index;
    TypeClass result = kFailure;
    int count = 0;
    for (const SyntaxNode* entry = first->child; entry != nullptr; entry = entry->next) {
        const SyntaxNode* value = entry->child;
        if (value == nullptr) return kFailure;
        ++count;
        if (IsLeaf(value, kOpStar)) {
            if (singleColumn) return Raise(kMsgIncorrectType, "*");
            result = TypeClass::kAny;
            if (std::strcmp(value->text, "*") == 0) {
                for (TableRef* table : select.tables) AddTableColumns(select, table, false);
                continue;
            }
            auto table = std::find_if(select.tables.begin(), select.tables.end(),
                                      [&](const TableRef* t) { return std::strcmp(t->name.Get(), value->text) == 0; });
            if (table == select.tables.end()) return Raise(kMsgUnknownTable, value->text);
            AddTableColumns(select, *table, false);
            continue;
        }
        SelectColumn column;
        bool logicMet = false;
        aggregateTarget_ = &select;
        TypeClass columnClass = BindExpression(value, false, block, &collector, &logicMet, &column.expr);
        aggregateTarget_ = nullptr;
        if (columnClass == kFailure) return kFailure;
        if (count == 1) result = columnClass;
        const SyntaxNode* alias = value->next;
        bool item = column.expr->kind == ExprKind::kItem;
        column.name = alias != nullptr ? TextOf(alias) : item ? column.expr->item->name.Get() : TextOf(entry);
        column.written = Normalized(TextOf(entry));
        select.columns.push_back(std::move(column));
    }
    if (count == 0) return kFailure;
    if (singleColumn && count > 1) return Raise(kMsgIncorrectType, "");
    return count > 1 ? TypeClass::kAny : result;
}

bool Binder::BindOrderBy(const SyntaxNode* keys, int block) {
    BoundSelect& select = *out_.selects[static_cast<std::size_t>(block)];
    auto named = [&](const std::string& name) {
        return std::any_of(select.columns.begin(), select.columns.end(),
                           [&](const SelectColumn& c) { return !c.hidden && c.name == name; });
    };
    for (const SyntaxNode* key = keys->child; key != nullptr; key = key->next) {
        std::string name = TextOf(key);
        if (key->kind == kTokInteger) {
            // A position in the select list.
            long position = std::strtol(key->text, nullptr, 10);
            std::size_t visible = static_cast<std::size_t>(
                std::count_if(select.columns.begin(), select.columns.end(), [](const SelectColumn& c) { return !c.hidden; }));
            if (position < 1 || static_cast<std::size_t>(position) > visible)
                return Raise(kMsgOrderPosition, static_cast<int>(position), static_cast<int>(visible)) != kFailure;
            name = select.columns[static_cast<std::size_t>(position - 1)].name;
        } else if (const char* sole = SoleName(key); sole != nullptr && named(sole)) {
            name = sole;  // a column's name (an alias among them)
        } else {
            // Any other expression: a column of its own, dropped after the sort.
            ColumnReads reads(select);
            SelectColumn column;
            bool logicMet = false;
            aggregateTarget_ = select.grouped ? &select : nullptr;
            TypeClass keyClass = BindExpression(key, false, block, &reads.collector, &logicMet, &column.expr);
            aggregateTarget_ = nullptr;
            if (keyClass == kFailure) return false;
            const BoundExpr& e = *column.expr;
            auto same = std::find_if(select.columns.begin(), select.columns.end(), [&](const SelectColumn& c) {
                return e.kind == ExprKind::kItem && c.item == e.item;
            });
            if (same != select.columns.end()) {
                name = same->name;
            } else {
                if (select.quantifier == SelectQuantifier::kDistinct) return Raise(kMsgOrderNotSelected, key->text) != kFailure;
                column.hidden = true;
                column.name = "\x01" + std::to_string(select.columns.size());
                name = column.name;
                if (!select.grouped && e.kind == ExprKind::kItem) {
                    column.item = e.item;
                    column.expr.reset();
                }
                select.columns.push_back(std::move(column));
                if (select.grouped && !CheckGrouping(select)) return false;
            }
        }
        if (block == 0) out_.orderBy.push_back(OrderKey{name, key->aux != 0});
    }
    return true;
}

ItemDescriptor* Binder::ResolveItem(const char* name, int block, int* owner) const {
    // `parent` always names a lower number, so the walk ends.
    for (const BoundSelect* select = out_.Select(block); select != nullptr; select = out_.Select(select->parent)) {
        if (ItemDescriptor* item = FindItemInTables(select->tables, name)) {
            if (owner != nullptr) *owner = select->index;
            return item;
        }
        if (select->parent >= select->index) break;
    }
    return nullptr;
}

TypeClass Binder::BindNested(const SyntaxNode* subSelect, bool singleColumn, int block, Collector* into,
                              int* nested) {
    BoundSelect* target = aggregateTarget_;  // the nested SELECT's own select list changes it
    TypeClass selected = BindSelect(subSelect, singleColumn, block, nested);
    aggregateTarget_ = target;
    if (selected == kFailure) return kFailure;
    LinkNested(*nested);
    if (into == nullptr || into->references == nullptr) return selected;

    // What the sub-select reads of this SELECT's tables makes the enclosing
    // predicate depend on those tables; items of SELECTs further out are
    // values for this one too.
    BoundSelect* select = out_.Select(block);
    const BoundSelect* inner = out_.Select(*nested);
    if (select == nullptr || inner == nullptr) return selected;
    for (const OuterRead& read : inner->outerReads) {
        into->AddReference(read.item->tableName, std::string(read.item->tableName) + "/" + read.item->name.Get(),
                           read.owner == block);
        if (read.owner != block || aggregateTarget_ != select) continue;
        // In the select list or HAVING the sub-select may read a group's
        // value (a GROUP BY key, checked once grouping is known), kept with
        // the group's other values.
        into->AddItem(read.item);
        AddOnce(select->groupValueReads, read.item);
    }
    return selected;
}

void Binder::LinkNested(int index) {
    BoundSelect* select = out_.Select(index);
    if (select == nullptr) return;
    for (NestedLink& link : select->nested) {
        const BoundSelect* nested = out_.Select(link.block);
        if (nested == nullptr || link.block <= index) continue;
        for (const OuterRead& read : nested->outerReads) {
            AddName(link.outerTables, read.item->tableName);
            AddName(link.references, std::string(read.item->tableName) + "/" + read.item->name.Get());
        }
    }
}

void Binder::File(BoundSelect& select, BoundPredicate* predicate) {
    // The first group, made on first use, is the one of no table.
    if (select.groups.empty()) select.groups.emplace_back();
    PredicateGroup* group = nullptr;
    for (PredicateGroup& g : select.groups)
        if (g.names == predicate->tables) group = &g;
    if (group == nullptr) {
        group = &select.groups.emplace_back();
        group->names = predicate->tables;
        for (const std::string& name : group->names) group->tables.push_back(FindTable(dictionary_.tables, name.c_str()));
    }
    group->predicates.push_back(predicate);
}

TypeClass Binder::BindCondition(const SyntaxNode* condition, bool insideArithmetic, int block, Collector* into,
                                 CondPtr* out, bool* logicMet) {
    NestingLevel level(depth_);
    if (level.TooDeep()) return TooDeep();
    return BindConnected(condition, true, insideArithmetic, block, into, out, logicMet);
}

TypeClass Binder::BindConnected(const SyntaxNode* node, bool terms, bool insideArithmetic, int block,
                                 Collector* into, CondPtr* out, bool* logicMet) {
    const SyntaxNode* first = node->child;
    if (first == nullptr) return kFailure;
    std::int32_t operandKind = terms ? FON_TERME_LOGIQUE : FON_FACTEUR_LOGIQUE;
    int count = CountKind(first, operandKind);
    if (count > 1 && insideArithmetic) return Raise(kMsgLogicInArithmetic, first->text);
    if (count > 1) *logicMet = true;

    auto result = std::make_unique<BoundCondition>();
    result->kind = terms ? BoundCondition::Kind::kOr : BoundCondition::Kind::kAnd;
    TypeClass resultClass = kFailure;
    for (const SyntaxNode* operandNode = first; operandNode != nullptr; operandNode = operandNode->next) {
        if (operandNode->kind != operandKind || operandNode == skipFactor_) continue;
        CondPtr operand;
        TypeClass operandClass =
            terms ? BindConnected(operandNode, false, insideArithmetic, block, into, &operand, logicMet)
                  : BindLogicalFactor(operandNode, insideArithmetic, block, into, &operand, logicMet);
        if (operandClass == kFailure) return kFailure;
        if (resultClass == kFailure) resultClass = operandClass;
        result->operands.push_back(std::move(operand));
    }
    if (result->operands.empty()) {
        *out = nullptr;  // only the factor left out: no condition
        return TypeClass::kAny;
    }
    *out = result->operands.size() == 1 ? std::move(result->operands.front()) : std::move(result);
    return resultClass;
}

TypeClass Binder::BindLogicalFactor(const SyntaxNode* factor, bool insideArithmetic, int block, Collector* into,
                                     CondPtr* out, bool* logicMet) {
    // NOT NOT ... predicate: the NOTs are counted in a loop and wrapped afterwards.
    int nots = 0;
    const SyntaxNode* node = factor;
    while (node != nullptr && node->kind == FON_FACTEUR_LOGIQUE && IsLeaf(node->child, kKwNot)) {
        if (insideArithmetic) return Raise(kMsgLogicInArithmetic, node->child->text);
        *logicMet = true;
        ++nots;
        node = node->child->next;
    }
    if (node == nullptr || node->kind != FON_FACTEUR_LOGIQUE || node->child == nullptr ||
        node->child->kind != FON_EXPRESSION)
        return kFailure;
    CondPtr form;
    TypeClass predicateClass = BindPredicate(node->child, insideArithmetic, block, into, &form, logicMet);
    if (predicateClass == kFailure) return kFailure;
    for (int i = 0; i < nots; ++i) {
        auto negation = std::make_unique<BoundCondition>();
        negation->kind = BoundCondition::Kind::kNot;
        negation->operands.push_back(std::move(form));
        form = std::move(negation);
    }
    *out = std::move(form);
    return predicateClass;
}

TypeClass Binder::BindPredicate(const SyntaxNode* expression, bool insideArithmetic, int block, Collector* into,
                                 CondPtr* out, bool* logicMet) {
    const SyntaxNode* first = expression->child;
    if (first == nullptr) return kFailure;
    bool filed = into == nullptr;
    if (filed) {
        // A condition in parentheses standing alone: its own tree is the form.
        if (const SyntaxNode* inner = WholeParenthesizedCondition(expression))
            return BindCondition(inner, insideArithmetic, block, nullptr, out, logicMet);
    }

    auto predicate = std::make_unique<BoundPredicate>();
    Collector own;
    Collector* collector = into;
    if (filed) {
        own.items = &predicate->items;
        own.references = &predicate->references;
        own.tables = &predicate->tables;
        collector = &own;
    }

    TypeClass result = kFailure;
    if (IsLeaf(first, kKwExists) || IsLeaf(first, kKwUnique)) {
        const SyntaxNode* negation = IsLeaf(first->next, kKwNot) ? first->next : nullptr;
        const SyntaxNode* subSelect = negation != nullptr ? negation->next : first->next;
        EqualityLink link;
        if (subSelect != nullptr && subSelect->kind == FON_SOUS_SELECT && first->kind == kKwExists &&
            FindEqualityLink(subSelect, block, link)) {
            // EXISTS (SELECT ... WHERE INNER = OUTER AND rest) is OUTER IN
            // (SELECT INNER ... WHERE rest): the sub-select runs once, and
            // each outer row looks its value up.
            predicate->kind = PredicateKind::kIn;
            predicate->quantifier = Quantifier::kSome;
            predicate->notWritten = negation != nullptr;
            TypeClass outerClass = BindPrimary(link.outer, false, block, collector, &predicate->left);
            skipFactor_ = link.factor;
            TypeClass innerClass =
                outerClass == kFailure ? kFailure : BindNested(subSelect, false, block, collector, &predicate->rows.block);
            skipFactor_ = nullptr;
            if (innerClass != kFailure) {
                BoundSelect& nested = *out_.selects[static_cast<std::size_t>(predicate->rows.block)];
                SelectColumn column;
                column.name = column.written = link.inner->name.Get();
                column.item = link.inner;
                nested.columns.clear();
                nested.columns.push_back(std::move(column));
                nested.allColumns = false;
                result = ClassesMatch(outerClass, ItemClass(link.inner)) ? CombineClasses(outerClass, ItemClass(link.inner))
                                                                         : Raise(kMsgIncorrectType, "=");
            }
        } else if (subSelect != nullptr && subSelect->kind == FON_SOUS_SELECT) {
            predicate->kind = first->kind == kKwExists ? PredicateKind::kExists : PredicateKind::kUnique;
            predicate->notWritten = negation != nullptr;
            result = BindNested(subSelect, false, block, collector, &predicate->rows.block);
        }
    } else if (first->kind == FON_ITEM_COMPARE) {
        bool leftLogic = false;
        result = BindExpression(first, insideArithmetic, block, collector, &leftLogic, &predicate->left);
        if (leftLogic) *logicMet = true;
        const SyntaxNode* comparison = first->next;
        predicate->kind = PredicateKind::kValue;
        if (result != kFailure && comparison != nullptr) {
            if (insideArithmetic || leftLogic) {
                result = Raise(kMsgLogicInArithmetic, first->text);
            } else {
                TypeClass second = BindSecondMember(comparison, block, collector, *predicate);
                if (second == kFailure) result = kFailure;
                else if (!ClassesMatch(result, second)) result = Raise(kMsgIncorrectType, comparison->text);
                else result = CombineClasses(result, second);
            }
        }
    }
    if (result == kFailure) return kFailure;
    auto leaf = std::make_unique<BoundCondition>();
    leaf->kind = BoundCondition::Kind::kPredicate;
    leaf->predicate = std::move(predicate);
    if (filed) File(*out_.selects[static_cast<std::size_t>(block)], leaf->predicate.get());
    *out = std::move(leaf);
    return result;
}

TypeClass Binder::BindSecondMember(const SyntaxNode* comparison, int block, Collector* into, BoundPredicate& p) {
    const SyntaxNode* node = comparison->child;
    if (IsLeaf(node, kKwNot)) {
        p.notWritten = true;
        node = node->next;
    }
    if (node == nullptr) return kFailure;
    switch (node->kind) {
        case kKwIs:
            p.kind = PredicateKind::kIsNull;
            p.notWritten = IsLeaf(node->next, kKwNot);
            return TypeClass::kAny;
        case kKwMatch: {
            const SyntaxNode* source = node->next;
            p.kind = PredicateKind::kMatch;
            p.quantifier = Quantifier::kSome;
            if (IsLeaf(source, kKwUnique)) {
                p.quantifier = Quantifier::kUnique;
                source = source->next;
            }
            return BindRowSource(source, block, into, p.rows);
        }
        case kKwBetween: {
            const SyntaxNode* lower = node->next;
            const SyntaxNode* upper = lower != nullptr ? lower->next : nullptr;
            if (upper == nullptr) return kFailure;
            p.kind = PredicateKind::kBetween;
            TypeClass lowerClass = BindPrimary(lower, false, block, into, &p.lower);
            if (lowerClass == kFailure) return kFailure;
            TypeClass upperClass = BindPrimary(upper, false, block, into, &p.upper);
            if (upperClass == kFailure) return kFailure;
            if (!ClassesMatch(lowerClass, upperClass)) return Raise(kMsgIncorrectType, upper->text);
            return CombineClasses(lowerClass, upperClass);
        }
        case kKwLike:
            if (node->next == nullptr) return kFailure;
            p.kind = PredicateKind::kLike;
            p.pattern = TextOf(node->next);
            return TypeClass::kCharacter;
        case kKwIn:
            p.kind = PredicateKind::kIn;
            p.quantifier = Quantifier::kSome;
            return BindRowSource(node->next, block, into, p.rows);
        default:
            break;
    }
    if (!IsComparisonOperator(node->kind)) return kFailure;
    p.op = static_cast<OperatorCode>(node->kind);
    const SyntaxNode* operand = node->next;
    if (operand == nullptr) return kFailure;
    if (operand->kind == FON_SOUS_SELECT) {
        p.kind = PredicateKind::kCompareRows;
        p.quantifier = Quantifier::kSingle;
        return BindNested(operand, true, block, into, &p.rows.block);
    }
    if (IsLeaf(operand, kKwAll) || IsLeaf(operand, kKwAny) || IsLeaf(operand, kKwSome)) {
        p.kind = PredicateKind::kCompareRows;
        p.quantifier = operand->kind == kKwAll ? Quantifier::kAll : Quantifier::kAny;
        return BindRowSource(operand->next, block, into, p.rows);
    }
    if (operand->kind == FON_ITEM_SIMPLE) {
        p.kind = PredicateKind::kCompare;
        return BindPrimary(operand, false, block, into, &p.right);
    }
    if (operand->kind == FON_ITEM_COMPARE) {
        p.kind = PredicateKind::kCompare;
        bool logicMet = false;
        TypeClass right = BindExpression(operand, false, block, into, &logicMet, &p.right);
        if (right != kFailure && logicMet) return Raise(kMsgLogicInArithmetic, operand->text);
        return right;
    }
    return kFailure;
}

TypeClass Binder::BindRowSource(const SyntaxNode* source, int block, Collector* into, RowSource& rows) {
    if (source != nullptr && source->kind == FON_COMPOSANT_SECOND_MEMBRE) source = source->child;
    if (source == nullptr) return kFailure;
    if (source->kind == FON_SOUS_SELECT) return BindNested(source, true, block, into, &rows.block);
    if (source->kind != FON_ITEM_SIMPLE_VIRGULE_LISTE) return kFailure;
    TypeClass result = kFailure;
    rows.constant = true;
    for (const SyntaxNode* element = source->child; element != nullptr; element = element->next) {
        ExprPtr value;
        TypeClass elementClass = BindPrimary(element, false, block, into, &value);
        if (elementClass == kFailure) return kFailure;
        if (!value->IsLiteral()) rows.constant = false;
        rows.list.push_back(std::move(value));
        if (result == kFailure) result = elementClass;
        else if (!ClassesMatch(result, elementClass)) return Raise(kMsgIncorrectType, element->text);
        else result = CombineClasses(result, elementClass);
    }
    return result;
}

TypeClass Binder::BindExpression(const SyntaxNode* expression, bool insideArithmetic, int block, Collector* into,
                                  bool* logicMet, ExprPtr* out) {
    const SyntaxNode* node = expression->child;
    bool minus = IsLeaf(node, kOpMinus);
    bool signed_ = minus || IsLeaf(node, kOpPlus);
    if (signed_) {
        insideArithmetic = true;
        node = node->next;
    }
    int terms = CountKind(node, FON_TERME);
    TypeClass result = kFailure;
    ExprPtr value;
    OperatorCode op = kOpPlus;
    for (; node != nullptr; node = node->next) {
        if (node->kind != FON_TERME) {
            op = node->kind == kOpMinus ? kOpMinus : kOpPlus;
            continue;
        }
        if (result != kFailure) insideArithmetic = true;
        bool termLogic = false;
        ExprPtr term;
        TypeClass termClass = BindTerm(node, insideArithmetic, block, into, &termLogic, &term);
        if (termClass == kFailure) return kFailure;
        if (termLogic) {
            if (signed_ || terms > 1) return Raise(kMsgLogicInArithmetic, node->text);
            *logicMet = true;
        }
        if (value == nullptr && minus) {
            auto negation = std::make_unique<BoundExpr>(ExprKind::kNegate, termClass);
            negation->operands.push_back(std::move(term));
            term = std::move(negation);
        }
        result = Fold(result, value, op, std::move(term), termClass, node);
        if (result == kFailure) return kFailure;
    }
    if (value == nullptr) return kFailure;
    *out = std::move(value);
    return result;
}

TypeClass Binder::Fold(TypeClass result, ExprPtr& value, OperatorCode op, ExprPtr operand, TypeClass operandClass,
                       const SyntaxNode* written) {
    if (result == kFailure) result = operandClass;
    else if (!ClassesMatch(result, operandClass)) return Raise(kMsgIncorrectType, written->text);
    else result = CombineClasses(result, operandClass);
    if (value == nullptr) {
        value = std::move(operand);
        return result;
    }
    auto combined = std::make_unique<BoundExpr>(ExprKind::kArithmetic, result);
    combined->op = op;
    combined->operands.push_back(std::move(value));
    combined->operands.push_back(std::move(operand));
    value = std::move(combined);
    return result;
}

TypeClass Binder::BindTerm(const SyntaxNode* term, bool insideArithmetic, int block, Collector* into,
                            bool* logicMet, ExprPtr* out) {
    int factors = CountKind(term->child, FON_FACTEUR);
    TypeClass result = kFailure;
    ExprPtr value;
    OperatorCode op = kOpTimes;
    for (const SyntaxNode* factor = term->child; factor != nullptr; factor = factor->next) {
        if (factor->kind != FON_FACTEUR) {
            op = factor->kind == kOpSlash ? kOpDivide : kOpTimes;
            continue;
        }
        if (result != kFailure) insideArithmetic = true;
        const SyntaxNode* content = factor->child;
        if (content == nullptr) return kFailure;
        bool factorLogic = false;
        TypeClass factorClass = kFailure;
        ExprPtr operand;
        // Signs written before the factor: - - X is X.
        bool minus = false;
        while (content != nullptr && (IsLeaf(content, kOpMinus) || IsLeaf(content, kOpPlus))) {
            minus = minus != IsLeaf(content, kOpMinus);
            const SyntaxNode* inner = content->next;
            content = inner != nullptr && inner->kind == FON_FACTEUR ? inner->child : nullptr;
            insideArithmetic = true;
        }
        if (content == nullptr) return kFailure;
        if (content->kind == FON_CONDITION_RECHERCHE) {
            // Typed as a value: never filed, its items count for `into`.
            if (into == nullptr) return kFailure;
            operand = std::make_unique<BoundExpr>(ExprKind::kParenthesized);
            factorClass = BindCondition(content, insideArithmetic, block, into, &operand->condition, &factorLogic);
            operand->typeClass = factorClass;
        } else if (content->kind == FON_SOUS_SELECT) {
            operand = std::make_unique<BoundExpr>(ExprKind::kSubSelect);
            factorClass = BindNested(content, true, block, into, &operand->block);
            operand->typeClass = factorClass;
            if (const BoundSelect* nested = out_.Select(operand->block); nested != nullptr && !nested->columns.empty())
                operand->item = nested->columns.front().item;
            operand->text = Normalized(TextOf(factor));
        } else {
            factorClass = BindPrimary(content, false, block, into, &operand);
        }
        if (factorClass == kFailure) return kFailure;
        if (factorLogic) {
            if (factors > 1 || minus) return Raise(kMsgLogicInArithmetic, factor->text);
            *logicMet = true;
        }
        if (minus) {
            if (operand->kind == ExprKind::kNumber) {
                // A negative number written with a space or in a term stays a number.
                operand->number = -operand->number;
                operand->text = "-" + operand->text;
            } else {
                auto negation = std::make_unique<BoundExpr>(ExprKind::kNegate, factorClass);
                negation->operands.push_back(std::move(operand));
                operand = std::move(negation);
            }
        }
        result = Fold(result, value, op, std::move(operand), factorClass, factor);
        if (result == kFailure) return kFailure;
    }
    if (value == nullptr) return kFailure;
    *out = std::move(value);
    return result;
}

TypeClass Binder::BindPrimary(const SyntaxNode* simpleItem, bool itemRequired, int block, Collector* into,
                               ExprPtr* out) {
    const SyntaxNode* node = simpleItem != nullptr ? simpleItem->child : nullptr;
    if (node == nullptr) return kFailure;
    switch (node->kind) {
        case kTokInteger:
        case kTokSignedInteger:
        case kTokDecimal:
        case kTokExponent: {
            if (itemRequired) return Raise(kMsgItemExpected, node->text);
            auto literal = std::make_unique<BoundExpr>(ExprKind::kNumber, TypeClass::kNumeric);
            literal->text = TextOf(node);
            literal->number = ReadNumber(literal->text.c_str());
            *out = std::move(literal);
            return TypeClass::kNumeric;
        }
        case kTokString: {
            if (itemRequired) return Raise(kMsgItemExpected, node->text);
            auto literal = std::make_unique<BoundExpr>(ExprKind::kText, TypeClass::kCharacter);
            literal->text = TextOf(node);
            *out = std::move(literal);
            return TypeClass::kCharacter;
        }
        case kPunQuestion: {
            // Its class is the value's, known only when it is bound.
            if (itemRequired) return Raise(kMsgItemExpected, node->text);
            auto parameter = std::make_unique<BoundExpr>(ExprKind::kParameter, TypeClass::kAny);
            parameter->slot = static_cast<std::size_t>(node->aux);
            parameter->text = "?";
            *out = std::move(parameter);
            return TypeClass::kAny;
        }
        case kTokIdentifier:
            break;
        default:
            return BindFunction(node, itemRequired, block, into, out);
    }

    int owner = block;
    ItemDescriptor* item = ResolveItem(node->text, block, &owner);
    if (item == nullptr) return Raise(kMsgItemNotFound, node->text);
    // An item of an enclosing SELECT: the SELECTs in between read it as a
    // value of their outer row.
    for (BoundSelect* select = out_.Select(block); select != nullptr && select->index != owner;
         select = out_.Select(select->parent)) {
        select->correlated = true;
        bool listed = std::any_of(select->outerReads.begin(), select->outerReads.end(),
                                  [item](const OuterRead& read) { return read.item == item; });
        if (!listed) select->outerReads.push_back(OuterRead{item, owner});
    }
    if (item->keyKind == ItemDescriptor::kCompositeKey) return Raise(kMsgCompositeKey, item->name.Get());
    TypeClass itemClass = ItemClass(item);
    if (itemClass == kFailure) return kFailure;
    auto reference = std::make_unique<BoundExpr>(ExprKind::kItem, itemClass);
    reference->item = item;
    reference->text = std::string(item->tableName) + "." + item->name.Get();
    if (into != nullptr) {
        reference->slot = into->AddItem(item);
        into->AddReference(item->tableName, std::string(item->tableName) + "/" + item->name.Get(), owner == block);
    }
    *out = std::move(reference);
    return itemClass;
}

TypeClass Binder::BindAggregate(const SyntaxNode* function, int block, Collector* into, ExprPtr* out) {
    const SyntaxNode* keyword = function->child;
    auto aggregate = std::make_unique<BoundExpr>(ExprKind::kAggregate, TypeClass::kNumeric);
    aggregate->text = keyword->kind == kKwCountStar ? "COUNT" : TextOf(keyword);
    const SyntaxNode* argument = keyword->next;
    if (IsLeaf(argument, kKwDistinct) || IsLeaf(argument, kKwAll)) {
        aggregate->distinct = argument->kind == kKwDistinct;
        argument = argument->next;
    }
    bool itemRequired = true;
    switch (keyword->kind) {
        case kKwCountStar: aggregate->aggregate = Aggregate::kCountRows; break;
        case kKwCountDistinct:
            aggregate->aggregate = Aggregate::kCount;
            aggregate->distinct = true;
            if (argument == nullptr) {
                // COUNT DISTINCT alone counts nothing.
                aggregate->kind = ExprKind::kNoValue;
                *out = std::move(aggregate);
                return TypeClass::kNumeric;
            }
            break;
        case kKwAvg: aggregate->aggregate = Aggregate::kAvg; break;
        case kKwSum: aggregate->aggregate = Aggregate::kSum; break;
        case kKwMin: aggregate->aggregate = Aggregate::kMin; break;
        case kKwMax: aggregate->aggregate = Aggregate::kMax; break;
        default:
            aggregate->aggregate = Aggregate::kCount;  // COUNT(x)
            aggregate->text = "COUNT";
            itemRequired = false;
            break;
    }
    if (aggregate->aggregate != Aggregate::kCountRows) {
        if (argument == nullptr) return kFailure;
        // An aggregate of aggregates computes nothing: the inner one is no value.
        BoundSelect* target = aggregateTarget_;
        aggregateTarget_ = nullptr;
        aggregate->operands.emplace_back();
        TypeClass argumentClass = BindPrimary(argument, itemRequired, block, into, &aggregate->operands.back());
        aggregateTarget_ = target;
        if (argumentClass == kFailure) return kFailure;
        bool numeric = aggregate->aggregate == Aggregate::kSum || aggregate->aggregate == Aggregate::kAvg;
        if (numeric && !ClassesMatch(argumentClass, TypeClass::kNumeric)) return Raise(kMsgIncorrectType, argument->text);
        if (aggregate->aggregate == Aggregate::kMin || aggregate->aggregate == Aggregate::kMax)
            aggregate->typeClass = argumentClass == TypeClass::kAny ? TypeClass::kNumeric : argumentClass;
    }
    aggregate->slot = aggregateTarget_->aggregates.size();
    aggregateTarget_->aggregates.push_back(aggregate.get());
    TypeClass result = aggregate->typeClass;
    *out = std::move(aggregate);
    return result;
}

TypeClass Binder::BindNamedFunction(const SyntaxNode* function, int block, Collector* into, ExprPtr* out) {
    const SyntaxNode* name = function->child;
    struct Signature {
        const char* name;
        Function function;
        TypeClass result;
        std::vector<TypeClass> arguments;  // the last ones may be left out down to `required`
        std::size_t required;
    };
    static const Signature kSignatures[] = {
        {"MONTH", Function::kMonth, TypeClass::kAny, {TypeClass::kAny}, 1},
        {"UPPER", Function::kUpper, TypeClass::kCharacter, {TypeClass::kCharacter}, 1},
        {"LOWER", Function::kLower, TypeClass::kCharacter, {TypeClass::kCharacter}, 1},
        {"TRIM", Function::kTrim, TypeClass::kCharacter, {TypeClass::kCharacter}, 1},
        {"SUBSTR", Function::kSubstr, TypeClass::kCharacter,
         {TypeClass::kCharacter, TypeClass::kNumeric, TypeClass::kNumeric}, 2},
        {"ABS", Function::kAbs, TypeClass::kNumeric, {TypeClass::kNumeric}, 1},
        {"ROUND", Function::kRound, TypeClass::kNumeric, {TypeClass::kNumeric, TypeClass::kNumeric}, 1},
    };
    const Signature* signature = nullptr;
    for (const Signature& s : kSignatures)
        if (std::strcmp(TextOf(name), s.name) == 0) signature = &s;
    if (signature == nullptr) return kFailure;
    auto call = std::make_unique<BoundExpr>(ExprKind::kFunction, signature->result);
    call->function = signature->function;
    call->text = signature->name;
    std::size_t count = 0;
    for (const SyntaxNode* argument = name->next; argument != nullptr; argument = argument->next, ++count) {
        if (count >= signature->arguments.size()) return Raise(kMsgFunctionArguments, signature->name);
        bool logicMet = false;
        call->operands.emplace_back();
        TypeClass argumentClass = BindExpression(argument, false, block, into, &logicMet, &call->operands.back());
        if (argumentClass == kFailure) return kFailure;
        if (!ClassesMatch(argumentClass, signature->arguments[count])) return Raise(kMsgIncorrectType, argument->text);
    }
    if (count < signature->required) return Raise(kMsgFunctionArguments, signature->name);
    *out = std::move(call);
    return signature->result;
}

TypeClass Binder::BindFunction(const SyntaxNode* function, bool itemRequired, int block, Collector* into,
                                ExprPtr* out) {
    const SyntaxNode* keyword = function->child;
    if (function->kind == FON_FONCTION_AGREGEE_REF && keyword != nullptr && aggregateTarget_ != nullptr)
        return BindAggregate(function, block, into, out);
    if (function->kind == FON_FONCTION_AGREGEE_REF && keyword != nullptr && keyword->kind == kTokIdentifier) {
        // COUNT(x) where no group is computed (a condition): no value, as the other aggregates there.
        const SyntaxNode* argument = keyword->next;
        if (IsLeaf(argument, kKwDistinct) || IsLeaf(argument, kKwAll)) argument = argument->next;
        auto count = std::make_unique<BoundExpr>(ExprKind::kNoValue, TypeClass::kNumeric);
        count->text = "COUNT";
        count->operands.emplace_back();
        if (BindPrimary(argument, false, block, into, &count->operands.back()) == kFailure) return kFailure;
        *out = std::move(count);
        return TypeClass::kNumeric;
    }
    if (function->kind == FON_FONCTION_AGREGEE_REF && keyword != nullptr) {
        switch (keyword->kind) {
            case kKwCountStar:
            case kKwCountDistinct: {
                auto count = std::make_unique<BoundExpr>(
                    keyword->kind == kKwCountStar ? ExprKind::kCountStar : ExprKind::kNoValue, TypeClass::kAny);
                count->text = keyword->kind == kKwCountStar ? "COUNT(*)" : TextOf(keyword);
                *out = std::move(count);
                return TypeClass::kAny;
            }
            case kKwAvg:
            case kKwMax:
            case kKwMin:
            case kKwSum: {
                const SyntaxNode* argument = keyword->next;
                if (IsLeaf(argument, kKwDistinct) || IsLeaf(argument, kKwAll)) argument = argument->next;
                if (argument == nullptr) return kFailure;
                // Computed nowhere yet: the aggregate gives no value.
                auto aggregate = std::make_unique<BoundExpr>(ExprKind::kNoValue, TypeClass::kNumeric);
                aggregate->text = TextOf(keyword);
                aggregate->operands.emplace_back();
                TypeClass argumentClass = BindPrimary(argument, true, block, into, &aggregate->operands.back());
                if (argumentClass == kFailure) return kFailure;
                if (!ClassesMatch(argumentClass, TypeClass::kNumeric)) return Raise(kMsgIncorrectType, argument->text);
                *out = std::move(aggregate);
                return TypeClass::kNumeric;
            }
            default:
                return kFailure;
        }
    }
    if (function->kind == FON_FONCTION_SCALAIRE_REF && keyword != nullptr && keyword->kind == kTokIdentifier)
        return BindNamedFunction(function, block, into, out);
    if (function->kind == FON_FONCTION_SCALAIRE_REF && keyword != nullptr) {
        auto call = std::make_unique<BoundExpr>(ExprKind::kFunction);
        call->text = TextOf(keyword);
        call->operands.emplace_back();
        const SyntaxNode* argument = keyword->next;
        TypeClass argumentClass = BindPrimary(argument, itemRequired, block, into, &call->operands.back());
        if (argumentClass == kFailure) return kFailure;
        TypeClass wanted = TypeClass::kAny;
        TypeClass result = TypeClass::kNumeric;
        switch (keyword->kind) {
            case kKwDigits: call->function = Function::kDigits; wanted = TypeClass::kNumeric; result = TypeClass::kCharacter; break;
            case kKwFloat: call->function = Function::kFloat; wanted = TypeClass::kNumeric; break;
            case kKwInteger: call->function = Function::kInteger; wanted = TypeClass::kNumeric; break;
            case kKwHex: call->function = Function::kHex; wanted = TypeClass::kCharacter; result = TypeClass::kCharacter; break;
            default: call->function = Function::kLength; break;  // LENGTH: any argument
        }
        if (!lenient_ && !ClassesMatch(argumentClass, wanted)) return Raise(kMsgIncorrectType, argument->text);
        call->typeClass = result;
        *out = std::move(call);
        return result;
    }
    // Date and time functions, and anything else.
    bool dateTime = function->kind == FON_FONCTION_DATE_HEURE_REF && keyword != nullptr;
    if (itemRequired) return Raise(kMsgIncorrectType, dateTime ? keyword->text : function->text);
    if (!dateTime) return kFailure;
    const SyntaxNode* argument = keyword->next;
    auto value = std::make_unique<BoundExpr>(ExprKind::kNoValue, TypeClass::kCharacter);
    value->text = TextOf(keyword);
    if (keyword->kind != kKwDate && keyword->kind != kKwTime) {
        // A date part: a number, which matches either class as it always has.
        static const std::pair<int, Function> kParts[] = {{kKwYear, Function::kYear},   {kKwDay, Function::kDay},
                                                           {kKwHour, Function::kHour},   {kKwMinute, Function::kMinute},
                                                           {kKwSecond, Function::kSecond}};
        auto part = std::find_if(std::begin(kParts), std::end(kParts),
                                 [&](const auto& p) { return p.first == keyword->kind; });
        if (part == std::end(kParts) || argument == nullptr) return kFailure;
        value->kind = ExprKind::kFunction;
        value->function = part->second;
        value->typeClass = TypeClass::kAny;
        value->operands.emplace_back();
        if (argument->kind == FON_ITEM_COMPARE) {
            bool logicMet = false;
            if (BindExpression(argument, false, block, into, &logicMet, &value->operands.back()) == kFailure)
                return kFailure;
        } else {
            ExprKind kind = argument->kind == kKwCurrentDate   ? ExprKind::kCurrentDate
                            : argument->kind == kKwCurrentTime ? ExprKind::kCurrentTime
                                                               : ExprKind::kText;
            value->operands.back() = std::make_unique<BoundExpr>(kind, TypeClass::kCharacter);
            value->operands.back()->text = TextOf(argument);
        }
        *out = std::move(value);
        return TypeClass::kAny;
    }
    switch (keyword->kind) {
        case kKwDate:
            if (argument != nullptr) {
                value->kind = ExprKind::kDate;
                value->text = DateDigits(TextOf(argument));
            }
            break;
        case kKwTime:
            if (argument != nullptr) {
                value->kind = ExprKind::kTime;
                value->text = TimeDigits(TextOf(argument));
            }
            break;
        default:
            return kFailure;
    }
    *out = std::move(value);
    return TypeClass::kCharacter;
}

}  // namespace

Status Bind(const SyntaxNode* tree, QueryDictionary& dictionary, BoundStatement& out) {
    return Binder(dictionary, out).Run(tree);
}

}  // namespace qx
