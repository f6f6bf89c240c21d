// Analysis: parsing, checking and writing the analysis file (see Analysis.h).
#include "host/Analysis.h"

#include <cstdlib>

#include "host/FieldTypes.h"

namespace qxhost {
namespace {

std::string Upper(const std::string& text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

// Reads a decimal number in [least, most]; false when `text` is not one.
bool Number(const std::string& text, unsigned long least, unsigned long most, unsigned long& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::strtoul(text.c_str(), nullptr, 10);
    return value >= least && value <= most;
}

bool KeyModeWord(const std::string& word, KeyMode& mode) {
    std::string w = Upper(word);
    if (w == "UNIQUE") mode = KeyMode::Unique;
    else if (w == "DUPLICATES") mode = KeyMode::Duplicates;
    else return false;
    return true;
}

const char* KeyModeText(KeyMode mode) { return mode == KeyMode::Unique ? "UNIQUE" : "DUPLICATES"; }

// A KEY line waiting for the end of its file block, when all items are known.
struct PendingKey {
    KeyDef key;
    std::vector<std::string> itemNames;
};

bool ParseItem(const std::vector<std::string>& t, ItemDef& item, std::string& why) {
    if (t.size() < 3) {
        why = "ITEM needs a name and a field type";
        return false;
    }
    if (!Analysis::NormalizeName(t[1], Analysis::kMaxItemName, item.name, why)) return false;
    unsigned long value = 0;
    if (!Number(t[2], 0, 65535, value) || !FieldTypes::IsKnown(static_cast<std::uint16_t>(value))) {
        why = "unknown field type '" + t[2] + "'";
        return false;
    }
    item.type = static_cast<std::uint16_t>(value);
    std::size_t i = 3;
    if (i < t.size() && Number(t[i], 0, 65535, value)) {
        item.size = static_cast<std::uint16_t>(value);
        ++i;
    } else if (std::uint16_t fixed = FieldTypes::FixedSize(item.type)) {
        item.size = fixed;
    } else {
        why = "field type " + std::to_string(item.type) + " needs a size";
        return false;
    }
    if (!FieldTypes::SizeAllowed(item.type, item.size, why)) return false;
    for (; i < t.size(); ++i) {
        std::string word = Upper(t[i]);
        KeyMode mode;
        if (word == "ARRAY") {
            if (i + 1 >= t.size() || !Number(t[i + 1], 1, 32767, value)) {
                why = "ARRAY needs a count from 1 to 32767";
                return false;
            }
            item.arrayCount = static_cast<std::uint16_t>(value);
            ++i;
        } else if (KeyModeWord(word, mode)) {
            item.key = mode;
        } else if (word == "DESC" && item.key != KeyMode::None) {
            item.descending = true;
        } else {
            why = "unexpected '" + t[i] + "' in ITEM";
            return false;
        }
    }
    return true;
}

bool ParseKey(const std::vector<std::string>& t, PendingKey& pending, std::string& why) {
    if (t.size() < 4) {
        why = "KEY needs a name, UNIQUE or DUPLICATES, and its items";
        return false;
    }
    if (!Analysis::NormalizeName(t[1], Analysis::kMaxItemName, pending.key.name, why)) return false;
    if (!KeyModeWord(t[2], pending.key.mode)) {
        why = "expected UNIQUE or DUPLICATES, not '" + t[2] + "'";
        return false;
    }
    for (std::size_t i = 3; i < t.size(); ++i) {
        std::size_t start = 0;
        const std::string& list = t[i];
        while (start <= list.size()) {
            std::size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            if (comma > start) {
                // "-NAME": the key orders that item from the largest value.
                bool descending = list[start] == '-';
                if (descending) ++start;
                pending.itemNames.push_back(list.substr(start, comma - start));
                pending.key.descending.push_back(descending);
            }
            start = comma + 1;
        }
    }
    if (pending.itemNames.empty()) {
        why = "KEY names no item";
        return false;
    }
    return true;
}

// Resolves the pending keys of `file` and checks it; `line` gets the line at fault.
bool FinishFile(FileDef& file, std::vector<PendingKey>& pendingKeys, std::string& why, int& line) {
    for (PendingKey& pending : pendingKeys) {
        for (const std::string& raw : pending.itemNames) {
            std::string name;
            if (!Analysis::NormalizeName(raw, Analysis::kMaxItemName, name, why)) {
                line = pending.key.line;
                return false;
            }
            int index = file.FindItem(name);
            if (index < 0) {
                why = "key " + pending.key.name + " names unknown item '" + name + "'";
                line = pending.key.line;
                return false;
            }
            pending.key.items.push_back(static_cast<std::size_t>(index));
        }
        file.keys.push_back(pending.key);
    }
    pendingKeys.clear();
    return Analysis::CheckFile(file, why, line);
}

// The SELECT of a view as the AS line holds it: "\\" for a backslash,
// "\n" and "\r" for line breaks, so that it stays on one line.
std::string EscapeText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string UnescapeText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == '\\' || next == 'n' || next == 'r')) {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "VIEW <name> [<column>,...]": the view without its text yet.
bool ParseView(const std::vector<std::string>& t, ViewDef& view, std::string& why) {
    if (t.size() < 2) {
        why = "VIEW needs a name";
        return false;
    }
    if (!Analysis::NormalizeName(t[1], Analysis::kMaxFileName, view.name, why)) return false;
    for (std::size_t i = 2; i < t.size(); ++i) {
        std::size_t start = 0;
        while (start <= t[i].size()) {
            std::size_t comma = t[i].find(',', start);
            if (comma == std::string::npos) comma = t[i].size();
            if (comma > start) {
                std::string name;
                if (!Analysis::NormalizeName(t[i].substr(start, comma - start), Analysis::kMaxItemName, name, why))
                    return false;
                for (const std::string& other : view.columns)
                    if (other == name) {
                        why = "view " + view.name + " names column " + name + " twice";
                        return false;
                    }
                view.columns.push_back(name);
            }
            start = comma + 1;
        }
    }
    return true;
}

// The line after VIEW, "AS <select>": the SELECT, or false.
bool ParseViewText(const std::string& line, ViewDef& view, std::string& why) {
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    bool as = line.size() >= at + 2 && Upper(line.substr(at, 2)) == "AS" &&
              (line.size() == at + 2 || IsBlank(line[at + 2]));
    std::size_t end = line.size();
    while (end > at + 2 && IsBlank(line[end - 1])) --end;
    at += 2;
    while (at < end && IsBlank(line[at])) ++at;
    if (!as || at >= end) {
        why = "VIEW " + view.name + " must be followed by its line 'AS <select>'";
        return false;
    }
    view.text = UnescapeText(line.substr(at, end - at));
    return true;
}

}  // namespace

bool Analysis::NormalizeName(const std::string& text, std::size_t maxLength, std::string& out, std::string& why) {
    if (text.empty() || text.size() > maxLength) {
        why = "name '" + text + "' must have 1 to " + std::to_string(maxLength) + " characters";
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 128;
        bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) {
            why = "name '" + text + "' may hold only letters, digits and '_', not starting with a digit";
            return false;
        }
    }
    out = Upper(text);
    return true;
}

