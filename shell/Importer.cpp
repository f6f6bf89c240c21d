// Importer: checking a delimited file against a table, then loading it.
#include "shell/Importer.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "obsqleng.h"
#include "qxhost.h"
#include "shell/CtrlC.h"
#include "shell/Language.h"
#include "shell/SchemaSql.h"
#include "shell/Session.h"
#include "shell/TextUtil.h"

namespace qxsql {
namespace {

constexpr std::size_t kProgressFileBytes = 4u << 20;  // smaller files load without a progress bar

// How a column's values are checked and written.
enum class Kind { Integer, Number, Text, Date, Time };

struct Column {
    std::string name;
    Kind kind = Kind::Text;
    std::int64_t low = 0, high = 0;  // Integer: the range the item holds
    bool single = false;             // Number: single precision
    std::size_t bytes = 0;           // Text: the most the item holds
    // A new table's column: what its values allow so far.
    bool allIntegers = true, allNumbers = true;
};

bool IsIdentifier(std::string_view name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool ParseInteger(std::string_view text, std::int64_t& value) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() && text[0] != '+';
}

// Decimal numbers only: [sign] digits [. digits] [e [sign] digits], with a
// digit before the point or after it; no hexadecimal, no inf or nan.
bool ParseNumber(std::string_view text, double& value) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    }
    if (i != text.size()) return false;
    std::string copy(text);
    errno = 0;
    value = std::strtod(copy.c_str(), nullptr);
    return std::isfinite(value) && errno != ERANGE;
}

// YYYYMMDD or YYYY-MM-DD; `out` gets YYYYMMDD.
bool ParseDate(std::string_view text, std::string& out) {
    if (text.size() == 10 && text[4] == '-' && text[7] == '-')
        out = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    else
        out = text;
    if (out.size() != 8 || !AllDigits(out)) return false;
    int year = std::stoi(out.substr(0, 4)), month = std::stoi(out.substr(4, 2)), day = std::stoi(out.substr(6, 2));
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return !(month == 2 && day == 29 && !leap);
}

// HHMM or HH:MM; `out` gets HHMM.
bool ParseTime(std::string_view text, std::string& out) {
    out = text.size() == 5 && text[2] == ':' ? std::string(text.substr(0, 2)) + std::string(text.substr(3, 2))
                                             : std::string(text);
    if (out.size() != 4 || !AllDigits(out)) return false;
    return std::stoi(out.substr(0, 2)) < 24 && std::stoi(out.substr(2, 2)) < 60;
}

// The whole of `in`: in one read when its size is known (a file), else
// piece by piece (a pipe).
bool ReadAll(std::ifstream& in, std::string& text) {
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0);
    if (size >= 0 && in) {
        text.resize(static_cast<std::size_t>(size));
        return static_cast<bool>(in.read(text.data(), size));
    }
    in.clear();
    std::ostringstream content;
    content << in.rdbuf();
    text = std::move(content).str();
    return !in.bad();
}

// The column of an existing item; false when SQL cannot write the item.
bool ColumnOf(const SchemaItem& item, Column& column) {
    if (item.sqlType.empty()) return false;
    column.name = item.name;
    struct Range {
        int hostType;
        std::int64_t low, high;
    } const ranges[] = {{1, INT8_MIN, INT8_MAX}, {2, 0, UINT8_MAX},   {3, INT16_MIN, INT16_MAX},
                        {4, 0, UINT16_MAX},      {5, INT32_MIN, INT32_MAX}, {6, 0, UINT32_MAX}};
    for (const Range& range : ranges) {
        if (range.hostType == item.hostType) {
            column.kind = Kind::Integer;
            column.low = range.low;
            column.high = range.high;
            return true;
        }
    }
    if (item.sqlType == "DATE") {
        column.kind = Kind::Date;
    } else if (item.sqlType == "TIME") {
        column.kind = Kind::Time;
    } else if (item.sqlType.rfind("CHAR(", 0) == 0) {
        column.kind = Kind::Text;
        column.bytes = static_cast<std::size_t>(std::atoi(item.sqlType.c_str() + 5));
    } else {
        column.kind = Kind::Number;
        column.single = item.sqlType == "REAL";
    }
    return true;
}

