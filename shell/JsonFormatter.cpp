// JsonFormatter: keys, string escaping, number checks and the array.
#include "shell/JsonFormatter.h"

#include <unordered_set>

namespace qxsql {

bool JsonFormatter::IsJsonNumber(std::string_view text) {
    std::size_t i = 0;
    std::size_t n = text.size();
    auto digits = [&]() {
        std::size_t start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
        return i - start;
    };
    if (i < n && text[i] == '-') ++i;
    if (i >= n) return false;
    if (text[i] == '0') {
        ++i;
    } else if (digits() == 0) {
        return false;
    }
    if (i < n && text[i] == '.') {
        ++i;
        if (digits() == 0) return false;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == n;
}

void JsonFormatter::WriteString(std::ostream& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out << '"';
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            switch (byte) {
                case '"': out << "\\\""; break;
                case '\\': out << "\\\\"; break;
                case '\n': out << "\\n"; break;
                case '\r': out << "\\r"; break;
                case '\t': out << "\\t"; break;
                case '\b': out << "\\b"; break;
                case '\f': out << "\\f"; break;
                default:
                    if (byte < 0x20) {
                        out << "\\u00" << kHex[byte >> 4] << kHex[byte & 0xF];
                    } else {
                        out << static_cast<char>(byte);
                    }
            }
            ++i;
            continue;
        }
        // A multi-byte sequence: copied when well formed (no overlong forms,
        // no surrogates, nothing above U+10FFFF), else one U+FFFD per bad byte.
        std::size_t length = (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        std::uint32_t code = length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid) {
            static const std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
            valid = code >= kMinimum[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        }
        if (valid) {
            out << text.substr(i, length);
            i += length;
        } else {
            out << "\\ufffd";
            ++i;
        }
    }
    out << '"';
}

std::vector<std::string> JsonFormatter::MakeKeys(const std::vector<ResultColumn>& columns) {
    std::vector<std::string> keys;
    std::unordered_set<std::string> taken;
    for (const auto& column : columns) taken.insert(column.name);
    std::unordered_set<std::string> used;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::string key = columns[i].name.empty() ? "column" + std::to_string(i + 1) : columns[i].name;
        if (used.count(key) != 0 || (columns[i].name.empty() && taken.count(key) != 0)) {
            std::string base = key;
            for (int suffix = 2;; ++suffix) {
                key = base + "_" + std::to_string(suffix);
                if (used.count(key) == 0 && taken.count(key) == 0) break;
            }
        }
        used.insert(key);
        keys.push_back(std::move(key));
    }
    return keys;
}

void JsonFormatter::Begin(const std::vector<ResultColumn>& columns) {
    keys_ = MakeKeys(columns);
    numeric_.clear();
    for (const auto& column : columns) numeric_.push_back(column.Numeric());
    rows_ = 0;
}

void JsonFormatter::Row(const std::vector<std::string_view>& values) {
    out_ << (rows_ == 0 ? "[\n{" : ",\n{");
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        std::string_view value = i < values.size() ? values[i] : std::string_view();
        if (i > 0) out_ << ',';
        WriteString(out_, keys_[i]);
        out_ << ':';
        if (numeric_[i] && IsJsonNumber(value)) {
            out_ << value;
        } else if (numeric_[i] && value.empty()) {
            out_ << "null";
        } else {
            WriteString(out_, value);
        }
    }
    out_ << '}';
    ++rows_;
}

void JsonFormatter::End() { out_ << (rows_ == 0 ? "[]\n" : "\n]\n"); }

}  // namespace qxsql
