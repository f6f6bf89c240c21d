// NumberText: shortest round-trip text of a decimal number.
#include "shell/NumberText.h"

#include <charconv>
#include <cmath>

namespace qxsql {
namespace {

bool IsDecimal(std::string_view text) {
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            ++digits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits > 0;
}

}  // namespace

bool ShortestNumber(std::string_view text, std::string& out) {
    if (!IsDecimal(text)) return false;
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return false;
    double magnitude = std::fabs(value);
    bool plain = magnitude == 0 || (magnitude >= 1e-5 && magnitude < 1e16);
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                plain ? std::chars_format::fixed : std::chars_format::scientific);
    if (result.ec != std::errc()) return false;
    out.assign(buffer, result.ptr);
    return true;
}

}  // namespace qxsql
