// The driver through unixODBC's driver manager (-lodbc), loaded by its path
// from the connection string: prepared INSERTs with every C type a client
// binds, the rows read back by SQLBindCol and SQLGetData (texts in pieces),
// the errors with their SQLSTATE and message number, transactions under
// autocommit off, and the catalog calls.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

class DriverManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::string(QX_TEST_WORK_DIR) + "/db-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(QX_TEST_WORK_DIR);
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_SUCCESS);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        dbc_ = Connect("DRIVER=" QX_ODBC_DRIVER ";DATABASE=" + dir_ + ";CREATE=1;STRICT=1");
        ASSERT_NE(dbc_, nullptr);
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_), SQL_SUCCESS);
        Run("CREATE TABLE T (ID INTEGER, NAME CHAR(20), PRICE DOUBLE, SEEN DATE, AT TIME)");
    }
    void TearDown() override {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        std::filesystem::remove_all(dir_);
    }
    SQLHDBC Connect(const std::string& text) {
        SQLHDBC dbc = nullptr;
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc);
        SQLCHAR out[1024];
        SQLSMALLINT outLength = 0;
        SQLRETURN rc = SQLDriverConnect(dbc, nullptr, (SQLCHAR*)text.c_str(), SQL_NTS, out, sizeof out, &outLength,
                                        SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            ADD_FAILURE() << text << ": " << Diagnostic(SQL_HANDLE_DBC, dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            return nullptr;
        }
        return dbc;
    }
    // "SQLSTATE native message" of the first diagnostic record.
    static std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
        SQLCHAR state[6] = "", message[512] = "";
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
        return std::string((char*)state) + " " + std::to_string(native) + " " + (char*)message;
    }
    void Run(const std::string& sql) {
        ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt_, (SQLCHAR*)sql.c_str(), SQL_NTS)))
            << sql << ": " << Diagnostic(SQL_HANDLE_STMT, stmt_);
        SQLFreeStmt(stmt_, SQL_CLOSE);
    }
    // Every row of `sql` as text, columns joined by '|', read by SQLGetData.
    std::vector<std::string> Rows(const std::string& sql, SQLHSTMT stmt = nullptr) {
        if (stmt == nullptr) stmt = stmt_;
        std::vector<std::string> rows;
        EXPECT_TRUE(SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS))) << Diagnostic(SQL_HANDLE_STMT, stmt);
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            std::string row;
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                char text[256];
                SQLLEN indicator = 0;
                SQLGetData(stmt, c, SQL_C_CHAR, text, sizeof text, &indicator);
                row += (c > 1 ? "|" : "") + (indicator == SQL_NULL_DATA ? std::string("NULL") : std::string(text));
            }
            rows.push_back(row);
        }
        SQLFreeStmt(stmt, SQL_CLOSE);
        return rows;
    }
    std::string dir_;
    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    SQLHSTMT stmt_ = nullptr;
};

