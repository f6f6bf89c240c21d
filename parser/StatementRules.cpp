// Statement rules of the grammar: the statement root with its set
// operator, queries, select bodies and select lists, table references,
// column and order lists, CREATE TABLE / VIEW / [UNIQUE] INDEX with column
// definitions, DROP, INSERT, UPDATE with its assignments, and DELETE.
//
// Besides building nodes these rules note the names of a statement
// (StatementNames): every table and correlation name of FROM (with `allItems`
// when the select list was "*", and `usedName` on the name the statement
// uses), the tables of INSERT, UPDATE, DELETE and CREATE INDEX (`allItems`
// for an INSERT without column list), and every name of a column list or
// assignment.  CREATE TABLE and DROP note no table (the tables of CREATE
// VIEW's query are noted, but the view is compiled on its own), and the
// ORDER BY list notes nothing.  Conditions and simple items are the
// business of ExpressionRules.cpp.
#include <cstdint>
#include <cstring>

#include "base/Messages.h"
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/Parser.h"
#include "parser/SyntaxNode.h"

namespace qx {

namespace {

bool IsSetOperator(std::uint16_t kind) { return kind == kKwExcept || kind == kKwIntersect || kind == kKwUnion; }

// The declared length of a CHAR or VARCHAR column; lengths beyond the range
// of `aux` are kept as its largest value (the host refuses them later).
std::int32_t DeclaredLength(const char* digits) {
    std::int64_t value = 0;
    for (const char* p = digits; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::int16_t Parser::NameLeaf(const char* text, std::int16_t position, ChildChain* chain, SyntaxNode** leaf,
                              int message) {
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0 || token.kind != kTokIdentifier) return Missing(next, message, position);
    SyntaxNode* node = AddLeaf(chain, token, kTokIdentifier);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    if (leaf != nullptr) *leaf = node;
    return next;
}

std::int16_t Parser::NoteTable(const char* name, std::int16_t at, std::size_t* ref) {
    std::size_t table = 0;
    try {
        table = names.FindOrAdd(name);
    } catch (const std::bad_alloc&) {
        return Fail(kMsgOutOfMemory, at);
    }
    if (ref != nullptr) *ref = table;
    return 0;
}

namespace {

bool StartsStatement(std::uint16_t kind) {
    return kind == kKwSelect || kind == kKwDeleteFrom || kind == kKwDropTable || kind == kKwDropView ||
           kind == kKwInsertInto || kind == kKwUpdate || kind == kKwCreate;
}

}  // namespace

// statement: "BEGIN" | "COMMIT" | "ROLLBACK" ["TRANSACTION"], or
// ["EXPLAIN"] (SELECT query [set operator query] | DELETE FROM | DROP TABLE |
// DROP VIEW | INSERT INTO | UPDATE | CREATE), then ";".
std::int16_t Parser::Statement(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* root = Begin(FON_REQUETE, out);
    if (root == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(root);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgPrematureEnd, position));
    // EXPLAIN is a word by its place, not a keyword: only before the first
    // word of a statement does it ask for the plan.
    if (token.kind == kTokIdentifier && std::strcmp(token.text, "EXPLAIN") == 0) {
        Token following;
        std::int16_t after = ReadToken(text, next, false, &following);
        if (after >= 0 && StartsStatement(following.kind)) {
            root->aux = kExplainStatement;
            position = next;
            next = ReadToken(text, position, false, &token);
            if (next < 0) return Abandon(out, Missing(next, kMsgPrematureEnd, position));
        }
    }

    // BEGIN, COMMIT and ROLLBACK [TRANSACTION] are words by their place: alone as the
    // statement; anything else after them stays the syntax error it always was.
    std::int32_t word = IsWord(token, "BEGIN")      ? kBeginStatement
                        : IsWord(token, "COMMIT")   ? kCommitStatement
                        : IsWord(token, "ROLLBACK") ? kRollbackStatement
                                                    : 0;
    if (word != 0 && root->aux == 0) {
        Token following;
        std::int16_t after = ReadToken(text, next, false, &following);
        if (after >= 0 && IsWord(following, "TRANSACTION")) after = ReadToken(text, after, false, &following);
        if (after >= 0 && following.kind == kPunSemicolon) {
            root->aux = word;
            return after;
        }
    }

    const std::uint16_t first = token.kind;
    SyntaxNode* part = nullptr;
    std::int16_t end;
    switch (first) {
    case kKwSelect: end = Query(text, position, &part); break;
    case kKwDeleteFrom: end = Delete(text, next, &part); break;
    case kKwDropTable:
    case kKwDropView: end = Drop(text, next, &part, first == kKwDropView); break;
    case kKwInsertInto: end = Insert(text, next, &part); break;
    case kKwUpdate: end = Update(text, next, &part); break;
    case kKwCreate: end = Create(text, next, &part); break;
    case kTokIdentifier: {
        // DROP INDEX and ALTER TABLE: words known by their place.
        bool dropIndex = WordThen(text, position, "DROP", kKwIndex);
        if (!dropIndex && !WordThen(text, position, "ALTER", kKwTable))
            return Abandon(out, Fail(kMsgSyntaxError, position));
        std::int16_t after = ReadToken(text, next, false, &token);  // past INDEX or TABLE
        if (after < 0) return Abandon(out, Missing(after, kMsgSyntaxError, next));
        end = dropIndex ? DropIndex(text, after, &part) : AlterTable(text, after, &part);
        break;
    }
    default: return Abandon(out, Fail(kMsgSyntaxError, position));
    }
    if (end < 0) return Abandon(out, end);
    chain.Add(part);

    if (first == kKwSelect) {
        end = SetOperand(text, end, &chain);
        if (end < 0) return Abandon(out, end);
    }
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunSemicolon) return Abandon(out, Missing(next, kMsgSemicolonExpected, end));
    return next;
}

// After a query: [("UNION" ["ALL"] | "INTERSECT" | "EXCEPT") query], its
// leaves and query appended to `chain`.
std::int16_t Parser::SetOperand(const char* text, std::int16_t end, ChildChain* chain) {
    Token token;
    std::int16_t next = ReadOptional(text, end, &token);
    if (next < 0) return next;
    if (!IsSetOperator(token.kind)) return end;
    if (AddLeaf(chain, token, token.kind) == nullptr) return Fail(kMsgOutOfMemory, end);
    std::int16_t second = next;
    if (token.kind == kKwUnion) {
        const std::int16_t afterUnion = next;
        next = ReadToken(text, afterUnion, false, &token);
        if (next < 0) return Missing(next, kMsgSyntaxError, afterUnion);
        if (token.kind == kKwAll) {
            if (AddLeaf(chain, token, kKwAll) == nullptr) return Fail(kMsgOutOfMemory, afterUnion);
            second = next;
        }
    }
    SyntaxNode* part = nullptr;
    end = Query(text, second, &part);
    if (end < 0) return end;
    chain->Add(part);
    return end;
}

// query: select body ["ORDER BY" order list] ["LIMIT" n ["OFFSET" m]]; LIMIT
// and OFFSET are words known by their place, not keywords.
std::int16_t Parser::Query(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_REQUETE_SELECTION, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* part = nullptr;
    std::int16_t end = SelectBody(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    Token token;
    std::int16_t next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind == kKwOrderBy) {
        end = OrderList(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
    }
    if (!IsWord(token, "LIMIT")) return end;
    std::int32_t count = 0;
    end = WholeNumber(text, next, &count);
    if (end < 0) return Abandon(out, end);
    SyntaxNode* limit = AddLeaf(&chain, token, kNodeLimit, count);
    if (limit == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, next));
    next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (!IsWord(token, "OFFSET")) return end;
    end = WholeNumber(text, next, &count);
    if (end < 0) return Abandon(out, end);
    ChildChain offset(limit);
    if (AddLeaf(&offset, token, kNodeLimit, count) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, next));
    return end;
}

