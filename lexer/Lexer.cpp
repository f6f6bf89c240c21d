// Lexer: fills the keyword, punctuation and operator tables and cuts a
// statement into tokens one Scan at a time.
//
// Scan works in place on the caller's text: it reads up to the NUL and never
// past it, upper-cases nothing (keywords are compared case-insensitively
// where they stand) and allocates only when the token text outgrows its
// buffer.  What a token means, and what a failed scan means, is the
// grammar's business.
#include "lexer/Lexer.h"

#include <cstring>

#include "base/MemoryBlock.h"
#include "base/Messages.h"

namespace qx {
namespace {

// Spellings in code order; the code of an entry is its index plus 1, 151 or 201.
// clang-format off
constexpr const char* kKeywordSpellings[Lexer::kKeywordCount] = {
    "ALL",           "AND",           "ANY",           "AS",            "AVG",             // 1..5
    "BETWEEN",       "CASCADE",       "COUNT(*)",      "COUNT DISTINCT", "TABLE",          // 6..10
    "VIEW",          "CURRENT TIME",  "CURRENT DATE",  "DATE",          "DAY",             // 11..15
    "DECIMAL",       "DEFAULT",       "DELETE FROM",   "DIGITS",        "DISTINCT",        // 16..20
    "DROP TABLE",    "DROP VIEW",     "EXCEPT",        "EXISTS",        "FLOAT",           // 21..25
    "FROM",          "GROUP BY",      "HAVING",        "HEX",           "HOUR",            // 26..30
    "INSERT INTO",   "INTEGER",       "INTERSECT",     "IN",            "IS",              // 31..35
    "LENGTH",        "LIKE",          "MATCH",         "MAX",           "MINUTE",          // 36..40
    "MIN",           "NOT",           "NULL",          "ORDER BY",      "OR",              // 41..45
    "RESTRICT",      "SECOND",        "SELECT",        "SET",           "SOME",            // 46..50
    "SUM",           "TIME",          "UNION",         "UNIQUE",        "UPDATE",          // 51..55
    "VALUES",        "WHERE",         "WITH",          "YEAR",          "ASC",             // 56..60
    "DESC",          "SMALLINT",      "REAL",          "DOUBLE",        "CHAR",            // 61..65
    "VARCHAR",       "PRIMARY KEY",   "PRECISION",     "BIGINT",        "TINYINT",         // 66..70
    "CREATE",        "INDEX",         "ON",            "FOREIGN KEY",                      // 71..74
};
// clang-format on
constexpr const char* kPunctuationSpellings[Lexer::kPunctuationCount] = {".", ":", ";", ",", "?",
                                                                         "(", ")", "[", "]"};
constexpr const char* kOperatorSpellings[Lexer::kOperatorCount] = {"+",  "-",  "**", "*",  "/", "%", ">>",
                                                                   "<<", "<>", "<=", ">=", "<", ">", "||",
                                                                   "&&", "|",  "&",  "^",  "~", "!", "="};

// Largest position a 16-bit result can carry; text from here on counts as the end.
constexpr int kMaxPosition = 32767;

// Character classes work on ASCII only: bytes above 126 are neither letters nor digits.
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char ToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// A token may end at q when what follows cannot glue onto it: the end of the
// text, a blank, or anything but a letter, digit, "_" or quote character.
bool IsSeparator(const char* text, int q) {
    char c = text[q];
    return !(IsLetter(c) || IsDigit(c) || c == '_' || c == '"' || c == '\'');
}

bool IsIdentifierChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_' || c == '@' || c == '#' || c == '.';
}

// Length of `entry` when it stands at text + p, 0 otherwise.  Stops at the
// first difference, so it never reads past the text's NUL.
int MatchEntry(const char* entry, const char* text, int p) {
    int k = 0;
    while (entry[k] != '\0') {
        if (text[p + k] != entry[k]) return 0;
        ++k;
    }
    return k;
}

}  // namespace

namespace {

// The spellings in fixed-size fields, built once: keywords, punctuation and
// operators in code order (two-character operators first).
struct SpellingTables {
    char keywords[Lexer::kKeywordCount][Lexer::kKeywordFieldSize];
    char punctuation[Lexer::kPunctuationCount][2];
    char operators[Lexer::kOperatorCount][3];
    // Keywords by their first letter (A to Z), in code order.
    std::int8_t byInitial[26][Lexer::kKeywordCount];
    int initialCount[26];
};

constexpr bool EveryKeywordStartsWithALetter() {
    for (const char* spelling : kKeywordSpellings)
        if (spelling[0] < 'A' || spelling[0] > 'Z') return false;
    return true;
}
static_assert(EveryKeywordStartsWithALetter(), "MatchKeyword looks keywords up by their first letter");

const SpellingTables& Spellings() {
    static const SpellingTables tables = [] {
        SpellingTables t{};
        for (int i = 0; i < Lexer::kKeywordCount; ++i)
            std::memcpy(t.keywords[i], kKeywordSpellings[i], std::strlen(kKeywordSpellings[i]));
        for (int i = 0; i < Lexer::kPunctuationCount; ++i) t.punctuation[i][0] = kPunctuationSpellings[i][0];
        for (int i = 0; i < Lexer::kOperatorCount; ++i)
            std::memcpy(t.operators[i], kOperatorSpellings[i], std::strlen(kOperatorSpellings[i]));
        for (int i = 0; i < Lexer::kKeywordCount; ++i) {
            int letter = t.keywords[i][0] - 'A';
            t.byInitial[letter][t.initialCount[letter]++] = static_cast<std::int8_t>(i);
        }
        return t;
    }();
    return tables;
}

}  // namespace