// "'VALUE' is not ...": what `column` takes.
std::string NotA(const Column& column, std::string_view value) {
    switch (column.kind) {
        case Kind::Integer: return Say("'%1' is not an integer", "« %1 » n'est pas un entier", {value});
        case Kind::Number: return Say("'%1' is not a number", "« %1 » n'est pas un nombre", {value});
        case Kind::Date:
            return Say("'%1' is not a date (YYYYMMDD or YYYY-MM-DD)", "« %1 » n'est pas une date (AAAAMMJJ ou AAAA-MM-JJ)",
                       {value});
        case Kind::Time:
            return Say("'%1' is not a time (HHMM or HH:MM)", "« %1 » n'est pas une heure (HHMM ou HH:MM)", {value});
        case Kind::Text: break;
    }
    return Say("'%1' is not a text", "« %1 » n'est pas un texte", {value});
}

// A field's value in the form its parameter is bound with.
struct FieldValue {
    std::int64_t integer = 0;  // Integer; Date: YYYYMMDD; Time: HHMM
    double number = 0;         // Number
};

// Reads `value` for `column`; false when it does not fit, with `why`
// saying so.
bool ReadField(const Column& column, std::string_view value, FieldValue& out, std::string& why) {
    std::string_view trimmed = Trim(value);
    std::string text;
    switch (column.kind) {
        case Kind::Text:
            if (value.size() > column.bytes) {
                why = Say("'%1' is longer than the %2 bytes of the item", "« %1 » dépasse les %2 octets de la rubrique",
                          {value, std::to_string(column.bytes)});
                return false;
            }
            return true;
        case Kind::Integer:
            if (!ParseInteger(trimmed, out.integer)) break;
            if (out.integer < column.low || out.integer > column.high) {
                why = Say("'%1' is out of the item's range (%2 to %3)", "« %1 » sort des limites de la rubrique (%2 à %3)",
                          {value, std::to_string(column.low), std::to_string(column.high)});
                return false;
            }
            return true;
        case Kind::Number:
            if (!ParseNumber(trimmed, out.number)) break;
            if (column.single && std::fabs(out.number) > FLT_MAX) {
                why = Say("'%1' is too large for a REAL item", "« %1 » est trop grand pour une rubrique REAL", {value});
                return false;
            }
            return true;
        case Kind::Date:
        case Kind::Time:
            if (!(column.kind == Kind::Date ? ParseDate(trimmed, text) : ParseTime(trimmed, text))) break;
            out.integer = std::stoll(text);
            return true;
    }
    why = NotA(column, value);
    return false;
}

// Binds parameter `parameter` of `insert` to a field read by ReadField.
bool BindField(std::uintptr_t insert, std::uint16_t parameter, const Column& column, std::string_view value,
               const FieldValue& field) {
    switch (column.kind) {
        case Kind::Text:
            return QXSQLBindText(insert, parameter, value.data(), static_cast<std::int32_t>(value.size())) == 0;
        case Kind::Integer: return QXSQLBindInteger(insert, parameter, field.integer) == 0;
        case Kind::Number: return QXSQLBindReal(insert, parameter, field.number) == 0;
        case Kind::Date:
            return QXSQLBindDate(insert, parameter, static_cast<std::int32_t>(field.integer / 10000),
                                 static_cast<std::int32_t>(field.integer / 100 % 100),
                                 static_cast<std::int32_t>(field.integer % 100)) == 0;
        case Kind::Time:
            return QXSQLBindTime(insert, parameter, static_cast<std::int32_t>(field.integer / 100),
                                 static_cast<std::int32_t>(field.integer % 100), 0) == 0;
    }
    return false;
}

// The prepared INSERTs of one load, one for each set of items that records
// give values to: an empty number, date or time leaves its item out (at its
// default), so records with empty fields in different places need
// different statements.  Few sets occur in practice; past kMaxStatements
// the oldest are released.
class InsertStatements {
public:
    InsertStatements(std::uint16_t hostContext, std::string table, const std::vector<Column>& columns)
        : hostContext_(hostContext), table_(std::move(table)), columns_(columns) {}
    InsertStatements(const InsertStatements&) = delete;
    InsertStatements& operator=(const InsertStatements&) = delete;
    ~InsertStatements() {
        for (const auto& entry : statements_) QXSQLFinRequete(entry.second);
    }

