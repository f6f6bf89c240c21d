#include "exec/SchemaStatements.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/QueryDictionary.h"
#include "catalog/ViewDefinition.h"
#include "lexer/TokenKinds.h"
#include "planner/QueryPlan.h"
#include "platform/Utf8.h"

namespace qx {
namespace {

constexpr std::size_t kFileNameLength = 8;   // fileName holds 8 characters and the NUL
constexpr std::size_t kItemNameLength = 10;  // itemName holds 10 characters and the NUL
constexpr std::size_t kKeyItemsLength = 256; // keyItems runs from offset 23 to the keyMode at 280

// A name the host fields cannot hold is refused rather than cut: a cut name
// would create a file or item that the statement's own name never finds.
bool NameFits(QueryPlan& plan, const char* name, std::size_t limit, bool table) {
    if (std::strlen(name) <= limit) return true;
    char reason[160];
    if (EnglishMessages())
        std::snprintf(reason, sizeof reason, "%s name '%.64s' longer than %zu characters", table ? "table" : "item",
                      name, limit);
    else
        std::snprintf(reason, sizeof reason, "nom de %s '%.64s' de plus de %zu caractères",
                      table ? "table" : "rubrique", name, limit);
    plan.SetError(MessageText(kMsgInternalError, reason), nullptr);
    return false;
}

// What a refusal of the host means for one statement: the messages that
// name what is missing or already there (0: the host's own words), and the
// statement for any other refusal (null: the host's own words).
struct Refusal {
    const char* statement = nullptr;  // "DROP TABLE T": 4344 names it
    int notFound = 0;                 // message for OBHOST_RESULT_NOT_FOUND
    int exists = 0;                   // message for OBHOST_RESULT_EXISTS
    const char* name = "";            // its argument
    int quietResult = -1;             // IF [NOT] EXISTS: this result ends the statement without error
};

// Calls the host.  True when the operation was done; false when the
// statement ends there, with the plan's error set unless the refusal was
// `quietResult`.
bool Describe(QueryPlan& plan, int operation, FileDescription* area, const Refusal& refusal = Refusal()) {
    const HostCallbacks& host = Host();
    area->result = OBHOST_RESULT_OK;
    if (host.describeFile == nullptr) {
        plan.SetError(MessageText(kMsgInternalError, "OBECRITFICHIER"), nullptr);
        return false;
    }
    host.describeFile(plan.dictionary != nullptr ? plan.dictionary->hostContext : 0, operation, area);
    if (area->result <= OBHOST_RESULT_OK) return true;
    if (area->result == refusal.quietResult) return false;
    char message[sizeof area->message + 1];
    std::memcpy(message, area->message, sizeof area->message);
    message[sizeof area->message] = '\0';
    if (area->result == OBHOST_RESULT_NOT_FOUND && refusal.notFound != 0)
        plan.status = Error::Message(refusal.notFound, refusal.name);
    else if (area->result == OBHOST_RESULT_EXISTS && refusal.exists != 0)
        plan.status = Error::Message(refusal.exists, refusal.name);
    else if (refusal.statement != nullptr)
        plan.status = Error::Message(kMsgSchemaRefused, refusal.statement, message);
    else
        plan.SetError(message, nullptr);
    return false;
}

// True when the host knows a table named `name`.
bool TableExists(QueryPlan& plan, const std::string& name) {
    const HostCallbacks& host = Host();
    if (host.getInfo == nullptr) return false;
    DictionaryExchange info;
    std::memset(&info, 0, sizeof info);
    platform::CopyUtf8Bounded(info.fileName, name.c_str(), sizeof info.fileName);
    host.getInfo(plan.dictionary != nullptr ? plan.dictionary->hostContext : 0, 0, &info);
    return info.itemCount > 0;
}

void CopyName(char* target, std::size_t capacity, const char* name) {
    platform::CopyUtf8Bounded(target, name, capacity);
}

std::uint16_t HostContextOf(const QueryPlan& plan) {
    return plan.dictionary != nullptr ? plan.dictionary->hostContext : 0;
}

// True when `name` is a view: the plan's error is then 4347.
bool RefuseView(QueryPlan& plan, const std::string& name) {
    if (LookUpView(HostContextOf(plan), name.c_str(), nullptr) != ViewLookup::kView) return false;
    plan.status = WrongObjectKind(name.c_str(), true);
    return true;
}

}  // namespace

char ItemKindLetter(int typeKeyword) {
    switch (typeKeyword) {
        case kKwDate: return 'A';
        case kKwInteger:
        case kKwBigint: return 'L';
        case kKwTime: return 'H';
        case kKwSmallint: return 'E';
        case kKwReal: return 'S';
        case kKwDouble: return 'D';
        case kKwChar:
        case kKwVarchar: return 'T';
        case kKwTinyint: return 'C';
        default: return 'X';
    }
}

namespace {

// Creates key `keyName` of `table` over `items` (unique or with
// duplicates) through the host; `descending[i]` marks an item that orders
// from its largest value ("A,B DESC,C").  True when made.
bool CreateKey(QueryPlan& plan, const std::string& table, const std::string& keyName,
               const std::vector<std::string>& items, const std::vector<bool>& descending, bool unique,
               const Refusal& refusal = Refusal()) {
    FileDescription area;
    std::memset(&area, 0, sizeof area);
    std::string list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) list += ',';
        list += items[i];
        if (i < descending.size() && descending[i]) list += " DESC";
    }
    if (list.size() > kKeyItemsLength) {
        plan.SetError(MessageText(kMsgIncorrectItemList), nullptr);
        return false;
    }
    std::memcpy(area.u.keyItems, list.data(), list.size());
    CopyName(area.itemName, sizeof area.itemName, keyName.c_str());
    area.keyMode = unique ? 1 : 2;
    CopyName(area.fileName, sizeof area.fileName, table.c_str());
    return Describe(plan, OBHOST_DESCRIBE_KEY, &area, refusal) && Describe(plan, OBHOST_DESCRIBE_CREATE, &area);
}

