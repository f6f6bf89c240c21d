#include "interface/ViewTables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "analysis/Binder.h"
#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/TableRef.h"
#include "catalog/ViewDefinition.h"
#include "exec/ExpressionEvaluator.h"
#include "exec/ResultBuilder.h"
#include "parser/NodeKinds.h"
#include "parser/Parser.h"
#include "parser/SyntaxNode.h"
#include "planner/QueryPlan.h"
#include "values/FieldType.h"

namespace qx {
namespace {

// A view's SELECT compiled as a statement of its own.  Members go in
// reverse order: the evaluator, the plan, then the dictionary that owns
// the result table.
struct CompiledView {
    std::unique_ptr<QueryDictionary> dictionary;
    std::unique_ptr<QueryPlan> plan;
    std::unique_ptr<ExpressionEvaluator> evaluator;
    TableRef* result = nullptr;  // its columns (and rows), owned by `dictionary`
};

Status Unusable(const std::string& view, const char* english, const char* french) {
    return Error::Message(kMsgViewUnusable, view.c_str(), EnglishMessages() ? english : french);
}

// The failure of view `view` as the statement reports it.
Status ViewFailure(const std::string& view, const Status& inner) {
    if (inner.ok()) return inner;
    switch (inner.error().number()) {
        case kMsgOutOfMemory:
        case kMsgStatementMemory:
        case kMsgInterrupted:
        case kMsgDatabaseBusy:
        case kMsgReadWriteError:  // not the view's fault
        case kMsgViewUnusable:    // a view it reads, which names itself
        case kMsgWrongObjectKind: return inner;
        default: return Error::Message(kMsgViewUnusable, view.c_str(), inner.error().text());
    }
}

Status CompileView(const ViewContext& context, const std::string& name, const std::string& text, CompiledView& out) {
    Parser parser;
    SyntaxNode* tree = nullptr;
    std::string statement = text + ";";
    Status status = parser.Parse(statement.c_str(), &tree);
    if (!status.ok()) return status;
    const SyntaxNode* query = tree != nullptr ? tree->child : nullptr;
    if (query == nullptr || tree->aux != 0 || query->kind != FON_REQUETE_SELECTION)
        return Error::Message(kMsgSelectExpected);
    if (parser.parameterCount > 0)
        return Unusable(name, "a view's SELECT takes no '?' parameter", "le SELECT d'une vue ne prend pas de paramètre '?'");
    out.dictionary = std::make_unique<QueryDictionary>(context.hostContext, context.memoValues);
    // The views it reads belong to its statement: computed with it, never listed for a refresh.
    ViewContext inner = context;
    inner.changed.clear();
    inner.read = nullptr;
    inner.chain.push_back(name);
    status = out.dictionary->AddNames(parser.names);
    if (status.ok()) status = out.dictionary->LoadDescriptions(ViewResolver(std::move(inner)));
    auto bound = std::make_unique<BoundStatement>();
    if (status.ok()) status = Bind(tree, *out.dictionary, *bound);
    if (!status.ok()) return status;
    out.plan = PlanStatement(out.dictionary.get(), std::move(bound));
    out.evaluator = std::make_unique<ExpressionEvaluator>(out.plan.get());
    out.plan->evaluator = out.evaluator.get();
    return status;
}

// The view's result table: its rows computed, or only its columns laid out.
Status MakeResult(ViewContext::Rows rows, CompiledView& view) {
    QueryPlan& plan = *view.plan;
    if (rows == ViewContext::Rows::kCompute) {
        Status status = plan.Execute();
        view.result = plan.resultSet;
        if (!status.ok()) return status;
    } else if (SelectBlock* first = plan.Block(0)) {
        view.result = CreateResultTable(*first, *view.dictionary);
        if (!plan.status.ok()) return plan.status;
        // The keys ORDER BY adds are not columns.
        const std::vector<SelectColumn>& columns = plan.statement->selects.front()->columns;
        auto hidden = static_cast<std::size_t>(
            std::count_if(columns.begin(), columns.end(), [](const SelectColumn& c) { return c.hidden; }));
        if (view.result != nullptr && view.result->items.size() >= hidden)
            view.result->items.resize(view.result->items.size() - hidden);
    }
    if (view.result == nullptr) return Error::Message(kMsgInternalError, "view");
    return Status();
}

// The names of the view's columns: those CREATE VIEW listed, else the
// SELECT's; each once.  A memo column cannot be read back through the
// view's memory table, so it is refused.
Status NameColumns(const std::string& view, const std::vector<std::string>& listed, const TableRef& result,
                   std::vector<std::string>& names) {
    if (!listed.empty() && listed.size() != result.items.size()) {
        char reason[160];
        std::snprintf(reason, sizeof reason,
                      EnglishMessages() ? "%zu column names for the %zu columns of its SELECT"
                                        : "%zu noms de colonnes pour les %zu colonnes de son SELECT",
                      listed.size(), result.items.size());
        return Error::Message(kMsgViewUnusable, view.c_str(), reason);
    }
    names.clear();
    for (std::size_t j = 0; j < result.items.size(); ++j) {
        const ItemDescriptor& item = *result.items[j];
        std::string name = listed.empty() ? item.name.Get() : listed[j];
        char reason[200];
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            std::snprintf(reason, sizeof reason,
                          EnglishMessages() ? "column %.64s appears twice (name the columns after the view's name)"
                                            : "la colonne %.64s apparaît deux fois (nommez les colonnes après le nom de la vue)",
                          name.c_str());
            return Error::Message(kMsgViewUnusable, view.c_str(), reason);
        }
        if (item.type == kFieldTextMemo || item.type == kFieldBinaryMemo) {
            std::snprintf(reason, sizeof reason,
                          EnglishMessages() ? "column %.64s is a memo, which a view cannot hold"
                                            : "la colonne %.64s est un mémo, qu'une vue ne peut pas contenir",
                          name.c_str());
            return Error::Message(kMsgViewUnusable, view.c_str(), reason);
        }
        names.push_back(std::move(name));
    }
    return Status();
}

// Moves the rows of `result` (and their share of the memory budget) to `view`.
void TakeRows(TableRef& view, TableRef& result) {
    view.ReleaseRows();
    view.rows = result.rows;
    view.rowCount = result.rowCount;
    view.rowCapacity = result.rowCapacity;
    view.rowCharge = std::move(result.rowCharge);
    result.rows = nullptr;
    result.rowCount = 0;
    result.rowCapacity = 0;
    result.RowsReordered();
}

// Gives `reference` (and each correlation name of it) the items of the
// view's result under `names`, and the result's rows.
Status Adopt(TableRef& reference, TableRef& result, const std::vector<std::string>& names) {
    QueryDictionary& dictionary = *reference.dictionary;
    for (const std::unique_ptr<TableRef>& owned : dictionary.tables) {
        TableRef& target = *owned;
        if (&target != &reference && target.aliasOf != &reference) continue;
        for (std::size_t j = 0; j < names.size(); ++j) {
            const ItemDescriptor& item = *result.items[j];
            if (target.AddItem(ItemDescriptor::Create(names[j].c_str(), item.type, item.size, 0, item.offset,
                                                      item.dimension, &target, target.name.Get())) == nullptr)
                return Error::Message(kMsgOutOfMemory);
        }
    }
    if (!reference.SetRecordSize(result.recordSize, 1)) return Error::Message(kMsgOutOfMemory);
    TakeRows(reference, result);
    reference.view = 1;
    reference.found = 1;
    reference.status.Set("");
    return Status();
}


}  // namespace