TEST_F(DriverManagerTest, PreparedInsertAndTypedReads) {
    ASSERT_EQ(SQLPrepare(stmt_, (SQLCHAR*)"INSERT INTO T (ID, NAME, PRICE, SEEN, AT) VALUES (?, ?, ?, ?, ?)", SQL_NTS),
              SQL_SUCCESS) << Diagnostic(SQL_HANDLE_STMT, stmt_);
    SQLSMALLINT parameters = 0;
    SQLNumParams(stmt_, &parameters);
    EXPECT_EQ(parameters, 5);
    SQLINTEGER id = 0;
    char name[32];
    SQLWCHAR wide[32];
    double price = 0;
    SQL_DATE_STRUCT seen{};
    SQL_TIME_STRUCT at{};
    SQLLEN nameLength = SQL_NTS, dateLength = 0;
    SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, nullptr);
    SQLBindParameter(stmt_, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &price, 0, nullptr);
    SQLBindParameter(stmt_, 4, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, &seen, 0, &dateLength);
    SQLBindParameter(stmt_, 5, SQL_PARAM_INPUT, SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, &at, 0, nullptr);
    const struct {
        SQLINTEGER id;
        const char* name;  // bound as SQL_C_WCHAR when it starts with 'w'
        double price;
        SQL_DATE_STRUCT seen;  // year 0: bound as NULL
        SQL_TIME_STRUCT at;
    } rows[] = {
        {1, "it's \"quoted\"; DROP", 12.5, {2024, 2, 29}, {23, 59, 0}},
        {2, "w\xc3\xa9t\xc3\xa9 \xe2\x82\xac", -1e-7, {0, 0, 0}, {0, 0, 0}},
        {-2147483647, "", 1e300, {1, 1, 1}, {12, 0, 0}},
    };
    for (const auto& r : rows) {
        id = r.id;
        price = r.price;
        seen = r.seen;
        at = r.at;
        dateLength = r.seen.year == 0 ? SQL_NULL_DATA : sizeof seen;
        if (r.name[0] == 'w') {
            std::u16string text = u"w\u00e9t\u00e9 \u20ac";
            std::memcpy(wide, text.c_str(), (text.size() + 1) * 2);
            SQLBindParameter(stmt_, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 20, 0, wide, sizeof wide, &nameLength);
        } else {
            std::strcpy(name, r.name);
            SQLBindParameter(stmt_, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 20, 0, name, sizeof name, &nameLength);
        }
        ASSERT_EQ(SQLExecute(stmt_), SQL_SUCCESS) << Diagnostic(SQL_HANDLE_STMT, stmt_);
        SQLLEN changed = 0;
        SQLRowCount(stmt_, &changed);
        EXPECT_EQ(changed, 1);
    }
    EXPECT_EQ(Rows("SELECT ID, NAME, PRICE, SEEN, AT FROM T ORDER BY ID"),
              (std::vector<std::string>{"-2147483647||1e+300|0001-01-01|12:00:00",
                                        "1|it's \"quoted\"; DROP|12.5|2024-02-29|23:59:00",
                                        "2|w\xc3\xa9t\xc3\xa9 \xe2\x82\xac|-1e-07|NULL|00:00:00"}));

    // Described types, bound columns and a text read in pieces.
    ASSERT_EQ(SQLExecDirect(stmt_, (SQLCHAR*)"SELECT ID, PRICE, SEEN, NAME FROM T WHERE ID = 1", SQL_NTS), SQL_SUCCESS);
    const SQLSMALLINT types[] = {SQL_INTEGER, SQL_DOUBLE, SQL_TYPE_DATE, SQL_VARCHAR};
    for (SQLUSMALLINT c = 1; c <= 4; ++c) {
        SQLCHAR columnName[32];
        SQLSMALLINT type = 0, decimals = 0, nullable = 0, length = 0;
        SQLULEN size = 0;
        ASSERT_EQ(SQLDescribeCol(stmt_, c, columnName, sizeof columnName, &length, &type, &size, &decimals, &nullable), SQL_SUCCESS);
        EXPECT_EQ(type, types[c - 1]) << columnName;
    }
    SQLBIGINT boundId = 0;
    SQL_DATE_STRUCT boundDate{};
    SQLBindCol(stmt_, 1, SQL_C_SBIGINT, &boundId, 0, nullptr);
    SQLBindCol(stmt_, 3, SQL_C_TYPE_DATE, &boundDate, 0, nullptr);
    ASSERT_EQ(SQLFetch(stmt_), SQL_SUCCESS);
    EXPECT_EQ(boundId, 1);
    EXPECT_EQ(boundDate.year * 10000 + boundDate.month * 100 + boundDate.day, 20240229);
    SQLINTEGER small = 0;
    EXPECT_EQ(SQLGetData(stmt_, 2, SQL_C_SLONG, &small, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(small, 12);
    std::string pieces;
    char piece[8];
    SQLLEN left = 0;
    SQLRETURN rc;
    while ((rc = SQLGetData(stmt_, 4, SQL_C_CHAR, piece, sizeof piece, &left)) != SQL_NO_DATA) {
        ASSERT_TRUE(SQL_SUCCEEDED(rc));
        pieces += piece;
    }
    EXPECT_EQ(pieces, "it's \"quoted\"; DROP");
    EXPECT_EQ(SQLFetch(stmt_), SQL_NO_DATA);
    SQLFreeStmt(stmt_, SQL_UNBIND);
}

TEST_F(DriverManagerTest, ErrorsCarryStateAndMessageNumber) {
    using Step = std::function<SQLRETURN(SQLHSTMT)>;
    static SQLINTEGER id = 5;
    static char text[] = "twelve";
    static SQLLEN nts = SQL_NTS;
    const struct {
        const char* what;
        Step step;
        const char* state;
        int numbered;  // 1: the engine's message number as native error, 0: none (a driver error), -1: unchecked
    } cases[] = {
        {"unknown table", [](SQLHSTMT s) { return SQLExecDirect(s, (SQLCHAR*)"SELECT A FROM NOPE", SQL_NTS); }, "", 1},
        {"syntax", [](SQLHSTMT s) { return SQLExecDirect(s, (SQLCHAR*)"SELECT FROM WHERE", SQL_NTS); }, "", 1},
        {"text for a number",
         [](SQLHSTMT s) {
             SQLPrepare(s, (SQLCHAR*)"SELECT ID FROM T WHERE ID = ?", SQL_NTS);
             SQLBindParameter(s, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, text, sizeof text, &nts);
             return SQLExecute(s);
         },
         "", 1},
        {"missing parameter",
         [](SQLHSTMT s) {
             SQLPrepare(s, (SQLCHAR*)"SELECT ID FROM T WHERE ID = ? OR ID = ?", SQL_NTS);
             SQLBindParameter(s, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, nullptr);
             return SQLExecute(s);
         },
         "07002", 0},
        {"strict: text too long",
         [](SQLHSTMT s) {
             return SQLExecDirect(s, (SQLCHAR*)"INSERT INTO T (ID, NAME) VALUES (1, 'abcdefghijklmnopqrstuvwxyz')", SQL_NTS);
         },
         "22001", -1},
        {"text read as a number",
         [](SQLHSTMT s) {
             SQLExecDirect(s, (SQLCHAR*)"SELECT 'abc'", SQL_NTS);
             SQLFetch(s);
             return SQLGetData(s, 1, SQL_C_SLONG, &id, 0, nullptr);
         },
         "22018", 0},
        {"no such column",
         [](SQLHSTMT s) {
             SQLExecDirect(s, (SQLCHAR*)"SELECT 'abc'", SQL_NTS);
             SQLFetch(s);
             return SQLGetData(s, 2, SQL_C_CHAR, text, sizeof text, nullptr);
         },
         "07009", 0},
    };
    for (const auto& c : cases) {
        SQLHSTMT s = nullptr;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &s);
        EXPECT_EQ(c.step(s), SQL_ERROR) << c.what;
        SQLCHAR state[6] = "";
        SQLINTEGER native = 0;
        SQLCHAR message[512] = "";
        ASSERT_EQ(SQLGetDiagRec(SQL_HANDLE_STMT, s, 1, state, &native, message, sizeof message, nullptr), SQL_SUCCESS) << c.what;
        if (c.state[0] != '\0') {
            EXPECT_STREQ((char*)state, c.state) << c.what << ": " << message;
        }
        EXPECT_NE(std::strncmp((char*)state, "00", 2), 0) << c.what;
        if (c.numbered >= 0) {
            EXPECT_EQ(native > 0 ? 1 : 0, c.numbered) << c.what << ": " << native << " " << message;
        }
        EXPECT_NE(std::strstr((char*)message, "[QX]"), nullptr) << c.what;
        SQLINTEGER count = 0;
        SQLGetDiagField(SQL_HANDLE_STMT, s, 0, SQL_DIAG_NUMBER, &count, 0, nullptr);
        EXPECT_EQ(count, 1) << c.what;
        SQLFreeHandle(SQL_HANDLE_STMT, s);
    }
    // A function the driver leaves out is the driver manager's IM001.
    EXPECT_EQ(SQLProcedures(stmt_, nullptr, 0, nullptr, 0, nullptr, 0), SQL_ERROR);
    EXPECT_EQ(Diagnostic(SQL_HANDLE_STMT, stmt_).substr(0, 5), "IM001");
    // A connection string without a database.
    SQLHDBC none = nullptr;
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &none);
    EXPECT_EQ(SQLDriverConnect(none, nullptr, (SQLCHAR*)"DRIVER=" QX_ODBC_DRIVER, SQL_NTS, nullptr, 0, nullptr,
                               SQL_DRIVER_NOPROMPT), SQL_ERROR);
    EXPECT_EQ(Diagnostic(SQL_HANDLE_DBC, none).substr(0, 5), "08001");
    SQLFreeHandle(SQL_HANDLE_DBC, none);
}

