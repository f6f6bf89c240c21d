#include "exec/SchemaStatements.h"

#include <cstdio>
#include <cstring>

#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/QueryDictionary.h"
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

void ExecuteCreateTable(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (statement.table.empty() || !statement.hasColumnList) return;
    if (!NameFits(plan, statement.table.c_str(), kFileNameLength, true)) return;
    for (const ColumnDefinition& column : statement.definitions)
        if (!NameFits(plan, column.name.c_str(), kItemNameLength, false)) return;

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
    Describe(plan, OBHOST_DESCRIBE_CREATE, &area);
}

void ExecuteCreateIndex(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!statement.hasColumnList) return;
    if (!NameFits(plan, statement.indexName.c_str(), kItemNameLength, false) ||
        !NameFits(plan, statement.table.c_str(), kFileNameLength, true))
        return;

    FileDescription area;
    std::memset(&area, 0, sizeof area);
    // "A,B DESC,C": the items, each followed by " DESC" when it orders from its largest value.
    std::string list;
    for (std::size_t i = 0; i < statement.columns.size(); ++i) {
        if (i != 0) list += ',';
        list += statement.columns[i];
        if (i < statement.descending.size() && statement.descending[i]) list += " DESC";
    }
    if (list.size() > kKeyItemsLength) {
        plan.SetError(MessageText(kMsgIncorrectItemList), nullptr);
        return;
    }
    std::memcpy(area.u.keyItems, list.data(), list.size());
    CopyName(area.itemName, sizeof area.itemName, statement.indexName.c_str());
    area.keyMode = statement.uniqueIndex ? 1 : 2;
    CopyName(area.fileName, sizeof area.fileName, statement.table.c_str());
    Refusal refusal;
    refusal.exists = kMsgIndexExists;
    refusal.name = statement.indexName.c_str();
    if (statement.ifExists) refusal.quietResult = OBHOST_RESULT_EXISTS;
    if (!Describe(plan, OBHOST_DESCRIBE_KEY, &area, refusal)) return;
    Describe(plan, OBHOST_DESCRIBE_CREATE, &area);
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
    refusal.notFound = kMsgUnknownTable;
    refusal.name = statement.table.c_str();
    if (statement.ifExists) refusal.quietResult = OBHOST_RESULT_NOT_FOUND;
    Describe(plan, OBHOST_DESCRIBE_DROP_FILE, &area, refusal);
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
        plan.status = Error::Message(kMsgUnknownTable, statement.table.c_str());
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

}  // namespace qx
