// qx_vs_sqlite: the same queries over the same data, through the SQL engine
// on a QX database and through SQLite, with the times side by side.
//
// The program builds deterministic data twice, in a scratch directory: a QX
// database (the analysis written as text, the records added through the file
// engine's OECRIREENREG callback) and an SQLite database file.  Tables at
// scale 1:
//   T1  1,000,000 rows: ID, QTY 0..999, PRICE with two decimals, NAME of 20
//       letters from 50,000 distinct names, CITY from 100 values
//   T2    100,000 rows: ID, T1ID (a T1.ID), CODE
//   T3    100,000 rows: ID, T2ID (a T2.ID)
// The load L1 then inserts the rows of T1 into an empty table T1L of the same
// layout by INSERT statements of up to 500 rows each (as many as the longest
// statement holds), SQLite running the same texts inside one transaction.
// Each query then runs once on both sides to compare the rows (as multisets
// of lines; numbers in the engine's text form: "%lf" with trailing zeros cut),
// and `runs` more times for the clock.  A timed run is the whole statement:
// QXSQLExecReq, QXSQLFetchNext and QXSQLValLine for every row, then
// QXSQLFinRequete; on the SQLite side prepare, step, sqlite3_column_text of
// every column, finalize.  The table printed gives the medians and the ratio
// ours / SQLite.  Three loads follow, each side with its default durability:
// L2, a million one-row INSERTs in one transaction; L3, one autocommit INSERT;
// L4, T1's rows again by one prepared INSERT run once a row, in one transaction.
// I1 last: T1 written as a CSV file, then loaded into a new table by the
// shells, `qxsql DIR --import FILE T1I` against `sqlite3 -cmd ".mode csv"
// FILE.db ".import FILE T1I"` (each process timed whole; skipped when a
// shell is missing).
//
//   qx_vs_sqlite [--scale S] [--runs R] [--only Q1,Q2,...] [--keep]
//
// --scale multiplies every row count (0.01 for a quick run); --only runs the
// named queries; --keep leaves the scratch directory.  Exit code 0 when every
// query gave the same rows on both sides, 1 otherwise, 2 on a setup failure.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "obhost.h"
#include "obsqleng.h"
#include "qxhost.h"

namespace {

struct Options {
    double scale = 1.0;
    int runs = 5;
    std::vector<std::string> only;
    bool keep = false;
};

struct Query {
    const char* id;
    const char* title;
    const char* qx;
    const char* sqlite;  // null: the same text as qx
};

// The statements read the same on both sides.
const Query kQueries[] = {
    {"Q1", "QTY = 500", "SELECT ID, QTY, PRICE, NAME, CITY FROM T1 WHERE QTY = 500", nullptr},
    {"Q2", "CITY BETWEEN .. OR CITY = ..",
     "SELECT ID, CITY FROM T1 WHERE CITY BETWEEN 'CITY_10' AND 'CITY_19' OR CITY = 'CITY_50'", nullptr},
    {"Q3", "NAME LIKE 'AB%'", "SELECT ID, NAME FROM T1 WHERE NAME LIKE 'AB%'", nullptr},
    {"Q4", "DISTINCT CITY, QTY", "SELECT DISTINCT CITY, QTY FROM T1", nullptr},
    {"Q5", "ORDER BY PRICE DESC", "SELECT ID, PRICE FROM T1 ORDER BY PRICE DESC", nullptr},
    {"Q6", "join T1-T2", "SELECT T1.ID, T1.NAME, T2.ID, T2.CODE FROM T1, T2 WHERE T2.T1ID = T1.ID", nullptr},
    {"Q7", "join T1-T2-T3, filter on T1",
     "SELECT T1.NAME, T2.CODE, T3.ID FROM T1, T2, T3 WHERE T3.T2ID = T2.ID AND T2.T1ID = T1.ID AND T1.QTY < 100",
     nullptr},
    {"Q8", "ID IN (SELECT T1ID FROM T2)", "SELECT ID, NAME FROM T1 WHERE ID IN (SELECT T1ID FROM T2)", nullptr},
    {"Q9", "self-join on <, filter", "SELECT A.ID FROM T2 A, T2 B WHERE A.T1ID < B.T1ID AND A.ID < 20", nullptr},
    {"Q10", "GROUP BY CITY, COUNT, SUM", "SELECT CITY, COUNT(*), SUM(QTY) FROM T1 GROUP BY CITY", nullptr},
    {"Q11", "GROUP BY QTY, AVG, HAVING", "SELECT QTY, AVG(PRICE) FROM T1 GROUP BY QTY HAVING COUNT(*) > 1000",
     nullptr},
    {"Q12", "ORDER BY NAME LIMIT 10", "SELECT ID, NAME FROM T1 ORDER BY NAME LIMIT 10", nullptr},
    {"Q13", "EXISTS linked by =", "SELECT T2.ID FROM T2 WHERE EXISTS (SELECT T1.ID FROM T1 WHERE T1.ID = T2.T1ID AND T1.QTY < 100)",
     nullptr},
    {"Q14", "correlated COUNT, select list",
     "SELECT T1.ID, (SELECT COUNT(*) FROM T2 WHERE T2.T1ID = T1.ID) FROM T1 WHERE T1.QTY < 1", nullptr},
    // An unmatched row shows 0 here where SQLite shows NULL.
    {"Q15", "LEFT JOIN, unmatched rows", "SELECT T1.ID, T2.ID FROM T1 LEFT JOIN T2 ON T2.T1ID = T1.ID WHERE T1.QTY < 50",
     "SELECT T1.ID, IFNULL(T2.ID, 0) FROM T1 LEFT JOIN T2 ON T2.T1ID = T1.ID WHERE T1.QTY < 50"},
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A small deterministic generator (xorshift64*), the same on every run.
struct Random {
    std::uint64_t state;
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 2685821657736338717ULL;
    }
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>((Next() >> 11) % n); }
};

