// StatementSplitter: cuts SQL text into statements, since the engine takes
// one statement per call.  A statement ends at ";" outside string literals
// ('...' and "...", a doubled quote standing for one) and outside "--"
// comments, which run to the end of the line and are dropped from the
// text.  Outside literals, every run of blanks (line ends included) is
// given to the engine as one space.  Text may arrive in pieces of any size (lines at a prompt, a whole
// file): the splitter keeps the unfinished statement between calls.
// What a statement means is the engine's business; dot commands are
// recognised by the script runner, which asks Idle() first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qxsql {

class StatementSplitter {
public:
    // Reads `text`; appends every statement completed by a ";" to `out`,
    // without its ";", trimmed, blanks outside literals folded.  Statements holding only
    // blanks and comments are dropped.
    void Feed(std::string_view text, std::vector<std::string>& out);

    // The unfinished statement (trimmed; empty when it holds only blanks and
    // comments, or nothing), and a fresh start.  A literal left open is
    // given as it stands: the engine reports it.
    std::string Finish();

    // True when nothing but blanks and comments has been read since the
    // last statement ended (a dot command may start here).
    bool Idle() const;

    // True while inside a string literal.
    bool InLiteral() const { return state_ == State::SingleQuote || state_ == State::DoubleQuote; }

private:
    enum class State { Plain, SingleQuote, DoubleQuote, Comment };

    void Append(char c);
    void AppendBlank();  // one space, unless the text is empty or already ends with one
    void EndStatement(std::vector<std::string>& out);

    State state_ = State::Plain;
    bool pendingDash_ = false;  // a "-" in plain text, held until the next character says whether "--" starts
    bool hasContent_ = false;   // the statement so far holds more than blanks
    std::string current_;       // the statement so far, comments removed
};

}  // namespace qxsql