TEST_F(DriverManagerTest, TransactionsFollowAutocommit) {
    ASSERT_EQ(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0), SQL_SUCCESS);
    const struct {
        const char* change;
        SQLSMALLINT end;
        const char* count;
    } steps[] = {
        {"INSERT INTO T (ID) VALUES (1)", SQL_ROLLBACK, "0"},
        {"INSERT INTO T (ID) VALUES (2)", SQL_COMMIT, "1"},
        {"UPDATE T SET ID = 3", SQL_ROLLBACK, "1"},
        {"DELETE FROM T", SQL_COMMIT, "0"},
    };
    for (const auto& s : steps) {
        Run(s.change);
        EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc_, s.end), SQL_SUCCESS) << s.change << ": " << Diagnostic(SQL_HANDLE_DBC, dbc_);
        EXPECT_EQ(Rows("SELECT COUNT(*) FROM T"), std::vector<std::string>{s.count}) << s.change;
    }
    // Autocommit back on commits what is open; a second connection sees it.
    Run("INSERT INTO T (ID) VALUES (4)");
    ASSERT_EQ(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, 0), SQL_SUCCESS);
    SQLHDBC other = Connect("DRIVER=" QX_ODBC_DRIVER ";DATABASE=" + dir_);
    ASSERT_NE(other, nullptr);
    SQLHSTMT s = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, other, &s);
    EXPECT_EQ(Rows("SELECT ID FROM T", s), std::vector<std::string>{"4"});
    SQLFreeHandle(SQL_HANDLE_STMT, s);
    SQLDisconnect(other);
    SQLFreeHandle(SQL_HANDLE_DBC, other);
}

