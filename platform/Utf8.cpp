#include "platform/Utf8.h"

#include <cstring>

namespace qx::platform {

std::size_t Utf8CompletePrefix(const char* text, std::size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t start = length;
    while (start > 0 && length - start < 3 && (bytes[start - 1] & 0xC0) == 0x80) --start;
    if (start == 0) return length;
    unsigned char lead = bytes[start - 1];
    std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t have = length - (start - 1);
    return (need > 1 && have < need) ? start - 1 : length;
}

std::size_t Utf8CutLength(const char* text, std::size_t length, std::size_t limit) {
    if (length <= limit) return length;
    return Utf8CompletePrefix(text, limit);
}

std::size_t CopyUtf8Bounded(char* target, const char* source, std::size_t capacity) {
    if (target == nullptr || capacity == 0) return 0;
    if (source == nullptr) source = "";
    std::size_t n = Utf8CutLength(source, std::strlen(source), capacity - 1);
    std::memcpy(target, source, n);
    target[n] = '\0';
    return n;
}

}  // namespace qx::platform
