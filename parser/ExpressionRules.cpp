// Condition and expression rules of the grammar: search conditions (OR of
// AND of NOT or predicates), predicates with EXISTS / UNIQUE sub-selects or
// an arithmetic expression and its comparison, arithmetic expressions
// ("+" "-" over "*" "/" over factors), second members, simple-item lists,
// simple items and the scalar, aggregate and date/time functions.
//
// One rule per precedence level; the operands of a level are the children of
// its node in the order written, with "+", "-", "*", "/" stored as leaves
// between them, so the tree fixes the levels and leaves the left-to-right
// combination to evaluation.  Parenthesised conditions, sub-selects inside
// conditions, function arguments and NOT chains recurse: they go through
// Parser::Nested, which bounds the depth.  Lists are loops.  Typing (a
// logical operator under an arithmetic one, for instance) is left to
// semantic analysis.
#include <cstdint>
#include <cstring>

#include "base/Messages.h"
#include "lexer/TokenKinds.h"
#include "parser/NodeKinds.h"
#include "parser/Parser.h"
#include "parser/SyntaxNode.h"

namespace qx {

namespace {

bool IsComparisonOperator(std::uint16_t kind) {
    return kind == kOpEqual || kind == kOpNotEqual || kind == kOpLess || kind == kOpGreater ||
           kind == kOpLessEqual || kind == kOpGreaterEqual;
}

bool IsScalarFunction(std::uint16_t kind) {
    return kind == kKwDigits || kind == kKwFloat || kind == kKwHex || kind == kKwInteger || kind == kKwLength;
}

bool IsQuantifiedAggregate(std::uint16_t kind) {
    return kind == kKwAvg || kind == kKwMax || kind == kKwMin || kind == kKwSum;
}

bool IsDatePart(std::uint16_t kind) {
    return kind == kKwDay || kind == kKwHour || kind == kKwMinute || kind == kKwSecond || kind == kKwYear;
}

}  // namespace

bool Parser::StartsValue(std::uint16_t kind) {
    switch (kind) {
        case kTokInteger:
        case kTokSignedInteger:
        case kTokDecimal:
        case kTokExponent:
        case kTokString:
        case kTokIdentifier:
        case kPunQuestion:
        case kOpPlus:
        case kOpMinus:
        case kPunLeftParen:
        case kKwCountStar:
        case kKwCountDistinct:
        case kKwDate:
        case kKwTime:
            return true;
        default:
            return IsScalarFunction(kind) || IsQuantifiedAggregate(kind) || IsDatePart(kind);
    }
}

// cond: logical term {"OR" logical term}
std::int16_t Parser::Condition(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_CONDITION_RECHERCHE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* part = nullptr;
    std::int16_t end = LogicalTerm(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    Token token;
    for (;;) {
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kKwOr) return end;
        end = LogicalTerm(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
    }
}

// logical term: logical factor {"AND" logical factor}
std::int16_t Parser::LogicalTerm(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_TERME_LOGIQUE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* part = nullptr;
    std::int16_t end = LogicalFactor(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    Token token;
    for (;;) {
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kKwAnd) return end;
        end = LogicalFactor(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
    }
}

// logical factor: "NOT" logical factor | predicate
std::int16_t Parser::LogicalFactor(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_FACTEUR_LOGIQUE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgExpressionExpected, position));
    SyntaxNode* part = nullptr;
    std::int16_t end;
    if (token.kind == kKwNot) {
        if (AddLeaf(&chain, token, kKwNot) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        end = Nested(&Parser::LogicalFactor, text, next, &part, position);
    } else {
        end = Expression(text, position, &part);
    }
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    return end;
}

// predicate: ("EXISTS" | "UNIQUE") ["NOT"] "(" select body ")"
//          | arithmetic expression [comparison]
// The parentheses around the sub-select are checked like those of a
// factor: 4251 when "(" is not there, 4250 when ")" is not.
std::int16_t Parser::Expression(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_EXPRESSION, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgExpressionExpected, position));
    SyntaxNode* part = nullptr;