TEST_F(DriverManagerTest, CatalogAndInfo) {
    Run("CREATE TABLE U (CODE CHAR(8), QTY SMALLINT)");
    auto catalog = [this](const std::function<SQLRETURN()>& call, std::vector<SQLUSMALLINT> columns) {
        std::vector<std::string> rows;
        EXPECT_EQ(call(), SQL_SUCCESS) << Diagnostic(SQL_HANDLE_STMT, stmt_);
        while (SQL_SUCCEEDED(SQLFetch(stmt_))) {
            std::string row;
            for (SQLUSMALLINT c : columns) {
                char text[128];
                SQLLEN indicator = 0;
                SQLGetData(stmt_, c, SQL_C_CHAR, text, sizeof text, &indicator);
                row += (row.empty() ? "" : "|") + std::string(indicator == SQL_NULL_DATA ? "NULL" : text);
            }
            rows.push_back(row);
        }
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return rows;
    };
    EXPECT_EQ(catalog([this] { return SQLTables(stmt_, nullptr, 0, nullptr, 0, (SQLCHAR*)"%", SQL_NTS, nullptr, 0); }, {3, 4}),
              (std::vector<std::string>{"T|TABLE", "U|TABLE"}));
    EXPECT_EQ(catalog([this] { return SQLTables(stmt_, nullptr, 0, nullptr, 0, (SQLCHAR*)"u", SQL_NTS, (SQLCHAR*)"VIEW", SQL_NTS); }, {3}),
              std::vector<std::string>{});
    EXPECT_EQ(catalog([this] { return SQLColumns(stmt_, nullptr, 0, nullptr, 0, (SQLCHAR*)"U", SQL_NTS, nullptr, 0); }, {4, 5, 6, 7, 17}),
              (std::vector<std::string>{"CODE|12|VARCHAR|8|1", "QTY|5|SMALLINT|5|2"}));
    EXPECT_EQ(catalog([this] { return SQLColumns(stmt_, nullptr, 0, nullptr, 0, (SQLCHAR*)"%", SQL_NTS, (SQLCHAR*)"S_EN", SQL_NTS); }, {3, 4}),
              std::vector<std::string>{"T|SEEN"});
    EXPECT_EQ(catalog([this] { return SQLGetTypeInfo(stmt_, SQL_TYPE_DATE); }, {1, 2}), std::vector<std::string>{"DATE|91"});

    char text[64];
    SQLSMALLINT length = 0;
    ASSERT_EQ(SQLGetInfo(dbc_, SQL_DBMS_NAME, text, sizeof text, &length), SQL_SUCCESS);
    EXPECT_STREQ(text, "QX");
    SQLUSMALLINT supported = SQL_TRUE;
    SQLGetFunctions(dbc_, SQL_API_SQLDESCRIBEPARAM, &supported);
    EXPECT_EQ(supported, SQL_FALSE);
    SQLGetFunctions(dbc_, SQL_API_SQLPREPARE, &supported);
    EXPECT_EQ(supported, SQL_TRUE);
}

}  // namespace