// The name of a key of CREATE TABLE: a key on one item bears its name; a
// key over several is PRIMARYKEY, or UNIQUEn for the n-th UNIQUE list.
std::string KeyName(const TableKey& key, int uniqueLists) {
    if (key.items.size() == 1) return key.items.front();
    return key.primary ? "PRIMARYKEY" : "UNIQUE" + std::to_string(uniqueLists);
}

}  // namespace

void ExecuteCreateTable(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (statement.table.empty() || !statement.hasColumnList) return;
    if (!NameFits(plan, statement.table.c_str(), kFileNameLength, true)) return;
    for (const ColumnDefinition& column : statement.definitions)
        if (!NameFits(plan, column.name.c_str(), kItemNameLength, false)) return;
    // NOT NULL, DEFAULT and FOREIGN KEY have no place in the analysis the
    // host keeps: strict refuses them rather than create a table that
    // would not hold to them; the lenient rules let them pass unkept.
    if (StrictValues(plan.dictionary != nullptr ? plan.dictionary->hostContext : 0)) {
        for (const ColumnDefinition& column : statement.definitions) {
            if (column.unenforced.empty()) continue;
            const char* why = EnglishMessages() ? "the file engine's analysis does not keep it"
                                                : "l'analyse du moteur de fichiers ne la conserve pas";
            plan.SetError(MessageText(kMsgConstraintUnsupported, column.unenforced.front().c_str(),
                                      statement.table.c_str(), column.name.c_str(), why),
                          MessageState(kMsgConstraintUnsupported));
            return;
        }
    }
    int primaryKeys = 0;
    for (const TableKey& key : statement.keys) primaryKeys += key.primary ? 1 : 0;
    if (primaryKeys > 1) {
        plan.SetError(MessageText(kMsgConstraintUnsupported, "PRIMARY KEY", statement.table.c_str(),
                                  statement.keys.front().items.front().c_str(),
                                  EnglishMessages() ? "a table has one primary key" : "une table a une seule clé primaire"),
                      MessageState(kMsgConstraintUnsupported));
        return;
    }

    FileDescription area;
    std::memset(&area, 0, sizeof area);
    CopyName(area.fileName, sizeof area.fileName, statement.table.c_str());
    std::memcpy(area.fileSuffix, "__", 3);
    Refusal refusal;
    refusal.exists = kMsgTableExists;
    refusal.name = statement.table.c_str();
    if (statement.ifExists) refusal.quietResult = OBHOST_RESULT_EXISTS;
    if (!Describe(plan, OBHOST_DESCRIBE_BEGIN, &area, refusal)) return;
    for (const ColumnDefinition& column : statement.definitions) {
        if (column.typeKeyword == 0) continue;
        CopyName(area.itemName, sizeof area.itemName, column.name.c_str());
        area.u.item.itemKind = static_cast<std::uint8_t>(ItemKindLetter(column.typeKeyword));
        area.u.item.itemSize = static_cast<std::uint16_t>(column.size & 0xFFFF);
        if (!Describe(plan, OBHOST_DESCRIBE_ITEM, &area)) return;
    }
    if (!Describe(plan, OBHOST_DESCRIBE_CREATE, &area)) return;
    // The keys, once the file exists; a key on one item that an earlier
    // one already made (PRIMARY KEY UNIQUE) is made once.
    std::vector<std::string> keyed;
    int uniqueLists = 0;
    for (const TableKey& key : statement.keys) {
        if (key.items.size() == 1 && std::find(keyed.begin(), keyed.end(), key.items.front()) != keyed.end()) continue;
        if (key.items.size() == 1) keyed.push_back(key.items.front());
        if (key.items.size() > 1 && !key.primary) ++uniqueLists;
        if (!CreateKey(plan, statement.table, KeyName(key, uniqueLists), key.items, {}, true)) return;
    }
}