    // The statement for the items marked in `given`; 0 when it cannot be
    // prepared (`failed` then holds the handle whose error says why, to
    // release after reading, or 0 when the engine gave none).
    std::uintptr_t For(const std::vector<bool>& given, std::uintptr_t& failed) {
        failed = 0;
        if (last_ != 0 && given == lastGiven_) return last_;  // most records give the same items
        auto found = statements_.find(given);
        if (found != statements_.end()) return Remember(given, found->second);
        if (statements_.size() >= kMaxStatements) {
            for (const auto& entry : statements_) QXSQLFinRequete(entry.second);
            statements_.clear();
            last_ = 0;
        }
        std::string sql = "INSERT INTO " + table_ + " (", marks;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (!given[i]) continue;
            sql += (marks.empty() ? "" : ", ") + columns_[i].name;
            marks += marks.empty() ? "?" : ", ?";
        }
        sql += ") VALUES (" + marks + ")";
        std::uintptr_t handle = 0;
        if (QXSQLPrepare(&handle, sql.c_str(), hostContext_, nullptr) != 0) {
            failed = handle;
            return 0;
        }
        statements_.emplace(given, handle);
        return Remember(given, handle);
    }

private:
    std::uintptr_t Remember(const std::vector<bool>& given, std::uintptr_t handle) {
        lastGiven_ = given;
        last_ = handle;
        return handle;
    }

    static constexpr std::size_t kMaxStatements = 64;
    std::uint16_t hostContext_;
    std::string table_;
    const std::vector<Column>& columns_;
    std::map<std::vector<bool>, std::uintptr_t> statements_;
    std::vector<bool> lastGiven_;
    std::uintptr_t last_ = 0;  // the statement of lastGiven_, 0 when none
};

// Progress on standard error while rows go in: a bar that is redrawn when
// the percentage changes and erased at the end.
class ProgressBar {
public:
    ProgressBar(std::size_t total, bool shown) : total_(total), shown_(shown) {}
    ~ProgressBar() {
        if (shown_ && drawn_ >= 0) std::cerr << "\r\x1b[K" << std::flush;
    }
    void Update(std::size_t done) {
        if (!shown_ || total_ == 0) return;
        int percent = static_cast<int>(done * 100 / total_);
        if (percent == drawn_) return;
        drawn_ = percent;
        constexpr int kWidth = 40;
        int filled = percent * kWidth / 100;
        std::cerr << '\r' << Say("importing", "import") << " [" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << percent << '%' << std::flush;
    }

private:
    std::size_t total_;
    bool shown_;
    int drawn_ = -1;
};

class Import {
public:
    Import(Session& session, const ImportRequest& request) : session_(session), request_(request) {}

    bool Run() {
        if (!IsIdentifier(request_.table))
            return Fail(Say("'%1' is not a table name", "« %1 » n'est pas un nom de table", {request_.table}));
        std::ifstream in(request_.file, std::ios::binary);
        if (!in)
            return Fail(Say("cannot open '%1': %2", "impossible d'ouvrir « %1 » : %2", {request_.file, std::strerror(errno)}));
        if (!ReadAll(in, text_)) return Fail(Say("cannot read '%1'", "impossible de lire « %1 »", {request_.file}));

        if (!ReadHeader()) return false;
        bool exists = false;
        if (!FindTable(exists) || !CheckRows(exists)) return false;
        if (!exists && !session_.Query(CreateStatement(), [](const std::vector<std::string_view>&) {})) return false;
        // One transaction for the rows (one sync, not one per row), unless one
        // is open already: a record the engine refuses, or Ctrl-C, then
        // undoes the whole load.  In the caller's transaction the records
        // loaded before stay, as the message says.
        own_ = Quietly("BEGIN");
        bool loaded = LoadRows();
        if (own_ && !Quietly(loaded ? "COMMIT" : "ROLLBACK") && loaded)
            return Fail(Say("the loaded records could not be committed", "les fiches chargées n'ont pas pu être validées"));
        return loaded;
    }

private:
    // Runs a statement without showing its error: whether it succeeded.
    bool Quietly(const char* statement) {
        static std::vector<char> info(1 << 16);
        std::uintptr_t handle = 0;
        bool ok = QXSQLExecReq(&handle, statement, reinterpret_cast<ExecInfo*>(info.data()), session_.HostContext(),
                               0) == 0;
        if (handle != 0) QXSQLFinRequete(handle);
        return ok;
    }
    bool Fail(const std::string& text) {
        session_.ReportShellError(text);
        return false;
    }
    bool FailAt(std::size_t line, std::size_t column, const std::string& text) {
        std::string where = request_.file + ":" + std::to_string(line);
        if (column > 0) {
            where += Say(": column %1", " : colonne %1", {std::to_string(column)});
            if (column <= columns_.size()) where += " (" + columns_[column - 1].name + ")";
        }
        return Fail(where + Say(": ", " : ") + text);
    }

    DelimitedReader Reader() const {
        DelimitedReader reader(text_, request_.format);
        reader.SkipLines(request_.skip);
        return reader;
    }