Lexer::Lexer() = default;

Lexer::~Lexer() {
    if (text_ != nullptr) FreeBlock(text_);
}

const char* Lexer::KeywordAt(int index) const {
    return index >= 0 && index < kKeywordCount ? Spellings().keywords[index] : nullptr;
}
const char* Lexer::PunctuationAt(int index) const {
    return index >= 0 && index < kPunctuationCount ? Spellings().punctuation[index] : nullptr;
}
const char* Lexer::OperatorAt(int index) const {
    return index >= 0 && index < kOperatorCount ? Spellings().operators[index] : nullptr;
}

std::int16_t Lexer::StoreTokenText(const char* text) {
    if (text == nullptr) text = "";
    int length = 0;
    while (length < kMaxPosition && text[length] != '\0') ++length;  // longer ones are refused anyway
    return StoreSpan(text, length);
}

std::int16_t Lexer::StoreSpan(const char* start, int length) {
    if (length < capacity_) {
        std::memmove(text_, start, static_cast<std::size_t>(length));  // `start` may lie in text_
        text_[length] = '\0';
        return 1;
    }
    // The capacity is 16-bit: a text of 32767 bytes or more cannot be held.
    char* buffer = length < kMaxPosition
                       ? static_cast<char*>(AllocBlock(static_cast<std::uint32_t>(length) + 1))
                       : nullptr;
    if (buffer == nullptr) {
        if (text_ != nullptr) text_[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, start, static_cast<std::size_t>(length));
    buffer[length] = '\0';
    if (text_ != nullptr) FreeBlock(text_);
    text_ = buffer;
    capacity_ = static_cast<std::int16_t>(length + 1);
    return 1;
}

void Lexer::ClearToken() {
    // Same effect as storing "", without taking a buffer on the first scan.
    if (text_ != nullptr) text_[0] = '\0';
    kind_ = kTokNone;
}

std::int16_t Lexer::Fail(int message) {
    ClearToken();
    return static_cast<std::int16_t>(-message);
}

char* Lexer::GetToken(std::uint16_t* kind) const {
    if (kind != nullptr) *kind = kind_;
    const char* source = Text();
    std::size_t length = std::strlen(source);
    char* copy = static_cast<char*>(AllocBlock(static_cast<std::uint32_t>(length) + 1));
    if (copy == nullptr) return nullptr;
    if (kind_ == kTokIdentifier) {
        for (std::size_t i = 0; i < length; ++i) copy[i] = ToUpper(source[i]);
    } else {
        std::memcpy(copy, source, length);
    }
    copy[length] = '\0';
    return copy;
}

std::int16_t Lexer::Scan(const char* text, std::int16_t position, std::int16_t* emptyString,
                         bool signedNumbers) {
    if (emptyString != nullptr) *emptyString = 0;
    ClearToken();
    if (text == nullptr || position < 0) return Fail(kMsgPrematureEnd);

    int p = position;
    while (p < kMaxPosition && IsBlank(text[p])) ++p;
    if (p >= kMaxPosition || text[p] == '\0') return Fail(kMsgPrematureEnd);

    int end;
    switch (text[p]) {
        case '!':
        case '%':
        case '&':
        case '*':
        case '/':
        case '<':
        case '=':
        case '>':
        case '^':
        case '|':
        case '~':
            end = ScanOperator(text, p);
            break;
        case '+':
        case '-':
            end = signedNumbers ? ScanNumber(text, p) : ScanOperator(text, p);
            break;
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
            end = ScanNumber(text, p);
            break;
        case '"':
        case '\'':
            end = ScanString(text, p, emptyString);
            break;
        case '(':
        case ')':
        case ',':
        case '.':
        case ':':
        case ';':
        case '?':
        case '[':
        case ']':
            end = ScanPunctuation(text, p);
            break;
        default:
            end = ScanWord(text, p);
            break;
    }
    return static_cast<std::int16_t>(end);
}

int Lexer::ScanOperator(const char* text, int p) {
    for (int i = 0; i < kOperatorCount; ++i) {
        int length = MatchEntry(Spellings().operators[i], text, p);
        if (length == 0) continue;
        if (p + length > kMaxPosition) return Fail(kMsgPrematureEnd);
        if (!StoreSpan(Spellings().operators[i], length)) return Fail(kMsgOutOfMemory);
        kind_ = static_cast<std::uint16_t>(kOpFirst + i);
        return p + length;
    }
    return Fail(kMsgUndefinedError);
}

int Lexer::ScanPunctuation(const char* text, int p) {
    for (int i = 0; i < kPunctuationCount; ++i) {
        if (MatchEntry(Spellings().punctuation[i], text, p) == 0) continue;
        if (!StoreSpan(Spellings().punctuation[i], 1)) return Fail(kMsgOutOfMemory);
        kind_ = static_cast<std::uint16_t>(kPunFirst + i);
        return p + 1;
    }
    return Fail(kMsgUndefinedError);
}

// Only the opening quote character is special inside a string: doubled, it
// stands for one.  A quote of the other kind is an ordinary character, so
// "it's" and 'say "hi"' hold the quote as typed.
int Lexer::ScanString(const char* text, int p, std::int16_t* emptyString) {
    const char quote = text[p];
    int i = 1;
    bool closed = false;
    while (text[p + i] != '\0') {
        if (text[p + i] == quote) {
            if (text[p + i + 1] != quote) {
                closed = true;
                break;
            }
            ++i;  // the doubled quote: pass over its second half
        }
        ++i;
    }
    if (!closed) return Fail(kMsgUnterminatedString);
    const int end = p + i + 1;
    if (end > kMaxPosition) return Fail(kMsgPrematureEnd);

    if (i == 1) {
        if (emptyString != nullptr) *emptyString = 1;
    } else {
        if (!StoreSpan(text + p + 1, i - 1)) return Fail(kMsgOutOfMemory);
        // Reduce every doubled quote to one, left to right, in place.
        int out = 0;
        for (int in = 0; text_[in] != '\0'; ++in, ++out) {
            text_[out] = text_[in];
            if (text_[in] == quote) ++in;  // the content holds quotes only in pairs
        }
        text_[out] = '\0';
    }
    kind_ = kTokString;
    return IsSeparator(text, end) ? end : -kMsgMissingSeparator;
}

int Lexer::ScanNumber(const char* text, int p) {
    std::uint16_t kind = kTokInteger;
    int j = p;
    if (text[j] == '+' || text[j] == '-') {
        kind = kTokSignedInteger;
        ++j;
    }
    if (!IsDigit(text[j])) return Fail(kMsgUndefinedError);
    while (IsDigit(text[j])) ++j;
    if (text[j] == '.') {
        kind = kTokDecimal;
        ++j;
        while (IsDigit(text[j])) ++j;
    }
    if (text[j] == 'E' || text[j] == 'e') {
        ++j;  // the "E" belongs to the number even without digits after it
        int k = j;
        if (text[k] == '+' || text[k] == '-') ++k;
        if (IsDigit(text[k])) {
            while (IsDigit(text[k])) ++k;
            j = k;
            kind = kTokExponent;
        }
    }
    if (j > kMaxPosition) return Fail(kMsgPrematureEnd);
    if (!StoreSpan(text + p, j - p)) return Fail(kMsgOutOfMemory);
    kind_ = kind;
    return IsSeparator(text, j) ? j : -kMsgMissingSeparator;
}

int Lexer::MatchKeyword(const char* text, int p) const {
    // Only the keywords of the word's first letter can match; they are in code order.
    char initial = ToUpper(text[p]);
    if (initial < 'A' || initial > 'Z') return -1;
    const SpellingTables& tables = Spellings();
    const int letter = initial - 'A';
    for (int c = 0; c < tables.initialCount[letter]; ++c) {
        const int index = tables.byInitial[letter][c];
        const char* entry = tables.keywords[index];
        int k = 0;
        // Entries are upper case; a mismatch (the NUL included) ends the comparison.
        while (entry[k] != '\0' && ToUpper(text[p + k]) == entry[k]) ++k;
        if (entry[k] == '\0' && IsSeparator(text, p + k)) return index;
    }
    return -1;
}

int Lexer::ScanWord(const char* text, int p) {
    const char c = text[p];
    if (IsLetter(c)) {
        int index = MatchKeyword(text, p);
        if (index >= 0) {
            const int length = static_cast<int>(std::strlen(Spellings().keywords[index]));
            if (p + length > kMaxPosition) return Fail(kMsgPrematureEnd);
            if (!StoreSpan(Spellings().keywords[index], length)) return Fail(kMsgOutOfMemory);
            kind_ = static_cast<std::uint16_t>(kKwFirst + index);
            return p + length;
        }
    } else if (c != '_') {
        return Fail(kMsgUndefinedError);
    }
    int j = p + 1;
    while (IsIdentifierChar(text[j])) ++j;
    if (j > kMaxPosition) return Fail(kMsgPrematureEnd);
    if (!StoreSpan(text + p, j - p)) return Fail(kMsgOutOfMemory);
    kind_ = kTokIdentifier;
    return IsSeparator(text, j) ? j : -kMsgMissingSeparator;
}

}  // namespace qx