bool Parser::StartsLimit(const char* text, std::int16_t position) {
    Token word, number;
    std::int16_t next = ReadToken(text, position, false, &word);
    if (next < 0 || !IsWord(word, "LIMIT")) return false;
    return ReadToken(text, next, false, &number) >= 0 && number.kind == kTokInteger;
}

bool Parser::IsWord(const Token& token, const char* word) {
    return token.kind == kTokIdentifier && token.text != nullptr && std::strcmp(token.text, word) == 0;
}

std::int16_t Parser::WholeNumber(const char* text, std::int16_t position, std::int32_t* value) {
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0 || token.kind != kTokInteger) return Missing(next, kMsgNumberExpected, position);
    long long n = 0;
    for (const char* c = token.text; *c >= '0' && *c <= '9'; ++c) n = n < INT32_MAX ? n * 10 + (*c - '0') : n;
    *value = n > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(n);
    return next;
}

// select body: "SELECT" select list ["FROM" table list ["WHERE" cond]
//              ["GROUP BY" column list ["HAVING" cond]]]; without FROM the
//              select list is computed once.
std::int16_t Parser::SelectBody(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_SOUS_SELECT, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0 || token.kind != kKwSelect) return Abandon(out, Missing(next, kMsgSelectExpected, position));

    SyntaxNode* part = nullptr;
    std::int16_t end = SelectedItems(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);

    next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind != kKwFrom) {
        if (Begin(FON_TABLE_REF_VIRGULE_LISTE, &part) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        chain.Add(part);
        return end;
    }
    end = TableList(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);

    next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind == kKwWhere) {
        end = Condition(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
    }
    if (token.kind != kKwGroupBy) return end;
    end = GroupList(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);

    next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind != kKwHaving) return end;
    if (AddLeaf(&chain, token, kKwHaving) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
    end = Condition(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    return end;
}

// select list: "*" alone (every item of every table), or ["ALL" | "DISTINCT"]
// select entry {"," select entry}
std::int16_t Parser::SelectedItems(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_ITEM_SELECTIONNE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgIncorrectSelectedItem, position));
    if (token.kind == kOpStar) {
        Token after;
        std::int16_t afterStar = ReadOptional(text, next, &after);
        if (afterStar < 0) return Abandon(out, afterStar);
        if (after.kind != kPunComma) {
            if (AddLeaf(&chain, token, kOpStar) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
            allColumns = 1;
            return next;
        }
    }
    std::int16_t listStart = position;
    if (token.kind == kKwAll || token.kind == kKwDistinct) {
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        listStart = next;
    }
    SyntaxNode* part = nullptr;
    std::int16_t end = SelectionItemList(text, listStart, &part);
    if (end == -kMsgTypeMismatch) end = Fail(kMsgIncorrectSelectedItem, listStart);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    return end;
}

