// LineEditor: libedit when built with it, else plain lines.
#include "shell/LineEditor.h"

#include <cstdio>
#include <string_view>
#include <cstdlib>
#include <istream>
#include <ostream>

#if defined(QXSQL_HAVE_LIBEDIT)
#include <histedit.h>

#include "shell/Completion.h"
#endif

namespace qxsql {

#if defined(QXSQL_HAVE_LIBEDIT)
namespace {

char* PromptOf(EditLine* editor) {
    void* self = nullptr;
    el_get(editor, EL_CLIENTDATA, &self);
    return const_cast<char*>(self != nullptr ? static_cast<LineEditor*>(self)->CurrentPrompt() : "");
}

// Tab: completes the word before the cursor as far as its matches agree;
// when they agree no further, lists them under the line.
unsigned char CompleteWord(EditLine* editor, int) {
    void* self = nullptr;
    el_get(editor, EL_CLIENTDATA, &self);
    const LineInfo* info = el_line(editor);
    if (self == nullptr || info == nullptr) return CC_ERROR;
    std::string_view line(info->buffer, static_cast<std::size_t>(info->lastchar - info->buffer));
    std::string_view prefix = WordBefore(line, static_cast<std::size_t>(info->cursor - info->buffer));
    if (prefix.empty()) return CC_ERROR;
    Completion completion = Complete(prefix, static_cast<LineEditor*>(self)->Words());
    if (!completion.insert.empty()) {
        el_insertstr(editor, completion.insert.c_str());
        return CC_REFRESH;
    }
    if (completion.matches.empty()) return CC_ERROR;
    std::size_t column = 0;
    std::fputc('\n', stdout);
    for (const std::string& match : completion.matches) {
        if (column > 0 && column + match.size() > 78) {
            std::fputc('\n', stdout);
            column = 0;
        }
        std::fputs(match.c_str(), stdout);
        std::fputs("  ", stdout);
        column += match.size() + 2;
    }
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return CC_REDISPLAY;
}

}  // namespace
#endif

LineEditor::LineEditor(std::istream& in, std::ostream& out, bool terminal) : in_(in), out_(out) {
#if defined(QXSQL_HAVE_LIBEDIT)
    if (!terminal) return;
    EditLine* editor = el_init("qxsql", stdin, stdout, stderr);
    History* list = history_init();
    if (editor == nullptr || list == nullptr) {
        if (editor != nullptr) el_end(editor);
        if (list != nullptr) history_end(list);
        return;
    }
    HistEvent event;
    history(list, &event, H_SETSIZE, 2000);
    history(list, &event, H_SETUNIQUE, 1);
    const char* path = std::getenv("QXSQL_HISTORY");
    const char* home = std::getenv("HOME");
    if (path != nullptr && *path != '\0') {
        historyPath_ = path;
    } else if (home != nullptr && *home != '\0') {
        historyPath_ = std::string(home) + "/.qxsql_history";
    }
    if (!historyPath_.empty()) history(list, &event, H_LOAD, historyPath_.c_str());
    el_set(editor, EL_CLIENTDATA, this);
    el_set(editor, EL_PROMPT, &PromptOf);
    el_set(editor, EL_EDITOR, "emacs");
    el_set(editor, EL_HIST, history, list);
    el_set(editor, EL_ADDFN, "qxsql-complete", "complete a word", &CompleteWord);
    el_set(editor, EL_BIND, "^I", "qxsql-complete", nullptr);
    el_source(editor, nullptr);  // the user's ~/.editrc, when there is one
    editor_ = editor;
    history_ = list;
#else
    (void)terminal;
#endif
}

LineEditor::~LineEditor() {
#if defined(QXSQL_HAVE_LIBEDIT)
    if (history_ != nullptr) {
        HistEvent event;
        if (!historyPath_.empty()) history(static_cast<History*>(history_), &event, H_SAVE, historyPath_.c_str());
        history_end(static_cast<History*>(history_));
    }
    if (editor_ != nullptr) el_end(static_cast<EditLine*>(editor_));
#endif
}

bool LineEditor::ReadLine(const char* prompt, std::string& line) {
    prompt_ = prompt;
#if defined(QXSQL_HAVE_LIBEDIT)
    if (editor_ != nullptr) {
        out_.flush();
        int count = 0;
        const char* text = el_gets(static_cast<EditLine*>(editor_), &count);
        if (text == nullptr || count <= 0) return false;
        line.assign(text, static_cast<std::size_t>(count));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return true;
    }
#endif
    out_ << prompt;
    out_.flush();
    if (!std::getline(in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void LineEditor::Remember(const std::string& line) {
#if defined(QXSQL_HAVE_LIBEDIT)
    if (history_ != nullptr && !line.empty()) {
        HistEvent event;
        history(static_cast<History*>(history_), &event, H_ENTER, line.c_str());
    }
#else
    (void)line;
#endif
}

}  // namespace qxsql