// The engine's text form of a number: "%lf" without trailing fraction zeros.
std::string NumberText(double x) {
    char text[400];
    std::snprintf(text, sizeof text, "%lf", x);
    std::string s = text;
    std::size_t point = s.find('.');
    if (point != std::string::npos) {
        while (s.size() > point + 1 && s.back() == '0') s.pop_back();
        if (s.size() == point + 1) s.pop_back();
    }
    return s;
}

struct Data {
    long t1 = 0, t2 = 0, t3 = 0;
    std::vector<std::string> names;  // distinct names, 20 letters each
    std::vector<std::string> cities;
};

struct T1Row {
    std::int32_t id;
    std::int16_t qty;
    double price;
    std::uint32_t name, city;
};
struct T2Row {
    std::int32_t id, t1id;
    char code[11];
};
struct T3Row {
    std::int32_t id, t2id;
};

// ---------------------------------------------------------------------------
// QX side.

const char* kAnalysis =
    "ANALYSIS 1\n"
    "FILE T1\nITEM ID 5 UNIQUE\nITEM QTY 3\nITEM PRICE 9\nITEM NAME 15 21\nITEM CITY 15 11\n"
    "FILE T2\nITEM ID 5 UNIQUE\nITEM T1ID 5\nITEM CODE 15 11\n"
    "FILE T3\nITEM ID 5 UNIQUE\nITEM T2ID 5\n"
    "FILE T1L\nITEM ID 5 UNIQUE\nITEM QTY 3\nITEM PRICE 9\nITEM NAME 15 21\nITEM CITY 15 11\n"
    "FILE T1P\nITEM ID 5 UNIQUE\nITEM QTY 3\nITEM PRICE 9\nITEM NAME 15 21\nITEM CITY 15 11\n";

// Copies `text` into a type-15 field of `size` bytes: spaces up to size - 1, NUL last.
void PutText(unsigned char* field, std::size_t size, const std::string& text) {
    std::memset(field, ' ', size - 1);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
    field[size - 1] = '\0';
}

