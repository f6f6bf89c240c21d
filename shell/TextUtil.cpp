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

namespace {

struct CodeRange {
    char32_t first, last;
};

// Combining marks and other characters that take no column of their own
// (the common blocks: diacritics, Hebrew and Arabic points, zero-width
// spaces and joiners, variation selectors).
constexpr CodeRange kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05C7}, {0x0610, 0x061A},
    {0x064B, 0x065F}, {0x0670, 0x0670}, {0x06D6, 0x06ED}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A},
    {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x202A, 0x202E},
    {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302F}, {0x3099, 0x309A}, {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth characters, which take two columns:
// Hangul Jamo, CJK symbols, kana, ideographs, Hangul syllables,
// fullwidth forms and the emoji blocks.
constexpr CodeRange kDoubleWidth[] = {
    {0x1100, 0x115F}, {0x231A, 0x231B}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF}, {0xA000, 0xA4CF}, {0xA960, 0xA97F}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
    {0xFE10, 0xFE19}, {0xFE30, 0xFE6F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F},
    {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool InRanges(char32_t code, const CodeRange (&ranges)[N]) {
    for (const CodeRange& range : ranges)
        if (code >= range.first && code <= range.last) return true;
    return false;
}

}  // namespace

std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            ++i;
            ++width;
            continue;
        }
        i += length;
        if (InRanges(code, kZeroWidth)) continue;
        width += InRanges(code, kDoubleWidth) ? 2 : 1;
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
