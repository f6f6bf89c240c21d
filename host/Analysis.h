// Analysis: the data dictionary of one database, read from and written to
// its analysis file (analysis.qxa).
//
// The analysis file is line oriented; host/README.md documents it:
//
//   ANALYSIS 1                                   first line, the format version
//   FILE <name>                                  starts a file (table), name <= 8 bytes
//   ITEM <name> <type> [<size>] [ARRAY <n>] [UNIQUE | DUPLICATES]
//   KEY  <name> UNIQUE | DUPLICATES <item>[,<item>...]
//   VIEW <name> [<column>[,<column>...]]         a view, name <= 8 bytes
//   AS <select>                                  the line after VIEW: its SELECT
//
// The AS line is taken to its end as written ('#' included); a backslash
// stands for itself when doubled, and "\n" / "\r" for the line breaks of
// the SELECT.
// '#' starts a comment; blank lines are ignored; keywords and names are
// case-insensitive (names are kept in upper case, as the SQL engine writes
// them).  Parse refuses a malformed text with a message naming the line.
// Format writes the text back in the same syntax (comments are not kept).
#pragma once

#include <string>
#include <vector>

#include "host/FileDef.h"
#include "host/ViewDef.h"

namespace qxhost {

class Analysis {
public:
    static constexpr const char* kFileName = "analysis.qxa";
    static constexpr std::size_t kMaxFileName = 8;
    static constexpr std::size_t kMaxItemName = 10;

    // Replaces the contents with the parsed `text`.  On failure returns false with
    // "<source> line <n>: <why>" in `error` and leaves the contents unchanged.
    bool Parse(const std::string& text, const std::string& source, std::string& error);
    // The whole analysis text, or one file's block.
    std::string Format() const;
    static std::string FormatFile(const FileDef& file);

    const std::vector<FileDef>& Files() const { return files_; }
    std::vector<FileDef>& Files() { return files_; }
    // Index of the file named `name` (ASCII case folded), or -1.
    int FindFile(const std::string& name) const;

    const std::vector<ViewDef>& Views() const { return views_; }
    std::vector<ViewDef>& Views() { return views_; }
    // Index of the view named `name` (ASCII case folded), or -1.
    int FindView(const std::string& name) const;

    // Folds `text` to upper case and checks it as a name of at most `maxLength` bytes
    // (letters, digits, '_' and bytes above 127, not starting with a digit).
    static bool NormalizeName(const std::string& text, std::size_t maxLength, std::string& out, std::string& why);
    // Checks a completed file (items, sizes, keys) and computes its layout.
    static bool CheckFile(FileDef& file, std::string& why, int& line);

private:
    std::vector<FileDef> files_;
    std::vector<ViewDef> views_;
};

}  // namespace qxhost
