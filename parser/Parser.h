// Parser: the recursive-descent parser that turns one statement into a
// syntax tree and, while it reads, notes the tables, correlation names and
// item names the statement mentions (StatementNames).
//
// One Parser exists per statement: the request pipeline builds it, calls
// Parse once and destroys it.  Parse gives the tree (owned by the caller
// from then on) or, on failure, no tree and message 4249 wrapping the
// innermost failure, the token found where it occurred and its 1-based
// position.
//
// Every grammar rule is a member function named after the node kind it
// builds.  A rule takes the statement text, a start position and an
// out-parameter for its node, and gives the position just after what it
// consumed or minus a message number.  It makes its node first and hands it
// to the caller at once through the out-parameter, attaches children as it
// recognises them and, on failure, destroys the node with everything
// attached and sets the out-parameter to null, so no partial tree survives.
// -4252 also means "this construct does not start here": a caller with
// alternatives tries the next one, a caller without turns it into its own
// message.  The rule that detects an error sets `errorPosition` where the
// offending element begins; a result passed up unchanged keeps it.
//
// The statement rules live in StatementRules.cpp, the condition and
// expression rules in ExpressionRules.cpp, the object, the token-reading step
// and the parse entry in Parser.cpp.  Name resolution and typing are left to
// semantic analysis, which reads the finished tree.
#pragma once

#include <cstdint>

#include "base/Error.h"
#include "base/Messages.h"
#include "lexer/Lexer.h"
#include "parser/StatementNames.h"
#include "parser/SyntaxTree.h"

namespace qx {

struct SyntaxNode;

class Parser {
public:
    // Deepest nesting of parenthesised conditions, sub-selects, function
    // arguments and NOT chains, counted together.  Statements of up to
    // 16382 characters could otherwise nest deep enough to exhaust the
    // stack; a statement that goes deeper fails with message 4241.
    static constexpr int kMaxNesting = 128;

    StatementNames names;          // what the statement mentions, filled by Parse
    std::uint16_t allColumns;      // 1 once a select list was the single "*"; never cleared
    Lexer lexer;                   // tokenizer, owned
    char* errorItem;               // owned copy (memory block) of the token shown in an error, or null
    std::int16_t errorPosition;    // where the failing element begins; -1 while unknown
    std::uint16_t parameterCount = 0;  // "?" parameters of the statement; leaf `aux` is each one's number from 0

    Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
    // Frees `errorItem`; the lexer goes with the object.
    ~Parser();

    // Parses `text` up to its first ";".  On success `*tree` is the
    // statement's tree, which lives until the parser's next Parse or its end,
    // and `names` what it mentions; on failure `*tree` is null.
    Status Parse(const char* text, SyntaxNode** tree);

private:
    // A token read by ReadToken.  The text is a copy the token owns; each
    // read frees the previous one.
    struct Token {
        std::uint16_t kind = 0;     // token kind (TokenKinds.h), 0 before a successful read
        char* text = nullptr;       // owned memory block; identifiers upper-cased
        Token() = default;
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;
        ~Token();
    };

    // Appends children to a node in written order, each in constant time.
    class ChildChain {
    public:
        explicit ChildChain(SyntaxNode* parent) : parent_(parent) {}
        void Add(SyntaxNode* node);

    private:
        SyntaxNode* parent_;          // the node receiving the children (not owned)
        SyntaxNode* last_ = nullptr;  // its last child so far
    };

    using Rule = std::int16_t (Parser::*)(const char* text, std::int16_t position, SyntaxNode** out);

    // --- Parser.cpp: reading and failure helpers --------------------------
    // Reads the token at `position` into `token`; gives the position after
    // it or the tokenizer's negative result (-4242 when no copy of its text
    // could be had).  Tokens with an empty text, other than an empty string
    // literal, are skipped.
    std::int16_t ReadToken(const char* text, std::int16_t position, bool signedNumbers, Token* token);
    // Reads the token that may start an optional part at `position`.  Gives
    // the position after it, 0 when no token could be read (`token->kind`
    // is then 0, so no part starts), or -4242 when memory ran out.
    std::int16_t ReadOptional(const char* text, std::int16_t position, Token* token);
    // Sets `errorPosition` (when `at` is not negative) and gives -message.
    std::int16_t Fail(int message, std::int16_t at);
    // A required token could not be read (`readResult` < 0) or is not the
    // one wanted: -4242 stays itself, anything else becomes `message`.
    std::int16_t Missing(std::int16_t readResult, int message, std::int16_t at);
    // Drops the node handed out through `out` and gives `result`.
    static std::int16_t Abandon(SyntaxNode** out, std::int16_t result);
    // Makes the rule's node of `kind` and hands it out; null when memory ran out.
    SyntaxNode* Begin(std::int32_t kind, SyntaxNode** out);
    // Makes a leaf of the token and appends it; null when memory ran out.
    SyntaxNode* AddLeaf(ChildChain* chain, const Token& token, std::int32_t kind, std::int32_t aux = 0);
    // Turns the failure `result` of a part into `message`: -4252 (the part
    // does not start) with `errorPosition` at `at`; any other message keeps
    // the position its rule set; out of memory and nesting stay as they are.
    std::int16_t Replace(std::int16_t result, int message, std::int16_t at);
    // True for results that no rule may turn into a message of its own:
    // out of memory and nesting too deep.
    static bool IsFatal(std::int16_t result);
    // Runs `rule` one nesting level deeper; fails with 4241 at `at` beyond kMaxNesting.
    std::int16_t Nested(Rule rule, const char* text, std::int16_t position, SyntaxNode** out, std::int16_t at);

