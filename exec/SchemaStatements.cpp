#include "exec/SchemaStatements.h"

#include <cstdio>
#include <cstring>

#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/QueryDictionary.h"
#include "lexer/TokenKinds.h"
#include "parser/SyntaxNode.h"
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

void ExecuteCreateTable(QueryPlan& plan, const SyntaxNode* statement) {
    const SyntaxNode* tableName = statement->child;
    const SyntaxNode* columns = tableName != nullptr ? tableName->next : nullptr;
    if (tableName == nullptr || columns == nullptr) return;
    if (!NameFits(plan, tableName->text, kFileNameLength, true)) return;
    for (const SyntaxNode* column = columns->child; column != nullptr; column = column->next)
        if (column->child != nullptr && !NameFits(plan, column->child->text, kItemNameLength, false)) return;

    FileDescription area;
    std::memset(&area, 0, sizeof area);
    CopyName(area.fileName, sizeof area.fileName, tableName->text);
    std::memcpy(area.fileSuffix, "__", 3);
    if (!Describe(plan, 0, &area)) return;
    for (const SyntaxNode* column = columns->child; column != nullptr; column = column->next) {
        const SyntaxNode* name = column->child;
        const SyntaxNode* type = name != nullptr ? name->next : nullptr;
        if (type == nullptr) continue;
        CopyName(area.itemName, sizeof area.itemName, name->text);
        area.u.item.itemKind = static_cast<std::uint8_t>(ItemKindLetter(type->kind));
        area.u.item.itemSize = static_cast<std::uint16_t>(type->aux & 0xFFFF);
        if (!Describe(plan, 1, &area)) return;
    }
    Describe(plan, 3, &area);
}

void ExecuteCreateIndex(QueryPlan& plan, const SyntaxNode* statement) {
    const SyntaxNode* indexName = statement->child;
    const SyntaxNode* tableName = indexName != nullptr ? indexName->next : nullptr;
    const SyntaxNode* keyItems = tableName != nullptr ? tableName->next : nullptr;
    if (keyItems == nullptr) return;
    if (!NameFits(plan, indexName->text, kItemNameLength, false) ||
        !NameFits(plan, tableName->text, kFileNameLength, true))
        return;

    FileDescription area;
    std::memset(&area, 0, sizeof area);
    std::size_t length = 0;
    for (const SyntaxNode* item = keyItems->child; item != nullptr; item = item->next) {
        std::size_t add = std::strlen(item->text) + (length != 0 ? 1 : 0);
        if (length + add > kKeyItemsLength) {
            plan.SetError(MessageText(kMsgIncorrectItemList), nullptr);
            return;
        }
        if (length != 0) area.u.keyItems[length] = ',';
        std::memcpy(area.u.keyItems + length + (length != 0 ? 1 : 0), item->text, std::strlen(item->text));
        length += add;
    }
    CopyName(area.itemName, sizeof area.itemName, indexName->text);
    area.keyMode = indexName->aux == 1 ? 1 : 2;
    CopyName(area.fileName, sizeof area.fileName, tableName->text);
    if (!Describe(plan, 2, &area)) return;
    Describe(plan, 3, &area);
}

}  // namespace qx
