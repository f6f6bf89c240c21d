// DelimitedReader: CSV and TSV records.
#include "shell/DelimitedReader.h"

#include "shell/Language.h"

namespace qxsql {

DelimitedReader::DelimitedReader(std::string_view text, DelimitedFormat format) : text_(text), format_(format) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
}

bool DelimitedReader::Fail(std::string message, std::size_t field) {
    error_ = std::move(message);
    errorColumn_ = field;
    return false;
}

void DelimitedReader::SkipEmptyLines() {
    for (;;) {
        if (text_.substr(at_, 1) == "\n") {
            at_ += 1;
        } else if (text_.substr(at_, 2) == "\r\n") {
            at_ += 2;
        } else {
            return;
        }
        ++line_;
    }
}

void DelimitedReader::SkipLines(std::size_t count) {
    for (; count > 0 && at_ < text_.size(); --count) {
        std::size_t end = text_.find('\n', at_);
        at_ = end == std::string_view::npos ? text_.size() : end + 1;
        ++line_;
    }
}

bool DelimitedReader::Next(std::vector<std::string>& fields) {
    fields.clear();
    error_.clear();
    SkipEmptyLines();
    if (at_ >= text_.size()) return false;
    recordLine_ = line_;
    return format_ == DelimitedFormat::Csv ? NextCsv(fields) : NextTsv(fields);
}

bool DelimitedReader::NextCsv(std::vector<std::string>& fields) {
    for (;;) {
        std::string& field = fields.emplace_back();
        std::size_t number = fields.size();
        if (at_ < text_.size() && text_[at_] == '"') {
            std::size_t openedOn = line_;
            for (++at_;; ++at_) {
                if (at_ >= text_.size())
                    return Fail(Say("the quote opened on line %1 is never closed", "le guillemet ouvert ligne %1 n'est jamais fermé",
                                    {std::to_string(openedOn)}),
                                number);
                char c = text_[at_];
                if (c == '"') {
                    if (at_ + 1 < text_.size() && text_[at_ + 1] == '"') {
                        field.push_back('"');
                        ++at_;
                        continue;
                    }
                    ++at_;
                    break;
                }
                if (c == '\n') ++line_;
                field.push_back(c);
            }
        } else {
            std::size_t end = text_.find_first_of(",\n\"", at_);
            if (end == std::string_view::npos) end = text_.size();
            if (end < text_.size() && text_[end] == '"') return Fail(Say("a quote inside a field that does not start with one",
                            "un guillemet dans un champ qui ne commence pas par un guillemet"),
                        number);
            field.assign(text_.substr(at_, end - at_));
            at_ = end;
            if (!field.empty() && field.back() == '\r' && (at_ >= text_.size() || text_[at_] == '\n')) field.pop_back();
        }
        if (at_ >= text_.size()) return true;
        char c = text_[at_];
        if (c == ',') {
            ++at_;
            continue;
        }
        if (c == '\r' && text_.substr(at_, 2) == "\r\n") ++at_;
        if (at_ < text_.size() && text_[at_] == '\n') {
            ++at_;
            ++line_;
            return true;
        }
        return Fail(Say("text after the closing quote", "du texte après le guillemet fermant"), number);
    }
}

bool DelimitedReader::NextTsv(std::vector<std::string>& fields) {
    std::size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(at_, end - at_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at_ = end < text_.size() ? end + 1 : end;
    ++line_;
    std::string* field = &fields.emplace_back();
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            field = &fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char next = line[++i];
            switch (next) {
                case 't': field->push_back('\t'); break;
                case 'n': field->push_back('\n'); break;
                case 'r': field->push_back('\r'); break;
                case '\\': field->push_back('\\'); break;
                default:
                    field->push_back('\\');
                    field->push_back(next);
            }
        } else {
            field->push_back(c);
        }
    }
    return true;
}

}  // namespace qxsql