// selection list: select entry {"," select entry}
std::int16_t Parser::SelectionItemList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_SELECTION_ITEM_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* part = nullptr;
    std::int16_t end = SelectionItem(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    Token token;
    for (;;) {
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kPunComma) return end;
        end = SelectionItem(text, next, &part);
        if (end == -kMsgTypeMismatch) end = Fail(kMsgSimpleItemExpected, next);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
    }
}

// select entry: "*" | table ".*" | value expression [["AS"] name].  The
// entry's text is the expression as written: it names a computed column
// that has no name of its own.  Every "*" asks for all items of the tables.
std::int16_t Parser::SelectionItem(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_SELECTION_ITEM, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next == -kMsgOutOfMemory) return Abandon(out, Fail(kMsgOutOfMemory, position));
    if (next < 0) return Abandon(out, -kMsgTypeMismatch);
    if (token.kind == kOpStar) {
        if (AddLeaf(&chain, token, kOpStar) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        allColumns = 1;
        return next;
    }
    if (token.kind == kTokIdentifier) {
        // TABLE.* reads as the identifier "TABLE." and then "*".
        std::size_t length = std::strlen(token.text);
        Token star;
        std::int16_t afterStar = ReadOptional(text, next, &star);
        if (afterStar < 0) return Abandon(out, afterStar);
        if (length > 1 && token.text[length - 1] == '.' && star.kind == kOpStar) {
            token.text[length - 1] = '\0';
            if (AddLeaf(&chain, token, kOpStar) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
            allColumns = 1;
            return afterStar;
        }
    }
    if (!StartsValue(token.kind)) return Abandon(out, -kMsgTypeMismatch);
    SyntaxNode* part = nullptr;
    std::int16_t end = ItemCompare(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    node->text = tree_.Text(text + position, static_cast<std::size_t>(end - position));
    if (node->text == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
    next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind == kKwAs) {
        end = NameLeaf(text, next, &chain);
    } else if (token.kind == kTokIdentifier && !StartsLimit(text, end)) {
        end = NameLeaf(text, end, &chain);  // a name without AS
    }
    if (end < 0) return Abandon(out, end);
    return end;
}

// table list: table reference {("," | [INNER] JOIN | CROSS JOIN | LEFT [OUTER] JOIN)
// table reference [ON condition]}; the join words are known by their place.
std::int16_t Parser::TableList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_TABLE_REF_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* part = nullptr;
    std::int16_t end = TableReference(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    Token token;
    for (;;) {
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        JoinKind join = JoinKind::kNone;
        std::int16_t afterJoin = JoinAt(text, end, &join);
        if (token.kind != kPunComma && join == JoinKind::kNone) return end;
        end = TableReference(text, join == JoinKind::kNone ? next : afterJoin, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        if (join == JoinKind::kNone || join == JoinKind::kCross) continue;
        // [INNER | LEFT [OUTER]] JOIN table ON condition: the condition
        // goes with the joined table, its aux telling the kind of join.
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kKwOn) return Abandon(out, Missing(next, kMsgOnExpected, end));
        SyntaxNode* on = nullptr;
        end = Condition(text, next, &on);
        if (end < 0) return Abandon(out, end);
        on->aux = static_cast<std::int32_t>(join);
        part->AttachChild(on, false);
    }
}

std::int16_t Parser::JoinAt(const char* text, std::int16_t position, JoinKind* join) {
    *join = JoinKind::kNone;
    Token word;
    std::int16_t next = ReadToken(text, position, false, &word);
    if (next < 0) return position;
    JoinKind kind = IsWord(word, "JOIN")    ? JoinKind::kInner
                    : IsWord(word, "INNER") ? JoinKind::kInner
                    : IsWord(word, "CROSS") ? JoinKind::kCross
                    : IsWord(word, "LEFT")  ? JoinKind::kLeft
                                            : JoinKind::kNone;
    if (kind == JoinKind::kNone) return position;
    if (!IsWord(word, "JOIN")) {
        // INNER JOIN, CROSS JOIN, LEFT [OUTER] JOIN
        next = ReadToken(text, next, false, &word);
        if (next >= 0 && kind == JoinKind::kLeft && IsWord(word, "OUTER")) next = ReadToken(text, next, false, &word);
        if (next < 0 || !IsWord(word, "JOIN")) return position;
    }
    // A table name must follow: otherwise the word is a name.
    Token table;
    if (ReadToken(text, next, false, &table) < 0 || table.kind != kTokIdentifier) return position;
    *join = kind;
    return next;
}

// table reference: ident [["AS"] ident ["(" column list ")"]]
std::int16_t Parser::TableReference(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_TABLE_REF, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* name = nullptr;
    std::int16_t end = NameLeaf(text, position, &chain, &name);
    if (end < 0) return Abandon(out, end);
    std::size_t table = 0;
    std::int16_t noted = NoteTable(name->text, position, &table);
    if (noted < 0) return Abandon(out, noted);
    if (allColumns != 0) names.tables[table].allItems = true;

    Token token;
    std::int16_t next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    std::int16_t aliasStart = -1;
    if (token.kind == kKwAs) aliasStart = next;
    else if (token.kind == kTokIdentifier && !StartsLimit(text, end) && !StartsJoin(text, end)) aliasStart = end;
    if (aliasStart < 0) {
        names.tables[table].usedName = true;
        return end;
    }

    SyntaxNode* alias = nullptr;
    end = NameLeaf(text, aliasStart, &chain, &alias);
    if (end < 0) return Abandon(out, end);
    try {
        names.tables[names.FindOrAdd(alias->text, table)].usedName = true;
    } catch (const std::bad_alloc&) {
        return Abandon(out, Fail(kMsgOutOfMemory, aliasStart));
    }

    next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind != kPunLeftParen) return end;
    SyntaxNode* part = nullptr;
    end = ColumnList(text, next, &part);
    if (end < 0) return Abandon(out, Replace(end, kMsgIncorrectItemList, next));
    chain.Add(part);
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
    return next;
}

// column list: ident {"," ident}; every name is noted as an item name.
std::int16_t Parser::ColumnList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COLONNE_REF_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* name = nullptr;
    std::int16_t end = NameLeaf(text, position, &chain, &name);
    if (end < 0) return Abandon(out, end);
    NoteItem(name->text);
    Token token;
    for (;;) {
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kPunComma) return end;
        end = NameLeaf(text, next, &chain, &name);
        if (end < 0) return Abandon(out, end);
        NoteItem(name->text);
    }
}

