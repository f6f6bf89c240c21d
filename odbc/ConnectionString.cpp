#include "odbc/ConnectionString.h"

#include <cctype>

namespace qxodbc {

ConnectionString ConnectionString::Parse(const std::string& text) {
    ConnectionString result;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ';' || text[i] == ' ')) ++i;
        std::size_t equals = text.find('=', i);
        if (equals == std::string::npos) break;
        std::string key;
        for (std::size_t k = i; k < equals; ++k)
            if (text[k] != ' ') key += static_cast<char>(std::toupper(static_cast<unsigned char>(text[k])));
        i = equals + 1;
        std::string value;
        if (i < text.size() && text[i] == '{') {
            for (++i; i < text.size(); ++i) {
                if (text[i] == '}') {
                    if (i + 1 < text.size() && text[i + 1] == '}') {
                        value += '}';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i];
            }
            while (i < text.size() && text[i] != ';') ++i;
        } else {
            std::size_t end = text.find(';', i);
            if (end == std::string::npos) end = text.size();
            value = text.substr(i, end - i);
            while (!value.empty() && value.back() == ' ') value.pop_back();
            i = end;
        }
        if (!key.empty() && result.values_.count(key) == 0) result.values_[key] = value;
    }
    return result;
}

std::string ConnectionString::Get(const std::string& key) const {
    auto found = values_.find(key);
    return found != values_.end() ? found->second : std::string();
}

std::string ConnectionString::Text() const {
    std::string text;
    for (const auto& [key, value] : values_) {
        if (!text.empty()) text += ';';
        bool braces = value.find_first_of(";{}= ") != std::string::npos;
        text += key + '=' + (braces ? "{" : "");
        for (char c : value) text += c == '}' && braces ? std::string("}}") : std::string(1, c);
        if (braces) text += '}';
    }
    return text;
}

}  // namespace qxodbc