QueryDictionary::UnknownTable ViewResolver(ViewContext context) {
    return [context = std::move(context)](TableRef& table) -> Status {
        const std::string name = table.name.Get();
        ViewDefinition view;
        if (LookUpView(context.hostContext, name.c_str(), &view) != ViewLookup::kView) return Status();
        if (name == context.changed) return WrongObjectKind(name.c_str(), true);
        if (std::find(context.chain.begin(), context.chain.end(), name) != context.chain.end())
            return Unusable(name, "it reads itself through the views it reads", "elle se lit elle-même par les vues qu'elle lit");
        if (context.chain.size() >= kMaxViewDepth)
            return Unusable(name, "views read through more than 16 others", "des vues lues à travers plus de 16 autres");
        CompiledView compiled;
        std::vector<std::string> names;
        Status status = CompileView(context, name, view.text, compiled);
        if (status.ok()) status = MakeResult(context.rows, compiled);
        if (!status.ok()) return ViewFailure(name, status);
        status = NameColumns(name, view.columns, *compiled.result, names);
        if (status.ok()) status = Adopt(table, *compiled.result, names);
        if (status.ok() && context.read != nullptr) context.read->push_back(&table);
        return status;
    };
}

Status RefreshViews(std::uint16_t hostContext, std::uintptr_t memoValues, const std::vector<TableRef*>& views) {
    for (TableRef* table : views) {
        const std::string name = table->name.Get();
        table->ReleaseRows();  // a failure leaves the view empty, never stale
        ViewDefinition view;
        if (LookUpView(hostContext, name.c_str(), &view) != ViewLookup::kView)
            return Error::Message(kMsgViewNotFound, name.c_str());
        ViewContext context;
        context.hostContext = hostContext;
        context.memoValues = memoValues;
        CompiledView compiled;
        Status status = CompileView(context, name, view.text, compiled);
        if (status.ok()) status = MakeResult(context.rows, compiled);
        if (!status.ok()) return ViewFailure(name, status);
        // The statement was bound to the view's columns as they were.
        TableRef& result = *compiled.result;
        bool same = result.recordSize == table->recordSize && result.items.size() == table->items.size();
        for (std::size_t j = 0; same && j < result.items.size(); ++j) {
            const ItemDescriptor& now = *result.items[j];
            const ItemDescriptor& then = *table->items[j];
            same = now.type == then.type && now.size == then.size && now.offset == then.offset;
        }
        if (!same)
            return Unusable(name, "its columns changed since the statement was prepared",
                            "ses colonnes ont changé depuis la préparation de l'instruction");
        TakeRows(*table, result);
    }
    return Status();
}