    // True when a value expression can start with a token of `kind`.
    static bool StartsValue(std::uint16_t kind);
    // True when "LIMIT" and a whole number start at `position`: LIMIT is
    // then the clause, not a name.
    bool StartsLimit(const char* text, std::int16_t position);
    // The join written at `position` (JOIN, INNER JOIN, CROSS JOIN, LEFT
    // [OUTER] JOIN, followed by a table name) and the position after its
    // words; kNone and `position` when there is none.
    std::int16_t JoinAt(const char* text, std::int16_t position, JoinKind* join);
    bool StartsJoin(const char* text, std::int16_t position) {
        JoinKind join = JoinKind::kNone;
        JoinAt(text, position, &join);
        return join != JoinKind::kNone;
    }
    // True for an identifier token that reads `word` (a word known by its place).
    static bool IsWord(const Token& token, const char* word);
    // Reads a whole number at `position` into `value` (INT32_MAX at most);
    // the position after it, or -4254.
    std::int16_t WholeNumber(const char* text, std::int16_t position, std::int32_t* value);

    // Numbers the "?" leaves of a finished tree in written order and counts them.
    Status NumberParameters(SyntaxNode* root);

    // Notes an item name the statement mentions (a name lost to memory
    // exhaustion fails the parse at its end).
    void NoteItem(const char* name);

    // --- StatementRules.cpp ----------------------------------------------
    std::int16_t Statement(const char* text, std::int16_t position, SyntaxNode** out);         // FON_REQUETE
    std::int16_t Query(const char* text, std::int16_t position, SyntaxNode** out);             // FON_REQUETE_SELECTION
    // After a query at `end`: an optional set operator and second query, appended to `chain`.
    std::int16_t SetOperand(const char* text, std::int16_t end, ChildChain* chain);
    std::int16_t SelectBody(const char* text, std::int16_t position, SyntaxNode** out);        // FON_SOUS_SELECT
    std::int16_t SelectedItems(const char* text, std::int16_t position, SyntaxNode** out);     // FON_ITEM_SELECTIONNE
    std::int16_t SelectionItemList(const char* text, std::int16_t position, SyntaxNode** out); // FON_SELECTION_ITEM_VIRGULE_LISTE
    std::int16_t SelectionItem(const char* text, std::int16_t position, SyntaxNode** out);     // FON_SELECTION_ITEM
    std::int16_t TableList(const char* text, std::int16_t position, SyntaxNode** out);         // FON_TABLE_REF_VIRGULE_LISTE
    std::int16_t TableReference(const char* text, std::int16_t position, SyntaxNode** out);    // FON_TABLE_REF
    std::int16_t ColumnList(const char* text, std::int16_t position, SyntaxNode** out);        // FON_COLONNE_REF_VIRGULE_LISTE
    std::int16_t GroupList(const char* text, std::int16_t position, SyntaxNode** out);        // FON_COLONNE_REF_VIRGULE_LISTE
    std::int16_t OrderList(const char* text, std::int16_t position, SyntaxNode** out);         // FON_COLONNE_REF_VIRGULE_LISTE
    std::int16_t Create(const char* text, std::int16_t position, SyntaxNode** out);            // dispatches CREATE ...
    std::int16_t CreateTable(const char* text, std::int16_t position, SyntaxNode** out);       // FON_REQUETE_CREATION_TABLE
    std::int16_t ColumnDefinitionList(const char* text, std::int16_t position, SyntaxNode** out);  // FON_COLONNE_DEF_VIRGULE_LISTE
    std::int16_t ColumnDefinition(const char* text, std::int16_t position, SyntaxNode** out);  // FON_COLONNE_DEF
    std::int16_t CreateIndex(const char* text, std::int16_t position, SyntaxNode** out, std::int32_t unique);  // FON_REQUETE_CREATION_INDEX
    std::int16_t CreateView(const char* text, std::int16_t position, SyntaxNode** out);        // FON_REQUETE_CREATION_VUE
    std::int16_t Drop(const char* text, std::int16_t position, SyntaxNode** out, bool view);            // FON_REQUETE_DESTRUCTION_TABLE_VUE
    std::int16_t Insert(const char* text, std::int16_t position, SyntaxNode** out);            // FON_REQUETE_INSERT_ENREG
    std::int16_t Update(const char* text, std::int16_t position, SyntaxNode** out);            // FON_REQUETE_MIS_A_JOUR_ENREG
    std::int16_t AssignmentList(const char* text, std::int16_t position, SyntaxNode** out);    // FON_AFFECTATION_COLONNE_VIRGULE_LISTE
    std::int16_t Assignment(const char* text, std::int16_t position, SyntaxNode** out);        // FON_AFFECTATION_COLONNE
    // After "=" "(": "DEFAULT", "NULL" or a simple item, then ")" that ends
    // the value, appended to `chain`; the position after ")", 0 when the
    // parentheses open an expression instead, or a fatal failure.
    std::int16_t ParenthesizedValue(const char* text, std::int16_t position, ChildChain* chain);
    std::int16_t Delete(const char* text, std::int16_t position, SyntaxNode** out);            // FON_REQUETE_SUPPRESSION_ENREG