bool AddRecord(std::uint16_t ctx, const char* file, std::vector<unsigned char>& record) {
    static HostRecordBlock block;
    record[0] = 0;
    block.recordAddress = reinterpret_cast<std::uintptr_t>(record.data());
    block.recordLength = static_cast<std::int16_t>(record.size());
    block.memoAddress = 0;
    block.status = 0;
    block.duplicate = 0;
    OECRIREENREG(ctx, file, 0, &block);
    if (block.status != 0) {
        std::fprintf(stderr, "QX: adding a record to %s: status %d\n", file, block.status);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Running a query on both sides.

struct Outcome {
    bool ok = true;
    std::string error;
    std::vector<std::string> rows;  // only when collecting
    long count = 0;
};

Outcome RunQx(std::uint16_t ctx, const char* sql, bool collect) {
    Outcome out;
    static std::vector<unsigned char> infoBlock(1 << 16);
    static std::vector<char> line(1 << 16);
    auto* info = reinterpret_cast<ExecInfo*>(infoBlock.data());
    std::uintptr_t handle = 0;
    std::int16_t rc = QXSQLExecReq(&handle, sql, info, ctx, 0);
    if (rc != 0) {
        char text[256] = {}, state[6] = {};
        if (handle != 0) QXSQLErreur(handle, text, state);
        out.ok = false;
        out.error = std::string(state) + " " + text;
        if (handle != 0) QXSQLFinRequete(handle);
        return out;
    }
    if (info->columnCount > 0) {
        while (QXSQLFetchNext(handle) == 0) {
            QXSQLValLine(handle, "\t", line.data());
            ++out.count;
            if (collect) out.rows.emplace_back(line.data());
        }
    }
    QXSQLFinRequete(handle);
    return out;
}

Outcome RunSqlite(sqlite3* db, const char* sql, bool collect) {
    Outcome out;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        out.ok = false;
        out.error = sqlite3_errmsg(db);
        return out;
    }
    int columns = sqlite3_column_count(statement);
    std::string row;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        ++out.count;
        if (!collect) {
            for (int c = 0; c < columns; ++c) sqlite3_column_text(statement, c);
            continue;
        }
        row.clear();
        for (int c = 0; c < columns; ++c) {
            if (c > 0) row += '\t';
            switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER: row += std::to_string(sqlite3_column_int64(statement, c)); break;
                case SQLITE_FLOAT: row += NumberText(sqlite3_column_double(statement, c)); break;
                case SQLITE_NULL: break;
                default: row += reinterpret_cast<const char*>(sqlite3_column_text(statement, c)); break;
            }
        }
        out.rows.push_back(row);
    }
    if (rc != SQLITE_DONE) {
        out.ok = false;
        out.error = sqlite3_errmsg(db);
    }
    sqlite3_finalize(statement);
    return out;
}

bool Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s: %s\n", sql, error != nullptr ? error : "?");
        sqlite3_free(error);
        return false;
    }
    return true;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// INSERT INTO T1L statements holding every row of T1: up to 500 rows each,
// fewer when the text would pass the longest statement the engine takes.
std::vector<std::string> LoadStatements(const Data& data, const std::vector<T1Row>& t1) {
    const std::string head = "INSERT INTO T1L VALUES ";
    std::vector<std::string> statements;
    std::string text, row;
    int rows = 0;
    for (const T1Row& r : t1) {
        row = "(" + std::to_string(r.id) + "," + std::to_string(r.qty) + "," + NumberText(r.price) + ",'" +
              data.names[r.name] + "','" + data.cities[r.city] + "')";
        if (rows == 500 || (rows > 0 && text.size() + 1 + row.size() > QXSQL_MAX_STATEMENT - 1)) {
            statements.push_back(text);
            rows = 0;
        }
        text = rows == 0 ? head + row : text + "," + row;
        ++rows;
    }
    if (rows > 0) statements.push_back(text);
    return statements;
}