    bool ReadHeader() {
        DelimitedReader reader = Reader();
        std::vector<std::string> names;
        if (!reader.Next(names)) {
            if (!reader.Error().empty()) return FailAt(reader.Line(), reader.ErrorColumn(), reader.Error());
            return Fail(Say("%1: no header line (the item names)", "%1 : pas de ligne d'en-tête (les noms des rubriques)",
                            {request_.file}));
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            std::string name(Trim(names[i]));
            if (!IsIdentifier(name))
                return FailAt(reader.Line(), i + 1,
                              Say("'%1' is not an item name", "« %1 » n'est pas un nom de rubrique", {name}));
            for (const Column& other : columns_)
                if (EqualsIgnoreCase(other.name, name))
                    return FailAt(reader.Line(), i + 1,
                                  Say("'%1' twice in the header", "« %1 » deux fois dans l'en-tête", {name}));
            Column column;
            column.name = name;
            columns_.push_back(column);
        }
        return true;
    }

    bool FindTable(bool& exists) {
        std::vector<SchemaTable> tables;
        exists = DescribeTables(session_.HostContext(), request_.table.c_str(), tables) == 0;
        if (!exists) return true;
        if (tables.empty())
            return Fail(Say("cannot read the analysis of %1", "impossible de lire l'analyse de %1", {request_.table}));
        table_ = tables.front().name;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const SchemaItem* found = nullptr;
            for (const SchemaItem& item : tables.front().items)
                if (EqualsIgnoreCase(item.name, columns_[i].name)) found = &item;
            std::size_t line = request_.skip + 1;
            if (found == nullptr)
                return FailAt(line, i + 1,
                              Say("no item '%1' in %2", "pas de rubrique « %1 » dans %2", {columns_[i].name, table_}));
            if (!ColumnOf(*found, columns_[i]))
                return FailAt(line, i + 1,
                              Say("the item's type (%1) cannot be written by SQL",
                                  "le type de la rubrique (%1) ne s'écrit pas en SQL", {std::to_string(found->hostType)}));
        }
        return true;
    }

    // Every record: its field count, and its values against the items (an
    // existing table) or what they say of the new table's types.
    bool CheckRows(bool exists) {
        if (!exists) table_ = request_.table;
        DelimitedReader reader = Reader();
        std::vector<std::string> fields;
        reader.Next(fields);  // the header
        FieldValue field;
        std::string why;
        while (reader.Next(fields)) {
            ++rows_;
            if (fields.size() != columns_.size())
                return FailAt(reader.Line(), 0, Say("%1 fields where the header has %2", "%1 champs là où l'en-tête en a %2",
                                                    {std::to_string(fields.size()), std::to_string(columns_.size())}));
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const std::string& value = fields[i];
                if (value.empty()) continue;
                Column& column = columns_[i];
                if (value.find('\0') != std::string::npos)  // no parameter takes one
                    return FailAt(reader.Line(), i + 1,
                                  Say("a value holds a zero byte", "une valeur contient un octet nul"));
                if (exists) {
                    if (!ReadField(column, value, field, why))
                        return FailAt(reader.Line(), i + 1, why);
                    continue;
                }
                column.bytes = std::max(column.bytes, value.size());
                std::int64_t integer = 0;
                double number = 0;
                if (column.allIntegers && !(ParseInteger(Trim(value), integer) && integer >= INT32_MIN && integer <= INT32_MAX))
                    column.allIntegers = false;
                if (column.allNumbers && !column.allIntegers && !ParseNumber(Trim(value), number)) column.allNumbers = false;
            }
        }
        if (!reader.Error().empty()) return FailAt(reader.Line(), reader.ErrorColumn(), reader.Error());
        if (!exists) {
            for (Column& column : columns_) {
                bool seen = column.bytes > 0;
                column.kind = seen && column.allIntegers ? Kind::Integer
                              : seen && column.allNumbers ? Kind::Number
                                                          : Kind::Text;
                column.low = INT32_MIN;
                column.high = INT32_MAX;
                if (column.bytes == 0) column.bytes = 1;
            }
        }
        return true;
    }

    std::string CreateStatement() const {
        std::string sql = "CREATE TABLE " + table_ + " (";
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const Column& column = columns_[i];
            sql += (i > 0 ? ", " : "") + column.name + " ";
            sql += column.kind == Kind::Integer  ? "INTEGER"
                   : column.kind == Kind::Number ? "DOUBLE PRECISION"
                                                 : "CHAR(" + std::to_string(column.bytes) + ")";
        }
        return sql + ")";
    }

    // Fails the load at `line` after the engine refused a record (its error
    // reported first); says what stays loaded.
    bool NotLoaded(std::uintptr_t handle, std::size_t line, std::size_t loaded) {
        session_.ReportEngineError(handle);
        return FailAt(line, 0, own_ ? Say("not loaded; the import is undone (nothing loaded)",
                                          "non chargée ; l'import est annulé (rien n'est chargé)")
                                    : Say("not loaded (%1 records before it were)",
                                          "non chargée (les %1 fiches d'avant le sont)", {std::to_string(loaded)}));
    }

    bool Interrupted(std::size_t loaded) {
        return Fail(own_ ? Say("import interrupted: nothing loaded", "import interrompu : rien n'est chargé")
                         : Say("import interrupted: %1 of %2 records loaded",
                               "import interrompu : %1 fiches chargées sur %2",
                               {std::to_string(loaded), std::to_string(rows_)}));
    }

    bool LoadRows() {
        DelimitedReader reader = Reader();
        std::vector<std::string> fields;
        reader.Next(fields);
        ProgressBar progress(text_.size(), text_.size() > kProgressFileBytes && isatty(STDERR_FILENO) != 0);
        InsertStatements inserts(session_.HostContext(), table_, columns_);
        std::vector<bool> given(columns_.size());
        std::vector<FieldValue> values(columns_.size());
        std::string why;
        std::size_t loaded = 0;
        while (reader.Next(fields)) {
            if (ctrlc::Pressed()) return Interrupted(loaded);
            bool any = false;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                given[i] = !fields[i].empty() || columns_[i].kind == Kind::Text;
                if (given[i] && columns_[i].kind != Kind::Text) ReadField(columns_[i], fields[i], values[i], why);
                any = any || given[i];
            }
            if (!any) given[0] = true;  // nothing but defaults: the first item's empty value
            std::uintptr_t failed = 0;
            std::uintptr_t insert = inserts.For(given, failed);
            if (insert == 0) {
                bool result = NotLoaded(failed, reader.Line(), loaded);
                if (failed != 0) QXSQLFinRequete(failed);
                return result;
            }
            std::uint16_t parameter = 0;
            bool bound = true;
            for (std::size_t i = 0; i < fields.size() && bound; ++i) {
                if (!given[i]) continue;
                ++parameter;
                bound = fields[i].empty() && columns_[i].kind != Kind::Text
                            ? QXSQLBindNull(insert, parameter) == 0
                            : BindField(insert, parameter, columns_[i], fields[i], values[i]);
            }
            if (!bound || QXSQLExecute(insert, nullptr) != 0) {
                if (ctrlc::Pressed()) return Interrupted(loaded);
                return NotLoaded(insert, reader.Line(), loaded);
            }
            ++loaded;
            progress.Update(reader.Offset());
        }
        return true;
    }

    Session& session_;
    const ImportRequest& request_;
    std::string text_;
    std::string table_;  // as the analysis names it
    std::vector<Column> columns_;
    std::size_t rows_ = 0;
    bool own_ = false;  // the load runs in its own transaction
};

}  // namespace