bool Analysis::CheckFile(FileDef& file, std::string& why, int& line) {
    line = file.line;
    if (file.items.empty()) {
        why = "file " + file.name + " has no item";
        return false;
    }
    if (file.items.size() + file.keys.size() > 32767) {
        why = "file " + file.name + " has too many items";
        return false;
    }
    std::uint64_t size = 1;
    for (std::size_t i = 0; i < file.items.size(); ++i) {
        const ItemDef& item = file.items[i];
        line = item.line;
        for (std::size_t j = 0; j < i; ++j)
            if (file.items[j].name == item.name) {
                why = "item " + item.name + " appears twice in file " + file.name;
                return false;
            }
        if (item.key != KeyMode::None && (!FieldTypes::IsKeyable(item.type) || item.arrayCount > 1)) {
            why = "item " + item.name + " cannot be a key (memo or array)";
            return false;
        }
        if (FieldTypes::IsMemo(item.type) && item.arrayCount > 1) {
            why = "memo item " + item.name + " cannot be an array";
            return false;
        }
        size += item.Bytes();
    }
    line = file.line;
    if (size > FieldTypes::kMaxRecordSize) {
        why = "records of file " + file.name + " would take " + std::to_string(size) + " bytes (at most " +
              std::to_string(FieldTypes::kMaxRecordSize) + ")";
        return false;
    }
    for (std::size_t k = 0; k < file.keys.size(); ++k) {
        const KeyDef& key = file.keys[k];
        line = key.line;
        if (file.FindItem(key.name) >= 0) {
            why = "key " + key.name + " has the name of an item";
            return false;
        }
        for (std::size_t j = 0; j < k; ++j)
            if (file.keys[j].name == key.name) {
                why = "key " + key.name + " appears twice in file " + file.name;
                return false;
            }
        if (key.items.empty()) {
            why = "key " + key.name + " names no item";
            return false;
        }
        for (std::size_t i = 0; i < key.items.size(); ++i) {
            const ItemDef& item = file.items.at(key.items[i]);
            if (!FieldTypes::IsKeyable(item.type) || item.arrayCount > 1) {
                why = "item " + item.name + " cannot be part of key " + key.name + " (memo or array)";
                return false;
            }
            for (std::size_t j = 0; j < i; ++j)
                if (key.items[j] == key.items[i]) {
                    why = "key " + key.name + " names item " + item.name + " twice";
                    return false;
                }
        }
    }
    file.Layout();
    return true;
}