// group list: value expression {"," value expression}, each with its text as
// written (a select-list entry written the same way is grouped).
std::int16_t Parser::GroupList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COLONNE_REF_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t start = position;
    for (;;) {
        std::int16_t end = ReadToken(text, start, false, &token);
        if (end < 0 || !StartsValue(token.kind)) return Abandon(out, Missing(end, kMsgIdentifierExpected, start));
        SyntaxNode* key = nullptr;
        end = ItemCompare(text, start, &key);
        if (end < 0) return Abandon(out, end);
        chain.Add(key);
        key->text = tree_.Text(text + start, static_cast<std::size_t>(end - start));
        if (key->text == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, start));
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kPunComma) return end;
        start = next;
    }
}

// order list: key ["ASC" | "DESC"] {"," key ["ASC" | "DESC"]}, a key being
// the position of a column of the result or a value expression (a column's
// name among them, its text the expression as written); `aux` 1 marks a
// descending key.
std::int16_t Parser::OrderList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COLONNE_REF_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t start = position;
    int message = kMsgIdentifierExpected;
    for (;;) {
        SyntaxNode* name = nullptr;
        std::int16_t end = ReadToken(text, start, false, &token);
        Token after;
        bool position = end >= 0 && token.kind == kTokInteger;
        if (position) {
            // A whole number alone is a position; followed by an operator it starts an expression.
            std::int16_t next = ReadOptional(text, end, &after);
            if (next < 0) return Abandon(out, next);
            position = after.kind == kPunComma || after.kind == kKwAsc || after.kind == kKwDesc ||
                       after.kind == kTokNone || after.kind == kPunSemicolon || after.kind == kPunRightParen ||
                       IsWord(after, "LIMIT");
        }
        if (position) {
            name = AddLeaf(&chain, token, kTokInteger);
            if (name == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, start));
        } else if (end >= 0 && StartsValue(token.kind)) {
            end = ItemCompare(text, start, &name);
            if (end < 0) return Abandon(out, end);
            chain.Add(name);
            name->text = tree_.Text(text + start, static_cast<std::size_t>(end - start));
            if (name->text == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, start));
        } else {
            end = NameLeaf(text, start, &chain, &name, message);
        }
        if (end < 0) return Abandon(out, end);
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind == kKwAsc || token.kind == kKwDesc) {
            name->aux = token.kind == kKwDesc ? 1 : 0;
            end = next;
            next = ReadOptional(text, end, &token);
            if (next < 0) return Abandon(out, next);
        }
        if (token.kind != kPunComma) return end;
        start = next;
        message = kMsgIncorrectList;
    }
}