    if (token.kind == kKwExists || token.kind == kKwUnique) {
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        std::int16_t end = next;
        next = ReadToken(text, end, false, &token);
        if (next >= 0 && token.kind == kKwNot) {
            if (AddLeaf(&chain, token, kKwNot) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
            end = next;
            next = ReadToken(text, end, false, &token);
        }
        if (next < 0 || token.kind != kPunLeftParen) return Abandon(out, Missing(next, kMsgLeftParenthesis, end));
        end = Nested(&Parser::SelectBody, text, next, &part, next);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
        return next;
    }

    std::int16_t end = ItemCompare(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    std::int16_t afterComparison = Comparison(text, end, &part);
    if (afterComparison == -kMsgTypeMismatch) return end;
    if (afterComparison < 0) return Abandon(out, afterComparison);
    chain.Add(part);
    return afterComparison;
}

// arithmetic expression: ["+" | "-"] term {("+" | "-") term}
std::int16_t Parser::ItemCompare(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_ITEM_COMPARE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgExpressionExpected, position));
    std::int16_t termStart = position;
    if (token.kind == kOpPlus || token.kind == kOpMinus) {
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        termStart = next;
    }
    SyntaxNode* part = nullptr;
    std::int16_t end = Term(text, termStart, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    for (;;) {
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kOpPlus && token.kind != kOpMinus) return end;
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = Term(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
    }
}

// term: factor {("*" | "/") factor}
std::int16_t Parser::Term(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_TERME, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    SyntaxNode* part = nullptr;
    std::int16_t end = Factor(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    Token token;
    for (;;) {
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kOpStar && token.kind != kOpSlash) return end;
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = Factor(text, next, &part);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
    }
}

// factor: ("+" | "-") factor | "(" cond ")" | si
std::int16_t Parser::Factor(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_FACTEUR, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Abandon(out, Fail(-next, position));
    SyntaxNode* part = nullptr;
    if (token.kind == kOpMinus || token.kind == kOpPlus) {
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        std::int16_t end = Nested(&Parser::Factor, text, next, &part, next);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        return end;
    }
    if (token.kind == kPunLeftParen) {
        // "(" SELECT ... ")": the first value of a sub-select's rows.
        Token inside;
        bool subSelect = ReadToken(text, next, false, &inside) >= 0 && inside.kind == kKwSelect;
        std::int16_t end = subSelect ? Nested(&Parser::SelectBody, text, next, &part, next)
                                     : Nested(&Parser::Condition, text, next, &part, position);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
        return next;
    }
    std::int16_t end = SimpleItem(text, position, &part);
    if (end == -kMsgTypeMismatch) end = Fail(kMsgSimpleItemExpected, position);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    return end;
}

// comparison after the left operand:
//   "IS" ["NOT"] "NULL"
//   "MATCH" ["UNIQUE"] "(" second member ")"
//   ["NOT"] "BETWEEN" si "AND" si
//   ["NOT"] "IN" "(" second member ")"
//   ["NOT"] "LIKE" string
//   op ( ("ALL" | "ANY" | "SOME") "(" second member ")" | "(" select body ")" | si )
// -4252 (nothing set) when no comparison starts here.
std::int16_t Parser::Comparison(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COMPARAISON, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next == -kMsgOutOfMemory) return Abandon(out, Fail(kMsgOutOfMemory, position));
    if (next < 0) return Abandon(out, -kMsgTypeMismatch);
    std::int16_t end = position;

