// Explain: "EXPLAIN statement" gives, instead of the statement's rows or
// changes, its plan as rows of text - one step a row, each indented under
// the step it feeds - in a result of one text column, PLAN.
//
//   SORT BY PRICE DESC              the main result, sorted
//     DISTINCT                      ... its duplicates removed
//       RESULT CODE, NAME           ... the columns of each row
//         SCAN PRODUCTS WHERE ...   one table, read record by record
//         SELECT FROM A, B WHERE .. several tables, and each group of
//           JOIN A, B: A.X = B.Y    ... predicates over the tables it reads
//           SCAN A: A.Z > 1
//       SUBQUERY 1 (reads A)        a nested SELECT and the outer tables it reads
//
// Predicates are written back as SQL from the statement's tree.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

// Widest line of the PLAN column; longer lines end in "...".
constexpr std::uint16_t kPlanWidth = 250;

// SQL text of an expression node of the statement's tree.
class SqlWriter {
public:
    std::string Write(const SyntaxNode* node) {
        out_.clear();
        Node(node);
        return out_;
    }

private:
    void Word(const std::string& text) {
        if (!out_.empty() && out_.back() != '(' && text != ")") out_ += ' ';
        out_ += text;
    }
    // "(a, b, ...)" of the chain from `first`, right after what is written.
    void List(const SyntaxNode* first) {
        out_ += "(";
        for (const SyntaxNode* c = first; c != nullptr; c = c->next) {
            if (c != first) out_ += ", ";
            std::size_t before = out_.size();
            Node(c);
            if (out_.size() > before && out_[before] == ' ') out_.erase(before, 1);
        }
        out_ += ")";
    }
    // The children in order; "x BETWEEN a b" is written with its AND.
    void Children(const SyntaxNode* node) {
        int betweenOperands = -1;
        for (const SyntaxNode* c = node->child; c != nullptr; c = c->next) {
            if (betweenOperands == 1) Word("AND");
            Node(c);
            if (c->kind == kKwBetween) betweenOperands = 0;
            else if (betweenOperands >= 0) ++betweenOperands;
        }
    }
    void Node(const SyntaxNode* node) {
        if (node == nullptr) return;
        switch (node->kind) {
            case kTokString: Word("'" + Quoted(node->text) + "'"); return;
            case kTokIdentifier: {
                // Resolved names read "TABLE/ITEM"; SQL writes them "TABLE.ITEM".
                std::string name = node->text != nullptr ? node->text : "";
                for (char& c : name)
                    if (c == '/') c = '.';
                Word(name);
                return;
            }
            case FON_SOUS_SELECT: Word("(SUBQUERY " + std::to_string(node->aux) + ")"); return;
            case FON_ITEM_SIMPLE_VIRGULE_LISTE:
                Word("");
                List(node->child);
                return;
            case FON_FONCTION_SCALAIRE_REF:
            case FON_FONCTION_AGREGEE_REF:
            case FON_FONCTION_DATE_HEURE_REF:
                if (node->child == nullptr) return;
                Word(node->child->text);
                List(node->child->next);
                return;
            case FON_CONDITION_RECHERCHE:
                Word("(");
                Condition(node);
                Word(")");
                return;
            default:
                if (node->child == nullptr) {
                    if (node->text != nullptr && node->text[0] != '\0') Word(node->text);
                    return;
                }
                Children(node);
        }
    }
public:
    std::string WriteCondition(const SyntaxNode* condition) {
        out_.clear();
        Condition(condition);
        return out_;
    }

private:
    // A condition: its terms joined by OR, the factors of each by AND.
    void Condition(const SyntaxNode* condition) {
        bool firstTerm = true;
        for (const SyntaxNode* term = condition->child; term != nullptr; term = term->next) {
            if (!firstTerm) Word("OR");
            firstTerm = false;
            bool firstFactor = true;
            for (const SyntaxNode* factor = term->child; factor != nullptr; factor = factor->next) {
                if (!firstFactor) Word("AND");
                firstFactor = false;
                Node(factor);
            }
        }
    }
    static std::string Quoted(const char* text) {
        std::string s;
        for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
            s += *p;
            if (*p == '\'') s += '\'';
        }
        return s;
    }

    std::string out_;
};