void ExecuteCreateIndex(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!statement.hasColumnList) return;
    if (!NameFits(plan, statement.indexName.c_str(), kItemNameLength, false) ||
        !NameFits(plan, statement.table.c_str(), kFileNameLength, true))
        return;

    Refusal refusal;
    refusal.exists = kMsgIndexExists;
    refusal.name = statement.indexName.c_str();
    if (statement.ifExists) refusal.quietResult = OBHOST_RESULT_EXISTS;
    CreateKey(plan, statement.table, statement.indexName, statement.columns, statement.descending,
              statement.uniqueIndex, refusal);
}

void ExecuteDropTable(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!NameFits(plan, statement.table.c_str(), kFileNameLength, true)) return;
    FileDescription area;
    std::memset(&area, 0, sizeof area);
    CopyName(area.fileName, sizeof area.fileName, statement.table.c_str());
    std::string text = "DROP TABLE " + statement.table;
    Refusal refusal;
    refusal.statement = text.c_str();
    refusal.quietResult = OBHOST_RESULT_NOT_FOUND;
    if (Describe(plan, OBHOST_DESCRIBE_DROP_FILE, &area, refusal) || area.result != OBHOST_RESULT_NOT_FOUND) return;
    // No table of that name: a view is never dropped as one, even with IF EXISTS.
    if (!RefuseView(plan, statement.table) && !statement.ifExists)
        plan.status = Error::Message(kMsgUnknownTable, statement.table.c_str());
}

void ExecuteDropIndex(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!NameFits(plan, statement.indexName.c_str(), kItemNameLength, false) ||
        !NameFits(plan, statement.table.c_str(), kFileNameLength, true))
        return;
    if (!statement.table.empty() && !TableExists(plan, statement.table)) {
        if (!statement.ifExists) plan.status = Error::Message(kMsgUnknownTable, statement.table.c_str());
        return;
    }
    FileDescription area;
    std::memset(&area, 0, sizeof area);
    CopyName(area.fileName, sizeof area.fileName, statement.table.c_str());
    CopyName(area.itemName, sizeof area.itemName, statement.indexName.c_str());
    std::string text = "DROP INDEX " + statement.indexName;
    Refusal refusal;
    refusal.statement = text.c_str();
    refusal.notFound = kMsgIndexNotFound;
    refusal.name = statement.indexName.c_str();
    if (statement.ifExists) refusal.quietResult = OBHOST_RESULT_NOT_FOUND;
    Describe(plan, OBHOST_DESCRIBE_DROP_KEY, &area, refusal);
}