// CREATE TABLE | VIEW | INDEX | UNIQUE INDEX.  Any other token after CREATE
// (the closing ";" included) fails with 4259 at that token, so a CREATE
// never succeeds without a statement node.
std::int16_t Parser::Create(const char* text, std::int16_t position, SyntaxNode** out) {
    *out = nullptr;
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Missing(next, kMsgSyntaxError, position);
    switch (token.kind) {
    case kKwTable: return CreateTable(text, next, out);
    case kKwView: return CreateView(text, next, out);
    case kKwIndex: return CreateIndex(text, next, out, 0);
    case kKwUnique: {
        std::int16_t afterUnique = next;
        next = ReadToken(text, afterUnique, false, &token);
        if (next < 0 || token.kind != kKwIndex) return Missing(next, kMsgIndexExpected, afterUnique);
        return CreateIndex(text, next, out, 1);
    }
    default: return Fail(kMsgSyntaxError, position);
    }
}

// create table: ident "(" column definition {"," column definition} ")"
std::int16_t Parser::CreateTable(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_REQUETE_CREATION_TABLE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    position = IfExists(text, position, true, node);
    std::int16_t end = NameLeaf(text, position, &chain);
    if (end < 0) return Abandon(out, end);
    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunLeftParen) return Abandon(out, Missing(next, kMsgLeftParenthesis, end));
    SyntaxNode* part = nullptr;
    end = ColumnDefinitionList(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
    return next;
}