class PlanLines {
public:
    explicit PlanLines(const QueryPlan& plan) : plan_(plan) {}

    std::vector<std::string> lines;

    void Statement(const SyntaxNode* statement) {
        const char* table = statement->child != nullptr ? statement->child->text : "";
        switch (statement->kind) {
            case FON_REQUETE_SELECTION: Query(statement); return;
            case FON_REQUETE_MIS_A_JOUR_ENREG: Change(std::string("UPDATE ") + table, table); return;
            case FON_REQUETE_SUPPRESSION_ENREG: Change(std::string("DELETE FROM ") + table, table); return;
            case FON_REQUETE_INSERT_ENREG:
                Add(0, std::string("INSERT INTO ") + table);
                if (plan_.query != nullptr) Block(0, 1);
                else Add(1, "VALUES (one row)");
                return;
            case FON_REQUETE_CREATION_TABLE: Add(0, std::string("CREATE TABLE ") + table); return;
            case FON_REQUETE_CREATION_INDEX: {
                const SyntaxNode* on = statement->child != nullptr ? statement->child->next : nullptr;
                Add(0, std::string("CREATE INDEX ") + table + (on != nullptr ? std::string(" ON ") + on->text : ""));
                return;
            }
            default: Add(0, "NOT SUPPORTED");
        }
    }

private:
    void Add(int depth, std::string text) {
        text.insert(0, static_cast<std::size_t>(depth) * 2, ' ');
        if (text.size() > kPlanWidth) text = text.substr(0, kPlanWidth - 3) + "...";
        lines.push_back(std::move(text));
    }

    void Change(const std::string& title, const char* table) {
        Add(0, title);
        if (plan_.query == nullptr) {
            Add(1, std::string("SCAN ") + table);
            return;
        }
        Selection(0, 1);
        Nested(0, 1);
    }

    // A SELECT statement: the sort, the set operation, the main blocks.
    void Query(const SyntaxNode* query) {
        int depth = 0;
        if (plan_.orderBy != nullptr) {
            std::string keys;
            for (const SyntaxNode* key = plan_.orderBy; key != nullptr; key = key->next)
                keys += std::string(keys.empty() ? "" : ", ") + key->text + (key->aux != 0 ? " DESC" : "");
            Add(depth++, "SORT BY " + keys);
        }
        const SyntaxNode* op = query->next;
        if (op != nullptr && (op->kind == kKwUnion || op->kind == kKwIntersect || op->kind == kKwExcept)) {
            bool all = op->next != nullptr && op->next->kind == kKwAll;
            Add(depth, std::string(op->text) + (all ? " ALL" : ""));
            Block(0, depth + 1);
            for (std::int16_t i = 1; i < plan_.selectCount; ++i)
                if (plan_.Block(i) != nullptr && plan_.Block(i)->parent < 0) Block(i, depth + 1);
            return;
        }
        Block(0, depth);
    }

    // One SELECT: DISTINCT, its columns, its selection, its sub-queries.
    void Block(std::int16_t index, int depth) {
        const SelectBlock* block = plan_.Block(index);
        if (block == nullptr) return;
        if (block->quantifier == kKwDistinct) Add(depth++, "DISTINCT");
        std::string columns;
        if (block->selectedItems == nullptr) {
            columns = "*";
        } else {
            for (std::int16_t i = 0; i <= block->selectedItems->Last(); ++i) {
                auto* item = static_cast<const ItemDescriptor*>(block->selectedItems->GetAt(i));
                if (item != nullptr) columns += std::string(columns.empty() ? "" : ", ") + item->name.Get();
            }
        }
        Add(depth, "RESULT " + columns);
        Selection(index, depth + 1);
        Nested(index, depth + 1);
    }