bool Analysis::Parse(const std::string& text, const std::string& source, std::string& error) {
    std::vector<FileDef> files;
    std::vector<ViewDef> views;
    std::vector<PendingKey> pendingKeys;
    bool sawHeader = false;
    bool fileOpen = false;      // ITEM and KEY lines belong to files.back()
    bool viewTextNext = false;  // the line just read was VIEW: its AS line comes
    int lineNumber = 0;
    std::string why;
    int faultLine = 0;
    auto fail = [&](int at) {
        error = source + " line " + std::to_string(at) + ": " + why;
        return false;
    };
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (viewTextNext) {
            viewTextNext = false;
            if (!ParseViewText(line, views.back(), why)) return fail(lineNumber);
            continue;
        }
        if (std::size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        std::vector<std::string> t = Tokens(line);
        if (t.empty()) continue;
        std::string word = Upper(t[0]);
        if (!sawHeader) {
            if (word != "ANALYSIS" || t.size() != 2 || t[1] != "1") {
                why = "expected 'ANALYSIS 1' as the first line";
                return fail(lineNumber);
            }
            sawHeader = true;
            continue;
        }
        if (word == "FILE" || word == "VIEW") {
            if (fileOpen && !FinishFile(files.back(), pendingKeys, why, faultLine)) return fail(faultLine);
            fileOpen = false;
        }
        if (word == "VIEW") {
            ViewDef view;
            view.line = lineNumber;
            if (!ParseView(t, view, why)) return fail(lineNumber);
            views.push_back(std::move(view));
            viewTextNext = true;
        } else if (word == "FILE") {
            fileOpen = true;
            FileDef file;
            file.line = lineNumber;
            if (t.size() != 2) {
                why = "FILE needs exactly one name";
                return fail(lineNumber);
            }
            if (!NormalizeName(t[1], kMaxFileName, file.name, why)) return fail(lineNumber);
            for (const FileDef& other : files)
                if (other.name == file.name) {
                    why = "file " + file.name + " appears twice";
                    return fail(lineNumber);
                }
            files.push_back(std::move(file));
        } else if (word == "ITEM" || word == "KEY") {
            if (!fileOpen) {
                why = word + " outside a FILE block";
                return fail(lineNumber);
            }
            if (word == "ITEM") {
                ItemDef item;
                item.line = lineNumber;
                if (!ParseItem(t, item, why)) return fail(lineNumber);
                files.back().items.push_back(std::move(item));
            } else {
                PendingKey pending;
                pending.key.line = lineNumber;
                if (!ParseKey(t, pending, why)) return fail(lineNumber);
                pendingKeys.push_back(std::move(pending));
            }
        } else {
            why = "unknown keyword '" + t[0] + "' (expected FILE, ITEM, KEY or VIEW)";
            return fail(lineNumber);
        }
    }
    if (!sawHeader) {
        why = "empty analysis: expected 'ANALYSIS 1' as the first line";
        return fail(lineNumber == 0 ? 1 : lineNumber);
    }
    if (viewTextNext) {
        why = "VIEW " + views.back().name + " must be followed by its line 'AS <select>'";
        return fail(lineNumber);
    }
    if (fileOpen && !FinishFile(files.back(), pendingKeys, why, faultLine)) return fail(faultLine);
    // A view's name is unique among files and views.
    for (std::size_t v = 0; v < views.size(); ++v) {
        bool twice = false;
        for (std::size_t w = 0; w < v; ++w) twice = twice || views[w].name == views[v].name;
        for (const FileDef& file : files) twice = twice || file.name == views[v].name;
        if (twice) {
            why = "view " + views[v].name + " has the name of another file or view";
            return fail(views[v].line);
        }
    }
    files_ = std::move(files);
    views_ = std::move(views);
    return true;
}

std::string Analysis::FormatFile(const FileDef& file) {
    std::string out = "FILE " + file.name + "\n";
    for (const ItemDef& item : file.items) {
        out += "ITEM " + item.name + " " + std::to_string(item.type) + " " + std::to_string(item.size);
        if (item.arrayCount > 1) out += " ARRAY " + std::to_string(item.arrayCount);
        if (item.key != KeyMode::None) out += std::string(" ") + KeyModeText(item.key);
        if (item.key != KeyMode::None && item.descending) out += " DESC";
        out += "\n";
    }
    for (const KeyDef& key : file.keys) {
        out += "KEY " + key.name + " " + KeyModeText(key.mode) + " ";
        for (std::size_t i = 0; i < key.items.size(); ++i) {
            if (i > 0) out += ",";
            if (i < key.descending.size() && key.descending[i]) out += "-";
            out += file.items.at(key.items[i]).name;
        }
        out += "\n";
    }
    return out;
}

std::string Analysis::Format() const {
    std::string out = "ANALYSIS 1\n";
    for (const FileDef& file : files_) out += "\n" + FormatFile(file);
    for (const ViewDef& view : views_) {
        out += "\nVIEW " + view.name;
        for (std::size_t c = 0; c < view.columns.size(); ++c) out += (c == 0 ? " " : ",") + view.columns[c];
        out += "\nAS " + EscapeText(view.text) + "\n";
    }
    return out;
}

int Analysis::FindView(const std::string& name) const {
    std::string upper = Upper(name);
    for (std::size_t i = 0; i < views_.size(); ++i)
        if (views_[i].name == upper) return static_cast<int>(i);
    return -1;
}

int Analysis::FindFile(const std::string& name) const {
    std::string upper = Upper(name);
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i].name == upper) return static_cast<int>(i);
    return -1;
}

}  // namespace qxhost