void ExecuteAlterTable(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!NameFits(plan, statement.table.c_str(), kFileNameLength, true)) return;
    if (!TableExists(plan, statement.table)) {
        if (!RefuseView(plan, statement.table)) plan.status = Error::Message(kMsgUnknownTable, statement.table.c_str());
        return;
    }
    FileDescription area;
    std::memset(&area, 0, sizeof area);
    CopyName(area.fileName, sizeof area.fileName, statement.table.c_str());
    std::string text = "ALTER TABLE " + statement.table;
    Refusal refusal;
    refusal.statement = text.c_str();
    int operation = OBHOST_DESCRIBE_ADD_ITEM;
    switch (statement.alterAction) {
        case AlterAction::kAddColumn: {
            if (statement.definitions.empty()) return;
            const ColumnDefinition& column = statement.definitions[0];
            if (!NameFits(plan, column.name.c_str(), kItemNameLength, false)) return;
            CopyName(area.itemName, sizeof area.itemName, column.name.c_str());
            area.u.item.itemKind = static_cast<std::uint8_t>(ItemKindLetter(column.typeKeyword));
            area.u.item.itemSize = static_cast<std::uint16_t>(column.size & 0xFFFF);
            refusal.exists = kMsgItemExists;
            refusal.name = column.name.c_str();
            break;
        }
        case AlterAction::kDropColumn:
            if (!NameFits(plan, statement.otherName.c_str(), kItemNameLength, false)) return;
            CopyName(area.itemName, sizeof area.itemName, statement.otherName.c_str());
            operation = OBHOST_DESCRIBE_DROP_ITEM;
            if (Describe(plan, operation, &area, refusal) || area.result != OBHOST_RESULT_NOT_FOUND) return;
            plan.status = Error::Message(kMsgNoSuchItem, statement.otherName.c_str(), statement.table.c_str());
            return;
        case AlterAction::kRenameTo:
            if (!NameFits(plan, statement.otherName.c_str(), kFileNameLength, true)) return;
            CopyName(area.itemName, sizeof area.itemName, statement.otherName.c_str());
            operation = OBHOST_DESCRIBE_RENAME_FILE;
            refusal.exists = kMsgTableExists;
            refusal.name = statement.otherName.c_str();
            break;
    }
    Describe(plan, operation, &area, refusal);
}

void ExecuteCreateView(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!NameFits(plan, statement.table.c_str(), kFileNameLength, true)) return;
    std::string columns;
    for (const std::string& column : statement.columns) {
        if (!NameFits(plan, column.c_str(), kItemNameLength, false)) return;
        columns += (columns.empty() ? "" : ",") + column;
    }
    FileDescription area;
    std::memset(&area, 0, sizeof area);
    CopyName(area.fileName, sizeof area.fileName, statement.table.c_str());
    area.u.view.columns = reinterpret_cast<std::uintptr_t>(columns.c_str());
    area.u.view.text = reinterpret_cast<std::uintptr_t>(statement.viewText.c_str());
    std::string text = "CREATE VIEW " + statement.table;
    Refusal refusal;
    refusal.statement = text.c_str();
    refusal.exists = kMsgTableExists;
    refusal.name = statement.table.c_str();
    if (statement.ifExists) refusal.quietResult = OBHOST_RESULT_EXISTS;
    Describe(plan, OBHOST_DESCRIBE_CREATE_VIEW, &area, refusal);
}

void ExecuteDropView(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!NameFits(plan, statement.table.c_str(), kFileNameLength, true)) return;
    if (LookUpView(HostContextOf(plan), statement.table.c_str(), nullptr) == ViewLookup::kUnsupported) {
        plan.status = Error::Message(kMsgNoViews);
        return;
    }
    FileDescription area;
    std::memset(&area, 0, sizeof area);
    CopyName(area.fileName, sizeof area.fileName, statement.table.c_str());
    std::string text = "DROP VIEW " + statement.table;
    Refusal refusal;
    refusal.statement = text.c_str();
    refusal.quietResult = OBHOST_RESULT_NOT_FOUND;
    if (Describe(plan, OBHOST_DESCRIBE_DROP_VIEW, &area, refusal) || area.result != OBHOST_RESULT_NOT_FOUND) return;
    // A table is never dropped as a view, even with IF EXISTS.
    if (TableExists(plan, statement.table)) plan.status = WrongObjectKind(statement.table.c_str(), false);
    else if (!statement.ifExists) plan.status = Error::Message(kMsgViewNotFound, statement.table.c_str());
}

}  // namespace qx