    // --- SchemaRules.cpp -------------------------------------------------
    std::int16_t DropIndex(const char* text, std::int16_t position, SyntaxNode** out);         // kNodeDropIndex
    std::int16_t AlterTable(const char* text, std::int16_t position, SyntaxNode** out);        // kNodeAlterTable
    // Key items of CREATE INDEX: name [ASC | DESC] {"," ...}; a DESC item's leaf has `aux` 1.
    std::int16_t KeyItemList(const char* text, std::int16_t position, SyntaxNode** out);       // FON_COLONNE_REF_VIRGULE_LISTE
    // "IF EXISTS" (`withNot`: "IF NOT EXISTS") at `position`: the position after it with
    // kIfExistsClause added to `node->aux`, else `position`.
    std::int16_t IfExists(const char* text, std::int16_t position, bool withNot, SyntaxNode* node);
    // True when the words at `position` are `first` (an identifier) then a token of `kind`.
    bool WordThen(const char* text, std::int16_t position, const char* first, std::uint16_t kind);
    // Reads an identifier as a leaf appended to `chain` (`message` at
    // `position` otherwise); the leaf goes to `*leaf` when asked for.
    std::int16_t NameLeaf(const char* text, std::int16_t position, ChildChain* chain, SyntaxNode** leaf = nullptr,
                          int message = kMsgIdentifierExpected);
    // Notes a table name; 0 or -4242 (at `at`).  Its index in
    // `names.tables` goes to `*ref` when asked for.
    std::int16_t NoteTable(const char* name, std::int16_t at, std::size_t* ref = nullptr);

    // --- ExpressionRules.cpp ---------------------------------------------
    std::int16_t Condition(const char* text, std::int16_t position, SyntaxNode** out);         // FON_CONDITION_RECHERCHE
    std::int16_t LogicalTerm(const char* text, std::int16_t position, SyntaxNode** out);       // FON_TERME_LOGIQUE
    std::int16_t LogicalFactor(const char* text, std::int16_t position, SyntaxNode** out);     // FON_FACTEUR_LOGIQUE
    std::int16_t Expression(const char* text, std::int16_t position, SyntaxNode** out);        // FON_EXPRESSION
    std::int16_t ItemCompare(const char* text, std::int16_t position, SyntaxNode** out);       // FON_ITEM_COMPARE
    std::int16_t Term(const char* text, std::int16_t position, SyntaxNode** out);              // FON_TERME
    std::int16_t Factor(const char* text, std::int16_t position, SyntaxNode** out);            // FON_FACTEUR
    std::int16_t Comparison(const char* text, std::int16_t position, SyntaxNode** out);        // FON_COMPARAISON
    std::int16_t SecondMember(const char* text, std::int16_t position, SyntaxNode** out);      // FON_COMPOSANT_SECOND_MEMBRE
    std::int16_t SimpleItemList(const char* text, std::int16_t position, SyntaxNode** out);    // FON_ITEM_SIMPLE_VIRGULE_LISTE
    std::int16_t SimpleItem(const char* text, std::int16_t position, SyntaxNode** out);        // FON_ITEM_SIMPLE
    std::int16_t ScalarFunction(const char* text, std::int16_t position, SyntaxNode** out);    // FON_FONCTION_SCALAIRE_REF
    std::int16_t AggregateFunction(const char* text, std::int16_t position, SyntaxNode** out); // FON_FONCTION_AGREGEE_REF
    std::int16_t DateTimeFunction(const char* text, std::int16_t position, SyntaxNode** out);  // FON_FONCTION_DATE_HEURE_REF
    // A function known by its name (MONTH, UPPER, LOWER, SUBSTR, TRIM, ABS,
    // ROUND), appended to `into`.
    std::int16_t NamedFunction(const char* text, std::int16_t position, ChildChain* into);
    static bool IsNamedFunction(const char* name);
    // "(" second member ")" after IN, MATCH, ALL, ANY or SOME; appended to `chain`.
    std::int16_t ParenthesisedSecondMember(const char* text, std::int16_t position, ChildChain* chain);
    // "(" simple item ")" of a scalar or aggregate function, after its
    // keyword (and the optional quantifier read by `quantified`).
    std::int16_t FunctionArgument(const char* text, std::int16_t position, ChildChain* chain, bool quantified);

    SyntaxTree tree_;        // the nodes of the last parse
    bool lostName_ = false;  // a name could not be noted
    int depth_ = 0;  // nesting levels open now (see kMaxNesting)
};

}  // namespace qx
