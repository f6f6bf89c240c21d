#include "odbc/Catalog.h"

#include <sqlext.h>

#include <cctype>
#include <sstream>
#include <vector>

#include "odbc/Connection.h"
#include "qxhost.h"

namespace qxodbc {
namespace {

using Row = std::vector<FieldValue>;

ColumnDescription TextColumn(const char* name, SQLULEN size = 128) { return {name, SQL_VARCHAR, size, 0, false}; }
ColumnDescription ShortColumn(const char* name) { return {name, SQL_SMALLINT, 5, 0, false}; }
ColumnDescription IntegerColumn(const char* name) { return {name, SQL_INTEGER, 10, 0, false}; }

FieldValue Text(const char* text) { return text != nullptr ? FieldValue::Text(text) : FieldValue::Null(); }
FieldValue Number(std::int64_t v) { return FieldValue::Integer(v); }

bool Match(const char* name, const char* pattern) {
    for (; *pattern != '\0'; ++pattern, ++name) {
        if (*pattern == '%') {
            for (const char* rest = name;; ++rest) {
                if (Match(rest, pattern + 1)) return true;
                if (*rest == '\0') return false;
            }
        }
        if (*name == '\0') return false;
        if (*pattern == '\\' && (pattern[1] == '%' || pattern[1] == '_' || pattern[1] == '\\')) ++pattern;
        else if (*pattern == '_') continue;
        if (std::toupper(static_cast<unsigned char>(*name)) != std::toupper(static_cast<unsigned char>(*pattern)))
            return false;
    }
    return *name == '\0';
}

// The names of the database's tables, in analysis order.
std::vector<std::string> TableNames(std::uint16_t context) {
    std::vector<std::string> names;
    int count = QXHostTableCount(context);
    for (int i = 0; i < count; ++i) {
        char name[64] = "";
        if (QXHostTableName(context, i, name, sizeof name) == 0) names.emplace_back(name);
    }
    return names;
}

// The ITEM lines of a table's analysis text: name, type code, size.
struct Item {
    std::string name;
    int type = 0;
    int size = 0;
};
std::vector<Item> TableItems(std::uint16_t context, const std::string& table) {
    std::string text(1 << 14, '\0');
    int rc = 0;
    while ((rc = QXHostDescribe(context, table.c_str(), text.data(), text.size())) == -2 && text.size() < (1u << 26))
        text.resize(text.size() * 4);
    std::vector<Item> items;
    if (rc != 0) return items;
    std::istringstream lines(text.c_str());
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword;
        Item item;
        words >> keyword;
        for (char& c : keyword) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (keyword != "ITEM" || !(words >> item.name >> item.type)) continue;
        std::string size;
        if (words >> size && !size.empty() && std::isdigit(static_cast<unsigned char>(size[0]))) item.size = std::stoi(size);
        items.push_back(item);
    }
    return items;
}

// One row of SQLGetTypeInfo: a type CREATE TABLE accepts, with its SQL
// type, size, literal quotes and the parameters it takes.
struct TypeRow {
    const char* name;
    SQLSMALLINT sqlType;
    std::int64_t size;
    const char* quote;
    const char* createParams;
    bool isUnsigned;
    bool fixedScale;
};
constexpr TypeRow kTypes[] = {
    {"TINYINT", SQL_TINYINT, 3, nullptr, nullptr, false, false},
    {"BIGINT", SQL_BIGINT, 19, nullptr, nullptr, false, false},
    {"CHAR", SQL_CHAR, 255, "'", "length", false, false},
    {"INTEGER", SQL_INTEGER, 10, nullptr, nullptr, false, false},
    {"SMALLINT", SQL_SMALLINT, 5, nullptr, nullptr, false, false},
    {"REAL", SQL_REAL, 7, nullptr, nullptr, false, false},
    {"DOUBLE", SQL_DOUBLE, 15, nullptr, nullptr, false, false},
    {"VARCHAR", SQL_VARCHAR, 255, "'", "max length", false, false},
    {"DATE", SQL_TYPE_DATE, 10, "'", nullptr, false, false},
    {"TIME", SQL_TYPE_TIME, 8, "'", nullptr, false, false},
};

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) { return Match(name.c_str(), pattern.c_str()); }

SQLRETURN ListTables(Statement& statement, const std::string& catalog, const std::string& tablePattern,
                     const std::string& types) {
    std::vector<ColumnDescription> columns = {TextColumn("TABLE_CAT"), TextColumn("TABLE_SCHEM"), TextColumn("TABLE_NAME"),
                                              TextColumn("TABLE_TYPE"), TextColumn("REMARKS")};
    std::vector<Row> rows;
    if (types == "%" && catalog.empty() && tablePattern.empty()) {
        rows.push_back({Text(nullptr), Text(nullptr), Text(nullptr), Text("TABLE"), Text(nullptr)});
    } else if (catalog != "%") {
        std::string upperTypes;
        for (char c : types) upperTypes += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        bool tables = types.empty() || upperTypes.find("TABLE") != std::string::npos || types == "%";
        std::string pattern = tablePattern.empty() ? "%" : tablePattern;
        for (const std::string& name : TableNames(statement.Owner().Context())) {
            if (tables && MatchesPattern(name, pattern))
                rows.push_back({Text(nullptr), Text(nullptr), Text(name.c_str()), Text("TABLE"), Text(nullptr)});
        }
    }
    statement.SetRows(std::move(columns), std::move(rows));
    return SQL_SUCCESS;
}