// Times the load on both sides and prints its line; false when a side
// failed or the loaded tables differ.
bool RunLoad(std::uint16_t ctx, sqlite3* db, const std::vector<std::string>& statements) {
    long rows = 0;
    auto t = Clock::now();
    for (const std::string& statement : statements) {
        Outcome outcome = RunQx(ctx, statement.c_str(), false);
        if (!outcome.ok) {
            std::printf("L1   load failed on the QX side: %s\n", outcome.error.c_str());
            return false;
        }
    }
    double ours = Seconds(t) * 1000;
    t = Clock::now();
    bool liteOk = Exec(db, "BEGIN");
    for (std::size_t i = 0; liteOk && i < statements.size(); ++i) liteOk = Exec(db, statements[i].c_str());
    liteOk = liteOk && Exec(db, "COMMIT");
    double theirs = Seconds(t) * 1000;
    const char* check = "SELECT COUNT(*), SUM(QTY), SUM(ID) FROM T1L";
    Outcome a = RunQx(ctx, check, true), b = RunSqlite(db, check, true);
    if (a.ok && !a.rows.empty()) rows = std::atol(a.rows[0].c_str());
    bool same = liteOk && a.ok && b.ok && a.rows == b.rows;
    char title[64];
    std::snprintf(title, sizeof title, "load T1, INSERT of %.0f rows", statements.empty() ? 0.0 : double(rows) / statements.size());
    std::printf("%-4s %-30s %9ld %10.1f %10.1f %8.2f  %s\n", "L1", title, rows, ours, theirs,
                theirs > 0 ? ours / theirs : 0.0, same ? "same table" : "DIFFERENT tables");
    std::fflush(stdout);
    return same;
}

bool Wanted(const Options& o, const char* id) {
    if (o.only.empty()) return true;
    return std::find(o.only.begin(), o.only.end(), id) != o.only.end();
}

Options ParseArguments(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--scale" && i + 1 < argc) {
            o.scale = std::atof(argv[++i]);
        } else if (a == "--runs" && i + 1 < argc) {
            o.runs = std::atoi(argv[++i]);
        } else if (a == "--only" && i + 1 < argc) {
            std::string list = argv[++i];
            for (std::size_t start = 0; start <= list.size();) {
                std::size_t comma = list.find(',', start);
                if (comma == std::string::npos) comma = list.size();
                if (comma > start) o.only.push_back(list.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--scale S] [--runs R] [--only Q1,Q2,...] [--keep]\n", argv[0]);
            std::exit(2);
        }
    }
    if (!(o.scale > 0)) o.scale = 1.0;
    if (o.runs < 1) o.runs = 1;
    return o;
}

}  // namespace

// The loads, each through statements on both sides, into fresh databases with their
// default durability (QX: a commit is synced; SQLite: rollback journal, synchronous=FULL):
//   L2  `rows` one-row INSERTs inside one transaction
//   L3  one-row INSERTs each committed on its own (the time of one, in ms)
bool RunLoads(const std::string& dir, const Options& options, long rows) {
    const std::string qxDir = dir + "/loads.qx", liteFile = dir + "/loads.sqlite";
    char error[512];
    std::uint16_t ctx = QXHostOpen(qxDir.c_str(), 1, error, sizeof error);
    sqlite3* db = nullptr;
    if (ctx == 0 || sqlite3_open(liteFile.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "loads: %s\n", ctx == 0 ? error : "cannot open SQLite");
        return false;
    }
    const char* create = "CREATE TABLE L (ID INTEGER, NAME CHAR(20), PRICE DOUBLE PRECISION)";
    bool ok = RunQx(ctx, create, false).ok && Exec(db, create);
    auto insert = [](long i) {
        char text[128];
        std::snprintf(text, sizeof text, "INSERT INTO L VALUES (%ld, 'name %ld', %ld.25)", i, i % 50000, i % 1000);
        return std::string(text);
    };
    auto qxLoad = [&](long from, long count, bool oneTransaction) {
        if (oneTransaction) ok = ok && RunQx(ctx, "BEGIN", false).ok;
        for (long i = from; ok && i < from + count; ++i) ok = RunQx(ctx, insert(i).c_str(), false).ok;
        if (oneTransaction) ok = ok && RunQx(ctx, "COMMIT", false).ok;
    };
    auto liteLoad = [&](long from, long count, bool oneTransaction) {
        if (oneTransaction) ok = ok && Exec(db, "BEGIN");
        for (long i = from; ok && i < from + count; ++i) ok = Exec(db, insert(i).c_str());
        if (oneTransaction) ok = ok && Exec(db, "COMMIT");
    };
    if (Wanted(options, "L2")) {
        auto t = Clock::now();
        qxLoad(0, rows, true);
        double a = Seconds(t) * 1000;
        t = Clock::now();
        liteLoad(0, rows, true);
        double b = Seconds(t) * 1000;
        std::printf("%-4s %-30s %9ld %10.1f %10.1f %8.2f  %s\n", "L2", "INSERTs in one transaction", rows, a, b,
                    b > 0 ? a / b : 0.0, ok ? "loaded" : "FAILED");
    }
    if (Wanted(options, "L3")) {
        const long count = 50;
        auto t = Clock::now();
        qxLoad(rows, count, false);
        double a = Seconds(t) * 1000 / count;
        t = Clock::now();
        liteLoad(rows, count, false);
        double b = Seconds(t) * 1000 / count;
        std::printf("%-4s %-30s %9ld %10.2f %10.2f %8.2f  %s\n", "L3", "one autocommit INSERT (ms)", 1L, a, b,
                    b > 0 ? a / b : 0.0, ok ? "loaded" : "FAILED");
    }
    std::fflush(stdout);
    sqlite3_close(db);
    QXHostClose(ctx);
    return ok;
}

