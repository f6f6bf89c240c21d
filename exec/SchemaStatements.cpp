#include "exec/SchemaStatements.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// Calls the host; a refusal becomes the plan's error.  True when accepted.
bool Describe(QueryPlan& plan, int operation, FileDescription* area) {
    const HostCallbacks& host = Host();
    area->result = 0;
    if (host.describeFile == nullptr) {
        plan.SetError(MessageText(kMsgInternalError, "OBECRITFICHIER"), nullptr);
        return false;
    }
    host.describeFile(plan.dictionary != nullptr ? plan.dictionary->hostContext : 0, operation, area);
    if (area->result <= 0) return true;
    char message[sizeof area->message + 1];
    std::memcpy(message, area->message, sizeof area->message);
    message[sizeof area->message] = '\0';
    plan.SetError(message, nullptr);
    return false;
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

namespace {

// Creates key `keyName` of `table` over `items` (unique or with
// duplicates) through the host.  True when made.
bool CreateKey(QueryPlan& plan, const std::string& table, const std::string& keyName,
               const std::vector<std::string>& items, bool unique) {
    FileDescription area;
    std::memset(&area, 0, sizeof area);
    std::size_t length = 0;
    for (const std::string& item : items) {
        std::size_t add = item.size() + (length != 0 ? 1 : 0);
        if (length + add > kKeyItemsLength) {
            plan.SetError(MessageText(kMsgIncorrectItemList), nullptr);
            return false;
        }
        if (length != 0) area.u.keyItems[length] = ',';
        std::memcpy(area.u.keyItems + length + (length != 0 ? 1 : 0), item.data(), item.size());
        length += add;
    }
    CopyName(area.itemName, sizeof area.itemName, keyName.c_str());
    area.keyMode = unique ? 1 : 2;
    CopyName(area.fileName, sizeof area.fileName, table.c_str());
    return Describe(plan, 2, &area) && Describe(plan, 3, &area);
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
    if (!Describe(plan, 0, &area)) return;
    for (const ColumnDefinition& column : statement.definitions) {
        if (column.typeKeyword == 0) continue;
        CopyName(area.itemName, sizeof area.itemName, column.name.c_str());
        area.u.item.itemKind = static_cast<std::uint8_t>(ItemKindLetter(column.typeKeyword));
        area.u.item.itemSize = static_cast<std::uint16_t>(column.size & 0xFFFF);
        if (!Describe(plan, 1, &area)) return;
    }
    if (!Describe(plan, 3, &area)) return;
    // The keys, once the file exists; a key on one item that an earlier
    // one already made (PRIMARY KEY UNIQUE) is made once.
    std::vector<std::string> keyed;
    int uniqueLists = 0;
    for (const TableKey& key : statement.keys) {
        if (key.items.size() == 1 && std::find(keyed.begin(), keyed.end(), key.items.front()) != keyed.end()) continue;
        if (key.items.size() == 1) keyed.push_back(key.items.front());
        if (key.items.size() > 1 && !key.primary) ++uniqueLists;
        if (!CreateKey(plan, statement.table, KeyName(key, uniqueLists), key.items, true)) return;
    }
}

void ExecuteCreateIndex(QueryPlan& plan) {
    const BoundStatement& statement = *plan.statement;
    if (!statement.hasColumnList) return;
    if (!NameFits(plan, statement.indexName.c_str(), kItemNameLength, false) ||
        !NameFits(plan, statement.table.c_str(), kFileNameLength, true))
        return;
    CreateKey(plan, statement.table, statement.indexName, statement.columns, statement.uniqueIndex);
}

}  // namespace qx