    // The SELECTs nested directly in block `index`.
    void Nested(std::int16_t index, int depth) {
        const SelectBlock* block = plan_.Block(index);
        for (const SyntaxNode* entry = block != nullptr && block->children != nullptr ? block->children->next : nullptr;
             entry != nullptr; entry = entry->next) {
            std::string reads = entry->text != nullptr && entry->text[0] != '\0'
                                    ? std::string(" (reads ") + Names(entry->text) + ")"
                                    : std::string();
            Add(depth, "SUBQUERY " + std::to_string(entry->kind) + reads);
            Block(static_cast<std::int16_t>(entry->kind), depth + 1);
        }
    }

    // The records a block reads: its tables, the condition as written, and
    // the groups of predicates the selection evaluates, by the tables they read.
    void Selection(std::int16_t index, int depth) {
        const SelectBlock* block = plan_.Block(index);
        if (block == nullptr) return;
        std::string tables = Names(block->tableNames != nullptr ? block->tableNames->text : "");
        const SyntaxNode* where = WrittenCondition(index);
        std::string condition = where != nullptr ? " WHERE " + writer_.WriteCondition(where) : std::string();
        if (block->tables.Count() <= 1) {
            Add(depth, "SCAN " + tables + condition);
            return;
        }
        Add(depth, (where != nullptr ? "SELECT FROM " : "PRODUCT ") + tables + condition);
        for (const SyntaxNode* group = block->groups; group != nullptr; group = group->next) {
            if (group->child == nullptr) continue;
            std::string set = Names(group->text);
            std::string line = set.empty() ? "CONSTANT" : (set.find(',') != std::string::npos ? "JOIN " : "SCAN ") + set;
            const char* separator = ": ";
            for (const SyntaxNode* holder = group->child; holder != nullptr; holder = holder->next) {
                auto* predicate = static_cast<const Predicate*>(holder->value);
                if (predicate == nullptr) continue;
                line += separator + writer_.Write(predicate->expression);
                separator = "; ";
            }
            Add(depth + 1, line);
        }
    }

    // The WHERE condition of block `index` as written: blocks are numbered
    // in the order of their SELECT bodies in the tree.
    const SyntaxNode* WrittenCondition(std::int16_t index) const {
        SyntaxNode* root = plan_.QueryTree();
        SyntaxNode* body = root != nullptr ? root->FindNthOfKind(FON_SOUS_SELECT, index + 1) : nullptr;
        if (body == nullptr || body->child == nullptr || body->child->next == nullptr) return nullptr;
        const SyntaxNode* where = body->child->next->next;
        return where != nullptr && where->kind == FON_CONDITION_RECHERCHE ? where : nullptr;
    }

    // "A/B" as "A, B".
    static std::string Names(const char* set) {
        std::string names = set != nullptr ? set : "";
        for (std::size_t at = names.find('/'); at != std::string::npos; at = names.find('/', at + 2))
            names.replace(at, 1, ", ");
        return names;
    }

    const QueryPlan& plan_;
    SqlWriter writer_;
};

}  // namespace

Status QueryPlan::Explain() {
    const SyntaxNode* statement = tree != nullptr ? tree->child : nullptr;
    if (statement == nullptr || dictionary == nullptr) return Error::Message(kMsgInternalError, "EXPLAIN");
    PlanLines plan(*this);
    plan.Statement(statement);

    TableRef* table = dictionary->FindOrAddTable(nullptr, nullptr);
    if (table == nullptr) return Error::Message(kMsgOutOfMemory);
    std::unique_ptr<ItemDescriptor> column(
        new ItemDescriptor("PLAN", kFieldTerminatedText, kPlanWidth + 1, 0, 1, 1, table, ""));
    if (column == nullptr || column->name.text == nullptr || !table->AddItem(column.get()))
        return Error::Message(kMsgOutOfMemory);
    column.release();  // now the table's
    if (!table->SetRecordSize(kPlanWidth + 2, 1)) return Error::Message(kMsgOutOfMemory);
    for (const std::string& line : plan.lines) {
        std::memset(table->record, 0, table->recordSize);
        std::memcpy(table->record + 1, line.data(), line.size());
        if (table->WriteRecord(0) != TableRef::kWriteOk) return Error::Message(kMsgOutOfMemory);
    }
    resultSet = table;
    return Status();
}

}  // namespace qx