    if (token.kind == kKwIs) {
        if (AddLeaf(&chain, token, kKwIs) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next >= 0 && token.kind == kKwNot) {
            if (AddLeaf(&chain, token, kKwNot) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
            end = next;
            next = ReadToken(text, end, false, &token);
        }
        if (next < 0 || token.kind != kKwNull) return Abandon(out, Missing(next, kMsgNullExpected, end));
        return next;
    }

    if (token.kind == kKwMatch) {
        if (AddLeaf(&chain, token, kKwMatch) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = next;
        next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind == kKwUnique) {
            if (AddLeaf(&chain, token, kKwUnique) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
            end = next;
        }
        end = ParenthesisedSecondMember(text, end, &chain);
        return end < 0 ? Abandon(out, end) : end;
    }

    if (token.kind == kKwNot) {
        if (AddLeaf(&chain, token, kKwNot) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next < 0) return Abandon(out, Missing(next, kMsgRightValueExpected, end));
        // NOT followed by anything else belongs to no comparison: the
        // predicate ends before it.
        if (token.kind != kKwBetween && token.kind != kKwIn && token.kind != kKwLike)
            return Abandon(out, -kMsgTypeMismatch);
    }

    SyntaxNode* part = nullptr;
    switch (token.kind) {
    case kKwBetween: {
        if (AddLeaf(&chain, token, kKwBetween) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = SimpleItem(text, next, &part);
        if (end == -kMsgTypeMismatch) end = Fail(kMsgSimpleItemExpected, next);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kKwAnd) return Abandon(out, Missing(next, kMsgAndExpected, end));
        end = SimpleItem(text, next, &part);
        if (end == -kMsgTypeMismatch) end = Fail(kMsgSimpleItemExpected, next);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        return end;
    }
    case kKwIn:
        if (AddLeaf(&chain, token, kKwIn) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = ParenthesisedSecondMember(text, next, &chain);
        return end < 0 ? Abandon(out, end) : end;
    case kKwLike: {
        if (AddLeaf(&chain, token, kKwLike) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kTokString) return Abandon(out, Missing(next, kMsgStringExpected, end));
        if (AddLeaf(&chain, token, kTokString) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        return next;
    }
    default: break;
    }

    if (!IsComparisonOperator(token.kind)) return Abandon(out, -kMsgTypeMismatch);
    if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
    end = next;
    next = ReadToken(text, end, false, &token);
    if (next < 0) return Abandon(out, Missing(next, kMsgRightValueExpected, end));
    if (token.kind == kKwAll || token.kind == kKwAny || token.kind == kKwSome) {
        if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
        end = ParenthesisedSecondMember(text, next, &chain);
        return end < 0 ? Abandon(out, end) : end;
    }
    Token inside;
    bool subSelect = token.kind == kPunLeftParen && ReadToken(text, next, false, &inside) >= 0 &&
                     inside.kind == kKwSelect;
    if (token.kind == kPunLeftParen && !subSelect) {
        // A value in parentheses, and what follows it.
        std::int16_t afterValue = Nested(&Parser::ItemCompare, text, end, &part, end);
        if (afterValue < 0) return Abandon(out, afterValue);
        chain.Add(part);
        return afterValue;
    }
    if (token.kind == kPunLeftParen) {
        std::int16_t afterSelect = Nested(&Parser::SelectBody, text, next, &part, next);
        if (afterSelect < 0) return Abandon(out, afterSelect);
        chain.Add(part);
        next = ReadToken(text, afterSelect, false, &token);
        if (next < 0 || token.kind != kPunRightParen)
            return Abandon(out, Missing(next, kMsgRightParenthesis, afterSelect));
        return next;
    }
    // The right operand is a simple item, read from the token after the
    // operator (signed, so "= -5" is one literal), or an expression when an
    // operator follows it or a sign starts it.
    Token sign, signedToken;
    bool signedValue = ReadToken(text, end, false, &sign) >= 0 && (sign.kind == kOpMinus || sign.kind == kOpPlus);
    if (signedValue) {
        // "-5" is one literal; "-X" or "- 5" is an expression.
        std::int16_t afterSigned = ReadToken(text, end, true, &signedToken);
        signedValue = afterSigned < 0 || signedToken.kind == kOpMinus || signedToken.kind == kOpPlus;
    }
    if (signedValue) {
        std::int16_t afterValue = Nested(&Parser::ItemCompare, text, end, &part, end);
        if (afterValue < 0) return Abandon(out, afterValue);
        chain.Add(part);
        return afterValue;
    }
    std::int16_t afterItem = SimpleItem(text, end, &part);
    if (afterItem == -kMsgTypeMismatch) afterItem = Fail(kMsgRightValueExpected, end);
    if (afterItem < 0) return Abandon(out, afterItem);
    Token following;
    std::int16_t afterOperator = ReadOptional(text, afterItem, &following);
    if (afterOperator < 0) return Abandon(out, afterOperator);
    if (following.kind == kOpPlus || following.kind == kOpMinus || following.kind == kOpStar ||
        following.kind == kOpSlash) {
        afterItem = Nested(&Parser::ItemCompare, text, end, &part, end);
        if (afterItem < 0) return Abandon(out, afterItem);
    }
    chain.Add(part);
    return afterItem;
}

std::int16_t Parser::ParenthesisedSecondMember(const char* text, std::int16_t position, ChildChain* chain) {
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0 || token.kind != kPunLeftParen) return Missing(next, kMsgLeftParenthesis, position);
    SyntaxNode* part = nullptr;
    std::int16_t end = SecondMember(text, next, &part);
    if (end == -kMsgTypeMismatch) end = Fail(kMsgGroupExpected, next);
    if (end < 0) return end;
    chain->Add(part);
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunRightParen) return Missing(next, kMsgRightParenthesis, end);
    return next;
}

// second member: select body (from a "SELECT" token) | simple-item list
std::int16_t Parser::SecondMember(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_COMPOSANT_SECOND_MEMBRE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next == -kMsgOutOfMemory) return Abandon(out, Fail(kMsgOutOfMemory, position));
    if (next < 0) return Abandon(out, -kMsgTypeMismatch);
    SyntaxNode* part = nullptr;
    std::int16_t end = token.kind == kKwSelect ? Nested(&Parser::SelectBody, text, position, &part, position)
                                               : SimpleItemList(text, position, &part);
    if (end < 0) return Abandon(out, end);
    chain.Add(part);
    return end;
}

// simple-item list: si {"," si}
std::int16_t Parser::SimpleItemList(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_ITEM_SIMPLE_VIRGULE_LISTE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t start = position;
    for (;;) {
        SyntaxNode* part = nullptr;
        std::int16_t end = SimpleItem(text, start, &part);
        if (end == -kMsgTypeMismatch) end = Fail(kMsgSimpleItemExpected, start);
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        std::int16_t next = ReadOptional(text, end, &token);
        if (next < 0) return Abandon(out, next);
        if (token.kind != kPunComma) return end;
        start = next;
    }
}

// simple item: number | string | identifier | "?" | function.  Read with signed
// numbers, so "-5" is one literal; a signed integer is kept with kind 104.
// -4252 (position at the item) when nothing of the kind starts here.
std::int16_t Parser::SimpleItem(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_ITEM_SIMPLE, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, true, &token);
    if (next < 0) {
        int message = next == -kMsgUnterminatedString || next == -kMsgOutOfMemory ? -next : kMsgTypeMismatch;
        return Abandon(out, Fail(message, position));
    }

