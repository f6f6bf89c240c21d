// Completion: matching a prefix against the candidates.
#include "shell/Completion.h"

#include <algorithm>
#include <cctype>

#include "shell/TextUtil.h"

namespace qxsql {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

}  // namespace

std::string_view WordBefore(std::string_view line, std::size_t cursor) {
    cursor = std::min(cursor, line.size());
    std::size_t start = cursor;
    while (start > 0 && IsWordChar(line[start - 1])) --start;
    if (start > 0 && line[start - 1] == '.' && Trim(line.substr(0, start - 1)).empty()) --start;
    return line.substr(start, cursor - start);
}

Completion Complete(std::string_view prefix, const std::vector<std::string>& candidates) {
    bool lower = std::none_of(prefix.begin(), prefix.end(), [](char c) { return std::isupper(static_cast<unsigned char>(c)); });
    std::vector<std::string> matches;
    for (const std::string& candidate : candidates) {
        if (candidate.size() < prefix.size() || !EqualsIgnoreCase(std::string_view(candidate).substr(0, prefix.size()), prefix))
            continue;
        std::string word = candidate;
        if (lower) std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
        matches.push_back(std::move(word));
    }
    std::sort(matches.begin(), matches.end());
    matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
    Completion result;
    if (matches.empty()) return result;
    // The longest start all matches share, past the prefix.
    std::size_t common = matches.front().size();
    for (const std::string& match : matches) {
        std::size_t n = 0;
        while (n < common && n < match.size() && match[n] == matches.front()[n]) ++n;
        common = n;
    }
    if (common > prefix.size()) result.insert = matches.front().substr(prefix.size(), common - prefix.size());
    if (matches.size() == 1)
        result.insert += ' ';
    else
        result.matches = std::move(matches);
    return result;
}

const std::vector<std::string>& SqlWords() {
    static const std::vector<std::string> words = {
        "SELECT", "DISTINCT", "FROM",   "WHERE",  "GROUP",  "ORDER",   "BY",      "HAVING", "LIMIT",  "OFFSET",
        "ASC",    "DESC",     "AS",     "AND",    "OR",     "NOT",     "IN",      "IS",     "NULL",   "LIKE",
        "BETWEEN", "EXISTS",  "UNION",  "ALL",    "INTERSECT", "EXCEPT", "JOIN",  "INNER",  "LEFT",   "ON",
        "INSERT", "INTO",     "VALUES", "UPDATE", "SET",    "DELETE",  "CREATE",  "TABLE",  "INDEX",  "UNIQUE",
        "DROP",   "DEFAULT",  "COUNT",  "SUM",    "AVG",    "MIN",     "MAX",     "INTEGER", "SMALLINT", "TINYINT",
        "REAL",   "DOUBLE",   "PRECISION", "CHAR", "DATE",  "TIME",
        ".dump",  ".echo",    ".headers", ".help", ".import", ".indexes", ".memo", ".mode", ".once", ".output",
        ".quit",  ".read", ".check", ".vacuum",    ".schema", ".tables", ".timer"};
    return words;
}

}  // namespace qxsql