// column definition list: element {"," element}, an element being a column
// definition or a key over columns: ("PRIMARY KEY" | "UNIQUE") "(" column
// list ")", a column list node whose `aux` is the keyword.
std::int16_t Parser::ColumnDefinitionList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COLONNE_DEF_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    for (std::int16_t start = position;;) {
        SyntaxNode* part = nullptr;
        std::int16_t end;
        std::int16_t next = ReadToken(text, start, false, &token);
        if (next >= 0 && (token.kind == kKwPrimaryKey || token.kind == kKwUnique)) {
            const std::int32_t keyword = token.kind;
            std::int16_t afterKeyword = next;
            next = ReadToken(text, afterKeyword, false, &token);
            if (next < 0 || token.kind != kPunLeftParen)
                return Abandon(out, Missing(next, kMsgLeftParenthesis, afterKeyword));
            end = ColumnList(text, next, &part);
            if (end < 0) return Abandon(out, end);
            part->aux = keyword;
            next = ReadToken(text, end, false, &token);
            if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
            end = next;
        } else {
            end = ColumnDefinition(text, start, &part);
            if (end < 0) return Abandon(out, end);
        }
        chain.Add(part);
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kPunComma) return end;
        start = next;
    }
}

// column definition: ident type {constraint}
//   type: DATE | INTEGER | TIME | SMALLINT | REAL | BIGINT | TINYINT
//         | DOUBLE [PRECISION] | (CHAR | VARCHAR) "(" unsigned integer ")"
//   constraint: NOT NULL | DEFAULT si | WITH DEFAULT si | PRIMARY KEY | UNIQUE | FOREIGN KEY
std::int16_t Parser::ColumnDefinition(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COLONNE_DEF, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    std::int16_t end = NameLeaf(text, position, &chain);
    if (end < 0) return Abandon(out, end);

    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgTypeMismatch, end));
    SyntaxNode* type = nullptr;
    switch (token.kind) {
    case kKwDate:
    case kKwInteger:
    case kKwTime:
    case kKwSmallint:
    case kKwReal:
    case kKwBigint:
    case kKwTinyint:
    case kKwDouble:
    case kKwChar:
    case kKwVarchar:
        type = AddLeaf(&chain, token, token.kind);
        if (type == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        break;
    default: return Abandon(out, Fail(kMsgTypeMismatch, end));
    }
    end = next;
    if (type->kind == kKwDouble) {
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind == kKwPrecision) end = next;
    } else if (type->kind == kKwChar || type->kind == kKwVarchar) {
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunLeftParen) return Abandon(out, Missing(next, kMsgLeftParenthesis, end));
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kTokInteger) return Abandon(out, Missing(next, kMsgNumberExpected, end));
        type->aux = DeclaredLength(token.text);
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
        end = next;
    }

    for (;;) {
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        switch (token.kind) {
        case kKwNot: {
            if (AddLeaf(&chain, token, kKwNot) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
            std::int16_t afterNot = next;
            next = ReadToken(text, afterNot, false, &token);
            if (next < 0 || token.kind != kKwNull) return Abandon(out, Missing(next, kMsgNullExpected, afterNot));
            end = next;
            break;
        }
        case kKwWith:
        case kKwDefault: {
            if (token.kind == kKwWith) {
                std::int16_t afterWith = next;
                next = ReadToken(text, afterWith, false, &token);
                if (next < 0 || token.kind != kKwDefault)
                    return Abandon(out, Missing(next, kMsgDefaultExpected, afterWith));
            }
            SyntaxNode* defaultLeaf = AddLeaf(&chain, token, kKwDefault);
            if (defaultLeaf == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
            SyntaxNode* value = nullptr;
            end = SimpleItem(text, next, &value);
            if (end == -kMsgTypeMismatch) end = Fail(kMsgSimpleItemExpected, next);
            if (end < 0) return Abandon(out, end);
            defaultLeaf->AttachChild(value, false);
            break;
        }
        case kKwPrimaryKey:
        case kKwUnique:
        case kKwForeignKey:
            if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
            end = next;
            break;
        default: return end;
        }
    }
}

// create index: ident "ON" ident "(" column list ")"; the index-name leaf
// carries `unique` (1 for CREATE UNIQUE INDEX) in its `aux`.
std::int16_t Parser::CreateIndex(const char* text, std::int16_t position, SyntaxNode** out, std::int32_t unique) {
    SyntaxNode* node = Begin(FON_REQUETE_CREATION_INDEX, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    position = IfExists(text, position, true, node);
    SyntaxNode* name = nullptr;
    std::int16_t end = NameLeaf(text, position, &chain, &name);
    if (end < 0) return Abandon(out, end);
    name->aux = unique;

    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kKwOn) return Abandon(out, Missing(next, kMsgOnExpected, end));
    SyntaxNode* table = nullptr;
    end = NameLeaf(text, next, &chain, &table);
    if (end < 0) return Abandon(out, end);
    std::int16_t noted = NoteTable(table->text, next, nullptr);
    if (noted < 0) return Abandon(out, noted);

    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunLeftParen) return Abandon(out, Missing(next, kMsgLeftParenthesis, end));
    SyntaxNode* part = nullptr;
    end = KeyItemList(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
    return next;
}

// create view: ["IF" "NOT" "EXISTS"] ident ["(" column list ")"] "AS" query
// [set operator query].  The first query node's text is the whole SELECT
// as written, which is what the host keeps.
std::int16_t Parser::CreateView(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_REQUETE_CREATION_VUE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    position = IfExists(text, position, true, node);
    std::int16_t end = NameLeaf(text, position, &chain);
    if (end < 0) return Abandon(out, end);

    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgSyntaxError, end));
    SyntaxNode* part = nullptr;
    if (token.kind == kPunLeftParen) {
        end = ColumnList(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunRightParen)
            return Abandon(out, Missing(next, kMsgRightParenthesis, end));
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next < 0) return Abandon(out, Missing(next, kMsgSyntaxError, end));
    }
    if (token.kind != kKwAs) return Abandon(out, Fail(kMsgSyntaxError, end));
    const std::int16_t start = next;
    end = Query(text, start, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    SyntaxNode* query = part;
    end = SetOperand(text, end, &chain);
    if (end < 0) return Abandon(out, end);
    query->text = tree_.Text(text + start, static_cast<std::size_t>(end - start));
    if (query->text == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, start));
    return end;
}