    std::int32_t leafKind = 0;
    switch (token.kind) {
    case kTokInteger:
    case kTokDecimal:
    case kTokExponent:
    case kTokString:
    case kTokIdentifier: leafKind = token.kind; break;
    case kTokSignedInteger: leafKind = kTokExponent; break;
    default: break;
    }
    // COUNT followed by "(" is the aggregate, and the functions known by
    // their names (MONTH, UPPER...) are calls, by their place.
    if (leafKind == kTokIdentifier && (IsWord(token, "COUNT") || IsNamedFunction(token.text))) {
        Token paren;
        if (ReadToken(text, next, false, &paren) >= 0 && paren.kind == kPunLeftParen) {
            if (!IsWord(token, "COUNT")) {
                std::int16_t end = NamedFunction(text, position, &chain);
                return end < 0 ? Abandon(out, end) : end;
            }
            leafKind = 0;
        }
    }
    if (token.kind == kPunQuestion) {
        // A parameter: numbered by its place once the whole statement is read.
        if (AddLeaf(&chain, token, kPunQuestion, next) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        return next;
    }
    if (leafKind != 0) {
        if (AddLeaf(&chain, token, leafKind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
        if (leafKind == kTokIdentifier) NoteItem(token.text);
        return next;
    }

    static constexpr Rule kFunctions[] = {&Parser::ScalarFunction, &Parser::AggregateFunction,
                                          &Parser::DateTimeFunction};
    for (Rule function : kFunctions) {
        SyntaxNode* part = nullptr;
        std::int16_t end = (this->*function)(text, position, &part);
        if (end == -kMsgTypeMismatch) continue;
        if (end < 0) return Abandon(out, end);
        chain.Add(part);
        return end;
    }
    return Abandon(out, Fail(kMsgTypeMismatch, position));
}

std::int16_t Parser::FunctionArgument(const char* text, std::int16_t position, ChildChain* chain, bool quantified) {
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0 || token.kind != kPunLeftParen) return Missing(next, kMsgLeftParenthesis, position);
    std::int16_t argumentStart = next;
    if (quantified) {
        next = ReadOptional(text, argumentStart, &token);
        if (next < 0) return next;
        if (token.kind == kKwAll || token.kind == kKwDistinct) {
            if (AddLeaf(chain, token, token.kind) == nullptr) return Fail(kMsgOutOfMemory, argumentStart);
            argumentStart = next;
        }
    }
    SyntaxNode* argument = nullptr;
    std::int16_t end = Nested(&Parser::SimpleItem, text, argumentStart, &argument, argumentStart);
    if (end < 0) return Replace(end, kMsgSimpleItemExpected, argumentStart);
    chain->Add(argument);
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunRightParen) return Missing(next, kMsgRightParenthesis, end);
    return next;
}

// scalar function: ("DIGITS" | "FLOAT" | "HEX" | "INTEGER" | "LENGTH") "(" si ")"
std::int16_t Parser::ScalarFunction(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_FONCTION_SCALAIRE_REF, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next == -kMsgOutOfMemory) return Abandon(out, Fail(kMsgOutOfMemory, position));
    if (next < 0 || !IsScalarFunction(token.kind)) return Abandon(out, -kMsgTypeMismatch);
    if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
    std::int16_t end = FunctionArgument(text, next, &chain, false);
    return end < 0 ? Abandon(out, end) : end;
}

