// TextOps: IndexOfChar, CopyBounded, RemoveChar and GetField.  Each is one
// pass over its text.
#include "values/TextOps.h"

#include <cstring>

#include "platform/Utf8.h"

namespace qx {
namespace {

bool IsSeparator(char c, const char* separators) { return c != '\0' && std::strchr(separators, c) != nullptr; }

// Copies `length` bytes cut to capacity - 1 (at a sequence boundary) and
// terminates; returns the bytes copied.
std::int32_t CopyCut(char* target, const char* source, std::size_t length, std::int32_t capacity) {
    if (capacity < 1) return 0;
    std::size_t kept = platform::Utf8CutLength(source, length, static_cast<std::size_t>(capacity - 1));
    std::memcpy(target, source, kept);
    target[kept] = '\0';
    return static_cast<std::int32_t>(kept);
}

}  // namespace

std::int32_t IndexOfChar(char c, const char* text) {
    if (text == nullptr) return -1;
    const char* at = c == '\0' ? text + std::strlen(text) : std::strchr(text, c);
    return at != nullptr ? static_cast<std::int32_t>(at - text) : -1;
}

std::int16_t CopyBounded(char* target, const char* source, std::int32_t count, std::int32_t capacity) {
    if (target == nullptr || capacity < 1) return 0;
    if (source == nullptr || count < 0) count = 0;
    std::size_t length = source != nullptr ? strnlen(source, static_cast<std::size_t>(count)) : 0;
    std::int32_t copied = CopyCut(target, source != nullptr ? source : "", length, capacity);
    return static_cast<std::size_t>(copied) == length ? 1 : 0;
}

void RemoveChar(char* text, char c) {
    if (text == nullptr || c == '\0') return;
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in)
        if (*in != c) *out++ = *in;
    *out = '\0';
}

std::int32_t GetField(std::int16_t n, const char* text, const char* separators, char* target,
                      std::int32_t capacity, std::int16_t collapse) {
    if (text == nullptr || n < 1) return -1;
    if (separators == nullptr) separators = "";
    const char* p = text;
    if (collapse)
        while (IsSeparator(*p, separators)) ++p;
    for (std::int16_t field = 1;; ++field) {
        if (collapse && *p == '\0') return -1;  // no field starts here
        const char* end = p;
        while (*end != '\0' && !IsSeparator(*end, separators)) ++end;
        if (field == n)
            return target != nullptr ? CopyCut(target, p, static_cast<std::size_t>(end - p), capacity)
                                     : static_cast<std::int32_t>(end - p);
        if (*end == '\0') return -1;
        p = end + 1;
        if (collapse)
            while (IsSeparator(*p, separators)) ++p;
    }
}

}  // namespace qx