SQLRETURN ListColumns(Statement& statement, const std::string& tablePattern, const std::string& columnPattern) {
    std::vector<ColumnDescription> columns = {
        TextColumn("TABLE_CAT"),       TextColumn("TABLE_SCHEM"),      TextColumn("TABLE_NAME"),
        TextColumn("COLUMN_NAME"),     ShortColumn("DATA_TYPE"),       TextColumn("TYPE_NAME"),
        IntegerColumn("COLUMN_SIZE"),  IntegerColumn("BUFFER_LENGTH"), ShortColumn("DECIMAL_DIGITS"),
        ShortColumn("NUM_PREC_RADIX"), ShortColumn("NULLABLE"),        TextColumn("REMARKS"),
        TextColumn("COLUMN_DEF"),      ShortColumn("SQL_DATA_TYPE"),   ShortColumn("SQL_DATETIME_SUB"),
        IntegerColumn("CHAR_OCTET_LENGTH"), IntegerColumn("ORDINAL_POSITION"), TextColumn("IS_NULLABLE")};
    std::vector<Row> rows;
    std::uint16_t context = statement.Owner().Context();
    std::string tables = tablePattern.empty() ? "%" : tablePattern;
    std::string items = columnPattern.empty() ? "%" : columnPattern;
    for (const std::string& table : TableNames(context)) {
        if (!MatchesPattern(table, tables)) continue;
        std::int64_t position = 0;
        for (const Item& item : TableItems(context, table)) {
            ++position;
            if (!MatchesPattern(item.name, items)) continue;
            ColumnDescription c = ColumnDescription::ForItem(item.name, item.type, item.size);
            bool datetime = c.sqlType == SQL_TYPE_DATE || c.sqlType == SQL_TYPE_TIME;
            bool text = c.sqlType == SQL_VARCHAR || c.sqlType == SQL_LONGVARCHAR;
            rows.push_back({Text(nullptr), Text(nullptr), Text(table.c_str()), Text(item.name.c_str()), Number(c.sqlType),
                            Text(c.TypeName()), Number(static_cast<std::int64_t>(c.size)), Number(c.OctetLength()),
                            c.IsNumeric() ? Number(c.decimals) : FieldValue::Null(),
                            c.IsNumeric() ? Number(10) : FieldValue::Null(), Number(c.Nullable()), Text(nullptr),
                            Text(nullptr), Number(datetime ? SQL_DATETIME : c.sqlType),
                            datetime ? Number(c.sqlType == SQL_TYPE_DATE ? SQL_CODE_DATE : SQL_CODE_TIME) : FieldValue::Null(),
                            text ? Number(static_cast<std::int64_t>(c.size)) : FieldValue::Null(), Number(position),
                            Text(c.Nullable() == SQL_NULLABLE ? "YES" : "NO")});
        }
    }
    statement.SetRows(std::move(columns), std::move(rows));
    return SQL_SUCCESS;
}

SQLRETURN ListTypes(Statement& statement, SQLSMALLINT type) {
    std::vector<ColumnDescription> columns = {
        TextColumn("TYPE_NAME"),          ShortColumn("DATA_TYPE"),       IntegerColumn("COLUMN_SIZE"),
        TextColumn("LITERAL_PREFIX"),     TextColumn("LITERAL_SUFFIX"),   TextColumn("CREATE_PARAMS"),
        ShortColumn("NULLABLE"),          ShortColumn("CASE_SENSITIVE"),  ShortColumn("SEARCHABLE"),
        ShortColumn("UNSIGNED_ATTRIBUTE"), ShortColumn("FIXED_PREC_SCALE"), ShortColumn("AUTO_UNIQUE_VALUE"),
        TextColumn("LOCAL_TYPE_NAME"),    ShortColumn("MINIMUM_SCALE"),   ShortColumn("MAXIMUM_SCALE"),
        ShortColumn("SQL_DATA_TYPE"),     ShortColumn("SQL_DATETIME_SUB"), IntegerColumn("NUM_PREC_RADIX"),
        ShortColumn("INTERVAL_PRECISION")};
    std::vector<Row> rows;
    for (const TypeRow& t : kTypes) {
        if (type != SQL_ALL_TYPES && type != t.sqlType) continue;
        bool numeric = t.quote == nullptr;
        bool datetime = t.sqlType == SQL_TYPE_DATE || t.sqlType == SQL_TYPE_TIME;
        rows.push_back({Text(t.name), Number(t.sqlType), Number(t.size), Text(t.quote), Text(t.quote),
                        Text(t.createParams), Number(datetime ? SQL_NULLABLE : SQL_NO_NULLS), Number(SQL_FALSE), Number(SQL_SEARCHABLE),
                        numeric ? Number(t.isUnsigned) : FieldValue::Null(), Number(t.fixedScale), numeric ? Number(SQL_FALSE) : FieldValue::Null(),
                        Text(nullptr), numeric ? Number(0) : FieldValue::Null(),
                        numeric ? Number(t.fixedScale ? 6 : 0) : FieldValue::Null(),
                        Number(datetime ? SQL_DATETIME : t.sqlType),
                        datetime ? Number(t.sqlType == SQL_TYPE_DATE ? SQL_CODE_DATE : SQL_CODE_TIME) : FieldValue::Null(),
                        numeric ? Number(10) : FieldValue::Null(), FieldValue::Null()});
    }
    statement.SetRows(std::move(columns), std::move(rows));
    return SQL_SUCCESS;
}

}  // namespace qxodbc
