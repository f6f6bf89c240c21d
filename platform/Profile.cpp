#include "platform/Profile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Utf8.h"

namespace qx::platform {
namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string ProfilePath() {
    const char* explicitPath = std::getenv("OMBREL_INI");
    if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return std::string();
    return std::string(home) + "/.ombrel.ini";
}

bool Lookup(const char* section, const char* key, std::string& value) {
    std::string path = ProfilePath();
    if (path.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return false;
    bool inSection = false, found = false;
    char line[1024];
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        std::string text = Trim(line);
        if (text.empty() || text[0] == ';' || text[0] == '#') continue;
        if (text[0] == '[') {
            std::size_t close = text.find(']');
            inSection = close != std::string::npos && SameName(Trim(text.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        std::size_t eq = text.find('=');
        if (eq == std::string::npos) continue;
        if (SameName(Trim(text.substr(0, eq)), key)) {
            value = Trim(text.substr(eq + 1));
            found = true;
        }
    }
    std::fclose(f);
    return found;
}

}  // namespace

std::size_t GetProfileString(const char* section, const char* key, const char* fallback, char* out,
                             std::size_t capacity) {
    if (out == nullptr || capacity == 0) return 0;
    std::string value;
    if (!Lookup(section, key, value)) value = fallback != nullptr ? fallback : "";
    return CopyUtf8Bounded(out, value.c_str(), capacity);
}

}  // namespace qx::platform