bool Parser::IsNamedFunction(const char* name) {
    static const char* const kNames[] = {"MONTH", "UPPER", "LOWER", "SUBSTR", "TRIM", "ABS", "ROUND"};
    for (const char* known : kNames)
        if (std::strcmp(name, known) == 0) return true;
    return false;
}

// named function: name "(" expression {"," expression} ")": a function
// node with the name's leaf and one expression per argument.
std::int16_t Parser::NamedFunction(const char* text, std::int16_t position, ChildChain* into) {
    SyntaxNode* node = nullptr;
    if (Begin(FON_FONCTION_SCALAIRE_REF, &node) == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next < 0) return Fail(kMsgTypeMismatch, position);
    if (AddLeaf(&chain, token, kTokIdentifier) == nullptr) return Fail(kMsgOutOfMemory, position);
    std::int16_t end = next;
    next = ReadToken(text, end, false, &token);  // the "("
    for (;;) {
        SyntaxNode* argument = nullptr;
        end = Nested(&Parser::ItemCompare, text, next, &argument, next);
        if (end < 0) return end;
        chain.Add(argument);
        next = ReadToken(text, end, false, &token);
        if (next >= 0 && token.kind == kPunComma) continue;
        if (next < 0 || token.kind != kPunRightParen) return Missing(next, kMsgRightParenthesis, end);
        into->Add(node);
        return next;
    }
}