// Runs a shell command; its time in ms, or -1 when it failed.
double TimedCommand(const std::string& command) {
    auto t = Clock::now();
    int status = std::system(command.c_str());
    return status == 0 ? Seconds(t) * 1000 : -1;
}

// I1: T1 as a CSV file with a header, imported by each shell into a table
// it makes from the header; the tables are then compared.
bool RunImport(const std::string& dir, const Data& data, const std::vector<T1Row>& t1) {
#ifdef QXSQL_PATH
    const std::string csv = dir + "/t1.csv", qxDir = dir + "/import.qx", liteFile = dir + "/import.sqlite";
    FILE* f = std::fopen(csv.c_str(), "w");
    if (f == nullptr) return false;
    std::fputs("ID,QTY,PRICE,NAME,CITY\n", f);
    for (const T1Row& r : t1)
        std::fprintf(f, "%d,%d,%s,%s,%s\n", r.id, r.qty, NumberText(r.price).c_str(), data.names[r.name].c_str(),
                     data.cities[r.city].c_str());
    std::fclose(f);
    if (std::system("command -v sqlite3 > /dev/null") != 0) {
        std::printf("%-4s %-30s  skipped: no sqlite3 shell (apt-get install sqlite3)\n", "I1", ".import of T1 as CSV");
        return true;
    }
    double ours = TimedCommand(std::string(QXSQL_PATH) + " --create '" + qxDir + "' --import '" + csv + "' T1I");
    double theirs = TimedCommand("sqlite3 -cmd '.mode csv' '" + liteFile + "' '.import " + csv + " T1I'");
    const char* check = "SELECT COUNT(*), SUM(QTY), SUM(ID) FROM T1I";
    char error[512];
    std::uint16_t ctx = QXHostOpen(qxDir.c_str(), 0, error, sizeof error);
    sqlite3* db = nullptr;
    bool same = ours >= 0 && theirs >= 0 && ctx != 0 && sqlite3_open(liteFile.c_str(), &db) == SQLITE_OK;
    if (same) {
        Outcome a = RunQx(ctx, check, true), b = RunSqlite(db, check, true);
        same = a.ok && b.ok && a.rows == b.rows;
    }
    if (db != nullptr) sqlite3_close(db);
    if (ctx != 0) QXHostClose(ctx);
    std::printf("%-4s %-30s %9ld %10.1f %10.1f %8.2f  %s\n", "I1", ".import of T1 as CSV (shells)", data.t1, ours, theirs,
                theirs > 0 ? ours / theirs : 0.0, same ? "same table" : "FAILED");
    std::fflush(stdout);
    return same;
#else
    (void)dir, (void)data, (void)t1;
    return true;
#endif
}