Status CheckNewView(std::uint16_t hostContext, std::uintptr_t memoValues, const BoundStatement& statement) {
    const std::string& name = statement.table;
    ViewLookup existing = LookUpView(hostContext, name.c_str(), nullptr);
    if (existing == ViewLookup::kUnsupported) return Error::Message(kMsgNoViews);
    bool taken = existing == ViewLookup::kView;
    if (!taken && Host().getInfo != nullptr && name.size() < sizeof DictionaryExchange::fileName) {
        DictionaryExchange info;
        std::memset(&info, 0, sizeof info);
        std::memcpy(info.fileName, name.data(), name.size());
        Host().getInfo(hostContext, OBHOST_INFO_FILE, &info);
        taken = info.itemCount > 0;
    }
    if (taken) return statement.ifExists ? Status() : Status(Error::Message(kMsgTableExists, name.c_str()));
    ViewContext context;
    context.hostContext = hostContext;
    context.memoValues = memoValues;
    context.rows = ViewContext::Rows::kDescribe;
    CompiledView compiled;
    std::vector<std::string> names;
    Status status = CompileView(context, name, statement.viewText, compiled);
    if (status.ok()) status = MakeResult(context.rows, compiled);
    if (!status.ok()) return ViewFailure(name, status);
    return NameColumns(name, statement.columns, *compiled.result, names);
}

}  // namespace qx
