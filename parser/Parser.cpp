// Parser object, the token-reading step every grammar rule uses, the small
// helpers that keep the rules' failure handling uniform, and the parse entry
// that turns a failed rule into the request's error text.
//
// The grammar rules themselves are in StatementRules.cpp and
// ExpressionRules.cpp.  What the tree means is left to semantic analysis.
#include "parser/Parser.h"

#include <algorithm>
#include <cstdio>

#include <new>
#include <vector>

#include "base/MemoryBlock.h"
#include "parser/SyntaxNode.h"

namespace qx {

Parser::Token::~Token() {
    if (text != nullptr) FreeBlock(text);
}

void Parser::ChildChain::Add(SyntaxNode* node) {
    if (last_ == nullptr) parent_->AttachChild(node, false);
    else last_->LinkSibling(node, true);
    last_ = node;
}

Parser::Parser() : allColumns(0), errorItem(nullptr), errorPosition(-1) {}

Parser::~Parser() {
    if (errorItem != nullptr) FreeBlock(errorItem);
}

std::int16_t Parser::ReadToken(const char* text, std::int16_t position, bool signedNumbers, Token* token) {
    for (;;) {
        if (token->text != nullptr) {
            FreeBlock(token->text);
            token->text = nullptr;
        }
        token->kind = kTokNone;
        std::int16_t emptyString = 0;
        std::int16_t next = lexer.Scan(text, position, &emptyString, signedNumbers);
        if (next < 0) return next;
        std::uint16_t kind = kTokNone;
        char* copy = lexer.GetToken(&kind);
        if (copy == nullptr) return static_cast<std::int16_t>(-kMsgOutOfMemory);
        // A token without text carries nothing for the grammar; an empty
        // string literal ('') is a real token.
        if (copy[0] == '\0' && emptyString == 0 && next > position) {
            FreeBlock(copy);
            position = next;
            continue;
        }
        token->kind = kind;
        token->text = copy;
        return next;
    }
}

std::int16_t Parser::ReadOptional(const char* text, std::int16_t position, Token* token) {
    std::int16_t next = ReadToken(text, position, false, token);
    if (next == -kMsgOutOfMemory) return Fail(kMsgOutOfMemory, position);
    if (next < 0) {
        token->kind = kTokNone;
        return 0;
    }
    return next;
}

std::int16_t Parser::Fail(int message, std::int16_t at) {
    if (at >= 0) errorPosition = at;
    return static_cast<std::int16_t>(-message);
}

std::int16_t Parser::Missing(std::int16_t readResult, int message, std::int16_t at) {
    return Fail(readResult == -kMsgOutOfMemory ? kMsgOutOfMemory : message, at);
}

std::int16_t Parser::Abandon(SyntaxNode** out, std::int16_t result) {
    *out = nullptr;  // its nodes stay in the tree's arena, unreachable
    return result;
}

SyntaxNode* Parser::Begin(std::int32_t kind, SyntaxNode** out) {
    *out = tree_.Make("", kind, 0);
    return *out;
}

SyntaxNode* Parser::AddLeaf(ChildChain* chain, const Token& token, std::int32_t kind, std::int32_t aux) {
    SyntaxNode* leaf = tree_.Make(token.text, kind, aux);
    if (leaf != nullptr) chain->Add(leaf);
    return leaf;
}

std::int16_t Parser::Replace(std::int16_t result, int message, std::int16_t at) {
    if (IsFatal(result)) return result;
    if (result == -kMsgTypeMismatch) return Fail(message, at);
    return static_cast<std::int16_t>(-message);
}

bool Parser::IsFatal(std::int16_t result) {
    return result == -kMsgOutOfMemory || result == -kMsgInternalError;
}

std::int16_t Parser::Nested(Rule rule, const char* text, std::int16_t position, SyntaxNode** out, std::int16_t at) {
    if (depth_ >= kMaxNesting) {
        *out = nullptr;
        return Fail(kMsgInternalError, at);
    }
    ++depth_;
    std::int16_t result = (this->*rule)(text, position, out);
    --depth_;
    return result;
}

void Parser::NoteItem(const char* name) {
    if (name == nullptr) return;
    try {
        names.items.emplace_back(name);
    } catch (const std::bad_alloc&) {
        lostName_ = true;
    }
}

Status Parser::Parse(const char* text, SyntaxNode** tree) {
    if (errorItem != nullptr) FreeBlock(errorItem);
    errorItem = nullptr;
    errorPosition = -1;
    depth_ = 0;
    names = StatementNames();
    parameterCount = 0;
    lostName_ = false;
    tree_.Clear();
    *tree = nullptr;
    if (text == nullptr) text = "";

    std::int16_t result = Statement(text, 0, tree);
    if (result >= 0 && lostName_) {
        *tree = nullptr;
        return Error::Message(kMsgOutOfMemory);
    }
    if (result >= 0) return NumberParameters(*tree);

    int message = -result;
    if (errorPosition >= 0) {
        // The token is shown as the tokenizer sees it there: "" when none
        // can be scanned, identifiers upper-cased.
        std::int16_t emptyString = 0;
        lexer.Scan(text, errorPosition, &emptyString, false);
        std::uint16_t kind = kTokNone;
        errorItem = lexer.GetToken(&kind);
    }
    char inner[256];
    if (message == kMsgInternalError) {
        // The only internal error of the grammar is the nesting bound.
        char reason[64];
        std::snprintf(reason, sizeof reason,
                      EnglishMessages() ? "nesting deeper than %d levels" : "imbrication de plus de %d niveaux",
                      kMaxNesting);
        std::snprintf(inner, sizeof inner, "%s", MessageText(message, reason));
    } else {
        std::snprintf(inner, sizeof inner, "%s", MessageText(message));
    }
    const char* item = errorItem != nullptr ? errorItem : errorPosition >= 0 ? "" : "<?>";
    Error error = Error::Message(kMsgSyntaxWrapper, inner, item, errorPosition + 1);
    if (errorItem != nullptr) FreeBlock(errorItem);
    errorItem = nullptr;
    return error;
}

Status Parser::NumberParameters(SyntaxNode* root) {
    // Each "?" leaf holds the position after it; the parameters are
    // numbered from 0 in the order they are written.
    std::vector<SyntaxNode*> parameters;
    std::vector<SyntaxNode*> pending;
    try {
        for (SyntaxNode* node = root; node != nullptr || !pending.empty();) {
            if (node == nullptr) {
                node = pending.back();
                pending.pop_back();
            }
            if (node->kind == kPunQuestion) parameters.push_back(node);
            if (node->child != nullptr) pending.push_back(node->child);
            node = node->next;
        }
    } catch (const std::bad_alloc&) {
        return Error::Message(kMsgOutOfMemory);
    }
    std::sort(parameters.begin(), parameters.end(),
              [](const SyntaxNode* a, const SyntaxNode* b) { return a->aux < b->aux; });
    for (std::size_t i = 0; i < parameters.size(); ++i) parameters[i]->aux = static_cast<std::int32_t>(i);
    parameterCount = static_cast<std::uint16_t>(parameters.size());
    return Status();
}

}  // namespace qx