int main(int argc, char** argv) {
    Options options = ParseArguments(argc, argv);
    Data data;
    data.t1 = std::max(10L, std::lround(1000000 * options.scale));
    data.t2 = std::max(1L, std::lround(100000 * options.scale));
    data.t3 = std::max(1L, std::lround(100000 * options.scale));
    long nameCount = std::min(50000L, std::max(1L, data.t1 / 20));

    Random random(20240601);
    for (long i = 0; i < nameCount; ++i) {
        std::string name(20, 'A');
        for (char& c : name) c = static_cast<char>('A' + random.Below(26));
        data.names.push_back(name);
    }
    for (int i = 0; i < 100; ++i) {
        char city[16];
        std::snprintf(city, sizeof city, "CITY_%02d", i);
        data.cities.push_back(city);
    }
    std::vector<T1Row> t1(static_cast<std::size_t>(data.t1));
    for (long i = 0; i < data.t1; ++i)
        t1[i] = {static_cast<std::int32_t>(i + 1), static_cast<std::int16_t>(random.Below(1000)),
                 random.Below(1000000) / 100.0, random.Below(static_cast<std::uint32_t>(nameCount)),
                 random.Below(100)};
    std::vector<T2Row> t2(static_cast<std::size_t>(data.t2));
    for (long i = 0; i < data.t2; ++i) {
        t2[i].id = static_cast<std::int32_t>(i + 1);
        t2[i].t1id = static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(data.t1)) + 1);
        std::snprintf(t2[i].code, sizeof t2[i].code, "K%05u", random.Below(100000));
    }
    std::vector<T3Row> t3(static_cast<std::size_t>(data.t3));
    for (long i = 0; i < data.t3; ++i)
        t3[i] = {static_cast<std::int32_t>(i + 1),
                 static_cast<std::int32_t>(random.Below(static_cast<std::uint32_t>(data.t2)) + 1)};

    char pattern[] = "/tmp/qx_vs_sqlite_XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 2;
    std::string dir = pattern;
    std::string qxDir = dir + "/qx";
    std::filesystem::create_directories(qxDir);
    std::printf("scratch directory %s; T1 %ld rows, T2 %ld, T3 %ld; %d timed runs per query\n", dir.c_str(),
                data.t1, data.t2, data.t3, options.runs);

    // QX: the analysis, then the records through the file engine.
    auto start = Clock::now();
    {
        FILE* f = std::fopen((qxDir + "/analysis.qxa").c_str(), "w");
        if (f == nullptr) return 2;
        std::fputs(kAnalysis, f);
        std::fclose(f);
    }
    char error[512];
    std::uint16_t ctx = QXHostOpen(qxDir.c_str(), 0, error, sizeof error);
    if (ctx == 0) {
        std::fprintf(stderr, "QX open: %s\n", error);
        return 2;
    }
    // One transaction for the whole load: one sync, not one per record.
    if (OTRANSACTION(ctx, OBHOST_TX_BEGIN) != 0) return 2;
    {
        std::vector<unsigned char> r1(1 + 4 + 2 + 8 + 21 + 11), r2(1 + 4 + 4 + 11), r3(1 + 4 + 4);
        for (const T1Row& row : t1) {
            std::memcpy(&r1[1], &row.id, 4);
            std::memcpy(&r1[5], &row.qty, 2);
            std::memcpy(&r1[7], &row.price, 8);
            PutText(&r1[15], 21, data.names[row.name]);
            PutText(&r1[36], 11, data.cities[row.city]);
            if (!AddRecord(ctx, "T1", r1)) return 2;
        }
        for (const T2Row& row : t2) {
            std::memcpy(&r2[1], &row.id, 4);
            std::memcpy(&r2[5], &row.t1id, 4);
            PutText(&r2[9], 11, row.code);
            if (!AddRecord(ctx, "T2", r2)) return 2;
        }
        for (const T3Row& row : t3) {
            std::memcpy(&r3[1], &row.id, 4);
            std::memcpy(&r3[5], &row.t2id, 4);
            if (!AddRecord(ctx, "T3", r3)) return 2;
        }
    }
    if (OTRANSACTION(ctx, OBHOST_TX_COMMIT) != 0) return 2;
    std::printf("QX data written in %.1f s\n", Seconds(start));
    std::fflush(stdout);
    if (OB4InitInstance(0, nullptr) == 0) {  // 1 on success
        std::fprintf(stderr, "OB4InitInstance failed\n");
        return 2;
    }

    // SQLite: one file database with the same rows.
    start = Clock::now();
    sqlite3* db = nullptr;
    if (sqlite3_open((dir + "/bench.sqlite").c_str(), &db) != SQLITE_OK) return 2;
    if (!Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;") ||
        !Exec(db,
              "CREATE TABLE T1 (ID INTEGER PRIMARY KEY, QTY INTEGER, PRICE REAL, NAME TEXT, CITY TEXT);"
              "CREATE TABLE T2 (ID INTEGER PRIMARY KEY, T1ID INTEGER, CODE TEXT);"
              "CREATE TABLE T3 (ID INTEGER PRIMARY KEY, T2ID INTEGER);"
              "BEGIN;"))
        return 2;
    {
        sqlite3_stmt *s1 = nullptr, *s2 = nullptr, *s3 = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO T1 VALUES (?, ?, ?, ?, ?)", -1, &s1, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO T2 VALUES (?, ?, ?)", -1, &s2, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO T3 VALUES (?, ?)", -1, &s3, nullptr);
        for (const T1Row& row : t1) {
            sqlite3_bind_int(s1, 1, row.id);
            sqlite3_bind_int(s1, 2, row.qty);
            sqlite3_bind_double(s1, 3, row.price);
            sqlite3_bind_text(s1, 4, data.names[row.name].c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(s1, 5, data.cities[row.city].c_str(), -1, SQLITE_STATIC);
            if (sqlite3_step(s1) != SQLITE_DONE) return 2;
            sqlite3_reset(s1);
        }
        for (const T2Row& row : t2) {
            sqlite3_bind_int(s2, 1, row.id);
            sqlite3_bind_int(s2, 2, row.t1id);
            sqlite3_bind_text(s2, 3, row.code, -1, SQLITE_STATIC);
            if (sqlite3_step(s2) != SQLITE_DONE) return 2;
            sqlite3_reset(s2);
        }
        for (const T3Row& row : t3) {
            sqlite3_bind_int(s3, 1, row.id);
            sqlite3_bind_int(s3, 2, row.t2id);
            if (sqlite3_step(s3) != SQLITE_DONE) return 2;
            sqlite3_reset(s3);
        }
        sqlite3_finalize(s1);
        sqlite3_finalize(s2);
        sqlite3_finalize(s3);
    }
    if (!Exec(db, "COMMIT; ANALYZE;")) return 2;
    std::printf("SQLite data written in %.1f s (SQLite %s)\n\n", Seconds(start), sqlite3_libversion());

    std::printf("%-4s %-30s %9s %10s %10s %8s  %s\n", "", "query", "rows", "QX ms", "SQLite ms", "ratio", "check");
    bool allSame = true;
    if (Wanted(options, "L1") && !Exec(db, "CREATE TABLE T1L (ID INTEGER PRIMARY KEY, QTY INTEGER, PRICE REAL, NAME TEXT, CITY TEXT)"))
        return 2;
    if (Wanted(options, "L1") && !RunLoad(ctx, db, LoadStatements(data, t1))) allSame = false;
    for (const Query& q : kQueries) {
        if (!Wanted(options, q.id)) continue;
        const char* liteSql = q.sqlite != nullptr ? q.sqlite : q.qx;
        // A first, untimed run on each side gives the rows to compare.
        Outcome ours = RunQx(ctx, q.qx, true);
        Outcome theirs = RunSqlite(db, liteSql, true);
        std::string check = "same rows";
        if (!ours.ok || !theirs.ok) {
            check = "FAILED: " + (ours.ok ? "SQLite " + theirs.error : "QX " + ours.error);
        } else {
            std::vector<std::string> a = ours.rows, b = theirs.rows;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            if (a != b) {
                std::size_t i = 0;
                while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
                check = "DIFFERENT: QX " + std::to_string(a.size()) + " rows, SQLite " + std::to_string(b.size()) +
                        "; first difference QX [" + (i < a.size() ? a[i] : "") + "] SQLite [" +
                        (i < b.size() ? b[i] : "") + "]";
            }
        }
        if (check != "same rows") allSame = false;
        std::vector<double> qxTimes, liteTimes;
        if (ours.ok && theirs.ok) {
            for (int r = 0; r < options.runs; ++r) {
                auto t = Clock::now();
                RunQx(ctx, q.qx, false);
                qxTimes.push_back(Seconds(t) * 1000);
                t = Clock::now();
                RunSqlite(db, liteSql, false);
                liteTimes.push_back(Seconds(t) * 1000);
            }
        }
        double a = Median(qxTimes), b = Median(liteTimes);
        std::printf("%-4s %-30s %9ld %10.1f %10.1f %8.2f  %s\n", q.id, q.title, ours.count, a, b, b > 0 ? a / b : 0.0,
                    check.c_str());
        std::fflush(stdout);
    }

    if (Wanted(options, "L2") || Wanted(options, "L3")) {
        if (!RunLoads(dir, options, std::max(10L, std::lround(1000000 * options.scale)))) allSame = false;
    }

    // Loading: T1's rows again into the empty T1P by one prepared INSERT run
    // once a row, on each side, in one transaction.
    if (Wanted(options, "L4")) {
        auto t = Clock::now();
        std::uintptr_t insert = 0;
        bool ok = RunQx(ctx, "BEGIN", false).ok &&
                  QXSQLPrepare(&insert, "INSERT INTO T1P VALUES (?, ?, ?, ?, ?)", ctx, nullptr) == 0;
        for (std::size_t i = 0; ok && i < t1.size(); ++i) {
            const T1Row& row = t1[i];
            ok = QXSQLBindInteger(insert, 1, row.id) == 0 && QXSQLBindInteger(insert, 2, row.qty) == 0 &&
                 QXSQLBindReal(insert, 3, row.price) == 0 &&
                 QXSQLBindText(insert, 4, data.names[row.name].c_str(), -1) == 0 &&
                 QXSQLBindText(insert, 5, data.cities[row.city].c_str(), -1) == 0 && QXSQLExecute(insert, nullptr) == 0;
        }
        QXSQLFinRequete(insert);
        ok = ok && RunQx(ctx, "COMMIT", false).ok;
        double a = Seconds(t) * 1000;
        t = Clock::now();
        sqlite3_stmt* s1 = nullptr;
        ok = ok && Exec(db, "CREATE TABLE T1P (ID INTEGER PRIMARY KEY, QTY INTEGER, PRICE REAL, NAME TEXT, CITY TEXT); BEGIN;") &&
             sqlite3_prepare_v2(db, "INSERT INTO T1P VALUES (?, ?, ?, ?, ?)", -1, &s1, nullptr) == SQLITE_OK;
        for (std::size_t i = 0; ok && i < t1.size(); ++i) {
            const T1Row& row = t1[i];
            sqlite3_bind_int(s1, 1, row.id);
            sqlite3_bind_int(s1, 2, row.qty);
            sqlite3_bind_double(s1, 3, row.price);
            sqlite3_bind_text(s1, 4, data.names[row.name].c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(s1, 5, data.cities[row.city].c_str(), -1, SQLITE_STATIC);
            ok = sqlite3_step(s1) == SQLITE_DONE;
            sqlite3_reset(s1);
        }
        sqlite3_finalize(s1);
        ok = ok && Exec(db, "COMMIT;");
        double b = Seconds(t) * 1000;
        Outcome ours = RunQx(ctx, "SELECT SUM(PRICE), COUNT(*) FROM T1P", true);
        Outcome theirs = RunSqlite(db, "SELECT SUM(PRICE), COUNT(*) FROM T1P", true);
        bool same = ok && ours.ok && theirs.ok && ours.rows == theirs.rows;
        if (!same) allSame = false;
        std::printf("%-4s %-30s %9ld %10.1f %10.1f %8.2f  %s\n", "L4", "prepared INSERT, one transaction", data.t1, a, b,
                    b > 0 ? a / b : 0.0, same ? "same rows" : "FAILED");
    }

    if (Wanted(options, "I1") && !RunImport(dir, data, t1)) allSame = false;

    sqlite3_close(db);
    OBSQLFinInstance(0);
    QXHostClose(ctx);
    if (!options.keep) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return allSame ? 0 : 1;
}
