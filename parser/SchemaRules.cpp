// Grammar rules of the schema statements that change or remove what exists:
// DROP INDEX, ALTER TABLE, the key items of CREATE INDEX and the
// IF [NOT] EXISTS clause.  DROP, INDEX-less ALTER, IF, ADD, COLUMN, RENAME
// and TO are words known by their place, not keywords, so tables and items
// keep those names.  None of these rules notes a table: the host answers
// for the names they give.
#include <cstring>

#include "base/Messages.h"
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/Parser.h"
#include "parser/SyntaxNode.h"

namespace qx {

bool Parser::WordThen(const char* text, std::int16_t position, const char* first, std::uint16_t kind) {
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0 || !IsWord(token, first)) return false;
    Token second;
    return ReadToken(text, next, false, &second) >= 0 && second.kind == kind;
}

std::int16_t Parser::IfExists(const char* text, std::int16_t position, bool withNot, SyntaxNode* node) {
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0 || !IsWord(token, "IF")) return position;
    if (withNot) {
        next = ReadToken(text, next, false, &token);
        if (next < 0 || token.kind != kKwNot) return position;
    }
    next = ReadToken(text, next, false, &token);
    if (next < 0 || token.kind != kKwExists) return position;
    node->aux |= kIfExistsClause;
    return next;
}

// drop index: ["IF" "EXISTS"] ident ["ON" ident]
std::int16_t Parser::DropIndex(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(kNodeDropIndex, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    position = IfExists(text, position, false, node);
    std::int16_t end = NameLeaf(text, position, &chain);
    if (end < 0) return Abandon(out, end);
    Token token;
    std::int16_t next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind != kKwOn) return end;
    end = NameLeaf(text, next, &chain);
    return end < 0 ? Abandon(out, end) : end;
}

// alter table: ident ("ADD" ["COLUMN"] column definition | "DROP" ["COLUMN"] ident | "RENAME" "TO" ident)
std::int16_t Parser::AlterTable(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(kNodeAlterTable, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    std::int16_t end = NameLeaf(text, position, &chain);
    if (end < 0) return Abandon(out, end);
    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    AlterAction action;
    if (next >= 0 && IsWord(token, "ADD")) action = AlterAction::kAddColumn;
    else if (next >= 0 && IsWord(token, "DROP")) action = AlterAction::kDropColumn;
    else if (next >= 0 && IsWord(token, "RENAME")) action = AlterAction::kRenameTo;
    else return Abandon(out, Missing(next, kMsgSyntaxError, end));
    if (AddLeaf(&chain, token, kTokIdentifier, static_cast<std::int32_t>(action)) == nullptr)
        return Abandon(out, Fail(kMsgOutOfMemory, end));
    end = next;
    // COLUMN after ADD or DROP, TO after RENAME (required there).
    next = ReadToken(text, end, false, &token);
    if (next >= 0 && IsWord(token, action == AlterAction::kRenameTo ? "TO" : "COLUMN")) {
        // "ADD COLUMN INTEGER" adds an item named COLUMN: the word is skipped only before a name.
        Token following;
        if (action == AlterAction::kRenameTo || ReadToken(text, next, false, &following) < 0 ||
            following.kind == kTokIdentifier)
            end = next;
    } else if (action == AlterAction::kRenameTo) {
        return Abandon(out, Missing(next, kMsgSyntaxError, end));
    }
    if (action == AlterAction::kAddColumn) {
        SyntaxNode* column = nullptr;
        end = ColumnDefinition(text, end, &column);
        if (end < 0) return Abandon(out, end);
        chain.Add(column);
        return end;
    }
    end = NameLeaf(text, end, &chain);
    return end < 0 ? Abandon(out, end) : end;
}

std::int16_t Parser::KeyItemList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COLONNE_REF_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    for (;;) {
        SyntaxNode* name = nullptr;
        std::int16_t end = NameLeaf(text, position, &chain, &name);
        if (end < 0) return Abandon(out, end);
        NoteItem(name->text);
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind == kKwAsc || token.kind == kKwDesc) {
            name->aux = token.kind == kKwDesc ? 1 : 0;
            end = next;
            next = ReadOptional(text, end, &token);
            if (next < 0) return Abandon(out, next);
        }
        if (token.kind != kPunComma) return end;
        position = next;
    }
}

}  // namespace qx
