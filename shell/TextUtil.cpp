// TextUtil: case folding, trimming, word splitting and display widths.
#include "shell/TextUtil.h"

namespace qxsql {
namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool SplitWords(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::string word;
        while (i < line.size() && !IsBlank(line[i])) {
            char c = line[i];
            if (c == '\'' || c == '"') {
                std::size_t close = line.find(c, i + 1);
                if (close == std::string_view::npos) return false;
                word.append(line.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                word.push_back(c);
                ++i;
            }
        }
        words.push_back(std::move(word));
    }
    return true;
}

std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        i += valid ? length : 1;
        ++width;
    }
    return width;
}

bool ParseOnOff(std::string_view text, bool& value) {
    for (const char* on : {"on", "1", "yes", "true"}) {
        if (EqualsIgnoreCase(text, on)) {
            value = true;
            return true;
        }
    }
    for (const char* off : {"off", "0", "no", "false"}) {
        if (EqualsIgnoreCase(text, off)) {
            value = false;
            return true;
        }
    }
    return false;
}

}  // namespace qxsql
