// StatementSplitter: a four-state scanner (plain text, inside '...',
// inside "...", inside a "--" comment).  A doubled quote needs no
// look-ahead: it closes the literal and opens it again.  Outside literals
// each run of blanks becomes one space, since the engine matches its
// two-word keywords ("ORDER BY", "INSERT INTO") with exactly one blank.
#include "shell/StatementSplitter.h"

#include "shell/TextUtil.h"

namespace qxsql {

void StatementSplitter::Append(char c) {
    current_.push_back(c);
    if (!IsBlank(c)) hasContent_ = true;
}

void StatementSplitter::AppendBlank() {
    if (!current_.empty() && current_.back() != ' ') current_.push_back(' ');
}

void StatementSplitter::EndStatement(std::vector<std::string>& out) {
    if (hasContent_) out.emplace_back(Trim(current_));
    current_.clear();
    hasContent_ = false;
}

void StatementSplitter::Feed(std::string_view text, std::vector<std::string>& out) {
    for (char c : text) {
        if (pendingDash_) {
            pendingDash_ = false;
            if (c == '-' && state_ == State::Plain) {
                state_ = State::Comment;
                continue;
            }
            Append('-');
        }
        switch (state_) {
            case State::Comment:
                if (c == '\n') {
                    state_ = State::Plain;
                    AppendBlank();
                }
                break;
            case State::SingleQuote:
                Append(c);
                if (c == '\'') state_ = State::Plain;
                break;
            case State::DoubleQuote:
                Append(c);
                if (c == '"') state_ = State::Plain;
                break;
            case State::Plain:
                if (c == ';') {
                    EndStatement(out);
                } else if (c == '-') {
                    pendingDash_ = true;
                } else if (IsBlank(c)) {
                    AppendBlank();
                } else {
                    Append(c);
                    if (c == '\'') state_ = State::SingleQuote;
                    if (c == '"') state_ = State::DoubleQuote;
                }
                break;
        }
    }
}

std::string StatementSplitter::Finish() {
    if (pendingDash_) Append('-');
    pendingDash_ = false;
    std::string rest = hasContent_ ? std::string(Trim(current_)) : std::string();
    current_.clear();
    hasContent_ = false;
    state_ = State::Plain;
    return rest;
}

bool StatementSplitter::Idle() const {
    return !hasContent_ && !pendingDash_ && (state_ == State::Plain || state_ == State::Comment);
}

}  // namespace qxsql
