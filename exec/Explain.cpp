// Explain: "EXPLAIN statement" gives, instead of the statement's rows or
// changes, its plan as rows of text - one operator a row, each indented
// under the operator it feeds - in a result of one text column, PLAN.
//
//   SORT BY PRICE DESC                   the main result, sorted
//     RESULT DISTINCT CODE, NAME         the columns of each row, without repeats
//       SELECT FROM A, B WHERE ...       several tables, the rows the WHERE keeps
//         SUBQUERY 1 (reads A)           a nested SELECT, run first
//           RESULT ...
//         SCAN A: A.Z > 1                one table's records, filtered
//         HASH JOIN A, B: A.X = B.Y      an equality, hashed
//         NESTED LOOP A, B: A.X < B.Y    every combination, tested
//
// Conditions and predicates are written back as SQL from the bound statement.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "analysis/BoundStatement.h"
#include "base/Messages.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "planner/QueryPlan.h"
#include "values/FieldType.h"

namespace qx {
namespace {

// Widest line of the PLAN column; longer lines end in "...".
constexpr std::uint16_t kPlanWidth = 250;

std::string Quoted(const std::string& text) {
    std::string s = "'";
    for (char c : text) {
        s += c;
        if (c == '\'') s += '\'';
    }
    return s + "'";
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

const char* OperatorText(OperatorCode op) {
    switch (op) {
        case kOpEqual: return "=";
        case kOpNotEqual: return "<>";
        case kOpLess: return "<";
        case kOpGreater: return ">";
        case kOpLessEqual: return "<=";
        case kOpGreaterEqual: return ">=";
        case kOpPlus: return "+";
        case kOpMinus: return "-";
        case kOpTimes: return "*";
        case kOpDivide: return "/";
        default: return "?";
    }
}

// SQL text of the bound statement's expressions, conditions and predicates.
class SqlWriter {
public:
    static std::string Expression(const BoundExpr& e) {
        switch (e.kind) {
            case ExprKind::kItem:
            case ExprKind::kParameter:
            case ExprKind::kNumber: return e.text;
            case ExprKind::kText: return Quoted(e.text);
            case ExprKind::kDate: return "DATE " + Quoted(e.text);
            case ExprKind::kTime: return "TIME " + Quoted(e.text);
            case ExprKind::kNegate: return "-" + Expression(*e.operands[0]);
            case ExprKind::kArithmetic:
                return Expression(*e.operands[0]) + " " + OperatorText(e.op) + " " + Expression(*e.operands[1]);
            case ExprKind::kParenthesized: return "(" + (e.condition ? Condition(*e.condition) : "") + ")";
            case ExprKind::kSubSelect: return "(SUBQUERY " + std::to_string(e.block) + ")";
            case ExprKind::kDefault: return "DEFAULT";
            case ExprKind::kCurrentDate: return "CURRENT DATE";
            case ExprKind::kCurrentTime: return "CURRENT TIME";
            case ExprKind::kAggregate:
                if (e.operands.empty()) return "COUNT(*)";
                return e.text + "(" + (e.distinct ? "DISTINCT " : "") + Expression(*e.operands[0]) + ")";
            case ExprKind::kCountStar:
            case ExprKind::kFunction:
            case ExprKind::kNoValue: break;
        }
        if (e.operands.empty() || e.operands[0] == nullptr) return e.text;
        std::string arguments;
        for (const auto& operand : e.operands)
            if (operand != nullptr) arguments += (arguments.empty() ? "" : ", ") + Expression(*operand);
        return e.text + "(" + arguments + ")";
    }

    static std::string Condition(const BoundCondition& c, bool nested = false) {
        switch (c.kind) {
            case BoundCondition::Kind::kPredicate: return Predicate(*c.predicate);
            case BoundCondition::Kind::kNot: return "NOT " + Condition(*c.operands.front(), true);
            case BoundCondition::Kind::kAnd:
            case BoundCondition::Kind::kOr: break;
        }
        const char* word = c.kind == BoundCondition::Kind::kAnd ? " AND " : " OR ";
        std::string out;
        for (const auto& operand : c.operands) {
            if (!out.empty()) out += word;
            // An OR inside an AND (and any AND/OR under NOT) is written in parentheses.
            bool group = operand->kind == BoundCondition::Kind::kOr && c.kind == BoundCondition::Kind::kAnd;
            std::string text = Condition(*operand, false);
            out += group ? "(" + text + ")" : text;
        }
        return nested ? "(" + out + ")" : out;
    }

    static std::string Predicate(const BoundPredicate& p) {
        std::string left = p.left != nullptr ? Expression(*p.left) : "";
        if (p.leftSigned && p.left != nullptr && p.left->kind != ExprKind::kNegate) left = "+" + left;
        std::string no = p.notWritten ? "NOT " : "";
        switch (p.kind) {
            case PredicateKind::kValue: return left;
            case PredicateKind::kCompare:
                return left + " " + OperatorText(p.op) + " " + (p.right ? Expression(*p.right) : "");
            case PredicateKind::kCompareRows: {
                const char* quantifier = p.quantifier == Quantifier::kAll   ? "ALL "
                                         : p.quantifier == Quantifier::kAny ? "ANY "
                                                                            : "";
                return left + " " + OperatorText(p.op) + " " + quantifier + Rows(p.rows);
            }
            case PredicateKind::kIsNull: return left + " IS " + no + "NULL";
            case PredicateKind::kBetween:
                return left + " " + no + "BETWEEN " + (p.lower ? Expression(*p.lower) : "") + " AND " +
                       (p.upper ? Expression(*p.upper) : "");
            case PredicateKind::kLike: return left + " " + no + "LIKE " + Quoted(p.pattern);
            case PredicateKind::kIn: return left + " " + no + "IN " + Rows(p.rows);
            case PredicateKind::kMatch:
                return left + " MATCH " + (p.quantifier == Quantifier::kUnique ? "UNIQUE " : "") + Rows(p.rows);
            case PredicateKind::kExists: return "EXISTS " + no + Rows(p.rows);
            case PredicateKind::kUnique: return "UNIQUE " + no + Rows(p.rows);
        }
        return left;
    }

private:
    static std::string Rows(const RowSource& rows) {
        if (rows.block >= 0) return "(SUBQUERY " + std::to_string(rows.block) + ")";
        std::string out;
        for (const auto& value : rows.list) out += (out.empty() ? "" : ", ") + Expression(*value);
        return "(" + out + ")";
    }
};

class PlanLines {
public:
    explicit PlanLines(const QueryPlan& plan) : statement_(*plan.statement) {}

    std::vector<std::string> lines;

    void Operator(const PlanOperator& op, int depth) {
        const BoundSelect* select = statement_.Select(op.block);
        switch (op.kind) {
            case OperatorKind::kSort: {
                std::string keys;
                for (const OrderKey& key : statement_.orderBy)
                    keys += (keys.empty() ? "" : ", ") + key.name + (key.descending ? " DESC" : "");
                Add(depth, "SORT BY " + keys);
                break;
            }
            case OperatorKind::kSetOperation:
                Add(depth, statement_.setOperatorText + (statement_.setAll ? " ALL" : ""));
                break;
            case OperatorKind::kProject: {
                std::string columns;
                if (select != nullptr && select->allColumns) columns = "*";
                else if (select != nullptr)
                    for (const SelectColumn& column : select->columns)
                        columns += (columns.empty() ? "" : ", ") + column.name;
                bool distinct = select != nullptr && select->quantifier == SelectQuantifier::kDistinct;
                Add(depth, std::string("RESULT ") + (distinct ? "DISTINCT " : "") + columns);
                break;
            }
            case OperatorKind::kSelection: {
                if (select == nullptr) break;
                if (!select->joinSteps.empty()) {
                    // The FROM list as joined step by step, then WHERE.
                    std::string steps;
                    for (const JoinStep& step : select->joinSteps) {
                        if (step.kind != StepKind::kFirst) steps += step.kind == StepKind::kLeft ? " LEFT JOIN " : " JOIN ";
                        steps += step.table->name.Get();
                        if (step.on != nullptr) steps += " ON " + SqlWriter::Condition(*step.on);
                    }
                    std::string where =
                        select->where != nullptr ? " WHERE " + SqlWriter::Condition(*select->where) : std::string();
                    Add(depth, "JOIN STEPS " + steps + where);
                    break;
                }
                std::string tables = Joined(select->TableNames());
                std::string where =
                    select->where != nullptr ? " WHERE " + SqlWriter::Condition(*select->where) : std::string();
                const char* word = select->tables.size() <= 1 ? "SCAN " : select->where ? "SELECT FROM " : "PRODUCT ";
                Add(depth, word + tables + where);
                break;
            }
            case OperatorKind::kSubquery:
            case OperatorKind::kSemiJoin:
            case OperatorKind::kAntiJoin: {
                const BoundSelect* parent = select != nullptr ? statement_.Select(select->parent) : nullptr;
                std::string reads;
                if (parent != nullptr)
                    for (const NestedLink& link : parent->nested)
                        if (link.block == op.block && !link.outerTables.empty())
                            reads = " (reads " + Joined(link.outerTables) + ")";
                const char* word = op.kind == OperatorKind::kSemiJoin   ? "SEMI JOIN "
                                   : op.kind == OperatorKind::kAntiJoin ? "ANTI JOIN "
                                                                        : "";
                std::string use = op.join != nullptr ? ": " + SqlWriter::Predicate(*op.join) : std::string();
                Add(depth, word + ("SUBQUERY " + std::to_string(op.block)) + reads + use);
                break;
            }
            case OperatorKind::kScan:
            case OperatorKind::kNestedLoop:
            case OperatorKind::kConstant:
            case OperatorKind::kHashJoin: {
                if (op.group == nullptr) break;
                static const char* const kWords[] = {"SCAN ", "NESTED LOOP ", "CONSTANT", "HASH JOIN "};
                int word = op.kind == OperatorKind::kScan ? 0 : op.kind == OperatorKind::kNestedLoop ? 1 :
                           op.kind == OperatorKind::kConstant ? 2 : 3;
                std::string line = kWords[word] + Joined(op.group->names);
                std::vector<const BoundPredicate*> shown = op.kind == OperatorKind::kHashJoin ? std::vector{op.join}
                                                           : op.kind == OperatorKind::kConstant ? op.group->predicates
                                                                                                : op.tests;
                const char* separator = ": ";
                for (const BoundPredicate* p : shown) {
                    line += separator + SqlWriter::Predicate(*p);
                    separator = "; ";
                }
                Add(depth, line);
                break;
            }
            case OperatorKind::kInsert:
                Add(depth, "INSERT INTO " + statement_.table);
                if (!statement_.HasQuery()) Add(depth + 1, "VALUES (one row)");
                break;
            case OperatorKind::kUpdate:
            case OperatorKind::kDelete:
                Add(depth, (op.kind == OperatorKind::kUpdate ? "UPDATE " : "DELETE FROM ") + statement_.table);
                if (!statement_.HasQuery()) Add(depth + 1, "SCAN " + statement_.table);
                break;
            case OperatorKind::kCreateTable: Add(depth, "CREATE TABLE " + statement_.table); break;
            case OperatorKind::kCreateIndex:
                Add(depth, "CREATE INDEX " + statement_.indexName + " ON " + statement_.table);
                break;
            case OperatorKind::kSchemaChange:
                switch (statement_.kind) {
                    case StatementKind::kDropIndex: Add(depth, "DROP INDEX " + statement_.indexName); break;
                    case StatementKind::kDropTable: Add(depth, "DROP TABLE " + statement_.table); break;
                    case StatementKind::kCreateView: Add(depth, "CREATE VIEW " + statement_.table); break;
                    case StatementKind::kDropView: Add(depth, "DROP VIEW " + statement_.table); break;
                    default: Add(depth, "ALTER TABLE " + statement_.table); break;
                }
                break;
        }
        for (const auto& input : op.inputs) {
            // One table's selection already says what its scan reads.
            bool sameScan = op.kind == OperatorKind::kSelection && input->kind == OperatorKind::kScan && select != nullptr &&
                            select->tables.size() <= 1;
            if (!sameScan) Operator(*input, depth + 1);
        }
    }

private:
    void Add(int depth, std::string text) {
        text.insert(0, static_cast<std::size_t>(depth) * 2, ' ');
        if (text.size() > kPlanWidth) text = text.substr(0, kPlanWidth - 3) + "...";
        lines.push_back(std::move(text));
    }

    const BoundStatement& statement_;
};

}  // namespace

Status QueryPlan::Explain() {
    if (statement == nullptr || dictionary == nullptr) return Error::Message(kMsgInternalError, "EXPLAIN");
    PlanLines plan(*this);
    if (root != nullptr) plan.Operator(*root, 0);
    else plan.lines.emplace_back("NOT SUPPORTED");

    TableRef* table = dictionary->FindOrAddTable(nullptr, nullptr);
    if (table == nullptr) return Error::Message(kMsgOutOfMemory);
    if (table->AddItem(ItemDescriptor::Create("PLAN", kFieldTerminatedText, kPlanWidth + 1, 0, 1, 1, table, "")) == nullptr)
        return Error::Message(kMsgOutOfMemory);
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
