// Context: the memo reference scan and its replacement by markers.
//
// The scan reads the text with a tokenizer of its own (it runs before the
// statement's tokenizer ever sees the text) and follows three token
// patterns together:
//   0  a number                                  (matched and dropped)
//   1  { OBMemoBinaire ( 'name' ) }              -> entry of kind 0
//   2  { OBMemoBinaire ( 'name' , 'qual' ) }     -> kind 1 when qual is
//                                                   Champ or Field, else 0
// Each token advances every pattern that expects its kind and sends every
// other pattern back to its start.  The whole scan is one pass over the
// text.
#include "catalog/Context.h"

#include <cstdio>
#include <cstring>

#include "base/MemoryBlock.h"
#include "platform/Utf8.h"

namespace qx {
namespace {

// Scan token kinds.
enum ScanKind : int {
    kScanOther = 0,
    kScanKeyword = 1,  // OBMemoBinaire, any letter case
    kScanOpenParen = 2,
    kScanCloseParen = 3,
    kScanOpenBrace = 4,
    kScanCloseBrace = 5,
    kScanNumber = 6,
    kScanString = 7,
    kScanComma = 8,
};

struct ScanToken {
    int kind = kScanOther;
    std::size_t start = 0;        // first character
    std::size_t end = 0;          // just after the last character
    std::size_t contentStart = 0; // strings: first character between the quotes
    std::size_t contentLength = 0;
};

// Blanks between tokens: the space and the other ASCII white space, so that
// statements written over several lines scan like one-line ones.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Characters that end a word (besides the end of the text).
bool IsDelimiter(char c) {
    if (IsBlank(c)) return true;
    switch (c) {
        case '\0': case '!': case '%': case '&': case '*': case '+': case '-': case '.': case '/':
        case ':': case ';': case '=': case '?': case '[': case ']': case '|':
        case '(': case ')': case '{': case '}': case ',': case '\'': case '"':
            return true;
        default:
            return false;
    }
}

bool EqualsIgnoringCase(const char* text, std::size_t length, const char* word) {
    if (std::strlen(word) != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        char a = text[i], b = word[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
        if (a != b) return false;
    }
    return true;
}

// Reads the token at `position`.  False at the end of the text or at an
// unterminated string (both end the scan).
bool NextToken(const char* text, std::size_t position, ScanToken* token) {
    while (IsBlank(text[position])) ++position;
    char c = text[position];
    if (c == '\0') return false;
    token->start = position;
    token->contentStart = token->contentLength = 0;
    if (c == '\'' || c == '"') {
        std::size_t i = position + 1;
        for (;;) {
            if (text[i] == '\0') return false;
            if (text[i] == c) {
                if (text[i + 1] != c) break;
                i += 2;  // a doubled quote stays inside the string
            } else {
                ++i;
            }
        }
        token->kind = kScanString;
        token->contentStart = position + 1;
        token->contentLength = i - position - 1;
        token->end = i + 1;
        return true;
    }
    if (IsDelimiter(c)) {
        switch (c) {
            case '(': token->kind = kScanOpenParen; break;
            case ')': token->kind = kScanCloseParen; break;
            case '{': token->kind = kScanOpenBrace; break;
            case '}': token->kind = kScanCloseBrace; break;
            case ',': token->kind = kScanComma; break;
            default: token->kind = kScanOther; break;
        }
        token->end = position + 1;
        return true;
    }
    std::size_t end = position;
    bool digits = true;
    while (!IsDelimiter(text[end])) {
        if (text[end] < '0' || text[end] > '9') digits = false;
        ++end;
    }
    std::size_t length = end - position;
    token->end = end;
    if (digits) token->kind = kScanNumber;
    else if (length <= static_cast<std::size_t>(kMaxMemoNameLength) && EqualsIgnoringCase(text + position, length, "OBMemoBinaire"))
        token->kind = kScanKeyword;
    else token->kind = kScanOther;
    return true;
}

struct Pattern {
    const int* kinds;
    int length;
};

constexpr int kNumberPattern[] = {kScanNumber};
constexpr int kPlainPattern[] = {kScanOpenBrace, kScanKeyword, kScanOpenParen, kScanString, kScanCloseParen,
                                 kScanCloseBrace};
constexpr int kQualifiedPattern[] = {kScanOpenBrace, kScanKeyword, kScanOpenParen, kScanString, kScanComma,
                                     kScanString, kScanCloseParen, kScanCloseBrace};
constexpr Pattern kPatterns[] = {{kNumberPattern, 1}, {kPlainPattern, 6}, {kQualifiedPattern, 8}};
constexpr int kPatternCount = 3;
constexpr int kNameToken = 3;       // index of the name string in patterns 1 and 2
constexpr int kQualifierToken = 5;  // index of the qualifier string in pattern 2

// Copies a string token's contents (at most kMaxMemoNameLength bytes).
void Remember(const char* text, const ScanToken& token, char* target) {
    std::size_t length = platform::Utf8CutLength(text + token.contentStart, token.contentLength,
                                                 static_cast<std::size_t>(kMaxMemoNameLength));
    std::memcpy(target, text + token.contentStart, length);
    target[length] = '\0';
}

void AddEntry(MemoContext* context, std::int32_t kind, std::size_t start, std::size_t end, const char* name) {
    if (context->entryCount >= kMaxMemoEntries) return;
    MemoEntry& entry = context->entries[context->entryCount++];
    entry.kind = kind;
    entry.start = static_cast<std::int32_t>(start);
    entry.length = static_cast<std::int32_t>(end - start);
    std::size_t length = std::strlen(name);
    entry.name = static_cast<char*>(AllocBlock(static_cast<std::uint32_t>(length + 1)));
    if (entry.name != nullptr) std::memcpy(entry.name, name, length + 1);
}

void ClearEntries(MemoContext* context) {
    for (std::int32_t i = 0; i < context->entryCount && i < kMaxMemoEntries; ++i) {
        if (context->entries[i].name != nullptr) FreeBlock(context->entries[i].name);
        context->entries[i] = MemoEntry{};
    }
    context->entryCount = 0;
}

}  // namespace

MemoContext* NewMemoContext() { return static_cast<MemoContext*>(AllocBlock(sizeof(MemoContext))); }

void FreeMemoContext(MemoContext* context) {
    if (context == nullptr) return;
    ClearEntries(context);
    FreeBlock(context);
}

std::int32_t ScanMemoReferences(MemoContext* context, const char* statement) {
    if (context == nullptr) return 0;
    ClearEntries(context);
    if (statement == nullptr) return 0;

    int matched[kPatternCount] = {};        // tokens matched so far, per pattern
    std::size_t starts[kPatternCount] = {}; // start of each pattern's first token
    char name[kMaxMemoNameLength + 1] = "";
    char qualifier[kMaxMemoNameLength + 1] = "";
    std::size_t position = 0;
    ScanToken token;
    while (NextToken(statement, position, &token)) {
        if (token.end <= position) break;
        position = token.end;

        for (int k = 0; k < kPatternCount; ++k) {
            if (kPatterns[k].kinds[matched[k]] != token.kind) {
                matched[k] = 0;
                continue;
            }
            if (matched[k] == 0) starts[k] = token.start;
            if (token.kind == kScanString && k > 0) {
                if (matched[k] == kNameToken) Remember(statement, token, name);
                else if (matched[k] == kQualifierToken) Remember(statement, token, qualifier);
            }
            ++matched[k];
        }

        // The longest completed pattern wins, unless another one has
        // matched more tokens so far.
        int complete = -1;
        for (int k = 0; k < kPatternCount; ++k)
            if (matched[k] == kPatterns[k].length && (complete < 0 || kPatterns[k].length > kPatterns[complete].length))
                complete = k;
        if (complete < 0) continue;
        bool counts = true;
        for (int k = 0; k < kPatternCount; ++k)
            if (matched[k] != kPatterns[k].length && matched[k] > kPatterns[complete].length) counts = false;
        if (!counts) {
            for (int k = 0; k < kPatternCount; ++k)
                if (matched[k] == kPatterns[k].length) matched[k] = 0;
            continue;
        }
        if (complete == 1) {
            AddEntry(context, 0, starts[1], token.end, name);
        } else if (complete == 2) {
            bool field = EqualsIgnoringCase(qualifier, std::strlen(qualifier), "Champ") ||
                         EqualsIgnoringCase(qualifier, std::strlen(qualifier), "Field");
            AddEntry(context, field ? 1 : 0, starts[2], token.end, name);
        }
        name[0] = qualifier[0] = '\0';
        for (int k = 0; k < kPatternCount; ++k) matched[k] = 0;
    }
    return context->entryCount;
}

std::int32_t GetMemoInfo(MemoContext* context, std::int32_t index, char* name, std::uint32_t capacity,
                         std::int32_t* kind) {
    if (context == nullptr || index < 0 || index >= context->entryCount) return 0;
    const MemoEntry& entry = context->entries[index];
    if (kind != nullptr) *kind = entry.kind;
    if (name != nullptr && capacity > 0) platform::CopyUtf8Bounded(name, entry.name != nullptr ? entry.name : "", capacity);
    return 1;
}

std::int32_t ReplaceMemo(MemoContext* context, char* statement, std::int32_t index, const char* replacement,
                         std::uint32_t capacity) {
    if (context == nullptr || statement == nullptr || replacement == nullptr) return 0;
    if (index < 0 || index >= context->entryCount) return 0;
    MemoEntry& entry = context->entries[index];
    std::size_t length = std::strlen(statement);
    if (entry.start < 0 || entry.length < 0 ||
        static_cast<std::size_t>(entry.start) + static_cast<std::size_t>(entry.length) > length)
        return 0;  // the text no longer holds the reference where the scan saw it
    std::size_t start = static_cast<std::size_t>(entry.start);
    std::size_t oldLength = static_cast<std::size_t>(entry.length);
    std::size_t newLength = std::strlen(replacement);
    std::size_t total = length - oldLength + newLength;
    if (capacity == 0 || total > capacity - 1u) return 0;
    if (newLength != oldLength)
        std::memmove(statement + start + newLength, statement + start + oldLength, length - start - oldLength + 1);
    std::memcpy(statement + start, replacement, newLength);
    std::int32_t shift = static_cast<std::int32_t>(newLength) - entry.length;
    entry.length = static_cast<std::int32_t>(newLength);
    for (std::int32_t j = index + 1; j < context->entryCount; ++j) context->entries[j].start += shift;
    return 1;
}

std::int32_t FormatMemoMarker(char* out, std::int32_t number) {
    return std::snprintf(out, 16, "'%c%d'", kMemoMarkerChar, static_cast<int>(number));
}

std::int32_t ReplaceMemoReferences(char* statement, std::uint32_t capacity) {
    if (std::strchr(statement, '{') == nullptr) return 1;  // every reference opens with a brace
    MemoContext* context = NewMemoContext();
    if (context == nullptr) return 1;  // the refused allocation fails the statement
    std::int32_t count = ScanMemoReferences(context, statement);
    for (std::int32_t i = 0; i < count; ++i) {
        char marker[16];
        FormatMemoMarker(marker, i + 1);
        ReplaceMemo(context, statement, i, marker, capacity);
    }
    // A full context may have left references behind: look again.
    bool allReplaced = count < kMaxMemoEntries || ScanMemoReferences(context, statement) == 0;
    FreeMemoContext(context);
    return allReplaced ? 1 : 0;
}

}  // namespace qx
