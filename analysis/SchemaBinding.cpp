#include "analysis/SchemaBinding.h"

#include "base/Messages.h"
#include "parser/SyntaxNode.h"

namespace qx {
namespace {

const char* NameOf(const SyntaxNode* node) { return node != nullptr && node->text != nullptr ? node->text : ""; }

}  // namespace

Status BindSchemaChange(const SyntaxNode* statement, BoundStatement& out) {
    out.ifExists = (statement->aux & kIfExistsClause) != 0;
    const SyntaxNode* name = statement->child;
    if (name == nullptr) return Error::Message(kMsgInternalError, "compilation");
    switch (statement->kind) {
        case FON_REQUETE_DESTRUCTION_TABLE_VUE:
            out.kind = (statement->aux & kDropsView) != 0 ? StatementKind::kDropView : StatementKind::kDropTable;
            out.table = NameOf(name);
            return Status();
        case FON_REQUETE_CREATION_VUE: {
            out.kind = StatementKind::kCreateView;
            out.table = NameOf(name);
            const SyntaxNode* query = name->next;
            if (query != nullptr && query->kind == FON_COLONNE_REF_VIRGULE_LISTE) {
                out.hasColumnList = true;
                for (const SyntaxNode* column = query->child; column != nullptr; column = column->next)
                    out.columns.emplace_back(NameOf(column));
                query = query->next;
            }
            if (query == nullptr) return Error::Message(kMsgInternalError, "compilation");
            out.viewText = NameOf(query);
            return Status();
        }
        case kNodeDropIndex:
            out.kind = StatementKind::kDropIndex;
            out.indexName = NameOf(name);
            if (name->next != nullptr) out.table = NameOf(name->next);
            return Status();
        default: break;
    }
    out.kind = StatementKind::kAlterTable;
    out.table = NameOf(name);
    const SyntaxNode* action = name->next;
    const SyntaxNode* operand = action != nullptr ? action->next : nullptr;
    if (operand == nullptr) return Error::Message(kMsgInternalError, "compilation");
    out.alterAction = static_cast<AlterAction>(action->aux);
    if (out.alterAction != AlterAction::kAddColumn) {
        out.otherName = NameOf(operand);
        return Status();
    }
    // The column: its name, its type leaf (with the CHAR size in `aux`), and no constraint.
    const SyntaxNode* column = operand->child;
    const SyntaxNode* type = column != nullptr ? column->next : nullptr;
    if (type == nullptr) return Error::Message(kMsgInternalError, "compilation");
    if (type->next != nullptr) return Error::Message(kMsgNotSupported);
    out.hasColumnList = true;
    out.definitions.push_back(ColumnDefinition{NameOf(column), type->kind, static_cast<std::uint32_t>(type->aux), {}});
    return Status();
}

}  // namespace qx
