// Lexer: the token tables of the dialect and the tokenizer that reads one
// token of a statement at a given position.
//
// The Lexer keeps no reading state besides the current token (kind and
// text): the grammar passes the position to every Scan, re-reads from an
// earlier position when it backtracks, and says where signed numbers are
// allowed.  Scan never reports an error itself; it returns the position after
// the token or minus a message number, and the caller decides what the
// failure means.  Parsing the tokens, and anything a token means, is left to
// the grammar.
//
// Positions are 16-bit: the request limits statements far below 32767 bytes.
// Text past offset 32767 is treated as the end of the statement.
#pragma once

#include <cstdint>

#include "lexer/TokenKinds.h"

namespace qx {

class Lexer {
public:
    static constexpr int kKeywordCount = 74;
    static constexpr int kKeywordFieldSize = 15;  // up to 14 characters and NUL
    static constexpr int kPunctuationCount = 9;
    static constexpr int kOperatorCount = 21;

    // Fills the tables; the token text is absent (reads as "") until a token is stored.
    Lexer();
    Lexer(const Lexer&) = delete;
    Lexer& operator=(const Lexer&) = delete;
    ~Lexer();

    // Copies `text` (NUL-terminated) into the token text.  A text shorter than
    // the capacity reuses the buffer; otherwise the buffer is replaced by one
    // of exactly length + 1 bytes.  1 on success; 0 when no buffer could be
    // had, the token text then being empty.
    std::int16_t StoreTokenText(const char* text);

    // Scans one token of the NUL-terminated `text` from `position` (which must
    // lie within the text; a negative one gives -4245) and leaves its kind and text in the Lexer.  Returns
    // the position just after the token, or:
    //   -4245  only blanks remain                         (kind 0, text "")
    //   -4246  no token starts here                        (kind 0, text "")
    //   -4247  string without closing quote                (kind 0, text "")
    //   -4248  string, number or identifier glued to a letter, digit, "_" or
    //          quote; kind and text are those of the item just scanned
    //   -4242  no memory for the token text                (kind 0, text "")
    // `*emptyString` (may be null) becomes 1 for a string literal with nothing
    // between its quotes, else 0.  With `signedNumbers`, "+" or "-" starts a
    // number instead of being an operator.
    std::int16_t Scan(const char* text, std::int16_t position, std::int16_t* emptyString, bool signedNumbers);

    // The current token: stores its kind in `*kind` and returns a new copy of
    // its text ("" when none), upper-cased (ASCII letters) for an identifier.
    // The caller owns the copy and frees it with FreeBlock.  Null when no
    // memory could be had (the kind is still stored).
    char* GetToken(std::uint16_t* kind) const;

    // The current token without copying.  The text stays owned by the Lexer
    // and is valid until the next Scan or StoreTokenText.
    std::uint16_t Kind() const { return kind_; }
    const char* Text() const { return text_ != nullptr ? text_ : ""; }
    // Bytes in the token text buffer (0 while absent).
    std::int16_t Capacity() const { return capacity_; }

    // The table spellings, for code that shows or compares a token by kind.
    // Null for an index out of range.
    const char* KeywordAt(int index) const;
    const char* PunctuationAt(int index) const;
    const char* OperatorAt(int index) const;

private:
    // Copies `length` bytes at `start` as the token text (buffer rules of StoreTokenText).
    std::int16_t StoreSpan(const char* start, int length);
    // Empties the token text and sets kind 0, without allocating.
    void ClearToken();
    // Result for a failed scan: kind 0, text "", and `-message`.
    std::int16_t Fail(int message);

    // Each returns the end of the token or minus a message number; `p` is the
    // first character of the token.
    int ScanOperator(const char* text, int p);
    int ScanPunctuation(const char* text, int p);
    int ScanString(const char* text, int p, std::int16_t* emptyString);
    int ScanNumber(const char* text, int p);
    int ScanWord(const char* text, int p);
    // Index of the first keyword entry that matches at `p` followed by a separator, or -1.
    int MatchKeyword(const char* text, int p) const;

    char* text_ = nullptr;           // owned token text (block heap); null until first stored
    std::int16_t capacity_ = 0;      // bytes in text_
    std::uint16_t kind_ = kTokNone;  // kind of the current token
};

}  // namespace qx
