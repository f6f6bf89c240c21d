// LineEditor: reads the lines typed at the prompt.  On a terminal, and
// when the shell was built with libedit, lines are edited with libedit
// and kept in a history that is loaded from and saved to ~/.qxsql_history
// (the file named by QXSQL_HISTORY instead, when that is set).  Otherwise
// the prompt is written to standard output and a plain line is read from
// standard input.  With libedit, Tab completes the word before the cursor
// (shell/Completion.h) or lists the words it could become.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace qxsql {

class LineEditor {
public:
    // `in` and `out` are used for plain input (not owned; must outlive the editor).
    LineEditor(std::istream& in, std::ostream& out, bool terminal);
    LineEditor(const LineEditor&) = delete;
    LineEditor& operator=(const LineEditor&) = delete;
    ~LineEditor();

    // Shows `prompt` and reads one line (without its end of line).  False at end of input.
    bool ReadLine(const char* prompt, std::string& line);
    // Adds a line to the history (no-op without line editing).
    void Remember(const std::string& line);
    bool Editing() const { return editor_ != nullptr; }
    // Where Tab finds the words it completes (asked at each press).
    using WordSource = std::function<std::vector<std::string>()>;
    void SetWordSource(WordSource source) { words_ = std::move(source); }
    std::vector<std::string> Words() const { return words_ ? words_() : std::vector<std::string>(); }

    // The prompt libedit shows (called back from libedit).
    const char* CurrentPrompt() const { return prompt_; }

private:
    std::istream& in_;
    std::ostream& out_;
    void* editor_ = nullptr;   // EditLine*, owned
    void* history_ = nullptr;  // History*, owned
    std::string historyPath_;
    const char* prompt_ = "";
    WordSource words_;
};

}  // namespace qxsql
