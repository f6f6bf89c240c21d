// SchemaSql: analysis text into CREATE statements.
#include "shell/SchemaSql.h"

#include <cstdlib>
#include <memory>

#include "qxhost.h"
#include "shell/Language.h"
#include "shell/TextUtil.h"

namespace qxsql {
namespace {

// Host type codes of the analysis (see host/README.md).
enum HostType : int {
    kSigned8 = 1,
    kUnsigned8 = 2,
    kSigned16 = 3,
    kUnsigned16 = 4,
    kSigned32 = 5,
    kUnsigned32 = 6,
    kReal4 = 7,
    kReal8 = 9,
    kFixedPoint = 10,
    kFixedText = 13,
    kCountedText = 14,
    kTerminatedText = 15,
    kDate = 98,
    kTime = 99,
};

int ToInt(const std::string& text) { return std::atoi(text.c_str()); }

}  // namespace

std::string SqlTypeOf(int hostType, int size, int arrayCount) {
    if (arrayCount > 1) return "";
    switch (hostType) {
        case kSigned8: return "TINYINT";
        case kUnsigned8:
        case kSigned16: return "SMALLINT";
        case kUnsigned16:
        case kSigned32: return "INTEGER";
        case kReal4: return "REAL";
        case kUnsigned32:  // wider than INTEGER: DOUBLE holds every value
        case kReal8:
        case kFixedPoint: return "DOUBLE PRECISION";
        case kFixedText: return "CHAR(" + std::to_string(size) + ")";
        case kCountedText:
        case kTerminatedText: return "CHAR(" + std::to_string(size > 1 ? size - 1 : 1) + ")";
        case kDate: return "DATE";
        case kTime: return "TIME";
        default: return "";
    }
}

int DescribeTables(std::uint16_t context, const char* table, std::vector<SchemaTable>& tables) {
    std::size_t size = 64 * 1024;
    std::unique_ptr<char[]> text;
    int rc;
    do {
        text = std::make_unique<char[]>(size *= 2);
        rc = QXHostDescribe(context, table, text.get(), size);
    } while (rc == -2 && size < (std::size_t{1} << 30));
    tables = rc == 0 ? SchemaTable::Parse(text.get()) : std::vector<SchemaTable>();
    return rc;
}

std::string SqlString(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted.push_back('\'');
        quoted.push_back(c);
    }
    quoted.push_back('\'');
    return quoted;
}

std::vector<SchemaTable> SchemaTable::Parse(std::string_view analysis) {
    std::vector<SchemaTable> tables;
    std::vector<SchemaIndex> keys;  // KEY lines of the current table, after its item keys
    auto finish = [&]() {
        if (tables.empty()) return;
        for (SchemaIndex& key : keys) tables.back().indexes.push_back(std::move(key));
        keys.clear();
    };
    while (!analysis.empty()) {
        std::size_t end = analysis.find('\n');
        std::string_view line = analysis.substr(0, end);
        analysis = end == std::string_view::npos ? std::string_view() : analysis.substr(end + 1);
        std::vector<std::string> words;
        if (!SplitWords(line, words) || words.empty()) continue;
        if (words[0] == "FILE" && words.size() >= 2) {
            finish();
            tables.emplace_back();
            tables.back().name = words[1];
        } else if (words[0] == "ITEM" && words.size() >= 3 && !tables.empty()) {
            SchemaItem item;
            item.name = words[1];
            item.hostType = ToInt(words[2]);
            item.size = words.size() > 3 ? ToInt(words[3]) : 0;
            for (std::size_t i = 4; i < words.size(); ++i) {
                if (words[i] == "ARRAY" && i + 1 < words.size()) item.arrayCount = ToInt(words[++i]);
                if (words[i] == "UNIQUE" || words[i] == "DUPLICATES")
                    tables.back().indexes.push_back({item.name, words[i] == "UNIQUE", {item.name}});
            }
            item.sqlType = SqlTypeOf(item.hostType, item.size, item.arrayCount);
            tables.back().items.push_back(std::move(item));
        } else if (words[0] == "KEY" && words.size() >= 4 && !tables.empty()) {
            SchemaIndex key{words[1], words[2] == "UNIQUE", {}};
            for (std::size_t i = 3; i < words.size(); ++i) {
                std::string_view list = words[i];
                while (!list.empty()) {
                    std::size_t comma = list.find(',');
                    if (comma != 0) key.items.emplace_back(list.substr(0, comma));
                    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
                }
            }
            keys.push_back(std::move(key));
        }
    }
    finish();
    return tables;
}

std::string SchemaTable::ColumnList() const {
    std::string list;
    for (const SchemaItem& item : items) {
        if (item.sqlType.empty()) continue;
        if (!list.empty()) list += ", ";
        list += item.name;
    }
    return list;
}

std::string SchemaTable::CreateIndex(const SchemaIndex& index) const {
    std::string text = std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + index.name + " ON " +
                       name + " (";
    for (std::size_t i = 0; i < index.items.size(); ++i) text += (i > 0 ? ", " : "") + index.items[i];
    return text + ");\n";
}

std::string SchemaTable::CreateStatements() const {
    std::string text;
    std::string body;
    for (const SchemaItem& item : items) {
        if (item.sqlType.empty()) {
            std::string type = std::to_string(item.hostType), count = std::to_string(item.arrayCount);
            text += "-- " + (item.arrayCount > 1
                                 ? Say("%1.%2 (host type %3, array of %4) has no SQL type and is left out",
                                       "%1.%2 (type hôte %3, tableau de %4) n'a pas de type SQL et est omis",
                                       {name, item.name, type, count})
                                 : Say("%1.%2 (host type %3) has no SQL type and is left out",
                                       "%1.%2 (type hôte %3) n'a pas de type SQL et est omis", {name, item.name, type})) +
                    "\n";
            continue;
        }
        body += (body.empty() ? "  " : ",\n  ") + item.name + " " + item.sqlType;
    }
    if (body.empty()) return text;
    text += "CREATE TABLE " + name + " (\n" + body + "\n);\n";
    for (const SchemaIndex& index : indexes) text += CreateIndex(index);
    return text;
}

}  // namespace qxsql
