// ExecutionDriver: the plan's execution entry points - Execute dispatches on
// the statement kind, RunSelect runs the blocks of a SELECT, SetError stores
// an execution error in the request.
//
// This is the minimal driver that lets a planned statement pass through the
// pipeline: a SELECT and the supported data-change and schema statements do
// nothing yet; DROP, CREATE VIEW and any other statement kind are refused
// with message 4298.  Selection, result building and the statement
// executors are left to the execution stage.
#include "analysis/QueryDictionary.h"
#include "interface/Messages.h"
#include "interface/SqlRequest.h"
#include "parser/NodeKinds.h"
#include "parser/SyntaxNode.h"
#include "planner/QueryPlan.h"

namespace qx {

void QueryPlan::Execute(SqlRequest* executing) {
    if (executing == nullptr) return;
    dictionary = executing->dictionary;
    SyntaxNode* root = executing->syntaxTree;
    std::int32_t kind = root != nullptr && root->child != nullptr ? root->child->kind : 0;
    switch (kind) {
        case FON_REQUETE_CREATION_INDEX:
        case FON_REQUETE_SUPPRESSION_ENREG:
        case FON_REQUETE_MIS_A_JOUR_ENREG:
        case FON_REQUETE_INSERT_ENREG:
        case FON_REQUETE_CREATION_TABLE:
            break;
        case FON_REQUETE_SELECTION:
            RunSelect(executing);
            break;
        default:
            SetError(MessageText(kMsgNotSupported), nullptr);
            break;
    }
}

void QueryPlan::RunSelect(SqlRequest* executing) {
    if (executing != nullptr) dictionary = executing->dictionary;
}

void QueryPlan::SetError(const char* text, const char* state) {
    if (request != nullptr) SetRequestError(request, text, state);
}

}  // namespace qx