// aggregate: ("AVG" | "MAX" | "MIN" | "SUM" | "COUNT") "(" ["ALL" | "DISTINCT"] si ")"
//          | "COUNT(*)" | "COUNT DISTINCT" [si]
std::int16_t Parser::AggregateFunction(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_FONCTION_AGREGEE_REF, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next == -kMsgOutOfMemory) return Abandon(out, Fail(kMsgOutOfMemory, position));
    bool counts = next >= 0 && (token.kind == kKwCountStar || token.kind == kKwCountDistinct);
    bool count = next >= 0 && IsWord(token, "COUNT");
    if (next < 0 || !(counts || count || IsQuantifiedAggregate(token.kind))) return Abandon(out, -kMsgTypeMismatch);
    if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));
    if (token.kind == kKwCountDistinct) {
        // COUNT DISTINCT x: the item counted, when one follows.
        Token following;
        std::int16_t after = ReadOptional(text, next, &following);
        if (after < 0) return Abandon(out, after);
        if (following.kind != kTokIdentifier || StartsLimit(text, next)) return next;
        SyntaxNode* argument = nullptr;
        std::int16_t end = SimpleItem(text, next, &argument);
        if (end < 0) return Abandon(out, end);
        chain.Add(argument);
        return end;
    }
    if (counts) return next;
    std::int16_t end = FunctionArgument(text, next, &chain, true);
    return end < 0 ? Abandon(out, end) : end;
}

// date/time: ("DATE" | "TIME") "(" string ")"
//          | ("DAY" | "HOUR" | "MINUTE" | "SECOND" | "YEAR")
//            "(" (string | "CURRENT DATE" | "CURRENT TIME") ")"
std::int16_t Parser::DateTimeFunction(const char* text, std::int16_t position, SyntaxNode** out) {
    SyntaxNode* node = Begin(FON_FONCTION_DATE_HEURE_REF, out);
    if (node == nullptr) return Fail(kMsgOutOfMemory, position);
    ChildChain chain(node);
    Token token;
    std::int16_t next = ReadToken(text, position, false, &token);
    if (next == -kMsgOutOfMemory) return Abandon(out, Fail(kMsgOutOfMemory, position));
    bool datePart = next >= 0 && IsDatePart(token.kind);
    if (next < 0 || !(datePart || token.kind == kKwDate || token.kind == kKwTime))
        return Abandon(out, -kMsgTypeMismatch);
    if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, position));

    std::int16_t end = next;
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunLeftParen) return Abandon(out, Missing(next, kMsgLeftParenthesis, end));
    end = next;
    next = ReadToken(text, end, false, &token);
    bool accepted = next >= 0 && (token.kind == kTokString ||
                                  (datePart && (token.kind == kKwCurrentDate || token.kind == kKwCurrentTime)));
    Token after;
    if (accepted && datePart && token.kind == kTokString && ReadToken(text, next, false, &after) >= 0 &&
        after.kind != kPunRightParen)
        accepted = false;  // a text that starts an expression
    if (!accepted && datePart && next >= 0 && StartsValue(token.kind)) {
        // A date part of any value: an item, an expression.
        SyntaxNode* argument = nullptr;
        next = Nested(&Parser::ItemCompare, text, end, &argument, end);
        if (next < 0) return Abandon(out, next);
        chain.Add(argument);
        end = next;
        next = ReadToken(text, end, false, &token);
        if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
        return next;
    }
    if (!accepted)
        return Abandon(out, Missing(next, datePart ? kMsgTimeArgumentExpected : kMsgStringExpected, end));
    if (AddLeaf(&chain, token, token.kind) == nullptr) return Abandon(out, Fail(kMsgOutOfMemory, end));
    end = next;
    next = ReadToken(text, end, false, &token);
    if (next < 0 || token.kind != kPunRightParen) return Abandon(out, Missing(next, kMsgRightParenthesis, end));
    return next;
}

}  // namespace qx