// drop: ["IF" "EXISTS"] ident ["RESTRICT" | "CASCADE"]; `view` for DROP VIEW.
std::int16_t Parser::Drop(const char* text, std::int16_t position, SyntaxNode** out, bool view) {
    SyntaxNode* node = Begin(FON_REQUETE_DESTRUCTION_TABLE_VUE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    if (view) node->aux |= kDropsView;
    ChildChain chain(node);
    position = IfExists(text, position, false, node);
    std::int16_t end = NameLeaf(text, position, &chain);
    if (end < 0) return Abandon(out, end);
    Token token;
    std::int16_t next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind != kKwRestrict && token.kind != kKwCascade) return end;
    if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
    return next;
}

// insert: ident ["(" column list ")"] (select body | "VALUES" row {"," row}), row: "(" si {"," si} ")"
std::int16_t Parser::Insert(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_REQUETE_INSERT_ENREG, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* name = nullptr;
    std::int16_t end = NameLeaf(text, position, &chain, &name);
    if (end < 0) return Abandon(out, end);
    std::size_t table = 0;
    std::int16_t noted = NoteTable(name->text, position, &table);
    if (noted < 0) return Abandon(out, noted);

    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgSyntaxError, end));
    SyntaxNode* part = nullptr;
    if (token.kind == kPunLeftParen) {
        end = ColumnList(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunRightParen)
            return Abandon(out, Missing(next, kMsgRightParenthesis, end));
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next < 0) return Abandon(out, Missing(next, kMsgSyntaxError, end));
    } else {
        names.tables[table].allItems = true;
    }

    if (token.kind == kKwSelect) {
        end = SelectBody(text, end, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        return end;
    }
    if (token.kind != kKwValues) return Abandon(out, Fail(kMsgSyntaxError, end));
    end = next;
    // One list of values per row, the rows separated by commas.
    for (;;) {
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunLeftParen) return Abandon(out, Missing(next, kMsgLeftParenthesis, end));
        end = SimpleItemList(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
        end = next;
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kPunComma) return end;
        end = next;
    }
}

