// Language: the run's language and the texts' arguments.
#include "shell/Language.h"

#include <cstdlib>
#include <cstring>

#include "shell/ProfileOverride.h"
#include "shell/TextUtil.h"

namespace qxsql {
namespace {

Language current = Language::English;

}  // namespace

void SetLanguage(Language language) { current = language; }

Language CurrentLanguage() { return current; }

Language ChooseLanguage(const std::string& option) {
    if (!option.empty()) return option == "fr" ? Language::French : Language::English;
    std::string profile = ProfileOverride::ProfileLanguage();
    if (!profile.empty()) return EqualsIgnoreCase(profile, "USA") ? Language::English : Language::French;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return std::strncmp(value, "fr", 2) == 0 ? Language::French : Language::English;
    }
    return Language::English;
}

std::string Say(std::string_view english, std::string_view french,
                std::initializer_list<std::string_view> arguments) {
    std::string_view text = current == Language::French ? french : english;
    std::string out;
    out.reserve(text.size() + 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        std::size_t n = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && n < arguments.size()) {
            out += arguments.begin()[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace qxsql