bool ParseImportWords(const std::vector<std::string>& words, ImportRequest& request, std::string& error) {
    std::vector<std::string> names;
    bool formatGiven = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--csv" || word == "--tsv") {
            request.format = word == "--csv" ? DelimitedFormat::Csv : DelimitedFormat::Tsv;
            formatGiven = true;
        } else if (word == "--skip" && i + 1 < words.size() && AllDigits(words[i + 1])) {
            request.skip = static_cast<std::size_t>(std::strtoull(words[++i].c_str(), nullptr, 10));
        } else if (word.rfind("--", 0) == 0) {
            error = Say("unknown option '%1'", "option inconnue « %1 »", {word});
            return false;
        } else {
            names.push_back(word);
        }
    }
    if (names.size() != 2) {
        error = Say("FILE and TABLE expected", "FICHIER et TABLE attendus");
        return false;
    }
    request.file = names[0];
    request.table = names[1];
    if (!formatGiven) {
        std::size_t dot = request.file.rfind('.');
        std::string extension = dot == std::string::npos ? "" : request.file.substr(dot);
        if (EqualsIgnoreCase(extension, ".tsv") || EqualsIgnoreCase(extension, ".tab")) request.format = DelimitedFormat::Tsv;
    }
    return true;
}

bool ImportFile(Session& session, const ImportRequest& request) { return Import(session, request).Run(); }

}  // namespace qxsql