// update: ident "SET" assignment {"," assignment} ["WHERE" cond]
std::int16_t Parser::Update(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_REQUETE_MIS_A_JOUR_ENREG, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* name = nullptr;
    std::int16_t end = NameLeaf(text, position, &chain, &name);
    if (end < 0) return Abandon(out, end);
    std::int16_t noted = NoteTable(name->text, position, nullptr);
    if (noted < 0) return Abandon(out, noted);

    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kKwSet) return Abandon(out, Missing(next, kMsgSyntaxError, end));
    SyntaxNode* part = nullptr;
    end = AssignmentList(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);

    next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind != kKwWhere) return end;
    end = Condition(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    return end;
}

std::int16_t Parser::AssignmentList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_AFFECTATION_COLONNE_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* part = nullptr;
    std::int16_t end = Assignment(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    Token token;
    for (;;) {
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kPunComma) return end;
        end = Assignment(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
    }
}

// assignment: ident "=" ("DEFAULT" | "NULL" | "(" ("DEFAULT" | "NULL" | si) ")" | value expression).
// The parenthesised simple item keeps its own node (a value of literals);
// anything else is a value expression over the row's items.
std::int16_t Parser::Assignment(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_AFFECTATION_COLONNE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* column = nullptr;
    std::int16_t end = NameLeaf(text, position, &chain, &column);
    if (end < 0) return Abandon(out, end);
    NoteItem(column->text);

    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kOpEqual) return Abandon(out, Missing(next, kMsgEqualExpected, end));
    const std::int16_t valueStart = next;
    next = ReadToken(text, valueStart, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgItemDefaultNullExpected, valueStart));
    if (token.kind == kKwDefault || token.kind == kKwNull) {
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, valueStart));
        return next;
    }
    if (token.kind == kPunLeftParen) {
        if (std::int16_t closed = ParenthesizedValue(text, next, &chain); closed != 0) {
            if (closed < 0) return Abandon(out, closed);
            return closed;
        }
    }
    SyntaxNode* value = nullptr;
    end = Nested(&Parser::ItemCompare, text, valueStart, &value, valueStart);
    if (end == -kMsgTypeMismatch) end = Fail(kMsgItemDefaultNullExpected, valueStart);
    if (end < 0) return Abandon(out, end);
    chain.Add(value);
    return end;
}

std::int16_t Parser::ParenthesizedValue(const char* text, std::int16_t position, ChildChain* chain) {
    Token first;
    std::int16_t end = ReadToken(text, position, false, &first);
    if (end < 0) return 0;
    SyntaxNode* value = nullptr;
    bool word = first.kind == kKwDefault || first.kind == kKwNull;
    if (!word) {
        std::int16_t savedPosition = errorPosition;
        end = SimpleItem(text, position, &value);
        if (end < 0) {
            if (IsFatal(end)) return end;
            errorPosition = savedPosition;
            return 0;
        }
    }
    Token token;
    std::int16_t next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunRightParen) return 0;
    // "(1) + 2" is an expression: the parentheses must close the value.
    std::int16_t following = ReadOptional(text, next, &token);
    if (following < 0) return following;
    if (token.kind != kPunComma && token.kind != kKwWhere && token.kind != kPunSemicolon && token.kind != kTokNone)
        return 0;
    if (word) {
        if (AddLeaf(chain, first, first.kind) == nullptr) return Fail(kMsgOutOfMemory, position);
    } else {
        chain->Add(value);
    }
    return next;
}

// delete: ident ["WHERE" cond]
std::int16_t Parser::Delete(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_REQUETE_SUPPRESSION_ENREG, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* name = nullptr;
    std::int16_t end = NameLeaf(text, position, &chain, &name);
    if (end < 0) return Abandon(out, end);
    std::int16_t noted = NoteTable(name->text, position, nullptr);
    if (noted < 0) return Abandon(out, noted);
    Token token;
    std::int16_t next = ReadOptional(text, end, &token);
    if (next < 0) return Abandon(out, next);
    if (token.kind != kKwWhere) return end;
    SyntaxNode* part = nullptr;
    end = Condition(text, next, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    return end;
}

}  // namespace qx
